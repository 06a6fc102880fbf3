/**
 * @file
 * Where every key of the on-screen keyboard lies: the letter rows with their
 * characters, the function keys, the numeric pad and the back buttons. The
 * keyboard draws and hit-tests from this table; an application that scripts
 * touches (a demo, a test) can aim at a key with it. Header only: data and
 * functions of internal linkage, nothing for the library to export.
 * Coordinates are panel pixels, x 0-319 from the left, y 0-239 from the top.
 */
#pragma once
#include <wchar.h>

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

namespace kblayout {

/// A rectangle, corners inclusive.
struct Box {
    int x0;  ///< left edge
    int y0;  ///< top edge
    int x1;  ///< right edge
    int y1;  ///< bottom edge
};

/// True when (x, y) lies in b.
static constexpr bool inside(const Box& b, int x, int y) { return x >= b.x0 && x <= b.x1 && y >= b.y0 && y <= b.y1; }
/// The middle column of b.
static constexpr int centreX(const Box& b) { return (b.x0 + b.x1) / 2; }
/// The middle row of b.
static constexpr int centreY(const Box& b) { return (b.y0 + b.y1) / 2; }

/// Letter layouts: rows 0 to 3 hold character keys, 28 pixels wide on a
/// 31-pixel pitch from the row's left x; row 4 holds the function keys.
///@{
constexpr int kKeyWidth = 28, kKeyPitch = 31, kLetterRows = 4;
///@}
/// A key's label sits this far below its top.
constexpr int kKeyLabelDy = 5;

/// One row of the letter layouts.
struct LetterRow {
    Box bounds;           ///< touches outside it miss the row
    int keys;             ///< character keys in the row (0 for the function row)
    const char* lower;    ///< the row's characters in the small letters layout
    const char* upper;    ///< the same in the capitals layout
    const char* special;  ///< the special layout; its first and last keys of rows 1 to 3 are greyed
};

/// The five rows, top to bottom.
constexpr LetterRow kRows[5] = {
    {{3, 85, 313, 113}, 10, "1234567890", "1234567890", "`~!@#$%^&*"},
    {{3, 116, 313, 144}, 10, "qwertyuiop", "QWERTYUIOP", " ()+=-_\\/ "},
    {{17, 147, 296, 175}, 9, "asdfghjkl", "ASDFGHJKL", " {}[];:? "},
    {{34, 178, 282, 206}, 8, "zxcvbnm.", "ZXCVBNM.", " <>'|\", "},
    {{6, 209, 316, 237}, 5, "", "", ""},
};

/// The key of a character row under x (within the row's bounds), or -1.
static constexpr int letterKeyAt(int row, int x) {
    int k = (x - kRows[row].bounds.x0) / kKeyPitch;
    return k >= 0 && k < kRows[row].keys ? k : -1;
}

/// Where key `key` of character row `row` is drawn and reacts.
static constexpr Box letterKey(int row, int key) {
    int x = kRows[row].bounds.x0 + kKeyPitch * key;
    return {x, kRows[row].bounds.y0, x + kKeyWidth, kRows[row].bounds.y1};
}

/// True for the keys drawn greyed (and typing nothing) in the special layout.
static constexpr bool greyedInSpecial(int row, int key) {
    return row >= 1 && row < kLetterRows && (key == 0 || key == kRows[row].keys - 1);
}

/// The character a key types in the given layout.
static constexpr wchar_t letterChar(int row, int key, bool special, bool capitals) {
    const char* chars = special ? kRows[row].special : capitals ? kRows[row].upper : kRows[row].lower;
    return (wchar_t)(unsigned char)chars[key];
}

/// A key by its row and its place in the row.
struct KeyAt {
    int row;  ///< the row; -1 when there is no such key
    int key;  ///< the key's place in its row, from 0 at the left
};
/// The key that types c in the letter layout (either case); row -1: none.
static constexpr KeyAt letterKeyOf(char c) {
    for (int r = 0; r < kLetterRows; ++r)
        for (int k = 0; k < kRows[r].keys; ++k)
            if (kRows[r].lower[k] == c || kRows[r].upper[k] == c) return {r, k};
    return {-1, -1};
}

/// The enlarged character shown above a pressed key, and its text's y.
///@{
constexpr int kPreviewY0 = 55, kPreviewY1 = 83, kPreviewTextY = 59;
///@}

/// The function keys of row 4, left to right; kFunctionKeys counts them.
enum FunctionKey { kToggle, kCap, kSpace, kDel, kDone, kFunctionKeys };
/// A function key: it reacts over `touch` and is drawn over `drawn` (CAP and
/// Space overlap where they react).
struct Function {
    Box touch;             ///< where a touch selects it
    Box drawn;             ///< where it is drawn
    const wchar_t* label;  ///< its label in the letter layouts
};
/// The y of the function keys' labels.
constexpr int kFunctionLabelY = 214;
/// The function keys, in FunctionKey order.
constexpr Function kFunctions[kFunctionKeys] = {
    {{6, 209, 65, 237}, {6, 209, 65, 237}, L"#@%"},         {{68, 209, 113, 237}, {68, 209, 110, 237}, L"CAP"},
    {{113, 209, 206, 237}, {116, 209, 206, 237}, L"Space"}, {{209, 209, 251, 237}, {209, 209, 251, 237}, L"DEL"},
    {{254, 209, 316, 237}, {254, 209, 316, 237}, L"Done"},
};
/// The toggle's label in the special layout.
constexpr const wchar_t* kToggleLetters = L"abc";

/// The first function key reacting at x, or kFunctionKeys.
static constexpr int functionKeyAt(int x) {
    for (int f = 0; f < kFunctionKeys; ++f)
        if (x >= kFunctions[f].touch.x0 && x <= kFunctions[f].touch.x1) return f;
    return kFunctionKeys;
}

/// The numeric pad: three keys a row, 70 pixels wide on a 77-pixel pitch,
/// and "Done" across the whole last row.
///@{
constexpr int kNumLeft = 50, kNumPitch = 77, kNumKeyWidth = 70, kNumRight = 274, kNumRows = 5;
///@}
/// Touches count within x kNumTouchX0 to kNumTouchX1; labels sit kNumLabelDy
/// below a key's top.
///@{
constexpr int kNumTouchX0 = 51, kNumTouchX1 = 273, kNumLabelDy = 6;
///@}
/// The places of "DEL" and "." in their row.
enum { kNumDelKey = 0, kNumDotKey = 2 };
/// The rows of "DEL" and of "Done".
///@{
constexpr int kNumDelRow = 3, kNumDoneRow = 4;
///@}
/// One row of the numeric pad.
struct NumRow {
    int y0;                    ///< top edge
    int y1;                    ///< bottom edge
    const wchar_t* labels[3];  ///< the keys' labels, left to right ("" for none)
};
/// The pad's rows, top to bottom.
constexpr NumRow kNum[kNumRows] = {{56, 84, {L"1", L"2", L"3"}},
                                   {93, 121, {L"4", L"5", L"6"}},
                                   {130, 158, {L"7", L"8", L"9"}},
                                   {167, 195, {L"DEL", L"0", L"."}},
                                   {204, 232, {L"Done", L"", L""}}};

/// The pad row reacting at y, or -1.
static constexpr int numRowAt(int y) {
    for (int r = 0; r < kNumRows; ++r)
        if (y >= kNum[r].y0 && y <= kNum[r].y1) return r;
    return -1;
}

/// The key of a pad row under x (x within the pad's touch range).
static constexpr int numKeyAt(int row, int x) { return row == kNumDoneRow ? 0 : (x - kNumLeft) / kNumPitch; }

/// Where key `key` of pad row `row` is drawn and reacts.
static constexpr Box numKey(int row, int key) {
    if (row == kNumDoneRow) return {kNumLeft, kNum[row].y0, kNumRight, kNum[row].y1};
    int x = kNumLeft + kNumPitch * key;
    return {x, kNum[row].y0, x + kNumKeyWidth, kNum[row].y1};
}

/// The key whose label is `label` ("DEL", "Done" or one character); row -1: none.
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

/// The text field of a layout.
struct TextField {
    Box box;    ///< the white box
    int x;      ///< where the text starts
    int y;      ///< the text's top
    int limit;  ///< the text width past which it scrolls
};
/// The letter layouts' field.
constexpr TextField kLetterField = {{45, 15, 313, 50}, 50, 24, 244};
/// The numeric pad's field.
constexpr TextField kNumField = {{50, 13, 274, 48}, 55, 22, 200};

/// A back button.
struct Back {
    int pictureX;  ///< where its picture is drawn: left
    int pictureY;  ///< and top
    Box touch;     ///< where it reacts
};
/// The letter layouts' back button.
constexpr Back kLetterBack = {6, 15, {6, 16, 39, 49}};
/// The numeric pad's back button.
constexpr Back kNumBack = {11, 13, {11, 14, 44, 47}};

}  // namespace kblayout

#pragma GCC visibility pop
