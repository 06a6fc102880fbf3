// The JPEG decoder against libjpeg-turbo's cjpeg and djpeg, on pictures
// made here (procedural "photos"), and against damaged and hostile files.
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "lcddraw/libHalvixGui.h"
#include "lcddraw/jpeg.h"
#include "lcdview.h"
#include "testkit.h"

namespace {

// A landscape: sky gradient, a sun, hills, a textured field and a few
// sharp-edged coloured shapes, so every frequency band carries something.
std::vector<uint8_t> photo(int w, int h) {
    std::vector<uint8_t> p((size_t)w * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double fx = (double)x / w, fy = (double)y / h;
            double r = 90 + 100 * fy, g = 150 + 60 * fy, b = 240 - 40 * fy;
            double sun = hypot(fx - 0.75, fy - 0.25);
            if (sun < 0.1) r = 255, g = 230, b = 120;
            double hill = 0.55 + 0.08 * sin(fx * 9.0) + 0.04 * sin(fx * 23.0 + 1.0);
            if (fy > hill) {
                double t = 0.5 + 0.5 * sin(x * 0.45) * sin(y * 0.3);
                r = 40 + 60 * t;
                g = 110 + 80 * t;
                b = 30 + 20 * t;
            }
            if (fx > 0.1 && fx < 0.3 && fy > 0.6 && fy < 0.85) r = 200, g = 40, b = 40;  // a red barn
            uint8_t* o = &p[((size_t)y * w + x) * 3];
            o[0] = (uint8_t)lround(r);
            o[1] = (uint8_t)lround(g);
            o[2] = (uint8_t)lround(b);
        }
    return p;
}

void writePpm(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    fprintf(f, "P6\n%d %d\n255\n", w, h);
    fwrite(rgb.data(), 1, rgb.size(), f);
    fclose(f);
}

// Reads a binary PNM (P5 or P6) as written by djpeg.
bool readPnm(const std::string& path, int& w, int& h, int& channels, std::vector<uint8_t>& out) {
    std::string d = testkit::readFile(path);
    int maxv = 0, n = 0;
    char magic[3] = {0};
    if (sscanf(d.c_str(), "%2s %d %d %d%n", magic, &w, &h, &maxv, &n) != 4) return false;
    channels = magic[1] == '6' ? 3 : 1;
    size_t size = (size_t)w * h * channels;
    if (d.size() < (size_t)n + 1 + size) return false;
    out.assign(d.begin() + n + 1, d.begin() + n + 1 + size);
    return true;
}

std::string makeJpeg(const std::string& name, int w, int h, const std::string& options) {
    std::string ppm = "/tmp/" + name + ".ppm", jpg = "/tmp/" + name + ".jpg";
    writePpm(ppm, w, h, photo(w, h));
    std::string cmd = "cjpeg " + options + " -outfile " + jpg + " " + ppm;
    EXPECT_EQ(system(cmd.c_str()), 0) << cmd;
    return jpg;
}

double psnr(const uint8_t* a, const uint8_t* b, size_t n) {
    double se = 0;
    for (size_t i = 0; i < n; ++i) {
        double d = (double)a[i] - b[i];
        se += d * d;
    }
    if (se == 0) return 99.0;
    return 10.0 * log10(255.0 * 255.0 / (se / n));
}

struct Case {
    const char* name;
    int w, h;
    const char* options;
    double min = 40.0;
};

// The bound: the decoder's chroma filter and inverse DCT differ from
// djpeg's in rounding and in the filter's taps. Measured over this table:
// 40.4 dB at the lowest for real sizes; a 2 x 2 4:2:0 picture, whose one
// chroma sample the four-tap filter spreads against the block's padding,
// gives 39.8 dB.

TEST(JpegDecoder, MatchesDjpegOnCjpegPictures) {
    const Case cases[] = {
        {"grey", 160, 120, "-grayscale -quality 90"},
        {"s444", 160, 120, "-sample 1x1,1x1,1x1 -quality 90"},
        {"s422", 160, 120, "-sample 2x1,1x1,1x1 -quality 90"},
        {"s420", 320, 240, "-sample 2x2,1x1,1x1 -quality 85"},
        {"s440", 160, 120, "-sample 1x2,1x1,1x1 -quality 90"},
        {"odd420", 97, 61, "-quality 85"},
        {"odd422", 33, 17, "-sample 2x1,1x1,1x1 -quality 90"},
        {"oddgrey", 45, 13, "-grayscale -quality 75"},
        {"one420", 1, 1, "-quality 90"},
        {"onegrey", 1, 1, "-grayscale"},
        {"two420", 2, 2, "-quality 90", 39.0},
        {"restart_rows", 160, 120, "-restart 1 -quality 85"},
        {"restart_blocks", 97, 61, "-restart 3B -quality 85"},
        {"restart_grey", 64, 64, "-grayscale -restart 1B"},
        {"q50", 160, 120, "-quality 50"},
        {"q75", 160, 120, "-quality 75"},
        {"q95", 160, 120, "-quality 95"},
        {"q100", 160, 120, "-quality 100 -sample 1x1,1x1,1x1"},
        {"optimized", 160, 120, "-optimize -quality 80"},
        // Codes longer than the first-level lookup, odd widths in the
        // two-plane chroma rows, restarts inside macroblock rows.
        {"odd420_q98", 321, 241, "-optimize -quality 98 -restart 2B"},
    };
    for (const Case& c : cases) {
        std::string jpg = makeJpeg(c.name, c.w, c.h, c.options);
        std::string ref = std::string("/tmp/") + c.name + ".pnm";
        ASSERT_EQ(system(("djpeg -pnm -outfile " + ref + " " + jpg).c_str()), 0);
        int rw, rh, ch;
        std::vector<uint8_t> want;
        ASSERT_TRUE(readPnm(ref, rw, rh, ch, want)) << c.name;
        std::string data = testkit::readFile(jpg);
        njInit();
        ASSERT_EQ(njDecode(data.data(), (int)data.size()), NJ_OK) << c.name;
        EXPECT_EQ(njGetWidth(), c.w) << c.name;
        EXPECT_EQ(njGetHeight(), c.h) << c.name;
        EXPECT_EQ(njIsColor(), ch == 3) << c.name;
        ASSERT_EQ(njGetImageSize(), c.w * c.h * ch) << c.name;
        double p = psnr(njGetImage(), want.data(), want.size());
        RecordProperty(c.name, std::to_string(p));
        printf("%-16s %4dx%-4d %6.2f dB\n", c.name, c.w, c.h, p);
        EXPECT_GE(p, c.min) << c.name;
        njDone();
    }
}

std::string readAll(const std::string& path) { return testkit::readFile(path); }

int decode(const std::string& d) {
    njInit();
    int r = njDecode(d.data(), (int)d.size());
    njDone();
    return r;
}

TEST(JpegDecoder, RefusesWhatItDoesNotDecode) {
    std::string prog = readAll(makeJpeg("prog", 64, 48, "-progressive"));
    EXPECT_EQ(decode(prog), NJ_UNSUPPORTED);
    std::string arith = readAll(makeJpeg("arith", 64, 48, "-arithmetic"));
    EXPECT_EQ(decode(arith), NJ_UNSUPPORTED);
    static const char png[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0";
    EXPECT_EQ(decode(std::string(png, sizeof png - 1)), NJ_NO_JPEG);
    EXPECT_EQ(decode(std::string("\xff", 1)), NJ_NO_JPEG);
    EXPECT_EQ(decode(""), NJ_NO_JPEG);
    njInit();
    EXPECT_EQ(njDecode("\xff\xd8\xff\xd9", -5), NJ_NO_JPEG);
}

// Offset of the first segment with this marker, or npos.
size_t findMarker(const std::string& d, uint8_t marker) {
    size_t i = 2;
    while (i + 4 <= d.size() && (uint8_t)d[i] == 0xFF) {
        if ((uint8_t)d[i + 1] == marker) return i;
        if ((uint8_t)d[i + 1] == 0xDA) break;
        i += 2 + (((uint8_t)d[i + 2] << 8) | (uint8_t)d[i + 3]);
    }
    return std::string::npos;
}

TEST(JpegDecoder, DamagedAndHostileFiles) {
    std::string good = readAll(makeJpeg("hostile", 96, 64, "-quality 80 -restart 1B"));
    ASSERT_EQ(decode(good), NJ_OK);

    // Truncated anywhere in the entropy-coded data or in a header.
    EXPECT_EQ(decode(good.substr(0, good.size() / 2)), NJ_SYNTAX_ERROR);
    EXPECT_EQ(decode(good.substr(0, good.size() - 40)), NJ_SYNTAX_ERROR);
    size_t dqt = findMarker(good, 0xDB);
    ASSERT_NE(dqt, std::string::npos);
    EXPECT_EQ(decode(good.substr(0, dqt + 10)), NJ_SYNTAX_ERROR);

    // Huge dimensions: refused before any allocation, never wrapped.
    size_t sof = findMarker(good, 0xC0);
    ASSERT_NE(sof, std::string::npos);
    std::string huge = good;
    huge[sof + 5] = huge[sof + 6] = huge[sof + 7] = huge[sof + 8] = '\xff';
    EXPECT_EQ(decode(huge), NJ_OUT_OF_MEM);
    std::string zero = good;
    zero[sof + 7] = zero[sof + 8] = 0;
    EXPECT_EQ(decode(zero), NJ_SYNTAX_ERROR);

    // A Huffman table with more codes than its lengths can hold.
    size_t dht = findMarker(good, 0xC4);
    ASSERT_NE(dht, std::string::npos);
    std::string over = good;
    over[dht + 5] = 3;  // three codes of one bit
    EXPECT_EQ(decode(over), NJ_SYNTAX_ERROR);

    // A segment longer than the file.
    std::string longer = good;
    longer[dqt + 2] = '\x7f';
    EXPECT_EQ(decode(longer), NJ_SYNTAX_ERROR);

    // Restart markers out of order.
    size_t sos = findMarker(good, 0xDA);
    ASSERT_NE(sos, std::string::npos);
    size_t rst = good.find("\xff\xd1", sos);
    ASSERT_NE(rst, std::string::npos);
    std::string order = good;
    order[rst + 1] = '\xd3';
    EXPECT_EQ(decode(order), NJ_SYNTAX_ERROR);

    // A scan that uses a quantisation table never defined.
    std::string noq = good;
    noq[dqt + 4] = 3;  // the table becomes table 3
    EXPECT_EQ(decode(noq), NJ_SYNTAX_ERROR);

    // 12-bit samples and four components are not baseline.
    std::string twelve = good;
    twelve[sof + 4] = 12;
    EXPECT_EQ(decode(twelve), NJ_UNSUPPORTED);
}

TEST(JpegDecoder, ContextIsReusedAndReleased) {
    std::string a = readAll(makeJpeg("reuse_a", 40, 30, ""));
    std::string b = readAll(makeJpeg("reuse_b", 17, 9, "-grayscale"));
    njInit();
    ASSERT_EQ(njDecode(a.data(), (int)a.size()), NJ_OK);
    ASSERT_EQ(njDecode(b.data(), (int)b.size()), NJ_OK);  // releases the first picture
    EXPECT_EQ(njGetWidth(), 17);
    EXPECT_FALSE(njIsColor());
    EXPECT_EQ(njGetImageSize(), 17 * 9);
    njDone();
    EXPECT_EQ(njGetWidth(), 0);
    EXPECT_EQ(njGetImage(), nullptr);
}

// A 4:2:0 picture is converted while its scan is decoded: a scan that
// fails half-way leaves nothing behind that changes the next picture.
TEST(JpegDecoder, FailedScanLeavesNoRowsBehind) {
    std::string whole = readAll(makeJpeg("stream", 100, 75, "-quality 85"));
    njInit();
    ASSERT_EQ(njDecode(whole.data(), (int)whole.size()), NJ_OK);
    std::vector<uint8_t> first(njGetImage(), njGetImage() + njGetImageSize());
    ASSERT_EQ(first.size(), 100u * 75 * 3);
    // Cut after some macroblock rows have been converted.
    std::string cut = whole.substr(0, whole.size() * 2 / 3);
    EXPECT_EQ(njDecode(cut.data(), (int)cut.size()), NJ_SYNTAX_ERROR);
    ASSERT_EQ(njDecode(whole.data(), (int)whole.size()), NJ_OK);
    EXPECT_EQ(std::vector<uint8_t>(njGetImage(), njGetImage() + njGetImageSize()), first);
    EXPECT_EQ(njDecode(cut.data(), (int)cut.size()), NJ_SYNTAX_ERROR);
    njDone();
}

TEST(DrawPicture, ShowsTheDecodedPictureOnTheLcd) {
    ASSERT_GE(libHalvixGuiInit(), 0);
    lcd_clear(0);
    std::string jpg = makeJpeg("screen", 120, 90, "-quality 90");
    std::string data = readAll(jpg);
    njInit();
    ASSERT_EQ(njDecode(data.data(), (int)data.size()), NJ_OK);
    std::vector<uint8_t> rgb(njGetImage(), njGetImage() + njGetImageSize());
    njDone();
    testkit::clearLog("lcd");
    EXPECT_EQ(drawPicture(250, 20, jpg.c_str()), 0);
    auto rs = testkit::lcdRequests();
    ASSERT_EQ(rs.size(), 1u);
    EXPECT_EQ(rs[0].request, 12u);
    EXPECT_EQ(rs[0].word(0), 250);
    EXPECT_EQ(rs[0].word(1), 20);
    EXPECT_EQ(rs[0].word(2), 120);
    EXPECT_EQ(rs[0].word(3), 90);
    testkit::LcdView v = testkit::lcdSnapshot();
    int checked = 0;
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 70; ++x) {  // clipped at the panel's right edge
            const uint8_t* p = &rgb[(y * 120 + x) * 3];
            uint16_t want = (uint16_t)(((p[0] >> 3) << 11) | ((p[1] >> 2) << 5) | (p[2] >> 3));
            if (v.at(250 + x, 20 + y) != want) {
                ADD_FAILURE() << x << "," << y;
                return;
            }
            ++checked;
        }
    EXPECT_EQ(checked, 70 * 90);
    EXPECT_EQ(v.countNot(0, 0, 249, 239, 0), 0);

    std::string grey = makeJpeg("screen_grey", 16, 16, "-grayscale");
    EXPECT_EQ(drawPicture(0, 0, grey.c_str()), 0);
    v = testkit::lcdSnapshot();
    uint16_t p = v.at(3, 3);
    EXPECT_EQ(p >> 11, (p & 31));  // grey: red and blue alike

    std::string out = testkit::captureStdout([] { drawPicture(0, 0, "/tmp/none.jpg"); });
    EXPECT_EQ(out, "Error opening the file: /tmp/none.jpg.\n");
    testkit::writeFile("/tmp/pic.png", "\x89PNG\r\n\x1a\n");
    out = testkit::captureStdout([] { EXPECT_EQ(drawPicture(0, 0, "/tmp/pic.png"), -1); });
    EXPECT_EQ(out, "Error decoding the file: /tmp/pic.png.\n");
}

}  // namespace
