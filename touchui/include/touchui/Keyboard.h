/**
 * @file
 * The on-screen keyboard: edits a stored setting in place or text for the
 * application (copy mode). Layouts: letters, special characters, numeric pad
 * and its IPv4 variant.
 */
#pragma once
#include <wchar.h>

#include "ImagePNG.h"
#include "touchui/Memory.h"

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/**
 * The on-screen keyboard that every Screen embeds. While shown it owns the
 * panel and the touches: Screen::getTouch() passes each touch to getTouch(),
 * which runs the keyboard's loop until it closes. It edits at most 179
 * characters, checks the length limits, IPv4 syntax (mode 7) and the
 * application's validation function, and reports problems with info modals
 * whose texts come from the language file (section "modal"). Runs on the UI
 * thread.
 */
class Keyboard {
public:
    /// A closed keyboard in the letter layout; loads its two pictures.
    Keyboard();
    /// A fresh keyboard (only the picture object is built; nothing is copied).
    Keyboard(const Keyboard&);
    /// Closes the keyboard (unDraw(), which calls the close handler).
    virtual ~Keyboard();

    /// Opens the keyboard on nvram setting `setting` (section 1): Done saves
    /// the edited text under that name (when ::saveMode is on).
    void draw(char* setting);
    /// As draw(), in the second settings section ("rtdev").
    void drawRtdev(char* setting);
    /// Opens the keyboard on the text `initial` for the application (copy
    /// mode): the result goes to `result`, which holds 180 wide characters
    /// (its first 180 bytes are cleared here) and must stay valid until the
    /// keyboard closes.
    void drawText(char* initial, wchar_t* result);
    /// The layout: 1 letters; 3, 4 special; 0, 2, 5 numeric; 7 IPv4; others
    /// letters. Kept from one opening to the next.
    void keyboardMode(int mode);
    /// The keyboard's loop: runs while it is shown, starting with the touch
    /// at (x, y) and reading further touches itself.
    void getTouch(int x, int y);
    /// Clears the panel, closes the keyboard and calls the close handler.
    void unDraw();
    /// Draws the key rows of the letter or special layout.
    void drawKeyboard();
    /// Draws the keyboard's frame: text field, back button and function keys.
    void drawBase();
    /// Draws the numeric pad with its text field.
    void drawNumKeyboard();
    /// Appends one character and redraws the field (scrolling when the text
    /// is wider than it); a full text (179 characters) shows the too-long
    /// modal instead.
    void appendChar(wchar_t c);
    /// Removes the last character (not below the skipped prefix).
    void deleteChar();
    /// Draws (on) or erases the cursor at `x`.
    void drawCursor(int x, bool on);
    /// "Done": checks the text, then saves it (setting mode) or hands it to
    /// the result (copy mode) and closes; stays open when a check fails.
    void doneOnTouch();
    /// "CAP": toggles capital letters.
    void cap_onTouch();
    /// The layout key: switches between letters and special characters.
    void spl_onTouch();
    /// The back button: closes without saving (copy mode with ::saveMode off
    /// returns the original text).
    void keyboardBack_onTouch();
    /// Prints a line only (kept for the applications).
    void leftShift_onTouch();
    /// Prints a line only (kept for the applications).
    void rightShift_onTouch();

    bool shown;                 ///< on screen and owning the touches
    bool copyMode;              ///< opened by drawText()
    void (*closeHandler)();     ///< called every time the keyboard closes; set it before opening
    int maxLength;              ///< longest allowed text in characters (0 or below: no limit)
    int minLength;              ///< shortest allowed text (0 or below: no limit)
    int skipPrefix;             ///< leading characters neither counted nor shown
    wchar_t* resultTarget;      ///< where the text goes in copy mode
    char value[180];            ///< the text as narrow characters, as read and saved
    char settingName[180];      ///< the edited setting's name (copy mode: the initial text)
    wchar_t originalText[180];  ///< the text when the keyboard opened
    wchar_t text[180];          ///< the text being edited
    wchar_t scratch[180];       ///< one key label or modal line being formatted
    ///@{
    /** Drawing state: the key being pressed and its rectangle, text widths
     * before and after an edit, cursor position and blink counter. */
    int keyIndex, keyX0, keyY0, keyX1, keyY1, widthBefore, widthAfter, cursorX, cursorY, blink;
    ///@}
    int rowBounds[20];  ///< left and right x of rows 0 to 4, then top and bottom y of rows 0 to 4
    Memory memory;      ///< settings access
    int mode;           ///< the layout (keyboardMode()); default 1
    bool copyBack;      ///< in copy mode, write the result to resultTarget
    bool scrolled;      ///< the text is wider than the field and shown from a later character
    bool cursorOn;      ///< the cursor is drawn
    ImagePNG pictures;  ///< the back button's pictures (normal, pressed)
    bool secondStore;   ///< the setting lives in the second section (drawRtdev())

private:
    void open();
    void redraw();
    void infoModal(const char* l1, const char* l2, int number, const char* l3);
    void drawField();
    const wchar_t* visible();
};

///@{
/** Process-wide keyboard state: capital letters; redraw only the letter
 * rows; special layout; numeric pad; IPv4 variant (all initially false); and
 * ::saveMode, initially true: Done saves the setting. With it off, one copy
 * mode opening hands the text to the application instead (a successful Done
 * switches it back on, the back button does not). */
extern bool isCap, kbCapChanged, isSplMode, isNumericMode, isIPAddrMode, saveMode;
///@}
/// The application's check of the text on Done (initially none): false keeps
/// the keyboard open (the function shows its own message).
extern bool (*keyboardValidation)(wchar_t*);

/// Sets ::saveMode.
void keyBoardSaveMode(bool on);
/// Sets ::keyboardValidation (null: none).
void setKeyboardValidationFunction(bool (*fn)(wchar_t*));
/// Characters of the narrow `text` before its terminator (the wide form is in
/// liblcddraw). "Board" in keyBoardSaveMode() and the lower-case forms here
/// are the exported spellings.
int textLen(char* text);
/// drawText() of liblcddraw with the font size given as a double (narrowed to
/// float).
int drawTextKey(const wchar_t* text, int x, int y, int width, int lineMode, int flagsA, double fontSize, int colour,
                int flagsB);
/// Draws the key labels of the current layout.
void printText();

#pragma GCC visibility pop
