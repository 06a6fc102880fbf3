// ZigBee typing, the removals of ZigBee and Z-Wave devices, and the Hue and
// Nest requests.
#include <arpa/inet.h>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "Logger.h"
#include "hacore/packets.h"
#include "internal.h"

char username1[50][50];

using namespace pairing;

namespace {

constexpr int kMacSlots = 20;
constexpr uint16_t kNoShortAddress = 65535;  // a device without ZigBee address

std::string field(const char* f, size_t size) { return std::string(f, strnlen(f, size)); }
template <size_t N>
std::string field(const char (&f)[N]) {
    return field(f, N);
}

bool contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

// The device type names of IAS zone types (271 and 277 depend on the device).
const struct {
    uint16_t key;  // zone type
    const char* name;
} kZoneNames[] = {
    {0, "StandardCIE"},
    {13, "MotionSensor"},
    {21, "ContactSwitch"},
    {40, "FireSensor"},
    {42, "WaterSensor"},
    {43, "GasSensor"},
    {44, "PersonalEmergencyDevice"},
    {45, "VibrationOrMovementSensor"},
    {541, "Keypad"},
    {549, "StandardWarningDevice"},
};

// The state index of a zone device, by its type.
const struct {
    int key, state;  // DevType, its state index
} kZoneStates[] = {
    {StandardCIE, IDX_SENSOR_BINARY},
    {MotionSensor, IDX_MOTION_STATE},
    {ContactSwitch, IDX_DOOR_STATE},
    {FireSensor, IDX_FIRE_STATE},
    {WaterSensor, IDX_WATER_STATE},
    {GasSensor, IDX_GAS_STATE},
    {VibrationOrMovementSensor, IDX_VIBRATION_STATE},
    {StandardWarningDevice, IDX_ALARM_STATE},
    {QuentrixButton, IDX_PRESS},
};

}  // namespace

// Writes `in` rearranged after `shape`: an upper-case letter stands for the
// character of `in` at that place (A: 0), anything else for itself. Input
// shorter than `size` gives "".
static void rearrange(const char* in, size_t size, const char* shape, char* out) {
    if (!in || strnlen(in, size) < size) {
        out[0] = '\0';
        return;
    }
    for (; *shape; ++shape) *out++ = isupper((unsigned char)*shape) ? in[*shape - 'A'] : *shape;
    *out = '\0';
}

// A bridge id has 16 characters and a MAC 17.
void HueMac(char* in, char* out) { rearrange(in, 16, "AB:CD:EF:KL:MN:OP", out); }
void RevertHueMac(char* in, char* out) { rearrange(in, 17, "ABDEGHfffeJKMNPQ", out); }

void HalvixAssociation::addIndex(int type, int endPoint) {
    if (zbIndexSlot > kZBIndexCap) {
        log(1, "libpairing:index list full, index %d left out", type);
        return;
    }
    zbRecord.indexes[2 * (zbIndexSlot - 1)] = (uint8_t)type;
    zbRecord.indexes[2 * (zbIndexSlot - 1) + 1] = (uint8_t)endPoint;
    ++zbIndexSlot;
}

int HalvixAssociation::zb_createAnyDevice() {
    zwNode.devTech = DEVTECH_ZIGBEE;
    calculateDevId();
    snprintf(devName, sizeof devName, "UnknownDevice #%d", DevId);
    log(0, "libpairing:collecting info of zigbee device");
    return validate_DeviceType();
}

const char* HalvixAssociation::GetDeviceTypeInStringFormat(uint16_t zone) {
    const std::string model = field(zbRecord.model), maker = field(zbRecord.manufacturer);
    if (zone == 271) return contains(model, "RC_ACE") ? "KeyFob" : "RemoteControl";
    if (zone == 277) return contains(maker, "Quentrix Ltd.") ? "QuentrixButton" : "KeyFob";
    const auto* z = findRow(kZoneNames, zone);
    return z ? z->name : "UnknownDevice";
}

int HalvixAssociation::validate_DeviceType() {
    baseDevType = 0;
    zbIndexSlot = 1;
    const std::string model = field(zbRecord.model), maker = field(zbRecord.manufacturer);
    uint8_t& type = zbRecord.devType;
    auto name = [&](const char* n) { snprintf(devName, sizeof devName, "%s #%d", n, DevId); };
    // The type, and the name it gives the device: by default the type's own.
    auto become = [&](int t, const char* n = nullptr) {
        type = (uint8_t)t;
        char typeName[kDevTypeTextSize];
        DevtypeEnumToStr((DevType)t, typeName, sizeof typeName);
        name(n ? n : typeName);
    };
    int ruled = 0;

    for (int c = 0; c < kZBClusterCap && zbRecord.clusters[c].id != 0xFFFF; ++c) {
        const int ep = zbRecord.clusters[c].endPoint;
        auto add = [&](std::initializer_list<int> types) {
            for (int t : types) addIndex(t, ep);
        };
        // A reading of its own makes the device a generic one.
        auto generic = [&](int index) {
            add({index});
            type = 0;
        };
        ++ruled;
        switch (zbRecord.clusters[c].id) {
            case 0x0006:
                add({IDX_SWITCH_BINARY});
                become(type != BinarySwitch ? BinarySwitch : MultiSwitch);
                break;
            case 0x0008:
                add({IDX_DIMMER_LEVEL});
                become(type != BinarySwitch ? MultilevelSwitch : MultilevelSwitchOnOff);
                break;
            case 0x0100:
            case 0x0200:
            case 0x0404:
                type = 0;
                break;
            case 0x0101:
                add({IDX_LOCK_STATE_ZB});
                become(ZigbeeDoorLock);
                break;
            case 0x0102:
                add({IDX_WINDOW_COVERING_MODE});
                become(WindowCovering, "Window Covering");
                break;
            case 0x0201:
                add({IDX_THERMOSTAT_MODE, IDX_THERMOSTAT_OPERATING_STATE, IDX_THERMOSTAT_SETPOINT_HEATING,
                     IDX_THERMOSTAT_SETPOINT_COOLING, IDX_TEMPERATURE});
                if (maker == "Zen Within")
                    become(ZenThermostat, "Zen Thermostat");
                else if (contains(model, "UPIC"))
                    become(ZBIRExtender, "IR Extender");
                else
                    become(Thermostat);
                break;
            case 0x0202:
                add({IDX_THERMOSTAT_FAN_MODE, IDX_THERMOSTAT_FAN_STATE});
                break;
            case 0x0300:
                add({IDX_HUE_ZB, IDX_SATURATION, IDX_COLOR_TEMPERATURE});
                if (type == MultilevelSwitchOnOff)
                    become(ColorDimmableLight);
                else
                    type = 0;
                break;
            case 0x0400:
                generic(IDX_ILLUMINANCE);
                break;
            case 0x0402:
                add({IDX_TEMPERATURE});
                if (type == 0)
                    become(ZigbeeTempSensor);
                else if (type != OccupancySensor)
                    type = 0;
                if (contains(model, "SML0")) type = 0;
                break;
            case 0x0403:
                generic(IDX_PRESSURE);
                break;
            case 0x0405:
                add({IDX_HUMIDITY});
                if (type != OccupancySensor) type = 0;
                break;
            case 0x0406:
                add({IDX_MOTION_STATE});
                if (maker == "NYCE" && contains(model, "3041")) become(OccupancySensor);
                break;
            case 0x0500: {
                log(0, "libpairing:ias zone cluster");
                log(0, "libpairing:Manufacturer name received:%s", maker.c_str());
                int next = c + 1 < kZBClusterCap ? zbRecord.clusters[c + 1].id : 0xFFFF;
                if (next == 0x0503) {
                    log(0, "libpairing:Found 503 cluster %d", next);
                    add({IDX_MOTION_STATE, IDX_LOW_BATTERY, IDX_TAMPER, IDX_CAPTUREIMAGE, IDX_MODE, IDX_IMAGES_COUNT,
                         IDX_RESOLUTION});
                    log(0, "libpairing:Found 503 device %d", (int)ZigbeeCamImage);
                    become(ZigbeeCamImage);
                    break;
                }
                if (next == 0x0504 || type == OccupancySensor) break;
                char zoneName[64];
                hbase::copyText(zoneName, GetDeviceTypeInStringFormat(zbRecord.zoneType));
                baseDevType = StrToDevType(zoneName);
                if (contains(model, "MiniSD") && ep == 2) {
                    log(0, "libpairing:Mini smoke detector found");
                    baseDevType = MotionSensor;
                }
                char typeName[kDevTypeTextSize];
                DevtypeEnumToStr((DevType)baseDevType, typeName, sizeof typeName);
                log(0, "libpairing:Device associated:%s ", typeName);
                if (baseDevType == MotionSensor) log(0, "libpairing:Detected as a motion sensor");
                const auto* zs = findRow(kZoneStates, baseDevType);
                int state = zs ? zs->state : 0;
                if (baseDevType == ContactSwitch && contains(model, "XE01S")) state = 0;
                if (baseDevType == KeyFob)
                    add({IDX_ARMMODE, IDX_PANIC_ALARM, IDX_EMER_ALARM});
                else if (state)
                    add({state, IDX_LOW_BATTERY, IDX_TAMPER});
                else
                    add({IDX_LOW_BATTERY});
                const bool tilt = maker == "NYCE" && contains(model, "3014");
                become(baseDevType, baseDevType == WaterSensor      ? "FloodSensor"
                                    : baseDevType == QuentrixButton ? "Halvix Click"
                                    : tilt                          ? "Tilt Sensor"
                                                                    : nullptr);
                if (contains(model, "MiniSD")) type = 0;
                if (contains(model, "SZ-PIR04N")) {
                    for (int k = 0; k < zbIndexSlot - 1; ++k) {
                        if (zbRecord.indexes[2 * k] == IDX_ILLUMINANCE) {
                            type = 0;
                            log(0, "libpairing:Sercomm motion and illuminance found");
                            break;
                        }
                    }
                }
                break;
            }
            case 0x0702:
                add({IDX_METERING_CURRENT, IDX_METERING_UNIT, IDX_METERING_MULTIPLIER, IDX_METERING_DIVISOR});
                if (!contains(model, "ESW")) type = 0;
                break;
            case 0x0B04:
                add({IDX_ACTIVE_POWER, IDX_VOLTAGE, IDX_CURRENT, IDX_RETAIN_STATE});
                if (type != BinarySwitch) break;
                if (maker == "Quentrix Ltd." && zbRecord.ident292 == 4098 && zbRecord.ident294 == 24256) {
                    become(QuentrixSmartSwitch, "Tolvar Plug");
                    log(0, "libpairing:Manu name %s \n", maker.c_str());
                } else if (maker == "OSRAM") {
                    log(0, "libpairing:Manufacturer Name: Osram");
                } else {
                    if ((zbRecord.field232 == 0 && zbRecord.field240 == 0) || zbRecord.field228 == 0) return -1;
                    become(SmartACSwitch);
                }
                break;
            default:
                --ruled;
                break;
        }
    }

    int count = zbIndexSlot - 1;
    zbRecord.indexes[2 * count] = 255;  // count <= 28: the end entry fits before the name
    zbRecord.indexCount = (uint8_t)count;
    log(0, "libpairing:No. of clusters found:%d and indexes:%d zonetype:%x", ruled, count, zbRecord.zoneType);
    if (type == 0) {
        type = GenericDevice;
        snprintf(devName, sizeof devName, "GenericDevice #%d", DevId);
    }
    return 0;
}

void HalvixAssociation::zb_removeNode(uint16_t address) {
    DEPOT* db = openStore();
    if (!db) return;
    bool found = false;
    forEachDevice(db, [&](const DeviceRecord& r) {
        // The store marks devices without ZigBee address with 65535: an
        // answer carrying it names none of them.
        if (address != kNoShortAddress && r.shortId == (int32_t)address) {
            hbase::copyText(removedDevName, r.name);
            removedDevId = (uint32_t)r.id;
            log(0, "libpairing:Removing zigbee device 0x%.2x", address);
            found = true;
        }
    });
    closeStore(db);
    if (!found) zbRecord.status = 12;
}

void HalvixAssociation::ZW_removeNode() {
    DEPOT* db = openStore();
    if (!db) return;
    forEachDevice(db, [&](const DeviceRecord& r) {
        if (r.technology != DEVTECH_ZWAVE || (uint8_t)r.ozwNode != zwRx.nodeId) return;
        hbase::copyText(removedDevName, r.name);
        removedDevId = (uint32_t)r.id;
        log(0, "libpairing:Removing Zwave device %d", r.ozwNode);
        zwNode.nodeId = zwRx.nodeId;
        zwNode.devTech = DEVTECH_ZWAVE;
        zwNode.marker = 254;
        haAssocPacket.selector = DEVTECH_ZWAVE;
        memcpy(haAssocPacket.data, &zwNode, sizeof zwNode);
        if (sendToServers(ST_HaAssoc, &haAssocPacket) == 0)
            log(0, "libpairing:device removed sending success to haserver");
        else
            log(2, "libpairing:sending failed to haserver");
        memset(&haAssocPacket, 0, sizeof haAssocPacket);
    });
    closeStore(db);
}

void HalvixAssociation::sendHuePacket(int command, char* mac, char* userName, const char* cmd) {
    serverType = DEVTECH_HUE;
    HuePacket p;
    memset(&p, 0, sizeof p);
    p.command = command;
    if (mac) {
        char id[50] = "";
        RevertHueMac(mac, id);
        hbase::copyText(p.bridgeId, id);
    }
    if (userName) hbase::copyText(p.userName, userName);
    // Pending before the request goes out: the answer may come at once.
    idle = false;
    if (cmd) hbase::copyText(cmdtype, cmd);
    sendToServers(ST_Hue, &p);
}

void HalvixAssociation::Hue_initiateAdd() { sendHuePacket(114, nullptr, nullptr, nullptr); }
void HalvixAssociation::Hue_addBridge(char* mac) { sendHuePacket(100, mac, nullptr, "AddIPDevice"); }
void HalvixAssociation::Hue_addDev(char* mac, char* userName) { sendHuePacket(105, mac, userName, "AddHueDevice"); }
void HalvixAssociation::Hue_refreshBridge(char* mac, char* userName) {
    sendHuePacket(106, mac, userName, "RefreshIPDevice");
}
void HalvixAssociation::Hue_remove(char* mac) { sendHuePacket(109, mac, nullptr, "RemoveIPDevice"); }

char* HalvixAssociation::Hue_getBridgeList() {
    DEPOT* db = openStore();
    if (!db) return nullptr;
    char macs[kMacSlots][50];
    memset(macs, 0, sizeof macs);
    memset(username1, 0, sizeof username1);
    int count = 0;
    auto value = [&](int id, int index, char(&out)[50]) {
        std::string key = std::to_string(id) + "." + std::to_string(index);
        ValueRecord v;
        memset(&v, 0, sizeof v);
        if (readRecord(db, key.data(), (int)key.size(), &v, sizeof v) < 0) return false;
        hbase::copyText(out, field(v.value).c_str());
        return true;
    };
    std::vector<DeviceRecord> hue;
    forEachDevice(db, [&](const DeviceRecord& r) {
        if (r.technology == DEVTECH_HUE) hue.push_back(r);
    });
    for (const DeviceRecord& r : hue) {
        // The table holds 20 bridges; further ones are left out.
        if (count >= kMacSlots) break;
        const std::string type = field(r.typeName);
        int bridgeKey, userKey;
        if (type == "HueLamp") {
            bridgeKey = 1;
            userKey = 9;
        } else if (type == "MultilevelSwitchOnOff") {
            bridgeKey = 3;
            userKey = 5;
        } else {
            continue;
        }
        char id[50], mac[50], user[50];
        if (value(r.id, bridgeKey, id)) {
            HueMac(id, mac);
            if (count == 0 || strcmp(macs[count - 1], mac) != 0) hbase::copyText(macs[count], mac);
        }
        if (value(r.id, userKey, user)) {
            if (count == 0 || strcmp(username1[count - 1], user) != 0) {
                hbase::copyText(username1[count], user);
                ++count;
            }
        }
    }
    closeStore(db);

    size_t size = (size_t)count * 100 + 200;
    char* out = static_cast<char*>(malloc(size));
    if (!out) return nullptr;
    size_t used = (size_t)snprintf(out, size, "{\"MAClist\":[");
    for (int k = 0; k < kMacSlots && macs[k][0]; ++k)
        used += (size_t)snprintf(out + used, size - used, "%s{\"mac\":\"%s\",\"username\":\"%s\"}", k ? "," : "",
                                 macs[k], username1[k]);
    snprintf(out + used, size - used, "]}");
    return out;
}

bool HalvixAssociation::Nest_checkExist() {
    FILE* f = fopen("/tmp/Authcode", "r");
    if (!f) return false;
    fclose(f);
    return true;
}

void HalvixAssociation::sendNestPacket(int command, char* code, const char* cmd) {
    serverType = DEVTECH_NEST;
    NestPacket p;
    memset(&p, 0, sizeof p);
    p.command = command;
    if (code) hbase::copyText(p.nestId, code);
    hbase::copyText(cmdtype, cmd);
    idle = false;
    sendToServers(ST_Nest, &p);
}

void HalvixAssociation::Nest_add(char* code) { sendNestPacket(100, code, "AddIPDevice"); }
void HalvixAssociation::Nest_remove() { sendNestPacket(109, nullptr, "RemoveIPDevice"); }

void HalvixAssociation::printAddrInfo(sockaddr_in addr) {
    char ip[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &addr.sin_addr, ip, sizeof ip);
    printf("\n\n *** Addr %s \n *** port %d \n\n", ip, ntohs(addr.sin_port));
}
