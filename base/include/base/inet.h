// The Internet checksum (RFC 1071) of IP and ICMP headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

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

}  // namespace hbase
