// Where every key of the on-screen keyboard lies: the letter rows with their
// characters, the function keys, the numeric pad and the back buttons. The
// keyboard draws and hit-tests from this table; an application that scripts
// touches (a demo, a test) can aim at a key with it. Header only: data and
// functions of internal linkage, nothing for the library to export.
#pragma once
#include <wchar.h>

namespace kblayout {

// A rectangle, corners inclusive.
struct Box {
    int x0, y0, x1, y1;
};

static constexpr bool inside(const Box& b, int x, int y) { return x >= b.x0 && x <= b.x1 && y >= b.y0 && y <= b.y1; }
static constexpr int centreX(const Box& b) { return (b.x0 + b.x1) / 2; }
static constexpr int centreY(const Box& b) { return (b.y0 + b.y1) / 2; }

// Letter layouts: rows 0 to 3 hold character keys, 28 pixels wide on a
// 31-pixel pitch from the row's left x; row 4 holds the function keys.
constexpr int kKeyWidth = 28, kKeyPitch = 31, kLetterRows = 4;
// A key's label sits this far below its top.
constexpr int kKeyLabelDy = 5;

struct LetterRow {
    Box bounds;  // touches outside it miss the row
    int keys;
    const char* lower;
    const char* upper;
    // The special layout; its first and last keys of rows 1 to 3 are greyed.
    const char* special;
};

constexpr LetterRow kRows[5] = {
    {{3, 85, 313, 113}, 10, "1234567890", "1234567890", "`~!@#$%^&*"},
    {{3, 116, 313, 144}, 10, "qwertyuiop", "QWERTYUIOP", " ()+=-_\\/ "},
    {{17, 147, 296, 175}, 9, "asdfghjkl", "ASDFGHJKL", " {}[];:? "},
    {{34, 178, 282, 206}, 8, "zxcvbnm.", "ZXCVBNM.", " <>'|\", "},
    {{6, 209, 316, 237}, 5, "", "", ""},
};

// The key of a character row under x (within the row's bounds), or -1.
static constexpr int letterKeyAt(int row, int x) {
    int k = (x - kRows[row].bounds.x0) / kKeyPitch;
    return k >= 0 && k < kRows[row].keys ? k : -1;
}

static constexpr Box letterKey(int row, int key) {
    int x = kRows[row].bounds.x0 + kKeyPitch * key;
    return {x, kRows[row].bounds.y0, x + kKeyWidth, kRows[row].bounds.y1};
}

static constexpr bool greyedInSpecial(int row, int key) {
    return row >= 1 && row < kLetterRows && (key == 0 || key == kRows[row].keys - 1);
}

static constexpr wchar_t letterChar(int row, int key, bool special, bool capitals) {
    const char* chars = special ? kRows[row].special : capitals ? kRows[row].upper : kRows[row].lower;
    return (wchar_t)(unsigned char)chars[key];
}

// The key that types c in the letter layout (either case); row -1: none.
struct KeyAt {
    int row, key;
};
static constexpr KeyAt letterKeyOf(char c) {
    for (int r = 0; r < kLetterRows; ++r)
        for (int k = 0; k < kRows[r].keys; ++k)
            if (kRows[r].lower[k] == c || kRows[r].upper[k] == c) return {r, k};
    return {-1, -1};
}

// The enlarged character shown above a pressed key, and its text's y.
constexpr int kPreviewY0 = 55, kPreviewY1 = 83, kPreviewTextY = 59;

// Row 4. A function key reacts over `touch` and is drawn over `drawn`
// (CAP and Space overlap where they react).
enum FunctionKey { kToggle, kCap, kSpace, kDel, kDone, kFunctionKeys };
struct Function {
    Box touch;
    Box drawn;
    const wchar_t* label;
};
constexpr int kFunctionLabelY = 214;
constexpr Function kFunctions[kFunctionKeys] = {
    {{6, 209, 65, 237}, {6, 209, 65, 237}, L"#@%"},         {{68, 209, 113, 237}, {68, 209, 110, 237}, L"CAP"},
    {{113, 209, 206, 237}, {116, 209, 206, 237}, L"Space"}, {{209, 209, 251, 237}, {209, 209, 251, 237}, L"DEL"},
    {{254, 209, 316, 237}, {254, 209, 316, 237}, L"Done"},
};
// The toggle's label in the special layout.
constexpr const wchar_t* kToggleLetters = L"abc";

// The first function key reacting at x, or kFunctionKeys.
static constexpr int functionKeyAt(int x) {
    for (int f = 0; f < kFunctionKeys; ++f)
        if (x >= kFunctions[f].touch.x0 && x <= kFunctions[f].touch.x1) return f;
    return kFunctionKeys;
}

// The numeric pad: three keys a row, 70 pixels wide on a 77-pixel pitch,
// and "Done" across the whole last row. Touches count within x 51-273.
constexpr int kNumLeft = 50, kNumPitch = 77, kNumKeyWidth = 70, kNumRight = 274, kNumRows = 5;
constexpr int kNumTouchX0 = 51, kNumTouchX1 = 273, kNumLabelDy = 6;
enum { kNumDelKey = 0, kNumDotKey = 2 };
constexpr int kNumDelRow = 3, kNumDoneRow = 4;
struct NumRow {
    int y0, y1;
    const wchar_t* labels[3];
};
constexpr NumRow kNum[kNumRows] = {{56, 84, {L"1", L"2", L"3"}},
                                   {93, 121, {L"4", L"5", L"6"}},
                                   {130, 158, {L"7", L"8", L"9"}},
                                   {167, 195, {L"DEL", L"0", L"."}},
                                   {204, 232, {L"Done", L"", L""}}};

// The pad row reacting at y, or -1.
static constexpr int numRowAt(int y) {
    for (int r = 0; r < kNumRows; ++r)
        if (y >= kNum[r].y0 && y <= kNum[r].y1) return r;
    return -1;
}

// The key of a pad row under x (x within the pad's touch range).
static constexpr int numKeyAt(int row, int x) { return row == kNumDoneRow ? 0 : (x - kNumLeft) / kNumPitch; }

static constexpr Box numKey(int row, int key) {
    if (row == kNumDoneRow) return {kNumLeft, kNum[row].y0, kNumRight, kNum[row].y1};
    int x = kNumLeft + kNumPitch * key;
    return {x, kNum[row].y0, x + kNumKeyWidth, kNum[row].y1};
}

// The key whose label is `label` ("DEL", "Done" or one character); row -1: none.
static constexpr KeyAt numKeyOf(const wchar_t* label) {
    for (int r = 0; r < kNumRows; ++r)
        for (int k = 0; k < 3; ++k) {
            const wchar_t* l = kNum[r].labels[k];
            int i = 0;
            while (l[i] && l[i] == label[i]) ++i;
            if (l[0] && l[i] == label[i]) return {r, k};
        }
    return {-1, -1};
}

// The text field of each layout: the white box, where the text starts, and
// the width past which it scrolls.
struct TextField {
    Box box;
    int x, y, limit;
};
constexpr TextField kLetterField = {{45, 15, 313, 50}, 50, 24, 244};
constexpr TextField kNumField = {{50, 13, 274, 48}, 55, 22, 200};

// The back button: where its picture is drawn and where it reacts.
struct Back {
    int pictureX, pictureY;
    Box touch;
};
constexpr Back kLetterBack = {6, 15, {6, 16, 39, 49}};
constexpr Back kNumBack = {11, 13, {11, 14, 44, 47}};

}  // namespace kblayout
