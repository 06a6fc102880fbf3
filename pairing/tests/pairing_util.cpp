#include "pairing_util.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <ctime>

#include "Logger.h"
#include "ddb.h"
#include "hacore/Device.h"
#include "servers.h"
#include "testkit.h"

namespace ptest {

namespace {
std::mutex g_lock;
std::condition_variable g_cv;
std::vector<AssocEvent> g_events;
std::vector<int> g_status;
}  // namespace

void recordEvent(AssocEvent* ev) {
    std::lock_guard<std::mutex> g(g_lock);
    g_events.push_back(*ev);
    g_status.push_back(HalvixAssociation::getInstance()->lastStatus);
    g_cv.notify_all();
}

std::vector<AssocEvent> events() {
    std::lock_guard<std::mutex> g(g_lock);
    return g_events;
}

void clearEvents() {
    std::lock_guard<std::mutex> g(g_lock);
    g_events.clear();
    g_status.clear();
}

std::vector<int> statuses() {
    std::lock_guard<std::mutex> g(g_lock);
    return g_status;
}

std::vector<AssocEvent> waitEvents(size_t count, int timeoutMs) {
    std::unique_lock<std::mutex> g(g_lock);
    g_cv.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return g_events.size() >= count; });
    return g_events;
}

std::vector<int> types(const std::vector<AssocEvent>& evs) {
    std::vector<int> t;
    for (const AssocEvent& e : evs) t.push_back(e.type);
    return t;
}

::testing::AssertionResult gotEvents(std::vector<AssocEvent>* evs, const std::vector<int>& want, int server) {
    *evs = waitEvents(want.size());
    if (types(*evs) != want) return ::testing::AssertionFailure() << "events " << ::testing::PrintToString(types(*evs));
    for (const AssocEvent& e : *evs)
        if (server != -1 && e.server != server)
            return ::testing::AssertionFailure() << "event " << e.type << " from server " << e.server;
    return ::testing::AssertionSuccess();
}

void expectTimeout(const AssocEvent& ev, int lastStatus, const char* command) {
    EXPECT_EQ(ev.type, 2);
    auto* t = reinterpret_cast<const AssocTimeoutPayload*>(ev.payload);
    EXPECT_EQ(t->lastStatus, lastStatus);
    EXPECT_EQ(std::string(t->json), std::string("{\"CommandType\":\"") + command +
                                        "\", \"MobileInternalIndex\":\"\",\"Success\":\"false\","
                                        "\"Reason\":\"TimeoutReached\"}");
}

std::vector<std::pair<int, int>> indexPairs(const uint8_t* list, int count) {
    std::vector<std::pair<int, int>> v;
    for (int k = 0; k < count; ++k) v.push_back({list[2 * k], list[2 * k + 1]});
    return v;
}

void freshTyping(int nextId) {
    testkit::ddbPutText("NextDevid", std::to_string(nextId));
    Logger::getInstance()->clear();
}

void expectNaming(const AssocEvent& ev, int server, const char* name) {
    EXPECT_EQ(ev.type, 7);
    EXPECT_EQ(ev.server, server);
    EXPECT_STREQ(device(ev).name, name);
    EXPECT_STREQ(device(ev).location, "Default");
}

bool answerFrom(const char* ip, const void* data, size_t len) {
    testkit::UdpPeer peer(ip, 0);
    return peer.sendTo("127.255.255.4", 8888, data, len);
}

size_t markersRead() { return logged("Got data from HA_Server").size(); }

void sendMarker() {
    char b = 0;
    ASSERT_TRUE(answerFrom("127.255.255.1", &b, 1));
}

bool markerRead(size_t before) {
    return waitUntil([&] { return markersRead() > before; });
}

void marker() {
    size_t before = markersRead();
    sendMarker();
    ASSERT_TRUE(markerRead(before));
}

void script(const std::string& radio, const std::string& text) {
    testkit::writeFile("/sim/state/servers/" + radio + ".pairing", text);
}

void fakeNvramGet(const std::string& meshId) {
    mkdir("/tmp/bin", 0755);
    testkit::writeFile("/tmp/bin/nvram_get", "#!/bin/sh\necho " + meshId + "\n");
    chmod("/tmp/bin/nvram_get", 0755);
    std::string path = getenv("PATH") ? getenv("PATH") : "";
    if (path.compare(0, 9, "/tmp/bin:") != 0) setenv("PATH", ("/tmp/bin:" + path).c_str(), 1);
}

std::vector<std::string> logged(const std::string& part) {
    std::vector<std::string> out;
    for (const Logger::Line& l : Logger::getInstance()->lines())
        if (l.text.find(part) != std::string::npos) out.push_back(l.text);
    return out;
}

const AssocDevicePayload& device(const AssocEvent& ev) {
    return *reinterpret_cast<const AssocDevicePayload*>(ev.payload);
}

std::string json(const AssocEvent& ev) {
    const AssocDevicePayload& p = device(ev);
    return std::string(p.u.json, strnlen(p.u.json, sizeof p.u.json));
}

std::vector<int> subTypes(const AssocEvent& ev) {
    std::vector<int> out;
    const AssocDevicePayload& p = device(ev);
    for (int k = 0; k < 306 && p.u.subTypes[k]; ++k) out.push_back((int)p.u.subTypes[k]);
    return out;
}

void PairingTest::SetUp() {
    fakeNvramGet("7");
    a = HalvixAssociation::LCDAssocInit();
    a->assocState = 0;
    a->lastStatus = 0;
    a->cancelType = 0;
    idle = true;
    a->registerAssocEventCB(recordEvent);
    ASSERT_EQ(a->checkAssocConnection(), 0);
    clearEvents();
    Logger::getInstance()->clear();
    for (const char* s : {"zwave", "zigbee", "hue", "nest", "ha-assoc"}) testkit::clearReceived(s);
}

void PairingTest::TearDown() {
    if (a) a->closeAssocConnection();
}

void PairingTest::startAdding(const std::string& zwave, const std::string& zigbee) {
    script("zwave", zwave);
    script("zigbee", zigbee);
    a->addDevZigbeeZwave();
}

void PairingTest::startRemoving(const std::string& zwave, const std::string& zigbee) {
    script("zwave", zwave);
    script("zigbee", zigbee);
    a->removeDevZigbeeZwave();
}

void storeDevice(int id, const char* name, int tech, const char* type, int node, int shortId) {
    DeviceRecord r = testkit::makeDevice(id, name, "Hall", tech, type, 1);
    r.ozwNode = node;
    r.shortId = shortId;
    testkit::putDevice(r);
    testkit::putValue(id, testkit::makeValue(1, "SWITCH BINARY", "false", 1, 0x25, 0, 1));
}

// ID of the stored device with that name, 0 if none.
int storedNamed(const std::string& name) {
    DeviceList list;
    list.Populate();
    for (Device& d : list.devices)
        if (name == d.getDeviceName()) return d.getID();
    return 0;
}

}  // namespace ptest
