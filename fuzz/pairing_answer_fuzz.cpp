// The pairing receiver's handling of one answer: the first byte picks the
// sender (one of the servers or a stranger) and the client's state, the
// rest is the datagram.
#include <arpa/inet.h>
#include <cstdint>
#include <cstring>

#include "pairing/HalvixAssociation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kSenders[] = {"127.255.255.254", "127.255.255.253", "127.255.255.252",
                                           "127.255.255.251", "127.255.255.1",   "127.255.255.2"};
    if (size < 1) return 0;
    HalvixAssociation* a = HalvixAssociation::getInstance();
    a->assocSocket = -1;  // nothing is sent anywhere
    a->clientType = AC_LCD;
    a->assocState = (data[0] >> 4) % 9;
    sockaddr_in from;
    memset(&from, 0, sizeof from);
    from.sin_family = AF_INET;
    inet_aton(kSenders[(data[0] & 0x0f) % 6], &from.sin_addr);
    a->handleAnswer(from, data + 1, (int)(size - 1 > 4096 ? 4096 : size - 1));
    return 0;
}
