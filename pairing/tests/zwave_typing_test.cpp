// Z-Wave typing: the generic/specific class table row by row, the generic
// device's index list, sub-types and the store lookups.
#include <algorithm>
#include <array>
#include <cstring>
#include <map>

#include "Logger.h"
#include "ddb.h"
#include "pairing_util.h"

using namespace ptest;

namespace {

struct Row {
    int generic, specific;
    std::vector<uint8_t> classes;
    int type;               // found DevType
    std::vector<int> subs;  // offered sub-types
    const char* log;        // the table's log line
};

const std::vector<uint8_t> kPlain = {0x86, 0x72};
const std::vector<uint8_t> kMeter = {0x25, 0x32, 0x86};
const std::vector<uint8_t> kAlarmMulti = {0x26, 0x71, 0x86};
const std::vector<uint8_t> kAlarmOnly = {0x71, 0x86};
const std::vector<int> kNone = {};
// Sub-types offered for the types found.
const std::vector<int> kSwitchSubs = {42, 1, 43};
const std::vector<int> kPowerSwitchSubs = {43, 45};
const std::vector<int> kDimmerSubs = {2, 52, 55};
const std::vector<int> kThermostatSubs = {7, 46, 54};
const std::vector<int> kBinarySensorSubs = {39, 41, 38, 37, 49};
const std::vector<int> kMultiSensorSubs = {25, 40, 27, 56, 49};
const std::vector<int> kAlarmSubs = {37, 49, 36};
const std::vector<int> kNotificationSubs = {39, 49, 36, 37, 41};

const Row kRows[] = {
    {0x00, 0, kPlain, 60, kNone, "libpairing:Generic:zw_No_Generic_Type , Specific:Unknown"},
    {0x00, 9, kPlain, 60, kNone, "libpairing:Generic:zw_No_Generic_Type , Specific:Unknown"},
    {0x01, 2, kPlain, 60, kNone, "libpairing:Generic:zw_Remote_Controller , Specific:RC_Portable_Scene_Controller"},
    {0x01, 9, kPlain, 60, kNone, "libpairing:Generic:zw_Remote_Controller , Specific:GenericDevice"},
    {0x02, 7, kPlain, 8, kNone, "libpairing:Generic:zw_Static_Controller_v2 , Specific:SC_Gateway"},
    {0x02, 4, kPlain, 60, kNone, "libpairing:Generic:zw_Static_Controller_v2 , SC_Set_Top_Box"},
    {0x02, 1, kPlain, 60, kNone, "libpairing:Generic:zw_Static_Controller_v2 , Specific:SC_PC_Controller"},
    {0x03, 1, kPlain, 60, kNone, "libpairing:Generic:zw_AV_Control_Point , Specific:GenericDevice"},
    {0x04, 1, kPlain, 60, kNone, "libpairing:Generic:zw_Display , Specific:DS_Simple_Display"},
    {0x05, 1, kPlain, 60, kNone, "libpairing:Genericzw_Network_Extender , Specific:GenericDevice"},
    {0x06, 1, kPlain, 60, kNone, "libpairing:Generic:zw_Appliance , Specific:AP_General_Appliance"},
    {0x07, 1, kPlain, 59, kNotificationSubs,
     "libpairing:Generic:zw_Notification_Sensor , Specific:NS_Notification_Sensor"},
    {0x07, 2, kPlain, 60, kNone, "libpairing:Generic:zw_Notification_Sensor , Specific:GenericDevice"},
    {0x08, 0, kPlain, 47, kThermostatSubs, "libpairing:Generic:zw_Thermostat , Specific:TT_Not_Used"},
    {0x08, 2, kPlain, 47, kThermostatSubs, "libpairing:Generic:zw_Thermostat , Specific:TT_General_Thermostat"},
    {0x08, 4, kPlain, 46, kNone, "libpairing:Generic:zw_Thermostat , Specific:TT_Setpoint_Thermostat"},
    {0x08, 6, kPlain, 47, kThermostatSubs, "libpairing:Generic:zw_Thermostat , Specific:TT_General_Thermostat_V2"},
    {0x08, 1, kPlain, 60, kNone, "libpairing:Generic:zw_Thermostat , Specific:GenericDevice"},
    {0x09, 1, kPlain, 60, kNone, "libpairing:Generic:zw_Window_Covering , Specific:WC_Simple_Window_Covering"},
    {0x0F, 1, kPlain, 60, kNone, "libpairing:Generic:zw_Repeater_Slave , Specific:RS_Basic_Repeater_Slave"},
    {0x10, 0, kPlain, 44, kSwitchSubs, "libpairing:Generic:zw_Binary_Switch , Specific:BS_Not_Used"},
    {0x10, 0, kMeter, 45, kPowerSwitchSubs, "libpairing:Generic:zw_Binary_Switch , Specific:BS_Not_Used"},
    {0x10, 1, kPlain, 1, kSwitchSubs, "libpairing:Generic:zw_Binary_Switch , Specific:BS_Binary_Power_Switch"},
    {0x10, 1, kMeter, 45, kPowerSwitchSubs, "libpairing:Generic:zw_Binary_Switch , Specific:BS_Binary_Power_Switch"},
    {0x10, 3, kMeter, 1, kSwitchSubs, "libpairing:Generic:zw_Binary_Switch , Specific:BS_Binary_Scene_Switch"},
    {0x10, 5, kPlain, 42, kNone, "libpairing:Generic:zw_Binary_Switch , Specific:BS_Siren"},
    {0x10, 2, kPlain, 60, kNone, "libpairing:Generic:zw_Binary_Switch , Specific:GenericDevice"},
    {0x11, 0, kPlain, 2, kDimmerSubs, "Generic:zw_Multilevel_Switch , Specific:MS_Unknown"},
    {0x11, 1, kPlain, 2, kDimmerSubs, "libpairing:Generic:zw_Multilevel_Switch , Specific:MS_Multilevel_Power_Switch"},
    {0x11, 1, kAlarmMulti, 60, kNone, "libpairing:Generic:zw_Multilevel_Switch , Specific:MS_Multilevel_Power_Switch"},
    {0x11, 1, kAlarmOnly, 2, kDimmerSubs,
     "libpairing:Generic:zw_Multilevel_Switch , Specific:MS_Multilevel_Power_Switch"},
    {0x11, 4, kPlain, 2, kDimmerSubs, "libpairing:Generic:zw_Multilevel_Switch , Specific:MS_Motor_Control_Class_B"},
    {0x11, 6, kPlain, 2, kDimmerSubs, "libpairing:Generic:zw_Multilevel_Switch , Specific:MS_Multilevel_Scene_Switch"},
    {0x11, 3, kAlarmMulti, 60, kNone, "libpairing:Generic:zw_Multilevel_Switch , Specific:GenericDevice"},
    {0x12, 1, kPlain, 60, kNone, "libpairing:Generic:zw_Remote_Switch , Specific:RS_Binary_Remote_Switch"},
    {0x13, 1, kPlain, 60, kNone, "libpairing:Generic:zw_Toggle_Switch , Specific:TS_Binary_Toggle_Switch"},
    {0x14, 1, kPlain, 60, kNone, "libpairing:Generic:zw_Z_IP_Gateway , Specific:ZG_Z_IP_Tunneling_Gateway"},
    {0x15, 1, kPlain, 60, kNone, "libpairing:Generic:zw_Z_IP_Node , Specific:ZN_Z_IP_Tunneling_Node"},
    {0x16, 1, kPlain, 60, kNone, "libpairing:Generic:zw_Ventilation , Specific:VT_Residential_HRV"},
    {0x17, 1, kPlain, 60, kNone, "libpairing:Generic:zw_Security_Panel , Specific:SP_Zoned_Security_Panel"},
    {0x18, 1, kPlain, 60, kNone, "libpairing:Generic:zw_Wall_Controller , Specific:WC_Basic_Wall_Controller"},
    {0x20, 1, kPlain, 3, kBinarySensorSubs, "libpairing:Generic:zw_Binary_Sensor , Specific:BS_Routing_Binary_Sensor"},
    {0x20, 2, kPlain, 60, kNone, "libpairing:Generic:zw_Binary_Sensor , Specific:GenericDevice"},
    {0x21, 1, kPlain, 35, kMultiSensorSubs,
     "libpairing:Generic:zw_Multilevel_Sensor , Specific:MS_Routing_Multilevel_Sensor"},
    {0x21, 2, kPlain, 60, kNone, "libpairing:Generic:zw_Multilevel_Sensor , Specific:GenericDevice"},
    {0x30, 1, kPlain, 60, kNone, "libpairing:Generic:zw_Pulse_Meter , Specific:GenericDevice"},
    {0x31, 1, kPlain, 35, kMultiSensorSubs, "libpairing:Generic:zw_Meter , Specific:ME_Simple_Meter"},
    {0x31, 2, kPlain, 60, kNone, "libpairing:Generic:zw_Meter , Specific:GenericDevice"},
    {0x40, 2, kPlain, 5, kNone, "libpairing:Generic:zw_Entry_Control , Specific:EC_Advanced_Door_Lock"},
    {0x40, 3, kPlain, 5, kNone, "libpairing:Generic:zw_Entry_Control , Specific:EC_Secure_Keypad_Door_Lock"},
    {0x40, 7, kPlain, 53, kNone, "libpairing:Generic:zw_Entry_Control , Specific:EC_Garage_Door_Opener"},
    {0x40, 1, kPlain, 60, kNone, "libpairing:Generic:zw_Entry_Control , Specific:GenericDevice"},
    {0x50, 1, kPlain, 60, kNone, "libpairing:Generic:zw_Semi_Interoperable , Specific:SI_Energy_Production"},
    {0xA1, 0, kPlain, 6, kAlarmSubs, "libpairing:Generic:zw_Alarm_Sensor , Specific:AS_Not_Used"},
    {0xA1, 2, kPlain, 6, kAlarmSubs, "libpairing:Generic:zw_Alarm_Sensor , Specific:AS_Routing_Alarm_Sensor"},
    {0xA1, 6, kPlain, 0, kNone, "libpairing:Generic:zw_Alarm_Sensor , Specific:AS_Basic_Routing_Smoke_Sensor"},
    {0xA1, 1, kPlain, 60, kNone, "libpairing:Generic:zw_Alarm_Sensor , Specific:GenericDevice"},
    {0xFF, 1, kPlain, 60, kNone, "libpairing:Generic:zw_Non_Interoperable , Specific:GenericDevice"},
    {0x42, 1, kPlain, 60, kNone, "libpairing:Generic:GenericDevice , Specific:GenericDevice"},
};

HalvixAssociation* fresh(int generic, int specific, const std::vector<uint8_t>& classes) {
    HalvixAssociation* a = HalvixAssociation::getInstance();
    memset(&a->zwRx, 0, sizeof a->zwRx);
    a->zwRx.nodeId = 9;
    a->zwRx.basicClass = 4;
    a->zwRx.genericClass = (uint8_t)generic;
    a->zwRx.specificClass = (uint8_t)specific;
    size_t n = 0;
    for (; n < classes.size(); ++n) a->zwRx.classes[n] = classes[n];
    a->zwRx.classes[n] = 0xFF;
    a->zwNode = a->zwRx;
    SensorBinaryFlag = BasicFlag = ZwAcExtFlag = MultilevelFlag = false;
    return a;
}

void setValues(HalvixAssociation* a, const std::vector<std::array<int, 3>>& values) {
    for (size_t k = 0; k < values.size(); ++k)
        for (int j = 0; j < 3; ++j) a->zwRx.values[k][j] = (uint8_t)values[k][j];
    a->zwNode = a->zwRx;
}

std::vector<int> offered(HalvixAssociation* a, int type) {
    DevType out[16];
    memset(out, 0xEE, sizeof out);
    a->listSubDevType((DevType)type, out);
    std::vector<int> v;
    for (int k = 0; k < 16 && out[k]; ++k) v.push_back(out[k]);
    return v;
}

// The entries of a node's index list, up to its end entry (type 0).
std::vector<std::pair<int, int>> indexList(const ZWNodeRecord& r) {
    int n = 0;
    while (n < kZWIndexCap && r.indexes[2 * n]) ++n;
    return indexPairs(r.indexes, n);
}

using ZwaveTyping = TypingTest<14>;

}  // namespace

TEST_F(ZwaveTyping, ClassTableRowByRow) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(testing::Message() << "generic 0x" << std::hex << row.generic << " specific " << std::dec
                                        << row.specific << " classes " << row.classes.size());
        Logger::getInstance()->clear();
        HalvixAssociation* a = fresh(row.generic, row.specific, row.classes);
        ASSERT_TRUE(a->ZW_createDeviceType());
        EXPECT_EQ(a->zwNode.foundType, row.type);
        EXPECT_EQ(a->baseDevType, row.type);
        EXPECT_EQ(offered(a, a->zwNode.foundType), row.subs);
        EXPECT_EQ(logged(row.log).size(), 1u) << row.log;
        EXPECT_EQ(a->zwNode.devTech, 2u);
        EXPECT_EQ(a->zwNode.marker, 255);
        EXPECT_EQ(a->zwNode.nodeId, 9);
    }
}

TEST_F(ZwaveTyping, NameClassListAndClosingLog) {
    HalvixAssociation* a = fresh(0x10, 1, {0x25, 0x86});
    ASSERT_TRUE(a->ZW_createDeviceType());
    EXPECT_EQ(DevId, 14);
    EXPECT_STREQ(a->devName, "BinarySwitch #14");
    EXPECT_STREQ(a->zwNode.name, "BinarySwitch #14");
    EXPECT_EQ(logged("node 9 Supported Command Classes: 0x25 0x86").size(), 1u);
    // The copy's list ends with 0 where the node's ends with 0xFF.
    EXPECT_EQ(a->zwNode.classes[2], 0);
    EXPECT_EQ(a->zwRx.classes[2], 0xFF);
    EXPECT_EQ(logged("libpairing:Device Basic Type:0x04, Generic Type:0x10, Specific Type:0x01,Nodeid:9").size(), 1u);
}

TEST_F(ZwaveTyping, BasicClassZeroIsRefused) {
    HalvixAssociation* a = fresh(0x10, 1, kPlain);
    a->zwRx.basicClass = 0;
    EXPECT_FALSE(a->ZW_createDeviceType());
    auto lines = Logger::getInstance()->lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().level, 2);
    EXPECT_EQ(lines.back().text, "libpairing:BasicType is 0,so skipping Device addition");
}

TEST_F(ZwaveTyping, ClassListWithoutEndStopsAtItsRoom) {
    HalvixAssociation* a = fresh(0x10, 0, {});
    memset(a->zwRx.classes, 0x25, sizeof a->zwRx.classes);  // 53 classes, no 0xFF
    a->zwRx.basicClass = 4;
    a->zwNode = a->zwRx;
    ASSERT_TRUE(a->ZW_createDeviceType());
    EXPECT_EQ(a->zwNode.foundType, 44);                     // no METER among the 53
    EXPECT_FALSE(a->CommandExists(a->zwRx.classes, 0x04));  // the basic class byte is not a class
}

TEST_F(ZwaveTyping, GenericDeviceGetsAnIndexPerValue) {
    HalvixAssociation* a = fresh(0x11, 1, kAlarmMulti);
    setValues(a, {{0x20, 0, 1}, {0x26, 0, 1}, {0x26, 5, 1}, {0x71, 2, 2}, {0x80, 0, 1}});
    ASSERT_TRUE(a->ZW_createDeviceType());
    EXPECT_EQ(a->zwNode.foundType, 60);
    std::vector<std::pair<int, int>> want = {{14, 1}, {17, 1}, {9, 2}, {50, 1}};
    EXPECT_EQ(indexList(a->zwNode), want);
    EXPECT_TRUE(BasicFlag);
    EXPECT_TRUE(MultilevelFlag);
    EXPECT_EQ(offered(a, 60), (std::vector<int>{55, 52, 41}));
    EXPECT_STREQ(a->devName, "GenericDevice #14");
    EXPECT_EQ(logged("libpairing:GenericDevice: Enum is not defined for : cmdclass 38 ind 5").size(), 1u);
}

TEST_F(ZwaveTyping, UndefinedFirstValueLeavesItsSlotToTheNext) {
    HalvixAssociation* a = fresh(0x42, 1, kPlain);
    setValues(a, {{0x99, 0, 1}, {0x30, 0, 3}, {0x43, 2, 1}});
    ASSERT_TRUE(a->ZW_createDeviceType());
    EXPECT_EQ(indexList(a->zwNode), (std::vector<std::pair<int, int>>{{2, 3}, {38, 1}}));
    EXPECT_TRUE(SensorBinaryFlag);
    EXPECT_TRUE(ZwAcExtFlag);
    EXPECT_EQ(offered(a, 60), (std::vector<int>{54, 46}));
}

TEST_F(ZwaveTyping, IndexListIsCutAtItsRoom) {
    HalvixAssociation* a = fresh(0x42, 1, kPlain);
    std::vector<std::array<int, 3>> many;
    for (int k = 0; k < 40; ++k) many.push_back({0x80, 0, k + 1});
    setValues(a, many);
    ASSERT_TRUE(a->ZW_createDeviceType());
    auto list = indexList(a->zwNode);
    ASSERT_EQ(list.size(), 31u);
    EXPECT_EQ(list.back(), std::make_pair(50, 31));
    EXPECT_EQ(a->zwNode.indexes[62], 0);  // the end entry, the record's last byte
    EXPECT_EQ(logged("index list full").size(), 9u);
}

TEST_F(ZwaveTyping, BasicOnlyOffersSensorsWhileTheListIsShort) {
    HalvixAssociation* a = fresh(0x42, 1, kPlain);
    setValues(a, {{0x20, 0, 1}});
    ASSERT_TRUE(a->ZW_createDeviceType());
    EXPECT_EQ(offered(a, 60), (std::vector<int>{39, 11, 37, 36, 55, 42}));

    a = fresh(0x42, 1, kPlain);
    setValues(a, {{0x20, 0, 1}, {0x80, 0, 1}, {0x80, 0, 2}, {0x80, 0, 3}, {0x80, 0, 4}});
    ASSERT_TRUE(a->ZW_createDeviceType());
    EXPECT_EQ(offered(a, 60), std::vector<int>{});
}

TEST_F(ZwaveTyping, ChangeIndexTypeChangesTheFirstOnly) {
    HalvixAssociation* a = fresh(0x42, 1, kPlain);
    setValues(a, {{0x25, 0, 1}, {0x25, 0, 2}, {0x20, 0, 1}, {0x26, 0, 1}});
    ASSERT_TRUE(a->ZW_createDeviceType());
    a->GenericIndexType(RollerShutter);
    EXPECT_EQ(indexList(a->zwNode), (std::vector<std::pair<int, int>>{{43, 1}, {1, 2}, {42, 1}, {20, 1}}));
    a->ChangeIndexType(IDX_DOOR_STATE, IDX_MOTION_STATE);  // none: nothing changes
    EXPECT_EQ(indexList(a->zwNode)[0].first, 43);
}

TEST_F(ZwaveTyping, NodeLookupInTheStore) {
    storeDevice(31, "Porch switch", 2, "BinarySwitch", 9, 65535);
    storeDevice(32, "Zigbee with node 9", 1, "BinarySwitch", 9, 0x1234);
    HalvixAssociation* a = fresh(0x10, 1, kPlain);
    EXPECT_TRUE(a->ZW_checkNodeExists());
    EXPECT_STREQ(a->removedDevName, "Porch switch");
    EXPECT_EQ(a->removedDevId, 31u);
    a->zwRx.nodeId = 10;
    EXPECT_FALSE(a->ZW_checkNodeExists());
    testkit::ddbPutText("NextDevid", "40");
    EXPECT_EQ(a->calculateDevId(), 40);
    EXPECT_EQ(DevId, 40);
}

TEST_F(ZwaveTyping, DefaultName) {
    char out[180];
    HalvixAssociation::getInstance()->getDefaultDevName(DoorLock, 3, out);
    EXPECT_STREQ(out, "DoorLock #3");
}

// One value of a generic device: the index it becomes (0: none) and the
// typing flag that index raises.
TEST_F(ZwaveTyping, EveryValueKindMapsToItsIndex) {
    enum Flag { kNo, kSensor, kBasic, kAc, kMulti };
    const std::map<int, Flag> kFlagOf = {
        {IDX_SENSOR_BINARY, kSensor},
        {IDX_BASIC, kBasic},
        {IDX_THERMOSTAT_MODE, kAc},
        {IDX_THERMOSTAT_SETPOINT_HEATING, kAc},
        {IDX_THERMOSTAT_SETPOINT_COOLING, kAc},
        {IDX_THERMOSTAT_FAN_MODE, kAc},
        {IDX_SWITCH_MULTILEVEL, kMulti},
    };
    // Command class, then (command index, index type) of its values.
    const struct {
        int cls;
        std::vector<std::pair<int, int>> values;
    } kClasses[] = {
        {0x20, {{0, IDX_BASIC}}},
        {0x25, {{0, IDX_SWITCH_BINARY}}},
        {0x26, {{0, IDX_SWITCH_MULTILEVEL}, {1, 0}}},
        {0x30, {{0, IDX_SENSOR_BINARY}}},
        {0x31, {{1, IDX_TEMPERATURE}, {3, IDX_ILLUMINANCE}, {5, IDX_HUMIDITY}, {4, 0}}},
        {0x32, {{0, IDX_ENERGY}, {8, IDX_POWER}, {2, 0}}},
        {0x40, {{0, IDX_THERMOSTAT_MODE}}},
        {0x42, {{0, IDX_THERMOSTAT_OPERATING_STATE}}},
        {0x43, {{1, IDX_THERMOSTAT_SETPOINT_HEATING}, {2, IDX_THERMOSTAT_SETPOINT_COOLING}, {3, 0}}},
        {0x44, {{0, IDX_THERMOSTAT_FAN_MODE}}},
        {0x5B, {{0, IDX_GESTURESENSOR}}},
        {0x62, {{0, IDX_LOCK_STATE}, {1, 0}}},
        {0x63, {{0, 0}, {255, IDX_MAXIMUM_USERS}, {4, IDX_USER_CODE}}},
        {0x66, {{0, IDX_BARRIER_OPERATOR}}},
        {0x70, {{27, IDX_AC_SWING}, {33, IDX_IR_CODE}, {1, 0}}},
        {0x71, {{2, IDX_TAMPER}, {1, 0}}},
        {0x80, {{0, IDX_BATTERY}}},
        {0x86, {{0, 0}}},
    };
    for (const auto& c : kClasses) {
        for (const auto& v : c.values) {
            SCOPED_TRACE(testing::Message() << "class 0x" << std::hex << c.cls << " index " << std::dec << v.first);
            HalvixAssociation* a = fresh(0x42, 1, kPlain);
            setValues(a, {{c.cls, v.first, 3}});
            a->ZW_indexToEnum(a->zwNode.values[0]);
            std::vector<std::pair<int, int>> want;
            if (v.second) want.push_back({v.second, 3});
            EXPECT_EQ(indexList(a->zwNode), want);
            auto f = kFlagOf.find(v.second);
            const Flag flag = f == kFlagOf.end() ? kNo : f->second;
            EXPECT_EQ(SensorBinaryFlag, flag == kSensor);
            EXPECT_EQ(BasicFlag, flag == kBasic);
            EXPECT_EQ(ZwAcExtFlag, flag == kAc);
            EXPECT_EQ(MultilevelFlag, flag == kMulti);
        }
    }
}

TEST_F(ZwaveTyping, ValueListWithoutEndStopsAtItsRoom) {
    HalvixAssociation* a = fresh(0x42, 1, kPlain);
    std::vector<std::array<int, 3>> all;
    for (int k = 0; k < kZWValueCap; ++k) all.push_back({0x80, 0, 1 + k % 200});
    setValues(a, all);
    ASSERT_TRUE(a->ZW_createDeviceType());
    EXPECT_EQ(indexList(a->zwNode).size(), (size_t)kZWIndexCap);
    EXPECT_EQ(logged("index list full").size(), (size_t)(kZWValueCap - kZWIndexCap));
}

// Sub-types of a generic device follow the flags its values raised.
TEST_F(ZwaveTyping, GenericSubTypesFollowTheFlags) {
    const std::vector<int> kSensors = {39, 11, 37, 36, 55, 42};
    const struct {
        bool basic, multi, ac, sensor;
        int indexes;  // bytes of the index list
        std::vector<int> offered;
    } kCases[] = {
        {true, true, false, false, 12, {55, 52, 41}}, {true, false, true, false, 12, {54, 46}},
        {false, true, true, false, 12, {54, 46}},     {false, false, false, true, 12, kSensors},
        {true, false, false, false, 9, kSensors},     {true, false, false, false, 10, {}},
        {false, true, false, false, 2, {}},           {false, false, false, false, 2, {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.basic << c.multi << c.ac << c.sensor << " " << c.indexes);
        HalvixAssociation* a = fresh(0x42, 1, kPlain);
        memset(a->zwNode.indexes, 0, sizeof a->zwNode.indexes);
        memset(a->zwNode.indexes, 0x50, (size_t)c.indexes);
        BasicFlag = c.basic;
        MultilevelFlag = c.multi;
        ZwAcExtFlag = c.ac;
        SensorBinaryFlag = c.sensor;
        EXPECT_EQ(offered(a, GenericDevice), c.offered);
    }
    SensorBinaryFlag = BasicFlag = ZwAcExtFlag = MultilevelFlag = false;
}

// The type the user picks for a generic device renames its indexes.
TEST_F(ZwaveTyping, ChosenTypeRenamesGenericIndexes) {
    const std::vector<int> start = {IDX_BASIC,
                                    IDX_SENSOR_BINARY,
                                    IDX_SWITCH_BINARY,
                                    IDX_SWITCH_MULTILEVEL,
                                    IDX_THERMOSTAT_MODE,
                                    IDX_THERMOSTAT_SETPOINT_HEATING,
                                    IDX_THERMOSTAT_SETPOINT_COOLING,
                                    IDX_THERMOSTAT_FAN_MODE};
    const struct {
        DevType type;
        std::vector<std::pair<int, int>> changes;  // from, to
    } kCases[] = {
        {SmokeDetector, {{IDX_BASIC, IDX_SMOKE_STATE}}},
        {FloodSensor, {{IDX_BASIC, IDX_FLOOD_STATE}}},
        {DoorSensor, {{IDX_SENSOR_BINARY, IDX_DOOR_STATE}}},
        {MovementSensor, {{IDX_SENSOR_BINARY, IDX_MOTION_STATE}}},
        {Siren, {{IDX_SWITCH_BINARY, IDX_ALARM_STATE}}},
        {SetPointThermostat, {{IDX_SENSOR_BINARY, IDX_MOTION_STATE}}},
        {RollerShutter,
         {{IDX_BASIC, IDX_UP_DOWN}, {IDX_SWITCH_MULTILEVEL, IDX_SHUTTER_LEVEL}, {IDX_SWITCH_BINARY, IDX_STOP}}},
        {ZWtoACIRExtender,
         {{IDX_THERMOSTAT_MODE, IDX_AC_MODE},
          {IDX_THERMOSTAT_SETPOINT_HEATING, IDX_AC_SETPOINT_HEATING},
          {IDX_THERMOSTAT_SETPOINT_COOLING, IDX_AC_SETPOINT_COOLING},
          {IDX_THERMOSTAT_FAN_MODE, IDX_AC_FAN_MODE}}},
        {MultiSoundSiren, {{IDX_SWITCH_MULTILEVEL, IDX_SWITCH_MULTISOUND}}},
        {BinarySwitch, {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.type);
        HalvixAssociation* a = fresh(0x42, 1, kPlain);
        memset(a->zwNode.indexes, 0, sizeof a->zwNode.indexes);
        std::vector<std::pair<int, int>> want;
        for (size_t k = 0; k < start.size(); ++k) {
            a->zwNode.indexes[2 * k] = (uint8_t)start[k];
            a->zwNode.indexes[2 * k + 1] = 1;
            int to = start[k];
            for (const auto& ch : c.changes)
                if (ch.first == start[k]) to = ch.second;
            want.push_back({to, 1});
        }
        a->GenericIndexType(c.type);
        EXPECT_EQ(indexList(a->zwNode), want);
    }

    // A full list without the index: nothing changes, nothing past it is read.
    HalvixAssociation* a = fresh(0x42, 1, kPlain);
    for (int k = 0; k < kZWIndexCap; ++k) {
        a->zwNode.indexes[2 * k] = IDX_BATTERY;
        a->zwNode.indexes[2 * k + 1] = (uint8_t)(k + 1);
    }
    a->zwNode.indexes[62] = IDX_BASIC;  // the end slot's byte is no entry
    a->ChangeIndexType(IDX_BASIC, IDX_SMOKE_STATE);
    EXPECT_EQ(a->zwNode.indexes[62], IDX_BASIC);
    EXPECT_EQ(indexList(a->zwNode).size(), (size_t)kZWIndexCap);
}
