// Widget: the drawable record, its touch area and the touch behaviour of
// each kind.
#include "touchui/Widget.h"

#include <string.h>

#include "text_internal.h"
#include "touch.h"

WidgetType::WidgetType()
    : label(8),
      button(0),
      buttonLeft(1),
      buttonRight(2),
      radio(3),
      checkbox(4),
      textField(5),
      textField2(6),
      panel(7),
      colorButton(9) {}

WidgetType wType;

namespace {

void blank(Widget* w) {
    w->touchHandler = nullptr;
    w->flag1 = false;
    w->flag2 = true;
    w->group = 0;
    w->next = w->previous = nullptr;
    memset(&w->record, 0, sizeof w->record);
    memset(&w->area, 0, sizeof w->area);
    w->flag3 = false;
    w->textTarget = nullptr;
}

// A blank widget with its box, kind, selection and one-line label.
void place(Widget* w, int kind, int x, int y, int width, int height, int selected, float fontSize,
           const wchar_t* label) {
    blank(w);
    w->record.kind = kind;
    w->record.x = x;
    w->record.y = y;
    w->record.width = width;
    w->record.height = height;
    w->record.selected = selected;
    w->record.fontSize = fontSize;
    w->record.textLineMode = 1;
    touchtext::copy80(w->record.label, label);
}

}  // namespace

Widget::Widget() { blank(this); }
Widget::Widget(const Widget&) { blank(this); }

Widget::Widget(int kind, int x, int y, int width, int height, int selected, int colour, int selectedColour,
               float fontSize, int textColour, wchar_t* label) {
    place(this, kind, x, y, width, height, selected, fontSize, label);
    record.colour = colour;
    record.selectedColour = selectedColour;
    record.textColour = (float)textColour;
    flag1 = false;
    flag2 = true;
    flag3 = false;
    area = getTouchArea(record);
    group = 1;
}

Widget::Widget(int kind, int x, int y, int width, int height, int selected, wchar_t* label) {
    place(this, kind, x, y, width, height, selected, 16.0f, label);
    record.password = 0;
    record.state = 1;
    flag1 = false;
    flag2 = true;
    flag3 = false;
    area = getTouchArea(record);
    group = 1;
}

Widget::Widget(int x, int y, int width, int lineMode, int flagsA, float fontSize, int flagsB, int colour,
               wchar_t* label) {
    blank(this);
    record.kind = 8;
    record.x = x;
    record.y = y;
    record.width = width;
    record.textLineMode = lineMode;
    record.textFlagsA = flagsA;
    record.fontSize = fontSize;
    record.textFlagsB = flagsB;
    record.colour = colour;
    touchtext::copy80(record.label, label);
}

Widget::~Widget() { unDrawWidget(record); }

void Widget::draw() { drawWidget(record); }
void Widget::unDraw() { unDrawWidget(record); }

void Widget::setText(wchar_t* text) {
    // A label's unDraw paints nothing (it may sit on any background), so the
    // old text is erased here, in black like the other erasers, over the
    // label's box: every line it takes, up to its right edge.
    if (record.kind == wType.label && record.width >= 0) {
        float size = record.fontSize >= 1.0f && record.fontSize <= 200.0f ? record.fontSize : 16.0f;
        int lineHeight = (int)(size * 1.25f) + 1, lines = 1;
        if (record.textLineMode == 0) {
            int bits;
            memcpy(&bits, &size, sizeof bits);
            int w = textWidth(record.label, bits);
            // Wrapping whole characters may take a line more than the width says.
            if (record.width > 0 && w > record.width) lines += 1 + w / record.width;
            for (int i = 0; i < 80 && record.label[i]; ++i) lines += record.label[i] == L'\n';
        }
        fillRect(record.x, record.y, record.x + record.width, record.y + lines * lineHeight - 1, 0);
    }
    touchtext::copy80(record.label, text);
    draw();
}

void Widget::isPassword(int password) { record.password = password; }
int Widget::getType() { return record.kind; }
void Widget::setSelected(int selected) { record.selected = selected; }

void Widget::useKeyboard(bool, char* text) {
    // The application's target holds at least the label's 80 characters.
    if (textTarget && text) {
        strncpy(textTarget, text, 79);
        textTarget[79] = 0;
    }
}

bool Widget::checkTouch(int x, int y) {
    if (!(area.left < x && x < area.right && area.top < y && y < area.bottom)) return false;
    if (record.kind == wType.panel || record.state == -1) return false;
    if (record.kind == wType.radio) {
        record.selected = 1;
        draw();
        Widget* w = this;
        while (w->previous) w = w->previous;
        for (; w; w = w->next) {
            if (w != this && w->record.kind == wType.radio && w->group == group) {
                w->record.selected = 0;
                w->draw();
            }
        }
        waitForPenUp();
    } else if (record.kind == wType.checkbox) {
        record.selected = !record.selected;
        draw();
        waitForPenUp();
    } else {
        record.selected = 1;
        draw();
        waitForPenUp();
        record.selected = 0;
        draw();
    }
    // A widget without a handler takes the touch and does nothing more.
    if (touchHandler) touchHandler();
    return true;
}
