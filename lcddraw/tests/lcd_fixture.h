// The fixture of the drawing tests: a fresh panel, cleared, with an empty
// request log, and the last request the panel received.
#pragma once

#include <gtest/gtest.h>

#include "lcddraw/libHalvixGui.h"
#include "lcdview.h"
#include "testkit.h"

class LcdTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GE(libHalvixGuiInit(), 0);
        disableAlphaBlending();
        lcd_clear(0);
        testkit::clearLog("lcd");
    }
    static testkit::LcdRequest last() {
        auto r = testkit::lcdRequests();
        EXPECT_FALSE(r.empty());
        return r.empty() ? testkit::LcdRequest() : r.back();
    }
};
