// The JPEG decoder against libjpeg-turbo's cjpeg and djpeg, on pictures
// made here (procedural "photos"), and against damaged and hostile files.
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <functional>
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
        // Planes doubled more than once (djpeg replicates their samples
        // there, the decoder filters: lower bounds), or in one direction
        // only, and chroma planes of different sizes.
        {"s411", 160, 120, "-sample 4x1,1x1,1x1 -quality 90", 34.0},
        {"s410", 97, 61, "-sample 4x2,1x1,1x1 -quality 90", 31.0},
        {"s114", 64, 64, "-sample 1x4,1x1,1x1 -quality 90", 31.0},
        {"s444_421", 50, 38, "-sample 2x2,2x1,1x2 -quality 90", 38.0},
        {"s422_chroma_tall", 40, 30, "-sample 2x1,1x2,1x1 -quality 90", 38.0},
        {"s_wide_chroma", 40, 30, "-sample 1x1,2x2,1x1 -quality 90", 38.0},
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

// One change to a good file (the colour or the grey one) and what the
// decoder must make of it.
using Change = std::function<std::string(const std::string& colour, const std::string& grey)>;
struct Damage {
    const char* what;
    Change make;
    int result;
};

std::string setByte(std::string d, size_t at, int v) {
    d[at] = (char)v;
    return d;
}
std::string setLength(std::string d, size_t seg, int len) {
    d[seg + 2] = (char)(len >> 8);
    d[seg + 3] = (char)len;
    return d;
}
size_t segmentEnd(const std::string& d, size_t seg) {
    return seg + 2 + (((uint8_t)d[seg + 2] << 8) | (uint8_t)d[seg + 3]);
}
// The byte at `offset` from a segment's marker set to `value`.
Change byteAt(int marker, int offset, int value) {
    return [=](const std::string& c, const std::string&) { return setByte(c, findMarker(c, marker) + offset, value); };
}
Change greyByteAt(int marker, int offset, int value) {
    return [=](const std::string&, const std::string& g) { return setByte(g, findMarker(g, marker) + offset, value); };
}
Change lengthOf(int marker, int length) {
    return [=](const std::string& c, const std::string&) { return setLength(c, findMarker(c, marker), length); };
}
// A segment's length one byte more than it holds.
Change oneByteLonger(int marker) {
    return [=](const std::string& c, const std::string&) {
        size_t at = findMarker(c, marker);
        return setLength(c, at, (int)(segmentEnd(c, at) - at - 2 + 1));
    };
}
// The file ends just after a segment's marker.
Change cutAfterMarker(int marker) {
    return [=](const std::string& c, const std::string&) { return c.substr(0, findMarker(c, marker) + 3); };
}
size_t scanData(const std::string& d) { return segmentEnd(d, findMarker(d, 0xDA)); }
// Offset of the first FF 00 pair in the entropy-coded data.
size_t stuffedByte(const std::string& d) { return d.find(std::string("\xff\x00", 2), scanData(d)); }

const Damage kDamage[] = {
    // Frame header.
    {"second frame",
     [](const std::string& c, const std::string&) {
         size_t sof = findMarker(c, 0xC0), end = segmentEnd(c, sof);
         return c.substr(0, end) + c.substr(sof, end - sof) + c.substr(end);
     },
     NJ_SYNTAX_ERROR},
    {"frame header too short", lengthOf(0xC0, 10), NJ_SYNTAX_ERROR},
    {"components past the header", lengthOf(0xC0, 16), NJ_SYNTAX_ERROR},
    {"height zero",
     [](const std::string& c, const std::string&) {
         return setByte(setByte(c, findMarker(c, 0xC0) + 5, 0), findMarker(c, 0xC0) + 6, 0);
     },
     NJ_SYNTAX_ERROR},
    {"two components", byteAt(0xC0, 9, 2), NJ_UNSUPPORTED},
    {"horizontal factor 0", byteAt(0xC0, 11, 0x01), NJ_SYNTAX_ERROR},
    {"horizontal factor 3", byteAt(0xC0, 11, 0x31), NJ_UNSUPPORTED},
    {"vertical factor 0", byteAt(0xC0, 11, 0x10), NJ_SYNTAX_ERROR},
    {"vertical factor 3", byteAt(0xC0, 11, 0x13), NJ_UNSUPPORTED},
    {"quantisation table 4", byteAt(0xC0, 12, 4), NJ_SYNTAX_ERROR},
    // Huffman tables.
    {"table class 2", byteAt(0xC4, 4, 0x20), NJ_SYNTAX_ERROR},
    {"table number 2", byteAt(0xC4, 4, 0x02), NJ_UNSUPPORTED},
    {"more symbols than the segment", byteAt(0xC4, 20, 200), NJ_SYNTAX_ERROR},
    {"Huffman segment one byte long", oneByteLonger(0xC4), NJ_SYNTAX_ERROR},
    // Quantisation tables and restart interval.
    {"16-bit quantisation table", byteAt(0xDB, 4, 0x10), NJ_SYNTAX_ERROR},
    {"quantisation segment one byte long", oneByteLonger(0xDB), NJ_SYNTAX_ERROR},
    {"segment length 1", lengthOf(0xDB, 1), NJ_SYNTAX_ERROR},
    {"restart interval without its value", lengthOf(0xDD, 2), NJ_SYNTAX_ERROR},
    {"application segment past the end", lengthOf(0xE0, 0xFFF0), NJ_SYNTAX_ERROR},
    {"marker without its length", cutAfterMarker(0xDB), NJ_SYNTAX_ERROR},
    {"end after a segment",
     [](const std::string& c, const std::string&) { return c.substr(0, segmentEnd(c, findMarker(c, 0xDB))); },
     NJ_SYNTAX_ERROR},
    {"garbage between segments",
     [](const std::string& c, const std::string&) {
         size_t dqt = findMarker(c, 0xDB);
         return c.substr(0, dqt) + "x" + c.substr(dqt);
     },
     NJ_SYNTAX_ERROR},
    {"unknown marker", byteAt(0xDB, 1, 0xC8), NJ_UNSUPPORTED},
    {"comment",
     [](const std::string& c, const std::string&) {
         size_t dqt = findMarker(c, 0xDB);
         return c.substr(0, dqt) +
                std::string(
                    "\xff\xfe\x00\x06"
                    "abcd",
                    8) +
                c.substr(dqt);
     },
     NJ_OK},
    // Scan header.
    {"scan before the frame",
     [](const std::string& c, const std::string&) {
         size_t sof = findMarker(c, 0xC0);
         return c.substr(0, sof) + c.substr(segmentEnd(c, sof));
     },
     NJ_SYNTAX_ERROR},
    {"scan header too short", lengthOf(0xDA, 6), NJ_SYNTAX_ERROR},
    {"scan of one component", byteAt(0xDA, 4, 1), NJ_UNSUPPORTED},
    {"scan of another component", byteAt(0xDA, 5, 9), NJ_SYNTAX_ERROR},
    {"table selector 2", byteAt(0xDA, 6, 0x22), NJ_SYNTAX_ERROR},
    {"table never defined", greyByteAt(0xDA, 6, 0x11), NJ_SYNTAX_ERROR},
    {"spectral selection", byteAt(0xDA, 11, 1), NJ_UNSUPPORTED},
    {"spectral end 62", byteAt(0xDA, 12, 62), NJ_UNSUPPORTED},
    {"successive approximation", byteAt(0xDA, 13, 0x10), NJ_UNSUPPORTED},
    // Entropy-coded data.
    {"ends on FF", [](const std::string& c, const std::string&) { return c.substr(0, stuffedByte(c) + 1); },
     NJ_SYNTAX_ERROR},
    {"table marker inside the data",
     [](const std::string& c, const std::string&) { return setByte(c, stuffedByte(c) + 1, 0xC4); }, NJ_SYNTAX_ERROR},
    {"codes no table holds",
     [](const std::string&, const std::string& g) {
         std::string d = g;
         size_t at = scanData(d) + 4;
         for (int i = 0; i < 40; i += 2) d.replace(at + i, 2, std::string("\xff\x00", 2));
         return d;
     },
     NJ_SYNTAX_ERROR},
    {"AC table never defined", greyByteAt(0xDA, 6, 0x01), NJ_SYNTAX_ERROR},
    {"restart marker missing",
     [](const std::string& c, const std::string&) {
         size_t rst = c.find("\xff\xd0", scanData(c));
         return c.substr(0, rst) + c.substr(rst + 2);
     },
     NJ_SYNTAX_ERROR},
    {"ends after the frame marker", cutAfterMarker(0xC0), NJ_SYNTAX_ERROR},
    {"ends after the Huffman marker", cutAfterMarker(0xC4), NJ_SYNTAX_ERROR},
    {"ends after the restart marker", cutAfterMarker(0xDD), NJ_SYNTAX_ERROR},
    {"ends after the scan marker", cutAfterMarker(0xDA), NJ_SYNTAX_ERROR},
    {"starts with another marker", [](const std::string& c, const std::string&) { return setByte(c, 1, 0xD9); },
     NJ_NO_JPEG},
};

TEST(JpegDecoder, DamagedHeadersAndData) {
    std::string colour = readAll(makeJpeg("damage", 96, 64, "-quality 80 -restart 1"));
    std::string grey = readAll(makeJpeg("damage_grey", 32, 16, "-grayscale -quality 80"));
    ASSERT_EQ(decode(colour), NJ_OK);
    ASSERT_EQ(decode(grey), NJ_OK);
    for (const Damage& d : kDamage) {
        std::string bad = d.make(colour, grey);
        EXPECT_NE(bad, colour) << d.what;
        EXPECT_EQ(decode(bad), d.result) << d.what;
    }
    njInit();
    EXPECT_EQ(njDecode(nullptr, 100), NJ_NO_JPEG);
    // After all of them, the good file still decodes as before.
    EXPECT_EQ(decode(colour), NJ_OK);
}

// A file larger than the first read's 64 KiB comes in whole.
TEST(DrawPicture, LargeFile) {
    ASSERT_GE(libHalvixGuiInit(), 0);
    // Noise does not compress.
    std::vector<uint8_t> noise(320 * 240 * 3);
    unsigned seed = 99;
    for (uint8_t& b : noise) b = (uint8_t)((seed = seed * 1103515245u + 12345u) >> 16);
    writePpm("/tmp/large.ppm", 320, 240, noise);
    std::string jpg = "/tmp/large.jpg";
    ASSERT_EQ(system("cjpeg -quality 100 -outfile /tmp/large.jpg /tmp/large.ppm"), 0);
    std::string data = readAll(jpg);
    ASSERT_GT(data.size(), 65536u);
    njInit();
    ASSERT_EQ(njDecode(data.data(), (int)data.size()), NJ_OK);
    std::vector<uint8_t> rgb(njGetImage(), njGetImage() + njGetImageSize());
    njDone();
    lcd_clear(0);
    EXPECT_EQ(drawPicture(0, 0, jpg.c_str()), 0);
    testkit::LcdView v = testkit::lcdSnapshot();
    int wrong = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const uint8_t* p = &rgb[(y * 320 + x) * 3];
            wrong += v.at(x, y) != (uint16_t)(((p[0] >> 3) << 11) | ((p[1] >> 2) << 5) | (p[2] >> 3));
        }
    EXPECT_EQ(wrong, 0);
}

// A grey baseline file of our own making, one row of 8 x 8 blocks, with
// tables chosen so that any symbol can be written: DC sizes 0-11 as 4-bit
// codes, and the AC symbols given as codes of acBits bits (0, 1, ... in
// order). Quantisation is 1 everywhere.
class Crafted {
public:
    Crafted(int blocks, std::vector<uint8_t> acSymbols, int acBits)
        : blocks_(blocks), ac_(std::move(acSymbols)), acBits_(acBits) {}
    // A DC difference, as its size category and value bits.
    void dc(int diff) {
        int size = 0;
        for (int a = diff < 0 ? -diff : diff; a; a >>= 1) ++size;
        put(size, 4);
        if (size) put(diff < 0 ? diff + (1 << size) - 1 : diff, size);
    }
    // An AC symbol (its code), then `bits` bits of value.
    void ac(uint8_t symbol, int value = 0, int bits = 0) {
        size_t i = 0;
        while (ac_[i] != symbol) ++i;
        put((int)i, acBits_);
        if (bits) put(value, bits);
    }
    void raw(int v, int n) { put(v, n); }
    std::string file() {
        std::string bytes = data_;
        std::string d("\xff\xd8", 2);
        d += std::string("\xff\xdb\x00\x43\x00", 5) + std::string(64, '\x01');
        d += std::string("\xff\xc0\x00\x0b\x08\x00\x08", 7);
        d += (char)((blocks_ * 8) >> 8);
        d += (char)(blocks_ * 8);
        d += std::string("\x01\x01\x11\x00", 4);
        std::string dcCounts(16, '\0');
        dcCounts[3] = 12;
        d += std::string("\xff\xc4\x00\x1f\x00", 5) + dcCounts;
        for (int i = 0; i < 12; ++i) d += (char)i;
        std::string acCounts(16, '\0');
        acCounts[acBits_ - 1] = (char)ac_.size();
        int len = 2 + 1 + 16 + (int)ac_.size();
        d += std::string("\xff\xc4", 2) + (char)(len >> 8) + (char)len + '\x10' + acCounts;
        for (uint8_t sym : ac_) d += (char)sym;
        d += std::string("\xff\xda\x00\x08\x01\x01\x00\x00\x3f\x00", 10);
        // The last byte filled with ones; every FF stuffed.
        std::string out;
        int nbits = bits_;
        unsigned acc = acc_;
        if (nbits) bytes += (char)((acc << (8 - nbits)) | ((1u << (8 - nbits)) - 1));
        for (char c : bytes) {
            out += c;
            if ((uint8_t)c == 0xFF) out += '\0';
        }
        return d + out + std::string("\xff\xd9", 2);
    }

private:
    void put(int v, int n) {
        for (int i = n - 1; i >= 0; --i) {
            acc_ = (acc_ << 1) | ((v >> i) & 1);
            if (++bits_ == 8) {
                data_ += (char)acc_;
                acc_ = 0;
                bits_ = 0;
            }
        }
    }
    int blocks_;
    std::vector<uint8_t> ac_;
    int acBits_;
    std::string data_;
    unsigned acc_ = 0;
    int bits_ = 0;
};

const std::vector<uint8_t> kAcSymbols = {0x00, 0xF0, 0xF1, 0x10, 0x01, 0x0A};

TEST(JpegDecoder, CraftedStreams) {
    // DC only: every sample of block k is 128 + k.
    {
        Crafted c(20, kAcSymbols, 8);
        for (int k = 0; k < 20; ++k) {
            c.dc(8);
            c.ac(0x00);
        }
        std::string f = c.file();
        njInit();
        ASSERT_EQ(njDecode(f.data(), (int)f.size()), NJ_OK);
        ASSERT_EQ(njGetImageSize(), 160 * 8);
        int wrong = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 160; ++x) wrong += njGetImage()[y * 160 + x] != 128 + x / 8 + 1;
        EXPECT_EQ(wrong, 0);
        njDone();
    }
    // The DC prediction saturates at the 16-bit limits instead of wrapping.
    for (int sign : {1, -1}) {
        Crafted c(20, kAcSymbols, 8);
        for (int k = 0; k < 20; ++k) {
            c.dc(sign * 2047);
            c.ac(0x00);
        }
        std::string f = c.file();
        njInit();
        ASSERT_EQ(njDecode(f.data(), (int)f.size()), NJ_OK) << sign;
        const uint8_t* px = njGetImage();
        EXPECT_EQ(px[0], sign > 0 ? 255 : 0);
        EXPECT_EQ(px[159], sign > 0 ? 255 : 0) << "still saturated after 20 blocks";
        njDone();
    }
    // Broken blocks, with AC codes inside the first-level lookup (8 bits)
    // and beyond it (12 bits).
    for (int acBits : {8, 12}) {
        SCOPED_TRACE(acBits);
        {
            Crafted c(1, kAcSymbols, acBits);  // four runs of sixteen: past the block
            c.dc(0);
            for (int i = 0; i < 4; ++i) c.ac(0xF1, 1, 1);
            EXPECT_EQ(decode(c.file()), NJ_SYNTAX_ERROR);
        }
        {
            Crafted c(1, kAcSymbols, acBits);  // a run with no coefficient
            c.dc(0);
            c.ac(0x10);
            EXPECT_EQ(decode(c.file()), NJ_SYNTAX_ERROR);
        }
        {
            Crafted c(1, kAcSymbols, acBits);  // a code no symbol has
            c.dc(0);
            c.raw((1 << acBits) - 1, acBits);
            EXPECT_EQ(decode(c.file()), NJ_SYNTAX_ERROR);
        }
    }
    Crafted c(1, kAcSymbols, 8);  // a DC code no symbol has
    c.raw(15, 4);
    EXPECT_EQ(decode(c.file()), NJ_SYNTAX_ERROR);
}

// Integer-only, so that every build writes the same pictures: gradients, a
// disc, sharp-edged bars and noise from a fixed generator.
std::vector<uint8_t> integerPicture(int w, int h) {
    std::vector<uint8_t> p((size_t)w * h * 3);
    uint32_t s = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            s = s * 1103515245u + 12345u;
            const int noise = (int)((s >> 16) % 25) - 12;
            int r = 60 + 150 * x / w, g = 200 - 120 * y / h, b = 90 + 100 * (x + y) / (w + h);
            const int dx = x - w * 2 / 3, dy = y - h / 3;
            if (dx * dx + dy * dy < w * h / 40) r = 250, g = 220, b = 40;
            if ((x / 7 + y / 11) % 5 == 0) r = 20, g = 30, b = 200;
            uint8_t* o = &p[((size_t)y * w + x) * 3];
            const int v[3] = {r + noise, g + noise, b - noise};
            for (int k = 0; k < 3; ++k) o[k] = (uint8_t)(v[k] < 0 ? 0 : v[k] > 255 ? 255 : v[k]);
        }
    return p;
}

uint64_t fnv1a(const uint8_t* p, size_t n) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// Every output byte stays as the decoder gave it before its speed work (the
// digests of its pixels then), in each of its conversion paths: grey,
// 4:4:4 and 4:2:2 converted by macroblock rows, 4:2:0 as its rows come,
// and the planes doubled at the end.
TEST(JpegDecoder, OutputUnchanged) {
    struct Digest {
        const char* name;
        int w, h;
        const char* options;
        uint64_t digest;
    };
    const Digest cases[] = {
        {"grey", 320, 240, "-grayscale -quality 85", 0x49d9aa384c371f34ull},
        {"s444", 320, 240, "-sample 1x1 -quality 85", 0x3404306cd64c94d3ull},
        {"s444_tall_mcu", 97, 61, "-sample 1x2,1x2,1x2 -quality 90 -restart 1", 0x7c2e0738bc9a3935ull},
        {"s422", 321, 241, "-sample 2x1 -quality 85 -restart 2B", 0xf760bfa7d87ee23eull},
        {"s420", 320, 240, "-sample 2x2 -quality 85", 0x89eda3757e66f7c9ull},
        {"s420_odd", 97, 61, "-quality 98 -optimize -restart 1", 0xb9554e183612b4b2ull},
        {"s440", 160, 120, "-sample 1x2 -quality 90", 0x8a989632f9419499ull},
        {"s411", 160, 120, "-sample 4x1 -quality 90", 0x1610955970c86d46ull},
        {"mixed", 50, 38, "-sample 2x2,2x1,1x2 -quality 90", 0x5b6089b3d29da6a2ull},
        {"tiny420", 2, 2, "-quality 90", 0x3f404fbd8d73cae7ull},
        {"q10", 64, 48, "-quality 10 -baseline", 0xa615397a0a6a9bd0ull},
        {"q100", 64, 48, "-quality 100 -sample 1x1", 0x2c3e508a01ea4e3bull},
    };
    for (const Digest& c : cases) {
        const std::string ppm = std::string("/tmp/digest_") + c.name + ".ppm";
        const std::string jpg = std::string("/tmp/digest_") + c.name + ".jpg";
        writePpm(ppm, c.w, c.h, integerPicture(c.w, c.h));
        ASSERT_EQ(system(("cjpeg " + std::string(c.options) + " -outfile " + jpg + " " + ppm).c_str()), 0) << c.name;
        const std::string data = testkit::readFile(jpg);
        njInit();
        ASSERT_EQ(njDecode(data.data(), (int)data.size()), NJ_OK) << c.name;
        EXPECT_EQ(fnv1a(njGetImage(), (size_t)njGetImageSize()), c.digest) << c.name;
        njDone();
    }
}

// The decoder refuses a marker other than a restart or the end of the
// picture inside the entropy-coded data when its reading reaches it: right
// after the data it does (it reads up to 7 bytes ahead), beyond its
// look-ahead it does not, and the picture decodes.
TEST(JpegDecoder, RefusedMarkerAfterTheData) {
    Crafted c(20, kAcSymbols, 8);
    for (int k = 0; k < 20; ++k) {
        c.dc(k & 1 ? 8 : -8);
        c.ac(0x00);
    }
    const std::string f = c.file();
    ASSERT_EQ(f.substr(f.size() - 2), std::string("\xff\xd9", 2));
    const std::string data = f.substr(0, f.size() - 2);
    const std::string refused("\xff\xc4", 2);
    EXPECT_EQ(decode(data + refused), NJ_SYNTAX_ERROR);
    EXPECT_EQ(decode(data + std::string(2, '\0') + refused), NJ_SYNTAX_ERROR);
    EXPECT_EQ(decode(data + std::string(16, '\0') + refused), NJ_OK);
    EXPECT_EQ(decode(data + std::string(16, '\0') + "\xff"), NJ_OK);  // a lone FF ending the input
    EXPECT_EQ(decode(data + "\xff"), NJ_SYNTAX_ERROR);
    EXPECT_EQ(decode(data), NJ_OK);  // no end-of-image marker: the data suffices
}

}  // namespace
