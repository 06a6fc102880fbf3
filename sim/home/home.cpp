// Lays down a realistic home in the device store, the way the HA server
// leaves it after pairing: a dozen devices of every technology with their
// value records.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <depot.h>
}

#include "hacore/records.h"

namespace {

// A device as paired: Z-Wave ones have a node and no short address, ZigBee
// ones a short address and EUI-64; every value of it lies on one end point.
struct Home {
    int id;
    const char* name;
    const char* location;
    int tech;  // 1 ZigBee, 2 Z-Wave, 3 Hue, 4 Nest, 5 built-in
    const char* type;
    const char* friendly;
    int node;
    int shortId;
    const char* eui64;
    const char* manufacturer;
    const char* model;
    const char* secure;  // the SECURITYDEVICE value (index 0) of every device
    int endPoint;
};

const Home kHome[] = {
    {1, "Living room light", "Living room", 2, "BinarySwitch", "Wall switch", 5, 65535, "", "Fibaro", "FGS-213", "0",
     1},
    {2, "Kitchen dimmer", "Kitchen", 2, "MultilevelSwitch", "Dimmer", 6, 65535, "", "Aeotec", "ZW111", "0", 1},
    {3, "Front door lock", "Hallway", 2, "DoorLock", "Door lock", 7, 65535, "", "Yale", "YRD256", "0", 1},
    {4, "Hall motion", "Hallway", 2, "MotionSensor", "Motion sensor", 8, 65535, "", "Aeotec", "ZW100", "1", 1},
    {5, "Thermostat", "Living room", 2, "Thermostat", "Thermostat", 9, 65535, "", "Danfoss", "LC-13", "0", 1},
    {6, "Bedroom bulb", "Bedroom", 1, "ColorDimmableLight", "Colour bulb", 0, 0x1a2b, "00:17:88:01:02:03:04:05",
     "Philips", "LCT015", "0", 11},
    {7, "Back door", "Kitchen", 1, "DoorSensor", "Door sensor", 0, 0x3c4d, "00:0d:6f:00:0a:0b:0c:0d", "Centralite",
     "3320-L", "1", 1},
    {8, "Washer plug", "Utility", 1, "SmartACSwitch", "Smart plug", 0, 0x5e6f, "00:0d:6f:00:11:22:33:44", "Centralite",
     "3210-L", "0", 1},
    {9, "Sofa lamp", "Living room", 3, "HueLamp", "Hue bulb", 0, 65535, "", "Philips", "LCT007", "0", 1},
    {10, "Hallway Nest", "Hallway", 4, "NestThermostat", "Nest thermostat", 0, 65535, "", "Nest", "Learning 3", "0", 1},
    {11, "Hub siren", "Hub", 5, "HalvixSiren", "Built-in siren", 0, 65535, "", "Halvix", "HS-1", "0", 1},
    {12, "Hub LED", "Hub", 5, "HalvixBlink", "Built-in LED", 0, 65535, "", "Halvix", "HL-1", "0", 1},
    {13, "Garden siren", "Garden", 1, "StandardWarningDevice", "Outdoor siren", 0, 0x7a8b, "00:0d:6f:00:55:66:77:88",
     "ClimaxTechnology", "SRAC-23", "1", 1},
};

// The values after SECURITYDEVICE, device by device, at indexes 1, 2, ...
// in the order given.
struct Value {
    int device;
    const char* name;
    const char* value;
    int commandClass;
    int indexType;
};

const Value kValues[] = {
    {1, "SWITCH BINARY", "false", 0x25, 1},
    {1, "POWER", "0.0", 0x32, 34},
    {2, "SWITCH MULTILEVEL", "35", 0x26, 17},
    {3, "LOCK_STATE", "0", 0x62, 22},
    {3, "LOCK_CONFIG", "1", 0x62, 22},
    {3, "BATTERY", "82", 0x80, 50},
    {4, "MOTION_STATE", "false", 0x30, 3},
    {4, "BATTERY", "64", 0x80, 50},
    {4, "TAMPER", "false", 0x71, 9},
    {4, "TEMPERATURE", "21.5", 0x31, 25},
    {5, "TEMPERATURE", "20.0", 0x31, 25},
    {5, "THERMOSTAT MODE", "Heat", 0x40, 35},
    {5, "BATTERY", "90", 0x80, 50},
    {5, "THERMOSTAT SETPOINT HEATING", "21", 0x43, 37},
    {6, "DIMMER_LEVEL", "80", 0, 18},
    {6, "SWITCH BINARY", "true", 0, 1},
    {6, "HUE_ZB", "120", 0, 31},
    {6, "SATURATION", "200", 0, 32},
    {6, "COLOR_TEMPERATURE", "2700", 0, 33},
    {7, "DOOR_STATE", "false", 0, 4},
    {7, "BATTERY", "71", 0, 50},
    {7, "TAMPER", "false", 0, 9},
    {8, "SWITCH BINARY", "true", 0, 1},
    {8, "ACTIVE_POWER", "412", 0, 86},
    {9, "HUE_BRIDGE_ID", "001788fffe23bcd1", 0, 72},
    {9, "SWITCH BINARY", "true", 0, 1},
    {9, "HUE", "8418", 0, 30},
    {9, "SATURATION", "140", 0, 32},
    {9, "DIMMER_LEVEL", "254", 0, 18},
    {9, "REACHABLE", "true", 0, 77},
    {9, "COLOUR_MODE", "hs", 0, 74},
    {9, "HUE_BULB_ID", "3", 0, 75},
    {9, "USER_NAME", "halvixhub", 0, 76},
    {10, "NEST_ID", "nest-7f3a", 0, 55},
    {10, "THERMOSTAT_MODE", "heat", 0, 56},
    {10, "THERMOSTAT_TARGET", "21", 0, 57},
    {10, "TEMPERATURE", "20.5", 0, 25},
    {10, "THERMOSTAT_RANGE_LOW", "18", 0, 58},
    {10, "THERMOSTAT_RANGE_HIGH", "24", 0, 59},
    {10, "TEMPERATURE_SCALE", "C", 0, 87},
    {10, "AWAY_MODE", "home", 0, 60},
    {11, "ENABLE", "true", 0, 100},
    {11, "BUZZ_STATE", "false", 0, 93},
    {11, "TONE", "1", 0, 95},
    {11, "VOLUME", "5", 0, 96},
    {11, "Seconds", "30", 0, 99},
    {12, "LED_STATE", "false", 0, 94},
    {12, "BLINK_STATE", "false", 0, 97},
    {12, "RGB", "16711680", 0, 98},
    {12, "Seconds", "10", 0, 99},
    {13, "ALARM_STATE", "0", 0, 13},
    {13, "BATTERY", "95", 0, 50},
    {13, "TAMPER", "false", 0, 9},
};

template <size_t N>
void setText(char (&field)[N], const char* text) {
    strncpy(field, text, N - 1);
}

void put(DEPOT* db, const std::string& key, const void* data, int len) {
    if (!dpput(db, key.data(), (int)key.size(), static_cast<const char*>(data), len, DP_DOVER))
        fprintf(stderr, "sim-home: dpput %s: %s\n", key.c_str(), dperrmsg(dpecode));
}

void putText(DEPOT* db, const std::string& key, const char* text, int len) {
    std::string v(len, '\0');
    memcpy(&v[0], text, strnlen(text, len));
    put(db, key, v.data(), len);
}

}  // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "/tmp/ddb";
    DEPOT* db = dpopen(path, DP_OWRITER | DP_OCREAT | DP_ONOLCK, 1);
    if (!db) {
        fprintf(stderr, "sim-home: %s: %s\n", path, dperrmsg(dpecode));
        return 1;
    }
    const size_t devices = sizeof kHome / sizeof kHome[0];
    for (const Home& h : kHome) {
        std::vector<ValueRecord> values(1);
        memset(&values[0], 0, sizeof values[0]);
        setText(values[0].name, "SECURITYDEVICE");
        setText(values[0].value, h.secure);
        values[0].indexType = 118;
        for (const Value& v : kValues) {
            if (v.device != h.id) continue;
            ValueRecord vr;
            memset(&vr, 0, sizeof vr);
            vr.index = (int)values.size();
            setText(vr.name, v.name);
            setText(vr.value, v.value);
            vr.commandClass = v.commandClass;
            vr.endPoint = h.endPoint;
            vr.indexType = v.indexType;
            values.push_back(vr);
        }
        DeviceRecord r;
        memset(&r, 0, sizeof r);
        r.id = h.id;
        setText(r.name, h.name);
        setText(r.location, h.location);
        r.ozwNode = h.node;
        r.shortId = h.shortId;
        setText(r.eui64, h.eui64);
        r.technology = h.tech;
        setText(r.associationTime, "1733650000");
        setText(r.typeName, h.type);
        setText(r.friendlyType, h.friendly);
        r.allowNotification = 1;
        r.valueCount = (int)values.size() - 1;
        std::string id = std::to_string(h.id);
        put(db, id, &r, sizeof r);
        for (const ValueRecord& vr : values) put(db, id + "." + std::to_string(vr.index), &vr, sizeof vr);
        putText(db, id + ".MN", h.manufacturer, 32);
        putText(db, id + ".MI", h.model, 20);
        putText(db, id + ".VS", "1.4.2", 10);
        putText(db, id + ".LT", "1733650000", 10);
    }
    putText(db, "NextDevid", std::to_string(devices + 1).c_str(), 10);
    putText(db, "Version", "3", 10);
    dpclose(db);
    printf("sim-home: %zu devices in %s\n", devices, path);
    return 0;
}
