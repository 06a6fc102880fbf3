// Helpers shared by the fuzz targets.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

// An invariant of the target: a report and an abort, which libFuzzer keeps
// as a crash.
#define CHECK(c)                                       \
    do {                                               \
        if (!(c)) {                                    \
            fprintf(stderr, "check failed: %s\n", #c); \
            abort();                                   \
        }                                              \
    } while (0)

// The targets that write the hub's stores or bind its addresses run only
// inside a virtual router, never against the machine's own /tmp or network.
inline void requireVirtualRouter(const char* target, const char* what) {
    if (access("/sim/state/servers", F_OK) == 0) return;
    fprintf(stderr, "%s %s: run it inside the virtual router (build/host/router-run -- ...)\n", target, what);
    exit(1);
}

// Reads the next chunk of a record-laying input: a selector byte, a
// little-endian 16-bit length and that many bytes (cut at the input's end).
inline bool nextChunk(const uint8_t* data, size_t size, size_t& at, uint8_t& sel, const char*& v, size_t& len) {
    if (at + 3 > size) return false;
    sel = data[at];
    len = data[at + 1] | (data[at + 2] << 8);
    at += 3;
    if (len > size - at) len = size - at;
    v = reinterpret_cast<const char*>(data + at);
    at += len;
    return true;
}
