// The device servers (Z-Wave, ZigBee, Hue, Nest), the pic driver of the
// hub's siren and LED, and the mesh server. Each records what it receives;
// a command that changes a device's value is reported to the HA server,
// which stores it and notifies the clients, as the device would answer.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "hacore/packets.h"
#include "hub.h"

namespace hub {
namespace {

constexpr int kZigbee = 1, kZWave = 2, kHue = 3, kNest = 4, kHalvix = 5;

// The radios (pairing) also hear their pairing button on kButtonPort.
template <typename Packet, typename F>
int serve(const char* ip, const std::string& name, F handle, bool radio = true) {
    Socket sock = bindOrDie(ip, 8888, name);
    Socket button;
    if (radio) button = bindOrDie(ip, kButtonPort, name + "-button");
    ready(name);
    static char buf[65536];
    for (;;) {
        sockaddr_in from;
        pairingWait(sock, radio ? &button : nullptr);
        int n = receive(sock, buf, sizeof buf, &from);
        if (n < 0) continue;
        pairingRequest(sock, name, buf, n, from);
        handle(packetOf<Packet>(buf, n));
    }
}

std::string text(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }
#define TEXT(f) text(f, sizeof f)

// For every device of the technology that `match` accepts, reports the
// value `value(id, index)` at the index chosen by `index(id)` (-1: none).
template <typename M, typename I, typename V>
void reportAll(int tech, M match, I index, V value) {
    for (int id : devicesWhere([&](const StoredDevice& d) { return d.rec.technology == tech && match(d); })) {
        int i = index(id);
        if (i >= 0) report(id, i, value(id, i));
    }
}

auto constant(std::string v) {
    return [v](int, int) { return v; };
}

int deviceWith(int tech, int index, const std::string& value) {
    return findDevice([&](const StoredDevice& d) {
        ValueRecord v;
        return d.rec.technology == tech && loadValue(d.rec.id, index, &v) && TEXT(v.value) == value;
    });
}

int valueOfType(int id, int type, int endPoint) {
    return findValue(
        id, [&](const ValueRecord& v) { return v.indexType == type && (endPoint == 255 || v.endPoint == endPoint); });
}

void zwave(const OZWPacket& p) {
    std::string value = TEXT(p.value);
    if (p.operation == 10 || p.operation == 11) {
        reportAll(
            kZWave, [](const StoredDevice&) { return true; },
            [](int id) {
                return findValue(id,
                                 [](const ValueRecord& v) { return v.commandClass == 0x25 && v.commandIndex == 0; });
            },
            constant(p.operation == 10 ? "true" : "false"));
        return;
    }
    if (p.operation != 2 || p.valueType == 8) return;  // only set; buttons hold no value
    int id = findDevice([&](const StoredDevice& d) { return d.rec.technology == kZWave && d.rec.ozwNode == p.node; });
    if (!id) return;
    int index = findValue(id, [&](const ValueRecord& v) {
        return v.commandClass == p.commandClass && v.commandIndex == p.commandIndex &&
               (v.endPoint == p.instance || v.endPoint == 0);
    });
    if (index >= 0) report(id, index, value);
}

void zigbee(const ZigbeePacket& p) {
    std::string keyword = TEXT(p.keyword), command = TEXT(p.command);
    if (keyword == "DeviceRemove") {
        int id = findDevice(
            [&](const StoredDevice& d) { return d.rec.technology == kZigbee && d.rec.shortId == p.shortId; });
        if (id) reportRemoval(id);
        return;
    }
    if (!keyword.empty()) return;
    // A cluster command, then "send 0x<short> 1 <end point>".
    size_t send = command.find("send 0x");
    unsigned shortId = 0;
    int endPoint = 255;
    if (send == std::string::npos || sscanf(command.c_str() + send, "send 0x%x 1 %d", &shortId, &endPoint) < 1) return;
    std::string cluster = command.substr(0, command.find('\r'));
    int type, level;
    std::function<std::string(int, int)> value;
    if (cluster == "zcl on-off on" || cluster == "zcl on-off off") {
        type = 1;  // SWITCH BINARY
        value = constant(cluster == "zcl on-off on" ? "true" : "false");
    } else if (cluster == "zcl on-off toggle") {
        type = 1;
        value = [](int id, int i) {
            ValueRecord v;
            return loadValue(id, i, &v) && TEXT(v.value) == "true" ? "false" : "true";
        };
    } else if (sscanf(cluster.c_str(), "zcl level-control o-mv-to-level %d", &level) == 1) {
        type = 17;  // SWITCH MULTILEVEL (or DIMMER_LEVEL)
        value = constant(std::to_string(level));
    } else if (cluster == "zcl lock lock" || cluster == "zcl lock unlock") {
        type = 23;  // LOCK_STATE_ZB: 1 locked, 2 unlocked
        value = constant(cluster == "zcl lock lock" ? "1" : "2");
    } else {
        return;
    }
    reportAll(
        kZigbee, [&](const StoredDevice& d) { return shortId == 0xffff || (unsigned)d.rec.shortId == shortId; },
        [&](int id) {
            int i = valueOfType(id, type, endPoint);
            return i < 0 && type == 17 ? valueOfType(id, 18, endPoint) : i;
        },
        value);
}

void hue(const HuePacket& p) {
    std::string state = TEXT(p.state);
    if (p.command == 107) {
        reportAll(
            kHue, [](const StoredDevice&) { return true; }, [](int) { return 2; }, constant(state));
        return;
    }
    int id = deviceWith(kHue, 8, std::to_string(p.bulb));  // HueLamp
    bool lamp = id != 0;
    if (!id) id = deviceWith(kHue, 4, std::to_string(p.bulb));  // MultilevelSwitchOnOff
    if (!id) return;
    switch (p.command) {
        case 101:
            report(id, 2, state);
            break;
        case 102:
            if (lamp) report(id, 3, std::to_string(p.hue));
            break;
        case 103:
            if (lamp) report(id, 4, std::to_string(p.saturation));
            break;
        case 104:
            report(id, lamp ? 5 : 1, std::to_string(p.level));
            break;
        case 109:
            reportRemoval(id);
            break;
        case 112:
            reportName(id, TEXT(p.newName));
            break;
    }
}

void nest(const NestPacket& p) {
    static const char* const kModes[] = {"off", "heat", "cool", "heat-cool", "eco"};
    int id = deviceWith(kNest, 1, TEXT(p.nestId));
    if (!id) return;
    switch (p.command) {
        case 101:
            report(id, 9, p.fanTimer ? "true" : "false");
            break;
        case 102:
            report(id, 8, p.presence ? "home" : "away");
            break;
        case 103:
            report(id, 3, TEXT(p.value103));
            break;
        case 104:
            if (p.hvacMode >= 0 && p.hvacMode <= 4) report(id, 2, kModes[p.hvacMode]);
            break;
        case 107:
            report(id, 5, TEXT(p.value107));
            break;
        case 108:
            report(id, 6, TEXT(p.value108));
            break;
    }
}

void pic(const PicPacket& p) {
    auto builtIn = [](const char* type) {
        return findDevice([&](const StoredDevice& d) { return d.rec.technology == kHalvix && d.typeName() == type; });
    };
    int siren = builtIn("HalvixSiren"), blink = builtIn("HalvixBlink");
    // What each command (0..8) sets: device, index and the new value.
    const struct {
        int id, index;
        std::string value;
    } sets[] = {
        {siren, 3, std::to_string(p.arg16)},
        {siren, 2, "true"},
        {siren, 2, "false"},
        {siren, 1, p.arg12 == 1 ? "true" : "false"},
        {blink, 2, "true"},
        {blink, 3, std::to_string((unsigned)p.arg16)},
        {blink, 1, "true"},
        {blink, 1, "false"},
        {siren, 4, std::to_string(reinterpret_cast<const uint8_t*>(&p)[5])},
    };
    if (p.command < 0 || p.command >= (int)(sizeof sets / sizeof sets[0])) return;
    if (sets[p.command].id) report(sets[p.command].id, sets[p.command].index, sets[p.command].value);
}

}  // namespace

int runZWave() { return serve<OZWPacket>("127.255.255.254", "zwave", zwave); }
int runZigbee() { return serve<ZigbeePacket>("127.255.255.253", "zigbee", zigbee); }
int runHue() { return serve<HuePacket>("127.255.255.252", "hue", hue); }
int runNest() { return serve<NestPacket>("127.255.255.251", "nest", nest); }
int runPic() { return serve<PicPacket>("127.255.255.249", "pic", pic, false); }
int runMesh() {
    struct Nothing {
        char b;
    };
    return serve<Nothing>(
        "127.255.255.250", "mesh", [](const Nothing&) {}, false);
}

}  // namespace hub
