// Translated screen texts: /halvix/<code>.xml, line-oriented mark-up, UTF-8.
#pragma once
#include <wchar.h>

class Languages {
public:
    Languages();
    // Reads the setting "Language" and forms the file's path.
    void refresh();
    wchar_t* get(char* key, char* section);
    wchar_t* getvalue(char* file, char* key, char* section);

    char code[32];
    char path[64];
};

// The text of key in section of file (UTF-8 decoded), "<NOTAF>" when missing,
// null when the file cannot be opened. Shared buffer: the next lookup
// overwrites it.
wchar_t* getLangvalue(char* file, char* key, char* section);
