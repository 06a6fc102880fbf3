// The drawing layer of the touch screen: every primitive fills a
// process-wide record and hands it to the LCD driver in one ioctl.
#include "lcddraw/libHalvixGui.h"

#include <fcntl.h>
#include <sched.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "lcddraw/jpeg.h"

extern "C" {
int filed = -1;
int cpu_mask = 1;
LcdShape shape;
LcdText txt;
LcdImageRgb imageRgb;
LcdImage565 imageEmbedded;
LcdScreen screen;
wchar_t cText[80];
wchar_t trimmedText[80];
int showPasswords = 1;
}

namespace {

constexpr int kTextMax = 80;  // characters of cText, terminator included
constexpr int kTitleBar = 36;

// Colours of the widgets.
constexpr int kFill = 1405, kFillSelected = 2879, kFillDisabled = 6339;
constexpr int kTextDisabled = 25388, kTextNormal = 65535, kPanel = 12678, kWhite = 65535;

uint32_t cut16(int v) { return static_cast<uint32_t>(v) & 0xFFFF; }

void pin() {
    cpu_set_t set;
    CPU_ZERO(&set);
    for (int i = 0; i < 32 && i < CPU_SETSIZE; ++i)
        if (cpu_mask & (1 << i)) CPU_SET(i, &set);
    if (sched_setaffinity(0, sizeof set, &set) != 0) perror("sched_setaffinity");
}

int request(unsigned long req, void* arg) { return ioctl(filed, req, arg); }
int requestValue(unsigned long req, long value) { return ioctl(filed, req, reinterpret_cast<void*>(value)); }

int sendShape(unsigned long req, int x0, int y0, int x1, int y1, int colour) {
    pin();
    shape.x0 = cut16(x0);
    shape.y0 = cut16(y0);
    shape.x1 = cut16(x1);
    shape.y1 = cut16(y1);
    shape.colour = cut16(colour);
    return request(req, &shape);
}

int sendCircle(unsigned long req, int x, int y, int radius, int colour) {
    pin();
    shape.x0 = cut16(x);
    shape.y0 = cut16(y);
    shape.radius = cut16(radius);
    shape.colour = cut16(colour);
    return request(req, &shape);
}

// Characters before the terminator, never more than `max`: records hold
// labels that are not always terminated.
int boundedLen(const wchar_t* s, int max) {
    int n = 0;
    while (n < max && s[n]) ++n;
    return n;
}

// Copies a text into cText, cut at 79 characters.
void toCText(const wchar_t* text, int max = 1 << 30) {
    int n = boundedLen(text, max < kTextMax - 1 ? max : kTextMax - 1);
    memcpy(cText, text, n * sizeof(wchar_t));
    cText[n] = 0;
}

float sizeOf(int bits) {
    float f;
    memcpy(&f, &bits, sizeof f);
    return f;
}

int sendText(unsigned long req, const wchar_t* text, int max, int x, int y, int right, int lineMode, int flagsA,
             float size, int colour, int background, int flagsB, int transparent) {
    toCText(text, max);
    txt.x = x;
    txt.y = y;
    txt.right = right;
    txt.lineMode = lineMode;
    txt.text = cText;
    txt.colour = colour;
    txt.background = background;
    txt.flagsA = flagsA;
    txt.flagsB = flagsB;
    txt.transparent = transparent;
    txt.fontSize = size;
    return request(req, &txt);
}

int drawTextChecked(const wchar_t* text, int max, int x, int y, int right, int lineMode, int flagsA, float size,
                    int colour, int background, int flagsB, int transparent) {
    pin();
    int r = sendText(LCD_DRAW_TEXT, text, max, x, y, right, lineMode, flagsA, size, colour, background, flagsB,
                     transparent);
    if (r < 0) printf("ERROR:the ioctl can not display the text ");
    return r;
}

// Where a picture record (either kind) goes and how large it is.
template <typename Picture>
void placePicture(Picture& p, int x, int y, int width, int height) {
    p.x = x;
    p.y = y;
    p.width = width;
    p.height = height;
}

const char kLcdNode[] = "/dev/halvix_lcd";
// The file `filed` was opened on, to know it again.
dev_t openedDev;
ino_t openedIno;

bool sameFile(const struct stat& a, dev_t dev, ino_t ino) { return a.st_dev == dev && a.st_ino == ino; }

// Every screen asks for the driver: an open descriptor is kept, unless it
// was closed (its number may hold another file now) or the node is another
// one by now.
int openDriver() {
    struct stat held, node;
    if (filed >= 0 && fstat(filed, &held) == 0 && sameFile(held, openedDev, openedIno)) {
        if (stat(kLcdNode, &node) == 0 && sameFile(node, openedDev, openedIno)) return filed;
        close(filed);
    }
    filed = open(kLcdNode, O_RDONLY);
    if (filed < 0) {
        int rc = system("mknod /dev/halvix_lcd c `cat /proc/devices | grep halvix_lcd | awk '{print $1}'` 0");
        (void)rc;
        filed = open(kLcdNode, O_RDONLY);
    }
    if (filed >= 0 && fstat(filed, &held) == 0) {
        openedDev = held.st_dev;
        openedIno = held.st_ino;
    }
    return filed;
}

}  // namespace

extern "C" {

int lcdGpioInit(void) { return openDriver(); }
int libHalvixGuiInit(void) { return openDriver(); }

int drawPixel(int x, int y, int colour) {
    pin();
    shape.x0 = cut16(x);
    shape.y0 = cut16(y);
    shape.colour = cut16(colour);
    return request(LCD_DRAW_PIXEL, &shape);
}
int drawLine(int x0, int y0, int x1, int y1, int colour) { return sendShape(LCD_DRAW_LINE, x0, y0, x1, y1, colour); }
int drawLineXWU(int x0, int y0, int x1, int y1, int colour) {
    return sendShape(LCD_DRAW_LINE_AA, x0, y0, x1, y1, colour);
}
int drawRect(int x0, int y0, int x1, int y1, int colour) { return sendShape(LCD_DRAW_RECT, x0, y0, x1, y1, colour); }
int fillRect(int x0, int y0, int x1, int y1, int colour) { return sendShape(LCD_FILL_RECT, x0, y0, x1, y1, colour); }
int drawCircle(int x, int y, int radius, int colour) { return sendCircle(LCD_DRAW_CIRCLE, x, y, radius, colour); }
int fillCircle(int x, int y, int radius, int colour) { return sendCircle(LCD_FILL_CIRCLE, x, y, radius, colour); }
int drawRoundedRectangle(int x0, int y0, int x1, int y1, int radius, int colour) {
    pin();
    int32_t words[6] = {x0, y0, x1, y1, radius, colour};
    return request(LCD_ROUNDED_RECT, words);
}
int drawTransparentRectangle(int x0, int y0, int x1, int y1, int alpha, int colour) {
    pin();
    int32_t words[6] = {x0, y0, x1, y1, alpha, colour};
    return request(LCD_TRANSPARENT_RECT, words);
}

int turnOn(void) { return request(LCD_TURN_ON, nullptr); }
int turnOff(void) { return request(LCD_TURN_OFF, nullptr); }
int lcd_clear(int colour) { return requestValue(LCD_CLEAR, colour); }
int fade(void) {
    pin();
    return requestValue(LCD_FADE, 0);
}
int drawModal(void) {
    pin();
    return requestValue(LCD_DRAW_MODAL, 0);
}
int clearArea(void) { return fillRect(0, kTitleBar, 319, 239, 0); }
int loadBuffer(int buffer) { return requestValue(LCD_LOAD_BUFFER, buffer); }
int copyBuffer(int from, int to) {
    screen.to = to;
    screen.from = from;
    return request(LCD_COPY_BUFFER, &screen);
}
int shiftScreen(int dx) { return requestValue(LCD_SHIFT_SCREEN, dx); }
int centerCurrentBuffer(void) { return requestValue(LCD_CENTER_BUFFER, 1); }
int drawFromBuffer(int buffer) {
    pin();
    return requestValue(LCD_DRAW_FROM_BUFFER, buffer);
}
int getCurentBuffer(void) {
    int32_t current = 0;
    if (request(LCD_GET_BUFFER, &current) < 0) return -1;
    return current;
}
int enableAlphaBlending(void) { return requestValue(LCD_ALPHA_ON, 0); }
int disableAlphaBlending(void) { return requestValue(LCD_ALPHA_OFF, 0); }
int setAlphaChannel(int alpha) {
    int32_t words[6] = {0, 0, 0, 0, alpha, 0};
    return request(LCD_SET_ALPHA, words);
}

int drawPicture(int x, int y, const char* path) {
    pin();
    FILE* f = fopen(path, "rb");
    if (!f) {
        printf("Error opening the file: %s.\n", path);
        return -1;
    }
    unsigned char* data = nullptr;
    size_t size = 0, cap = 0;
    for (;;) {
        if (size == cap) {
            size_t ncap = cap ? cap * 2 : 65536;
            if (ncap > 0x7FFFFFFF) break;
            unsigned char* n = static_cast<unsigned char*>(realloc(data, ncap));
            if (!n) break;
            data = n;
            cap = ncap;
        }
        size_t got = fread(data + size, 1, cap - size, f);
        size += got;
        if (got == 0) break;
    }
    fclose(f);
    njInit();
    int rc = -1;
    if (!data || njDecode(data, static_cast<int>(size)) != NJ_OK) {
        printf("Error decoding the file: %s.\n", path);
    } else {
        placePicture(imageRgb, x, y, njGetWidth(), njGetHeight());
        unsigned char* pixels = njGetImage();
        unsigned char* rgb = nullptr;
        if (!njIsColor()) {
            // The request takes three bytes per pixel.
            size_t n = static_cast<size_t>(imageRgb.width) * imageRgb.height;
            rgb = static_cast<unsigned char*>(malloc(n * 3));
            if (rgb)
                for (size_t i = 0; i < n; ++i) rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = pixels[i];
            pixels = rgb;
        }
        if (pixels) {
            imageRgb.pixels = pixels;
            rc = request(LCD_DRAW_PICTURE, &imageRgb);
        }
        free(rgb);
    }
    njDone();
    free(data);
    return rc;
}

int drawPicture565(int x, int y, int width, int height, const uint16_t* pixels) {
    pin();
    placePicture(imageEmbedded, x, y, width, height);
    imageEmbedded.pixels = pixels;
    return request(LCD_DRAW_PICTURE565, &imageEmbedded);
}

int drawText(const wchar_t* text, int x, int y, int width, int lineMode, int flagsA, int fontSizeBits, int colour,
             int flagsB) {
    return drawTextChecked(text, 1 << 30, x, y, x + width, lineMode, flagsA, sizeOf(fontSizeBits), colour, 0, flagsB,
                           1);
}

int drawTextWithBG(const wchar_t* text, int x, int y, int width, int lineMode, int flagsA, int fontSizeBits, int colour,
                   int background, int flagsB) {
    return drawTextChecked(text, 1 << 30, x, y, x + width, lineMode, flagsA, sizeOf(fontSizeBits), colour, background,
                           flagsB, 0);
}

int drawFontSmallColorString(const wchar_t* text, int x, int y) {
    return drawTextChecked(text, 1 << 30, x, y, 319, 1, 0, 16.0f, 0, 0, 0, 1);
}
int drawFontSmallWhiteString(const wchar_t* text, int x, int y) {
    return drawTextChecked(text, 1 << 30, x, y, 319, 1, 0, 16.0f, 0, 0, 0, 1);
}
int drawFontSmallBlueString(const wchar_t* text, int x, int y) {
    return drawTextChecked(text, 1 << 30, x, y, 319, 1, 0, 16.0f, 65535, 0, 0, 1);
}
int drawFontSmallBlackString(const wchar_t* text, int x, int y) {
    return drawTextChecked(text, 1 << 30, x, y, 319, 1, 0, 16.0f, 65535, 35794, 0, 1);
}
int drawFontBigWhiteString(const wchar_t* text, int x, int y) {
    return drawTextChecked(text, 1 << 30, x, y, 319, 1, 0, 24.0f, 1405, 0, 0, 0);
}

int unDrawFontBigWhiteString(const wchar_t* text, int x, int y) {
    return fillRect(x, y, x + 10 * textLen(text), y + 19, 0);
}
int unDrawFontSmallString(const wchar_t* text, int x, int y) {
    return fillRect(x, y, x + 6 * textLen(text), y + 13, 0);
}
int drawTitle(const wchar_t* text) {
    pin();
    return drawFontBigWhiteString(text, 90, 8);
}
int unDrawTitle(const wchar_t* text) { return fillRect(90, 8, 90 + 11 * textLen(text), 30, 0); }

int textWidth(const wchar_t* text, int fontSizeBits) {
    pin();
    return sendText(LCD_TEXT_WIDTH, text, 1 << 30, 0, 0, 99999, 1, 0, sizeOf(fontSizeBits), 65535, 0, 0, 1);
}

int textTouchPosition(const wchar_t* text, int x, int fontSizeBits) {
    if (x < 0) return -1;
    pin();
    return sendText(LCD_TEXT_POSITION, text, 1 << 30, x, 0, 99999, 1, 0, sizeOf(fontSizeBits), 65535, 0, 0, 1);
}

int centerTextX(const wchar_t* text, int left, int right) { return (right - left) / 2 + left - 5 * textLen(text); }

int textLen(const wchar_t* text) {
    int n = 0;
    while (text[n]) ++n;
    return n;
}

void copyString(wchar_t* dst, const wchar_t* src) {
    while ((*dst++ = *src++)) {
    }
}

wchar_t* trimText(const wchar_t* text, int count) {
    // At most the buffer, never past the text's own terminator, and the cut
    // always inside the buffer.
    if (count > kTextMax) count = kTextMax;
    if (count < 0) count = 0;
    int n = boundedLen(text, count);
    memcpy(trimmedText, text, n * sizeof(wchar_t));
    if (n < kTextMax) trimmedText[n] = 0;
    int cut = count / 6 - 1;
    if (cut < 0) cut = 0;
    if (cut > kTextMax - 1) cut = kTextMax - 1;
    if (cut < n || n == kTextMax) trimmedText[cut] = 0;
    return trimmedText;
}

void setShowPasswords(int show) { showPasswords = show; }

void drawWidget(WidgetRecord w) {
    pin();
    const int x = w.x, y = w.y, h = w.height, width = w.width, half = h / 2;
    const int ty = y + half - 6;
    const bool disabled = w.state == -1;
    const int fill = disabled ? kFillDisabled : (w.selected ? kFillSelected : kFill);
    const int textColour = disabled ? kTextDisabled : kTextNormal;
    switch (w.kind) {
        case WIDGET_BUTTON:
            fillRect(x, y, x + width, y + h, fill);
            drawTextChecked(w.label, 80, x, ty, x + width, 1, 0, 16.0f, textColour, 0, 1, 1);
            break;
        case WIDGET_BUTTON_LEFT:
            fillRect(x, y, x + width, y + h, fill);
            for (int n = half; n >= 0; --n) drawLine(x - n, y + n, x - n, y + h - n, fill);
            drawTextChecked(w.label, 80, x - half, ty, x - half + width + half, 1, 0, 16.0f, textColour, 0, 1, 1);
            break;
        case WIDGET_BUTTON_RIGHT:
            fillRect(x, y, x + width, y + h, fill);
            for (int j = 0; j <= half; ++j) drawLine(x + width + j, y + j, x + width + j, y + h - j, fill);
            drawTextChecked(w.label, 80, x, ty, x + width + half, 1, 0, 16.0f, textColour, 0, 1, 1);
            break;
        case WIDGET_RADIO:
        case WIDGET_CHECKBOX:
            fillRect(x, y, x + 25, y + 25, kWhite);
            if (w.selected) fillRect(x + 6, y + 6, x + 19, y + 19, kFillSelected);
            drawTextChecked(w.label, 80, x + 30, y + 5, 319, 1, 0, 16.0f, 65535, 35794, 0, 1);
            break;
        case WIDGET_TEXTFIELD:
        case WIDGET_TEXTFIELD2: {
            const int tyf = y + (h - 13) / 2;
            if (disabled) {
                fillRect(x, y, x + width, y + h, kFillDisabled);
                drawTextChecked(w.label, 80, x + 2, tyf, x + 2 + width, 1, 0, 16.0f, kTextDisabled, 0, 0, 1);
            } else {
                fillRect(x, y, x + width, y + h, kWhite);
                if (w.selected)
                    drawTextChecked(w.label, 80, x, tyf, x + width, 1, 0, 16.0f, 65535, kFillSelected, 0, 0);
                else
                    drawTextChecked(w.label, 80, x, tyf, x + width, 1, 0, 16.0f, 0, 0, 0, 1);
            }
            break;
        }
        case WIDGET_PANEL:
            fillRect(x, y, x + width, y + h, kPanel);
            break;
        case WIDGET_LABEL:
            drawTextChecked(w.label, 80, x, y, x + width, w.textLineMode, w.textFlagsA, w.fontSize, w.colour, 0,
                            w.textFlagsB, 1);
            break;
        case WIDGET_COLOR_BUTTON: {
            const int bg = disabled ? kFillDisabled : (w.selected ? w.selectedColour : w.colour);
            fillRect(x, y, x + width, y + h, bg);
            const int tyc = static_cast<int>(static_cast<float>(y + half) -
                                             static_cast<float>(static_cast<int>(w.fontSize * 95.0f / 100.0f)) / 2.0f);
            const int tc = disabled ? kTextDisabled : static_cast<int>(w.textColour);
            drawTextChecked(w.label, 80, x, tyc, x + width, 1, 0, w.fontSize, tc, 0, 1, 1);
            break;
        }
        default:
            break;
    }
}

void unDrawWidget(WidgetRecord w) {
    pin();
    const int x = w.x, y = w.y, h = w.height, width = w.width;
    switch (w.kind) {
        case WIDGET_BUTTON:
        case WIDGET_TEXTFIELD:
        case WIDGET_TEXTFIELD2:
        case WIDGET_PANEL:
        case WIDGET_COLOR_BUTTON:
            fillRect(x, y, x + width, y + h, 0);
            break;
        case WIDGET_BUTTON_LEFT:
            fillRect(x - h / 2, y, x + width, y + h, 0);
            break;
        case WIDGET_BUTTON_RIGHT:
            fillRect(x, y, x + width + h / 2, y + h, 0);
            break;
        case WIDGET_RADIO:
        case WIDGET_CHECKBOX:
            fillRect(x, y, x + 7 * boundedLen(w.label, 80) + 39, y + 15, 0);
            break;
        default:
            break;
    }
}

TouchArea getTouchArea(WidgetRecord w) {
    pin();
    TouchArea a = {w.x, w.x + w.width, w.y, w.y + w.height};
    switch (w.kind) {
        case WIDGET_BUTTON:
        case WIDGET_TEXTFIELD:
        case WIDGET_COLOR_BUTTON:
            break;
        case WIDGET_BUTTON_LEFT:
            a.left = w.x - w.height / 2;
            break;
        case WIDGET_BUTTON_RIGHT:
            a.right = w.x + w.width + w.height / 2;
            break;
        case WIDGET_RADIO:
        case WIDGET_CHECKBOX:
            a.right = w.x + 9 * boundedLen(w.label, 80) + 45;
            a.bottom = w.y + 25;
            break;
        default:
            a = TouchArea{0, 0, 0, 0};
            break;
    }
    return a;
}

}  // extern "C"
