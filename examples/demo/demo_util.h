// What the demo's stages share: names of codes, and device notifications
// printed and counted as the library's receiver thread hands them over.
#pragma once
#include <stddef.h>

#include <condition_variable>
#include <mutex>

class Device;

namespace demo {

struct CodeName {
    int code;
    const char* name;
};

// The name of `code` in `table`, or `fallback`.
template <size_t N>
const char* nameOf(const CodeName (&table)[N], int code, const char* fallback) {
    for (const CodeName& c : table)
        if (c.code == code) return c.name;
    return fallback;
}

class Notifications {
public:
    // Prints the notification's line and counts it.
    void heard(Device* d);
    // Waits up to five seconds until `count` have been heard.
    void waitFor(int count);
    int count();

private:
    std::mutex lock;
    std::condition_variable changed;
    int n = 0;
};

}  // namespace demo
