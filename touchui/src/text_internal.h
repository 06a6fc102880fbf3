// The toolkit's fixed 80-character texts (widget labels, screen titles).
#pragma once
#include <wchar.h>

namespace touchtext {

// At most 79 characters and always terminated, the rest of the 80 zeroed: a
// longer text is cut, a null one is empty.
static inline void copy80(wchar_t* dst, const wchar_t* src) {
    int n = 0;
    if (src)
        for (; n < 79 && src[n]; ++n) dst[n] = src[n];
    for (; n < 80; ++n) dst[n] = 0;
}

}  // namespace touchtext
