// The on-screen keyboard: edits a stored setting in place or text for the
// application (copy mode). Layouts: letters, special characters, numeric pad
// and its IPv4 variant.
#pragma once
#include <wchar.h>

#include "ImagePNG.h"
#include "touchui/Memory.h"

class Keyboard {
public:
    Keyboard();
    Keyboard(const Keyboard&);
    virtual ~Keyboard();

    void draw(char* setting);
    void drawRtdev(char* setting);
    void drawText(char* initial, wchar_t* result);
    // 1 letters; 3, 4 special; 0, 2, 5 numeric; 7 IPv4; others letters.
    void keyboardMode(int mode);
    // The keyboard's loop: runs while it is shown.
    void getTouch(int x, int y);
    void unDraw();
    void drawKeyboard();
    void drawBase();
    void drawNumKeyboard();
    void appendChar(wchar_t c);
    void deleteChar();
    void drawCursor(int x, bool on);
    void doneOnTouch();
    void cap_onTouch();
    void spl_onTouch();
    void keyboardBack_onTouch();
    void leftShift_onTouch();
    void rightShift_onTouch();

    bool shown;
    bool copyMode;
    void (*closeHandler)();
    int maxLength;
    int minLength;
    int skipPrefix;
    wchar_t* resultTarget;
    char value[180];
    char settingName[180];
    wchar_t originalText[180];
    wchar_t text[180];
    wchar_t scratch[180];
    int keyIndex, keyX0, keyY0, keyX1, keyY1, widthBefore, widthAfter, cursorX, cursorY, blink;
    int rowBounds[20];
    Memory memory;
    int mode;
    bool copyBack;
    bool scrolled;
    bool cursorOn;
    ImagePNG pictures;
    bool secondStore;

private:
    void open();
    void redraw();
    void infoModal(const char* l1, const char* l2, int number, const char* l3);
    void drawField();
    const wchar_t* visible();
};

extern bool isCap, kbCapChanged, isSplMode, isNumericMode, isIPAddrMode, saveMode;
extern bool (*keyboardValidation)(wchar_t*);

void keyBoardSaveMode(bool on);
void setKeyboardValidationFunction(bool (*fn)(wchar_t*));
int textLen(char* text);
int drawTextKey(const wchar_t* text, int x, int y, int width, int lineMode, int flagsA, double fontSize, int colour,
                int flagsB);
void printText();
