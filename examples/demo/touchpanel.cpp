// The touch panel's front end on the toolkit: a home screen with the
// devices, a settings screen whose keyboard edits the hub's name, and the
// screen lock. The demo drives it with a scripted pen session on the
// virtual panel and saves a screenshot of each step; run live
// (`halvix_demo --front-end`, under router-panel) it waits for the pen
// for as long as it runs.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "hacore/Device.h"
#include "touch.h"
#include "touchui/KeyboardLayout.h"
#include "touchui/Languages.h"
#include "touchui/Memory.h"
#include "touchui/Screen.h"
#include "touchui/TextFormat.h"

int demoTouchPanel();
int demoFrontEnd();

namespace {

Screen* g_current;
Screen* g_home;
Screen* g_settings;
Widget* g_nameField;
wchar_t g_name[180];
std::vector<Widget*> g_deviceButtons;
std::vector<int> g_deviceIds;
std::vector<bool> g_on;

void sleepMs(long ms) {
    struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&ts, nullptr);
}

void show(Screen* s) {
    g_current = s;
    s->draw();
}

// A device button: its name and whether the panel switched it on.
void labelDevice(size_t i) {
    wchar_t text[80];
    Device d(g_deviceIds[i]);
    aswprintf(text, 79, (wchar_t*)L"%s: %ls", d.getDeviceName(), g_on[i] ? L"on" : L"off");
    g_deviceButtons[i]->setSelected(0);
    g_deviceButtons[i]->setText(text);
}

// Widget handlers take no arguments: the touched button is found by its
// selection flash having just ended at the pen's last place.
int g_lastX, g_lastY;
void onDevice() {
    for (size_t i = 0; i < g_deviceButtons.size(); ++i) {
        const TouchArea& a = g_deviceButtons[i]->area;
        if (a.left < g_lastX && g_lastX < a.right && a.top < g_lastY && g_lastY < a.bottom) {
            g_on[i] = !g_on[i];
            Device d(g_deviceIds[i]);
            d.setSwitchOn(g_on[i], 1);
            labelDevice(i);
        }
    }
}

void onSettings() { show(g_settings); }
void onLockNow() {
    // The next tick of the inactivity counter finds the time-out reached.
    blCnt = ScreenTime * 36;
}
void onBackHome() { show(g_home); }

void onKeyboardClosed() {
    // The keyboard cleared the panel: the settings screen comes back with
    // the name it returned.
    char narrow[180] = {0};
    wchar_to_utf8(g_name, wcslen(g_name), narrow, sizeof narrow - 1, 1);
    if (narrow[0]) {
        Memory().saveSetting((char*)"HostName", narrow);
        g_nameField->setText(g_name);
    }
    g_settings->draw();
}

void onEditName() {
    char current[1024] = {0};
    Memory().getSetting((char*)"HostName", current);
    keyBoardSaveMode(false);
    g_settings->keyboard.closeHandler = onKeyboardClosed;
    g_settings->keyboard.keyboardMode(1);
    g_settings->keyboard.maxLength = 20;
    g_settings->keyboard.minLength = 1;
    g_settings->keyboard.drawText(current, g_name);
}

void onUnlocked() { show(g_home); }

// The application's loop, for as long as the pen has script left.
bool played() {
    struct stat st;
    if (stat("/sim/state/pen", &st) != 0 || st.st_size == 0) return true;
    FILE* f = fopen("/sim/state/pen.done", "r");
    long done = -1;
    if (f) {
        if (fscanf(f, "%ld", &done) != 1) done = -1;
        fclose(f);
    }
    return done >= (long)st.st_size;
}

// One touch, if the pen is down: handled as the toolkit dispatches it.
bool g_live;
bool touchOnce() {
    int x = readX(), y = readY();
    if (!(x > 0 && y > 0 && x < 320 && y < 240)) return false;
    g_lastX = x;
    g_lastY = y;
    const char* state = isLockScreen() ? "lock pad" : isLocked() ? "dark screen" : "screen";
    if (g_live) printf("touch at %d, %d on the %s\n", x, y, state);
    g_current->getTouch(x, y);
    return true;
}

void loop() {
    for (int i = 0; i < 600000; ++i) {
        if (touchOnce())
            sleepMs(1);
        else if (played())
            return;
        else
            sleepMs(1);
    }
}

// One step of the session: the pen lines, then a screenshot.
std::string g_dir;
int g_step;
void shot(const char* what);
void step(const char* what, const std::string& pen) {
    FILE* f = fopen("/sim/state/pen", "a");
    if (f) {
        fputs(pen.c_str(), f);
        fclose(f);
    }
    loop();
    shot(what);
}

void shot(const char* what) {
    char path[PATH_MAX];
    snprintf(path, sizeof path, "%s/touch-%02d.png", g_dir.c_str(), ++g_step);
    std::string cmd = std::string("lcd-png '") + path + "'";
    if (system(cmd.c_str()) == 0)
        printf("  %-44s %s\n", what, path);
    else
        printf("  %-44s (screenshot failed)\n", what);
}

bool showTyped(wchar_t*) {
    shot("name typed, Done pressed");
    return true;
}

std::string tap(int x, int y) { return "tap " + std::to_string(x) + " " + std::to_string(y) + "\n"; }
std::string tap(const kblayout::Box& b) { return tap(kblayout::centreX(b), kblayout::centreY(b)); }
std::string functionKey(int f) { return tap(kblayout::kFunctions[f].touch); }
// The keyboard's key that types c.
std::string key(char c) {
    if (c == ' ') return functionKey(kblayout::kSpace);
    kblayout::KeyAt k = kblayout::letterKeyOf(c);
    return k.row < 0 ? "" : tap(kblayout::letterKey(k.row, k.key));
}

}  // namespace

namespace {

// The front end's screens and the widgets of its own (the device buttons
// are in g_deviceButtons).
struct FrontEnd {
    Languages lang;
    Screen home{lang.get((char*)"title", (char*)"home")};
    Screen settings{lang.get((char*)"settings", (char*)"home")};
    Widget* settingsButton = nullptr;
    Widget* lockButton = nullptr;
    Widget* nameLabel = nullptr;
    Widget* nameField = nullptr;
};

// Live, the home screen also has a button that locks the screen at once.
FrontEnd* buildFrontEnd(bool live) {
    FrontEnd* f = new FrontEnd;
    f->home.backShown = false;
    f->home.exitShown = false;
    f->settings.exitShown = false;
    f->settings.backHandler = onBackHome;
    g_home = &f->home;
    g_settings = &f->settings;

    // Home: the first switchable devices and a settings button.
    DeviceList list;
    list.Populate();
    Widget* prev = nullptr;
    int y = 45;
    for (Device& d : list.devices) {
        if (g_deviceButtons.size() == 4) break;
        wchar_t label[80];
        aswprintf(label, 79, (wchar_t*)L"%s", d.getDeviceName());
        Widget* w = new Widget(wType.button, 10, y, 300, 30, 0, label);
        w->touchHandler = onDevice;
        w->previous = prev;
        if (prev) prev->next = w;
        prev = w;
        g_deviceButtons.push_back(w);
        g_deviceIds.push_back(d.getID());
        g_on.push_back(false);
        y += 36;
    }
    f->settingsButton =
        new Widget(wType.buttonRight, 10, 200, live ? 145 : 280, 32, 0, f->lang.get((char*)"settings", (char*)"home"));
    f->settingsButton->touchHandler = onSettings;
    f->settingsButton->previous = prev;
    if (prev) prev->next = f->settingsButton;
    f->home.widgets = f->settingsButton;
    if (live) {
        f->lockButton = new Widget(wType.button, 165, 200, 145, 32, 0, (wchar_t*)L"Lock");
        f->lockButton->touchHandler = onLockNow;
        f->lockButton->previous = f->settingsButton;
        f->settingsButton->next = f->lockButton;
    }

    // Settings: the hub's name in a field that opens the keyboard.
    char hostName[1024] = {0};
    Memory().getSetting((char*)"HostName", hostName);
    wchar_t wide[80] = {0};
    utf8_to_wchar(hostName, strlen(hostName), wide, 79, 1);
    f->nameLabel = new Widget(10, 60, 300, 1, 0, 16.0f, 0, 65535, f->lang.get((char*)"hub_name", (char*)"home"));
    f->nameField = new Widget(wType.textField, 10, 85, 300, 30, 0, wide);
    f->nameField->touchHandler = onEditName;
    g_nameField = f->nameField;
    f->nameLabel->next = f->nameField;
    f->nameField->previous = f->nameLabel;
    f->settings.widgets = f->nameField;

    setLockHandler(onUnlocked);
    return f;
}

void freeFrontEnd(FrontEnd* f) {
    f->home.widgets = nullptr;
    f->settings.widgets = nullptr;
    std::vector<Widget*> all = g_deviceButtons;
    for (Widget* w : {f->settingsButton, f->lockButton, f->nameLabel, f->nameField})
        if (w) all.push_back(w);
    for (Widget* w : all) w->next = w->previous = nullptr;
    for (Widget* w : all) delete w;
    g_deviceButtons.clear();
    delete f;
}

}  // namespace

// Runs until the process is stopped (router-panel's Ctrl-C): every touch is
// handled and reported.
int demoFrontEnd() {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    g_live = true;
    FrontEnd* f = buildFrontEnd(true);
    Memory mem;
    mem.saveSetting((char*)"ScreenLock", (char*)"1");
    char timeout[1024] = {0};
    mem.getSetting((char*)"ScreenTimeout", timeout);
    if (atoi(timeout) <= 0) nvram_set(0, (char*)"ScreenTimeout", (char*)"60");
    show(&f->home);
    cntEn = 1;
    printf("front end: home screen shown; touch it on the panel (Ctrl-C ends)\n");
    for (;;) {
        bool wasLocked = isLockScreen();
        if (!touchOnce()) sleepMs(2);
        if (wasLocked != isLockScreen()) printf("front end: %s\n", isLockScreen() ? "locked" : "unlocked");
    }
}

int demoTouchPanel() {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    printf("\n== Touch panel ==\n");
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    g_dir = "/tmp";
    if (n > 0) {
        exe[n] = 0;
        g_dir = exe;
        g_dir.resize(g_dir.rfind('/'));
    }
    g_dir += "/touch-panel";
    mkdir(g_dir.c_str(), 0755);
    unlink("/sim/state/pen");
    unlink("/sim/state/pen.done");

    FrontEnd* f = buildFrontEnd(false);
    Screen& home = f->home;
    show(&home);
    // The lock after one second idle, with the router's PIN.
    Memory mem;
    mem.saveSetting((char*)"ScreenLock", (char*)"1");
    char pin[1024] = {0};
    mem.getSetting((char*)"PIN", pin);
    nvram_set(0, (char*)"ScreenTimeout", (char*)"1");
    printf("screenshots of each step:\n");
    step("home screen", "");
    step("first device switched on", tap(160, 60));
    step("settings screen", tap(150, 216));
    step("keyboard open on the hub's name", tap(150, 100));
    std::string typing;
    for (int i = 0; i < 10; ++i) typing += functionKey(kblayout::kDel);
    typing += functionKey(kblayout::kCap);
    typing += key('k');
    typing += functionKey(kblayout::kCap);
    for (char c : std::string("itchen hub")) typing += key(c);
    // The keyboard owns the pen until it closes: the typed name is shown by
    // the validation function that Done runs.
    setKeyboardValidationFunction(showTyped);
    step("name saved, settings again", typing + functionKey(kblayout::kDone));
    setKeyboardValidationFunction(nullptr);
    step("back home", tap(25, 20));
    // Idle: the panel goes dark and shows the PIN pad.
    home.draw();
    cntEn = 1;
    for (int i = 0; i < 3000 && !isLockScreen(); ++i) sleepMs(10);
    cntEn = 0;
    step("dark after a second idle, lock pad behind", "");
    step("woken (the waking touch and two more do nothing)", tap(160, 120) + tap(160, 120) + tap(160, 120));
    std::string entry;
    for (int i = 0; pin[i] && i < 4; ++i) {
        int d = pin[i] - '1';
        entry += pin[i] == '0' ? tap(274, 163) : tap(3 + 77 * (d % 3) + 37, 94 + 47 * (d / 3) + 22);
    }
    step("wrong PIN 1111", tap(40, 116) + tap(40, 116) + tap(40, 116) + tap(40, 116));
    step("PIN entered, home again", tap(274, 116) + tap(274, 116) + tap(274, 116) + tap(274, 116) + entry);

    char saved[1024] = {0};
    mem.getSetting((char*)"HostName", saved);
    printf("hub name now \"%s\"; panel %s\n", saved, isLockScreen() ? "still locked" : "unlocked");
    bool ok = strcmp(saved, "Kitchen hub") == 0 && !isLockScreen();
    freeFrontEnd(f);
    return ok ? 0 : 1;
}
