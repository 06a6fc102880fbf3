// The process's channel to the hub's servers: address plan, identity, the
// shared socket, the send functions and the RSC request with its reply.
#include "channel/channel_internal.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <netdb.h>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "channel/receiver_internal.h"
#include "base/servers.h"
#include "base/fd.h"
#include "base/text.h"

namespace chan {

int identity = 0;
int sock = -1;
Address ha, haAssoc, rsc, ozw, zigbee, hue, nest, mesh, picdriver, end, cloud, rulesEngine, runRule, free1, free2, web;
pthread_t receiverThread;

SetDataPacket setData;
OZWPacket ozwPacket;
ZigbeePacket zigbeePacket;
HuePacket huePacket;
NestPacket nestPacket;

}  // namespace chan

std::mutex set_data_lock, ozw_lock, zigbee_lock, hue_lock, nest_lock;

namespace {

namespace hub = hbase::hub;

constexpr int kRscBindAttempts = 1200;  // 100 ms apart: two minutes
constexpr long kRscBindPauseNs = 100000000L;
constexpr int kRscAnswerSeconds = 120;

// mkaddr takes writable texts; the literals here are never written.
int fill(sockaddr_in* adr, int* len, const char* text) {
    *len = sizeof *adr;
    return mkaddr(adr, len, const_cast<char*>(text), const_cast<char*>("udp"));
}

int fill(chan::Address* a, const char* text) { return fill(&a->adr, &a->len, text); }

struct Identity {
    int code;
    chan::Address* address;
    const char* text;
    const char* badAddress;  // null: no message
    const char* bindFailed;
    bool bindFatal;
};

const Identity kIdentities[] = {
    {0, &chan::end, hub::kEndClient.text, "Bad End Client address", "End Client binding failed", true},
    {1, &chan::cloud, hub::kCloud.text, nullptr, "Cloud Client binding failed", true},
    {3, &chan::rulesEngine, hub::kRulesEngine.text, "Bad Rules Engine address", "rulesEngine Client binding failed",
     true},
    {4, &chan::runRule, hub::kRunRule.text, "Bad rule Client address", "runRule Client binding failed", true},
    {5, &chan::free1, hub::kFree1.text, "Bad free1 Client address", "free1 Client binding failed", true},
    {6, &chan::free2, hub::kFree2.text, "Bad free2 Client address", "free2 Client binding failed", false},
    {7, &chan::web, hub::kWeb.text, "Bad web Client address", "web Client binding failed", false},
    {8, &chan::mesh, hub::kMesh.text, "Bad mesh Client address", "mesh Client binding failed", false},
};

// The servers' addresses, filled in this order; a fatal failure ends the
// connection.
struct Server {
    chan::Address* address;
    const char* text;
    const char* badAddress;
    bool fatal;
};

const Server kServers[] = {
    {&chan::ha, hub::kHA.text, "Bad HA server address", true},
    {&chan::haAssoc, hub::kHAAssoc.text, "Bad HA server address", true},
    {&chan::rsc, hub::kRSC.text, "Bad RSC address", true},
    {&chan::ozw, hub::kZwave.text, "Bad OZW Server address", true},
    {&chan::zigbee, hub::kZigbee.text, "Bad Zigbee Server address", true},
    {&chan::hue, hub::kHue.text, "Bad hue server address", true},
    {&chan::nest, hub::kNest.text, "Bad Nest server address", false},
    {&chan::picdriver, hub::kPic.text, "Bad Pic driver address", true},
    {&chan::mesh, hub::kMesh.text, "Bad mesh server address", false},
};

const Identity* identityOf(int code) {
    for (const Identity& id : kIdentities)
        if (id.code == code) return &id;
    return nullptr;
}

int sendTo(const void* pkt, int len, const chan::Address& to) {
    return (int)sendto(chan::sock, pkt, len, 0, reinterpret_cast<const sockaddr*>(&to.adr), to.len);
}

void pause100ms() {
    timespec ts{0, kRscBindPauseNs};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

}  // namespace

void displayError(const char* text) {
    int err = errno;
    fprintf(stderr, "%s: %s\n", strerror(err), text ? text : "");
}

int mkaddr(void* addr, int* len, char* text, char* protocol) {
    // The caller's buffer must hold an IPv4 address.
    if (!addr || !len || *len < (int)sizeof(sockaddr_in)) return -1;

    std::string copy = text ? text : "";
    std::string host = copy, port;
    size_t colon = copy.find(':');
    if (colon != std::string::npos) {
        host = copy.substr(0, colon);
        port = copy.substr(colon + 1);
        size_t nl = port.find('\n');
        if (nl != std::string::npos) port.resize(nl);
    }
    if (host.empty()) host = "*";
    if (port.empty()) port = "*";
    const char* proto = protocol ? protocol : "tcp";

    sockaddr_in* ap = static_cast<sockaddr_in*>(addr);
    memset(addr, 0, *len);
    ap->sin_family = AF_INET;

    if (host == "*") {
        ap->sin_addr.s_addr = htonl(INADDR_ANY);
    } else if (host[0] >= '0' && host[0] <= '9') {
        if (!inet_aton(host.c_str(), &ap->sin_addr)) return -1;
    } else {
        addrinfo hints;
        memset(&hints, 0, sizeof hints);
        hints.ai_family = AF_INET;
        addrinfo* res = nullptr;
        if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res) return -1;
        bool ok = res->ai_family == AF_INET && res->ai_addrlen >= sizeof(sockaddr_in);
        if (ok) ap->sin_addr = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr;
        freeaddrinfo(res);
        if (!ok) return -1;
    }

    if (port == "*") {
        ap->sin_port = 0;
    } else if (port[0] >= '0' && port[0] <= '9') {
        char* end = nullptr;
        errno = 0;
        long v = strtol(port.c_str(), &end, 10);
        if (*end != '\0' || errno == ERANGE || v >= 32768) return -2;
        ap->sin_port = htons((uint16_t)v);
    } else {
        servent se, *sp = nullptr;
        char buf[1024];
        if (getservbyname_r(port.c_str(), proto, &se, buf, sizeof buf, &sp) != 0 || !sp) return -2;
        ap->sin_port = (in_port_t)sp->s_port;
    }

    *len = sizeof(sockaddr_in);
    return 0;
}

int ConnectToServers() {
    const int identity = chan::identity;
    chan::sock = socket(AF_INET, SOCK_DGRAM, 0);
    if (chan::sock == -1) {
        displayError("socket()");
        return 0;
    }

    // The fixed addresses are dotted quads with decimal ports, so these
    // failures are not expected; they stay for a table that changes.
    const Identity* me = identityOf(identity);
    if (me && fill(me->address, me->text) < 0) {
        if (me->badAddress) displayError(me->badAddress);
        return 0;
    }
    if (identity == 8) fill(&chan::cloud, hub::kCloud.text);
    for (const Server& server : kServers) {
        if (identity == 8 && server.address == &chan::mesh) continue;  // the mesh client's own address
        if (fill(server.address, server.text) == 0) continue;
        displayError(server.badAddress);
        if (server.fatal) return 0;
    }

    int on = 1;
    if (setsockopt(chan::sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0) {
        displayError("setsockopt failed");
        return 0;
    }

    if (me && bind(chan::sock, reinterpret_cast<sockaddr*>(&me->address->adr), me->address->len) < 0) {
        displayError(me->bindFailed);
        if (me->bindFatal) return 0;
    }

    // The identity goes to the receiver as its argument: it is fixed for this
    // connection, and the receiver never reads the identity again while the
    // application may set it.
    int rc = pthread_create(&chan::receiverThread, nullptr, receiver,
                            reinterpret_cast<void*>(static_cast<intptr_t>(identity)));
    if (rc != 0) {
        errno = rc;
        displayError("pthread_create");
        return 0;
    }
    return 1;
}

namespace {

// Sends a whole buffer and clears it for the next fill.
template <typename Packet>
int sendAndClear(Packet& p, const chan::Address& to, bool reportFailure) {
    int r = sendTo(&p, sizeof p, to);
    if (r < 0 && reportFailure) perror("sendto");
    memset(&p, 0, sizeof p);
    return r;
}

template <typename Send>
int sendLocked(std::mutex& m, Send send) {
    std::lock_guard<std::mutex> g(m);
    return send();
}

}  // namespace

int sendZigbeeHeld() {
    // The ZigBee server needs consecutive console commands 100 ms apart.
    pause100ms();
    return sendAndClear(chan::zigbeePacket, chan::zigbee, false);
}

int sendOzwHeld() { return sendAndClear(chan::ozwPacket, chan::ozw, false); }
int sendHueHeld() { return sendAndClear(chan::huePacket, chan::hue, true); }
int sendNestHeld() { return sendAndClear(chan::nestPacket, chan::nest, true); }

int SendDataPacketToZigbeeServer() { return sendLocked(zigbee_lock, sendZigbeeHeld); }
int SendDataPacketToOZWServer() { return sendLocked(ozw_lock, sendOzwHeld); }
int SendDataPacketToHueServer() { return sendLocked(hue_lock, sendHueHeld); }
int SendDataPacketToNestServer() { return sendLocked(nest_lock, sendNestHeld); }

int sendToHA(const void* pkt, int len, bool assoc) { return sendTo(pkt, len, assoc ? chan::haAssoc : chan::ha); }

int sendToPic(const void* pkt, int len) { return sendTo(pkt, len, chan::picdriver); }

bool sendRscClientPacket(RSC_PACKET packet) { return sendRscPacket(&packet); }

std::unique_ptr<RSC_PACKET> newRscPacket(int command) {
    std::unique_ptr<RSC_PACKET> p(new RSC_PACKET());
    p->command = command;
    return p;
}

bool sendRscPacket(const RSC_PACKET* packet) {
    hbase::UniqueFd sock(socket(AF_INET, SOCK_DGRAM, 0));
    const int rs = sock.get();
    if (!sock) {
        printf("Error in creating socket\n");
        return false;
    }
    sockaddr_in server, own;
    int serverLen, ownLen;
    if (fill(&server, &serverLen, hub::kRSC.text) < 0) {
        printf("Bad RSC address\n");
        return false;
    }
    if (fill(&own, &ownLen, hub::kRscReply.text) < 0) {
        printf("Error in creating rscClient address\n");
        return false;
    }

    // Every requester binds the one reply address: this is what keeps RSC
    // requests of all processes one at a time.
    for (int attempt = 1;; ++attempt) {
        if (bind(rs, reinterpret_cast<sockaddr*>(&own), ownLen) == 0) break;
        printf("rscClient binding failed\n");
        fflush(stdout);
        if (attempt >= kRscBindAttempts) {
            printf("rscClient binding timed out\n");
            return false;
        }
        pause100ms();
    }

    if (sendto(rs, packet, sizeof *packet, 0, reinterpret_cast<sockaddr*>(&server), serverLen) < 0)
        fprintf(stderr, "sending Name failed to haserver\n");

    timeval tv{kRscAnswerSeconds, 0};
    if (setsockopt(rs, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) < 0) perror("setsockopt: rcvtimeo");

    // A signal (a periodic timer of the application, say) interrupts the
    // wait; keep waiting for what is left of the two minutes.
    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    char answer[11];
    memset(answer, 0, sizeof answer);
    ssize_t n;
    for (;;) {
        n = recvfrom(rs, answer, 10, 0, nullptr, nullptr);
        if (n >= 0 || errno != EINTR) break;
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        long long leftUs = kRscAnswerSeconds * 1000000LL -
                           ((now.tv_sec - start.tv_sec) * 1000000LL + (now.tv_nsec - start.tv_nsec) / 1000);
        if (leftUs <= 0) break;
        timeval left{(time_t)(leftUs / 1000000), (suseconds_t)(leftUs % 1000000)};
        setsockopt(rs, SOL_SOCKET, SO_RCVTIMEO, &left, sizeof left);
    }
    if (n < 0) return false;
    answer[n] = '\0';
    return strcmp(answer, "true") == 0;
}

bool Persist(int flag, char* storePath) {
    std::unique_ptr<RSC_PACKET> p = newRscPacket(52);
    hbase::copyText(p->text, sizeof p->text, storePath);
    p->int6 = flag;
    return sendRscPacket(p.get());
}
