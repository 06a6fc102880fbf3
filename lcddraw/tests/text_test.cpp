// Text requests: the records of the fixed styles, the glyphs they leave,
// clipping at the right edge, and measuring and hit-testing from the same
// glyph metrics.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "lcd_fixture.h"
#include "lcddraw/libHalvixGui.h"
#include "lcdview.h"
#include "testkit.h"

using testkit::LcdRequest;
using testkit::LcdView;

namespace {

constexpr size_t kPtr = sizeof(void*);

class Text : public LcdTest {
protected:
    // Columns [first, last] holding any lit pixel in rows y0..y1; -1 if none.
    static std::pair<int, int> litColumns(const LcdView& v, int y0, int y1, uint16_t bg = 0) {
        int first = -1, lastx = -1;
        for (int x = 0; x < 320; ++x)
            for (int y = y0; y <= y1; ++y)
                if (v.at(x, y) != bg) {
                    if (first < 0) first = x;
                    lastx = x;
                    break;
                }
        return {first, lastx};
    }
};

struct Style {
    const char* name;
    int (*fn)(const wchar_t*, int, int);
    float size;
    int colour, background, transparent;
};

TEST_F(Text, FixedStylesFillTheTextRecord) {
    const Style styles[] = {
        {"small colour", drawFontSmallColorString, 16.0f, 0, 0, 1},
        {"small white", drawFontSmallWhiteString, 16.0f, 0, 0, 1},
        {"small blue", drawFontSmallBlueString, 16.0f, 65535, 0, 1},
        {"small black", drawFontSmallBlackString, 16.0f, 65535, 35794, 1},
        {"big white", drawFontBigWhiteString, 24.0f, 1405, 0, 0},
    };
    for (const Style& s : styles) {
        testkit::clearLog("lcd");
        EXPECT_EQ(s.fn(L"Living room", 12, 34), 0) << s.name;
        LcdRequest r = last();
        EXPECT_EQ(r.request, 18u) << s.name;
        ASSERT_EQ(r.bytes.size(), 40 + kPtr) << s.name;
        EXPECT_EQ(r.word(0), 12) << s.name;
        EXPECT_EQ(r.word(1), 34) << s.name;
        EXPECT_EQ(r.word(2), 319) << s.name;  // right edge
        EXPECT_EQ(r.word(3), 1) << s.name;    // line mode
        const size_t after = 16 + kPtr;
        auto at = [&](size_t off) {
            int32_t v;
            memcpy(&v, r.bytes.data() + off, 4);
            return v;
        };
        EXPECT_EQ(at(after), s.colour) << s.name;
        EXPECT_EQ(at(after + 4), s.background) << s.name;
        EXPECT_EQ(at(after + 8), 0) << s.name;
        EXPECT_EQ(at(after + 12), 0) << s.name;
        EXPECT_EQ(at(after + 16), s.transparent) << s.name;
        EXPECT_EQ(r.floatAt(after + 20), s.size) << s.name;
        EXPECT_EQ(r.text, "Living room") << s.name;
    }
}

TEST_F(Text, GlyphsAreDrawnAndMeasuredAlike) {
    const wchar_t* text = L"Hello world";
    int w = textWidth(text, LCD_FONT_SMALL);
    LcdRequest m = last();
    EXPECT_EQ(m.request, 39u);
    EXPECT_EQ(m.word(2), 99999);
    EXPECT_EQ(m.text, "Hello world");
    EXPECT_GT(w, 60);
    EXPECT_LT(w, 120);
    drawText(text, 10, 50, 300, 1, 0, LCD_FONT_SMALL, 65535, 0);
    LcdView v = testkit::lcdSnapshot();
    auto cols = litColumns(v, 0, 239);
    EXPECT_GE(cols.first, 10);
    EXPECT_LE(cols.first, 12);       // 'H' starts at its side bearing
    EXPECT_LE(cols.second, 10 + w);  // 'd' ends within its advance
    EXPECT_GE(cols.second, 10 + w - 4);
    // Only rows of the line are touched, and white glyph cores exist.
    EXPECT_EQ(v.countNot(0, 0, 319, 49, 0), 0);
    EXPECT_EQ(v.countNot(0, 70, 319, 239, 0), 0);
    EXPECT_GT(v.count(0, 50, 319, 69, 0xFFFF), 40);

    int big = textWidth(text, LCD_FONT_BIG);
    EXPECT_NEAR(big, w * 1.5, w * 0.1);
}

TEST_F(Text, BackgroundIsFilledBehindTheText) {
    drawTextWithBG(L"Menu", 20, 100, 200, 1, 0, LCD_FONT_SMALL, 0xFFFF, 0x001F, 0);
    int w = textWidth(L"Menu", LCD_FONT_SMALL);
    LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.at(20, 100), 0x001F);
    EXPECT_EQ(v.at(20 + w - 1, 100), 0x001F);
    EXPECT_EQ(v.at(20 + w, 100), 0);
    EXPECT_EQ(v.at(19, 100), 0);
    EXPECT_GT(v.count(20, 100, 20 + w, 120, 0xFFFF), 20);
    EXPECT_EQ(v.countNot(0, 0, 319, 99, 0), 0);
}

TEST_F(Text, TextIsClippedAtTheRightEdge) {
    drawText(L"WWWWWWWWWWWWWWWW", 10, 100, 30, 1, 0, LCD_FONT_BIG, 0xFFFF, 0);
    LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.countNot(41, 0, 319, 239, 0), 0);
    EXPECT_GT(v.countNot(10, 100, 40, 130, 0), 50);
    // Drawn at the panel's edge: nothing wraps to the left side.
    lcd_clear(0);
    drawFontSmallBlueString(L"A long text that runs off the panel", 250, 10);
    v = testkit::lcdSnapshot();
    EXPECT_EQ(v.countNot(0, 0, 249, 239, 0), 0);
    EXPECT_GT(v.countNot(250, 10, 319, 30, 0), 20);
}

TEST_F(Text, CentredButtonTextSitsBetweenTheEdges) {
    // flags B 1, as the buttons send it
    drawText(L"OK", 100, 100, 100, 1, 0, LCD_FONT_SMALL, 0xFFFF, 1);
    int w = textWidth(L"OK", LCD_FONT_SMALL);
    LcdView v = testkit::lcdSnapshot();
    auto cols = litColumns(v, 100, 130);
    int mid = (cols.first + cols.second) / 2;
    EXPECT_NEAR(mid, 150, 3);
    EXPECT_GE(cols.first, 100 + (100 - w) / 2 - 1);
}

TEST_F(Text, HitTestingFindsTheCharacterUnderX) {
    const wchar_t* text = L"Hello";
    int he = textWidth(L"He", LCD_FONT_SMALL);
    int all = textWidth(text, LCD_FONT_SMALL);
    EXPECT_EQ(textTouchPosition(text, 0, LCD_FONT_SMALL), 0);
    LcdRequest r = last();
    EXPECT_EQ(r.request, 40u);
    EXPECT_EQ(r.word(0), 0);
    // Character index x 1000 + the pixels of x inside that character.
    EXPECT_EQ(textTouchPosition(text, he, LCD_FONT_SMALL), 2000);
    int inE = textTouchPosition(text, he - 1, LCD_FONT_SMALL);
    EXPECT_EQ(last().word(0), he - 1);
    EXPECT_EQ(inE / 1000, 1);
    EXPECT_NEAR(inE % 1000, he - 1 - textWidth(L"H", LCD_FONT_SMALL), 1);
    EXPECT_EQ(textTouchPosition(text, all + 5, LCD_FONT_SMALL), 5000);
    testkit::clearLog("lcd");
    EXPECT_EQ(textTouchPosition(text, -1, LCD_FONT_SMALL), -1);
    EXPECT_TRUE(testkit::lcdRequests().empty());
}

TEST_F(Text, LongTextsAreCutAt79Characters) {
    std::wstring longText(100, L'x');
    drawFontSmallBlueString(longText.c_str(), 0, 0);
    EXPECT_EQ(last().text, std::string(79, 'x'));
    EXPECT_EQ(cText[79], 0);
    textWidth(longText.c_str(), LCD_FONT_SMALL);
    EXPECT_EQ(last().text.size(), 79u);
}

TEST_F(Text, WideCharactersReachTheDriverAsUtf8) {
    drawFontSmallBlueString(L"Caf\u00e9 22\u00b0C", 0, 0);
    EXPECT_EQ(last().text,
              "Caf\xc3\xa9 22\xc2\xb0"
              "C");
}

TEST_F(Text, ErasersAndTitle) {
    unDrawFontSmallString(L"abcd", 10, 20);
    LcdRequest r = last();
    EXPECT_EQ(r.request, 9u);
    EXPECT_EQ(r.word(0), 10);
    EXPECT_EQ(r.word(1), 20);
    EXPECT_EQ(r.word(2), 10 + 6 * 4);
    EXPECT_EQ(r.word(3), 20 + 13);
    EXPECT_EQ(r.word(5), 0);
    unDrawFontBigWhiteString(L"abc", 5, 6);
    r = last();
    EXPECT_EQ(r.word(2), 5 + 30);
    EXPECT_EQ(r.word(3), 6 + 19);
    drawTitle(L"Home");
    r = last();
    EXPECT_EQ(r.request, 18u);
    EXPECT_EQ(r.word(0), 90);
    EXPECT_EQ(r.word(1), 8);
    EXPECT_EQ(r.floatAt(36 + kPtr), 24.0f);
    LcdView v = testkit::lcdSnapshot();
    EXPECT_GT(v.count(90, 8, 160, 36, 1405), 30);  // the title's glyphs
    unDrawTitle(L"Home");
    r = last();
    EXPECT_EQ(r.word(0), 90);
    EXPECT_EQ(r.word(1), 8);
    EXPECT_EQ(r.word(2), 90 + 44);
    EXPECT_EQ(r.word(3), 30);
}

TEST(TextUtilities, LengthCopyCentreAndTrim) {
    EXPECT_EQ(textLen(L""), 0);
    EXPECT_EQ(textLen(L"abc"), 3);
    wchar_t dst[8];
    wmemset(dst, L'z', 8);
    copyString(dst, L"abc");
    EXPECT_EQ(std::wstring(dst), L"abc");
    EXPECT_EQ(dst[4], L'z');
    EXPECT_EQ(centerTextX(L"abcd", 0, 320), 160 - 20);
    EXPECT_EQ(centerTextX(L"ab", 100, 200), 150 - 10);

    EXPECT_EQ(std::wstring(trimText(L"abcdefghijklmnop", 60)), L"abcdefghi");  // 60/6 - 1
    EXPECT_EQ(std::wstring(trimText(L"abc", 60)), L"abc");                     // shorter than the cut
    EXPECT_EQ(std::wstring(trimText(L"abcdef", 3)), L"");                      // cut never before the buffer
    EXPECT_EQ(std::wstring(trimText(L"abcdef", -7)), L"");                     // no count: nothing
    std::wstring longText(200, L'q');
    EXPECT_EQ(std::wstring(trimText(longText.c_str(), 500)), std::wstring(12, L'q'));  // count at most 80
    setShowPasswords(0);
    EXPECT_EQ(showPasswords, 0);
    setShowPasswords(1);
}

}  // namespace
