// aswprintf, the number formatters and the UTF-8 conversions.
#include "touchui/TextFormat.h"

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

int textLen(wchar_t* text) {
    int n = 0;
    if (text)
        while (text[n]) ++n;
    return n;
}

char* itoa(int value, char* out) {
    sprintf(out, "%d", value);
    return out;
}
char* uitoa(unsigned value, char* out) {
    sprintf(out, "%u", value);
    return out;
}
char* dtoa(double value, char* out) {
    // Bounded: a huge value would otherwise need over 300 digits.
    snprintf(out, 32, "%.2f", value);
    return out;
}
char* utoxa(unsigned value, char* out) {
    sprintf(out, "%x", value);
    return out;
}

namespace {
// The lead byte of a sequence: the bits that give its length, and the rest
// the first bits of the value.
struct Lead {
    unsigned char mask, pattern;
    int len;
};
const Lead kLeads[] = {{0x80, 0x00, 1}, {0xE0, 0xC0, 2}, {0xF0, 0xE0, 3},
                       {0xF8, 0xF0, 4}, {0xFC, 0xF8, 5}, {0xFE, 0xFC, 6}};
}  // namespace

size_t utf8_to_wchar(const char* in, size_t inBytes, wchar_t* out, size_t outChars, int flags) {
    if (!in) return 0;
    const unsigned char* p = (const unsigned char*)in;
    const unsigned char* end = p + inBytes;
    size_t n = 0;
    while (p < end) {
        unsigned char c = *p;
        int len = -1;
        uint32_t v = 0;
        if (c != 0xC0 && c != 0xC1 && c != 0xF5 && c != 0xFF)
            for (const Lead& l : kLeads)
                if ((c & l.mask) == l.pattern) {
                    len = l.len;
                    v = c & (unsigned char)~l.mask;
                    break;
                }
        bool bad = len < 0 || (size_t)(end - p) < (size_t)len;
        for (int i = 1; !bad && i < len; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                bad = true;
            else
                v = (v << 6) | (p[i] & 0x3F);
        }
        if (!bad && v >= 0xD800 && v <= 0xDFFF) bad = true;
        if (bad) {
            if (!(flags & UTF8_IGNORE_ERROR)) return 0;
            ++p;
            continue;
        }
        p += len;
        if ((flags & UTF8_SKIP_BOM) && v == 0xFEFF) continue;
        if (out) {
            if (n >= outChars) return 0;
            out[n] = (wchar_t)v;
        }
        ++n;
    }
    return n;
}

size_t wchar_to_utf8(const wchar_t* in, size_t inChars, char* out, size_t outBytes, int flags) {
    if (!in) return 0;
    size_t n = 0;
    for (size_t i = 0; i < inChars; ++i) {
        uint32_t v = (uint32_t)in[i];
        if ((flags & UTF8_SKIP_BOM) && v == 0xFEFF) continue;
        if (v >= 0xD800 && v <= 0xDFFF) {
            if (!(flags & UTF8_IGNORE_ERROR)) return 0;
            continue;
        }
        int len = v < 0x80 ? 1 : v < 0x800 ? 2 : v < 0x10000 ? 3 : v < 0x200000 ? 4 : v < 0x4000000 ? 5 : 6;
        if (out) {
            // n never passes outBytes: it grows only after this check.
            if (outBytes - n < (size_t)len) return 0;
            unsigned char* o = (unsigned char*)out + n;
            if (len == 1) {
                o[0] = (unsigned char)v;
            } else {
                static const unsigned char lead[7] = {0, 0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
                for (int k = len - 1; k > 0; --k) {
                    o[k] = (unsigned char)(0x80 | (v & 0x3F));
                    v >>= 6;
                }
                o[0] = (unsigned char)(lead[len] | v);
            }
        }
        n += len;
    }
    return n;
}

namespace {

enum Kind { LITERAL, NCHAR, WCHAR, SINT, UINT, HEX, NSTR, WSTR, DBL, NONE };

struct Segment {
    Kind kind;
    wchar_t text[255];  // literal runs: at most 254 characters
};

// The conversion letters: what each produces, and with the "l" modifier.
struct Conversion {
    wchar_t letter;
    Kind kind, wide;
};
const Conversion kConversions[] = {{L'c', NCHAR, WCHAR}, {L'd', SINT, SINT}, {L'u', UINT, UINT}, {L'x', HEX, HEX},
                                   {L'X', HEX, HEX},     {L's', NSTR, WSTR}, {L'f', DBL, DBL}};

// Appends src to out without passing size characters.
void append(wchar_t* out, int size, const wchar_t* src) {
    int len = (int)wcslen(out);
    while (*src && len < size) out[len++] = *src++;
    out[len] = 0;
}

void appendNarrow(wchar_t* out, int size, const char* s, size_t maxBytes) {
    char buf[256];
    size_t n = strnlen(s, maxBytes < sizeof buf - 1 ? maxBytes : sizeof buf - 1);
    memcpy(buf, s, n);
    buf[n] = 0;
    wchar_t w[256];
    size_t k = mbstowcs(w, buf, 255);
    // Not valid in the locale (the C locale knows no UTF-8): the router's
    // texts are UTF-8; anything else is taken byte by byte as before.
    if (k == (size_t)-1 && n > 0) {
        k = utf8_to_wchar(buf, n, w, 255, 0);
        if (k == 0)
            for (; k < n; ++k) w[k] = (unsigned char)buf[k];
    }
    if (k == (size_t)-1) k = 0;
    w[k] = 0;
    append(out, size, w);
}

}  // namespace

int aswprintf(wchar_t* out, int size, wchar_t* format, ...) {
    if (!out || size < 0) return 0;
    // The whole format is read before anything is written, so that out may
    // hold the format itself; on the heap, one segment per piece, so that
    // calls from several threads never share it.
    std::vector<Segment> segs;
    int count = 0;
    const wchar_t* f = format ? format : L"";
    while (*f && count < 255) {
        segs.emplace_back();
        Segment& s = segs.back();
        s.text[0] = 0;
        if (*f != L'%') {
            int n = 0;
            while (*f && *f != L'%' && n < 254) s.text[n++] = *f++;
            s.text[n] = 0;
            s.kind = LITERAL;
            ++count;
            continue;
        }
        ++f;
        if (*f == L'%') {
            s.kind = LITERAL;
            s.text[0] = L'%';
            s.text[1] = 0;
            ++f;
            ++count;
            continue;
        }
        wchar_t mod = 0;
        if (*f == L'h' || *f == L'l') mod = *f++;
        wchar_t c = *f;
        if (c) ++f;
        s.kind = NONE;
        for (const Conversion& k : kConversions)
            if (c == k.letter) s.kind = mod == L'l' ? k.wide : k.kind;
        // An unrecognised letter: used up, nothing produced. With a modifier
        // the two characters are the modifier and the letter. A width or
        // precision: the whole conversion produces nothing.
        if (s.kind == NONE && c && wcschr(L"0123456789.-+ #", c)) {
            while (*f && wcschr(L"0123456789.-+ #", *f)) ++f;
            if (*f == L'h' || *f == L'l') ++f;
            if (*f) ++f;
        }
        ++count;
    }
    for (int i = 0; i <= size; ++i) out[i] = 0;
    va_list ap;
    va_start(ap, format);
    char num[64];
    for (int i = 0; i < count; ++i) {
        Segment& s = segs[i];
        switch (s.kind) {
            case LITERAL:
                append(out, size, s.text);
                break;
            case NCHAR: {
                char b[2] = {(char)va_arg(ap, int), 0};
                appendNarrow(out, size, b, 1);
                break;
            }
            case WCHAR: {
                wchar_t b[2] = {(wchar_t)va_arg(ap, int), 0};
                append(out, size, b);
                break;
            }
            case SINT:
                itoa(va_arg(ap, int), num);
                appendNarrow(out, size, num, 63);
                break;
            case UINT:
                uitoa(va_arg(ap, unsigned), num);
                appendNarrow(out, size, num, 63);
                break;
            case HEX:
                utoxa(va_arg(ap, unsigned), num);
                appendNarrow(out, size, num, 63);
                break;
            case NSTR: {
                const char* p = va_arg(ap, const char*);
                if (p) appendNarrow(out, size, p, 255);
                break;
            }
            case WSTR: {
                const wchar_t* p = va_arg(ap, const wchar_t*);
                if (p) append(out, size, p);
                break;
            }
            case DBL: {
                wchar_t w[64];
                dtoa(va_arg(ap, double), num);
                swprintf(w, 64, L"%s", num);
                append(out, size, w);
                break;
            }
            default:
                break;  // NONE
        }
    }
    va_end(ap);
    out[size] = 0;
    return 0;
}
