// ZigBee typing, Hue bridge ids and the bridge list, and the naming and
// hand-over steps that do not need a conversation.
#include <cstdlib>
#include <cstring>

#include "Logger.h"
#include "ddb.h"
#include "pairing_util.h"
#include "servers.h"
#include "testkit.h"

using namespace ptest;

namespace {

struct Case {
    const char* what;
    std::vector<std::pair<int, int>> clusters;  // id, end point
    const char* maker;
    const char* model;
    int zone;
    int type;                                  // DevType byte after typing
    std::vector<std::pair<int, int>> indexes;  // (IndexType, end point)
    const char* name;                          // devName, "%d" for DevId
    int result = 0;
    // Electrical-measurement fields and identification (model "zero": all 0).
    int f228 = 1, f232 = 1, f240 = 0, id292 = 0, id294 = 0;
};

std::vector<std::pair<int, int>> many(int n, int id) { return std::vector<std::pair<int, int>>(n, {id, 1}); }
std::vector<std::pair<int, int>> plus(std::vector<std::pair<int, int>> v, std::pair<int, int> last) {
    v.push_back(last);
    return v;
}

// An IAS zone device on end point 1: its state, low battery and tamper.
Case zone(const char* what, const char* maker, const char* model, int zone, int type, int state, const char* name) {
    return {what, {{0x500, 1}}, maker, model, zone, type, {{state, 1}, {12, 1}, {9, 1}}, name};
}

// A plug: on/off and electrical measurement, and its five indexes.
Case plug(const char* what, const char* maker, const char* model, int type, const char* name, int result = 0,
          int f228 = 1, int f232 = 1, int f240 = 0, int id292 = 0, int id294 = 0) {
    return {what,
            {{6, 1}, {0xB04, 1}},
            maker,
            model,
            0,
            type,
            {{1, 1}, {86, 1}, {52, 1}, {53, 1}, {54, 1}},
            name,
            result,
            f228,
            f232,
            f240,
            id292,
            id294};
}

const Case kCases[] = {
    {"bulb on/off, level, colour",
     {{6, 11}, {8, 11}, {0x300, 11}},
     "",
     "",
     0,
     32,
     {{1, 11}, {18, 11}, {31, 11}, {32, 11}, {33, 11}},
     "ColorDimmableLight #%d"},
    {"colour first",
     {{0x300, 11}, {6, 11}, {8, 11}},
     "",
     "",
     0,
     4,
     {{31, 11}, {32, 11}, {33, 11}, {1, 11}, {18, 11}},
     "MultilevelSwitchOnOff #%d"},
    {"two on/off", {{6, 1}, {6, 2}}, "", "", 0, 43, {{1, 1}, {1, 2}}, "MultiSwitch #%d"},
    {"no rule", {{0x0001, 1}, {0x0003, 1}}, "", "", 0, 60, {}, "GenericDevice #%d"},
    zone("flood", "", "", 42, 14, 6, "FloodSensor #%d"),
    zone("door", "", "", 21, 12, 4, "ContactSwitch #%d"),
    {"door XE01S", {{0x500, 1}}, "", "XE01S", 21, 12, {{12, 1}}, "ContactSwitch #%d"},
    {"key fob", {{0x500, 3}}, "", "RC_ACE", 271, 19, {{24, 3}, {10, 3}, {11, 3}}, "KeyFob #%d"},
    zone("button", "Quentrix Ltd.", "", 277, 61, 91, "Halvix Click #%d"),
    zone("tilt", "NYCE", "3014", 21, 12, 4, "Tilt Sensor #%d"),
    {"camera",
     {{0x500, 1}, {0x503, 1}},
     "",
     "",
     13,
     67,
     {{3, 1}, {12, 1}, {9, 1}, {128, 1}, {129, 1}, {130, 1}, {131, 1}},
     "ZigbeeCamImage #%d"},
    {"mini smoke", {{0x500, 2}}, "", "MiniSD", 40, 60, {{3, 2}, {12, 2}, {9, 2}}, "GenericDevice #%d"},
    {"occupancy",
     {{0x406, 1}, {0x402, 1}, {0x405, 1}, {0x500, 1}},
     "NYCE",
     "3041",
     13,
     24,
     {{3, 1}, {25, 1}, {27, 1}},
     "OccupancySensor #%d"},
    {"temperature", {{0x402, 1}}, "", "", 0, 29, {{25, 1}}, "ZigbeeTempSensor #%d"},
    {"thermostat",
     {{0x201, 1}, {0x202, 1}},
     "",
     "",
     0,
     7,
     {{35, 1}, {36, 1}, {37, 1}, {38, 1}, {25, 1}, {39, 1}, {40, 1}},
     "Thermostat #%d"},
    {"zen", {{0x201, 1}}, "Zen Within", "", 0, 62, {{35, 1}, {36, 1}, {37, 1}, {38, 1}, {25, 1}}, "Zen Thermostat #%d"},
    {"lock", {{0x101, 1}}, "", "", 0, 28, {{23, 1}}, "ZigbeeDoorLock #%d"},
    plug("plug", "Centralite", "", 22, "SmartACSwitch #%d"),
    plug("plug without readings", "Other", "zero", 1, "BinarySwitch #%d", -1),
    plug("osram plug", "OSRAM", "zero", 1, "BinarySwitch #%d"),
    {"level only", {{8, 1}}, "", "", 0, 2, {{18, 1}}, "MultilevelSwitch #%d"},
    {"0x0100 clears", {{6, 1}, {0x100, 1}}, "", "", 0, 60, {{1, 1}}, "GenericDevice #%d"},
    {"window covering", {{0x102, 4}}, "", "", 0, 26, {{116, 4}}, "Window Covering #%d"},
    {"ir extender",
     {{0x201, 1}},
     "",
     "UPIC-2",
     0,
     65,
     {{35, 1}, {36, 1}, {37, 1}, {38, 1}, {25, 1}},
     "IR Extender #%d"},
    {"illuminance", {{0x400, 1}}, "", "", 0, 60, {{28, 1}}, "GenericDevice #%d"},
    {"switch with temperature", {{6, 1}, {0x402, 1}}, "", "", 0, 60, {{1, 1}, {25, 1}}, "GenericDevice #%d"},
    {"SML0 temperature", {{0x402, 1}}, "", "SML001", 0, 60, {{25, 1}}, "GenericDevice #%d"},
    {"pressure", {{0x403, 1}}, "", "", 0, 60, {{26, 1}}, "GenericDevice #%d"},
    {"humidity", {{0x405, 1}}, "", "", 0, 60, {{27, 1}}, "GenericDevice #%d"},
    {"occupancy of another maker", {{0x406, 1}}, "", "3041", 0, 60, {{3, 1}}, "GenericDevice #%d"},
    {"NYCE other model", {{0x406, 1}}, "NYCE", "3043", 0, 60, {{3, 1}}, "GenericDevice #%d"},
    {"zone with 0x0504", {{0x500, 1}, {0x504, 1}}, "", "", 21, 60, {}, "GenericDevice #%d"},
    zone("motion", "", "", 13, 11, 3, "MotionSensor #%d"),
    zone("fire", "", "", 40, 13, 8, "FireSensor #%d"),
    zone("gas", "", "", 43, 15, 7, "GasSensor #%d"),
    zone("vibration", "", "", 45, 17, 5, "VibrationOrMovementSensor #%d"),
    zone("warning device", "", "", 549, 21, 13, "StandardWarningDevice #%d"),
    {"keypad", {{0x500, 1}}, "", "", 541, 20, {{12, 1}}, "Keypad #%d"},
    zone("NYCE door", "NYCE", "3011", 21, 12, 4, "ContactSwitch #%d"),
    zone("mini smoke on end point 1", "", "MiniSD", 40, 60, 8, "GenericDevice #%d"),
    {"sercomm with illuminance",
     {{0x400, 1}, {0x500, 1}},
     "",
     "SZ-PIR04N",
     13,
     60,
     {{28, 1}, {3, 1}, {12, 1}, {9, 1}},
     "GenericDevice #%d"},
    zone("sercomm alone", "", "SZ-PIR04N", 13, 11, 3, "MotionSensor #%d"),
    {"zone as the 30th cluster",
     plus(many(29, 1), {0x500, 1}),
     "",
     "",
     21,
     12,
     {{4, 1}, {12, 1}, {9, 1}},
     "ContactSwitch #%d"},
    {"metering", {{0x702, 1}}, "", "", 0, 60, {{108, 1}, {109, 1}, {110, 1}, {111, 1}}, "GenericDevice #%d"},
    {"ESW metering switch",
     {{6, 1}, {0x702, 1}},
     "",
     "ESW-1",
     0,
     1,
     {{1, 1}, {108, 1}, {109, 1}, {110, 1}, {111, 1}},
     "BinarySwitch #%d"},
    {"measurement alone", {{0xB04, 1}}, "", "", 0, 60, {{86, 1}, {52, 1}, {53, 1}, {54, 1}}, "GenericDevice #%d"},
    plug("maker's plug", "Quentrix Ltd.", "", 50, "Tolvar Plug #%d", 0, 1, 1, 0, 4098, 24256),
    plug("maker's other plug", "Quentrix Ltd.", "", 22, "SmartACSwitch #%d", 0, 1, 1, 0, 4098, 1),
    plug("maker's plug, other first id", "Quentrix Ltd.", "", 22, "SmartACSwitch #%d", 0, 1, 1, 0, 7, 24256),
    plug("plug reading at 240", "Other", "", 22, "SmartACSwitch #%d", 0, 1, 0, 5),
    plug("plug without 228", "Other", "", 1, "", -1, 0, 1, 1),
};

HalvixAssociation* typed(const Case& c) {
    HalvixAssociation* a = HalvixAssociation::getInstance();
    memset(&a->zbRecord, 0, sizeof a->zbRecord);
    size_t k = 0;
    for (; k < c.clusters.size(); ++k) {
        a->zbRecord.clusters[k].id = (uint16_t)c.clusters[k].first;
        a->zbRecord.clusters[k].endPoint = (uint16_t)c.clusters[k].second;
    }
    if (k < (size_t)kZBClusterCap) a->zbRecord.clusters[k].id = 0xFFFF;
    strncpy(a->zbRecord.manufacturer, c.maker, sizeof a->zbRecord.manufacturer - 1);
    strncpy(a->zbRecord.model, c.model, sizeof a->zbRecord.model - 1);
    a->zbRecord.zoneType = (uint16_t)c.zone;
    const bool zero = strcmp(c.model, "zero") == 0;
    a->zbRecord.field228 = (uint16_t)(zero ? 0 : c.f228);
    a->zbRecord.field232 = (uint16_t)(zero ? 0 : c.f232);
    a->zbRecord.field240 = (uint16_t)(zero ? 0 : c.f240);
    a->zbRecord.ident292 = (uint16_t)c.id292;
    a->zbRecord.ident294 = (uint16_t)c.id294;
    return a;
}

using ZigbeeTyping = TypingTest<70>;

}  // namespace

TEST_F(ZigbeeTyping, Rules) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        HalvixAssociation* a = typed(c);
        EXPECT_EQ(a->zb_createAnyDevice(), c.result);
        EXPECT_EQ(a->zwNode.devTech, 1u);
        if (c.result != 0) continue;
        EXPECT_EQ(a->zbRecord.devType, c.type);
        EXPECT_EQ(indexPairs(a->zbRecord.indexes, a->zbRecord.indexCount), c.indexes);
        EXPECT_EQ(a->zbRecord.indexes[2 * c.indexes.size()], 255);  // the end entry
        char name[64];
        snprintf(name, sizeof name, c.name, 70);
        EXPECT_STREQ(a->devName, name);
    }
}

TEST_F(ZigbeeTyping, ZoneTypeNames) {
    const struct {
        int zone;
        const char *maker, *model, *name;
    } kZones[] = {
        {0, "", "", "StandardCIE"},
        {13, "", "", "MotionSensor"},
        {21, "", "", "ContactSwitch"},
        {40, "", "", "FireSensor"},
        {42, "", "", "WaterSensor"},
        {43, "", "", "GasSensor"},
        {44, "", "", "PersonalEmergencyDevice"},
        {45, "", "", "VibrationOrMovementSensor"},
        {271, "", "", "RemoteControl"},
        {271, "", "RC_ACE_2", "KeyFob"},
        {277, "", "", "KeyFob"},
        {277, "Quentrix Ltd.", "", "QuentrixButton"},
        {541, "", "", "Keypad"},
        {549, "", "", "StandardWarningDevice"},
        {7, "", "", "UnknownDevice"},
    };
    HalvixAssociation* a = HalvixAssociation::getInstance();
    for (const auto& z : kZones) {
        SCOPED_TRACE(z.zone);
        memset(&a->zbRecord, 0, sizeof a->zbRecord);
        strncpy(a->zbRecord.manufacturer, z.maker, sizeof a->zbRecord.manufacturer - 1);
        strncpy(a->zbRecord.model, z.model, sizeof a->zbRecord.model - 1);
        EXPECT_STREQ(a->GetDeviceTypeInStringFormat((uint16_t)z.zone), z.name);
    }
}

TEST_F(ZigbeeTyping, BridgeIds) {
    char mac[32], id[32];
    char in[] = "001788fffe4a5b6c";
    HueMac(in, mac);
    EXPECT_STREQ(mac, "00:17:88:4a:5b:6c");
    RevertHueMac(mac, id);
    EXPECT_STREQ(id, "001788fffe4a5b6c");
    char shortId[] = "0017";
    HueMac(shortId, mac);
    EXPECT_STREQ(mac, "");
    RevertHueMac(shortId, id);
    EXPECT_STREQ(id, "");
    HueMac(nullptr, mac);
    EXPECT_STREQ(mac, "");
    RevertHueMac(nullptr, id);
    EXPECT_STREQ(id, "");
}

TEST_F(ZigbeeTyping, BridgeListFromTheStore) {
    HalvixAssociation* a = HalvixAssociation::getInstance();
    char* empty = a->Hue_getBridgeList();
    ASSERT_NE(empty, nullptr);
    EXPECT_STREQ(empty, "{\"MAClist\":[]}");
    free(empty);
    auto lamp = [](int id, const char* bridge, const char* user) {
        testkit::putDevice(testkit::makeDevice(id, "Lamp", "Hall", 3, "HueLamp", 9));
        testkit::putValue(id, testkit::makeValue(1, "HUE_BRIDGE_ID", bridge, 72));
        testkit::putValue(id, testkit::makeValue(9, "USER_NAME", user, 76));
    };
    lamp(81, "001788fffe4a5b6c", "alice");
    lamp(82, "001788fffe4a5b6c", "alice");  // same bridge and user: one entry
    char* list = a->Hue_getBridgeList();
    ASSERT_NE(list, nullptr);
    EXPECT_STREQ(list, "{\"MAClist\":[{\"mac\":\"00:17:88:4a:5b:6c\",\"username\":\"alice\"}]}");
    free(list);
}

TEST_F(ZigbeeTyping, GenericZwaveTypeChoiceKeepsGenericAndRemaps) {
    fakeNvramGet("1");
    HalvixAssociation* a = HalvixAssociation::getInstance();
    a->registerAssocEventCB(recordEvent);
    clearEvents();
    memset(&a->zwNode, 0, sizeof a->zwNode);
    a->zwNode.foundType = GenericDevice;
    a->zwNode.devTech = 2;
    a->zwNode.indexes[0] = IDX_SENSOR_BINARY;
    a->zwNode.indexes[1] = 1;
    a->serverType = 2;
    a->setDevType(DoorSensor);
    EXPECT_STREQ(a->devName, "GenericDevice #70");
    EXPECT_EQ(a->zwNode.chosenType, 60);
    EXPECT_EQ(a->zwNode.indexes[0], IDX_DOOR_STATE);
    auto evs = events();
    ASSERT_EQ(evs.size(), 1u);
    expectNaming(evs[0], 2, "GenericDevice #70");
    EXPECT_EQ(device(evs[0]).devType, (uint32_t)DoorSensor);
    EXPECT_STREQ(cmdtype, "EditNameLocation");

    a->setDevType2(MultiSensor);
    EXPECT_EQ(a->devType, MultiSensor);
    EXPECT_EQ(a->zbRecord.devType, MultiSensor);
    EXPECT_EQ(a->zwNode.chosenType, MultiSensor);
    a->registerAssocEventCB(nullptr);
}

// Which stored devices make the bridge list: Hue lamps and Hue switches by
// their own value keys; no other type, no other radio; a lamp without a
// user name leaves its bridge without one; the table holds 20 bridges.
TEST_F(ZigbeeTyping, BridgeListKinds) {
    HalvixAssociation* a = HalvixAssociation::getInstance();
    testkit::removeFile("/tmp/ddb");
    auto hue = [](int id, const char* type, int bridgeKey, const char* bridge, int userKey, const char* user) {
        testkit::putDevice(testkit::makeDevice(id, "Lamp", "Hall", DEVTECH_HUE, type, 9));
        if (bridge) testkit::putValue(id, testkit::makeValue(bridgeKey, "HUE_BRIDGE_ID", bridge, 72));
        if (user) testkit::putValue(id, testkit::makeValue(userKey, "USER_NAME", user, 76));
    };
    hue(81, "HueLamp", 1, "001788fffe4a5b6c", 9, "alice");
    hue(82, "MultilevelSwitchOnOff", 3, "001788fffe0a0b0c", 5, "bob");
    hue(83, "HueSensor", 1, "001788fffe111111", 9, "carol");
    hue(84, "HueLamp", 1, "001788fffe222222", 9, nullptr);
    hue(85, "HueLamp", 1, nullptr, 9, nullptr);
    storeDevice(86, "Hall switch", DEVTECH_ZWAVE, "HueLamp", 3, 65535);
    char* list = a->Hue_getBridgeList();
    ASSERT_NE(list, nullptr);
    EXPECT_STREQ(list,
                 "{\"MAClist\":[{\"mac\":\"00:17:88:4a:5b:6c\",\"username\":\"alice\"},"
                 "{\"mac\":\"00:17:88:0a:0b:0c\",\"username\":\"bob\"},"
                 "{\"mac\":\"00:17:88:22:22:22\",\"username\":\"\"}]}");
    free(list);

    testkit::removeFile("/tmp/ddb");
    for (int k = 0; k < 22; ++k) {
        char bridge[20], user[20];
        snprintf(bridge, sizeof bridge, "001788fffe0000%02d", k);
        snprintf(user, sizeof user, "user%02d", k);
        hue(100 + k, "HueLamp", 1, bridge, 9, user);
    }
    list = a->Hue_getBridgeList();
    ASSERT_NE(list, nullptr);
    std::string text = list;
    free(list);
    size_t entries = 0;
    for (size_t at = text.find("\"mac\""); at != std::string::npos; at = text.find("\"mac\"", at + 1)) ++entries;
    EXPECT_EQ(entries, 20u);
    EXPECT_EQ(text.find("user20"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 2), "]}");
    testkit::removeFile("/tmp/ddb");
}
