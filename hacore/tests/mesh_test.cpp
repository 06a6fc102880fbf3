// Mesh nodes: records written by dpmgr and by the RSC server stand-in, read
// back through Mesh and MeshSlaveList; every request's bytes; the store
// size check and a store that cannot be opened.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "hacore/mesh.h"
#include "netstore_util.h"
#include "servers.h"
#include "store_faults.h"
#include "testkit.h"

using namespace testkit;
using nettest::dpmgrPut;

namespace {

const char kStore[] = "/tmp/mdb";

void putField(int pos, const std::string& tag, const std::string& value) {
    dpmgrPut(kStore, std::to_string(pos) + "." + tag, value);
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class MeshTest : public nettest::RscStoreTest {
protected:
    MeshTest() : RscStoreTest(kStore) {}
    void SetUp() override {
        RscStoreTest::SetUp();
        removeFile("/tmp/meshdebug.log");
    }
};

meshServerDatabase sampleUnit() {
    meshServerDatabase r{};
    strcpy(r.Type, "participant");
    strcpy(r.BRMACAddress, "9c:a5:25:10:00:21");
    strcpy(r.WIFIMACAddress, "9c:a5:25:10:00:21");
    strcpy(r.WIFI5GMACAddress, "9c:a5:25:10:00:22");
    strcpy(r.REMAC5GAddress, "9c:a5:25:10:00:23");
    r.AssociatedMeshID = 0;
    r.Is5GMesh = 1;
    strcpy(r.ParticipantName, "Living Room Unit");
    strcpy(r.ParticipantLocation, "Living Room");
    strcpy(r.Model, "VK7");
    strcpy(r.IpAddress, "192.168.8.2");
    strcpy(r.MeshMode, "WirelessSlave");
    r.IsParticipant = 1;
    r.IsActive = 1;
    r.HopCount = 2;
    r.ParticipantSideMasterRSSI = -52;
    memset(r.MasterPassword, 'k', sizeof r.MasterPassword);  // fills the field to its end
    r.MasterChannel = 44;
    r.IsHACapable = 1;
    r.ZigbeePanID = 6754;
    return r;
}

TEST_F(MeshTest, NodeWithOnlyItsPositionReadsDefaults) {
    putField(3, "ParticipantPosID", "3");
    std::string out = captureStdout([] {
        Mesh m(3);
        EXPECT_EQ(m.getSlavePosID(), 3);
        EXPECT_STREQ(m.getRE5GMACAddress(), "NAN");
        EXPECT_STREQ(m.getLocation(), "NAN");
        EXPECT_EQ(m.getAssociatedMeshID(), -1);
        EXPECT_EQ(m.getIs5GMesh(), -1);
        EXPECT_STREQ(m.getName(), "");
        EXPECT_STREQ(m.getType(), "");
        EXPECT_FALSE(m.getIsActive());
        EXPECT_EQ(m.getHopCount(), 0);
    });
    EXPECT_EQ(count(out, "Did not find the slave field"), 35);
    EXPECT_EQ(count(out, "in mesh.cpp in else case populate"), 31);
    EXPECT_NE(out.find("in mesh.cpp in else case populate 1 case not found\n"), std::string::npos);
    EXPECT_NE(out.find("Did not find the slave field, setting the default value to (3.ZigbeePanID), in constructor\n"),
              std::string::npos);
    EXPECT_EQ(out.find("(3.ParticipantPosID)"), std::string::npos);
}

// A default node on memory that held something else reads as empty.
TEST(MeshDefault, ReadsAsEmptyWhateverItsMemoryHeld) {
    alignas(Mesh) unsigned char space[sizeof(Mesh)];
    memset(space, 0xab, sizeof space);
    Mesh* m = new (space) Mesh();
    EXPECT_EQ(m->getSlavePosID(), 0);
    EXPECT_EQ(m->getAssociatedMeshID(), 0);
    EXPECT_STREQ(m->getName(), "");
    EXPECT_STREQ(m->getMACAddress(), "");
    EXPECT_FALSE(m->getIsActive());
    m->~Mesh();
}

TEST_F(MeshTest, FlagsAndNumbers) {
    const struct {
        const char* value;
        bool active;
    } cases[] = {{"1", true}, {"10", true}, {"01", false}, {"true", false}, {"", false}};
    for (const auto& c : cases) {
        putField(1, "ParticipantPosID", "1");
        putField(1, "IsActive", c.value);
        putField(1, "HopCount", "3 hops");
        putField(1, "ParticipantName", std::string(200, 'n'));
        Mesh m;
        captureStdout([&] { m = Mesh(1); });
        EXPECT_EQ(m.getIsActive(), c.active) << c.value;
        EXPECT_EQ(m.getHopCount(), 3);
        EXPECT_EQ(std::string(m.getName()), std::string(31, 'n'));
    }
}

TEST_F(MeshTest, AddSlaveSendsAllFieldsAndTheServerStoresThem) {
    meshServerDatabase r = sampleUnit();
    Mesh m;
    std::string out = captureStdout([&] { m.addSlave(&r, 4); });
    EXPECT_EQ(r.ParticipantPosID, 4);
    std::vector<std::string> got = received("rsc");
    ASSERT_EQ(got.size(), 1u);
    const std::string& p = got[0];
    ASSERT_EQ(p.size(), 10268u);
    EXPECT_EQ(le32(p, 0), 43);
    EXPECT_TRUE(zeros(p, 10244, 24));
    std::string payload = field(p, 4, 10240);
    const std::string head = "ParticipantPosID:4; Type:participant; BRMACAddress:9c:a5:25:10:00:21; ";
    EXPECT_EQ(payload.substr(0, head.size()), head);
    EXPECT_EQ(count(payload, "; "), 36);
    EXPECT_EQ(payload.substr(payload.size() - 2), "; ");
    size_t at = 0;
    for (int i = 0; i < 36; ++i) {
        size_t next = payload.find(std::string(meshTagNames[i]) + ":", at);
        ASSERT_NE(next, std::string::npos) << meshTagNames[i];
        at = next + 1;
    }
    EXPECT_NE(payload.find("MasterPassword:" + std::string(64, 'k') + "; "), std::string::npos);
    EXPECT_EQ(out, "slaveId: 4, Name: Living Room Unit\ncmd data: " + payload + "\nexiting from addSlave\n");

    // The RSC server stored the node: it reads back whole.
    MeshSlaveList list;
    captureStdout([&] { EXPECT_EQ(list.Populate(), 1); });
    ASSERT_EQ(list.slaves.size(), 1u);
    Mesh& n = list.slaves.front();
    EXPECT_EQ(n.getSlavePosID(), 4);
    EXPECT_STREQ(n.getName(), "Living Room Unit");
    EXPECT_STREQ(n.getMACAddress(), "9c:a5:25:10:00:21");
    EXPECT_EQ(n.getMACAddress(), n.getWIFIMACAddress());
    EXPECT_STREQ(n.getRE5GMACAddress(), "9c:a5:25:10:00:23");
    EXPECT_EQ(n.getIs5GMesh(), 1);
    EXPECT_EQ(n.getAssociatedMeshID(), 0);
    EXPECT_TRUE(n.getIsSlave());
    EXPECT_TRUE(n.getIsActive());
    EXPECT_TRUE(n.getIsHACapable());
    EXPECT_EQ(n.getSlaveSideMasterRSSI(), -52);
    EXPECT_EQ(n.getMasterChannel(), 44);
    EXPECT_EQ(n.getZigbeePanID(), 6754);
    EXPECT_EQ(std::string(n.getMasterPassword()), std::string(63, 'k'));
}

TEST_F(MeshTest, SaveValuesRemoveAndRebuild) {
    meshServerDatabase r = sampleUnit();
    captureStdout([&] { Mesh().addSlave(&r, 2); });
    clearReceived("rsc");
    Mesh m;
    m.SaveValues(2, 12, (char*)"Den Unit");
    std::vector<std::string> got = received("rsc");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(le32(got[0], 0), 44);
    EXPECT_EQ(field(got[0], 4, 10240), "ParticipantPosID:2; ParticipantName:Den Unit");
    captureStdout([&] { EXPECT_STREQ(Mesh(2).getName(), "Den Unit"); });

    clearReceived("rsc");
    m.SaveValues(2, 36, (char*)"x");
    m.SaveValues(2, -1, (char*)"x");
    m.removeSlave(0);
    m.removeSlave(-1);
    EXPECT_TRUE(received("rsc").empty());

    m.removeSlave(2);
    got = received("rsc");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(le32(got[0], 0), 46);
    EXPECT_EQ(field(got[0], 4, 10240), "2");
    EXPECT_EQ(nettest::dpmgrKeys(kStore), "");

    clearReceived("rsc");
    m.dePersistMdb();
    got = received("rsc");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(le32(got[0], 0), 50);
    EXPECT_EQ(field(got[0], 4, 10240), "mdb");
    EXPECT_TRUE(zeros(got[0], 8, 10260));

    EXPECT_EQ(captureStdout([&] { m.getAllSlavesList(); }), "in getAllSlavesList\n");
}

TEST_F(MeshTest, RemoveAllSlaves) {
    meshServerDatabase r = sampleUnit();
    captureStdout([&] {
        Mesh().addSlave(&r, 1);
        Mesh().addSlave(&r, 2);
    });
    MeshSlaveList list;
    std::string out = captureStdout([&] { EXPECT_EQ(list.Populate(), 1); });
    EXPECT_EQ(list.slaves.size(), 2u);
    EXPECT_NE(out.find("Id: key-(1)\n"), std::string::npos);
    EXPECT_NE(out.find("Id: key-(2)\n"), std::string::npos);
    clearReceived("rsc");
    list.MeshRemoveAllSlaves();
    EXPECT_TRUE(list.slaves.empty());
    std::vector<std::string> got = received("rsc");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(le32(got[0], 0), 49);
    EXPECT_TRUE(zeros(got[0], 4, 10264));
    EXPECT_EQ(nettest::dpmgrKeys(kStore), "");
}

TEST_F(MeshTest, SmallStoreAsksForARebuild) {
    const struct {
        size_t size;
        bool rebuild;
    } cases[] = {{59, true}, {60, false}, {0, true}};
    for (const auto& c : cases) {
        writeFile(kStore, std::string(c.size, 'x'));
        clearReceived("rsc");
        std::string out = captureStdout([] { checkMdbSize(); });
        EXPECT_EQ(out, "file size - " + std::to_string(c.size) + "\n");
        EXPECT_EQ(received("rsc").size(), c.rebuild ? 1u : 0u) << c.size;
    }
    removeFile(kStore);
    clearReceived("rsc");
    EXPECT_EQ(captureStdout([] { checkMdbSize(); }), "file size - 0\n");
    EXPECT_EQ(received("rsc").size(), 1u);

    // An empty store (52 bytes) is rebuilt on Populate; one with a node is not.
    run("dpmgr create -bnum 1 /tmp/mdb");
    clearReceived("rsc");
    MeshSlaveList list;
    captureStdout([&] { EXPECT_EQ(list.Populate(), 1); });
    ASSERT_EQ(received("rsc").size(), 1u);
    EXPECT_EQ(le32(received("rsc")[0], 0), 50);
    putField(5, "ParticipantPosID", "5");
    clearReceived("rsc");
    captureStdout([&] { EXPECT_EQ(list.Populate(), 1); });
    EXPECT_TRUE(received("rsc").empty());
    EXPECT_EQ(list.slaves.size(), 1u);
}

TEST_F(MeshTest, StoreThatCannotBeOpenedIsLoggedAndKept) {
    putField(1, "ParticipantPosID", "1");
    storefault::expectLockedOut(
        kStore,
        [&] {
            MeshSlaveList list;
            int r = list.Populate();
            Mesh m(1);
            return r == 0 && list.slaves.empty() && m.getSlavePosID() == 0;
        },
        "dpopen: ");
    EXPECT_TRUE(fileExists(kStore));
    std::string text = readFile("/tmp/meshdebug.log");
    EXPECT_EQ(count(text, "mdb open failure in hasever\n"), 4);
}

}  // namespace

// Every field of a node, each with a value of its own, comes back from its
// getter: from the record given, and after the RSC server stored it.
TEST_F(MeshTest, EveryFieldReadsBackThroughItsGetter) {
    struct TextField {
        char* (Mesh::*get)();
        size_t offset, size;
    };
#define T(getter, member) \
    { &Mesh::getter, offsetof(meshServerDatabase, member), sizeof meshServerDatabase{}.member }
    const TextField texts[] = {
        T(getType, Type),
        T(getBRMACAddress, BRMACAddress),
        T(getWIFIMACAddress, WIFIMACAddress),
        T(getWIFI5GMACAddress, WIFI5GMACAddress),
        T(getWANMACAddress, WANMACAddress),
        T(getLANMACAddress, LANMACAddress),
        T(getREMACAddress, REMACAddress),
        T(getRE5GMACAddress, REMAC5GAddress),
        T(getAssociatedMACAddress, AssociatedMACAddress),
        T(getName, ParticipantName),
        T(getLocation, ParticipantLocation),
        T(getMasterName, ParticipantMasterName),
        T(getModel, Model),
        T(getIpAddress, IpAddress),
        T(getMasterIpAddress, MasterIpAddress),
        T(getMeshMode, MeshMode),
        T(getSlaveUniqueId, ParticipantUniqueId),
        T(getSlaveUniqueName, ParticipantUniqueName),
        T(getMasterSSID, MasterSSID),
        T(getMasterPassword, MasterPassword),
        T(getMasterAuthMode, MasterAuthMode),
        T(getMasterEncrypType, MasterEncrypType),
    };
#undef T
    struct IntField {
        int (Mesh::*get)();
        int32_t meshServerDatabase::*member;
    };
    const IntField ints[] = {
        {&Mesh::getAssociatedMeshID, &meshServerDatabase::AssociatedMeshID},
        {&Mesh::getIs5GMesh, &meshServerDatabase::Is5GMesh},
        {&Mesh::getHopCount, &meshServerDatabase::HopCount},
        {&Mesh::getSlaveSideMasterRSSI, &meshServerDatabase::ParticipantSideMasterRSSI},
        {&Mesh::getMasterSideSlaveRSSI, &meshServerDatabase::MasterSideParticipantRSSI},
        {&Mesh::getMasterChannel, &meshServerDatabase::MasterChannel},
        {&Mesh::getSlaveClientCount, &meshServerDatabase::ParticipantClientCount},
        {&Mesh::getHADeviceCount, &meshServerDatabase::HADeviceCount},
        {&Mesh::getZigbeePanID, &meshServerDatabase::ZigbeePanID},
    };
    meshServerDatabase r{};
    int n = 0;
    for (const TextField& f : texts) {
        const std::string v = "f" + std::to_string(++n) + "-" + std::string(f.size, 'x');
        memcpy(reinterpret_cast<char*>(&r) + f.offset, v.data(), f.size - 1);
    }
    for (const IntField& f : ints) r.*f.member = 100 + ++n;
    r.IsParticipant = 1;
    r.IsActive = 0;
    r.IsHACapable = 1;
    r.LastKnownInternetStatus = 1;

    Mesh given(r);
    captureStdout([&] { given.addSlave(&r, 7); });
    Mesh stored;
    captureStdout([&] { stored = Mesh(7); });
    for (Mesh* m : {&given, &stored}) {
        for (const TextField& f : texts)
            EXPECT_EQ(std::string((m->*f.get)()), std::string(reinterpret_cast<char*>(&r) + f.offset, f.size - 1))
                << f.offset;
        for (const IntField& f : ints) EXPECT_EQ((m->*f.get)(), r.*f.member);
        EXPECT_TRUE(m->getIsSlave());
        EXPECT_FALSE(m->getIsActive());
        EXPECT_TRUE(m->getIsHACapable());
        EXPECT_TRUE(m->getInternetStatus());
    }
    EXPECT_EQ(stored.getSlavePosID(), 7);
    // Listing the nodes is left to MeshSlaveList.
    EXPECT_EQ(captureStdout([&] { stored.getAllSlavesList(); }), "in getAllSlavesList\n");
}

// A store the process may read but not write is read all the same.
TEST_F(MeshTest, ReadOnlyStoreIsReadAfterOneLoggedFailure) {
    putField(2, "ParticipantPosID", "2");
    putField(2, "ParticipantName", "Office Unit");
    chmod(kStore, 0444);
    EXPECT_EXIT(
        {
            dropFileAccessOverride();
            Mesh m;
            captureStdout([&] { m = Mesh(2); });
            exit(m.getSlavePosID() == 2 && strcmp(m.getName(), "Office Unit") == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "^dpopen: [^\n]+\n$");
    EXPECT_EQ(count(readFile("/tmp/meshdebug.log"), "mdb open failure in hasever\n"), 1);
}
