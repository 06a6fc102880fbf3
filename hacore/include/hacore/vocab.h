/**
 * @file
 * The hub's shared vocabularies: the codes stored in records and sent on the
 * wire, and the functions that name them both ways.
 *
 * Every enumeration is a signed 32-bit code (fixed underlying type, so any
 * stored value is a valid object of the type, named or not).
 *
 * Enumerator naming, chosen so that no two enumerations can collide:
 * | Enumeration      | Enumerators                                | Example           |
 * |------------------|--------------------------------------------|-------------------|
 * | DevType          | the device-type name itself                | BinarySwitch      |
 * | EventType        | EV_ + name                                 | EV_DeviceAdded    |
 * | WeatherType      | WT_ + name                                 | WT_SunRiseTime    |
 * | IREvents         | IR_ + name, blanks as '_'                  | IR_Fan_On         |
 * | TriggerCondition | TC_ + name                                 | TC_ge             |
 * | ClientType       | CT_ + name                                 | CT_router_switch  |
 * | UserType         | UT_ + name                                 | UT_Kids           |
 * | ozw_*            | OZW_ + name (+ a group word where needed)  | OZW_Code_None     |
 * | IndexType        | IDX_ + name in upper case, blanks as '_'   | IDX_SWITCH_BINARY |
 *
 * 56 "THERMOSTAT_MODE" and 61 "THERMOSTAT_FAN_STATE", the Nest spellings,
 * would clash with 35 and 40 and are IDX_NEST_THERMOSTAT_MODE and
 * IDX_NEST_THERMOSTAT_FAN_STATE.
 *
 * Buffer sizes. The functions that copy a name into the caller's buffer
 * without a length need a buffer for the longest text they can write plus its
 * terminating zero:
 * - DevtypeEnumToStr(), getEventAsString(), getWeatherTypeAsString(),
 *   IREventsEnumToStr(), enumToConditionString(): #kVocabTextSize (26) bytes
 *   ("VibrationOrMovementSensor" is the longest name, 25 characters).
 * - IndexTypeEnumToStr(): #kIndexTypeTextSize (28) bytes. "THERMOSTAT SETPOINT
 *   HEATING" and "... COOLING" are 27 characters, so a 27-byte buffer is one
 *   byte short for those two codes.
 *
 * New code should prefer the bounded overloads, which take the buffer's
 * length, cut the text to fit and always terminate it.
 *
 * Several names are spelt irregularly (StrToDevType() beside
 * DevtypeEnumToStr(), stringToConditionenum(), StringToUsertype(),
 * UserTypetoString(), the OperationCodeenumToString() family): they are the
 * exported interface and are kept as they are.
 */
#pragma once

#include <cstdint>

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// Buffer size (bytes) that holds any DevType name with its terminator.
constexpr int kDevTypeTextSize = 26;
/// Buffer size (bytes) for any name of the five unbounded converters.
constexpr int kVocabTextSize = 26;
/// Buffer size (bytes) for any text IndexTypeEnumToStr() writes.
constexpr int kIndexTypeTextSize = 28;

/// Device type, stored in the device record by name and sent in packets.
/// 0 means no type; codes 69 and above have no name.
enum DevType : int32_t {
    UnknownDeviceType = 0,  ///< no type; also the fallback of StrToDevType()
    BinarySwitch = 1,
    MultilevelSwitch = 2,
    BinarySensor = 3,
    MultilevelSwitchOnOff = 4,
    DoorLock = 5,
    Alarm = 6,
    Thermostat = 7,
    Gateway = 8,
    SceneController = 9,
    StandardCIE = 10,
    MotionSensor = 11,
    ContactSwitch = 12,
    FireSensor = 13,
    WaterSensor = 14,
    GasSensor = 15,
    PersonalEmergencyDevice = 16,
    VibrationOrMovementSensor = 17,
    RemoteControl = 18,
    KeyFob = 19,
    Keypad = 20,
    StandardWarningDevice = 21,
    SmartACSwitch = 22,
    SmartDCSwitch = 23,
    OccupancySensor = 24,
    LightSensor = 25,
    WindowCovering = 26,
    TemperatureSensor = 27,
    ZigbeeDoorLock = 28,
    ZigbeeTempSensor = 29,
    PressureSensor = 30,
    FlowSensor = 31,
    ColorDimmableLight = 32,
    HAPump = 33,
    Shade = 34,
    MultilevelSensor = 35,
    SmokeDetector = 36,
    FloodSensor = 37,
    ShockSensor = 38,
    DoorSensor = 39,
    MoistureSensor = 40,
    MovementSensor = 41,
    Siren = 42,
    MultiSwitch = 43,
    UnknownOnOffModule = 44,
    BinaryPowerSwitch = 45,
    SetPointThermostat = 46,
    UnknownThermostat = 47,
    HueLamp = 48,
    MultiSensor = 49,
    QuentrixSmartSwitch = 50,
    CentraliteDimmer = 51,
    RollerShutter = 52,
    GarageDoorOpener = 53,
    ZWtoACIRExtender = 54,
    MultiSoundSiren = 55,
    EnergyReader = 56,
    NestThermostat = 57,
    NestSmokeDetector = 58,
    NotificationSensor = 59,
    GenericDevice = 60,
    QuentrixButton = 61,
    ZenThermostat = 62,
    HalvixSiren = 63,
    HalvixBlink = 64,
    ZBIRExtender = 65,
    NestCam = 66,
    ZigbeeCamImage = 67,
    ZigbeeCamVideo = 68,
};

/// What changed: the type of an Event from the HA server. Code 26 has no
/// name.
enum EventType : int32_t {
    EV_Unknown = 0,  ///< no event; also the fallback of getEventTypeFromString()
    EV_DeviceAdded = 1,
    EV_DeviceRemoved = 2,
    EV_DeviceRemoveAll = 3,
    EV_DeviceUpdated = 4,
    EV_SceneAdded = 5,
    EV_SceneRemoved = 6,
    EV_SceneUpdated = 7,
    EV_SceneRemoveAll = 8,
    EV_SceneActivated = 9,
    EV_SceneDeactivated = 10,
    EV_RuleAdded = 11,
    EV_RuleRemoved = 12,
    EV_RuleUpdated = 13,
    EV_RuleRemoveAll = 14,
    EV_HalvixModeUpdated = 15,
    EV_ClientJoined = 16,
    EV_ClientLeft = 17,
    EV_ClientUpdated = 18,
    EV_ClientRemoved = 19,
    EV_ClientRemoveAll = 20,
    EV_NetworkUpdated = 21,
    EV_HalvixUpdated = 22,  ///< a hub setting changed (HalvixSettingEvent)
    EV_MeshSlaveAdded = 23,
    EV_MeshSlaveRemoved = 24,
    EV_MeshSlaveUpdated = 25,
    EV_MeshSlaveRemoveAll = 27,
    EV_DelayedArm = 28,  ///< sent by HADevices::Delayedarm()
};

/// Kind of a weather or notification rule item (RuleTrigger::weatherKind).
enum WeatherType : int32_t {
    WT_Unknown = 0,  ///< fallback of getWeatherTypeFromString()
    WT_SunRiseTime = 1,
    WT_SunSetTime = 2,
    WT_WeatherCondition = 3,
    WT_Temperature = 4,
    WT_Humidity = 5,
    WT_Pressure = 6,
    WT_SMS = 7,
    WT_Email = 8,
    WT_PushMessage = 9,
};

/// Key of an infrared remote.
enum IREvents : int32_t {
    IR_Default = 0,  ///< fallback of StrToIREventsEnum()
    IR_On = 1,
    IR_Off = 2,
    IR_Menu = 3,
    IR_Next = 4,
    IR_Back = 5,
    IR_Up = 6,
    IR_Down = 7,
    IR_OK = 8,
    IR_Volume = 9,
    IR_Play = 10,
    IR_Stop = 11,
    IR_Pause = 12,
    IR_Cool = 13,
    IR_Heat = 14,
    IR_Auto = 15,
    IR_Dry = 16,
    IR_Sleep = 17,
    IR_Fan_On = 18,
    IR_Fan_Off = 19,
    IR_Fan_Speed = 20,
    IR_Swing_On = 21,
    IR_Swing_Off = 22,
    IR_Set_Timer = 23,
    IR_Set_Temp = 24,
    IR_Channel = 25,
};

/// Comparison operator of a rule trigger (RuleTrigger::condition).
enum TriggerCondition : int32_t {
    TC_eq = 0,  ///< equal; also the fallback of stringToConditionenum()
    TC_le = 1,  ///< less or equal
    TC_ge = 2,  ///< greater or equal
    TC_lt = 3,  ///< less than
    TC_gt = 4,  ///< greater than
};

/// Kind of a network client on the LAN (ClientBin::type).
enum ClientType : int32_t {
    CT_pc = 0,
    CT_laptop = 1,
    CT_tablet = 2,
    CT_smartphone = 3,
    CT_ipod = 4,
    CT_ipad = 5,
    CT_iphone = 6,
    CT_mac = 7,
    CT_printer = 8,
    CT_router_switch = 9,
    CT_hub = 10,
    CT_tv = 11,
    CT_chromecast = 12,
    CT_appleTV = 13,
    CT_android_stick = 14,
    CT_camera = 15,
    CT_nest = 16,
    CT_amazon_echo = 17,
    CT_amazon_dash = 18,
    CT_other = 19,        ///< fallback of stringToClientType() and ClientTypeToString()
    CT_identifying = 20,  ///< still being identified
    CT_philips_hue = 21,
    CT_scout_home_system = 22,
    CT_skybell_wifi = 23,
    CT_august_connect = 24,
    CT_canary = 25,
    CT_piper = 26,
    CT_ring_doorbell = 27,
    CT_samsung_smartthings = 28,
    CT_belkin_wemo = 29,
    CT_sonos = 30,
    CT_airplay_speakers = 31,
    CT_wink = 32,
    CT_ge_appliances = 33,
    CT_honeywell_appliances = 34,
    CT_osram_lightify = 35,
    CT_ibaby_monitor = 36,
    CT_motorola_connect = 37,
    CT_foscam = 38,
    CT_hikvision = 39,
    CT_dlink_cameras = 40,
    CT_withings = 41,
    CT_generic = 42,
};

/// Who uses a client (ClientBin::userType).
enum UserType : int32_t {
    UT_Others = 0,  ///< anyone; also the fallback of StringToUsertype()
    UT_Kids = 1,    ///< children
};

/// Operation code of a Z-Wave server packet (OZWPacket::operation); the
/// names are for logs only.
enum ozw_OperationCode : int32_t {
    OZW_Code_None = 0,
    OZW_Code_ControllerCommandOperation = 1,
    OZW_Code_SetValueOperation = 2,
    OZW_Code_GetValueOperation = 3,
    OZW_Code_CancelCommandOperation = 4,
    OZW_Code_ResetCommandOperation = 5,
    OZW_Code_DisableNotificationOperation = 6,
    OZW_Code_EnableNotificationOperation = 7,
    OZW_Code_ControllerUpdateOperation = 8,
    OZW_Code_NotificationOperation = 9,
    OZW_Code_SetSwitchAllOn = 10,
    OZW_Code_SetSwitchAllOff = 11,
    OZW_Code_SendTestPackets = 12,
    OZW_Code_SetRxPowerUp = 13,
    OZW_Code_SetRxPowerDown = 14,
    OZW_Code_UpdateValueOperation = 15,
};

/// Controller command of the Z-Wave server (named for logs only).
enum ozw_ControllerCommand : int32_t {
    OZW_ControllerCommand_None = 0,
    OZW_ControllerCommand_AddDevice = 1,
    OZW_ControllerCommand_CreateNewPrimary = 2,
    OZW_ControllerCommand_ReceiveConfiguration = 3,
    OZW_ControllerCommand_RemoveDevice = 4,
    OZW_ControllerCommand_RemoveFailedNode = 5,
    OZW_ControllerCommand_HasNodeFailed = 6,
    OZW_ControllerCommand_ReplaceFailedNode = 7,
    OZW_ControllerCommand_TransferPrimaryRole = 8,
    OZW_ControllerCommand_RequestNetworkUpdate = 9,
    OZW_ControllerCommand_RequestNodeNeighborUpdate = 10,
    OZW_ControllerCommand_AssignReturnRoute = 11,
    OZW_ControllerCommand_DeleteAllReturnRoutes = 12,
    OZW_ControllerCommand_SendNodeInformation = 13,
    OZW_ControllerCommand_ReplicationSend = 14,
    OZW_ControllerCommand_CreateButton = 15,
    OZW_ControllerCommand_DeleteButton = 16,
};

/// Type of a Z-Wave server notification (named for logs only).
enum ozw_NotificationType : int32_t {
    OZW_Type_ValueAdded = 0,
    OZW_Type_ValueRemoved = 1,
    OZW_Type_ValueChanged = 2,
    OZW_Type_ValueRefreshed = 3,
    OZW_Type_Group = 4,
    OZW_Type_NodeNew = 5,
    OZW_Type_NodeAdded = 6,
    OZW_Type_NodeRemoved = 7,
    OZW_Type_NodeProtocolInfo = 8,
    OZW_Type_NodeNaming = 9,
    OZW_Type_NodeEvent = 10,
    OZW_Type_PollingDisabled = 11,
    OZW_Type_PollingEnabled = 12,
    OZW_Type_SceneEvent = 13,
    OZW_Type_CreateButton = 14,
    OZW_Type_DeleteButton = 15,
    OZW_Type_ButtonOn = 16,
    OZW_Type_ButtonOff = 17,
    OZW_Type_DriverReady = 18,
    OZW_Type_DriverFailed = 19,
    OZW_Type_DriverReset = 20,
    OZW_Type_EssentialNodeQueriesComplete = 21,
    OZW_Type_NodeQueriesComplete = 22,
    OZW_Type_AwakeNodesQueried = 23,
    OZW_Type_AllNodesQueriedSomeDead = 24,
    OZW_Type_AllNodesQueried = 25,
    OZW_Type_Notification = 26,
};

/// State of the Z-Wave controller (named for logs only).
enum ozw_ControllerState : int32_t {
    OZW_ControllerState_Normal = 0,
    OZW_ControllerState_Starting = 1,
    OZW_ControllerState_Cancel = 2,
    OZW_ControllerState_Error = 3,
    OZW_ControllerState_Waiting = 4,
    OZW_ControllerState_Sleeping = 5,
    OZW_ControllerState_InProgress = 6,
    OZW_ControllerState_Completed = 7,
    OZW_ControllerState_Failed = 8,
    OZW_ControllerState_NodeOK = 9,
    OZW_ControllerState_NodeFailed = 10,
};

/// Error of the Z-Wave controller (named for logs only).
enum ozw_ControllerError : int32_t {
    OZW_ControllerError_None = 0,
    OZW_ControllerError_ButtonNotFound = 1,
    OZW_ControllerError_NodeNotFound = 2,
    OZW_ControllerError_NotBridge = 3,
    OZW_ControllerError_NotSUC = 4,
    OZW_ControllerError_NotSecondary = 5,
    OZW_ControllerError_NotPrimary = 6,
    OZW_ControllerError_IsPrimary = 7,
    OZW_ControllerError_NotFound = 8,
    OZW_ControllerError_Busy = 9,
    OZW_ControllerError_Failed = 10,
    OZW_ControllerError_Disabled = 11,
    OZW_ControllerError_Overflow = 12,
};

/// Genre of a Z-Wave value (OZWPacket::genre).
enum ozw_ValueGenre : int32_t {
    OZW_ValueGenre_Basic = 0,
    OZW_ValueGenre_User = 1,
    OZW_ValueGenre_Config = 2,
    OZW_ValueGenre_System = 3,
    OZW_ValueGenre_Count = 4,
};

/// Data type of a Z-Wave value (OZWPacket::valueType).
enum ozw_ValueType : int32_t {
    OZW_ValueType_Bool = 0,
    OZW_ValueType_Byte = 1,
    OZW_ValueType_Decimal = 2,
    OZW_ValueType_Int = 3,
    OZW_ValueType_List = 4,
    OZW_ValueType_Schedule = 5,
    OZW_ValueType_String = 6,
    OZW_ValueType_Short = 7,
    OZW_ValueType_Button = 8,
    OZW_ValueType_Raw = 9,
};

/// Type of a value index (ValueRecord::indexType). 0 means no type. 78 and
/// 101-107 are known to StrToIndexTypeEnum() and the catalogue but
/// IndexTypeEnumToStr() does not name them; 119-127 are unused.
enum IndexType : int32_t {
    IDX_NONE = 0,  ///< no type; also the fallback of StrToIndexTypeEnum()
    IDX_SWITCH_BINARY = 1,
    IDX_SENSOR_BINARY = 2,
    IDX_MOTION_STATE = 3,
    IDX_DOOR_STATE = 4,
    IDX_VIBRATION_STATE = 5,
    IDX_WATER_STATE = 6,
    IDX_GAS_STATE = 7,
    IDX_FIRE_STATE = 8,
    IDX_TAMPER = 9,
    IDX_PANIC_ALARM = 10,
    IDX_EMER_ALARM = 11,
    IDX_LOW_BATTERY = 12,
    IDX_ALARM_STATE = 13,
    IDX_BASIC = 14,
    IDX_SMOKE_STATE = 15,
    IDX_FLOOD_STATE = 16,
    IDX_SWITCH_MULTILEVEL = 17,
    IDX_DIMMER_LEVEL = 18,
    IDX_SWITCH_MULTISOUND = 19,
    IDX_SHUTTER_LEVEL = 20,
    IDX_BASIC_EXTENDER = 21,
    IDX_LOCK_STATE = 22,
    IDX_LOCK_STATE_ZB = 23,
    IDX_ARMMODE = 24,
    IDX_TEMPERATURE = 25,
    IDX_PRESSURE = 26,
    IDX_HUMIDITY = 27,
    IDX_ILLUMINANCE = 28,
    IDX_ILLUMINANCE_PERCENT = 29,
    IDX_HUE = 30,
    IDX_HUE_ZB = 31,
    IDX_SATURATION = 32,
    IDX_COLOR_TEMPERATURE = 33,
    IDX_POWER = 34,
    IDX_THERMOSTAT_MODE = 35,
    IDX_THERMOSTAT_OPERATING_STATE = 36,
    IDX_THERMOSTAT_SETPOINT_HEATING = 37,
    IDX_THERMOSTAT_SETPOINT_COOLING = 38,
    IDX_THERMOSTAT_FAN_MODE = 39,
    IDX_THERMOSTAT_FAN_STATE = 40,
    IDX_THERMOSTAT_SETPOINT = 41,
    IDX_UP_DOWN = 42,
    IDX_STOP = 43,
    IDX_BARRIER_OPERATOR = 44,
    IDX_AC_MODE = 45,
    IDX_AC_SETPOINT_HEATING = 46,
    IDX_AC_SETPOINT_COOLING = 47,
    IDX_AC_FAN_MODE = 48,
    IDX_AC_SWING = 49,
    IDX_BATTERY = 50,
    IDX_IR_CODE = 51,
    IDX_VOLTAGE = 52,
    IDX_CURRENT = 53,
    IDX_RETAIN_STATE = 54,
    IDX_NEST_ID = 55,
    IDX_NEST_THERMOSTAT_MODE = 56,
    IDX_THERMOSTAT_TARGET = 57,
    IDX_THERMOSTAT_RANGE_LOW = 58,
    IDX_THERMOSTAT_RANGE_HIGH = 59,
    IDX_AWAY_MODE = 60,
    IDX_NEST_THERMOSTAT_FAN_STATE = 61,
    IDX_ISONLINE = 62,
    IDX_CAN_COOL = 63,
    IDX_CAN_HEAT = 64,
    IDX_IS_USING_EMERGENCY_HEAT = 65,
    IDX_HAS_FAN = 66,
    IDX_HVAC_STATE = 67,
    IDX_HAS_LEAF = 68,
    IDX_RESPONSE_CODE = 69,
    IDX_CO_ALARM_STATE = 70,
    IDX_SMOKE_ALARM_STATE = 71,
    IDX_HUE_BRIDGE_ID = 72,
    IDX_EFFECT = 73,
    IDX_COLOUR_MODE = 74,
    IDX_HUE_BULB_ID = 75,
    IDX_USER_NAME = 76,
    IDX_REACHABLE = 77,
    IDX_BATTERY_NEST = 78,
    IDX_MAXIMUM_USERS = 79,
    IDX_ENERGY = 80,
    IDX_USER_CODE = 81,
    IDX_CLAMP1_POWER = 82,
    IDX_CLAMP2_POWER = 83,
    IDX_CLAMP1_ENERGY = 84,
    IDX_CLAMP2_ENERGY = 85,
    IDX_ACTIVE_POWER = 86,
    IDX_GENERIC_STRING = 87,
    IDX_GENERIC_INT = 88,
    IDX_GENERIC_DOUBLE = 89,
    IDX_GENERIC_BOOL = 90,
    IDX_PRESS = 91,
    IDX_CUSTOM_MESSAGE = 92,
    IDX_BUZZ_STATE = 93,
    IDX_LED_STATE = 94,
    IDX_TONE = 95,
    IDX_VOLUME = 96,
    IDX_BLINK_STATE = 97,
    IDX_RGB = 98,
    IDX_SECONDS = 99,
    IDX_ENABLE = 100,
    IDX_OCCUPANCY_STATE = 101,
    IDX_ALARM_BINARY = 102,
    IDX_AC_SWITCH_BINARY = 103,
    IDX_HUE_SWITCH_BINARY = 104,
    IDX_MULTILEVEL_BINARY = 105,
    IDX_MULTI_SWITCH_BINARY1 = 106,
    IDX_MULTI_SWITCH_BINARY2 = 107,
    IDX_METERING_CURRENT = 108,
    IDX_METERING_UNIT = 109,
    IDX_METERING_MULTIPLIER = 110,
    IDX_METERING_DIVISOR = 111,
    IDX_SYSTEM_MODE = 112,
    IDX_IRDEVICE_DATA = 113,
    IDX_SELECT_LED = 114,
    IDX_IRBUTTON_DATA = 115,
    IDX_WINDOW_COVERING_MODE = 116,
    IDX_GESTURESENSOR = 117,
    IDX_SECURITYDEVICE = 118,
    IDX_CAPTUREIMAGE = 128,
    IDX_MODE = 129,
    IDX_IMAGES_COUNT = 130,
    IDX_RESOLUTION = 131,
    IDX_CAPTUREVIDEO = 132,
    IDX_SETARMMODEVIDEO = 133,
};

/// Writes the name of a device type into `out` (at least #kDevTypeTextSize
/// bytes); "UnknownDeviceType" for a code without a name.
void DevtypeEnumToStr(DevType type, char* out);
/// Writes the name of an event type into `out` (at least #kVocabTextSize
/// bytes), without the EV_ prefix; "Unknown" for a code without a name.
void getEventAsString(EventType type, char* out);
/// Writes the name of a weather type into `out` (at least #kVocabTextSize
/// bytes); "Unknown" for a code without a name.
void getWeatherTypeAsString(WeatherType type, char* out);
/// Writes the name of an infrared key into `out` (at least #kVocabTextSize
/// bytes); "Default" for a code without a name.
void IREventsEnumToStr(IREvents ev, char* out);
/// Writes the name of a trigger condition ("eq", "le", ...) into `out` (at
/// least #kVocabTextSize bytes); "unknown" for a code without a name.
void enumToConditionString(TriggerCondition cond, char* out);

/// Device type of a name (whole string, case-sensitive); UnknownDeviceType for
/// anything else, including a null pointer. The name is only read.
DevType StrToDevType(char* name);
/// Event type of a name; EV_Unknown for anything else (or null).
EventType getEventTypeFromString(char* name);
/// Weather type of a name; WT_Unknown for anything else (or null).
WeatherType getWeatherTypeFromString(char* name);
/// Infrared key of a name; IR_Default for anything else (or null).
IREvents StrToIREventsEnum(const char* name);
/// Trigger condition of a name; TC_eq for anything else (or null). The
/// lower-case "enum" is the exported spelling.
TriggerCondition stringToConditionenum(char* name);
/// Client type of a name; CT_other for anything else (or null).
ClientType stringToClientType(char* name);
/// User type of a name; UT_Others for anything else (or null). The spelling
/// "Usertype" is the exported one.
UserType StringToUsertype(char* name);

/// Name of a client type; "other" for a code without a name. A constant:
/// never free or change it (the same holds for the converters below).
const char* ClientTypeToString(ClientType type);
/// Name of a user type; "Other" for a code without a name.
const char* UserTypetoString(UserType type);
/// Name of a Z-Wave operation code; "Unknown Operation" otherwise.
const char* OperationCodeenumToString(ozw_OperationCode code);
/// Name of a Z-Wave controller command; "Unknown ControllerCommand" otherwise.
const char* ControllerCommandenumToString(ozw_ControllerCommand cmd);
/// Name of a Z-Wave notification type; "Unknown Notification" otherwise.
const char* NotificationenumToString(ozw_NotificationType type);
/// Name of a Z-Wave controller state; ": unknown respose." (sic) otherwise.
const char* controllerStateStr(ozw_ControllerState state);
/// Name of a Z-Wave controller error; "Unknown error" otherwise.
const char* controllerErrorStr(ozw_ControllerError err);
/// Name of a Z-Wave value genre; "unknown" otherwise.
const char* enumValueGenreStr(ozw_ValueGenre genre);
/// Name of a Z-Wave value type; "unknown" otherwise.
const char* valueTypeStr(ozw_ValueType type);

/// Name of a Z-Wave command class by number ("NO OPERATION" for an unknown
/// number); a constant string.
const char* cclassStr(unsigned char cc);
/// Number of a Z-Wave command class by name; 255 for an unknown name.
unsigned char cclassNum(const char* name);

/// Value type the Z-Wave server expects for a configuration parameter of
/// `size` bytes: 2 Short, 4 Int, any other size (1 and 3 included) Byte.
ozw_ValueType GetSizeOfValueType(int size);

/// Writes a text of an index type into `out` (at least #kIndexTypeTextSize
/// bytes): in mode 0 its name ("SWITCH BINARY"), in mode 1 its data-type label
/// ("Bool"); other modes write nothing. Codes without a name write
/// "#ERR:Invalid Index Type" in every mode.
void IndexTypeEnumToStr(IndexType type, char* out, int mode);
/// Index type of a name as the device records store it; IDX_NONE for an
/// unknown name (or null).
IndexType StrToIndexTypeEnum(const char* name);

/// Bounded form of DevtypeEnumToStr(DevType, char*): the same text cut to
/// `len` - 1 characters and always terminated; nothing is written when `len`
/// <= 0.
void DevtypeEnumToStr(DevType type, char* out, int len);
/// Bounded form of getEventAsString(EventType, char*), as for
/// DevtypeEnumToStr(DevType, char*, int).
void getEventAsString(EventType type, char* out, int len);
/// Bounded form of getWeatherTypeAsString(WeatherType, char*), as for
/// DevtypeEnumToStr(DevType, char*, int).
void getWeatherTypeAsString(WeatherType type, char* out, int len);
/// Bounded form of IREventsEnumToStr(IREvents, char*), as for
/// DevtypeEnumToStr(DevType, char*, int).
void IREventsEnumToStr(IREvents ev, char* out, int len);
/// Bounded form of enumToConditionString(TriggerCondition, char*), as for
/// DevtypeEnumToStr(DevType, char*, int).
void enumToConditionString(TriggerCondition cond, char* out, int len);
/// Bounded form of IndexTypeEnumToStr(IndexType, char*, int): the text cut to
/// `len` - 1 characters and terminated; nothing is written when `len` <= 0,
/// nor for a named code in a mode other than 0 or 1.
void IndexTypeEnumToStr(IndexType type, char* out, int mode, int len);

#pragma GCC visibility pop
