// liblcddraw: drawing on the 320 x 240 touch screen through the LCD driver,
// the toolkit's widget drawing, fixed text styles and JPEG pictures. A flat
// set of functions with unmangled names; colours are RGB565.
#pragma once
#include <stdint.h>
#include <wchar.h>

#include "lcddraw/LcdRecords.h"

#ifdef __cplusplus
extern "C" {
#endif

// The drawable part of a toolkit widget: 97 consecutive 32-bit words.
typedef struct WidgetRecord {
    int32_t x, y;
    int32_t colour, selectedColour, selected;
    int32_t width, height;
    int32_t reserved[2];
    int32_t textFlagsB, textLineMode, textFlagsA;
    float fontSize;
    float textColour;
    wchar_t label[80];  // not always terminated: read at most 80
    int32_t kind;
    int32_t password;  // not used in drawing
    int32_t state;     // -1 disabled
} WidgetRecord;

// Where a widget takes touches; all 0 when it takes none.
typedef struct TouchArea {
    int32_t left, right, top, bottom;
} TouchArea;

enum {
    WIDGET_BUTTON = 0,
    WIDGET_BUTTON_LEFT = 1,
    WIDGET_BUTTON_RIGHT = 2,
    WIDGET_RADIO = 3,
    WIDGET_CHECKBOX = 4,
    WIDGET_TEXTFIELD = 5,
    WIDGET_TEXTFIELD2 = 6,
    WIDGET_PANEL = 7,
    WIDGET_LABEL = 8,
    WIDGET_COLOR_BUTTON = 9,
};

// Process-wide drawing state.
extern int filed;
extern int cpu_mask;
extern LcdShape shape;
extern LcdText txt;
extern LcdImageRgb imageRgb;
extern LcdImage565 imageEmbedded;
extern LcdScreen screen;
extern wchar_t cText[80];
extern wchar_t trimmedText[80];
extern int showPasswords;

// Set-up: open the driver (creating its node once if missing).
int lcdGpioInit(void);
int libHalvixGuiInit(void);

// Shapes (corners inclusive).
int drawPixel(int x, int y, int colour);
int drawLine(int x0, int y0, int x1, int y1, int colour);
int drawLineXWU(int x0, int y0, int x1, int y1, int colour);
int drawRect(int x0, int y0, int x1, int y1, int colour);
int fillRect(int x0, int y0, int x1, int y1, int colour);
int drawCircle(int x, int y, int radius, int colour);
int fillCircle(int x, int y, int radius, int colour);
int drawRoundedRectangle(int x0, int y0, int x1, int y1, int radius, int colour);
int drawTransparentRectangle(int x0, int y0, int x1, int y1, int alpha, int colour);

// Screen.
int turnOn(void);
int turnOff(void);
int lcd_clear(int colour);
int fade(void);
int drawModal(void);
int clearArea(void);
int loadBuffer(int buffer);
int copyBuffer(int from, int to);
int shiftScreen(int dx);
int centerCurrentBuffer(void);
int drawFromBuffer(int buffer);
int getCurentBuffer(void);
int enableAlphaBlending(void);
int disableAlphaBlending(void);
int setAlphaChannel(int alpha);

// Pictures.
int drawPicture(int x, int y, const char* path);
int drawPicture565(int x, int y, int width, int height, const uint16_t* pixels);

// Text. fontSizeBits is the bit pattern of the float font size.
int drawText(const wchar_t* text, int x, int y, int width, int lineMode, int flagsA, int fontSizeBits, int colour,
             int flagsB);
int drawTextWithBG(const wchar_t* text, int x, int y, int width, int lineMode, int flagsA, int fontSizeBits, int colour,
                   int background, int flagsB);
int drawFontSmallColorString(const wchar_t* text, int x, int y);
int drawFontSmallWhiteString(const wchar_t* text, int x, int y);
int drawFontSmallBlueString(const wchar_t* text, int x, int y);
int drawFontSmallBlackString(const wchar_t* text, int x, int y);
int drawFontBigWhiteString(const wchar_t* text, int x, int y);
int unDrawFontBigWhiteString(const wchar_t* text, int x, int y);
int unDrawFontSmallString(const wchar_t* text, int x, int y);
int drawTitle(const wchar_t* text);
int unDrawTitle(const wchar_t* text);
int textWidth(const wchar_t* text, int fontSizeBits);
int textTouchPosition(const wchar_t* text, int x, int fontSizeBits);
int centerTextX(const wchar_t* text, int left, int right);
int textLen(const wchar_t* text);
void copyString(wchar_t* dst, const wchar_t* src);
wchar_t* trimText(const wchar_t* text, int count);
void setShowPasswords(int show);

// Widgets.
void drawWidget(WidgetRecord w);
void unDrawWidget(WidgetRecord w);
TouchArea getTouchArea(WidgetRecord w);

// Bit patterns of the two font sizes.
#define LCD_FONT_SMALL 0x41800000 /* 16.0f */
#define LCD_FONT_BIG 0x41C00000   /* 24.0f */

#ifdef __cplusplus
}
static_assert(sizeof(WidgetRecord) == 97 * 4, "widget record");
static_assert(offsetof(WidgetRecord, fontSize) == 12 * 4, "widget record");
static_assert(offsetof(WidgetRecord, label) == 14 * 4, "widget record");
static_assert(offsetof(WidgetRecord, kind) == 94 * 4, "widget record");
static_assert(offsetof(WidgetRecord, state) == 96 * 4, "widget record");
static_assert(sizeof(TouchArea) == 16, "touch area");
#endif
