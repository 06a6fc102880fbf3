// Records handed to the LCD driver "/dev/halvix_lcd" by ioctl. Their layout
// is the driver's contract on the router (32-bit little-endian MIPS):
// fixed-width words, pointers native. The virtual router's driver stand-in
// uses this same header.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

// Driver request numbers.
enum {
    LCD_TURN_ON = 1,
    LCD_TURN_OFF = 2,
    LCD_CLEAR = 3,
    LCD_DRAW_PIXEL = 5,
    LCD_DRAW_LINE = 6,
    LCD_DRAW_RECT = 7,
    LCD_DRAW_CIRCLE = 8,
    LCD_FILL_RECT = 9,
    LCD_FILL_CIRCLE = 10,
    LCD_DRAW_PICTURE565 = 11,
    LCD_DRAW_PICTURE = 12,
    LCD_FADE = 16,
    LCD_DRAW_TEXT = 18,
    LCD_DRAW_MODAL = 21,
    LCD_LOAD_BUFFER = 25,
    LCD_SHIFT_SCREEN = 26,
    LCD_CENTER_BUFFER = 27,
    LCD_COPY_BUFFER = 28,
    LCD_DRAW_FROM_BUFFER = 29,
    LCD_GET_BUFFER = 30,
    LCD_ROUNDED_RECT = 33,
    LCD_TRANSPARENT_RECT = 34,
    LCD_DRAW_LINE_AA = 35,
    LCD_ALPHA_ON = 36,
    LCD_SET_ALPHA = 37,
    LCD_ALPHA_OFF = 38,
    LCD_TEXT_WIDTH = 39,
    LCD_TEXT_POSITION = 40,
};

enum { LCD_WIDTH = 320, LCD_HEIGHT = 240 };

// Shapes: six words; coordinates and colours cut to 16 bits (zero-extended).
// Requests 33, 34 and 37 use the same six words in argument order.
typedef struct LcdShape {
    uint32_t x0, y0, x1, y1, radius, colour;
} LcdShape;

// Text: 32-bit characters, 0-terminated; the font size is a float.
typedef struct LcdText {
    int32_t x, y;
    int32_t right;  // glyphs are clipped at this x
    int32_t lineMode;
    const wchar_t* text;
    int32_t colour, background;
    int32_t flagsA, flagsB;
    int32_t transparent;  // 1 glyphs only, 0 background filled behind them
    float fontSize;       // 16.0 small, 24.0 big
} LcdText;

// A picture of 3 bytes per pixel (R, G, B), rows top to bottom.
typedef struct LcdImageRgb {
    int32_t x, y, width, height;
    const uint8_t* pixels;
} LcdImageRgb;

// A picture already in RGB565, in the order of drawPicture565's arguments.
typedef struct LcdImage565 {
    int32_t x, y, width, height;
    const uint16_t* pixels;
} LcdImage565;

// Buffer copy: {destination, source}.
typedef struct LcdScreen {
    int32_t to, from;
} LcdScreen;

#ifdef __cplusplus
}
static_assert(sizeof(wchar_t) == 4, "texts are 32-bit characters");
static_assert(sizeof(LcdShape) == 24, "shape record");
static_assert(offsetof(LcdShape, radius) == 16 && offsetof(LcdShape, colour) == 20, "shape record");
static_assert(sizeof(float) == 4, "font size");
static_assert(offsetof(LcdText, text) == 16, "text record");
static_assert(offsetof(LcdText, colour) == 16 + sizeof(void*), "text record");
static_assert(offsetof(LcdText, transparent) == 32 + sizeof(void*), "text record");
static_assert(offsetof(LcdText, fontSize) == 36 + sizeof(void*), "text record");
static_assert(sizeof(LcdText) == (sizeof(void*) == 4 ? 44 : 48), "text record");
static_assert(offsetof(LcdImageRgb, pixels) == 16, "picture record");
static_assert(sizeof(LcdImageRgb) == (sizeof(void*) == 4 ? 20 : 24), "picture record");
static_assert(sizeof(LcdImage565) == sizeof(LcdImageRgb), "picture record");
static_assert(sizeof(LcdScreen) == 8, "buffer copy record");
#endif
