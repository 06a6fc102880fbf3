// The virtual LCD's text renderer: serves the text requests of one process's
// LCD stand-in on standard input (a socket), drawing into the shared frame
// buffer file. Ends when the process closes the socket.
#include <string.h>
#include <unistd.h>

#include <vector>

#include "fb.h"
#include "proto.h"
#include "text.h"

using namespace simlcd;

namespace {

bool readAll(int fd, void* p, size_t n) {
    char* c = static_cast<char*>(p);
    while (n) {
        ssize_t r = read(fd, c, n);
        if (r <= 0) return false;
        c += r;
        n -= (size_t)r;
    }
    return true;
}

bool writeAll(int fd, const void* p, size_t n) {
    const char* c = static_cast<const char*>(p);
    while (n) {
        ssize_t r = write(fd, c, n);
        if (r <= 0) return false;
        c += r;
        n -= (size_t)r;
    }
    return true;
}

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
        r.request = m.request;
        r.x = m.x;
        r.y = m.y;
        r.right = m.right;
        r.lineMode = m.lineMode;
        r.colour = m.colour;
        r.background = m.background;
        r.flagsA = m.flagsA;
        r.flagsB = m.flagsB;
        r.transparent = m.transparent;
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
