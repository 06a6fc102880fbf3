// Colour conversions and rounding of the light and thermostat commands.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "hacore/commands.h"

namespace {

TEST(ColorConversion, HsvToRgbSectorsAndEdges) {
    struct {
        unsigned short hue;
        double sat, val;
        unsigned int rgb;
    } cases[] = {
        {0, 1.0, 1.0, 0xff0000},      // red
        {21845, 1.0, 1.0, 0x00ff00},  // a third of the circle: green
        {43690, 1.0, 1.0, 0x0000ff},  // two thirds: blue
        {10922, 1.0, 1.0, 0xfffe00},  // just short of 60 degrees: yellow, green cut toward zero
        {65535, 1.0, 1.0, 0xff0000},  // 360 degrees: (val, p, p)
        {65535, 0.5, 1.0, 0xff7f7f}, {0, 0.0, 0.5, 0x7f7f7f},  // grey: every component val
        {32768, 0.0, 1.0, 0xffffff}, {0, 1.0, 0.0, 0x000000},
        {54612, 1.0, 1.0, 0xfe00ff},  // 300 degrees less a hair: magenta, red cut toward zero
        {16384, 1.0, 1.0, 0x7fff00},  // 90 degrees: red falling toward green
        {60074, 1.0, 1.0, 0xff007f},  // 330 degrees: blue falling toward red
        {0, 1.0, 2.0, 0xff0000},      // val beyond 1 held at 255, never spilling into red's neighbour
        {0, 2.0, 1.0, 0xff0000},      // saturation beyond 1: negative components held at 0
    };
    for (auto& c : cases)
        EXPECT_EQ(convertHSVtoRGB(c.hue, c.sat, c.val), c.rgb)
            << std::hex << "hue " << std::dec << c.hue << " sat " << c.sat << " val " << c.val;
    EXPECT_EQ(convertHSVtoRGB(0, 1.0, NAN), 0u);
}

TEST(ColorConversion, RgbToHsv) {
    double v = -1, s = -1;
    EXPECT_EQ(convertRGBtoHSV(0x0000ff, &v, &s), 43690);
    EXPECT_DOUBLE_EQ(v, 1.0);
    EXPECT_DOUBLE_EQ(s, 1.0);
    EXPECT_EQ(convertRGBtoHSV(0xff0000, &v, &s), 0);
    EXPECT_EQ(convertRGBtoHSV(0x00ff00, nullptr, nullptr), 21845);
    EXPECT_EQ(convertRGBtoHSV(0xffff00, nullptr, nullptr), 10922);  // 60 degrees
    EXPECT_EQ(convertRGBtoHSV(0xff00ff, nullptr, nullptr), 54612);  // 300 degrees
    EXPECT_EQ(convertRGBtoHSV(0xff0001, nullptr, nullptr), 65492);  // red with a trace of blue: just below 360
    // Black: value and saturation 0, hue 0.
    EXPECT_EQ(convertRGBtoHSV(0x000000, &v, &s), 0);
    EXPECT_DOUBLE_EQ(v, 0.0);
    EXPECT_DOUBLE_EQ(s, 0.0);
    // Grey: no saturation, hue 0.
    EXPECT_EQ(convertRGBtoHSV(0x808080, &v, &s), 0);
    EXPECT_NEAR(v, 128 / 255.0, 1e-12);
    EXPECT_DOUBLE_EQ(s, 0.0);
    // Bits above the colour are ignored.
    EXPECT_EQ(convertRGBtoHSV(0xab0000ff, nullptr, nullptr), 43690);
    // Half-saturated.
    convertRGBtoHSV(0xff8080, &v, &s);
    EXPECT_NEAR(s, 1.0 - 128 / 255.0, 1e-12);
}

TEST(ColorConversion, RoundTripOfPrimariesAndMixes) {
    for (unsigned int rgb : {0xff0000u, 0x00ff00u, 0x0000ffu, 0xffff00u, 0x00ffffu, 0xff00ffu, 0xffffffu}) {
        double v, s;
        unsigned short h = convertRGBtoHSV(rgb, &v, &s);
        unsigned int back = convertHSVtoRGB(h, s, v);
        for (int shift : {0, 8, 16})
            EXPECT_LE(std::abs((int)((back >> shift) & 0xff) - (int)((rgb >> shift) & 0xff)), 1)
                << std::hex << rgb << " came back as " << back;
    }
}

TEST(Roundfun, HalfAwayFromZero) {
    const struct {
        float in;
        int want;
    } cases[] = {
        {2.5f, 3},
        {-2.5f, -3},
        {1.4999f, 1},
        {-1.4999f, -1},
        {0.0f, 0},
        {-0.0f, 0},
        {22.2222f, 22},
        {-40.0f, -40},
        // The float just below one half: adding 0.5 in float would give 1.
        {0.49999997f, 0},
        {-0.49999997f, 0},
        // Beyond the int range and NaN.
        {1e10f, INT_MAX},
        {-1e10f, INT_MIN},
        {INFINITY, INT_MAX},
        {NAN, 0},
        {16777216.0f, 16777216},
    };
    for (const auto& c : cases) EXPECT_EQ(roundfun(c.in), c.want) << c.in;
}

}  // namespace
