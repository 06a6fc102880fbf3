// Whole pairing conversations through real UDP: the radio servers of the
// virtual router play scripted answers, the HA server stores the result.
#include <csignal>
#include <cstring>
#include <pthread.h>
#include <sys/time.h>

#include "Logger.h"
#include "ddb.h"
#include "hacore/Device.h"
#include "pairing_util.h"
#include "servers.h"
#include "testkit.h"

using namespace ptest;
using testkit::field;
using testkit::le32;

namespace {

class Conversation : public PairingTest {};

bool isZigbeeCancel(const std::string& b) {
    return field(b, 0, 180) == "network pjoin 0" && field(b, 180, 130) == "cancel";
}
bool isZwaveCancel(const std::string& b) { return b.size() == 236 && le32(b, 192) == 4; }

}  // namespace

TEST_F(Conversation, AddZwaveSwitchChooseSubTypeNameAndPlace) {
    testkit::ddbPutText("NextDevid", "20");
    startAdding(
        "# a wall switch joins\n"
        "on add\n"
        "  wait 50\n"
        "  send node=12\n"
        "  send node=12\n"
        "  send node=12 basic=4 generic=0x10 specific=1 classes=0x25,0x86 values=0x25:0:1,0x86:0:1\n",
        "");
    std::vector<AssocEvent> evs;
    ASSERT_TRUE(gotEvents(&evs, {3, 5, 6}, 2));
    EXPECT_EQ(statuses(), (std::vector<int>{3, 5, 6}));
    EXPECT_EQ(device(evs[2]).devType, 1u);
    EXPECT_EQ(subTypes(evs[2]), (std::vector<int>{42, 1, 43}));
    EXPECT_TRUE(waitUntil([] { return strcmp(cmdtype, "SelectDeviceType") == 0; }));
    EXPECT_EQ(a->cancelType, 2);
    EXPECT_EQ(assoc_meshID, 7);  // from nvram_get

    // Both radios were asked; the ZigBee radio was cancelled when Z-Wave answered.
    auto zb = testkit::waitReceived("zigbee", 2);
    ASSERT_EQ(zb.size(), 2u);
    EXPECT_EQ(zb[0].size(), 320u);
    EXPECT_EQ(field(zb[0], 0, 180), "option button1");
    EXPECT_EQ(field(zb[0], 180, 130), "IAS");
    EXPECT_TRUE(isZigbeeCancel(zb[1]));
    auto zw = testkit::waitReceived("zwave", 1);
    ASSERT_EQ(zw.size(), 1u);
    EXPECT_EQ(le32(zw[0], 192), 1);
    EXPECT_EQ(le32(zw[0], 212), 1);
    EXPECT_TRUE(testkit::zeros(zw[0], 0, 192));

    a->setDevType(BinarySwitch);
    evs = waitEvents(4);
    ASSERT_EQ(evs.size(), 4u);
    expectNaming(evs[3], 2, "BinarySwitch #20");
    EXPECT_EQ(device(evs[3]).devType, 1u);
    EXPECT_EQ(statuses()[3], 7);

    char name[] = "Porch light", place[] = "Porch";
    a->setDevName(name);
    a->setDevLocation(place);
    EXPECT_EQ(a->addingDone(), 0);
    EXPECT_TRUE(idle);
    auto ha = testkit::waitReceived("ha-assoc", 1);
    ASSERT_EQ(ha.size(), 1u);
    ASSERT_EQ(ha[0].size(), 4100u);
    EXPECT_EQ(le32(ha[0], 0), 2);
    EXPECT_EQ((uint8_t)ha[0][4], 12);    // node
    EXPECT_EQ(le32(ha[0], 4 + 600), 2);  // Z-Wave
    EXPECT_EQ(le32(ha[0], 4 + 604), 1);  // chosen
    EXPECT_EQ(le32(ha[0], 4 + 608), 1);  // found
    EXPECT_EQ(field(ha[0], 4 + 612, 180), "Porch light");
    EXPECT_EQ(field(ha[0], 4 + 792, 180), "Porch");
    EXPECT_EQ((uint8_t)ha[0][4 + 972], 255);
    EXPECT_EQ(a->zwNode.nodeId, 0);  // cleared after the hand-over

    int id = 0;
    ASSERT_TRUE(waitUntil([&] { return (id = storedNamed("Porch light")) != 0; }));
    EXPECT_EQ(id, 20);
    Device d(id);
    EXPECT_STREQ(d.getDeviceLocation(), "Porch");
    EXPECT_EQ(d.getDeviceType(), BinarySwitch);
    EXPECT_EQ(d.getDeviceTechnology(), DEVTECH_ZWAVE);
    EXPECT_EQ(d.getOZWNode(), 12);
    EXPECT_EQ(d.getIndexType(1), IDX_SWITCH_BINARY);
}

TEST_F(Conversation, ZigbeeDoorSensorWinsTheRaceAndZwaveIsCancelled) {
    testkit::ddbPutText("NextDevid", "30");
    startAdding(
        "on add\n  wait 4000\n  send node=40\n",
        "on add\n"
        "  wait 50\n  send status=1 short=0x4d2\n"
        "  wait 50\n  send status=6 short=0x4d2\n"
        "  wait 50\n  send status=10 short=0x4d2 clusters=0x0500:1 zone=21 manufacturer=Centralite model=3320-L\n");
    std::vector<AssocEvent> evs;
    ASSERT_TRUE(gotEvents(&evs, {3, 5, 7}, 1));
    EXPECT_EQ(statuses(), (std::vector<int>{3, 5, 7}));
    EXPECT_EQ(json(evs[0]), "{\"CommandType\":\"AddingDevice\",\"MobileInternalIndex\":\"\"}");
    EXPECT_EQ(device(evs[0]).zbStatus, 1u);
    EXPECT_EQ(json(evs[1]), "{\"CommandType\":\"GettingInfo\",\"MobileInternalIndex\":\"\"}");
    EXPECT_EQ(device(evs[1]).zbStatus, 6u);
    expectNaming(evs[2], 1, "ContactSwitch #30");
    EXPECT_EQ(device(evs[2]).devType, 12u);
    EXPECT_TRUE(waitUntil([&] { return a->assocState == 8; }));
    EXPECT_EQ(a->cancelType, 1);

    // The Z-Wave radio got the add and then the cancel, and never answered.
    auto zw = testkit::waitReceived("zwave", 2);
    ASSERT_EQ(zw.size(), 2u);
    EXPECT_TRUE(isZwaveCancel(zw[1]));

    char name[] = "Back door", place[] = "Kitchen";
    a->setDevName(name);
    a->setDevLocation(place);
    EXPECT_EQ(a->addingDone(), 0);
    auto ha = testkit::waitReceived("ha-assoc", 1);
    ASSERT_EQ(ha.size(), 1u);
    EXPECT_EQ(le32(ha[0], 0), 0);
    EXPECT_EQ((uint8_t)ha[0][4 + 10], 10);
    EXPECT_EQ((uint8_t)ha[0][4 + 212], 12);
    EXPECT_EQ(field(ha[0], 4 + 378, 32), "Back door");
    EXPECT_EQ(field(ha[0], 4 + 410, 32), "Kitchen");

    int id = 0;
    ASSERT_TRUE(waitUntil([&] { return (id = storedNamed("Back door")) != 0; }));
    Device d(id);
    EXPECT_EQ(d.getDeviceType(), ContactSwitch);
    EXPECT_EQ(d.getDeviceTechnology(), DEVTECH_ZIGBEE);
    EXPECT_EQ(d.getShortID(), 0x4d2);
    EXPECT_STREQ(d.getManufacturername(), "Centralite");
    EXPECT_EQ(d.getIndexType(1), IDX_DOOR_STATE);
    EXPECT_EQ(d.getIndexType(2), IDX_LOW_BATTERY);
    EXPECT_EQ(d.getIndexType(3), IDX_TAMPER);
    // No Z-Wave answer came after the cancel.
    for (const AssocEvent& e : events()) EXPECT_NE(e.server, 2);
}

TEST_F(Conversation, ZigbeeSubTypeChoice) {
    testkit::ddbPutText("NextDevid", "33");
    startAdding("", "on add\n  send status=10 short=0x77 clusters=0x0500:1 zone=0\n");
    std::vector<AssocEvent> evs;
    ASSERT_TRUE(gotEvents(&evs, {6}, 1));
    EXPECT_EQ(subTypes(evs[0]), (std::vector<int>{21, 19, 10}));
    EXPECT_EQ(device(evs[0]).zbStatus, 10u);
    a->setDevType(KeyFob);
    evs = waitEvents(2);
    ASSERT_EQ(evs.size(), 2u);
    expectNaming(evs[1], 1, "KeyFob #33");
    EXPECT_EQ(a->zbRecord.devType, KeyFob);
}

TEST_F(Conversation, RemoveKnownZwaveAndUnknownZigbee) {
    storeDevice(50, "Hall switch", 2, "BinarySwitch", 21, 65535);
    startRemoving("on remove\n  send node=21\n  wait 100\n  send node=21\n", "");
    std::vector<AssocEvent> evs;
    ASSERT_TRUE(gotEvents(&evs, {11}, 2));
    EXPECT_STREQ(device(evs[0]).removedName, "Hall switch");
    EXPECT_EQ(device(evs[0]).removedId, 50u);
    EXPECT_EQ(statuses()[0], 0);
    auto ha = testkit::waitReceived("ha-assoc", 1);
    ASSERT_EQ(ha.size(), 1u);
    EXPECT_EQ(le32(ha[0], 0), 2);
    EXPECT_EQ((uint8_t)ha[0][4 + 972], 254);
    EXPECT_TRUE(waitUntil([] { return storedNamed("Hall switch") == 0; }));
    EXPECT_TRUE(waitUntil([&] { return a->assocState == 0 && idle; }));  // the confirmation
    auto zb = testkit::waitReceived("zigbee", 2);
    ASSERT_EQ(zb.size(), 2u);
    EXPECT_EQ(field(zb[0], 180, 130), "remove");
    EXPECT_TRUE(isZigbeeCancel(zb[1]));

    clearEvents();
    testkit::clearReceived("zwave");
    startRemoving("", "on remove\n  wait 100\n  send status=2 short=0x999\n");
    ASSERT_TRUE(gotEvents(&evs, {12}, 1));
    EXPECT_EQ(logged("libpairing:Unknown Sensor removed (Zigbee)").size(), 1u);
    auto zw = testkit::waitReceived("zwave", 2);
    ASSERT_EQ(zw.size(), 2u);
    EXPECT_EQ(le32(zw[0], 212), 4);  // remove device
    EXPECT_TRUE(isZwaveCancel(zw[1]));
}

TEST_F(Conversation, RemoveKnownZigbee) {
    storeDevice(51, "Garage sensor", 1, "DoorSensor", 0, 0x3c4d);
    startRemoving("", "on remove\n  send status=2 short=0x3c4d\n");
    std::vector<AssocEvent> evs;
    ASSERT_TRUE(gotEvents(&evs, {11}));
    EXPECT_STREQ(device(evs[0]).removedName, "Garage sensor");
    EXPECT_EQ(device(evs[0]).removedId, 51u);
    auto ha = testkit::waitReceived("ha-assoc", 1);
    ASSERT_EQ(ha.size(), 1u);
    EXPECT_EQ(le32(ha[0], 0), 0);
    EXPECT_EQ((uint8_t)ha[0][4 + 10], 2);
    EXPECT_TRUE(waitUntil([] { return storedNamed("Garage sensor") == 0; }));
}

TEST_F(Conversation, FailuresOnBothRadios) {
    startAdding("on add\n  send node=255\n", "");
    std::vector<AssocEvent> evs;
    ASSERT_TRUE(gotEvents(&evs, {9}, 2));
    EXPECT_TRUE(waitUntil([] { return idle; }));
    EXPECT_TRUE(waitUntil([] { return logged("libpairing:Association failed (Z-wave)").size() == 1; }));
    EXPECT_EQ(logged("libpairing:Association failed (Z-wave)").size(), 1u);
    EXPECT_TRUE(isZigbeeCancel(testkit::waitReceived("zigbee", 2).back()));

    clearEvents();
    testkit::clearReceived("zwave");
    startAdding("", "on add\n  send status=11\n");
    ASSERT_TRUE(gotEvents(&evs, {9}, 1));
    EXPECT_EQ(device(evs[0]).zbStatus, 11u);
    EXPECT_EQ(json(evs[0]),
              "{\"CommandType\":\"AddDevice\",\"MobileInternalIndex\":\"\",\"Success\":\"false\",\"Reason\":"
              "\"AddingFailed\"}");
    // A ZigBee failure cancels nothing: the Z-Wave server got only the add.
    a->sendCancelTo((cancel_type)0);  // a marker: logs only, sends nothing
    EXPECT_EQ(testkit::waitReceived("zwave", 1, 2000).size(), 1u);
}

TEST_F(Conversation, HueBridgeAndBulb) {
    script("hue",
           "on search\n  send state=0 bridges=001788fffe4a5b6c@192.0.2.20,001788fffe0a0b0c@192.0.2.21\n"
           "on bridge\n  send state=2\n"
           "on bulbs\n  send state=6\n");
    a->Hue_initiateAdd();
    std::vector<AssocEvent> evs;
    ASSERT_TRUE(gotEvents(&evs, {21}, 3));
    EXPECT_EQ(statuses()[0], 21);
    auto* list = reinterpret_cast<const AssocBridgeListPayload*>(evs[0].payload);
    EXPECT_STREQ(list->mac[0], "00:17:88:4a:5b:6c");
    EXPECT_STREQ(list->ip[0], "192.0.2.20");
    EXPECT_STREQ(list->mac[1], "00:17:88:0a:0b:0c");
    EXPECT_STREQ(list->mac[2], "");
    EXPECT_TRUE(waitUntil([] { return strcmp(cmdtype, "AddIPDevice") == 0 && !idle; }));

    char mac[] = "00:17:88:4a:5b:6c", user[] = "halvixuser";
    a->Hue_addBridge(mac);
    evs = waitEvents(2);
    ASSERT_EQ(evs.size(), 2u);
    EXPECT_EQ(evs[1].type, 25);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(evs[1].payload)),
              "{\"CommandType\":\"AddIPDevice\",\"MobileInternalIndex\":\"\",\"Success\":\"true\",\"Type\":\"HueHub\","
              "\"Reason\":\"HueAdded\"}\n");
    a->Hue_addDev(mac, user);
    evs = waitEvents(3);
    ASSERT_EQ(evs.size(), 3u);
    EXPECT_EQ(evs[2].type, 29);
    EXPECT_EQ(
        std::string(reinterpret_cast<const char*>(evs[2].payload)),
        "{\"CommandType\":\"AddHueDevice\", \"MobileInternalIndex\":\"\",\"Success\":\"true\",\"Type\":\"HueBulb\"}\n");
    EXPECT_TRUE(waitUntil([] { return idle; }));

    auto hue = testkit::waitReceived("hue", 3);
    ASSERT_EQ(hue.size(), 3u);
    EXPECT_EQ(hue[0].size(), 304u);
    EXPECT_EQ(le32(hue[0], 220), 114);
    EXPECT_EQ(le32(hue[1], 220), 100);
    EXPECT_EQ(field(hue[1], 170, 50), "001788fffe4a5b6c");
    EXPECT_EQ(le32(hue[2], 220), 105);
    EXPECT_EQ(field(hue[2], 120, 50), "halvixuser");
}

TEST_F(Conversation, NestAttachAndDetach) {
    script("nest", "on add\n  send command=100 result=0 data=5\non remove\n  send command=124 result=-1\n");
    EXPECT_FALSE(a->Nest_checkExist());
    testkit::writeFile("/tmp/Authcode", "x");
    EXPECT_TRUE(a->Nest_checkExist());
    char code[] = "AUTH-1234";
    a->Nest_add(code);
    std::vector<AssocEvent> evs;
    ASSERT_TRUE(gotEvents(&evs, {44}, 4));
    NestAnswer ans;
    memcpy(&ans, evs[0].payload, sizeof ans);
    EXPECT_EQ(ans.command, 100u);
    EXPECT_EQ(ans.data, 5u);
    a->Nest_remove();
    ASSERT_TRUE(gotEvents(&evs, {44, 46}));
    auto nest = testkit::waitReceived("nest", 2);
    ASSERT_EQ(nest.size(), 2u);
    EXPECT_EQ(nest[0].size(), 256u);
    EXPECT_EQ(le32(nest[0], 4), 100);
    EXPECT_EQ(field(nest[0], 8, 136), "AUTH-1234");
    EXPECT_EQ(le32(nest[1], 4), 109);
}

TEST_F(Conversation, WebServerClientClosesAfterAnHueAnswer) {
    a->clientType = AC_WebServer;
    script("hue", "on refresh\n  send state=8\n");
    char mac[] = "00:17:88:4a:5b:6c", user[] = "u";
    a->Hue_refreshBridge(mac, user);
    std::vector<AssocEvent> evs;
    ASSERT_TRUE(gotEvents(&evs, {22}));
    EXPECT_TRUE(waitUntil([&] { return a->assocConnected == 0 && a->assocSocket == 0; }));
    a->clientType = AC_LCD;
}

namespace {
volatile sig_atomic_t g_ticks = 0;
void onTick(int) { g_ticks = g_ticks + 1; }
}  // namespace

// The application's timer ticks all through the silence: they interrupt
// the receiver's waits, and the timeout still comes when it is due.
TEST_F(Conversation, SilentRadioTimesOut) {
    storeDevice(52, "Attic switch", 2, "BinarySwitch", 14, 65535);
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = onTick;  // stays: a late tick finds it
    sigaction(SIGALRM, &sa, nullptr);
    // Only the receiver (started by SetUp) takes the ticks.
    sigset_t alarm, mask;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    pthread_sigmask(SIG_BLOCK, &alarm, &mask);
    g_ticks = 0;
    itimerval tick{{0, 100000}, {0, 100000}}, stop{};
    setitimer(ITIMER_REAL, &tick, nullptr);
    startRemoving("on remove\n  send node=14\n", "");  // no confirmation follows
    auto evs = waitEvents(2, 90000);                   // 20 s of silence
    setitimer(ITIMER_REAL, &stop, nullptr);
    pthread_sigmask(SIG_SETMASK, &mask, nullptr);
    EXPECT_GT(g_ticks, 10);
    ASSERT_EQ(types(evs), (std::vector<int>{11, 2}));
    EXPECT_EQ(evs[1].server, 0);
    expectTimeout(evs[1], 0, "RemoveDevice");
    EXPECT_TRUE(waitUntil([&] { return idle && a->cancelType == 0; }));
    // cancelType was 2: the Z-Wave radio is cancelled.
    auto zw = testkit::waitReceived("zwave", 2);
    ASSERT_EQ(zw.size(), 2u);
    EXPECT_TRUE(isZwaveCancel(zw[1]));
    EXPECT_EQ(logged("libpairing:Didn't get packet for 20 secs").size(), 1u);
}
