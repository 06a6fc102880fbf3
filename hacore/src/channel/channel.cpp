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

int which = 0;
int s = -1;

struct sockaddr_in adr_ha, adr_ha_assoc, adr_rsc, adr_ozw, adr_zigbee, adr_hue, adr_nest, adr_mesh, adr_picdriver,
    adr_end, adr_cloud, adr_rulesEngine, adr_runRule, adr_free1, adr_free2, adr_web;
int len_ha, len_ha_assoc, len_rsc, len_ozw, len_zigbee, len_hue, len_nest, len_mesh, len_picdriver, len_end, len_cloud,
    len_rulesEngine, len_runRule, len_free1, len_free2, len_web;

pthread_t receiver_thread;

SetDataPacket set_data;
OZWPacket OZWSendingPacket;
ZigbeePacket ZigbeeSendingPacket;
HuePacket HUESendingPacket;
NestPacket NESTSendingPacket;

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

struct Identity {
    int which;
    sockaddr_in* adr;
    int* len;
    const char* text;
    const char* badAddress;  // null: no message
    const char* bindFailed;
    bool bindFatal;
};

const Identity kIdentities[] = {
    {0, &adr_end, &len_end, hub::kEndClient.text, "Bad End Client address", "End Client binding failed", true},
    {1, &adr_cloud, &len_cloud, hub::kCloud.text, nullptr, "Cloud Client binding failed", true},
    {3, &adr_rulesEngine, &len_rulesEngine, hub::kRulesEngine.text, "Bad Rules Engine address",
     "rulesEngine Client binding failed", true},
    {4, &adr_runRule, &len_runRule, hub::kRunRule.text, "Bad rule Client address", "runRule Client binding failed",
     true},
    {5, &adr_free1, &len_free1, hub::kFree1.text, "Bad free1 Client address", "free1 Client binding failed", true},
    {6, &adr_free2, &len_free2, hub::kFree2.text, "Bad free2 Client address", "free2 Client binding failed", false},
    {7, &adr_web, &len_web, hub::kWeb.text, "Bad web Client address", "web Client binding failed", false},
    {8, &adr_mesh, &len_mesh, hub::kMesh.text, "Bad mesh Client address", "mesh Client binding failed", false},
};

// The servers' addresses, filled in this order; a fatal failure ends the
// connection.
struct Server {
    sockaddr_in* adr;
    int* len;
    const char* text;
    const char* badAddress;
    bool fatal;
};

const Server kServers[] = {
    {&adr_ha, &len_ha, hub::kHA.text, "Bad HA server address", true},
    {&adr_ha_assoc, &len_ha_assoc, hub::kHAAssoc.text, "Bad HA server address", true},
    {&adr_rsc, &len_rsc, hub::kRSC.text, "Bad RSC address", true},
    {&adr_ozw, &len_ozw, hub::kZwave.text, "Bad OZW Server address", true},
    {&adr_zigbee, &len_zigbee, hub::kZigbee.text, "Bad Zigbee Server address", true},
    {&adr_hue, &len_hue, hub::kHue.text, "Bad hue server address", true},
    {&adr_nest, &len_nest, hub::kNest.text, "Bad Nest server address", false},
    {&adr_picdriver, &len_picdriver, hub::kPic.text, "Bad Pic driver address", true},
    {&adr_mesh, &len_mesh, hub::kMesh.text, "Bad mesh server address", false},
};

const Identity* identityOf(int w) {
    for (const Identity& id : kIdentities)
        if (id.which == w) return &id;
    return nullptr;
}

int sendTo(const void* pkt, int len, const sockaddr_in& adr, int adrLen) {
    return (int)sendto(s, pkt, len, 0, reinterpret_cast<const sockaddr*>(&adr), adrLen);
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
    s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == -1) {
        displayError("socket()");
        return 0;
    }

    // The fixed addresses are dotted quads with decimal ports, so these
    // failures are not expected; they stay for a table that changes.
    const Identity* me = identityOf(which);
    if (me && fill(me->adr, me->len, me->text) < 0) {
        if (me->badAddress) displayError(me->badAddress);
        return 0;
    }
    if (which == 8) fill(&adr_cloud, &len_cloud, hub::kCloud.text);
    for (const Server& server : kServers) {
        if (which == 8 && server.adr == &adr_mesh) continue;  // the mesh client's own address
        if (fill(server.adr, server.len, server.text) == 0) continue;
        displayError(server.badAddress);
        if (server.fatal) return 0;
    }

    int on = 1;
    if (setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0) {
        displayError("setsockopt failed");
        return 0;
    }

    if (me && bind(s, reinterpret_cast<sockaddr*>(me->adr), *me->len) < 0) {
        displayError(me->bindFailed);
        if (me->bindFatal) return 0;
    }

    // The identity goes to the receiver as its argument: it is fixed for this
    // connection, and the receiver never reads `which` again while the
    // application may set it.
    int rc = pthread_create(&receiver_thread, nullptr, receiver, reinterpret_cast<void*>(static_cast<intptr_t>(which)));
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
int sendAndClear(Packet& p, const sockaddr_in& to, int toLen, bool reportFailure) {
    int r = sendTo(&p, sizeof p, to, toLen);
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
    return sendAndClear(ZigbeeSendingPacket, adr_zigbee, len_zigbee, false);
}

int sendOzwHeld() { return sendAndClear(OZWSendingPacket, adr_ozw, len_ozw, false); }
int sendHueHeld() { return sendAndClear(HUESendingPacket, adr_hue, len_hue, true); }
int sendNestHeld() { return sendAndClear(NESTSendingPacket, adr_nest, len_nest, true); }

int SendDataPacketToZigbeeServer() { return sendLocked(zigbee_lock, sendZigbeeHeld); }
int SendDataPacketToOZWServer() { return sendLocked(ozw_lock, sendOzwHeld); }
int SendDataPacketToHueServer() { return sendLocked(hue_lock, sendHueHeld); }
int SendDataPacketToNestServer() { return sendLocked(nest_lock, sendNestHeld); }

int sendToHA(const void* pkt, int len, bool assoc) {
    return assoc ? sendTo(pkt, len, adr_ha_assoc, len_ha_assoc) : sendTo(pkt, len, adr_ha, len_ha);
}

int sendToPic(const void* pkt, int len) { return sendTo(pkt, len, adr_picdriver, len_picdriver); }

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
