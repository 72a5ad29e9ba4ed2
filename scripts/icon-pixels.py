#!/usr/bin/env python3
"""Writes the window icon's pixels beside each PNG it is given, as the program
reads them: resources/rindell-N.png -> resources/rindell-N.rgba, N*N pixels of
four bytes (red, green, blue, alpha, not premultiplied), row by row. The program
builds its icon from these rather than decoding a PNG at every start (Qt would
load every image format plugin to ask it first). tst_common checks that they
match the PNGs. Run after changing a PNG:

    python3 scripts/icon-pixels.py resources/rindell-{16,32,48}.png
"""
import struct
import sys
import zlib


def pixels(path):
    """The RGBA bytes of an 8-bit RGBA PNG that is not interlaced."""
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG")
    pos, compressed = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if (depth, colour, interlace) != (8, 6, 0):
                sys.exit(f"{path}: only 8-bit RGBA without interlacing is read")
        elif kind == b"IDAT":
            compressed += body
    raw, stride = zlib.decompress(compressed), width * 4
    out, previous = bytearray(), bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for x in range(stride):
            left = line[x - 4] if x >= 4 else 0
            up, corner = previous[x], previous[x - 4] if x >= 4 else 0
            if kind == 1:
                line[x] = (line[x] + left) & 255
            elif kind == 2:
                line[x] = (line[x] + up) & 255
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 255
            elif kind == 4:
                guess = left + up - corner
                nearest = min((abs(guess - left), 0, left), (abs(guess - up), 1, up),
                              (abs(guess - corner), 2, corner))[2]
                line[x] = (line[x] + nearest) & 255
        out += line
        previous = line
    return bytes(out)


for png in sys.argv[1:]:
    with open(png[:-len(".png")] + ".rgba", "wb") as f:
        f.write(pixels(png))
