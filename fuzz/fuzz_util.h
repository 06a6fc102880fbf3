// Helpers shared by the fuzz targets.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
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

// One chunk of a record-laying input: a selector byte and its bytes.
struct Chunk {
    uint8_t sel = 0;
    const char* v = nullptr;
    size_t len = 0;

    // Takes a key off the front of the bytes, up to their first zero; false
    // when there is no zero or the key would be empty.
    bool takeKey(std::string& key) {
        const char* zero = static_cast<const char*>(memchr(v, 0, len));
        if (!zero || zero == v) return false;
        key.assign(v, size_t(zero - v));
        len -= size_t(zero - v) + 1;
        v = zero + 1;
        return true;
    }
};

// Reads the chunks of an input from `at` on: each a selector byte, a
// little-endian 16-bit length and that many bytes (cut at the input's end).
class ChunkReader {
public:
    ChunkReader(const uint8_t* data, size_t size, size_t at) : data_(data), size_(size), at_(at) {}
    bool next(Chunk& c) {
        if (at_ + 3 > size_) return false;
        c.sel = data_[at_];
        c.len = data_[at_ + 1] | (data_[at_ + 2] << 8);
        at_ += 3;
        if (c.len > size_ - at_) c.len = size_ - at_;
        c.v = reinterpret_cast<const char*>(data_ + at_);
        at_ += c.len;
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_, at_;
};
