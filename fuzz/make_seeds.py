#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/.

Small, hand-made files of every kind the two readers know, so that the fuzzer starts from inputs
that reach deep into each reader instead of having to find the headers by itself. Run it again
after changing it; it rewrites the files it owns and leaves others alone.
Seeds whose name starts with "invalid_" must be refused; every other one must be read
(tests/FuzzRegressionTest.cpp holds them to that). Standard library only.
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(kind, name, data, folder="corpus"):
    path = os.path.join(HERE, folder, kind, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


# --- project files ----------------------------------------------------------------------------

STATION_HEADER = b"P0NPH\xf6he P1v0a/e/m P2v0a/e/m P0v1a/e P0v2a/e:"
POINT_HEADER = b"Punkte P0a/e/m P1a/e P2a/e:"
PATHS = [b"/home/vermessung/hof/p0.bmp", b"/home/vermessung/hof/p1.bmp", b"p2 \xe4lt.bmp"]
STATIONS = [b"1.6", b"12.5", b"-9.0902769208208", b"10", b"102.5", b"-9.0902769208208", b"10",
            b"180", b"-9.0902769208208", b"270", b"-9.0902769208208"]
POINTS = [b"123.456;-2.5;15;200.1;-1.25;75.5;-0.75",
          b"45;10.025;14.3614;90;14.0362;360;14.0362",
          b"0.333333333333333;0;1E-07;0;0;360;90"]


def project(points, end=b"\r\n", paths=PATHS, stations=STATIONS, eof=(b"EOF",)):
    lines = list(paths) + [STATION_HEADER] + list(stations) + [POINT_HEADER] + list(points)
    lines += list(eof)
    return end.join(lines) + end


def comma(lines):
    return [line.replace(b".", b",") for line in lines]


def project_seeds():
    write("project", "complete_crlf", project(POINTS))
    write("project", "complete_lf", project(POINTS, end=b"\n"))
    write("project", "decimal_comma", project(comma(POINTS), stations=comma(STATIONS)))
    # P1's horizontal angle negative: an older file's point, solved again while loading.
    write("project", "resolve_p1", project([b"30;-5;12;-1;0;-1;0", b"200;3;40;-1;0;50;2"]))
    # EOF lines are skipped wherever they are; points may follow them.
    write("project", "eof_lines",
          project([POINTS[0], b"EOF", POINTS[1]], eof=(b"EOF", b"EOF")))
    write("project", "no_points", project([], eof=()))
    write("project", "paths_only", b"\r\n".join(PATHS[:2]))
    # Cut short in the station lines, without a final line end.
    write("project", "stations_cut",
          b"\r\n".join(PATHS + [STATION_HEADER] + STATIONS[:5]))
    # Blanks around numbers, exponents, many digits: ParseReal's slow and fast paths.
    write("project", "number_forms",
          project([b" 1e2 ;-0,5E-1;+3;12345678901234567890123;0.000000000000000000000000001;"
                   b"1.5e+3;7"],
                  stations=[b"1,6", b" 12.5 ", b"-9.09e0", b"1E1", b"102.5", b"-9.09", b"10",
                            b"180", b"-9.09", b"270", b"-9.09"]))
    write("project", "empty", b"")
    write("project", "invalid_not_a_number", project([b"1;2;3;x;5;6;7"]))
    # Tilts after line 4's header, marks by hand after line 16's (one of a point not in the file).
    tilts = b" Neigung 1.5;-0.25;0;0;0;2"
    marks = b" 0/2:12.5;-3 2/1:0.3;0.5 2/2:359.75;0 9/1:1;1"
    write("project", "tilts_and_marks",
          project(POINTS).replace(STATION_HEADER, STATION_HEADER + tilts)
          .replace(POINT_HEADER, POINT_HEADER + marks))
    write("project", "invalid_mark",
          project(POINTS).replace(POINT_HEADER, POINT_HEADER + b" 0/1:1;x"))


# --- bitmaps ----------------------------------------------------------------------------------

GREYS = [(i * 17, 255 - i * 13, (i * 53) % 256) for i in range(16)]


def info_header(size, width, height, bits, compression, colors, masks=()):
    """A Windows info header of 40, 52, 56, 108 or 124 bytes; masks go right after the 40."""
    h = struct.pack("<IiiHHIIiiII", size, width, height, 1, bits, compression, 0, 2835, 2835,
                    colors, 0)
    h += b"".join(struct.pack("<I", m) for m in masks)
    return h.ljust(size, b"\0")


def core_header(width, height, bits):
    return struct.pack("<IHHHH", 12, width, height, 1, bits)


def bmp(header, palette, pixels, data_gap=b""):
    offset = 14 + len(header) + len(palette) + len(data_gap)
    size = offset + len(pixels)
    return b"BM" + struct.pack("<IHHI", size, 0, 0, offset) + header + palette + data_gap + pixels


def palette(colors, entry=4):
    return b"".join(bytes((b, g, r)) + (b"\0" if entry == 4 else b"") for r, g, b in colors)


def rows(width, height, bits, value):
    """Uncompressed rows, each padded to four bytes; value(x, y) is an index or a pixel word."""
    stride = (width * bits + 31) // 32 * 4
    out = b""
    for y in range(height):
        row = bytearray(stride)
        for x in range(width):
            v = value(x, y)
            if bits < 8:
                bit = x * bits
                row[bit // 8] |= v << (8 - bits - bit % 8)
            else:
                row[x * bits // 8:(x + 1) * bits // 8] = v.to_bytes(bits // 8, "little")
        out += bytes(row)
    return out


def colour(x, y):
    return ((x * 31 + y * 7) % 256) << 16 | ((x * 5 + y * 59) % 256) << 8 | ((x ^ y) * 3) % 256


def bitmap_seeds():
    w, h = 7, 5  # odd sizes: padding, half bytes and the 24-bit vector loop with its tail
    for bits in (1, 4, 8):
        n = 1 << bits
        pix = rows(w, h, bits, lambda x, y: (x + y) % n)
        write("bitmap", f"indexed_{bits}", bmp(info_header(40, w, h, bits, 0, 0), palette(
            (GREYS * 16)[:n]), pix))
    # A short palette (colors used) and indices past it, which give black.
    write("bitmap", "indexed_8_short_palette",
          bmp(info_header(40, w, h, 8, 0, 3), palette(GREYS[:3]),
              rows(w, h, 8, lambda x, y: (x * y) % 6)))
    write("bitmap", "rgb_24", bmp(info_header(40, w, h, 24, 0, 0), b"",
                                  rows(w, h, 24, colour)))
    write("bitmap", "rgb_24_top_down", bmp(info_header(40, w, -h, 24, 0, 0), b"",
                                           rows(w, h, 24, colour)))
    # A palette that a true-colour image may carry and that is not used.
    write("bitmap", "rgb_24_with_palette",
          bmp(info_header(40, 13, 3, 24, 0, 2), palette(GREYS[:2]), rows(13, 3, 24, colour)))
    write("bitmap", "rgb_32", bmp(info_header(40, w, h, 32, 0, 0), b"", rows(w, h, 32, colour)))
    write("bitmap", "rgb_16_555", bmp(info_header(40, w, h, 16, 0, 0), b"",
                                      rows(w, h, 16, lambda x, y: (x * 1111 + y * 77) & 0x7fff)))
    write("bitmap", "bitfields_16_565",
          bmp(info_header(40, w, h, 16, 3, 0) + struct.pack("<III", 0xF800, 0x07E0, 0x001F), b"",
              rows(w, h, 16, lambda x, y: (x * 2345 + y * 99) & 0xffff)))
    # Masks inside the larger headers, odd ones included.
    write("bitmap", "bitfields_16_v3_52",
          bmp(info_header(52, w, h, 16, 3, 0, (0x0F00, 0x00F0, 0x000F)), b"",
              rows(w, h, 16, lambda x, y: (x * 321 + y) & 0xffff)))
    write("bitmap", "bitfields_32_v4",
          bmp(info_header(108, w, h, 32, 3, 0, (0x3FF00000, 0x000FFC00, 0x000003FF)), b"",
              rows(w, h, 32, lambda x, y: (x * 0x1234567 + y * 0x89ABC) & 0xFFFFFFFF)))
    write("bitmap", "bitfields_32_v5_top_down",
          bmp(info_header(124, w, -h, 32, 3, 0, (0xFF0000, 0xFF00, 0xFF)), b"",
              rows(w, h, 32, colour)))
    write("bitmap", "rgb_32_v2_56", bmp(info_header(56, w, h, 32, 0, 0), b"",
                                        rows(w, h, 32, colour)))
    # OS/2: 12-byte header, three-byte palette entries.
    write("bitmap", "os2_core_8", bmp(core_header(w, h, 8), palette(GREYS[:16] * 16, entry=3),
                                      rows(w, h, 8, lambda x, y: (x + 3 * y) % 256)))
    write("bitmap", "os2_core_24", bmp(core_header(w, h, 24), b"", rows(w, h, 24, colour)))
    # RLE8: run, literal (odd length, padded), delta, end of line, end of bitmap.
    rle8 = bytes([3, 1, 0, 3, 2, 3, 4, 0, 0, 0,
                  0, 2, 2, 1, 2, 5, 0, 0,
                  7, 9, 0, 0,
                  0, 4, 1, 2, 3, 4, 1, 6, 0, 0,
                  0, 1])
    write("bitmap", "rle8", bmp(info_header(40, w, h, 8, 1, 16), palette(GREYS), rle8))
    # RLE4: alternating run, literal of nibbles (padded), delta, early end of bitmap.
    rle4 = bytes([5, 0x12, 0, 0,
                  0, 3, 0x34, 0x50, 2, 0x67, 0, 0,
                  0, 2, 1, 1, 4, 0xAB, 0, 0,
                  0, 1])
    write("bitmap", "rle4", bmp(info_header(40, w, h, 4, 2, 16), palette(GREYS), rle4))
    # Cut short: the pixel rows end early.
    whole = bmp(info_header(40, w, h, 24, 0, 0), b"", rows(w, h, 24, colour))
    write("bitmap", "invalid_cut_short_24", whole[:len(whole) - 9])
    write("bitmap", "invalid_cut_short_rle8", bmp(info_header(40, w, h, 8, 1, 16), palette(GREYS),
                                          rle8[:13]))
    write("bitmap", "invalid_cut_short_header", whole[:30])


def bitmap_regressions():
    """Headers that claim what the file does not hold: each must be refused before anything
    large is allocated or read past the end."""
    def hostile(name, data):
        write("bitmap", name, data, folder="regressions")

    pix = rows(7, 5, 24, colour)
    hostile("claims_100000_square", bmp(info_header(40, 100000, 100000, 24, 0, 0), b"", pix))
    hostile("zero_width", bmp(info_header(40, 0, 5, 24, 0, 0), b"", pix))
    hostile("most_negative_height", bmp(info_header(40, 7, -2**31, 24, 0, 0), b"", pix))
    whole = bytearray(bmp(info_header(40, 7, 5, 24, 0, 0), b"", pix))
    whole[10:14] = struct.pack("<I", 0x7FFFFFF0)  # pixels far past the end
    hostile("offset_past_end", bytes(whole))
    hostile("palette_beyond_file", bmp(info_header(40, 7, 5, 8, 0, 0x10000000), b"", pix))
    # An RLE delta that jumps far beyond the picture.
    hostile("rle8_delta_out_of_picture",
            bmp(info_header(40, 7, 5, 8, 1, 16), palette(GREYS), bytes([0, 2, 255, 255, 0, 1])))


if __name__ == "__main__":
    project_seeds()
    bitmap_seeds()
    bitmap_regressions()
