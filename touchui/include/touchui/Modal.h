/**
 * @file
 * Message boxes: up to five lines and an icon, ended after a time or by the
 * next touch.
 */
#pragma once
#include <wchar.h>

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// A message box. Drawing blocks the UI thread for its time or until the
/// touch that ends it.
class Modal {
public:
    /// Empty lines, kind 0; loads the modal pictures once per process.
    Modal();
    /// Does nothing.
    ~Modal();
    /// Draws the box and waits: kind 0-2: box in the middle (frame, info,
    /// critical) with lines 1 to 3; 3 info and 4 critical fill the screen
    /// with all five lines. Sleeps `seconds`; seconds < 0 waits for a touch
    /// to start and end. Then the close handler runs (set it first: it is
    /// called without a check).
    void draw(int kind, int seconds);
    /// Drawn without waiting and without the handler (lines 1 to 3).
    void drawTimed(int kind);
    /// A progress bar over `seconds`, blocking that long; touch delivery is
    /// suspended meanwhile.
    void time(int seconds);
    /// setLine1 starts a new message: it clears all five lines first. Lines
    /// hold 63 characters.
    void setLine1(wchar_t* text);
    /// Sets line 2 only.
    void setLine2(wchar_t* text);
    /// Sets line 3 only.
    void setLine3(wchar_t* text);
    /// Sets line 4 only (shown by the full-screen kinds).
    void setLine4(wchar_t* text);
    /// Sets line 5 only (shown by the full-screen kinds).
    void setLine5(wchar_t* text);

    void (*closeHandler)();  ///< called when draw() ends
    wchar_t lines[5][64];    ///< the five lines
    int kind;                ///< the kind of the last draw()
};

#pragma GCC visibility pop
