// The panel's pen lines from the browser: any bytes. What is accepted must
// come out as lines the touch stand-in reads, and read again unchanged.
#include <cstddef>
#include <cstdint>
#include <string>

#include "pen_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    const std::string in(reinterpret_cast<const char*>(data), size);
    std::string out = "keep\n";
    int bad = 0;
    if (!panel::normalisePenScript(in, &out, &bad)) {
        if (out != "keep\n" || bad < 1) __builtin_trap();
        return 0;
    }
    const std::string lines = out.substr(5);
    for (char c : lines)
        if (!(c == '\n' || c == ' ' || c == '-' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'))) __builtin_trap();
    if (!lines.empty() && lines.back() != '\n') __builtin_trap();
    std::string again;
    if (!panel::normalisePenScript(lines, &again, &bad) || again != lines) __builtin_trap();
    return 0;
}
