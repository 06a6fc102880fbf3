// Bounded text copies into fixed fields.
#pragma once

#include <cstddef>
#include <cstring>

// Copies at most dstSize - 1 characters of src (read at most srcMax bytes)
// and always terminates.
inline void copyText(char* dst, size_t dstSize, const char* src, size_t srcMax = (size_t)-1) {
    if (dstSize == 0) return;
    size_t limit = srcMax < dstSize - 1 ? srcMax : dstSize - 1;
    size_t n = src ? strnlen(src, limit) : 0;
    if (n) memcpy(dst, src, n);
    dst[n] = '\0';
}
