// Datagrams of the cloud daemon to a client's connector: the input is one
// datagram, sent over loopback UDP from the daemon's address to a socket
// bound where init() binds a client of type 2 (127.255.254.1:8998), and
// read by DaemonConnector::receiveData on this thread. An empty datagram
// after it ends the receive loop, so each input is handled whole. The
// callback must see the three header words and the payload with its
// terminating zero; it runs the payload escapers the applications use on
// what the daemon sends.
//
// Runs inside a virtual router: the addresses are the sandbox's own.
#include <arpa/inet.h>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "daemonlink/DaemonConnector.h"

#include "fuzz_util.h"

namespace {

int g_rx = -1, g_tx = -1;
sockaddr_in g_to;

const uint8_t* g_data;
size_t g_size;
int g_calls;

int32_t wordAt(const uint8_t* p) {
    uint32_t be;
    memcpy(&be, p, 4);
    return int32_t(ntohl(be));
}

void onData(int a, int b, int c, char* payload) {
    ++g_calls;
    CHECK(g_size >= sizeof(DaemonReplyHeader));
    CHECK(a == wordAt(g_data + 4) && b == wordAt(g_data + 8) && c == wordAt(g_data + 12));
    const size_t n = g_size - sizeof(DaemonReplyHeader);
    CHECK(memcmp(payload, g_data + sizeof(DaemonReplyHeader), n) == 0 && payload[n] == '\0');

    // The escapers work in place on the text up to its first zero.
    const size_t len = strlen(payload);
    std::vector<char> text(payload, payload + len + 1);
    stringDecode(text.data());
    CHECK(strlen(text.data()) <= len);
    // stringEncode's result is at most 503 characters; its argument has room.
    std::vector<char> enc(504, 0);
    memcpy(enc.data(), payload, len < 503 ? len : 503);
    stringEncode(enc.data());
    CHECK(strnlen(enc.data(), 504) <= 503);
    stringDecode(enc.data());
    // Every character may grow to six ("&apos;").
    std::vector<char> ent(6 * len + 1, 0);
    memcpy(ent.data(), payload, len);
    stringEncodeJSON(ent.data());
    CHECK(strnlen(ent.data(), ent.size()) < ent.size());
}

int bound(const char* ip, int port) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    CHECK(fd >= 0);
    sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    inet_pton(AF_INET, ip, &a.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        perror("daemon_datagram_fuzz: bind");
        exit(1);
    }
    int big = 1 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    requireVirtualRouter("daemon_datagram_fuzz", "binds the daemon's addresses");
    DaemonConnector* c = DaemonConnector::getInstance();
    c->clientType = 2;
    g_rx = bound(c->getClientIP(), DC_PORT);
    g_tx = bound(DC_DAEMON_IP, 0);  // the daemon itself listens on 8998
    memset(&g_to, 0, sizeof g_to);
    g_to.sin_family = AF_INET;
    g_to.sin_port = htons(DC_PORT);
    inet_pton(AF_INET, c->localIP, &g_to.sin_addr);
    c->dataCallback = onData;
    c->sock = g_rx;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65507) return 0;  // the largest UDP datagram
    g_data = data;
    g_size = size;
    g_calls = 0;
    const sockaddr* to = reinterpret_cast<const sockaddr*>(&g_to);
    CHECK(sendto(g_tx, data, size, 0, to, sizeof g_to) == ssize_t(size));
    CHECK(sendto(g_tx, "", 0, 0, to, sizeof g_to) == 0);

    CHECK(DaemonConnector::getInstance()->receiveData() == 0);
    CHECK(g_calls == (size >= sizeof(DaemonReplyHeader) ? 1 : 0));
    // The loop ends at the first short datagram, which it only peeked at:
    // the input's own if short, else the empty one.
    char probe[16];
    if (size < sizeof(DaemonReplyHeader)) CHECK(recv(g_rx, probe, sizeof probe, MSG_DONTWAIT) == ssize_t(size));
    CHECK(recv(g_rx, probe, sizeof probe, MSG_DONTWAIT) == 0);
    CHECK(recv(g_rx, probe, sizeof probe, MSG_DONTWAIT) < 0 && errno == EAGAIN);
    return 0;
}
