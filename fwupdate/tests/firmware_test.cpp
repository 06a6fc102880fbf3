// The update path against the virtual router's firmware host (real TLS with
// the run's test CA), its flash partition and the recording router tools.
#include "fwupdate/Firmware.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "https.h"
#include "testkit.h"

using namespace testkit;

namespace {

const char kVersionFile[] = "/etc_ro/lighttpd/www/version";
const char kWork[] = "/tmp/fwwork";

// A firmware image of some size with varied bytes.
std::string image(size_t size, unsigned seed) {
    std::string s(size, 0);
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        s[i] = static_cast<char>(seed >> 16);
    }
    return s;
}

// The line md5sum prints for `data` saved under `name`, computed without a
// shell.
std::string md5Line(const std::string& name, const std::string& data) {
    writeFile(std::string(kWork) + "/.md5src", data);
    std::string out = runArgv({"md5sum", ".md5src"});
    removeFile(std::string(kWork) + "/.md5src");
    return out.substr(0, 32) + "  " + name;
}

// Records its arguments, each ended by a NUL, to /sim/state/log/<tool>.args.
void installRecorder(const std::string& tool) {
    mkdir("/tmp/testbin", 0755);
    std::string path = "/tmp/testbin/" + tool;
    writeFile(path, "#!/bin/sh\nprintf '%s\\0' \"$@\" >> /sim/state/log/" + tool + ".args\n");
    chmod(path.c_str(), 0755);
}

std::vector<std::string> recordedArgs(const std::string& tool) {
    std::string all = readFile("/sim/state/log/" + tool + ".args");
    std::vector<std::string> args;
    size_t start = 0;
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i] == 0) {
            args.push_back(all.substr(start, i - start));
            start = i + 1;
        }
    return args;
}

class FirmwareTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string path = getenv("PATH");
        if (path.rfind("/tmp/testbin:", 0) != 0) setenv("PATH", ("/tmp/testbin:" + path).c_str(), 1);
        installRecorder("nvram_set");
    }
    void SetUp() override {
        run(std::string("rm -rf ") + kWork);
        mkdir(kWork, 0755);
        ASSERT_EQ(0, chdir(kWork));
        writeFile(kVersionFile, "VK7-R024d\n");
        setCertMode("good");
        clearLog("https");
        Firmware::downloading = 0;
    }
    void TearDown() override { ASSERT_EQ(0, chdir("/")); }

    char* c(std::string& s) { return &s[0]; }
};

size_t countingWrites;
size_t countingWrite(const void* buf, size_t size, size_t count, FILE* f) {
    ++countingWrites;
    return fwrite(buf, size, count, f);
}

std::atomic<int> progressCalls;
std::atomic<bool> progressSawHandle;
int progress(void* user, int64_t total, int64_t now, int64_t, int64_t) {
    ++progressCalls;
    if (user) progressSawHandle = true;
    return 0;
}

// checkmd5 from the base of the version read: the checksum file (without a
// progress function) or the image (with one).
int fetchSum(Firmware& fw, std::string name) {
    std::string none;
    return fw.checkmd5(&none[0], &name[0], 0, nullptr, fwrite);
}
int fetchImage(Firmware& fw, std::string name) {
    std::string none;
    return fw.checkmd5(&none[0], &name[0], 0, progress, fwrite);
}

// Lays the checksum file fw.md5 and the image fw.bin down on the release
// base, fetches both as the running version does and gives the image's result.
int checkLaidDown(const std::string& md5, const std::string& img) {
    putFirmwareFile("VK7_64MB/fw.md5", md5);
    putFirmwareFile("VK7_64MB/fw.bin", img);
    Firmware fw;
    char v[100] = {0};
    fw.readVersion(v);
    EXPECT_EQ(0, fetchSum(fw, "fw.md5"));
    return fetchImage(fw, "fw.bin");
}

TEST_F(FirmwareTest, ReadVersionTakesTheFirstLine) {
    Firmware fw;
    char out[100] = {0}, old[100] = {0};
    writeFile(kVersionFile, "VK7-R024d\nsecond\n");
    EXPECT_TRUE(fw.readVersion(out));
    EXPECT_STREQ("VK7-R024d", out);
    fw.getOldFirmware(old);
    EXPECT_STREQ("VK7-R024d", old);
}

TEST_F(FirmwareTest, ReadVersionWithoutFileGivesNaN) {
    removeFile(kVersionFile);
    Firmware fw;
    char out[100] = {0}, old[100] = {0};
    EXPECT_FALSE(fw.readVersion(out));
    EXPECT_STREQ("NaN", out);
    fw.getOldFirmware(old);
    EXPECT_STREQ("NaN", old);
}

struct VersionCase {
    const char* running;
    const char* announced;
    int result;
};

TEST_F(FirmwareTest, CheckUpdateComparesVersions) {
    const VersionCase cases[] = {
        {"VK7-R024d", "VK7-R025a", 1},
        {"VK7-R024d", "VK7-R024e", 1},
        {"VK7-R024d", "VK7-R024", 0},
        {"VK7-R024d", "VK7-R024da", 1},
        {"VK7-R024d", "VK7-R024d", 0},
        {"VK7-R024d", "VK7-R024c", 0},
        {"VK7-R024d", "VK7-R023z", 0},
        {"VK7-R024d", "VK7-R", 0},
        {"VK7-R024d", "NaN", 0},
        {"VK7-R024d", "", 0},
        {"VK7-R024abc", "VK7-R024abd", 1},
        {"VK7-R024abd", "VK7-R024abc", 0},
        {"VK7-R024abc", "VK7-R024abc", 0},
        {"VK7-R024ab", "VK7-R024bb", 1},
        {"VK7-R024ab", "VK7-R024ac", 1},
        {"VK7-R024ab", "VK7-R024aa", 0},
        // Pre-releases: the suffix ends at the dash before "beta".
        {"VK7-R024d-beta", "VK7-R024d", 0},
        {"VK7-R024d-beta", "VK7-R024e", 0},
        {"VK7-R024d-beta", "VK7-R024e-beta", 1},
        {"VK7-R024d-beta", "VK7-R024d-Beta2", 0},
        {"VK7-R024d-beta", "VK7-R025a", 1},
        {"VK7-R024d", "VK7-R024e-beta", 1},
        // A dash before the suffix's start leaves it empty.
        {"VK7-R02-d", "VK7-R02-e", 0},
        {"VK7-R0-4d", "VK7-R0-4e", 1},
    };
    for (const VersionCase& vc : cases) {
        SCOPED_TRACE(std::string(vc.running) + " -> " + vc.announced);
        writeFile(kVersionFile, std::string(vc.running) + "\n");
        Firmware fw;
        char current[100] = {0}, announced[100] = {0}, stored[100] = {0};
        strcpy(announced, vc.announced);
        EXPECT_EQ(vc.result, fw.checkUpdate(current, announced, 2, fwrite));
        EXPECT_STREQ(vc.running, current);
        fw.getNewFirmware(stored);
        if (vc.result == 1) {
            EXPECT_STREQ(vc.announced, announced);
            EXPECT_STREQ(vc.announced, stored);
        } else {
            EXPECT_STREQ("NaN", announced);
            EXPECT_STREQ("", stored);
        }
    }
}

TEST_F(FirmwareTest, CheckUpdateWithoutRunningVersion) {
    removeFile(kVersionFile);
    Firmware fw;
    char current[100] = "x", announced[100] = "VK7-R099a";
    EXPECT_EQ(-1, fw.checkUpdate(current, announced, 2, fwrite));
    EXPECT_STREQ("NaN", current);
    EXPECT_STREQ("NaN", announced);
}

TEST_F(FirmwareTest, CheckUpdateDownloadsTheAnnouncedVersion) {
    putFirmwareFile("VK7_64MB/version", "VK7-R025a\r\nnotes\n");
    Firmware fw;
    char current[100] = {0}, announced[100] = {0};
    countingWrites = 0;
    EXPECT_EQ(1, fw.checkUpdate(current, announced, 0, countingWrite));
    EXPECT_STREQ("VK7-R024d", current);
    EXPECT_STREQ("VK7-R025a", announced);
    EXPECT_GT(countingWrites, 0u);
    EXPECT_FALSE(fileExists(std::string(kWork) + "/version"));
    auto reqs = httpsRequests();
    ASSERT_EQ(1u, reqs.size());
    EXPECT_EQ("firmware.halvix.net GET /VK7_64MB/version 200", reqs[0]);
}

TEST_F(FirmwareTest, CheckUpdateOfAPreReleaseAsksTheBetaBase) {
    writeFile(kVersionFile, "VK7-R024d-beta\n");
    putFirmwareFile("VK7_64MB_BETA/version", "VK7-R024e-beta\n");
    Firmware fw;
    char current[100] = {0}, announced[100] = {0};
    EXPECT_EQ(1, fw.checkUpdate(current, announced, 0, fwrite));
    EXPECT_STREQ("VK7-R024e-beta", announced);
    ASSERT_EQ(1u, httpsRequests().size());
    EXPECT_EQ("firmware.halvix.net GET /VK7_64MB_BETA/version 200", httpsRequests()[0]);
}

TEST_F(FirmwareTest, CheckUpdateWhenTheVersionFileIsMissing) {
    removeFirmwareFile("VK7_64MB/version");
    Firmware fw;
    char current[100] = {0}, announced[100] = {0};
    EXPECT_EQ(-1, fw.checkUpdate(current, announced, 0, fwrite));
    EXPECT_STREQ("VK7-R024d", current);
    EXPECT_STREQ("NaN", announced);
    EXPECT_FALSE(fileExists(std::string(kWork) + "/version"));
    EXPECT_EQ(0, Firmware::downloading);
}

TEST_F(FirmwareTest, CheckUpdateFromTheHubSettingsWithoutAnnouncement) {
    // No announced version in the settings: "NaN", no update.
    Firmware fw;
    char current[100] = {0}, announced[100] = {0};
    EXPECT_EQ(0, fw.checkUpdate(current, announced, 1, fwrite));
    EXPECT_STREQ("VK7-R024d", current);
    EXPECT_STREQ("NaN", announced);
    EXPECT_TRUE(httpsRequests().empty());
}

// The settings device request (section, result, name, value).
struct NvramRequest {
    int32_t section;
    int32_t result;
    char* name;
    char* value;
};

// Sets a main-section setting through the settings device; true when it
// reads back.
bool nvramSet(const char* key, const char* text) {
    char name[1024] = {0}, value[1024] = {0}, back[1024] = {0};
    snprintf(name, sizeof name, "%s", key);
    snprintf(value, sizeof value, "%s", text);
    int fd = open("/dev/apsoc_nvram", O_RDONLY);
    if (fd < 0) return false;
    NvramRequest set{1, 0, name, value};
    ioctl(fd, 0x1003, &set);
    NvramRequest get{1, 0, name, back};
    ioctl(fd, 0x1001, &get);
    close(fd);
    return strcmp(back, text) == 0;
}

TEST_F(FirmwareTest, CheckUpdateFromTheHubSettings) {
    ASSERT_TRUE(nvramSet("NewFirmwareVersion", "VK7-R025b"));
    Firmware fw;
    char current[100] = {0}, announced[100] = {0}, stored[100] = {0};
    EXPECT_EQ(1, fw.checkUpdate(current, announced, 1, fwrite));
    EXPECT_STREQ("VK7-R025b", announced);
    fw.getNewFirmware(stored);
    EXPECT_STREQ("VK7-R025b", stored);
    // Anything that is no VK7-R version reads as "NaN".
    ASSERT_TRUE(nvramSet("NewFirmwareVersion", "R099z"));
    EXPECT_EQ(0, fw.checkUpdate(current, announced, 1, fwrite));
    EXPECT_STREQ("NaN", announced);
    nvramSet("NewFirmwareVersion", "");
    EXPECT_TRUE(httpsRequests().empty());
}

// The typical caller: check, fetch the checksum file, fetch and verify the
// image.
TEST_F(FirmwareTest, ChecksumAndImageOfTheNewFirmware) {
    std::string img = image(300000, 7);
    putFirmwareFile("VK7_64MB/version", "VK7-R025a\n");
    putFirmwareFile("VK7_64MB/VK7-R025a.bin", img);
    putFirmwareFile("VK7_64MB/VK7-R025a.md5", md5Line("VK7-R025a.bin", img) + "\n");
    Firmware fw;
    char current[100] = {0}, announced[100] = {0};
    ASSERT_EQ(1, fw.checkUpdate(current, announced, 0, fwrite));
    std::string empty, sum = "VK7-R025a.md5", bin = "VK7-R025a.bin";
    EXPECT_EQ(0, fw.checkmd5(c(empty), c(sum), 1, nullptr, fwrite));
    progressCalls = 0;
    progressSawHandle = false;
    EXPECT_EQ(0, fw.checkmd5(c(empty), c(bin), 1, progress, fwrite));
    EXPECT_GT(progressCalls.load(), 0);
    EXPECT_TRUE(progressSawHandle.load());
    EXPECT_EQ(img, readFile(std::string(kWork) + "/VK7-R025a.bin"));
}

TEST_F(FirmwareTest, ChecksumComparisonIgnoresCase) {
    std::string img = image(5000, 3);
    std::string line = md5Line("fw.bin", img);
    for (char& ch : line) ch = toupper(ch);
    line.replace(line.size() - 6, 6, "fw.bin");
    EXPECT_EQ(0, checkLaidDown(line + "\n", img));
}

TEST_F(FirmwareTest, ChecksumMismatch) {
    std::string img = image(20000, 5);
    std::string sum = md5Line("fw.bin", img) + "\n";
    img[1234] ^= 1;
    EXPECT_EQ(1, checkLaidDown(sum, img));
}

TEST_F(FirmwareTest, NotFoundLeavesNoFile) {
    Firmware fw;
    char v[100] = {0};
    fw.readVersion(v);
    EXPECT_EQ(2, fetchSum(fw, "missing.md5"));
    EXPECT_FALSE(fileExists(std::string(kWork) + "/missing.md5"));
    EXPECT_EQ(4, fetchImage(fw, "missing.bin"));
    EXPECT_FALSE(fileExists(std::string(kWork) + "/missing.bin"));
    EXPECT_EQ(0, Firmware::downloading);
    auto reqs = httpsRequests();
    ASSERT_EQ(2u, reqs.size());
    EXPECT_EQ("firmware.halvix.net GET /VK7_64MB/missing.md5 404", reqs[0]);
}

TEST_F(FirmwareTest, ExplicitUrlWins) {
    putFirmwareFile("elsewhere/fw.md5", "abc  fw.bin\n");
    Firmware fw;
    std::string url = "https://firmware.halvix.net/elsewhere/fw.md5", sum = "fw.md5";
    EXPECT_EQ(0, fw.checkmd5(c(url), c(sum), 0, nullptr, fwrite));
    EXPECT_EQ("abc  fw.bin\n", readFile(std::string(kWork) + "/fw.md5"));
}

TEST_F(FirmwareTest, ForeignCertificatesFailTheTransfer) {
    putFirmwareFile("VK7_64MB/fw.md5", "abc  fw.bin\n");
    for (const char* mode : {"other-ca", "other-name"}) {
        SCOPED_TRACE(mode);
        setCertMode(mode);
        Firmware fw;
        std::string url = "https://firmware.halvix.net/VK7_64MB/fw.md5", sum = "fw.md5";
        EXPECT_EQ(2, fw.checkmd5(c(url), c(sum), 0, nullptr, fwrite));
        EXPECT_FALSE(fileExists(std::string(kWork) + "/fw.md5"));
        EXPECT_EQ(0, Firmware::downloading);
    }
    setCertMode("good");
    Firmware fw;
    std::string url = "https://firmware.halvix.net/VK7_64MB/fw.md5", sum = "fw.md5";
    EXPECT_EQ(0, fw.checkmd5(c(url), c(sum), 0, nullptr, fwrite));
}

TEST_F(FirmwareTest, CutTransferLeavesNoPartialFile) {
    putFirmwareFile("VK7_64MB/fw.bin", image(100000, 9));
    Firmware fw;
    std::string url = "https://firmware.halvix.net/VK7_64MB/fw.bin?cut=40000", bin = "fw.bin";
    EXPECT_EQ(4, fw.checkmd5(c(url), c(bin), 0, progress, fwrite));
    EXPECT_FALSE(fileExists(std::string(kWork) + "/fw.bin"));
    EXPECT_EQ(0, Firmware::downloading);
    ASSERT_EQ(1u, httpsRequests().size());
    EXPECT_EQ("firmware.halvix.net GET /VK7_64MB/fw.bin?cut=40000 200-cut", httpsRequests()[0]);
}

TEST_F(FirmwareTest, UnwritableTargetDoesNotLeaveTheFlagSet) {
    putFirmwareFile("x", "data");
    Firmware fw;
    std::string url = "https://firmware.halvix.net/x", bad = "/tmp/no/such/dir/x", good = "x";
    EXPECT_FALSE(fw.downloadfile(c(url), c(bad), 60, nullptr, fwrite));
    EXPECT_EQ(0, Firmware::downloading);
    EXPECT_TRUE(fw.downloadfile(c(url), c(good), 60, nullptr, fwrite));
    EXPECT_EQ("data", readFile(std::string(kWork) + "/x"));
}

TEST_F(FirmwareTest, SecondDownloadWhileOneRunsIsRefused) {
    std::string img = image(200000, 11);
    putFirmwareFile("big.bin", img);
    Firmware fw;
    removeFile("/sim/state/https/release-second");
    bool first = false;
    std::thread t([&] {
        std::string url = "https://firmware.halvix.net/big.bin?hold=second", path = "big.bin";
        first = fw.downloadfile(c(url), c(path), 600, nullptr, fwrite);
    });
    ASSERT_TRUE(waitForFile("/sim/state/https/holding-second"));
    EXPECT_EQ(1, __atomic_load_n(&Firmware::downloading, __ATOMIC_SEQ_CST));  // set by the other thread
    Firmware other;
    std::string url = "https://firmware.halvix.net/big.bin", path = "other.bin";
    EXPECT_FALSE(other.downloadfile(c(url), c(path), 600, nullptr, fwrite));
    writeFile("/sim/state/https/release-second", "");
    t.join();
    EXPECT_TRUE(first);
    EXPECT_EQ(img, readFile(std::string(kWork) + "/big.bin"));
    EXPECT_EQ(0, Firmware::downloading);
    // The refused call asked nothing of the server.
    EXPECT_EQ(1u, httpsRequests().size());
}

TEST_F(FirmwareTest, TimedOutDownloadLeavesNoFile) {
    putFirmwareFile("slow.bin", image(50000, 13));
    removeFile("/sim/state/https/release-never");
    Firmware fw;
    std::string url = "https://firmware.halvix.net/slow.bin?hold=never", path = "slow.bin";
    EXPECT_FALSE(fw.downloadfile(c(url), c(path), 1, nullptr, fwrite));
    EXPECT_FALSE(fileExists(std::string(kWork) + "/slow.bin"));
    EXPECT_EQ(0, Firmware::downloading);
    writeFile("/sim/state/https/release-never", "");
}

TEST_F(FirmwareTest, UnreadableChecksumFileGives3) {
    putFirmwareFile("fw.md5", "abc  fw.bin\n");
    pid_t pid = fork();
    if (pid == 0) {
        // Created write-only and read back without root's override.
        dropFileAccessOverride();
        umask(0577);
        Firmware fw;
        std::string url = "https://firmware.halvix.net/fw.md5", sum = "fw.md5";
        _exit(fw.checkmd5(&url[0], &sum[0], 0, nullptr, fwrite));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(3, WEXITSTATUS(status));
}

// Outside text that reaches a shell: nothing in it may run.
const char* const kHostile[] = {
    "a'b",
    "x;touch pwned",
    "$(touch pwned)",
    "`touch pwned`",
    "x\ntouch pwned",
    "x'$(touch pwned)'",
    "x\"$(touch pwned)\"",
    "x' ; touch pwned ; '",
};

TEST_F(FirmwareTest, ImagePathsNeverRunInTheShell) {
    std::string img = image(4000, 17);
    putFirmwareFile("fw.bin", img);
    for (const char* name : kHostile) {
        SCOPED_TRACE(name);
        Firmware fw;
        std::string sum = name + std::string(".md5");
        putFirmwareFile("fw.md5", md5Line(name, img) + "\n");
        std::string url = "https://firmware.halvix.net/fw.md5";
        ASSERT_EQ(0, fw.checkmd5(c(url), c(sum), 0, nullptr, fwrite));
        std::string path = name, binUrl = "https://firmware.halvix.net/fw.bin";
        int r = fw.checkmd5(c(binUrl), c(path), 0, progress, fwrite);
        // md5sum escapes a name with a newline, so only that one differs.
        EXPECT_EQ(strchr(name, '\n') ? 1 : 0, r);
        EXPECT_EQ(img, readFile(std::string(kWork) + "/" + name));

        clearLog("mtd_write");
        writeFile("/dev/mtd4", "");
        mtd_write_firmware(c(path));
        std::string flat = name;
        for (char& ch : flat)
            if (ch == '\n') ch = ' ';
        auto rec = logLines("mtd_write");
        ASSERT_EQ(1u, rec.size());
        EXPECT_EQ("-r -w write " + flat + " /dev/mtd4", rec[0]);
        EXPECT_FALSE(fileExists(std::string(kWork) + "/pwned"));
        EXPECT_FALSE(fileExists("/pwned"));
    }
}

TEST_F(FirmwareTest, UpdateWithUnreadableImageDoesNothing) {
    clearLog("mtd_write");
    clearLog("reboot");
    Firmware fw;
    std::string path = "/tmp/fwwork/none.bin";
    EXPECT_EQ(0, fw.updateFirmware(c(path), 2));
    EXPECT_TRUE(logLines("mtd_write").empty());
    EXPECT_TRUE(logLines("reboot").empty());
}

std::vector<std::string> stopsFor(int mode) {
    std::vector<std::string> v = {"ScreenLock", "launcher", "sh", "crond"};
    if (mode != 2) v.push_back("webServer");
    for (const char* n :
         {"haserver", "cloudrouter", "cloudha", "CloudDaemon", "rulesEngine", "zigbee_server", "lighttpd"})
        v.push_back(n);
    return v;
}

TEST_F(FirmwareTest, FreeProcessesStopsEverythingInOrder) {
    for (int mode : {0, 2}) {
        SCOPED_TRACE(mode);
        clearLog("killall");
        clearLog("rmmod");
        mkdir("/halvix/ScreenLock", 0755);
        writeFile("/halvix/ScreenLock/pin", "1");
        freeProcesses(mode);
        EXPECT_EQ(stopsFor(mode), logLines("killall"));
        EXPECT_EQ(std::vector<std::string>{"hw_nat"}, logLines("rmmod"));
        EXPECT_FALSE(fileExists("/halvix/ScreenLock"));
    }
}

// Names md5sum would take for options or for standard input.
TEST_F(FirmwareTest, ImagePathsStartingWithADashAreChecked) {
    std::string img = image(6000, 19);
    putFirmwareFile("fw.bin", img);
    for (const char* name : {"-", "-x.bin", "--help", "-c", "--"}) {
        SCOPED_TRACE(name);
        Firmware fw;
        std::string sum = "sum.md5", url = "https://firmware.halvix.net/fw.md5";
        putFirmwareFile("fw.md5", md5Line(name, img) + "\n");
        ASSERT_EQ(0, fw.checkmd5(c(url), c(sum), 0, nullptr, fwrite));
        std::string path = name, binUrl = "https://firmware.halvix.net/fw.bin";
        EXPECT_EQ(0, fw.checkmd5(c(binUrl), c(path), 0, progress, fwrite));
        EXPECT_EQ(img, readFile(std::string(kWork) + "/" + name));
        // Another image under the same name does not pass.
        putFirmwareFile("fw.md5", md5Line(name, image(6000, 20)) + "\n");
        ASSERT_EQ(0, fw.checkmd5(c(url), c(sum), 0, nullptr, fwrite));
        EXPECT_EQ(1, fw.checkmd5(c(binUrl), c(path), 0, progress, fwrite));
    }
}

// An image at a path of exactly `length` bytes under the work directory,
// in directories of 200-byte names.
std::string imageAtPathOf(size_t length, const std::string& data) {
    std::string path = kWork;
    char part = 'a';
    while (length - path.size() > 202) {
        path += "/" + std::string(200, part++);
        mkdir(path.c_str(), 0755);
    }
    path += "/" + std::string(length - path.size() - 1, 'z');
    writeFile(path, data);
    return path;
}

TEST_F(FirmwareTest, ImagePathsThatDoNotFitAreRefused) {
    std::string img = image(9000, 29);
    for (size_t length : {511u, 512u, 700u}) {
        SCOPED_TRACE(length);
        for (const char* log : {"killall", "rmmod", "mtd_write", "reboot", "nvram_set.args"}) clearLog(log);
        writeFile("/dev/mtd4", "");
        std::string path = imageAtPathOf(length, img);
        ASSERT_EQ(length, path.size());
        ASSERT_TRUE(img == readFile(path));
        mtd_write_firmware(c(path));
        Firmware fw;
        EXPECT_EQ(0, fw.updateFirmware(c(path), 2));
        if (length == 511) {
            EXPECT_EQ(2u, logLines("mtd_write").size());
            EXPECT_EQ("-r -w write " + path + " /dev/mtd4", logLines("mtd_write").at(0));
            EXPECT_TRUE(img == readFile("/dev/mtd4"));
            EXPECT_EQ(std::vector<std::string>{""}, logLines("reboot"));
        } else {
            // Refused before anything is stopped or written (cut to 511
            // bytes, the 512-byte path names the image of the 511 case).
            EXPECT_TRUE(logLines("mtd_write").empty());
            EXPECT_EQ(0u, readFile("/dev/mtd4").size());
            EXPECT_TRUE(logLines("killall").empty());
            EXPECT_TRUE(logLines("rmmod").empty());
            EXPECT_TRUE(recordedArgs("nvram_set").empty());
            EXPECT_TRUE(logLines("reboot").empty());
        }
    }
}

TEST_F(FirmwareTest, FailedFlashWriteIsReportedAndDoesNotReboot) {
    for (const char* log : {"killall", "mtd_write", "reboot"}) clearLog(log);
    writeFile("new.bin", image(5000, 31));
    writeFile("/dev/mtd4", "old");
    testkit::Fault faultMtd4Open("mtd4-open");
    Firmware fw;
    std::string path = "/tmp/fwwork/new.bin";
    int result = 0;
    std::string err = captureStderr([&] { result = fw.updateFirmware(c(path), 2); });
    faultMtd4Open.off();
    EXPECT_EQ(-1, result);
    EXPECT_EQ(std::vector<std::string>{"-r -w write /tmp/fwwork/new.bin /dev/mtd4"}, logLines("mtd_write"));
    EXPECT_NE(std::string::npos, err.find("Unable to write /tmp/fwwork/new.bin to /dev/mtd4: mtd_write ended with "))
        << err;
    EXPECT_EQ("old", readFile("/dev/mtd4"));
    EXPECT_TRUE(logLines("reboot").empty());
    EXPECT_EQ(stopsFor(2), logLines("killall"));

    // The system stays up, and the next attempt flashes and reboots.
    EXPECT_EQ(0, fw.updateFirmware(c(path), 2));
    EXPECT_TRUE(image(5000, 31) == readFile("/dev/mtd4"));
    EXPECT_EQ(std::vector<std::string>{""}, logLines("reboot"));
}

class UpdateModes : public FirmwareTest, public ::testing::WithParamInterface<int> {};

TEST_P(UpdateModes, FlashesAndReboots) {
    int mode = GetParam();
    for (const char* log : {"killall", "rmmod", "mtd_write", "reboot", "nvram_set.args", "fw"}) clearLog(log);
    mkdir("bin", 0755);
    writeFile("bin/fw", "#!/bin/sh\nprintf '%s\\n' \"$*\" >> /sim/state/log/fw\n");
    chmod("bin/fw", 0755);
    std::string img = image(70000, 23);
    writeFile("new.bin", img);
    writeFile("/dev/mtd4", "");

    Firmware fw;
    std::string path = "/tmp/fwwork/new.bin";
    EXPECT_EQ(0, fw.updateFirmware(c(path), mode));

    // The banner of the running kernel is kept in the settings.
    std::string banner = readFile("/proc/version");
    banner = banner.substr(0, banner.find('\n'));
    EXPECT_EQ((std::vector<std::string>{"2860", "old_firmware", banner}), recordedArgs("nvram_set"));
    EXPECT_EQ(std::vector<std::string>{"-r -w write /tmp/fwwork/new.bin /dev/mtd4"}, logLines("mtd_write"));
    EXPECT_EQ(img, readFile("/dev/mtd4"));
    EXPECT_EQ(std::vector<std::string>{""}, logLines("reboot"));
    if (mode == 1) {
        ASSERT_TRUE(waitForFile("/sim/state/log/fw"));
        EXPECT_EQ(std::vector<std::string>{"FromCloud"}, logLines("fw"));
        EXPECT_TRUE(logLines("killall").empty());
        EXPECT_TRUE(logLines("rmmod").empty());
    } else {
        EXPECT_EQ(stopsFor(mode), logLines("killall"));
        EXPECT_FALSE(fileExists("/sim/state/log/fw") && !readFile("/sim/state/log/fw").empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, UpdateModes, ::testing::Values(1, 2));

// The kernel banner is outside text too: a private /proc/version carries the
// hostile texts (needs a mount namespace of our own).
TEST_F(FirmwareTest, KernelBannerNeverRunsInTheShell) {
    for (const char* text : kHostile) {
        SCOPED_TRACE(text);
        clearLog("nvram_set.args");
        writeFile("/tmp/banner", std::string("Linux version ") + text + "\n");
        pid_t pid = fork();
        if (pid == 0) {
            if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                mount("/tmp/banner", "/proc/version", nullptr, MS_BIND, nullptr) != 0)
                _exit(77);
            write_flash_kernel_version();
            _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no mount namespace for a private /proc/version";
        std::string first = std::string("Linux version ") + text;
        first = first.substr(0, first.find('\n'));
        EXPECT_EQ((std::vector<std::string>{"2860", "old_firmware", first}), recordedArgs("nvram_set"));
        EXPECT_FALSE(fileExists(std::string(kWork) + "/pwned"));
        EXPECT_FALSE(fileExists("/pwned"));
    }
}

TEST_F(FirmwareTest, ReadVersionOfAFileThatCannotBeRead) {
    removeFile(kVersionFile);
    ASSERT_EQ(0, mkdir(kVersionFile, 0755));  // opens, but reads nothing
    Firmware fw;
    char out[100] = "junk", old[100] = "junk";
    EXPECT_TRUE(fw.readVersion(out));
    EXPECT_STREQ("", out);
    fw.getOldFirmware(old);
    EXPECT_STREQ("", old);
    rmdir(kVersionFile);
}

// Empty files on the host: no announced version, an empty expected line.
TEST_F(FirmwareTest, EmptyFilesOnTheHost) {
    putFirmwareFile("VK7_64MB/version", "");
    Firmware fw;
    char current[100] = {0}, announced[100] = {0};
    EXPECT_EQ(0, fw.checkUpdate(current, announced, 0, fwrite));
    EXPECT_STREQ("VK7-R024d", current);
    EXPECT_STREQ("NaN", announced);

    putFirmwareFile("VK7_64MB/empty.md5", "");
    putFirmwareFile("VK7_64MB/img.bin", image(3000, 41));
    std::string sum = "empty.md5", bin = "img.bin";
    EXPECT_EQ(0, fw.checkmd5(nullptr, c(sum), 0, nullptr, fwrite));   // no URL: the base of the running version
    EXPECT_EQ(1, fw.checkmd5(nullptr, c(bin), 0, progress, fwrite));  // nothing to match
    auto reqs = httpsRequests();
    ASSERT_EQ(3u, reqs.size());
    EXPECT_EQ("firmware.halvix.net GET /VK7_64MB/empty.md5 200", reqs[1]);
    EXPECT_EQ("firmware.halvix.net GET /VK7_64MB/img.bin 200", reqs[2]);
}

// A write callback that takes the file away: what was downloaded cannot be
// read back, and no checksum is made of it.
size_t writeAndRemove(const void* buf, size_t size, size_t count, FILE* f) {
    unlink("/tmp/fwwork/gone.md5");
    unlink("/tmp/fwwork/gone.bin");
    return fwrite(buf, size, count, f);
}

TEST_F(FirmwareTest, DownloadedFileGoneBeforeItIsRead) {
    std::string img = image(2000, 43);
    putFirmwareFile("VK7_64MB/gone.md5", md5Line("gone.bin", img) + "\n");
    putFirmwareFile("VK7_64MB/gone.bin", img);
    Firmware fw;
    std::string empty, sum = "gone.md5", bin = "gone.bin";
    EXPECT_EQ(3, fw.checkmd5(c(empty), c(sum), 0, nullptr, writeAndRemove));
    ASSERT_EQ(0, fw.checkmd5(c(empty), c(sum), 0, nullptr, fwrite));
    // The right image, but md5sum finds no file to sum.
    std::string err = captureStderr([&] { EXPECT_EQ(1, fw.checkmd5(c(empty), c(bin), 0, progress, writeAndRemove)); });
    EXPECT_EQ(0, fw.checkmd5(c(empty), c(bin), 0, progress, fwrite));
    EXPECT_EQ(0, Firmware::downloading);
}

// The body fits the file's buffer and is only found not to fit the disk
// when the file is closed: no download, and the name is removed.
TEST_F(FirmwareTest, DiskFullAtCloseIsNoDownload) {
    putFirmwareFile("small.bin", "tiny");
    ASSERT_EQ(0, symlink("/dev/full", "full.bin"));
    Firmware fw;
    std::string url = "https://firmware.halvix.net/small.bin", path = "full.bin";
    EXPECT_FALSE(fw.downloadfile(c(url), c(path), 60, nullptr, fwrite));
    struct stat st;
    EXPECT_NE(0, lstat("full.bin", &st));
    EXPECT_EQ(0, Firmware::downloading);
    ASSERT_EQ(1u, httpsRequests().size());
    EXPECT_EQ("firmware.halvix.net GET /small.bin 200", httpsRequests()[0]);
}

TEST_F(FirmwareTest, ImagePathLineBreaksBecomeSpaces) {
    clearLog("mtd_write");
    std::string path = "/tmp/fwwork/a\rb\nc.bin";
    captureStderr([&] { mtd_write_firmware(c(path)); });
    EXPECT_EQ(std::vector<std::string>{"-r -w write /tmp/fwwork/a b c.bin /dev/mtd4"}, logLines("mtd_write"));
}

TEST_F(FirmwareTest, FlashWriterKilledIsAFailure) {
    for (const char* log : {"killall", "reboot"}) clearLog(log);
    // Kills the shell that runs it, or itself when it is that process.
    writeFile("/tmp/testbin/mtd_write",
              "#!/bin/sh\nif [ \"$(cat /proc/$PPID/comm)\" = sh ]; then kill -KILL $PPID; fi\nkill -KILL $$\n");
    chmod("/tmp/testbin/mtd_write", 0755);
    writeFile("new.bin", image(100, 47));
    Firmware fw;
    std::string path = "/tmp/fwwork/new.bin";
    int result = 0;
    std::string err = captureStderr([&] { result = fw.updateFirmware(c(path), 2); });
    removeFile("/tmp/testbin/mtd_write");
    EXPECT_EQ(-1, result);
    EXPECT_NE(std::string::npos, err.find("Unable to write /tmp/fwwork/new.bin to /dev/mtd4: mtd_write ended with -1"))
        << err;
    EXPECT_TRUE(logLines("reboot").empty());
}

// A kernel banner that cannot be read is stored empty (in a mount namespace
// of our own: /proc hidden, or /proc/version empty).
TEST_F(FirmwareTest, KernelBannerThatCannotBeRead) {
    writeFile("/tmp/empty", "");
    for (const char* how : {"hidden", "empty"}) {
        SCOPED_TRACE(how);
        clearLog("nvram_set.args");
        pid_t pid = fork();
        if (pid == 0) {
            bool hidden = strcmp(how, "hidden") == 0;
            if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                (hidden ? mount("none", "/proc", "tmpfs", 0, nullptr)
                        : mount("/tmp/empty", "/proc/version", nullptr, MS_BIND, nullptr)) != 0)
                _exit(77);
            std::string err = captureStderr([] { write_flash_kernel_version(); });
            testkit::exitChild(hidden == (err.find("Unable to open /proc/version") != std::string::npos) ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no mount namespace for a private /proc";
        EXPECT_EQ(0, WEXITSTATUS(status));
        EXPECT_EQ((std::vector<std::string>{"2860", "old_firmware", ""}), recordedArgs("nvram_set"));
    }
}

}  // namespace
