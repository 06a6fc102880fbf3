#include "raster.h"

#include <math.h>
#include <stdlib.h>

#include <utility>

#include "fb.h"

namespace simlcd {

namespace {

// Corners given either way round: lo becomes the smaller.
void inOrder(int& lo, int& hi) {
    if (lo > hi) std::swap(lo, hi);
}

// A picture of w x h pixels at (x, y), clipped to the panel; at(k) gives
// pixel k (row by row) in RGB565.
template <typename Source>
void blit(uint16_t* px, int x, int y, int w, int h, Source at) {
    if (w <= 0 || h <= 0 || x >= kWidth || (long long)x + w <= 0) return;
    for (int j = y < 0 ? -y : 0; j < h; ++j) {
        int py = y + j;
        if (py >= kHeight) break;
        int i0 = x < 0 ? -x : 0;
        int i1 = (long long)x + w > kWidth ? kWidth - x : w;
        for (int i = i0; i < i1; ++i) px[py * kWidth + x + i] = at((size_t)j * w + i);
    }
}

}  // namespace

uint16_t rgb565(int r, int g, int b) { return (uint16_t)(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)); }

uint16_t mix565(uint16_t under, uint16_t over, int a) {
    if (a >= 255) return over;
    if (a <= 0) return under;
    int r0 = under >> 11, g0 = (under >> 5) & 63, b0 = under & 31;
    int r1 = over >> 11, g1 = (over >> 5) & 63, b1 = over & 31;
    int r = (r0 * (255 - a) + r1 * a + 127) / 255;
    int g = (g0 * (255 - a) + g1 * a + 127) / 255;
    int b = (b0 * (255 - a) + b1 * a + 127) / 255;
    return (uint16_t)((r << 11) | (g << 5) | b);
}

void Canvas::blend(int x, int y, uint16_t c, int a) {
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return;
    a = a * alpha / 255;
    uint16_t& p = px[y * kWidth + x];
    p = mix565(p, c, a);
}

void Canvas::fillRect(int x0, int y0, int x1, int y1, uint16_t c, int a) {
    inOrder(x0, x1);
    inOrder(y0, y1);
    if (x0 < 0) x0 = 0;
    if (y0 < 0) y0 = 0;
    if (x1 >= kWidth) x1 = kWidth - 1;
    if (y1 >= kHeight) y1 = kHeight - 1;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) blend(x, y, c, a);
}

void Canvas::rect(int x0, int y0, int x1, int y1, uint16_t c) {
    inOrder(x0, x1);
    inOrder(y0, y1);
    fillRect(x0, y0, x1, y0, c);
    if (y1 != y0) fillRect(x0, y1, x1, y1, c);
    if (y1 - y0 > 1) {
        fillRect(x0, y0 + 1, x0, y1 - 1, c);
        if (x1 != x0) fillRect(x1, y0 + 1, x1, y1 - 1, c);
    }
}

void Canvas::line(int x0, int y0, int x1, int y1, uint16_t c) {
    int dx = abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    int dy = -abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        pixel(x0, y0, c);
        if (x0 == x1 && y0 == y1) break;
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

// Xiaolin Wu's line: two pixels per step, weighted by distance.
void Canvas::lineAA(int x0, int y0, int x1, int y1, uint16_t c) {
    bool steep = abs(y1 - y0) > abs(x1 - x0);
    auto plot = [&](int x, int y, double cov) {
        int a = (int)lround(cov * 255.0);
        if (steep)
            blend(y, x, c, a);
        else
            blend(x, y, c, a);
    };
    if (steep) {
        std::swap(x0, y0);
        std::swap(x1, y1);
    }
    if (x0 > x1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    double dx = x1 - x0, dy = y1 - y0;
    double gradient = dx == 0 ? 1.0 : dy / dx;
    double y = y0;
    for (int x = x0; x <= x1; ++x) {
        int yi = (int)floor(y);
        double f = y - yi;
        plot(x, yi, 1.0 - f);
        if (f > 0) plot(x, yi + 1, f);
        y += gradient;
    }
}

void Canvas::circle(int cx, int cy, int r, uint16_t c) {
    if (r < 0) return;
    int x = r, y = 0, err = 1 - r;
    while (x >= y) {
        // Each point once, even where the octants meet.
        int pts[8][2] = {{x, y}, {y, x}, {-y, x}, {-x, y}, {-x, -y}, {-y, -x}, {y, -x}, {x, -y}};
        for (int i = 0; i < 8; ++i) {
            bool dup = false;
            for (int j = 0; j < i; ++j)
                if (pts[j][0] == pts[i][0] && pts[j][1] == pts[i][1]) dup = true;
            if (!dup) pixel(cx + pts[i][0], cy + pts[i][1], c);
        }
        ++y;
        if (err < 0) {
            err += 2 * y + 1;
        } else {
            --x;
            err += 2 * (y - x) + 1;
        }
    }
}

void Canvas::fillCircle(int cx, int cy, int r, uint16_t c) {
    if (r < 0) return;
    int y0 = cy - r < 0 ? -cy : -r, y1 = cy + r >= kHeight ? kHeight - 1 - cy : r;
    for (int dy = y0; dy <= y1; ++dy) {
        int half = (int)floor(sqrt((double)r * r - (double)dy * dy) + 0.5);
        if ((long long)half * half + (long long)dy * dy > (long long)r * r + r) --half;
        fillRect(cx - half, cy + dy, cx + half, cy + dy, c);
    }
}

void Canvas::roundedRect(int x0, int y0, int x1, int y1, int r, uint16_t c) {
    inOrder(x0, x1);
    inOrder(y0, y1);
    long long w = (long long)x1 - x0, h = (long long)y1 - y0;
    if (r < 0) r = 0;
    if (r > w / 2) r = (int)(w / 2);
    if (r > h / 2) r = (int)(h / 2);
    // Clip the rows first so that a huge rectangle costs the panel, no more.
    int ya = y0 < -1 ? -1 : y0, yb = y1 > kHeight ? kHeight : y1;
    for (int y = ya; y <= yb; ++y) {
        int inset = 0;
        int dy = y < y0 + r ? y0 + r - y : (y > y1 - r ? y - (y1 - r) : 0);
        if (dy > 0) {
            double span = sqrt((double)r * r - (double)dy * dy);
            inset = r - (int)floor(span + 0.5);
        }
        fillRect(x0 + inset, y, x1 - inset, y, c);
    }
}

void Canvas::pictureRgb(int x, int y, int w, int h, const uint8_t* rgb) {
    blit(px, x, y, w, h, [rgb](size_t k) {
        const uint8_t* s = rgb + k * 3;
        return rgb565(s[0], s[1], s[2]);
    });
}

void Canvas::picture565(int x, int y, int w, int h, const uint16_t* p) {
    blit(px, x, y, w, h, [p](size_t k) { return p[k]; });
}

void Canvas::darken() {
    for (int i = 0; i < kWidth * kHeight; ++i) px[i] = (uint16_t)((px[i] >> 1) & 0x7BEF);
}

}  // namespace simlcd
