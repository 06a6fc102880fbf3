// The language-file lookup and the UTF-8 decoder/encoder on arbitrary bytes.
// The first byte picks the decoder flags; the file is the rest of the input.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>
#include <wchar.h>

#include <vector>

#include "touchui/Languages.h"
#include "touchui/TextFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    int flags = data[0] & 3;
    const char* bytes = (const char*)data + 1;
    size_t n = size - 1;
    size_t count = utf8_to_wchar(bytes, n, nullptr, 0, flags);
    std::vector<wchar_t> wide(count + 1);
    size_t got = utf8_to_wchar(bytes, n, wide.data(), count, flags);
    if (got != count) __builtin_trap();
    size_t bytesOut = wchar_to_utf8(wide.data(), got, nullptr, 0, flags);
    std::vector<char> back(bytesOut + 1);
    if (wchar_to_utf8(wide.data(), got, back.data(), bytesOut, flags) != bytesOut) __builtin_trap();

    char path[] = "/tmp/lang_fuzz_XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return 0;
    if (write(fd, bytes, n) != (ssize_t)n) {
        close(fd);
        unlink(path);
        return 0;
    }
    close(fd);
    static const char* keys[] = {"k", "savingl1", "a"};
    static const char* sections[] = {"s", "modal", "texts"};
    wchar_t* r = getLangvalue(path, (char*)keys[data[0] >> 2 & 1 ? 1 : 0], (char*)sections[data[0] >> 3 & 1]);
    if (r && wcslen(r) > 255) __builtin_trap();
    Languages lang;
    r = lang.getvalue(path, (char*)keys[2], (char*)sections[0]);
    if (r && wcslen(r) > 255) __builtin_trap();
    unlink(path);
    return 0;
}
