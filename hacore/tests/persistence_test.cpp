// Flash persistence: copies land on /data, the system log records each mount.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "hacore/HAPersistence.h"
#include "testkit.h"

using namespace testkit;

namespace {
class PersistenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        clearLog("syslog");
        clearLog("mounts");
        run("rm -rf /data/apps /tmp/store /tmp/out");
    }
};
}  // namespace

TEST_F(PersistenceTest, ConstructorMakesTheDirectory) {
    HAPersistence p((char*)"y", (char*)"x");
    EXPECT_TRUE(fileExists("/data/apps/x-y"));
    EXPECT_EQ(logLines("syslog"), std::vector<std::string>{"success mount HAPersistence"});
    EXPECT_EQ(logLines("mounts"), (std::vector<std::string>{"mount /dev/mtdblock5 /data jffs2 1040", "umount /data"}));
}

TEST_F(PersistenceTest, PersistCopyAndDepersist) {
    HAPersistence p((char*)"y", (char*)"x");
    writeFile("/tmp/store", "records");
    clearLog("syslog");
    clearLog("mounts");
    EXPECT_EQ(p.persist((char*)"/tmp/store", (char*)"n"), 0);
    EXPECT_EQ(readFile("/data/apps/x-y/n"), "records");
    EXPECT_EQ(logLines("mounts"), (std::vector<std::string>{"mount /dev/mtdblock5 /data jffs2 1040", "umount /data"}));

    EXPECT_EQ(p.copyFile((char*)"n", (char*)"/tmp/out"), 0);
    EXPECT_EQ(readFile("/tmp/out"), "records");

    writeFile("/tmp/s1", "1");
    writeFile("/tmp/s2", "2");
    EXPECT_EQ(p.persistmulti((char*)"/tmp/s1 /tmp/s2"), 0);
    EXPECT_EQ(readFile("/data/apps/x-y/s2"), "2");

    EXPECT_EQ(p.depersist((char*)"n"), 0);
    EXPECT_FALSE(fileExists("/data/apps/x-y/n"));
    EXPECT_EQ(logLines("syslog"),
              (std::vector<std::string>{"success mount HAPersistence::persist", "success mount HAPersistence::copyFile",
                                        "success mount HAPersistence::persistmulti",
                                        "success mount HAPersistence::depersist"}));
}

TEST_F(PersistenceTest, FailedMountLogsAndCopiesNothing) {
    testkit::Fault faultMount("mount");
    HAPersistence p((char*)"y", (char*)"x");
    EXPECT_FALSE(fileExists("/data/apps"));
    writeFile("/tmp/store", "records");
    p.persist((char*)"/tmp/store", (char*)"n");
    p.persistmulti((char*)"/tmp/store");
    p.depersist((char*)"n");
    p.copyFile((char*)"n", (char*)"/tmp/out");
    EXPECT_FALSE(fileExists("/data/apps/x-y/n"));
    EXPECT_FALSE(fileExists("/tmp/out"));
    EXPECT_EQ(
        logLines("syslog"),
        (std::vector<std::string>{"failed mount HAPersistence", "failed mount HAPersistence::persist",
                                  "failed mount HAPersistence::persistmulti", "failed mount HAPersistence::depersist",
                                  "failed mount HAPersistence::copyFile"}));
}

TEST_F(PersistenceTest, UnsafeOrOverlongTextNeverReachesTheShell) {
    HAPersistence p((char*)"y", (char*)"x");
    clearLog("syslog");
    std::string err = captureStderr([&] {
        EXPECT_EQ(p.persist((char*)"/tmp/a;touch /tmp/pwned", (char*)"n"), -1);
        EXPECT_EQ(p.persistmulti((char*)"$(touch /tmp/pwned)"), -1);
        EXPECT_EQ(p.depersist((char*)"n`touch /tmp/pwned`"), -1);
        EXPECT_EQ(p.copyFile((char*)"n", (char*)"/tmp/o|touch /tmp/pwned"), -1);
        // A cut command could copy to or delete another file: refused whole.
        std::string longName(190, 'l');
        EXPECT_EQ(p.depersist((char*)longName.c_str()), -1);
    });
    EXPECT_FALSE(fileExists("/tmp/pwned"));
    EXPECT_TRUE(logLines("syslog").empty());
    EXPECT_NE(err.find("refusing"), std::string::npos);
    EXPECT_NE(err.find("too long"), std::string::npos);

    HAPersistence bad((char*)"y;touch /tmp/pwned", (char*)"x");
    writeFile("/tmp/store", "r");
    captureStderr([&] { bad.persist((char*)"/tmp/store", (char*)"n"); });
    EXPECT_FALSE(fileExists("/tmp/pwned"));
}

namespace {
// Names in a directory other than . and ..
std::string listDir(const std::string& dir) { return run("ls -A " + dir + " | tr '\\n' ' '"); }
}  // namespace

// A copy cut short by a full partition or by power lost midway must leave the
// previous copy whole where it was: that is what the next restore reads.
TEST_F(PersistenceTest, CopiesCutShortLeaveThePreviousCopyWhole) {
    HAPersistence p((char*)"y", (char*)"x");
    const std::string oldCopy(3000, 'o'), newCopy(9000, 'n');
    writeFile("/tmp/store", oldCopy);
    writeFile("/tmp/s1", oldCopy);
    ASSERT_EQ(p.persist((char*)"/tmp/store", (char*)"n"), 0);
    ASSERT_EQ(p.persistmulti((char*)"/tmp/s1"), 0);
    EXPECT_EQ(listDir("/data/apps/x-y"), "n s1 ");
    writeFile("/tmp/store", newCopy);
    writeFile("/tmp/s1", newCopy);
    clearLog("syslog");

    struct Case {
        const char* fault;
        const char* bytes;
        const char* log;
    } cases[] = {{"flash-full", "4096", "partition full"}, {"flash-cut", "5000", "copy killed after 5000 bytes"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        clearLog("flash");
        writeFile(std::string("/sim/state/faults/") + c.fault, c.bytes);
        EXPECT_NE(p.persist((char*)"/tmp/store", (char*)"n"), 0);
        EXPECT_NE(p.persistmulti((char*)"/tmp/s1"), 0);
        setFault(c.fault, false);
        EXPECT_EQ(logLines("flash"), (std::vector<std::string>{c.log, c.log}));
        EXPECT_EQ(readFile("/data/apps/x-y/n"), oldCopy);
        EXPECT_EQ(readFile("/data/apps/x-y/s1"), oldCopy);
        // what the next start restores
        EXPECT_EQ(p.copyFile((char*)"n", (char*)"/tmp/out"), 0);
        EXPECT_EQ(readFile("/tmp/out"), oldCopy);
    }
    // No temporary copy is left behind (the shell survives its cp here).
    EXPECT_EQ(listDir("/data/apps/x-y"), "n s1 ");
    EXPECT_EQ(logLines("syslog"),
              (std::vector<std::string>{
                  "success mount HAPersistence::persist", "success mount HAPersistence::persistmulti",
                  "success mount HAPersistence::copyFile", "success mount HAPersistence::persist",
                  "success mount HAPersistence::persistmulti", "success mount HAPersistence::copyFile"}));

    // The next copy replaces the old one.
    EXPECT_EQ(p.persist((char*)"/tmp/store", (char*)"n"), 0);
    EXPECT_EQ(p.persistmulti((char*)"/tmp/s1"), 0);
    EXPECT_EQ(readFile("/data/apps/x-y/n"), newCopy);
    EXPECT_EQ(readFile("/data/apps/x-y/s1"), newCopy);
    EXPECT_EQ(listDir("/data/apps/x-y"), "n s1 ");
}

// Every text of every operation is checked: a missing, unsafe or overlong
// one is refused before the flash is mounted, the object's own directory
// included.
TEST_F(PersistenceTest, EveryOperationRefusesEachBadText) {
    HAPersistence good((char*)"y", (char*)"x");
    HAPersistence unsafeDir((char*)"y z", (char*)"x");  // made from the caller's texts
    EXPECT_FALSE(fileExists("/data/apps/x-y z"));
    const std::string longName(190, 'l'), longList(495, 'l');
    char ok[] = "/tmp/store", okName[] = "n";
    struct Case {
        const char* what;
        std::function<int(HAPersistence&, char*)> op;
    };
    const Case ops[] = {
        {"persist source", [&](HAPersistence& p, char* t) { return p.persist(t, okName); }},
        {"persist name", [&](HAPersistence& p, char* t) { return p.persist(ok, t); }},
        {"persistmulti", [&](HAPersistence& p, char* t) { return p.persistmulti(t); }},
        {"depersist", [&](HAPersistence& p, char* t) { return p.depersist(t); }},
        {"copyFile name", [&](HAPersistence& p, char* t) { return p.copyFile(t, ok); }},
        {"copyFile target", [&](HAPersistence& p, char* t) { return p.copyFile(okName, t); }},
    };
    clearLog("mounts");
    for (const Case& c : ops) {
        std::string err = captureStderr([&] {
            EXPECT_EQ(c.op(good, nullptr), -1) << c.what;
            EXPECT_EQ(c.op(good, (char*)"a\"b"), -1) << c.what;
            EXPECT_EQ(c.op(good, (char*)(std::string(c.what) == "persistmulti" ? longList : longName).c_str()), -1)
                << c.what;
            EXPECT_EQ(c.op(unsafeDir, okName), -1) << c.what;
        });
        EXPECT_NE(err.find("refusing unsafe path"), std::string::npos) << c.what;
        EXPECT_NE(err.find("command too long"), std::string::npos) << c.what;
    }
    EXPECT_TRUE(logLines("mounts").empty());
}

TEST_F(PersistenceTest, MissingNamesMakeAnEmptyPartAndAnExistingDirectoryIsKept) {
    HAPersistence first(nullptr, nullptr);
    EXPECT_TRUE(fileExists("/data/apps/-"));
    writeFile("/data/apps/-/kept", "k");
    clearLog("syslog");
    HAPersistence again(nullptr, nullptr);
    EXPECT_EQ(readFile("/data/apps/-/kept"), "k");
    EXPECT_EQ(logLines("syslog"), std::vector<std::string>{"success mount HAPersistence"});
}
