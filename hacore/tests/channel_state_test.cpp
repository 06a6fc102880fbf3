// An application that uses the channel's state through hacore/channel_state.h
// reaches the library's own: the identity it sets is the one the library
// connects as, the socket and addresses are the library's, and a buffer it
// fills is the one the send function sends. Built twice, as a position-
// independent and as a fixed-address executable (where the exported
// references are copied into the executable at load time).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <mutex>
#include <pthread.h>
#include <string>
#include <sys/socket.h>

#include "ddb.h"
#include "ha_datagrams.h"
#include "hacore/HADevices.h"
#include "hacore/channel.h"
#include "hacore/channel_state.h"
#include "testkit.h"

using namespace testkit;

namespace {

std::mutex seenLock;
std::string seenValue;
std::atomic<bool> onReceiverThread{false};

void onDevice(Device* d) {
    onReceiverThread = pthread_equal(pthread_self(), receiver_thread) != 0;
    std::lock_guard<std::mutex> g(seenLock);
    if (d->getID() == 12 && hapacket.index == 1) seenValue = hapacket.value;
}

std::string seen() {
    std::lock_guard<std::mutex> g(seenLock);
    return seenValue;
}

std::string text(const sockaddr_in& a) {
    char ip[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &a.sin_addr, ip, sizeof ip);
    return std::string(ip) + ":" + std::to_string(ntohs(a.sin_port));
}

bool allZero(const void* p, size_t n) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i)
        if (b[i]) return false;
    return true;
}

}  // namespace

TEST(ChannelState, TheInterfaceReachesTheLibrarysState) {
    DeviceRecord light = makeDevice(12, "Hall dimmer", "Hall", 2, "MultilevelSwitch", 1);
    light.ozwNode = 5;
    putDevice(light);
    putValue(12, makeValue(0, "SECURITYDEVICE", "0", 0, 0, 0, 0));
    putValue(12, makeValue(1, "SWITCH MULTILEVEL", "0", 17, 0x26, 0, 1));
    completeDevice(12);

    // Not connected yet: no socket, no addresses.
    EXPECT_EQ(s, -1);
    EXPECT_EQ(len_ha, 0);

    // The identity written here is the one the library binds: the web
    // server's.
    which = 7;
    ASSERT_EQ(ConnectToServers(), 1);
    EXPECT_EQ(which, 7);
    ASSERT_GE(s, 0);
    sockaddr_in bound;
    socklen_t boundLen = sizeof bound;
    ASSERT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&bound), &boundLen), 0);
    EXPECT_EQ(text(bound), "127.255.255.11:8888");
    EXPECT_EQ(text(adr_web), "127.255.255.11:8888");
    EXPECT_EQ(text(adr_ha), "127.255.255.1:8888");
    EXPECT_EQ(len_ha, 16);
    EXPECT_EQ(text(adr_ozw), "127.255.255.254:8888");
    EXPECT_EQ(len_ozw, 16);

    HADevices ha;
    ha.genericCallback(onDevice);
    // The buffer filled here is the one the library sends, and clears.
    fillZWaveSetValue(5, 0x26, 0, 1, "40");
    EXPECT_EQ(SendDataPacketToOZWServer(), (int)sizeof OZWSendingPacket);
    EXPECT_TRUE(allZero(&OZWSendingPacket, sizeof OZWSendingPacket));
    EXPECT_TRUE(testkit::waitUntil([] { return seen() == "40"; }));
    EXPECT_TRUE(onReceiverThread);
}
