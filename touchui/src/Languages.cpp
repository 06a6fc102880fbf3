// Languages: lookups in the line-oriented language files.
#include "touchui/Languages.h"

#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "touchui/Memory.h"
#include "touchui/TextFormat.h"

namespace {

// The result the lookups return (their callers keep the pointer): 255
// characters and the terminator. What a lookup reads and decodes on its way
// is on the heap, not beside it in every process's static memory.
wchar_t g_wide[256];

constexpr size_t kTextSize = 4096;  // the found text, UTF-8, with its terminator

// Appends src to the found text, never past its end.
void add(std::vector<char>& text, size_t& len, const char* src, size_t n) {
    if (len >= kTextSize - 1) return;
    if (n > kTextSize - 1 - len) n = kTextSize - 1 - len;
    memcpy(text.data() + len, src, n);
    len += n;
    text[len] = 0;
}

wchar_t* lookup(const char* file, const char* key, const char* section, size_t lineSize) {
    FILE* f = fopen(file ? file : "", "r");
    if (!f) {
        int e = errno;
        printf("%s: file cannot be opened\n", file ? file : "(null)");
        printf("%s\n", strerror(e));
        return nullptr;
    }
    char open[128], close[128], kopen[128], kclose[128];
    snprintf(open, sizeof open, "<%s>", section ? section : "");
    snprintf(close, sizeof close, "</%s>", section ? section : "");
    snprintf(kopen, sizeof kopen, "<%s>", key ? key : "");
    snprintf(kclose, sizeof kclose, "</%s>", key ? key : "");
    char* line = (char*)malloc(lineSize);
    size_t len = 0;
    std::vector<char> text(kTextSize, 0);
    bool inSection = false;
    while (line && fgets(line, (int)lineSize, f)) {
        if (!inSection) {
            if (strstr(line, open)) inSection = true;
            continue;
        }
        if (strstr(line, close)) break;
        char* k = strstr(line, kopen);
        if (!k) continue;
        char* start = k + strlen(kopen);
        char* end = strstr(start, kclose);
        if (end) {
            add(text, len, start, end - start);
            break;
        }
        add(text, len, start, strlen(start));
        // Continued on later lines up to the one holding the closing tag;
        // an entry never closed ends with the file.
        bool closed = false;
        while (fgets(line, (int)lineSize, f)) {
            char* e = strstr(line, kclose);
            if (e) {
                add(text, len, line, e - line);
                closed = true;
                break;
            }
            add(text, len, line, strlen(line));
        }
        (void)closed;
        break;
    }
    free(line);
    fclose(f);
    if (!text[0]) strcpy(text.data(), "<NOTAF>");
    // Decoded whole, then cut to the 255 characters of the result.
    std::vector<wchar_t> all(kTextSize);
    size_t n = utf8_to_wchar(text.data(), strlen(text.data()), all.data(), kTextSize, UTF8_IGNORE_ERROR);
    if (n > 255) n = 255;
    wmemcpy(g_wide, all.data(), n);
    g_wide[n < 255 ? n : 255] = 0;
    return g_wide;
}

}  // namespace

Languages::Languages() {
    code[0] = 0;
    path[0] = 0;
    refresh();
}

void Languages::refresh() {
    char value[1024] = {0};
    Memory().getSetting((char*)"Language", value);
    // A code is a short name: anything else would point outside /halvix.
    size_t n = 0;
    while (value[n] && n < sizeof code - 1 && (isalnum((unsigned char)value[n]) || value[n] == '_' || value[n] == '-'))
        ++n;
    // Only a whole valid code counts: "en/../x" or an overlong one reads as empty.
    if (value[n]) n = 0;
    memcpy(code, value, n);
    code[n] = 0;
    snprintf(path, sizeof path, "/halvix/%s.xml", code);
}

wchar_t* Languages::get(char* key, char* section) { return getvalue(path, key, section); }

wchar_t* Languages::getvalue(char* file, char* key, char* section) { return lookup(file, key, section, 255); }

wchar_t* getLangvalue(char* file, char* key, char* section) { return lookup(file, key, section, 1024); }
