// The generic command entry: a value index and a value text, dispatched by
// device type to the setters.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

}  // namespace

void Device::setValue(int index, char* value) {
    if (id < 0 || !value) return;
    if (index == 0) setSecurityDevice(atoi(value));
    const int n = atoi(value);
    int sw;

    switch (static_cast<int>(type)) {
        case BinarySwitch:
        case Siren:
        case UnknownOnOffModule:
        case BinaryPowerSwitch:
            if (index == 1) {
                if ((sw = switchText(*this, value, 1)) != kNone) setSwitchOn(sw == kOn, 1);
            } else if (index == 2) {
                getBatteryStatus();
            }
            break;

        case MultilevelSwitch:
            if (index == 1) {
                if (is(value, "toggle"))
                    setSwitchLevel(atoi(getValue(1)) > 0 ? 0 : 100);
                else
                    setSwitchLevel(n);
            }
            break;

        case BinarySensor:
        case Alarm:
        case StandardCIE:
        case MotionSensor:
        case ContactSwitch:
        case FireSensor:
        case WaterSensor:
        case GasSensor:
        case PersonalEmergencyDevice:
        case VibrationOrMovementSensor:
        case RemoteControl:
        case Keypad:
        case LightSensor:
        case FloodSensor:
        case ShockSensor:
        case DoorSensor:
        case MovementSensor:
        case MultiSensor:
            if (index == 2)
                getBatteryStatus();
            else if (index == 3 && is(value, "false"))
                clearTamper();
            break;

        case MultilevelSwitchOnOff:
            if (index == 1) {
                setSwitchLevel(n);
            } else if (index == 2) {
                if ((sw = switchText(*this, value, 2)) != kNone) setSwitchOn(sw == kOn, 1);
            }
            break;

        case DoorLock:
            if (index == 1) {
                if (is(value, "toggle"))
                    setDoorLock(is(getValue(1), "0") ? 255 : 0);
                else
                    setDoorLock(n);
            } else if (index == 2) {
                setDoorLockConf(n);
            } else if (index == 3) {
                getBatteryStatus();
            } else if (index >= 5 && validSlot(index - 4)) {
                setUserCode(value, static_cast<unsigned char>(index - 4));
            }
            break;

        case Thermostat:
        case ZenThermostat:
            switch (index) {
                case 2:
                    setThermostatMode(value);
                    break;
                case 4:
                    setThermostatHeatingTemp(n, 1);
                    break;
                case 5:
                    setThermostatCoolingTemp(n);
                    break;
                case 6:
                    setThermostatFanMode(value);
                    break;
                case 10:
                    sendCustomMessage(value);
                    break;
            }
            break;

        case KeyFob:
            if (index > 0) clearAlarm(value);
            break;

        case StandardWarningDevice:
            if (index == 1)
                setSirenOn(n);
            else if (index == 3 && is(value, "false"))
                clearTamper();
            break;

        case SmartACSwitch:
        case QuentrixSmartSwitch:
            if (index == 1 && (sw = switchText(*this, value, 1)) != kNone) setSwitchOn(sw == kOn, 1);
            break;

        case WindowCovering:
            if (index == 1) windowCovering(*this, value);
            break;

        case TemperatureSensor:
        case MoistureSensor:
            if (index == 3) getBatteryStatus();
            break;

        case ZigbeeDoorLock:
            if (index == 1) {
                if (is(value, "toggle"))
                    setDoorLock(is(getValue(1), "1") ? 2 : 1);
                else
                    setDoorLock(n);
            } else if (index >= 4 && validSlot(index - 3)) {
                setUserCode(value, static_cast<unsigned char>(index - 3));
            }
            break;

        case ColorDimmableLight:
            switch (index) {
                case 1:
                    setSwitchLevel(n);
                    break;
                case 2:
                    if ((sw = switchText(*this, value, 2)) != kNone) setSwitchOn(sw == kOn, 1);
                    break;
                case 3:
                    setHue(n);
                    break;
                case 4:
                    setSaturation(n);
                    break;
                case 5:
                    setColorTemperature(n);
                    break;
            }
            break;

        case SmokeDetector:
            if (index == 2) {
                getBatteryStatus();
            } else if (index == 4) {
                if ((sw = switchText(*this, value, 4)) != kNone) setSwitchOn(sw == kOn, 1);
            }
            break;

        case MultiSwitch:
            if (index == 1 || index == 2) {
                if ((sw = switchText(*this, value, index)) != kNone) setSwitchOnEp(sw == kOn, index);
            }
            break;

        case SetPointThermostat:
            if (index == 1) {
                int c = fahrenheitToCelsius(value);
                setThermostatHeatingTemp(c, is(getValue(5), "Heat Econ") ? 11 : 1);
            } else if (index == 2) {
                getBatteryStatus();
            } else if (index == 5) {
                setThermostatMode(value);
            }
            break;

        case HueLamp:
            switch (index) {
                case 2:
                    if ((sw = switchText(*this, value, 2)) != kNone) setSwitchOn(sw == kOn, 1);
                    break;
                case 3:
                    setHue(n);
                    break;
                case 4:
                    setSaturation(n);
                    break;
                case 5:
                    setSwitchLevel(n);
                    break;
            }
            break;

        case RollerShutter:
            if (index == 1)
                setSwitchLevel(n);
            else if (index == 2)
                setBasic(n);
            else if (index == 3)
                stopShutterRolling();
            break;

        case GarageDoorOpener:
            if (index == 1) SetGarageDoorLevel(n);
            break;

        case ZWtoACIRExtender:
            switch (index) {
                case 2:
                    setThermostatMode(value);
                    break;
                case 3:
                    setThermostatHeatingTemp(fahrenheitToCelsius(value), 1);
                    break;
                case 4:
                    setThermostatCoolingTemp(fahrenheitToCelsius(value));
                    break;
                case 5:
                    setThermostatFanMode(value);
                    break;
                case 6:
                    getBatteryStatus();
                    break;
                case 8:
                    SetConfigParam(33, 1, n);
                    break;
                case 9:
                    setBasic(n);
                    break;
                case 10:
                    SetConfigParam(27, 2, n);
                    break;
                case 11: {
                    int a, b, c;
                    if (sscanf(value, "%d,%d,%d", &a, &b, &c) == 3) SetConfigParam(a, b, c);
                    break;
                }
            }
            break;

        case MultiSoundSiren:
            if (index == 1) setSwitchLevel(n);
            break;

        case EnergyReader: {
            // Its battery index is the value named "BATTERY".
            const ValueRecord* v = valueRecord(*this, index);
            if (v && StrToIndexTypeEnum(v->name) == IDX_BATTERY) getBatteryStatus();
            break;
        }

        case NestThermostat:
            switch (index) {
                case 2:
                    setThermostatMode(value);
                    break;
                case 3:
                case 5:
                case 6:
                case 8:
                    nestValueCommand(*this, index, value);
                    break;
                case 9:
                    setThermostatFanMode(value);
                    break;
            }
            break;

        case GenericDevice: {
            // By the index type of the value's name; the value is looked up by its
            // index number, not its place in the list.
            const ValueRecord* v = valueRecord(*this, index);
            if (!v) break;
            switch (static_cast<int>(StrToIndexTypeEnum(v->name))) {
                case IDX_SWITCH_BINARY:
                    if ((sw = plainSwitchText(value)) == kNone) break;
                    if (technology == DEVTECH_ZWAVE)
                        setSwitchOn(sw == kOn, static_cast<unsigned char>(v->endPoint));
                    else if (technology == DEVTECH_ZIGBEE)
                        setSwitchOnEp(sw == kOn, v->endPoint);
                    break;
                case IDX_TAMPER:
                    clearTamper();
                    break;
                case IDX_ALARM_STATE:
                    if (technology == DEVTECH_ZWAVE && (sw = plainSwitchText(value)) != kNone)
                        setSwitchOn(sw == kOn, 1);
                    break;
                case IDX_SWITCH_MULTILEVEL:
                case IDX_DIMMER_LEVEL:
                case IDX_SWITCH_MULTISOUND:
                case IDX_SHUTTER_LEVEL:
                    setSwitchLevel(n);
                    break;
                case IDX_BASIC_EXTENDER:
                case IDX_UP_DOWN:
                    setBasic(n);
                    break;
                case IDX_LOCK_STATE:
                case IDX_LOCK_STATE_ZB:
                    setDoorLock(n);
                    break;
                case IDX_HUE_ZB:
                    setHue(n);
                    break;
                case IDX_SATURATION:
                    setSaturation(n);
                    break;
                case IDX_COLOR_TEMPERATURE:
                    setColorTemperature(n);
                    break;
                case IDX_THERMOSTAT_MODE:
                case IDX_AC_MODE:
                    setThermostatMode(value);
                    break;
                case IDX_THERMOSTAT_SETPOINT_HEATING:
                case IDX_THERMOSTAT_SETPOINT:
                case IDX_AC_SETPOINT_HEATING:
                    setThermostatHeatingTemp(n, 1);
                    break;
                case IDX_THERMOSTAT_SETPOINT_COOLING:
                case IDX_AC_SETPOINT_COOLING:
                    setThermostatCoolingTemp(n);
                    break;
                case IDX_THERMOSTAT_FAN_MODE:
                case IDX_AC_FAN_MODE:
                    setThermostatFanMode(value);
                    break;
                case IDX_STOP:
                    stopShutterRolling();
                    break;
                case IDX_BARRIER_OPERATOR:
                    SetGarageDoorLevel(n);
                    break;
                case IDX_AC_SWING:
                    SetConfigParam(33, 1, n);
                    break;
                case IDX_IR_CODE:
                    SetConfigParam(27, 2, n);
                    break;
                case IDX_MAXIMUM_USERS:
                    if (validSlot(index)) setUserCode(value, static_cast<unsigned char>(index));
                    break;
                case IDX_WINDOW_COVERING_MODE:
                    windowCovering(*this, value);
                    break;
            }
            break;
        }

        case QuentrixButton:
            if (index == 3 && is(value, "false")) clearTamper();
            break;

        case HalvixSiren:
            switch (index) {
                case 1:
                    if ((sw = plainSwitchText(value)) != kNone) enableHalvixSiren(sw == kOn);
                    break;
                case 2:
                    if ((sw = plainSwitchText(value)) != kNone) StartorStopHalvixSiren(sw == kOn);
                    break;
                case 3:
                    setHalvixSirenTone(n, 2, 0);
                    break;
                case 4:
                    setHalvixSirenVolume(static_cast<char>(n), 2);
                    break;
                case 5:
                    setHalvixSirenDuration(n);
                    break;
            }
            break;

        case HalvixBlink:
            switch (index) {
                case 1:
                    // Blinking (value 2 "true"): switch the blink; else the steady light.
                    if ((sw = switchText(*this, value, 1)) != kNone)
                        setHalvixBlinkOnOff(sw == kOn, is(getValue(2), "true") ? 1 : 2);
                    break;
                case 2:
                    if (is(value, "true"))
                        setHalvixBlinkStart();
                    else if (is(value, "false"))
                        setHalvixBlinkOnOff(false, 1);
                    break;
                case 3:
                    setHalvixBlinkColor(static_cast<unsigned int>(n));
                    break;
                case 4:
                    setHalvixSirenDuration(n);
                    break;
            }
            break;

        case ZBIRExtender:
            if (index == 1) {
                setThermostatMode(value);
            } else if (index == 8) {
                unsigned char code[5];
                if (irCode(value, code)) setDeviceAttribute(0x0201, 0x1011, code);
            } else if ((index >= 2 && index <= 7) || (index >= 9 && index <= 14)) {
                setIndexValue(index, const_cast<char*>("SetIndexName"), value, DEVTECH_ZIGBEE);
            }
            break;

        case NestCam:
            if (index == 11) nestValueCommand(*this, 11, value);
            break;

        case ZigbeeCamImage:
            switch (index) {
                case 1:
                    setMotionState(value);
                    break;
                case 3:
                    if (is(value, "false")) clearTamper();
                    break;
                case 4:
                    if (is(value, "true"))
                        CaptureZigbeeImage(atoi(getValue(4)));
                    else if (is(value, "false"))
                        CaptureZigbeeImage(3);
                    break;
                case 5:
                    setCameraMode(value);
                    break;
                case 6:
                    setImageCnt(n);
                    break;
                case 7:
                    setResolution(n);
                    break;
            }
            break;

        default:
            break;
    }
}
