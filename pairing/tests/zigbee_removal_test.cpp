// ZigBee removal answers through real UDP: the ZigBee stand-in plays the
// answer, the HA server removes what it is told to.
#include <cstring>

#include "ddb.h"
#include "hacore/Device.h"
#include "pairing_util.h"
#include "servers.h"
#include "testkit.h"

using namespace ptest;
using testkit::le32;

namespace {

class ZigbeeRemoval : public PairingTest {};

}  // namespace

TEST_F(ZigbeeRemoval, AnswerWithoutAddressRemovesNoDevice) {
    // Two devices the store holds without ZigBee address, one with.
    storeDevice(60, "Hall switch", DEVTECH_ZWAVE, "BinarySwitch", 21, 65535);
    storeDevice(61, "Porch sensor", DEVTECH_ZIGBEE, "DoorSensor", 0, 65535);
    storeDevice(62, "Garage sensor", DEVTECH_ZIGBEE, "DoorSensor", 0, 0x3c4d);
    startRemoving("", "on remove\n  send status=2 short=0xffff\n");
    auto evs = waitEvents(1);
    ASSERT_EQ(evs.size(), 1u);
    EXPECT_EQ(evs[0].type, 12);
    EXPECT_EQ(evs[0].server, 1);
    EXPECT_EQ(logged("libpairing:Unknown Sensor removed (Zigbee)").size(), 1u);
    EXPECT_TRUE(logged("libpairing:Removing zigbee device").empty());
    EXPECT_TRUE(waitUntil([&] { return a->assocState == 0 && idle; }));

    // A removal of the addressed device after it: the HA server is told of
    // that one only, and once it is gone the other two are still there.
    clearEvents();
    script("zigbee", "on remove\n  send status=2 short=0x3c4d\n");
    a->removeDevZigbeeZwave();
    evs = waitEvents(1);
    ASSERT_EQ(evs.size(), 1u);
    EXPECT_EQ(evs[0].type, 11);
    EXPECT_EQ(device(evs[0]).removedId, 62u);
    ASSERT_TRUE(waitUntil([] { return storedNamed("Garage sensor") == 0; }));
    auto ha = testkit::received("ha-assoc");
    ASSERT_EQ(ha.size(), 1u);
    EXPECT_EQ(le32(ha[0], 0), 0);
    EXPECT_EQ((uint8_t)ha[0][4] | (uint8_t)ha[0][5] << 8, 0x3c4d);
    EXPECT_EQ(storedNamed("Hall switch"), 60);
    EXPECT_EQ(storedNamed("Porch sensor"), 61);
}
