"""check_release.py: installs one platform's build into a scratch folder and
packs its release archive there, then checks that both hold exactly the two
programs and the user guide, byte for byte as the build made them, and that
the archive is named with the version ForegroundDismisser carries.
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
    args = arguments('--build --platform --version --cmake --cpack files...')
    report = Report()
    built = {os.path.basename(f): open(f, 'rb').read() for f in args.files}
    report.check('three files to ship', len(built) == 3, ', '.join(sorted(built)))

    # The release is ForegroundDismisser's, named with its version;
    # KeyAssigner keeps a version of its own.
    closer = [f for f in args.files if os.path.basename(f) == 'ForegroundDismisser.exe']
    version = product_version(closer[0]) if closer else None
    report.check('ForegroundDismisser.exe carries version ' + args.version,
                 version == args.version, 'it says %s' % version)

    def holds(where, verb, names, read):
        report.check(where + ' holds exactly the files', sorted(names) == sorted(built),
                     ', '.join(sorted(names)))
        for name in sorted(set(names) & set(built)):
            report.check('%s %s is the built file' % (verb, name), read(name) == built[name],
                         '%d bytes' % len(built[name]))

    with tempfile.TemporaryDirectory() as scratch:
        folder = os.path.join(scratch, 'installed')
        subprocess.run([args.cmake, '--install', args.build, '--prefix', folder],
                       check=True, stdout=subprocess.DEVNULL)
        holds('installed folder', 'installed', os.listdir(folder),
              lambda name: open(os.path.join(folder, name), 'rb').read())

        packs = os.path.join(scratch, 'packages')
        subprocess.run([args.cpack, '--config', os.path.join(args.build, 'CPackConfig.cmake'),
                        '-B', packs], check=True, stdout=subprocess.DEVNULL)
        archive = os.path.join(packs, 'ForegroundDismisser-%s-%s.zip' % (args.version,
                                                                         args.platform))
        report.check('archive ' + os.path.basename(archive) + ' written',
                     os.path.isfile(archive))
        if os.path.isfile(archive):
            with zipfile.ZipFile(archive) as z:
                holds('archive', 'archived', z.namelist(), z.read)
    return report.finish()


if __name__ == '__main__':
    sys.exit(main())
