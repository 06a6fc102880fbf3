// A whole buffer through a stream (the text renderer's socket), in as many
// calls as it takes.
#pragma once
#include <errno.h>
#include <stddef.h>
#include <sys/types.h>

namespace simlcd {

// Calls io(position, bytes left) until all n bytes have moved; an interrupted
// call is made again. False at the end of the stream or on an error.
template <typename Char, typename Io>
bool moveAll(Char* c, size_t n, Io io) {
    while (n) {
        ssize_t r = io(c, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        c += r;
        n -= (size_t)r;
    }
    return true;
}

}  // namespace simlcd
