#!/usr/bin/env python3
"""Draws the program's artwork (icons, logo, startup-note buttons) as PNG files.

Run it in this folder after changing a picture: `python3 make_artwork.py`. It needs nothing
but Python; shapes are rasterised with 4 x 4 supersampling. The logo and the program icon are
a real Lyapunov fractal of the logistic map with the sequence AAAAAABBBBBB.
"""
import math
import struct
import zlib

SUB = 4  # supersampling per axis


class Canvas:
    def __init__(self, w, h, background=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(background) for _ in range(w * h)]

    def blend(self, x, y, color, coverage):
        if coverage <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        r, g, b = color[:3]
        a = (color[3] if len(color) > 3 else 255) / 255 * coverage
        d = self.px[y * self.w + x]
        da = d[3] / 255
        oa = a + da * (1 - a)
        if oa <= 0:
            return
        for i, c in enumerate((r, g, b)):
            d[i] = round((c * a + d[i] * da * (1 - a)) / oa)
        d[3] = round(oa * 255)

    def shape(self, inside, box, color):
        """Fills every pixel of box (x0, y0, x1, y1) by the share of sub-points inside."""
        x0, y0, x1, y1 = (int(math.floor(box[0])), int(math.floor(box[1])),
                          int(math.ceil(box[2])), int(math.ceil(box[3])))
        for y in range(max(0, y0), min(self.h, y1 + 1)):
            for x in range(max(0, x0), min(self.w, x1 + 1)):
                n = 0
                for sy in range(SUB):
                    for sx in range(SUB):
                        if inside(x + (sx + 0.5) / SUB, y + (sy + 0.5) / SUB):
                            n += 1
                self.blend(x, y, color, n / (SUB * SUB))

    def rect(self, x0, y0, x1, y1, color, radius=0.0):
        def inside(x, y):
            if not (x0 <= x <= x1 and y0 <= y <= y1):
                return False
            cx = min(max(x, x0 + radius), x1 - radius)
            cy = min(max(y, y0 + radius), y1 - radius)
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius + 1e-9
        self.shape(inside, (x0, y0, x1, y1), color)

    def frame(self, x0, y0, x1, y1, color, width, radius=0.0):
        def inside(x, y):
            def within(a0, b0, a1, b1, r):
                if not (a0 <= x <= a1 and b0 <= y <= b1):
                    return False
                cx = min(max(x, a0 + r), a1 - r)
                cy = min(max(y, b0 + r), b1 - r)
                return (x - cx) ** 2 + (y - cy) ** 2 <= r * r + 1e-9
            inner = max(0.0, radius - width)
            return within(x0, y0, x1, y1, radius) and not within(x0 + width, y0 + width, x1 - width, y1 - width, inner)
        self.shape(inside, (x0, y0, x1, y1), color)

    def circle(self, cx, cy, r, color, inner=0.0, start=None, end=None):
        """A disc, or a ring (inner > 0), or a ring segment from angle start to end (degrees,
        counter-clockwise from the positive x axis, y pointing down on screen)."""
        def inside(x, y):
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            if d2 > r * r or d2 < inner * inner:
                return False
            if start is None:
                return True
            a = math.degrees(math.atan2(cy - y, x - cx)) % 360
            return (a - start) % 360 <= (end - start) % 360
        self.shape(inside, (cx - r, cy - r, cx + r, cy + r), color)

    def line(self, points, color, width):
        half = width / 2

        def seg_dist2(x, y, a, b):
            (ax, ay), (bx, by) = a, b
            dx, dy = bx - ax, by - ay
            t = 0.0 if dx == dy == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
            return (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2

        segs = list(zip(points, points[1:]))

        def inside(x, y):
            return any(seg_dist2(x, y, a, b) <= half * half for a, b in segs)
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.shape(inside, (min(xs) - half, min(ys) - half, max(xs) + half, max(ys) + half), color)

    def polygon(self, points, color):
        def inside(x, y):
            c = False
            n = len(points)
            for i in range(n):
                (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
                if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                    c = not c
            return c
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.shape(inside, (min(xs), min(ys), max(xs), max(ys)), color)

    def save(self, path):
        raw = b"".join(b"\x00" + bytes(v for p in self.px[y * self.w:(y + 1) * self.w] for v in p)
                       for y in range(self.h))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
        png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0))
               + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
        with open(path, "wb") as f:
            f.write(png)


# --- the fractal ---------------------------------------------------------------------------

def lyapunov(a, b, sequence="AAAAAABBBBBB", warmup=60, iterations=240):
    x = 0.5
    steps = [a if c == "A" else b for c in sequence]
    n = len(steps)
    for i in range(warmup):
        r = steps[i % n]
        x = r * x * (1 - x)
    total = 0.0
    for i in range(iterations):
        r = steps[i % n]
        x = r * x * (1 - x)
        d = abs(r * (1 - 2 * x))
        if d < 1e-300:
            return -10.0
        total += math.log(d)
    return total / iterations


def fractal_color(e):
    # Order (negative): black through deep blue to gold and pale yellow; chaos (positive): black.
    if e >= 0:
        return (0, 0, 0)
    t = min(1.0, -e / 1.2)
    stops = [(0.0, (10, 10, 40)), (0.25, (40, 60, 170)), (0.55, (230, 170, 30)), (1.0, (255, 250, 200))]
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            f = (t - t0) / (t1 - t0)
            return tuple(round(c0[i] + (c1[i] - c0[i]) * f) for i in range(3))
    return stops[-1][1]


def fractal(size, radius):
    c = Canvas(size, size)
    a0, a1, b0, b1 = 3.4, 4.0, 2.5, 3.4  # the classic view of AAAAAABBBBBB
    for y in range(size):
        for x in range(size):
            a = a0 + (a1 - a0) * (x + 0.5) / size
            b = b1 - (b1 - b0) * (y + 0.5) / size
            c.px[y * size + x] = list(fractal_color(lyapunov(a, b))) + [255]
    # Round the corners by masking.
    mask = Canvas(size, size)
    mask.rect(0, 0, size, size, (255, 255, 255, 255), radius)
    for p, m in zip(c.px, mask.px):
        p[3] = m[3]
    return c


# --- toolbar icons (48 x 48, shown at 24 x 24) -------------------------------------------------

INK = (40, 40, 48)
PAPER = (252, 252, 248)
BLUE = (40, 90, 190)
WIN_TITLE = (60, 110, 200)


def page(c, x0=10, y0=4, x1=38, y1=44):
    fold = 10
    c.polygon([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)], INK)
    c.polygon([(x0 + 2, y0 + 2), (x1 - fold - 1, y0 + 2), (x1 - 2, y0 + fold + 1), (x1 - 2, y1 - 2), (x0 + 2, y1 - 2)], PAPER)
    c.polygon([(x1 - fold, y0), (x1, y0 + fold), (x1 - fold, y0 + fold)], (200, 200, 200))


def window(c, x0, y0, x1, y1):
    c.rect(x0, y0, x1, y1, INK, 2)
    c.rect(x0 + 2, y0 + 2, x1 - 2, y1 - 2, PAPER, 1)
    c.rect(x0 + 2, y0 + 2, x1 - 2, y0 + 8, WIN_TITLE, 1)


def icon_new():
    c = Canvas(48, 48)
    page(c, 8, 4, 36, 44)
    c.circle(35, 35, 11, (40, 150, 60))
    c.line([(35, 29), (35, 41)], PAPER, 3.5)
    c.line([(29, 35), (41, 35)], PAPER, 3.5)
    return c


def icon_open():
    c = Canvas(48, 48)
    c.polygon([(4, 10), (18, 10), (22, 15), (42, 15), (42, 40), (4, 40)], (170, 120, 20))
    c.polygon([(4, 40), (12, 21), (46, 21), (40, 40)], (245, 200, 70))
    c.line([(4, 40), (12, 21), (46, 21), (40, 40), (4, 40)], (150, 100, 10), 1.5)
    return c


def icon_recover():
    c = Canvas(48, 48)
    page(c, 8, 4, 34, 40)
    c.circle(32, 32, 13, (200, 40, 40), inner=7)
    for start in (20, 110, 200, 290):
        c.circle(32, 32, 13.5, PAPER, inner=6.5, start=start, end=start + 40)
    return c


def icon_save():
    c = Canvas(48, 48)
    c.polygon([(5, 5), (38, 5), (43, 10), (43, 43), (5, 43)], BLUE)
    c.rect(12, 5, 34, 18, (220, 225, 235))
    c.rect(27, 7, 32, 16, BLUE)
    c.rect(10, 25, 38, 43, PAPER, 2)
    c.line([(14, 31), (34, 31)], (160, 160, 170), 1.5)
    c.line([(14, 37), (34, 37)], (160, 160, 170), 1.5)
    return c


def icon_cascade():
    c = Canvas(48, 48)
    window(c, 3, 3, 31, 27)
    window(c, 10, 11, 38, 35)
    window(c, 17, 19, 45, 44)
    return c


def icon_tile_horizontal():
    c = Canvas(48, 48)
    window(c, 4, 3, 44, 23)
    window(c, 4, 25, 44, 45)
    return c


def icon_tile_vertical():
    c = Canvas(48, 48)
    window(c, 3, 4, 23, 44)
    window(c, 25, 4, 45, 44)
    return c


def icon_help():
    c = Canvas(48, 48)
    c.circle(24, 24, 21, BLUE)
    c.circle(24, 18, 8.5, PAPER, inner=4, start=-40, end=190)
    c.polygon([(27.5, 20), (31.8, 22), (25.5, 28), (25.5, 32), (22.5, 32), (22.5, 27)], PAPER)
    c.circle(24, 37.5, 2.8, PAPER)
    return c


# --- startup-note buttons (120 x 32) ---------------------------------------------------------

def button(hot):
    c = Canvas(120, 32)
    face = (230, 150, 20) if hot else (60, 60, 70)
    edge = (255, 220, 120) if hot else (130, 130, 140)
    c.rect(1, 1, 119, 31, edge, 8)
    c.rect(3, 3, 117, 29, face, 6)
    mark = (0, 0, 0) if hot else (235, 235, 235)
    # A tick: "understood, close the note".
    c.line([(46, 16), (55, 24), (74, 8)], mark, 4)
    return c


def main():
    fractal(256, 40).save("vantorel.png")
    fractal(64, 10).save("logo.png")
    for name, draw in [("new", icon_new), ("open", icon_open), ("recover", icon_recover), ("save", icon_save),
                       ("cascade", icon_cascade), ("tile-horizontal", icon_tile_horizontal),
                       ("tile-vertical", icon_tile_vertical), ("help", icon_help)]:
        draw().save(name + ".png")
    button(False).save("button.png")
    button(True).save("button-hot.png")


if __name__ == "__main__":
    main()
