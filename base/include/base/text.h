// Bounded text copies into fixed fields.
#pragma once

#include <cstddef>
#include <cstring>

namespace hbase {

// Copies at most dstSize - 1 characters of src (reading at most srcMax
// bytes) and always terminates; a null source copies as empty.
inline void copyText(char* dst, size_t dstSize, const char* src, size_t srcMax = (size_t)-1) {
    if (dstSize == 0) return;
    size_t limit = srcMax < dstSize - 1 ? srcMax : dstSize - 1;
    size_t n = src ? strnlen(src, limit) : 0;
    // memcpy never gets a null source, even for no bytes: that is undefined.
    if (n) memcpy(dst, src, n);
    dst[n] = '\0';
}

template <size_t N>
inline void copyText(char (&dst)[N], const char* src) {
    static_assert(N > 0, "room for the terminator");
    copyText(dst, N, src);
}

}  // namespace hbase
