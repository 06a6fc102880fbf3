// ZigBee typing, the removals of ZigBee and Z-Wave devices, and the Hue and
// Nest requests.
#include <arpa/inet.h>
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

}  // namespace

// A bridge id has 16 characters and a MAC 17; shorter input gives "".
void HueMac(char* in, char* out) {
    if (!in || strnlen(in, 16) < 16) {
        out[0] = '\0';
        return;
    }
    sprintf(out, "%c%c:%c%c:%c%c:%c%c:%c%c:%c%c", in[0], in[1], in[2], in[3], in[4], in[5], in[10], in[11], in[12],
            in[13], in[14], in[15]);
}

void RevertHueMac(char* in, char* out) {
    if (!in || strnlen(in, 17) < 17) {
        out[0] = '\0';
        return;
    }
    sprintf(out, "%c%c%c%c%c%cfffe%c%c%c%c%c%c", in[0], in[1], in[3], in[4], in[6], in[7], in[9], in[10], in[12],
            in[13], in[15], in[16]);
}

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
    switch (zone) {
        case 0:
            return "StandardCIE";
        case 13:
            return "MotionSensor";
        case 21:
            return "ContactSwitch";
        case 40:
            return "FireSensor";
        case 42:
            return "WaterSensor";
        case 43:
            return "GasSensor";
        case 44:
            return "PersonalEmergencyDevice";
        case 45:
            return "VibrationOrMovementSensor";
        case 271:
            return contains(model, "RC_ACE") ? "KeyFob" : "RemoteControl";
        case 277:
            return contains(maker, "Quentrix Ltd.") ? "QuentrixButton" : "KeyFob";
        case 541:
            return "Keypad";
        case 549:
            return "StandardWarningDevice";
        default:
            return "UnknownDevice";
    }
}

int HalvixAssociation::validate_DeviceType() {
    baseDevType = 0;
    zbIndexSlot = 1;
    const std::string model = field(zbRecord.model), maker = field(zbRecord.manufacturer);
    uint8_t& type = zbRecord.devType;
    auto name = [&](const char* n) { snprintf(devName, sizeof devName, "%s #%d", n, DevId); };
    int ruled = 0;

    for (int c = 0; c < kZBClusterCap && zbRecord.clusters[c].id != 0xFFFF; ++c) {
        const int ep = zbRecord.clusters[c].endPoint;
        ++ruled;
        switch (zbRecord.clusters[c].id) {
            case 0x0006:
                addIndex(IDX_SWITCH_BINARY, ep);
                if (type != BinarySwitch) {
                    type = BinarySwitch;
                    name("BinarySwitch");
                } else {
                    type = MultiSwitch;
                    name("MultiSwitch");
                }
                break;
            case 0x0008:
                addIndex(IDX_DIMMER_LEVEL, ep);
                if (type != BinarySwitch) {
                    type = MultilevelSwitch;
                    name("MultilevelSwitch");
                } else {
                    type = MultilevelSwitchOnOff;
                    name("MultilevelSwitchOnOff");
                }
                break;
            case 0x0100:
            case 0x0200:
            case 0x0404:
                type = 0;
                break;
            case 0x0101:
                addIndex(IDX_LOCK_STATE_ZB, ep);
                type = ZigbeeDoorLock;
                name("ZigbeeDoorLock");
                break;
            case 0x0102:
                addIndex(IDX_WINDOW_COVERING_MODE, ep);
                type = WindowCovering;
                name("Window Covering");
                break;
            case 0x0201:
                for (int t : {IDX_THERMOSTAT_MODE, IDX_THERMOSTAT_OPERATING_STATE, IDX_THERMOSTAT_SETPOINT_HEATING,
                              IDX_THERMOSTAT_SETPOINT_COOLING, IDX_TEMPERATURE})
                    addIndex(t, ep);
                if (maker == "Zen Within") {
                    type = ZenThermostat;
                    name("Zen Thermostat");
                } else if (contains(model, "UPIC")) {
                    type = ZBIRExtender;
                    name("IR Extender");
                } else {
                    type = Thermostat;
                    name("Thermostat");
                }
                break;
            case 0x0202:
                addIndex(IDX_THERMOSTAT_FAN_MODE, ep);
                addIndex(IDX_THERMOSTAT_FAN_STATE, ep);
                break;
            case 0x0300:
                addIndex(IDX_HUE_ZB, ep);
                addIndex(IDX_SATURATION, ep);
                addIndex(IDX_COLOR_TEMPERATURE, ep);
                if (type == MultilevelSwitchOnOff) {
                    type = ColorDimmableLight;
                    name("ColorDimmableLight");
                } else {
                    type = 0;
                }
                break;
            case 0x0400:
                addIndex(IDX_ILLUMINANCE, ep);
                type = 0;
                break;
            case 0x0402:
                addIndex(IDX_TEMPERATURE, ep);
                if (type == 0) {
                    type = ZigbeeTempSensor;
                    name("ZigbeeTempSensor");
                } else if (type != OccupancySensor) {
                    type = 0;
                }
                if (contains(model, "SML0")) type = 0;
                break;
            case 0x0403:
                addIndex(IDX_PRESSURE, ep);
                type = 0;
                break;
            case 0x0405:
                addIndex(IDX_HUMIDITY, ep);
                if (type != OccupancySensor) type = 0;
                break;
            case 0x0406:
                addIndex(IDX_MOTION_STATE, ep);
                if (maker == "NYCE" && contains(model, "3041")) {
                    type = OccupancySensor;
                    name("OccupancySensor");
                }
                break;
            case 0x0500: {
                log(0, "libpairing:ias zone cluster");
                log(0, "libpairing:Manufacturer name received:%s", maker.c_str());
                int next = c + 1 < kZBClusterCap ? zbRecord.clusters[c + 1].id : 0xFFFF;
                if (next == 0x0503) {
                    log(0, "libpairing:Found 503 cluster %d", next);
                    for (int t : {IDX_MOTION_STATE, IDX_LOW_BATTERY, IDX_TAMPER, IDX_CAPTUREIMAGE, IDX_MODE,
                                  IDX_IMAGES_COUNT, IDX_RESOLUTION})
                        addIndex(t, ep);
                    log(0, "libpairing:Found 503 device %d", (int)ZigbeeCamImage);
                    type = ZigbeeCamImage;
                    name("ZigbeeCamImage");
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
                int state = 0;
                switch (baseDevType) {
                    case StandardCIE:
                        state = IDX_SENSOR_BINARY;
                        break;
                    case MotionSensor:
                        log(0, "libpairing:Detected as a motion sensor");
                        state = IDX_MOTION_STATE;
                        break;
                    case ContactSwitch:
                        state = contains(model, "XE01S") ? 0 : IDX_DOOR_STATE;
                        break;
                    case FireSensor:
                        state = IDX_FIRE_STATE;
                        break;
                    case WaterSensor:
                        state = IDX_WATER_STATE;
                        break;
                    case GasSensor:
                        state = IDX_GAS_STATE;
                        break;
                    case VibrationOrMovementSensor:
                        state = IDX_VIBRATION_STATE;
                        break;
                    case StandardWarningDevice:
                        state = IDX_ALARM_STATE;
                        break;
                    case QuentrixButton:
                        state = IDX_PRESS;
                        break;
                    default:
                        break;
                }
                if (baseDevType == KeyFob) {
                    addIndex(IDX_ARMMODE, ep);
                    addIndex(IDX_PANIC_ALARM, ep);
                    addIndex(IDX_EMER_ALARM, ep);
                } else if (baseDevType == ContactSwitch && contains(model, "XE01S")) {
                    addIndex(IDX_LOW_BATTERY, ep);
                } else if (state) {
                    addIndex(state, ep);
                    addIndex(IDX_LOW_BATTERY, ep);
                    addIndex(IDX_TAMPER, ep);
                } else {
                    addIndex(IDX_LOW_BATTERY, ep);
                }
                if (baseDevType == WaterSensor)
                    name("FloodSensor");
                else if (baseDevType == QuentrixButton)
                    name("Halvix Click");
                else if (maker == "NYCE" && contains(model, "3014"))
                    name("Tilt Sensor");
                else
                    name(typeName);
                type = (uint8_t)baseDevType;
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
                for (int t : {IDX_METERING_CURRENT, IDX_METERING_UNIT, IDX_METERING_MULTIPLIER, IDX_METERING_DIVISOR})
                    addIndex(t, ep);
                if (!contains(model, "ESW")) type = 0;
                break;
            case 0x0B04:
                for (int t : {IDX_ACTIVE_POWER, IDX_VOLTAGE, IDX_CURRENT, IDX_RETAIN_STATE}) addIndex(t, ep);
                if (type != BinarySwitch) break;
                if (maker == "Quentrix Ltd." && zbRecord.ident292 == 4098 && zbRecord.ident294 == 24256) {
                    type = QuentrixSmartSwitch;
                    name("Tolvar Plug");
                    log(0, "libpairing:Manu name %s \n", maker.c_str());
                } else if (maker == "OSRAM") {
                    log(0, "libpairing:Manufacturer Name: Osram");
                } else {
                    if ((zbRecord.field232 == 0 && zbRecord.field240 == 0) || zbRecord.field228 == 0) return -1;
                    type = SmartACSwitch;
                    name("SmartACSwitch");
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
