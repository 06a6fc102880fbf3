// Z-Wave typing: a node's device classes and command classes become a
// DevType, a generic node gets an index list built from its values, and the
// store lookups that pairing needs (next device id, is the node known).
#include <cstdlib>
#include <string>
#include <vector>

#include "Logger.h"
#include "internal.h"

bool SensorBinaryFlag;
bool BasicFlag;
bool ZwAcExtFlag;
bool MultilevelFlag;

using namespace pairing;

namespace {

constexpr uint8_t kMeter = 0x32, kAlarm = 0x71, kSwitchMultilevel = 0x26;

struct Specific {
    int specific;
    const char* name;          // Z-Wave name of the specific class
    int type = GenericDevice;  // DevType
};

struct Generic {
    int generic;
    const char* name;
    std::initializer_list<Specific> rows;  // rows with their own result or name
};

// Generic class, then the specific classes that have a row. A specific class
// without a row gives GenericDevice. METER and ALARM + SWITCH MULTILEVEL
// cases are decided in ZW_createDeviceType().
const Generic kGenerics[] = {
    {0x00, "zw_No_Generic_Type", {}},
    {0x01,
     "zw_Remote_Controller",
     {{1, "RC_Portable_Remote_Controller"},
      {2, "RC_Portable_Scene_Controller"},
      {3, "RC_Portable_Installer_Tool"},
      {4, "RC_Remote_Control_AV"},
      {6, "RC_Remote_Control_Simple"}}},
    {0x02,
     "zw_Static_Controller_v2",
     {{1, "SC_PC_Controller"},
      {2, "SC_Scene_Controller"},
      {3, "SC_Static_Installer_Tool"},
      {4, "SC_Set_Top_Box"},
      {5, "SC_Sub_System_Controller"},
      {6, "SC_TV"},
      {7, "SC_Gateway", 8}}},
    {0x03, "zw_AV_Control_Point", {{4, "AV_Satellite_Receiver"}, {17, "AV_Doorbell"}}},
    {0x04, "zw_Display", {{1, "DS_Simple_Display"}}},
    {0x05, "zw_Network_Extender", {}},
    {0x06, "zw_Appliance", {{1, "AP_General_Appliance"}, {2, "AP_Kitchen_Appliance"}}},
    {0x07, "zw_Notification_Sensor", {{1, "NS_Notification_Sensor", 59}}},
    {0x08,
     "zw_Thermostat",
     {{0, "TT_Not_Used", 47},
      {2, "TT_General_Thermostat", 47},
      {4, "TT_Setpoint_Thermostat", 46},
      {6, "TT_General_Thermostat_V2", 47}}},
    {0x09, "zw_Window_Covering", {{1, "WC_Simple_Window_Covering"}}},
    {0x0F, "zw_Repeater_Slave", {{1, "RS_Basic_Repeater_Slave"}}},
    {0x10,
     "zw_Binary_Switch",
     {{0, "BS_Not_Used", 44}, {1, "BS_Binary_Power_Switch", 1}, {3, "BS_Binary_Scene_Switch", 1}, {5, "BS_Siren", 42}}},
    {0x11,
     "zw_Multilevel_Switch",
     {{0, "MS_Unknown", 2},
      {1, "MS_Multilevel_Power_Switch", 2},
      {4, "MS_Motor_Control_Class_B", 2},
      {6, "MS_Multilevel_Scene_Switch", 2}}},
    {0x12, "zw_Remote_Switch", {{1, "RS_Binary_Remote_Switch"}}},
    {0x13, "zw_Toggle_Switch", {{1, "TS_Binary_Toggle_Switch"}}},
    {0x14, "zw_Z_IP_Gateway", {{1, "ZG_Z_IP_Tunneling_Gateway"}}},
    {0x15, "zw_Z_IP_Node", {{1, "ZN_Z_IP_Tunneling_Node"}}},
    {0x16, "zw_Ventilation", {{1, "VT_Residential_HRV"}}},
    {0x17, "zw_Security_Panel", {{1, "SP_Zoned_Security_Panel"}}},
    {0x18, "zw_Wall_Controller", {{1, "WC_Basic_Wall_Controller"}}},
    {0x20, "zw_Binary_Sensor", {{1, "BS_Routing_Binary_Sensor", 3}}},
    {0x21, "zw_Multilevel_Sensor", {{1, "MS_Routing_Multilevel_Sensor", 35}}},
    {0x30, "zw_Pulse_Meter", {}},
    {0x31, "zw_Meter", {{1, "ME_Simple_Meter", 35}}},
    {0x40,
     "zw_Entry_Control",
     {{2, "EC_Advanced_Door_Lock", 5}, {3, "EC_Secure_Keypad_Door_Lock", 5}, {7, "EC_Garage_Door_Opener", 53}}},
    {0x50, "zw_Semi_Interoperable", {{1, "SI_Energy_Production"}}},
    {0xA1,
     "zw_Alarm_Sensor",
     {{0, "AS_Not_Used", 6}, {2, "AS_Routing_Alarm_Sensor", 6}, {6, "AS_Basic_Routing_Smoke_Sensor", 0}}},
    {0xFF, "zw_Non_Interoperable", {}},
};

}  // namespace

bool HalvixAssociation::CommandExists(unsigned char* list, unsigned char cc) {
    // A node's class list has room for 53 classes; a list without its end
    // is not read beyond that.
    for (int i = 0; i < kZWClassCap && list[i] != 0xFF; ++i) {
        if (list[i] == cc) {
            log(0, "libpairing:cmd matched");
            return true;
        }
    }
    return false;
}

int HalvixAssociation::calculateDevId() {
    DEPOT* db = openStore();
    if (!db) return -1;
    char next[11] = "";
    if (readRecord(db, "NextDevid", -1, next, 10) >= 0) DevId = atoi(next);
    closeStore(db);
    return DevId;
}

bool HalvixAssociation::ZW_checkNodeExists() {
    DEPOT* db = openStore();
    if (!db) return false;
    bool found = false;
    forEachDevice(db, [&](const DeviceRecord& r) {
        if (r.technology == DEVTECH_ZWAVE && (uint8_t)r.ozwNode == zwRx.nodeId) {
            hbase::copyText(removedDevName, r.name);
            removedDevId = (uint32_t)r.id;
            log(0, "libpairing:Removing Zwave device %d", r.ozwNode);
            found = true;
        }
    });
    closeStore(db);
    return found;
}

bool HalvixAssociation::ZW_createDeviceType() {
    calculateDevId();

    std::string classes = "node " + std::to_string(zwRx.nodeId) + " Supported Command Classes:";
    int n = 0;
    for (; n < kZWClassCap && zwRx.classes[n] != 0xFF; ++n) {
        char hex[8];
        snprintf(hex, sizeof hex, " 0x%.2x", zwRx.classes[n]);
        classes += hex;
        zwNode.classes[n] = zwRx.classes[n];
    }
    if (n < kZWClassCap) zwNode.classes[n] = 0;
    log(0, "%s", classes.c_str());

    if (zwRx.basicClass == 0) {
        log(2, "libpairing:BasicType is 0,so skipping Device addition");
        return false;
    }

    int generic = zwRx.genericClass, specific = zwRx.specificClass;
    int type = GenericDevice;
    const Generic* g = nullptr;
    for (const Generic& row : kGenerics)
        if (row.generic == generic) g = &row;
    if (!g) {
        log(0, "libpairing:Generic:GenericDevice , Specific:GenericDevice");
    } else {
        const Specific* s = nullptr;
        for (const Specific& row : g->rows)
            if (row.specific == specific) s = &row;
        const char* sname = s ? s->name : (generic == 0x00 ? "Unknown" : "GenericDevice");
        if (s) type = s->type;
        if (generic == 0x10 && (specific == 0 || specific == 1) && CommandExists(zwRx.classes, kMeter))
            type = BinaryPowerSwitch;
        if (generic == 0x11 && specific == 1 && CommandExists(zwRx.classes, kAlarm) &&
            CommandExists(zwRx.classes, kSwitchMultilevel))
            type = GenericDevice;
        if (generic == 0x02 && specific == 4)
            log(0, "libpairing:Generic:zw_Static_Controller_v2 , SC_Set_Top_Box");
        else if (generic == 0x05)
            log(0, "libpairing:Genericzw_Network_Extender , Specific:GenericDevice");
        else if (generic == 0x11 && specific == 0)
            log(0, "Generic:zw_Multilevel_Switch , Specific:MS_Unknown");
        else
            log(0, "libpairing:Generic:%s , Specific:%s", g->name, sname);
    }
    zwNode.foundType = type;

    if (type == GenericDevice) ZW_indexToEnum(zwNode.values[0]);

    zwNode.devTech = DEVTECH_ZWAVE;
    zwNode.nodeId = zwRx.nodeId;
    baseDevType = type;
    getDefaultDevName((DevType)type, DevId, devName);
    hbase::copyText(zwNode.name, devName);
    zwNode.marker = 255;
    log(0, "libpairing:Device Basic Type:0x%.2x, Generic Type:0x%.2x, Specific Type:0x%.2x,Nodeid:%d", zwRx.basicClass,
        zwRx.genericClass, zwRx.specificClass, zwRx.nodeId);
    return true;
}

namespace {

constexpr int kEveryIndex = -1;

// The index type of a generic device's value, by command class and command
// index; the first row that matches counts, and no row (or type 0) is none.
const struct {
    int cls, index, type;
} kValueTypes[] = {
    {0x20, kEveryIndex, IDX_BASIC},
    {0x25, kEveryIndex, IDX_SWITCH_BINARY},
    {0x26, 0, IDX_SWITCH_MULTILEVEL},
    {0x30, kEveryIndex, IDX_SENSOR_BINARY},
    {0x31, 1, IDX_TEMPERATURE},
    {0x31, 3, IDX_ILLUMINANCE},
    {0x31, 5, IDX_HUMIDITY},
    {0x32, 0, IDX_ENERGY},
    {0x32, 8, IDX_POWER},
    {0x40, kEveryIndex, IDX_THERMOSTAT_MODE},
    {0x42, kEveryIndex, IDX_THERMOSTAT_OPERATING_STATE},
    {0x43, 1, IDX_THERMOSTAT_SETPOINT_HEATING},
    {0x43, 2, IDX_THERMOSTAT_SETPOINT_COOLING},
    {0x44, kEveryIndex, IDX_THERMOSTAT_FAN_MODE},
    {0x5B, kEveryIndex, IDX_GESTURESENSOR},
    {0x62, 0, IDX_LOCK_STATE},
    {0x63, 0, 0},
    {0x63, 255, IDX_MAXIMUM_USERS},
    {0x63, kEveryIndex, IDX_USER_CODE},
    {0x66, kEveryIndex, IDX_BARRIER_OPERATOR},
    {0x70, 27, IDX_AC_SWING},
    {0x70, 33, IDX_IR_CODE},
    {0x71, 2, IDX_TAMPER},
    {0x80, kEveryIndex, IDX_BATTERY},
};

int indexTypeOf(int c, int i) {
    for (const auto& row : kValueTypes)
        if (row.cls == c && (row.index == kEveryIndex || row.index == i)) return row.type;
    return 0;
}

// The sub-types offered for a type found (GenericDevice: listSubDevType).
const struct {
    DevType key;
    std::initializer_list<DevType> subs;
} kSubTypes[] = {
    {BinarySwitch, {Siren, BinarySwitch, MultiSwitch}},
    {UnknownOnOffModule, {Siren, BinarySwitch, MultiSwitch}},
    {MultilevelSwitch, {MultilevelSwitch, RollerShutter, MultiSoundSiren}},
    {BinarySensor, {DoorSensor, MovementSensor, ShockSensor, FloodSensor, MultiSensor}},
    {Alarm, {FloodSensor, MultiSensor, SmokeDetector}},
    {StandardCIE, {StandardWarningDevice, KeyFob, StandardCIE}},
    {MultilevelSensor, {LightSensor, MoistureSensor, TemperatureSensor, EnergyReader, MultiSensor}},
    {BinaryPowerSwitch, {MultiSwitch, BinaryPowerSwitch}},
    {UnknownThermostat, {Thermostat, SetPointThermostat, ZWtoACIRExtender}},
    {NotificationSensor, {DoorSensor, MultiSensor, SmokeDetector, FloodSensor, MovementSensor}},
};

// The indexes a type chosen for a generic device renames, in this order.
const struct {
    DevType type;
    IndexType from, to;
} kRenames[] = {
    {SmokeDetector, IDX_BASIC, IDX_SMOKE_STATE},
    {FloodSensor, IDX_BASIC, IDX_FLOOD_STATE},
    {DoorSensor, IDX_SENSOR_BINARY, IDX_DOOR_STATE},
    {MovementSensor, IDX_SENSOR_BINARY, IDX_MOTION_STATE},
    {Siren, IDX_SWITCH_BINARY, IDX_ALARM_STATE},
    {SetPointThermostat, IDX_SENSOR_BINARY, IDX_MOTION_STATE},
    {RollerShutter, IDX_BASIC, IDX_UP_DOWN},
    {RollerShutter, IDX_SWITCH_MULTILEVEL, IDX_SHUTTER_LEVEL},
    {RollerShutter, IDX_SWITCH_BINARY, IDX_STOP},
    {ZWtoACIRExtender, IDX_THERMOSTAT_MODE, IDX_AC_MODE},
    {ZWtoACIRExtender, IDX_THERMOSTAT_SETPOINT_HEATING, IDX_AC_SETPOINT_HEATING},
    {ZWtoACIRExtender, IDX_THERMOSTAT_SETPOINT_COOLING, IDX_AC_SETPOINT_COOLING},
    {ZWtoACIRExtender, IDX_THERMOSTAT_FAN_MODE, IDX_AC_FAN_MODE},
    {MultiSoundSiren, IDX_SWITCH_MULTILEVEL, IDX_SWITCH_MULTISOUND},
};

}  // namespace

void HalvixAssociation::ZW_indexToEnum(unsigned char* list) {
    uint8_t* idx = zwNode.indexes;
    idx[0] = 0;
    int pos = 0;
    // The value list holds at most 181 entries; the index list 31.
    for (int e = 0; e < kZWValueCap && list[3 * e] != 0; ++e) {
        int c = list[3 * e], i = list[3 * e + 1], n = list[3 * e + 2];
        log(3, "libpairing:GenericDevice: command class: %d command index %d", c, i);
        int t = indexTypeOf(c, i);
        if (!t) {
            log(3, "libpairing:GenericDevice: Enum is not defined for : cmdclass %d ind %d", c, i);
            continue;
        }
        if (pos >= kZWIndexCap) {
            log(1, "libpairing:GenericDevice: index list full, cmdclass %d index %d left out", c, i);
            continue;
        }
        idx[2 * pos] = (uint8_t)t;
        idx[2 * pos + 1] = (uint8_t)n;
        if (t == IDX_SENSOR_BINARY) SensorBinaryFlag = true;
        if (t == IDX_BASIC) BasicFlag = true;
        if (t == IDX_THERMOSTAT_MODE || t == IDX_THERMOSTAT_SETPOINT_HEATING || t == IDX_THERMOSTAT_SETPOINT_COOLING ||
            t == IDX_THERMOSTAT_FAN_MODE)
            ZwAcExtFlag = true;
        if (t == IDX_SWITCH_MULTILEVEL) MultilevelFlag = true;
        idx[2 * (pos + 1)] = 0;  // pos + 1 <= 31: the end entry's type byte is the record's last byte
        log(3, "libpairing:GenericDevice: cmdclass %d index %d instance : %d Enum: %d ", c, i, n, t);
        ++pos;
    }
}

void HalvixAssociation::listSubDevType(DevType type, DevType* out) {
    const auto* row = findRow(kSubTypes, type);
    std::vector<DevType> list = row ? row->subs : std::initializer_list<DevType>{};
    if (type == GenericDevice) {
        if (BasicFlag && MultilevelFlag)
            list = {MultiSoundSiren, RollerShutter, MovementSensor};
        else if (ZwAcExtFlag)
            list = {ZWtoACIRExtender, SetPointThermostat};
        else if (SensorBinaryFlag ||
                 (BasicFlag && strnlen(reinterpret_cast<const char*>(zwNode.indexes), sizeof zwNode.indexes) < 10))
            list = {DoorSensor, MotionSensor, FloodSensor, SmokeDetector, MultiSoundSiren, Siren};
    }
    int k = 0;
    for (DevType t : list) out[k++] = t;
    out[k] = UnknownDeviceType;
}

void HalvixAssociation::ChangeIndexType(IndexType from, IndexType to) {
    for (int pos = 0; pos < kZWIndexCap && zwNode.indexes[2 * pos] != 0; ++pos) {
        if (zwNode.indexes[2 * pos] == (uint8_t)from) {
            zwNode.indexes[2 * pos] = (uint8_t)to;
            log(3, "ChangeIndexType:: IndexType Found");
            return;
        }
    }
}

void HalvixAssociation::GenericIndexType(DevType type) {
    for (const auto& row : kRenames)
        if (row.type == type) ChangeIndexType(row.from, row.to);
}

void HalvixAssociation::getDefaultDevName(DevType type, int n, char* out) {
    char name[180];
    memset(name, 0, sizeof name);
    DevtypeEnumToStr(type, name, kDevTypeTextSize);
    sprintf(out, "%s #%d", name, n);  // at most 25 + 2 + 11 characters
}
