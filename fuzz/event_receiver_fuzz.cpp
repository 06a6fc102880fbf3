// Datagrams from the HA server, the mesh server and strangers, handled by
// the receiver thread of a cloud connector (HADevices::CloudInitialize). The
// first input byte picks the sender (bits 0-1: the HA server, the mesh
// server, the end client's address, 127.0.0.1) and, with bit 2, a dimming
// command pending for device 1, 2 or 3 (bits 3-4); the rest is one datagram,
// sent over loopback UDP from that address to the process's own socket.
// Then a marker event from the HA server must come back through the event
// callback, so each datagram is handled whole before the next is sent, and
// what the callbacks saw (and did not see) is checked against the datagram.
//
// A notification looks its device up in a small store laid down at start:
// devices 1 to 3, a record "4" that names device 5, nothing else. Runs
// inside a virtual router, whose /tmp and loopback are its own.
#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

extern "C" {
#include <depot.h>
}

#include "hacore/Device.h"
#include "hacore/HADevices.h"
#include "hacore/channel.h"
#include "hacore/channel_state.h"

#include "fuzz_util.h"

namespace {

constexpr size_t kReadMax = sizeof(HAReceivedPacket);  // what the receiver reads of a datagram
const EventType kMarker = EventType(0x4d41524b);
const int kLevel = 40;

enum Sender { kHA, kMesh, kEnd, kLocal };
int g_senders[4];

// What the callbacks saw of one datagram, and the marker that ends it.
struct Seen {
    int events = 0;
    Event event;
    std::vector<int> generic, device;
    bool dimmed = false;  // the notified value gave way to the level sent
    bool marker = false;
};
std::mutex g_lock;
std::condition_variable g_cv;
Seen g_seen;
int g_seq = 0;
unsigned char g_nonce[16];
int g_light = -1;  // the device of the pending dimming command, -1: none

bool terminated(const char* s, size_t field) { return s && strnlen(s, field) < field; }

void onEvent(Event* e) {
    std::lock_guard<std::mutex> g(g_lock);
    if (e->type == kMarker && e->arg == g_seq && memcmp(e->data, g_nonce, sizeof g_nonce) == 0) {
        g_seen.marker = true;
        g_cv.notify_all();
        return;
    }
    CHECK(e == &epacket && e->type != 0);
    ++g_seen.events;
    g_seen.event = *e;
}

void onDevice(Device* d) {
    std::lock_guard<std::mutex> g(g_lock);
    const int id = d->getID();
    CHECK(id >= 1 && id == hapacket.deviceId);
    CHECK(terminated(d->getDeviceName(), 180) && terminated(d->getDeviceLocation(), 180));
    CHECK(d->getLastNotificationIndex() == hapacket.index);
    CHECK(terminated(d->getLastNotificationIndexName(), 30));
    char sent[180];
    memcpy(sent, hapacket.value, sizeof sent);
    const bool shutter = d->getDeviceType() == RollerShutter;
    const char* value = d->getLastNotificationIndexValue();
    CHECK(terminated(value, 180));
    if (id == g_light && !shutter) {
        // The level just sent stands for the notified one, once.
        CHECK(atoi(value) == kLevel && lightDeviceID == -1 && sentLightValue == -1);
        g_light = -1;
        g_seen.dimmed = true;
    } else {
        CHECK(memcmp(value, sent, sizeof sent) == 0);
        CHECK(lightDeviceID == g_light);
    }
    g_seen.generic.push_back(id);
}

void onDevice2(Device* d) {
    std::lock_guard<std::mutex> g(g_lock);
    g_seen.device.push_back(d->getID());
}

int sender(const char* ip) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    CHECK(fd >= 0);
    sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    inet_pton(AF_INET, ip, &a.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        perror("event_receiver_fuzz: bind");
        exit(1);
    }
    return fd;
}

void send(int fd, const void* p, size_t n) {
    CHECK(sendto(fd, p, n, 0, reinterpret_cast<const sockaddr*>(&adr_cloud), sizeof adr_cloud) == ssize_t(n));
}

void putDevice(DEPOT* db, const char* key, int id, DevTech tech, const char* type, int values) {
    DeviceRecord r;
    memset(&r, 0, sizeof r);
    r.id = id;
    snprintf(r.name, sizeof r.name, "Device %d", id);
    snprintf(r.location, sizeof r.location, "Hall");
    r.shortId = 65535;
    r.technology = tech;
    snprintf(r.typeName, sizeof r.typeName, "%s", type);
    r.valueCount = values;
    dpput(db, key, -1, reinterpret_cast<char*>(&r), sizeof r, DP_DOVER);
    static const char* const kNames[] = {"SECURITYDEVICE", "SWITCH BINARY", "BATTERY", "TAMPER"};
    for (int i = 0; i <= values; ++i) {
        ValueRecord v;
        memset(&v, 0, sizeof v);
        v.index = i;
        snprintf(v.name, sizeof v.name, "%s", kNames[i % 4]);
        snprintf(v.value, sizeof v.value, "%d", i * 10);
        char k[32];
        snprintf(k, sizeof k, "%s.%d", key, i);
        dpput(db, k, -1, reinterpret_cast<char*>(&v), sizeof v, DP_DOVER);
    }
}

// The datagram's bytes from `at` as the receiver copies them: what was
// read of it, then zeros.
void padded(const uint8_t* d, size_t n, size_t at, void* out, size_t size) {
    memset(out, 0, size);
    if (n > at) memcpy(out, d + at, n - at < size ? n - at : size);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    requireVirtualRouter("event_receiver_fuzz", "binds the hub's addresses and writes /tmp/ddb");
    unlink("/tmp/ddb");
    DEPOT* db = dpopen("/tmp/ddb", DP_OWRITER | DP_OCREAT | DP_ONOLCK, 1);
    CHECK(db);
    putDevice(db, "1", 1, DEVTECH_ZWAVE, "BinarySwitch", 3);
    putDevice(db, "2", 2, DEVTECH_HUE, "HueLamp", 2);
    putDevice(db, "3", 3, DEVTECH_ZWAVE, "RollerShutter", 1);
    putDevice(db, "4", 5, DEVTECH_ZIGBEE, "BinarySwitch", 0);
    CHECK(dpclose(db));
    // Defaults written now, so that the store stays as it is from here on.
    DeviceList().Populate();

    FILE* r = fopen("/dev/urandom", "rb");
    CHECK(r && fread(g_nonce, 1, sizeof g_nonce, r) == sizeof g_nonce);
    fclose(r);

    HADevices ha;
    ha.eventCallback(onEvent);
    CHECK(ha.CloudInitialize() == 1);
    ha.genericCallback(onDevice);
    ha.deviceCallback(2, onDevice2);
    // Both datagrams of an input go through this CPU's queue, in order (the
    // receiver thread, started above, runs where it likes).
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    sched_setaffinity(0, sizeof one, &one);
    g_senders[kHA] = sender("127.255.255.1");
    g_senders[kMesh] = sender("127.255.255.250");
    g_senders[kEnd] = sender("127.255.255.3");
    g_senders[kLocal] = sender("127.0.0.1");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 4096) return 0;
    const Sender from = Sender(data[0] & 3);
    const uint8_t* d = data + 1;
    const size_t len = size - 1;
    const size_t n = len < kReadMax ? len : kReadMax;

    HAPacket before = hapacket;
    {
        std::lock_guard<std::mutex> g(g_lock);
        g_seen = Seen();
        ++g_seq;
        g_light = (data[0] & 4) ? 1 + (data[0] >> 3 & 3) % 3 : -1;
    }
    lightDeviceID = g_light;
    sentLightValue = g_light < 0 ? -1 : kLevel;

    send(g_senders[from], d, len);
    struct {
        int32_t kind;
        Event e;
    } marker;
    memset(&marker, 0, sizeof marker);
    marker.kind = 1;
    marker.e.type = kMarker;
    marker.e.arg = g_seq;
    memcpy(marker.e.data, g_nonce, sizeof g_nonce);
    send(g_senders[kHA], &marker, sizeof marker);

    std::unique_lock<std::mutex> g(g_lock);
    if (!g_cv.wait_for(g, std::chrono::seconds(5), [] { return g_seen.marker; })) {
        fprintf(stderr, "the receiver did not hand on the marker\n");
        abort();
    }

    int32_t kind = -1, first = 0;
    if (n >= 4) memcpy(&kind, d, 4);
    if (n >= 8) memcpy(&first, d + 4, 4);
    const bool event = kind == 1 && n >= 8 && (from == kHA || from == kMesh) && first != 0;
    const bool note = kind == 0 && n >= 12 && from == kHA;

    CHECK(g_seen.events == (event ? 1 : 0));
    if (event) {
        Event want;
        padded(d, n, 4, &want, sizeof want);
        CHECK(memcmp(&want, &g_seen.event, sizeof want) == 0);
    }
    if (note) {
        HAPacket want;
        padded(d, n, 4, &want, sizeof want);
        want.value[sizeof want.value - 1] = '\0';
        if (g_seen.dimmed) snprintf(want.value, sizeof want.value, "%d", kLevel);
        CHECK(memcmp(&want, &hapacket, sizeof want) == 0);
        const int id = want.deviceId;
        const bool known = id >= 1 && id <= 3;
        CHECK(g_seen.generic == (known ? std::vector<int>{id} : std::vector<int>{}));
        CHECK(g_seen.device == (id == 2 ? std::vector<int>{2} : std::vector<int>{}));
    } else {
        CHECK(memcmp(&before, &hapacket, sizeof before) == 0);
        CHECK(g_seen.generic.empty() && g_seen.device.empty());
    }
    return 0;
}
