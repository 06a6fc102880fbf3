// Message boxes: up to five lines and an icon, ended after a time or by the
// next touch.
#pragma once
#include <wchar.h>

class Modal {
public:
    Modal();
    ~Modal();
    // kind 0-2: box in the middle (frame, info, critical); 3 info and 4
    // critical fill the screen. seconds < 0 waits for a touch to start and
    // end. Then the close handler runs (when set).
    void draw(int kind, int seconds);
    // Drawn without waiting and without the handler.
    void drawTimed(int kind);
    // A progress bar over `seconds`; touch delivery is suspended meanwhile.
    void time(int seconds);
    // setLine1 starts a new message: it clears all five lines first.
    void setLine1(wchar_t* text);
    void setLine2(wchar_t* text);
    void setLine3(wchar_t* text);
    void setLine4(wchar_t* text);
    void setLine5(wchar_t* text);

    void (*closeHandler)();
    wchar_t lines[5][64];
    int kind;
};
