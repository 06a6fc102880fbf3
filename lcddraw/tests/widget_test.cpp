// Every widget kind drawn on the virtual LCD, checked by its pixels, its
// touch area and what unDrawWidget leaves.
#include <gtest/gtest.h>
#include <string.h>
#include <wchar.h>

#include <string>

#include "lcd_fixture.h"
#include "lcddraw/libHalvixGui.h"
#include "lcdview.h"
#include "testkit.h"

using testkit::LcdRequest;
using testkit::LcdView;

namespace {

// A record as the toolkit fills it: line mode 1, no flags, not selected.
WidgetRecord widget(int kind, int x, int y, int w, int h, const wchar_t* label, int colour = 0,
                    float fontSize = 16.0f) {
    WidgetRecord r;
    memset(&r, 0, sizeof r);
    r.kind = kind;
    r.x = x;
    r.y = y;
    r.width = w;
    r.height = h;
    r.colour = colour;
    r.fontSize = fontSize;
    r.textLineMode = 1;
    wcsncpy(r.label, label, 79);
    return r;
}

class Widgets : public LcdTest {};

// The panel after drawing w.
LcdView drawn(const WidgetRecord& w) {
    drawWidget(w);
    return testkit::lcdSnapshot();
}

void expectArea(const TouchArea& a, int l, int r, int t, int b, const char* what) {
    EXPECT_EQ(a.left, l) << what;
    EXPECT_EQ(a.right, r) << what;
    EXPECT_EQ(a.top, t) << what;
    EXPECT_EQ(a.bottom, b) << what;
}

TEST_F(Widgets, ButtonFillsWithStateColourAndCentresItsLabel) {
    struct Case {
        int selected, state;
        uint16_t fill, text;
    } cases[] = {{0, 0, 1405, 65535}, {1, 0, 2879, 65535}, {0, -1, 6339, 25388}};
    for (const Case& c : cases) {
        lcd_clear(0);
        WidgetRecord w = widget(WIDGET_BUTTON, 20, 50, 100, 30, L"On");
        w.selected = c.selected;
        w.state = c.state;
        LcdView v = drawn(w);
        EXPECT_EQ(v.at(20, 50), c.fill);
        EXPECT_EQ(v.at(120, 80), c.fill);
        EXPECT_EQ(v.at(121, 80), 0);
        EXPECT_GT(v.count(20, 50, 120, 80, c.fill), 101 * 31 * 8 / 10);
        EXPECT_GT(v.count(55, 55, 85, 75, c.text), 10) << c.fill;
        EXPECT_EQ(v.count(20, 50, 54, 80, c.text), 0) << "label centred";
        expectArea(getTouchArea(w), 20, 120, 50, 80, "button");
    }
    auto rs = testkit::lcdRequests();
    ASSERT_GE(rs.size(), 2u);
    LcdRequest t = rs[rs.size() - 1];
    EXPECT_EQ(t.request, 18u);
    EXPECT_EQ(t.word(0), 20);
    EXPECT_EQ(t.word(1), 50 + 15 - 6);
    EXPECT_EQ(t.word(2), 120);
    EXPECT_EQ(t.text, "On");
}

TEST_F(Widgets, ArrowButtonsAddTriangles) {
    WidgetRecord l = widget(WIDGET_BUTTON_LEFT, 60, 100, 80, 30, L"Back");
    LcdView v = drawn(l);
    EXPECT_EQ(v.at(45, 115), 1405);  // the tip, x - half
    EXPECT_EQ(v.at(45, 114), 0);
    EXPECT_EQ(v.at(44, 115), 0);
    EXPECT_EQ(v.at(50, 105), 0);  // outside the slope
    EXPECT_EQ(v.at(50, 112), 1405);
    expectArea(getTouchArea(l), 45, 140, 100, 130, "left arrow");
    unDrawWidget(l);
    EXPECT_EQ(testkit::lcdSnapshot().countNot(0, 0, 319, 239, 0), 0);

    WidgetRecord r = widget(WIDGET_BUTTON_RIGHT, 60, 100, 80, 30, L"Next");
    v = drawn(r);
    EXPECT_EQ(v.at(155, 115), 1405);  // x + w + half
    EXPECT_EQ(v.at(156, 115), 0);
    EXPECT_EQ(v.at(150, 105), 0);
    expectArea(getTouchArea(r), 60, 155, 100, 130, "right arrow");
    LcdRequest t = testkit::lcdRequests().back();
    EXPECT_EQ(t.word(0), 60);
    EXPECT_EQ(t.word(2), 155);
    unDrawWidget(r);
    EXPECT_EQ(testkit::lcdSnapshot().countNot(0, 0, 319, 239, 0), 0);
}

TEST_F(Widgets, RadioAndCheckBox) {
    for (int kind : {WIDGET_RADIO, WIDGET_CHECKBOX}) {
        lcd_clear(0);
        WidgetRecord w = widget(kind, 10, 60, 0, 0, L"Away");
        LcdView v = drawn(w);
        EXPECT_EQ(v.count(10, 60, 35, 85, 65535), 26 * 26);
        EXPECT_GT(v.count(40, 65, 120, 85, 65535), 10);  // the label
        w.selected = 1;
        v = drawn(w);
        EXPECT_EQ(v.count(16, 66, 29, 79, 2879), 14 * 14);
        EXPECT_EQ(v.count(10, 60, 35, 85, 65535), 26 * 26 - 14 * 14);
        expectArea(getTouchArea(w), 10, 10 + 9 * 4 + 45, 60, 85, "radio");
        testkit::clearLog("lcd");
        unDrawWidget(w);
        LcdRequest r = testkit::lcdRequests().back();
        EXPECT_EQ(r.word(0), 10);
        EXPECT_EQ(r.word(2), 10 + 7 * 4 + 39);
        EXPECT_EQ(r.word(3), 60 + 15);
    }
}

TEST_F(Widgets, TextFields) {
    for (int kind : {WIDGET_TEXTFIELD, WIDGET_TEXTFIELD2}) {
        lcd_clear(0);
        WidgetRecord w = widget(kind, 10, 100, 200, 33, L"1234");
        LcdView v = drawn(w);
        EXPECT_EQ(v.at(10, 100), 65535);
        EXPECT_GT(v.count(10, 100, 210, 133, 0), 20);  // black text on white
        LcdRequest t = testkit::lcdRequests().back();
        EXPECT_EQ(t.word(1), 100 + (33 - 13) / 2);
        w.selected = 1;
        v = drawn(w);
        EXPECT_GT(v.count(10, 100, 210, 133, 2879), 100);  // background behind the text
        w.state = -1;
        v = drawn(w);
        EXPECT_EQ(v.at(10, 100), 6339);
        EXPECT_GT(v.count(12, 100, 210, 133, 25388), 10);
        t = testkit::lcdRequests().back();
        EXPECT_EQ(t.word(0), 12);
        if (kind == WIDGET_TEXTFIELD)
            expectArea(getTouchArea(w), 10, 210, 100, 133, "text field");
        else
            expectArea(getTouchArea(w), 0, 0, 0, 0, "second text field");
        unDrawWidget(w);
        EXPECT_EQ(testkit::lcdSnapshot().countNot(0, 0, 319, 239, 0), 0);
    }
}

TEST_F(Widgets, PanelIsNotTouchable) {
    WidgetRecord w = widget(WIDGET_PANEL, 0, 36, 319, 203, L"ignored");
    LcdView v = drawn(w);
    EXPECT_EQ(v.count(0, 36, 319, 239, 12678), 320 * 204);
    expectArea(getTouchArea(w), 0, 0, 0, 0, "panel");
    for (const LcdRequest& r : testkit::lcdRequests()) EXPECT_NE(r.request, 18u);
}

TEST_F(Widgets, LabelDrawsStraightFromTheRecord) {
    // Flags A and B 0, as the record holds them.
    WidgetRecord w = widget(WIDGET_LABEL, 30, 40, 200, 20, L"Temperature", 0x07E0, 24.0f);
    drawWidget(w);
    LcdRequest t = testkit::lcdRequests().back();
    EXPECT_EQ(t.request, 18u);
    EXPECT_EQ(t.word(0), 30);
    EXPECT_EQ(t.word(1), 40);
    EXPECT_EQ(t.word(2), 230);
    EXPECT_EQ(t.floatAt(36 + sizeof(void*)), 24.0f);
    LcdView v = testkit::lcdSnapshot();
    EXPECT_GT(v.count(30, 40, 230, 70, 0x07E0), 30);
    expectArea(getTouchArea(w), 0, 0, 0, 0, "label");
}

TEST_F(Widgets, ColourButtonUsesTheRecordsColours) {
    WidgetRecord w = widget(WIDGET_COLOR_BUTTON, 100, 150, 120, 40, L"Scene", 0x001F, 24.0f);
    w.selectedColour = 0xF800;
    w.textColour = 65535.0f;
    LcdView v = drawn(w);
    EXPECT_EQ(v.at(100, 150), 0x001F);
    EXPECT_GT(v.count(100, 150, 220, 190, 0xFFFF), 20);
    LcdRequest t = testkit::lcdRequests().back();
    EXPECT_EQ(t.word(1), 170 - 11);  // (y + half) - floor(24 * 0.95) / 2, truncated
    w.selected = 1;
    drawWidget(w);
    EXPECT_EQ(testkit::lcdSnapshot().at(100, 150), 0xF800);
    w.state = -1;
    v = drawn(w);
    EXPECT_EQ(v.at(100, 150), 6339);
    EXPECT_GT(v.count(100, 150, 220, 190, 25388), 10);
    expectArea(getTouchArea(w), 100, 220, 150, 190, "colour button");
    unDrawWidget(w);
    EXPECT_EQ(testkit::lcdSnapshot().countNot(0, 0, 319, 239, 0), 0);
}

TEST_F(Widgets, UnknownKindDrawsNothing) {
    WidgetRecord w = widget(42, 10, 10, 50, 50, L"x");
    drawWidget(w);
    unDrawWidget(w);
    EXPECT_TRUE(testkit::lcdRequests().empty());
    expectArea(getTouchArea(w), 0, 0, 0, 0, "unknown");
}

TEST_F(Widgets, UnterminatedLabelIsCut) {
    WidgetRecord w = widget(WIDGET_CHECKBOX, 0, 0, 0, 0, L"");
    for (int i = 0; i < 80; ++i) w.label[i] = L'a' + i % 26;
    w.kind = WIDGET_CHECKBOX;  // the word after the label
    drawWidget(w);
    LcdRequest t = testkit::lcdRequests().back();
    EXPECT_EQ(t.text.size(), 79u);
    expectArea(getTouchArea(w), 0, 9 * 80 + 45, 0, 25, "80-character label");
}

}  // namespace
