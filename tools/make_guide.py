#!/usr/bin/env python3
# make_guide.py: writes the user guide that ships beside the two programs:
# the README's sections for users (Japanese, then English) as a plain text
# file in UTF-16 with a byte-order mark and CR LF line ends, which the
# device's own viewers and desktop Notepad both read as Unicode.
"""Usage: make_guide.py README.md OUTPUT.txt"""

import sys

FIRST = '## 使い方'
END = '## For developers'


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    text = open(sys.argv[1], encoding='utf-8').read()
    start = text.find(FIRST)
    end = text.find(END, start)
    if start < 0 or end < 0:
        sys.exit('make_guide: the README has no user sections')
    guide = '# ForegroundDismisser / KeyAssigner\n\n' + text[start:end].rstrip() + '\n'
    with open(sys.argv[2], 'wb') as out:
        out.write(guide.replace('\n', '\r\n').encode('utf-16'))


if __name__ == '__main__':
    main()
