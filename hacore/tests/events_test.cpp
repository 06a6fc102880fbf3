// The receiver thread and the HADevices facade: device notifications and
// events from the HA server reach the callbacks; everything else, however
// short, long or strange, is dropped with the receiver still running.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <atomic>
#include <sys/stat.h>
#include <signal.h>
#include <map>
#include <sys/socket.h>
#include <mutex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "ddb.h"
#include "hacore/HADevices.h"
#include "hacore/channel_state.h"
#include "servers.h"
#include "ha_datagrams.h"
#include "testkit.h"

using namespace testkit;

namespace {

// ---- what the callbacks saw ----

struct Seen {
    int id = 0;
    std::string value1;    // the device's value 1 as loaded
    int lastIndex = 0;     // getLastNotificationIndex()
    std::string lastName;  // getLastNotificationIndexName()
    std::string notified;  // the notification buffer's value
    bool onReceiver = false;
    Event lastEvent;  // the event buffer as the receiver left it
};

std::mutex seenLock;
std::condition_variable seenChanged;
std::vector<Seen> genericSeen, deviceSeen;
std::vector<Event> eventsSeen;
std::thread::id mainThread;

Seen look(Device* d) {
    Seen s;
    s.id = d->getID();
    s.value1 = d->getValue(1);
    s.lastIndex = d->getLastNotificationIndex();
    s.lastName = d->getLastNotificationIndexName();
    s.notified = hapacket.value;
    s.onReceiver = std::this_thread::get_id() != mainThread;
    s.lastEvent = epacket;  // read on the receiver thread, which writes it
    return s;
}

void onGeneric(Device* d) {
    Seen s = look(d);
    std::lock_guard<std::mutex> g(seenLock);
    genericSeen.push_back(s);
    seenChanged.notify_all();
}

void onDevice(Device* d) {
    Seen s = look(d);
    std::lock_guard<std::mutex> g(seenLock);
    deviceSeen.push_back(s);
    seenChanged.notify_all();
}

void onEvent(Event* e) {
    std::lock_guard<std::mutex> g(seenLock);
    eventsSeen.push_back(*e);
    seenChanged.notify_all();
}

// Waits (generously) until the vector holds n entries; returns its size.
template <typename T>
size_t waitCount(const std::vector<T>& v, size_t n) {
    std::unique_lock<std::mutex> g(seenLock);
    seenChanged.wait_for(g, std::chrono::seconds(30), [&] { return v.size() >= n; });
    return v.size();
}

// Copies for the main thread: the receiver appends while tests look.
std::vector<Seen> generic() {
    std::lock_guard<std::mutex> g(seenLock);
    return genericSeen;
}
std::vector<Seen> devices() {
    std::lock_guard<std::mutex> g(seenLock);
    return deviceSeen;
}
std::vector<Event> events() {
    std::lock_guard<std::mutex> g(seenLock);
    return eventsSeen;
}

void clearSeen() {
    std::lock_guard<std::mutex> g(seenLock);
    genericSeen.clear();
    deviceSeen.clear();
    eventsSeen.clear();
}

// The HA server's address with a port of the test's own: the receiver
// checks the sender's address only.
UdpPeer& haPeer() {
    static UdpPeer peer("127.255.255.1", 0);
    return peer;
}

void toEndClient(UdpPeer& from, const std::string& d) { ASSERT_TRUE(from.sendTo("127.255.255.3", 8888, d)); }

void storeDevices() {
    DeviceRecord light = makeDevice(12, "Hall dimmer", "Hall", 2, "MultilevelSwitch", 1);
    light.ozwNode = 5;
    putDevice(light);
    putValue(12, makeValue(0, "SECURITYDEVICE", "0", 0, 0, 0, 0));
    putValue(12, makeValue(1, "SWITCH MULTILEVEL", "0", 17, 0x26, 0, 1));
    for (int id : {7, 8}) {
        putDevice(makeDevice(id, "Plug", "Den", 2, "BinarySwitch", 1));
        putValue(id, makeValue(0, "SECURITYDEVICE", "0", 0, 0, 0, 0));
        putValue(id, makeValue(1, "SWITCH BINARY", "false", 1, 0x25, 0, 1));
    }
    putDevice(makeDevice(13, "Blind", "Den", 2, "RollerShutter", 1));
    putValue(13, makeValue(0, "SECURITYDEVICE", "0", 0, 0, 0, 0));
    putValue(13, makeValue(1, "SHUTTER_LEVEL", "0", 20, 0x26, 0, 1));
    for (int id : {7, 8, 12, 13}) completeDevice(id);
}

class EventsEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        mainThread = std::this_thread::get_id();
        storeDevices();
        HADevices ha;
        ASSERT_EQ(ha.initialize(), 1);
        ha.eventCallback(onEvent);
    }
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new EventsEnvironment);

class Receiver : public ::testing::Test {
protected:
    void SetUp() override {
        clearSeen();
        ha.genericCallback(onGeneric);
        ha.deviceCallback(12, onDevice);
        ha.eventCallback(onEvent);
    }
    // A good notification after the bad ones: handled in order, so once its
    // callback ran, everything sent before it was dealt with.
    void sync() {
        size_t n = generic().size();
        toEndClient(haPeer(), notification(12, 1, "sync"));
        ASSERT_EQ(waitCount(genericSeen, n + 1), n + 1);
    }
    HADevices ha;
};

}  // namespace

TEST_F(Receiver, ZWaveLightRoundTrip) {
    // An application switches the light: the Z-Wave server takes the command,
    // the HA server stores the new level and notifies every client.
    fillZWaveSetValue(5, 0x26, 0, 1, "40");
    SendDataPacketToOZWServer();

    ASSERT_EQ(waitCount(deviceSeen, 1), 1u);
    ASSERT_EQ(generic().size(), 1u);
    for (const Seen& s : {generic()[0], devices()[0]}) {
        EXPECT_EQ(s.id, 12);
        EXPECT_EQ(s.value1, "40");  // as the store now holds it
        EXPECT_EQ(s.lastIndex, 1);
        EXPECT_EQ(s.lastName, "SWITCH MULTILEVEL");
        EXPECT_EQ(s.notified, "40");
        EXPECT_TRUE(s.onReceiver);
    }
    ValueRecord stored;
    std::string raw = ddbGet("12.1");
    ASSERT_EQ(raw.size(), sizeof stored);
    memcpy(&stored, raw.data(), sizeof stored);
    EXPECT_STREQ(stored.value, "40");
}

TEST_F(Receiver, DeviceCallbackOnlyForItsDevice) {
    ha.deviceCallback(7, onDevice);
    toEndClient(haPeer(), notification(8, 1, "true"));
    ASSERT_EQ(waitCount(genericSeen, 1), 1u);
    EXPECT_EQ(generic()[0].id, 8);
    toEndClient(haPeer(), notification(7, 1, "true"));
    ASSERT_EQ(waitCount(deviceSeen, 1), 1u);
    EXPECT_EQ(devices()[0].id, 7);
    EXPECT_EQ(generic().size(), 2u);
    // Replacing and clearing.
    ha.genericCallback(nullptr);
    ha.deviceCallback(8, onDevice);
    toEndClient(haPeer(), notification(8, 1, "false"));
    ASSERT_EQ(waitCount(deviceSeen, 2), 2u);
    EXPECT_EQ(devices()[1].id, 8);
    EXPECT_EQ(generic().size(), 2u);
}

TEST_F(Receiver, DevicesNotStoredAreReportedAndSkipped) {
    std::string err = captureStderr([&] {
        toEndClient(haPeer(), notification(999, 1, "x"));
        toEndClient(haPeer(), notification(0, 1, "x"));
        toEndClient(haPeer(), notification(-5, 1, "x"));
        sync();
    });
    EXPECT_EQ(err, "Device Not found\nDevice Not found\nDevice Not found\n");
    ASSERT_EQ(generic().size(), 1u);
    EXPECT_EQ(generic()[0].notified, "sync");
    ASSERT_EQ(waitCount(deviceSeen, 1), 1u);
    EXPECT_EQ(devices()[0].notified, "sync");
}

TEST_F(Receiver, AnyPortOfTheHAServerIsAccepted) {
    ASSERT_TRUE(stopServer("ha"));
    {
        UdpPeer assocPort("127.255.255.1", 9999);
        toEndClient(assocPort, notification(12, 1, "from 9999"));
        ASSERT_EQ(waitCount(genericSeen, 1), 1u);
        EXPECT_EQ(generic()[0].notified, "from 9999");
    }
    ASSERT_TRUE(startServer("ha"));
}

TEST_F(Receiver, UnknownSendersAreReportedAndDropped) {
    std::string err = captureStderr([&] {
        UdpPeer stranger("127.255.255.6", 0), mesh("127.255.255.250", 0);
        toEndClient(stranger, notification(12, 1, "stranger"));
        toEndClient(stranger, event(5, 1));
        // Only the cloud identity takes events from the mesh server.
        toEndClient(mesh, event(5, 1));
        sync();
    });
    EXPECT_EQ(err,
              "Unknown Packet received end from 127.255.255.6\n"
              "Unknown Packet received end from 127.255.255.6\n"
              "Unknown Packet received end from 127.255.255.250\n");
    EXPECT_EQ(generic().size(), 1u);
    EXPECT_TRUE(events().empty());
}

namespace {

void ignoreSignal(int) {}

// Standard error read while it is still being written (the receiver thread
// writes there).
class StderrFile {
public:
    StderrFile() {
        fflush(stderr);
        fd_ = mkstemp(name_);
        saved_ = dup(2);
        dup2(fd_, 2);
    }
    ~StderrFile() {
        dup2(saved_, 2);
        close(saved_);
        close(fd_);
        unlink(name_);
    }
    std::string text() const { return readFile(name_); }

private:
    char name_[32] = "/tmp/.stderrXXXXXX";
    int fd_ = -1, saved_ = -1;
};

size_t countOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace

// A receive that fails is reported and tried again; an interrupted one too,
// without the pause. Notifications are delivered again once it works.
TEST_F(Receiver, FailedReceivesAreReportedAndTheReceiverGoesOn) {
    {
        InterruptingHandler handler(SIGUSR2, ignoreSignal);  // the receive is interrupted
        StderrFile err;
        // Signalled until one lands while it waits in the receive.
        EXPECT_TRUE(waitUntil([&] {
            pthread_kill(receiver_thread, SIGUSR2);
            return countOf(err.text(), "Connection Closed\n") >= 1;
        }));
        Fault f("recvfrom-8888");
        const size_t before = countOf(err.text(), "Connection Closed\n");
        EXPECT_TRUE(waitUntil([&] {
            pthread_kill(receiver_thread, SIGUSR2);
            return countOf(err.text(), "Connection Closed\n") >= before + 3;
        }));
        f.off();
        // The receiver may have been in its pause: wake it for the next round.
        pthread_kill(receiver_thread, SIGUSR2);
        sync();
        const std::string text = err.text();
        EXPECT_EQ(countOf(text, "Connection Closed\n") * 18, text.size()) << text;
    }
    EXPECT_EQ(generic().size(), 1u);
}

std::atomic<int> thrown{0};
void throwingCallback(Device* d) {
    ++thrown;
    throw d->getID();
}

TEST_F(Receiver, CallbackThatThrowsDoesNotEndTheReceiver) {
    thrown = 0;
    ha.genericCallback(throwingCallback);
    toEndClient(haPeer(), notification(12, 1, "thrown"));
    ASSERT_TRUE(waitUntil([] { return thrown == 1; }));
    ha.genericCallback(onGeneric);
    sync();
    EXPECT_EQ(generic().size(), 1u);
}

// A store that cannot be opened holds no device to notify about.
TEST_F(Receiver, NotificationsWhileTheStoreCannotBeOpened) {
    ASSERT_EQ(rename("/tmp/ddb", "/tmp/ddb.aside"), 0);
    ASSERT_EQ(mkdir("/tmp/ddb", 0755), 0);
    {
        StderrFile err;
        toEndClient(haPeer(), notification(12, 1, "lost"));
        EXPECT_TRUE(waitUntil([&] { return err.text().find("Device Not found\n") != std::string::npos; }));
    }
    rmdir("/tmp/ddb");
    ASSERT_EQ(rename("/tmp/ddb.aside", "/tmp/ddb"), 0);
    EXPECT_TRUE(generic().empty());
    sync();
}

TEST(Helpers, InterfaceMacWithoutASocket) {
    char out[32] = "";
    Fault f("socket-dgram");
    std::string printed = captureStdout([&] { EXPECT_EQ(getIfMac("lo", out), -1); });
    EXPECT_STREQ(out, "<no_mac>");
    EXPECT_EQ(printed, "getIfMac: open socket error\n");
}

TEST_F(Receiver, EventsReachTheEventCallback) {
    toEndClient(haPeer(), event(EV_HalvixUpdated, 5, "New hub"));
    ASSERT_EQ(waitCount(eventsSeen, 1), 1u);
    EXPECT_EQ(events()[0].type, EV_HalvixUpdated);
    EXPECT_EQ(events()[0].arg, 5);
    EXPECT_STREQ(events()[0].data, "New hub");
    EXPECT_EQ(memcmp(&epacket, &events()[0], sizeof epacket), 0);
}

TEST_F(Receiver, EventTypeZeroIsStoredWithoutCallback) {
    toEndClient(haPeer(), event(0, 77));
    sync();  // the notification's callback sees the buffer the event left
    EXPECT_EQ(generic().back().lastEvent.arg, 77);
    EXPECT_EQ(generic().back().lastEvent.type, 0);
    EXPECT_TRUE(events().empty());
}

TEST_F(Receiver, EventsWithoutAnEventCallbackAreStored) {
    ha.eventCallback(nullptr);
    toEndClient(haPeer(), event(EV_HalvixUpdated, 78));
    sync();
    EXPECT_EQ(generic().back().lastEvent.arg, 78);
    EXPECT_TRUE(events().empty());
}

TEST_F(Receiver, UnknownKindsAreDropped) {
    std::string err = captureStderr([&] {
        for (int kind : {2, 3, -1, 0x7fffffff}) toEndClient(haPeer(), event(EV_HalvixUpdated, 1, "x", kind));
        sync();
    });
    EXPECT_EQ(err, "");
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(generic().size(), 1u);
}

// Every length from nothing to beyond the 1100 bytes read: what is handed on
// holds the bytes of this datagram and zeros, never bytes of the one before.
TEST_F(Receiver, EventsOfEveryLength) {
    std::string dirty = event(EV_HalvixUpdated, 0x55555555, std::string(596, 'U'));
    std::string full = event(23, 0x01020304, std::string(596, 'A')) + std::string(700, 'B');
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 620; ++n) lengths.push_back(n);
    for (size_t n = 1090; n <= 1110; ++n) lengths.push_back(n);
    lengths.push_back(1300);
    for (size_t len : lengths) {
        clearSeen();
        toEndClient(haPeer(), full.substr(0, len));
        toEndClient(haPeer(), dirty);
        bool delivered = len >= 8;  // a kind and a whole event type
        size_t want = delivered ? 2 : 1;
        ASSERT_EQ(waitCount(eventsSeen, want), want) << len;
        EXPECT_EQ(events().back().arg, 0x55555555);
        if (!delivered) continue;
        const Event e = events()[0];
        std::string got(reinterpret_cast<const char*>(&e), sizeof e);
        size_t body = std::min(len - 4, sizeof(Event));
        EXPECT_EQ(got.substr(0, body), full.substr(4, body)) << len;
        EXPECT_EQ(got.substr(body), std::string(sizeof(Event) - body, '\0')) << len;
    }
}

TEST_F(Receiver, NotificationsOfEveryLength) {
    std::string dirty = notification(12, 1, std::string(180, 'Z'));
    std::string full = notification(12, 1, std::string(180, 'v')) + std::string(1000, 'w');
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 200; ++n) lengths.push_back(n);
    for (size_t n = 1095; n <= 1105; ++n) lengths.push_back(n);
    for (size_t len : lengths) {
        clearSeen();
        toEndClient(haPeer(), full.substr(0, len));
        toEndClient(haPeer(), dirty);
        bool delivered = len >= 12;  // a kind, a device ID and an index
        size_t want = delivered ? 2 : 1;
        ASSERT_EQ(waitCount(genericSeen, want), want) << len;
        EXPECT_EQ(generic().back().notified, std::string(179, 'Z'));  // always terminated
        if (!delivered) continue;
        EXPECT_EQ(generic()[0].notified, std::string(std::min<size_t>(len - 12, 179), 'v')) << len;
        EXPECT_EQ(generic()[0].lastIndex, 1);
    }
}

TEST_F(Receiver, LastLightCommandStandsForTheNotifiedValue) {
    ha.deviceCallback(0, nullptr);  // only the generic callback reads the buffer
    Device light(12), blind(13), plug(8);
    lightDeviceID = 12;
    sentLightValue = 40;
    toEndClient(haPeer(), notification(12, 1, "99"));
    ASSERT_EQ(waitCount(genericSeen, 1), 1u);
    EXPECT_STREQ(plug.getLastNotificationIndexValue(), "#ERR");
    EXPECT_EQ(plug.getLastNotificationIndex(), -1);
    EXPECT_STREQ(plug.getLastNotificationIndexName(), "#ERR");
    EXPECT_EQ(lightDeviceID, 12);  // untouched by another device's question
    EXPECT_STREQ(light.getLastNotificationIndexValue(), "40");
    EXPECT_STREQ(hapacket.value, "40");
    EXPECT_EQ(lightDeviceID, -1);
    EXPECT_EQ(sentLightValue, -1);
    toEndClient(haPeer(), notification(12, 1, "99"));
    ASSERT_EQ(waitCount(genericSeen, 2), 2u);
    EXPECT_STREQ(light.getLastNotificationIndexValue(), "99");

    // A roller shutter reports its own position.
    lightDeviceID = 13;
    sentLightValue = 40;
    toEndClient(haPeer(), notification(13, 1, "75"));
    ASSERT_EQ(waitCount(genericSeen, 3), 3u);
    EXPECT_STREQ(blind.getLastNotificationIndexValue(), "75");
    EXPECT_EQ(lightDeviceID, 13);
    lightDeviceID = sentLightValue = -1;

    // An index the device does not have has no name.
    toEndClient(haPeer(), notification(12, 9, "x"));
    ASSERT_EQ(waitCount(genericSeen, 4), 4u);
    EXPECT_EQ(light.getLastNotificationIndex(), 9);
    EXPECT_STREQ(light.getLastNotificationIndexName(), "#ERR");
    Device none;
    EXPECT_EQ(none.getLastNotificationIndex(), -1);
}

TEST_F(Receiver, BroadcastEventGoesToTheAssociationPortAndBack) {
    clearReceived("ha-assoc");
    Event e;
    memset(&e, 0, sizeof e);
    e.type = EV_HalvixUpdated;
    e.arg = 9;
    strcpy(e.data, "Kitchen hub");
    ha.broadcastEvent(e);
    ha.Delayedarm();
    auto got = waitDatagrams("ha-assoc", 2);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].bytes, std::string(reinterpret_cast<char*>(&e), sizeof e));
    EXPECT_EQ(got[0].toPort, 9999);
    ASSERT_EQ(got[1].bytes.size(), 604u);
    EXPECT_EQ(le32(got[1].bytes, 0), 28);
    EXPECT_TRUE(zeros(got[1].bytes, 4, 600));
    // The HA server passes them on to every client, this one included.
    ASSERT_EQ(waitCount(eventsSeen, 2), 2u);
    EXPECT_EQ(memcmp(&events()[0], &e, sizeof e), 0);
    EXPECT_EQ(events()[1].type, EV_DelayedArm);
}

// ---- the hub's servers, as the tests of every command rely on them ----

namespace {

void storeRadioDevices() {
    DeviceRecord zb = makeDevice(20, "Socket", "Den", 1, "SmartACSwitch", 1);
    zb.shortId = 0x1a2b;
    putDevice(zb);
    putValue(20, makeValue(1, "SWITCH BINARY", "false", 1, 0, 0, 1));
    putDevice(makeDevice(21, "Lamp", "Den", 3, "HueLamp", 8));
    putValue(21, makeValue(2, "SWITCH BINARY", "false", 1));
    putValue(21, makeValue(5, "DIMMER_LEVEL", "0", 18));
    putValue(21, makeValue(8, "BULB", "3", 0));
    putDevice(makeDevice(22, "Nest", "Hall", 4, "NestThermostat", 2));
    putValue(22, makeValue(1, "NEST_ID", "nest-1", 0));
    putValue(22, makeValue(2, "THERMOSTAT_MODE", "off", 56));
    putDevice(makeDevice(23, "LED", "Hub", 5, "HalvixBlink", 1));
    putValue(23, makeValue(1, "SWITCH BINARY", "false", 1));
    for (int id = 20; id <= 23; ++id) completeDevice(id);
}

std::string storedValue(int id, int index) {
    ValueRecord v;
    std::string raw = ddbGet(std::to_string(id) + "." + std::to_string(index));
    if (raw.size() != sizeof v) return "<missing>";
    memcpy(&v, raw.data(), sizeof v);
    return v.value;
}

void sendAssoc(int selector, int id, const char* op, const char* value, int devType = 0, int index = 0) {
    AssocPacket a;
    memset(&a, 0, sizeof a);
    a.selector = selector;
    a.data.deviceId = id;
    strcpy(a.data.operation, op);
    strcpy(a.data.value, value);
    a.data.devType = devType;
    a.data.index = index;
    ASSERT_EQ(sendto(s, &a, sizeof a, 0, reinterpret_cast<sockaddr*>(&adr_ha_assoc), len_ha_assoc), (ssize_t)sizeof a);
}

}  // namespace

TEST_F(Receiver, DeviceServersReportWhatTheirDevicesNowHold) {
    storeRadioDevices();
    strcpy(ZigbeeSendingPacket.command, "zcl on-off on\rsend 0x1a2b 1 255\r");
    SendDataPacketToZigbeeServer();
    HUESendingPacket.devType = HueLamp;
    HUESendingPacket.bulb = 3;
    HUESendingPacket.level = 180;
    HUESendingPacket.command = 104;
    SendDataPacketToHueServer();
    NESTSendingPacket.command = 104;
    strcpy(NESTSendingPacket.nestId, "nest-1");
    NESTSendingPacket.hvacMode = 3;
    SendDataPacketToNestServer();
    PicPacket pic;
    memset(&pic, 0, sizeof pic);
    pic.command = 6;  // blink on
    sendto(s, &pic, sizeof pic, 0, reinterpret_cast<sockaddr*>(&adr_picdriver), len_picdriver);

    ASSERT_EQ(waitCount(genericSeen, 4), 4u);
    std::map<int, Seen> by;
    for (const Seen& s : generic()) by[s.id] = s;
    EXPECT_EQ(by[20].notified, "true");
    EXPECT_EQ(by[21].notified, "180");
    EXPECT_EQ(by[21].lastIndex, 5);
    EXPECT_EQ(by[22].notified, "heat-cool");
    EXPECT_EQ(by[23].notified, "true");
    EXPECT_EQ(storedValue(20, 1), "true");
    EXPECT_EQ(storedValue(21, 5), "180");
    EXPECT_EQ(storedValue(22, 2), "heat-cool");
    EXPECT_EQ(storedValue(23, 1), "true");
}

TEST_F(Receiver, HAServerAppliesSettingsAndAssociationRequests) {
    storeRadioDevices();
    sendAssoc(0, 20, "Name", "Kitchen socket");
    sendAssoc(0, 20, "Location", "Kitchen");
    sendAssoc(0, 20, "modifydevicetype", "", BinarySwitch);
    ASSERT_EQ(waitCount(eventsSeen, 3), 3u);
    for (const Event& e : events()) {
        EXPECT_EQ(e.type, EV_DeviceUpdated);
        EXPECT_EQ(e.arg, 20);
    }
    Device d(20);
    EXPECT_STREQ(d.getDeviceName(), "Kitchen socket");
    EXPECT_STREQ(d.getDeviceLocation(), "Kitchen");
    EXPECT_EQ(d.getDeviceType(), BinarySwitch);

    // An index value, and the security flag through the settings port.
    sendAssoc(2, 20, "SWITCH BINARY", "true", SmartACSwitch, 1);
    ASSERT_EQ(waitCount(genericSeen, 1), 1u);
    SetDataPacket sd;
    memset(&sd, 0, sizeof sd);
    sd.deviceId = 20;
    strcpy(sd.operation, "security");
    strcpy(sd.value, "1");
    sendto(s, &sd, sizeof sd, 0, reinterpret_cast<sockaddr*>(&adr_ha), len_ha);
    ASSERT_EQ(waitCount(genericSeen, 2), 2u);
    EXPECT_EQ(generic()[0].lastIndex, 1);
    EXPECT_EQ(generic()[0].notified, "true");
    EXPECT_EQ(generic()[1].lastIndex, 0);
    EXPECT_EQ(storedValue(20, 0), "1");

    sendAssoc(0, 20, "DeviceRemove", "", BinarySwitch);
    ASSERT_EQ(waitCount(eventsSeen, 4), 4u);
    EXPECT_EQ(events()[3].type, EV_DeviceRemoved);
    EXPECT_EQ(events()[3].arg, 20);
    bool found = true;
    ddbGet("20", &found);
    EXPECT_FALSE(found);
    ddbGet("20.1", &found);
    EXPECT_FALSE(found);
    EXPECT_THROW(Device(20), int);
}

TEST(Events, SendFailuresAreReported) {
    // A process that never connected has no socket.
    pid_t pid = fork();
    if (pid == 0) {
        s = -1;
        HADevices ha;
        Event e;
        memset(&e, 0, sizeof e);
        std::string err = captureStderr([&] {
            ha.broadcastEvent(e);
            ha.Delayedarm();
        });
        childExit(err == "sending event failed to haserver\nsending delayed arm event failed to haserver\n" ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// ---- shared lookups and small helpers ----

TEST(Lookups, DeviceByIDRetriesUntilLoadedThenKeepsIt) {
    HADevices ha;
    EXPECT_THROW(
        {
            try {
                ha.getDeviceByID(77);
            } catch (int id) {
                EXPECT_EQ(id, 77);
                throw;
            }
        },
        int);
    putDevice(makeDevice(77, "Late", "Attic", 2, "BinarySwitch", 0));
    Device& d = ha.getDeviceByID(77);
    EXPECT_EQ(d.getID(), 77);
    EXPECT_EQ(&ha.getDeviceByID(12), &d);
    EXPECT_EQ(ha.getDeviceByID(12).getID(), 77);
}

TEST(Lookups, ListsAreOnePerProcessAndStartEmpty) {
    HADevices a, b;
    EXPECT_EQ(&a.getDeviceList(), &b.getDeviceList());
    EXPECT_EQ(&a.getDeviceByType(BinarySwitch), &b.getDeviceByType(HueLamp));
    EXPECT_EQ(&a.getDeviceByHop(1), &b.getDeviceByHop(2));
    EXPECT_TRUE(a.getDeviceList().devices.empty());
    EXPECT_TRUE(a.getDeviceByType(BinarySwitch).devices.empty());
}

TEST(Helpers, ValidateLocalAddress) {
    char onlyLeading[] = "@example.com", mail[] = "user@example.com", two[] = "@a@b.org", none[] = "user", empty[] = "";
    EXPECT_EQ(validate_local_address(onlyLeading), nullptr);
    EXPECT_EQ(validate_local_address(mail), mail + 5);
    EXPECT_EQ(validate_local_address(two), two + 3);
    EXPECT_EQ(validate_local_address(none), nullptr);
    EXPECT_EQ(validate_local_address(empty), nullptr);
}

TEST(Helpers, ValidateMode) {
    for (int c = 0; c < 256; ++c) EXPECT_EQ(validate_mode((char)c), c >= '2' && c <= '5') << c;
}

TEST(Helpers, InterfaceMac) {
    char out[32];
    EXPECT_EQ(getIfMac("lo", out), 0);
    EXPECT_STREQ(out, "000000000000");
    std::string printed = captureStdout([&] { EXPECT_EQ(getIfMac("nosuch0", out), -1); });
    EXPECT_STREQ(out, "<no_mac>");
    EXPECT_EQ(printed, "getIfMac: ioctl SIOCGIFADDR error for nosuch0\n");
    printed = captureStdout([&] { EXPECT_EQ(getIfMac(nullptr, out), -1); });
    EXPECT_EQ(printed, "getIfMac: ioctl SIOCGIFADDR error for \n");
}

TEST(Lookups, ObjectWithoutADeviceHasNoLastNotification) {
    Device none;
    EXPECT_EQ(none.getLastNotificationIndex(), -1);
    EXPECT_STREQ(none.getLastNotificationIndexName(), "#ERR");
    EXPECT_STREQ(none.getLastNotificationIndexValue(), "#ERR");
}
