// The application's facade: identity and connection, callbacks, the receiver
// thread, events to the HA server and the shared lookup objects.
#include "hacore/HADevices.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <memory>
#include <ctime>
#include <mutex>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "channel/channel_internal.h"
#include "channel/receiver_internal.h"
#include "base/text.h"

HAPacket hapacket;
Event epacket;
// lightDeviceID and sentLightValue are defined with the commands that set them.

namespace {

char kErr[] = "#ERR";

// The callbacks are registered by application threads and read by the
// receiver; the device callback and its ID change together.
struct Callbacks {
    void (*generic)(Device*) = nullptr;
    void (*device)(Device*) = nullptr;
    int deviceId = 0;
    void (*event)(Event*) = nullptr;
};
std::mutex callbacksLock;
Callbacks callbacks;

Callbacks currentCallbacks() {
    std::lock_guard<std::mutex> g(callbacksLock);
    return callbacks;
}

void clearDeviceCallbacks() {
    std::lock_guard<std::mutex> g(callbacksLock);
    callbacks.generic = nullptr;
    callbacks.device = nullptr;
    callbacks.deviceId = 0;
}

int connectAs(int identity) {
    chan::identity = identity;
    int r = ConnectToServers();
    clearDeviceCallbacks();
    return r;
}

in_addr_t loopback(const char* dotted) { return inet_addr(dotted); }

const char* unknownSenderLabel(int identity) {
    if (identity == 1) return "cloud";
    if (identity == 7 || identity == 8) return "web";
    return "end";
}

// The one peer besides the HA server whose events an identity accepts.
bool acceptedPeer(int identity, in_addr_t from) {
    return (identity == 1 && from == loopback("127.255.255.250")) ||
           (identity == 8 && from == loopback("127.255.255.2"));
}

// A notification names a device ID and an index at least; an event at
// least its type. Shorter datagrams carry nothing to hand on.
constexpr ssize_t kKindSize = 4;
constexpr ssize_t kMinNotification = kKindSize + 8;
constexpr ssize_t kMinEvent = kKindSize + 4;

void deliverEvent(const HAReceivedPacket& pkt) {
    memcpy(&epacket, &pkt.event, sizeof epacket);
    Callbacks cb = currentCallbacks();
    if (epacket.type != 0 && cb.event) cb.event(&epacket);
}

void deliverNotification(const HAReceivedPacket& pkt) {
    memcpy(&hapacket, &pkt.notification, sizeof hapacket);
    hapacket.value[sizeof hapacket.value - 1] = '\0';
    int id = hapacket.deviceId;
    // Owned here: freed also when a callback throws.
    std::unique_ptr<Device> dev;
    if (id >= 1) {
        try {
            dev.reset(new Device(id));
        } catch (...) {
            dev.reset();
        }
        // An unreadable store leaves the object empty: no such device either.
        if (dev && dev->getID() != id) dev.reset();
    }
    if (!dev) {
        fputs("Device Not found\n", stderr);
        return;
    }
    Callbacks cb = currentCallbacks();
    if (cb.generic) cb.generic(dev.get());
    if (cb.device && cb.deviceId == id) cb.device(dev.get());
}

}  // namespace

void* receiver(void* arg) {
    srand((unsigned)time(nullptr));
    const int identity = static_cast<int>(reinterpret_cast<intptr_t>(arg));
    if (identity == 2 || identity < 0 || identity > 8) return nullptr;

    HAReceivedPacket pkt;
    for (;;) {
        // A short datagram must not hand on bytes of an earlier one.
        memset(&pkt, 0, sizeof pkt);
        sockaddr_in from;
        memset(&from, 0, sizeof from);
        socklen_t fromLen = sizeof from;
        ssize_t n = recvfrom(chan::sock, &pkt, sizeof pkt, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 0) {
            int err = errno;
            fputs("Connection Closed\n", stderr);
            if (err != EINTR) {
                // Do not spin on a socket that keeps failing.
                timespec ts{0, 10000000L};
                nanosleep(&ts, nullptr);
            }
            continue;
        }
        if (n < kKindSize) continue;

        in_addr_t sender = from.sin_family == AF_INET ? from.sin_addr.s_addr : 0;
        if (sender != loopback("127.255.255.1")) {
            if (acceptedPeer(identity, sender)) {
                if (pkt.kind == 1 && n >= kMinEvent) {
                    try {
                        deliverEvent(pkt);
                    } catch (...) {
                    }
                }
            } else {
                char text[INET_ADDRSTRLEN] = "";
                inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
                fprintf(stderr, "Unknown Packet received %s from %s\n", unknownSenderLabel(identity), text);
            }
            continue;
        }

        // An exception out of an application's callback must not end the
        // receiver.
        try {
            if (pkt.kind == 1 && n >= kMinEvent)
                deliverEvent(pkt);
            else if (pkt.kind == 0 && n >= kMinNotification)
                deliverNotification(pkt);
        } catch (...) {
        }
    }
    return nullptr;
}

HADevices::HADevices() {}

int HADevices::initialize() { return connectAs(0); }
int HADevices::CloudInitialize() { return connectAs(1); }
int HADevices::rulesEngineInitialize() { return connectAs(3); }
int HADevices::initializeFree1() { return connectAs(5); }
int HADevices::initializeFree2() { return connectAs(6); }
int HADevices::webInitialize() { return connectAs(7); }
int HADevices::meshInitialize() { return connectAs(8); }

int HADevices::runRuleInitialize() {
    clearDeviceCallbacks();
    chan::identity = 4;
    return ConnectToServers();
}

void HADevices::genericCallback(void (*fn)(Device*)) {
    std::lock_guard<std::mutex> g(callbacksLock);
    callbacks.generic = fn;
}

void HADevices::deviceCallback(int deviceId, void (*fn)(Device*)) {
    std::lock_guard<std::mutex> g(callbacksLock);
    callbacks.device = fn;
    callbacks.deviceId = deviceId;
}

void HADevices::eventCallback(void (*fn)(Event*)) {
    std::lock_guard<std::mutex> g(callbacksLock);
    callbacks.event = fn;
}

void HADevices::broadcastEvent(Event e) {
    if (sendToHA(&e, sizeof e, true) < 0) fputs("sending event failed to haserver\n", stderr);
}

void HADevices::Delayedarm() {
    Event e;
    memset(&e, 0, sizeof e);
    e.type = EV_DelayedArm;
    if (sendToHA(&e, sizeof e, true) < 0) fputs("sending delayed arm event failed to haserver\n", stderr);
}

bool HADevices::restoreDB(unsigned char code, char* storePath) {
    std::unique_ptr<RSC_PACKET> p = newRscPacket(54);
    hbase::copyText(p->text, sizeof p->text, storePath);
    p->int1 = code;
    return sendRscPacket(p.get());
}

Device& HADevices::getDeviceByID(int id) {
    // A throwing first load leaves the object unmade: the next call retries.
    static Device device(id);
    return device;
}

DeviceList& HADevices::getDeviceList() {
    static DeviceList list;
    return list;
}

DeviceList& HADevices::getDeviceByType(DevType) {
    static DeviceList list;
    return list;
}

DeviceList& HADevices::getDeviceByHop(int) {
    static DeviceList list;
    return list;
}

int Device::getLastNotificationIndex() {
    int me = getID();
    return me >= 1 && hapacket.deviceId == me ? hapacket.index : -1;
}

char* Device::getLastNotificationIndexName() {
    int me = getID();
    if (me < 1 || hapacket.deviceId != me) return kErr;
    for (const ValueRecord& v : values())
        if (v.index == hapacket.index) return const_cast<char*>(v.name);
    return kErr;
}

char* Device::getLastNotificationIndexValue() {
    int me = getID();
    if (me < 1 || hapacket.deviceId != me) return kErr;
    // The level just sent stands until the device reports again.
    if (getDeviceType() != RollerShutter && lightDeviceID == me) {
        snprintf(hapacket.value, sizeof hapacket.value, "%d", sentLightValue);
        lightDeviceID = -1;
        sentLightValue = -1;
    }
    return hapacket.value;
}

char* validate_local_address(char* text) {
    if (!text || !*text) return nullptr;
    char* at = strchr(text + 1, '@');
    return at ? at + 1 : nullptr;
}

bool validate_mode(char c) { return c >= '2' && c <= '5'; }

int getIfMac(const char* ifname, char* out) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        printf("getIfMac: open socket error\n");
        strcpy(out, "<no_mac>");
        return -1;
    }
    ifreq ifr;
    memset(&ifr, 0, sizeof ifr);
    hbase::copyText(ifr.ifr_name, sizeof ifr.ifr_name, ifname);
    if (ioctl(fd, SIOCGIFHWADDR, &ifr) < 0) {
        printf("getIfMac: ioctl SIOCGIFADDR error for %s\n", ifname ? ifname : "");
        close(fd);
        strcpy(out, "<no_mac>");
        return -1;
    }
    close(fd);
    const unsigned char* mac = reinterpret_cast<const unsigned char*>(ifr.ifr_hwaddr.sa_data);
    snprintf(out, 13, "%02x%02x%02x%02x%02x%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return 0;
}
