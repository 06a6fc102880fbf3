// HA server: owner of the device store. Takes device settings packets
// (port 8888), association packets and client events (port 9999), the
// device servers' value reports and the virtual home's reports (world.cpp);
// writes /tmp/ddb and tells every client. What it tells them is also
// appended to /sim/state/log/ha-clients.dgrams, the feed the browser
// panel follows.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <vector>

extern "C" {
#include <depot.h>
}

#include "hacore/vocab.h"
#include "hub.h"

namespace hub {
namespace {

const char* const kClients[] = {"127.255.255.2", "127.255.255.3",  "127.255.255.7",  "127.255.255.8",
                                "127.255.255.9", "127.255.255.10", "127.255.255.11", "127.255.255.250"};

Socket settings, assoc, reports;

void toClients(const void* data, size_t len) {
    for (const char* ip : kClients) {
        sockaddr_in a = address(ip, 8888);
        sendto(settings.fd, data, len, 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    Socket feed;
    feed.log = "ha-clients";
    feed.port = 8888;
    recordMessage(feed, data, len, address("127.255.255.1", 8888));
}

void notify(int id, int index, const char* value) {
    HAMessage msg = haMessage(0, id, index, value);
    toClients(&msg, sizeof msg);
}

void announce(const Event& e) {
    struct {
        int32_t kind;
        Event e;
    } msg;
    msg.kind = 1;
    msg.e = e;
    toClients(&msg, sizeof msg);
}

void announce(EventType type, int arg) {
    Event e;
    memset(&e, 0, sizeof e);
    e.type = type;
    e.arg = arg;
    announce(e);
}

// Unlike the router's server, the stand-in takes qdbm's lock when it writes,
// so a test that lays records down (with the lock) never races it.
DEPOT* openForWrite() { return dpopen("/tmp/ddb", DP_OWRITER | DP_OCREAT | DP_OSPARSE, 1); }

bool put(DEPOT* db, const std::string& key, const void* v, int len) {
    return depotPut(db, key.c_str(), (int)key.size(), static_cast<const char*>(v), len, DP_DOVER);
}

std::string valueKey(int id, int index) { return std::to_string(id) + "." + std::to_string(index); }

template <typename F>
bool updateDevice(int id, F change) {
    StoredDevice d;
    if (!loadDevice(id, &d)) return false;
    change(d.rec);
    DEPOT* db = openForWrite();
    if (!db) return false;
    bool ok = put(db, std::to_string(id), &d.rec, sizeof d.rec);
    depotClose(db);
    return ok;
}

template <typename F>
bool updateValue(int id, int index, F change) {
    ValueRecord v;
    if (!loadValue(id, index, &v)) return false;
    change(v);
    DEPOT* db = openForWrite();
    if (!db) return false;
    bool ok = put(db, valueKey(id, index), &v, sizeof v);
    depotClose(db);
    return ok;
}

bool setValue(int id, int index, const char* value) {
    ValueRecord stored;
    setField(stored.value, sizeof stored.value, value);
    if (!updateValue(id, index, [&](ValueRecord& v) { memcpy(v.value, stored.value, sizeof v.value); })) return false;
    notify(id, index, stored.value);
    return true;
}

void removeDevice(int id) {
    StoredDevice d;
    if (!loadDevice(id, &d)) {
        fprintf(stderr, "ha: device %d not removed: %s\n", id, dperrmsg(dpecode));
        return;
    }
    DEPOT* db = openForWrite();
    if (!db) {
        fprintf(stderr, "ha: device %d not removed: %s\n", id, dperrmsg(dpecode));
        return;
    }
    std::string main = std::to_string(id), prefix = main + ".";
    std::vector<std::string> keys{main};
    dpiterinit(db);
    while (char* k = dpiternext(db, nullptr)) {
        if (strncmp(k, prefix.c_str(), prefix.size()) == 0) keys.push_back(k);
        free(k);
    }
    for (const std::string& k : keys) depotOut(db, k.c_str(), (int)k.size());
    depotClose(db);
    announce(EV_DeviceRemoved, id);
}

void rename(int id, const char* name, bool location) {
    bool ok = updateDevice(id, [&](DeviceRecord& r) { setField(location ? r.location : r.name, sizeof r.name, name); });
    if (ok) announce(EV_DeviceUpdated, id);
}

// A settings request, from port 8888 (selector 0) or inside an association
// packet.
void settingsRequest(int selector, SetDataPacket d) {
    d.operation[sizeof d.operation - 1] = '\0';
    d.value[sizeof d.value - 1] = '\0';
    const std::string op = d.operation;
    int id = d.deviceId;
    StoredDevice dev;
    if (id < 1 || !loadDevice(id, &dev)) return;

    if (op == "Name" || op == "Location") {
        rename(id, d.value, op == "Location");
    } else if (op == "modifydevicetype") {
        char name[kDevTypeTextSize];
        DevtypeEnumToStr((DevType)d.devType, name, sizeof name);
        if (updateDevice(id, [&](DeviceRecord& r) {
                r.typeCode = d.devType;
                setField(r.typeName, sizeof r.typeName, name);
            }))
            announce(EV_DeviceUpdated, id);
    } else if (op == "DeviceRemove") {
        removeDevice(id);
    } else if (op == "SetIndexName") {
        updateValue(id, d.index, [&](ValueRecord& v) { setField(v.name, sizeof v.name, d.value); });
        announce(EV_DeviceUpdated, id);
    } else if (op == "SetDuration") {
        int index = d.index ? d.index : dev.typeName() == "HalvixSiren" ? 5 : 4;
        setValue(id, index, d.value);
    } else if (selector != 0) {
        setValue(id, d.index, d.value);
    } else if (op == "security") {
        setValue(id, 0, d.value);
    } else {
        // Clearing an alarm or tamper, camera settings: the value of that name.
        int index =
            findValue(id, [&](const ValueRecord& v) { return strncasecmp(v.name, op.c_str(), sizeof v.name) == 0; });
        if (index >= 0) setValue(id, index, d.value);
    }
}

void onSettings() {
    char buf[65536];
    sockaddr_in from;
    int n = receive(settings, buf, sizeof buf, &from);
    if (n >= 0) settingsRequest(0, packetOf<SetDataPacket>(buf, n));
}

void onAssoc() {
    char buf[65536];
    sockaddr_in from;
    int n = receive(assoc, buf, sizeof buf, &from);
    if (pairingAssoc(buf, n)) return;
    if (n == (int)sizeof(Event)) {
        // broadcastEvent and Delayedarm: pass the event on to every client.
        Event e;
        memcpy(&e, buf, sizeof e);
        if (e.type == EV_HalvixUpdated) applyHalvixSetting(e);
        announce(e);
    } else if (n >= (int)(sizeof(int32_t) + sizeof(SetDataPacket))) {
        AssocPacket a;
        memcpy(&a, buf, sizeof(int32_t) + sizeof(SetDataPacket));
        settingsRequest(a.selector, a.data);
    }
}

void onReport() {
    HAMessage msg;
    sockaddr_in from;
    memset(&msg, 0, sizeof msg);
    if (receive(reports, &msg, sizeof msg, &from) != (int)sizeof msg) return;
    msg.p.value[sizeof msg.p.value - 1] = '\0';
    if (msg.word == 0 && unreachable(msg.p.deviceId)) {
        // The command never reached the device: no answer, nothing changes.
        fprintf(stderr, "ha: device %d is unreachable: its report of index %d dropped\n", msg.p.deviceId, msg.p.index);
    } else if (msg.word == 0) {
        setValue(msg.p.deviceId, msg.p.index, msg.p.value);
    } else if (msg.word == 1) {
        rename(msg.p.deviceId, msg.p.value, false);
    } else if (msg.word == 2) {
        removeDevice(msg.p.deviceId);
    }
}

}  // namespace

void announceEvent(int type, int arg) { announce((EventType)type, arg); }

bool storeValue(int id, int index, const std::string& value) { return setValue(id, index, value.c_str()); }

bool storeAttribute(int id, const char* suffix, const std::string& text, int len) {
    std::string v(len, '\0');
    memcpy(&v[0], text.data(), text.size() < (size_t)len ? text.size() : len - 1);
    DEPOT* db = openForWrite();
    if (!db) return false;
    bool ok = put(db, std::to_string(id) + "." + suffix, v.data(), len);
    depotClose(db);
    return ok;
}

bool unreachable(int id) { return loadAttribute(id, "ST") == "1"; }

int runHA() {
    settings = bindOrDie("127.255.255.1", 8888, "ha");
    assoc = bindOrDie("127.255.255.1", 9999, "ha-assoc");
    reports = bindOrDie("127.255.255.1", kReportPort, "");
    const int world = worldListen();
    ready("ha");
    pollfd fds[4] = {{settings.fd, POLLIN, 0}, {assoc.fd, POLLIN, 0}, {reports.fd, POLLIN, 0}, {world, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 4, -1) < 0) continue;
        if (fds[0].revents) onSettings();
        if (fds[1].revents) onAssoc();
        if (fds[2].revents) onReport();
        if (fds[3].revents) onWorld(world);
    }
}

}  // namespace hub
