#include "shell.h"

#include <cstring>

namespace fwupdate {

bool shellQuote(const char* text, char* out, size_t outSize) {
    size_t n = 0;
    auto put = [&](char c) {
        if (n + 1 >= outSize) return false;
        out[n++] = c;
        return true;
    };
    bool ok = put('\'');
    for (const char* p = text; ok && *p; ++p) {
        if (*p == '\'')
            ok = put('\'') && put('\\') && put('\'') && put('\'');
        else
            ok = put(*p);
    }
    ok = ok && put('\'');
    if (!ok) {
        if (outSize >= 3)
            strcpy(out, "''");
        else if (outSize)
            out[0] = 0;
        return false;
    }
    out[n] = 0;
    return true;
}

}  // namespace fwupdate
