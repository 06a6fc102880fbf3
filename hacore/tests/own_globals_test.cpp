// An application with globals of its own named like the channel's state
// (it does not include hacore/channel_state.h): its variables keep their
// values, and the library keeps its socket, identity, addresses and send
// buffers to itself, so commands and notifications work as ever.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <pthread.h>
#include <string>
#include <vector>

#include "ddb.h"
#include "hacore/Device.h"
#include "hacore/HADevices.h"
#include "testkit.h"

using namespace testkit;

// The application's own globals: each takes the place of the exported
// symbol of the same name in this process.
int s = 77;
int which = 99;
struct sockaddr_in adr_ha;
int len_ha = 5;
pthread_t receiver_thread;
SetDataPacket set_data;
OZWPacket OZWSendingPacket;

namespace {

struct Notified {
    int id;
    int index;
    std::string value;
};

std::mutex seenLock;
std::vector<Notified> seen;

void onDevice(Device* d) {
    std::lock_guard<std::mutex> g(seenLock);
    seen.push_back({d->getID(), hapacket.index, hapacket.value});
}

bool notified(int id, int index, const std::string& value) {
    std::lock_guard<std::mutex> g(seenLock);
    for (const Notified& n : seen)
        if (n.id == id && n.index == index && n.value == value) return true;
    return false;
}

void markAddress(sockaddr_in* a) { memset(a, 0xA5, sizeof *a); }

bool isMarked(const sockaddr_in& a) {
    sockaddr_in m;
    markAddress(&m);
    return memcmp(&a, &m, sizeof a) == 0;
}

}  // namespace

TEST(OwnGlobals, KeepTheirValuesWhileTheLibraryWorks) {
    DeviceRecord light = makeDevice(12, "Hall dimmer", "Hall", 2, "MultilevelSwitch", 1);
    light.ozwNode = 5;
    putDevice(light);
    putValue(12, makeValue(0, "SECURITYDEVICE", "0", 0, 0, 0, 0));
    putValue(12, makeValue(1, "SWITCH MULTILEVEL", "0", 17, 0x26, 0, 1));
    completeDevice(12);

    markAddress(&adr_ha);
    strcpy(set_data.value, "the application's");
    strcpy(OZWSendingPacket.value, "the application's");

    HADevices ha;
    ASSERT_EQ(ha.initialize(), 1);
    ha.genericCallback(onDevice);

    // A Z-Wave command (the library's Z-Wave buffer, socket and address)
    // and a device setting (its settings buffer and the HA address): the
    // servers act on both and notify this end client.
    Device d(12);
    ASSERT_EQ(d.setSwitchLevel(40), 1);
    ASSERT_EQ(d.setSecurityDevice(1), 1);
    EXPECT_TRUE(testkit::waitUntil([] { return notified(12, 1, "40") && notified(12, 0, "1"); }));

    EXPECT_EQ(s, 77);
    EXPECT_EQ(which, 99);
    EXPECT_TRUE(isMarked(adr_ha));
    EXPECT_EQ(len_ha, 5);
    EXPECT_TRUE(pthread_equal(receiver_thread, pthread_t()));
    EXPECT_STREQ(set_data.value, "the application's");
    EXPECT_EQ(set_data.deviceId, 0);
    EXPECT_STREQ(OZWSendingPacket.value, "the application's");
    EXPECT_EQ(OZWSendingPacket.node, 0);
}
