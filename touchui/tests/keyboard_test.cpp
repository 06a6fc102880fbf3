// The on-screen keyboard typed on by scripted pen sessions: settings edited
// in place and read back from nvram, copy mode, limits and validation.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "lcdview.h"
#include "pen.h"
#include "testkit.h"
#include "touchui/Screen.h"

namespace {

std::string tap(int x, int y) { return "tap " + std::to_string(x) + " " + std::to_string(y) + "\n"; }

// Centre of a key of the letter layouts.
std::string key(char c) {
    const char* rows[4] = {"1234567890", "qwertyuiop", "asdfghjkl", "zxcvbnm."};
    const int lefts[4] = {3, 3, 17, 34}, tops[4] = {85, 116, 147, 178};
    for (int r = 0; r < 4; ++r) {
        const char* p = strchr(rows[r], c);
        if (p) return tap(lefts[r] + 31 * (int)(p - rows[r]) + 14, tops[r] + 14);
    }
    ADD_FAILURE() << "no key " << c;
    return "";
}
std::string type(const std::string& s) {
    std::string out;
    for (char c : s) out += key(c);
    return out;
}
const std::string kCap = tap(90, 223), kSpace = tap(160, 223), kDel = tap(230, 223), kDone = tap(285, 223),
                  kToggle = tap(30, 223), kBack = tap(20, 30);

// Numeric pad.
std::string num(char c) {
    const char* rows[4] = {"123", "456", "789", "D0."};
    const int ys[4] = {70, 107, 144, 181};
    for (int r = 0; r < 4; ++r) {
        const char* p = strchr(rows[r], c);
        if (p) return tap(50 + 77 * (int)(p - rows[r]) + 35, ys[r]);
    }
    return "";
}
std::string numType(const std::string& s) {
    std::string out;
    for (char c : s) out += num(c);
    return out;
}
const std::string kNumDone = tap(160, 218), kNumDel = num('D');

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
    testkit::run("nvram_set 2860 PanelName ''");
    Screen s((wchar_t*)L"Name");
    s.keyboard.closeHandler = onClose;
    s.keyboard.keyboardMode(1);
    s.keyboard.draw((char*)"PanelName");
    ASSERT_TRUE(s.keyboard.shown);
    pen::shot("keyboard_letters");
    // The greyed first key of row 1 in the special layout ends the loop.
    pen::script(kCap + type("h") + kCap + type("ub") + kSpace + type("25") + kToggle + tap(3 + 14, 130));
    pen::run(s);
    EXPECT_EQ(std::wstring(s.keyboard.text), L"Hub 25");
    EXPECT_TRUE(isSplMode);
    EXPECT_TRUE(s.keyboard.shown);
    testkit::LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.at(3 + 2, 116 + 2), 6339) << "greyed end key of the special layout";
    EXPECT_EQ(v.at(3 + 31 + 2, 116 + 2), 1405);
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
    testkit::run("nvram_set 2860 PanelName Same");
    Screen s((wchar_t*)L"Name");
    s.keyboard.keyboardMode(1);
    s.keyboard.draw((char*)"PanelName");
    testkit::clearLog("nvram");
    pen::script(kDone);
    pen::run(s);
    EXPECT_FALSE(s.keyboard.shown);
    for (auto& l : testkit::logLines("nvram")) EXPECT_EQ(l.rfind("set", 0), std::string::npos) << l;
}

TEST_F(Keyboards, IpAddressValidatedThenSaved) {
    testkit::run("nvram_set 2860 PanelGateway 10.0.0.1");
    Screen s((wchar_t*)L"Gateway");
    s.keyboard.keyboardMode(7);
    s.keyboard.draw((char*)"PanelGateway");
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
    keyBoardSaveMode(false);
    s.keyboard.keyboardMode(0);
    s.keyboard.drawText((char*)"4", result);
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
    keyBoardSaveMode(false);
    s.keyboard.keyboardMode(1);
    s.keyboard.maxLength = 8;
    s.keyboard.minLength = 3;
    s.keyboard.skipPrefix = 2;
    s.keyboard.drawText((char*)"ab", result);
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
    keyBoardSaveMode(false);
    s.keyboard.keyboardMode(1);
    s.keyboard.drawText((char*)"orig", result);
    pen::script(type("xyz") + kBack);
    pen::run(s);
    EXPECT_FALSE(s.keyboard.shown);
    EXPECT_EQ(std::wstring(result), L"orig");
}

TEST_F(Keyboards, TypingPastTheFieldScrollsAndDeletingUnscrolls) {
    Screen s((wchar_t*)L"Scroll");
    wchar_t result[180];
    keyBoardSaveMode(false);
    s.keyboard.keyboardMode(1);
    g_validations = 0;
    g_kb = &s.keyboard;
    setKeyboardValidationFunction(secondTime);
    s.keyboard.drawText((char*)"", result);
    std::string dels;
    for (int i = 0; i < 12; ++i) dels += kDel;
    pen::script(type("mmmmmmmmmmmmmmmmmmmm") + kDone + dels + kDone);
    pen::run(s);
    EXPECT_TRUE(g_scrolledSeen[0]);
    EXPECT_FALSE(g_scrolledSeen[1]);
    EXPECT_EQ(std::wstring(result), L"mmmmmmmm");
    g_kb = nullptr;
}

}  // namespace
