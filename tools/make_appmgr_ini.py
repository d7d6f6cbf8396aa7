#!/usr/bin/env python3
"""make_appmgr_ini.py: writes ForegroundDismisser.ini, the file ActiveSync's
Application Manager (CeAppMgr.exe) installs from on the PC. It lists one
cabinet per CPU; the Application Manager sends the device the one whose
processor type matches its own, so one file serves every Pocket PC.

usage: make_appmgr_ini.py --version V --out FILE CPU...
The cabinets are named ForegroundDismisser-V-ce-CPU.cab and must lie in the
same folder as the .ini.
"""
import argparse

COMPONENT = 'ForegroundDismisser'
DESCRIPTION = 'ForegroundDismisser and KeyAssigner: close the window in front with a button'


def ini_text(version, cpus):
    cabs = ','.join('%s-%s-ce-%s.cab' % (COMPONENT, version, cpu) for cpu in cpus)
    lines = ['[CEAppManager]', 'Version=1.0', 'Component=' + COMPONENT, '',
             '[%s]' % COMPONENT, 'Description=' + DESCRIPTION, 'CabFiles=' + cabs]
    # A Windows tool reads it: CR LF line ends, ASCII only.
    return ''.join(line + '\r\n' for line in lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--version', required=True)
    parser.add_argument('--out', required=True)
    parser.add_argument('cpus', nargs='+')
    args = parser.parse_args()
    with open(args.out, 'w', encoding='ascii', newline='') as f:
        f.write(ini_text(args.version, args.cpus))


if __name__ == '__main__':
    main()
