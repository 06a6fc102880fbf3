// Screen: title bar, widget list, the touch dispatcher; the backlight.
#include "touchui/Screen.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include "press_internal.h"
#include "text_internal.h"
#include "touch.h"
#include "touchui/Memory.h"
#include "base/clock.h"

ImagePNG baseImages;
bool notLoaded = true;
int backImagePng, backImagePressedPng, exitImagePng, exitImagePressedPng;

namespace {

void loadBaseImages() {
    baseImages.loadPNG("/halvix/back_grayed_35.png");
    baseImages.loadPNG("/halvix/home_35.png");
    baseImages.loadPNG("/halvix/home_grayed_35.png");
    baseImages.loadPNG("/halvix/homepressed_35.png");
    baseImages.loadPNG("/halvix/language_35.png");
    baseImages.loadPNG("/halvix/languagepressed_35.png");
    backImagePng = baseImages.loadPNG("/halvix/back_35.png");
    backImagePressedPng = baseImages.loadPNG("/halvix/backimagePressed_35.png");
    exitImagePng = baseImages.loadPNG("/halvix/cross_35.png");
    exitImagePressedPng = baseImages.loadPNG("/halvix/exitimagePressed_35.png");
}

// w is never null: the callers test the list first.
Widget* head(Widget* w) {
    while (w->previous) w = w->previous;
    return w;
}

void backlight(unsigned long request) {
    int fd = open("/dev/halvix_backlight", O_RDONLY);
    if (fd < 0) {
        int rc =
            system("mknod /dev/halvix_backlight c `cat /proc/devices | grep halvix_backlight | awk '{print $1}'` 0");
        (void)rc;
        fd = open("/dev/halvix_backlight", O_RDONLY);
    }
    if (ioctl(fd, request, 1) < 0) perror("ioctl period");
    if (fd >= 0) close(fd);
}

// An untitled screen's own state: back and exit shown, no widgets or
// handlers, cleared on draw.
void initOwn(Screen& s) {
    s.widgets = nullptr;
    s.exitHandler = nullptr;
    s.backShown = s.exitShown = true;
    s.languageShown = s.homeShown = s.homeGreyed = false;
    s.backHandler = s.languageReturnHandler = s.homeHandler = nullptr;
    s.clearOnDraw = true;
    touchtext::copy80(s.title, nullptr);
}

}  // namespace

void backlightEnable() { backlight(10); }
void backlightDisable() { backlight(11); }

Screen::Screen() {
    initOwn(*this);
    libHalvixGuiInit();
}

Screen::Screen(wchar_t* t) : Screen() {
    touchtext::copy80(title, t);
    setScreenLockHandler(slkHandle);
    if (notLoaded) {
        notLoaded = false;
        loadBaseImages();
    }
}

// A fresh keyboard built as a copy, so the layout flags stay; the driver is
// open already (the copied screen opened it).
Screen::Screen(const Screen& other) : keyboard(other.keyboard) { initOwn(*this); }

Screen::~Screen() { undraw(); }

void Screen::setTitle(wchar_t* t) {
    touchtext::copy80(title, t);
    unDrawTitle(L"xxxxxxxxxxxxx");
    drawFontBigWhiteString(title, 90, 10);
}

void Screen::draw() {
    try {
        char* v = nvram_get(0, (char*)"ShowPass");
        setShowPasswords(v && v[0] == '1');
        free(v);
        v = nvram_get(0, (char*)"ScreenTimeout");
        lockScreen = 0;
        ScreenTime = v ? (int)atol(v) : 0;
        free(v);
        passUnset = false;
        blCnt = 0;
        if (clearOnDraw) lcd_clear(0);
        drawFontBigWhiteString(title, 90, 10);
        drawBaseScreen(0);
        if (widgets) {
            widgets = head(widgets);
            for (Widget* w = widgets; w; w = w->next) {
                w->draw();
                widgets = w;
            }
        }
    } catch (int e) {
        printf("Exception at %d", e);
    }
}

void Screen::drawBaseScreen(int) {
    if (backShown)
        baseImages.drawPNG(10, 5, 0, 0, backImagePng);
    else
        baseImages.drawPNG(10, 5, 0, 0, 0);
    if (homeShown) baseImages.drawPNG(50, 5, 0, 0, 1);
    if (homeGreyed) baseImages.drawPNG(50, 5, 0, 0, 2);
    if (languageShown) baseImages.drawPNG(283, 5, 0, 0, 4);
    if (exitShown) baseImages.drawPNG(50, 5, 0, 0, exitImagePng);
}

void Screen::undraw() {
    if (!widgets) return;
    widgets = head(widgets);
    for (Widget* w = widgets; w; w = w->next) {
        w->unDraw();
        widgets = w;
    }
}

void Screen::getTouch(int x, int y) {
    if (locked) {
        turnOn();
        locked = 0;
        blCnt = 0;
        for (;;) {
            int px = readX(), py = readY();
            if (!(px > 0 && py > 0 && px < 320 && py < 240)) break;
            hbase::sleepMs(1);
        }
        returnNext = 2;
        sleep(1);
        return;
    }
    if (returnNext > 0) {
        --returnNext;
        waitForPenUp();
        return;
    }
    if (lockScreen) {
        get_screenLock_touch(x, y);
        return;
    }
    blCnt = 0;
    if (keyboard.shown) {
        keyboard.getTouch(x, y);
        return;
    }
    if (y >= 41) {
        if (!widgets) return;
        widgets = head(widgets);
        for (Widget* w = widgets; w; w = w->next) {
            widgets = w;
            if (w->checkTouch(x, y)) break;
        }
        return;
    }
    bool inBand = y >= 5;  // and below 41: the widgets took the rest
    if (inBand && x >= 10 && x < 46 && backShown) {
        touchpress::showPicturePress(baseImages, 10, 5, backImagePressedPng, backImagePng);
        if (backHandler) backHandler();
    }
    if (inBand && x >= 50 && x < 86 && exitShown) {
        touchpress::showPicturePress(baseImages, 50, 5, exitImagePressedPng, exitImagePng);
        if (exitHandler) exitHandler();
        lcd_clear(0);
        exit(0);
    }
    if (inBand && x >= 283 && x < 319 && languageShown) {
        touchpress::showPicturePress(baseImages, 283, 5, 5, 4);
        int rc = system("./halvix/language");
        (void)rc;
        lcd_clear(0);
        if (languageReturnHandler)
            languageReturnHandler();
        else
            draw();
    }
    if (inBand && x >= 50 && x < 86 && homeShown) {
        touchpress::showPicturePress(baseImages, 50, 5, 3, 1);
        if (homeHandler) homeHandler();
    }
}
