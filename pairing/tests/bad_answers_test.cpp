// Answers that do not fit: short and long records, strangers on the
// association port, malformed Hue lists, lists longer than a record holds,
// and a second process that wants the association port.
#include <arpa/inet.h>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

#include "Logger.h"
#include "ddb.h"
#include "pairing_util.h"
#include "servers.h"
#include "testkit.h"

using namespace ptest;

namespace {

class BadAnswers : public PairingTest {};

ZWNodeRecord node(uint8_t id) {
    ZWNodeRecord r;
    memset(&r, 0, sizeof r);
    r.nodeId = id;
    return r;
}

}  // namespace

TEST_F(BadAnswers, ShortRecordsAreDroppedLongOnesCut) {
    startAdding("", "");
    ZWNodeRecord r = node(12);
    ASSERT_TRUE(answerFrom("127.255.255.254", &r, 100));
    ZBDeviceRecord z;
    memset(&z, 0, sizeof z);
    z.status = 1;
    ASSERT_TRUE(answerFrom("127.255.255.253", &z, 443));
    ASSERT_TRUE(waitUntil([] { return logged("answer (443 of 444 bytes)").size() == 1; }));
    EXPECT_EQ(logged("libpairing:short Z-wave answer (100 of 1036 bytes) from 127.255.255.254 dropped").size(), 1u);
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(a->assocState, 1);

    // Longer than the record (and than the receive buffer): the record is read, the rest ignored.
    std::string big(6000, '\x55');
    memcpy(&big[0], &r, sizeof r);
    ASSERT_TRUE(answerFrom("127.255.255.254", big.data(), big.size()));
    auto evs = waitEvents(1);
    ASSERT_EQ(evs.size(), 1u);
    EXPECT_EQ(evs[0].type, 3);
    EXPECT_EQ(a->zwRx.nodeId, 12);
    EXPECT_EQ(a->assocState, 4);
}

TEST_F(BadAnswers, StrangersAreNotServers) {
    startAdding("", "");
    ZWNodeRecord r = node(12);
    // Addresses that share their first characters with the Z-Wave server's.
    for (const char* ip : {"127.255.255.2", "127.255.255.25", "127.255.255.5"}) {
        ASSERT_TRUE(answerFrom(ip, &r, sizeof r));
    }
    ASSERT_TRUE(answerFrom("127.255.255.1", &r, sizeof r));
    ASSERT_TRUE(waitUntil([] { return logged("Got data from HA_Server").size() == 1; }));
    EXPECT_EQ(logged("libpairing:received command from unknown server").size(), 3u);
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(a->assocState, 1);
    in_addr x;
    inet_aton("127.255.255.254", &x);
    EXPECT_EQ(a->findClientType(x), 1);
    inet_aton("127.255.255.251", &x);
    EXPECT_EQ(a->findClientType(x), 5);
    inet_aton("27.255.255.1", &x);
    EXPECT_EQ(a->findClientType(x), 0);
}

TEST_F(BadAnswers, HueListsMalformedDeepAndTooLong) {
    HueAnswer h;
    memset(&h, 0, sizeof h);
    h.state = 0;
    h.count = 1000;
    const char* objs[] = {
        "{\"id\":\"001788fffe4a5b6c\",\"internalipaddress\":\"192.0.2.20\"}",
        "{\"id\":\"001788fffe0a0b0c\",",                                     // malformed: keeps the previous
        "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[",  // deep, unterminated
    };
    for (int i = 0; i < 3; ++i) strncpy(h.bridges[i], objs[i], kHueObjectSize);
    memset(h.bridges[3], 'x', kHueObjectSize);  // no terminator at all
    ASSERT_TRUE(answerFrom("127.255.255.252", &h, sizeof h));
    auto evs = waitEvents(1);
    ASSERT_EQ(evs.size(), 1u);
    EXPECT_EQ(evs[0].type, 21);
    auto* list = reinterpret_cast<const AssocBridgeListPayload*>(evs[0].payload);
    for (int i = 0; i < 25; ++i) {
        EXPECT_STREQ(list->mac[i], "00:17:88:4a:5b:6c") << i;
        EXPECT_STREQ(list->ip[i], "192.0.2.20") << i;
    }
    // The datagram ends early: the slots it does not carry stay empty.
    clearEvents();
    HueAnswer s;
    memset(&s, 0, sizeof s);
    s.count = 3;
    ASSERT_TRUE(answerFrom("127.255.255.252", &s, 8));
    evs = waitEvents(1);
    ASSERT_EQ(evs.size(), 1u);
    list = reinterpret_cast<const AssocBridgeListPayload*>(evs[0].payload);
    EXPECT_STREQ(list->mac[0], "");
    // Unknown state.
    s.state = 7;
    ASSERT_TRUE(answerFrom("127.255.255.252", &s, 8));
    EXPECT_TRUE(waitUntil([] { return logged("libpairing:Got unknown state from HUE").size() == 1; }));
}

TEST_F(BadAnswers, ZigbeeListsLongerThanTheRecordHolds) {
    testkit::ddbPutText("NextDevid", "60");
    std::string clusters;
    for (int k = 0; k < 30; ++k) clusters += std::string(k ? "," : "") + "0x0201:" + std::to_string(k + 1);
    script("zwave", "");
    script("zigbee", "on add\n  send status=10 short=0x55 name=keep clusters=" + clusters + "\n");
    a->addDevZigbeeZwave();
    auto evs = waitEvents(1);
    ASSERT_EQ(evs.size(), 1u);
    EXPECT_EQ(evs[0].type, 7);
    EXPECT_EQ(a->zbRecord.indexCount, kZBIndexCap);
    EXPECT_EQ(a->zbRecord.indexes[2 * kZBIndexCap], 255);
    EXPECT_STREQ(a->zbRecord.name, "keep");  // the end entry did not run into the name
    EXPECT_EQ(a->zbRecord.devType, Thermostat);
}

TEST_F(BadAnswers, SecondProcessGetsMinusOneAndTheFirstGoesOn) {
    int err[2];
    ASSERT_EQ(pipe(err), 0);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(err[1], 2);
        _exit(HalvixAssociation::getInstance()->checkAssocConnection() == -1 ? 0 : 1);
    }
    close(err[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    char buf[512] = "";
    ssize_t n = read(err[0], buf, sizeof buf - 1);
    close(err[0]);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ASSERT_GT(n, 0);
    EXPECT_NE(std::string(buf).find("libpairing:Assoc binding failed"), std::string::npos) << buf;

    // The first process's pairing carries on.
    script("nest", "on add\n  send command=100 result=0\n");
    char code[] = "C";
    a->Nest_add(code);
    auto evs = waitEvents(1);
    ASSERT_EQ(evs.size(), 1u);
    EXPECT_EQ(evs[0].type, 44);
}

TEST_F(BadAnswers, SendToServersEdges) {
    char pkt[4100] = {};
    EXPECT_EQ(a->sendToServers(ST_Mesh, pkt), 0);
    EXPECT_EQ(logged("send to mesh server Not Implemented").size(), 1u);
    EXPECT_EQ(a->sendToServers((ServerType)7, pkt), -1);
    EXPECT_EQ(logged("libpairing:Unknown server specified").size(), 1u);
    a->sendCancelTo(CANCEL_Both);
    auto zb = testkit::waitReceived("zigbee", 1);
    auto zw = testkit::waitReceived("zwave", 1);
    ASSERT_EQ(zb.size(), 1u);
    ASSERT_EQ(zw.size(), 1u);
    auto zbd = testkit::datagrams("zigbee"), zwd = testkit::datagrams("zwave");
    EXPECT_EQ(zbd[0].fromPort, 8888);  // sent from the association port
    EXPECT_EQ(zbd[0].from, "127.255.255.4");
    EXPECT_TRUE(idle);
    a->removeAllDevices();
    auto ha = testkit::waitReceived("ha-assoc", 1);
    ASSERT_EQ(ha.size(), 1u);
    EXPECT_EQ(testkit::field(ha[0], 4, 4096), "removeAllDevices");
}
