// Screenshot comparison: the virtual LCD's screen against a committed
// reference picture, pixel for pixel.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "lcdview.h"

namespace testkit {

// The font the LCD's text renderer draws with (sim/lcd/text.cpp).
constexpr const char* kLcdFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// Where references are read (<name>.png, and font.sha256: the font they were
// drawn with) and where a failed comparison leaves <name>.actual.png and
// <name>.diff.png (differing pixels red over the dimmed actual picture).
// Both must lie in the tree the virtual router shares with the host.
struct ScreenReferences {
    std::string references;
    std::string output;

    // The visible screen equals <name>.png. A snapshot taken while a
    // request draws is never half-drawn: the frame buffer's lock is held.
    // With HALVIX_UPDATE_REFERENCES=1 it writes the reference (and the
    // font's checksum) instead and always succeeds.
    ::testing::AssertionResult matches(const std::string& name) const;
    ::testing::AssertionResult matches(const std::string& name, const LcdView& view) const;
};

// lcdSnapshot() under the frame buffer's shared lock.
LcdView lcdSnapshotLocked();

}  // namespace testkit
