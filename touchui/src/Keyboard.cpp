// The on-screen keyboard.
#include "touchui/Keyboard.h"

#include <arpa/inet.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "lcddraw/libHalvixGui.h"
#include "press_internal.h"
#include "touch.h"
#include "touchui/Languages.h"
#include "touchui/Modal.h"
#include "touchui/TextFormat.h"
#include "base/clock.h"

bool isCap, kbCapChanged, isSplMode, isNumericMode, isIPAddrMode, saveMode = true;
bool (*keyboardValidation)(wchar_t*);

namespace {

const int kKey = 1405, kKeyPressed = 2879, kDigitRow = 784, kDigitPressed = 555, kGreyed = 6339, kFunction = 36509,
          kFunctionPressed = 15837, kWhite = 65535;
const int kSize20 = 0x41A00000;  // 20.0f
const int kTextMax = 179;

const char* const kLower[4] = {"1234567890", "qwertyuiop", "asdfghjkl", "zxcvbnm."};
const char* const kUpper[4] = {"1234567890", "QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM."};
// The special layout: key 0 and the last key of rows 1-3 are greyed.
const char* const kSpecial[4] = {"`~!@#$%^&*", " ()+=-_\\/ ", " {}[];:? ", " <>'|\",  "};
const int kRowKeys[4] = {10, 10, 9, 8};

// Function keys of row 4: x ranges.
struct Range {
    int x0, x1;
};
const Range kToggle = {6, 65}, kCap = {68, 113}, kSpace = {113, 206}, kDel = {209, 251}, kDone = {254, 316};

void closeNothing() {}

bool greyed(int row, int key) { return isSplMode && row >= 1 && (key == 0 || key == kRowKeys[row] - 1); }

wchar_t keyChar(int row, int key) {
    if (isSplMode) return (wchar_t)(unsigned char)kSpecial[row][key];
    return (wchar_t)(unsigned char)(isCap ? kUpper : kLower)[row][key];
}

// Numeric pad rows: reacting y range and labels.
struct NumRow {
    int y0, y1;
    const wchar_t* labels[3];
};
const NumRow kNum[5] = {{56, 84, {L"1", L"2", L"3"}},
                        {93, 121, {L"4", L"5", L"6"}},
                        {130, 158, {L"7", L"8", L"9"}},
                        {167, 195, {L"DEL", L"0", L"."}},
                        {204, 232, {L"Done", L"", L""}}};

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
    for (int row = 0; row < 4; ++row) {
        if (row == 0 && kbCapChanged) continue;
        for (int k = 0; k < kRowKeys[row]; ++k) {
            if (greyed(row, k)) continue;
            static const int lefts[4] = {3, 3, 17, 34}, tops[4] = {85, 116, 147, 178};
            wchar_t label[2] = {keyChar(row, k), 0};
            drawTextKey(label, lefts[row] + 31 * k, tops[row] + 5, 28, 1, 0, 20.0, kWhite, 1);
        }
    }
}

void keyBoardSaveMode(bool on) { saveMode = on; }
void setKeyboardValidationFunction(bool (*fn)(wchar_t*)) { keyboardValidation = fn; }

Keyboard::Keyboard() {
    static const int bounds[20] = {3,  313, 3,   313, 17,  296, 34,  282, 6,   316,
                                   85, 113, 116, 144, 147, 175, 178, 206, 209, 237};
    memcpy(rowBounds, bounds, sizeof rowBounds);
    shown = copyMode = copyBack = scrolled = cursorOn = secondStore = false;
    closeHandler = nullptr;
    maxLength = minLength = skipPrefix = 0;
    resultTarget = nullptr;
    memset(value, 0, sizeof value);
    memset(settingName, 0, sizeof settingName);
    memset(originalText, 0, sizeof originalText);
    memset(text, 0, sizeof text);
    memset(scratch, 0, sizeof scratch);
    keyIndex = keyX0 = keyY0 = keyX1 = keyY1 = widthBefore = widthAfter = cursorX = blink = 0;
    cursorY = 24;
    isCap = kbCapChanged = isSplMode = isNumericMode = isIPAddrMode = false;
    keyboardMode(1);
    pictures.loadPNG("/halvix/back_35.png");
    pictures.loadPNG("/halvix/backimagePressed_35.png");
}

Keyboard::Keyboard(const Keyboard&) : Keyboard() {}

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
    if (isNumericMode)
        drawNumKeyboard();
    else {
        drawBase();
        drawKeyboard();
    }
}

void Keyboard::draw(char* setting) {
    secondStore = false;
    copyMode = false;
    // No result target in place: an earlier copy-mode opening's buffer may
    // be gone by now.
    copyBack = false;
    resultTarget = nullptr;
    memset(settingName, 0, sizeof settingName);
    if (setting) strncpy(settingName, setting, sizeof settingName - 1);
    char buf[1024] = {0};
    memory.getSetting(settingName, buf);
    strncpy(value, buf, sizeof value - 1);
    value[sizeof value - 1] = 0;
    size_t n = utf8_to_wchar(value, strlen(value), text, kTextMax, 1);
    text[n] = 0;
    memcpy(originalText, text, sizeof text);
    open();
}

void Keyboard::drawRtdev(char* setting) {
    draw(setting);
    // Read again from the second store.
    secondStore = true;
    char buf[1024] = {0};
    memory.getSettingRtdev(settingName, buf);
    strncpy(value, buf, sizeof value - 1);
    size_t n = utf8_to_wchar(value, strlen(value), text, kTextMax, 1);
    text[n] = 0;
    memcpy(originalText, text, sizeof text);
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
    bool num = isNumericMode;
    if (num)
        fillRect(50, 13, 274, 48, kWhite);
    else
        fillRect(45, 15, 313, 50, kWhite);
    int fx = num ? 55 : 50, fy = num ? 22 : 24, limit = num ? 200 : 244;
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
    drawTextKey(v, fx, fy, limit + 20, 1, 0, 20.0, 0, 0);
    cursorY = fy;
    cursorX = fx + w;
    drawCursor(cursorX, true);
}

void Keyboard::drawBase() {
    lcd_clear(0);
    pictures.drawPNG(6, 15, 0, 0, 0);
    cursorY = 24;
    drawField();
    fillRect(kToggle.x0, 209, kToggle.x1, 237, kFunction);
    drawTextKey(isSplMode ? L"abc" : L"#@%", kToggle.x0, 214, kToggle.x1 - kToggle.x0, 1, 0, 20.0, kWhite, 1);
    fillRect(kCap.x0, 209, kCap.x1 - 3, 237, isCap ? kFunctionPressed : kFunction);
    drawTextKey(L"CAP", kCap.x0, 214, kCap.x1 - 3 - kCap.x0, 1, 0, 20.0, kWhite, 1);
    fillRect(kSpace.x0 + 3, 209, kSpace.x1, 237, kFunction);
    drawTextKey(L"Space", kSpace.x0 + 3, 214, kSpace.x1 - kSpace.x0 - 3, 1, 0, 20.0, kWhite, 1);
    fillRect(kDel.x0, 209, kDel.x1, 237, kFunction);
    drawTextKey(L"DEL", kDel.x0, 214, kDel.x1 - kDel.x0, 1, 0, 20.0, kWhite, 1);
    fillRect(kDone.x0, 209, kDone.x1, 237, kFunction);
    drawTextKey(L"Done", kDone.x0, 214, kDone.x1 - kDone.x0, 1, 0, 20.0, kWhite, 1);
}

void Keyboard::drawKeyboard() {
    static const int lefts[4] = {3, 3, 17, 34};
    for (int row = 0; row < 4; ++row) {
        if (row == 0 && kbCapChanged) continue;
        int top = rowBounds[10 + 2 * row], bottom = rowBounds[11 + 2 * row];
        for (int k = 0; k < kRowKeys[row]; ++k) {
            int x = lefts[row] + 31 * k;
            int colour = row == 0 ? (mode == 1 ? kDigitRow : kKey) : kKey;
            if (greyed(row, k)) colour = kGreyed;
            fillRect(x, top, x + 28, bottom, colour);
        }
    }
    printText();
}

void Keyboard::drawNumKeyboard() {
    lcd_clear(0);
    pictures.drawPNG(11, 13, 0, 0, 0);
    cursorY = 22;
    drawField();
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 3; ++k) {
            int x = 50 + 77 * k;
            bool grey = r == 3 && k == 2 && !isIPAddrMode;
            fillRect(x, kNum[r].y0, x + 70, kNum[r].y1, grey ? kGreyed : kKey);
            drawTextKey(kNum[r].labels[k], x, kNum[r].y0 + 6, 70, 1, 0, 20.0, grey ? 25388 : kWhite, 1);
        }
    }
    fillRect(50, kNum[4].y0, 274, kNum[4].y1, kKey);
    drawTextKey(L"Done", 50, kNum[4].y0 + 6, 224, 1, 0, 20.0, kWhite, 1);
}

void Keyboard::redraw() {
    lcd_clear(0);
    if (isNumericMode)
        drawNumKeyboard();
    else {
        drawBase();
        drawKeyboard();
    }
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
        lcd_clear(0);
        if (isNumericMode)
            drawNumKeyboard();
        else {
            drawBase();
            drawKeyboard();
        }
        return;
    }
    widthBefore = textWidth(visible(), kSize20);
    text[len] = c;
    text[len + 1] = 0;
    widthAfter = textWidth(visible(), kSize20);
    bool num = isNumericMode;
    int fx = num ? 55 : 50, fy = num ? 22 : 24, limit = num ? 200 : 244;
    int tested = num ? widthBefore : widthAfter;
    if (tested < limit && !scrolled) {
        drawCursor(cursorX, false);
        wchar_t one[2] = {c, 0};
        drawTextKey(one, fx + widthBefore, fy, 40, 1, 0, 20.0, 0, 0);
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
    bool num = isNumericMode;
    if (!num && widthAfter <= 243) {
        if (scrolled) {
            scrolled = false;
            drawField();
        } else {
            fillRect(50 + widthAfter, 15, 50 + widthBefore + 2, 50, kWhite);
            cursorX = 50 + widthAfter;
        }
    } else if (num && widthAfter < 200) {
        if (scrolled) {
            scrolled = false;
            drawField();
        } else {
            fillRect(55 + widthAfter, 13, 55 + widthBefore + 2, 48, kWhite);
            cursorX = 55 + widthAfter;
        }
    } else {
        drawField();
    }
    drawCursor(cursorX, true);
}

void Keyboard::cap_onTouch() {
    isCap = !isCap;
    kbCapChanged = true;
    if (!isCap) {
        fillRect(68, 209, 110, 237, kFunction);
        drawTextKey(L"CAP", 68, 214, 42, 1, 0, 20.0, kWhite, 1);
    }
    if (mode == 1) drawKeyboard();
    kbCapChanged = false;
}

void Keyboard::spl_onTouch() {
    if (mode == 1) {
        keyboardMode(3);
    } else if (mode == 3) {
        keyboardMode(1);
    }
    fillRect(kToggle.x0, 209, kToggle.x1, 237, kFunction);
    drawTextKey(isSplMode ? L"abc" : L"#@%", kToggle.x0, 214, kToggle.x1 - kToggle.x0, 1, 0, 20.0, kWhite, 1);
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
    static const int lefts[4] = {3, 3, 17, 34};
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
            if (row >= 0 && row < 4) {
                int k = (x - lefts[row]) / 31;
                if (k >= 0 && k < kRowKeys[row]) {
                    if (greyed(row, k)) return;
                    wchar_t c = keyChar(row, k);
                    keyIndex = k;
                    keyX0 = lefts[row] + 31 * k;
                    keyX1 = keyX0 + 28;
                    keyY0 = rowBounds[10 + 2 * row];
                    keyY1 = rowBounds[11 + 2 * row];
                    int normal = row == 0 && mode == 1 ? kDigitRow : kKey;
                    wchar_t one[2] = {c, 0};
                    // Pressed: the key darker and the character shown above it.
                    touchpress::showPress(
                        [&] {
                            fillRect(keyX0, keyY0, keyX1, keyY1, row == 0 && mode == 1 ? kDigitPressed : kKeyPressed);
                            fillRect(keyX0, 55, keyX0 + 28, 83, kFunction);
                            drawTextKey(one, keyX0, 59, 28, 1, 0, 20.0, 0, 1);
                        },
                        [&] {
                            fillRect(keyX0, 55, keyX0 + 28, 83, 0);
                            fillRect(keyX0, keyY0, keyX1, keyY1, normal);
                            drawTextKey(one, keyX0, keyY0 + 5, 28, 1, 0, 20.0, kWhite, 1);
                        });
                    appendChar(c);
                }
            } else if (row == 4) {
                const Range* keys[5] = {&kToggle, &kCap, &kSpace, &kDel, &kDone};
                for (int f = 0; f < 5; ++f) {
                    if (x < keys[f]->x0 || x > keys[f]->x1) continue;
                    touchpress::showPress([&] { fillRect(keys[f]->x0, 209, keys[f]->x1, 237, kFunctionPressed); },
                                          [&] { fillRect(keys[f]->x0, 209, keys[f]->x1, 237, kFunction); });
                    static const wchar_t* labels[5] = {L"#@%", L"CAP", L"Space", L"DEL", L"Done"};
                    const wchar_t* label = f == 0 && isSplMode ? L"abc" : labels[f];
                    drawTextKey(label, keys[f]->x0, 214, keys[f]->x1 - keys[f]->x0, 1, 0, 20.0, kWhite, 1);
                    switch (f) {
                        case 0:
                            spl_onTouch();
                            break;
                        case 1:
                            cap_onTouch();
                            break;
                        case 2:
                            appendChar(L' ');
                            break;
                        case 3:
                            deleteChar();
                            break;
                        default:
                            doneOnTouch();
                            break;
                    }
                    break;
                }
            } else if (x >= 6 && x <= 39 && y >= 16 && y <= 49) {
                touchpress::showPicturePress(pictures, 6, 15, 1, 0);
                keyboardBack_onTouch();
            }
        } else {
            if (x >= 11 && x <= 44 && y >= 14 && y <= 47) {
                touchpress::showPicturePress(pictures, 11, 13, 1, 0);
                keyboardBack_onTouch();
            } else if (x >= 51 && x <= 273) {
                for (int r = 0; r < 5; ++r) {
                    if (y < kNum[r].y0 || y > kNum[r].y1) continue;
                    // x <= 273 keeps k within the row's three keys.
                    int k = r == 4 ? 0 : (x - 50) / 77;
                    const wchar_t* label = kNum[r].labels[k];
                    if (r == 3 && k == 2 && !isIPAddrMode) return;
                    int kx0 = r == 4 ? 50 : 50 + 77 * k, kx1 = r == 4 ? 274 : kx0 + 70;
                    // Pressed: the key darker and a pixel larger on every side.
                    touchpress::showPress(
                        [&] {
                            fillRect(kx0, kNum[r].y0 - 1, kx1, kNum[r].y1 + 1, kKeyPressed);
                            drawTextKey(label, kx0, kNum[r].y0 + 6, kx1 - kx0, 1, 0, 20.0, kWhite, 1);
                        },
                        [&] {
                            fillRect(kx0, kNum[r].y0 - 1, kx1, kNum[r].y1 + 1, 0);
                            fillRect(kx0, kNum[r].y0, kx1, kNum[r].y1, kKey);
                            drawTextKey(label, kx0, kNum[r].y0 + 6, kx1 - kx0, 1, 0, 20.0, kWhite, 1);
                        });
                    if (r == 4)
                        doneOnTouch();
                    else if (r == 3 && k == 0)
                        deleteChar();
                    else
                        appendChar(label[0]);
                    break;
                }
            }
        }
        if (!shown) break;
        x = readX();
        y = readY();
        hbase::sleepMs(20);
    }
}
