// Wide-character text formatting and UTF-8 conversion for the LCD's
// 32-bit text requests.
#pragma once
#include <stddef.h>
#include <wchar.h>

// Conversions: %c %hc %lc %d %hd %ld %u %hu %lu %x %X %hx %lx %s %hs %ls
// %f %hf %lf %%; no widths or precisions. out holds size + 1 characters.
int aswprintf(wchar_t* out, int size, wchar_t* format, ...);

char* itoa(int value, char* out);
char* uitoa(unsigned value, char* out);
char* dtoa(double value, char* out);
char* utoxa(unsigned value, char* out);

enum {
    UTF8_IGNORE_ERROR = 1,  // skip offending bytes instead of failing
    UTF8_SKIP_BOM = 2,      // drop U+FEFF
};

// Characters / bytes produced; 0 on an error or when out runs short. A null
// out only counts.
size_t utf8_to_wchar(const char* in, size_t inBytes, wchar_t* out, size_t outChars, int flags);
size_t wchar_to_utf8(const wchar_t* in, size_t inChars, char* out, size_t outBytes, int flags);
