/**
 * @file
 * Screens of the touch toolkit: title bar with back, home or exit and
 * language buttons, the widget list and the embedded keyboard.
 *
 * Everything runs on the application's UI thread, which feeds each touch to
 * Screen::getTouch(); the screen lock's inactivity tick comes from the touch
 * library and shares the lock flags without locks.
 */
#pragma once
#include <wchar.h>

#include "ImagePNG.h"
#include "touchui/Keyboard.h"
#include "touchui/Modal.h"
#include "touchui/ScreenLock.h"
#include "touchui/Widget.h"

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/**
 * One full-screen page: a title bar (band y < 41) with back, home or exit and
 * language buttons, a list of widgets below it and an embedded keyboard.
 * The application links the widgets (Widget::next, Widget::previous), sets
 * the handlers and feeds every touch to getTouch().
 */
class Screen {
public:
    /// A screen without title: constructs the keyboard and opens the LCD
    /// driver; nothing else is set.
    Screen();
    /// A titled screen: back and exit shown, no widgets or handlers, clear on
    /// draw; registers the screen lock's tick (slkHandle()) with the touch
    /// library and loads the title-bar pictures once per process.
    Screen(wchar_t* title);
    /// Only constructs a fresh keyboard; nothing is copied.
    Screen(const Screen&);
    /// Undraws the widgets (undraw()).
    virtual ~Screen();

    /// Replaces the title (at most 79 characters) and redraws it.
    void setTitle(wchar_t* title);
    /// Reads "ShowPass" and "ScreenTimeout", restarts the inactivity count,
    /// clears the panel (when clearOnDraw) and draws the title bar and every
    /// widget.
    void draw();
    /// Undraws every widget.
    void undraw();
    /// The touch dispatcher: wake-up, swallowed touches, lock pad, keyboard,
    /// widgets (y >= 41, the first that takes it) or title bar. The exit
    /// button ends the process (status 0) after the exit handler.
    void getTouch(int x, int y);
    /// Draws the title bar's buttons; the argument is not used.
    void drawBaseScreen(int);

    Widget* widgets;                  ///< any widget of the list (rewound to the head before each walk); null: none
    Keyboard keyboard;                ///< the on-screen keyboard; while shown it receives all touches
    void (*exitHandler)();            ///< run before the process ends on the exit button; may be null
    bool backShown;                   ///< back button active (else greyed)
    bool exitShown;                   ///< exit (cross) button active
    bool languageShown;               ///< language button active
    bool homeShown;                   ///< home button active
    bool homeGreyed;                  ///< greyed home picture shown
    void (*backHandler)();            ///< run on the back button; set it when back is shown
    void (*languageReturnHandler)();  ///< run after the language program ends; null: the screen redraws
    void (*homeHandler)();            ///< run on the home button; may be null
    bool clearOnDraw;                 ///< clear the panel to black before drawing
    wchar_t title[80];                ///< drawn in the title bar
};

///@{
/** The title-bar and the modal picture sets, loaded at most once per
 * process. */
extern ImagePNG baseImages, modalImages;
///@}
///@{
/** The sets are not loaded yet (initially true) / the modal set is loaded. */
extern bool notLoaded, modalImagesLoaded;
///@}
///@{
/** Indexes of the back, pressed back, exit and pressed exit pictures in
 * ::baseImages. */
extern int backImagePng, backImagePressedPng, exitImagePng, exitImagePressedPng;
///@}

/// Switches the backlight on (driver /dev/halvix_backlight, its node created
/// if missing); a failure is reported with perror.
void backlightEnable();
/// Switches the backlight off, as backlightEnable().
void backlightDisable();

#pragma GCC visibility pop
