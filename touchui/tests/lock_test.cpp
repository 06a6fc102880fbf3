// The screen lock: the inactivity tick switches the panel off and shows the
// PIN pad; a touch wakes the panel, two more are swallowed, and the pad
// takes a wrong and the right PIN.
#include <gtest/gtest.h>

#include <string>

#include "lcdview.h"
#include "pen.h"
#include "testkit.h"
#include "touch.h"
#include "touchui/Screen.h"

namespace {

std::string tap(int x, int y) { return "tap " + std::to_string(x) + " " + std::to_string(y) + "\n"; }

// Centres of the pad's buttons.
std::string pad(char c) {
    if (c == 'D') return tap(274, 116);
    if (c == 'N') return tap(274, 210);
    if (c == '0') return tap(274, 163);
    int d = c - '1';
    return tap(3 + 77 * (d % 3) + 37, 94 + 47 * (d / 3) + 22);
}
std::string pin(const std::string& s) {
    std::string out;
    for (char c : s) out += pad(c);
    return out;
}

int g_unlocked, g_button;
void onUnlock() { ++g_unlocked; }
void onButton() { ++g_button; }
bool lockShown() { return isLockScreen(); }

TEST(ScreenLock, InactivityWakeUpAndPin) {
    testkit::run("nvram_set 2860 ScreenLock 1");
    testkit::run("nvram_set 2860 PIN 2468");
    testkit::run("nvram_set rtdev ScreenTimeout 1");
    pen::script("");
    Screen s((wchar_t*)L"Locked");
    Widget button(wType.button, 100, 100, 100, 40, 0, (wchar_t*)L"Press");
    button.touchHandler = onButton;
    s.widgets = &button;
    setLockHandler(onUnlock);
    s.draw();
    EXPECT_EQ(ScreenTime, 1);
    testkit::clearLog("lcd");
    cntEn = 1;
    ASSERT_TRUE(pen::waitFor(lockShown, 60));
    EXPECT_TRUE(isLocked());
    cntEn = 0;
    testkit::LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.panel, 0u) << "panel switched off";
    EXPECT_EQ(v.at(100, 30), 65535) << "PIN box";
    EXPECT_EQ(v.at(10, 100), 1405) << "pad button";
    bool off = false;
    for (auto& r : testkit::lcdRequests()) off |= r.request == 2;
    EXPECT_TRUE(off);
    // The waking touch and the two after it do nothing but wake.
    pen::script(tap(150, 120) + tap(150, 120) + tap(150, 120));
    pen::run(s);
    EXPECT_FALSE(isLocked());
    EXPECT_EQ(returnNext, 0);
    EXPECT_EQ(g_button, 0);
    EXPECT_EQ(testkit::lcdSnapshot().panel, 1u);
    pen::shot("lock_pad");
    // Five digits keep four; a wrong PIN keeps the pad.
    pen::script(pin("13579"));
    pen::run(s);
    EXPECT_EQ(lockPassCnt, 4);
    EXPECT_EQ(std::string(lockPass), "1357");
    EXPECT_TRUE(isLockScreen());
    EXPECT_EQ(g_unlocked, 0);
    pen::shot("lock_pad_wrong");
    // Delete all (and once more at 0), then Done after two digits compares
    // the short entry.
    pen::script(pin("DDDDD") + pin("24N"));
    pen::run(s);
    EXPECT_EQ(lockPassCnt, 2);
    EXPECT_TRUE(isLockScreen());
    pen::script(pin("68"));
    pen::run(s);
    EXPECT_FALSE(isLockScreen());
    EXPECT_EQ(g_unlocked, 1);
    // Normal dispatch again.
    s.draw();
    pen::script(tap(150, 120));
    pen::run(s);
    EXPECT_EQ(g_button, 1);
    s.widgets = nullptr;
}

TEST(ScreenLock, WithoutTheLockSettingTheScreenIsOnlyDark) {
    testkit::run("nvram_set 2860 ScreenLock 0");
    testkit::run("nvram_set rtdev ScreenTimeout 1");
    Screen s((wchar_t*)L"Dark");
    s.draw();
    locked = lockScreen = 0;
    cntEn = 1;
    ASSERT_TRUE(pen::waitFor(isLocked, 60));
    cntEn = 0;
    EXPECT_FALSE(isLockScreen());
    EXPECT_EQ(testkit::lcdSnapshot().panel, 0u);
    pen::script(tap(150, 120));
    pen::run(s);
    EXPECT_FALSE(isLocked());
    EXPECT_EQ(returnNext, 2);
    returnNext = 0;
}

// Locks at once, as the tick does at the time-out, and wakes the panel with
// the three touches the wake-up takes.
void lockAndWake(Screen& s) {
    ASSERT_TRUE(pen::lockNow(s));
    pen::wakeUp(s);
    ASSERT_FALSE(isLocked());
}

// Touches beside the buttons (the areas are strict) do nothing; a button
// left with the pen still down counts when the pen leaves it.
TEST(ScreenLock, OffTheButtonsAndDraggedOffThem) {
    testkit::run("nvram_set 2860 ScreenLock 1");
    testkit::run("nvram_set 2860 PIN 2468");
    testkit::run("nvram_set rtdev ScreenTimeout 1");
    g_unlocked = 0;
    setLockHandler(onUnlock);
    Screen s((wchar_t*)L"Pad");
    lockAndWake(s);
    const int spots[][2] = {{50, 50}, {50, 236}, {1, 116}, {3, 116}, {79, 116}, {318, 116}, {40, 140}, {40, 94}};
    std::string script;
    for (auto& p : spots) script += tap(p[0], p[1]);
    pen::script(script);
    pen::run(s);
    EXPECT_EQ(lockPassCnt, 0);
    EXPECT_EQ(testkit::lcdSnapshot().countNot(101, 31, 129, 64, 0), 0) << "no digit shown";
    const char* drags[] = {"move 40 60 20\n", "move 1 116 20\n", "move 79 116 20\n", "move 40 400 20\n"};
    for (const char* d : drags) {
        pen::script(std::string("press 40 116 20\n") + d + "release\n");
        pen::run(s);
    }
    EXPECT_EQ(std::string(lockPass), "1111");
    EXPECT_TRUE(isLockScreen());
    EXPECT_GT(testkit::lcdSnapshot().countNot(101, 31, 129, 64, 0), 20) << "digits shown";
    lockScreen = 0;
}

// The entry is compared with the PIN at Done and at the fourth digit; an
// empty PIN never matches, and no unlock handler is needed.
TEST(ScreenLock, PinsOfEveryLength) {
    testkit::run("nvram_set 2860 ScreenLock 1");
    testkit::run("nvram_set rtdev ScreenTimeout 1");
    struct Case {
        const char* pin;
        const char* keys;
        bool handler, unlocks;
    } cases[] = {{"12", "12N", true, true},
                 {"12", "12N", false, true},
                 {"", "1234N", true, false},
                 {"2468", "2468", false, true}};
    for (const Case& c : cases) {
        testkit::run(std::string("nvram_set 2860 PIN '") + c.pin + "'");
        g_unlocked = 0;
        setLockHandler(c.handler ? onUnlock : nullptr);
        Screen s((wchar_t*)L"Pins");
        lockAndWake(s);
        pen::script(pin(c.keys));
        pen::run(s);
        EXPECT_EQ(isLockScreen(), !c.unlocks) << c.pin << " " << c.keys;
        EXPECT_EQ(g_unlocked, c.handler && c.unlocks ? 1 : 0) << c.pin;
        if (c.unlocks) EXPECT_EQ(testkit::lcdSnapshot().countNot(0, 0, 319, 239, 0), 0) << "cleared";
        lockScreen = 0;
    }
    setLockHandler(onUnlock);
}

// A time-out of 0 never locks; once locked, or while the pad shows, the
// ticks count nothing.
TEST(ScreenLock, TicksWithoutATimeOutOrWhileLocked) {
    testkit::run("nvram_set 2860 ScreenLock 1");
    testkit::run("nvram_set 2860 PIN 2468");
    testkit::run("nvram_set rtdev ScreenTimeout 0");
    Screen s((wchar_t*)L"Ticks");
    s.draw();
    EXPECT_EQ(ScreenTime, 0);
    cntEn = 1;
    EXPECT_TRUE(testkit::waitUntil([] { return blCnt > 72; }));
    EXPECT_FALSE(isLocked());
    cntEn = 0;
    testkit::run("nvram_set rtdev ScreenTimeout 1");
    s.draw();
    setScreenLockHandler(nullptr);  // the ticks below are this test's own
    cntEn = 1;
    blCnt = 36;
    slkHandle();
    testkit::clearLog("lcd");
    for (int i = 0; i < 5; ++i) slkHandle();
    cntEn = 0;
    EXPECT_TRUE(testkit::lcdRequests().empty()) << "locked once";
    EXPECT_EQ(blCnt, 36);
    pen::script(tap(150, 60) + tap(150, 60) + tap(150, 60));
    pen::run(s);
    EXPECT_EQ(blCnt, 0);
    cntEn = 1;
    for (int i = 0; i < 5; ++i) slkHandle();
    cntEn = 0;
    EXPECT_EQ(blCnt, 0) << "the pad shows";
    EXPECT_TRUE(isLockScreen());
    lockScreen = 0;
}

}  // namespace
