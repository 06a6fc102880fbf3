// The virtual LCD's text renderer: serves the text requests of one process's
// LCD stand-in on standard input (a socket), drawing into the shared frame
// buffer file. Ends when the process closes the socket.
#include <string.h>
#include <unistd.h>

#include <vector>

#include <stddef.h>

#include "fb.h"
#include "move_all.h"
#include "proto.h"
#include "text.h"

using namespace simlcd;

namespace {

bool readAll(int fd, void* p, size_t n) {
    return moveAll(static_cast<char*>(p), n, [fd](char* c, size_t k) { return read(fd, c, k); });
}

bool writeAll(int fd, const void* p, size_t n) {
    return moveAll(static_cast<const char*>(p), n, [fd](const char* c, size_t k) { return write(fd, c, k); });
}

// The message carries the request's words in the request's own order.
static_assert(offsetof(TextMessage, sizeBits) == offsetof(TextRequest, size), "text words");

}  // namespace

int main() {
    Fb fb;
    bool mapped = fbOpen(fb);
    std::vector<uint32_t> chars;
    for (;;) {
        TextMessage m;
        if (!readAll(0, &m, sizeof m)) return 0;
        if (m.count < 0 || m.count > kMaxChars) return 1;
        chars.resize((size_t)m.count + 1);
        if (m.count && !readAll(0, chars.data(), (size_t)m.count * 4)) return 0;
        TextRequest r;
        memcpy(&r, &m, offsetof(TextMessage, sizeBits));
        memcpy(&r.size, &m.sizeBits, 4);
        r.count = m.count;
        r.chars = chars.data();
        int32_t result;
        if (m.request == 18) {
            if (!mapped) {
                result = -1;
            } else {
                fbLock(fb, true);
                Canvas c{fb.screen};
                if (fb.header->alphaEnabled) c.alpha = (int)fb.header->alpha;
                result = textRequest(&c, r);
                fb.header->frame++;
                fbUnlock(fb);
            }
        } else {
            result = textRequest(nullptr, r);
        }
        if (!writeAll(1, &result, sizeof result)) return 0;
    }
}
