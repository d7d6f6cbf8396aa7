#!/usr/bin/env python3
"""check_release.py: installs one platform's build into a scratch folder and
packs its release archive there, then checks that both hold exactly the two
programs and the user guide, byte for byte as the build made them, and that
the archive is named with the version ForegroundDismisser carries.

usage: check_release.py --build DIR --platform P --version V --cmake CMAKE
                        --cpack CPACK FILE...
"""
import argparse
import os
import subprocess
import sys
import tempfile
import zipfile

import pefile

results = []


def check(what, ok, detail=''):
    results.append(ok)
    print('%s: %s%s' % ('ok' if ok else 'FAILED', what, ' (%s)' % detail if detail else ''))


def product_version(path):
    pe = pefile.PE(path)
    for info in getattr(pe, 'FileInfo', []):
        for block in info:
            for table in getattr(block, 'StringTable', []):
                version = table.entries.get(b'ProductVersion')
                if version is not None:
                    return version.decode('utf-8')
    return None


def main():
    parser = argparse.ArgumentParser()
    for option in ('--build', '--platform', '--version', '--cmake', '--cpack'):
        parser.add_argument(option, required=True)
    parser.add_argument('files', nargs='+')
    args = parser.parse_args()
    built = {os.path.basename(f): open(f, 'rb').read() for f in args.files}
    check('three files to ship', len(built) == 3, ', '.join(sorted(built)))

    # The release is ForegroundDismisser's, named with its version;
    # KeyAssigner keeps a version of its own.
    closer = [f for f in args.files if os.path.basename(f) == 'ForegroundDismisser.exe']
    version = product_version(closer[0]) if closer else None
    check('ForegroundDismisser.exe carries version ' + args.version, version == args.version,
          'it says %s' % version)

    with tempfile.TemporaryDirectory() as scratch:
        folder = os.path.join(scratch, 'installed')
        subprocess.run([args.cmake, '--install', args.build, '--prefix', folder],
                       check=True, stdout=subprocess.DEVNULL)
        names = sorted(os.listdir(folder))
        check('installed folder holds exactly the files', names == sorted(built),
              ', '.join(names))
        for name in names:
            if name in built:
                same = open(os.path.join(folder, name), 'rb').read() == built[name]
                check('installed ' + name + ' is the built file', same)

        packs = os.path.join(scratch, 'packages')
        config = os.path.join(args.build, 'CPackConfig.cmake')
        subprocess.run([args.cpack, '--config', config, '-B', packs],
                       check=True, stdout=subprocess.DEVNULL)
        archive = os.path.join(packs, 'ForegroundDismisser-%s-%s.zip' %
                               (args.version, args.platform))
        check('archive ' + os.path.basename(archive) + ' written', os.path.isfile(archive))
        if os.path.isfile(archive):
            with zipfile.ZipFile(archive) as z:
                members = sorted(z.namelist())
                check('archive holds exactly the files', members == sorted(built),
                      ', '.join(members))
                for name in members:
                    if name in built:
                        check('archived ' + name + ' is the built file',
                              z.read(name) == built[name])

    failed = results.count(False)
    print('%d passed, %d failed' % (len(results) - failed, failed))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
