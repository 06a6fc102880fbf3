// The screen lock: inactivity tick, PIN pad.
#include "touchui/ScreenLock.h"

#include <string.h>
#include <time.h>

#include "lcddraw/libHalvixGui.h"
#include "touch.h"
#include "touchui/Memory.h"
#include "base/clock.h"

int locked, lockScreen, returnNext, blCnt, ScreenTime, lockPassCnt;
bool passUnset = true;
extern "C" {
char cntEn;
}
char lockPass[5];

namespace {

void (*g_unlock)();
WidgetRecord g_buttons[12];
TouchArea g_areas[12];

struct Key {
    const wchar_t* label;
    int x, y, w, h;
};
const Key kKeys[12] = {
    {L"1", 3, 94, 75, 45},    {L"2", 80, 94, 75, 45},    {L"3", 157, 94, 75, 45},  {L"4", 3, 141, 75, 45},
    {L"5", 80, 141, 75, 45},  {L"6", 157, 141, 75, 45},  {L"7", 3, 188, 75, 45},   {L"8", 80, 188, 75, 45},
    {L"9", 157, 188, 75, 45}, {L"Del", 234, 94, 80, 45}, {L"0", 234, 141, 80, 45}, {L"Done", 234, 188, 80, 45},
};

bool pinMatches() {
    char pin[1024] = {0};
    Memory().getSetting((char*)"PIN", pin);
    // An empty PIN never matches.
    return pin[0] && strcmp(pin, lockPass) == 0;
}

}  // namespace

void slkHandle() {
    if (!cntEn) return;
    // A time-out of 0 or below never locks.
    if (ScreenTime > 0 && blCnt >= ScreenTime * 36 && !locked) {
        turnOff();
        locked = 1;
        char value[1024] = {0};
        Memory().getSetting((char*)"ScreenLock", value);
        if (value[0] == '1') {
            lcd_clear(0);
            draw_screenLock();
            lockScreen = 1;
        }
    } else if (!locked && !lockScreen) {
        ++blCnt;
    }
}

void draw_screenLock() {
    lockPassCnt = 0;
    memset(lockPass, 0, sizeof lockPass);
    for (int i = 0; i < 4; ++i) drawRect(100 + 30 * i, 30, 130 + 30 * i, 65, 65535);
    for (int i = 0; i < 12; ++i) {
        WidgetRecord& r = g_buttons[i];
        memset(&r, 0, sizeof r);
        r.x = kKeys[i].x;
        r.y = kKeys[i].y;
        r.width = kKeys[i].w;
        r.height = kKeys[i].h;
        r.kind = 0;
        r.selected = 0;
        r.fontSize = 16.0f;
        r.textLineMode = 1;
        wcsncpy(r.label, kKeys[i].label, 79);
        drawWidget(r);
        g_areas[i] = getTouchArea(r);
    }
}

void get_screenLock_touch(int x, int y) {
    for (int i = 0; i < 12; ++i) {
        const TouchArea& a = g_areas[i];
        if (!(a.left < x && x < a.right && a.top < y && y < a.bottom)) continue;
        g_buttons[i].selected = 1;
        drawWidget(g_buttons[i]);
        for (;;) {
            int px = readX(), py = readY();
            if (!(a.left < px && px < a.right && a.top < py && py < a.bottom)) break;
            hbase::sleepMs(1);
        }
        g_buttons[i].selected = 0;
        drawWidget(g_buttons[i]);
        const wchar_t* label = kKeys[i].label;
        if (i == 9) {  // Del
            fillRect(71 + 30 * lockPassCnt, 31, 99 + 30 * lockPassCnt, 58, 0);
            if (lockPassCnt > 0) --lockPassCnt;
            lockPass[lockPassCnt] = ' ';
        } else if (i == 11) {  // Done
            lockPass[4] = 0;
            if (pinMatches()) {
                lockScreen = 0;
                lcd_clear(0);
                if (g_unlock) g_unlock();
            }
        } else if (lockPassCnt < 4) {
            drawFontBigWhiteString(label, 110 + 30 * lockPassCnt, 37);
            lockPass[lockPassCnt] = (char)label[0];
            ++lockPassCnt;
        }
        if (i != 11 && lockPassCnt == 4) {
            lockPass[4] = 0;
            if (pinMatches()) {
                lockPass[0] = lockPass[1] = lockPass[2] = 0;
                lockScreen = 0;
                lcd_clear(0);
                if (g_unlock) g_unlock();
            }
        }
        return;
    }
}

void setLockHandler(void (*handler)()) { g_unlock = handler; }
bool isLocked() { return locked != 0; }
bool isLockScreen() { return lockScreen != 0; }
