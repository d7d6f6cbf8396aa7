#!/usr/bin/env python3
"""check_appmgr_ini.py: reads ForegroundDismisser.ini back as the Application
Manager would: CR LF lines of ASCII, the [CEAppManager] section naming the
component, the component's section with a description and its cabinets, and
among those the cabinet this build wrote, by its file name, beside one for
each other CPU.

usage: check_appmgr_ini.py INI --cab CAB --cpus CPU...
"""
import argparse
import configparser
import os
import sys

from check_image import Report


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('ini')
    parser.add_argument('--cab', required=True)
    parser.add_argument('--cpus', nargs='+', required=True)
    args = parser.parse_args()
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
    manager = dict(ini['CEAppManager']) if ini.has_section('CEAppManager') else {}
    report.check('[CEAppManager]', manager.get('Version') == '1.0' and 'Component' in manager,
                 repr(manager))
    component = manager.get('Component', '')
    section = dict(ini[component]) if component and ini.has_section(component) else {}
    report.check('component section', bool(section.get('Description')),
                 '[%s] %r' % (component, section))
    cabs = section.get('CabFiles', '').split(',')
    own = os.path.basename(args.cab)
    report.check('this build\'s cabinet listed', own in cabs, '%s in %s' % (own, cabs))
    stem = own.rsplit('-ce-', 1)[0]
    wanted = ['%s-ce-%s.cab' % (stem, cpu) for cpu in args.cpus]
    report.check('one cabinet per CPU', cabs == wanted, '%s (expected %s)' % (cabs, wanted))
    return report.finish()


if __name__ == '__main__':
    sys.exit(main())
