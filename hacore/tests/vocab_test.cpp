// The vocabularies are stored data and wire codes: every name of every table
// is checked both ways, with the fallbacks and the spellings that differ by
// direction.
#include "hacore/vocab.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

namespace {

static_assert(sizeof(DevType) == 4 && sizeof(IndexType) == 4 && sizeof(ClientType) == 4, "codes are 32-bit in records");
static_assert(ZigbeeDoorLock == 28 && HueLamp == 48 && HalvixBlink == 64 && ZigbeeCamVideo == 68);
static_assert(EV_MeshSlaveRemoveAll == 27 && CT_other == 19 && OZW_ValueType_Short == 7);
static_assert(IDX_NEST_THERMOSTAT_MODE == 56 && IDX_SECONDS == 99 && IDX_SETARMMODEVIDEO == 133);

const int kOdd[] = {-1, INT_MIN, INT_MAX, 1000};

// Calls a buffer-filling converter on a buffer full of a marker byte.
struct Buf {
    char b[64];
    Buf() { std::memset(b, 'Z', sizeof b); }
    // The text written, checking nothing past its terminator was touched.
    std::string text() const {
        const char* end = static_cast<const char*>(std::memchr(b, 0, sizeof b));
        if (!end) return "<unterminated>";
        for (const char* p = end + 1; p < b + sizeof b; ++p)
            if (*p != 'Z') return "<wrote past terminator>";
        return std::string(b, end);
    }
    bool untouched() const {
        for (char c : b)
            if (c != 'Z') return false;
        return true;
    }
};

// The text a code-to-name converter writes into a marked buffer.
template <typename E>
std::string named(void (*convert)(E, char*), int code) {
    Buf x;
    convert(static_cast<E>(code), x.b);
    return x.text();
}
std::string dev(int code) { return named(DevtypeEnumToStr, code); }
std::string event(int code) { return named(getEventAsString, code); }
std::string weather(int code) { return named(getWeatherTypeAsString, code); }
std::string ir(int code) { return named(IREventsEnumToStr, code); }
std::string cond(int code) { return named(enumToConditionString, code); }
std::string idx(int code, int mode) {
    Buf x;
    IndexTypeEnumToStr(static_cast<IndexType>(code), x.b, mode);
    return x.text();
}

// Name-to-code functions take char* (they never write it).
int devCode(std::string s) { return StrToDevType(&s[0]); }
int eventCode(std::string s) { return getEventTypeFromString(&s[0]); }
int weatherCode(std::string s) { return getWeatherTypeFromString(&s[0]); }
int condCode(std::string s) { return stringToConditionenum(&s[0]); }
int clientCode(std::string s) { return stringToClientType(&s[0]); }
int userCode(std::string s) { return StringToUsertype(&s[0]); }

// The code each of these names gives.
template <typename ToCode>
void expectCode(ToCode toCode, int code, std::initializer_list<const char*> names) {
    for (const char* name : names) EXPECT_EQ(code, int(toCode(name))) << name;
}

// Each name of a table, from code `first` on, both ways; the fallback name
// for the code after the last and for odd codes.
template <typename Names, typename ToName, typename ToCode>
void expectBothWays(const Names& names, int first, ToName toName, ToCode toCode, const std::string& fallback) {
    int code = first;
    for (const char* name : names) {
        EXPECT_EQ(name, std::string(toName(code))) << code;
        EXPECT_EQ(code, int(toCode(name))) << name;
        ++code;
    }
    EXPECT_EQ(fallback, std::string(toName(code))) << code;
    for (int c : kOdd) EXPECT_EQ(fallback, std::string(toName(c))) << c;
}

const char* const kDevNames[] = {
    // codes 1..68
    "BinarySwitch",
    "MultilevelSwitch",
    "BinarySensor",
    "MultilevelSwitchOnOff",
    "DoorLock",
    "Alarm",
    "Thermostat",
    "Gateway",
    "SceneController",
    "StandardCIE",
    "MotionSensor",
    "ContactSwitch",
    "FireSensor",
    "WaterSensor",
    "GasSensor",
    "PersonalEmergencyDevice",
    "VibrationOrMovementSensor",
    "RemoteControl",
    "KeyFob",
    "Keypad",
    "StandardWarningDevice",
    "SmartACSwitch",
    "SmartDCSwitch",
    "OccupancySensor",
    "LightSensor",
    "WindowCovering",
    "TemperatureSensor",
    "ZigbeeDoorLock",
    "ZigbeeTempSensor",
    "PressureSensor",
    "FlowSensor",
    "ColorDimmableLight",
    "HAPump",
    "Shade",
    "MultilevelSensor",
    "SmokeDetector",
    "FloodSensor",
    "ShockSensor",
    "DoorSensor",
    "MoistureSensor",
    "MovementSensor",
    "Siren",
    "MultiSwitch",
    "UnknownOnOffModule",
    "BinaryPowerSwitch",
    "SetPointThermostat",
    "UnknownThermostat",
    "HueLamp",
    "MultiSensor",
    "QuentrixSmartSwitch",
    "CentraliteDimmer",
    "RollerShutter",
    "GarageDoorOpener",
    "ZWtoACIRExtender",
    "MultiSoundSiren",
    "EnergyReader",
    "NestThermostat",
    "NestSmokeDetector",
    "NotificationSensor",
    "GenericDevice",
    "QuentrixButton",
    "ZenThermostat",
    "HalvixSiren",
    "HalvixBlink",
    "ZBIRExtender",
    "NestCam",
    "ZigbeeCamImage",
    "ZigbeeCamVideo",
};

TEST(DevType, EveryNameBothWays) {
    ASSERT_EQ(68u, sizeof kDevNames / sizeof *kDevNames);
    expectBothWays(kDevNames, 1, dev, devCode, "UnknownDeviceType");
    size_t longest = 0;
    for (const char* name : kDevNames) longest = std::max(longest, std::strlen(name));
    EXPECT_EQ(size_t(kDevTypeTextSize), longest + 1);
}

TEST(DevType, Fallbacks) {
    EXPECT_EQ("UnknownDeviceType", dev(0));
    expectCode(devCode, 0, {"UnknownDeviceType", "binaryswitch", "BinarySwitch ", ""});
    EXPECT_EQ(0, StrToDevType(nullptr));
}

TEST(EventType, DirectionsDiffer) {
    const char* const written[] = {
        "Unknown",           "DeviceAdded",    "DeviceRemoved",      "DeviceRemoveAll", "DeviceUpdated",
        "SceneAdded",        "SceneRemoved",   "SceneUpdated",       "SceneRemoveAll",  "SceneActivated",
        "SceneDeactivated",  "RuleAdded",      "RuleRemoved",        "RuleUpdated",     "RuleRemoveAll",
        "HalvixModeUpdated", "ClientJoined",   "ClientLeft",         "ClientUpdated",   "ClientRemoved",
        "ClientRemoveAll",   "NetworkUpdated", "HalvixUpdated",      "MeshSlaveAdded",  "MeshSlaveRemoved",
        "MeshSlaveUpdated",  "Unknown",        "MeshSlaveRemoveAll", "DelayedArm"};
    for (int code = 0; code <= 28; ++code) {
        EXPECT_EQ(written[code], event(code)) << code;
        int back = (code == 10 || code == 13 || code >= 26) ? 0 : code;
        EXPECT_EQ(back, eventCode(written[code])) << written[code];
    }
    EXPECT_EQ(10, eventCode("SceneInDeactivated"));
    EXPECT_EQ(13, eventCode("RuleUpdate"));
    EXPECT_EQ("Unknown", event(29));
    for (int c : kOdd) EXPECT_EQ("Unknown", event(c)) << c;
    EXPECT_EQ(0, eventCode("deviceadded"));
    EXPECT_EQ(0, getEventTypeFromString(nullptr));
}

TEST(WeatherType, BothWays) {
    const char* const names[] = {"SunRiseTime", "SunSetTime", "WeatherCondition", "Temperature", "Humidity", "Pressure",
                                 "SMS",         "Email",      "PushMessage"};
    expectBothWays(names, 1, weather, weatherCode, "Unknown");
    EXPECT_EQ("Unknown", weather(0));
    expectCode(weatherCode, 0, {"Unknown", "sms"});
}

TEST(IREvents, NamesWithBlanks) {
    const char* const names[] = {"Default",  "On",        "Off",       "Menu",     "Next",   "Back",    "Up",
                                 "Down",     "OK",        "Volume",    "Play",     "Stop",   "Pause",   "Cool",
                                 "Heat",     "Auto",      "Dry",       "Sleep",    "Fan On", "Fan Off", "Fan Speed",
                                 "Swing On", "Swing Off", "Set Timer", "Set Temp", "Channel"};
    expectBothWays(names, 0, ir, StrToIREventsEnum, "Default");
    expectCode(StrToIREventsEnum, 0, {"FanOn", "Fan_On", "on"});
    EXPECT_EQ(0, StrToIREventsEnum(nullptr));
}

TEST(TriggerCondition, BothWays) {
    const char* const names[] = {"eq", "le", "ge", "lt", "gt"};
    expectBothWays(names, 0, cond, condCode, "unknown");
    expectCode(condCode, 0, {"GT", "unknown", ">"});
}

const char* const kClientNames[] = {
    // codes 0..42
    "pc",
    "laptop",
    "tablet",
    "smartphone",
    "ipod",
    "ipad",
    "iphone",
    "mac",
    "printer",
    "router_switch",
    "hub",
    "tv",
    "chromecast",
    "appleTV",
    "android_stick",
    "camera",
    "nest",
    "amazon_echo",
    "amazon_dash",
    "other",
    "identifying",
    "philips_hue",
    "scout_home_system",
    "skybell_wifi",
    "august_connect",
    "canary",
    "piper",
    "ring_doorbell",
    "samsung_smartthings",
    "belkin_wemo",
    "sonos",
    "airplay_speakers",
    "wink",
    "ge_appliances",
    "honeywell_appliances",
    "osram_lightify",
    "ibaby_monitor",
    "motorola_connect",
    "foscam",
    "hikvision",
    "dlink_cameras",
    "withings",
    "generic",
};

TEST(ClientType, OtherIsTheFallbackBothWays) {
    ASSERT_EQ(43u, sizeof kClientNames / sizeof *kClientNames);
    expectBothWays(
        kClientNames, 0, [](int code) { return ClientTypeToString(static_cast<ClientType>(code)); }, clientCode,
        "other");
    expectCode(clientCode, 19, {"other", "", "PC", "appletv"});
    EXPECT_EQ(19, stringToClientType(nullptr));
}

TEST(UserType, AsymmetricFallback) {
    EXPECT_STREQ("Others", UserTypetoString(UT_Others));
    EXPECT_STREQ("Kids", UserTypetoString(UT_Kids));
    EXPECT_STREQ("Other", UserTypetoString(static_cast<UserType>(2)));
    EXPECT_STREQ("Other", UserTypetoString(static_cast<UserType>(-1)));
    EXPECT_EQ(0, userCode("Others"));
    EXPECT_EQ(1, userCode("Kids"));
    expectCode(userCode, 0, {"Other", "kids"});
    EXPECT_EQ(0, StringToUsertype(nullptr));
}

template <class E>
void expectNames(const char* (*fn)(E), const std::vector<const char*>& names, const char* fallback) {
    for (size_t code = 0; code < names.size(); ++code) EXPECT_STREQ(names[code], fn(static_cast<E>(code))) << code;
    EXPECT_STREQ(fallback, fn(static_cast<E>(names.size())));
    for (int c : kOdd) EXPECT_STREQ(fallback, fn(static_cast<E>(c))) << c;
}

TEST(ZWave, ServerVocabulary) {
    expectNames(OperationCodeenumToString,
                {
                    "Code_None",
                    "Code_ControllerCommandOperation",
                    "Code_SetValueOperation",
                    "Code_GetValueOperation",
                    "Code_CancelCommandOperation",
                    "Code_ResetCommandOperation",
                    "Code_DisableNotificationOperation",
                    "Code_EnableNotificationOperation",
                    "Code_ControllerUpdateOperation",
                    "Code_NotificationOperation",
                    "Code_SetSwitchAllOn",
                    "Code_SetSwitchAllOff",
                    "Code_SendTestPackets",
                    "Code_SetRxPowerUp",
                    "Code_SetRxPowerDown",
                    "Code_UpdateValueOperation",
                },
                "Unknown Operation");
    expectNames(ControllerCommandenumToString,
                {
                    "ControllerCommand_None",
                    "ControllerCommand_AddDevice",
                    "ControllerCommand_CreateNewPrimary",
                    "ControllerCommand_ReceiveConfiguration",
                    "ControllerCommand_RemoveDevice",
                    "ControllerCommand_RemoveFailedNode",
                    "ControllerCommand_HasNodeFailed",
                    "ControllerCommand_ReplaceFailedNode",
                    "ControllerCommand_TransferPrimaryRole",
                    "ControllerCommand_RequestNetworkUpdate",
                    "ControllerCommand_RequestNodeNeighborUpdate",
                    "ControllerCommand_AssignReturnRoute",
                    "ControllerCommand_DeleteAllReturnRoutes",
                    "ControllerCommand_SendNodeInformation",
                    "ControllerCommand_ReplicationSend",
                    "ControllerCommand_CreateButton",
                    "ControllerCommand_DeleteButton",
                },
                "Unknown ControllerCommand");
    expectNames(NotificationenumToString,
                {
                    "Type_ValueAdded",
                    "Type_ValueRemoved",
                    "Type_ValueChanged",
                    "Type_ValueRefreshed",
                    "Type_Group",
                    "Type_NodeNew",
                    "Type_NodeAdded",
                    "Type_NodeRemoved",
                    "Type_NodeProtocolInfo",
                    "Type_NodeNaming",
                    "Type_NodeEvent",
                    "Type_PollingDisabled",
                    "Type_PollingEnabled",
                    "Type_SceneEvent",
                    "Type_CreateButton",
                    "Type_DeleteButton",
                    "Type_ButtonOn",
                    "Type_ButtonOff",
                    "Type_DriverReady",
                    "Type_DriverFailed",
                    "Type_DriverReset",
                    "Type_EssentialNodeQueriesComplete",
                    "Type_NodeQueriesComplete",
                    "Type_AwakeNodesQueried",
                    "Type_AllNodesQueriedSomeDead",
                    "Type_AllNodesQueried",
                    "Type_Notification",
                },
                "Unknown Notification");
    expectNames(controllerStateStr,
                {
                    ": no command in progress.",
                    ": starting controller command.",
                    ": command was cancelled.",
                    ": command returned an error: ",
                    ": waiting for a user action.",
                    ": device went to sleep.",
                    ": communicating with the other device.",
                    ": command has completed successfully.",
                    ": command has failed.",
                    ": the node is OK.",
                    ": the node has failed.",
                },
                ": unknown respose.");
    expectNames(controllerErrorStr,
                {
                    "None",
                    "Button Not Found",
                    "Node Not Found",
                    "Not a Bridge",
                    "Not Static Update Controller",
                    "Not Secondary Controller",
                    "Not Primary Controller",
                    "Is Primary Controller",
                    "Not Found",
                    "Controller Busy",
                    "Failed",
                    "Disabled",
                    "Overflow",
                },
                "Unknown error");
    expectNames(enumValueGenreStr,
                {
                    "basic",
                    "user",
                    "config",
                    "system",
                    "count",
                },
                "unknown");
    expectNames(valueTypeStr,
                {
                    "bool",
                    "byte",
                    "decimal",
                    "int",
                    "list",
                    "schedule",
                    "string",
                    "short",
                    "button",
                    "raw",
                },
                "unknown");
}

// The named command classes: the number in hex, a blank, the name.
const char kCommandClassList[] = R"(
20 BASIC
21 CONTROLLER REPLICATION
22 APPLICATION STATUS
23 ZIP SERVICES
24 ZIP SERVER
25 SWITCH BINARY
26 SWITCH MULTILEVEL
27 SWITCH ALL
28 SWITCH TOGGLE BINARY
29 SWITCH TOGGLE MULTILEVEL
2A CHIMNEY FAN
2B SCENE ACTIVATION
2C SCENE ACTUATOR CONF
2D SCENE CONTROLLER CONF
2E ZIP CLIENT
2F ZIP ADV SERVICES
30 SENSOR BINARY
31 SENSOR MULTILEVEL
32 METER
33 ZIP ADV SERVER
34 ZIP ADV CLIENT
35 METER PULSE
38 THERMOSTAT HEATING
40 THERMOSTAT MODE
42 THERMOSTAT OPERATING STATE
43 THERMOSTAT SETPOINT
44 THERMOSTAT FAN MODE
45 THERMOSTAT FAN STATE
46 CLIMATE CONTROL SCHEDULE
47 THERMOSTAT SETBACK
4C DOOR LOCK LOGGING
4E SCHEDULE ENTRY LOCK
50 BASIC WINDOW COVERING
51 MTP WINDOW COVERING
5B CENTRAL SCENE
60 MULTI INSTANCE
62 DOOR LOCK
63 USER CODE
66 BARRIER_OPERATOR
70 CONFIGURATION
71 ALARM
72 MANUFACTURER SPECIFIC
73 POWERLEVEL
75 PROTECTION
76 LOCK
77 NODE NAMING
7A FIRMWARE UPDATE MD
7B GROUPING NAME
7C REMOTE ASSOCIATION ACTIVATE
7D REMOTE ASSOCIATION
80 BATTERY
81 CLOCK
82 HAIL
84 WAKE UP
85 ASSOCIATION
86 VERSION
87 INDICATOR
88 PROPRIETARY
89 LANGUAGE
8A TIME
8B TIME PARAMETERS
8C GEOGRAPHIC LOCATION
8D COMPOSITE
8E MULTI INSTANCE ASSOCIATION
8F MULTI CMD
90 ENERGY PRODUCTION
91 MANUFACTURER PROPRIETARY
92 SCREEN MD
93 SCREEN ATTRIBUTES
94 SIMPLE AV CONTROL
95 AV CONTENT DIRECTORY MD
96 AV RENDERER STATUS
97 AV CONTENT SEARCH MD
98 SECURITY
99 AV TAGGING MD
9A IP CONFIGURATION
9B ASSOCIATION COMMAND CONFIGURATION
9C SENSOR ALARM
9D SILENCE ALARM
9E SENSOR CONFIGURATION
EF MARK
F0 NON INTEROPERABLE
)";

struct CommandClass {
    int num;
    std::string name;
};
std::vector<CommandClass> commandClasses() {
    std::vector<CommandClass> out;
    std::istringstream in(kCommandClassList);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        size_t blank = line.find(' ');
        out.push_back({std::stoi(line.substr(0, blank), nullptr, 16), line.substr(blank + 1)});
    }
    return out;
}

TEST(ZWave, CommandClasses) {
    const std::vector<CommandClass> classes = commandClasses();
    ASSERT_EQ(classes.size(), 82u);
    std::vector<std::string> byNum(256, "NO OPERATION");
    for (const CommandClass& c : classes) byNum[c.num] = c.name;
    for (int n = 0; n < 256; ++n) {
        EXPECT_EQ(byNum[n], cclassStr(static_cast<unsigned char>(n))) << n;
    }
    for (const CommandClass& c : classes) {
        int want = c.name == "BARRIER_OPERATOR" ? 255 : c.num;
        EXPECT_EQ(want, cclassNum(c.name.c_str())) << c.name;
    }
    EXPECT_STREQ("BARRIER_OPERATOR", cclassStr(0x66));
    EXPECT_STREQ("NO OPERATION", cclassStr(0x36));
    EXPECT_STREQ("NO OPERATION", cclassStr(0x10));
    EXPECT_EQ(0, cclassNum("NO OPERATION"));
    expectCode(cclassNum, 255, {"BARRIER OPERATOR", "basic", ""});
    EXPECT_EQ(255, cclassNum(nullptr));
}

TEST(ZWave, ValueTypeOfParameterSize) {
    const int sizes[] = {-1, 0, 1, 2, 3, 4, 5, 8, INT_MAX};
    const int want[] = {1, 1, 1, 7, 1, 3, 1, 1, 1};
    for (size_t i = 0; i < sizeof sizes / sizeof *sizes; ++i)
        EXPECT_EQ(want[i], GetSizeOfValueType(sizes[i])) << sizes[i];
}

const char* const kIndexNames[] = {
    // codes 0..133 as IndexTypeEnumToStr names them
    nullptr,
    "SWITCH BINARY",
    "SENSOR BINARY",
    "MOTION_STATE",
    "DOOR_STATE",
    "VIBRATION_STATE",
    "WATER_STATE",
    "GAS_STATE",
    "FIRE_STATE",
    "TAMPER",
    "PANIC_ALARM",
    "EMER_ALARM",
    "LOW BATTERY",
    "ALARM_STATE",
    "BASIC",
    "SMOKE_STATE",
    "FLOOD_STATE",
    "SWITCH MULTILEVEL",
    "DIMMER_LEVEL",
    "SWITCH_MULTISOUND",
    "SHUTTER_LEVEL",
    "BASIC_EXTENDER",
    "LOCK_STATE",
    "LOCK_STATE_ZB",
    "ARMMODE",
    "TEMPERATURE",
    "PRESSURE",
    "HUMIDITY",
    "ILLUMINANCE",
    "ILLUMINANCE_PERCENT",
    "HUE",
    "HUE_ZB",
    "SATURATION",
    "COLOR_TEMPERATURE",
    "POWER",
    "THERMOSTAT MODE",
    "THERMOSTAT OPERATING STATE",
    "THERMOSTAT SETPOINT HEATING",
    "THERMOSTAT SETPOINT COOLING",
    "THERMOSTAT FAN MODE",
    "THERMOSTAT FAN STATE",
    "THERMOSTAT SETPOINT",
    "UP_DOWN",
    "STOP",
    "BARRIER OPERATOR",
    "AC MODE",
    "AC SETPOINT HEATING",
    "AC SETPOINT COOLING",
    "AC FAN MODE",
    "AC SWING",
    "BATTERY",
    "IR CODE",
    "VOLTAGE",
    "CURRENT",
    "RETAIN_STATE",
    "NEST_ID",
    "THERMOSTAT_MODE",
    "THERMOSTAT_TARGET",
    "THERMOSTAT_RANGE_LOW",
    "THERMOSTAT_RANGE_HIGH",
    "AWAY_MODE",
    "THERMOSTAT_FAN_STATE",
    "ISONLINE",
    "CAN_COOL",
    "CAN_HEAT",
    "IS_USING_EMERGENCY_HEAT",
    "HAS_FAN",
    "HVAC_STATE",
    "HAS_LEAF",
    "RESPONSE_CODE",
    "CO_ALARM_STATE",
    "SMOKE_ALARM_STATE",
    "HUE_BRIDGE_ID",
    "EFFECT",
    "COLOUR_MODE",
    "HUE_BULB_ID",
    "USER_NAME",
    "REACHABLE",
    nullptr,
    "MAXIMUM_USERS",
    "ENERGY",
    "USER_CODE",
    "CLAMP1_POWER",
    "CLAMP2_POWER",
    "CLAMP1_ENERGY",
    "CLAMP2_ENERGY",
    "ACTIVE_POWER",
    "GENERIC_STRING",
    "GENERIC_INT",
    "GENERIC_DOUBLE",
    "GENERIC_BOOL",
    "PRESS",
    "CUSTOM_MESSAGE",
    "BUZZ_STATE",
    "LED_STATE",
    "TONE",
    "VOLUME",
    "BLINK_STATE",
    "RGB",
    "Seconds",
    "ENABLE",
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    "METERING_CURRENT",
    "METERING_UNIT",
    "METERING_MULTIPLIER",
    "METERING_DIVISOR",
    "SYSTEM_MODE",
    "IRDEVICE_DATA",
    "SELECT_LED",
    "IRBUTTON_DATA",
    "WINDOW_COVERING_MODE",
    "GESTURESENSOR",
    "SECURITYDEVICE",
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    "CAPTUREIMAGE",
    "MODE",
    "IMAGES_COUNT",
    "RESOLUTION",
    "CAPTUREVIDEO",
    "SETARMMODEVIDEO",
};

// Data-type labels by ranges of codes.
struct LabelRange {
    int from, to;
    const char* label;
};
const LabelRange kLabels[] = {
    {1, 13, "Bool"},      {63, 66, "Bool"},      {68, 68, "Bool"},      {77, 77, "Bool"},    {90, 90, "Bool"},
    {93, 94, "Bool"},     {97, 97, "Bool"},      {100, 100, "Bool"},    {14, 16, "Byte"},    {19, 19, "Byte"},
    {22, 22, "Byte"},     {42, 42, "Byte"},      {44, 44, "Byte"},      {49, 50, "Byte"},    {17, 18, "Int"},
    {20, 20, "Int"},      {23, 24, "Int"},       {30, 33, "Int"},       {69, 69, "Int"},     {75, 75, "Int"},
    {88, 88, "Int"},      {98, 99, "Int"},       {108, 108, "Int"},     {110, 111, "Int"},   {117, 118, "Int"},
    {21, 21, "Decimal"},  {28, 29, "Decimal"},   {34, 34, "Decimal"},   {37, 38, "Decimal"}, {41, 41, "Decimal"},
    {46, 47, "Decimal"},  {57, 59, "Decimal"},   {80, 80, "Decimal"},   {82, 85, "Decimal"}, {91, 91, "Decimal"},
    {95, 96, "Decimal"},  {109, 109, "Decimal"}, {116, 116, "Decimal"}, {25, 27, "Short"},   {51, 54, "Short"},
    {86, 86, "Short"},    {35, 35, "List"},      {39, 39, "List"},      {45, 45, "List"},    {48, 48, "List"},
    {112, 112, "List"},   {36, 36, "String"},    {40, 40, "String"},    {55, 56, "String"},  {60, 62, "String"},
    {67, 67, "String"},   {70, 74, "String"},    {76, 76, "String"},    {87, 87, "String"},  {92, 92, "String"},
    {113, 113, "String"}, {115, 115, "String"},  {129, 129, "String"},  {43, 43, "Button"},  {79, 79, "Raw"},
    {81, 81, "Raw"},      {114, 114, "Raw"},     {89, 89, "Double"},    {128, 128, "bool"},  {132, 133, "bool"},
    {130, 131, "int"},
};

const char* labelOf(int code) {
    const char* found = nullptr;
    for (const LabelRange& r : kLabels)
        if (code >= r.from && code <= r.to) {
            EXPECT_EQ(nullptr, found) << "two labels for " << code;
            found = r.label;
        }
    return found;
}

const char kErr[] = "#ERR:Invalid Index Type";

TEST(IndexType, NamesAndLabels) {
    ASSERT_EQ(134u, sizeof kIndexNames / sizeof *kIndexNames);
    size_t longest = 0;
    for (int code = 0; code <= 133; ++code) {
        const char* name = kIndexNames[code];
        if (!name) {
            EXPECT_EQ(nullptr, labelOf(code)) << code;
            for (int mode : {0, 1, 2, -1}) EXPECT_EQ(kErr, idx(code, mode)) << code << " mode " << mode;
            continue;
        }
        const char* label = labelOf(code);
        ASSERT_NE(nullptr, label) << code;
        EXPECT_EQ(name, idx(code, 0)) << code;
        EXPECT_EQ(label, idx(code, 1)) << code;
        longest = std::max(longest, std::strlen(name));
        // Every name reads back, except the one written in mixed case.
        EXPECT_EQ(code == 99 ? 0 : code, StrToIndexTypeEnum(name)) << name;
    }
    EXPECT_EQ(size_t(kIndexTypeTextSize), longest + 1);
    for (int c : {134, 200, -1, INT_MIN, INT_MAX}) EXPECT_EQ(kErr, idx(c, 0)) << c;
}

TEST(IndexType, OtherModesWriteNothing) {
    for (int mode : {2, 3, -1, INT_MAX}) {
        Buf x;
        IndexTypeEnumToStr(IDX_SWITCH_BINARY, x.b, mode);
        EXPECT_TRUE(x.untouched()) << mode;
    }
}

TEST(IndexType, NamesOnlyReadBack) {
    const struct {
        int code;
        const char* name;
    } readOnly[] = {{78, "BATTERY_NEST"},          {101, "OCCUPANCY_STATE"},      {102, "ALARM_BINARY"},
                    {103, "AC_SWITCH BINARY"},     {104, "HUE_SWITCH BINARY"},    {105, "MULTILEVEL BINARY"},
                    {106, "MULTI_SWITCH BINARY1"}, {107, "MULTI_SWITCH BINARY2"}, {99, "SECONDS"}};
    for (const auto& r : readOnly) EXPECT_EQ(r.code, StrToIndexTypeEnum(r.name)) << r.name;
    EXPECT_EQ(kErr, idx(78, 0));
    EXPECT_EQ(kErr, idx(101, 1));
    EXPECT_EQ(133, StrToIndexTypeEnum("SETARMMODEVIDEO"));
    expectCode(StrToIndexTypeEnum, 0, {"Seconds", "switch binary", "SWITCH_BINARY", " BASIC"});
    EXPECT_EQ(0, StrToIndexTypeEnum(kErr));
    EXPECT_EQ(0, StrToIndexTypeEnum(""));
    EXPECT_EQ(0, StrToIndexTypeEnum(nullptr));
}

TEST(Bounded, CutAndTerminated) {
    Buf x;
    DevtypeEnumToStr(VibrationOrMovementSensor, x.b, 8);
    EXPECT_EQ("Vibrati", x.text());
    Buf fit;
    DevtypeEnumToStr(VibrationOrMovementSensor, fit.b, kDevTypeTextSize);
    EXPECT_EQ("VibrationOrMovementSensor", fit.text());
    Buf one;
    getEventAsString(EV_DeviceAdded, one.b, 1);
    EXPECT_EQ("", one.text());
    Buf none;
    getWeatherTypeAsString(WT_SMS, none.b, 0);
    IREventsEnumToStr(IR_Fan_On, none.b, -5);
    EXPECT_TRUE(none.untouched());
    Buf c;
    enumToConditionString(static_cast<TriggerCondition>(9), c.b, 4);
    EXPECT_EQ("unk", c.text());
    Buf i;
    IndexTypeEnumToStr(IDX_THERMOSTAT_SETPOINT_HEATING, i.b, 0, 27);
    EXPECT_EQ("THERMOSTAT SETPOINT HEATIN", i.text());
    Buf err;
    IndexTypeEnumToStr(IDX_NONE, err.b, 7, 6);
    EXPECT_EQ("#ERR:", err.text());
    Buf quiet;
    IndexTypeEnumToStr(IDX_BASIC, quiet.b, 2, 40);
    EXPECT_TRUE(quiet.untouched());
    // A null buffer is ignored by every form.
    DevtypeEnumToStr(BinarySwitch, nullptr);
    DevtypeEnumToStr(BinarySwitch, nullptr, 10);
    IndexTypeEnumToStr(IDX_BASIC, nullptr, 0);
}

}  // namespace
