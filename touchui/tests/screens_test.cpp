// What the toolkit draws, pixel for pixel against the pictures in
// references/ (touchui/tests/update-references.sh rewrites them). Every
// picture is taken in a state that holds until the test moves on: blinking
// and progress bars are waited into the state the picture shows.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <functional>
#include <string>
#include <thread>

#include "lcdview.h"
#include "pen.h"
#include "reference.h"
#include "testkit.h"
#include "touch.h"
#include "touchui/KeyboardLayout.h"
#include "touchui/Languages.h"
#include "touchui/Screen.h"

namespace {

// The build tree's top, where the compiler ran: TOUCHUI_SHOTS is
// <build>/screenshots/touchui, __FILE__ absolute or relative to <build>.
std::string buildDir() {
    std::string shots = TOUCHUI_SHOTS;
    return shots.substr(0, shots.rfind("/screenshots/"));
}
std::string sourceDir() {
    std::string f = __FILE__;
    f = f.substr(0, f.rfind('/'));
    if (f[0] != '/') f = buildDir() + "/" + f;
    char* real = realpath(f.c_str(), nullptr);
    if (real) f = real;
    free(real);
    return f;
}

const testkit::ScreenReferences kRefs = {sourceDir() + "/references", std::string(TOUCHUI_SHOTS) + "/screens"};

#define EXPECT_SCREEN(name) EXPECT_TRUE(kRefs.matches(name))
#define EXPECT_SCREEN_OF(name, view) EXPECT_TRUE(kRefs.matches(name, view))

std::string tap(int x, int y) { return "tap " + std::to_string(x) + " " + std::to_string(y) + "\n"; }
std::string tap(const kblayout::Box& b) { return tap(kblayout::centreX(b), kblayout::centreY(b)); }

void link(std::initializer_list<Widget*> ws) {
    Widget* prev = nullptr;
    for (Widget* w : ws) {
        w->previous = prev;
        w->next = nullptr;
        if (prev) prev->next = w;
        prev = w;
    }
}

// Runs `draw` on this thread while another waits for a snapshot that `ready`
// accepts (it may take a later one), then runs `after` there (e.g. the touch
// that ends the drawing).
testkit::LcdView caught(const std::function<void()>& draw, const std::function<bool(testkit::LcdView&)>& ready,
                        const std::function<void()>& after) {
    testkit::LcdView v;
    bool seen = false;
    std::thread watcher([&] {
        seen = testkit::waitUntil([&] {
            v = testkit::lcdSnapshotLocked();
            return v.screen.size() == 320 * 240 && ready(v);
        });
        after();
    });
    draw();
    watcher.join();
    EXPECT_TRUE(seen) << "the state of the picture never came";
    return v;
}

void setLanguage(const char* code) { testkit::run(std::string("nvram_set 2860 Language ") + code); }

class Pictures : public ::testing::Test {
protected:
    void SetUp() override {
        locked = lockScreen = returnNext = 0;
        cntEn = 0;
        isCap = false;
        keyBoardSaveMode(true);
        setKeyboardValidationFunction(nullptr);
        setLanguage("en");
        pen::script("");
        lcd_clear(0);
    }
};

// The application's first screen, its texts from the language file.
void drawHome() {
    Languages lang;
    std::wstring texts[6];
    const char* keys[6] = {"title", "settings", "devices", "hub_name", "lock", "help"};
    for (int i = 0; i < 6; ++i) {
        wchar_t* t = lang.get((char*)keys[i], (char*)"home");
        texts[i] = t ? t : L"";
    }
    Screen s((wchar_t*)texts[0].c_str());
    s.backShown = false;
    s.homeGreyed = true;
    s.languageShown = true;
    Widget settings(wType.button, 10, 50, 145, 36, 0, (wchar_t*)texts[1].c_str());
    Widget devices(wType.buttonRight, 165, 50, 145, 36, 0, (wchar_t*)texts[2].c_str());
    Widget nameLabel(10, 98, 300, 1, 0, 16.0f, 0, 65535, (wchar_t*)texts[3].c_str());
    Widget name(wType.textField, 10, 120, 300, 26, 0, (wchar_t*)L"Halvix hub");
    Widget lock(wType.checkbox, 10, 156, 25, 25, 1, (wchar_t*)texts[4].c_str());
    Widget help(10, 195, 300, 0, 0, 16.0f, 0, 65535, (wchar_t*)texts[5].c_str());
    link({&settings, &devices, &nameLabel, &name, &lock, &help});
    s.widgets = &settings;
    s.draw();
    EXPECT_SCREEN(std::string("home_") + lang.code);
    s.widgets = nullptr;
}

TEST_F(Pictures, HomeScreenInEnglishAndGerman) {
    drawHome();
    setLanguage("de");
    drawHome();
}

TEST_F(Pictures, TitleBarButtons) {
    struct Case {
        const char* name;
        bool back, home, greyed, exit, language;
    } cases[] = {{"title_back", true, false, false, false, false},
                 {"title_home", false, true, false, false, false},
                 {"title_home_greyed", false, false, true, false, false},
                 {"title_exit", false, false, false, true, false},
                 {"title_language", false, false, false, false, true}};
    for (const Case& c : cases) {
        Screen s((wchar_t*)L"Title bar");
        s.backShown = c.back;
        s.homeShown = c.home;
        s.homeGreyed = c.greyed;
        s.exitShown = c.exit;
        s.languageShown = c.language;
        s.draw();
        EXPECT_SCREEN(c.name);
    }
}

TEST_F(Pictures, DisabledWidgetBesideEnabledOnes) {
    Screen s((wchar_t*)L"Widgets");
    Widget enabled(wType.button, 10, 60, 140, 36, 0, (wchar_t*)L"Enabled");
    Widget disabled(wType.button, 170, 60, 140, 36, 0, (wchar_t*)L"Disabled");
    disabled.record.state = -1;
    Widget radio(wType.radio, 10, 120, 25, 25, 1, (wchar_t*)L"Day");
    Widget off(wType.radio, 170, 120, 25, 25, 0, (wchar_t*)L"Night");
    off.record.state = -1;
    Widget panel(wType.panel, 10, 170, 300, 60, 0, (wchar_t*)L"");
    link({&enabled, &disabled, &radio, &off, &panel});
    s.widgets = &enabled;
    s.draw();
    EXPECT_SCREEN("widget_disabled");
    s.widgets = nullptr;
}

void lines(Modal& m, int count) {
    const wchar_t* texts[5] = {L"Line one", L"Line two", L"Line three", L"Line four", L"Line five"};
    m.setLine1((wchar_t*)texts[0]);
    if (count > 1) m.setLine2((wchar_t*)texts[1]);
    if (count > 2) m.setLine3((wchar_t*)texts[2]);
    if (count > 3) m.setLine4((wchar_t*)texts[3]);
    if (count > 4) m.setLine5((wchar_t*)texts[4]);
}

// Each kind as a touch ends it (the box stays when draw() returns) and drawn
// timed (at once, without waiting).
TEST_F(Pictures, ModalsOfEveryKindTouchEndedAndTimed) {
    for (int kind = 0; kind <= 4; ++kind) {
        lcd_clear(0);
        Modal m;
        lines(m, 5);
        m.closeHandler = [] {};
        pen::script(tap(160, 120));
        m.draw(kind, -1);
        EXPECT_SCREEN("modal_touch_kind" + std::to_string(kind));
        lcd_clear(0);
        m.drawTimed(kind);
        EXPECT_SCREEN("modal_timed_kind" + std::to_string(kind));
    }
}

// The bar's outline alone, a third of three seconds (the state holds for a
// second, long enough to be caught) and full; on a full-screen modal too.
TEST_F(Pictures, ProgressBarAtSeveralValues) {
    Modal m;
    lines(m, 3);
    m.drawTimed(2);
    m.time(0);
    EXPECT_SCREEN("progress_empty");
    lcd_clear(0);
    m.drawTimed(2);
    const int y = 140;
    testkit::LcdView third = caught(
        [&] { m.time(3); }, [&](testkit::LcdView& v) { return v.at(100, y) == 65535 && v.at(200, y) != 65535; }, [] {});
    EXPECT_SCREEN_OF("progress_third", third);
    EXPECT_SCREEN("progress_full");
    m.drawTimed(3);
    m.time(1);
    EXPECT_SCREEN("progress_full_screen");
}

// Opens the keyboard of `s` in `mode`: in place on a setting holding
// `text`, or in copy mode on `text`.
void openKeyboard(Screen& s, int mode, bool copy, const char* text, wchar_t* result) {
    s.keyboard.keyboardMode(mode);
    if (copy) {
        keyBoardSaveMode(false);
        s.keyboard.drawText((char*)text, result);
    } else {
        testkit::run(std::string("nvram_set 2860 PanelText '") + text + "'");
        s.keyboard.draw((char*)"PanelText");
    }
}

TEST_F(Pictures, EveryKeyboardLayoutInPlaceAndInCopyMode) {
    struct Case {
        const char* name;
        int mode;
        bool capitals;
        const char* text;
    } cases[] = {{"letters", 1, false, "Hub"},
                 {"capitals", 1, true, "Hub"},
                 {"special", 3, false, "a(b)"},
                 {"numeric", 0, false, "42"},
                 {"ipv4", 7, false, "10.0.0.1"}};
    for (bool copy : {false, true}) {
        for (const Case& c : cases) {
            Screen s((wchar_t*)L"Keyboard");
            wchar_t result[180];
            openKeyboard(s, c.mode, copy, c.text, result);
            ASSERT_TRUE(s.keyboard.shown) << c.name;
            if (c.capitals) s.keyboard.cap_onTouch();
            EXPECT_SCREEN(std::string("keyboard_") + c.name + (copy ? "_copy" : "_in_place"));
            if (c.capitals) s.keyboard.cap_onTouch();
            s.keyboard.unDraw();
            keyBoardSaveMode(true);
        }
    }
}

// The cursor is on when the keyboard opens; idle in the keyboard's loop it
// goes off and on again. Each picture is the snapshot that showed the state.
TEST_F(Pictures, CursorBlinksOffAndOn) {
    Screen s((wchar_t*)L"Cursor");
    wchar_t result[180];
    openKeyboard(s, 1, true, "Blink", result);
    const int cx = s.keyboard.cursorX, cy = s.keyboard.cursorY + 10;
    EXPECT_SCREEN("keyboard_cursor_on");
    testkit::LcdView off, on;
    // A touch beside the rows starts the loop; back ends it.
    pen::script(tap(2, 100));
    on = caught([&] { pen::run(s); },
                [&](testkit::LcdView& v) {
                    if (off.screen.empty() && v.at(cx, cy) == 65535) off = v;
                    return !off.screen.empty() && v.at(cx, cy) == 1405;
                },
                [] { pen::append(tap(20, 30)); });
    EXPECT_FALSE(s.keyboard.shown);
    EXPECT_SCREEN_OF("keyboard_cursor_off", off);
    EXPECT_SCREEN_OF("keyboard_cursor_on", on);
}

// The keyboard's own messages come from the language file.
TEST_F(Pictures, KeyboardMessageInEnglishAndGerman) {
    struct Case {
        const char* code;
        const char* lastLine;
    } cases[] = {{"en", "from 0 to 255."}, {"de", "je 0 bis 255."}};
    for (const Case& c : cases) {
        setLanguage(c.code);
        Screen s((wchar_t*)L"Address");
        wchar_t result[180];
        openKeyboard(s, 7, true, "1.2.3", result);
        testkit::clearLog("lcd");
        pen::script(tap(kblayout::numKey(kblayout::kNumDoneRow, 0)));
        testkit::LcdView v = caught([&] { pen::run(s); },
                                    [&](testkit::LcdView& v) {
                                        // The last line is the modal's last request: drawn
                                        // before this snapshot.
                                        for (auto& r : testkit::lcdRequests())
                                            if (r.request == 18 && r.text == c.lastLine) {
                                                v = testkit::lcdSnapshotLocked();
                                                return true;
                                            }
                                        return false;
                                    },
                                    [] { pen::append(tap(160, 120) + tap(20, 30)); });
        EXPECT_FALSE(s.keyboard.shown);
        EXPECT_SCREEN_OF(std::string("keyboard_message_") + c.code, v);
    }
}

// The PIN pad as the inactivity tick draws it behind the dark panel, then
// woken, with 0 to 4 digits. A wrong PIN shows no message: the pad stays as
// it is.
TEST_F(Pictures, ScreenLockDarkAndThePinPad) {
    testkit::run("nvram_set 2860 ScreenLock 1");
    testkit::run("nvram_set 2860 PIN 2468");
    testkit::run("nvram_set rtdev ScreenTimeout 1");
    Screen s((wchar_t*)L"Locked");
    ASSERT_TRUE(pen::lockNow(s));
    testkit::LcdView dark = testkit::lcdSnapshotLocked();
    EXPECT_EQ(dark.panel, 0u) << "the panel is off";
    EXPECT_SCREEN_OF("lock_dark", dark);
    pen::wakeUp(s);
    ASSERT_FALSE(isLocked());
    EXPECT_EQ(testkit::lcdSnapshot().panel, 1u);
    const char* digits = "1357";
    for (int n = 0; n <= 4; ++n) {
        if (n > 0) {
            int d = digits[n - 1] - '1';
            pen::script(tap(3 + 77 * (d % 3) + 37, 94 + 47 * (d / 3) + 22));
            pen::run(s);
        }
        EXPECT_EQ(lockPassCnt, n);
        EXPECT_SCREEN("lock_pin_" + std::to_string(n));
    }
    EXPECT_TRUE(isLockScreen()) << "a wrong PIN keeps the pad";
    // Done with the wrong PIN changes nothing either.
    pen::script(tap(274, 210));
    pen::run(s);
    EXPECT_TRUE(isLockScreen());
    EXPECT_SCREEN("lock_pin_4");
    lockScreen = 0;
}

// A label whose text changed shows the new text alone.
TEST_F(Pictures, LabelWhoseTextChanged) {
    Screen s((wchar_t*)L"Label");
    Widget button(wType.button, 10, 60, 140, 36, 0, (wchar_t*)L"Tap me");
    Widget label(10, 120, 300, 1, 0, 16.0f, 0, 65535, (wchar_t*)L"Not tapped yet");
    link({&button, &label});
    s.widgets = &button;
    s.draw();
    label.setText((wchar_t*)L"Button tapped!");
    EXPECT_SCREEN("label_changed");
    s.widgets = nullptr;
}

testkit::LcdView g_atDone;
bool snapshotAtDone(wchar_t*) {
    g_atDone = testkit::lcdSnapshotLocked();
    return true;
}

// Typed past the field's width: the end of the text and the cursor show
// inside the field.
TEST_F(Pictures, KeyboardFieldScrolledWithTheCursorAtItsEnd) {
    Screen s((wchar_t*)L"Keyboard");
    wchar_t result[180];
    setKeyboardValidationFunction(snapshotAtDone);
    openKeyboard(s, 1, true, "", result);
    const kblayout::KeyAt m = kblayout::letterKeyOf('M');
    std::string taps = tap(kblayout::kFunctions[kblayout::kCap].touch);
    for (int i = 0; i < 40; ++i) taps += tap(kblayout::letterKey(m.row, m.key));
    pen::script(taps + tap(kblayout::kFunctions[kblayout::kDone].touch));
    pen::run(s);
    ASSERT_EQ(std::wstring(result), std::wstring(40, L'M'));
    EXPECT_SCREEN_OF("keyboard_scrolled", g_atDone);
}

}  // namespace
