"""ce_cab_reader.py: reads the installation data (member .000) of a Windows
CE installation cabinet back into its fields and tables, with the folders,
files and shortcuts resolved to the paths a Pocket PC installs them at.
Anything that does not hold together raises SetupError, naming the field."""
import re
import struct

HEADER_SIZE = 100

# The installer's standard folders on an English Pocket PC.
CE_FOLDERS = {
    1: r'\Program Files', 2: r'\Windows', 4: r'\Windows\StartUp',
    5: r'\My Documents', 11: r'\Windows\Start Menu\Programs',
    17: r'\Windows\Start Menu',
}


class SetupError(Exception):
    pass


class Cursor:
    """Bounded reads from the member: a read past its end is an error."""

    def __init__(self, data):
        self.data = data

    def take(self, offset, size, what):
        if offset < 0 or offset + size > len(self.data):
            raise SetupError('%s: bytes %d..%d lie past the end of the %d-byte member'
                             % (what, offset, offset + size, len(self.data)))
        return self.data[offset:offset + size]

    def u16(self, offset, what):
        return struct.unpack('<H', self.take(offset, 2, what))[0]

    def u32(self, offset, what):
        return struct.unpack('<I', self.take(offset, 4, what))[0]

    def text(self, offset, length, what):
        """ASCII text of `length` bytes whose last byte is its zero."""
        raw = self.take(offset, length, what)
        if length == 0 or raw[-1] != 0 or 0 in raw[:-1]:
            raise SetupError('%s: not a zero-terminated string of %d bytes' % (what, length))
        try:
            return raw[:-1].decode('ascii')
        except UnicodeDecodeError:
            raise SetupError('%s: not ASCII' % what) from None

    def ids(self, offset, length, what):
        """A list of 2-byte ids of `length` bytes, ending in 0."""
        if length < 2 or length % 2:
            raise SetupError('%s: id list of %d bytes' % (what, length))
        raw = self.take(offset, length, what)
        ids = list(struct.unpack('<%dH' % (length // 2), raw))
        if ids[-1] != 0 or 0 in ids[:-1]:
            raise SetupError('%s: id list does not end at its first 0' % what)
        return ids[:-1]


def parse_setup(data):
    """Returns a dict of the header's fields and the resolved tables. The
    registry tables are counted, not read: the cabinet must have none."""
    c = Cursor(data)
    if len(data) < HEADER_SIZE:
        raise SetupError('header: %d bytes, the header alone is %d' % (len(data), HEADER_SIZE))
    if data[:4] != b'MSCE':
        raise SetupError('header: signature %r, expected MSCE' % data[:4])
    total = c.u32(8, 'header')
    if total != len(data):
        raise SetupError('header: length field %d, the member is %d bytes' % (total, len(data)))
    names = ['strings', 'dirs', 'files', 'reghives', 'regkeys', 'links']
    counts = struct.unpack('<6H', data[48:60])
    offsets = struct.unpack('<6I', data[60:84])
    app_at, app_len, prov_at, prov_len, uns_at, uns_len = struct.unpack('<6H', data[84:96])
    setup = {
        'fields': {
            'unknown_4': c.u32(4, 'header'), 'unknown_12': c.u32(12, 'header'),
            'unknown_16': c.u32(16, 'header'), 'unknown_96': c.u32(96, 'header'),
        },
        'processor': c.u32(20, 'header'),
        'min_version': (c.u32(24, 'header'), c.u32(28, 'header')),
        'max_version': (c.u32(32, 'header'), c.u32(36, 'header')),
        'build_min': c.u32(40, 'header'),
        # 0xE0000000: square, landscape and high-resolution screens supported.
        'build_max': c.u32(44, 'header'),
        'counts': dict(zip(names, counts)),
        'app_name': c.text(app_at, app_len, 'APPNAME'),
        'provider': c.text(prov_at, prov_len, 'PROVIDER'),
        'unsupported': [],
    }
    if uns_len:
        raw = c.take(uns_at, uns_len, 'UNSUPPORTED')
        if not raw.endswith(b'\0\0') and raw != b'\0':
            raise SetupError('UNSUPPORTED: the list does not end with an empty string')
        try:
            setup['unsupported'] = [n.decode('ascii') for n in raw.split(b'\0') if n]
        except UnicodeDecodeError:
            raise SetupError('UNSUPPORTED: not ASCII') from None
    section = dict(zip(names, zip(counts, offsets)))

    def entries(name, read):
        count, at = section[name]
        table = {}
        for n in range(count):
            what = '%s entry %d' % (name.upper(), n + 1)
            key, value, at = read(at, what)
            if key == 0 or key in table:
                raise SetupError('%s: id %d is zero or repeated' % (what, key))
            table[key] = value
        return table

    def read_string(at, what):
        sid, length = c.u16(at, what), c.u16(at + 2, what)
        return sid, c.text(at + 4, length, what), at + 4 + length

    def read_dir(at, what):
        did, length = c.u16(at, what), c.u16(at + 2, what)
        return did, c.ids(at + 4, length, what), at + 4 + length

    def read_file(at, what):
        fid, did, same, flags, length = struct.unpack('<HHHIH', c.take(at, 12, what))
        name = c.text(at + 12, length, what)
        return fid, {'dir': did, 'same': same, 'flags': flags, 'name': name}, at + 12 + length

    def read_link(at, what):
        lid, unknown, base, target, kind, length = struct.unpack('<6H', c.take(at, 12, what))
        return lid, {'unknown': unknown, 'base': base, 'target': target, 'type': kind,
                     'path': c.ids(at + 12, length, what)}, at + 12 + length

    strings = entries('strings', read_string)
    dirs = entries('dirs', read_dir)
    files = entries('files', read_file)
    links = entries('links', read_link)

    def join(ids, what):
        parts = []
        for sid in ids:
            if sid not in strings:
                raise SetupError('%s: unknown string id %d' % (what, sid))
            parts.append(strings[sid])
        return parts

    def folder(parts, what):
        m = re.fullmatch(r'%CE(\d+)%', parts[0]) if parts else None
        if m:
            number = int(m.group(1))
            if number not in CE_FOLDERS:
                raise SetupError('%s: %s is not a Pocket PC folder' % (what, parts[0]))
            parts = [CE_FOLDERS[number]] + parts[1:]
        return '\\'.join(parts)

    setup['strings'] = strings
    setup['dirs'] = {d: folder(join(ids, 'DIRS %d' % d), 'DIRS %d' % d)
                     for d, ids in dirs.items()}
    for fid, f in files.items():
        if f['dir'] not in setup['dirs']:
            raise SetupError('FILES %d: unknown directory id %d' % (fid, f['dir']))
        f['path'] = setup['dirs'][f['dir']] + '\\' + f['name']
    setup['files'] = files
    for lid, link in links.items():
        what = 'LINKS %d' % lid
        if link['type'] == 1:
            if link['target'] not in files:
                raise SetupError('%s: unknown file id %d' % (what, link['target']))
            link['target_path'] = files[link['target']]['path']
        elif link['type'] == 0:
            if link['target'] not in dirs:
                raise SetupError('%s: unknown directory id %d' % (what, link['target']))
            link['target_path'] = setup['dirs'][link['target']]
        else:
            raise SetupError('%s: type %d is neither a directory nor a file' % (what, link['type']))
        if link['base'] == 0:
            base = '%InstallDir%'
        elif link['base'] in CE_FOLDERS:
            base = CE_FOLDERS[link['base']]
        else:
            raise SetupError('%s: base folder %d is not a Pocket PC folder' % (what, link['base']))
        link['path'] = '\\'.join([base] + join(link['path'], what))
    setup['links'] = links
    return setup
