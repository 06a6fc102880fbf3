// Each primitive's request as the driver receives it, and the pixels it
// leaves on the virtual LCD.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <math.h>
#include <sched.h>
#include <unistd.h>

#include "lcd_fixture.h"
#include "lcddraw/libHalvixGui.h"
#include "lcdview.h"
#include "testkit.h"

using testkit::LcdRequest;
using testkit::LcdView;

namespace {

constexpr uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F, kWhite = 0xFFFF;

class Primitives : public LcdTest {};

// A fill request (9) of the rectangle (x0, y0)-(x1, y1) in `colour`.
void expectFill(const LcdRequest& r, int x0, int y0, int x1, int y1, int colour) {
    EXPECT_EQ(r.request, 9u);
    EXPECT_EQ(r.word(0), x0);
    EXPECT_EQ(r.word(1), y0);
    EXPECT_EQ(r.word(2), x1);
    EXPECT_EQ(r.word(3), y1);
    EXPECT_EQ(r.word(5), colour);
}

TEST_F(Primitives, FillRectSendsTheShapeAndFillsCornersInclusive) {
    EXPECT_EQ(fillRect(10, 20, 30, 40, 1405), 0);
    LcdRequest r = last();
    ASSERT_EQ(r.bytes.size(), 24u);
    expectFill(r, 10, 20, 30, 40, 1405);
    LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.count(10, 20, 30, 40, 1405), 21 * 21);
    EXPECT_EQ(v.countNot(0, 0, 319, 239, 0), 21 * 21);
}

TEST_F(Primitives, PixelAndCircleRecordsKeepTheirOwnWords) {
    drawCircle(100, 100, 10, kGreen);
    drawPixel(5, 6, kRed);
    LcdRequest r = last();
    EXPECT_EQ(r.request, 5u);
    EXPECT_EQ(r.word(0), 5);
    EXPECT_EQ(r.word(1), 6);
    EXPECT_EQ(r.word(5), kRed);
    EXPECT_EQ(r.word(4), 10);  // the radius of the circle before: records are process-wide
    EXPECT_EQ(shape.radius, 10u);
    LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.at(5, 6), kRed);
    EXPECT_EQ(v.count(0, 0, 319, 239, kRed), 1);
}

TEST_F(Primitives, LinesRectanglesAndCircles) {
    drawLine(0, 0, 9, 9, kRed);
    EXPECT_EQ(last().request, 6u);
    drawRect(50, 50, 60, 55, kGreen);
    EXPECT_EQ(last().request, 7u);
    drawCircle(200, 100, 20, kBlue);
    LcdRequest c = last();
    EXPECT_EQ(c.request, 8u);
    EXPECT_EQ(c.word(0), 200);
    EXPECT_EQ(c.word(1), 100);
    EXPECT_EQ(c.word(4), 20);
    EXPECT_EQ(c.word(5), kBlue);
    LcdView v = testkit::lcdSnapshot();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(v.at(i, i), kRed) << i;
    EXPECT_EQ(v.count(0, 0, 319, 239, kRed), 10);
    EXPECT_EQ(v.count(50, 50, 60, 55, kGreen), 2 * 11 + 2 * 4);
    EXPECT_EQ(v.countNot(51, 51, 59, 54, 0), 0);
    EXPECT_EQ(v.at(220, 100), kBlue);
    EXPECT_EQ(v.at(180, 100), kBlue);
    EXPECT_EQ(v.at(200, 80), kBlue);
    EXPECT_EQ(v.at(200, 120), kBlue);
    EXPECT_EQ(v.at(200, 100), 0);
    int n = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 150; x < 320; ++x)
            if (v.at(x, y) == kBlue) {
                ++n;
                EXPECT_NEAR(hypot(x - 200, y - 100), 20.0, 0.75) << x << "," << y;
            }
    EXPECT_GT(n, 100);
}

TEST_F(Primitives, FilledCircleCoversTheDisc) {
    fillCircle(100, 100, 30, kRed);
    LcdRequest r = last();
    EXPECT_EQ(r.request, 10u);
    LcdView v = testkit::lcdSnapshot();
    int n = v.count(0, 0, 319, 239, kRed);
    EXPECT_NEAR(n, M_PI * 30 * 30, M_PI * 30 * 30 * 0.05);
    for (int y = 60; y <= 140; ++y)
        for (int x = 60; x <= 140; ++x) {
            double d = hypot(x - 100, y - 100);
            if (d < 29.0) {
                EXPECT_EQ(v.at(x, y), kRed) << x << "," << y;
            }
            if (d > 31.0) {
                EXPECT_EQ(v.at(x, y), 0) << x << "," << y;
            }
        }
}

TEST_F(Primitives, RoundedAndTransparentRectanglesSendTheirArgumentsInOrder) {
    drawRoundedRectangle(10, 10, 60, 40, 8, kGreen);
    LcdRequest r = last();
    EXPECT_EQ(r.request, 33u);
    const int32_t want[6] = {10, 10, 60, 40, 8, kGreen};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(r.word(i), want[i]) << i;
    LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.at(10, 10), 0);  // the corner is rounded off
    EXPECT_EQ(v.at(60, 40), 0);
    EXPECT_EQ(v.at(35, 10), kGreen);
    EXPECT_EQ(v.at(10, 25), kGreen);
    EXPECT_EQ(v.at(35, 25), kGreen);
    EXPECT_EQ(v.at(61, 25), 0);

    fillRect(100, 100, 150, 150, kWhite);
    drawTransparentRectangle(100, 100, 150, 150, 128, 0);
    r = last();
    EXPECT_EQ(r.request, 34u);
    EXPECT_EQ(r.word(4), 128);
    v = testkit::lcdSnapshot();
    uint16_t p = v.at(120, 120);
    EXPECT_NEAR(p >> 11, 16, 1);  // half of white
    EXPECT_NEAR((p >> 5) & 63, 32, 1);
    EXPECT_EQ(v.at(151, 120), 0);
}

TEST_F(Primitives, AntiAliasedLineBlendsTheEdges) {
    fillRect(0, 0, 319, 239, 0);
    drawLineXWU(0, 0, 100, 33, kWhite);
    EXPECT_EQ(last().request, 35u);
    LcdView v = testkit::lcdSnapshot();
    int partial = 0;
    for (int x = 0; x <= 100; ++x) {
        int lit = 0;
        for (int y = 0; y < 50; ++y) {
            uint16_t p = v.at(x, y);
            if (p) ++lit;
            if (p && p != kWhite) ++partial;
        }
        EXPECT_GE(lit, 1) << x;
        EXPECT_LE(lit, 2) << x;
    }
    EXPECT_GT(partial, 30);
    EXPECT_EQ(v.countNot(101, 0, 319, 239, 0), 0);
}

TEST_F(Primitives, AlphaBlendingRequests) {
    EXPECT_EQ(enableAlphaBlending(), 0);
    EXPECT_EQ(setAlphaChannel(64), 0);
    fillRect(0, 0, 9, 9, kWhite);
    EXPECT_EQ(disableAlphaBlending(), 0);
    fillRect(20, 0, 29, 9, kWhite);
    auto rs = testkit::lcdRequests();
    ASSERT_EQ(rs.size(), 5u);
    EXPECT_EQ(rs[0].request, 36u);
    EXPECT_TRUE(rs[0].hasValue);
    EXPECT_EQ(rs[0].value, 0);
    EXPECT_EQ(rs[1].request, 37u);
    EXPECT_EQ(rs[1].word(4), 64);
    EXPECT_EQ(rs[3].request, 38u);
    LcdView v = testkit::lcdSnapshot();
    EXPECT_NEAR(v.at(5, 5) >> 11, 31 * 64 / 255, 1);
    EXPECT_EQ(v.at(25, 5), kWhite);
}

TEST_F(Primitives, CoordinatesOutsideThePanelAreCutAndClipped) {
    fillRect(-10, -10, 5, 5, kRed);
    LcdRequest r = last();
    EXPECT_EQ(r.word(0), 0xFFF6);  // cut to 16 bits, zero-extended
    EXPECT_EQ(r.word(1), 0xFFF6);
    fillRect(300, 230, 4000, 70000, kGreen);
    r = last();
    EXPECT_EQ(r.word(3), 70000 & 0xFFFF);
    drawLine(-50, 120, 400, 120, kBlue);
    drawCircle(0, 0, 30000, kBlue);
    fillCircle(319, 239, 40000, kBlue);
    LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.count(0, 0, 5, 5, kRed), 36);
    EXPECT_EQ(v.count(300, 230, 319, 239, kGreen) + v.count(300, 230, 319, 239, kBlue), 200);
    EXPECT_EQ(v.at(0, 120), kBlue);
}

TEST_F(Primitives, PanelFadeModalAndClear) {
    LcdView before = testkit::lcdSnapshot();
    EXPECT_EQ(turnOff(), 0);
    EXPECT_EQ(testkit::lcdSnapshot().panel, 0u);
    EXPECT_EQ(turnOn(), 0);
    lcd_clear(kWhite);
    EXPECT_EQ(fade(), 0);
    EXPECT_EQ(drawModal(), 0);
    auto rs = testkit::lcdRequests();
    ASSERT_EQ(rs.size(), 5u);
    EXPECT_EQ(rs[0].request, 2u);
    EXPECT_EQ(rs[1].request, 1u);
    EXPECT_EQ(rs[2].request, 3u);
    EXPECT_EQ(rs[2].value, kWhite);
    EXPECT_EQ(rs[3].request, 16u);
    EXPECT_EQ(rs[3].value, 0);
    EXPECT_EQ(rs[4].request, 21u);
    LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.panel, 1u);
    EXPECT_EQ(v.panelChanges, before.panelChanges + 2);
    EXPECT_EQ(v.fades, before.fades + 1);
    EXPECT_EQ(v.count(0, 0, 319, 239, 0x7BEF), 320 * 240);  // white, darkened to half
}

TEST_F(Primitives, ClearAreaKeepsTheTitleBar) {
    lcd_clear(kRed);
    clearArea();
    expectFill(last(), 0, 36, 319, 239, 0);
    LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.count(0, 0, 319, 35, kRed), 320 * 36);
    EXPECT_EQ(v.count(0, 36, 319, 239, 0), 320 * 204);
}

TEST_F(Primitives, BuffersSaveShowCopyAndShift) {
    lcd_clear(kRed);
    EXPECT_EQ(loadBuffer(1), 0);
    EXPECT_EQ(getCurentBuffer(), 1);
    lcd_clear(kBlue);
    EXPECT_EQ(loadBuffer(2), 0);
    EXPECT_EQ(drawFromBuffer(1), 0);
    EXPECT_EQ(testkit::lcdSnapshot().count(0, 0, 319, 239, kRed), 320 * 240);
    EXPECT_EQ(copyBuffer(1, 3), 0);
    LcdRequest r = last();
    EXPECT_EQ(r.request, 28u);
    EXPECT_EQ(r.word(0), 3);  // {second argument, first argument}
    EXPECT_EQ(r.word(1), 1);
    EXPECT_EQ(shiftScreen(-100), 0);
    LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.offscreen.at(3), v.offscreen.at(1));
    EXPECT_EQ(v.count(0, 0, 219, 239, kRed), 220 * 240);
    EXPECT_EQ(v.count(220, 0, 319, 239, kBlue), 100 * 240);
    EXPECT_EQ(centerCurrentBuffer(), 0);
    EXPECT_EQ(last().value, 1);
    EXPECT_EQ(testkit::lcdSnapshot().count(0, 0, 319, 239, kRed), 320 * 240);
    EXPECT_EQ(loadBuffer(7), -1);
    auto rs = testkit::lcdRequests();
    EXPECT_EQ(rs.back().request, 25u);
    EXPECT_TRUE(rs.back().failed);
    EXPECT_EQ(getCurentBuffer(), 1);
}

TEST_F(Primitives, Picture565IsPlacedAsGiven) {
    static const uint16_t px[6] = {kRed, kGreen, kBlue, kWhite, 0x1234, 0x4321};
    EXPECT_EQ(drawPicture565(10, 20, 3, 2, px), 0);
    LcdRequest r = last();
    EXPECT_EQ(r.request, 11u);
    EXPECT_EQ(r.word(0), 10);
    EXPECT_EQ(r.word(1), 20);
    EXPECT_EQ(r.word(2), 3);
    EXPECT_EQ(r.word(3), 2);
    EXPECT_EQ(r.bytes.size(), 16 + sizeof(void*));
    LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.at(10, 20), kRed);
    EXPECT_EQ(v.at(12, 20), kBlue);
    EXPECT_EQ(v.at(10, 21), kWhite);
    EXPECT_EQ(v.at(12, 21), 0x4321);
    EXPECT_EQ(drawPicture565(318, 238, 3, 2, px), 0);  // clipped at the corner
    LcdView v2 = testkit::lcdSnapshot();
    EXPECT_EQ(v2.at(319, 238), kGreen);
    EXPECT_EQ(v2.at(319, 239), 0x1234);
}

TEST_F(Primitives, DriverFailuresAreReturned) {
    testkit::Fault faultHalvixLcdIoctl9("halvix_lcd-ioctl-9");
    EXPECT_EQ(fillRect(0, 0, 10, 10, kRed), -1);
    faultHalvixLcdIoctl9.off();
    EXPECT_TRUE(last().failed);
    EXPECT_EQ(testkit::lcdSnapshot().count(0, 0, 10, 10, kRed), 0);
    testkit::Fault faultHalvixLcdIoctl("halvix_lcd-ioctl");
    std::string out = testkit::captureStdout([] { drawFontSmallBlueString(L"x", 0, 0); });
    faultHalvixLcdIoctl.off();
    EXPECT_EQ(out, "ERROR:the ioctl can not display the text ");
}

TEST_F(Primitives, DrawingPinsTheProcessToTheFirstProcessor) {
    cpu_set_t all;
    CPU_ZERO(&all);
    for (int i = 0; i < 2; ++i) CPU_SET(i, &all);
    sched_setaffinity(0, sizeof all, &all);
    turnOn();  // a control request does not pin
    cpu_set_t got;
    sched_getaffinity(0, sizeof got, &got);
    long cpus = sysconf(_SC_NPROCESSORS_ONLN);
    if (cpus > 1) {
        EXPECT_GT(CPU_COUNT(&got), 1);
    }
    drawPixel(0, 0, 1);
    sched_getaffinity(0, sizeof got, &got);
    EXPECT_EQ(CPU_COUNT(&got), 1);
    EXPECT_TRUE(CPU_ISSET(0, &got));
}

// A square drawn through whatever descriptor the library holds now lands
// on the panel.
void expectDrawn(uint16_t colour) {
    EXPECT_EQ(fillRect(0, 0, 3, 3, colour), 0);
    EXPECT_EQ(testkit::lcdSnapshot().count(0, 0, 3, 3, colour), 16);
}

// The driver opened again as `fd`, with as many descriptors open as
// `before`, and drawing through it.
void expectReopened(int fd, int before) {
    ASSERT_GE(fd, 0);
    EXPECT_EQ(testkit::openDescriptors(), before);
    expectDrawn(kRed);
}

// The library's descriptor `fd` now holds another file, made at `path`: the
// next initialisation opens the node afresh (into `again`) and leaves that
// file alone.
void expectAnotherFileLeftAlone(int fd, const char* path, int* again) {
    int other = open(path, O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(other, 0);
    ASSERT_EQ(dup2(other, fd), fd);
    close(other);
    *again = lcdGpioInit();
    ASSERT_GE(*again, 0);
    EXPECT_NE(*again, fd);
    EXPECT_EQ(write(fd, "kept", 4), 4);
    EXPECT_EQ(testkit::readFile(path), "kept");
}

TEST(LcdInit, AnOpenDescriptorIsKept) {
    int fd = lcdGpioInit();
    ASSERT_GE(fd, 0);
    int before = testkit::openDescriptors();
    EXPECT_EQ(libHalvixGuiInit(), fd);
    int same = 0;
    for (int i = 0; i < 20; ++i) same += lcdGpioInit() == fd;
    EXPECT_EQ(same, 20);
    EXPECT_EQ(testkit::openDescriptors(), before);
    EXPECT_EQ(filed, fd);

    // Closed behind the library's back: opened again.
    close(fd);
    fd = libHalvixGuiInit();
    ASSERT_NO_FATAL_FAILURE(expectReopened(fd, before));

    // Its number now holds another file: that file is left alone.
    int again = -1;
    ASSERT_NO_FATAL_FAILURE(expectAnotherFileLeftAlone(fd, "/tmp/not-the-lcd", &again));
    expectDrawn(kGreen);
    EXPECT_EQ(libHalvixGuiInit(), again);
    close(fd);
}

TEST(LcdInit, MissingNodeIsMadeOnceWithTheDriversMajor) {
    testkit::clearLog("mknod");
    ASSERT_GE(lcdGpioInit(), 0);
    int before = testkit::openDescriptors();
    testkit::removeFile("/dev/halvix_lcd");
    int fd = lcdGpioInit();
    EXPECT_EQ(testkit::openDescriptors(), before) << "the descriptor of the old node is closed";
    EXPECT_GE(fd, 0);
    EXPECT_EQ(fd, filed);
    auto lines = testkit::logLines("mknod");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "/dev/halvix_lcd c 241 0");
    EXPECT_EQ(fillRect(0, 0, 1, 1, 5), 0);
    EXPECT_GE(libHalvixGuiInit(), 0);
    EXPECT_EQ(testkit::logLines("mknod").size(), 1u);
}

TEST_F(Primitives, DriverFailuresOfQueriesAndAffinity) {
    {
        testkit::Fault f("halvix_lcd-ioctl");
        EXPECT_EQ(getCurentBuffer(), -1);
    }
    // A processor mask that names none: the drawing goes on unpinned.
    int saved = cpu_mask;
    cpu_mask = 0;
    int r = -1;
    std::string err = testkit::captureStderr([&] { r = fillRect(0, 0, 2, 2, kBlue); });
    cpu_mask = saved;
    EXPECT_EQ(r, 0);
    EXPECT_EQ(err.rfind("sched_setaffinity: ", 0), 0u) << err;
    EXPECT_EQ(testkit::lcdSnapshot().count(0, 0, 2, 2, kBlue), 9);
}

TEST(LcdInit, NodeThatCannotBeOpened) {
    ASSERT_GE(lcdGpioInit(), 0);
    testkit::clearLog("mknod");
    testkit::removeFile("/dev/halvix_lcd");
    {
        testkit::Fault f("halvix_lcd-open");
        EXPECT_LT(lcdGpioInit(), 0);
        EXPECT_LT(filed, 0);
    }
    EXPECT_EQ(testkit::logLines("mknod").size(), 1u);  // made, but it would not open
    EXPECT_GE(lcdGpioInit(), 0);
    EXPECT_EQ(fillRect(0, 0, 1, 1, 5), 0);
}

// The node replaced by another file on the same file system: the kept
// descriptor is of the old one, so the new one is opened.
TEST(LcdInit, NodeReplacedInPlace) {
    int fd = lcdGpioInit();
    ASSERT_GE(fd, 0);
    int before = testkit::openDescriptors();
    testkit::removeFile("/dev/halvix_lcd");
    testkit::writeFile("/dev/halvix_lcd", "");
    int again = lcdGpioInit();
    ASSERT_NO_FATAL_FAILURE(expectReopened(again, before));
    // Its number now holds another file of the same file system.
    int third = -1;
    ASSERT_NO_FATAL_FAILURE(expectAnotherFileLeftAlone(again, "/dev/not-the-lcd", &third));
    close(again);
    testkit::removeFile("/dev/not-the-lcd");
}

}  // namespace
