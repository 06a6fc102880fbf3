/**
 * @file
 * Widgets of the touch toolkit: buttons, labels, text fields, radio buttons
 * and check boxes, panels. A screen holds them in a doubly linked list that
 * the application links.
 */
#pragma once
#include <wchar.h>

#include "lcddraw/libHalvixGui.h"

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// The widget kinds, as the record's kind numbers (WidgetRecord::kind).
class WidgetType {
public:
    /// Fills the fields: 8, 0, 1, 2, 3, 4, 5, 6, 7, 9.
    WidgetType();
    ///@{
    /** Kind numbers: label 8, button 0, buttons with a left and a right arrow
     * 1 and 2, radio button 3, check box 4, text fields 5 and 6, panel 7,
     * coloured button 9. */
    int label, button, buttonLeft, buttonRight, radio, checkbox, textField, textField2, panel, colorButton;
    ///@}
};
/// The kind numbers (wType.button and so on).
extern WidgetType wType;

/**
 * One widget: its drawable record and touch area, its place in the screen's
 * list and its touch handler. Touchable kinds: buttons (flash while pressed),
 * radio buttons (select themselves, deselect the others of their group),
 * check boxes (toggle), text fields of kind 5 and coloured buttons.
 */
class Widget {
public:
    /// Sets nothing: fill the members before use.
    Widget();
    /// Sets nothing either; nothing is copied.
    Widget(const Widget&);
    /// A widget with its own colours (RGB565), font size (16.0 or 24.0) and
    /// text colour; group 1; the touch area computed once here. The label is
    /// copied (at most 79 characters, null: empty).
    Widget(int kind, int x, int y, int width, int height, int selected, int colour, int selectedColour, float fontSize,
           int textColour, wchar_t* label);
    /// The same without colours and font; not a password, enabled.
    Widget(int kind, int x, int y, int width, int height, int selected, wchar_t* label);
    /// A label (kind 8): never touchable; text layout as drawText() takes it.
    Widget(int x, int y, int width, int lineMode, int flagsA, float fontSize, int flagsB, int colour, wchar_t* label);
    /// Erases the widget from the panel (unDrawWidget()).
    virtual ~Widget();

    /// Draws the widget.
    void draw();
    /// Erases the widget to black.
    void unDraw();
    /// Copies at most 79 characters into the label and redraws.
    void setText(wchar_t* text);
    /// Sets the password flag (not used in drawing). The name reads as a
    /// question but sets; it is the exported one.
    void isPassword(int password);
    /// The kind.
    int getType();
    /// Sets the selected flag without drawing.
    void setSelected(int selected);
    /// Copies `text` into textTarget, which the application set and sized; the
    /// flag is not used.
    void useKeyboard(bool, char* text);
    /// Takes the touch when strictly inside the touch area of an enabled,
    /// touchable widget; runs the touch handler (called without a check: set
    /// it for every touchable widget). True when taken.
    bool checkTouch(int x, int y);

    void (*touchHandler)();  ///< called after a touch on the widget was handled
    ///@{
    /** Set to 0 and 1 by the full constructors; the toolkit does not read
     * them. */
    bool flag1, flag2;
    ///@}
    int group;            ///< radio buttons of the same group exclude each other (1 by default)
    Widget* next;         ///< next widget of the screen's list; null at the end
    Widget* previous;     ///< previous widget; null at the head
    WidgetRecord record;  ///< what is drawn (liblcddraw's widget record)
    TouchArea area;       ///< where touches count, computed at construction
    bool flag3;           ///< 0 after the full constructors; not read by the toolkit
    char* textTarget;     ///< buffer useKeyboard() copies into; set by the application
};

#pragma GCC visibility pop
