// Scenes: made and changed through the library, stored by the RSC server
// stand-in, read back by fresh objects and by qdbm's dpmgr; the bytes of
// every request; activation at the device servers and the hub; damaged
// stores.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sys/stat.h>
#include <ctime>
#include <string>
#include <vector>

#include "automation_util.h"
#include "hacore/HADevices.h"
#include "hacore/Scene.h"

#include "store_faults.h"

using namespace testkit;
using namespace autotest;

namespace {

const char kStore[] = "/tmp/sdb";

class Scenes : public ::testing::Test {
protected:
    void SetUp() override {
        removeFile(kStore);
        setRscMode("");
        clearReceived("rsc");
    }
};

SceneEntry entry(int valid, int device, int index, const char* value) {
    SceneEntry e = aimedAt<SceneEntry>(device, index, value);
    e.valid = valid;
    return e;
}

void putScene(int id, const char* name, const std::vector<SceneEntry>& entries, const char* state = "false") {
    std::string n = std::to_string(id);
    putText(kStore, n, n);
    putText(kStore, n + ".NM", name);
    putText(kStore, n + ".EC", std::to_string(entries.size()));
    putText(kStore, n + ".AT", "1796000000");
    putText(kStore, n + ".ST", state);
    for (size_t k = 0; k < entries.size(); ++k)
        put(kStore, n + "." + std::to_string(k + 1), &entries[k], sizeof(SceneEntry));
}

TEST_F(Scenes, MadeThroughTheLibraryAndReadBackFresh) {
    Scene s((char*)"Evening");
    EXPECT_EQ(s.getID(), 1);  // empty store
    expectRequests({{3, "Evening", {0, 1, 0, 0, 1, 0}}});

    s.addOrUpdateSceneEntry(1, 1, (char*)"false");
    s.addOrUpdateSceneEntry(1, 1, (char*)"true");  // same device and index: one entry
    s.addOrUpdateSceneEntry(2, 1, (char*)"40");
    s.setSceneVoiceCompatible(true);
    s.setName((char*)"Evening lights");
    expectRequests({{5, "false", {1, 1, 0, 0, 1, 1}},
                    {5, "true", {1, 1, 0, 0, 1, 1}},
                    {5, "40", {2, 1, 0, 0, 1, 2}},
                    {11, "", {0, 1, 0, 0, 0, 1}},
                    {4, "Evening lights", {0, 1}}});

    Scene fresh(1);
    EXPECT_STREQ(fresh.getSceneName(), "Evening lights");
    EXPECT_TRUE(fresh.getVoiceCompatible());
    EXPECT_FALSE(fresh.getState());
    std::list<SceneEntry> got = fresh.getSceneEntries();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got.front().deviceID, 1);
    EXPECT_EQ(got.front().index, 1);
    EXPECT_EQ(got.front().valid, 1);
    EXPECT_STREQ(got.front().value, "true");
    EXPECT_STREQ(got.back().value, "40");

    // qdbm's own tool sees the records as laid out.
    EXPECT_EQ(dpmgrGet(kStore, "1.NM"), "Evening lights");
    EXPECT_EQ(dpmgrGet(kStore, "1.EC"), "2");
    std::string rec = dpmgrGet(kStore, "1.2");
    ASSERT_EQ(rec.size(), 40u);
    EXPECT_EQ(le32(rec, 4), 2);
    EXPECT_EQ(le32(rec, 8), 1);
    EXPECT_EQ(field(rec, 12, 25), "40");

    ScenesList list;
    list.Populate();
    ASSERT_EQ(list.scenes.size(), 1u);
    EXPECT_EQ(list.scenes.front().getID(), 1);
}

TEST_F(Scenes, NewIdIsOneAboveTheLargest) {
    putScene(1, "a", {});
    putScene(2, "b", {});
    putScene(7, "c", {});
    putText(kStore, "Version", "2");
    Scene s((char*)"next");
    EXPECT_EQ(s.getID(), 8);
}

TEST_F(Scenes, LongNameCutInTheObjectButSentWhole) {
    std::string name(40, 'n');
    Scene s(&name[0]);
    EXPECT_EQ(std::string(s.getSceneName()), name.substr(0, 32));
    std::vector<Request> r = requests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].text, name);
    Scene none(nullptr);
    EXPECT_STREQ(none.getSceneName(), "");
}

TEST_F(Scenes, EntryValidAndStateChangesOnlyWhenTheyChange) {
    putScene(3, "Night", {entry(1, 1, 1, "false"), entry(1, 2, 1, "0"), entry(1, 5, 2, "18")}, "true");
    Scene s(3);
    EXPECT_TRUE(s.getState());
    s.setSceneEntryValid(5, 2, true);  // already valid
    s.setSceneState(true);             // already active
    s.setSceneVoiceCompatible(false);  // already false
    EXPECT_TRUE(requests().empty());

    s.setSceneEntryValid(5, 2, false);
    time_t before = time(nullptr);
    s.setSceneState(false);
    time_t after = time(nullptr);
    std::vector<Request> r = requests();
    ASSERT_EQ(r.size(), 2u);
    expectRequest(r[0], 10, "false, 3", {0, 3, 0, 0, 0, 8});
    EXPECT_EQ(r[1].command, 9);
    EXPECT_EQ(r[1].ints[2], 3);
    EXPECT_EQ(r[1].ints[6], 0);
    long long at = atoll(r[1].text.c_str());
    EXPECT_GE(at, (long long)before);
    EXPECT_LE(at, (long long)after);
    EXPECT_EQ(s.getATTime(), (uint64_t)at);

    s.setSceneEntryState(1, 1, true);  // local only
    EXPECT_TRUE(requests().empty());

    Scene fresh(3);
    EXPECT_FALSE(fresh.getState());
    EXPECT_EQ(fresh.getATTime(), (uint64_t)at);
    std::list<SceneEntry> e = fresh.getSceneEntries();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e.back().valid, 0);
    EXPECT_EQ(e.front().state, 0);

    s.setSceneState(true);
    expectRequests({{9, "", {0, 3, 0, 0, 0, 1}}});
}

TEST_F(Scenes, RemovingAndDeleting) {
    putScene(4, "Party", {entry(1, 1, 1, "true"), entry(1, 2, 1, "99")});
    putScene(5, "Movie", {entry(1, 2, 1, "10")});
    Scene s(4);
    s.removeAllSceneEntrys();
    EXPECT_TRUE(s.getSceneEntries().empty());
    Scene(5).deleteScene();
    expectRequests({{7, "", {0, 4, 0, 2}}, {8, "", {0, 5}}});
    EXPECT_TRUE(Scene(4).getSceneEntries().empty());
    EXPECT_EQ(dpmgrGet(kStore, "4.1"), "");
    ScenesList list;
    list.Populate();
    ASSERT_EQ(list.scenes.size(), 1u);
    EXPECT_EQ(list.scenes.front().getID(), 4);
    list.deleteAllScenes();
    EXPECT_TRUE(list.scenes.empty());
    expectRequests({{6, "", {}}});
    list.Populate();
    EXPECT_TRUE(list.scenes.empty());
}

TEST_F(Scenes, WithoutAnIdEveryChangeSaysSoAndSendsNothing) {
    struct Case {
        const char* message;
        void (*op)(Scene&);
    };
    const Case cases[] = {
        {"\nERROR:Could not update Scene Name,Scene not found\n", [](Scene& s) { s.setName((char*)"x"); }},
        {"\nERROR:Could not add or update SceneEntry,Scene not found\n",
         [](Scene& s) { s.addOrUpdateSceneEntry(1, 1, (char*)"true"); }},
        {"\nERROR:Could not add or update SceneEntry,Scene not found\n",
         [](Scene& s) { s.setSceneEntryState(1, 1, true); }},
        {"\nERROR:Could not add or update SceneEntry,Scene not found\n",
         [](Scene& s) { s.setSceneEntryValid(1, 1, false); }},
        {"\nERROR:Could not add or update SceneEntry,Scene not found\n", [](Scene& s) { s.setSceneState(true); }},
        {"\nERROR:Could not add or update SceneEntry,Scene not found\n",
         [](Scene& s) { s.setSceneVoiceCompatible(true); }},
        {"\nERROR:Could not remove SceneEntry,Scene not found\n", [](Scene& s) { s.removeAllSceneEntrys(); }},
        {"\nERROR:Could not delete Scene,Scene not found\n", [](Scene& s) { s.deleteScene(); }},
        {"\nERROR:Could not activate Scene,Scene not found\n", [](Scene& s) { s.activate(); }},
    };
    for (const Case& c : cases) {
        Scene s;
        EXPECT_EQ(captureStdout([&] { c.op(s); }), c.message);
    }
    EXPECT_TRUE(requests().empty());
    HADevices ha;
    EXPECT_EQ(&ha.getSceneByID(1), &ha.getSceneByID(2));
    EXPECT_EQ(ha.getSceneByID(3).getID(), 0);
}

TEST_F(Scenes, MissingRecordsThrowAsDescribed) {
    putText(kStore, "42", "42");
    try {
        Scene s(42);
        FAIL() << "no exception";
    } catch (int e) {
        EXPECT_EQ(e, 0);
    }
    Scene s;
    putText(kStore, "43", "43");
    putText(kStore, "43.NM", "No count");
    try {
        Scene t(43);
        FAIL() << "no exception";
    } catch (int e) {
        EXPECT_EQ(e, -33);
    }
    ScenesList list;
    EXPECT_THROW(list.Populate(), int);
}

TEST_F(Scenes, DamagedEntriesAreCutOrStopTheReading) {
    SceneEntry full = entry(1, 2, 1, "");
    memset(full.value, 'v', sizeof full.value);  // no terminator
    full.state = 1;                              // never taken from the store
    putScene(6, "Damaged", {entry(1, 1, 1, "true"), full});
    putText(kStore, "6.EC", "3");  // one more than stored
    put(kStore, "6.2", &full, sizeof full);
    std::string out = captureStdout([] {
        Scene s(6);
        std::list<SceneEntry> e = s.getSceneEntries();
        ASSERT_EQ(e.size(), 2u);
        EXPECT_EQ(std::string(e.back().value), std::string(24, 'v'));
        EXPECT_EQ(e.back().state, 0);
    });
    EXPECT_NE(out.find("Scene::Refresh : dpget returned null\n"), std::string::npos);
    // A short record leaves the rest of the entry zero.
    put(kStore, "6.1", "\x01\x01\x00\x00\x09\x00\x00\x00", 8);
    Scene s(6);
    EXPECT_EQ(s.getSceneEntries().front().deviceID, 9);
    EXPECT_EQ(s.getSceneEntries().front().index, 0);
    EXPECT_STREQ(s.getSceneEntries().front().value, "");
}

TEST_F(Scenes, DamagedStoresAreRepairedOrRemoved) {
    // Not a store at all: the repair leaves an empty one.
    writeFile(kStore, std::string(4096, '\x5a'));
    std::string err = captureStderr([] {
        ScenesList list;
        list.Populate();
        EXPECT_TRUE(list.scenes.empty());
    });
    EXPECT_EQ(err.find("dpopen: "), 0u) << err;
    Scene made((char*)"after repair");
    EXPECT_EQ(made.getID(), 1);

    // One that cannot be opened even after the repair is removed.
    putScene(1, "Locked", {});
    storefault::expectLockedOut(
        kStore,
        [&] {
            ScenesList list;
            list.Populate();
            return list.scenes.empty() && !fileExists(kStore);
        },
        storefault::kOpenAndRepairFailed);
    putScene(1, "Locked", {});
    clearReceived("rsc");
    storefault::expectLockedOut(kStore, [&] {
        Scene s((char*)"never sent");
        return s.getID() == 0;
    });
    EXPECT_TRUE(requests().empty());
}

TEST_F(Scenes, ActivationReachesTheDevicesAndTheHub) {
    HADevices ha;
    ASSERT_EQ(ha.initialize(), 1);
    run("sim-home >/dev/null 2>&1");
    writeFile("/halvix/email", "owner@example.com\nsecond line\n");
    putScene(1, "Evening",
             {entry(1, 1, 1, "true"), entry(1, 2, 1, "40"), entry(0, 8, 1, "false"), entry(0, 0, 1, "away"),
              entry(1, 0, 1, "party")});
    Scene s(1);
    for (const char* srv : {"zwave", "zigbee", "hue"}) clearReceived(srv);
    s.activate();
    std::vector<std::string> zw = waitReceived("zwave", 2);
    ASSERT_EQ(zw.size(), 2u);
    EXPECT_EQ((uint8_t)zw[0][4], 5);  // node of device 1
    EXPECT_EQ(field(zw[0], 92, 100), "true");
    EXPECT_EQ((uint8_t)zw[1][4], 6);  // node of device 2
    EXPECT_TRUE(received("zigbee").empty()) << "an invalid entry was applied";
    std::vector<Request> r = requests();
    ASSERT_EQ(r.size(), 1u) << "one hub-mode change; the unknown mode does nothing";
    EXPECT_EQ(r[0].command, 53);
    EXPECT_EQ(r[0].text, "3 owner@example.com;Scene:Evening");
    // Activation changes nothing of the scene itself.
    EXPECT_FALSE(s.getState());
}

TEST_F(Scenes, ActivationWithoutAnEmailFile) {
    removeFile("/halvix/email");
    putScene(2, "Home", {entry(0, 0, 1, "home")});
    Scene(2).activate();
    std::vector<Request> r = requests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].text, "2 NULL;Scene:Home");
}

TEST_F(Scenes, KeysThatAreNoSceneAreSkipped) {
    putScene(3, "c", {});
    putScene(12, "l", {});
    putScene(5, "e", {});
    for (const char* other : {"", "0", "1234567890", "12a", "-3", "Version"}) putText(kStore, other, "x");
    ScenesList list;
    list.Populate();
    std::vector<int> ids;
    for (Scene& s : list.scenes) ids.push_back(s.getID());
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<int>{3, 5, 12}));
    Scene made((char*)"next");
    EXPECT_EQ(made.getID(), 13);
}

TEST_F(Scenes, OptionalRecordsAndLocalChanges) {
    // Without a state record the rest is not read; a "false" voice record.
    putScene(7, "No state", {entry(1, 1, 1, "true")});
    testkit::run("dpmgr out /tmp/sdb 7.ST");
    Scene a(7);
    EXPECT_FALSE(a.getState());
    EXPECT_TRUE(a.getSceneEntries().empty());
    putScene(8, "Voice", {entry(0, 1, 1, "true"), entry(1, 1, 2, "5")});
    putText(kStore, "8.VC", "false");
    Scene s(8);
    EXPECT_FALSE(s.getVoiceCompatible());
    ASSERT_EQ(s.getSceneEntries().size(), 2u);

    s.setName(nullptr);
    s.setName((char*)"Voice");         // unchanged
    s.setSceneEntryState(9, 9, true);  // no such entry
    s.setSceneEntryState(1, 2, false);
    s.setSceneEntryValid(9, 9, true);  // no such entry
    s.setSceneEntryValid(1, 9, true);  // same device, other index
    EXPECT_TRUE(requests().empty());

    s.setSceneEntryValid(1, 1, true);           // stored invalid
    s.addOrUpdateSceneEntry(1, 3, (char*)"7");  // same device, new index
    s.setSceneVoiceCompatible(true);
    s.setSceneVoiceCompatible(false);
    expectRequests({{10, "true, 1", {0, 8, 0, 0, 0, 8}},
                    {5, "7", {1, 8, 0, 0, 3, 3}},
                    {11, "", {0, 8, 0, 0, 0, 1}},
                    {11, "", {0, 8, 0, 0, 0, 0}}});
    EXPECT_EQ(s.getSceneEntries().size(), 3u);
    EXPECT_EQ(Scene(8).getSceneEntries().front().valid, 1);

    Scene none;
    none.Refresh();
    EXPECT_EQ(none.getID(), 0);
}

TEST_F(Scenes, RefreshOfAStoreThatCannotBeOpened) {
    putScene(1, "Locked", {entry(1, 1, 1, "true")});
    Scene s(1);
    ASSERT_EQ(s.getSceneEntries().size(), 1u);
    storefault::expectLockedOut(kStore, [&] {
        s.Refresh();
        return s.getSceneEntries().empty();
    });
}

TEST_F(Scenes, ActivationWithAnEmptyEmailFileAndOtherHubEntries) {
    writeFile("/halvix/email", "");
    // Device 0 with another index is no hub entry; no such device is skipped.
    putScene(2, "Away", {entry(0, 0, 1, "away"), entry(1, 0, 2, "away")});
    Scene(2).activate();
    std::vector<Request> r = requests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].text, "3 ;Scene:Away");
}

}  // namespace
