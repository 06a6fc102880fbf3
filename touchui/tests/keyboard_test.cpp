// The on-screen keyboard typed on by scripted pen sessions: settings edited
// in place and read back from nvram, copy mode, limits and validation.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "lcdview.h"
#include "pen.h"
#include "testkit.h"
#include "touchui/KeyboardLayout.h"
#include "touchui/Screen.h"

namespace {

using kblayout::Box;

std::string tap(int x, int y) { return "tap " + std::to_string(x) + " " + std::to_string(y) + "\n"; }
std::string tap(const Box& b) { return tap(kblayout::centreX(b), kblayout::centreY(b)); }

// A tap on the centre of a key the layout has for c.
std::string tapKey(kblayout::KeyAt k, Box (*box)(int, int), char c) {
    if (k.row >= 0) return tap(box(k.row, k.key));
    ADD_FAILURE() << "no key " << c;
    return "";
}
// Keys of the letter layouts.
std::string key(char c) { return tapKey(kblayout::letterKeyOf(c), kblayout::letterKey, c); }
// Keys of the numeric pad: a digit, "." or 'D' for DEL.
std::string num(char c) {
    wchar_t label[2] = {(wchar_t)c, 0};
    return tapKey(kblayout::numKeyOf(c == 'D' ? L"DEL" : label), kblayout::numKey, c);
}
std::string typed(const std::string& s, std::string (*at)(char)) {
    std::string out;
    for (char c : s) out += at(c);
    return out;
}
std::string type(const std::string& s) { return typed(s, key); }
std::string numType(const std::string& s) { return typed(s, num); }

std::string function(int f) { return tap(kblayout::kFunctions[f].touch); }
const std::string kCap = function(kblayout::kCap), kSpace = function(kblayout::kSpace), kDel = function(kblayout::kDel),
                  kDone = function(kblayout::kDone), kToggle = function(kblayout::kToggle);
// One place on the back button of every layout.
constexpr int kBackX = 20, kBackY = 30;
static_assert(kblayout::inside(kblayout::kLetterBack.touch, kBackX, kBackY) &&
                  kblayout::inside(kblayout::kNumBack.touch, kBackX, kBackY),
              "back");
const std::string kBack = tap(kBackX, kBackY);
const std::string kNumDone = tap(kblayout::numKey(kblayout::kNumDoneRow, 0)), kNumDel = num('D');

// Opens the keyboard of `s` in `mode` for text, with saving off.
void openCopy(Screen& s, int mode, const char* initial, wchar_t* result) {
    keyBoardSaveMode(false);
    s.keyboard.keyboardMode(mode);
    s.keyboard.drawText((char*)initial, result);
}

// Opens the keyboard of `s` in `mode` on the setting `name`, stored first as `value`.
void openSetting(Screen& s, int mode, const char* name, const char* value) {
    testkit::run(std::string("nvram_set 2860 ") + name + " " + value);
    s.keyboard.keyboardMode(mode);
    s.keyboard.draw((char*)name);
}

std::string setting(const char* name) { return testkit::run(std::string("nvram_get 2860 ") + name); }

int g_closed;
void onClose() { ++g_closed; }

class Keyboards : public ::testing::Test {
protected:
    void SetUp() override {
        locked = lockScreen = returnNext = 0;
        g_closed = 0;
        keyBoardSaveMode(true);
        setKeyboardValidationFunction(nullptr);
        pen::script("");
    }
};

TEST_F(Keyboards, LettersCapitalsDigitsIntoASettingReadBackFromNvram) {
    Screen s((wchar_t*)L"Name");
    s.keyboard.closeHandler = onClose;
    openSetting(s, 1, "PanelName", "''");
    ASSERT_TRUE(s.keyboard.shown);
    pen::shot("keyboard_letters");
    // The greyed first key of row 1 in the special layout ends the loop.
    const Box greyedKey = kblayout::letterKey(1, 0), secondKey = kblayout::letterKey(1, 1);
    pen::script(kCap + type("h") + kCap + type("ub") + kSpace + type("25") + kToggle + tap(greyedKey));
    pen::run(s);
    EXPECT_EQ(std::wstring(s.keyboard.text), L"Hub 25");
    EXPECT_TRUE(isSplMode);
    EXPECT_TRUE(s.keyboard.shown);
    testkit::LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.at(greyedKey.x0 + 2, greyedKey.y0 + 2), 6339) << "greyed end key of the special layout";
    EXPECT_EQ(v.at(secondKey.x0 + 2, secondKey.y0 + 2), 1405);
    pen::shot("keyboard_special");
    // "w" is "(" in the special layout.
    pen::script(type("w") + kToggle + kDel + kDone);
    pen::run(s);
    EXPECT_FALSE(s.keyboard.shown);
    EXPECT_EQ(g_closed, 1);
    EXPECT_EQ(setting("PanelName"), "Hub 25\n");
    bool committed = false;
    for (auto& l : testkit::logLines("nvram")) committed |= l == "commit 1";
    EXPECT_TRUE(committed);
}

TEST_F(Keyboards, UnchangedTextSavesNothing) {
    Screen s((wchar_t*)L"Name");
    openSetting(s, 1, "PanelName", "Same");
    testkit::clearLog("nvram");
    pen::script(kDone);
    pen::run(s);
    EXPECT_FALSE(s.keyboard.shown);
    for (auto& l : testkit::logLines("nvram")) EXPECT_EQ(l.rfind("set", 0), std::string::npos) << l;
}

TEST_F(Keyboards, IpAddressValidatedThenSaved) {
    Screen s((wchar_t*)L"Gateway");
    openSetting(s, 7, "PanelGateway", "10.0.0.1");
    pen::shot("keyboard_ip");
    // 10.0.0.300 is refused with a modal that waits for a touch.
    pen::script(kNumDel + numType("300") + kNumDone + tap(160, 120) + kNumDel + kNumDone);
    pen::run(s);
    EXPECT_FALSE(s.keyboard.shown);
    EXPECT_EQ(setting("PanelGateway"), "10.0.0.30\n");
}

TEST_F(Keyboards, NumericPadGreysTheDot) {
    Screen s((wchar_t*)L"Number");
    wchar_t result[180];
    openCopy(s, 0, "4", result);
    pen::shot("keyboard_numeric");
    // The greyed "." ends the loop without appending.
    pen::script(numType("2."));
    pen::run(s);
    EXPECT_EQ(std::wstring(s.keyboard.text), L"42");
    EXPECT_TRUE(s.keyboard.shown);
    pen::script(numType("9") + kNumDone);
    pen::run(s);
    EXPECT_EQ(std::wstring(result), L"429");
    EXPECT_TRUE(saveMode) << "a copy switches save mode back on";
}

int g_validations;
Keyboard* g_kb;
bool g_scrolledSeen[2];
bool secondTime(wchar_t*) {
    if (g_kb && g_validations < 2) g_scrolledSeen[g_validations] = g_kb->scrolled;
    if (g_validations == 0) pen::shot("keyboard_scrolled");
    return ++g_validations >= 2;
}

TEST_F(Keyboards, LengthLimitsWithSkippedPrefixAndValidation) {
    Screen s((wchar_t*)L"Limits");
    wchar_t result[180];
    s.keyboard.maxLength = 8;
    s.keyboard.minLength = 3;
    s.keyboard.skipPrefix = 2;
    openCopy(s, 1, "ab", result);
    // 11 characters (9 counted) are refused with the too-long modal; 10 pass.
    pen::script(type("qwertyuio") + kDone + tap(160, 120) + kDel + kDone);
    pen::run(s);
    EXPECT_FALSE(s.keyboard.shown);
    EXPECT_EQ(std::wstring(result), L"abqwertyui");

    keyBoardSaveMode(false);
    s.keyboard.skipPrefix = 0;
    g_validations = 0;
    g_kb = nullptr;
    setKeyboardValidationFunction(secondTime);
    s.keyboard.drawText((char*)"", result);
    // Too short (modal), then refused once by the validation function.
    pen::script(type("ab") + kDone + tap(160, 120) + type("c") + kDone + kDone);
    pen::run(s);
    EXPECT_FALSE(s.keyboard.shown);
    EXPECT_EQ(g_validations, 2);
    EXPECT_EQ(std::wstring(result), L"abc");
}

TEST_F(Keyboards, BackInCopyModeReturnsTheOriginal) {
    Screen s((wchar_t*)L"Back");
    wchar_t result[180];
    openCopy(s, 1, "orig", result);
    pen::script(type("xyz") + kBack);
    pen::run(s);
    EXPECT_FALSE(s.keyboard.shown);
    EXPECT_EQ(std::wstring(result), L"orig");
}

TEST_F(Keyboards, TypingPastTheFieldScrollsAndDeletingUnscrolls) {
    Screen s((wchar_t*)L"Scroll");
    wchar_t result[180];
    g_validations = 0;
    g_kb = &s.keyboard;
    setKeyboardValidationFunction(secondTime);
    openCopy(s, 1, "", result);
    std::string dels;
    for (int i = 0; i < 12; ++i) dels += kDel;
    pen::script(type("mmmmmmmmmmmmmmmmmmmm") + kDone + dels + kDone);
    pen::run(s);
    EXPECT_TRUE(g_scrolledSeen[0]);
    EXPECT_FALSE(g_scrolledSeen[1]);
    EXPECT_EQ(std::wstring(result), L"mmmmmmmm");
    g_kb = nullptr;
}

// The field after typing past its width, as Done finds it: the text from
// the character at the field's width back from its end, the cursor inside
// the field right after it, and nothing after the cursor.
testkit::LcdView g_atDone;
bool keepScreen(wchar_t*) {
    g_atDone = testkit::lcdSnapshot();
    return true;
}

TEST_F(Keyboards, TypingPastTheFieldShowsTheEndAndTheCursor) {
    Screen s((wchar_t*)L"Wide");
    wchar_t result[180];
    setKeyboardValidationFunction(keepScreen);
    openCopy(s, 1, "", result);
    pen::script(kCap + type(std::string(40, 'M')) + kDone);
    pen::run(s);
    ASSERT_EQ(std::wstring(result), std::wstring(40, L'M'));
    const kblayout::TextField& f = kblayout::kLetterField;
    const testkit::LcdView& v = g_atDone;
    int cursor = -1;
    for (int x = f.box.x0; x <= f.box.x1 && cursor < 0; ++x)
        if (v.at(x, f.y + 10) == 1405) cursor = x;
    ASSERT_GE(cursor, f.x) << "no cursor in the field";
    EXPECT_LT(cursor, f.box.x1) << "the cursor's two columns inside the field";
    EXPECT_GT(v.countNot(cursor - 20, f.y, cursor - 1, f.y + 19, 65535), 20) << "the last M before the cursor";
    EXPECT_EQ(v.countNot(cursor + 2, f.box.y0, f.box.x1, f.box.y1, 65535), 0) << "nothing after the cursor";
}

}  // namespace

namespace {

// Texts drawn (request 18) since the LCD log was last cleared.
std::vector<std::string> drawnTexts() {
    std::vector<std::string> out;
    for (auto& r : testkit::lcdRequests())
        if (r.request == 18) out.push_back(r.text);
    return out;
}
bool drawn(const std::string& text) {
    for (auto& t : drawnTexts())
        if (t == text) return true;
    return false;
}
int width20(const std::wstring& t) { return textWidth(t.c_str(), 0x41A00000); }

TEST_F(Keyboards, EveryLayoutModeDrawsItsKeys) {
    struct Case {
        int mode;
        enum { Letters, Special, Numeric, Ip } look;
    } cases[] = {{1, Case::Letters}, {9, Case::Letters}, {-1, Case::Letters}, {3, Case::Special}, {4, Case::Special},
                 {0, Case::Numeric}, {2, Case::Numeric}, {5, Case::Numeric},  {7, Case::Ip}};
    Screen s((wchar_t*)L"Modes");
    wchar_t result[180];
    for (const Case& c : cases) {
        openCopy(s, c.mode, "", result);
        testkit::LcdView v = testkit::lcdSnapshot();
        switch (c.look) {
            case Case::Letters:
                EXPECT_EQ(v.at(5, 87), 784) << c.mode << ": digit row";
                EXPECT_EQ(v.at(5, 118), 1405) << c.mode << ": letter key";
                break;
            case Case::Special:
                EXPECT_EQ(v.at(5, 87), 1405) << c.mode << ": symbol row";
                EXPECT_EQ(v.at(5, 118), 6339) << c.mode << ": greyed end key";
                break;
            case Case::Numeric:
            case Case::Ip:
                EXPECT_EQ(v.at(55, 60), 1405) << c.mode << ": key 1";
                EXPECT_EQ(v.at(210, 170), c.look == Case::Ip ? 1405 : 6339) << c.mode << ": the dot";
                break;
        }
        pen::script(kBack);
        pen::run(s);
        EXPECT_FALSE(s.keyboard.shown) << c.mode;
        EXPECT_EQ(std::wstring(result), L"") << c.mode;
    }
}

// Touches on no key: beside the rows, between the function keys, above the
// rows off the back button. The cursor blinks while the pen is up.
TEST_F(Keyboards, TouchesOffTheKeysDoNothingAndTheCursorBlinks) {
    Screen s((wchar_t*)L"Idle");
    wchar_t result[180];
    openCopy(s, 1, "", result);
    const int spots[][2] = {{2, 100},   {313, 100}, {313, 130}, {296, 160}, {300, 160}, {20, 190},
                            {282, 190}, {66, 223},  {207, 223}, {252, 223}, {3, 30},    {100, 30},
                            {20, 10},   {20, 60},   {318, 223}, {500, 100}, {100, 400}, {100, 0}};
    std::string script;
    for (auto& p : spots) script += tap(p[0], p[1]);
    pen::script(script + key('i'));
    const int cx = 50 + width20(L"i") + 1;
    bool blinked = false;
    std::thread watcher([&] {
        auto cursor = [&] { return testkit::lcdSnapshot().at(cx, 26); };
        blinked = testkit::waitUntil([&] { return cursor() == 1405; }) &&
                  testkit::waitUntil([&] { return cursor() == 65535; }) &&
                  testkit::waitUntil([&] { return cursor() == 1405; });
        pen::append(kDone);
    });
    pen::run(s);
    watcher.join();
    EXPECT_TRUE(blinked);
    EXPECT_FALSE(s.keyboard.shown);
    EXPECT_EQ(std::wstring(result), L"i");
}

int g_specialChecks;
bool specialRedrawn(wchar_t*) {
    if (g_specialChecks++ > 0) return true;
    testkit::LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.at(70, 230), 15837) << "CAP shown pressed after the redraw";
    EXPECT_EQ(v.at(5, 118), 6339) << "still the special layout";
    EXPECT_EQ(v.at(5, 87), 1405) << "symbol row";
    EXPECT_TRUE(drawn("abc")) << "toggle key relabelled";
    return false;
}

TEST_F(Keyboards, SpecialLayoutSymbolsCapitalsAndRedraw) {
    Screen s((wchar_t*)L"Symbols");
    wchar_t result[180];
    s.keyboard.minLength = 2;
    g_specialChecks = 0;
    setKeyboardValidationFunction(specialRedrawn);
    openCopy(s, 1, "", result);
    testkit::clearLog("lcd");
    // "1" is "`" and "w" is "(" in the special layout; CAP there redraws
    // nothing but holds for the letters after the toggle.
    pen::script(kToggle + key('1') + kCap + kDone + tap(160, 120) + key('w') + kDone + kToggle + key('q') + kDone);
    pen::run(s);
    s.keyboard.minLength = 0;
    EXPECT_EQ(g_specialChecks, 2);
    EXPECT_FALSE(s.keyboard.shown);
    EXPECT_EQ(std::wstring(result), L"`(Q");
}

TEST_F(Keyboards, DoneAndBackInEveryModeOfCopyAndSave) {
    struct Case {
        bool save;
        const char* initial;
        std::string pen;
        const wchar_t* want;
    } cases[] = {
        {true, "old", type("x") + kDone, L"oldx"},  // copy mode never saves under the initial text
        {false, "same", kDone, L"same"},           {true, "same", kDone, L""},
        {true, "orig", type("xy") + kBack, L""},   {false, "orig", kDel + kBack, L"orig"},
    };
    Screen s((wchar_t*)L"Copy");
    s.keyboard.keyboardMode(1);
    s.keyboard.closeHandler = onClose;
    for (const Case& c : cases) {
        wchar_t result[180];
        wmemset(result, L'?', 180);
        keyBoardSaveMode(c.save);
        testkit::clearLog("nvram");
        s.keyboard.drawText((char*)c.initial, result);
        pen::script(c.pen);
        pen::run(s);
        EXPECT_FALSE(s.keyboard.shown) << c.initial;
        EXPECT_EQ(std::wstring(result), c.want) << c.initial << " save " << c.save;
        for (auto& l : testkit::logLines("nvram")) EXPECT_EQ(l.rfind("set", 0), std::string::npos) << l;
    }
    EXPECT_EQ(g_closed, 5);
    // No initial text and no target: typed, done, closed.
    keyBoardSaveMode(false);
    s.keyboard.drawText(nullptr, nullptr);
    pen::script(type("z") + kDone);
    pen::run(s);
    EXPECT_FALSE(s.keyboard.shown);
    // A setting edited in place and left with back stays as it was.
    openSetting(s, 1, "PanelBack", "kept");
    pen::script(type("q") + kBack);
    pen::run(s);
    EXPECT_EQ(setting("PanelBack"), "kept\n");
    s.keyboard.draw(nullptr);
    EXPECT_EQ(std::wstring(s.keyboard.text), L"") << "no setting name: nothing read";
    pen::script(kBack);
    pen::run(s);
    // Without a target, or with copy back switched off by the application,
    // nothing is copied.
    keyBoardSaveMode(false);
    s.keyboard.drawText((char*)"same", nullptr);
    pen::script(kDone);
    pen::run(s);
    s.keyboard.drawText((char*)"same", nullptr);
    pen::script(type("q") + kBack);
    pen::run(s);
    wchar_t kept[180];
    keyBoardSaveMode(true);
    s.keyboard.drawText((char*)"old", kept);
    s.keyboard.copyBack = false;
    pen::script(type("q") + kDone);
    pen::run(s);
    EXPECT_EQ(std::wstring(kept), L"");
    EXPECT_FALSE(s.keyboard.shown);
    // A hidden keyboard's loop ends at once.
    testkit::clearLog("lcd");
    s.keyboard.getTouch(100, 100);
    EXPECT_TRUE(testkit::lcdRequests().empty());
}

// A setting edited in place after a copy-mode opening never writes into the
// earlier opening's result; with saving off it changes nothing.
TEST_F(Keyboards, ASettingAfterCopyModeLeavesTheOldResultAlone) {
    Screen s((wchar_t*)L"After");
    wchar_t earlier[180];
    openCopy(s, 1, "copy", earlier);
    pen::script(kBack);
    pen::run(s);
    ASSERT_EQ(std::wstring(earlier), L"copy");
    openSetting(s, 1, "PanelAfter", "before");
    pen::script(type("z") + kDone);
    pen::run(s);
    EXPECT_FALSE(s.keyboard.shown);
    EXPECT_EQ(std::wstring(earlier), L"copy");
    EXPECT_EQ(setting("PanelAfter"), "before\n") << "saving is off";
}

TEST_F(Keyboards, SecondStoreWithOneHiddenCharacterSavesWithoutCommit) {
    testkit::run("nvram_set rtdev PanelRt ab");
    testkit::run("nvram_set 2860 PanelRt main");
    Screen s((wchar_t*)L"Rtdev");
    s.keyboard.keyboardMode(1);
    s.keyboard.skipPrefix = 1;
    s.keyboard.drawRtdev((char*)"PanelRt");
    EXPECT_TRUE(drawn("b")) << "the hidden first character is not shown";
    testkit::clearLog("nvram");
    testkit::clearLog("touch");
    testkit::clearLog("killall");
    testkit::clearLog("lcd");
    // The second delete finds only the hidden character left.
    pen::script(kDel + kDel + type("cd") + kDone);
    pen::run(s);
    s.keyboard.skipPrefix = 0;
    EXPECT_FALSE(s.keyboard.shown);
    EXPECT_TRUE(drawn("Saving..."));
    EXPECT_EQ(testkit::run("nvram_get rtdev PanelRt"), "acd\n") << "the hidden character stays";
    EXPECT_EQ(setting("PanelRt"), "main\n");
    auto log = testkit::logLines("nvram");
    EXPECT_NE(std::find(log.begin(), log.end(), "commit 2"), log.end());
    EXPECT_TRUE(testkit::logLines("killall").empty()) << "the system is not restarted";
    EXPECT_TRUE(testkit::logLines("touch").empty()) << "no progress bar";
}

// The second section's setting is the only one read, and the keyboard is
// drawn once, as for the main section.
TEST_F(Keyboards, SecondStoreReadsItsOwnSectionAndDrawsOnce) {
    testkit::run("nvram_set rtdev PanelOnce same");
    testkit::run("nvram_set 2860 PanelOnce same");
    Screen s((wchar_t*)L"Once");
    s.keyboard.keyboardMode(1);
    testkit::clearLog("lcd");
    s.keyboard.draw((char*)"PanelOnce");
    size_t main = testkit::lcdRequests().size();
    pen::script(kBack);
    pen::run(s);
    testkit::clearLog("nvram");
    testkit::clearLog("lcd");
    s.keyboard.drawRtdev((char*)"PanelOnce");
    EXPECT_EQ(testkit::lcdRequests().size(), main);
    EXPECT_EQ(testkit::logLines("nvram"), std::vector<std::string>{"get 2 PanelOnce"});
    EXPECT_EQ(std::wstring(s.keyboard.text), L"same");
    pen::script(kBack);
    pen::run(s);
}

// Copies build their own state only: the process-wide layout flags and the
// driver's descriptor stay as they are.
TEST_F(Keyboards, CopiesLeaveTheLayoutFlagsAndTheDriverAlone) {
    Screen s((wchar_t*)L"Original");
    s.keyboard.keyboardMode(7);
    isCap = kbCapChanged = true;
    const int held = filed;
    filed = -1;  // a fresh opening of the driver would show here
    Keyboard k(s.keyboard);
    Screen copy(s);
    const int after = filed;
    filed = held;
    EXPECT_EQ(after, -1) << "the driver opened again";
    EXPECT_TRUE(isCap && kbCapChanged && isNumericMode && isIPAddrMode);
    EXPECT_FALSE(isSplMode);
    for (Keyboard* c : {&k, &copy.keyboard}) {
        EXPECT_FALSE(c->shown);
        EXPECT_EQ(c->mode, 1);
        EXPECT_EQ(c->closeHandler, nullptr);
    }
    EXPECT_EQ(copy.widgets, nullptr);
    EXPECT_EQ(wcslen(copy.title), 0u);
    isCap = kbCapChanged = false;
    s.keyboard.keyboardMode(1);
}

TEST_F(Keyboards, AFullTextRefusesMoreCharacters) {
    for (int mode : {1, 0}) {
        Screen s((wchar_t*)L"Full");
        wchar_t result[180];
        std::string full(179, mode == 1 ? 'a' : '1');
        openCopy(s, mode, full.c_str(), result);
        testkit::clearLog("lcd");
        pen::script((mode == 1 ? key('b') : num('2')) + tap(160, 120) + kBack);
        pen::run(s);
        EXPECT_TRUE(drawn("Use at most 179")) << mode;
        EXPECT_TRUE(drawn("The text is too long.")) << mode;
        EXPECT_EQ(std::wstring(result), std::wstring(full.begin(), full.end())) << mode;
        EXPECT_EQ(wcslen(s.keyboard.text), 179u) << mode;
    }
}

// The numeric pad's field is scrolled from the start for a long text, and
// deleting back below its width shows the text whole again.
TEST_F(Keyboards, NumericPadScrollingOffKeysAndTheDot) {
    Screen s((wchar_t*)L"Digits");
    wchar_t result[180];
    std::wstring digits = L"12345678901234567890";
    ASSERT_GE(width20(digits), 200);
    testkit::clearLog("lcd");
    openCopy(s, 0, "12345678901234567890", result);
    testkit::clearLog("lcd");
    std::string script;
    const int spots[][2] = {{30, 100}, {290, 100}, {100, 88}, {100, 236}, {5, 30}, {30, 10}, {30, 50}, {46, 30}};
    for (auto& p : spots) script += tap(p[0], p[1]);
    std::wstring left = digits;
    while (width20(left) >= 200) {
        left.pop_back();
        script += kNumDel;
    }
    pen::script(script + kBack);
    pen::run(s);
    EXPECT_TRUE(drawn(std::string(left.begin(), left.end()))) << "the whole text again";
    EXPECT_EQ(std::wstring(result), digits) << "back returns the original";
    // A hit test the driver refuses shows the long text from its start.
    {
        testkit::Fault fault("halvix_lcd-ioctl-40");
        testkit::clearLog("lcd");
        s.keyboard.drawText((char*)"12345678901234567890", result);
    }
    EXPECT_TRUE(drawn("12345678901234567890"));
    pen::script(kBack);
    pen::run(s);
    // The dot of the IPv4 pad.
    s.keyboard.keyboardMode(7);
    keyBoardSaveMode(false);
    s.keyboard.drawText((char*)"10.0.0", result);
    pen::script(numType(".5") + kNumDone);
    pen::run(s);
    EXPECT_EQ(std::wstring(result), L"10.0.0.5");
}

int g_switches;
Keyboard* g_switched;
// Turns a numeric pad into letters once, as an application may from its check.
bool toLetters(wchar_t*) {
    if (g_switches++ > 0) return true;
    g_switched->keyboardMode(1);
    return false;
}

TEST_F(Keyboards, ATextScrolledOnThePadFitsTheLetterField) {
    Screen s((wchar_t*)L"Switch");
    wchar_t result[180];
    std::wstring digits = L"1";
    while (width20(digits) < 200) digits += L"1";
    ASSERT_LT(width20(digits + L"i"), 244);
    std::string narrow(digits.begin(), digits.end());
    g_switches = 0;
    g_switched = &s.keyboard;
    setKeyboardValidationFunction(toLetters);
    openCopy(s, 0, narrow.c_str(), result);
    pen::script(kNumDone + key('i') + kDone);
    testkit::clearLog("lcd");
    pen::run(s);
    EXPECT_EQ(g_switches, 2);
    EXPECT_EQ(std::wstring(result), digits + L"i");
    EXPECT_TRUE(drawn(narrow + "i")) << "the field shows it whole";
}

TEST_F(Keyboards, ModalsWithoutTheLanguageFileHaveEmptyLines) {
    Memory().saveSetting((char*)"Language", (char*)"xx");
    struct Case {
        int mode;
        int minLength;
        std::string pen;
    } cases[] = {{1, 3, type("a") + kDone + tap(160, 120) + kBack},
                 {7, 0, numType("1.2") + kNumDone + tap(160, 120) + kBack}};
    for (const Case& c : cases) {
        Screen s((wchar_t*)L"Bare");
        wchar_t result[180];
        s.keyboard.minLength = c.minLength;
        openCopy(s, c.mode, "", result);
        testkit::clearLog("lcd");
        std::string out = testkit::captureStdout([&] {
            pen::script(c.pen);
            pen::run(s);
        });
        EXPECT_NE(out.find("/halvix/xx.xml: file cannot be opened"), std::string::npos) << c.mode;
        EXPECT_FALSE(s.keyboard.shown);
        int empty = 0;
        for (auto& t : drawnTexts()) empty += t.empty() || t == " 3";
        EXPECT_GE(empty, 3) << c.mode << ": the modal's three lines";
    }
    // The saving modal too; one hidden character saves without the restart.
    Screen s((wchar_t*)L"Save");
    s.keyboard.skipPrefix = 1;
    keyBoardSaveMode(true);
    openSetting(s, 1, "PanelLang", "ab");
    testkit::clearLog("lcd");
    testkit::captureStdout([&] {
        pen::script(type("c") + kDone);
        pen::run(s);
    });
    s.keyboard.skipPrefix = 0;
    EXPECT_EQ(setting("PanelLang"), "abc\n");
    int empty = 0;
    for (auto& t : drawnTexts()) empty += t.empty();
    EXPECT_GE(empty, 3);
    Memory().saveSetting((char*)"Language", (char*)"en");
}

TEST_F(Keyboards, HelpersCopiesAndClosingWithTheScreen) {
    EXPECT_EQ(textLen((char*)"abc"), 3);
    EXPECT_EQ(textLen((char*)nullptr), 0);
    Keyboard k;
    EXPECT_EQ(testkit::captureStdout([&] {
                  k.leftShift_onTouch();
                  k.rightShift_onTouch();
              }),
              "in left shift\nin right shift\n");
    Keyboard copy(k);
    EXPECT_FALSE(copy.shown);
    EXPECT_EQ(copy.mode, 1);
    {
        Screen s((wchar_t*)L"Gone");
        s.keyboard.closeHandler = onClose;
        openCopy(s, 1, "bye", nullptr);
        EXPECT_GT(testkit::lcdSnapshot().count(3, 85, 313, 237, 1405), 1000);
    }
    EXPECT_EQ(g_closed, 1) << "a keyboard destroyed while shown closes";
    EXPECT_EQ(testkit::lcdSnapshot().countNot(0, 0, 319, 239, 0), 0);
}

}  // namespace
