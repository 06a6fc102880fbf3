// Shared by the command tests: devices laid down in /tmp/ddb, the expected
// bytes of every server packet built at their fixed offsets, and a check of
// what each server received, field by field.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ddb.h"
#include "hacore/Device.h"
#include "hacore/channel.h"
#include "hacore/channel_state.h"
#include "hacore/commands.h"
#include "servers.h"
#include "testkit.h"

namespace cmdtest {

constexpr int ZB = 1, ZW = 2, HUE = 3, NEST = 4, HLX = 5;

// ---- expected packets, written at the fixed offsets of each layout ----

struct Pkt {
    std::string server;
    std::string bytes;
};

inline void put32(std::string& b, size_t at, int32_t v) { memcpy(&b[at], &v, 4); }
inline void putText(std::string& b, size_t at, size_t size, const std::string& t) {
    memcpy(&b[at], t.data(), t.size() < size - 1 ? t.size() : size - 1);
}

inline Pkt zw(int node, int cc, int index, int op, int genre, int vtype, const std::string& value, int instance = 1) {
    std::string b(236, '\0');
    b[4] = (char)node;
    b[5] = (char)cc;
    b[6] = (char)index;
    b[9] = (char)instance;
    putText(b, 92, 100, value);
    put32(b, 192, op);
    put32(b, 196, genre);
    put32(b, 200, vtype);
    return {"zwave", b};
}

inline Pkt zb(const std::string& text, const std::string& keyword = "", int shortId = 0) {
    std::string b(320, '\0');
    putText(b, 0, 180, text);
    putText(b, 180, 130, keyword);
    uint16_t s = (uint16_t)shortId;
    memcpy(&b[310], &s, 2);
    return {"zigbee", b};
}

// A cluster command with its send line to the test's ZigBee address 0x1a2b.
inline Pkt zbc(const std::string& cmd, int endPoint = 255) {
    return zb(cmd + "\rsend 0x1a2b 1 " + std::to_string(endPoint) + "\r");
}

struct HueFields {
    int devType = 48, saturation = 0, level = 0, hue = 0;
    std::string state;
    int bulb = 7;
    std::string newName, user = "hueuser", bridge = "bridge-01";
};

inline Pkt hue(int command, HueFields f = {}) {
    std::string b(304, '\0');
    put32(b, 0, f.devType);
    put32(b, 4, f.saturation);
    put32(b, 8, f.level);
    put32(b, 12, f.hue);
    putText(b, 16, 40, f.state);
    put32(b, 56, f.bulb);
    putText(b, 60, 60, f.newName);
    putText(b, 120, 50, f.user);
    putText(b, 170, 50, f.bridge);
    put32(b, 220, command);
    return {"hue", b};
}

struct NestFields {
    std::string nestId = "nest-abc";
    int presence = 1;
    char scale = 'F';
    std::string v103, v107, v108;
    int hvac = 0, fan = 0;
};

inline Pkt nest(int command, NestFields f = {}) {
    std::string b(256, '\0');
    put32(b, 4, command);
    putText(b, 8, 136, f.nestId);
    put32(b, 144, f.presence);
    b[183] = f.scale;
    putText(b, 194, 10, f.v103);
    putText(b, 204, 10, f.v107);
    putText(b, 214, 10, f.v108);
    put32(b, 224, f.hvac);
    b[236] = (char)f.fan;
    return {"nest", b};
}

inline std::string setData(int id, const std::string& op, const std::string& value, int type, int index) {
    std::string b(372, '\0');
    put32(b, 0, id);
    putText(b, 4, 180, op);
    putText(b, 184, 180, value);
    put32(b, 364, type);
    put32(b, 368, index);
    return b;
}

inline Pkt ha(int id, const std::string& op, const std::string& value) { return {"ha", setData(id, op, value, 0, 0)}; }

inline Pkt assoc(int selector, int id, const std::string& op, const std::string& value, int type = 0, int index = 0) {
    std::string b(4100, '\0');
    put32(b, 0, selector);
    memcpy(&b[4], setData(id, op, value, type, index).data(), 372);
    return {"ha-assoc", b};
}

// Arguments at offsets 4, 8, 12 and 16, then the tone arrays.
inline Pkt pic(int command, int a4 = 0, int a8 = 0, int a12 = 0, int a16 = 0, std::vector<int> freq = {},
               std::vector<int> dur = {}) {
    std::string b(820, '\0');
    put32(b, 0, command);
    put32(b, 4, a4);
    put32(b, 8, a8);
    put32(b, 12, a12);
    put32(b, 16, a16);
    for (size_t i = 0; i < freq.size(); ++i) put32(b, 20 + 4 * i, freq[i]);
    for (size_t i = 0; i < dur.size(); ++i) put32(b, 420 + 4 * i, dur[i]);
    return {"pic", b};
}

// Set volume: the volume in byte 5 alone.
inline Pkt picVolume(int volume, int a12) {
    Pkt p = pic(8, 0, 0, a12);
    p.bytes[5] = (char)volume;
    return p;
}

// ---- field-by-field comparison ----

struct Field {
    const char* name;
    size_t offset, size;
    char kind;  // 'i' 32-bit, 'b' byte, 'h' 16-bit, 't' text
};

inline const std::vector<Field>& fieldsOf(const std::string& server) {
    static const std::map<std::string, std::vector<Field>> f = {
        {"zwave",
         {{"node", 4, 1, 'b'},
          {"class", 5, 1, 'b'},
          {"index", 6, 1, 'b'},
          {"instance", 9, 1, 'b'},
          {"value", 92, 100, 't'},
          {"operation", 192, 4, 'i'},
          {"genre", 196, 4, 'i'},
          {"type", 200, 4, 'i'}}},
        {"zigbee", {{"command", 0, 180, 't'}, {"keyword", 180, 130, 't'}, {"short", 310, 2, 'h'}}},
        {"hue",
         {{"devType", 0, 4, 'i'},
          {"saturation", 4, 4, 'i'},
          {"level", 8, 4, 'i'},
          {"hue", 12, 4, 'i'},
          {"state", 16, 40, 't'},
          {"bulb", 56, 4, 'i'},
          {"newName", 60, 60, 't'},
          {"user", 120, 50, 't'},
          {"bridge", 170, 50, 't'},
          {"command", 220, 4, 'i'}}},
        {"nest",
         {{"command", 4, 4, 'i'},
          {"nestId", 8, 136, 't'},
          {"presence", 144, 4, 'i'},
          {"scale", 183, 1, 'b'},
          {"v103", 194, 10, 't'},
          {"v107", 204, 10, 't'},
          {"v108", 214, 10, 't'},
          {"hvac", 224, 4, 'i'},
          {"fan", 236, 1, 'b'}}},
        {"ha",
         {{"id", 0, 4, 'i'},
          {"operation", 4, 180, 't'},
          {"value", 184, 180, 't'},
          {"devType", 364, 4, 'i'},
          {"index", 368, 4, 'i'}}},
        {"ha-assoc",
         {{"selector", 0, 4, 'i'},
          {"id", 4, 4, 'i'},
          {"operation", 8, 180, 't'},
          {"value", 188, 180, 't'},
          {"devType", 368, 4, 'i'},
          {"index", 372, 4, 'i'}}},
        {"pic",
         {{"command", 0, 4, 'i'},
          {"steps", 4, 4, 'i'},
          {"volume", 5, 1, 'b'},
          {"arg8", 8, 4, 'i'},
          {"arg12", 12, 4, 'i'},
          {"arg16", 16, 4, 'i'},
          {"freq0", 20, 4, 'i'},
          {"freq5", 40, 4, 'i'},
          {"dur0", 420, 4, 'i'},
          {"dur5", 440, 4, 'i'}}},
    };
    return f.at(server);
}

inline std::string show(const std::string& b, const Field& f) {
    if (f.offset + f.size > b.size()) return "<short>";
    switch (f.kind) {
        case 'i':
            return std::to_string(testkit::le32(b, f.offset));
        case 'b':
            return std::to_string((unsigned char)b[f.offset]);
        case 'h': {
            uint16_t v;
            memcpy(&v, &b[f.offset], 2);
            return std::to_string(v);
        }
        default: {
            std::string t = testkit::field(b, f.offset, f.size);
            std::string out = "\"";
            for (char c : t) out += c == '\r' ? std::string("\\r") : std::string(1, c);
            return out + "\"";
        }
    }
}

inline void expectPacket(const std::string& server, const std::string& got, const std::string& want,
                         const std::string& where) {
    ASSERT_EQ(got.size(), want.size()) << where << ": size of " << server << " packet";
    for (const Field& f : fieldsOf(server))
        EXPECT_EQ(show(got, f), show(want, f)) << where << ": " << server << " field " << f.name;
    for (size_t i = 0; i < got.size(); ++i)
        if (got[i] != want[i]) {
            ADD_FAILURE() << where << ": " << server << " byte " << i << " is " << (int)(unsigned char)got[i]
                          << ", expected " << (int)(unsigned char)want[i];
            break;
        }
}

// ---- devices ----

struct DevSpec {
    const char* type;
    int tech;
    std::vector<ValueRecord> values;
    int shortId = 65535;
    int node = 23;
    const char* manufacturer = nullptr;
};

inline ValueRecord val(int index, const char* name, const char* value, int endPoint = 1) {
    return testkit::makeValue(index, name, value, StrToIndexTypeEnum(name), 0, 0, endPoint);
}

inline int nextId() {
    static int id = 100;
    return ++id;
}

// Lays the device down under a fresh ID and returns that ID.
inline int layDown(const DevSpec& d) {
    int id = nextId();
    int count = 0;
    for (const ValueRecord& v : d.values) count = v.index > count ? v.index : count;
    DeviceRecord r = testkit::makeDevice(id, "dev", "home", d.tech, d.type, count);
    r.ozwNode = d.node;
    r.shortId = d.shortId;
    testkit::putDevice(r);
    for (const ValueRecord& v : d.values) testkit::putValue(id, v);
    if (d.manufacturer) testkit::ddbPutText(std::to_string(id) + ".MN", d.manufacturer);
    testkit::completeDevice(id);
    return id;
}

// ---- what the servers receive ----

inline const std::vector<std::string>& allServers() {
    static const std::vector<std::string> s = {"zwave", "zigbee", "hue", "nest", "pic", "ha", "ha-assoc"};
    return s;
}

inline long long nowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

// A numbered packet sent through the library's own channel after the command
// under test. Loopback may deliver datagrams out of order (a sender that
// moves to another processor), so the wait is for both the sentinel and the
// number of packets expected; sentinels themselves are left out of what the
// tests see.
struct Sentinels {
    int zwaveId = 0, zigbeeId = 0, hueId = 0, nestId = 0, hlxId = 0, haId = 0, drainId = 0;
    int seq = 0;
    std::unique_ptr<testkit::UdpPeer> client;  // hears the HA server's notifications

    void create() {
        zwaveId = layDown({"BinarySwitch", ZW, {}, 65535, 99});
        zigbeeId = layDown({"BinarySwitch", ZB, {}, 0x7777});
        hueId = layDown({"HueLamp", HUE, {val(8, "HUE_BULB_ID", "99")}});
        nestId = layDown({"NestThermostat", NEST, {val(1, "NEST_ID", "sentinel")}});
        hlxId = layDown({"HalvixSiren", HLX, {}});
        haId = layDown({"BinarySwitch", ZW, {}, 65535, 98});
        // Its basic value is reported by the Z-Wave server to the HA server.
        drainId = layDown({"BinarySwitch", ZW, {testkit::makeValue(1, "BASIC", "0", 14, 0x20, 0, 1)}, 65535, 97});
        Device loaded(drainId);  // writes its defaults now
        client.reset(new testkit::UdpPeer("127.255.255.3", 8888));
    }
    // The device servers report the values that commands change to the HA
    // server, which writes them to /tmp/ddb without a lock. Before the tests
    // write or read the store again, a report of our own must have come back
    // as a notification: the reports queued before it are then written.
    void drainReports() {
        int n = ++seq;
        std::string text = std::to_string(n);
        Device(drainId).setBasic(n);
        long long end = nowMs() + 20000, again = nowMs() + 1000;
        while (nowMs() < end) {
            std::string d;
            if (client->receive(&d, 100) && d.size() >= 4 + 188 && testkit::le32(d, 0) == 0 &&
                testkit::le32(d, 4) == drainId && testkit::le32(d, 8) == 1 && testkit::field(d, 12, 180) == text)
                return;
            if (nowMs() > again) {
                Device(drainId).setBasic(n);
                again = nowMs() + 1000;
            }
        }
        ADD_FAILURE() << "the HA server never reported the drain value";
    }
    void send(const std::string& server, int n) {
        std::string text = std::to_string(n), location = "sentinel-" + text;
        if (server == "zwave")
            Device(zwaveId).setBasic(n);
        else if (server == "zigbee")
            Device(zigbeeId).setSirenOn(n);
        else if (server == "hue")
            Device(hueId).setSwitchLevel(n);
        else if (server == "nest")
            Device(nestId).setValue(3, &text[0]);
        else if (server == "pic")
            Device(hlxId).setHalvixBlinkColor(0x5e000000u | (unsigned)n);
        else if (server == "ha")
            Device(haId).setSecurityDevice(n);
        else if (server == "ha-assoc")
            Device(haId).setLocation(&location[0]);
    }
    // The sentinel's number, or 0 for any other packet.
    int number(const std::string& server, const std::string& b) {
        using testkit::field;
        using testkit::le32;
        if (server == "zwave" && b.size() == 236 && ((unsigned char)b[4] == 99 || (unsigned char)b[4] == 97) &&
            b[5] == 0x20)
            return (unsigned char)b[4] == 99 ? atoi(field(b, 92, 100).c_str()) : -1;
        if (server == "zigbee" && field(b, 0, 180).rfind("zcl ias-wd warn-emer 1 ", 0) == 0 &&
            field(b, 0, 180).find("send 0x7777 ") != std::string::npos)
            return atoi(field(b, 0, 180).c_str() + 23);
        if (server == "hue" && le32(b, 56) == 99 && le32(b, 220) == 104) return le32(b, 8);
        if (server == "nest" && field(b, 8, 136) == "sentinel" && le32(b, 4) == 103)
            return atoi(field(b, 194, 10).c_str());
        if (server == "pic" && le32(b, 0) == 5 && ((unsigned)le32(b, 16) >> 24) == 0x5e) return le32(b, 16) & 0xffffff;
        if (server == "ha" && le32(b, 0) == haId && field(b, 4, 180) == "security")
            return atoi(field(b, 184, 180).c_str());
        if (server == "ha-assoc" && le32(b, 4) == haId && field(b, 188, 180).rfind("sentinel-", 0) == 0)
            return atoi(field(b, 188, 180).c_str() + 9);
        return 0;
    }
    // Sends a sentinel and waits for it and for at least `expected` other
    // packets; returns the others in the order recorded.
    std::vector<std::string> collect(const std::string& server, size_t expected = 0) {
        int n = ++seq;
        send(server, n);
        long long end = nowMs() + 20000, again = nowMs() + 1000;
        for (;;) {
            std::vector<std::string> others;
            bool seen = false;
            for (std::string& g : testkit::received(server)) {
                int k = number(server, g);
                if (k == n) seen = true;
                if (k == 0) others.push_back(std::move(g));
            }
            if (seen && others.size() >= expected) return others;
            if (nowMs() > end) {
                ADD_FAILURE() << (seen ? "packets missing at " : "sentinel never reached ") << server;
                return others;
            }
            // A server flooded by a burst may drop the sentinel too.
            if (nowMs() > again) {
                send(server, n);
                again = nowMs() + 1000;
            }
            struct timespec ts = {0, 2 * 1000000};
            nanosleep(&ts, nullptr);
        }
    }
};

inline Sentinels& sentinels() {
    static Sentinels s;
    return s;
}

inline void clearAll() {
    for (const std::string& s : allServers()) testkit::clearReceived(s);
}

inline std::string describe(const std::string& server, const std::vector<std::string>& packets) {
    std::string out;
    for (const std::string& g : packets) {
        out += "\n   ";
        for (const Field& f : fieldsOf(server)) out += std::string(" ") + f.name + "=" + show(g, f);
    }
    return out;
}

// Runs `act` and checks that the servers received exactly `want` (per
// server, in order unless only the order differs); `quiet` names servers
// that must be proven silent with a sentinel. Servers neither expected nor
// quiet are checked as they stand.
inline void expectSent(const std::string& where, const std::function<void()>& act, const std::vector<Pkt>& want,
                       std::set<std::string> quiet = {}) {
    clearAll();
    act();
    std::map<std::string, std::vector<std::string>> expected;
    for (const Pkt& p : want) {
        expected[p.server].push_back(p.bytes);
        quiet.insert(p.server);
    }
    for (const std::string& server : allServers()) {
        std::vector<std::string> w = expected[server];
        std::vector<std::string> got =
            quiet.count(server) ? sentinels().collect(server, w.size()) : testkit::received(server);
        if (got.size() != w.size()) {
            ADD_FAILURE() << where << ": " << got.size() << " packets to " << server << ", expected " << w.size()
                          << describe(server, got);
            continue;
        }
        std::vector<std::string> gs = got, ws = w;
        std::sort(gs.begin(), gs.end());
        std::sort(ws.begin(), ws.end());
        if (gs == ws && got != w) continue;  // the same packets, delivered in another order
        for (size_t i = 0; i < got.size(); ++i) expectPacket(server, got[i], w[i], where + " #" + std::to_string(i));
    }
    sentinels().drainReports();
}

// Waits until everything sent so far has reached its server, then forgets it
// all: a test starts from silent servers.
inline void settle() {
    for (const std::string& s : allServers()) sentinels().collect(s);
    sentinels().drainReports();
    clearAll();
}

// Connects once per test binary; identity 2 sends without binding.
inline void connectOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    which = 2;
    ASSERT_EQ(ConnectToServers(), 1);
    sentinels().create();
}

inline char* txt(const char* s) { return const_cast<char*>(s); }

}  // namespace cmdtest
