// Widgets of the touch toolkit: buttons, labels, text fields, radio buttons
// and check boxes, panels. A screen holds them in a doubly linked list that
// the application links.
#pragma once
#include <wchar.h>

#include "lcddraw/libHalvixGui.h"

// The widget kinds, as the record's kind numbers.
class WidgetType {
public:
    WidgetType();
    int label, button, buttonLeft, buttonRight, radio, checkbox, textField, textField2, panel, colorButton;
};
extern WidgetType wType;

class Widget {
public:
    Widget();
    Widget(const Widget&);
    Widget(int kind, int x, int y, int width, int height, int selected, int colour, int selectedColour, float fontSize,
           int textColour, wchar_t* label);
    Widget(int kind, int x, int y, int width, int height, int selected, wchar_t* label);
    // A label (kind 8): never touchable.
    Widget(int x, int y, int width, int lineMode, int flagsA, float fontSize, int flagsB, int colour, wchar_t* label);
    virtual ~Widget();

    void draw();
    void unDraw();
    // Copies at most 79 characters into the label and redraws.
    void setText(wchar_t* text);
    void isPassword(int password);
    int getType();
    void setSelected(int selected);
    void useKeyboard(bool, char* text);
    // Takes the touch when strictly inside the touch area of an enabled,
    // touchable widget; runs the touch handler (when set).
    bool checkTouch(int x, int y);

    void (*touchHandler)();
    bool flag1, flag2;
    int group;
    Widget* next;
    Widget* previous;
    WidgetRecord record;
    TouchArea area;
    bool flag3;
    char* textTarget;
};
