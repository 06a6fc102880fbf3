#!/usr/bin/env python3
"""Writes the pictures of the JPEG decoder's byte-for-byte check.

    bench/jpeg_pictures.py DIR

Deterministic: made here (smooth, noisy, checkered, landscape and
photo-like content, 1 x 1 to 1280 x 960 with odd sizes) and encoded with
libjpeg-turbo's cjpeg in every sampling it writes (grey, 4:4:4, 4:2:2,
4:2:0, 4:4:0, 4:1:1, 4:1:0 and mixed factors), qualities 10 to 100,
restart intervals of rows and of blocks, optimised Huffman tables, plus
progressive and arithmetic-coded variants, which the decoder refuses.
Prints the number of files written.
"""
import math
import os
import subprocess
import sys


def lcg(seed):
    s = seed & 0xFFFFFFFF
    while True:
        s = (s * 1103515245 + 12345) & 0xFFFFFFFF
        yield s >> 16


def smooth(w, h):
    out = bytearray(w * h * 3)
    i = 0
    for y in range(h):
        fy = y / max(1, h - 1)
        for x in range(w):
            fx = x / max(1, w - 1)
            out[i] = int(255 * fx)
            out[i + 1] = int(255 * fy)
            out[i + 2] = int(127 + 127 * math.sin(6.0 * (fx + fy)))
            i += 3
    return out


def noisy(w, h):
    g = lcg(w * 131 + h)
    return bytearray(next(g) & 0xFF for _ in range(w * h * 3))


def checker(w, h):
    out = bytearray(w * h * 3)
    i = 0
    cols = ((255, 0, 0), (0, 0, 255), (255, 255, 255), (0, 0, 0), (0, 255, 0), (255, 255, 0))
    for y in range(h):
        for x in range(w):
            c = cols[((x // 3) + (y // 5) + ((x ^ y) & 1)) % len(cols)]
            out[i:i + 3] = bytes(c)
            i += 3
    return out


def landscape(w, h):
    out = bytearray(w * h * 3)
    i = 0
    for y in range(h):
        fy = y / h
        for x in range(w):
            fx = x / w
            r, g, b = 90 + 100 * fy, 150 + 60 * fy, 240 - 40 * fy
            if math.hypot(fx - 0.75, fy - 0.25) < 0.1:
                r, g, b = 255, 230, 120
            hill = 0.55 + 0.08 * math.sin(fx * 9.0) + 0.04 * math.sin(fx * 23.0 + 1.0)
            if fy > hill:
                t = 0.5 + 0.5 * math.sin(x * 0.45) * math.sin(y * 0.3)
                r, g, b = 40 + 60 * t, 110 + 80 * t, 30 + 20 * t
            if 0.1 < fx < 0.3 and 0.6 < fy < 0.85:
                r, g, b = 200, 40, 40
            grain = ((x * 7919 + y * 104729) % 17) - 8
            out[i] = min(255, max(0, int(r + grain)))
            out[i + 1] = min(255, max(0, int(g + grain)))
            out[i + 2] = min(255, max(0, int(b + grain)))
            i += 3
    return out


def photo_like(w, h):
    # Value noise of several octaves (soft shapes at every scale), a few
    # hard edges and fine sensor grain: coefficient statistics of a photo.
    g = lcg(7 + w * 3 + h * 5)
    grids = []
    for cell in (64, 16, 4):
        gw, gh = w // cell + 2, h // cell + 2
        grids.append((cell, gw, [next(g) % 256 for _ in range(gw * gh * 3)]))
    out = bytearray(w * h * 3)
    i = 0
    for y in range(h):
        for x in range(w):
            v = [0.0, 0.0, 0.0]
            for (cell, gw, grid), amp in zip(grids, (0.7, 0.22, 0.08)):
                cx, cy = x / cell, y / cell
                ix, iy = int(cx), int(cy)
                tx, ty = cx - ix, cy - iy
                base = (iy * gw + ix) * 3
                for c in range(3):
                    a = grid[base + c]
                    b = grid[base + 3 + c]
                    d = grid[base + gw * 3 + c]
                    e = grid[base + gw * 3 + 3 + c]
                    top = a + (b - a) * tx
                    bot = d + (e - d) * tx
                    v[c] += amp * (top + (bot - top) * ty)
            if (x * 3 + y * 2) % 97 < 30 and (x // 40 + y // 30) % 3 == 0:
                v = [c * 0.6 for c in v]
            grain = (next(g) % 9) - 4
            for c in range(3):
                out[i + c] = min(255, max(0, int(v[c] + grain)))
            i += 3
    return out


CONTENT = {"smooth": smooth, "noisy": noisy, "checker": checker, "land": landscape, "photo": photo_like}
SIZES = [(1, 1), (1, 2), (2, 1), (2, 2), (3, 3), (5, 7), (7, 5), (8, 8), (9, 9), (15, 17), (16, 16),
         (17, 15), (31, 33), (33, 31), (64, 48), (100, 75), (127, 129), (320, 240), (321, 241),
         (640, 480), (1280, 960)]
SAMPLINGS = ["grey", "1x1", "2x1", "2x2", "1x2", "4x1", "4x2", "2x2,2x1,1x1", "1x1,2x2,2x2",
             "2x2,1x1,2x1", "2x4", "1x4", "3x1"]
QUALITIES = [10, 25, 50, 75, 85, 90, 95, 100]
RESTARTS = [None, None, "1", "2B", "1B", "5B"]


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: jpeg_pictures.py DIR")
    d = sys.argv[1]
    os.makedirs(d, exist_ok=True)
    count = 0
    k = 0
    for (w, h) in SIZES:
        big = w * h > 100000
        for name, fn in CONTENT.items():
            if big and name in ("checker", "smooth"):
                continue
            rgb = fn(w, h)
            ppm = os.path.join(d, "src.ppm")
            with open(ppm, "wb") as f:
                f.write(b"P6\n%d %d\n255\n" % (w, h))
                f.write(rgb)
            samplings = SAMPLINGS[:6] if big else SAMPLINGS
            for s in samplings:
                k += 1
                q = QUALITIES[k % len(QUALITIES)]
                rst = RESTARTS[k % len(RESTARTS)]
                opts = ["-quality", str(q)]
                opts += ["-grayscale"] if s == "grey" else ["-sample", s]
                if rst:
                    opts += ["-restart", rst]
                variants = [("b", ["-baseline"]), ("o", ["-optimize"])]
                if not big and k % 4 == 0:
                    variants.append(("p", ["-progressive"]))
                if not big and k % 9 == 0:
                    variants.append(("a", ["-arithmetic"]))
                if not big and k % 5 == 0:
                    variants.append(("s", ["-smooth", "30", "-dct", "float"]))
                for tag, extra in variants:
                    out = os.path.join(d, "%s_%dx%d_%s_q%d_%s_%s.jpg" % (name, w, h, s.replace(",", "-"), q,
                                                                       rst or "0", tag))
                    r = subprocess.run(["cjpeg"] + opts + extra + ["-outfile", out, ppm],
                                       stderr=subprocess.DEVNULL)
                    if r.returncode == 0 and os.path.getsize(out) > 0:
                        count += 1
                    elif os.path.exists(out):
                        os.remove(out)
            os.remove(ppm)
    print(count)


if __name__ == "__main__":
    main()
