// ImagePNG and the touch library on the virtual router: pictures drawn by
// index with and without their transparent pixels, pen samples paired.
#include <gtest/gtest.h>

#include "ImagePNG.h"
#include "lcddraw/libHalvixGui.h"
#include "lcdview.h"
#include "pen.h"
#include "testkit.h"
#include "touch.h"

namespace {

TEST(Pictures, IndexesInLoadOrderAndTransparency) {
    ASSERT_GE(libHalvixGuiInit(), 0);
    lcd_clear(31);  // blue background
    ImagePNG set;
    EXPECT_EQ(set.loadPNG("/halvix/modal.png"), 0);
    EXPECT_EQ(set.loadPNG("/halvix/nosuch.png"), -1);
    EXPECT_EQ(set.loadPNG("/halvix/info_transparent.png"), 1);
    testkit::writeFile("/tmp/not.png", "not a picture");
    EXPECT_EQ(set.loadPNG("/tmp/not.png"), -1);
    EXPECT_EQ(set.count(), 2);
    testkit::clearLog("lcd");
    set.drawPNG(0, 0, 0, 0, 1);    // whole picture, transparent corners black
    set.drawPNG(100, 0, 1, 0, 1);  // only the opaque pixels
    set.drawPNG(200, 0, 1, 0, 0);  // no transparency: one request
    EXPECT_EQ(set.drawPNG(0, 0, 0, 0, 5), -1);
    testkit::LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.at(1, 1), 0);
    EXPECT_EQ(v.at(101, 1), 31) << "transparent pixel left as it was";
    EXPECT_EQ(v.at(130, 30), 65535) << "the icon's white disc";
    auto rs = testkit::lcdRequests();
    ASSERT_GT(rs.size(), 3u);
    for (auto& r : rs) EXPECT_EQ(r.request, 12u);
    EXPECT_EQ(rs.back().word(2), 200) << "width of the frame, sent whole";
    EXPECT_EQ(rs.back().word(3), 100);
    pen::shot("pictures");
}

TEST(Touch, SamplesPairAndSuspendReadsUp) {
    pen::script("press 30 40 50\nmove 31 41\nrelease\n");
    int x = readX();
    EXPECT_EQ(x, 30);
    EXPECT_EQ(readY(), 40);
    disableTouch(1);
    EXPECT_EQ(readX(), 0);
    disableTouch(0);
    waitForPenUp();
    EXPECT_TRUE(pen::done());
    EXPECT_EQ(readX(), 0);
}

}  // namespace
