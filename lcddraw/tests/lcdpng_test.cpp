// The sandbox tool that writes the virtual LCD as a PNG at any moment.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "lcddraw/libHalvixGui.h"
#include "testkit.h"

namespace {

uint32_t be32(const std::string& d, size_t off) {
    return ((uint32_t)(uint8_t)d[off] << 24) | ((uint32_t)(uint8_t)d[off + 1] << 16) |
           ((uint32_t)(uint8_t)d[off + 2] << 8) | (uint8_t)d[off + 3];
}

TEST(LcdPng, WritesTheScreenAndTheBuffers) {
    ASSERT_GE(libHalvixGuiInit(), 0);
    lcd_clear(0xF800);
    loadBuffer(2);
    lcd_clear(0);
    fillRect(10, 10, 100, 100, 0x07E0);
    ASSERT_EQ(system("lcd-png /tmp/screen.png"), 0);
    std::string png = testkit::readFile("/tmp/screen.png");
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_EQ(be32(png, 16), 320u);
    EXPECT_EQ(be32(png, 20), 240u);
    EXPECT_EQ(png[24], 8);  // bits per sample
    EXPECT_EQ(png[25], 2);  // RGB
    EXPECT_NE(png.find("IEND"), std::string::npos);

    // A red buffer compresses to another stream than the drawn screen.
    ASSERT_EQ(system("lcd-png --buffer 2 /tmp/buffer.png"), 0);
    std::string buf = testkit::readFile("/tmp/buffer.png");
    EXPECT_EQ(buf.substr(0, 8), png.substr(0, 8));
    EXPECT_NE(buf, png);
    ASSERT_EQ(system("lcd-png --buffer 2 /tmp/buffer2.png"), 0);
    EXPECT_EQ(testkit::readFile("/tmp/buffer2.png"), buf);

    EXPECT_NE(system("lcd-png --buffer 9 /tmp/x.png 2>/dev/null"), 0);
    EXPECT_NE(system("lcd-png 2>/dev/null"), 0);
}

}  // namespace
