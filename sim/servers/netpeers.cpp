// HTTP on port 80, the raw DNS responder and the ICMP peer.
#include "netpeers.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/ip.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include "base/inet.h"

namespace hub {

namespace {

// ---- HTTP ------------------------------------------------------------------

enum class HttpKind { Answer, Close, Silent, Reset };

struct HttpPeer {
    const char* ip;
    const char* log;
    HttpKind kind;
};

const HttpPeer kHttpPeers[] = {
    {"127.0.90.1", "http-web", HttpKind::Answer},     // answers 200 and closes
    {"127.0.90.2", "http-closer", HttpKind::Close},   // accepts and closes at once
    {"127.0.90.3", "http-silent", HttpKind::Silent},  // reads, never answers
    {"127.0.90.4", "http-reset", HttpKind::Reset},    // reads, then resets
};

// Reads the request: up to the blank line, the end of the stream, or 4 KiB.
std::string readRequest(int fd) {
    std::string req;
    char buf[1024];
    while (req.size() < 4096 && req.find("\r\n\r\n") == std::string::npos) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        req.append(buf, n);
    }
    // The request may carry one more byte (a terminating zero) after the blank line.
    timeval tv{0, 200000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    size_t end = req.find("\r\n\r\n");
    if (end != std::string::npos && req.size() == end + 4) {
        ssize_t n = recv(fd, buf, 1, MSG_DONTWAIT);
        if (n == 1) req.append(buf, 1);
    }
    tv = timeval{0, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return req;
}

void serveHttp(const HttpPeer* peer, const Socket* sock, int fd, sockaddr_in from) {
    if (peer->kind == HttpKind::Close) {
        // The end of the stream at once; what the client still sends is read
        // and dropped, so the close never turns into a reset.
        shutdown(fd, SHUT_WR);
        recordMessage(*sock, "", from);
        char buf[256];
        while (read(fd, buf, sizeof buf) > 0) {
        }
        close(fd);
        return;
    }
    std::string req = readRequest(fd);
    recordMessage(*sock, req, from);
    if (peer->kind == HttpKind::Answer) {
        static const char kReply[] =
            "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 6\r\nConnection: close\r\n\r\nhello\n";
        ssize_t w = send(fd, kReply, sizeof kReply - 1, MSG_NOSIGNAL);
        (void)w;
    } else if (peer->kind == HttpKind::Silent) {
        sleep(120);  // holds the connection open, saying nothing
    } else {
        linger l{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }
    close(fd);
}

void acceptLoop(const HttpPeer* peer, int listener) {
    Socket sock;
    sock.log = peer->log;
    sock.port = 80;
    for (;;) {
        sockaddr_in from;
        socklen_t fl = sizeof from;
        int fd = accept(listener, reinterpret_cast<sockaddr*>(&from), &fl);
        if (fd < 0) continue;
        std::thread([peer, fd, from] {
            Socket s;
            s.log = peer->log;
            s.port = 80;
            serveHttp(peer, &s, fd, from);
        }).detach();
    }
}

// ---- ICMP ------------------------------------------------------------------

// Takes the first answer of the script: 'y' answer, anything else not.
bool scriptedAnswer() {
    std::string path = std::string(kStateDir) + "/icmp-script";
    std::string script = fileBytes(path);
    while (!script.empty() && (script[0] == '\n' || script[0] == ' ')) script.erase(0, 1);
    if (script.empty()) return false;
    char first = script[0];
    std::string rest = script.substr(1);
    std::string tmp = path + ".tmp";
    FILE* f = fopen(tmp.c_str(), "wb");
    if (f) {
        fwrite(rest.data(), 1, rest.size(), f);
        fclose(f);
        rename(tmp.c_str(), path.c_str());
    }
    return first == 'y';
}

bool scripted(in_addr dst) {
    uint32_t a = ntohl(dst.s_addr);
    return a == 0x0a4d0002 || a == 0x0a580002;  // 10.77.0.2, 10.88.0.2
}

// Sends the reply in at the far end of the veth pair the request left by
// (sim0 -> sim1), from the address it was sent to, so that it arrives on the
// request's interface like an answer from the link.
void answerThroughLink(int tap, const char* iface, const unsigned char* request,
                       const std::vector<unsigned char>& icmp) {
    std::string peer = iface;
    if (peer.empty()) return;
    peer.back() = '1';
    unsigned peerIndex = if_nametoindex(peer.c_str());
    ifreq ifr;
    memset(&ifr, 0, sizeof ifr);
    snprintf(ifr.ifr_name, sizeof ifr.ifr_name, "%s", iface);
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    bool mac = fd >= 0 && ioctl(fd, SIOCGIFHWADDR, &ifr) == 0;
    if (fd >= 0) close(fd);
    if (!peerIndex || !mac) return;

    std::vector<unsigned char> ip(20 + icmp.size(), 0);
    ip[0] = 0x45;
    ip[2] = (unsigned char)(ip.size() >> 8);
    ip[3] = (unsigned char)ip.size();
    ip[8] = 64;
    ip[9] = IPPROTO_ICMP;
    memcpy(&ip[12], request + 16, 4);  // from where it was sent to
    memcpy(&ip[16], request + 12, 4);
    uint16_t sum = hbase::inetChecksum(ip.data(), 20);
    memcpy(&ip[10], &sum, 2);
    memcpy(&ip[20], icmp.data(), icmp.size());

    sockaddr_ll to;
    memset(&to, 0, sizeof to);
    to.sll_family = AF_PACKET;
    to.sll_protocol = htons(ETH_P_IP);
    to.sll_ifindex = (int)peerIndex;
    to.sll_halen = 6;
    memcpy(to.sll_addr, ifr.ifr_hwaddr.sa_data, 6);
    sendto(tap, ip.data(), ip.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

}  // namespace

int runHttp() {
    for (const HttpPeer& p : kHttpPeers) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a = address(p.ip, 80);
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0 || listen(fd, 16) < 0) {
            fprintf(stderr, "hub-server: cannot listen on %s:80: %s\n", p.ip, strerror(errno));
            return 1;
        }
        std::thread(acceptLoop, &p, fd).detach();
    }
    ready("http");
    for (;;) pause();
}

// Answers every query with the bytes of /sim/state/servers/dns-raw-reply
// (as they are; no file: no answer).
int runDnsRaw() {
    Socket sock = bindOrDie("127.0.53.1", 53, "dns-raw");
    ready("dns-raw");
    std::vector<char> buf(65536);
    for (;;) {
        sockaddr_in from;
        int n = receive(sock, buf.data(), buf.size(), &from);
        if (n < 0) continue;
        std::string path = std::string(kStateDir) + "/dns-raw-reply";
        if (access(path.c_str(), F_OK) != 0) continue;
        std::string reply = fileBytes(path);
        sendto(sock.fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), sizeof from);
    }
}

// Watches every packet that leaves an interface of the namespace and records
// to wire.dgrams (16 bytes of interface name, then the IP packet) every ICMP
// packet, and every packet on an interface other than lo. Echo requests to
// 10.77.0.2 or 10.88.0.2 are answered as /sim/state/servers/icmp-script
// says, one character per request ('y' answers).
int runIcmp() {
    // Only ETH_P_ALL taps see what leaves an interface.
    int tap = socket(AF_PACKET, SOCK_DGRAM, htons(ETH_P_ALL));
    int raw = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (tap < 0 || raw < 0) {
        fprintf(stderr, "hub-server: icmp: %s\n", strerror(errno));
        return 1;
    }
    Socket wire;
    wire.log = "wire";
    wire.port = 0;
    ready("icmp");
    std::vector<unsigned char> buf(65536);
    for (;;) {
        sockaddr_ll ll;
        socklen_t len = sizeof ll;
        ssize_t n = recvfrom(tap, buf.data(), buf.size(), 0, reinterpret_cast<sockaddr*>(&ll), &len);
        if (n < 20 || ll.sll_pkttype != PACKET_OUTGOING || ll.sll_protocol != htons(ETH_P_IP)) continue;
        char name[IF_NAMESIZE + 1] = "";
        if (!if_indextoname(ll.sll_ifindex, name)) continue;
        int ipLen = (buf[0] & 0x0f) * 4;
        bool icmp = buf[9] == IPPROTO_ICMP;
        if (!icmp && strcmp(name, "lo") == 0) continue;
        sockaddr_in from;
        memset(&from, 0, sizeof from);
        memcpy(&from.sin_addr, &buf[12], 4);
        std::string rec(16, '\0');
        memcpy(&rec[0], name, strnlen(name, 15));
        rec.append(reinterpret_cast<char*>(buf.data()), n);
        recordMessage(wire, rec, from);

        in_addr dst;
        memcpy(&dst, &buf[16], 4);
        if (!icmp || n < ipLen + 8 || buf[ipLen] != 8 || !scripted(dst)) continue;
        if (!scriptedAnswer()) continue;
        std::vector<unsigned char> reply(buf.begin() + ipLen, buf.begin() + n);
        reply[0] = 0;
        reply[2] = reply[3] = 0;
        uint16_t sum = hbase::inetChecksum(reply.data(), reply.size());
        memcpy(&reply[2], &sum, 2);
        if (strcmp(name, "lo") == 0) {
            sockaddr_in to;
            memset(&to, 0, sizeof to);
            to.sin_family = AF_INET;
            memcpy(&to.sin_addr, &buf[12], 4);
            sendto(raw, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        } else {
            answerThroughLink(tap, name, buf.data(), reply);
        }
    }
}

}  // namespace hub
