// sim-device's scripts and the panel's device lines: any bytes. A script
// that parses gives lines that are written back as single lines of their
// own and read again as the same commands, at times that never go back.
// The input's first NUL-separated words are also tried as arguments.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device_line.h"

using namespace simdevice;

static void checkLine(const Command& c) {
    const std::string line = formatLine(c);
    for (unsigned char ch : line)
        if (ch < 0x20 || ch == 0x7f) __builtin_trap();
    Command again;
    bool empty = true;
    std::string error;
    if (!parseLine(line, &again, &empty, &error) || empty || !(again == c)) __builtin_trap();
    if (c.verb == Verb::Set && c.value.size() > kMaxValue) __builtin_trap();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    const std::string in(reinterpret_cast<const char*>(data), size);
    std::vector<Timed> lines{Timed{}};
    int bad = 0;
    std::string error;
    if (parseScript(in, &lines, &bad, &error)) {
        long long last = 0;
        int lastLine = 0;
        for (const Timed& t : lines) {
            if (t.atMs < last || t.line <= lastLine || t.command.verb == Verb::Wait) __builtin_trap();
            last = t.atMs;
            lastLine = t.line;
            checkLine(t.command);
        }
    } else if (bad < 1 || error.empty() || lines.size() != 1) {
        __builtin_trap();  // a refused script names its line and leaves the output alone
    }
    std::vector<std::string> args;
    size_t start = 0;
    while (start <= in.size() && args.size() < 8) {
        size_t end = in.find('\0', start);
        if (end == std::string::npos) end = in.size();
        args.push_back(in.substr(start, end - start));
        start = end + 1;
    }
    Command c;
    if (parseArgs(args, &c, &error)) checkLine(c);
    return 0;
}
