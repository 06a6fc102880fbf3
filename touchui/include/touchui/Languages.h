/**
 * @file
 * Translated screen texts: "/halvix/%s.xml" with the language code, line-oriented
 * mark-up, UTF-8.
 * A section opens and closes with a line holding its tag ("<modal>",
 * "</modal>"); an entry is a key's tags around its text, on one line or
 * across several.
 */
#pragma once
#include <wchar.h>

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// The current language's text file and lookups in it. Lookups return a
/// process-wide buffer that the next lookup overwrites: copy the text to keep
/// it. UI thread only.
class Languages {
public:
    /// Reads the current language (refresh()).
    Languages();
    /// Reads the setting "Language" and forms the file's path; a code other
    /// than letters, digits, '_' and '-' (or too long) reads as "".
    void refresh();
    /// The text of `key` in `section` of the current language's file, as
    /// getvalue().
    wchar_t* get(char* key, char* section);
    /// The text of `key` in `section` of `file` (lines up to 254 bytes),
    /// "<NOTAF>" when missing, null when the file cannot be opened.
    wchar_t* getvalue(char* file, char* key, char* section);

    char code[32];  ///< the language code, e.g. "en"
    char path[64];  ///< "/halvix/%s.xml" with the code filled in
};

/// The text of key in section of file (UTF-8 decoded, lines up to 1023
/// bytes), "<NOTAF>" when missing, null when the file cannot be opened.
/// Shared buffer: the next lookup overwrites it.
wchar_t* getLangvalue(char* file, char* key, char* section);

#pragma GCC visibility pop
