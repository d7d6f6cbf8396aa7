"""ce_cab_reader.py: reads the installation data (member .000) of a Windows
CE installation cabinet back into its fields and tables, with the folders,
files and shortcuts resolved to the paths a Pocket PC installs them at.
Anything that does not hold together raises SetupError, naming the field.
Run as a script on a cabinet it is its own test: damaged installation data
gets a clear error, never a crash. Each row damages the built cabinet's own
.000 in one place; then every truncation and a run of seeded byte flips must
either read or fail with SetupError."""
import glob
import random
import re
import struct
import subprocess
import sys
import tempfile

from audit_common import Report, arguments

# Signature, 11 words (the length among them), then for strings, dirs,
# files, reghives, regkeys and links their counts and offsets, then offset and
# length of APPNAME, PROVIDER and UNSUPPORTED, and a last word.
HEADER = struct.Struct('<4s11I6H6I6HI')
TABLES = ['strings', 'dirs', 'files', 'reghives', 'regkeys', 'links']

# The installer's standard folders on an English Pocket PC.
CE_FOLDERS = {
    1: r'\Program Files', 2: r'\Windows', 4: r'\Windows\StartUp',
    5: r'\My Documents', 11: r'\Windows\Start Menu\Programs',
    17: r'\Windows\Start Menu',
}


class SetupError(Exception):
    pass


def parse_setup(data):
    """Returns a dict of the header's fields and the resolved tables. The
    registry tables are counted, not read: the cabinet must have none."""

    def take(offset, size, what):
        """Bounded reads from the member: a read past its end is an error."""
        if offset < 0 or offset + size > len(data):
            raise SetupError('%s: bytes %d..%d lie past the end of the %d-byte member'
                             % (what, offset, offset + size, len(data)))
        return data[offset:offset + size]

    def text(offset, length, what):
        """ASCII text of `length` bytes whose last byte is its zero."""
        raw = take(offset, length, what)
        if length == 0 or raw[-1] != 0 or 0 in raw[:-1]:
            raise SetupError('%s: not a zero-terminated string of %d bytes' % (what, length))
        try:
            return raw[:-1].decode('ascii')
        except UnicodeDecodeError:
            raise SetupError('%s: not ASCII' % what) from None

    def ids(offset, length, what):
        """A list of 2-byte ids of `length` bytes, ending in 0."""
        if length < 2 or length % 2:
            raise SetupError('%s: id list of %d bytes' % (what, length))
        ids = list(struct.unpack('<%dH' % (length // 2), take(offset, length, what)))
        if ids[-1] != 0 or 0 in ids[:-1]:
            raise SetupError('%s: id list does not end at its first 0' % what)
        return ids[:-1]

    if len(data) < HEADER.size:
        raise SetupError('header: %d bytes, the header alone is %d' % (len(data), HEADER.size))
    signature, unknown_4, total, unknown_12, unknown_16, processor, *header = \
        HEADER.unpack_from(data)
    if signature != b'MSCE':
        raise SetupError('header: signature %r, expected MSCE' % signature)
    if total != len(data):
        raise SetupError('header: length field %d, the member is %d bytes' % (total, len(data)))
    counts, offsets = header[6:12], header[12:18]
    app_at, app_len, prov_at, prov_len, uns_at, uns_len, unknown_96 = header[18:]
    setup = {
        'fields': {'unknown_4': unknown_4, 'unknown_12': unknown_12,
                   'unknown_16': unknown_16, 'unknown_96': unknown_96},
        'processor': processor,
        'min_version': tuple(header[0:2]),
        'max_version': tuple(header[2:4]),
        'build_min': header[4],
        # 0xE0000000: square, landscape and high-resolution screens supported.
        'build_max': header[5],
        'counts': dict(zip(TABLES, counts)),
        'app_name': text(app_at, app_len, 'APPNAME'),
        'provider': text(prov_at, prov_len, 'PROVIDER'),
        'unsupported': [],
    }
    if uns_len:
        raw = take(uns_at, uns_len, 'UNSUPPORTED')
        if not raw.endswith(b'\0\0') and raw != b'\0':
            raise SetupError('UNSUPPORTED: the list does not end with an empty string')
        try:
            setup['unsupported'] = [n.decode('ascii') for n in raw.split(b'\0') if n]
        except UnicodeDecodeError:
            raise SetupError('UNSUPPORTED: not ASCII') from None
    section = dict(zip(TABLES, zip(counts, offsets)))

    def table(name, fmt, fields, tail):
        """Entries of an id, fixed fields and the length of a tail that `tail`
        reads, as {id: tail} or, given the fields' names, {id: {name: value}}."""
        (count, at), size, entries = section[name], struct.calcsize(fmt), {}
        for n in range(count):
            what = '%s entry %d' % (name.upper(), n + 1)
            key, *values, length = struct.unpack(fmt, take(at, size, what))
            value = tail(at + size, length, what)
            if key == 0 or key in entries:
                raise SetupError('%s: id %d is zero or repeated' % (what, key))
            entries[key] = dict(zip(fields, values + [value])) if fields else value
            at += size + length
        return entries

    strings = table('strings', '<HH', (), text)
    dirs = table('dirs', '<HH', (), ids)
    files = table('files', '<HHHIH', ('dir', 'same', 'flags', 'name'), text)
    links = table('links', '<6H', ('unknown', 'base', 'target', 'type', 'path'), ids)

    def join(ids, what):
        unknown = [sid for sid in ids if sid not in strings]
        if unknown:
            raise SetupError('%s: unknown string id %d' % (what, unknown[0]))
        return [strings[sid] for sid in ids]

    def folder(parts, what):
        m = re.fullmatch(r'%CE(\d+)%', parts[0]) if parts else None
        if m and int(m.group(1)) not in CE_FOLDERS:
            raise SetupError('%s: %s is not a Pocket PC folder' % (what, parts[0]))
        return '\\'.join([CE_FOLDERS[int(m.group(1))]] + parts[1:] if m else parts)

    setup['strings'] = strings
    setup['dirs'] = {d: folder(join(ids, 'DIRS %d' % d), 'DIRS %d' % d)
                     for d, ids in dirs.items()}
    for fid, f in files.items():
        if f['dir'] not in setup['dirs']:
            raise SetupError('FILES %d: unknown directory id %d' % (fid, f['dir']))
        f['path'] = setup['dirs'][f['dir']] + '\\' + f['name']
    setup['files'] = files
    # A shortcut's target is a directory (type 0) or a file (type 1); its
    # base folder the installation folder (0) or a standard one.
    targets = {0: ('directory', setup['dirs']),
               1: ('file', {fid: f['path'] for fid, f in files.items()})}
    bases = {0: '%InstallDir%', **CE_FOLDERS}
    for lid, link in links.items():
        what = 'LINKS %d' % lid
        if link['type'] not in targets:
            raise SetupError('%s: type %d is neither a directory nor a file' % (what, link['type']))
        noun, paths = targets[link['type']]
        if link['target'] not in paths:
            raise SetupError('%s: unknown %s id %d' % (what, noun, link['target']))
        if link['base'] not in bases:
            raise SetupError('%s: base folder %d is not a Pocket PC folder' % (what, link['base']))
        link['target_path'] = paths[link['target']]
        link['path'] = '\\'.join([bases[link['base']]] + join(link['path'], what))
    setup['links'] = links
    return setup


# --- the reader's test -----------------------------------------------------

def patched(data, offset, fmt, value):
    data = bytearray(data)
    struct.pack_into(fmt, data, offset, value)
    return bytes(data)


def with_length(data):
    """The length field made to agree, so the damage is met further on."""
    return patched(data, 8, '<I', len(data))


def cases(good):
    strings_at, dirs_at, files_at, _, _, links_at = struct.unpack_from('<6I', good, 60)
    return [
        # (what, damaged member, words the error must contain)
        ('empty member', b'', 'header: 0 bytes'),
        ('header cut short', good[:60], 'header: 60 bytes'),
        ('not MSCE', b'MSCF' + good[4:], 'signature'),
        ('member cut, length field kept', good[:-8], 'length field'),
        ('member cut inside the tables', with_length(good[:files_at + 6]), 'FILES entry 1'),
        ('files offset past the end', patched(good, 68, '<I', len(good) + 40), 'past the end'),
        ('strings count overruns', patched(good, 48, '<H', 500), 'STRINGS entry 4'),
        ('links count overruns', patched(good, 58, '<H', 2), 'LINKS entry 2'),
        ('app name offset past the end', patched(good, 84, '<H', 0xFFF0), 'APPNAME'),
        ('app name length misses its zero', patched(good, 86, '<H', 4), 'APPNAME: not a zero-terminated'),
        ('string length past its zero', patched(good, strings_at + 2, '<H', 9), 'STRINGS entry 1'),
        ('folder names an unknown string', patched(good, dirs_at + 4, '<H', 77), 'unknown string id 77'),
        ('folder list without its 0', patched(good, dirs_at + 2, '<H', 3), 'id list of 3 bytes'),
        ('file in an unknown folder', patched(good, files_at + 2, '<H', 9), 'unknown directory id 9'),
        ('shortcut to an unknown file', patched(good, links_at + 6, '<H', 7), 'unknown file id 7'),
        ('shortcut under an unknown folder', patched(good, links_at + 4, '<H', 3), 'base folder 3'),
        ('repeated string id', patched(good, strings_at + 4 + 6, '<H', 1), 'id 1 is zero or repeated'),
    ]


def outcome(data):
    """'ok', or the SetupError's text; any other exception propagates."""
    try:
        parse_setup(data)
        return 'ok'
    except SetupError as e:
        return str(e)


def main():
    args = arguments('cab --cabextract')
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([args.cabextract, '-q', '-d', out, '-F', '*.000', args.cab], check=True)
        (name,) = glob.glob(out + '/*')
        good = open(name, 'rb').read()

    report = Report()
    report.check('intact member', outcome(good) == 'ok', outcome(good))
    for what, data, words in cases(good):
        got = outcome(data)
        report.check(what, words in got, got)

    # Every cut, with and without its length field made to agree, and
    # 3000 runs of one to four seeded byte flips.
    rng = random.Random(2577)
    flips = [bytearray(good) for _ in range(3000)]
    for data in flips:
        for _ in range(rng.randint(1, 4)):
            data[rng.randrange(len(data))] = rng.randrange(256)
    damaged = [('cut at %d' % n, data) for n in range(len(good))
               for data in (good[:n], with_length(good[:n]) if n >= 12 else good[:n])]
    crashes = []
    for what, data in damaged + [('flip run %d' % n, bytes(d)) for n, d in enumerate(flips)]:
        try:
            outcome(data)
        except Exception as e:  # anything but SetupError is a fault
            crashes.append('%s: %r' % (what, e))
    report.check('every cut and 3000 flip runs', not crashes,
                 '%d crashes%s' % (len(crashes), (': ' + crashes[0]) if crashes else ''))
    return report.finish()


if __name__ == '__main__':
    sys.exit(main())
