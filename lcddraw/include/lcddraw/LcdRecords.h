/**
 * @file
 * Records handed to the LCD driver "/dev/halvix_lcd" by ioctl. Their layout
 * is the driver's contract on the router (32-bit little-endian MIPS):
 * fixed-width words, pointers native. The virtual router's driver stand-in
 * uses this same header.
 */
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

#ifdef __cplusplus
extern "C" {
#endif

/** Driver request numbers (the ioctl request; the argument in brackets). */
enum {
    LCD_TURN_ON = 1,           /**< panel and backlight on */
    LCD_TURN_OFF = 2,          /**< panel off */
    LCD_CLEAR = 3,             /**< clear (the caller's value) */
    LCD_DRAW_PIXEL = 5,        /**< one pixel (LcdShape x0, y0, colour) */
    LCD_DRAW_LINE = 6,         /**< a line (LcdShape) */
    LCD_DRAW_RECT = 7,         /**< a rectangle's outline (LcdShape) */
    LCD_DRAW_CIRCLE = 8,       /**< a circle's outline (LcdShape x0, y0, radius, colour) */
    LCD_FILL_RECT = 9,         /**< a filled rectangle (LcdShape) */
    LCD_FILL_CIRCLE = 10,      /**< a filled circle (LcdShape) */
    LCD_DRAW_PICTURE565 = 11,  /**< an RGB565 picture (LcdImage565) */
    LCD_DRAW_PICTURE = 12,     /**< an RGB picture (LcdImageRgb) */
    LCD_FADE = 16,             /**< fade the screen (0) */
    LCD_DRAW_TEXT = 18,        /**< text (LcdText) */
    LCD_DRAW_MODAL = 21,       /**< the modal backdrop (0) */
    LCD_LOAD_BUFFER = 25,      /**< load a frame buffer (its number) */
    LCD_SHIFT_SCREEN = 26,     /**< shift the screen (pixels) */
    LCD_CENTER_BUFFER = 27,    /**< centre the current buffer (1) */
    LCD_COPY_BUFFER = 28,      /**< copy a buffer (LcdScreen) */
    LCD_DRAW_FROM_BUFFER = 29, /**< show a buffer (its number) */
    LCD_GET_BUFFER = 30,       /**< read the current buffer (pointer to a result word) */
    LCD_ROUNDED_RECT = 33,     /**< a rounded rectangle (six words in argument order) */
    LCD_TRANSPARENT_RECT = 34, /**< a translucent rectangle (six words in argument order) */
    LCD_DRAW_LINE_AA = 35,     /**< an anti-aliased line (LcdShape) */
    LCD_ALPHA_ON = 36,         /**< alpha blending on (0) */
    LCD_SET_ALPHA = 37,        /**< the alpha value (six words, the fifth the alpha) */
    LCD_ALPHA_OFF = 38,        /**< alpha blending off (0) */
    LCD_TEXT_WIDTH = 39,       /**< measure text (LcdText): the result is the width in pixels */
    LCD_TEXT_POSITION = 40,    /**< hit-test text (LcdText): the character at x x 1000 + x's offset in it */
};

/** The screen's size in pixels (x 0..319, y 0..239). */
enum {
    LCD_WIDTH = 320, /**< pixels across */
    LCD_HEIGHT = 240 /**< pixels down */
};

/** Shapes: six words; coordinates and colours cut to 16 bits (zero-extended).
 * Requests 33, 34 and 37 use the same six words in argument order. */
typedef struct LcdShape {
    ///@{
    /** corners, radius and RGB565 colour */
    uint32_t x0, y0, x1, y1, radius, colour;
    ///@}
} LcdShape;

/** Text: 32-bit characters, 0-terminated; the font size is a float. */
typedef struct LcdText {
    ///@{
    /** top left of the text */
    int32_t x, y;
    ///@}
    int32_t right;       /**< glyphs are clipped at this x */
    int32_t lineMode;    /**< passed to the driver (1 in the fixed styles) */
    const wchar_t* text; /**< the text */
    ///@{
    /** RGB565 text and background colours */
    int32_t colour, background;
    ///@}
    ///@{
    /** passed to the driver as the caller gives them */
    int32_t flagsA, flagsB;
    ///@}
    int32_t transparent; /**< 1 glyphs only, 0 background filled behind them */
    float fontSize;      /**< 16.0 small, 24.0 big */
} LcdText;

/** A picture of 3 bytes per pixel (R, G, B), rows top to bottom. */
typedef struct LcdImageRgb {
    ///@{
    /** placement and size in pixels */
    int32_t x, y, width, height;
    ///@}
    const uint8_t* pixels; /**< width * height * 3 bytes */
} LcdImageRgb;

/** A picture already in RGB565, in the order of drawPicture565()'s
 * arguments. */
typedef struct LcdImage565 {
    ///@{
    /** placement and size in pixels */
    int32_t x, y, width, height;
    ///@}
    const uint16_t* pixels; /**< width * height RGB565 values */
} LcdImage565;

/** Buffer copy: {destination, source}. */
typedef struct LcdScreen {
    ///@{
    /** frame buffer numbers */
    int32_t to, from;
    ///@}
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

#pragma GCC visibility pop
