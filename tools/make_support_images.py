#!/usr/bin/env python3
"""Writes the GIF images of the report output folder into Default/zeb_out/.

progress.gif  8x10  bar segment; pages stretch it with width/height attributes
blank.gif     16x16 fully transparent; indentation in the report tree
plus.gif      16x16 closed folder toggle
minus.gif     16x16 open folder toggle
report.gif    16x16 document icon
folder.gif    16x16 folder icon

The images are drawn from the character maps below and encoded as GIF89a
with a small LZW encoder, so nothing beyond the standard library is needed
and the output is byte-for-byte the same on every run. Every file written is
decoded again and compared with its pixels before the script reports success.

    python3 tools/make_support_images.py [output folder]
"""
import os
import sys

# Key -> RGB. "." is the transparent background of the icons.
COLOURS = {
    ".": (255, 255, 255),
    # folder
    "o": (0xB9, 0x7F, 0x12),  # outline
    "T": (0xE2, 0xA3, 0x2B),  # back and tab
    "F": (0xF7, 0xC5, 0x4A),  # front
    "H": (0xFB, 0xDC, 0x86),  # highlight on the front's top edge
    # document
    "d": (0x5B, 0x6B, 0x82),  # outline
    "W": (0xFF, 0xFF, 0xFE),  # paper (not the transparent key colour)
    "C": (0xD5, 0xDD, 0xE8),  # folded corner
    "B": (0x3B, 0x82, 0xF6),  # text lines
    "b": (0x9D, 0xB8, 0xE6),  # lighter text lines
    # toggles
    "g": (0x7C, 0x8A, 0xA0),  # box border
    "w": (0xF8, 0xFA, 0xFC),  # box fill
    "s": (0x33, 0x41, 0x55),  # sign
}

FOLDER = [
    "................",
    "................",
    "................",
    ".ooooo..........",
    ".oTTTTo.........",
    ".oTTTTToooooooo.",
    ".oTTTTTTTTTTTTo.",
    ".oooooooooooooo.",
    ".oHHHHHHHHHHHHo.",
    ".oFFFFFFFFFFFFo.",
    ".oFFFFFFFFFFFFo.",
    ".oFFFFFFFFFFFFo.",
    ".oFFFFFFFFFFFFo.",
    ".oFFFFFFFFFFFFo.",
    ".oooooooooooooo.",
    "................",
]

REPORT = [
    "................",
    "...ddddddd......",
    "...dWWWWWdd.....",
    "...dWWWWWdCd....",
    "...dWWWWWdddd...",
    "...dWBBBWWWWd...",
    "...dWWWWWWWWd...",
    "...dWBBBBBBWd...",
    "...dWWWWWWWWd...",
    "...dWbbbbbbWd...",
    "...dWWWWWWWWd...",
    "...dWBBBBBWWd...",
    "...dWWWWWWWWd...",
    "...dWWWWWWWWd...",
    "...dddddddddd...",
    "................",
]

PLUS = [
    "................",
    "................",
    "................",
    "................",
    "....ggggggg.....",
    "...gwwwwwwwg....",
    "...gwwwswwwg....",
    "...gwwwswwwg....",
    "...gwssssswg....",
    "...gwwwswwwg....",
    "...gwwwswwwg....",
    "...gwwwwwwwg....",
    "....ggggggg.....",
    "................",
    "................",
    "................",
]

MINUS = [
    "................",
    "................",
    "................",
    "................",
    "....ggggggg.....",
    "...gwwwwwwwg....",
    "...gwwwwwwwg....",
    "...gwwwwwwwg....",
    "...gwssssswg....",
    "...gwwwwwwwg....",
    "...gwwwwwwwg....",
    "...gwwwwwwwg....",
    "....ggggggg.....",
    "................",
    "................",
    "................",
]

BLANK = ["." * 16] * 16

# Bar segment: a vertical gradient, so stretching it sideways keeps the look.
PROGRESS_COLOURS = [
    (0x93, 0xC5, 0xFD), (0x7D, 0xB6, 0xFB), (0x60, 0xA5, 0xFA), (0x52, 0x98, 0xF8),
    (0x3B, 0x82, 0xF6), (0x35, 0x78, 0xF0), (0x2F, 0x6E, 0xEA), (0x25, 0x63, 0xEB),
    (0x1F, 0x58, 0xD8), (0x1D, 0x4E, 0xD8),
]


def image_from_map(rows, transparent=True):
    """Returns (width, height, palette, pixels, transparent index or None)."""
    height = len(rows)
    width = len(rows[0])
    keys = ["."] if transparent else []
    for row in rows:
        if len(row) != width:
            raise ValueError("ragged pixel map: %r" % row)
        for ch in row:
            if ch not in COLOURS:
                raise ValueError("unknown colour key %r" % ch)
            if ch not in keys:
                keys.append(ch)
    palette = [COLOURS[k] for k in keys]
    index = {k: i for i, k in enumerate(keys)}
    pixels = [index[ch] for row in rows for ch in row]
    return width, height, palette, pixels, (0 if transparent else None)


def gradient_image(width, colours):
    pixels = []
    for y in range(len(colours)):
        pixels.extend([y] * width)
    return width, len(colours), list(colours), pixels, None


def lzw_encode(pixels, min_code_size):
    """GIF flavour of LZW: variable code width up to 12 bits, LSB-first packing."""
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    bit_buffer = 0
    bit_count = 0

    def emit(code, width):
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += width
        while bit_count >= 8:
            out.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    def reset():
        return {(i,): i for i in range(clear)}, end + 1, min_code_size + 1

    table, next_code, width = reset()
    emit(clear, width)
    current = ()
    for p in pixels:
        candidate = current + (p,)
        if candidate in table:
            current = candidate
            continue
        emit(table[current], width)
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            # The decoder widens its codes one entry later than the encoder adds
            # them, so widen once the code just assigned no longer fits.
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear, width)
            table, next_code, width = reset()
        current = (p,)
    if current:
        emit(table[current], width)
    emit(end, width)
    if bit_count:
        out.append(bit_buffer & 0xFF)
    return bytes(out)


def encode_gif(width, height, palette, pixels, transparent_index):
    bits = 1
    while (1 << bits) < len(palette):
        bits += 1
    table_size = 1 << bits
    colours = list(palette) + [(0, 0, 0)] * (table_size - len(palette))
    min_code_size = max(2, bits)

    data = bytearray(b"GIF89a")
    data += width.to_bytes(2, "little") + height.to_bytes(2, "little")
    data.append(0x80 | ((bits - 1) << 4) | (bits - 1))  # global table, its size
    data += bytes([0, 0])  # background index, aspect ratio
    for r, g, b in colours:
        data += bytes([r, g, b])
    if transparent_index is not None:
        # Graphic control extension: no disposal, transparent colour flag.
        data += bytes([0x21, 0xF9, 4, 0x01, 0, 0, transparent_index, 0])
    data += b"\x2C" + (0).to_bytes(2, "little") * 2
    data += width.to_bytes(2, "little") + height.to_bytes(2, "little") + b"\x00"
    data.append(min_code_size)
    compressed = lzw_encode(pixels, min_code_size)
    for i in range(0, len(compressed), 255):
        chunk = compressed[i:i + 255]
        data.append(len(chunk))
        data += chunk
    data += b"\x00\x3B"
    return bytes(data)


def decode_gif(data):
    """Decodes the single-frame GIFs written above; used to check the output."""
    if data[:6] not in (b"GIF87a", b"GIF89a"):
        raise ValueError("not a GIF file")
    width = int.from_bytes(data[6:8], "little")
    height = int.from_bytes(data[8:10], "little")
    flags = data[10]
    pos = 13
    palette = []
    if flags & 0x80:
        size = 1 << ((flags & 7) + 1)
        for i in range(size):
            palette.append(tuple(data[pos + 3 * i:pos + 3 * i + 3]))
        pos += 3 * size
    transparent = None
    while True:
        block = data[pos]
        if block == 0x21:
            label = data[pos + 1]
            pos += 2
            if label == 0xF9 and data[pos + 1] & 1:
                transparent = data[pos + 4]
            while data[pos]:
                pos += data[pos] + 1
            pos += 1
        elif block == 0x2C:
            if data[pos + 9] & 0x80:
                raise ValueError("local colour tables are not expected")
            pos += 10
            break
        else:
            raise ValueError("unexpected block 0x%02x" % block)
    min_code_size = data[pos]
    pos += 1
    stream = bytearray()
    while data[pos]:
        stream += data[pos + 1:pos + 1 + data[pos]]
        pos += data[pos] + 1
    if data[pos + 1:pos + 2] != b"\x3B":
        raise ValueError("missing trailer")

    clear = 1 << min_code_size
    end = clear + 1
    width_bits = min_code_size + 1
    table = [(i,) for i in range(clear)] + [None, None]
    prev = None
    pixels = []
    bit_pos = 0
    total_bits = len(stream) * 8
    while bit_pos + width_bits <= total_bits:
        code = 0
        for i in range(width_bits):
            byte = stream[(bit_pos + i) >> 3]
            code |= ((byte >> ((bit_pos + i) & 7)) & 1) << i
        bit_pos += width_bits
        if code == clear:
            table = [(i,) for i in range(clear)] + [None, None]
            width_bits = min_code_size + 1
            prev = None
            continue
        if code == end:
            break
        if code < len(table):
            entry = table[code]
            if entry is None:
                raise ValueError("reserved code in data")
            if prev is not None:
                table.append(prev + (entry[0],))
        elif code == len(table) and prev is not None:
            entry = prev + (prev[0],)
            table.append(entry)
        else:
            raise ValueError("bad LZW code %d" % code)
        pixels.extend(entry)
        prev = entry
        if len(table) == (1 << width_bits) and width_bits < 12:
            width_bits += 1
    else:
        raise ValueError("missing end code")
    if len(pixels) != width * height:
        raise ValueError("pixel count %d, expected %d" % (len(pixels), width * height))
    return width, height, palette, pixels, transparent


IMAGES = [
    ("progress.gif", lambda: gradient_image(8, PROGRESS_COLOURS)),
    ("blank.gif", lambda: image_from_map(BLANK)),
    ("minus.gif", lambda: image_from_map(MINUS)),
    ("plus.gif", lambda: image_from_map(PLUS)),
    ("report.gif", lambda: image_from_map(REPORT)),
    ("folder.gif", lambda: image_from_map(FOLDER)),
]


def self_test():
    """Round-trips data long enough to fill the code table and restart it."""
    import random
    rng = random.Random(7)
    for size_bits, count in ((2, 5000), (4, 20000), (8, 30000)):
        pixels = [rng.randrange(1 << size_bits) if rng.random() < 0.7 else 0
                  for _ in range(count)]
        palette = [(i, i, i) for i in range(1 << size_bits)]
        data = encode_gif(count, 1, palette, pixels, None)
        if decode_gif(data)[3] != pixels:
            raise SystemExit("LZW round trip failed for %d-bit data" % size_bits)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "Default", "zeb_out")
    os.makedirs(target, exist_ok=True)
    self_test()
    for name, build in IMAGES:
        width, height, palette, pixels, transparent = build()
        data = encode_gif(width, height, palette, pixels, transparent)
        w, h, pal, px, tr = decode_gif(data)
        if (w, h, px, tr) != (width, height, pixels, transparent) or pal[:len(palette)] != palette:
            raise SystemExit("%s does not decode to what was drawn" % name)
        with open(os.path.join(target, name), "wb") as f:
            f.write(data)
        print("%-13s %2dx%-2d %4d bytes" % (name, width, height, len(data)))


if __name__ == "__main__":
    main()
