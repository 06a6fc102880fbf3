// Screens, widgets and modals driven by scripted pen sessions on the virtual
// panel, checked by the LCD's requests and pixels.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "lcdview.h"
#include "pen.h"
#include "testkit.h"
#include "touch.h"
#include "touchui/Screen.h"

namespace {

int g_button, g_radio, g_check, g_back, g_home, g_closed;
void onButton() { ++g_button; }
void onRadio() { ++g_radio; }
void onCheck() { ++g_check; }
void onBack() { ++g_back; }
void onHome() { ++g_home; }
void onClose() { ++g_closed; }

std::string tap(int x, int y) { return "tap " + std::to_string(x) + " " + std::to_string(y) + "\n"; }

void link(std::initializer_list<Widget*> ws) {
    Widget* prev = nullptr;
    for (Widget* w : ws) {
        w->previous = prev;
        if (prev) prev->next = w;
        prev = w;
    }
}

class Screens : public ::testing::Test {
protected:
    void SetUp() override {
        g_button = g_radio = g_check = g_back = g_home = g_closed = 0;
        locked = lockScreen = returnNext = 0;
        cntEn = 0;
        pen::script("");
        testkit::clearLog("lcd");
    }
};

TEST_F(Screens, EveryWidgetKindTakesItsTouches) {
    Screen s((wchar_t*)L"Widgets");
    Widget button(wType.button, 10, 50, 90, 30, 0, (wchar_t*)L"Switch");
    Widget left(wType.buttonLeft, 130, 50, 70, 30, 0, (wchar_t*)L"Prev");
    Widget right(wType.buttonRight, 220, 50, 70, 30, 0, (wchar_t*)L"Next");
    Widget radioA(wType.radio, 10, 100, 25, 25, 1, (wchar_t*)L"Day");
    Widget radioB(wType.radio, 10, 135, 25, 25, 0, (wchar_t*)L"Night");
    Widget radioOther(wType.radio, 160, 100, 25, 25, 1, (wchar_t*)L"Away");
    radioOther.group = 2;
    Widget check(wType.checkbox, 160, 135, 25, 25, 0, (wchar_t*)L"Chime");
    Widget field(wType.textField, 10, 175, 140, 24, 0, (wchar_t*)L"Hub name");
    Widget panel(wType.panel, 160, 170, 150, 60, 0, (wchar_t*)L"");
    Widget disabled(wType.button, 10, 205, 140, 28, 0, (wchar_t*)L"Disabled");
    disabled.record.state = -1;
    Widget label(170, 200, 140, 1, 0, 16.0f, 0, 65535, (wchar_t*)L"A label");
    std::wstring longText(200, L'x');
    Widget colour(wType.colorButton, 200, 175, 60, 20, 0, 63488, 2016, 16.0f, 0, (wchar_t*)longText.c_str());
    EXPECT_EQ(wcslen(colour.record.label), 79u) << "a longer label is cut";
    button.touchHandler = left.touchHandler = right.touchHandler = field.touchHandler = onButton;
    radioA.touchHandler = radioB.touchHandler = radioOther.touchHandler = onRadio;
    check.touchHandler = onCheck;
    disabled.touchHandler = panel.touchHandler = onButton;
    link({&button, &left, &right, &radioA, &radioB, &radioOther, &check, &field, &panel, &disabled, &label, &colour});
    s.widgets = &colour;
    s.draw();
    testkit::LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.at(20, 55), 1405) << "button";
    EXPECT_EQ(v.at(12 + 6 + 1, 100 + 6 + 1), 2879) << "selected radio";
    EXPECT_EQ(v.at(200, 220), 12678) << "panel";
    EXPECT_EQ(v.at(12, 210), 6339) << "disabled";
    pen::shot("screen_widgets");

    pen::script(tap(50, 65) + tap(160, 65) + tap(250, 65) + tap(20, 145) + tap(170, 145) + tap(60, 185) + tap(10, 65) +
                tap(100, 65) + tap(200, 200) + tap(60, 220) + tap(200, 205) + tap(202, 177));
    pen::run(s);
    EXPECT_EQ(g_button, 4) << "three buttons and the text field; borders, panel, disabled and label ignored";
    EXPECT_EQ(g_radio, 1);
    EXPECT_EQ(g_check, 1);
    EXPECT_EQ(radioA.record.selected, 0);
    EXPECT_EQ(radioB.record.selected, 1);
    EXPECT_EQ(radioOther.record.selected, 1) << "another group";
    EXPECT_EQ(check.record.selected, 1) << "check boxes are not in the radio group";
    EXPECT_EQ(button.record.selected, 0) << "a button flashes";
    v = testkit::lcdSnapshot();
    EXPECT_EQ(v.at(12 + 6 + 1, 135 + 6 + 1), 2879);
    EXPECT_EQ(v.at(12 + 6 + 1, 100 + 6 + 1), 65535);
    EXPECT_EQ(v.at(160 + 10, 135 + 10), 2879);
    pen::shot("screen_widgets_touched");
    s.widgets = nullptr;
}

TEST_F(Screens, TitleBarLineAndButtons) {
    Screen s((wchar_t*)L"Title");
    Widget button(wType.button, 100, 41, 100, 40, 0, (wchar_t*)L"Low");
    button.touchHandler = onButton;
    s.widgets = &button;
    s.backHandler = onBack;
    s.exitShown = false;
    s.homeShown = true;
    s.homeHandler = onHome;
    s.draw();
    testkit::LcdView v = testkit::lcdSnapshot();
    EXPECT_GT(v.countNot(10, 5, 44, 39, 0), 200) << "back picture";
    EXPECT_GT(v.countNot(50, 5, 84, 39, 0), 200) << "home picture";
    EXPECT_GT(v.countNot(90, 10, 200, 35, 0), 20) << "title";
    pen::shot("screen_title");
    // y 42 goes to the widget (strictly inside), y 40 to the title bar, where
    // x 150 is no button.
    pen::script(tap(150, 42) + tap(150, 40) + tap(20, 20) + tap(60, 20) + tap(300, 20));
    pen::run(s);
    EXPECT_EQ(g_button, 1);
    EXPECT_EQ(g_back, 1);
    EXPECT_EQ(g_home, 1);
    s.widgets = nullptr;
}

TEST_F(Screens, UnsetHandlersIgnoreTheTouch) {
    Screen s((wchar_t*)L"Bare");
    Widget button(wType.button, 100, 100, 100, 40, 0, (wchar_t*)L"No handler");
    s.widgets = &button;
    s.exitShown = false;
    s.homeShown = true;
    s.draw();
    pen::script(tap(150, 120) + tap(20, 20) + tap(60, 20));
    pen::run(s);
    EXPECT_EQ(button.record.selected, 0);
    EXPECT_GT(testkit::lcdSnapshot().count(50, 5, 85, 40, 669), 100) << "home drawn back unpressed";
    s.widgets = nullptr;
}

TEST_F(Screens, ExitRunsBeforeHomeAndEndsTheProcess) {
    for (bool handler : {true, false}) {
        testkit::removeFile("/tmp/exit-ran");
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            Screen s((wchar_t*)L"Exit");
            s.homeShown = true;
            s.homeHandler = [] { testkit::writeFile("/tmp/home-ran", "1"); };
            if (handler) s.exitHandler = [] { testkit::writeFile("/tmp/exit-ran", "1"); };
            s.draw();
            pen::script(tap(60, 20));
            pen::run(s);
            _exit(3);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << handler;
        EXPECT_EQ(testkit::fileExists("/tmp/exit-ran"), handler);
        EXPECT_FALSE(testkit::fileExists("/tmp/home-ran"));
        EXPECT_EQ(testkit::lcdSnapshot().countNot(0, 0, 319, 239, 0), 0) << "cleared on the way out";
    }
}

TEST_F(Screens, ModalsOfEveryKind) {
    struct Case {
        int kind;
        int x, y;
        uint16_t colour;
    } cases[] = {{1, 100, 62, 240}, {2, 100, 62, 240}, {0, 100, 62, 240}, {3, 5, 230, 1405}, {4, 5, 230, 64106}};
    for (const Case& c : cases) {
        lcd_clear(0);
        Modal m;
        m.closeHandler = onClose;
        m.setLine1((wchar_t*)L"Line one");
        m.setLine2((wchar_t*)L"Line two");
        m.setLine3((wchar_t*)L"Line three");
        pen::script(tap(160, 120));
        m.draw(c.kind, -1);
        EXPECT_TRUE(pen::done()) << "returns only after the touch ended";
        testkit::LcdView v = testkit::lcdSnapshot();
        EXPECT_EQ(v.at(c.x, c.y), c.colour) << c.kind;
        EXPECT_GT(v.count(130, 78, 259, 140, 65535) + v.count(1, 92, 318, 150, 65535), 30) << c.kind;
        pen::shot("modal_kind" + std::to_string(c.kind));
    }
    EXPECT_EQ(g_closed, 5);
    Modal timed;
    timed.setLine3((wchar_t*)L"old");
    timed.setLine1((wchar_t*)L"Saving");
    EXPECT_EQ(timed.lines[2][0], 0) << "setLine1 starts a new message";
    lcd_clear(0);
    timed.drawTimed(2);
    timed.time(2);
    testkit::LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.at(70, 130), 65535);
    EXPECT_EQ(v.at(248, 140), 65535) << "the bar ends full";
    pen::shot("modal_timed_progress");
    auto t = testkit::logLines("touch");
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t[t.size() - 2], "suspend");
    EXPECT_EQ(t.back(), "resume");
    Modal unset;  // no close handler: ended without one
    unset.draw(1, 0);
}

TEST_F(Screens, ManyScreensShareOneDriverDescriptor) {
    std::vector<std::unique_ptr<Screen>> screens;
    screens.emplace_back(new Screen((wchar_t*)L"Screen 1"));
    int fds = testkit::openDescriptors();
    for (int i = 2; i <= 50; ++i) {
        std::wstring title = L"Screen " + std::to_wstring(i);
        screens.emplace_back(new Screen((wchar_t*)title.c_str()));
    }
    EXPECT_EQ(testkit::openDescriptors(), fds);
    screens.back()->draw();
    testkit::LcdView v = testkit::lcdSnapshot();
    EXPECT_GT(v.countNot(90, 10, 319, 35, 0), 0) << "the last screen's title";
}

TEST_F(Screens, BacklightMakesItsNodeWhenMissing) {
    testkit::removeFile("/dev/halvix_backlight");
    testkit::clearLog("mknod");
    backlightEnable();
    backlightDisable();
    auto m = testkit::logLines("mknod");
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0], "/dev/halvix_backlight c 242 0");
    auto b = testkit::logLines("backlight");
    ASSERT_GE(b.size(), 2u);
    EXPECT_EQ(b[b.size() - 2], "enable");
    EXPECT_EQ(b.back(), "disable");
    testkit::Fault faultHalvixBacklightIoctl("halvix_backlight-ioctl");
    std::string err = testkit::captureStderr([] { backlightEnable(); });
    faultHalvixBacklightIoctl.off();
    EXPECT_NE(err.find("ioctl period"), std::string::npos);
}

const uint16_t kBlue = 669, kGrey = 25356;  // the faces of the title-bar pictures (RGB565)

// Which title-bar pictures are drawn and which buttons take a touch, by the
// screen's flags. Touches above y 5 or between the buttons do nothing.
TEST_F(Screens, TitleBarFlagsChooseItsPicturesAndButtons) {
    struct Case {
        bool back, home, greyed, language;
        int backs, homes;
    } cases[] = {{false, false, true, false, 0, 0}, {true, true, false, false, 1, 1}, {true, false, false, true, 1, 0}};
    for (const Case& c : cases) {
        g_back = g_home = 0;
        Screen s((wchar_t*)L"Flags");
        s.backShown = c.back;
        s.exitShown = false;
        s.homeShown = c.home;
        s.homeGreyed = c.greyed;
        s.languageShown = c.language;
        s.backHandler = onBack;
        s.homeHandler = onHome;
        s.draw();
        testkit::LcdView v = testkit::lcdSnapshot();
        EXPECT_GT(v.count(10, 5, 45, 40, c.back ? kBlue : kGrey), 100) << c.back;
        EXPECT_EQ(v.count(50, 5, 85, 40, kGrey) > 100, c.greyed) << "greyed home";
        EXPECT_EQ(v.count(50, 5, 85, 40, kBlue) > 100, c.home) << "home";
        if (c.language)
            EXPECT_GT(v.count(283, 5, 318, 40, kBlue), 100);
        else
            EXPECT_EQ(v.countNot(283, 5, 318, 40, 0), 0);
        pen::script(tap(20, 2) + tap(60, 3) + tap(5, 20) + tap(47, 20) + tap(86, 20) + tap(200, 20) + tap(319, 20) +
                    tap(20, 20) + tap(60, 20));
        pen::run(s);
        EXPECT_EQ(g_back, c.backs);
        EXPECT_EQ(g_home, c.homes);
    }
}

int g_languageReturns;
void onLanguageReturn() { ++g_languageReturns; }

// The language button runs ./halvix/language from the current directory and
// redraws the screen, or hands over to the application's handler.
TEST_F(Screens, LanguageButtonRunsTheProgram) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir("/"), 0);
    testkit::writeFile("/halvix/language", "#!/bin/sh\necho ran >> /tmp/language-ran\n");
    ASSERT_EQ(chmod("/halvix/language", 0755), 0);
    testkit::removeFile("/tmp/language-ran");
    g_languageReturns = 0;
    Screen s((wchar_t*)L"Language");
    s.exitShown = false;
    s.languageShown = true;
    s.draw();
    pen::script(tap(300, 20));
    pen::run(s);
    EXPECT_EQ(testkit::readFile("/tmp/language-ran"), "ran\n");
    testkit::LcdView v = testkit::lcdSnapshot();
    EXPECT_GT(v.count(283, 5, 318, 40, kBlue), 100) << "drawn again";
    EXPECT_GT(v.countNot(90, 10, 200, 35, 0), 20) << "the title too";
    s.languageReturnHandler = onLanguageReturn;
    pen::script(tap(300, 20));
    pen::run(s);
    EXPECT_EQ(g_languageReturns, 1);
    EXPECT_EQ(testkit::readFile("/tmp/language-ran"), "ran\nran\n");
    EXPECT_EQ(testkit::lcdSnapshot().countNot(0, 0, 319, 239, 0), 0) << "the handler draws, not the screen";
    ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(Screens, TitlesRedrawWithoutClearingAndUndraw) {
    testkit::run("nvram_set rtdev ShowPass 1");
    {
        Widget button(wType.button, 100, 100, 100, 40, 0, (wchar_t*)L"Kept");
        Widget field(wType.textField, 100, 160, 100, 30, 0, (wchar_t*)L"Field");
        link({&button, &field});
        Screen s((wchar_t*)L"Old title");
        s.widgets = &button;
        s.clearOnDraw = false;
        lcd_clear(31);
        s.draw();
        testkit::LcdView v = testkit::lcdSnapshot();
        EXPECT_EQ(v.at(5, 200), 31) << "not cleared";
        EXPECT_EQ(v.at(150, 105), 1405);
        testkit::clearLog("lcd");
        s.setTitle((wchar_t*)L"New");
        bool drawnNew = false;
        for (auto& r : testkit::lcdRequests()) drawnNew |= r.request == 18 && r.text == "New";
        EXPECT_TRUE(drawnNew);
        v = testkit::lcdSnapshot();
        EXPECT_EQ(v.countNot(150, 8, 232, 30, 0), 0) << "the old title's end erased";
        s.undraw();
        v = testkit::lcdSnapshot();
        EXPECT_EQ(v.at(150, 105), 0) << "widgets erased";
        EXPECT_EQ(v.at(150, 175), 0);
        s.draw();
        EXPECT_EQ(testkit::lcdSnapshot().at(150, 105), 1405);
        // The screen goes first (declared last) and erases its widgets.
    }
    testkit::LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.at(150, 105), 0);
    testkit::run("nvram_set rtdev ShowPass 0");
    std::wstring longTitle(100, L't');
    Screen cut((wchar_t*)longTitle.c_str());
    EXPECT_EQ(wcslen(cut.title), 79u);
    Screen copy(cut);
    EXPECT_EQ(wcslen(copy.title), 0u) << "a copy starts blank";
    EXPECT_FALSE(copy.keyboard.shown);
    // No widgets: a touch below the title bar finds nothing.
    cut.draw();
    pen::script(tap(150, 150));
    pen::run(cut);
    EXPECT_TRUE(pen::done());
}

// The touch that wakes the panel is followed while the pen stays on it and
// ends when the pen leaves the panel by any edge.
TEST_F(Screens, WakingTouchEndsAtEveryEdge) {
    Screen s((wchar_t*)L"Wake");
    s.draw();
    const char* moves[] = {"move 150 0 30\n", "move 0 120 30\n", "move 400 120 30\n", "move 150 300 30\n"};
    for (const char* m : moves) {
        turnOff();
        locked = 1;
        returnNext = 0;
        pen::script(std::string("press 150 120 30\n") + m + "release\n");
        pen::run(s);
        EXPECT_FALSE(isLocked()) << m;
        EXPECT_EQ(returnNext, 2) << m;
        EXPECT_EQ(testkit::lcdSnapshot().panel, 1u) << m;
    }
    returnNext = 0;
}

int g_widgetTouches;
void onWidget() { ++g_widgetTouches; }

TEST_F(Screens, WidgetSettersAndUntouchableWidgets) {
    Screen s((wchar_t*)L"Setters");
    Widget blank;
    Widget button(wType.button, 100, 60, 100, 40, 0, (wchar_t*)L"Button");
    Widget copy(button);
    Widget turned(wType.button, 100, 120, 100, 40, 0, (wchar_t*)L"Turned");
    turned.record.kind = wType.panel;  // the application made it a panel
    Widget label(100, 180, 100, 1, 0, 16.0f, 0, 65535, nullptr);
    button.touchHandler = copy.touchHandler = turned.touchHandler = blank.touchHandler = onWidget;
    link({&blank, &button, &copy, &turned, &label});
    s.widgets = &label;
    g_widgetTouches = 0;
    s.draw();
    EXPECT_EQ(button.getType(), wType.button);
    EXPECT_EQ(label.getType(), wType.label);
    EXPECT_EQ(copy.getType(), 0);
    EXPECT_EQ(wcslen(copy.record.label), 0u) << "a copy starts blank";
    EXPECT_EQ(wcslen(label.record.label), 0u);
    pen::script(tap(150, 130) + tap(150, 190) + tap(1, 42));
    pen::run(s);
    EXPECT_EQ(g_widgetTouches, 0);
    pen::script(tap(150, 80));
    pen::run(s);
    EXPECT_EQ(g_widgetTouches, 1) << "the button itself";

    testkit::clearLog("lcd");
    button.setSelected(1);
    button.isPassword(1);
    EXPECT_TRUE(testkit::lcdRequests().empty()) << "set without drawing";
    EXPECT_EQ(button.record.password, 1);
    button.setText((wchar_t*)L"Renamed");
    testkit::LcdView v = testkit::lcdSnapshot();
    EXPECT_EQ(v.at(102, 62), 2879) << "drawn selected";
    bool renamed = false;
    for (auto& r : testkit::lcdRequests()) renamed |= r.request == 18 && r.text == "Renamed";
    EXPECT_TRUE(renamed);

    char target[80];
    strcpy(target, "before");
    button.useKeyboard(true, (char*)"typed");
    EXPECT_STREQ(target, "before") << "no target set";
    button.textTarget = target;
    button.useKeyboard(true, nullptr);
    EXPECT_STREQ(target, "before");
    button.useKeyboard(false, (char*)"typed");
    EXPECT_STREQ(target, "typed");
    std::string longText(100, 'k');
    button.useKeyboard(true, (char*)longText.c_str());
    EXPECT_EQ(std::string(target), std::string(79, 'k'));
    s.widgets = nullptr;
}

// A label given a new text shows exactly what a label drawn with that text
// shows, whatever its alignment and line mode.
TEST_F(Screens, ALabelsNewTextReplacesTheOld) {
    struct Case {
        int width, lineMode, flagsB;
        float size;
    } cases[] = {{200, 1, 0, 16.0f}, {200, 1, 1, 16.0f}, {280, 1, 0, 24.0f}, {60, 0, 0, 16.0f}};
    Screen s((wchar_t*)L"Labels");  // opens the driver
    for (const Case& c : cases) {
        auto label = [&](const wchar_t* text) {
            return Widget(20, 100, c.width, c.lineMode, 0, c.size, c.flagsB, 65535, (wchar_t*)text);
        };
        lcd_clear(0);
        Widget changed = label(L"Not tapped yet");
        changed.draw();
        changed.setText((wchar_t*)L"Button tapped!");
        testkit::LcdView after = testkit::lcdSnapshot();
        lcd_clear(0);
        Widget fresh = label(L"Button tapped!");
        fresh.draw();
        testkit::LcdView want = testkit::lcdSnapshot();
        ASSERT_GT(want.countNot(0, 0, 319, 239, 0), 50) << c.width;
        int differ = 0;
        for (size_t i = 0; i < want.screen.size(); ++i) differ += after.screen[i] != want.screen[i];
        EXPECT_EQ(differ, 0) << "width " << c.width << " line mode " << c.lineMode << " flags B " << c.flagsB;
    }
}

TEST_F(Screens, ModalLinesKindsAndBars) {
    Modal m;
    m.closeHandler = onClose;
    std::wstring longLine(100, L'm');
    m.setLine1((wchar_t*)longLine.c_str());
    EXPECT_EQ(wcslen(m.lines[0]), 63u) << "cut to the line";
    m.setLine2(nullptr);
    EXPECT_EQ(wcslen(m.lines[1]), 0u);
    m.setLine1((wchar_t*)L"One");
    m.setLine2((wchar_t*)L"Two");
    m.setLine3((wchar_t*)L"Three");
    m.setLine4((wchar_t*)L"Four");
    m.setLine5((wchar_t*)L"Five");
    lcd_clear(0);
    m.draw(3, 0);
    testkit::LcdView v = testkit::lcdSnapshot();
    EXPECT_GT(v.count(1, 148, 318, 165, 65535), 10) << "line 4";
    EXPECT_GT(v.count(1, 166, 318, 185, 65535), 10) << "line 5";
    // Kinds outside 0-4 look like kind 0, timed or not.
    for (bool timed : {false, true}) {
        std::vector<uint16_t> pictures[3];
        int i = 0;
        for (int kind : {0, 7, -1}) {
            lcd_clear(0);
            if (timed)
                m.drawTimed(kind);
            else
                m.draw(kind, 0);
            pictures[i++] = testkit::lcdSnapshot().screen;
        }
        EXPECT_GT(std::count_if(pictures[0].begin(), pictures[0].end(), [](uint16_t p) { return p != 0; }), 1000);
        EXPECT_TRUE(pictures[0] == pictures[1]) << timed;
        EXPECT_TRUE(pictures[0] == pictures[2]) << timed;
    }
    EXPECT_EQ(g_closed, 4) << "timed modals run no handler";
    struct Case {
        int kind;
        uint16_t background;
    } full[] = {{3, 1405}, {4, 64106}};
    for (const Case& c : full) {
        m.drawTimed(c.kind);
        v = testkit::lcdSnapshot();
        EXPECT_EQ(v.at(5, 230), c.background) << c.kind;
        EXPECT_GT(v.count(1, 94, 318, 148, 65535), 30) << c.kind;
        EXPECT_EQ(v.count(1, 150, 318, 185, 65535), 0) << c.kind << ": three lines only";
        // The bar sits lower on a full screen; no seconds draw its outline only.
        m.time(0);
        v = testkit::lcdSnapshot();
        EXPECT_EQ(v.at(70, 150), 65535) << c.kind;
        EXPECT_EQ(v.at(100, 160), c.background) << c.kind;
        m.time(1);
        EXPECT_EQ(testkit::lcdSnapshot().at(100, 160), 65535) << c.kind;
    }
}

// A modal waiting for a touch starts on a point on the panel and ends when
// the pen lifts or leaves the panel by any edge.
TEST_F(Screens, ModalWaitsForATouchOnThePanel) {
    const char* scripts[] = {
        "wait 30\ntap 160 120\n",           "press 400 120 20\ntap 160 120\n",  "press 160 300 20\ntap 160 120\n",
        "press 160 0 20\ntap 160 120\n",    "press 160 120 20\nmove 160 0\n",   "press 160 120 20\nmove 0 120\n",
        "press 160 120 20\nmove 320 120\n", "press 160 120 20\nmove 160 240\n",
    };
    for (const char* sc : scripts) {
        Modal m;
        m.closeHandler = onClose;
        m.setLine1((wchar_t*)L"Touch");
        pen::script(sc);
        m.draw(1, -1);
        EXPECT_TRUE(pen::done()) << sc;
    }
    EXPECT_EQ(g_closed, 8);
}

TEST_F(Screens, BacklightWithoutItsDevice) {
    testkit::clearLog("backlight");
    testkit::Fault fault("halvix_backlight-open");
    std::string err = testkit::captureStderr([] { backlightDisable(); });
    EXPECT_NE(err.find("ioctl period"), std::string::npos);
    EXPECT_TRUE(testkit::logLines("backlight").empty());
}

}  // namespace
