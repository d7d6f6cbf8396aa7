"""check_release.py: installs one platform's build into a scratch folder and
packs its release archives there, then checks that the folder and the
user's archive hold exactly the two programs and the user guide, byte for
byte as the build made them, with nothing of DeviceReport among them; that
on a device platform DeviceReport's archive holds exactly the program and
its guide; and that the archives are named with the version
ForegroundDismisser carries.
"""
import os
import subprocess
import sys
import tempfile
import zipfile

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'ce'))
from audit_common import Report, arguments  # noqa: E402


def product_version(path):
    return next((table.entries[b'ProductVersion'].decode('utf-8')
                 for info in getattr(pefile.PE(path), 'FileInfo', []) for block in info
                 for table in getattr(block, 'StringTable', [])
                 if b'ProductVersion' in table.entries), None)


def main():
    args = arguments('--build --platform --version --cmake --cpack files... --report...',
                     report=dict(default=[]))
    report = Report()
    read = lambda paths: {os.path.basename(f): open(f, 'rb').read() for f in paths}  # noqa: E731
    built, report_built = read(args.files), read(args.report)
    report.check('three files to ship', len(built) == 3, ', '.join(sorted(built)))

    # The release is ForegroundDismisser's, named with its version;
    # KeyAssigner keeps a version of its own.
    closer = [f for f in args.files if os.path.basename(f) == 'ForegroundDismisser.exe']
    version = product_version(closer[0]) if closer else None
    report.check('ForegroundDismisser.exe carries version ' + args.version,
                 version == args.version, 'it says %s' % version)

    def holds(where, verb, names, read, wanted):
        report.check(where + ' holds exactly the files', sorted(names) == sorted(wanted),
                     ', '.join(sorted(names)))
        for name in sorted(set(names) & set(wanted)):
            report.check('%s %s is the built file' % (verb, name), read(name) == wanted[name],
                         '%d bytes' % len(wanted[name]))

    def user_files(where, names):
        # DeviceReport reaches only the people asked to run it.
        report.refuse(where + ' without DeviceReport',
                      [n for n in names if n in report_built or n.startswith('DeviceReport')],
                      ', '.join(sorted(names)), 'holds')

    def archive(packs, name, wanted, where, verb):
        path = os.path.join(packs, name)
        if os.path.isfile(path):
            with zipfile.ZipFile(path) as z:
                holds(where, verb, z.namelist(), z.read, wanted)
                return z.namelist()
        return []

    with tempfile.TemporaryDirectory() as scratch:
        folder = os.path.join(scratch, 'installed')
        subprocess.run([args.cmake, '--install', args.build, '--prefix', folder],
                       check=True, stdout=subprocess.DEVNULL)
        installed = os.listdir(folder)
        holds('installed folder', 'installed', installed,
              lambda name: open(os.path.join(folder, name), 'rb').read(), built)
        user_files('installed folder', installed)

        packs = os.path.join(scratch, 'packages')
        subprocess.run([args.cpack, '--config', os.path.join(args.build, 'CPackConfig.cmake'),
                        '-B', packs], check=True, stdout=subprocess.DEVNULL)
        user_zip = 'ForegroundDismisser-%s-%s.zip' % (args.version, args.platform)
        report_zip = 'DeviceReport-%s-%s.zip' % (args.version, args.platform)
        wanted = sorted([user_zip] + [report_zip] * bool(args.report))
        written = sorted(n for n in os.listdir(packs) if n.endswith('.zip'))
        report.check('archives written', written == wanted, '%s (expected %s)' % (
            ', '.join(written) or 'none', ', '.join(wanted)))
        user_files('archive', archive(packs, user_zip, built, 'archive', 'archived'))
        if args.report:
            archive(packs, report_zip, report_built, 'report archive', 'archived for the report')
    return report.finish()


if __name__ == '__main__':
    sys.exit(main())
