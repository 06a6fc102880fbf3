#include "pen.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "testkit.h"
#include "touch.h"
#include "touchui/Screen.h"

namespace pen {

namespace {
void sleepMs(long ms) {
    struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&ts, nullptr);
}
}  // namespace

void script(const std::string& lines) {
    // A new file (new inode) restarts the panel's reading.
    testkit::writeFile("/sim/state/pen.new", lines);
    rename("/sim/state/pen.new", "/sim/state/pen");
    testkit::removeFile("/sim/state/pen.done");
}

void append(const std::string& lines) {
    FILE* f = fopen("/sim/state/pen", "a");
    if (!f) return;
    fputs(lines.c_str(), f);
    fclose(f);
}

bool done() {
    struct stat st;
    if (stat("/sim/state/pen", &st) != 0 || st.st_size == 0) return true;
    std::string d = testkit::readFile("/sim/state/pen.done");
    return !d.empty() && atol(d.c_str()) >= (long)st.st_size;
}

void run(Screen& screen) {
    // Bounded: a script that never ends fails the test instead of hanging.
    for (int i = 0; i < 200000; ++i) {
        int x = readX(), y = readY();
        if (getenv("PEN_DEBUG")) fprintf(stderr, "pen %d %d\n", x, y);
        if (x > 0 && y > 0 && x < 320 && y < 240) {
            screen.getTouch(x, y);
            sleepMs(1);
        } else if (done())
            return;
        else
            sleepMs(1);
    }
}

bool lockNow(Screen& screen) {
    screen.draw();
    setScreenLockHandler(nullptr);
    cntEn = 1;
    blCnt = ScreenTime * 36;
    slkHandle();
    cntEn = 0;
    return isLockScreen();
}

void wakeUp(Screen& screen) {
    script("tap 150 60\ntap 150 60\ntap 150 60\n");
    run(screen);
}

bool waitFor(bool (*cond)(), int seconds) {
    for (int i = 0; i < seconds * 100; ++i) {
        if (cond()) return true;
        sleepMs(10);
    }
    return cond();
}

}  // namespace pen

namespace pen {
std::string shot(const std::string& name) {
    std::string dir = TOUCHUI_SHOTS;
    testkit::run("mkdir -p '" + dir + "'");
    std::string path = dir + "/" + name + ".png";
    testkit::run("/sim/bin/lcd-png '" + path + "'");
    return path;
}
}  // namespace pen
