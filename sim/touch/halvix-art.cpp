// Draws the pictures the touch toolkit loads from /halvix (title-bar
// buttons, modal frame and icons), simple shapes made for the virtual
// router, into the directory given as the only argument.
#include <png.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

struct Rgba {
    uint8_t r, g, b, a;
};

struct Pic {
    int w, h;
    std::vector<Rgba> px;
    Pic(int w_, int h_, Rgba bg) : w(w_), h(h_), px((size_t)w_ * h_, bg) {}
    void set(int x, int y, Rgba c) {
        if (x >= 0 && y >= 0 && x < w && y < h) px[(size_t)y * w + x] = c;
    }
    void rect(int x0, int y0, int x1, int y1, Rgba c) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) set(x, y, c);
    }
    void disc(double cx, double cy, double r, Rgba c) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (std::hypot(x - cx, y - cy) <= r) set(x, y, c);
    }
    void ring(double cx, double cy, double r, double t, Rgba c) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double d = std::hypot(x - cx, y - cy);
                if (d <= r && d >= r - t) set(x, y, c);
            }
    }
    // A thick line.
    void line(double x0, double y0, double x1, double y1, double t, Rgba c) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double dx = x1 - x0, dy = y1 - y0;
                double l2 = dx * dx + dy * dy;
                double u = l2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / l2 : 0;
                if (u < 0) u = 0;
                if (u > 1) u = 1;
                if (std::hypot(x - (x0 + u * dx), y - (y0 + u * dy)) <= t / 2) set(x, y, c);
            }
    }
    bool save(const std::string& path) const {
        png_image img;
        memset(&img, 0, sizeof img);
        img.version = PNG_IMAGE_VERSION;
        img.width = w;
        img.height = h;
        img.format = PNG_FORMAT_RGBA;
        return png_image_write_to_file(&img, path.c_str(), 0, px.data(), 0, nullptr) != 0;
    }
};

const Rgba kBlack = {0, 0, 0, 255};
const Rgba kWhite = {255, 255, 255, 255};
const Rgba kBlue = {0, 80, 232, 255};  // the toolkit's key colour, 1405
const Rgba kPressed = {0, 176, 248, 255};
const Rgba kGrey = {96, 96, 96, 255};
const Rgba kRed = {224, 32, 32, 255};
const Rgba kClear = {0, 0, 0, 0};

Pic button(Rgba face, Rgba mark, void (*draw)(Pic&, Rgba)) {
    Pic p(35, 35, kBlack);
    p.disc(17, 17, 16.5, face);
    draw(p, mark);
    return p;
}

void backMark(Pic& p, Rgba c) {
    p.line(9, 17, 25, 17, 4, c);
    p.line(9, 17, 16, 10, 4, c);
    p.line(9, 17, 16, 24, 4, c);
}
void homeMark(Pic& p, Rgba c) {
    p.line(8, 17, 17, 8, 3, c);
    p.line(17, 8, 26, 17, 3, c);
    p.rect(11, 17, 23, 26, c);
}
void crossMark(Pic& p, Rgba c) {
    p.line(10, 10, 24, 24, 4, c);
    p.line(24, 10, 10, 24, 4, c);
}
void languageMark(Pic& p, Rgba c) {
    p.ring(17, 17, 11, 2, c);
    p.line(6, 17, 28, 17, 2, c);
    p.line(17, 6, 17, 28, 2, c);
}

Pic icon(Rgba bg, Rgba face, bool info) {
    Pic p(60, 60, bg);
    p.disc(30, 30, 28, face);
    if (info) {
        p.disc(30, 16, 4, kWhite);
        p.rect(26, 25, 34, 47, kWhite);
    } else {
        p.rect(26, 11, 34, 36, kWhite);
        p.disc(30, 45, 4.5, kWhite);
    }
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: halvix-art DIR\n");
        return 2;
    }
    std::string d = argv[1];
    bool ok = true;
    ok &= button(kGrey, kBlack, backMark).save(d + "/back_grayed_35.png");
    ok &= button(kBlue, kWhite, homeMark).save(d + "/home_35.png");
    ok &= button(kGrey, kBlack, homeMark).save(d + "/home_grayed_35.png");
    ok &= button(kPressed, kWhite, homeMark).save(d + "/homepressed_35.png");
    ok &= button(kBlue, kWhite, languageMark).save(d + "/language_35.png");
    ok &= button(kPressed, kWhite, languageMark).save(d + "/languagepressed_35.png");
    ok &= button(kBlue, kWhite, backMark).save(d + "/back_35.png");
    ok &= button(kPressed, kWhite, backMark).save(d + "/backimagePressed_35.png");
    ok &= button(kRed, kWhite, crossMark).save(d + "/cross_35.png");
    ok &= button(kPressed, kWhite, crossMark).save(d + "/exitimagePressed_35.png");
    Pic frame(200, 100, kWhite);
    frame.rect(2, 2, 197, 97, {16, 40, 96, 255});
    ok &= frame.save(d + "/modal.png");
    ok &= icon(kBlack, kBlue, true).save(d + "/info.png");
    ok &= icon(kBlack, kRed, false).save(d + "/critical.png");
    ok &= icon(kClear, kWhite, true).save(d + "/info_transparent.png");
    ok &= icon(kClear, kWhite, false).save(d + "/critical_transparent.png");
    if (!ok) {
        fprintf(stderr, "halvix-art: cannot write the pictures in %s\n", d.c_str());
        return 1;
    }
    return 0;
}
