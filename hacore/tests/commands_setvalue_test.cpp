// setValue: every row of the dispatch tables, by the bytes the servers
// receive.
#include "commands_util.h"

using namespace cmdtest;

namespace {

using Want = std::function<std::vector<Pkt>(int id)>;

Want W(std::vector<Pkt> p) {
    return [p](int) { return p; };
}
const Want kNothing = W({});

struct Row {
    const char* name;
    DevSpec dev;
    int index;
    const char* value;
    Want want;
    std::set<std::string> quiet = {};
};

void runRows(const std::vector<Row>& rows) {
    for (const Row& r : rows) {
        int id = layDown(r.dev);
        Device d(id);
        std::string where =
            std::string(r.name) + " (" + r.dev.type + " " + std::to_string(r.index) + " \"" + r.value + "\")";
        expectSent(
            where, [&] { d.setValue(r.index, const_cast<char*>(r.value)); }, r.want(id), r.quiet);
    }
}

DevSpec zwDev(const char* type, std::vector<ValueRecord> values = {}) { return {type, ZW, values}; }
DevSpec zbDev(const char* type, std::vector<ValueRecord> values = {}) { return {type, ZB, values, 0x1a2b}; }

Pkt on(int instance = 1) { return zw(23, 0x25, 0, 2, 1, 0, "true", instance); }
Pkt off(int instance = 1) { return zw(23, 0x25, 0, 2, 1, 0, "false", instance); }
Pkt level(const char* v) { return zw(23, 0x26, 0, 2, 1, 1, v); }
Pkt battery() { return zw(23, 0x80, 0, 15, 1, 1, ""); }
Want tamper() {
    return [](int id) { return std::vector<Pkt>{ha(id, "Tamper", "false")}; };
}

class SetValue : public ::testing::Test {
protected:
    static void SetUpTestSuite() { connectOnce(); }
    void SetUp() override { settle(); }
};

TEST_F(SetValue, SwitchesAndDimmers) {
    std::vector<Row> rows;
    for (const char* t : {"BinarySwitch", "Siren", "UnknownOnOffModule", "BinaryPowerSwitch"}) {
        rows.push_back({"on", zwDev(t), 1, "true", W({on()})});
        rows.push_back({"battery", zwDev(t), 2, "", W({battery()})});
    }
    auto sw = [](const char* v) { return zwDev("BinarySwitch", {val(1, "SWITCH BINARY", v)}); };
    std::vector<Row> more = {
        {"off", sw("true"), 1, "false", W({off()})},
        {"toggle from on", sw("true"), 1, "toggle", W({off()})},
        {"toggle from off", sw("false"), 1, "toggle", W({on()})},
        {"toggle from neither", sw("7"), 1, "toggle", kNothing, {"zwave"}},
        {"other text", sw("true"), 1, "maybe", kNothing, {"zwave"}},
        {"index 3 nothing", sw("true"), 3, "true", kNothing, {"zwave"}},
        {"dimmer toggle from 0", zwDev("MultilevelSwitch", {val(1, "SWITCH MULTILEVEL", "0")}), 1, "toggle",
         W({level("100")})},
        {"dimmer toggle from 37", zwDev("MultilevelSwitch", {val(1, "SWITCH MULTILEVEL", "37")}), 1, "toggle",
         W({level("0")})},
        {"dimmer level", zwDev("MultilevelSwitch"), 1, "55", W({level("55")})},
        {"on-off dimmer level", zwDev("MultilevelSwitchOnOff"), 1, "30", W({level("30")})},
        {"on-off dimmer toggle", zwDev("MultilevelSwitchOnOff", {val(2, "SWITCH BINARY", "true")}), 2, "toggle",
         W({off()})},
        {"smart AC switch", zwDev("SmartACSwitch"), 1, "true", W({on()})},
        {"Quentrix switch", zwDev("QuentrixSmartSwitch"), 1, "false", W({off()})},
        {"smoke detector switch", zwDev("SmokeDetector"), 4, "true", W({on()})},
        {"smoke detector battery", zwDev("SmokeDetector"), 2, "", W({battery()})},
        {"multi switch 1", zbDev("MultiSwitch"), 1, "true", W({zbc("zcl on-off on", 1)})},
        {"multi switch 2 toggle", zbDev("MultiSwitch", {val(2, "SWITCH BINARY", "true")}), 2, "toggle",
         W({zbc("zcl on-off off", 2)})},
        {"multi sound siren", zwDev("MultiSoundSiren"), 1, "3", W({level("3")})},
        {"roller shutter level", zwDev("RollerShutter"), 1, "40", W({level("40")})},
        {"roller shutter basic", zwDev("RollerShutter"), 2, "99", W({zw(23, 0x20, 0, 2, 0, 1, "99")})},
        {"roller shutter stop", zwDev("RollerShutter"), 3, "", W({zw(23, 0x26, 1, 2, 1, 8, "true")})},
        {"garage", zwDev("GarageDoorOpener"), 1, "255", W({zw(23, 0x66, 0, 2, 1, 1, "255")})},
        {"cover 1", zwDev("WindowCovering"), 1, "1", W({zw(23, 0x50, 0, 2, 1, 8, "true")})},
        {"cover 2", zwDev("WindowCovering"), 1, "2", W({zw(23, 0x50, 0, 2, 1, 8, "false")})},
        {"cover 3", zwDev("WindowCovering"), 1, "3", W({zw(23, 0x50, 1, 2, 1, 8, "true")})},
        {"cover 4", zwDev("WindowCovering"), 1, "4", kNothing, {"zwave"}},
    };
    rows.insert(rows.end(), more.begin(), more.end());
    runRows(rows);
}

TEST_F(SetValue, Sensors) {
    std::vector<Row> rows;
    for (const char* t :
         {"BinarySensor", "Alarm", "StandardCIE", "MotionSensor", "ContactSwitch", "FireSensor", "WaterSensor",
          "GasSensor", "PersonalEmergencyDevice", "VibrationOrMovementSensor", "RemoteControl", "Keypad", "LightSensor",
          "FloodSensor", "ShockSensor", "DoorSensor", "MovementSensor", "MultiSensor"}) {
        rows.push_back({"battery", zwDev(t), 2, "", W({battery()})});
        rows.push_back({"tamper", zwDev(t), 3, "false", tamper()});
    }
    std::vector<Row> more = {
        {"tamper true does nothing", zwDev("MotionSensor"), 3, "true", kNothing, {"ha", "zwave"}},
        {"temperature battery", zwDev("TemperatureSensor"), 3, "", W({battery()})},
        {"moisture battery", zwDev("MoistureSensor"), 3, "", W({battery()})},
        {"Quentrix button tamper", zbDev("QuentrixButton"), 3, "false", tamper()},
        {"key fob", zwDev("KeyFob"), 2, "PANIC_ALARM",
         [](int id) { return std::vector<Pkt>{ha(id, "PANIC_ALARM", "false")}; }},
        {"warning device siren", zbDev("StandardWarningDevice"), 1, "30", W({zbc("zcl ias-wd warn-emer 1 30 ")})},
        {"warning device stop", zbDev("StandardWarningDevice"), 1, "0", W({zbc("zcl ias-wd warn-stop")})},
        {"warning device tamper", zbDev("StandardWarningDevice"), 3, "false", tamper()},
        {"energy reader battery", zwDev("EnergyReader", {val(1, "POWER", "5"), val(3, "BATTERY", "80")}), 3, "",
         W({battery()})},
        {"energy reader power",
         zwDev("EnergyReader", {val(1, "POWER", "5"), val(3, "BATTERY", "80")}),
         1,
         "",
         kNothing,
         {"zwave"}},
    };
    rows.insert(rows.end(), more.begin(), more.end());
    runRows(rows);
}

TEST_F(SetValue, Locks) {
    auto lock = [](const char* v) { return zwDev("DoorLock", {val(1, "LOCK_STATE", v)}); };
    auto zlock = [](const char* v) { return zbDev("ZigbeeDoorLock", {val(1, "LOCK_STATE_ZB", v)}); };
    Pkt read = zbc("zcl global read 0x0001 0x0021");
    runRows({
        {"toggle unlocked", lock("0"), 1, "toggle", W({zw(23, 0x62, 0, 2, 1, 1, "255")})},
        {"toggle locked", lock("255"), 1, "toggle", W({zw(23, 0x62, 0, 2, 1, 1, "0")})},
        {"set", lock("0"), 1, "255", W({zw(23, 0x62, 0, 2, 1, 1, "255")})},
        {"conf", lock("0"), 2, "3", W({zw(23, 0x62, 1, 2, 1, 3, "3")})},
        {"battery", lock("0"), 3, "", W({battery()})},
        {"index 4 nothing", lock("0"), 4, "1", kNothing, {"zwave"}},
        {"code slot 1", lock("0"), 5, "9999", W({zw(23, 0x63, 1, 2, 1, 9, "9999")})},
        {"code slot 2", lock("0"), 6, "1234", W({zw(23, 0x63, 2, 2, 1, 9, "1234")})},
        {"code slot beyond a byte", lock("0"), 300, "1234", kNothing, {"zwave"}},
        {"ZigBee toggle locked", zlock("1"), 1, "toggle", W({zbc("zcl lock unlock"), read})},
        {"ZigBee toggle unlocked", zlock("2"), 1, "toggle", W({zbc("zcl lock lock"), read})},
        {"ZigBee lock", zlock("2"), 1, "1", W({zbc("zcl lock lock"), read})},
        {"ZigBee code slot 1", zlock("1"), 4, "1234", W({zbc("zcl lock set-pin 1 0x01 0x00 \"1234\"")})},
        {"ZigBee clear slot 2", zlock("1"), 5, "", W({zbc("zcl lock clear-pin 2")})},
    });
}

TEST_F(SetValue, Thermostats) {
    std::vector<Row> rows;
    for (const char* t : {"Thermostat", "ZenThermostat"}) {
        rows.push_back({"mode", zwDev(t), 2, "Heat", W({zw(23, 0x40, 0, 2, 1, 4, "Heat")})});
        rows.push_back({"heating", zwDev(t), 4, "70", W({zw(23, 0x43, 1, 2, 1, 2, "70")})});
        rows.push_back({"cooling", zwDev(t), 5, "75", W({zw(23, 0x43, 2, 2, 1, 2, "75")})});
        rows.push_back({"fan", zwDev(t), 6, "On Low", W({zw(23, 0x44, 0, 2, 1, 4, "On Low")})});
        rows.push_back({"custom", zbDev(t), 10, "01 02", W({zbc("raw 0xFE11 {05 58 11 00 10 01 02} ")})});
        rows.push_back({"ZigBee heating", zbDev(t), 4, "72", W({zbc("zcl global write 0x0201 0x0012 0x29 {ae 08}")})});
    }
    auto sp = [](const char* mode) { return zwDev("SetPointThermostat", {val(5, "THERMOSTAT MODE", mode)}); };
    auto ir = zwDev("ZWtoACIRExtender");
    std::vector<Row> more = {
        {"72F is 22C", sp("Heat"), 1, "72", W({zw(23, 0x43, 1, 2, 1, 2, "22")})},
        {"75F is 24C", sp("Heat"), 1, "75", W({zw(23, 0x43, 1, 2, 1, 2, "24")})},
        {"-40F is -40C", sp("Heat"), 1, "-40", W({zw(23, 0x43, 1, 2, 1, 2, "-40")})},
        {"economy set point", sp("Heat Econ"), 1, "72", W({zw(23, 0x43, 11, 2, 1, 2, "22")})},
        {"set point battery", sp("Heat"), 2, "", W({battery()})},
        {"set point mode", sp("Heat"), 5, "Cool", W({zw(23, 0x40, 0, 2, 1, 4, "Cool")})},
        {"IR mode", ir, 2, "Cool", W({zw(23, 0x40, 0, 2, 1, 4, "Cool")})},
        {"IR heating", ir, 3, "72", W({zw(23, 0x43, 1, 2, 1, 2, "22")})},
        {"IR cooling", ir, 4, "77", W({zw(23, 0x43, 2, 2, 1, 2, "25")})},
        {"IR fan", ir, 5, "Auto Low", W({zw(23, 0x44, 0, 2, 1, 4, "Auto Low")})},
        {"IR battery", ir, 6, "", W({battery()})},
        {"IR swing", ir, 8, "1", W({zw(23, 0x70, 33, 2, 2, 1, "1")})},
        {"IR basic", ir, 9, "5", W({zw(23, 0x20, 0, 2, 0, 1, "5")})},
        {"IR code", ir, 10, "20", W({zw(23, 0x70, 27, 2, 2, 7, "20")})},
        {"IR parameter triple", ir, 11, "5,1,3", W({zw(23, 0x70, 5, 2, 2, 1, "3")})},
        {"IR parameter pair", ir, 11, "5,1", kNothing, {"zwave"}},
    };
    rows.insert(rows.end(), more.begin(), more.end());
    runRows(rows);
}

TEST_F(SetValue, LightsAndHue) {
    DevSpec lamp = {"HueLamp",
                    HUE,
                    {val(1, "HUE_BRIDGE_ID", "bridge-01"), val(2, "SWITCH BINARY", "true"), val(8, "HUE_BULB_ID", "7"),
                     val(9, "USER_NAME", "hueuser")}};
    auto h = [](int cmd, auto set) {
        HueFields f;
        set(f);
        return hue(cmd, f);
    };
    runRows({
        {"colour light level", zbDev("ColorDimmableLight"), 1, "50", W({zbc("zcl level-control o-mv-to-level 50 0")})},
        {"colour light on", zbDev("ColorDimmableLight"), 2, "true", W({zbc("zcl on-off on")})},
        {"colour light hue", zbDev("ColorDimmableLight"), 3, "200",
         W({zbc("zcl colorcontrol movetohue  0xc8 0x00 0x00 ")})},
        {"colour light saturation", zbDev("ColorDimmableLight"), 4, "100",
         W({zbc("zcl colorcontrol movetosat 0x64 0x00")})},
        {"colour light temperature", zbDev("ColorDimmableLight"), 5, "4000",
         W({zbc("zcl colorcontrol movetocolortemp  0xfa 1")})},
        {"lamp off", lamp, 2, "false", W({h(101, [](HueFields& f) { f.state = "false"; })})},
        {"lamp toggle", lamp, 2, "toggle", W({h(101, [](HueFields& f) { f.state = "false"; })})},
        {"lamp hue", lamp, 3, "300", W({h(102, [](HueFields& f) { f.hue = 300; })})},
        {"lamp saturation", lamp, 4, "120", W({h(103, [](HueFields& f) { f.saturation = 120; })})},
        {"lamp level", lamp, 5, "90", W({h(104, [](HueFields& f) { f.level = 90; })})},
        {"lamp index 1 nothing", lamp, 1, "x", kNothing, {"hue"}},
    });
}

TEST_F(SetValue, Nest) {
    DevSpec therm = {"NestThermostat",
                     NEST,
                     {val(1, "NEST_ID", "nest-abc"), val(7, "TEMPERATURE", "F"), val(8, "AWAY_MODE", "home")}};
    auto n = [](int cmd, auto set) {
        NestFields f;
        set(f);
        return nest(cmd, f);
    };
    DevSpec zwNest = {"NestThermostat", ZW, {val(1, "NEST_ID", "nest-abc")}};
    DevSpec cam = {"NestCam", NEST, {val(1, "NEST_ID", "cam-1")}};
    runRows({
        {"mode", therm, 2, "eco", W({n(104, [](NestFields& f) { f.hvac = 4; })})},
        {"target", therm, 3, "72", W({n(103, [](NestFields& f) { f.v103 = "72"; })})},
        {"target cut to its field", therm, 3, "12345678901234",
         W({n(103, [](NestFields& f) { f.v103 = "123456789"; })})},
        {"low", therm, 5, "65", W({n(107, [](NestFields& f) { f.v107 = "65"; })})},
        {"high", therm, 6, "80", W({n(108, [](NestFields& f) { f.v108 = "80"; })})},
        {"away", therm, 8, "away", W({n(102, [](NestFields& f) { f.presence = 0; })})},
        {"home", therm, 8, "home", W({n(102, [](NestFields&) {})})},
        {"fan", therm, 9, "true", W({n(101, [](NestFields& f) { f.fan = 1; })})},
        {"Nest requests only for Nest devices", zwNest, 3, "72", kNothing, {"nest", "zwave"}},
        {"camera", cam, 11, "ignored",
         W({n(131,
              [](NestFields& f) {
                  f.nestId = "cam-1";
                  f.presence = 0;
                  f.scale = 0;
              })})},
        {"camera index 10", cam, 10, "x", kNothing, {"nest"}},
    });
}

TEST_F(SetValue, GenericDeviceByIndexType) {
    // A generic device has a value of each type the rows name, in the order
    // they first name it, on end point 2.
    struct TypeRow {
        const char* name;
        int tech;
        const char* type;
        const char* value;
        Want want;
        std::set<std::string> quiet = {};
    };
    std::vector<std::string> names;
    auto idx = [&](const char* name) { return int(std::find(names.begin(), names.end(), name) - names.begin()) + 1; };
    const std::vector<TypeRow> typeRows = {
        {"switch Z-Wave on its end point", ZW, "SWITCH BINARY", "true", W({on(2)})},
        {"switch ZigBee on its end point", ZB, "SWITCH BINARY", "false", W({zbc("zcl on-off off", 2)})},
        {"switch toggle is not taken", ZW, "SWITCH BINARY", "toggle", kNothing, {"zwave"}},
        {"tamper", ZW, "TAMPER", "false", tamper()},
        {"alarm Z-Wave", ZW, "ALARM_STATE", "true", W({on(1)})},
        {"alarm ZigBee nothing", ZB, "ALARM_STATE", "true", kNothing, {"zigbee"}},
        {"multilevel", ZW, "SWITCH MULTILEVEL", "10", W({level("10")})},
        {"dimmer", ZW, "DIMMER_LEVEL", "11", W({level("11")})},
        {"multisound", ZW, "SWITCH_MULTISOUND", "12", W({level("12")})},
        {"shutter", ZW, "SHUTTER_LEVEL", "13", W({level("13")})},
        {"basic extender", ZW, "BASIC_EXTENDER", "14", W({zw(23, 0x20, 0, 2, 0, 1, "14")})},
        {"up down", ZW, "UP_DOWN", "15", W({zw(23, 0x20, 0, 2, 0, 1, "15")})},
        {"lock", ZW, "LOCK_STATE", "255", W({zw(23, 0x62, 0, 2, 1, 1, "255")})},
        {"ZigBee lock", ZB, "LOCK_STATE_ZB", "1", W({zbc("zcl lock lock"), zbc("zcl global read 0x0001 0x0021")})},
        {"hue", ZB, "HUE_ZB", "16", W({zbc("zcl colorcontrol movetohue  0x10 0x00 0x00 ")})},
        {"saturation", ZB, "SATURATION", "17", W({zbc("zcl colorcontrol movetosat 0x11 0x00")})},
        {"colour temperature", ZB, "COLOR_TEMPERATURE", "5000", W({zbc("zcl colorcontrol movetocolortemp  0xc8 1")})},
        {"mode", ZW, "THERMOSTAT MODE", "Heat", W({zw(23, 0x40, 0, 2, 1, 4, "Heat")})},
        {"AC mode", ZW, "AC MODE", "Cool", W({zw(23, 0x40, 0, 2, 1, 4, "Cool")})},
        {"heating", ZW, "THERMOSTAT SETPOINT HEATING", "20", W({zw(23, 0x43, 1, 2, 1, 2, "20")})},
        {"set point", ZW, "THERMOSTAT SETPOINT", "21", W({zw(23, 0x43, 1, 2, 1, 2, "21")})},
        {"AC heating", ZW, "AC SETPOINT HEATING", "22", W({zw(23, 0x43, 1, 2, 1, 2, "22")})},
        {"cooling", ZW, "THERMOSTAT SETPOINT COOLING", "23", W({zw(23, 0x43, 2, 2, 1, 2, "23")})},
        {"AC cooling", ZW, "AC SETPOINT COOLING", "24", W({zw(23, 0x43, 2, 2, 1, 2, "24")})},
        {"fan", ZW, "THERMOSTAT FAN MODE", "On Low", W({zw(23, 0x44, 0, 2, 1, 4, "On Low")})},
        {"AC fan", ZW, "AC FAN MODE", "High", W({zw(23, 0x44, 0, 2, 1, 4, "High")})},
        {"stop", ZW, "STOP", "", W({zw(23, 0x26, 1, 2, 1, 8, "true")})},
        {"barrier", ZW, "BARRIER OPERATOR", "255", W({zw(23, 0x66, 0, 2, 1, 1, "255")})},
        {"swing", ZW, "AC SWING", "1", W({zw(23, 0x70, 33, 2, 2, 1, "1")})},
        {"IR code", ZW, "IR CODE", "7", W({zw(23, 0x70, 27, 2, 2, 7, "7")})},
        {"users", ZW, "MAXIMUM_USERS", "4321",
         [&](int) { return std::vector<Pkt>{zw(23, 0x63, idx("MAXIMUM_USERS"), 2, 1, 9, "4321")}; }},
        {"covering", ZW, "WINDOW_COVERING_MODE", "2", W({zw(23, 0x50, 0, 2, 1, 8, "false")})},
        {"unlisted type", ZW, "TEMPERATURE", "1", kNothing, {"zwave", "ha"}},
    };
    for (const TypeRow& r : typeRows)
        if (std::find(names.begin(), names.end(), r.type) == names.end()) names.push_back(r.type);
    std::vector<ValueRecord> v;
    for (const std::string& name : names) v.push_back(val(idx(name.c_str()), name.c_str(), "0", 2));
    DevSpec g = zwDev("GenericDevice", v);
    DevSpec gz = zbDev("GenericDevice", v);
    std::vector<Row> rows;
    for (const TypeRow& r : typeRows)
        rows.push_back({r.name, r.tech == ZB ? gz : g, idx(r.type), r.value, r.want, r.quiet});
    rows.insert(rows.end(), {
                                {"no such index", g, 77, "1", kNothing, {"zwave", "ha"}},
                                // The value is found by its index even where the list has gaps.
                                {"gap before the index", zwDev("GenericDevice", {val(5, "SWITCH BINARY", "false", 3)}),
                                 5, "true", W({on(3)})},
                            });
    runRows(rows);
}

TEST_F(SetValue, HalvixSirenAndBlink) {
    DevSpec siren = {"HalvixSiren", HLX, {val(2, "BUZZ_STATE", "false"), val(5, "Seconds", "45")}};
    auto blink = [](const char* on, const char* blinking) {
        return DevSpec{
            "HalvixBlink", HLX, {val(1, "LED_STATE", on), val(2, "BLINK_STATE", blinking), val(4, "Seconds", "12")}};
    };
    runRows({
        {"enable", siren, 1, "true", W({pic(3, 0, 0, 1)})},
        {"disable", siren, 1, "false", W({pic(3, 0, 0, 2)})},
        {"enable other text", siren, 1, "toggle", kNothing, {"pic"}},
        {"start", siren, 2, "true", W({pic(1, 0, 45)})},
        {"stop", siren, 2, "false", W({pic(2)})},
        {"tone", siren, 3, "2", W({pic(0, 6, 0, 2, 2, {0, 0, 2, 1, 1000, 2000}, {1, 1, 1, 1, 1, 1})})},
        {"volume", siren, 4, "7", W({picVolume(7, 2)})},
        {"duration",
         siren,
         5,
         "30",
         [](int id) { return std::vector<Pkt>{assoc(5, id, "SetDuration", "30", 63)}; },
         {"pic"}},
        {"steady on", blink("false", "false"), 1, "true", W({pic(6, 0, 0, 2)})},
        {"blinking on", blink("false", "true"), 1, "true", W({pic(6, 0, 0, 1)})},
        {"toggle", blink("true", "false"), 1, "toggle", W({pic(7, 0, 0, 2)})},
        {"blink start", blink("true", "false"), 2, "true", W({pic(4, 0, 12)})},
        {"blink stop", blink("true", "true"), 2, "false", W({pic(7, 0, 0, 1)})},
        {"colour", blink("true", "false"), 3, "16711680", W({pic(5, 0, 0, 0, 0xff0000)})},
        {"blink duration", blink("true", "true"), 4, "10",
         [](int id) {
             return std::vector<Pkt>{assoc(5, id, "SetDuration", "10", 64), pic(4, 0, 10)};
         }},
    });
}

TEST_F(SetValue, ZigbeeExtenderAndCamera) {
    DevSpec ir = zbDev("ZBIRExtender");
    auto cam = [](const char* capture) {
        return zbDev("ZigbeeCamImage",
                     {val(4, "CAPTUREIMAGE", capture), val(6, "IMAGES_COUNT", "3"), val(7, "RESOLUTION", "1")});
    };
    runRows({
        {"IR mode", ir, 1, "Cool", W({zbc("zcl global write 0x0201 0x001c 0x30 {03}")})},
        {"IR code", ir, 8, "0x0102ab0405", W({zbc("zcl global write 0x0201 0x1011 0x24 {01 02 ab 04 05}")})},
        {"IR code too short", ir, 8, "0x0102", kNothing, {"zigbee"}},
        {"IR code not hexadecimal", ir, 8, "0x01zzab0405", kNothing, {"zigbee"}},
        {"IR index 2", ir, 2, "v2", [](int id) { return std::vector<Pkt>{assoc(1, id, "SetIndexName", "v2", 65, 2)}; }},
        {"IR index 7", ir, 7, "v7", [](int id) { return std::vector<Pkt>{assoc(1, id, "SetIndexName", "v7", 65, 7)}; }},
        {"IR index 9", ir, 9, "v9", [](int id) { return std::vector<Pkt>{assoc(1, id, "SetIndexName", "v9", 65, 9)}; }},
        {"IR index 14", ir, 14, "v14",
         [](int id) { return std::vector<Pkt>{assoc(1, id, "SetIndexName", "v14", 65, 14)}; }},
        {"IR index 15", ir, 15, "v", kNothing, {"ha-assoc", "zigbee"}},
        {"motion", cam("1"), 1, "true", [](int id) { return std::vector<Pkt>{ha(id, "MotionState", "true")}; }},
        {"tamper", cam("1"), 3, "false", tamper()},
        {"capture by value 4", cam("2"), 4, "true", W({zbc("raw 0x0503 {43 31 05}")})},
        {"capture off", cam("1"), 4, "false", W({zbc("raw 0x0503 {43 31 03}")})},
        {"arm", cam("1"), 5, "Arm", W({zbc("raw 0x0503 {43 31 2F}")})},
        {"images", cam("1"), 6, "6", [](int id) { return std::vector<Pkt>{ha(id, "ImageCount", "6")}; }},
        {"resolution", cam("1"), 7, "2", [](int id) { return std::vector<Pkt>{ha(id, "Resolution", "2")}; }},
        {"video camera does nothing", zbDev("ZigbeeCamVideo"), 1, "true", kNothing, {"ha", "zigbee"}},
    });
}

TEST_F(SetValue, IndexZeroAndUnknownTypes) {
    std::vector<Row> rows;
    for (const char* t : {"BinarySwitch", "GenericDevice", "ZBIRExtender", "KeyFob", "HalvixSiren", "EnergyReader"}) {
        DevSpec d = zwDev(t);
        rows.push_back({"security only",
                        d,
                        0,
                        "1",
                        [](int id) { return std::vector<Pkt>{ha(id, "security", "1")}; },
                        {"zwave", "ha-assoc", "pic"}});
    }
    DevSpec unknown = zwDev("NoSuchType");
    rows.push_back({"unknown type", unknown, 1, "true", kNothing, {"zwave"}});
    runRows(rows);
}

TEST_F(SetValue, ZWaveToggle) {
    struct {
        const char* name;
        DevSpec dev;
        std::vector<Pkt> want;
    } cases[] = {
        {"dimmer on", zwDev("MultilevelSwitch", {val(1, "SWITCH MULTILEVEL", "37")}), {level("0")}},
        {"dimmer off", zwDev("MultilevelSwitch", {val(1, "SWITCH MULTILEVEL", "0")}), {level("100")}},
        {"binary on", zwDev("BinarySwitch", {val(1, "SWITCH BINARY", "true")}), {off()}},
        {"power off", zwDev("BinaryPowerSwitch", {val(1, "SWITCH BINARY", "false")}), {on()}},
        {"lock", zwDev("DoorLock", {val(1, "LOCK_STATE", "true")}), {}},
    };
    for (auto& c : cases) {
        Device d(layDown(c.dev));
        expectSent(c.name, [&] { d.setSwitchToggle(); }, c.want, {"zwave"});
    }
    Device n(layDown({"NestThermostat", NEST, {val(1, "NEST_ID", "n")}}));
    expectSent("Nest", [&] { n.setSwitchToggle(); }, {}, {"nest"});
}

TEST_F(SetValue, NullValueDoesNothing) {
    Device d(layDown(zwDev("BinarySwitch")));
    expectSent("null",
               [&] {
                   d.setValue(0, nullptr);
                   d.setValue(1, nullptr);
               },
               {}, {"zwave", "ha"});
}

// Indexes and values a type has no command for: nothing reaches any server.
TEST_F(SetValue, IndexesWithoutACommandSendNothing) {
    using Calls = std::vector<std::pair<int, const char*>>;
    const std::set<std::string> all = {"zwave", "zigbee", "hue", "nest", "pic", "ha", "ha-assoc"};
    struct Case {
        const char* name;
        DevSpec dev;
        Calls calls;
    };
    std::vector<ValueRecord> generic = {val(1, "SWITCH BINARY", "0", 2), val(2, "ALARM_STATE", "0"),
                                        val(300, "MAXIMUM_USERS", "0")};
    const Case cases[] = {
        {"dimmer", zwDev("MultilevelSwitch"), {{2, "5"}}},
        {"sensor", zwDev("MotionSensor"), {{3, "true"}, {4, "false"}}},
        {"on-off dimmer", zwDev("MultilevelSwitchOnOff", {val(2, "SWITCH BINARY", "true")}), {{2, "maybe"}, {3, "1"}}},
        {"door lock slot beyond a byte", zwDev("DoorLock"), {{300, "1234"}}},
        {"thermostat", zwDev("Thermostat"), {{7, "1"}}},
        {"warning device", zbDev("StandardWarningDevice"), {{2, "1"}, {3, "true"}}},
        {"smart switch", zbDev("SmartACSwitch", {val(1, "SWITCH BINARY", "true")}), {{2, "true"}, {1, "maybe"}}},
        {"window covering", zbDev("WindowCovering"), {{2, "1"}, {1, "4"}}},
        {"temperature sensor", zwDev("TemperatureSensor"), {{1, "1"}}},
        {"ZigBee lock", zbDev("ZigbeeDoorLock"), {{2, "1"}, {3, "1"}, {300, "1234"}}},
        {"colour light", zbDev("ColorDimmableLight", {val(2, "SWITCH BINARY", "true")}), {{6, "1"}, {2, "maybe"}}},
        {"smoke detector", zwDev("SmokeDetector", {val(4, "SWITCH BINARY", "true")}), {{3, "1"}, {4, "maybe"}}},
        {"multi switch", zbDev("MultiSwitch", {val(1, "SWITCH BINARY", "true")}), {{3, "true"}, {1, "maybe"}}},
        {"set point thermostat", zwDev("SetPointThermostat"), {{3, "70"}}},
        {"Hue lamp", {"HueLamp", HUE, {val(2, "SWITCH BINARY", "true")}}, {{2, "maybe"}, {6, "1"}}},
        {"roller shutter", zwDev("RollerShutter"), {{4, "1"}}},
        {"garage door", zwDev("GarageDoorOpener"), {{2, "1"}}},
        {"IR extender", zwDev("ZWtoACIRExtender"), {{7, "1"}, {12, "1"}}},
        {"multi-sound siren", zwDev("MultiSoundSiren"), {{2, "1"}}},
        {"energy reader", zwDev("EnergyReader", {val(1, "POWER", "5")}), {{4, "1"}}},
        {"Nest thermostat", {"NestThermostat", NEST, {val(1, "NEST_ID", "n")}}, {{4, "1"}, {7, "1"}}},
        {"Nest index on a Z-Wave device", zwDev("NestThermostat"), {{3, "70"}}},
        {"generic ZigBee alarm, Hue switch", {"GenericDevice", HUE, generic}, {{1, "true"}, {2, "true"}}},
        {"generic alarm neither", zwDev("GenericDevice", generic), {{2, "maybe"}, {300, "1234"}}},
        {"button", zbDev("QuentrixButton"), {{3, "true"}, {2, "false"}}},
        {"hub siren", {"HalvixSiren", HLX, {}}, {{2, "maybe"}, {1, "maybe"}, {6, "1"}}},
        {"hub blink", {"HalvixBlink", HLX, {val(1, "LED_STATE", "true")}}, {{1, "maybe"}, {2, "maybe"}, {5, "1"}}},
        {"IR code not hexadecimal", zbDev("ZBIRExtender"), {{8, "001G3456789A"}, {8, "00G23456789A"}, {15, "1"}}},
        {"camera", zbDev("ZigbeeCamImage"), {{3, "true"}, {4, "maybe"}, {8, "1"}}},
    };
    for (const Case& c : cases) {
        Device d(layDown(c.dev));
        expectSent(
            c.name,
            [&] {
                for (const auto& call : c.calls) d.setValue(call.first, const_cast<char*>(call.second));
            },
            {}, all);
    }
    // A Nest device whose object lost its ID: the Nest requests are not sent.
    int goneId = layDown({"NestThermostat", NEST, {val(1, "NEST_ID", "n")}});
    Device gone(goneId);
    expectSent("remove", [&] { gone.removeDevice(); }, {assoc(0, goneId, "DeviceRemove", "", NestThermostat)});
    expectSent("removed Nest", [&] { gone.setValue(3, const_cast<char*>("70")); }, {}, {"nest"});
}

}  // namespace
