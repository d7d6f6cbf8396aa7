"""check_appmgr_ini.py: reads ForegroundDismisser.ini back as the Application
Manager would: CR LF lines of ASCII, the [CEAppManager] section naming the
component, the component's section with a description and its cabinets, and
among those the cabinet this build wrote, by its file name, beside one for
each other CPU.
"""
import configparser
import os
import sys

from audit_common import Report, arguments


def main():
    args = arguments('ini --cab --cpus...')
    report = Report()
    raw = open(args.ini, 'rb').read()
    lines = raw.split(b'\r\n')
    report.check('line ends', b'\n' not in raw.replace(b'\r\n', b'') and lines[-1] == b'',
                 'CR LF on every line' if lines[-1] == b'' else 'last line unterminated')
    try:
        text = raw.decode('ascii')
    except UnicodeDecodeError as error:
        report.check('ASCII', False, str(error))
        return report.finish()
    ini = configparser.ConfigParser()
    ini.optionxform = str
    ini.read_string(text)
    section = lambda name: dict(ini[name]) if name and ini.has_section(name) else {}  # noqa: E731
    manager = section('CEAppManager')
    report.check('[CEAppManager]', manager.get('Version') == '1.0' and 'Component' in manager,
                 repr(manager))
    component = manager.get('Component', '')
    report.check('component section', bool(section(component).get('Description')),
                 '[%s] %r' % (component, section(component)))
    cabs = section(component).get('CabFiles', '').split(',')
    own = os.path.basename(args.cab)
    report.check('this build\'s cabinet listed', own in cabs, '%s in %s' % (own, cabs))
    stem = own.rsplit('-ce-', 1)[0]
    wanted = ['%s-ce-%s.cab' % (stem, cpu) for cpu in args.cpus]
    report.check('one cabinet per CPU', cabs == wanted, '%s (expected %s)' % (cabs, wanted))
    return report.finish()


if __name__ == '__main__':
    sys.exit(main())
