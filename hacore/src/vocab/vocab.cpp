// Names of the shared vocabularies, both ways. Every enumeration is a table
// of code/name rows; a row may serve only one direction where the stored
// data and the peers have always spelled a name differently on the way in
// and on the way out.
#include "hacore/vocab.h"

#include <cstddef>
#include <cstring>

namespace {

enum Dir : unsigned char {
    kBoth,       // written and accepted
    kWriteOnly,  // written for the code, not accepted back
    kReadOnly,   // accepted for the code, never written
};

struct Name {
    int32_t code;
    const char* name;
    Dir dir = kBoth;
};

// Index types carry their data-type label as well (null for read-only rows).
struct IndexName {
    int32_t code;
    const char* name;
    const char* label;
    Dir dir = kBoth;
};

template <class Row, size_t N>
const Row* byCode(const Row (&table)[N], int32_t code) {
    for (const Row& r : table)
        if (r.code == code && r.dir != kReadOnly) return &r;
    return nullptr;
}

template <class Row, size_t N>
const Row* byName(const Row (&table)[N], const char* name) {
    if (!name) return nullptr;
    for (const Row& r : table)
        if (r.dir != kWriteOnly && std::strcmp(r.name, name) == 0) return &r;
    return nullptr;
}

template <size_t N>
const char* nameOf(const Name (&table)[N], int32_t code, const char* fallback) {
    const Name* r = byCode(table, code);
    return r ? r->name : fallback;
}

template <size_t N>
int32_t codeOf(const Name (&table)[N], const char* name, int32_t fallback) {
    const Name* r = byName(table, name);
    return r ? r->code : fallback;
}

// The exported forms take no length: the caller sizes the buffer by the
// longest name (see vocab.h).
void put(char* out, const char* text) {
    if (out) std::memcpy(out, text, std::strlen(text) + 1);
}

void putBounded(char* out, int len, const char* text) {
    if (!out || len <= 0) return;
    size_t n = strnlen(text, static_cast<size_t>(len) - 1);
    std::memcpy(out, text, n);
    out[n] = '\0';
}

const Name kDevTypes[] = {
    {BinarySwitch, "BinarySwitch"},
    {MultilevelSwitch, "MultilevelSwitch"},
    {BinarySensor, "BinarySensor"},
    {MultilevelSwitchOnOff, "MultilevelSwitchOnOff"},
    {DoorLock, "DoorLock"},
    {Alarm, "Alarm"},
    {Thermostat, "Thermostat"},
    {Gateway, "Gateway"},
    {SceneController, "SceneController"},
    {StandardCIE, "StandardCIE"},
    {MotionSensor, "MotionSensor"},
    {ContactSwitch, "ContactSwitch"},
    {FireSensor, "FireSensor"},
    {WaterSensor, "WaterSensor"},
    {GasSensor, "GasSensor"},
    {PersonalEmergencyDevice, "PersonalEmergencyDevice"},
    {VibrationOrMovementSensor, "VibrationOrMovementSensor"},
    {RemoteControl, "RemoteControl"},
    {KeyFob, "KeyFob"},
    {Keypad, "Keypad"},
    {StandardWarningDevice, "StandardWarningDevice"},
    {SmartACSwitch, "SmartACSwitch"},
    {SmartDCSwitch, "SmartDCSwitch"},
    {OccupancySensor, "OccupancySensor"},
    {LightSensor, "LightSensor"},
    {WindowCovering, "WindowCovering"},
    {TemperatureSensor, "TemperatureSensor"},
    {ZigbeeDoorLock, "ZigbeeDoorLock"},
    {ZigbeeTempSensor, "ZigbeeTempSensor"},
    {PressureSensor, "PressureSensor"},
    {FlowSensor, "FlowSensor"},
    {ColorDimmableLight, "ColorDimmableLight"},
    {HAPump, "HAPump"},
    {Shade, "Shade"},
    {MultilevelSensor, "MultilevelSensor"},
    {SmokeDetector, "SmokeDetector"},
    {FloodSensor, "FloodSensor"},
    {ShockSensor, "ShockSensor"},
    {DoorSensor, "DoorSensor"},
    {MoistureSensor, "MoistureSensor"},
    {MovementSensor, "MovementSensor"},
    {Siren, "Siren"},
    {MultiSwitch, "MultiSwitch"},
    {UnknownOnOffModule, "UnknownOnOffModule"},
    {BinaryPowerSwitch, "BinaryPowerSwitch"},
    {SetPointThermostat, "SetPointThermostat"},
    {UnknownThermostat, "UnknownThermostat"},
    {HueLamp, "HueLamp"},
    {MultiSensor, "MultiSensor"},
    {QuentrixSmartSwitch, "QuentrixSmartSwitch"},
    {CentraliteDimmer, "CentraliteDimmer"},
    {RollerShutter, "RollerShutter"},
    {GarageDoorOpener, "GarageDoorOpener"},
    {ZWtoACIRExtender, "ZWtoACIRExtender"},
    {MultiSoundSiren, "MultiSoundSiren"},
    {EnergyReader, "EnergyReader"},
    {NestThermostat, "NestThermostat"},
    {NestSmokeDetector, "NestSmokeDetector"},
    {NotificationSensor, "NotificationSensor"},
    {GenericDevice, "GenericDevice"},
    {QuentrixButton, "QuentrixButton"},
    {ZenThermostat, "ZenThermostat"},
    {HalvixSiren, "HalvixSiren"},
    {HalvixBlink, "HalvixBlink"},
    {ZBIRExtender, "ZBIRExtender"},
    {NestCam, "NestCam"},
    {ZigbeeCamImage, "ZigbeeCamImage"},
    {ZigbeeCamVideo, "ZigbeeCamVideo"},
};

const Name kEventTypes[] = {
    {EV_DeviceAdded, "DeviceAdded"},
    {EV_DeviceRemoved, "DeviceRemoved"},
    {EV_DeviceRemoveAll, "DeviceRemoveAll"},
    {EV_DeviceUpdated, "DeviceUpdated"},
    {EV_SceneAdded, "SceneAdded"},
    {EV_SceneRemoved, "SceneRemoved"},
    {EV_SceneUpdated, "SceneUpdated"},
    {EV_SceneRemoveAll, "SceneRemoveAll"},
    {EV_SceneActivated, "SceneActivated"},
    // The HA server and stored rules use the odd spellings on the way in.
    {EV_SceneDeactivated, "SceneDeactivated", kWriteOnly},
    {EV_SceneDeactivated, "SceneInDeactivated", kReadOnly},
    {EV_RuleAdded, "RuleAdded"},
    {EV_RuleRemoved, "RuleRemoved"},
    {EV_RuleUpdated, "RuleUpdated", kWriteOnly},
    {EV_RuleUpdated, "RuleUpdate", kReadOnly},
    {EV_RuleRemoveAll, "RuleRemoveAll"},
    {EV_HalvixModeUpdated, "HalvixModeUpdated"},
    {EV_ClientJoined, "ClientJoined"},
    {EV_ClientLeft, "ClientLeft"},
    {EV_ClientUpdated, "ClientUpdated"},
    {EV_ClientRemoved, "ClientRemoved"},
    {EV_ClientRemoveAll, "ClientRemoveAll"},
    {EV_NetworkUpdated, "NetworkUpdated"},
    {EV_HalvixUpdated, "HalvixUpdated"},
    {EV_MeshSlaveAdded, "MeshSlaveAdded"},
    {EV_MeshSlaveRemoved, "MeshSlaveRemoved"},
    {EV_MeshSlaveUpdated, "MeshSlaveUpdated"},
    // Named, but not taken back.
    {EV_MeshSlaveRemoveAll, "MeshSlaveRemoveAll", kWriteOnly},
    {EV_DelayedArm, "DelayedArm", kWriteOnly},
};

const Name kWeatherTypes[] = {
    {WT_SunRiseTime, "SunRiseTime"},
    {WT_SunSetTime, "SunSetTime"},
    {WT_WeatherCondition, "WeatherCondition"},
    {WT_Temperature, "Temperature"},
    {WT_Humidity, "Humidity"},
    {WT_Pressure, "Pressure"},
    {WT_SMS, "SMS"},
    {WT_Email, "Email"},
    {WT_PushMessage, "PushMessage"},
};

const Name kIREvents[] = {
    {IR_Default, "Default"},
    {IR_On, "On"},
    {IR_Off, "Off"},
    {IR_Menu, "Menu"},
    {IR_Next, "Next"},
    {IR_Back, "Back"},
    {IR_Up, "Up"},
    {IR_Down, "Down"},
    {IR_OK, "OK"},
    {IR_Volume, "Volume"},
    {IR_Play, "Play"},
    {IR_Stop, "Stop"},
    {IR_Pause, "Pause"},
    {IR_Cool, "Cool"},
    {IR_Heat, "Heat"},
    {IR_Auto, "Auto"},
    {IR_Dry, "Dry"},
    {IR_Sleep, "Sleep"},
    {IR_Fan_On, "Fan On"},
    {IR_Fan_Off, "Fan Off"},
    {IR_Fan_Speed, "Fan Speed"},
    {IR_Swing_On, "Swing On"},
    {IR_Swing_Off, "Swing Off"},
    {IR_Set_Timer, "Set Timer"},
    {IR_Set_Temp, "Set Temp"},
    {IR_Channel, "Channel"},
};

const Name kConditions[] = {
    {TC_eq, "eq"}, {TC_le, "le"}, {TC_ge, "ge"}, {TC_lt, "lt"}, {TC_gt, "gt"},
};

const Name kClientTypes[] = {
    {CT_pc, "pc"},
    {CT_laptop, "laptop"},
    {CT_tablet, "tablet"},
    {CT_smartphone, "smartphone"},
    {CT_ipod, "ipod"},
    {CT_ipad, "ipad"},
    {CT_iphone, "iphone"},
    {CT_mac, "mac"},
    {CT_printer, "printer"},
    {CT_router_switch, "router_switch"},
    {CT_hub, "hub"},
    {CT_tv, "tv"},
    {CT_chromecast, "chromecast"},
    {CT_appleTV, "appleTV"},
    {CT_android_stick, "android_stick"},
    {CT_camera, "camera"},
    {CT_nest, "nest"},
    {CT_amazon_echo, "amazon_echo"},
    {CT_amazon_dash, "amazon_dash"},
    {CT_other, "other"},
    {CT_identifying, "identifying"},
    {CT_philips_hue, "philips_hue"},
    {CT_scout_home_system, "scout_home_system"},
    {CT_skybell_wifi, "skybell_wifi"},
    {CT_august_connect, "august_connect"},
    {CT_canary, "canary"},
    {CT_piper, "piper"},
    {CT_ring_doorbell, "ring_doorbell"},
    {CT_samsung_smartthings, "samsung_smartthings"},
    {CT_belkin_wemo, "belkin_wemo"},
    {CT_sonos, "sonos"},
    {CT_airplay_speakers, "airplay_speakers"},
    {CT_wink, "wink"},
    {CT_ge_appliances, "ge_appliances"},
    {CT_honeywell_appliances, "honeywell_appliances"},
    {CT_osram_lightify, "osram_lightify"},
    {CT_ibaby_monitor, "ibaby_monitor"},
    {CT_motorola_connect, "motorola_connect"},
    {CT_foscam, "foscam"},
    {CT_hikvision, "hikvision"},
    {CT_dlink_cameras, "dlink_cameras"},
    {CT_withings, "withings"},
    {CT_generic, "generic"},
};

const Name kUserTypes[] = {
    {UT_Others, "Others"},
    {UT_Kids, "Kids"},
};

const Name kOperationCodes[] = {
    {OZW_Code_None, "Code_None"},
    {OZW_Code_ControllerCommandOperation, "Code_ControllerCommandOperation"},
    {OZW_Code_SetValueOperation, "Code_SetValueOperation"},
    {OZW_Code_GetValueOperation, "Code_GetValueOperation"},
    {OZW_Code_CancelCommandOperation, "Code_CancelCommandOperation"},
    {OZW_Code_ResetCommandOperation, "Code_ResetCommandOperation"},
    {OZW_Code_DisableNotificationOperation, "Code_DisableNotificationOperation"},
    {OZW_Code_EnableNotificationOperation, "Code_EnableNotificationOperation"},
    {OZW_Code_ControllerUpdateOperation, "Code_ControllerUpdateOperation"},
    {OZW_Code_NotificationOperation, "Code_NotificationOperation"},
    {OZW_Code_SetSwitchAllOn, "Code_SetSwitchAllOn"},
    {OZW_Code_SetSwitchAllOff, "Code_SetSwitchAllOff"},
    {OZW_Code_SendTestPackets, "Code_SendTestPackets"},
    {OZW_Code_SetRxPowerUp, "Code_SetRxPowerUp"},
    {OZW_Code_SetRxPowerDown, "Code_SetRxPowerDown"},
    {OZW_Code_UpdateValueOperation, "Code_UpdateValueOperation"},
};

const Name kControllerCommands[] = {
    {OZW_ControllerCommand_None, "ControllerCommand_None"},
    {OZW_ControllerCommand_AddDevice, "ControllerCommand_AddDevice"},
    {OZW_ControllerCommand_CreateNewPrimary, "ControllerCommand_CreateNewPrimary"},
    {OZW_ControllerCommand_ReceiveConfiguration, "ControllerCommand_ReceiveConfiguration"},
    {OZW_ControllerCommand_RemoveDevice, "ControllerCommand_RemoveDevice"},
    {OZW_ControllerCommand_RemoveFailedNode, "ControllerCommand_RemoveFailedNode"},
    {OZW_ControllerCommand_HasNodeFailed, "ControllerCommand_HasNodeFailed"},
    {OZW_ControllerCommand_ReplaceFailedNode, "ControllerCommand_ReplaceFailedNode"},
    {OZW_ControllerCommand_TransferPrimaryRole, "ControllerCommand_TransferPrimaryRole"},
    {OZW_ControllerCommand_RequestNetworkUpdate, "ControllerCommand_RequestNetworkUpdate"},
    {OZW_ControllerCommand_RequestNodeNeighborUpdate, "ControllerCommand_RequestNodeNeighborUpdate"},
    {OZW_ControllerCommand_AssignReturnRoute, "ControllerCommand_AssignReturnRoute"},
    {OZW_ControllerCommand_DeleteAllReturnRoutes, "ControllerCommand_DeleteAllReturnRoutes"},
    {OZW_ControllerCommand_SendNodeInformation, "ControllerCommand_SendNodeInformation"},
    {OZW_ControllerCommand_ReplicationSend, "ControllerCommand_ReplicationSend"},
    {OZW_ControllerCommand_CreateButton, "ControllerCommand_CreateButton"},
    {OZW_ControllerCommand_DeleteButton, "ControllerCommand_DeleteButton"},
};

const Name kNotificationTypes[] = {
    {OZW_Type_ValueAdded, "Type_ValueAdded"},
    {OZW_Type_ValueRemoved, "Type_ValueRemoved"},
    {OZW_Type_ValueChanged, "Type_ValueChanged"},
    {OZW_Type_ValueRefreshed, "Type_ValueRefreshed"},
    {OZW_Type_Group, "Type_Group"},
    {OZW_Type_NodeNew, "Type_NodeNew"},
    {OZW_Type_NodeAdded, "Type_NodeAdded"},
    {OZW_Type_NodeRemoved, "Type_NodeRemoved"},
    {OZW_Type_NodeProtocolInfo, "Type_NodeProtocolInfo"},
    {OZW_Type_NodeNaming, "Type_NodeNaming"},
    {OZW_Type_NodeEvent, "Type_NodeEvent"},
    {OZW_Type_PollingDisabled, "Type_PollingDisabled"},
    {OZW_Type_PollingEnabled, "Type_PollingEnabled"},
    {OZW_Type_SceneEvent, "Type_SceneEvent"},
    {OZW_Type_CreateButton, "Type_CreateButton"},
    {OZW_Type_DeleteButton, "Type_DeleteButton"},
    {OZW_Type_ButtonOn, "Type_ButtonOn"},
    {OZW_Type_ButtonOff, "Type_ButtonOff"},
    {OZW_Type_DriverReady, "Type_DriverReady"},
    {OZW_Type_DriverFailed, "Type_DriverFailed"},
    {OZW_Type_DriverReset, "Type_DriverReset"},
    {OZW_Type_EssentialNodeQueriesComplete, "Type_EssentialNodeQueriesComplete"},
    {OZW_Type_NodeQueriesComplete, "Type_NodeQueriesComplete"},
    {OZW_Type_AwakeNodesQueried, "Type_AwakeNodesQueried"},
    {OZW_Type_AllNodesQueriedSomeDead, "Type_AllNodesQueriedSomeDead"},
    {OZW_Type_AllNodesQueried, "Type_AllNodesQueried"},
    {OZW_Type_Notification, "Type_Notification"},
};

// Suffixes appended to a label by the callers, hence the leading ": ".
const Name kControllerStates[] = {
    {OZW_ControllerState_Normal, ": no command in progress."},
    {OZW_ControllerState_Starting, ": starting controller command."},
    {OZW_ControllerState_Cancel, ": command was cancelled."},
    {OZW_ControllerState_Error, ": command returned an error: "},
    {OZW_ControllerState_Waiting, ": waiting for a user action."},
    {OZW_ControllerState_Sleeping, ": device went to sleep."},
    {OZW_ControllerState_InProgress, ": communicating with the other device."},
    {OZW_ControllerState_Completed, ": command has completed successfully."},
    {OZW_ControllerState_Failed, ": command has failed."},
    {OZW_ControllerState_NodeOK, ": the node is OK."},
    {OZW_ControllerState_NodeFailed, ": the node has failed."},
};

const Name kControllerErrors[] = {
    {OZW_ControllerError_None, "None"},
    {OZW_ControllerError_ButtonNotFound, "Button Not Found"},
    {OZW_ControllerError_NodeNotFound, "Node Not Found"},
    {OZW_ControllerError_NotBridge, "Not a Bridge"},
    {OZW_ControllerError_NotSUC, "Not Static Update Controller"},
    {OZW_ControllerError_NotSecondary, "Not Secondary Controller"},
    {OZW_ControllerError_NotPrimary, "Not Primary Controller"},
    {OZW_ControllerError_IsPrimary, "Is Primary Controller"},
    {OZW_ControllerError_NotFound, "Not Found"},
    {OZW_ControllerError_Busy, "Controller Busy"},
    {OZW_ControllerError_Failed, "Failed"},
    {OZW_ControllerError_Disabled, "Disabled"},
    {OZW_ControllerError_Overflow, "Overflow"},
};

const Name kValueGenres[] = {
    {OZW_ValueGenre_Basic, "basic"},   {OZW_ValueGenre_User, "user"},   {OZW_ValueGenre_Config, "config"},
    {OZW_ValueGenre_System, "system"}, {OZW_ValueGenre_Count, "count"},
};

const Name kValueTypes[] = {
    {OZW_ValueType_Bool, "bool"},     {OZW_ValueType_Byte, "byte"},   {OZW_ValueType_Decimal, "decimal"},
    {OZW_ValueType_Int, "int"},       {OZW_ValueType_List, "list"},   {OZW_ValueType_Schedule, "schedule"},
    {OZW_ValueType_String, "string"}, {OZW_ValueType_Short, "short"}, {OZW_ValueType_Button, "button"},
    {OZW_ValueType_Raw, "raw"},
};

// Z-Wave command classes by their standard numbers.
const Name kCommandClasses[] = {
    // Every unlisted number is named "NO OPERATION"; the name reads back as 0.
    {0x00, "NO OPERATION", kReadOnly},
    {0x20, "BASIC"},
    {0x21, "CONTROLLER REPLICATION"},
    {0x22, "APPLICATION STATUS"},
    {0x23, "ZIP SERVICES"},
    {0x24, "ZIP SERVER"},
    {0x25, "SWITCH BINARY"},
    {0x26, "SWITCH MULTILEVEL"},
    {0x27, "SWITCH ALL"},
    {0x28, "SWITCH TOGGLE BINARY"},
    {0x29, "SWITCH TOGGLE MULTILEVEL"},
    {0x2A, "CHIMNEY FAN"},
    {0x2B, "SCENE ACTIVATION"},
    {0x2C, "SCENE ACTUATOR CONF"},
    {0x2D, "SCENE CONTROLLER CONF"},
    {0x2E, "ZIP CLIENT"},
    {0x2F, "ZIP ADV SERVICES"},
    {0x30, "SENSOR BINARY"},
    {0x31, "SENSOR MULTILEVEL"},
    {0x32, "METER"},
    {0x33, "ZIP ADV SERVER"},
    {0x34, "ZIP ADV CLIENT"},
    {0x35, "METER PULSE"},
    {0x38, "THERMOSTAT HEATING"},
    {0x40, "THERMOSTAT MODE"},
    {0x42, "THERMOSTAT OPERATING STATE"},
    {0x43, "THERMOSTAT SETPOINT"},
    {0x44, "THERMOSTAT FAN MODE"},
    {0x45, "THERMOSTAT FAN STATE"},
    {0x46, "CLIMATE CONTROL SCHEDULE"},
    {0x47, "THERMOSTAT SETBACK"},
    {0x4C, "DOOR LOCK LOGGING"},
    {0x4E, "SCHEDULE ENTRY LOCK"},
    {0x50, "BASIC WINDOW COVERING"},
    {0x51, "MTP WINDOW COVERING"},
    {0x5B, "CENTRAL SCENE"},
    {0x60, "MULTI INSTANCE"},
    {0x62, "DOOR LOCK"},
    {0x63, "USER CODE"},
    {0x66, "BARRIER_OPERATOR", kWriteOnly},  // cclassNum has never taken it
    {0x70, "CONFIGURATION"},
    {0x71, "ALARM"},
    {0x72, "MANUFACTURER SPECIFIC"},
    {0x73, "POWERLEVEL"},
    {0x75, "PROTECTION"},
    {0x76, "LOCK"},
    {0x77, "NODE NAMING"},
    {0x7A, "FIRMWARE UPDATE MD"},
    {0x7B, "GROUPING NAME"},
    {0x7C, "REMOTE ASSOCIATION ACTIVATE"},
    {0x7D, "REMOTE ASSOCIATION"},
    {0x80, "BATTERY"},
    {0x81, "CLOCK"},
    {0x82, "HAIL"},
    {0x84, "WAKE UP"},
    {0x85, "ASSOCIATION"},
    {0x86, "VERSION"},
    {0x87, "INDICATOR"},
    {0x88, "PROPRIETARY"},
    {0x89, "LANGUAGE"},
    {0x8A, "TIME"},
    {0x8B, "TIME PARAMETERS"},
    {0x8C, "GEOGRAPHIC LOCATION"},
    {0x8D, "COMPOSITE"},
    {0x8E, "MULTI INSTANCE ASSOCIATION"},
    {0x8F, "MULTI CMD"},
    {0x90, "ENERGY PRODUCTION"},
    {0x91, "MANUFACTURER PROPRIETARY"},
    {0x92, "SCREEN MD"},
    {0x93, "SCREEN ATTRIBUTES"},
    {0x94, "SIMPLE AV CONTROL"},
    {0x95, "AV CONTENT DIRECTORY MD"},
    {0x96, "AV RENDERER STATUS"},
    {0x97, "AV CONTENT SEARCH MD"},
    {0x98, "SECURITY"},
    {0x99, "AV TAGGING MD"},
    {0x9A, "IP CONFIGURATION"},
    {0x9B, "ASSOCIATION COMMAND CONFIGURATION"},
    {0x9C, "SENSOR ALARM"},
    {0x9D, "SILENCE ALARM"},
    {0x9E, "SENSOR CONFIGURATION"},
    {0xEF, "MARK"},
    {0xF0, "NON INTEROPERABLE"},
};

const IndexName kIndexTypes[] = {
    {IDX_SWITCH_BINARY, "SWITCH BINARY", "Bool"},
    {IDX_SENSOR_BINARY, "SENSOR BINARY", "Bool"},
    {IDX_MOTION_STATE, "MOTION_STATE", "Bool"},
    {IDX_DOOR_STATE, "DOOR_STATE", "Bool"},
    {IDX_VIBRATION_STATE, "VIBRATION_STATE", "Bool"},
    {IDX_WATER_STATE, "WATER_STATE", "Bool"},
    {IDX_GAS_STATE, "GAS_STATE", "Bool"},
    {IDX_FIRE_STATE, "FIRE_STATE", "Bool"},
    {IDX_TAMPER, "TAMPER", "Bool"},
    {IDX_PANIC_ALARM, "PANIC_ALARM", "Bool"},
    {IDX_EMER_ALARM, "EMER_ALARM", "Bool"},
    {IDX_LOW_BATTERY, "LOW BATTERY", "Bool"},
    {IDX_ALARM_STATE, "ALARM_STATE", "Bool"},
    {IDX_BASIC, "BASIC", "Byte"},
    {IDX_SMOKE_STATE, "SMOKE_STATE", "Byte"},
    {IDX_FLOOD_STATE, "FLOOD_STATE", "Byte"},
    {IDX_SWITCH_MULTILEVEL, "SWITCH MULTILEVEL", "Int"},
    {IDX_DIMMER_LEVEL, "DIMMER_LEVEL", "Int"},
    {IDX_SWITCH_MULTISOUND, "SWITCH_MULTISOUND", "Byte"},
    {IDX_SHUTTER_LEVEL, "SHUTTER_LEVEL", "Int"},
    {IDX_BASIC_EXTENDER, "BASIC_EXTENDER", "Decimal"},
    {IDX_LOCK_STATE, "LOCK_STATE", "Byte"},
    {IDX_LOCK_STATE_ZB, "LOCK_STATE_ZB", "Int"},
    {IDX_ARMMODE, "ARMMODE", "Int"},
    {IDX_TEMPERATURE, "TEMPERATURE", "Short"},
    {IDX_PRESSURE, "PRESSURE", "Short"},
    {IDX_HUMIDITY, "HUMIDITY", "Short"},
    {IDX_ILLUMINANCE, "ILLUMINANCE", "Decimal"},
    {IDX_ILLUMINANCE_PERCENT, "ILLUMINANCE_PERCENT", "Decimal"},
    {IDX_HUE, "HUE", "Int"},
    {IDX_HUE_ZB, "HUE_ZB", "Int"},
    {IDX_SATURATION, "SATURATION", "Int"},
    {IDX_COLOR_TEMPERATURE, "COLOR_TEMPERATURE", "Int"},
    {IDX_POWER, "POWER", "Decimal"},
    {IDX_THERMOSTAT_MODE, "THERMOSTAT MODE", "List"},
    {IDX_THERMOSTAT_OPERATING_STATE, "THERMOSTAT OPERATING STATE", "String"},
    {IDX_THERMOSTAT_SETPOINT_HEATING, "THERMOSTAT SETPOINT HEATING", "Decimal"},
    {IDX_THERMOSTAT_SETPOINT_COOLING, "THERMOSTAT SETPOINT COOLING", "Decimal"},
    {IDX_THERMOSTAT_FAN_MODE, "THERMOSTAT FAN MODE", "List"},
    {IDX_THERMOSTAT_FAN_STATE, "THERMOSTAT FAN STATE", "String"},
    {IDX_THERMOSTAT_SETPOINT, "THERMOSTAT SETPOINT", "Decimal"},
    {IDX_UP_DOWN, "UP_DOWN", "Byte"},
    {IDX_STOP, "STOP", "Button"},
    {IDX_BARRIER_OPERATOR, "BARRIER OPERATOR", "Byte"},
    {IDX_AC_MODE, "AC MODE", "List"},
    {IDX_AC_SETPOINT_HEATING, "AC SETPOINT HEATING", "Decimal"},
    {IDX_AC_SETPOINT_COOLING, "AC SETPOINT COOLING", "Decimal"},
    {IDX_AC_FAN_MODE, "AC FAN MODE", "List"},
    {IDX_AC_SWING, "AC SWING", "Byte"},
    {IDX_BATTERY, "BATTERY", "Byte"},
    {IDX_IR_CODE, "IR CODE", "Short"},
    {IDX_VOLTAGE, "VOLTAGE", "Short"},
    {IDX_CURRENT, "CURRENT", "Short"},
    {IDX_RETAIN_STATE, "RETAIN_STATE", "Short"},
    {IDX_NEST_ID, "NEST_ID", "String"},
    {IDX_NEST_THERMOSTAT_MODE, "THERMOSTAT_MODE", "String"},
    {IDX_THERMOSTAT_TARGET, "THERMOSTAT_TARGET", "Decimal"},
    {IDX_THERMOSTAT_RANGE_LOW, "THERMOSTAT_RANGE_LOW", "Decimal"},
    {IDX_THERMOSTAT_RANGE_HIGH, "THERMOSTAT_RANGE_HIGH", "Decimal"},
    {IDX_AWAY_MODE, "AWAY_MODE", "String"},
    {IDX_NEST_THERMOSTAT_FAN_STATE, "THERMOSTAT_FAN_STATE", "String"},
    {IDX_ISONLINE, "ISONLINE", "String"},
    {IDX_CAN_COOL, "CAN_COOL", "Bool"},
    {IDX_CAN_HEAT, "CAN_HEAT", "Bool"},
    {IDX_IS_USING_EMERGENCY_HEAT, "IS_USING_EMERGENCY_HEAT", "Bool"},
    {IDX_HAS_FAN, "HAS_FAN", "Bool"},
    {IDX_HVAC_STATE, "HVAC_STATE", "String"},
    {IDX_HAS_LEAF, "HAS_LEAF", "Bool"},
    {IDX_RESPONSE_CODE, "RESPONSE_CODE", "Int"},
    {IDX_CO_ALARM_STATE, "CO_ALARM_STATE", "String"},
    {IDX_SMOKE_ALARM_STATE, "SMOKE_ALARM_STATE", "String"},
    {IDX_HUE_BRIDGE_ID, "HUE_BRIDGE_ID", "String"},
    {IDX_EFFECT, "EFFECT", "String"},
    {IDX_COLOUR_MODE, "COLOUR_MODE", "String"},
    {IDX_HUE_BULB_ID, "HUE_BULB_ID", "Int"},
    {IDX_USER_NAME, "USER_NAME", "String"},
    {IDX_REACHABLE, "REACHABLE", "Bool"},
    {IDX_BATTERY_NEST, "BATTERY_NEST", nullptr, kReadOnly},
    {IDX_MAXIMUM_USERS, "MAXIMUM_USERS", "Raw"},
    {IDX_ENERGY, "ENERGY", "Decimal"},
    {IDX_USER_CODE, "USER_CODE", "Raw"},
    {IDX_CLAMP1_POWER, "CLAMP1_POWER", "Decimal"},
    {IDX_CLAMP2_POWER, "CLAMP2_POWER", "Decimal"},
    {IDX_CLAMP1_ENERGY, "CLAMP1_ENERGY", "Decimal"},
    {IDX_CLAMP2_ENERGY, "CLAMP2_ENERGY", "Decimal"},
    {IDX_ACTIVE_POWER, "ACTIVE_POWER", "Short"},
    {IDX_GENERIC_STRING, "GENERIC_STRING", "String"},
    {IDX_GENERIC_INT, "GENERIC_INT", "Int"},
    {IDX_GENERIC_DOUBLE, "GENERIC_DOUBLE", "Double"},
    {IDX_GENERIC_BOOL, "GENERIC_BOOL", "Bool"},
    {IDX_PRESS, "PRESS", "Decimal"},
    {IDX_CUSTOM_MESSAGE, "CUSTOM_MESSAGE", "String"},
    {IDX_BUZZ_STATE, "BUZZ_STATE", "Bool"},
    {IDX_LED_STATE, "LED_STATE", "Bool"},
    {IDX_TONE, "TONE", "Decimal"},
    {IDX_VOLUME, "VOLUME", "Decimal"},
    {IDX_BLINK_STATE, "BLINK_STATE", "Bool"},
    {IDX_RGB, "RGB", "Int"},
    {IDX_SECONDS, "Seconds", "Int", kWriteOnly},
    {IDX_SECONDS, "SECONDS", nullptr, kReadOnly},
    {IDX_ENABLE, "ENABLE", "Bool"},
    {IDX_OCCUPANCY_STATE, "OCCUPANCY_STATE", nullptr, kReadOnly},
    {IDX_ALARM_BINARY, "ALARM_BINARY", nullptr, kReadOnly},
    {IDX_AC_SWITCH_BINARY, "AC_SWITCH BINARY", nullptr, kReadOnly},
    {IDX_HUE_SWITCH_BINARY, "HUE_SWITCH BINARY", nullptr, kReadOnly},
    {IDX_MULTILEVEL_BINARY, "MULTILEVEL BINARY", nullptr, kReadOnly},
    {IDX_MULTI_SWITCH_BINARY1, "MULTI_SWITCH BINARY1", nullptr, kReadOnly},
    {IDX_MULTI_SWITCH_BINARY2, "MULTI_SWITCH BINARY2", nullptr, kReadOnly},
    {IDX_METERING_CURRENT, "METERING_CURRENT", "Int"},
    {IDX_METERING_UNIT, "METERING_UNIT", "Decimal"},
    {IDX_METERING_MULTIPLIER, "METERING_MULTIPLIER", "Int"},
    {IDX_METERING_DIVISOR, "METERING_DIVISOR", "Int"},
    {IDX_SYSTEM_MODE, "SYSTEM_MODE", "List"},
    {IDX_IRDEVICE_DATA, "IRDEVICE_DATA", "String"},
    {IDX_SELECT_LED, "SELECT_LED", "Raw"},
    {IDX_IRBUTTON_DATA, "IRBUTTON_DATA", "String"},
    {IDX_WINDOW_COVERING_MODE, "WINDOW_COVERING_MODE", "Decimal"},
    {IDX_GESTURESENSOR, "GESTURESENSOR", "Int"},
    {IDX_SECURITYDEVICE, "SECURITYDEVICE", "Int"},
    {IDX_CAPTUREIMAGE, "CAPTUREIMAGE", "bool"},
    {IDX_MODE, "MODE", "String"},
    {IDX_IMAGES_COUNT, "IMAGES_COUNT", "int"},
    {IDX_RESOLUTION, "RESOLUTION", "int"},
    {IDX_CAPTUREVIDEO, "CAPTUREVIDEO", "bool"},
    {IDX_SETARMMODEVIDEO, "SETARMMODEVIDEO", "bool"},
};

const char kInvalidIndexType[] = "#ERR:Invalid Index Type";

// Text IndexTypeEnumToStr writes for (type, mode), or null for nothing.
const char* indexTypeText(IndexType type, int mode) {
    const IndexName* r = byCode(kIndexTypes, type);
    if (!r) return kInvalidIndexType;
    if (mode == 0) return r->name;
    if (mode == 1) return r->label;
    return nullptr;
}

}  // namespace

void DevtypeEnumToStr(DevType type, char* out) { put(out, nameOf(kDevTypes, type, "UnknownDeviceType")); }
void DevtypeEnumToStr(DevType type, char* out, int len) {
    putBounded(out, len, nameOf(kDevTypes, type, "UnknownDeviceType"));
}
DevType StrToDevType(char* name) { return static_cast<DevType>(codeOf(kDevTypes, name, UnknownDeviceType)); }

void getEventAsString(EventType type, char* out) { put(out, nameOf(kEventTypes, type, "Unknown")); }
void getEventAsString(EventType type, char* out, int len) {
    putBounded(out, len, nameOf(kEventTypes, type, "Unknown"));
}
EventType getEventTypeFromString(char* name) { return static_cast<EventType>(codeOf(kEventTypes, name, EV_Unknown)); }

void getWeatherTypeAsString(WeatherType type, char* out) { put(out, nameOf(kWeatherTypes, type, "Unknown")); }
void getWeatherTypeAsString(WeatherType type, char* out, int len) {
    putBounded(out, len, nameOf(kWeatherTypes, type, "Unknown"));
}
WeatherType getWeatherTypeFromString(char* name) {
    return static_cast<WeatherType>(codeOf(kWeatherTypes, name, WT_Unknown));
}

void IREventsEnumToStr(IREvents ev, char* out) { put(out, nameOf(kIREvents, ev, "Default")); }
void IREventsEnumToStr(IREvents ev, char* out, int len) { putBounded(out, len, nameOf(kIREvents, ev, "Default")); }
IREvents StrToIREventsEnum(const char* name) { return static_cast<IREvents>(codeOf(kIREvents, name, IR_Default)); }

void enumToConditionString(TriggerCondition cond, char* out) { put(out, nameOf(kConditions, cond, "unknown")); }
void enumToConditionString(TriggerCondition cond, char* out, int len) {
    putBounded(out, len, nameOf(kConditions, cond, "unknown"));
}
TriggerCondition stringToConditionenum(char* name) {
    return static_cast<TriggerCondition>(codeOf(kConditions, name, TC_eq));
}

const char* ClientTypeToString(ClientType type) { return nameOf(kClientTypes, type, "other"); }
ClientType stringToClientType(char* name) { return static_cast<ClientType>(codeOf(kClientTypes, name, CT_other)); }

const char* UserTypetoString(UserType type) { return nameOf(kUserTypes, type, "Other"); }
UserType StringToUsertype(char* name) { return static_cast<UserType>(codeOf(kUserTypes, name, UT_Others)); }

const char* OperationCodeenumToString(ozw_OperationCode code) {
    return nameOf(kOperationCodes, code, "Unknown Operation");
}
const char* ControllerCommandenumToString(ozw_ControllerCommand cmd) {
    return nameOf(kControllerCommands, cmd, "Unknown ControllerCommand");
}
const char* NotificationenumToString(ozw_NotificationType type) {
    return nameOf(kNotificationTypes, type, "Unknown Notification");
}
const char* controllerStateStr(ozw_ControllerState state) {
    return nameOf(kControllerStates, state, ": unknown respose.");
}
const char* controllerErrorStr(ozw_ControllerError err) { return nameOf(kControllerErrors, err, "Unknown error"); }
const char* enumValueGenreStr(ozw_ValueGenre genre) { return nameOf(kValueGenres, genre, "unknown"); }
const char* valueTypeStr(ozw_ValueType type) { return nameOf(kValueTypes, type, "unknown"); }

const char* cclassStr(unsigned char cc) { return nameOf(kCommandClasses, cc, "NO OPERATION"); }
unsigned char cclassNum(const char* name) { return static_cast<unsigned char>(codeOf(kCommandClasses, name, 255)); }

ozw_ValueType GetSizeOfValueType(int size) {
    switch (size) {
        case 2:
            return OZW_ValueType_Short;
        case 3:
            return OZW_ValueType_Byte;
        case 4:
            return OZW_ValueType_Int;
        default:
            return OZW_ValueType_Byte;
    }
}

void IndexTypeEnumToStr(IndexType type, char* out, int mode) {
    if (const char* text = indexTypeText(type, mode)) put(out, text);
}
void IndexTypeEnumToStr(IndexType type, char* out, int mode, int len) {
    if (const char* text = indexTypeText(type, mode)) putBounded(out, len, text);
}
IndexType StrToIndexTypeEnum(const char* name) {
    const IndexName* r = byName(kIndexTypes, name);
    return r ? static_cast<IndexType>(r->code) : IDX_NONE;
}
