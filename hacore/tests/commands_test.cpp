// The named setters of every technology: the bytes each server receives.
#include <thread>

#include "commands_util.h"

using namespace cmdtest;
using testkit::captureStderr;
using testkit::captureStdout;

namespace {

struct Case {
    const char* name;
    DevSpec dev;
    std::function<void(Device&)> act;
    std::function<std::vector<Pkt>(int id)> want;
    std::set<std::string> quiet = {};
};

void runCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        int id = layDown(c.dev);
        Device d(id);
        expectSent(
            c.name, [&] { c.act(d); }, c.want(id), c.quiet);
    }
}

std::vector<Pkt> none(int) { return {}; }

const DevSpec kZWave = {"BinarySwitch", ZW, {}};
const DevSpec kZigbee = {"BinarySwitch", ZB, {}, 0x1a2b};
const DevSpec kLamp = {"HueLamp",
                       HUE,
                       {val(1, "HUE_BRIDGE_ID", "bridge-01"), val(2, "SWITCH BINARY", "true"),
                        val(8, "HUE_BULB_ID", "7"), val(9, "USER_NAME", "hueuser")}};
const DevSpec kNest = {
    "NestThermostat", NEST, {val(1, "NEST_ID", "nest-abc"), val(7, "TEMPERATURE", "F"), val(8, "AWAY_MODE", "home")}};

class Commands : public ::testing::Test {
protected:
    static void SetUpTestSuite() { connectOnce(); }
    void SetUp() override { settle(); }
};

TEST_F(Commands, ZWaveSetters) {
    std::string codeOf150(150, '7');
    runCases({
        {"on", kZWave, [](Device& d) { d.setSwitchOn(true, 1); },
         [](int) { return std::vector<Pkt>{zw(23, 0x25, 0, 2, 1, 0, "true")}; }},
        {"off instance 3", kZWave, [](Device& d) { d.setSwitchOn(false, 3); },
         [](int) { return std::vector<Pkt>{zw(23, 0x25, 0, 2, 1, 0, "false", 3)}; }},
        {"on end point is ZigBee only", kZWave, [](Device& d) { d.setSwitchOnEp(true, 2); }, none, {"zwave", "zigbee"}},
        {"all on",
         kZWave,
         [](Device& d) { d.setSwitchAll(true); },
         [](int) { return std::vector<Pkt>{zw(0, 0, 0, 10, 0, 0, "")}; },
         {"zigbee", "hue"}},
        {"all off", kZWave, [](Device& d) { d.setSwitchAll(false); },
         [](int) { return std::vector<Pkt>{zw(0, 0, 0, 11, 0, 0, "")}; }},
        {"dim start", kZWave, [](Device& d) { d.startDimming(true); },
         [](int) { return std::vector<Pkt>{zw(23, 0x26, 2, 2, 1, 8, "true")}; }},
        {"brighten stop", kZWave, [](Device& d) { d.startBrightning(false); },
         [](int) { return std::vector<Pkt>{zw(23, 0x26, 1, 2, 1, 8, "false")}; }},
        {"shutter stop", kZWave, [](Device& d) { d.stopShutterRolling(); },
         [](int) { return std::vector<Pkt>{zw(23, 0x26, 1, 2, 1, 8, "true")}; }},
        {"cover up", kZWave, [](Device& d) { d.startWindowCovering(true); },
         [](int) { return std::vector<Pkt>{zw(23, 0x50, 0, 2, 1, 8, "true")}; }},
        {"cover down", kZWave, [](Device& d) { d.startWindowCovering(false); },
         [](int) { return std::vector<Pkt>{zw(23, 0x50, 0, 2, 1, 8, "false")}; }},
        {"cover stop", kZWave, [](Device& d) { d.stopWindowCovering(true); },
         [](int) { return std::vector<Pkt>{zw(23, 0x50, 1, 2, 1, 8, "true")}; }},
        {"lock", kZWave, [](Device& d) { d.setDoorLock(255); },
         [](int) { return std::vector<Pkt>{zw(23, 0x62, 0, 2, 1, 1, "255")}; }},
        {"lock conf", kZWave, [](Device& d) { d.setDoorLockConf(7); },
         [](int) { return std::vector<Pkt>{zw(23, 0x62, 1, 2, 1, 3, "7")}; }},
        {"user code", kZWave, [](Device& d) { d.setUserCode(txt("1234"), 2); },
         [](int) { return std::vector<Pkt>{zw(23, 0x63, 2, 2, 1, 9, "1234")}; }},
        {"user code cut at 99", kZWave, [&](Device& d) { d.setUserCode(&codeOf150[0], 9); },
         [](int) { return std::vector<Pkt>{zw(23, 0x63, 9, 2, 1, 9, std::string(99, '7'))}; }},
        {"get user code", kZWave, [](Device& d) { d.getUserCode(4); },
         [](int) { return std::vector<Pkt>{zw(23, 0x63, 4, 3, 1, 9, "")}; }},
        {"scene controller", kZWave, [](Device& d) { d.setSceneControllerConf(5); },
         [](int) { return std::vector<Pkt>{zw(23, 0x2D, 0, 2, 1, 3, "5")}; }},
        {"basic", kZWave, [](Device& d) { d.setBasic(99); },
         [](int) { return std::vector<Pkt>{zw(23, 0x20, 0, 2, 0, 1, "99")}; }},
        {"get basic", kZWave, [](Device& d) { d.getBasic(); },
         [](int) { return std::vector<Pkt>{zw(23, 0x20, 0, 15, 0, 1, "")}; }},
        {"battery", kZWave, [](Device& d) { d.getBatteryStatus(); },
         [](int) { return std::vector<Pkt>{zw(23, 0x80, 0, 15, 1, 1, "")}; }},
        {"config byte", kZWave, [](Device& d) { d.SetConfigParam(33, 1, 5); },
         [](int) { return std::vector<Pkt>{zw(23, 0x70, 33, 2, 2, 1, "5")}; }},
        {"config short", kZWave, [](Device& d) { d.SetConfigParam(27, 2, 300); },
         [](int) { return std::vector<Pkt>{zw(23, 0x70, 27, 2, 2, 7, "300")}; }},
        {"config int", kZWave, [](Device& d) { d.SetConfigParam(5, 4, -1); },
         [](int) { return std::vector<Pkt>{zw(23, 0x70, 5, 2, 2, 3, "-1")}; }},
        {"config size 3", kZWave, [](Device& d) { d.SetConfigParam(6, 3, 2); },
         [](int) { return std::vector<Pkt>{zw(23, 0x70, 6, 2, 2, 1, "2")}; }},
        {"config parameter beyond a byte", kZWave, [](Device& d) { d.SetConfigParam(300, 1, 1); }, none, {"zwave"}},
        {"garage", kZWave, [](Device& d) { d.SetGarageDoorLevel(255); },
         [](int) { return std::vector<Pkt>{zw(23, 0x66, 0, 2, 1, 1, "255")}; }},
        {"mode", kZWave, [](Device& d) { d.setThermostatMode(txt("Heat")); },
         [](int) { return std::vector<Pkt>{zw(23, 0x40, 0, 2, 1, 4, "Heat")}; }},
        {"fan mode", kZWave, [](Device& d) { d.setThermostatFanMode(txt("Auto Low")); },
         [](int) { return std::vector<Pkt>{zw(23, 0x44, 0, 2, 1, 4, "Auto Low")}; }},
        {"heating", kZWave, [](Device& d) { d.setThermostatHeatingTemp(21, 11); },
         [](int) { return std::vector<Pkt>{zw(23, 0x43, 11, 2, 1, 2, "21")}; }},
        {"cooling", kZWave, [](Device& d) { d.setThermostatCoolingTemp(25); },
         [](int) { return std::vector<Pkt>{zw(23, 0x43, 2, 2, 1, 2, "25")}; }},
        {"ZigBee and Hue setters do nothing",
         kZWave,
         [](Device& d) {
             d.setHue(3);
             d.setSaturation(3);
             d.setColorTemperature(4000);
             d.setSirenOn(5);
             d.readPanId();
             d.getbrightness();
             d.setColorBulb(1);
         },
         none,
         {"zwave", "zigbee", "hue"}},
        {"wake up and alarm do nothing",
         kZWave,
         [](Device& d) {
             d.wakeUpDevice();
             d.startAlarm(true);
         },
         none,
         {"zwave", "ha"}},
    });
}

TEST_F(Commands, DimmingIsRecordedForTheNotification) {
    lightDeviceID = sentLightValue = -1;
    int id = layDown({"MultilevelSwitch", ZW, {}});
    Device d(id);
    expectSent("level", [&] { d.setSwitchLevel(40); }, {zw(23, 0x26, 0, 2, 1, 1, "40")});
    EXPECT_EQ(lightDeviceID, id);
    EXPECT_EQ(sentLightValue, 40);
    // Only Z-Wave dimming is recorded.
    lightDeviceID = sentLightValue = -1;
    Device z(layDown(kZigbee));
    expectSent("ZigBee level", [&] { z.setSwitchLevel(10); }, {zbc("zcl level-control o-mv-to-level 10 0")});
    EXPECT_EQ(lightDeviceID, -1);
    EXPECT_EQ(sentLightValue, -1);
}

TEST_F(Commands, ZigbeeSetters) {
    DevSpec climax = kZigbee;
    climax.manufacturer = "ClimaxTechnology";
    DevSpec camera = {"ZigbeeCamImage", ZB, {val(6, "IMAGES_COUNT", "6"), val(7, "RESOLUTION", "1")}, 0x1a2b};
    DevSpec camera23 = {"ZigbeeCamImage", ZB, {val(6, "IMAGES_COUNT", "3"), val(7, "RESOLUTION", "2")}, 0x1a2b};
    DevSpec camera33 = {"ZigbeeCamImage", ZB, {val(6, "IMAGES_COUNT", "3"), val(7, "RESOLUTION", "3")}, 0x1a2b};
    std::string longHex;
    for (int i = 0; i < 60; ++i) longHex += "AB ";
    runCases({
        {"on", kZigbee, [](Device& d) { d.setSwitchOn(true, 1); },
         [](int) { return std::vector<Pkt>{zbc("zcl on-off on")}; }},
        {"off end point 2", kZigbee, [](Device& d) { d.setSwitchOnEp(false, 2); },
         [](int) { return std::vector<Pkt>{zbc("zcl on-off off", 2)}; }},
        {"toggle", kZigbee, [](Device& d) { d.setSwitchToggle(); },
         [](int) { return std::vector<Pkt>{zbc("zcl on-off toggle")}; }},
        {"all off", kZigbee, [](Device& d) { d.setSwitchAll(false); },
         [](int) {
             HueFields h;
             h.devType = 1;
             h.state = "false";
             h.bulb = 0;
             h.user = h.bridge = "";
             return std::vector<Pkt>{zw(0, 0, 0, 11, 0, 0, ""), zb("zcl on-off off\rsend 0xffff 1 255\r"), hue(107, h)};
         }},
        {"level", kZigbee, [](Device& d) { d.setSwitchLevel(50); },
         [](int) { return std::vector<Pkt>{zbc("zcl level-control o-mv-to-level 50 0")}; }},
        {"cover up", kZigbee, [](Device& d) { d.startWindowCovering(true); },
         [](int) { return std::vector<Pkt>{zbc("zcl window-covering up")}; }},
        {"cover down", kZigbee, [](Device& d) { d.startWindowCovering(false); },
         [](int) { return std::vector<Pkt>{zbc("zcl window-covering down")}; }},
        {"cover stop", kZigbee, [](Device& d) { d.stopWindowCovering(true); },
         [](int) { return std::vector<Pkt>{zbc("zcl window-covering stop")}; }},
        {"lock", kZigbee, [](Device& d) { d.setDoorLock(1); },
         [](int) {
             return std::vector<Pkt>{zbc("zcl lock lock"), zbc("zcl global read 0x0001 0x0021")};
         }},
        {"unlock", kZigbee, [](Device& d) { d.setDoorLock(2); },
         [](int) {
             return std::vector<Pkt>{zbc("zcl lock unlock"), zbc("zcl global read 0x0001 0x0021")};
         }},
        {"set pin", kZigbee, [](Device& d) { d.setUserCode(txt("1234"), 1); },
         [](int) { return std::vector<Pkt>{zbc("zcl lock set-pin 1 0x01 0x00 \"1234\"")}; }},
        {"clear pin", kZigbee, [](Device& d) { d.setUserCode(txt(""), 3); },
         [](int) { return std::vector<Pkt>{zbc("zcl lock clear-pin 3")}; }},
        {"pin with a line break or quote is refused",
         kZigbee,
         [](Device& d) {
             d.setUserCode(txt("12\rzcl lock unlock"), 1);
             d.setUserCode(txt("12\" x"), 1);
         },
         none,
         {"zigbee"}},
        {"mode Off", kZigbee, [](Device& d) { d.setThermostatMode(txt("Off")); },
         [](int) { return std::vector<Pkt>{zbc("zcl global write 0x0201 0x001c 0x30 {00}")}; }},
        {"mode Auto", kZigbee, [](Device& d) { d.setThermostatMode(txt("Auto")); },
         [](int) { return std::vector<Pkt>{zbc("zcl global write 0x0201 0x001c 0x30 {01}")}; }},
        {"mode Cool", kZigbee, [](Device& d) { d.setThermostatMode(txt("Cool")); },
         [](int) { return std::vector<Pkt>{zbc("zcl global write 0x0201 0x001c 0x30 {03}")}; }},
        {"mode Heat", kZigbee, [](Device& d) { d.setThermostatMode(txt("Heat")); },
         [](int) { return std::vector<Pkt>{zbc("zcl global write 0x0201 0x001c 0x30 {04}")}; }},
        {"unknown mode", kZigbee, [](Device& d) { d.setThermostatMode(txt("Dry")); }, none, {"zigbee"}},
        {"fan On Low", kZigbee, [](Device& d) { d.setThermostatFanMode(txt("On Low")); },
         [](int) { return std::vector<Pkt>{zbc("zcl global write 0x0202 0x0000 0x30 {04}")}; }},
        {"fan Auto Low", kZigbee, [](Device& d) { d.setThermostatFanMode(txt("Auto Low")); },
         [](int) { return std::vector<Pkt>{zbc("zcl global write 0x0202 0x0000 0x30 {05}")}; }},
        {"unknown fan", kZigbee, [](Device& d) { d.setThermostatFanMode(txt("High")); }, none, {"zigbee"}},
        {"heating 72F", kZigbee, [](Device& d) { d.setThermostatHeatingTemp(72, 1); },
         [](int) { return std::vector<Pkt>{zbc("zcl global write 0x0201 0x0012 0x29 {ae 08}")}; }},
        {"cooling -40F", kZigbee, [](Device& d) { d.setThermostatCoolingTemp(-40); },
         [](int) { return std::vector<Pkt>{zbc("zcl global write 0x0201 0x0011 0x29 {60 f0}")}; }},
        {"heating 32F", kZigbee, [](Device& d) { d.setThermostatHeatingTemp(32, 1); },
         [](int) { return std::vector<Pkt>{zbc("zcl global write 0x0201 0x0012 0x29 {00 00}")}; }},
        {"heating beyond the attribute", kZigbee, [](Device& d) { d.setThermostatHeatingTemp(1000, 1); },
         [](int) { return std::vector<Pkt>{zbc("zcl global write 0x0201 0x0012 0x29 {ff 7f}")}; }},
        {"colour temperature", kZigbee, [](Device& d) { d.setColorTemperature(4000); },
         [](int) { return std::vector<Pkt>{zbc("zcl colorcontrol movetocolortemp  0xfa 1")}; }},
        {"colour temperature 0 and below",
         kZigbee,
         [](Device& d) {
             d.setColorTemperature(0);
             d.setColorTemperature(-5);
         },
         none,
         {"zigbee"}},
        {"hue", kZigbee, [](Device& d) { d.setHue(200); },
         [](int) { return std::vector<Pkt>{zbc("zcl colorcontrol movetohue  0xc8 0x00 0x00 ")}; }},
        {"saturation", kZigbee, [](Device& d) { d.setSaturation(100); },
         [](int) { return std::vector<Pkt>{zbc("zcl colorcontrol movetosat 0x64 0x00")}; }},
        {"hue and saturation", kZigbee, [](Device& d) { d.setHueandSat(10, 20); },
         [](int) { return std::vector<Pkt>{zbc("zcl colorcontrol movetohueandsat 0xa 0x14 1")}; }},
        {"siren", kZigbee, [](Device& d) { d.setSirenOn(30); },
         [](int) { return std::vector<Pkt>{zbc("zcl ias-wd warn-emer 1 30 ")}; }},
        {"siren Climax", climax, [](Device& d) { d.setSirenOn(30); },
         [](int) { return std::vector<Pkt>{zbc("zcl ias-wd warn-climax 1 30 ")}; }},
        {"siren 0 stops", kZigbee, [](Device& d) { d.setSirenOn(0); },
         [](int) { return std::vector<Pkt>{zbc("zcl ias-wd warn-stop")}; }},
        {"retain", kZigbee, [](Device& d) { d.Retainstate(true); },
         [](int) { return std::vector<Pkt>{zbc("zcl global write 0x0003 0x000 0x21 {00 00}")}; }},
        {"do not retain", kZigbee, [](Device& d) { d.Retainstate(false); },
         [](int) { return std::vector<Pkt>{zbc("zcl global write 0x0003 0x000 0x21 {11 11}")}; }},
        {"camera disarm", camera, [](Device& d) { d.setCameraMode(txt("Disarm")); },
         [](int id) {
             return std::vector<Pkt>{zbc("raw 0x0503 {43 31 03}"), ha(id, "MotionState", "false")};
         }},
        {"camera arm 1/6", camera, [](Device& d) { d.setCameraMode(txt("Arm")); },
         [](int) { return std::vector<Pkt>{zbc("raw 0x0503 {43 31 30}")}; }},
        {"camera arm 2/3", camera23, [](Device& d) { d.setCameraMode(txt("Arm")); },
         [](int) { return std::vector<Pkt>{zbc("raw 0x0503 {43 31 00}")}; }},
        {"camera arm 3/3", camera33, [](Device& d) { d.setCameraMode(txt("Arm")); }, none, {"zigbee"}},
        {"capture 1", kZigbee, [](Device& d) { d.CaptureZigbeeImage(1); },
         [](int) { return std::vector<Pkt>{zbc("raw 0x0503 {43 31 31}")}; }},
        {"capture 2", kZigbee, [](Device& d) { d.CaptureZigbeeImage(2); },
         [](int) { return std::vector<Pkt>{zbc("raw 0x0503 {43 31 05}")}; }},
        {"capture 3", kZigbee, [](Device& d) { d.CaptureZigbeeImage(3); },
         [](int) { return std::vector<Pkt>{zbc("raw 0x0503 {43 31 03}")}; }},
        {"capture 4", kZigbee, [](Device& d) { d.CaptureZigbeeImage(4); }, none, {"zigbee"}},
        {"custom", kZigbee, [](Device& d) { d.sendCustomMessage(txt("0A 0b")); },
         [](int) { return std::vector<Pkt>{zbc("raw 0xFE11 {05 58 11 00 10 0A 0b} ")}; }},
        {"custom that is not hexadecimal or too long",
         kZigbee,
         [&](Device& d) {
             d.sendCustomMessage(txt("0A}\rinfo"));
             d.sendCustomMessage(&longHex[0]);
         },
         none,
         {"zigbee"}},
        {"attribute", kZigbee,
         [](Device& d) {
             unsigned char b[5] = {1, 2, 0xab, 4, 5};
             d.setDeviceAttribute(0x0201, 0x1011, b);
             d.setDeviceAttribute(0x0201, 0x0012, b);
         },
         [](int) { return std::vector<Pkt>{zbc("zcl global write 0x0201 0x1011 0x24 {01 02 ab 04 05}")}; }},
        {"pan id", kZigbee, [](Device& d) { d.readPanId(); }, [](int) { return std::vector<Pkt>{zb("info\r")}; }},
        {"switch version", kZigbee, [](Device& d) { d.getCurrentandNextVersionofQuentrixswitch(); },
         [](int) {
             return std::vector<Pkt>{zb("zcl global direction 1\rsend 0x1a2b 1 255\r", "getswitchversion", 0x1a2b),
                                     zbc("zcl global read 0x0019 0x0000 "), zbc("zcl global direction 0")};
         }},
        {"upgrade", kZigbee, [](Device& d) { d.upgardeswitchversion(); },
         [](int) {
             return std::vector<Pkt>{
                 zb("zcl global write 0x0005 0x0002 0x021 {5E C1}\rsend 0x1a2b 1 255\r", "startupgrade", 0x1a2b)};
         }},
        {"remove", kZigbee, [](Device& d) { d.getRemovedeviceid(); },
         [](int) { return std::vector<Pkt>{zb("", "DeviceRemove", 0x1a2b)}; }},
    });
}

// A ZigBee device without a short address (65535, or a damaged negative
// one) gets nothing from any setter.
TEST_F(Commands, ZigbeeWithoutShortAddressSendsNothing) {
    for (int shortId : {65535, -1}) {
        DevSpec noAddress = kZigbee;
        noAddress.shortId = shortId;
        int id = layDown(noAddress);
        Device d(id);
        unsigned char b[5] = {0};
        expectSent(std::to_string(shortId),
                   [&] {
                       d.setSwitchOn(true, 1);
                       d.setSwitchOnEp(true, 1);
                       d.setSwitchToggle();
                       d.setSwitchLevel(3);
                       d.startWindowCovering(true);
                       d.stopWindowCovering(true);
                       d.setDoorLock(1);
                       d.setUserCode(txt("1"), 1);
                       d.setThermostatMode(txt("Heat"));
                       d.setThermostatFanMode(txt("On Low"));
                       d.setThermostatHeatingTemp(70, 1);
                       d.setThermostatCoolingTemp(70);
                       d.setColorTemperature(3000);
                       d.setHue(1);
                       d.setSaturation(1);
                       d.setHueandSat(1, 1);
                       d.setSirenOn(1);
                       d.setSirenOff();
                       d.Retainstate(true);
                       d.setCameraMode(txt("Disarm"));
                       d.CaptureZigbeeImage(1);
                       d.sendCustomMessage(txt("00"));
                       d.setDeviceAttribute(0x0201, 0x1011, b);
                       d.readPanId();
                       d.getCurrentandNextVersionofQuentrixswitch();
                       d.upgardeswitchversion();
                       d.getRemovedeviceid();
                       d.setSwitchAll(true);  // the Z-Wave part still goes out
                   },
                   {zw(0, 0, 0, 10, 0, 0, "")}, {"zigbee", "hue", "ha"});
    }
}

TEST_F(Commands, HueSetters) {
    DevSpec dimmer = {"MultilevelSwitchOnOff",
                      HUE,
                      {val(2, "SWITCH BINARY", "false"), val(3, "HUE_BRIDGE_ID", "bridge-02"),
                       val(4, "HUE_BULB_ID", "3"), val(5, "USER_NAME", "other")}};
    std::string longName(100, 'n');
    auto f = [](auto set) {
        HueFields h;
        set(h);
        return h;
    };
    // The dimmer's own bulb, user and bridge.
    auto dimmerFields = [](const char* state) {
        HueFields h;
        h.devType = 4;
        h.state = state;
        h.bulb = 3;
        h.user = "other";
        h.bridge = "bridge-02";
        return h;
    };
    runCases({
        {"on", kLamp, [](Device& d) { d.setSwitchOn(true, 1); },
         [&](int) { return std::vector<Pkt>{hue(101, f([](HueFields& h) { h.state = "true"; }))}; }},
        {"dimmer off", dimmer, [](Device& d) { d.setSwitchOn(false, 1); },
         [&](int) { return std::vector<Pkt>{hue(101, dimmerFields("false"))}; }},
        {"level", kLamp, [](Device& d) { d.setSwitchLevel(80); },
         [&](int) { return std::vector<Pkt>{hue(104, f([](HueFields& h) { h.level = 80; }))}; }},
        {"hue", kLamp, [](Device& d) { d.setHue(1000); },
         [&](int) { return std::vector<Pkt>{hue(102, f([](HueFields& h) { h.hue = 1000; }))}; }},
        {"saturation", kLamp, [](Device& d) { d.setSaturation(200); },
         [&](int) { return std::vector<Pkt>{hue(103, f([](HueFields& h) { h.saturation = 200; }))}; }},
        {"colour bulb", kLamp, [](Device& d) { d.setColorBulb(0xff00); },
         [&](int) { return std::vector<Pkt>{hue(108, f([](HueFields& h) { h.hue = 0xff00; }))}; }},
        {"brightness", kLamp, [](Device& d) { d.getbrightness(); }, [](int) { return std::vector<Pkt>{hue(110)}; }},
        {"state", kLamp, [](Device& d) { d.getstate(); }, [](int) { return std::vector<Pkt>{hue(111)}; }},
        {"remove",
         kLamp,
         [](Device& d) { d.getRemovedeviceid(); },
         [](int) { return std::vector<Pkt>{hue(109)}; },
         {"zigbee"}},
        {"toggle", kLamp, [](Device& d) { d.setSwitchToggle(); },
         [&](int) { return std::vector<Pkt>{hue(101, f([](HueFields& h) { h.state = "false"; }))}; }},
        {"toggle dimmer", dimmer, [](Device& d) { d.setSwitchToggle(); },
         [&](int) { return std::vector<Pkt>{hue(101, dimmerFields("true"))}; }},
        {"name goes to the bridge only",
         kLamp,
         [&](Device& d) { d.setName(&longName[0]); },
         [&](int) { return std::vector<Pkt>{hue(112, f([](HueFields& h) { h.newName = std::string(59, 'n'); }))}; },
         {"ha-assoc"}},
        {"no tamper for Hue", kLamp, [](Device& d) { d.clearTamper(); }, none, {"ha"}},
    });
    int id = layDown(kLamp);
    Device d(id);
    d.setName(txt("Lamp"));
    EXPECT_STREQ(d.getDeviceName(), "Lamp");
}

TEST_F(Commands, NestSetters) {
    auto f = [](auto set) {
        NestFields n;
        set(n);
        return n;
    };
    runCases({
        {"mode", kNest, [](Device& d) { d.setThermostatMode(txt("heat-cool")); },
         [&](int) { return std::vector<Pkt>{nest(104, f([](NestFields& n) { n.hvac = 3; }))}; }},
        {"mode off", kNest, [](Device& d) { d.setThermostatMode(txt("off")); },
         [](int) { return std::vector<Pkt>{nest(104)}; }},
        {"unknown mode", kNest, [](Device& d) { d.setThermostatMode(txt("auto")); }, none, {"nest"}},
        {"fan timer", kNest, [](Device& d) { d.setThermostatFanMode(txt("true")); },
         [&](int) { return std::vector<Pkt>{nest(101, f([](NestFields& n) { n.fan = 1; }))}; }},
        {"fan timer off", kNest, [](Device& d) { d.setThermostatFanMode(txt("false")); },
         [](int) { return std::vector<Pkt>{nest(101)}; }},
    });
}

TEST_F(Commands, HaSettingsAndAssociationRequests) {
    std::string longName(300, 'x');
    DevSpec camera = {"ZigbeeCamImage", ZB, {}, 0x1a2b};
    runCases({
        {"name",
         kZWave,
         [](Device& d) { d.setName(txt("Kitchen")); },
         [](int id) { return std::vector<Pkt>{assoc(0, id, "Name", "Kitchen")}; },
         {"hue"}},
        {"long name cut to its field", kZWave, [&](Device& d) { d.setName(&longName[0]); },
         [](int id) { return std::vector<Pkt>{assoc(0, id, "Name", std::string(179, 'x'))}; }},
        {"location", kZWave, [](Device& d) { d.setLocation(txt("Hall")); },
         [](int id) { return std::vector<Pkt>{assoc(0, id, "Location", "Hall")}; }},
        {"type", kZWave, [](Device& d) { d.changedevicetype(HueLamp); },
         [](int id) { return std::vector<Pkt>{assoc(0, id, "modifydevicetype", "", 48)}; }},
        {"index value", kZWave, [](Device& d) { d.setIndexValue(4, txt("SetIndexName"), txt("abc"), DEVTECH_ZIGBEE); },
         [](int id) { return std::vector<Pkt>{assoc(1, id, "SetIndexName", "abc", 1, 4)}; }},
        {"resolution", camera, [](Device& d) { d.setResolution(2); },
         [](int id) { return std::vector<Pkt>{ha(id, "Resolution", "2")}; }},
        {"image count 6", camera, [](Device& d) { d.setImageCnt(6); },
         [](int id) { return std::vector<Pkt>{ha(id, "ImageCount", "6")}; }},
        {"image count 4", camera, [](Device& d) { d.setImageCnt(4); }, none, {"ha"}},
        {"security", kZWave, [](Device& d) { d.setSecurityDevice(1); },
         [](int id) { return std::vector<Pkt>{ha(id, "security", "1")}; }},
        {"tamper Z-Wave", kZWave, [](Device& d) { d.clearTamper(); },
         [](int id) { return std::vector<Pkt>{ha(id, "Tamper", "false")}; }},
        {"tamper ZigBee", kZigbee, [](Device& d) { d.clearTamper(); },
         [](int id) { return std::vector<Pkt>{ha(id, "Tamper", "false")}; }},
        {"alarm", kZWave, [](Device& d) { d.clearAlarm(txt("PANIC_ALARM")); },
         [](int id) { return std::vector<Pkt>{ha(id, "PANIC_ALARM", "false")}; }},
    });

    int id = layDown(kZWave);
    Device d(id);
    std::string out;
    expectSent("name and location kept in the object",
               [&] {
                   d.setName(txt("Kitchen"));
                   d.setLocation(txt("Hall"));
               },
               {assoc(0, id, "Name", "Kitchen"), assoc(0, id, "Location", "Hall")});
    EXPECT_STREQ(d.getDeviceName(), "Kitchen");
    EXPECT_STREQ(d.getDeviceLocation(), "Hall");

    expectSent("printed",
               [&] {
                   out = captureStdout([&] { d.setMotionState(txt("true")); });
                   out += captureStdout([&] { d.setImageCnt(3); });
               },
               {ha(id, "MotionState", "true"), ha(id, "ImageCount", "3")});
    EXPECT_EQ(out,
              "----true------sending to 127.255.255.1 port:8888\n"
              "----------sending to 127.255.255.1 port:8888\n");
}

TEST_F(Commands, RemoveDeviceLeavesTheObjectWithoutId) {
    int id = layDown(kZWave);
    Device d(id);
    expectSent("remove", [&] { d.removeDevice(); }, {assoc(0, id, "DeviceRemove", "", 1)});
    EXPECT_EQ(d.getID(), 0);
    expectSent("after removal",
               [&] {
                   d.setSwitchOn(true, 1);
                   d.setName(txt("x"));
                   d.setSecurityDevice(1);
                   d.enableHalvixSiren(true);
               },
               {}, {"zwave", "ha", "ha-assoc", "pic"});
}

TEST_F(Commands, PicDriver) {
    DevSpec siren = {"HalvixSiren", HLX, {val(2, "BUZZ_STATE", "false"), val(5, "Seconds", "45")}};
    DevSpec blink = {"HalvixBlink", HLX, {val(1, "LED_STATE", "true"), val(4, "Seconds", "12")}};
    runCases({
        {"enable", siren, [](Device& d) { d.enableHalvixSiren(true); },
         [](int) { return std::vector<Pkt>{pic(3, 0, 0, 1)}; }},
        {"disable", siren, [](Device& d) { d.enableHalvixSiren(false); },
         [](int) { return std::vector<Pkt>{pic(3, 0, 0, 2)}; }},
        {"start", siren, [](Device& d) { d.StartorStopHalvixSiren(true); },
         [](int) { return std::vector<Pkt>{pic(1, 0, 45)}; }},
        {"stop", siren, [](Device& d) { d.StartorStopHalvixSiren(false); },
         [](int) { return std::vector<Pkt>{pic(2)}; }},
        {"tone 1", siren, [](Device& d) { d.setHalvixSirenTone(1, 2, 0); },
         [](int) {
             return std::vector<Pkt>{pic(0, 5, 0, 2, 1, {2500, 2500, 2500, 2500, 0}, {130, 130, 130, 130, 350})};
         }},
        {"tone 2 mode 3", siren, [](Device& d) { d.setHalvixSirenTone(2, 3, 9); },
         [](int) {
             return std::vector<Pkt>{pic(0, 6, 9, 3, 2, {0, 0, 2, 1, 1000, 2000}, {1, 1, 1, 1, 1, 1})};
         }},
        {"tone 3", siren, [](Device& d) { d.setHalvixSirenTone(3, 1, 9); },
         [](int) {
             return std::vector<Pkt>{pic(0, 5, 0, 1, 3, {1975, 1975, 1675, 1675, 0}, {66, 267, 66, 535, 350})};
         }},
        {"unknown tone", siren, [](Device& d) { d.setHalvixSirenTone(7, 3, 5); },
         [](int) { return std::vector<Pkt>{pic(0, 0, 5, 3, 7)}; }},
        {"volume", siren, [](Device& d) { d.setHalvixSirenVolume(5, 2); },
         [](int) { return std::vector<Pkt>{picVolume(5, 2)}; }},
        {"colour", blink, [](Device& d) { d.setHalvixBlinkColor(0xff8800); },
         [](int) { return std::vector<Pkt>{pic(5, 0, 0, 0, 0xff8800)}; }},
        {"blink on", blink, [](Device& d) { d.setHalvixBlinkOnOff(true, 1); },
         [](int) { return std::vector<Pkt>{pic(6, 0, 0, 1)}; }},
        {"blink off", blink, [](Device& d) { d.setHalvixBlinkOnOff(false, 2); },
         [](int) { return std::vector<Pkt>{pic(7, 0, 0, 2)}; }},
        {"blink start", blink, [](Device& d) { d.setHalvixBlinkStart(); },
         [](int) { return std::vector<Pkt>{pic(4, 0, 12)}; }},
        {"blink toggle", blink, [](Device& d) { d.setSwitchToggle(); },
         [](int) { return std::vector<Pkt>{pic(7, 0, 0, 2)}; }},
        {"version", siren, [](Device& d) { d.readPicVersion(); }, [](int) { return std::vector<Pkt>{pic(9)}; }},
    });
    int id = layDown(siren);
    Device d(id);
    std::string out;
    expectSent("printed", [&] { out = captureStdout([&] { d.StartorStopHalvixSiren(false); }); }, {pic(2)});
    EXPECT_EQ(out, "Start stop for HalvixSiren\n");
}

TEST_F(Commands, SirenDurationLeavesTheObjectWithoutId) {
    DevSpec idle = {"HalvixSiren", HLX, {val(2, "BUZZ_STATE", "false")}};
    DevSpec sounding = {"HalvixSiren", HLX, {val(2, "BUZZ_STATE", "true")}};
    DevSpec blinking = {"HalvixBlink", HLX, {val(2, "BLINK_STATE", "true")}};
    runCases({
        {"idle",
         idle,
         [](Device& d) { d.setHalvixSirenDuration(30); },
         [](int id) { return std::vector<Pkt>{assoc(5, id, "SetDuration", "30", 63)}; },
         {"pic"}},
        {"sounding", sounding, [](Device& d) { d.setHalvixSirenDuration(30); },
         [](int id) {
             return std::vector<Pkt>{assoc(5, id, "SetDuration", "30", 63), pic(1, 0, 30)};
         }},
        {"blinking", blinking, [](Device& d) { d.setHalvixSirenDuration(20); },
         [](int id) {
             return std::vector<Pkt>{assoc(5, id, "SetDuration", "20", 64), pic(4, 0, 20)};
         }},
    });
    // The object has ID 0 afterwards: the next setter sends nothing until
    // the device is reloaded.
    int id = layDown(idle);
    Device d(id);
    expectSent("duration then enable",
               [&] {
                   d.setHalvixSirenDuration(30);
                   d.enableHalvixSiren(true);
               },
               {assoc(5, id, "SetDuration", "30", 63)});
    EXPECT_EQ(d.getID(), 0);
    d.fromDeviceID(id);
    expectSent("reloaded", [&] { d.enableHalvixSiren(true); }, {pic(3, 0, 0, 1)});
}

TEST_F(Commands, DevicesWithoutIdAreNeverCommanded) {
    Device empty;
    expectSent("no id",
               [&] {
                   empty.setSwitchOn(true, 1);
                   empty.setSwitchAll(true);
                   empty.setSwitchToggle();
                   empty.setName(txt("x"));
                   empty.setSecurityDevice(1);
                   empty.readPicVersion();
                   empty.setValue(0, txt("1"));
                   empty.setValue(1, txt("true"));
               },
               {}, {"zwave", "ha", "ha-assoc", "pic"});
}

// A failed send is reported with the command's own message; nothing else
// changes (the socket is taken away for the moment).
TEST_F(Commands, SendFailuresAreReported) {
    int id = layDown({"HalvixSiren", HLX, {}});
    Device d(id);
    int saved = s;
    s = -1;
    struct {
        const char* want;
        std::function<void()> act;
    } cases[] = {
        {"sending Name failed to haserver\n", [&] { d.setName(txt("a")); }},
        {"sending Location failed to haserver\n", [&] { d.setLocation(txt("a")); }},
        {"sending devicetype failed to haserver\n", [&] { d.changedevicetype(HueLamp); }},
        {"sending clear Resolution data failed to hserver\n", [&] { d.setResolution(1); }},
        {"sending clear secuity data failed to hserver\n", [&] { d.setSecurityDevice(1); }},
        {"sending clear Alarm failed to haserver\n", [&] { d.clearAlarm(txt("A")); }},
        {"Set Index Value: ", [&] { d.setIndexValue(1, txt("a"), txt("b"), DEVTECH_ZWAVE); }},
        {"Enable Siren: ", [&] { d.enableHalvixSiren(true); }},
        {"Set Tone: ", [&] { d.setHalvixSirenTone(1, 1, 1); }},
        {"Set Volume: ", [&] { d.setHalvixSirenVolume(1, 1); }},
        {"Blink Color: ", [&] { d.setHalvixBlinkColor(1); }},
        {"Blink OnOff: ", [&] { d.setHalvixBlinkOnOff(true, 1); }},
        {"BlinkStart: ", [&] { d.setHalvixBlinkStart(); }},
        {"Read PIC version: ", [&] { d.readPicVersion(); }},
        {"start/stop Siren: ", [&] { d.StartorStopHalvixSiren(false); }},
        {"Set Siren Duration: ", [&] { d.setHalvixSirenDuration(5); }},  // leaves ID 0: last
    };
    for (auto& c : cases) {
        std::string err = captureStderr([&] { c.act(); });
        EXPECT_EQ(err.rfind(c.want, 0), 0u) << "got: " << err;
    }
    // The buffer is clean again for the next command.
    s = saved;
    d.fromDeviceID(id);
    expectSent("after failures", [&] { d.setSecurityDevice(3); }, {ha(id, "security", "3")});

    int zid = layDown(kZigbee);
    Device z(zid);
    s = -1;
    std::string err = captureStderr([&] {
        z.readPanId();
        z.getRemovedeviceid();
        z.sendCustomMessage(txt("00"));
        z.getCurrentandNextVersionofQuentrixswitch();
        z.clearTamper();
        d.removeDevice();
    });
    s = saved;
    EXPECT_NE(err.find("failed to send read PanId command to zigbee_server\n"), std::string::npos) << err;
    EXPECT_NE(err.find("sending device remove failed to zigbee_server\n"), std::string::npos) << err;
    EXPECT_NE(err.find("failed to send custom message to zigbee_server\n"), std::string::npos) << err;
    EXPECT_NE(err.find("finding switch version failed to zigbee_server\n"), std::string::npos) << err;
    EXPECT_NE(err.find("sending clear tamper failed to hserver\n"), std::string::npos) << err;
    EXPECT_NE(err.find("sending device remove failed to haserver\n"), std::string::npos) << err;
}

// Two threads commanding at once: every packet each server receives is one
// thread's whole command, never a mix of both.
TEST_F(Commands, ConcurrentCommandsNeverMix) {
    int a = layDown({"BinarySwitch", ZW, {}, 0x1111, 31});
    int b = layDown({"BinarySwitch", ZW, {}, 0x2222, 32});
    int ha1 = layDown({"HueLamp", HUE, {val(8, "HUE_BULB_ID", "1"), val(9, "USER_NAME", "one")}});
    int ha2 = layDown({"HueLamp", HUE, {val(8, "HUE_BULB_ID", "2"), val(9, "USER_NAME", "two")}});
    int za = layDown({"BinarySwitch", ZB, {}, 0x1111});
    int zb2 = layDown({"BinarySwitch", ZB, {}, 0x2222});
    const int kRounds = 150, kZigbeeRounds = 8;
    clearAll();
    auto worker = [&](int zwId, int hueId, int zbId, int tag) {
        Device zwd(zwId), hued(hueId), zbd(zbId);
        char name[32];
        for (int i = 0; i < kRounds; ++i) {
            zwd.setSwitchLevel(tag * 1000 + i);
            snprintf(name, sizeof name, "name-%d-%d", tag, i);
            zwd.setName(name);
            zwd.setSecurityDevice(tag * 1000 + i);
            hued.setSwitchLevel(tag * 1000 + i);
            if (i < kZigbeeRounds) zbd.setSwitchOn(tag == 1, 1);
        }
    };
    std::thread t1(worker, a, ha1, za, 1), t2(worker, b, ha2, zb2, 2);
    t1.join();
    t2.join();

    // A server that falls behind drops datagrams (UDP), so the count is an
    // upper bound; what does arrive must be whole, from both threads.
    auto check = [&](const std::string& server, size_t count, auto consistent) {
        std::vector<std::string> got = sentinels().collect(server);
        EXPECT_LE(got.size(), count) << server;
        std::set<int> from;
        for (const std::string& p : got) {
            int thread = consistent(p);
            EXPECT_NE(thread, 0) << server << " packet mixes two commands";
            from.insert(thread);
        }
        EXPECT_TRUE(from.count(1) && from.count(2)) << server << " did not hear both threads";
    };
    check("zwave", 2 * kRounds, [](const std::string& p) {
        int level = atoi(testkit::field(p, 92, 100).c_str());
        int node = (unsigned char)p[4];
        return node == 31 && level / 1000 == 1 ? 1 : node == 32 && level / 1000 == 2 ? 2 : 0;
    });
    check("ha-assoc", 2 * kRounds, [&](const std::string& p) {
        int id = testkit::le32(p, 4);
        std::string name = testkit::field(p, 188, 180);
        return id == a && name.rfind("name-1-", 0) == 0 ? 1 : id == b && name.rfind("name-2-", 0) == 0 ? 2 : 0;
    });
    check("ha", 2 * kRounds, [&](const std::string& p) {
        int id = testkit::le32(p, 0);
        int v = atoi(testkit::field(p, 184, 180).c_str());
        if (testkit::field(p, 4, 180) != "security") return 0;
        return id == a && v / 1000 == 1 ? 1 : id == b && v / 1000 == 2 ? 2 : 0;
    });
    check("hue", 2 * kRounds, [](const std::string& p) {
        int bulb = testkit::le32(p, 56), level = testkit::le32(p, 8);
        std::string user = testkit::field(p, 120, 50);
        if (bulb == 1 && user == "one" && level / 1000 == 1) return 1;
        return bulb == 2 && user == "two" && level / 1000 == 2 ? 2 : 0;
    });
    check("zigbee", 2 * kZigbeeRounds, [](const std::string& p) {
        std::string c = testkit::field(p, 0, 180);
        return c == "zcl on-off on\rsend 0x1111 1 255\r" ? 1 : c == "zcl on-off off\rsend 0x2222 1 255\r" ? 2 : 0;
    });
}

}  // namespace

namespace {

using Setter = std::pair<const char*, std::function<int(Device&)>>;

const std::set<std::string> kAll = {"zwave", "zigbee", "hue", "nest", "pic", "ha", "ha-assoc"};

// Runs each setter, expects 0 from every one and nothing at any server.
void expectRefused(const std::string& where, Device& d, const std::vector<Setter>& setters) {
    expectSent(
        where,
        [&] {
            std::string err = captureStderr([&] {
                for (const Setter& setter : setters) EXPECT_EQ(setter.second(d), 0) << where << ": " << setter.first;
            });
            (void)err;
        },
        {}, kAll);
}

unsigned char kAttribute[5] = {1, 2, 3, 4, 5};

// The setters that serve one or two technologies only.
const std::vector<Setter>& technologySetters() {
    static const std::vector<Setter> s = {
        {"on", [](Device& d) { return d.setSwitchOn(true, 1); }},
        {"on end point", [](Device& d) { return d.setSwitchOnEp(true, 1); }},
        {"toggle", [](Device& d) { return d.setSwitchToggle(); }},
        {"level", [](Device& d) { return d.setSwitchLevel(5); }},
        {"dim", [](Device& d) { return d.startDimming(true); }},
        {"brighten", [](Device& d) { return d.startBrightning(true); }},
        {"basic", [](Device& d) { return d.setBasic(1); }},
        {"get basic", [](Device& d) { return d.getBasic(); }},
        {"shutter stop", [](Device& d) { return d.stopShutterRolling(); }},
        {"cover", [](Device& d) { return d.startWindowCovering(true); }},
        {"cover stop", [](Device& d) { return d.stopWindowCovering(true); }},
        {"garage", [](Device& d) { return d.SetGarageDoorLevel(1); }},
        {"lock", [](Device& d) { return d.setDoorLock(1); }},
        {"lock conf", [](Device& d) { return d.setDoorLockConf(1); }},
        {"user code", [](Device& d) { return d.setUserCode(txt("1"), 1); }},
        {"get user code", [](Device& d) { return d.getUserCode(1); }},
        {"scene controller", [](Device& d) { return d.setSceneControllerConf(1); }},
        {"battery", [](Device& d) { return d.getBatteryStatus(); }},
        {"config", [](Device& d) { return d.SetConfigParam(1, 1, 1); }},
        {"mode", [](Device& d) { return d.setThermostatMode(txt("Heat")); }},
        {"fan mode", [](Device& d) { return d.setThermostatFanMode(txt("On Low")); }},
        {"heating", [](Device& d) { return d.setThermostatHeatingTemp(70, 1); }},
        {"cooling", [](Device& d) { return d.setThermostatCoolingTemp(70); }},
        {"colour temperature", [](Device& d) { return d.setColorTemperature(3000); }},
        {"hue", [](Device& d) { return d.setHue(1); }},
        {"saturation", [](Device& d) { return d.setSaturation(1); }},
        {"hue and saturation", [](Device& d) { return d.setHueandSat(1, 1); }},
        {"colour bulb", [](Device& d) { return d.setColorBulb(1); }},
        {"siren", [](Device& d) { return d.setSirenOn(1); }},
        {"siren off", [](Device& d) { return d.setSirenOff(); }},
        {"retain", [](Device& d) { return d.Retainstate(true); }},
        {"camera", [](Device& d) { return d.setCameraMode(txt("Disarm")); }},
        {"capture", [](Device& d) { return d.CaptureZigbeeImage(1); }},
        {"custom", [](Device& d) { return d.sendCustomMessage(txt("00")); }},
        {"attribute", [](Device& d) { return d.setDeviceAttribute(0x0201, 0x1011, kAttribute); }},
        {"pan id", [](Device& d) { return d.readPanId(); }},
        {"switch version", [](Device& d) { return d.getCurrentandNextVersionofQuentrixswitch(); }},
        {"upgrade", [](Device& d) { return d.upgardeswitchversion(); }},
        {"remove", [](Device& d) { return d.getRemovedeviceid(); }},
        {"brightness", [](Device& d) { return d.getbrightness(); }},
        {"state", [](Device& d) { return d.getstate(); }},
        {"tamper", [](Device& d) { return d.clearTamper(); }},
    };
    return s;
}

TEST_F(Commands, SettersRefuseWhatTheyCannotSend) {
    // The hub's own siren has none of these technologies.
    Device hub(layDown({"HalvixSiren", HLX, {val(1, "LED_STATE", "true")}}));
    expectRefused("hub siren", hub, technologySetters());

    // Without an ID nothing at all is sent.
    std::vector<Setter> every = technologySetters();
    std::vector<Setter> more = {
        {"all", [](Device& d) { return d.setSwitchAll(true); }},
        {"name", [](Device& d) { return d.setName(txt("x")); }},
        {"location", [](Device& d) { return d.setLocation(txt("x")); }},
        {"type", [](Device& d) { return d.changedevicetype(HueLamp); }},
        {"device remove", [](Device& d) { return d.removeDevice(); }},
        {"index value", [](Device& d) { return d.setIndexValue(1, txt("a"), txt("b"), DEVTECH_ZWAVE); }},
        {"resolution", [](Device& d) { return d.setResolution(1); }},
        {"image count", [](Device& d) { return d.setImageCnt(3); }},
        {"motion", [](Device& d) { return d.setMotionState(txt("true")); }},
        {"security", [](Device& d) { return d.setSecurityDevice(1); }},
        {"alarm", [](Device& d) { return d.clearAlarm(txt("A")); }},
        {"siren duration", [](Device& d) { return d.setHalvixSirenDuration(5); }},
        {"enable siren", [](Device& d) { return d.enableHalvixSiren(true); }},
        {"start siren", [](Device& d) { return d.StartorStopHalvixSiren(true); }},
        {"tone", [](Device& d) { return d.setHalvixSirenTone(1, 1, 1); }},
        {"volume", [](Device& d) { return d.setHalvixSirenVolume(1, 1); }},
        {"blink colour", [](Device& d) { return d.setHalvixBlinkColor(1); }},
        {"blink", [](Device& d) { return d.setHalvixBlinkOnOff(true, 1); }},
        {"blink start", [](Device& d) { return d.setHalvixBlinkStart(); }},
        {"pic version", [](Device& d) { return d.readPicVersion(); }},
    };
    every.insert(every.end(), more.begin(), more.end());
    Device empty;
    expectRefused("no ID", empty, every);

    // Missing texts.
    std::vector<Setter> nulls = {
        {"mode", [](Device& d) { return d.setThermostatMode(nullptr); }},
        {"fan mode", [](Device& d) { return d.setThermostatFanMode(nullptr); }},
        {"camera", [](Device& d) { return d.setCameraMode(nullptr); }},
        {"custom", [](Device& d) { return d.sendCustomMessage(nullptr); }},
        {"attribute", [](Device& d) { return d.setDeviceAttribute(0x0201, 0x1011, nullptr); }},
        {"name", [](Device& d) { return d.setName(nullptr); }},
        {"location", [](Device& d) { return d.setLocation(nullptr); }},
        {"motion", [](Device& d) { return d.setMotionState(nullptr); }},
        {"alarm", [](Device& d) { return d.clearAlarm(nullptr); }},
    };
    Device zigbee(layDown(kZigbee));
    expectRefused("null texts", zigbee, nulls);

    // Values the commands have no request for.
    std::vector<Setter> values = {
        {"camera mode Sleep", [](Device& d) { return d.setCameraMode(txt("Sleep")); }},
        {"attribute of another cluster", [](Device& d) { return d.setDeviceAttribute(0x0202, 0x1011, kAttribute); }},
        {"user code with DEL", [](Device& d) { return d.setUserCode(txt("12\x7f"), 1); }},
    };
    expectRefused("values", zigbee, values);
    Device zwave(layDown(kZWave));
    expectRefused("Z-Wave", zwave,
                  {{"negative parameter", [](Device& d) { return d.SetConfigParam(-1, 1, 1); }},
                   {"toggle without a value", [](Device& d) { return d.setSwitchToggle(); }}});
    Device lock(layDown({"DoorLock", ZW, {val(1, "LOCK_STATE", "true")}}));
    expectRefused("door lock", lock, {{"toggle", [](Device& d) { return d.setSwitchToggle(); }}});
    Device unknown(layDown({"BinarySwitch", ZW, {val(1, "SWITCH BINARY", "7")}}));
    expectRefused("toggle from neither", unknown, {{"toggle", [](Device& d) { return d.setSwitchToggle(); }}});
    Device lampNeither(layDown({"HueLamp", HUE, {val(2, "SWITCH BINARY", "7")}}));
    Device hueLight(layDown({"ColorDimmableLight", HUE, {val(2, "SWITCH BINARY", "true")}}));
    Device blinkNeither(layDown({"HalvixBlink", HLX, {val(1, "LED_STATE", "7")}}));
    for (Device* d : {&lampNeither, &hueLight, &blinkNeither})
        expectRefused("toggle", *d, {{"toggle", [](Device& d) { return d.setSwitchToggle(); }}});
}

TEST_F(Commands, LongUserCodesAreRefusedWhole) {
    Device d(layDown(kZigbee));
    // Fits the set-pin request but not with its send line; does not fit at all.
    for (size_t n : {140u, 160u}) {
        std::string code(n, '7'), err;
        expectSent("code of " + std::to_string(n),
                   [&] { err = captureStderr([&] { EXPECT_EQ(d.setUserCode(&code[0], 1), 0); }); }, {}, {"zigbee"});
        EXPECT_EQ(err, "zigbee command too long, not sent\n");
    }
}

TEST_F(Commands, MissingValuesAndOtherTypesFillWhatTheyHave) {
    HueFields bare;
    bare.bulb = 0;
    bare.user = bare.bridge = "";
    HueFields light = bare;
    light.devType = ColorDimmableLight;
    light.state = "true";
    NestFields nobody;
    nobody.nestId = "";
    nobody.presence = 0;
    nobody.scale = 0;
    DevSpec camera13 = {"ZigbeeCamImage", ZB, {val(6, "IMAGES_COUNT", "3"), val(7, "RESOLUTION", "1")}, 0x1a2b};
    DevSpec camera26 = {"ZigbeeCamImage", ZB, {val(6, "IMAGES_COUNT", "6"), val(7, "RESOLUTION", "2")}, 0x1a2b};
    DevSpec camera24 = {"ZigbeeCamImage", ZB, {val(6, "IMAGES_COUNT", "4"), val(7, "RESOLUTION", "2")}, 0x1a2b};
    DevSpec camera14 = {"ZigbeeCamImage", ZB, {val(6, "IMAGES_COUNT", "4"), val(7, "RESOLUTION", "1")}, 0x1a2b};
    auto nest = [&](int hvac) {
        NestFields n = nobody;
        n.hvac = hvac;
        return cmdtest::nest(104, n);
    };
    runCases({
        {"lamp without values",
         {"HueLamp", HUE, {}},
         [](Device& d) { d.setSwitchLevel(9); },
         [&](int) {
             HueFields h = bare;
             h.level = 9;
             return std::vector<Pkt>{hue(104, h)};
         }},
        {"Hue light of another type",
         {"ColorDimmableLight", HUE, {val(8, "HUE_BULB_ID", "7")}},
         [](Device& d) { d.setSwitchOn(true, 1); },
         [&](int) { return std::vector<Pkt>{hue(101, light)}; }},
        {"Nest heat without values",
         {"NestThermostat", NEST, {}},
         [](Device& d) { d.setThermostatMode(txt("heat")); },
         [&](int) { return std::vector<Pkt>{nest(1)}; }},
        {"Nest cool",
         {"NestThermostat", NEST, {}},
         [](Device& d) { d.setThermostatMode(txt("cool")); },
         [&](int) { return std::vector<Pkt>{nest(2)}; }},
        {"Nest eco",
         {"NestThermostat", NEST, {}},
         [](Device& d) { d.setThermostatMode(txt("eco")); },
         [&](int) { return std::vector<Pkt>{nest(4)}; }},
        {"Z-Wave code without text", kZWave, [](Device& d) { d.setUserCode(nullptr, 2); },
         [](int) { return std::vector<Pkt>{zw(23, 0x63, 2, 2, 1, 9, "")}; }},
        {"ZigBee code without text", kZigbee, [](Device& d) { d.setUserCode(nullptr, 3); },
         [](int) { return std::vector<Pkt>{zbc("zcl lock clear-pin 3")}; }},
        {"index value without texts", kZWave, [](Device& d) { d.setIndexValue(4, nullptr, nullptr, DEVTECH_ZIGBEE); },
         [](int id) { return std::vector<Pkt>{assoc(1, id, "", "", 1, 4)}; }},
        {"heating far below the attribute", kZigbee, [](Device& d) { d.setThermostatHeatingTemp(-600, 1); },
         [](int) { return std::vector<Pkt>{zbc("zcl global write 0x0201 0x0012 0x29 {01 80}")}; }},
        {"camera arm 1/3", camera13, [](Device& d) { d.setCameraMode(txt("Arm")); },
         [](int) { return std::vector<Pkt>{zbc("raw 0x0503 {43 31 2F}")}; }},
        {"camera arm 2/6", camera26, [](Device& d) { d.setCameraMode(txt("Arm")); },
         [](int) { return std::vector<Pkt>{zbc("raw 0x0503 {43 31 2B}")}; }},
        {"camera arm 2/4", camera24, [](Device& d) { d.setCameraMode(txt("Arm")); }, none, {"zigbee"}},
        {"camera arm 1/4", camera14, [](Device& d) { d.setCameraMode(txt("Arm")); }, none, {"zigbee"}},
        {"blink toggle from off",
         {"HalvixBlink", HLX, {val(1, "LED_STATE", "false")}},
         [](Device& d) { d.setSwitchToggle(); },
         [](int) { return std::vector<Pkt>{pic(6, 0, 0, 2)}; }},
        {"tone 0",
         {"HalvixSiren", HLX, {}},
         [](Device& d) { d.setHalvixSirenTone(0, 1, 0); },
         [](int) { return std::vector<Pkt>{pic(0, 0, 0, 1, 0)}; }},
    });
}

// With the socket taken away every technology's send reports 0.
TEST_F(Commands, FailedSendsReturnZero) {
    Device zwave(layDown(kZWave)), lamp(layDown(kLamp)), nestDev(layDown(kNest)), zigbee(layDown(kZigbee));
    Device sounding(layDown({"HalvixSiren", HLX, {val(2, "BUZZ_STATE", "true")}}));
    int saved = s;
    s = -1;
    std::string err = captureStderr([&] {
        EXPECT_EQ(zwave.setSwitchOn(true, 1), 0);
        EXPECT_EQ(lamp.setSwitchLevel(3), 0);
        EXPECT_EQ(nestDev.setThermostatMode(txt("heat")), 0);
        EXPECT_EQ(zigbee.setSwitchOn(true, 1), 0);
        EXPECT_EQ(sounding.setHalvixSirenDuration(9), 0);
    });
    s = saved;
    EXPECT_NE(err.find("Set Siren Duration: "), std::string::npos) << err;
    size_t first = err.find("Set Siren Duration: ");
    EXPECT_NE(err.find("Set Siren Duration: ", first + 1), std::string::npos) << "both sends fail: " << err;
}

}  // namespace
