// What the device command sources share.
#pragma once

#include <cstring>

namespace hacmd {

// Whether a (possibly null) text is exactly b.
inline bool is(const char* a, const char* b) { return a && strcmp(a, b) == 0; }

}  // namespace hacmd
