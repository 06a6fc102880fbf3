// Network byte order: the Internet checksum (RFC 1071) of IP and ICMP
// headers, and the big-endian 32-bit words of the daemon's datagrams.
#pragma once

#include <arpa/inet.h>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace hbase {

// Summed in the machine's own order and stored as it is, the result is
// right on either byte order; an odd last byte counts as its own word.
inline uint16_t inetChecksum(const void* data, size_t n) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < n; i += 2) {
        uint16_t w;
        memcpy(&w, p + i, 2);
        sum += w;
    }
    if (n & 1) {
        uint16_t w = 0;
        memcpy(&w, p + n - 1, 1);
        sum += w;
    }
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    return (uint16_t)~sum;
}

// A big-endian word read from, or written to, any byte position.
inline uint32_t getBE32(const void* at) {
    uint32_t be;
    memcpy(&be, at, 4);
    return ntohl(be);
}

inline void putBE32(void* at, uint32_t v) {
    const uint32_t be = htonl(v);
    memcpy(at, &be, 4);
}

// The four bytes of a big-endian word, as a piece of a datagram.
inline std::string be32Bytes(uint32_t v) {
    std::string s(4, '\0');
    putBE32(&s[0], v);
    return s;
}

}  // namespace hbase
