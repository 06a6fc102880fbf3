/**
 * @file
 * Wide-character text formatting and UTF-8 conversion for the LCD's
 * 32-bit text requests.
 */
#pragma once
#include <stddef.h>
#include <wchar.h>

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// Formats into `out`. Conversions: %c %hc %lc %d %hd %ld %u %hu %lu %x %X %hx
/// %lx %s %hs %ls %f %hf %lf %%; no widths or precisions (such a conversion
/// produces nothing); floating point with two decimals, hexadecimal in lower
/// case. `out` holds size + 1 characters and the result must fit in `size`.
/// Returns 0.
int aswprintf(wchar_t* out, int size, wchar_t* format, ...);

/// Characters of the wide `text` before its terminator (0 for null): the C++
/// twin of textLen(char*); liblcddraw has its own C-linkage
/// textLen(const wchar_t*).
int textLen(wchar_t* text);

/// Writes `value` in decimal into `out` (12 bytes hold any); returns `out`.
char* itoa(int value, char* out);
/// Writes `value` in decimal into `out` (11 bytes); returns `out`.
char* uitoa(unsigned value, char* out);
/// Writes `value` with two decimals into `out` (32 bytes, longer output is
/// cut); returns `out`.
char* dtoa(double value, char* out);
/// Writes `value` in lower-case hexadecimal without prefix into `out` (9
/// bytes); returns `out`.
char* utoxa(unsigned value, char* out);

/// Flags of the UTF-8 conversions.
enum {
    UTF8_IGNORE_ERROR = 1,  ///< skip offending bytes instead of failing
    UTF8_SKIP_BOM = 2,      ///< drop U+FEFF
};

/// Decodes `inBytes` of UTF-8 (sequences of 1 to 6 bytes) into `out` (room for
/// `outChars`, no terminator added). Characters produced; 0 on an error or
/// when `out` runs short. A null `out` only counts.
size_t utf8_to_wchar(const char* in, size_t inBytes, wchar_t* out, size_t outChars, int flags);
/// Encodes `inChars` wide characters as UTF-8 into `out` (room for
/// `outBytes`, no terminator added). Bytes produced; 0 on an error or when
/// `out` runs short. A null `out` only counts.
size_t wchar_to_utf8(const wchar_t* in, size_t inChars, char* out, size_t outBytes, int flags);

#pragma GCC visibility pop
