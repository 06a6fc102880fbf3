#include "dns.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>

#include "daemonlink/probes.h"

#pragma GCC visibility push(hidden)
namespace dnsparse {

namespace {
constexpr int kHeader = 12;
constexpr int kMaxName = 255;

int be16(const unsigned char* p) { return (p[0] << 8) | p[1]; }
}  // namespace

// The walk goes byte by byte as the resolver always has: a byte of 192 or
// more is a pointer, anything else counts as a name byte until the zero.
int nameLength(const unsigned char* msg, int len, int pos, int* walked) {
    int count = 1;
    bool jumped = false;
    int nameBytes = 0;
    int at = pos;
    int lowest = pos;  // every pointer must go below all positions visited
    int span = 0;      // bytes of the name at pos
    int result = -1;
    while (at >= 0 && at < len) {
        unsigned char b = msg[at];
        if (b == 0) {
            if (!jumped) ++span;
            if (jumped) ++count;
            result = count;
            break;
        }
        if (b >= 192) {
            if (at + 1 >= len) break;
            if (!jumped) span += 2;
            int offset = ((b & 0x3f) << 8) | msg[at + 1];
            if (offset >= lowest) break;
            lowest = offset;
            at = offset;
            jumped = true;
            continue;
        }
        if (++nameBytes > kMaxName) break;
        if (!jumped) {
            ++count;
            ++span;
        }
        ++at;
    }
    if (walked) *walked = span;
    return result;
}

int parseAnswers(const unsigned char* msg, int len, int qnameLen, char* out) {
    memset(out, 0, 4);
    if (len < kHeader || qnameLen < 1) return 0;
    int answers = be16(msg + 6);
    int at = kHeader + qnameLen + 4;
    int slot = 0;
    for (int i = 0; i < answers; ++i) {
        if (at >= len) break;
        int n = nameLength(msg, len, at);
        if (n < 0) break;
        at += n;
        if (at + 10 > len) break;
        int type = be16(msg + at);
        // The data is RDLENGTH bytes whatever the type (a TXT record's is no
        // name): step over exactly that much.
        int rdlength = be16(msg + at + 8);
        if (at + 10 + rdlength > len) break;
        if (type == 1 && rdlength == 4 && slot < DNS_OUT_SLOTS) {
            const unsigned char* a = msg + at + 10;
            snprintf(out + slot * DNS_OUT_SLOT, DNS_OUT_SLOT, "%u.%u.%u.%u", a[0], a[1], a[2], a[3]);
            ++slot;
            out[DNS_OUT_COUNT] = (char)(out[DNS_OUT_COUNT] + 1);
        }
        at += 10 + rdlength;
    }
    return slot;
}

}  // namespace dnsparse
#pragma GCC visibility pop
