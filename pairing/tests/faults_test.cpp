// The client when the system lets it down: sockets that cannot be made,
// bound, sent or read on, a device store that is missing, broken or cut
// short, a silent setting, and applications that do unusual things from
// their callback.
#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "Logger.h"
#include "ddb.h"
#include "hacore/Device.h"
#include "hacore/packets.h"
#include "pairing_util.h"
#include "servers.h"
#include "testkit.h"

using namespace ptest;

namespace {

class Faults : public PairingTest {
protected:
    // The receiver logs its end just after it let go: wait for the line, so
    // that it does not fall into the next test.
    void TearDown() override {
        PairingTest::TearDown();
        waitUntil([] { return !logged("libpairing:exited receive thread").empty(); }, 5000);
    }
};

}  // namespace

TEST_F(Faults, ConnectFailsWithoutSocketOrPort) {
    a->closeAssocConnection();
    const struct {
        const char* fault;
        const char* message;
    } kCases[] = {
        {"socket-dgram", "libpairing:socket()"},
        {"setsockopt-priority", "libpairing:setsockopt failed"},
        {"bind-127.255.255.4:8888", "libpairing:Assoc binding failed"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.fault);
        int before = testkit::openDescriptors();
        testkit::Fault f(c.fault);
        int rc = 0;
        std::string err = testkit::captureStderr([&] { rc = a->checkAssocConnection(); });
        EXPECT_EQ(rc, -1);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(a->assocConnected, 0);
        EXPECT_EQ(testkit::openDescriptors(), before);  // the socket is not left open
    }
    ASSERT_EQ(a->checkAssocConnection(), 0);
}

TEST_F(Faults, SendsThatFail) {
    // To the radios.
    {
        testkit::Fault f("sendto-8888");
        OZWPacket p;
        memset(&p, 0, sizeof p);
        int rc = 0;
        std::string err = testkit::captureStderr([&] { rc = a->sendToServers(ST_Zwave, &p); });
        EXPECT_EQ(rc, -1);
        EXPECT_NE(err.find("sendto error"), std::string::npos) << err;
    }
    // To the HA server: the hand-overs and a Z-Wave removal report it.
    storeDevice(72, "Porch switch", DEVTECH_ZWAVE, "BinarySwitch", 23, 65535);
    testkit::Fault f("sendto-9999");
    char name[] = "Gate", place[] = "Yard";
    a->setDevName(name);
    a->setDevLocation(place);
    memset(&a->zwNode, 0, sizeof a->zwNode);
    a->zwNode.devTech = DEVTECH_ZIGBEE;
    EXPECT_EQ(a->addingDone(), -1);
    a->zwNode.devTech = DEVTECH_ZWAVE;
    a->zwNode.nodeId = 23;
    EXPECT_EQ(a->addingDone(), 0);
    EXPECT_EQ(logged("libpairing:Sending Packet to Haserver Failed").size(), 1u);
    memset(&a->zwRx, 0, sizeof a->zwRx);
    a->zwRx.nodeId = 23;
    a->ZW_removeNode();
    EXPECT_EQ(logged("libpairing:sending failed to haserver").size(), 1u);
    EXPECT_STREQ(a->removedDevName, "Porch switch");
    f.off();
    EXPECT_TRUE(testkit::received("ha-assoc").empty());
    EXPECT_EQ(storedNamed("Porch switch"), 72);
}

// A receive that fails ends a pending request as a timeout would, and
// leaves an idle client waiting.
TEST_F(Faults, ReceiveFailures) {
    script("nest", "");
    char code[] = "AUTH-9";
    a->Nest_add(code);
    ASSERT_EQ(testkit::waitReceived("nest", 1).size(), 1u);
    size_t before = markersRead();
    {
        // Wherever the receiver is, a receive fails while the switch is on:
        // one already waiting returns the marker first, the next one fails.
        testkit::Fault f("recvfrom-8888");
        sendMarker();
        auto evs = waitEvents(1);
        ASSERT_EQ(evs.size(), 1u);
        expectTimeout(evs[0], 0, "AddIPDevice");
        EXPECT_TRUE(waitUntil([] { return !logged("libpairing:idle timeout set to 180 sec...").empty(); }));
    }
    EXPECT_EQ(logged("libpairing:Unknown cancel type").size(), 1u);  // a Nest request cancels nothing
    EXPECT_EQ(events().size(), 1u);
    // Reading again once the fault is gone: the marker, if it waited, and
    // the next.
    EXPECT_TRUE(markerRead(before));
    marker();
}

TEST_F(Faults, ReceiveTimeoutThatCannotBeSet) {
    std::string err = testkit::captureStderr([&] {
        testkit::Fault f("setsockopt-rcvtimeo");
        marker();  // the next round sets the timeout and fails
        marker();  // and still receives
    });
    EXPECT_NE(err.find("libpairing:setsockopt: rcvtimeo"), std::string::npos) << err;
}

TEST_F(Faults, CloseWithoutAWakeSocketStillFreesThePort) {
    {
        testkit::Fault f("socket-dgram");
        a->closeAssocConnection();
    }
    EXPECT_TRUE(waitUntil([] { return logged("libpairing:exited receive thread").size() == 1; }));
    EXPECT_EQ(a->checkAssocConnection(), 0);
}

TEST_F(Faults, DeviceStoreMissingBrokenOrCut) {
    const int kUnchanged = 77;
    // Missing: the repair finds nothing, an empty store is made.
    testkit::removeFile("/tmp/ddb");
    DevId = kUnchanged;
    int id = 0;
    std::string err = testkit::captureStderr([&] { id = a->calculateDevId(); });
    EXPECT_EQ(id, kUnchanged);
    EXPECT_NE(err.find("dpopen: "), std::string::npos) << err;
    EXPECT_TRUE(testkit::fileExists("/tmp/ddb"));
    EXPECT_EQ(testkit::ddbCount(), 0);

    // Cut inside its bucket table: repaired, read normally after one message.
    testkit::ddbPutText("NextDevid", "12");
    ASSERT_EQ(truncate("/tmp/ddb", 50), 0);
    err = testkit::captureStderr([&] { id = a->calculateDevId(); });
    EXPECT_EQ(err, "dpopen: broken database file\n");
    EXPECT_EQ(id, kUnchanged);
    err = testkit::captureStderr([&] { a->calculateDevId(); });
    EXPECT_EQ(err, "");

    // Beyond repair: deleted, nothing read.
    testkit::writeFile("/tmp/ddb", "junkjunk");
    err = testkit::captureStderr([&] { id = a->calculateDevId(); });
    EXPECT_EQ(id, -1);
    EXPECT_FALSE(testkit::fileExists("/tmp/ddb"));

    // A record cut short ends the walk; the records before it are read.
    testkit::ddbPutText("Version", "3");
    testkit::putDevice(testkit::makeDevice(73, "Front switch", "Hall", DEVTECH_ZWAVE, "BinarySwitch", 1));
    DeviceRecord back = testkit::makeDevice(74, "Back switch", "Hall", DEVTECH_ZWAVE, "BinarySwitch", 1);
    back.ozwNode = 6;
    testkit::putDevice(back);
    struct stat st;
    ASSERT_EQ(stat("/tmp/ddb", &st), 0);
    ASSERT_EQ(truncate("/tmp/ddb", st.st_size - 100), 0);
    memset(&a->zwRx, 0, sizeof a->zwRx);
    a->zwRx.nodeId = 6;
    bool found = true;
    err = testkit::captureStderr([&] { found = a->ZW_checkNodeExists(); });
    EXPECT_FALSE(found);  // node 6 is in the cut record
    a->zwRx.nodeId = 0;
    err = testkit::captureStderr([&] { found = a->ZW_checkNodeExists(); });
    EXPECT_TRUE(found);  // the front switch, read before it
    EXPECT_STREQ(a->removedDevName, "Front switch");
    EXPECT_NE(err.find("dpclose: "), std::string::npos) << err;
    testkit::removeFile("/tmp/ddb");
}

// A store that cannot even be created gives every reader its empty result.
TEST_F(Faults, DeviceStoreThatCannotBeOpened) {
    testkit::removeFile("/tmp/ddb");
    ASSERT_EQ(mkdir("/tmp/ddb", 0755), 0);
    DevId = 5;
    testkit::captureStderr([&] {
        EXPECT_EQ(a->calculateDevId(), -1);
        EXPECT_EQ(DevId, 5);
        a->zwRx.nodeId = 6;
        EXPECT_FALSE(a->ZW_checkNodeExists());
        EXPECT_EQ(a->Hue_getBridgeList(), nullptr);
        a->zbRecord.status = 2;
        a->zb_removeNode(0x1234);
        EXPECT_EQ(a->zbRecord.status, 2);
        a->ZW_removeNode();
    });
    EXPECT_TRUE(testkit::received("ha-assoc").empty());
    ASSERT_EQ(rmdir("/tmp/ddb"), 0);
}

TEST_F(Faults, SilentMeshSettingAndIdentities) {
    // nvram_get that prints nothing: this node's mesh id is 0.
    testkit::writeFile("/tmp/bin/nvram_get", "#!/bin/sh\nexit 0\n");
    a->closeAssocConnection();
    ASSERT_EQ(a->checkAssocConnection(), 0);
    EXPECT_EQ(local_meshID, 0);
    fakeNvramGet("7");

    const struct {
        HalvixAssociation* (*init)();
        int type;
    } kInits[] = {
        {HalvixAssociation::webServerAssocInit, AC_WebServer}, {HalvixAssociation::LCDAssocInit, AC_LCD},
        {HalvixAssociation::cloudappsAssocInit, AC_CloudApps}, {HalvixAssociation::meshServerAssocInit, AC_MeshServer},
        {HalvixAssociation::FreeUsr1AssocInit, AC_FreeUser1},  {HalvixAssociation::FreeUsr2AssocInit, AC_FreeUser2},
    };
    for (const auto& i : kInits) {
        EXPECT_EQ(i.init(), a);
        EXPECT_EQ(a->clientType, i.type);
    }
    a->clientType = AC_LCD;
}

// Without a callback, a logger or a name the client carries on.
TEST_F(Faults, NoCallbackNoLoggerNoName) {
    a->registerAssocEventCB(nullptr);
    a->setDevName(nullptr);
    EXPECT_STREQ(a->devName, "");
    a->setDevType(DoorSensor);
    EXPECT_STREQ(cmdtype, "EditNameLocation");
    EXPECT_TRUE(events().empty());
    a->registerAssocEventCB(recordEvent);

    Logger* logger = a->logger;
    a->logger = nullptr;
    a->sendCancelTo((cancel_type)0);
    a->logger = logger;
    EXPECT_TRUE(logged("Unknown cancel type").empty());

    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(8888);
    inet_aton("127.255.255.4", &addr.sin_addr);
    std::string out = testkit::captureStdout([&] {
        a->printAddrInfo(addr);
        fflush(stdout);
    });
    EXPECT_EQ(out, "\n\n *** Addr 127.255.255.4 \n *** port 8888 \n\n");
}

namespace {
std::atomic<int> g_reconnects{0};
void reconnectOnce(AssocEvent* ev) {
    if (g_reconnects++ == 0) {
        HalvixAssociation* a = HalvixAssociation::getInstance();
        a->closeAssocConnection();
        a->checkAssocConnection();
    }
    recordEvent(ev);
}

std::atomic<bool> g_hold{false};
void holdOn(AssocEvent* ev) {
    recordEvent(ev);
    while (g_hold) usleep(1000);
}
}  // namespace

// A callback that starts the connection over leaves one receiver, on the
// new socket.
TEST_F(Faults, CallbackThatReconnects) {
    g_reconnects = 0;
    a->registerAssocEventCB(reconnectOnce);
    script("nest", "on remove\n send command=121\n");
    a->Nest_remove();
    ASSERT_EQ(waitEvents(1).size(), 1u);
    EXPECT_TRUE(waitUntil([] { return logged("libpairing:exited receive thread").size() == 1; }));
    EXPECT_EQ(a->assocConnected, 1);
    a->Nest_remove();
    auto evs = waitEvents(2);
    ASSERT_EQ(evs.size(), 2u);
    EXPECT_EQ(evs[1].type, 41);
    marker();
    EXPECT_EQ(events().size(), 2u);
    a->registerAssocEventCB(recordEvent);
}

// Closing while the callback holds the receiver does not wait for ever.
TEST_F(Faults, CloseWhileTheCallbackHoldsOn) {
    g_hold = true;
    a->registerAssocEventCB(holdOn);
    script("nest", "on remove\n send command=122\n");
    a->Nest_remove();
    ASSERT_EQ(waitEvents(1).size(), 1u);
    a->closeAssocConnection();  // gives up waiting
    EXPECT_EQ(a->assocSocket, 0);
    EXPECT_TRUE(logged("libpairing:exited receive thread").empty());
    g_hold = false;
    EXPECT_TRUE(waitUntil([] { return logged("libpairing:exited receive thread").size() == 1; }));
    a->registerAssocEventCB(recordEvent);
}

// No receiver thread or no shell for the setting: the connection still
// opens, as the router's client does.
TEST_F(Faults, ConnectWithoutThreadOrShell) {
    a->closeAssocConnection();
    {
        testkit::Fault f("pthread_create");
        EXPECT_EQ(a->checkAssocConnection(), 0);
    }
    EXPECT_EQ(logged("libpairing:can't create thread :[Resource temporarily unavailable]").size(), 1u);
    EXPECT_TRUE(logged("libpairing:Thread created successfully").empty());
    EXPECT_EQ(a->assocConnected, 1);
    a->closeAssocConnection();

    local_meshID = 3;
    {
        testkit::Fault f("popen-nvram_get");
        EXPECT_EQ(a->checkAssocConnection(), 0);
    }
    EXPECT_EQ(local_meshID, 3);  // left as it was
    // The receiver runs: an answer is handled.
    script("nest", "on remove\n send command=123\n");
    a->Nest_remove();
    auto evs = waitEvents(1);
    ASSERT_EQ(evs.size(), 1u);
    EXPECT_EQ(evs[0].type, 42);
    EXPECT_EQ(assoc_meshID, 3);
}
