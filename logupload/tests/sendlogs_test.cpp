// The log upload against the virtual router's support host (real TLS with
// the run's test CA, a multipart parser that keeps what it received), its
// factory flash and the router tools the snapshot runs.
#include "logupload/sendLogs.h"

#include <gtest/gtest.h>
#include <glob.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "https.h"
#include "testkit.h"

using namespace testkit;

namespace {

const char kVersionFile[] = "/etc_ro/lighttpd/www/version";
// The factory MAC of the virtual router, 02:48:56:00:10:01.
const char kFactoryMac[] = "2509703745537";

// nvram_get stand-in of this test: "nvram_get 2860 HalvixLocation" prints
// the text of /tmp/location.
void installNvramGet() {
    mkdir("/tmp/testbin", 0755);
    writeFile("/tmp/testbin/nvram_get",
              "#!/bin/sh\n[ \"$1 $2\" = \"2860 HalvixLocation\" ] && cat /tmp/location 2>/dev/null\n");
    chmod("/tmp/testbin/nvram_get", 0755);
    std::string path = getenv("PATH");
    if (path.rfind("/tmp/testbin:", 0) != 0) setenv("PATH", ("/tmp/testbin:" + path).c_str(), 1);
}

std::vector<std::string> globbed(const char* pattern) {
    glob_t g;
    std::vector<std::string> out;
    if (glob(pattern, 0, nullptr, &g) == 0)
        for (size_t i = 0; i < g.gl_pathc; ++i) out.push_back(g.gl_pathv[i]);
    globfree(&g);
    return out;
}

class SendLogsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { installNvramGet(); }
    void SetUp() override {
        ASSERT_EQ(0, chdir("/"));
        writeFile(kVersionFile, "VK7-R024d\n");
        writeFile("/tmp/location", "Kitchen\n");
        writeFile("/ID", "HLX0000000001\n");
        setCertMode("good");
        setSupportReply(200, "Upload complete");
        clearUploads();
    }
    void TearDown() override { ASSERT_EQ(0, chdir("/")); }
};

TEST_F(SendLogsTest, MacFromTheFactoryPartition) {
    EXPECT_EQ(0x024856001001ull, getMac());
    std::string factory = readFile("/dev/mtd3");
    std::string other = factory;
    other.replace(4, 6, "\x00\x1a\x2b\x3c\x4d\x5e", 6);
    writeFile("/dev/mtd3", other);
    EXPECT_EQ(0x001a2b3c4d5eull, getMac());
    writeFile("/dev/mtd3", factory);
}

TEST_F(SendLogsTest, NoFactoryPartitionMeansNoMac) {
    testkit::Fault faultMtd3Missing("mtd3-missing");
    unsigned long long mac = 1;
    std::string out = captureStdout([&] { mac = getMac(); });
    faultMtd3Missing.off();
    EXPECT_EQ(0ull, mac);
    EXPECT_NE(std::string::npos, out.find("output empty no mac"));
}

TEST_F(SendLogsTest, MessageJoinsVersionLocationAndText) {
    SendLogs s;
    char text[] = "the screen stays dark";
    s.setMessage(text);
    EXPECT_STREQ("VK7-R024d--Kitchen--the screen stays dark", s.getMessage());
}

TEST_F(SendLogsTest, MessageWithoutVersionOrLocation) {
    removeFile(kVersionFile);
    removeFile("/tmp/location");
    SendLogs s;
    char text[] = "help";
    s.setMessage(text);
    EXPECT_STREQ("----help", s.getMessage());
    writeFile(kVersionFile, "");
    s.setMessage(text);
    EXPECT_STREQ("----help", s.getMessage());
}

TEST_F(SendLogsTest, MessageIsCutToItsField) {
    writeFile(kVersionFile, std::string(60, 'v'));
    SendLogs s;
    std::string text(1000, 't');
    s.setMessage(&text[0]);
    std::string msg = s.getMessage();
    EXPECT_EQ(349u, msg.size());
    EXPECT_EQ(std::string(39, 'v') + "--Kitchen--", msg.substr(0, 50));
}

struct ReplyCase {
    const char* text;
    size_t result;
};

TEST(ReadData, JudgesTheReply) {
    const ReplyCase cases[] = {
        {"Upload complete", 15}, {"x Error Uploading y", (size_t)-1},     {"Invalid file", (size_t)-2},
        {"Invalid", 7},          {"500 Internal Error", (size_t)-3},      {"Error in form", (size_t)-4},
        {"Errors", 6},           {"Invalid Error Uploading", (size_t)-1},
    };
    for (const ReplyCase& rc : cases) {
        SCOPED_TRACE(rc.text);
        // Not terminated, as libcurl hands it over.
        std::vector<char> data(rc.text, rc.text + strlen(rc.text));
        size_t r = 0;
        std::string out = captureStdout([&] { r = read_data(data.data(), 1, data.size(), nullptr); });
        EXPECT_EQ(rc.result, r);
        EXPECT_EQ(std::string("Inside read_data \n") + rc.text + "\nreturning...", out);
    }
}

TEST_F(SendLogsTest, RemoveDirectoryRemovesTheTreeButNotWhatLinksPointTo) {
    run("rm -rf /tmp/rd /tmp/keep && mkdir -p /tmp/rd/a/b /tmp/keep && echo 1 > /tmp/rd/a/b/f && "
        "echo 2 > /tmp/rd/g && echo 3 > /tmp/keep/k && ln -s /tmp/keep /tmp/rd/link");
    SendLogs s;
    EXPECT_EQ(0, s.remove_directory("/tmp/rd"));
    EXPECT_FALSE(fileExists("/tmp/rd"));
    EXPECT_EQ("3\n", readFile("/tmp/keep/k"));
    EXPECT_EQ(-1, s.remove_directory("/tmp/rd"));
}

TEST(OnTerminate, ExitsWithStatusZero) {
    pid_t pid = fork();
    if (pid == 0) {
        signal(SIGTERM, on_terminate);
        raise(SIGTERM);
        _exit(3);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
}

std::vector<std::string> names(const std::vector<FormField>& form) {
    std::vector<std::string> n;
    for (const FormField& f : form) n.push_back(f.name);
    return n;
}

// The whole job: snapshot, archive, upload, clean up.
TEST_F(SendLogsTest, UploadsTheSnapshot) {
    writeFile("/tmp/ddb", "device store bytes");
    writeFile("/tmp/NJdata", "nj");
    run("logger zwave: node 7 woke up");
    run("rm -f /tmp/apdb && dpmgr create /tmp/apdb && dpmgr put /tmp/apdb Mode Away && "
        "dpmgr put /tmp/apdb SecurityPin.1 'alice:4711'");
    run("crontab -r 2>/dev/null; echo '5 4 * * * cd /;runRule 3' | crontab -");

    SendLogs s;
    char text[] = "lights do not answer";
    s.setMessage(text);
    std::string out;
    int r = -1;
    out = captureStdout([&] { r = s.mainSendLogs(); });
    EXPECT_EQ(1, r);
    EXPECT_NE(std::string::npos, out.find("HTTP response code:200"));
    EXPECT_NE(std::string::npos, out.find(std::string("Halvix MAC=") + kFactoryMac + " \n,HalvixID=HLX0000000001\n"));

    auto ups = uploads();
    ASSERT_EQ(1u, ups.size());
    const auto& form = ups[0];
    ASSERT_EQ((std::vector<std::string>{"log_file", "HalvixMAC", "HalvixID", "Message", "submit"}), names(form));
    EXPECT_EQ(kFactoryMac, form[1].data);
    EXPECT_EQ("HLX0000000001", form[2].data);
    EXPECT_EQ("VK7-R024d--Kitchen--lights do not answer", form[3].data);
    EXPECT_EQ("Upload", form[4].data);
    ASSERT_NE(std::string::npos, form[0].filename.find("Halvix3Logs."));
    EXPECT_EQ(".tar.gz", form[0].filename.substr(form[0].filename.size() - 7));

    // The archive as the server kept it.
    run("rm -rf /tmp/x && mkdir /tmp/x");
    writeFile("/tmp/x/a.tar", form[0].data);
    run("cd /tmp/x && tar -xf a.tar");
    auto dirs = globbed("/tmp/x/tmp/Halvix3Logs.*");
    ASSERT_EQ(1u, dirs.size());
    std::string d = dirs[0] + "/";
    EXPECT_EQ("device store bytes", readFile(d + "ddb.log"));
    EXPECT_EQ("nj", readFile(d + "NJdata.log"));
    EXPECT_EQ("VK7-R024d\n", readFile(d + "version.log"));
    EXPECT_EQ(std::string(kFactoryMac) + ",HLX0000000001\n", readFile(d + "Id_mac.log"));
    EXPECT_NE(std::string::npos, readFile(d + "logread.log").find("zwave: node 7 woke up"));
    EXPECT_NE(std::string::npos, readFile(d + "ps.log").find("runRule 3"));
    EXPECT_NE(std::string::npos, readFile(d + "2860.log").find("SSID1=Halvix-Home"));
    EXPECT_NE(std::string::npos, readFile(d + "rtdev.log").find("Channel=36"));
    EXPECT_NE(std::string::npos, readFile(d + "apdb.log").find("Mode=Away"));
    EXPECT_NE(std::string::npos, readFile(d + "meminfo.log").find("MemTotal"));
    EXPECT_NE(std::string::npos, readFile(d + "resolv.conf.log").find("nameserver"));
    for (const char* f : {"ifconfig.log", "iwconfig.log", "top.log", "dmesg.log", "iptables.log"})
        EXPECT_TRUE(fileExists(d + f)) << f;
    // No credential leaves the router: the settings dumps keep no line that
    // mentions a Wi-Fi key, password, key, user or PIN.
    for (const char* dump : {"2860.log", "rtdev.log"}) {
        std::string text = readFile(d + dump);
        for (char& ch : text) ch = tolower(ch);
        std::istringstream lines(text);
        std::string line;
        int count = 0;
        while (std::getline(lines, line)) {
            ++count;
            for (const char* word : {"wpapsk", "pass", "key", "user", "pin"})
                EXPECT_EQ(std::string::npos, line.find(word)) << dump << ": " << line;
        }
        EXPECT_GT(count, 2) << dump;
    }
    std::string all = run("cat /tmp/x/tmp/Halvix3Logs.*/*");
    for (const char* secret :
         {"factory-admin-secret", "factory-wifi-secret", "factory-wifi5-secret", "factory-wep-secret", "12345670",
          "factory-radius-user", "alice:4711", "WPAPSK", "Password", "SecurityPin"})
        EXPECT_EQ(std::string::npos, all.find(secret)) << secret;

    // Nothing of the snapshot is left behind.
    EXPECT_TRUE(globbed("/tmp/Halvix3Logs.*").empty());
    for (const char* n : {"Id_mac", "version", "ps", "2860", "rtdev", "apdb", "ddb", "logread"})
        EXPECT_FALSE(fileExists(std::string("/tmp/") + n + ".log")) << n;
}

struct UploadCase {
    int status;
    const char* reply;
    bool ok;
    const char* err;
};

TEST_F(SendLogsTest, EachReplyGivesItsResult) {
    const UploadCase cases[] = {
        {200, "Upload complete", true, ""},
        {200, "Error Uploading the file", false, "curl_easy_perform() failed: "},
        {200, "Invalid MAC", false, "curl_easy_perform() failed: "},
        {200, "Internal Error", false, "curl_easy_perform() failed: "},
        {200, "Error in form", false, "curl_easy_perform() failed: "},
        {500, "broken", false, "HTTP request failed: 500\n"},
        {404, "nothing here", false, "HTTP request failed: 404\n"},
    };
    writeFile("/tmp/a.tar.gz", "archive bytes");
    for (const UploadCase& uc : cases) {
        SCOPED_TRACE(uc.reply);
        setSupportReply(uc.status, uc.reply);
        clearUploads();
        SendLogs s;
        char path[] = "/tmp/a.tar.gz";
        bool ok = !uc.ok;
        std::string err = captureStderr([&] { ok = s.sendLogs(path); });
        EXPECT_EQ(uc.ok, ok);
        EXPECT_EQ(0u, err.find(uc.err)) << err;
        ASSERT_EQ(1u, uploads().size());
        EXPECT_EQ("archive bytes", uploads()[0][0].data);
    }
}

TEST_F(SendLogsTest, ForeignCertificatesFailTheUpload) {
    writeFile("/tmp/a.tar.gz", "archive bytes");
    for (const char* mode : {"other-ca", "other-name"}) {
        SCOPED_TRACE(mode);
        setCertMode(mode);
        SendLogs s;
        char path[] = "/tmp/a.tar.gz";
        bool ok = true;
        std::string err = captureStderr([&] { ok = s.sendLogs(path); });
        EXPECT_FALSE(ok);
        EXPECT_EQ(0u, err.find("curl_easy_perform() failed: ")) << err;
    }
    EXPECT_TRUE(uploads().empty());
}

TEST_F(SendLogsTest, WithoutIdentityTheFormSaysNotFound) {
    // The upload reads "../ID" from the working directory.
    run("mkdir -p /tmp/w/sub");
    ASSERT_EQ(0, chdir("/tmp/w/sub"));
    writeFile("/tmp/a.tar.gz", "archive bytes");
    SendLogs s;
    char path[] = "/tmp/a.tar.gz";
    std::string out = captureStdout([&] { EXPECT_TRUE(s.sendLogs(path)); });
    EXPECT_NE(std::string::npos, out.find("ID File could not be opened."));
    ASSERT_EQ(1u, uploads().size());
    EXPECT_EQ("NOTFOUND", uploads()[0][2].data);
}

TEST_F(SendLogsTest, FailedUploadStillCleansUp) {
    setSupportReply(200, "Invalid archive");
    SendLogs s;
    EXPECT_EQ(0, s.mainSendLogs());
    EXPECT_TRUE(globbed("/tmp/Halvix3Logs.*").empty());
    EXPECT_TRUE(globbed("/tmp/*.log").empty());
}

// The address form, for interfaces that pass one integer: the object must
// lie where an int can hold its address (always so on the router).
TEST_F(SendLogsTest, StaticFormRunsTheJob) {
    void* low = mmap(nullptr, sizeof(SendLogs), PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS
#ifdef MAP_32BIT
                         | MAP_32BIT
#endif
                     ,
                     -1, 0);
    ASSERT_NE(MAP_FAILED, low);
    ASSERT_LT((uintptr_t)low, (uintptr_t)0x80000000u);
    SendLogs* s = new (low) SendLogs();
    EXPECT_EQ(1, SendLogs::mainSendLogs((int)(uintptr_t)s));
    EXPECT_EQ(1u, uploads().size());
    s->~SendLogs();
    munmap(low, sizeof(SendLogs));
}

// Outside text that reaches a shell or the form: nothing in it may run.
const char* const kHostile[] = {
    "a'b",
    "x;touch /tmp/pwned",
    "$(touch /tmp/pwned)",
    "`touch /tmp/pwned`",
    "x\ntouch /tmp/pwned",
    "x'$(touch /tmp/pwned)'",
    "x\"$(touch /tmp/pwned)\"",
};

TEST_F(SendLogsTest, IdentityAndLocationNeverRun) {
    for (const char* text : kHostile) {
        SCOPED_TRACE(text);
        clearUploads();
        writeFile("/ID", std::string(text) + "\n");
        writeFile("/tmp/location", std::string(text) + "\n");
        SendLogs s;
        char msg[] = "m";
        s.setMessage(msg);
        char* dir = s.getFileName();
        std::string firstLine = std::string(text).substr(0, std::string(text).find('\n'));
        EXPECT_EQ(std::string(kFactoryMac) + "," + firstLine + "\n", readFile(std::string(dir) + "/Id_mac.log"));
        EXPECT_EQ("VK7-R024d--" + firstLine + "--m", s.getMessage());
        std::string archive = std::string(dir) + ".tar.gz";
        EXPECT_TRUE(s.sendLogs(&archive[0]));
        ASSERT_EQ(1u, uploads().size());
        EXPECT_EQ(firstLine, uploads()[0][2].data);
        EXPECT_EQ("VK7-R024d--" + firstLine + "--m", uploads()[0][3].data);
        EXPECT_EQ(0, s.remove_directory(dir));
        removeFile(archive);
        EXPECT_FALSE(fileExists("/tmp/pwned"));
    }
}

}  // namespace

// With every descriptor taken the MAC cannot be read: no MAC, and a word why.
TEST(GetMac, NoDescriptorForTheCommand) {
    rlimit saved;
    ASSERT_EQ(0, getrlimit(RLIMIT_NOFILE, &saved));
    std::vector<int> held;
    unsigned long long mac = 1;
    std::string out = captureStdout([&] {
        rlimit few = saved;
        few.rlim_cur = 256;
        setrlimit(RLIMIT_NOFILE, &few);
        for (int fd; (fd = dup(0)) >= 0;) held.push_back(fd);
        mac = getMac();
        for (int fd : held) close(fd);
        setrlimit(RLIMIT_NOFILE, &saved);
    });
    EXPECT_EQ(0u, mac);
    EXPECT_EQ("Failed to run command", out);
}

// A directory that can be listed but not searched: its entries cannot be
// looked at, so nothing is removed and the failure is reported.
TEST(RemoveDirectory, EntriesThatCannotBeLookedAt) {
    run("rm -rf /tmp/rs && mkdir -p /tmp/rs/d && echo 1 > /tmp/rs/d/f && chmod 0555 /tmp/rs && chmod 0444 /tmp/rs/d");
    pid_t pid = fork();
    if (pid == 0) {
        dropFileAccessOverride();
        SendLogs s;
        // exit, not _exit: the child's coverage counts too.
        exit(s.remove_directory("/tmp/rs") == -1 ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
    EXPECT_EQ("1\n", readFile("/tmp/rs/d/f"));
    run("chmod -R u+rwx /tmp/rs && rm -rf /tmp/rs");
}
