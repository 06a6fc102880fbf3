// The on-screen keyboard.
#include "touchui/Keyboard.h"

#include <arpa/inet.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "lcddraw/libHalvixGui.h"
#include "press_internal.h"
#include "touch.h"
#include "touchui/KeyboardLayout.h"
#include "touchui/Languages.h"
#include "touchui/Modal.h"
#include "touchui/TextFormat.h"
#include "base/clock.h"

bool isCap, kbCapChanged, isSplMode, isNumericMode, isIPAddrMode, saveMode = true;
bool (*keyboardValidation)(wchar_t*);

using namespace kblayout;

namespace {

const int kKey = 1405, kKeyPressed = 2879, kDigitRow = 784, kDigitPressed = 555, kGreyed = 6339, kFunction = 36509,
          kFunctionPressed = 15837, kWhite = 65535;
const int kSize20 = 0x41A00000;  // 20.0f
const int kTextMax = 179;

void closeNothing() {}

bool greyed(int row, int key) { return isSplMode && greyedInSpecial(row, key); }

wchar_t keyChar(int row, int key) { return letterChar(row, key, isSplMode, isCap); }

// Size 20 text with line mode 1 and no flags A.
void label20(const wchar_t* text, int x, int y, int width, int colour, int flagsB) {
    drawTextKey(text, x, y, width, 1, 0, 20.0, colour, flagsB);
}

const wchar_t* functionLabel(int f) { return f == kToggle && isSplMode ? kToggleLetters : kFunctions[f].label; }

// A function key filled over [x0, x1] with its label in white.
void drawFunctionKey(int f, int x0, int x1, int colour) {
    fillRect(x0, kFunctions[f].drawn.y0, x1, kFunctions[f].drawn.y1, colour);
    label20(functionLabel(f), x0, kFunctionLabelY, x1 - x0, kWhite, 1);
}

const TextField& field() { return isNumericMode ? kNumField : kLetterField; }

// The numeric pad, or the base with the letter rows.
void drawLayout(Keyboard& k) {
    if (isNumericMode)
        k.drawNumKeyboard();
    else {
        k.drawBase();
        k.drawKeyboard();
    }
}

}  // namespace

int textLen(char* text) {
    int n = 0;
    if (text)
        while (text[n]) ++n;
    return n;
}

int drawTextKey(const wchar_t* text, int x, int y, int width, int lineMode, int flagsA, double fontSize, int colour,
                int flagsB) {
    float f = (float)fontSize;
    int bits;
    memcpy(&bits, &f, sizeof bits);
    return ::drawText(text, x, y, width, lineMode, flagsA, bits, colour, flagsB);
}

void printText() {
    for (int row = 0; row < kLetterRows; ++row) {
        if (row == 0 && kbCapChanged) continue;
        for (int k = 0; k < kRows[row].keys; ++k) {
            if (greyed(row, k)) continue;
            Box b = letterKey(row, k);
            wchar_t label[2] = {keyChar(row, k), 0};
            label20(label, b.x0, b.y0 + kKeyLabelDy, kKeyWidth, kWhite, 1);
        }
    }
}

void keyBoardSaveMode(bool on) { saveMode = on; }
void setKeyboardValidationFunction(bool (*fn)(wchar_t*)) { keyboardValidation = fn; }

namespace {

// A closed keyboard's own state, mode 1, with its two pictures; the
// process-wide layout flags are not its own.
void initOwn(Keyboard& k) {
    for (int r = 0; r < 5; ++r) {
        k.rowBounds[2 * r] = kRows[r].bounds.x0;
        k.rowBounds[2 * r + 1] = kRows[r].bounds.x1;
        k.rowBounds[10 + 2 * r] = kRows[r].bounds.y0;
        k.rowBounds[11 + 2 * r] = kRows[r].bounds.y1;
    }
    k.shown = k.copyMode = k.copyBack = k.scrolled = k.cursorOn = k.secondStore = false;
    k.closeHandler = nullptr;
    k.maxLength = k.minLength = k.skipPrefix = 0;
    k.resultTarget = nullptr;
    memset(k.value, 0, sizeof k.value);
    memset(k.settingName, 0, sizeof k.settingName);
    memset(k.originalText, 0, sizeof k.originalText);
    memset(k.text, 0, sizeof k.text);
    memset(k.scratch, 0, sizeof k.scratch);
    k.keyIndex = k.keyX0 = k.keyY0 = k.keyX1 = k.keyY1 = k.widthBefore = k.widthAfter = k.cursorX = k.blink = 0;
    k.cursorY = kLetterField.y;
    k.mode = 1;
    k.pictures.loadPNG("/halvix/back_35.png");
    k.pictures.loadPNG("/halvix/backimagePressed_35.png");
}

}  // namespace

Keyboard::Keyboard() {
    initOwn(*this);
    isCap = kbCapChanged = isSplMode = isNumericMode = isIPAddrMode = false;
    keyboardMode(1);
}

// A fresh keyboard that leaves the layout flags of the one in use alone.
Keyboard::Keyboard(const Keyboard&) { initOwn(*this); }

Keyboard::~Keyboard() {
    if (shown) unDraw();
}

void Keyboard::keyboardMode(int m) {
    if (m == 4) m = 3;
    if (m != 0 && m != 1 && m != 2 && m != 3 && m != 5 && m != 7) m = 1;
    mode = m;
    isNumericMode = m == 0 || m == 2 || m == 5 || m == 7;
    isSplMode = m == 3;
    isIPAddrMode = m == 7;
}

const wchar_t* Keyboard::visible() {
    int len = (int)wcslen(text);
    return text + (skipPrefix < len ? (skipPrefix > 0 ? skipPrefix : 0) : len);
}

void Keyboard::open() {
    isCap = kbCapChanged = false;
    blink = 0;
    scrolled = false;
    shown = true;
    drawLayout(*this);
}

namespace {

// Takes the setting `name` of the main or the second section as the text
// to edit in place.
void readSetting(Keyboard& k, const char* name, bool second) {
    k.secondStore = second;
    k.copyMode = false;
    // No result target in place: an earlier copy-mode opening's buffer may
    // be gone by now.
    k.copyBack = false;
    k.resultTarget = nullptr;
    memset(k.settingName, 0, sizeof k.settingName);
    if (name) strncpy(k.settingName, name, sizeof k.settingName - 1);
    char buf[1024] = {0};
    if (second)
        k.memory.getSettingRtdev(k.settingName, buf);
    else
        k.memory.getSetting(k.settingName, buf);
    strncpy(k.value, buf, sizeof k.value - 1);
    k.value[sizeof k.value - 1] = 0;
    size_t n = utf8_to_wchar(k.value, strlen(k.value), k.text, kTextMax, 1);
    k.text[n] = 0;
    memcpy(k.originalText, k.text, sizeof k.text);
}

}  // namespace

void Keyboard::draw(char* setting) {
    readSetting(*this, setting, false);
    open();
}

void Keyboard::drawRtdev(char* setting) {
    readSetting(*this, setting, true);
    open();
}

void Keyboard::drawText(char* initial, wchar_t* result) {
    shown = copyMode = copyBack = true;
    secondStore = false;
    if (result) memset(result, 0, 180);
    resultTarget = result;
    memset(settingName, 0, sizeof settingName);
    if (initial) strncpy(settingName, initial, sizeof settingName - 1);
    size_t n = utf8_to_wchar(settingName, strlen(settingName), text, kTextMax, 1);
    text[n] = 0;
    memcpy(originalText, text, sizeof text);
    open();
}

void Keyboard::drawField() {
    const TextField& f = field();
    fillRect(f.box.x0, f.box.y0, f.box.x1, f.box.y1, kWhite);
    int fx = f.x, fy = f.y, limit = f.limit;
    const wchar_t* v = visible();
    int w = textWidth(v, kSize20);
    if (w >= limit) {
        scrolled = true;
        int pos = textTouchPosition(v, w - (limit - 1), kSize20);
        int idx = pos < 0 ? 0 : pos / 1000;
        if (idx > (int)wcslen(v)) idx = 0;
        v += idx;
        w = textWidth(v, kSize20);
    }
    label20(v, fx, fy, limit + 20, 0, 0);
    cursorY = fy;
    cursorX = fx + w;
    drawCursor(cursorX, true);
}

void Keyboard::drawBase() {
    lcd_clear(0);
    pictures.drawPNG(kLetterBack.pictureX, kLetterBack.pictureY, 0, 0, 0);
    cursorY = kLetterField.y;
    drawField();
    for (int f = 0; f < kFunctionKeys; ++f)
        drawFunctionKey(f, kFunctions[f].drawn.x0, kFunctions[f].drawn.x1,
                        f == kCap && isCap ? kFunctionPressed : kFunction);
}

void Keyboard::drawKeyboard() {
    for (int row = 0; row < kLetterRows; ++row) {
        if (row == 0 && kbCapChanged) continue;
        int top = rowBounds[10 + 2 * row], bottom = rowBounds[11 + 2 * row];
        for (int k = 0; k < kRows[row].keys; ++k) {
            Box b = letterKey(row, k);
            int colour = row == 0 ? (mode == 1 ? kDigitRow : kKey) : kKey;
            if (greyed(row, k)) colour = kGreyed;
            fillRect(b.x0, top, b.x1, bottom, colour);
        }
    }
    printText();
}

void Keyboard::drawNumKeyboard() {
    lcd_clear(0);
    pictures.drawPNG(kNumBack.pictureX, kNumBack.pictureY, 0, 0, 0);
    cursorY = kNumField.y;
    drawField();
    for (int r = 0; r < kNumRows; ++r) {
        for (int k = 0; k < (r == kNumDoneRow ? 1 : 3); ++k) {
            Box b = numKey(r, k);
            bool grey = r == kNumDelRow && k == kNumDotKey && !isIPAddrMode;
            fillRect(b.x0, b.y0, b.x1, b.y1, grey ? kGreyed : kKey);
            label20(kNum[r].labels[k], b.x0, b.y0 + kNumLabelDy, b.x1 - b.x0, grey ? 25388 : kWhite, 1);
        }
    }
}

void Keyboard::redraw() {
    lcd_clear(0);
    drawLayout(*this);
}

void Keyboard::drawCursor(int x, bool on) {
    fillRect(x, cursorY, x + 1, cursorY + 19, on ? kKey : kWhite);
    cursorOn = on;
}

void Keyboard::infoModal(const char* l1, const char* l2, int number, const char* l3) {
    Languages lang;
    Modal m;
    m.closeHandler = closeNothing;
    wchar_t* t = lang.get((char*)l1, (char*)"modal");
    m.setLine1(t ? t : (wchar_t*)L"");
    t = lang.get((char*)l2, (char*)"modal");
    if (number >= 0) {
        aswprintf(scratch, 63, (wchar_t*)L"%ls %d", t ? t : L"", number);
        m.setLine2(scratch);
    } else {
        m.setLine2(t ? t : (wchar_t*)L"");
    }
    t = lang.get((char*)l3, (char*)"modal");
    m.setLine3(t ? t : (wchar_t*)L"");
    m.draw(1, -1);
}

void Keyboard::appendChar(wchar_t c) {
    int len = (int)wcslen(text);
    if (len >= kTextMax) {
        infoModal("less_than_6_l1", "less_than_6_l2", kTextMax, "less_than_6_l3");
        redraw();
        return;
    }
    widthBefore = textWidth(visible(), kSize20);
    text[len] = c;
    text[len + 1] = 0;
    widthAfter = textWidth(visible(), kSize20);
    const TextField& f = field();
    int fx = f.x, fy = f.y, limit = f.limit;
    // The pad tests the width before the character.
    int tested = isNumericMode ? widthBefore : widthAfter;
    if (tested < limit && !scrolled) {
        drawCursor(cursorX, false);
        wchar_t one[2] = {c, 0};
        label20(one, fx + widthBefore, fy, 40, 0, 0);
        cursorX = fx + widthAfter;
    } else if (tested >= limit) {
        scrolled = true;
        drawField();
    } else {
        scrolled = false;
        drawField();
    }
    drawCursor(cursorX, true);
    blink = -25;
}

void Keyboard::deleteChar() {
    int len = (int)wcslen(text);
    if (len <= skipPrefix) return;
    widthBefore = textWidth(visible(), kSize20);
    text[len - 1] = 0;
    widthAfter = textWidth(visible(), kSize20);
    drawCursor(cursorX, false);
    const TextField& f = field();
    if (widthAfter < f.limit) {
        if (scrolled) {
            scrolled = false;
            drawField();
        } else {
            fillRect(f.x + widthAfter, f.box.y0, f.x + widthBefore + 2, f.box.y1, kWhite);
            cursorX = f.x + widthAfter;
        }
    } else {
        drawField();
    }
    drawCursor(cursorX, true);
}

void Keyboard::cap_onTouch() {
    isCap = !isCap;
    kbCapChanged = true;
    if (!isCap) drawFunctionKey(kCap, kFunctions[kCap].drawn.x0, kFunctions[kCap].drawn.x1, kFunction);
    if (mode == 1) drawKeyboard();
    kbCapChanged = false;
}

void Keyboard::spl_onTouch() {
    if (mode == 1) {
        keyboardMode(3);
    } else if (mode == 3) {
        keyboardMode(1);
    }
    drawFunctionKey(kToggle, kFunctions[kToggle].drawn.x0, kFunctions[kToggle].drawn.x1, kFunction);
    drawKeyboard();
}

void Keyboard::keyboardBack_onTouch() {
    if (copyMode && !saveMode && resultTarget) {
        wcsncpy(resultTarget, originalText, kTextMax);
        resultTarget[kTextMax] = 0;
    }
    unDraw();
}

void Keyboard::unDraw() {
    lcd_clear(0);
    shown = false;
    if (closeHandler) closeHandler();
}

void Keyboard::leftShift_onTouch() { printf("in left shift\n"); }
void Keyboard::rightShift_onTouch() { printf("in right shift\n"); }

void Keyboard::doneOnTouch() {
    int counted = (int)wcslen(text) - skipPrefix;
    if (maxLength >= 1 && counted > maxLength) {
        infoModal("less_than_6_l1", "less_than_6_l2", maxLength, "less_than_6_l3");
        redraw();
        return;
    }
    if (minLength > 0 && counted < minLength) {
        infoModal("more_than_2_l1", "more_than_2_l2", minLength, "more_than_2_l3");
        redraw();
        return;
    }
    if (mode == 7) {
        char narrow[180] = {0};
        wchar_to_utf8(text, wcslen(text), narrow, sizeof narrow - 1, 1);
        struct in_addr a;
        if (inet_pton(AF_INET, narrow, &a) != 1) {
            infoModal("valid_ip_l1", "valid_ip_l2", -1, "valid_ip_l3");
            redraw();
            return;
        }
    }
    if (keyboardValidation && !keyboardValidation(text)) {
        redraw();
        return;
    }
    if (wcscmp(text, originalText) != 0) {
        if (saveMode && !copyMode) {
            Languages lang;
            Modal m;
            m.closeHandler = closeNothing;
            wchar_t* t = lang.get((char*)"savingl1", (char*)"modal");
            m.setLine1(t ? t : (wchar_t*)L"");
            t = lang.get((char*)"savingl2", (char*)"modal");
            m.setLine2(t ? t : (wchar_t*)L"");
            t = lang.get((char*)"savingl3", (char*)"modal");
            m.setLine3(t ? t : (wchar_t*)L"");
            m.drawTimed(2);
            memset(value, 0, sizeof value);
            wchar_to_utf8(text, wcslen(text), value, sizeof value - 1, 1);
            if (secondStore)
                memory.saveSettingRtdev(settingName, value);
            else
                memory.saveSetting(settingName, value);
            if (skipPrefix != 1) {
                memory.commit();
                m.time(23);
            }
        } else if (!saveMode && copyBack && resultTarget) {
            wcsncpy(resultTarget, text, kTextMax);
            resultTarget[kTextMax] = 0;
            saveMode = true;
            skipPrefix = 0;
        } else if (copyMode && copyBack && resultTarget) {
            wcsncpy(resultTarget, text, kTextMax);
            resultTarget[kTextMax] = 0;
        }
    } else if (copyMode && !saveMode && resultTarget) {
        wcsncpy(resultTarget, text, kTextMax);
        resultTarget[kTextMax] = 0;
    }
    unDraw();
}

void Keyboard::getTouch(int x, int y) {
    while (shown) {
        bool touch = x >= 1 && x <= 479 && y >= 1 && y <= 319;
        if (!touch) {
            if (++blink >= 50) {
                blink = 0;
                drawCursor(cursorX, !cursorOn);
            }
        } else if (!isNumericMode) {
            int row = -1;
            for (int r = 0; r < 5; ++r)
                if (y >= rowBounds[10 + 2 * r] && y <= rowBounds[11 + 2 * r] && x >= rowBounds[2 * r] &&
                    x <= rowBounds[2 * r + 1])
                    row = r;
            if (row >= 0 && row < kLetterRows) {
                int k = letterKeyAt(row, x);
                if (k >= 0) {
                    if (greyed(row, k)) return;
                    wchar_t c = keyChar(row, k);
                    keyIndex = k;
                    keyX0 = letterKey(row, k).x0;
                    keyX1 = keyX0 + kKeyWidth;
                    keyY0 = rowBounds[10 + 2 * row];
                    keyY1 = rowBounds[11 + 2 * row];
                    int normal = row == 0 && mode == 1 ? kDigitRow : kKey;
                    wchar_t one[2] = {c, 0};
                    // Pressed: the key darker and the character shown above it.
                    touchpress::showPress(
                        [&] {
                            fillRect(keyX0, keyY0, keyX1, keyY1, row == 0 && mode == 1 ? kDigitPressed : kKeyPressed);
                            fillRect(keyX0, kPreviewY0, keyX0 + kKeyWidth, kPreviewY1, kFunction);
                            label20(one, keyX0, kPreviewTextY, kKeyWidth, 0, 1);
                        },
                        [&] {
                            fillRect(keyX0, kPreviewY0, keyX0 + kKeyWidth, kPreviewY1, 0);
                            fillRect(keyX0, keyY0, keyX1, keyY1, normal);
                            label20(one, keyX0, keyY0 + kKeyLabelDy, kKeyWidth, kWhite, 1);
                        });
                    appendChar(c);
                }
            } else if (row == 4) {
                int f = functionKeyAt(x);
                if (f < kFunctionKeys) {
                    const Box& b = kFunctions[f].touch;
                    touchpress::showPress([&] { fillRect(b.x0, b.y0, b.x1, b.y1, kFunctionPressed); },
                                          [&] { drawFunctionKey(f, b.x0, b.x1, kFunction); });
                    switch (f) {
                        case kToggle:
                            spl_onTouch();
                            break;
                        case kCap:
                            cap_onTouch();
                            break;
                        case kSpace:
                            appendChar(L' ');
                            break;
                        case kDel:
                            deleteChar();
                            break;
                        default:
                            doneOnTouch();
                            break;
                    }
                }
            } else if (inside(kLetterBack.touch, x, y)) {
                touchpress::showPicturePress(pictures, kLetterBack.pictureX, kLetterBack.pictureY, 1, 0);
                keyboardBack_onTouch();
            }
        } else {
            if (inside(kNumBack.touch, x, y)) {
                touchpress::showPicturePress(pictures, kNumBack.pictureX, kNumBack.pictureY, 1, 0);
                keyboardBack_onTouch();
            } else if (x >= kNumTouchX0 && x <= kNumTouchX1) {
                int r = numRowAt(y);
                if (r >= 0) {
                    // The pad's touch range keeps k within the row's three keys.
                    int k = numKeyAt(r, x);
                    const wchar_t* label = kNum[r].labels[k];
                    if (r == kNumDelRow && k == kNumDotKey && !isIPAddrMode) return;
                    Box b = numKey(r, k);
                    // Pressed: the key darker and a pixel larger on every side.
                    touchpress::showPress(
                        [&] {
                            fillRect(b.x0, b.y0 - 1, b.x1, b.y1 + 1, kKeyPressed);
                            label20(label, b.x0, b.y0 + kNumLabelDy, b.x1 - b.x0, kWhite, 1);
                        },
                        [&] {
                            fillRect(b.x0, b.y0 - 1, b.x1, b.y1 + 1, 0);
                            fillRect(b.x0, b.y0, b.x1, b.y1, kKey);
                            label20(label, b.x0, b.y0 + kNumLabelDy, b.x1 - b.x0, kWhite, 1);
                        });
                    if (r == kNumDoneRow)
                        doneOnTouch();
                    else if (r == kNumDelRow && k == kNumDelKey)
                        deleteChar();
                    else
                        appendChar(label[0]);
                }
            }
        }
        if (!shown) break;
        x = readX();
        y = readY();
        hbase::sleepMs(20);
    }
}
