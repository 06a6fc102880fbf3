// Screens, widgets and modals driven by scripted pen sessions on the virtual
// panel, checked by the LCD's requests and pixels.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

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

    pen::script(tap(50, 65) + tap(160, 65) + tap(250, 65) + tap(20, 145) + tap(170, 145) + tap(60, 185) +
                tap(10, 65) + tap(100, 65) + tap(200, 200) + tap(60, 220) + tap(200, 205) + tap(202, 177));
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
    s.draw();
    pen::script(tap(150, 120) + tap(20, 20));
    pen::run(s);
    EXPECT_EQ(button.record.selected, 0);
    s.widgets = nullptr;
}

TEST_F(Screens, ExitRunsBeforeHomeAndEndsTheProcess) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        Screen s((wchar_t*)L"Exit");
        s.homeShown = true;
        s.homeHandler = [] { testkit::writeFile("/tmp/home-ran", "1"); };
        s.exitHandler = [] { testkit::writeFile("/tmp/exit-ran", "1"); };
        s.draw();
        pen::script(tap(60, 20));
        pen::run(s);
        _exit(3);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(testkit::fileExists("/tmp/exit-ran"));
    EXPECT_FALSE(testkit::fileExists("/tmp/home-ran"));
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

}  // namespace
