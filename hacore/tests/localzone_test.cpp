// The hub's time zone is the zone the router's processes run in: the nvram
// "TZ" of boot, then, once the HA server has applied a zone set through
// Halvix, the new one for every process started afterwards, while a
// process already running keeps the zone it read. Seen from this process,
// a shell's date (a host program) and a fresh process of this program's own
// ABI (under qemu-mipsel in a target build).
#include <gtest/gtest.h>

#include <limits.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "hacore/HADevices.h"
#include "hacore/Halvix.h"
#include "testkit.h"

using namespace testkit;

namespace {

constexpr long kSummer = 1466510400;  // 21 June 2016, 12:00 UTC
constexpr long kWinter = 1482321600;  // 21 December 2016, 12:00 UTC
const char* const kBootZone = "EST5EDT,M3.2.0,M11.1.0";

#if defined(__mips__)
const char* const kAbi = "mipsel";
#else
const char* const kAbi = "host";
#endif

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

// "DD HH:MM ZONE" of the instant in this process's zone.
std::string localHere(long at) {
    time_t t = at;
    struct tm tm;
    if (!localtime_r(&t, &tm)) return "?";
    char buf[64];
    strftime(buf, sizeof buf, "%d %H:%M %Z", &tm);
    return buf;
}

// The same from date, started now.
std::string localInShell(long at) { return trimmed(run("date -d @" + std::to_string(at) + " '+%d %H:%M %Z'")); }

// The same from this program started anew, running only Print below.
std::string localInFreshProcess(long at) {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return "no /proc/self/exe";
    exe[n] = 0;
    const char* target = getenv("SIM_TARGET");
    std::string cmd = "LOCALZONE_AT=" + std::to_string(at) + " ";
    // A mipsel program starts a mipsel one through qemu, with the target
    // preload as router-init gives it.
    if (target && std::string(target) == "1")
        cmd += "env -u LD_PRELOAD qemu-mipsel -L /sim/sysroot -E LD_PRELOAD=libhalvixsim.so ";
    cmd +=
        std::string("'") + exe + "' --gtest_also_run_disabled_tests --gtest_filter=LocalZoneChild.DISABLED_Print 2>&1";
    std::string out = run(cmd);
    // "local: <abi>: <time>"
    std::string mark = std::string("local: ") + kAbi + ": ";
    size_t at0 = out.find(mark);
    if (at0 == std::string::npos) return "child said: " + out;
    at0 += mark.size();
    return out.substr(at0, out.find('\n', at0) - at0);
}

std::string escaped(const std::string& v) {
    std::string out;
    for (char c : v) out += c == '\n' ? std::string("\\n") : c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

std::string line(const std::string& text, int n) {
    size_t start = 0;
    for (int i = 0; i < n && start != std::string::npos; ++i) {
        start = text.find('\n', start);
        if (start != std::string::npos) ++start;
    }
    if (start == std::string::npos) return "";
    return text.substr(start, text.find('\n', start) - start);
}

// Sets the zone through the library and waits until the system runs by it.
void setZone(const std::string& tz) {
    ASSERT_EQ(Halvix().setHalvixTimeZone(const_cast<char*>(tz.c_str())), 1);
    ASSERT_TRUE(waitUntil([&] { return line(readFile("/sim/state/zone"), 0) == escaped(tz); }))
        << "the zone in force: " << readFile("/sim/state/zone");
}

class LocalZone : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(HADevices().initialize(), 1); }
    void TearDown() override { setZone(kBootZone); }
};

TEST_F(LocalZone, ProcessesRunInTheHubsZoneFromBoot) {
    char tz[180] = "";
    Halvix().getHalvixTimeZone(tz);
    ASSERT_STREQ(tz, kBootZone);
    EXPECT_EQ(localHere(kSummer), "21 08:00 EDT");
    EXPECT_EQ(localHere(kWinter), "21 07:00 EST");
    EXPECT_EQ(localInShell(kSummer), "21 08:00 EDT");
    EXPECT_EQ(localInFreshProcess(kWinter), "21 07:00 EST");
}

TEST_F(LocalZone, AChangeIsTheZoneOfTheProcessesStartedAfterwards) {
    ASSERT_EQ(localHere(kSummer), "21 08:00 EDT");
    setZone("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(localInShell(kSummer), "21 14:00 CEST");
    EXPECT_EQ(localInFreshProcess(kSummer), "21 14:00 CEST");
    EXPECT_EQ(localInFreshProcess(kWinter), "21 13:00 CET");
    // This process read its zone once, before the change.
    EXPECT_EQ(localHere(kSummer), "21 08:00 EDT");

    // A location of the table, through its TZ string.
    ASSERT_EQ(Halvix().setHalvixTimeZoneByLocation((char*)"Asia/Kolkata"), 1);
    ASSERT_TRUE(waitUntil([] { return line(readFile("/sim/state/zone"), 0) == "IST-5:30"; }));
    EXPECT_EQ(localInFreshProcess(kWinter), "21 17:30 IST");
    EXPECT_EQ(localInShell(kWinter), "21 17:30 IST");
    std::vector<std::string> log = logLines("zone");
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "\"CET-1CEST,M3.5.0,M10.5.0/3\" CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(log.back(), "\"IST-5:30\" IST-5:30");
}

struct Rule {
    const char* tz;
    const char* summer;  // local time at kSummer, then at kWinter
    const char* winter;
    const char* applied;  // the rule the processes run by (null: tz itself)
};

// Offsets of quarter and half hours, daylight time of half an hour,
// rules by Julian day, by zero-based day, with change times of seconds,
// past midnight and negative; a daylight zone without rules gets the
// default (New York's); anything not a POSIX TZ string is UTC.
const Rule kRules[] = {
    {"GMT0BST,M3.5.0/1,M10.5.0", "21 13:00 BST", "21 12:00 GMT", nullptr},
    {"IST-5:30", "21 17:30 IST", "21 17:30 IST", nullptr},
    {"NPT-5:45", "21 17:45 NPT", "21 17:45 NPT", nullptr},
    {"<+0330>-3:30", "21 15:30 +0330", "21 15:30 +0330", nullptr},
    {"NST3:30NDT,M3.2.0,M11.1.0", "21 09:30 NDT", "21 08:30 NST", nullptr},
    {"LHST-10:30LHST-11,M10.1.0,M4.1.0", "21 22:30 LHST", "21 23:00 LHST", nullptr},
    {"CHAST-12:45CHADT,M9.5.0/2:45,M4.1.0/3:45", "22 00:45 CHAST", "22 01:45 CHADT", nullptr},
    {"<-03>3<-02>,M3.5.0/-2,M10.5.0/-1", "21 10:00 -02", "21 09:00 -03", nullptr},
    {"XST3XDT,J60/2,J300/2", "21 10:00 XDT", "21 09:00 XST", nullptr},
    {"YST3YDT,59,299/25:30:10", "21 10:00 YDT", "21 09:00 YST", nullptr},
    {"EST5EDT4,M3.2.0/2:00:00,M11.1.0/2:00:00", "21 08:00 EDT", "21 07:00 EST", nullptr},
    {"EST5EDT", "21 08:00 EDT", "21 07:00 EST", "EST5EDT,M3.2.0,M11.1.0"},
    {"abc", "21 12:00 UTC", "21 12:00 UTC", "UTC0"},
    {"EST25", "21 12:00 UTC", "21 12:00 UTC", "UTC0"},
    {"ES5", "21 12:00 UTC", "21 12:00 UTC", "UTC0"},
    {"<AB>5", "21 12:00 UTC", "21 12:00 UTC", "UTC0"},
    {"EST5EDT,M13.1.0,M11.1.0", "21 12:00 UTC", "21 12:00 UTC", "UTC0"},
    {"EST5EDT,M3.6.0,M11.1.0", "21 12:00 UTC", "21 12:00 UTC", "UTC0"},
    {"EST5EDT,M3.2.0", "21 12:00 UTC", "21 12:00 UTC", "UTC0"},
    {"EST5EDT,J0,J300", "21 12:00 UTC", "21 12:00 UTC", "UTC0"},
    {"EST5EDT,M3.2.0/168,M11.1.0", "21 12:00 UTC", "21 12:00 UTC", "UTC0"},
    {"EST5:60", "21 12:00 UTC", "21 12:00 UTC", "UTC0"},
    {"EST5 ", "21 12:00 UTC", "21 12:00 UTC", "UTC0"},
    {"EST5\nEDT", "21 12:00 UTC", "21 12:00 UTC", "UTC0"},
};

TEST_F(LocalZone, TheRulesOfTheZone) {
    for (const Rule& r : kRules) {
        SCOPED_TRACE(escaped(r.tz));
        setZone(r.tz);
        EXPECT_EQ(line(readFile("/sim/state/zone"), 1), r.applied ? r.applied : r.tz);
        EXPECT_EQ(localInShell(kSummer), r.summer);
        EXPECT_EQ(localInShell(kWinter), r.winter);
    }
    // Why a value was not taken as it is, in the zone's log.
    std::vector<std::string> log = logLines("zone");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "\"EST5\\nEDT\" UTC0 (not a POSIX TZ string)");
    EXPECT_NE(readFile("/sim/state/log/zone").find("\"EST5EDT\" EST5EDT,M3.2.0,M11.1.0 (no rules: the default ones)\n"),
              std::string::npos);
}

// Run by localInFreshProcess in a program started for it.
TEST(LocalZoneChild, DISABLED_Print) {
    const char* at = getenv("LOCALZONE_AT");
    ASSERT_NE(at, nullptr);
    printf("local: %s: %s\n", kAbi, localHere(atol(at)).c_str());
}

}  // namespace
