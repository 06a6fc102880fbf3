// Modal message boxes.
#include "touchui/Modal.h"

#include <time.h>
#include <unistd.h>

#include "touch.h"
#include "touchui/Screen.h"
#include "base/clock.h"

ImagePNG modalImages;
bool modalImagesLoaded;

namespace {

const int kText17 = 0x41880000;  // 17.0f

void copyLine(wchar_t* dst, const wchar_t* src) {
    int n = 0;
    if (src)
        for (; n < 63 && src[n]; ++n) dst[n] = src[n];
    dst[n] = 0;
}

}  // namespace

Modal::Modal() {
    if (!modalImagesLoaded) {
        modalImagesLoaded = true;
        modalImages.loadPNG("/halvix/modal.png");
        modalImages.loadPNG("/halvix/info.png");
        modalImages.loadPNG("/halvix/critical.png");
        modalImages.loadPNG("/halvix/info_transparent.png");
        modalImages.loadPNG("/halvix/critical_transparent.png");
    }
    closeHandler = nullptr;
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 64; ++j) lines[i][j] = 0;
    kind = 0;
}

Modal::~Modal() {}

void Modal::setLine1(wchar_t* t) {
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 16; ++j) lines[i][j] = 0;
    copyLine(lines[0], t);
}
void Modal::setLine2(wchar_t* t) { copyLine(lines[1], t); }
void Modal::setLine3(wchar_t* t) { copyLine(lines[2], t); }
void Modal::setLine4(wchar_t* t) { copyLine(lines[3], t); }
void Modal::setLine5(wchar_t* t) { copyLine(lines[4], t); }

void Modal::draw(int k, int seconds) {
    kind = k;
    if (k == 3 || k == 4) {
        lcd_clear(k == 3 ? 1405 : 64106);
        modalImages.drawPNG(127, 25, 1, 0, k);
        static const int ys[5] = {94, 112, 130, 148, 166};
        for (int i = 0; i < 5; ++i) ::drawText(lines[i], 1, ys[i], 318, 1, 0, kText17, 65535, 1);
    } else {
        drawRoundedRectangle(60, 60, 260, 160, 0, 240);
        modalImages.drawPNG(65, 85, 1, 0, k >= 0 && k <= 2 ? k : 0);
        static const int ys[3] = {80, 100, 120};
        for (int i = 0; i < 3; ++i) ::drawText(lines[i], 130, ys[i], 130, 1, 0, kText17, 65535, 1);
    }
    if (seconds >= 0) {
        sleep((unsigned)seconds);
    } else {
        for (;;) {
            int x = readX(), y = readY();
            if (x > 0 && y > 0 && x <= 320 && y <= 240) break;
            hbase::sleepMs(1);
        }
        for (;;) {
            int x = readX(), y = readY();
            if (!(x >= 1 && y >= 1 && x < 320 && y < 240)) break;
            hbase::sleepMs(1);
        }
    }
    if (closeHandler) closeHandler();
}

void Modal::drawTimed(int k) {
    kind = k;
    if (k == 3 || k == 4) {
        lcd_clear(k == 3 ? 1405 : 64106);
        modalImages.drawPNG(127, 25, 1, 0, k);
        static const int ys[3] = {94, 112, 130};
        for (int i = 0; i < 3; ++i) ::drawText(lines[i], 1, ys[i], 318, 1, 0, kText17, 65535, 1);
    } else {
        modalImages.drawPNG(60, 60, 1, 0, 0);
        modalImages.drawPNG(65, 65, 1, 0, k >= 0 && k <= 2 ? k : 0);
        static const int ys[3] = {65, 85, 105};
        for (int i = 0; i < 3; ++i) ::drawText(lines[i], 130, ys[i], 130, 1, 0, kText17, 65535, 1);
    }
}

void Modal::time(int seconds) {
    disableTouch(1);
    int top = (kind == 3 || kind == 4) ? 150 : 130;
    drawRect(70, top, 250, top + 20, 65535);
    for (int i = 0; i < seconds; ++i) {
        int right = (int16_t)(72 + (int16_t)(178 / seconds) * i);
        if (i == seconds - 1) right = 248;
        fillRect(72, top + 2, right, top + 18, 65535);
        sleep(1);
    }
    disableTouch(0);
}
