/**
 * @file
 * liblcddraw: drawing on the 320 x 240 touch screen through the LCD driver,
 * the toolkit's widget drawing, fixed text styles and JPEG pictures. A flat
 * set of functions with unmangled names; colours are RGB565.
 *
 * Each drawing call fills one of the process-wide records and makes one
 * ioctl on the driver; unless said otherwise it returns the ioctl's result
 * (negative on failure). The records are not locked: draw from one thread
 * (the toolkit's UI thread). Drawing calls first pin the process to
 * processor 0 (::cpu_mask). Texts are 32-bit wide strings, at most 79
 * characters (longer ones are cut), and must not be null.
 */
#pragma once
#include <stdint.h>
#include <wchar.h>

#include "lcddraw/LcdRecords.h"

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

#ifdef __cplusplus
extern "C" {
#endif

/** The drawable record of a toolkit widget: 97 consecutive 32-bit words,
 * passed by value to the widget functions. */
typedef struct WidgetRecord {
    ///@{
    /** top left corner */
    int32_t x, y;
    ///@}
    ///@{
    /** fill colour, fill colour when selected (coloured button), and 1 when
     * selected */
    int32_t colour, selectedColour, selected;
    ///@}
    ///@{
    /** size in pixels */
    int32_t width, height;
    ///@}
    int32_t reserved[2]; /**< not used */
    ///@{
    /** text flags B, line mode and flags A (labels) */
    int32_t textFlagsB, textLineMode, textFlagsA;
    ///@}
    float fontSize;    /**< 16.0 or 24.0 (labels, coloured buttons) */
    float textColour;  /**< RGB565 text colour held as a float (coloured buttons) */
    wchar_t label[80]; /**< not always terminated: read at most 80 */
    int32_t kind;      /**< WIDGET_BUTTON ... WIDGET_COLOR_BUTTON */
    int32_t password;  /**< not used in drawing */
    int32_t state;     /**< -1 disabled */
} WidgetRecord;

/** Where a widget takes touches; all 0 when it takes none. */
typedef struct TouchArea {
    ///@{
    /** edges in pixels */
    int32_t left, right, top, bottom;
    ///@}
} TouchArea;

/** Widget kinds (WidgetRecord::kind); other kinds draw nothing. */
enum {
    WIDGET_BUTTON = 0,       /**< filled button with a centred label */
    WIDGET_BUTTON_LEFT = 1,  /**< button with a left-pointing arrow */
    WIDGET_BUTTON_RIGHT = 2, /**< button with a right-pointing arrow */
    WIDGET_RADIO = 3,        /**< radio button: square with the label beside it */
    WIDGET_CHECKBOX = 4,     /**< check box, drawn as the radio button */
    WIDGET_TEXTFIELD = 5,    /**< text field */
    WIDGET_TEXTFIELD2 = 6,   /**< text field drawn alike, not touchable */
    WIDGET_PANEL = 7,        /**< grey panel, no text, not touchable */
    WIDGET_LABEL = 8,        /**< text only, not touchable */
    WIDGET_COLOR_BUTTON = 9, /**< button with the record's own colours and font */
};

/** @name Process-wide drawing state */
///@{
extern int filed;                 /**< the driver's descriptor (-1 before set-up) */
extern int cpu_mask;              /**< processors drawing calls pin to (1: processor 0) */
extern LcdShape shape;            /**< record of the shape requests */
extern LcdText txt;               /**< record of the text requests */
extern LcdImageRgb imageRgb;      /**< record of drawPicture() */
extern LcdImage565 imageEmbedded; /**< record of drawPicture565() */
extern LcdScreen screen;          /**< record of copyBuffer() */
extern wchar_t cText[80];         /**< every text request's copy of its text (79 characters) */
extern wchar_t trimmedText[80];   /**< result buffer of trimText() */
extern int showPasswords;         /**< set by setShowPasswords(); drawing does not read it */
///@}

/** Opens the driver (creating its node once if missing) and returns the
 * descriptor, -1 on failure. An open descriptor is kept. */
int lcdGpioInit(void);
/** The same as lcdGpioInit(); what the toolkit calls at start-up. */
int libHalvixGuiInit(void);

/** @name Shapes (corners inclusive) */
///@{
int drawPixel(int x, int y, int colour);                     /**< one pixel */
int drawLine(int x0, int y0, int x1, int y1, int colour);    /**< a line */
int drawLineXWU(int x0, int y0, int x1, int y1, int colour); /**< an anti-aliased line */
int drawRect(int x0, int y0, int x1, int y1, int colour);    /**< a rectangle's outline */
int fillRect(int x0, int y0, int x1, int y1, int colour);    /**< a filled rectangle */
int drawCircle(int x, int y, int radius, int colour);        /**< a circle's outline */
int fillCircle(int x, int y, int radius, int colour);        /**< a filled circle */
/** A rounded rectangle. */
int drawRoundedRectangle(int x0, int y0, int x1, int y1, int radius, int colour);
/** A rectangle blended over the screen with `alpha`. */
int drawTransparentRectangle(int x0, int y0, int x1, int y1, int alpha, int colour);
///@}

/** @name Screen */
///@{
int turnOn(void);                 /**< panel and backlight on */
int turnOff(void);                /**< panel off */
int lcd_clear(int colour);        /**< clears the screen (request 3 with the value) */
int fade(void);                   /**< fades the screen */
int drawModal(void);              /**< the driver's modal backdrop */
int clearArea(void);              /**< blackens everything below the 36-pixel title bar */
int loadBuffer(int buffer);       /**< loads frame buffer `buffer` */
int copyBuffer(int from, int to); /**< copies frame buffer `from` to `to` */
int shiftScreen(int dx);          /**< shifts the screen by `dx` pixels */
int centerCurrentBuffer(void);    /**< centres the current buffer */
int drawFromBuffer(int buffer);   /**< shows frame buffer `buffer` */
/** The driver's current buffer number, -1 on failure. "Curent" is the
 * exported spelling, kept for compatibility. */
int getCurentBuffer(void);
int enableAlphaBlending(void);  /**< alpha blending on */
int disableAlphaBlending(void); /**< alpha blending off */
int setAlphaChannel(int alpha); /**< sets the alpha value of blending */
///@}

/** Draws the JPEG file at `path` with its top left at (x, y); -1 when the file
 * cannot be read or decoded (with a message on standard output). */
int drawPicture(int x, int y, const char* path);
/** Draws `width` x `height` RGB565 pixels with the top left at (x, y). */
int drawPicture565(int x, int y, int width, int height, const uint16_t* pixels);

/** Transparent text at (x, y), clipped at x + width. fontSizeBits is the bit
 * pattern of the float font size (#LCD_FONT_SMALL, #LCD_FONT_BIG); line mode
 * and flags go to the driver as given. Prints a message when the driver
 * refuses. */
int drawText(const wchar_t* text, int x, int y, int width, int lineMode, int flagsA, int fontSizeBits, int colour,
             int flagsB);
/** drawText() with the background colour filled behind the glyphs. */
int drawTextWithBG(const wchar_t* text, int x, int y, int width, int lineMode, int flagsA, int fontSizeBits, int colour,
                   int background, int flagsB);
/**
 * @name Fixed text styles
 * Small (16.0) or big (24.0) text, clipped at x 319. The colour in the names
 * is not always the one drawn (the "White" small style draws colour 0, the
 * "Blue" one 65535); the names are the exported ones.
 */
///@{
int drawFontSmallColorString(const wchar_t* text, int x, int y); /**< small, colour 0, transparent */
int drawFontSmallWhiteString(const wchar_t* text, int x, int y); /**< small, colour 0, transparent */
int drawFontSmallBlueString(const wchar_t* text, int x, int y);  /**< small, colour 65535, transparent */
/** Small, colour 65535, transparent (the background 35794 is not filled). */
int drawFontSmallBlackString(const wchar_t* text, int x, int y);
/** Big, colour 1405 on a filled black background. */
int drawFontBigWhiteString(const wchar_t* text, int x, int y);
/** Blackens a big text's estimated box (10 pixels a character, 19 high). */
int unDrawFontBigWhiteString(const wchar_t* text, int x, int y);
/** Blackens a small text's estimated box (6 pixels a character, 13 high). */
int unDrawFontSmallString(const wchar_t* text, int x, int y);
/** The title: big text at (90, 8). */
int drawTitle(const wchar_t* text);
/** Blackens the title's box. */
int unDrawTitle(const wchar_t* text);
///@}
/** Width of `text` in pixels at that font size (asked from the driver). */
int textWidth(const wchar_t* text, int fontSizeBits);
/** Where pixel `x` falls in `text`, as the driver answers: the index of the
 * character there x 1000 plus the pixels of x inside that character (the
 * length x 1000 past the end); -1 for a negative x. */
int textTouchPosition(const wchar_t* text, int x, int fontSizeBits);
/** x at which to start `text` to centre it between `left` and `right`
 * (estimated, 10 pixels a character); no driver request. */
int centerTextX(const wchar_t* text, int left, int right);
/** Characters of `text` before its terminator. */
int textLen(const wchar_t* text);
/** Copies `src` with its terminator into `dst`, which must have room. */
void copyString(wchar_t* dst, const wchar_t* src);
/** Copies up to `count` (at most 80) characters of `text` into ::trimmedText
 * and ends it at character count / 6 - 1 (six pixels a small character):
 * `count` is a width in pixels. Returns ::trimmedText, overwritten by the
 * next call. */
wchar_t* trimText(const wchar_t* text, int count);
/** Sets ::showPasswords. */
void setShowPasswords(int show);

/** Draws a widget by its kind, state and selection. */
void drawWidget(WidgetRecord w);
/** Blackens the widget's area. */
void unDrawWidget(WidgetRecord w);
/** Where the widget takes touches; all 0 for text fields of kind 6, panels,
 * labels and unknown kinds. */
TouchArea getTouchArea(WidgetRecord w);

/** Bit pattern of the small font size, 16.0f. */
#define LCD_FONT_SMALL 0x41800000 /* 16.0f */
/** Bit pattern of the big font size, 24.0f. */
#define LCD_FONT_BIG 0x41C00000 /* 24.0f */

#ifdef __cplusplus
}
static_assert(sizeof(WidgetRecord) == 97 * 4, "widget record");
static_assert(offsetof(WidgetRecord, fontSize) == 12 * 4, "widget record");
static_assert(offsetof(WidgetRecord, label) == 14 * 4, "widget record");
static_assert(offsetof(WidgetRecord, kind) == 94 * 4, "widget record");
static_assert(offsetof(WidgetRecord, state) == 96 * 4, "widget record");
static_assert(sizeof(TouchArea) == 16, "touch area");
#endif

#pragma GCC visibility pop
