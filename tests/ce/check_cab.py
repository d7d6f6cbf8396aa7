"""check_cab.py: reads the built installation cabinet back the way a device
would meet it: cabextract lists and extracts it, ce_cab_reader reads its
installation data, and each field, table and installed file is checked
against what a Pocket PC user must get.
"""
import os
import re
import subprocess
import sys
import tempfile

from audit_common import Report, arguments
from ce_cab_reader import SetupError, parse_setup

INSTALL = r'\Program Files\ForegroundDismisser'
# The processor type each CPU's Pocket PCs report, which the installer
# compares with the cabinet's (Microsoft's CabWiz processor values).
PROCESSOR = {'arm': 2577, 'mips': 4000, 'sh3': 10003}
START_MENU_PROGRAMS = r'\Windows\Start Menu\Programs'


def member_number(name):
    m = re.fullmatch(r'[^.]{1,8}\.(\d{3})', name)
    return int(m.group(1)) if m else None


def check(args, report, out):
    # Member names in cabinet order, from cabextract's listing.
    listing = subprocess.run([args.cabextract, '-l', args.cab], check=True,
                             capture_output=True, text=True).stdout
    members = [line.split('|')[-1].strip() for line in listing.splitlines()
               if re.match(r'\s*\d+ \|', line)]
    numbers = [member_number(n) for n in members]
    report.check('member names', None not in numbers and len(set(numbers)) == len(numbers),
                 'eight characters at most, a dot, three digits, each number once: %s'
                 % ', '.join(members))
    report.check('member order', numbers[:1] == [0] and numbers[1:] == sorted(numbers[1:], reverse=True),
                 '.000 first, then descending: %s' % numbers)

    subprocess.run([args.cabextract, '-q', '-d', out, args.cab], check=True)
    by_number = {member_number(n): os.path.join(out, n) for n in members}
    try:
        setup = parse_setup(open(by_number[0], 'rb').read())
    except (KeyError, SetupError) as e:
        report.check('installation data', False, 'unreadable: %s' % e)
        return

    want_files = {INSTALL + r'\ForegroundDismisser.exe': args.closer,
                  INSTALL + r'\KeyAssigner.exe': args.assigner}
    files = setup['files']
    links = [(link['path'], link['target_path']) for link in setup['links'].values()]
    for name, got, want in [
            ('application name', setup['app_name'], 'ForegroundDismisser'),
            ('provider', setup['provider'], 'Zenmen Project'),
            ('processor', setup['processor'], PROCESSOR[args.cpu]),
            ('minimum version', setup['min_version'], (3, 0)),
            ('maximum version', setup['max_version'], (0, 0)),
            ('minimum build', setup['build_min'], 0),
            ('screens supported (BuildMax)', setup['build_max'], 0xE0000000),
            ('unsupported platforms', setup['unsupported'], []),
            ('fixed fields', setup['fields'],
             {'unknown_4': 0, 'unknown_12': 0, 'unknown_16': 1, 'unknown_96': 0}),
            ('registry', (setup['counts']['reghives'], setup['counts']['regkeys']), (0, 0)),
            ('folders', sorted(setup['dirs'].values()), [INSTALL]),
            ('installed files', sorted(f['path'] for f in files.values()), sorted(want_files)),
            ('members are the files', sorted(files), sorted(numbers[1:])),
            ('shortcuts', links, [(START_MENU_PROGRAMS + r'\KeyAssigner.lnk',
                                   INSTALL + r'\KeyAssigner.exe')])]:
        report.check(name, got == want, '%r (expected %r)' % (got, want))
    # DeviceReport reaches only the people asked to run it, never a user's device.
    named = sorted({f[key] for f in files.values() for key in ('name', 'path')} |
                   {path for link in links for path in link})
    report.refuse('without DeviceReport', [n for n in named if 'devicereport' in n.lower()],
                  '%d file and shortcut names' % len(named), 'names')

    for fid, f in sorted(files.items()):
        report.check('file %d entry' % fid, f['same'] == fid and f['flags'] == 0x40000002,
                     '%s: flags 0x%08X, third field %d' % (f['name'], f['flags'], f['same']))
        built, member = want_files.get(f['path']), by_number.get(fid)
        same = bool(built and member and open(built, 'rb').read() == open(member, 'rb').read())
        report.check('file %d bytes' % fid, same, '%s equals %s' % (f['path'], built))


def main():
    args = arguments('cab --cabextract --closer --assigner --cpu',
                     cpu=dict(choices=sorted(PROCESSOR), default='arm'))
    report = Report()
    with tempfile.TemporaryDirectory() as out:
        check(args, report, out)
    return report.finish()


if __name__ == '__main__':
    sys.exit(main())
