#!/usr/bin/env python3
# make_guide.py: writes a guide that ships beside the programs from the
# README's sections for the people who read it (Japanese, then English): the
# user guide beside ForegroundDismisser and KeyAssigner, or DeviceReport's
# guide in its archive. Plain text in UTF-16 with a byte-order mark and
# CR LF line ends, which the device's own viewers and desktop Notepad both
# read as Unicode.
"""Usage: make_guide.py user|report README.md OUTPUT.txt"""

import sys

# Each guide's title and the README headings its sections run from and to.
GUIDES = {
    'user': ('# ForegroundDismisser / KeyAssigner', '## 使い方', '## 実機での確認にご協力ください'),
    'report': ('# DeviceReport', '## 実機での確認にご協力ください', '## For developers'),
}


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in GUIDES:
        sys.exit(__doc__)
    title, first, end = GUIDES[sys.argv[1]]
    text = open(sys.argv[2], encoding='utf-8').read()
    start = text.find(first)
    stop = text.find(end, start)
    if start < 0 or stop < 0:
        sys.exit('make_guide: the README has no sections from "%s" to "%s"' % (first, end))
    guide = title + '\n\n' + text[start:stop].rstrip() + '\n'
    with open(sys.argv[3], 'wb') as out:
        out.write(guide.replace('\n', '\r\n').encode('utf-16'))


if __name__ == '__main__':
    main()
