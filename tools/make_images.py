#!/usr/bin/env python3
# make_images.py: draws the programs' 16-colour images (ForegroundDismisser's
# icon, KeyAssigner's logo) and writes them as .ico / .bmp, byte for byte
# the same on every run.
"""Usage: make_images.py icon OUTPUT.ico | make_images.py logo OUTPUT.bmp"""

import struct
import sys

# The standard 16-colour palette, so the images look the same on a device
# that falls back to its system palette.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, NAVY, SILVER, GRAY, RED, BLUE, WHITE = 0, 1, 4, 7, 8, 9, 12, 15
CLEAR = None  # icon pixels that let the background show through


class Canvas:
    def __init__(self, size, fill):
        self.size = size
        self.pixels = [[fill] * size for _ in range(size)]

    def fill(self, left, top, right, bottom, colour):
        """Fills the rectangle with both corners inclusive."""
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                self.pixels[y][x] = colour

    def frame(self, left, top, right, bottom, colour):
        self.fill(left, top, right, top, colour)
        self.fill(left, bottom, right, bottom, colour)
        self.fill(left, top, left, bottom, colour)
        self.fill(right, top, right, bottom, colour)

    def cross(self, left, top, span, thickness, colour):
        """An X filling a square of span pixels, strokes thickness wide."""
        reach = span - thickness
        for i in range(reach + 1):
            for k in range(thickness):
                for y in range(thickness):
                    self.pixels[top + i + y][left + i + k] = colour
                    self.pixels[top + i + y][left + reach - i + k] = colour


def draw_icon(size):
    """A small window with a red close mark over it."""
    c = Canvas(size, CLEAR)
    if size == 32:
        left, top, right, bottom, title, cross = 1, 3, 29, 28, 5, (9, 12, 14, 3)
    else:
        left, top, right, bottom, title, cross = 0, 1, 14, 14, 3, (4, 6, 7, 2)
    c.fill(left + 1, top + 1, right + 1, bottom + 1, GRAY)  # drop shadow
    c.fill(left, top, right, bottom, WHITE)
    c.fill(left, top, right, top + title, NAVY)
    if size == 32:
        c.fill(left + 3, top + 2, left + 12, top + 3, WHITE)  # caption text
        c.fill(right - 5, top + 1, right - 2, top + 4, SILVER)  # close box
    c.frame(left, top, right, bottom, BLACK)
    c.cross(*cross, RED)
    return c


def draw_logo():
    """A hardware key seen from above, marked with the close mark."""
    c = Canvas(32, WHITE)
    left, top, right, bottom = 3, 3, 28, 28
    c.fill(left + 1, top + 1, right + 1, bottom + 1, GRAY)  # drop shadow
    c.fill(left, top, right, bottom, SILVER)
    # Bevel: lit from the top left, so the key looks raised.
    c.fill(left + 1, top + 1, right - 1, top + 2, WHITE)
    c.fill(left + 1, top + 1, left + 2, bottom - 1, WHITE)
    c.fill(left + 1, bottom - 2, right - 1, bottom - 1, GRAY)
    c.fill(right - 2, top + 1, right - 1, bottom - 1, GRAY)
    c.frame(left, top, right, bottom, BLACK)
    # Rounded corners.
    for x, y in ((left, top), (right, top), (left, bottom), (right, bottom)):
        c.pixels[y][x] = WHITE
    c.pixels[bottom + 1][right + 1] = WHITE
    c.cross(10, 10, 12, 3, RED)
    return c


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)


def pixel_rows(canvas):
    """4-bit rows, bottom row first, each padded to a DWORD."""
    stride = (canvas.size * 4 + 31) // 32 * 4
    out = bytearray()
    for row in reversed(canvas.pixels):
        indices = [BLACK if p is CLEAR else p for p in row]
        packed = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, len(indices), 2))
        out += packed.ljust(stride, b"\0")
    return bytes(out)


def mask_rows(canvas):
    """1-bit AND mask, bottom row first: set where the background shows."""
    stride = (canvas.size + 31) // 32 * 4
    out = bytearray()
    for row in reversed(canvas.pixels):
        bits = bytearray(stride)
        for x, p in enumerate(row):
            if p is CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bits
    return bytes(out)


def info_header(width, height, image_bytes):
    # 2835 pixels per metre is 72 dpi.
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, image_bytes,
                       2835, 2835, len(PALETTE), 0)


def icon_file(canvases):
    images = []
    for c in canvases:
        bits = pixel_rows(c) + mask_rows(c)
        # An icon's header counts the colour image and the mask: twice the height.
        images.append(info_header(c.size, c.size * 2, len(bits)) + palette_bytes() + bits)
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, image in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.size, c.size, len(PALETTE), 0, 1, 4,
                           len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def bitmap_file(canvas):
    bits = pixel_rows(canvas)
    body = info_header(canvas.size, canvas.size, len(bits)) + palette_bytes() + bits
    header_bytes = 14
    offset = header_bytes + 40 + len(PALETTE) * 4
    return struct.pack("<2sIHHI", b"BM", header_bytes + len(body), 0, 0, offset) + body


def main(argv):
    if len(argv) != 3 or argv[1] not in ("icon", "logo"):
        sys.exit(__doc__)
    if argv[1] == "icon":
        data = icon_file([draw_icon(16), draw_icon(32)])
    else:
        data = bitmap_file(draw_logo())
    with open(argv[2], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv)
