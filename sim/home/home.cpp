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

struct Value {
    int index;
    const char* name;
    const char* value;
    int commandClass;
    int endPoint;
    int indexType;
};

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
    std::vector<Value> values;
};

const std::vector<Home> kHome = {
    {1,
     "Living room light",
     "Living room",
     2,
     "BinarySwitch",
     "Wall switch",
     5,
     65535,
     "",
     "Fibaro",
     "FGS-213",
     {{0, "SECURITYDEVICE", "0", 0, 0, 118},
      {1, "SWITCH BINARY", "false", 0x25, 1, 1},
      {2, "POWER", "0.0", 0x32, 1, 34}}},
    {2,
     "Kitchen dimmer",
     "Kitchen",
     2,
     "MultilevelSwitch",
     "Dimmer",
     6,
     65535,
     "",
     "Aeotec",
     "ZW111",
     {{0, "SECURITYDEVICE", "0", 0, 0, 118}, {1, "SWITCH MULTILEVEL", "35", 0x26, 1, 17}}},
    {3,
     "Front door lock",
     "Hallway",
     2,
     "DoorLock",
     "Door lock",
     7,
     65535,
     "",
     "Yale",
     "YRD256",
     {{0, "SECURITYDEVICE", "0", 0, 0, 118},
      {1, "LOCK_STATE", "0", 0x62, 1, 22},
      {2, "LOCK_CONFIG", "1", 0x62, 1, 22},
      {3, "BATTERY", "82", 0x80, 1, 50}}},
    {4,
     "Hall motion",
     "Hallway",
     2,
     "MotionSensor",
     "Motion sensor",
     8,
     65535,
     "",
     "Aeotec",
     "ZW100",
     {{0, "SECURITYDEVICE", "1", 0, 0, 118},
      {1, "MOTION_STATE", "false", 0x30, 1, 3},
      {2, "BATTERY", "64", 0x80, 1, 50},
      {3, "TAMPER", "false", 0x71, 1, 9},
      {4, "TEMPERATURE", "21.5", 0x31, 1, 25}}},
    {5,
     "Thermostat",
     "Living room",
     2,
     "Thermostat",
     "Thermostat",
     9,
     65535,
     "",
     "Danfoss",
     "LC-13",
     {{0, "SECURITYDEVICE", "0", 0, 0, 118},
      {1, "TEMPERATURE", "20.0", 0x31, 1, 25},
      {2, "THERMOSTAT MODE", "Heat", 0x40, 1, 35},
      {3, "BATTERY", "90", 0x80, 1, 50},
      {4, "THERMOSTAT SETPOINT HEATING", "21", 0x43, 1, 37}}},
    {6,
     "Bedroom bulb",
     "Bedroom",
     1,
     "ColorDimmableLight",
     "Colour bulb",
     0,
     0x1a2b,
     "00:17:88:01:02:03:04:05",
     "Philips",
     "LCT015",
     {{0, "SECURITYDEVICE", "0", 0, 0, 118},
      {1, "DIMMER_LEVEL", "80", 0, 11, 18},
      {2, "SWITCH BINARY", "true", 0, 11, 1},
      {3, "HUE_ZB", "120", 0, 11, 31},
      {4, "SATURATION", "200", 0, 11, 32},
      {5, "COLOR_TEMPERATURE", "2700", 0, 11, 33}}},
    {7,
     "Back door",
     "Kitchen",
     1,
     "DoorSensor",
     "Door sensor",
     0,
     0x3c4d,
     "00:0d:6f:00:0a:0b:0c:0d",
     "Centralite",
     "3320-L",
     {{0, "SECURITYDEVICE", "1", 0, 0, 118},
      {1, "DOOR_STATE", "false", 0, 1, 4},
      {2, "BATTERY", "71", 0, 1, 50},
      {3, "TAMPER", "false", 0, 1, 9}}},
    {8,
     "Washer plug",
     "Utility",
     1,
     "SmartACSwitch",
     "Smart plug",
     0,
     0x5e6f,
     "00:0d:6f:00:11:22:33:44",
     "Centralite",
     "3210-L",
     {{0, "SECURITYDEVICE", "0", 0, 0, 118},
      {1, "SWITCH BINARY", "true", 0, 1, 1},
      {2, "ACTIVE_POWER", "412", 0, 1, 86}}},
    {9,
     "Sofa lamp",
     "Living room",
     3,
     "HueLamp",
     "Hue bulb",
     0,
     65535,
     "",
     "Philips",
     "LCT007",
     {{0, "SECURITYDEVICE", "0", 0, 0, 118},
      {1, "HUE_BRIDGE_ID", "001788fffe23bcd1", 0, 1, 72},
      {2, "SWITCH BINARY", "true", 0, 1, 1},
      {3, "HUE", "8418", 0, 1, 30},
      {4, "SATURATION", "140", 0, 1, 32},
      {5, "DIMMER_LEVEL", "254", 0, 1, 18},
      {6, "REACHABLE", "true", 0, 1, 77},
      {7, "COLOUR_MODE", "hs", 0, 1, 74},
      {8, "HUE_BULB_ID", "3", 0, 1, 75},
      {9, "USER_NAME", "halvixhub", 0, 1, 76}}},
    {10,
     "Hallway Nest",
     "Hallway",
     4,
     "NestThermostat",
     "Nest thermostat",
     0,
     65535,
     "",
     "Nest",
     "Learning 3",
     {{0, "SECURITYDEVICE", "0", 0, 0, 118},
      {1, "NEST_ID", "nest-7f3a", 0, 1, 55},
      {2, "THERMOSTAT_MODE", "heat", 0, 1, 56},
      {3, "THERMOSTAT_TARGET", "21", 0, 1, 57},
      {4, "TEMPERATURE", "20.5", 0, 1, 25},
      {5, "THERMOSTAT_RANGE_LOW", "18", 0, 1, 58},
      {6, "THERMOSTAT_RANGE_HIGH", "24", 0, 1, 59},
      {7, "TEMPERATURE_SCALE", "C", 0, 1, 87},
      {8, "AWAY_MODE", "home", 0, 1, 60}}},
    {11,
     "Hub siren",
     "Hub",
     5,
     "HalvixSiren",
     "Built-in siren",
     0,
     65535,
     "",
     "Halvix",
     "HS-1",
     {{0, "SECURITYDEVICE", "0", 0, 0, 118},
      {1, "ENABLE", "true", 0, 1, 100},
      {2, "BUZZ_STATE", "false", 0, 1, 93},
      {3, "TONE", "1", 0, 1, 95},
      {4, "VOLUME", "5", 0, 1, 96},
      {5, "Seconds", "30", 0, 1, 99}}},
    {12,
     "Hub LED",
     "Hub",
     5,
     "HalvixBlink",
     "Built-in LED",
     0,
     65535,
     "",
     "Halvix",
     "HL-1",
     {{0, "SECURITYDEVICE", "0", 0, 0, 118},
      {1, "LED_STATE", "false", 0, 1, 94},
      {2, "BLINK_STATE", "false", 0, 1, 97},
      {3, "RGB", "16711680", 0, 1, 98},
      {4, "Seconds", "10", 0, 1, 99}}},
    {13,
     "Garden siren",
     "Garden",
     1,
     "StandardWarningDevice",
     "Outdoor siren",
     0,
     0x7a8b,
     "00:0d:6f:00:55:66:77:88",
     "ClimaxTechnology",
     "SRAC-23",
     {{0, "SECURITYDEVICE", "1", 0, 0, 118},
      {1, "ALARM_STATE", "0", 0, 1, 13},
      {2, "BATTERY", "95", 0, 1, 50},
      {3, "TAMPER", "false", 0, 1, 9}}},
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
    for (const Home& h : kHome) {
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
        r.valueCount = (int)h.values.size() - 1;
        put(db, std::to_string(h.id), &r, sizeof r);
        for (const Value& v : h.values) {
            ValueRecord vr;
            memset(&vr, 0, sizeof vr);
            vr.index = v.index;
            setText(vr.name, v.name);
            setText(vr.value, v.value);
            vr.commandClass = v.commandClass;
            vr.endPoint = v.endPoint;
            vr.indexType = v.indexType;
            put(db, std::to_string(h.id) + "." + std::to_string(v.index), &vr, sizeof vr);
        }
        std::string id = std::to_string(h.id);
        putText(db, id + ".MN", h.manufacturer, 32);
        putText(db, id + ".MI", h.model, 20);
        putText(db, id + ".VS", "1.4.2", 10);
        putText(db, id + ".LT", "1733650000", 10);
    }
    putText(db, "NextDevid", std::to_string(kHome.size() + 1).c_str(), 10);
    putText(db, "Version", "3", 10);
    dpclose(db);
    printf("sim-home: %zu devices in %s\n", kHome.size(), path);
    return 0;
}
