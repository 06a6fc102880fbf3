// Store access through the device store: repair, deletion, caps, and
// compatibility with qdbm's own command-line tool.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ddb.h"
#include "hacore/Device.h"
#include "store_faults.h"
#include "testkit.h"

using namespace testkit;

namespace {

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { removeFile("/tmp/ddb"); }
};

// Hexadecimal as dpmgr reads it (-vx) ...
std::string hex(const void* data, size_t n) {
    static const char* d = "0123456789abcdef";
    std::string s;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < n; ++i) {
        s += d[p[i] >> 4];
        s += d[p[i] & 15];
    }
    return s;
}

// ... and as it prints it (-ox).
std::string hexOut(const void* data, size_t n) {
    static const char* d = "0123456789ABCDEF";
    std::string s;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < n; ++i) {
        if (i) s += ' ';
        s += d[p[i] >> 4];
        s += d[p[i] & 15];
    }
    return s + "\n";
}

}  // namespace

TEST_F(StoreTest, ReadsRecordsWrittenByDpmgr) {
    DeviceRecord r = makeDevice(7, "Porch light", "Porch", 2, "BinarySwitch", 1);
    ValueRecord v = makeValue(1, "SWITCH BINARY", "true", 1, 0x25, 0, 1);
    ASSERT_EQ(run("dpmgr create /tmp/ddb && echo ok"), "ok\n");
    run("dpmgr put -vx /tmp/ddb 7 " + hex(&r, sizeof r));
    run("dpmgr put -vx /tmp/ddb 7.1 " + hex(&v, sizeof v));
    run("dpmgr put /tmp/ddb 7.MN Fibaro");

    Device d(7);
    EXPECT_STREQ(d.getDeviceName(), "Porch light");
    EXPECT_STREQ(d.getValue(1), "true");
    EXPECT_STREQ(d.getManufacturername(), "Fibaro");
}

TEST_F(StoreTest, WhatTheLibraryWritesReadsBackWithDpmgr) {
    DeviceRecord r = makeDevice(3, "Hall", "Hall", 2, "BinarySwitch", 0);
    putDevice(r);
    Device d(3);  // writes the defaults and the index 0 record

    std::string keys = run("dpmgr list -k /tmp/ddb | sort");
    EXPECT_EQ(keys, "3\n3.0\n3.LT\n3.MI\n3.MN\n3.ST\n3.VS\n");
    // Defaults are zero-padded to their value length.
    EXPECT_EQ(run("dpmgr get -ox /tmp/ddb 3.MI"), hexOut("Unknown\0\0\0\0\0\0\0\0\0\0\0\0\0", 20));
    EXPECT_EQ(run("dpmgr get -ox /tmp/ddb 3.VS"), hexOut("Unknown\0\0\0", 10));
    EXPECT_EQ(run("dpmgr get -ox /tmp/ddb 3.LT"), hexOut("0\0\0\0\0\0\0\0\0\0", 10));
    ValueRecord def = makeValue(0, "SECURITYDEVICE", "0", StrToIndexTypeEnum("SECURITYDEVICE"), 0, 0, 0);
    EXPECT_EQ(run("dpmgr get -ox /tmp/ddb 3.0"), hexOut(&def, sizeof def));
}

TEST_F(StoreTest, RepairableStoreIsReadAfterOneMessage) {
    putDevice(makeDevice(5, "Lamp", "Den", 2, "BinarySwitch", 0));
    // A damaged header (a negative record count), the records intact.
    int fd = ::open("/tmp/ddb", O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, "\xff\xff\xff\xff", 4, 40), 4);
    ::close(fd);

    std::string err = captureStderr([] {
        Device d(5);
        EXPECT_STREQ(d.getDeviceName(), "Lamp");
    });
    EXPECT_EQ(err.find("dpopen: "), 0u) << err;
    EXPECT_EQ(err.find("dpopen: ", 1), std::string::npos) << err;
    EXPECT_EQ(err.find("cannot repair"), std::string::npos) << err;
}

TEST_F(StoreTest, UnrepairableStoreIsDeletedAndRecreated) {
    putDevice(makeDevice(5, "Lamp", "Den", 2, "BinarySwitch", 0));
    // A store that can be neither opened nor read for repair.
    storefault::expectLockedOut(
        "/tmp/ddb",
        [&] {
            DeviceList list;
            list.Populate();
            return list.devices.empty() && !fileExists("/tmp/ddb");
        },
        storefault::kOpenAndRepairFailed);
    EXPECT_FALSE(fileExists("/tmp/ddb"));

    // The next reader starts afresh.
    std::string err = captureStderr([] {
        DeviceList list;
        list.Populate();
    });
    EXPECT_EQ(err, "");
    EXPECT_TRUE(fileExists("/tmp/ddb"));
    EXPECT_EQ(ddbGet("NextDevid").substr(0, 2), std::string("1\0", 2));
}

TEST_F(StoreTest, DeviceFromUnrepairableStoreIsNoDevice) {
    putDevice(makeDevice(4, "Lamp", "Den", 2, "BinarySwitch", 0));
    storefault::expectLockedOut("/tmp/ddb", [&] {
        Device d;
        d.fromDeviceID(4);  // no throw: the store is gone, not the device
        return d.getID() == 0;
    });
}

// The processes of the hub share the store without locks. A writer that
// opened before another one wrote must neither append over that one's
// records nor, when it closes, put back the file size it saw at its open.
TEST_F(StoreTest, WritersThatOverlapKeepEachOthersRecords) {
    putDevice(makeDevice(7, "Porch light", "Porch", 2, "BinarySwitch", 1));
    putDevice(makeDevice(9, "Old plug", "Den", 2, "BinarySwitch", 0));
    DEPOT* server = dpopen("/tmp/ddb", DP_OWRITER | DP_ONOLCK, 1);
    ASSERT_NE(server, nullptr);
    Device d(7);  // the library writes the missing defaults and closes
    ValueRecord v = makeValue(1, "SWITCH BINARY", "true", 1);
    ASSERT_TRUE(depotOut(server, "9", 1));
    ASSERT_TRUE(depotPut(server, "8.1", 3, reinterpret_cast<const char*>(&v), sizeof v, DP_DOVER));
    ASSERT_TRUE(depotClose(server));

    EXPECT_EQ(ddbGet("8.1").size(), sizeof v);
    EXPECT_EQ(ddbGet("7.MI").substr(0, 7), "Unknown");
    EXPECT_EQ(ddbGet("7.1").size(), sizeof(ValueRecord));
    // Main record, five attributes, values 0 and 1, and the server's record;
    // the count in the header is what the file holds.
    EXPECT_EQ(ddbCount(), 9);
    DEPOT* db = dpopen("/tmp/ddb", DP_OREADER | DP_ONOLCK, 1);
    ASSERT_NE(db, nullptr);
    int live = 0;
    dpiterinit(db);
    while (char* k = dpiternext(db, nullptr)) {
        ++live;
        free(k);
    }
    dpclose(db);
    EXPECT_EQ(live, 9);
}

// Several library processes writing defaults while a server writes with
// qdbm's lock, all at the same moment: every record of each is kept, the
// header counts them, and the server never finds the file mid-write.
TEST_F(StoreTest, WritersAtTheSameMomentKeepEveryRecord) {
    enum { kLoaders = 4, kDevicesEach = 12, kServerRecords = 150 };
    for (int id = 1; id <= kLoaders * kDevicesEach; ++id)
        putDevice(makeDevice(id, "Plug", "Den", 2, "BinarySwitch", 0));
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> loaders;
    for (int n = 0; n < kLoaders; ++n) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(start[1]);
            char c;
            if (read(start[0], &c, 1) != 0) _exit(2);  // all begin when the pipe closes
            for (int i = 1; i <= kDevicesEach; ++i) {
                Device d(n * kDevicesEach + i);
                if (d.getID() != n * kDevicesEach + i) _exit(3);  // the device must have been found
            }
            _exit(0);
        }
        loaders.push_back(pid);
    }
    ::close(start[0]);
    ::close(start[1]);
    std::set<std::string> refused;
    for (int i = 0; i < kServerRecords; ++i) {
        const std::string key = "srv." + std::to_string(i);
        DEPOT* db = dpopen("/tmp/ddb", DP_OWRITER, 1);  // the server's way: with the lock
        if (!db) {
            refused.insert(key + ": " + dperrmsg(dpecode));
            continue;
        }
        EXPECT_TRUE(depotPut(db, key.data(), (int)key.size(), "x", 1, DP_DOVER));
        depotClose(db);
    }
    for (pid_t pid : loaders) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EXPECT_TRUE(refused.empty()) << *refused.begin();

    std::set<std::string> expected, found;
    for (int id = 1; id <= kLoaders * kDevicesEach; ++id)
        for (const char* suffix : {"", ".0", ".LT", ".MI", ".MN", ".ST", ".VS"})
            expected.insert(std::to_string(id) + suffix);
    for (int i = 0; i < kServerRecords; ++i) expected.insert("srv." + std::to_string(i));
    DEPOT* db = dpopen("/tmp/ddb", DP_OREADER, 1);
    ASSERT_NE(db, nullptr) << dperrmsg(dpecode);
    dpiterinit(db);
    while (char* k = dpiternext(db, nullptr)) {
        found.insert(k);
        free(k);
    }
    EXPECT_EQ(dprnum(db), (int)found.size());
    dpclose(db);
    std::string lost, extra;
    for (const std::string& k : expected)
        if (!found.count(k)) lost += " " + k;
    for (const std::string& k : found)
        if (!expected.count(k)) extra += " " + k;
    EXPECT_EQ(lost, "");
    EXPECT_EQ(extra, "");
}

namespace {

// What the store holds for a device, as its loads see it.
std::string loaded(int id) {
    try {
        Device d(id);
        std::string s = std::string(d.getDeviceName()) + "|" + d.getModelid() + "|" + d.getVersion();
        for (const ValueRecord& v : d.values()) s += "|" + std::to_string(v.index) + "=" + v.value;
        return s;
    } catch (int) {
        return "missing";
    }
}

std::set<int> listed() {
    DeviceList list;
    list.Populate();
    std::set<int> ids;
    for (Device& d : list.devices) ids.insert(d.getID());
    return ids;
}

// Bytes after the last record, the header's file size raised to take them
// in (as a writer that died half-way through an append leaves them).
void appendTail(const std::string& bytes) {
    int fd = ::open("/tmp/ddb", O_RDWR);
    ASSERT_GE(fd, 0);
    struct stat st;
    ASSERT_EQ(fstat(fd, &st), 0);
    ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), st.st_size), (ssize_t)bytes.size());
    const int32_t size = int32_t(st.st_size + bytes.size());
    ASSERT_EQ(pwrite(fd, &size, sizeof size, 24), (ssize_t)sizeof size);
    ::close(fd);
}

std::string recordHead(int32_t flags, int32_t keySize, int32_t valueSize, int32_t padding) {
    const int32_t h[7] = {flags, 0, keySize, valueSize, padding, 0, 0};
    return std::string(reinterpret_cast<const char*>(h), sizeof h);
}

}  // namespace

// Bytes past the last record that are not a whole record are not read as
// one: the devices and their values are what they were.
TEST_F(StoreTest, TornTailIsNotTakenForRecords) {
    const struct {
        const char* what;
        std::string tail;
    } cases[] = {
        {"shorter than a record's head", std::string(20, '\x01')},
        {"unknown flags", recordHead(4, 1, 1, 0) + "kv"},
        {"sizes past the end", recordHead(0, 1000, 10, 0) + "k"},
        {"negative size", recordHead(0, -1, 1, 0) + "kv"},
    };
    for (const auto& c : cases) {
        removeFile("/tmp/ddb");
        for (int id : {7, 8}) {
            putDevice(makeDevice(id, "Plug", "Den", 2, "BinarySwitch", 1));
            putValue(id, makeValue(1, "SWITCH BINARY", id == 7 ? "true" : "false", 1));
            completeDevice(id);
        }
        ddbPutText("NextDevid", "9");
        const std::string seven = loaded(7), eight = loaded(8);
        const int count = ddbCount();
        appendTail(c.tail);
        EXPECT_EQ(listed(), (std::set<int>{7, 8})) << c.what;
        EXPECT_EQ(loaded(7), seven) << c.what;
        EXPECT_EQ(loaded(8), eight) << c.what;
        EXPECT_EQ(ddbCount(), count) << c.what;
    }
}

// On a kernel without open file description locks, writes take the
// process's lock on the file instead; the store reads and writes the same.
TEST_F(StoreTest, WithoutOpenFileDescriptionLocksTheProcessLockServes) {
    Fault noOfd("fcntl-ofd");
    for (int id : {3, 4}) {
        putDevice(makeDevice(id, "Plug", "Den", 2, "BinarySwitch", 1));
        putValue(id, makeValue(1, "SWITCH BINARY", "true", 1));
    }
    Device d(3);  // writes its defaults
    EXPECT_STREQ(d.getValue(1), "true");
    bool found = false;
    ddbGet("3.MI", &found);
    EXPECT_TRUE(found);
    EXPECT_EQ(listed(), (std::set<int>{3, 4}));
    ddbGet("4.0", &found);
    EXPECT_TRUE(found);
    // qdbm's own tool, which locks as qdbm does, lists what the header counts.
    EXPECT_EQ(run("dpmgr list -k /tmp/ddb | wc -l"), std::to_string(ddbCount()) + "\n");
}

// A link of the store's search tree that leads out of the file: a device
// load still reads the records laid down after the main one, and a lookup
// that would follow the link finds what qdbm's own reader finds.
TEST_F(StoreTest, TreeLinkOutOfTheFileIsNotFollowed) {
    putDevice(makeDevice(7, "Plug", "Den", 2, "BinarySwitch", 1));
    putValue(7, makeValue(1, "SWITCH BINARY", "true", 1));
    completeDevice(7);
    ddbPutText("7.LT", "1712345678");
    int fd = ::open("/tmp/ddb", O_RDWR);
    ASSERT_GE(fd, 0);
    struct stat st;
    ASSERT_EQ(fstat(fd, &st), 0);
    int32_t root = 0;
    ASSERT_EQ(pread(fd, &root, sizeof root, 48), (ssize_t)sizeof root);  // the one bucket
    const int32_t away[2] = {int32_t(st.st_size + 4096), int32_t(st.st_size + 4096)};
    ASSERT_EQ(pwrite(fd, away, sizeof away, root + 20), (ssize_t)sizeof away);  // left and right child
    ::close(fd);

    bool found = true;
    const std::string lt = ddbGet("7.LT", &found);
    captureStderr([&] {
        Device d(7);
        EXPECT_STREQ(d.getDeviceName(), "Plug");
        EXPECT_STREQ(d.getValue(1), "true");
        EXPECT_EQ(d.getLastActiveTime(), found ? atoll(lt.c_str()) : 0);
    });
}
