// The resolver's reading of DNS replies: any bytes, as an answer to a query
// whose name took the first input byte's length (1..64).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "daemonlink/probes.h"
#include "dns.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 65536) return 0;
    int qnameLen = 1 + data[0] % 64;
    // Exactly the bytes received, so a read past them is caught.
    std::vector<unsigned char> msg(data + 1, data + size);
    // The output as small as the resolver may assume.
    std::vector<char> out(DNS_OUT_COUNT + 1, 0);
    int n = dnsparse::parseAnswers(msg.data(), (int)msg.size(), qnameLen, out.data());
    if (n < 0 || n > DNS_OUT_SLOTS || (unsigned char)out[DNS_OUT_COUNT] != n) __builtin_trap();
    for (int i = 0; i < n; ++i)
        if (memchr(out.data() + i * DNS_OUT_SLOT, 0, DNS_OUT_SLOT) == nullptr) __builtin_trap();
    for (int at = 0; at < (int)msg.size() && at < 64; ++at) {
        int walked = 0;
        int count = dnsparse::nameLength(msg.data(), (int)msg.size(), at, &walked);
        if (count == 0 || count > 257 || walked > (int)msg.size() - at) __builtin_trap();
    }
    return 0;
}
