#!/usr/bin/env python3
"""Writes the shipped colour lists (palettes/*.Pal) from the designs below.

    tools/make-palettes.py [--check] [FOLDER]     (FOLDER defaults to palettes/)

With --check nothing is written: the files in FOLDER are compared with the designs and the
script exits with status 1 when one differs or is missing.

A colour file is a sequence of 12-byte little-endian records: a double value, then a 32-bit
colour 0x00BBGGRR. Record 0 holds the colour below the list, record 1 the colour above it (both
with value 0), then the entries in ascending order of value.

Lyapunov exponents below 0 mean order (a stable orbit), above 0 chaos. The designs:
  two-sided  order in one ramp, bright at strong stability and dark towards 0; 0 black; chaos in
             another ramp from dark at 0 to bright;
  one-sided  order shaded in one smooth ramp down to black at 0, chaos all black;
and among them a high-contrast list with hard edges, a grey list for print and colour-blind-safe
lists on the viridis and cividis colour maps (tabulated below at 33 points, 0/32 ... 32/32).
"""

import os
import struct
import sys

# viridis and cividis at k/32, k = 0 ... 32, from dark to bright.
VIRIDIS = """
440154 470d60 48186a 482374 472d7b 453781 424086 3e4989 3b528b 375b8d 33638d 2f6b8e 2c728e
297a8e 26828e 23898e 21918c 1f988b 1fa088 22a785 28ae80 32b67a 3fbc73 4ec36b 5ec962 70cf57
84d44b 98d83e addc30 c2df23 d8e219 ece51b fde725
""".split()
CIVIDIS = """
00224e 00285b 002e6a 053371 1a386f 273e6e 32436d 3b496c 434e6c 4b546c 535a6d 5a5f6e 61656f
686a71 6f7073 767676 7d7c78 848279 8c8878 938e78 9b9476 a39a74 aba072 b4a76f bcae6c c4b468
cdbb63 d5c25e dec958 e7d150 f0d846 f9e03a fee838
""".split()

BLACK = (0, 0, 0)


def hex_colour(h):
    return (int(h[0:2], 16), int(h[2:4], 16), int(h[4:6], 16))


def one_sided_from_map(table):
    """Order from the map's bright end at -2 down to its dark end at 0; chaos black."""
    n = len(table) - 1
    return [(-2.0 + 2.0 * k / n, hex_colour(table[n - k])) for k in range(n + 1)]


def two_sided(order, chaos):
    return order + [(0.0, BLACK)] + chaos


# name -> (entries, below, above); below None: the first entry's colour, above None: the last's.
DESIGNS = {
    # The program's own default list.
    "default": ([(-1.0, (255, 255, 255)), (-0.1, (255, 255, 0)), (0.0, (255, 128, 0)),
                 (0.01, (255, 0, 0)), (0.1, BLACK)], None, BLACK),
    # The scheme of the classic pictures: order in gold, chaos in blue.
    "classic": (two_sided(
        [(-2.0, (255, 255, 200)), (-1.0, (255, 220, 0)), (-0.4, (200, 120, 0)), (-0.1, (90, 40, 0))],
        [(0.1, (0, 20, 90)), (0.4, (30, 90, 220)), (1.0, (200, 230, 255))]), None, None),
    "fire-and-ice": (two_sided(
        [(-2.0, (255, 255, 255)), (-1.2, (255, 230, 80)), (-0.6, (240, 110, 0)), (-0.2, (150, 20, 0))],
        [(0.1, (0, 40, 60)), (0.4, (0, 160, 200)), (1.0, (230, 255, 255))]), None, None),
    "jade-and-rose": (two_sided(
        [(-2.0, (220, 255, 220)), (-1.0, (60, 200, 110)), (-0.3, (0, 90, 50))],
        [(0.15, (80, 0, 60)), (0.5, (200, 40, 150)), (1.0, (255, 200, 240))]), None, None),
    # Colour-blind safe on both sides: order in cividis (blue to yellow), chaos in grey.
    "cividis-two-sided": (one_sided_from_map(CIVIDIS)[:-1] + [(0.0, BLACK)] +
                          [(0.15, (70, 70, 70)), (1.0, (235, 235, 235))], None, None),
    # For printing in black and white.
    "grey-print": (two_sided(
        [(-2.0, (255, 255, 255)), (-1.0, (200, 200, 200)), (-0.3, (110, 110, 110))],
        [(0.05, (80, 80, 80)), (1.0, (190, 190, 190))]), None, None),
    # Hard edges: saturated bands for order, and chaos jumps to cyan right after 0.
    "high-contrast": ([(-2.0, (255, 255, 255)), (-1.0, (255, 255, 0)), (-1.0, (255, 0, 0)),
                       (-0.3, (120, 0, 0)), (-0.3, (255, 0, 255)), (0.0, BLACK), (0.0, (0, 255, 255)),
                       (0.5, (0, 80, 255)), (1.0, (255, 255, 255))], None, None),
    # One-sided smooth ramps.
    "copper": ([(-2.0, (255, 240, 210)), (-1.2, (240, 170, 110)), (-0.6, (190, 100, 50)),
                (-0.2, (90, 40, 15)), (0.0, BLACK)], None, BLACK),
    "ocean": ([(-2.0, (235, 255, 255)), (-1.2, (120, 220, 230)), (-0.6, (0, 140, 180)),
               (-0.2, (0, 50, 100)), (0.0, BLACK)], None, BLACK),
    "sunset": ([(-2.0, (255, 245, 150)), (-1.3, (255, 170, 40)), (-0.7, (230, 70, 50)),
                (-0.3, (140, 20, 90)), (0.0, BLACK)], None, BLACK),
    "forest": ([(-2.0, (240, 255, 200)), (-1.2, (150, 210, 80)), (-0.6, (40, 130, 40)),
                (-0.2, (10, 60, 20)), (0.0, BLACK)], None, BLACK),
    "rainbow": ([(-2.0, (255, 0, 0)), (-1.6, (255, 160, 0)), (-1.2, (255, 255, 0)), (-0.8, (0, 220, 0)),
                 (-0.4, (0, 200, 255)), (-0.15, (60, 0, 255)), (0.0, BLACK)], None, BLACK),
    # Colour-blind safe and even in lightness.
    "viridis": (one_sided_from_map(VIRIDIS), None, BLACK),
    "cividis": (one_sided_from_map(CIVIDIS), None, BLACK),
}


def colour_value(rgb):
    r, g, b = rgb
    return r | (g << 8) | (b << 16)


def encode(entries, below, above):
    below = entries[0][1] if below is None else below
    above = entries[-1][1] if above is None else above
    values = [v for v, _ in entries]
    assert values == sorted(values), "entries out of order"
    out = struct.pack("<dI", 0.0, colour_value(below)) + struct.pack("<dI", 0.0, colour_value(above))
    for v, rgb in entries:
        out += struct.pack("<dI", v, colour_value(rgb))
    return out


def main(args):
    check = "--check" in args
    rest = [a for a in args if a != "--check"]
    folder = rest[0] if rest else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "palettes")
    assert len(VIRIDIS) == 33 and len(CIVIDIS) == 33
    failed = False
    if not check:
        os.makedirs(folder, exist_ok=True)
    for name, (entries, below, above) in sorted(DESIGNS.items()):
        data = encode(entries, below, above)
        path = os.path.join(folder, name + ".Pal")
        if check:
            try:
                with open(path, "rb") as f:
                    same = f.read() == data
            except OSError:
                same = False
            if not same:
                print(f"{path}: differs from its design", file=sys.stderr)
                failed = True
        else:
            with open(path, "wb") as f:
                f.write(data)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
