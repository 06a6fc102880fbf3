// Screens of the touch toolkit: title bar with back, home or exit and
// language buttons, the widget list and the embedded keyboard.
#pragma once
#include <wchar.h>

#include "ImagePNG.h"
#include "touchui/Keyboard.h"
#include "touchui/Modal.h"
#include "touchui/ScreenLock.h"
#include "touchui/Widget.h"

class Screen {
public:
    Screen();
    Screen(wchar_t* title);
    Screen(const Screen&);
    virtual ~Screen();

    void setTitle(wchar_t* title);
    void draw();
    void undraw();
    // The touch dispatcher: wake-up, swallowed touches, lock pad, keyboard,
    // widgets (y >= 41) or title bar.
    void getTouch(int x, int y);
    void drawBaseScreen(int);

    Widget* widgets;
    Keyboard keyboard;
    void (*exitHandler)();
    bool backShown;
    bool exitShown;
    bool languageShown;
    bool homeShown;
    bool homeGreyed;
    void (*backHandler)();
    void (*languageReturnHandler)();
    void (*homeHandler)();
    bool clearOnDraw;
    wchar_t title[80];
};

extern ImagePNG baseImages, modalImages;
extern bool notLoaded, modalImagesLoaded;
extern int backImagePng, backImagePressedPng, exitImagePng, exitImagePressedPng;

void backlightEnable();
void backlightDisable();
