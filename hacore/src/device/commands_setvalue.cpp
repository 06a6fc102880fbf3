// The generic command entry: a value index and a value text, dispatched by
// device type to the setters.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "channel/channel_internal.h"
#include "hacore/Device.h"
#include "hacore/commands.h"
#include "device/commands_internal.h"

HACORE_INTERNAL int nestValueCommand(Device& d, int index, const char* value);

namespace {

using hacmd::is;

constexpr int kOff = 0, kOn = 1, kNone = -1;

// Switch text: "true" on, "false" off, "toggle" the opposite of the device's
// current value of `index` (nothing unless that reads "true" or "false").
int switchText(Device& d, const char* value, int index) {
    if (is(value, "true")) return kOn;
    if (is(value, "false")) return kOff;
    if (is(value, "toggle")) {
        const char* cur = d.getValue(index);
        if (is(cur, "true")) return kOff;
        if (is(cur, "false")) return kOn;
    }
    return kNone;
}

// Plain "true"/"false" only.
int plainSwitchText(const char* value) {
    if (is(value, "true")) return kOn;
    if (is(value, "false")) return kOff;
    return kNone;
}

int fahrenheitToCelsius(const char* value) { return roundfun((atoi(value) - 32) * 5.0f / 9.0f); }

const ValueRecord* valueRecord(const Device& d, int index) {
    for (const ValueRecord& v : d.values())
        if (v.index == index) return &v;
    return nullptr;
}

// User code slots travel in one byte; a larger one would set another slot.
bool validSlot(int slot) { return slot >= 0 && slot <= 255; }

// Infrared code of a ZBIRExtender: two leading characters, then five bytes as
// ten hexadecimal digits.
bool irCode(const char* value, unsigned char out[5]) {
    if (strlen(value) < 12) return false;
    for (int i = 0; i < 5; ++i) {
        char pair[3] = {value[2 + 2 * i], value[3 + 2 * i], '\0'};
        if (!isxdigit(static_cast<unsigned char>(pair[0])) || !isxdigit(static_cast<unsigned char>(pair[1])))
            return false;
        out[i] = static_cast<unsigned char>(strtol(pair, nullptr, 16));
    }
    return true;
}

void windowCovering(Device& d, const char* value) {
    if (is(value, "1"))
        d.startWindowCovering(true);
    else if (is(value, "2"))
        d.startWindowCovering(false);
    else if (is(value, "3"))
        d.stopWindowCovering(true);
}

// What a value written at an index does to a device of one family. Every
// action gets the index and the value text as setValue got them.
using Action = void (*)(Device& d, int index, char* value);

int number(const char* value) { return atoi(value); }

// ---- actions shared by several families ----
void battery(Device& d, int, char*) { d.getBatteryStatus(); }
void level(Device& d, int, char* v) { d.setSwitchLevel(number(v)); }
void basic(Device& d, int, char* v) { d.setBasic(number(v)); }
void hue(Device& d, int, char* v) { d.setHue(number(v)); }
void saturation(Device& d, int, char* v) { d.setSaturation(number(v)); }
void colorTemperature(Device& d, int, char* v) { d.setColorTemperature(number(v)); }
void thermostatMode(Device& d, int, char* v) { d.setThermostatMode(v); }
void fanMode(Device& d, int, char* v) { d.setThermostatFanMode(v); }
void heating(Device& d, int, char* v) { d.setThermostatHeatingTemp(number(v), 1); }
void cooling(Device& d, int, char* v) { d.setThermostatCoolingTemp(number(v)); }
void stopRolling(Device& d, int, char*) { d.stopShutterRolling(); }
void garageDoor(Device& d, int, char* v) { d.SetGarageDoorLevel(number(v)); }
void acSwing(Device& d, int, char* v) { d.SetConfigParam(33, 1, number(v)); }
void irParameter(Device& d, int, char* v) { d.SetConfigParam(27, 2, number(v)); }
void covering(Device& d, int, char* v) { windowCovering(d, v); }
void sirenDuration(Device& d, int, char* v) { d.setHalvixSirenDuration(number(v)); }
void nest(Device& d, int index, char* v) { nestValueCommand(d, index, v); }
void tamperCleared(Device& d, int, char* v) {
    if (is(v, "false")) d.clearTamper();
}
// "true", "false" or "toggle" against the device's value at the same index.
void switchAt(Device& d, int index, char* v) {
    const int sw = switchText(d, v, index);
    if (sw != kNone) d.setSwitchOn(sw == kOn, 1);
}

// ---- actions of one family ----
void levelOrToggle(Device& d, int index, char* v) {
    d.setSwitchLevel(is(v, "toggle") ? (number(d.getValue(index)) > 0 ? 0 : 100) : number(v));
}
void zwaveLock(Device& d, int index, char* v) {
    d.setDoorLock(is(v, "toggle") ? (is(d.getValue(index), "0") ? 255 : 0) : number(v));
}
void zigbeeLock(Device& d, int index, char* v) {
    d.setDoorLock(is(v, "toggle") ? (is(d.getValue(index), "1") ? 2 : 1) : number(v));
}
void lockConf(Device& d, int, char* v) { d.setDoorLockConf(number(v)); }
// User code slots follow the lock's own indexes: slot 1 at index 5 (Z-Wave)
// or 4 (ZigBee).
void zwaveUserCode(Device& d, int index, char* v) {
    if (index >= 5 && validSlot(index - 4)) d.setUserCode(v, static_cast<unsigned char>(index - 4));
}
void zigbeeUserCode(Device& d, int index, char* v) {
    if (index >= 4 && validSlot(index - 3)) d.setUserCode(v, static_cast<unsigned char>(index - 3));
}
void customMessage(Device& d, int, char* v) { d.sendCustomMessage(v); }
void alarmCleared(Device& d, int index, char* v) {
    if (index > 0) d.clearAlarm(v);
}
void warningSiren(Device& d, int, char* v) { d.setSirenOn(number(v)); }
void endpointSwitch(Device& d, int index, char* v) {
    const int sw = switchText(d, v, index);
    if (sw != kNone) d.setSwitchOnEp(sw == kOn, index);
}
void econHeating(Device& d, int, char* v) {
    const int c = fahrenheitToCelsius(v);
    d.setThermostatHeatingTemp(c, is(d.getValue(5), "Heat Econ") ? 11 : 1);
}
void heatingF(Device& d, int, char* v) { d.setThermostatHeatingTemp(fahrenheitToCelsius(v), 1); }
void coolingF(Device& d, int, char* v) { d.setThermostatCoolingTemp(fahrenheitToCelsius(v)); }
void configTriple(Device& d, int, char* v) {
    int a, b, c;
    if (sscanf(v, "%d,%d,%d", &a, &b, &c) == 3) d.SetConfigParam(a, b, c);
}
// Its battery index is the value named "BATTERY".
void energyBattery(Device& d, int index, char*) {
    const ValueRecord* r = valueRecord(d, index);
    if (r && StrToIndexTypeEnum(r->name) == IDX_BATTERY) d.getBatteryStatus();
}
void sirenEnabled(Device& d, int, char* v) {
    const int sw = plainSwitchText(v);
    if (sw != kNone) d.enableHalvixSiren(sw == kOn);
}
void sirenStarted(Device& d, int, char* v) {
    const int sw = plainSwitchText(v);
    if (sw != kNone) d.StartorStopHalvixSiren(sw == kOn);
}
void sirenTone(Device& d, int, char* v) { d.setHalvixSirenTone(number(v), 2, 0); }
void sirenVolume(Device& d, int, char* v) { d.setHalvixSirenVolume(static_cast<char>(number(v)), 2); }
// Blinking (value 2 "true"): switch the blink; else the steady light.
void blinkSwitch(Device& d, int index, char* v) {
    const int sw = switchText(d, v, index);
    if (sw != kNone) d.setHalvixBlinkOnOff(sw == kOn, is(d.getValue(2), "true") ? 1 : 2);
}
void blinkStart(Device& d, int, char* v) {
    if (is(v, "true"))
        d.setHalvixBlinkStart();
    else if (is(v, "false"))
        d.setHalvixBlinkOnOff(false, 1);
}
void blinkColor(Device& d, int, char* v) { d.setHalvixBlinkColor(static_cast<unsigned int>(number(v))); }
void irCodeAttribute(Device& d, int, char* v) {
    unsigned char code[5];
    if (irCode(v, code)) d.setDeviceAttribute(0x0201, 0x1011, code);
}
void irIndex(Device& d, int index, char* v) {
    if ((index >= 2 && index <= 7) || (index >= 9 && index <= 14))
        d.setIndexValue(index, const_cast<char*>("SetIndexName"), v, DEVTECH_ZIGBEE);
}
void motionState(Device& d, int, char* v) { d.setMotionState(v); }
void capture(Device& d, int index, char* v) {
    if (is(v, "true"))
        d.CaptureZigbeeImage(number(d.getValue(index)));
    else if (is(v, "false"))
        d.CaptureZigbeeImage(3);
}
void cameraMode(Device& d, int, char* v) { d.setCameraMode(v); }
void imageCount(Device& d, int, char* v) { d.setImageCnt(number(v)); }
void resolution(Device& d, int, char* v) { d.setResolution(number(v)); }

// ---- a generic device: by the index type of the value's name ----
void genericSwitch(Device& d, int index, char* v) {
    const int sw = plainSwitchText(v);
    if (sw == kNone) return;
    const int endPoint = valueRecord(d, index)->endPoint;
    if (d.getDeviceTechnology() == DEVTECH_ZWAVE)
        d.setSwitchOn(sw == kOn, static_cast<unsigned char>(endPoint));
    else if (d.getDeviceTechnology() == DEVTECH_ZIGBEE)
        d.setSwitchOnEp(sw == kOn, endPoint);
}
void tamper(Device& d, int, char*) { d.clearTamper(); }
void genericAlarm(Device& d, int, char* v) {
    const int sw = plainSwitchText(v);
    if (d.getDeviceTechnology() == DEVTECH_ZWAVE && sw != kNone) d.setSwitchOn(sw == kOn, 1);
}
void lock(Device& d, int, char* v) { d.setDoorLock(number(v)); }
void userCodeAtIndex(Device& d, int index, char* v) {
    if (validSlot(index)) d.setUserCode(v, static_cast<unsigned char>(index));
}

struct ByIndexType {
    int type;
    Action act;
};
const ByIndexType kGeneric[] = {
    {IDX_SWITCH_BINARY, genericSwitch},
    {IDX_TAMPER, tamper},
    {IDX_ALARM_STATE, genericAlarm},
    {IDX_SWITCH_MULTILEVEL, level},
    {IDX_DIMMER_LEVEL, level},
    {IDX_SWITCH_MULTISOUND, level},
    {IDX_SHUTTER_LEVEL, level},
    {IDX_BASIC_EXTENDER, basic},
    {IDX_UP_DOWN, basic},
    {IDX_LOCK_STATE, lock},
    {IDX_LOCK_STATE_ZB, lock},
    {IDX_HUE_ZB, hue},
    {IDX_SATURATION, saturation},
    {IDX_COLOR_TEMPERATURE, colorTemperature},
    {IDX_THERMOSTAT_MODE, thermostatMode},
    {IDX_AC_MODE, thermostatMode},
    {IDX_THERMOSTAT_SETPOINT_HEATING, heating},
    {IDX_THERMOSTAT_SETPOINT, heating},
    {IDX_AC_SETPOINT_HEATING, heating},
    {IDX_THERMOSTAT_SETPOINT_COOLING, cooling},
    {IDX_AC_SETPOINT_COOLING, cooling},
    {IDX_THERMOSTAT_FAN_MODE, fanMode},
    {IDX_AC_FAN_MODE, fanMode},
    {IDX_STOP, stopRolling},
    {IDX_BARRIER_OPERATOR, garageDoor},
    {IDX_AC_SWING, acSwing},
    {IDX_IR_CODE, irParameter},
    {IDX_MAXIMUM_USERS, userCodeAtIndex},
    {IDX_WINDOW_COVERING_MODE, covering},
};

// The value is looked up by its index number, not its place in the list.
void generic(Device& d, int index, char* v) {
    const ValueRecord* r = valueRecord(d, index);
    if (!r) return;
    const int type = static_cast<int>(StrToIndexTypeEnum(r->name));
    for (const ByIndexType& g : kGeneric)
        if (g.type == type) return g.act(d, index, v);
}

// ---- the families ----
struct Step {
    int index;
    Action act;
};
// A family's actions by index; `other` (may be null) takes every index the
// list does not name.
struct Family {
    std::initializer_list<DevType> types;
    std::initializer_list<Step> steps;
    Action other;
};

const Family kFamilies[] = {
    {{BinarySwitch, Siren, UnknownOnOffModule, BinaryPowerSwitch}, {{1, switchAt}, {2, battery}}, nullptr},
    {{MultilevelSwitch}, {{1, levelOrToggle}}, nullptr},
    {{BinarySensor, Alarm, StandardCIE, MotionSensor, ContactSwitch, FireSensor, WaterSensor, GasSensor,
      PersonalEmergencyDevice, VibrationOrMovementSensor, RemoteControl, Keypad, LightSensor, FloodSensor, ShockSensor,
      DoorSensor, MovementSensor, MultiSensor},
     {{2, battery}, {3, tamperCleared}},
     nullptr},
    {{MultilevelSwitchOnOff}, {{1, level}, {2, switchAt}}, nullptr},
    {{DoorLock}, {{1, zwaveLock}, {2, lockConf}, {3, battery}}, zwaveUserCode},
    {{Thermostat, ZenThermostat},
     {{2, thermostatMode}, {4, heating}, {5, cooling}, {6, fanMode}, {10, customMessage}},
     nullptr},
    {{KeyFob}, {}, alarmCleared},
    {{StandardWarningDevice}, {{1, warningSiren}, {3, tamperCleared}}, nullptr},
    {{SmartACSwitch, QuentrixSmartSwitch}, {{1, switchAt}}, nullptr},
    {{WindowCovering}, {{1, covering}}, nullptr},
    {{TemperatureSensor, MoistureSensor}, {{3, battery}}, nullptr},
    {{ZigbeeDoorLock}, {{1, zigbeeLock}}, zigbeeUserCode},
    {{ColorDimmableLight}, {{1, level}, {2, switchAt}, {3, hue}, {4, saturation}, {5, colorTemperature}}, nullptr},
    {{SmokeDetector}, {{2, battery}, {4, switchAt}}, nullptr},
    {{MultiSwitch}, {{1, endpointSwitch}, {2, endpointSwitch}}, nullptr},
    {{SetPointThermostat}, {{1, econHeating}, {2, battery}, {5, thermostatMode}}, nullptr},
    {{HueLamp}, {{2, switchAt}, {3, hue}, {4, saturation}, {5, level}}, nullptr},
    {{RollerShutter}, {{1, level}, {2, basic}, {3, stopRolling}}, nullptr},
    {{GarageDoorOpener}, {{1, garageDoor}}, nullptr},
    {{ZWtoACIRExtender},
     {{2, thermostatMode},
      {3, heatingF},
      {4, coolingF},
      {5, fanMode},
      {6, battery},
      {8, acSwing},
      {9, basic},
      {10, irParameter},
      {11, configTriple}},
     nullptr},
    {{MultiSoundSiren}, {{1, level}}, nullptr},
    {{EnergyReader}, {}, energyBattery},
    {{NestThermostat}, {{2, thermostatMode}, {3, nest}, {5, nest}, {6, nest}, {8, nest}, {9, fanMode}}, nullptr},
    {{GenericDevice}, {}, generic},
    {{QuentrixButton}, {{3, tamperCleared}}, nullptr},
    {{HalvixSiren},
     {{1, sirenEnabled}, {2, sirenStarted}, {3, sirenTone}, {4, sirenVolume}, {5, sirenDuration}},
     nullptr},
    {{HalvixBlink}, {{1, blinkSwitch}, {2, blinkStart}, {3, blinkColor}, {4, sirenDuration}}, nullptr},
    {{ZBIRExtender}, {{1, thermostatMode}, {8, irCodeAttribute}}, irIndex},
    {{NestCam}, {{11, nest}}, nullptr},
    {{ZigbeeCamImage},
     {{1, motionState}, {3, tamperCleared}, {4, capture}, {5, cameraMode}, {6, imageCount}, {7, resolution}},
     nullptr},
};

Action actionFor(DevType type, int index) {
    for (const Family& f : kFamilies) {
        bool member = false;
        for (DevType t : f.types) member = member || t == type;
        if (!member) continue;
        for (const Step& s : f.steps)
            if (s.index == index) return s.act;
        return f.other;
    }
    return nullptr;
}

}  // namespace

void Device::setValue(int index, char* value) {
    if (id < 0 || !value) return;
    if (index == 0) setSecurityDevice(atoi(value));
    if (Action act = actionFor(type, index)) act(*this, index, value);
}
