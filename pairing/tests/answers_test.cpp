// How every answer of the radios moves a pairing on: the stand-ins play a
// script per case, the client's events, state and log tell the outcome.
#include <arpa/inet.h>
#include <cstring>

#include "Logger.h"
#include "ddb.h"
#include "hacore/Device.h"
#include "pairing_util.h"
#include "servers.h"
#include "testkit.h"

using namespace ptest;

namespace {

class Answers : public PairingTest {
protected:
    // Starts a case afresh: no events, no log, no state.
    void fresh() {
        clearEvents();
        Logger::getInstance()->clear();
        a->assocState = 0;
        a->lastStatus = 0;
        a->cancelType = 0;
        idle = true;
    }
    // A case afresh: the radio plays the script on an adding (a removal).
    void start(const char* radio, bool add, const char* answers) {
        fresh();
        script(radio, std::string(add ? "on add\n " : "on remove\n ") + answers);
        if (add)
            a->addDevZigbeeZwave();
        else
            a->removeDevZigbeeZwave();
    }
};

std::string text(const AssocEvent& e) { return reinterpret_cast<const char*>(e.payload); }

}  // namespace

TEST_F(Answers, ZwaveOutcomes) {
    testkit::ddbPutText("NextDevid", "40");
    storeDevice(70, "Cellar switch", DEVTECH_ZWAVE, "BinarySwitch", 33, 65535);
    const struct {
        const char* what;
        bool add;            // add or remove
        const char* script;  // the Z-Wave server's answers
        std::vector<int> events;
        const char* log;  // the last line of the case
        bool idleAfter;
    } kCases[] = {
        {"node already stored",
         true,
         "send node=33\n send node=33\n",
         {3, 4},
         "libpairing:Z-wave sensor already joined",
         true},
        {"no node after progress",
         true,
         "send node=0\n send node=0\n",
         {3, 9},
         "libpairing:Association failed (Z-wave)",
         true},
        {"failed after progress",
         true,
         "send node=12\n send node=255\n",
         {3, 9},
         "libpairing:Association failed (Z-wave)",
         true},
        {"details refused",
         true,
         "send node=12\n send node=12\n send node=12 basic=0 generic=0x10 specific=1\n",
         {3, 5, 9},
         "libpairing:zw_createDevice is unsuccessful (Z-wave)",
         true},
        {"type without sub-types",
         true,
         "send node=12\n send node=12\n send node=12 basic=4 generic=0x40 specific=2 classes=0x62\n",
         {3, 5, 7},
         "libpairing:zw_createDevice is successful (Z-wave)",
         false},
        {"remove, no node",
         false,
         "send node=0\n",
         {12},
         "libpairing:111 Unknown Sensor Removed (Z-wave) and Node:0",
         true},
        {"remove, failed node",
         false,
         "send node=255\n",
         {12},
         "libpairing:111 Unknown Sensor Removed (Z-wave) and Node:255",
         true},
        {"remove, node not stored",
         false,
         "send node=44\n wait 100\n send node=44\n",
         {12},
         "libpairing: Sensor Removed (Z-wave)",
         true},
    };
    script("zigbee", "");
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        start("zwave", c.add, c.script);
        auto evs = waitEvents(c.events.size());
        EXPECT_EQ(types(evs), c.events);
        for (const AssocEvent& e : evs) EXPECT_EQ(e.server, DEVTECH_ZWAVE);
        // The event goes out before the state is left.
        EXPECT_TRUE(waitUntil([&] { return !logged(c.log).empty() && a->assocState == 0 && idle == c.idleAfter; }))
            << "state " << a->assocState << " idle " << idle;
        if (c.events.back() == 7) {
            expectNaming(evs.back(), DEVTECH_ZWAVE, "DoorLock #40");
            EXPECT_EQ(device(evs.back()).devType, (uint32_t)DoorLock);
            EXPECT_STREQ(cmdtype, "EditNameLocation");
        }
    }
    EXPECT_EQ(logged("libpairing:222 Unknown Sensor Removed (Z-wave) and Node:44").size(), 1u);
    EXPECT_EQ(storedNamed("Cellar switch"), 70);  // never removed
}

TEST_F(Answers, LateZwaveAnswerAfterAZigbeeDevice) {
    testkit::ddbPutText("NextDevid", "41");
    startAdding("", "on add\n send status=10 short=0x51 clusters=0x0500:1 zone=21\n");
    ASSERT_EQ(types(waitEvents(1)), std::vector<int>{7});
    ASSERT_TRUE(waitUntil([&] { return a->assocState == 8; }));
    ZWNodeRecord r;
    memset(&r, 0, sizeof r);
    r.nodeId = 9;
    ASSERT_TRUE(answerFrom("127.255.255.254", &r, sizeof r));
    marker();
    EXPECT_EQ(a->assocState, 0);
    EXPECT_EQ(events().size(), 1u);
}

TEST_F(Answers, ZigbeeOutcomes) {
    testkit::ddbPutText("NextDevid", "42");
    storeDevice(71, "Shed sensor", DEVTECH_ZIGBEE, "DoorSensor", 0, 0x3c4d);
    const struct {
        const char* what;
        bool add;
        const char* script;
        std::vector<int> events;
        const char* log;  // the last line of the case
        int state;        // assocState after the answers
    } kCases[] = {
        // Status 3 changes nothing; an unknown one ends the adding.
        {"status 3, reading, unknown status",
         true,
         "send status=3\n send status=6\n send status=7\n",
         {5},
         "libpairing:timeout set to 180 sec",
         0},
        // Typing refuses a plug without readings: no event, the device waits.
        {"plug typing refused",
         true,
         "send status=10 short=0x21 clusters=0x0006:1,0x0B04:1 manufacturer=Other\n",
         {},
         "libpairing:Sensor got Associated",
         8},
        // A removal answer of another status is ignored.
        {"removal of another status",
         false,
         "send status=5 short=0x3c4d\n",
         {},
         "libpairing:Removing zigbee device 0x3c4d",
         2},
    };
    script("zwave", "");
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        start("zigbee", c.add, c.script);
        ASSERT_TRUE(waitUntil([&] { return !logged(c.log).empty() && a->assocState == c.state; }));
        marker();
        EXPECT_EQ(types(events()), c.events);
        EXPECT_EQ(a->assocState, c.state);
        testkit::clearReceived("zigbee");
    }
    EXPECT_EQ(logged("libpairing:Removing zigbee device 0x3c4d").size(), 1u);
    EXPECT_EQ(storedNamed("Shed sensor"), 71);

    // Outside adding and removing a ZigBee answer is ignored.
    fresh();
    ZBDeviceRecord z;
    memset(&z, 0, sizeof z);
    z.status = 1;
    ASSERT_TRUE(answerFrom("127.255.255.253", &z, sizeof z));
    marker();
    EXPECT_TRUE(events().empty());
    EXPECT_TRUE(idle);
}

TEST_F(Answers, HueStates) {
    const struct {
        int state, event;
        const char* json;  // with the pending command's name
    } kCases[] = {
        {1, 30,
         "{\"CommandType\":\"RemoveIPDevice\",\"MobileInternalIndex\":\"\",\"Success\":\"false\",\"Reason\":"
         "\"HueFailed\","
         "\"Type\":\"HueHub\"}\n"},
        {3, 27,
         "{\"CommandType\":\"RemoveIPDevice\",\"MobileInternalIndex\":\"\",\"Success\":\"false\","
         "\"Reason\":\"HueBridgeNotFound\",\"Type\":\"HueHub\"}\n"},
        {4, 26,
         "{\"CommandType\":\"RemoveIPDevice\",\"MobileInternalIndex\":\"\",\"Success\":\"false\",\"Type\":\"HueHub\","
         "\"Reason\":\"HueButtonNotPressed\"}\n"},
        {5, 28,
         "{\"CommandType\":\"RemoveIPDevice\",\"MobileInternalIndex\":\"\",\"Success\":\"false\",\"Type\":\"HueHub\","
         "\"Reason\":\"BridgeNotFound\"}\n"},
        {8, 22,
         "{\"CommandType\":\"RemoveIPDevice\", "
         "\"MobileInternalIndex\":\"\",\"Success\":\"true\",\"Type\":\"HueHub\"}\n"},
        {9, 23,
         "{\"CommandType\":\"RemoveIPDevice\", "
         "\"MobileInternalIndex\":\"\",\"Success\":\"true\",\"Type\":\"HueHub\"}\n"},
    };
    char mac[] = "00:17:88:4a:5b:6c";
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.state);
        fresh();
        a->lastStatus = 21;
        script("hue", "on remove\n send state=" + std::to_string(c.state) + "\n");
        a->Hue_remove(mac);
        auto evs = waitEvents(1);
        ASSERT_EQ(evs.size(), 1u);
        EXPECT_EQ(evs[0].type, c.event);
        EXPECT_EQ(evs[0].server, DEVTECH_HUE);
        EXPECT_EQ(text(evs[0]), c.json);
        EXPECT_EQ(statuses()[0], 0);
        EXPECT_TRUE(waitUntil([] { return idle; }));
    }
    auto hue = testkit::received("hue");
    ASSERT_EQ(hue.size(), 6u);
    EXPECT_EQ(testkit::le32(hue[0], 220), 109);
    EXPECT_EQ(testkit::field(hue[0], 170, 50), "001788fffe4a5b6c");
}

// Bridge objects without the keys keep the previous object's values; an
// object the datagram carries only in part reads as far as it goes.
TEST_F(Answers, HueListObjectsWithoutKeysOrCut) {
    HueAnswer h;
    memset(&h, 0, sizeof h);
    h.count = 3;
    strcpy(h.bridges[0], "{\"id\":\"001788fffe4a5b6c\",\"internalipaddress\":\"192.0.2.20\"}");
    strcpy(h.bridges[1], "{\"name\":\"upstairs\"}");
    strcpy(h.bridges[2], "{\"internalipaddress\":\"192.0.2.22\"}");
    ASSERT_TRUE(answerFrom("127.255.255.252", &h, sizeof h));
    auto evs = waitEvents(1);
    ASSERT_EQ(evs.size(), 1u);
    auto* list = reinterpret_cast<const AssocBridgeListPayload*>(evs[0].payload);
    EXPECT_STREQ(list->mac[1], "00:17:88:4a:5b:6c");
    EXPECT_STREQ(list->ip[1], "192.0.2.20");
    EXPECT_STREQ(list->mac[2], "00:17:88:4a:5b:6c");
    EXPECT_STREQ(list->ip[2], "192.0.2.22");

    // The second object cut after its first 20 bytes is no object.
    clearEvents();
    strcpy(h.bridges[1], "{\"id\":\"001788fffe0a0b0c\",\"internalipaddress\":\"192.0.2.21\"}");
    h.count = 2;
    ASSERT_TRUE(answerFrom("127.255.255.252", &h, 8 + kHueObjectSize + 20));
    evs = waitEvents(1);
    ASSERT_EQ(evs.size(), 1u);
    list = reinterpret_cast<const AssocBridgeListPayload*>(evs[0].payload);
    EXPECT_STREQ(list->mac[0], "00:17:88:4a:5b:6c");
    EXPECT_STREQ(list->mac[1], "00:17:88:4a:5b:6c");
    EXPECT_STREQ(list->ip[1], "192.0.2.20");
}

TEST_F(Answers, NestCommands) {
    const struct {
        const char* answer;
        int event;  // 0: none
    } kCases[] = {
        {"command=121", 41},           {"command=122", 43},         {"command=123", 42}, {"command=124 result=0", 45},
        {"command=124 result=-1", 46}, {"command=124 result=5", 0}, {"command=999", 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.answer);
        fresh();
        script("nest", std::string("on remove\n send ") + c.answer + "\n");
        a->Nest_remove();
        ASSERT_TRUE(waitUntil([] { return idle; }));
        marker();
        auto evs = events();
        if (!c.event) {
            EXPECT_TRUE(evs.empty());
            continue;
        }
        ASSERT_EQ(evs.size(), 1u);
        EXPECT_EQ(evs[0].type, c.event);
        EXPECT_EQ(evs[0].server, DEVTECH_NEST);
    }
    EXPECT_EQ(logged("libpairing:Got unknown command from NEST").size(), 1u);

    // The web server's connection ends with a Nest answer too.
    a->clientType = AC_WebServer;
    script("nest", "on remove\n send command=121\n");
    a->Nest_remove();
    EXPECT_TRUE(waitUntil([&] { return a->assocConnected == 0 && a->assocSocket == 0; }));
    a->clientType = AC_LCD;
}

TEST_F(Answers, ShortAnswersAreDropped) {
    const struct {
        const char* from;
        size_t len;
        const char* log;
    } kCases[] = {
        {"127.255.255.252", 4, "libpairing:short HUE answer (4 of 8 bytes) from 127.255.255.252 dropped"},
        {"127.255.255.251", 8, "libpairing:short NEST answer (8 of 12 bytes) from 127.255.255.251 dropped"},
        {"127.255.255.253", 0, "libpairing:short Zigbee answer (0 of 444 bytes) from 127.255.255.253 dropped"},
    };
    char zeros[64] = {};
    for (const auto& c : kCases) {
        ASSERT_TRUE(answerFrom(c.from, zeros, c.len));
        EXPECT_TRUE(waitUntil([&] { return logged(c.log).size() == 1; })) << c.log;
    }
    // A length below zero counts as nothing received.
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_aton("127.255.255.254", &from.sin_addr);
    a->handleAnswer(from, zeros, -1);
    EXPECT_EQ(logged("libpairing:short Z-wave answer (0 of 1036 bytes) from 127.255.255.254 dropped").size(), 1u);
    EXPECT_TRUE(events().empty());
}
