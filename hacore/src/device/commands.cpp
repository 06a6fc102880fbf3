// Device setters: each picks the server by the device's technology, fills
// that server's process-wide packet buffer under its lock and sends it.
#include <arpa/inet.h>

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "channel/channel_internal.h"
#include "hacore/Device.h"
#include "hacore/commands.h"
#include "base/text.h"
#include "device/commands_internal.h"

namespace {

using Lock = std::lock_guard<std::mutex>;

constexpr int kAllEndPoints = 255;

// Z-Wave operations and genres used here.
constexpr int kSet = 2;
constexpr int kGet = 3;
constexpr int kAllOn = 10;
constexpr int kAllOff = 11;
constexpr int kRefresh = 15;
constexpr int kGenreBasic = 0;
constexpr int kGenreUser = 1;
constexpr int kGenreConfig = 2;

// Z-Wave value types.
constexpr int kBool = 0;
constexpr int kByte = 1;
constexpr int kDecimal = 2;
constexpr int kInt = 3;
constexpr int kList = 4;
constexpr int kButton = 8;
constexpr int kRaw = 9;

const char* trueFalse(bool b) { return b ? "true" : "false"; }
const char* onOff(bool on) { return on ? "on" : "off"; }
using hacmd::is;

// One Z-Wave request; the caller holds ozw_lock.
int ozwSendHeld(int node, int commandClass, int commandIndex, int operation, int genre, int valueType,
                const char* value, int instance = 1) {
    OZWPacket& p = chan::ozwPacket;
    memset(&p, 0, sizeof p);
    p.node = static_cast<uint8_t>(node);
    p.commandClass = static_cast<uint8_t>(commandClass);
    p.commandIndex = static_cast<uint8_t>(commandIndex);
    p.instance = static_cast<uint8_t>(instance);
    hbase::copyText(p.value, sizeof p.value, value);
    p.operation = operation;
    p.genre = genre;
    p.valueType = valueType;
    return sendOzwHeld() >= 0 ? 1 : 0;
}

int ozwSend(int node, int commandClass, int commandIndex, int operation, int genre, int valueType, const char* value,
            int instance = 1) {
    Lock lock(ozw_lock);
    return ozwSendHeld(node, commandClass, commandIndex, operation, genre, valueType, value, instance);
}

// A number as the Z-Wave value text.
struct NumberText {
    explicit NumberText(int number) { snprintf(text, sizeof text, "%d", number); }
    char text[16];
};

int ozwSendNumber(int node, int commandClass, int commandIndex, int genre, int valueType, int number) {
    return ozwSend(node, commandClass, commandIndex, kSet, genre, valueType, NumberText(number).text);
}

// One ZigBee console request. `command` is the cluster command; a send line to
// `endPoint` of `addr` follows unless endPoint is negative. A request that
// does not fit the command field whole is not sent: cut short it would lose
// its send line. Returns what the send function returned, or -2 when refused.
// The caller holds zigbee_lock.
int zbSendHeld(int addr, const char* command, int endPoint, const char* keyword = nullptr) {
    char text[sizeof chan::zigbeePacket.command];
    int n = 0;
    if (command && endPoint >= 0)
        n = snprintf(text, sizeof text, "%s\rsend 0x%x 1 %d\r", command, addr, endPoint);
    else if (command)
        n = snprintf(text, sizeof text, "%s\r", command);
    else
        text[0] = '\0';
    if (n < 0 || n >= static_cast<int>(sizeof text)) {
        fprintf(stderr, "zigbee command too long, not sent\n");
        return -2;
    }
    ZigbeePacket& p = chan::zigbeePacket;
    memset(&p, 0, sizeof p);
    memcpy(p.command, text, n);
    if (keyword) {
        hbase::copyText(p.keyword, sizeof p.keyword, keyword);
        p.shortId = static_cast<uint16_t>(addr);
    }
    return sendZigbeeHeld();
}

int zbSend(int addr, const char* command, int endPoint, const char* keyword = nullptr) {
    Lock lock(zigbee_lock);
    return zbSendHeld(addr, command, endPoint, keyword);
}

int sent(int rc) { return rc >= 0 ? 1 : 0; }

// A short address the ZigBee server can reach (65535 marks a device without
// one).
bool hasShortId(int shortId) { return shortId >= 0 && shortId < 65535; }
bool onZigbee(DevTech technology, int shortId) { return technology == DEVTECH_ZIGBEE && hasShortId(shortId); }

// One console command made from a format, to every end point of addr; 1 when
// sent.
__attribute__((format(printf, 2, 3))) int zbSendf(int addr, const char* format, ...) {
    char cmd[64];
    va_list ap;
    va_start(ap, format);
    vsnprintf(cmd, sizeof cmd, format, ap);
    va_end(ap);
    return sent(zbSend(addr, cmd, kAllEndPoints));
}

// Text that goes into a quoted or bracketed console argument: no line
// breaks or other control characters (they would start a console command of
// their own) and no character in `forbidden`.
bool consoleSafe(const char* text, const char* forbidden) {
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c)
        if (*c < 0x20 || *c == 0x7f || strchr(forbidden, *c)) return false;
    return true;
}

constexpr size_t kValueSize = sizeof(ValueRecord::value);

// Value text of a value index (kValueSize bytes at most), or null.
const char* valueOf(const Device& d, int index) {
    for (const ValueRecord& v : d.values())
        if (v.index == index) return v.value;
    return nullptr;
}

// Hue packet under hue_lock: the device's type, bulb, bridge user and bridge
// ID, then what `fill` adds, then the command code.
template <typename F>
int hueSend(Device& d, int command, F fill) {
    Lock lock(hue_lock);
    HuePacket& p = chan::huePacket;
    memset(&p, 0, sizeof p);
    p.devType = d.getDeviceType();
    if (d.getDeviceTechnology() == DEVTECH_HUE) {
        int bulb = -1, user = -1, bridge = -1;
        if (d.getDeviceType() == HueLamp) {
            bulb = 8;
            user = 9;
            bridge = 1;
        } else if (d.getDeviceType() == MultilevelSwitchOnOff) {
            bulb = 4;
            user = 5;
            bridge = 3;
        }
        if (const char* v = valueOf(d, bulb)) p.bulb = atoi(v);
        if (const char* v = valueOf(d, user)) hbase::copyText(p.userName, sizeof p.userName, v, kValueSize);
        if (const char* v = valueOf(d, bridge)) hbase::copyText(p.bridgeId, sizeof p.bridgeId, v, kValueSize);
    }
    fill(p);
    p.command = command;
    return sent(sendHueHeld());
}

// Nest packet under nest_lock: the Nest device ID, presence and temperature
// scale from the device's values, then what `fill` adds.
template <typename F>
int nestSend(Device& d, int command, F fill) {
    Lock lock(nest_lock);
    NestPacket& p = chan::nestPacket;
    memset(&p, 0, sizeof p);
    p.command = command;
    if (const char* v = valueOf(d, 1)) hbase::copyText(p.nestId, sizeof p.nestId, v, kValueSize);
    p.presence = is(valueOf(d, 8), "home") ? 1 : 0;
    if (const char* v = valueOf(d, 7)) p.scale = v[0];
    fill(p);
    return sent(sendNestHeld());
}

// Device settings packet to the HA server, or, with a selector of 0 or more,
// the association packet that wraps it. Returns false if the send failed.
bool haSend(int deviceId, const char* operation, const char* value, int devType, int index, int selector) {
    Lock lock(set_data_lock);
    memset(&chan::setData, 0, sizeof chan::setData);
    chan::setData.deviceId = deviceId;
    hbase::copyText(chan::setData.operation, sizeof chan::setData.operation, operation);
    hbase::copyText(chan::setData.value, sizeof chan::setData.value, value);
    chan::setData.devType = devType;
    chan::setData.index = index;
    int rc;
    if (selector < 0) {
        rc = sendToHA(&chan::setData, sizeof chan::setData, false);
    } else {
        // 4 KB: a process-wide buffer under the same lock, not the stack.
        static AssocPacket a;
        memset(&a, 0, sizeof a);
        a.selector = selector;
        a.data = chan::setData;
        rc = sendToHA(&a, sizeof a, true);
        memset(&a, 0, sizeof a);
    }
    memset(&chan::setData, 0, sizeof chan::setData);
    return rc >= 0;
}

constexpr int kToHA = -1;

int haSetting(int deviceId, const char* operation, const char* value, const char* failure) {
    if (haSend(deviceId, operation, value, 0, 0, kToHA)) return 1;
    fputs(failure, stderr);
    return 0;
}

int picSend(const PicPacket& p, const char* failure) {
    if (sendToPic(&p, sizeof p) >= 0) return 1;
    perror(failure);
    return 0;
}

PicPacket picPacket(int command) {
    PicPacket p;
    memset(&p, 0, sizeof p);
    p.command = command;
    return p;
}

// ZigBee attribute type 0x29 (signed 16-bit), hundredths of a degree Celsius
// from degrees Fahrenheit, as the console wants it: "{lo hi}".
void zigbeeSetPoint(int fahrenheit, char out[8]) {
    double hundredths = (5.0 * fahrenheit - 160.0) / 9.0 * 100.0;
    // Held to the attribute's range; below zero is sent as two's complement
    // in 16 bits, not as the eight digits of a 32-bit word.
    if (hundredths > 32767.0) hundredths = 32767.0;
    if (hundredths < -32767.0) hundredths = -32767.0;
    unsigned int word = static_cast<unsigned int>(static_cast<int>(hundredths)) & 0xffffu;
    char hex[8];
    snprintf(hex, sizeof hex, "%.4x", word);
    snprintf(out, 8, "{%c%c %c%c}", hex[2], hex[3], hex[0], hex[1]);
}

}  // namespace

// ---- switching and dimming ----

int Device::setSwitchOn(bool on, unsigned char instance) {
    if (id < 1) return 0;
    switch (technology) {
        case DEVTECH_ZWAVE:
            return ozwSend(ozwNode, 0x25, 0, kSet, kGenreUser, kBool, trueFalse(on), instance);
        case DEVTECH_ZIGBEE: {
            if (!hasShortId(shortId)) return 0;
            char cmd[32];
            snprintf(cmd, sizeof cmd, "zcl on-off %s", onOff(on));
            return sent(zbSend(shortId, cmd, kAllEndPoints));
        }
        case DEVTECH_HUE:
            return hueSend(*this, 101, [&](HuePacket& p) { snprintf(p.state, sizeof p.state, "%s", trueFalse(on)); });
        default:
            return 0;
    }
}

int Device::setSwitchOnEp(bool on, int endPoint) {
    if (id < 1 || !onZigbee(technology, shortId)) return 0;
    char cmd[32];
    snprintf(cmd, sizeof cmd, "zcl on-off %s", onOff(on));
    return sent(zbSend(shortId, cmd, endPoint));
}

int Device::setSwitchAll(bool on) {
    if (id < 1) return 0;
    // Every Z-Wave node, whatever this device is.
    ozwSend(0, 0, 0, on ? kAllOn : kAllOff, kGenreBasic, kBool, "");
    if (hasShortId(shortId)) {
        char cmd[32];
        snprintf(cmd, sizeof cmd, "zcl on-off %s", onOff(on));
        zbSend(0xffff, cmd, kAllEndPoints);
        hueSend(*this, 107, [&](HuePacket& p) { snprintf(p.state, sizeof p.state, "%s", trueFalse(on)); });
    }
    return 1;
}

int Device::setSwitchToggle() {
    if (id < 1) return 0;
    switch (technology) {
        case DEVTECH_ZIGBEE:
            // The device toggles itself.
            if (!hasShortId(shortId)) return 0;
            return sent(zbSend(shortId, "zcl on-off toggle", kAllEndPoints));
        case DEVTECH_ZWAVE:
            if (type == MultilevelSwitch) return setSwitchLevel(atoi(getValue(1)) > 0 ? 0 : 100);
            if (type == BinarySwitch || type == BinaryPowerSwitch) {
                if (is(getValue(1), "true")) return setSwitchOn(false, 1);
                if (is(getValue(1), "false")) return setSwitchOn(true, 1);
            }
            return 0;
        case DEVTECH_HUE:
            if (type == MultilevelSwitchOnOff || type == HueLamp) {
                if (is(getValue(2), "true")) return setSwitchOn(false, 1);
                if (is(getValue(2), "false")) return setSwitchOn(true, 1);
            }
            return 0;
        case DEVTECH_HALVIX:
            if (type == HalvixBlink) {
                if (is(getValue(1), "true")) return setHalvixBlinkOnOff(false, 2);
                if (is(getValue(1), "false")) return setHalvixBlinkOnOff(true, 2);
            }
            return 0;
        default:
            return 0;
    }
}

int Device::setSwitchLevel(int level) {
    if (id < 1) return 0;
    switch (technology) {
        case DEVTECH_ZWAVE: {
            Lock lock(ozw_lock);
            // Recorded before the send so that the notification it causes finds it.
            sentLightValue = level;
            lightDeviceID = id;
            return ozwSendHeld(ozwNode, 0x26, 0, kSet, kGenreUser, kByte, NumberText(level).text);
        }
        case DEVTECH_ZIGBEE: {
            if (!hasShortId(shortId)) return 0;
            return zbSendf(shortId, "zcl level-control o-mv-to-level %d 0", level);
        }
        case DEVTECH_HUE:
            return hueSend(*this, 104, [&](HuePacket& p) { p.level = level; });
        default:
            return 0;
    }
}

int Device::startDimming(bool start) {
    if (id < 1 || technology != DEVTECH_ZWAVE) return 0;
    return ozwSend(ozwNode, 0x26, 2, kSet, kGenreUser, kButton, trueFalse(start));
}

int Device::startBrightning(bool start) {
    if (id < 1 || technology != DEVTECH_ZWAVE) return 0;
    return ozwSend(ozwNode, 0x26, 1, kSet, kGenreUser, kButton, trueFalse(start));
}

int Device::setBasic(int value) {
    if (id < 1 || technology != DEVTECH_ZWAVE) return 0;
    return ozwSendNumber(ozwNode, 0x20, 0, kGenreBasic, kByte, value);
}

int Device::getBasic() {
    if (id < 1 || technology != DEVTECH_ZWAVE) return 0;
    return ozwSend(ozwNode, 0x20, 0, kRefresh, kGenreBasic, kByte, "");
}

// ---- shutters, window coverings, garage doors ----

int Device::stopShutterRolling() {
    if (id < 1 || technology != DEVTECH_ZWAVE) return 0;
    return ozwSend(ozwNode, 0x26, 1, kSet, kGenreUser, kButton, "true");
}

int Device::startWindowCovering(bool up) {
    if (id < 1) return 0;
    if (technology == DEVTECH_ZWAVE) return ozwSend(ozwNode, 0x50, 0, kSet, kGenreUser, kButton, trueFalse(up));
    if (onZigbee(technology, shortId))
        return sent(zbSend(shortId, up ? "zcl window-covering up" : "zcl window-covering down", kAllEndPoints));
    return 0;
}

int Device::stopWindowCovering(bool stop) {
    if (id < 1) return 0;
    if (technology == DEVTECH_ZWAVE) return ozwSend(ozwNode, 0x50, 1, kSet, kGenreUser, kButton, trueFalse(stop));
    if (onZigbee(technology, shortId)) return sent(zbSend(shortId, "zcl window-covering stop", kAllEndPoints));
    return 0;
}

int Device::SetGarageDoorLevel(int level) {
    if (id < 1 || technology != DEVTECH_ZWAVE) return 0;
    return ozwSendNumber(ozwNode, 0x66, 0, kGenreUser, kByte, level);
}

// ---- locks ----

int Device::setDoorLock(int value) {
    if (id < 1) return 0;
    if (technology == DEVTECH_ZWAVE) return ozwSendNumber(ozwNode, 0x62, 0, kGenreUser, kByte, value);
    if (!onZigbee(technology, shortId)) return 0;
    // Both requests under one hold, so no other command comes between them.
    Lock lock(zigbee_lock);
    int rc = zbSendHeld(shortId, value == 1 ? "zcl lock lock" : "zcl lock unlock", kAllEndPoints);
    zbSendHeld(shortId, "zcl global read 0x0001 0x0021", kAllEndPoints);  // battery
    return sent(rc);
}

int Device::setDoorLockConf(int value) {
    if (id < 1 || technology != DEVTECH_ZWAVE) return 0;
    return ozwSendNumber(ozwNode, 0x62, 1, kGenreUser, kInt, value);
}

int Device::setUserCode(char* code, unsigned char slot) {
    if (id < 1) return 0;
    const char* c = code ? code : "";
    if (technology == DEVTECH_ZWAVE) return ozwSend(ozwNode, 0x63, slot, kSet, kGenreUser, kRaw, c);
    if (!onZigbee(technology, shortId)) return 0;
    char cmd[sizeof chan::zigbeePacket.command];
    if (!*c) {
        snprintf(cmd, sizeof cmd, "zcl lock clear-pin %d", slot);
    } else {
        // The code sits between quotes on the console line.
        if (!consoleSafe(c, "\"\\")) {
            fprintf(stderr, "user code refused: not a console text\n");
            return 0;
        }
        int n = snprintf(cmd, sizeof cmd, "zcl lock set-pin %d 0x01 0x00 \"%s\"", slot, c);
        if (n >= static_cast<int>(sizeof cmd)) {
            fprintf(stderr, "zigbee command too long, not sent\n");
            return 0;
        }
    }
    return sent(zbSend(shortId, cmd, kAllEndPoints));
}

int Device::getUserCode(unsigned char slot) {
    if (id < 1 || technology != DEVTECH_ZWAVE) return 0;
    return ozwSend(ozwNode, 0x63, slot, kGet, kGenreUser, kRaw, "");
}

// ---- Z-Wave configuration and battery ----

int Device::setSceneControllerConf(int value) {
    if (id < 1 || technology != DEVTECH_ZWAVE) return 0;
    return ozwSendNumber(ozwNode, 0x2D, 0, kGenreUser, kInt, value);
}

int Device::getBatteryStatus() {
    if (id < 1 || technology != DEVTECH_ZWAVE) return 0;
    return ozwSend(ozwNode, 0x80, 0, kRefresh, kGenreUser, kByte, "");
}

int Device::SetConfigParam(int param, int size, int value) {
    if (id < 1 || technology != DEVTECH_ZWAVE) return 0;
    // The parameter number travels in one byte; another would set the wrong one.
    if (param < 0 || param > 255) return 0;
    return ozwSendNumber(ozwNode, 0x70, param, kGenreConfig, GetSizeOfValueType(size), value);
}

// ---- thermostats ----

// A mode's name and the number that stands for it on the wire.
struct ModeCode {
    const char* name;
    int code;
};

template <size_t N>
static int modeCode(const ModeCode (&modes)[N], const char* mode) {
    for (const ModeCode& m : modes)
        if (is(mode, m.name)) return m.code;
    return -1;
}

int Device::setThermostatMode(char* mode) {
    if (id < 1 || !mode) return 0;
    switch (technology) {
        case DEVTECH_ZWAVE:
            return ozwSend(ozwNode, 0x40, 0, kSet, kGenreUser, kList, mode);
        case DEVTECH_ZIGBEE: {
            if (!hasShortId(shortId)) return 0;
            static const ModeCode kModes[] = {{"Off", 0}, {"Auto", 1}, {"Cool", 3}, {"Heat", 4}};
            const int code = modeCode(kModes, mode);
            if (code < 0) return 0;
            return zbSendf(shortId, "zcl global write 0x0201 0x001c 0x30 {0%d}", code);
        }
        case DEVTECH_NEST: {
            static const ModeCode kModes[] = {{"off", 0}, {"heat", 1}, {"cool", 2}, {"heat-cool", 3}, {"eco", 4}};
            const int code = modeCode(kModes, mode);
            if (code < 0) return 0;
            return nestSend(*this, 104, [&](NestPacket& p) { p.hvacMode = code; });
        }
        default:
            return 0;
    }
}

int Device::setThermostatFanMode(char* mode) {
    if (id < 1 || !mode) return 0;
    switch (technology) {
        case DEVTECH_ZWAVE:
            return ozwSend(ozwNode, 0x44, 0, kSet, kGenreUser, kList, mode);
        case DEVTECH_ZIGBEE: {
            if (!hasShortId(shortId)) return 0;
            static const ModeCode kModes[] = {{"On Low", 4}, {"Auto Low", 5}};
            const int code = modeCode(kModes, mode);
            if (code < 0) return 0;
            return zbSendf(shortId, "zcl global write 0x0202 0x0000 0x30 {0%d}", code);
        }
        case DEVTECH_NEST:
            return nestSend(*this, 101, [&](NestPacket& p) { p.fanTimer = is(mode, "true") ? 1 : 0; });
        default:
            return 0;
    }
}

int Device::setThermostatHeatingTemp(int temp, unsigned char index) {
    if (id < 1) return 0;
    if (technology == DEVTECH_ZWAVE) return ozwSendNumber(ozwNode, 0x43, index, kGenreUser, kDecimal, temp);
    if (!onZigbee(technology, shortId)) return 0;
    char braces[8], cmd[64];
    zigbeeSetPoint(temp, braces);
    snprintf(cmd, sizeof cmd, "zcl global write 0x0201 0x0012 0x29 %s", braces);
    return sent(zbSend(shortId, cmd, kAllEndPoints));
}

int Device::setThermostatCoolingTemp(int temp) {
    if (id < 1) return 0;
    if (technology == DEVTECH_ZWAVE) return ozwSendNumber(ozwNode, 0x43, 2, kGenreUser, kDecimal, temp);
    if (!onZigbee(technology, shortId)) return 0;
    char braces[8], cmd[64];
    zigbeeSetPoint(temp, braces);
    snprintf(cmd, sizeof cmd, "zcl global write 0x0201 0x0011 0x29 %s", braces);
    return sent(zbSend(shortId, cmd, kAllEndPoints));
}

// ---- colour lights ----

int Device::setColorTemperature(int kelvin) {
    // No mired value for a temperature of zero or below.
    if (id < 1 || kelvin <= 0 || !onZigbee(technology, shortId)) return 0;
    return zbSendf(shortId, "zcl colorcontrol movetocolortemp  0x%x 1", 1000000 / kelvin);
}

int Device::setHue(int hue) {
    if (id < 1) return 0;
    if (technology == DEVTECH_HUE) return hueSend(*this, 102, [&](HuePacket& p) { p.hue = hue; });
    if (!onZigbee(technology, shortId)) return 0;
    return zbSendf(shortId, "zcl colorcontrol movetohue  0x%x 0x00 0x00 ", hue);
}

int Device::setSaturation(int saturation) {
    if (id < 1) return 0;
    if (technology == DEVTECH_HUE) return hueSend(*this, 103, [&](HuePacket& p) { p.saturation = saturation; });
    if (!onZigbee(technology, shortId)) return 0;
    return zbSendf(shortId, "zcl colorcontrol movetosat 0x%x 0x00", saturation);
}

int Device::setHueandSat(int hue, int saturation) {
    if (id < 1 || !onZigbee(technology, shortId)) return 0;
    return zbSendf(shortId, "zcl colorcontrol movetohueandsat 0x%x 0x%x 1", hue, saturation);
}

int Device::setColorBulb(int value) {
    if (id < 1 || technology != DEVTECH_HUE) return 0;
    return hueSend(*this, 108, [&](HuePacket& p) { p.hue = value; });
}

// ---- ZigBee sirens, cameras and console requests ----

int Device::setSirenOn(int duration) {
    if (id < 1 || !onZigbee(technology, shortId)) return 0;
    if (duration == 0) return setSirenOff();
    char cmd[64];
    if (strcmp(manufacturer, "ClimaxTechnology") == 0)
        snprintf(cmd, sizeof cmd, "zcl ias-wd warn-climax 1 %d ", duration);
    else
        snprintf(cmd, sizeof cmd, "zcl ias-wd warn-emer 1 %d ", duration);
    return sent(zbSend(shortId, cmd, kAllEndPoints));
}

int Device::setSirenOff() {
    if (id < 1 || !onZigbee(technology, shortId)) return 0;
    return sent(zbSend(shortId, "zcl ias-wd warn-stop", kAllEndPoints));
}

int Device::Retainstate(bool retain) {
    if (id < 1 || !onZigbee(technology, shortId)) return 0;
    return sent(zbSend(
        shortId, retain ? "zcl global write 0x0003 0x000 0x21 {00 00}" : "zcl global write 0x0003 0x000 0x21 {11 11}",
        kAllEndPoints));
}

int Device::setCameraMode(char* mode) {
    if (id < 1 || !mode || !onZigbee(technology, shortId)) return 0;
    if (is(mode, "Disarm")) {
        int rc = zbSend(shortId, "raw 0x0503 {43 31 03}", kAllEndPoints);
        setMotionState(const_cast<char*>("false"));
        return sent(rc);
    }
    if (!is(mode, "Arm")) return 0;
    int resolution = atoi(getValue(7));
    int images = atoi(getValue(6));
    const char* cmd = nullptr;
    if (resolution == 1 && images == 3)
        cmd = "raw 0x0503 {43 31 2F}";
    else if (resolution == 1 && images == 6)
        cmd = "raw 0x0503 {43 31 30}";
    else if (resolution == 2 && images == 3)
        cmd = "raw 0x0503 {43 31 00}";
    else if (resolution == 2 && images == 6)
        cmd = "raw 0x0503 {43 31 2B}";
    if (!cmd) return 0;
    return sent(zbSend(shortId, cmd, kAllEndPoints));
}

int Device::CaptureZigbeeImage(int n) {
    if (id < 1 || !onZigbee(technology, shortId)) return 0;
    const char* cmd;
    switch (n) {
        case 1:
            cmd = "raw 0x0503 {43 31 31}";
            break;
        case 2:
            cmd = "raw 0x0503 {43 31 05}";
            break;
        case 3:
            cmd = "raw 0x0503 {43 31 03}";
            break;
        default:
            return 0;
    }
    return sent(zbSend(shortId, cmd, kAllEndPoints));
}

int Device::sendCustomMessage(char* hex) {
    if (id < 1 || !hex || !onZigbee(technology, shortId)) return 0;
    // Only hexadecimal bytes go between the braces of the raw frame.
    for (const char* c = hex; *c; ++c) {
        if (!isxdigit(static_cast<unsigned char>(*c)) && *c != ' ') {
            fprintf(stderr, "custom message refused: not hexadecimal\n");
            return 0;
        }
    }
    char cmd[sizeof chan::zigbeePacket.command];
    int n = snprintf(cmd, sizeof cmd, "raw 0xFE11 {05 58 11 00 10 %s} ", hex);
    if (n >= static_cast<int>(sizeof cmd)) {
        fprintf(stderr, "zigbee command too long, not sent\n");
        return 0;
    }
    int rc = zbSend(shortId, cmd, kAllEndPoints);
    if (rc == -1) fputs("failed to send custom message to zigbee_server\n", stderr);
    return sent(rc);
}

int Device::setDeviceAttribute(unsigned int cluster, unsigned int attribute, void* data) {
    if (id < 1 || !data || !onZigbee(technology, shortId)) return 0;
    if (cluster != 0x0201 || attribute != 0x1011) return 0;
    const unsigned char* b = static_cast<const unsigned char*>(data);
    char cmd[96];
    snprintf(cmd, sizeof cmd, "zcl global write 0x0201 0x1011 0x24 {%.2x %.2x %.2x %.2x %.2x}", b[0], b[1], b[2], b[3],
             b[4]);
    return sent(zbSend(shortId, cmd, kAllEndPoints));
}

int Device::readPanId() {
    if (id < 1 || !onZigbee(technology, shortId)) return 0;
    int rc = zbSend(shortId, "info", -1);
    if (rc == -1) fputs("failed to send read PanId command to zigbee_server\n", stderr);
    return sent(rc);
}

int Device::getCurrentandNextVersionofQuentrixswitch() {
    if (id < 1 || !onZigbee(technology, shortId)) return 0;
    Lock lock(zigbee_lock);
    int rc = zbSendHeld(shortId, "zcl global direction 1", kAllEndPoints, "getswitchversion");
    if (rc == -1) fputs("finding switch version failed to zigbee_server\n", stderr);
    zbSendHeld(shortId, "zcl global read 0x0019 0x0000 ", kAllEndPoints);
    zbSendHeld(shortId, "zcl global direction 0", kAllEndPoints);
    return sent(rc);
}

int Device::upgardeswitchversion() {
    if (id < 1 || !onZigbee(technology, shortId)) return 0;
    return sent(zbSend(shortId, "zcl global write 0x0005 0x0002 0x021 {5E C1}", kAllEndPoints, "startupgrade"));
}

int Device::getRemovedeviceid() {
    if (id < 1) return 0;
    if (technology == DEVTECH_HUE) return hueSend(*this, 109, [](HuePacket&) {});
    if (!onZigbee(technology, shortId)) return 0;
    int rc = zbSend(shortId, nullptr, -1, "DeviceRemove");
    if (rc == -1) fputs("sending device remove failed to zigbee_server\n", stderr);
    return sent(rc);
}

// ---- Hue bridge reads ----

int Device::getbrightness() {
    if (id < 1 || technology != DEVTECH_HUE) return 0;
    return hueSend(*this, 110, [](HuePacket&) {});
}

int Device::getstate() {
    if (id < 1 || technology != DEVTECH_HUE) return 0;
    return hueSend(*this, 111, [](HuePacket&) {});
}

// ---- attributes the HA server stores ----

int Device::setName(char* newName) {
    if (id < 1 || !newName) return 0;
    hbase::copyText(name, sizeof name, newName);
    if (technology == DEVTECH_HUE)
        return hueSend(*this, 112, [&](HuePacket& p) { hbase::copyText(p.newName, sizeof p.newName, newName); });
    if (haSend(id, "Name", newName, 0, 0, 0)) return 1;
    fputs("sending Name failed to haserver\n", stderr);
    return 0;
}

int Device::setLocation(char* newLocation) {
    if (id < 1 || !newLocation) return 0;
    hbase::copyText(location, sizeof location, newLocation);
    if (haSend(id, "Location", newLocation, 0, 0, 0)) return 1;
    fputs("sending Location failed to haserver\n", stderr);
    return 0;
}

int Device::changedevicetype(DevType newType) {
    if (id < 1) return 0;
    if (haSend(id, "modifydevicetype", "", newType, 0, 0)) return 1;
    fputs("sending devicetype failed to haserver\n", stderr);
    return 0;
}

int Device::removeDevice() {
    if (id < 1) return 0;
    bool ok = haSend(id, "DeviceRemove", "", type, 0, 0);
    if (!ok) fputs("sending device remove failed to haserver\n", stderr);
    id = 0;
    return ok ? 1 : 0;
}

int Device::setIndexValue(int index, char* valueName, char* value, DevTech selector) {
    if (id < 1) return 0;
    if (haSend(id, valueName ? valueName : "", value ? value : "", type, index, selector)) return 1;
    perror("Set Index Value");
    return 0;
}

int Device::setResolution(int resolution) {
    if (id < 1) return 0;
    char text[16];
    snprintf(text, sizeof text, "%d", resolution);
    return haSetting(id, "Resolution", text, "sending clear Resolution data failed to hserver\n");
}

int Device::setImageCnt(int count) {
    if (id < 1 || (count != 3 && count != 6)) return 0;
    char text[16], addr[INET_ADDRSTRLEN];
    snprintf(text, sizeof text, "%d", count);
    inet_ntop(AF_INET, &chan::ha.adr.sin_addr, addr, sizeof addr);
    printf("----------sending to %s port:%d\n", addr, ntohs(chan::ha.adr.sin_port));
    return haSetting(id, "ImageCount", text, "sending set Image count data failed to hserver\n");
}

int Device::setMotionState(char* motionState) {
    if (id < 1 || !motionState) return 0;
    char addr[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &chan::ha.adr.sin_addr, addr, sizeof addr);
    printf("----%s------sending to %s port:%d\n", motionState, addr, ntohs(chan::ha.adr.sin_port));
    return haSetting(id, "MotionState", motionState, "sending clear MotionState data failed to hserver\n");
}

int Device::setSecurityDevice(int security) {
    if (id < 1) return 0;
    char text[16];
    snprintf(text, sizeof text, "%d", security);
    return haSetting(id, "security", text, "sending clear secuity data failed to hserver\n");
}

int Device::clearTamper() {
    if (id < 1 || (technology != DEVTECH_ZIGBEE && technology != DEVTECH_ZWAVE)) return 0;
    return haSetting(id, "Tamper", "false", "sending clear tamper failed to hserver\n");
}

int Device::clearAlarm(char* alarmName) {
    if (id < 1 || !alarmName) return 0;
    return haSetting(id, alarmName, "false", "sending clear Alarm failed to haserver\n");
}

// ---- the hub's own siren and LED ----

int Device::setHalvixSirenDuration(int seconds) {
    if (id < 1) return 0;
    char text[16];
    snprintf(text, sizeof text, "%d", seconds);
    int ok = 1;
    if (!haSend(id, "SetDuration", text, type, 0, DEVTECH_HALVIX)) {
        perror("Set Siren Duration");
        ok = 0;
    }
    // While the siren or the blink runs, the new duration takes effect at once.
    if (is(getValue(2), "true")) {
        PicPacket p = picPacket(type == HalvixSiren ? 1 : 4);
        p.arg8 = seconds;
        if (!picSend(p, "Set Siren Duration")) ok = 0;
    }
    // The HA server rewrites the device; callers reload it before the next
    // command.
    id = 0;
    return ok;
}

int Device::enableHalvixSiren(bool enable) {
    if (id < 1) return 0;
    PicPacket p = picPacket(3);
    p.arg12 = enable ? 1 : 2;
    return picSend(p, "Enable Siren");
}

int Device::StartorStopHalvixSiren(bool start) {
    if (id < 1) return 0;
    printf("Start stop for HalvixSiren\n");
    PicPacket p = picPacket(start ? 1 : 2);
    if (start) p.arg8 = atoi(getValue(5));
    return picSend(p, "start/stop Siren");
}

namespace {

struct Tone {
    int steps;
    int32_t freq[6];
    int32_t duration[6];
};

const Tone kTones[] = {
    {5, {2500, 2500, 2500, 2500, 0}, {130, 130, 130, 130, 350}},
    {6, {0, 0, 2, 1, 1000, 2000}, {1, 1, 1, 1, 1, 1}},
    {5, {1975, 1975, 1675, 1675, 0}, {66, 267, 66, 535, 350}},
};

}  // namespace

int Device::setHalvixSirenTone(int tone, int mode, int arg) {
    if (id < 1) return 0;
    PicPacket p = picPacket(0);
    p.arg16 = tone;
    p.arg12 = mode;
    if (mode == 3) p.arg8 = arg;
    if (tone >= 1 && tone <= 3) {
        const Tone& t = kTones[tone - 1];
        p.arg4 = t.steps;
        for (int i = 0; i < t.steps; ++i) {
            p.freq[i] = t.freq[i];
            p.duration[i] = t.duration[i];
        }
    }
    return picSend(p, "Set Tone");
}

int Device::setHalvixSirenVolume(char volume, int arg) {
    if (id < 1) return 0;
    PicPacket p = picPacket(8);
    reinterpret_cast<char*>(&p)[5] = volume;  // byte 5; bytes 4, 6 and 7 stay zero
    p.arg12 = arg;
    return picSend(p, "Set Volume");
}

int Device::setHalvixBlinkColor(unsigned int rgb) {
    if (id < 1) return 0;
    PicPacket p = picPacket(5);
    p.arg16 = static_cast<int32_t>(rgb);
    return picSend(p, "Blink Color");
}

int Device::setHalvixBlinkOnOff(bool on, int arg) {
    if (id < 1) return 0;
    PicPacket p = picPacket(on ? 6 : 7);
    p.arg12 = arg;
    return picSend(p, "Blink OnOff");
}

int Device::setHalvixBlinkStart() {
    if (id < 1) return 0;
    PicPacket p = picPacket(4);
    p.arg8 = atoi(getValue(4));
    return picSend(p, "BlinkStart");
}

int Device::readPicVersion() {
    if (id < 1) return 0;
    return picSend(picPacket(9), "Read PIC version");
}

// The Nest value requests of setValue: 103, 107 and 108 carry the value text
// of index 3, 5 and 6; 102 the presence; 131 asks for value 11.
HACORE_INTERNAL int nestValueCommand(Device& d, int index, const char* value) {
    if (d.getID() < 1 || d.getDeviceTechnology() != DEVTECH_NEST || !value) return 0;
    switch (index) {
        case 3:
            return nestSend(d, 103, [&](NestPacket& p) { hbase::copyText(p.value103, sizeof p.value103, value); });
        case 5:
            return nestSend(d, 107, [&](NestPacket& p) { hbase::copyText(p.value107, sizeof p.value107, value); });
        case 6:
            return nestSend(d, 108, [&](NestPacket& p) { hbase::copyText(p.value108, sizeof p.value108, value); });
        case 8:
            return nestSend(d, 102, [&](NestPacket& p) { p.presence = is(value, "home") ? 1 : 0; });
        case 11:
            return nestSend(d, 131, [](NestPacket&) {});  // the device ID is value 1, filled already
        default:
            return 0;
    }
}

int Device::wakeUpDevice() { return 0; }

int Device::startAlarm(bool) { return 0; }
