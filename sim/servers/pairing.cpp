// Pairing conversations of the virtual router.
//
// The radio servers (zwave, zigbee, hue, nest) answer the pairing client's
// requests by playing a script: /sim/state/servers/<radio>.pairing, read
// afresh at every request. A script is data:
//
//   # a Z-Wave wall switch joins
//   on add
//     wait 200
//     send node=12
//     send node=12
//     send node=12 basic=4 generic=0x10 specific=1 classes=0x25,0x32,0x86 values=0x25:0:1,0x32:8:1
//   on remove
//     send node=12
//     send node=12
//
// "on <request>" starts the answers to a request: add, remove, reset,
// cancel (Z-Wave and ZigBee), search, bridge, bulbs, refresh, remove (Hue),
// add, remove (Nest). "wait <ms>" pauses before the next answer; "wait
// button" holds the answers after it until the radio's pairing button is
// pressed (a datagram "button" to port 7778 of the radio, which sim-device
// sends; a press that nothing waits for is kept for the next "wait button").
// "send" sends one answer record, its fields given as key=value (values
// with blanks in double quotes). Every record goes to the address that made
// the request, at its full size unless len=N says otherwise. A cancel drops
// the answers not yet sent (and the presses kept), then plays "on cancel"
// if the script has one.
//
// Fields:
//   zwave:  node basic generic specific classes=c,c.. values=cc:index:instance,..
//           type found (DevType at 608)
//   zigbee: status short clusters=id:endpoint,.. manufacturer model zone
//           f228 f232 f240 id292 id294 type
//   hue:    state count bridges=<bridge id>@<ip>,..   (count defaults to the list)
//   nest:   command result data
//   all:    len=N (datagram length: shorter or longer than the record)
//
// The HA server's side (pairingAssoc) stores a finished device from the
// association packet in /tmp/ddb and removes one, as the router's does.
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fstream>
#include <map>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>

extern "C" {
#include <depot.h>
}

#include "hacore/packets.h"
#include "hacore/vocab.h"
#include "hub.h"
#include "pairing/HalvixAssociation.h"
#include "base/clock.h"

namespace hub {
namespace {

struct Answer {
    long long due;
    std::string bytes;
};

// A line of a block: an answer `delay` ms after the one before it, or a wait
// for the pairing button.
struct Step {
    long long delay;
    bool button;
    std::string bytes;
};

std::deque<Answer> g_pending;          // due at their times
std::deque<std::vector<Step>> g_held;  // the rest of a block, each waiting for a press
int g_presses;                         // presses nothing waited for yet
sockaddr_in g_replyTo;

// key=value words of a line; values may be quoted.
std::map<std::string, std::string> fields(const std::string& line) {
    std::map<std::string, std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isspace((unsigned char)line[i])) ++i;
        size_t eq = line.find('=', i);
        if (i >= line.size() || eq == std::string::npos) break;
        std::string key = line.substr(i, eq - i), value;
        i = eq + 1;
        if (i < line.size() && line[i] == '"') {
            size_t end = line.find('"', i + 1);
            if (end == std::string::npos) end = line.size();
            value = line.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            size_t end = i;
            while (end < line.size() && !isspace((unsigned char)line[end])) ++end;
            value = line.substr(i, end - i);
            i = end;
        }
        out[key] = value;
    }
    return out;
}

long num(const std::map<std::string, std::string>& f, const char* key, long def = 0) {
    auto it = f.find(key);
    return it == f.end() ? def : strtol(it->second.c_str(), nullptr, 0);
}

std::string text(const std::map<std::string, std::string>& f, const char* key) {
    auto it = f.find(key);
    return it == f.end() ? "" : it->second;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::stringstream ss(s);
    std::string item;
    while (std::getline(ss, item, sep))
        if (!item.empty()) out.push_back(item);
    return out;
}

template <typename R>
std::string raw(const R& r) {
    return std::string(reinterpret_cast<const char*>(&r), sizeof r);
}

std::string zwaveRecord(const std::map<std::string, std::string>& f) {
    ZWNodeRecord r;
    memset(&r, 0, sizeof r);
    r.nodeId = (uint8_t)num(f, "node");
    r.basicClass = (uint8_t)num(f, "basic");
    r.genericClass = (uint8_t)num(f, "generic");
    r.specificClass = (uint8_t)num(f, "specific");
    r.foundType = (int32_t)num(f, "type");
    int n = 0;
    for (const std::string& c : split(text(f, "classes"), ','))
        if (n < kZWClassCap) r.classes[n++] = (uint8_t)strtol(c.c_str(), nullptr, 0);
    if (n < kZWClassCap) r.classes[n] = 0xFF;
    n = 0;
    for (const std::string& v : split(text(f, "values"), ',')) {
        std::vector<std::string> p = split(v, ':');
        if (n >= kZWValueCap || p.size() != 3) continue;
        for (int k = 0; k < 3; ++k) r.values[n][k] = (uint8_t)strtol(p[k].c_str(), nullptr, 0);
        ++n;
    }
    return raw(r);
}

std::string zigbeeRecord(const std::map<std::string, std::string>& f) {
    ZBDeviceRecord r;
    memset(&r, 0, sizeof r);
    r.status = (uint8_t)num(f, "status");
    r.shortAddr = (uint16_t)num(f, "short");
    int n = 0;
    for (const std::string& c : split(text(f, "clusters"), ',')) {
        std::vector<std::string> p = split(c, ':');
        if (n >= kZBClusterCap || p.empty()) continue;
        r.clusters[n].id = (uint16_t)strtol(p[0].c_str(), nullptr, 0);
        r.clusters[n].endPoint = (uint16_t)(p.size() > 1 ? strtol(p[1].c_str(), nullptr, 0) : 1);
        ++n;
    }
    if (n < kZBClusterCap) r.clusters[n].id = 0xFFFF;
    setField(r.manufacturer, sizeof r.manufacturer, text(f, "manufacturer"));
    setField(r.model, sizeof r.model, text(f, "model"));
    setField(r.name, sizeof r.name, text(f, "name"));
    r.zoneType = (uint16_t)num(f, "zone");
    r.devType = (uint8_t)num(f, "type");
    r.field228 = (uint16_t)num(f, "f228");
    r.field232 = (uint16_t)num(f, "f232");
    r.field240 = (uint16_t)num(f, "f240");
    r.ident292 = (uint16_t)num(f, "id292");
    r.ident294 = (uint16_t)num(f, "id294");
    return raw(r);
}

std::string hueRecord(const std::map<std::string, std::string>& f) {
    HueAnswer r;
    memset(&r, 0, sizeof r);
    r.state = (uint32_t)num(f, "state");
    std::vector<std::string> bridges = split(text(f, "bridges"), ',');
    r.count = (uint32_t)num(f, "count", (long)bridges.size());
    for (size_t i = 0; i < bridges.size() && i < 50; ++i) {
        std::vector<std::string> p = split(bridges[i], '@');
        std::string json = "{\"id\":\"" + p[0] + "\",\"internalipaddress\":\"" + (p.size() > 1 ? p[1] : "") + "\"}";
        setField(r.bridges[i], kHueObjectSize, json);
    }
    return raw(r);
}

std::string nestRecord(const std::map<std::string, std::string>& f) {
    NestAnswer r;
    r.command = (uint32_t)num(f, "command");
    r.result = (int32_t)num(f, "result");
    r.data = (uint32_t)num(f, "data");
    return raw(r);
}

// The steps of the script's block for `request`.
std::vector<Step> block(const std::string& radio, const std::string& request) {
    std::vector<Step> out;
    std::ifstream in(std::string(kStateDir) + "/" + radio + ".pairing");
    std::string line;
    bool inside = false;
    long long delay = 0;
    while (std::getline(in, line)) {
        size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string verb;
        if (!(words >> verb)) continue;
        if (verb == "on") {
            std::string what;
            words >> what;
            inside = what == request;
            continue;
        }
        if (!inside) continue;
        if (verb == "wait") {
            std::string what;
            words >> what;
            if (what == "button") {
                out.push_back({delay, true, ""});
                delay = 0;
            } else {
                delay += strtol(what.c_str(), nullptr, 10);
            }
        } else if (verb == "send") {
            std::string rest;
            std::getline(words, rest);
            auto f = fields(rest);
            std::string bytes = radio == "zwave"    ? zwaveRecord(f)
                                : radio == "zigbee" ? zigbeeRecord(f)
                                : radio == "hue"    ? hueRecord(f)
                                                    : nestRecord(f);
            if (f.count("len")) bytes.resize((size_t)num(f, "len"), '\0');
            out.push_back({delay, false, bytes});
            delay = 0;
        }
    }
    return out;
}

// The pairing request a datagram makes, or "".
std::string requestOf(const std::string& radio, const void* data, int len) {
    if (radio == "zwave") {
        OZWPacket p;
        memset(&p, 0, sizeof p);
        memcpy(&p, data, (size_t)len < sizeof p ? len : sizeof p);
        int32_t controller;
        memcpy(&controller, p.zero204 + 8, 4);
        if (p.operation == 1 && controller == 1) return "add";
        if (p.operation == 1 && controller == 4) return "remove";
        if (p.operation == 4) return "cancel";
        if (p.operation == 5) return "reset";
    } else if (radio == "zigbee") {
        ZigbeePacket p;
        memset(&p, 0, sizeof p);
        memcpy(&p, data, (size_t)len < sizeof p ? len : sizeof p);
        std::string cmd(p.command, strnlen(p.command, sizeof p.command));
        std::string key(p.keyword, strnlen(p.keyword, sizeof p.keyword));
        if (key == "IAS") return "add";
        if (key == "remove") return "remove";
        if (key == "cancel") return "cancel";
        if (cmd == "n l") return "reset";
    } else if (radio == "hue") {
        HuePacket p;
        memset(&p, 0, sizeof p);
        memcpy(&p, data, (size_t)len < sizeof p ? len : sizeof p);
        switch (p.command) {
            case 114:
                return "search";
            case 100:
                return "bridge";
            case 105:
                return "bulbs";
            case 106:
                return "refresh";
            case 109:
                return "remove";
        }
    } else if (radio == "nest") {
        NestPacket p;
        memset(&p, 0, sizeof p);
        memcpy(&p, data, (size_t)len < sizeof p ? len : sizeof p);
        if (p.command == 100) return "add";
        if (p.command == 109) return "remove";
    }
    return "";
}

// Puts the steps from `start` on: answers at their times until a wait for
// the button, which a kept press passes; the rest waits for the next press
// (before the other waiting blocks when `first`).
void schedule(const std::vector<Step>& steps, long long start, bool first) {
    long long at = start;
    for (size_t i = 0; i < steps.size(); ++i) {
        at += steps[i].delay;
        if (!steps[i].button) {
            g_pending.push_back({at, steps[i].bytes});
            continue;
        }
        if (g_presses > 0) {
            --g_presses;
            continue;
        }
        std::vector<Step> rest(steps.begin() + (long)i + 1, steps.end());
        if (first)
            g_held.push_front(rest);
        else
            g_held.push_back(rest);
        break;
    }
    // Answers of an earlier request that are still due keep their turn.
    std::stable_sort(g_pending.begin(), g_pending.end(),
                     [](const Answer& a, const Answer& b) { return a.due < b.due; });
}

void sendDue(const Socket& sock) {
    long long now = hbase::nowMs();
    while (!g_pending.empty() && g_pending.front().due <= now) {
        const std::string& b = g_pending.front().bytes;
        sendto(sock.fd, b.data(), b.size(), 0, reinterpret_cast<const sockaddr*>(&g_replyTo), sizeof g_replyTo);
        g_pending.pop_front();
    }
}

// A press of the radio's pairing button: the first held block goes on from
// now, or the press is kept. Answered to the presser.
void press(const Socket& button) {
    char buf[64];
    sockaddr_in from;
    int n = receive(button, buf, sizeof buf, &from);
    if (n != 6 || memcmp(buf, "button", 6) != 0) return;
    const char* answer = "released";
    if (g_held.empty()) {
        ++g_presses;
        answer = "kept";
    } else {
        std::vector<Step> steps = g_held.front();
        g_held.pop_front();
        schedule(steps, hbase::nowMs(), true);
    }
    sendto(button.fd, answer, strlen(answer), 0, reinterpret_cast<const sockaddr*>(&from), sizeof from);
}

}  // namespace

void pairingWait(const Socket& sock, const Socket* button) {
    for (;;) {
        sendDue(sock);
        long long wait = g_pending.empty() ? -1 : g_pending.front().due - hbase::nowMs();
        pollfd p[2] = {{sock.fd, POLLIN, 0}, {button ? button->fd : -1, POLLIN, 0}};
        int r = poll(p, button ? 2 : 1, wait < 0 && !g_pending.empty() ? 0 : (int)wait);
        if (r > 0 && button && p[1].revents) press(*button);
        if (r > 0 && p[0].revents) return;
    }
}

void pairingRequest(const Socket& sock, const std::string& radio, const void* data, int len, const sockaddr_in& from) {
    std::string request = requestOf(radio, data, len);
    if (request.empty()) return;
    if (request == "cancel") {
        g_pending.clear();
        g_held.clear();
        g_presses = 0;
    }
    g_replyTo = from;
    schedule(block(radio, request), hbase::nowMs(), false);
    sendDue(sock);
}

// ---- the HA server's side ----

namespace {

DEPOT* openWrite() { return dpopen("/tmp/ddb", DP_OWRITER | DP_OCREAT | DP_OSPARSE, 1); }

void putRaw(DEPOT* db, const std::string& key, const void* v, int len) {
    depotPut(db, key.c_str(), (int)key.size(), static_cast<const char*>(v), len, DP_DOVER);
}

void putText(DEPOT* db, const std::string& key, const std::string& text, int len) {
    std::string v(len, '\0');
    memcpy(&v[0], text.data(), text.size() < (size_t)len ? text.size() : len - 1);
    putRaw(db, key, v.data(), len);
}

// Next free device ID: "NextDevid", above every stored ID.
int nextId(DEPOT* db) {
    char buf[11] = "";
    int next = dpgetwb(db, "NextDevid", -1, 0, 10, buf) >= 0 ? atoi(buf) : 1;
    for (int id : devicesWhere([](const StoredDevice&) { return true; }))
        if (id >= next) next = id + 1;
    return next < 1 ? 1 : next;
}

struct NewValue {
    int indexType, commandClass, commandIndex, endPoint;
};

int storeDevice(const std::string& name, const std::string& location, int tech, int type, int node, int shortId,
                const std::vector<NewValue>& values, const std::string& maker, const std::string& model) {
    DEPOT* db = openWrite();
    if (!db) return 0;
    int id = nextId(db);
    DeviceRecord r;
    memset(&r, 0, sizeof r);
    r.id = id;
    setField(r.name, sizeof r.name, name);
    setField(r.location, sizeof r.location, location);
    r.ozwNode = node;
    r.shortId = shortId;
    r.technology = tech;
    setField(r.associationTime, sizeof r.associationTime, std::to_string((long long)time(nullptr)));
    char typeName[kDevTypeTextSize];
    DevtypeEnumToStr((DevType)type, typeName, sizeof typeName);
    r.typeCode = type;
    setField(r.typeName, sizeof r.typeName, typeName);
    setField(r.friendlyType, sizeof r.friendlyType, typeName);
    r.allowNotification = 1;
    r.valueCount = (int)values.size();
    putRaw(db, std::to_string(id), &r, sizeof r);
    ValueRecord v;
    memset(&v, 0, sizeof v);
    setField(v.name, sizeof v.name, "SECURITYDEVICE");
    setField(v.value, sizeof v.value, "0");
    v.indexType = IDX_SECURITYDEVICE;
    putRaw(db, std::to_string(id) + ".0", &v, sizeof v);
    for (size_t k = 0; k < values.size(); ++k) {
        memset(&v, 0, sizeof v);
        v.index = (int)k + 1;
        char itype[kIndexTypeTextSize] = "";
        IndexTypeEnumToStr((IndexType)values[k].indexType, itype, 0, sizeof itype);
        setField(v.name, sizeof v.name, itype);
        char dataType[kIndexTypeTextSize] = "";
        IndexTypeEnumToStr((IndexType)values[k].indexType, dataType, 1, sizeof dataType);
        setField(v.value, sizeof v.value, strcmp(dataType, "Bool") == 0 ? "false" : "0");
        v.commandClass = values[k].commandClass;
        v.commandIndex = values[k].commandIndex;
        v.endPoint = values[k].endPoint;
        v.indexType = values[k].indexType;
        putRaw(db, std::to_string(id) + "." + std::to_string(k + 1), &v, sizeof v);
    }
    putText(db, std::to_string(id) + ".MN", maker, 32);
    putText(db, std::to_string(id) + ".MI", model, 20);
    putText(db, "NextDevid", std::to_string(id + 1), 10);
    depotClose(db);
    announceEvent(EV_DeviceAdded, id);
    return id;
}

// The HA server's own reading of a Z-Wave value: its index type.
int zwaveIndexType(int c, int i) {
    switch (c) {
        case 0x20:
            return IDX_BASIC;
        case 0x25:
            return IDX_SWITCH_BINARY;
        case 0x26:
            return i == 0 ? IDX_SWITCH_MULTILEVEL : 0;
        case 0x30:
            return IDX_SENSOR_BINARY;
        case 0x31:
            return i == 1 ? IDX_TEMPERATURE : i == 3 ? IDX_ILLUMINANCE : i == 5 ? IDX_HUMIDITY : 0;
        case 0x32:
            return i == 0 ? IDX_ENERGY : i == 8 ? IDX_POWER : 0;
        case 0x40:
            return IDX_THERMOSTAT_MODE;
        case 0x43:
            return i == 1 ? IDX_THERMOSTAT_SETPOINT_HEATING : i == 2 ? IDX_THERMOSTAT_SETPOINT_COOLING : 0;
        case 0x62:
            return i == 0 ? IDX_LOCK_STATE : 0;
        case 0x71:
            return i == 2 ? IDX_TAMPER : 0;
        case 0x80:
            return IDX_BATTERY;
        default:
            return 0;
    }
}

void addZwave(const ZWNodeRecord& n) {
    std::vector<NewValue> values;
    if (n.foundType == GenericDevice) {
        for (int k = 0; k < kZWIndexCap && n.indexes[2 * k]; ++k)
            values.push_back({n.indexes[2 * k], 0, 0, n.indexes[2 * k + 1]});
    } else {
        for (int k = 0; k < kZWValueCap && n.values[k][0]; ++k) {
            int t = zwaveIndexType(n.values[k][0], n.values[k][1]);
            if (t) values.push_back({t, n.values[k][0], n.values[k][1], n.values[k][2]});
        }
    }
    int type = n.chosenType ? n.chosenType : n.foundType;
    storeDevice(std::string(n.name, strnlen(n.name, sizeof n.name)),
                std::string(n.location, strnlen(n.location, sizeof n.location)), 2, type, n.nodeId, 65535, values, "",
                "");
}

void addZigbee(const ZBDeviceRecord& z) {
    std::vector<NewValue> values;
    for (int k = 1; k <= z.indexCount && k <= 29; ++k) {
        int t = z.indexes[2 * (k - 1)];
        if (t == 255) break;
        values.push_back({t, 0, 0, z.indexes[2 * (k - 1) + 1]});
    }
    storeDevice(std::string(z.name, strnlen(z.name, sizeof z.name)),
                std::string(z.location, strnlen(z.location, sizeof z.location)), 1, z.devType, 0, z.shortAddr, values,
                std::string(z.manufacturer, strnlen(z.manufacturer, sizeof z.manufacturer)),
                std::string(z.model, strnlen(z.model, sizeof z.model)));
}

}  // namespace

bool pairingAssoc(const void* data, int len) {
    if (len < 4) return false;
    HAAssocPacket p;
    memset(&p, 0, sizeof p);
    memcpy(&p, data, (size_t)len < sizeof p ? len : sizeof p);
    const int body = len - 4;
    if (p.selector == 0 && strncmp(reinterpret_cast<char*>(p.data), "removeAllDevices", 17) == 0) {
        for (int id : devicesWhere([](const StoredDevice&) { return true; })) reportRemoval(id);
        announceEvent(EV_DeviceRemoveAll, 0);
        return true;
    }
    if (p.selector == 0 && body >= (int)sizeof(ZBDeviceRecord) && (p.data[10] == 10 || p.data[10] == 2)) {
        ZBDeviceRecord z;
        memcpy(&z, p.data, sizeof z);
        if (z.status == 10) {
            addZigbee(z);
        } else {
            int id = findDevice(
                [&](const StoredDevice& d) { return d.rec.technology == 1 && d.rec.shortId == (int32_t)z.shortAddr; });
            if (id) reportRemoval(id);
        }
        return true;
    }
    if (p.selector == 2 && body >= (int)sizeof(ZWNodeRecord)) {
        ZWNodeRecord n;
        memcpy(&n, p.data, sizeof n);
        if (n.marker == 255) {
            addZwave(n);
            return true;
        }
        if (n.marker == 254) {
            int id = findDevice(
                [&](const StoredDevice& d) { return d.rec.technology == 2 && (uint8_t)d.rec.ozwNode == n.nodeId; });
            if (id) reportRemoval(id);
            return true;
        }
    }
    return false;
}

}  // namespace hub
