// The cron table of timed rules, through the real crontab with the
// sandbox's private spool: the lines after updateCronjobs and
// updateWeatherCronjob, other lines kept, refused fields that would run as
// commands (a marker file shows that nothing ran), and concurrent updates.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "automation_util.h"
#include "hacore/Rule.h"

using namespace testkit;
using namespace autotest;

namespace {

const char kStore[] = "/tmp/rdb";
const char kMarker[] = "/tmp/marker";
const char kOthers[] =
    "MAILTO=\"\"\n"
    "0 3 * * * /usr/bin/backup --quiet\n"
    "30 2 * * * cd /;runRule 12\n"
    "15 1 * * * cd /;runRule 1\n";

std::string crontab() { return run("crontab -l 2>/dev/null"); }

void installCrontab(const std::string& text) {
    writeFile("/tmp/cron-seed", text);
    run("crontab /tmp/cron-seed");
    removeFile("/tmp/cron-seed");
}

// Lays a rule down as the RSC server stores it, its triggers valid (no
// request is needed to read it back).
void putRule(int id, const std::vector<RuleTrigger>& ts) {
    std::string n = std::to_string(id);
    putText(kStore, n, n);
    putText(kStore, n + ".NM", "rule " + n);
    putText(kStore, n + ".VA", "1");
    putText(kStore, n + ".RC", "0");
    putText(kStore, n + ".TC", std::to_string(ts.size()));
    for (size_t k = 0; k < ts.size(); ++k) {
        RuleTrigger stored = ts[k];
        stored.valid = 1;
        put(kStore, n + ".T" + std::to_string(k + 1), &stored, sizeof stored);
    }
}

bool tempFilesLeft() { return !run("ls /tmp | grep '^temp'").empty(); }

class Cron : public ::testing::Test {
protected:
    void SetUp() override {
        run("crontab -r 2>/dev/null");
        removeFile(kStore);
        removeFile(kMarker);
        setRscMode("");
        clearReceived("rsc");
    }
    void TearDown() override { EXPECT_FALSE(fileExists(kMarker)) << "a field ran as a command"; }
};

TEST_F(Cron, FirstTimeTriggerReplacesTheRulesLineAndKeepsTheOthers) {
    installCrontab(kOthers);
    putRule(1, {deviceTrigger(4, 1, "true"), timeTrigger(6, 45, "*", "*", "1-5"), timeTrigger(7, 0, "*", "*", "*")});
    Rules r(1);
    r.updateCronjobs();
    const std::string want =
        "MAILTO=\"\"\n"
        "0 3 * * * /usr/bin/backup --quiet\n"
        "30 2 * * * cd /;runRule 12\n"
        "45\t6\t*\t*\t1-5\tcd /;runRule 1\n";
    EXPECT_EQ(crontab(), want);
    r.updateCronjobs();
    EXPECT_EQ(crontab(), want) << "one line per rule";
    EXPECT_FALSE(tempFilesLeft());

    putRule(2, {timeTrigger(22, 5, "1,15", "jan-mar", "*")});
    Rules(2).updateCronjobs();
    EXPECT_EQ(crontab(), want + "5\t22\t1,15\tjan-mar\t*\tcd /;runRule 2\n");
}

TEST_F(Cron, RulesWithoutTimeTriggersRunNothing) {
    putRule(3, {deviceTrigger(4, 1, "true"), weatherTrigger(1, "0")});
    Rules(3).updateCronjobs();
    EXPECT_EQ(crontab(), "") << "no table was made";
    installCrontab(kOthers);
    Rules(3).updateCronjobs();
    EXPECT_EQ(crontab(), kOthers);
    putRule(4, {});
    Rules(4).updateCronjobs();
    EXPECT_EQ(Rules(4).updateWeatherCronjob((char*)"30", (char*)"6", 0), 0);
    EXPECT_EQ(crontab(), kOthers);
}

TEST_F(Cron, SunTimesWithTheirOffsets) {
    struct Case {
        const char* offset;
        int triggerKind;  // 1 sunrise, 2 sunset
        const char* minutes;
        const char* hours;
        int kind;
        int result;
        const char* line;  // null: table unchanged
        const char* trace;
    };
    const Case cases[] = {
        {"-15", 1, "30", "6", 0, 1, "15\t6\t*\t*\t*\tcd /;runRule 7\n",
         "time in int=390\nweather value=15\nUpdated time in int=375\nTime after update=6:15\n"},
        {"0", 1, "30", "6", 0, 1, "30\t6\t*\t*\t*\tcd /;runRule 7\n", ""},
        {"", 2, "12", "17", 1, 1, "12\t17\t*\t*\t*\tcd /;runRule 7\n",
         "time in int=1032\nweather value=\nUpdated time in int=1032\nTime after update=17:12\n"},
        {"45", 2, "30", "23", 1, 1, "15\t0\t*\t*\t*\tcd /;runRule 7\n",
         "time in int=1410\nweather value=45\nUpdated time in int=1455\nTime after update=0:15\n"},
        {"-90", 1, "10", "0", 0, 1, "40\t22\t*\t*\t*\tcd /;runRule 7\n",
         "time in int=10\nweather value=90\nUpdated time in int=-80\nTime after update=22:40\n"},
        {"-15", 1, "30", "6", 1, 1, nullptr, ""},  // sunset asked, sunrise trigger
        {"-15", 1, "30", "6", 2, 0, nullptr, "Rule:Invalid flag=2\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("offset '") + c.offset + "' kind " + std::to_string(c.kind));
        installCrontab(kOthers);
        putRule(7, {deviceTrigger(4, 1, "true"), weatherTrigger(c.triggerKind, c.offset), weatherTrigger(2, "5")});
        Rules r(7);
        int result = -1;
        std::string out =
            captureStdout([&] { result = r.updateWeatherCronjob((char*)c.minutes, (char*)c.hours, c.kind); });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(out, c.trace);
        EXPECT_EQ(crontab(), std::string(kOthers) + (c.line ? c.line : ""));
    }
    putRule(8, {deviceTrigger(4, 1, "true")});
    EXPECT_EQ(Rules(8).updateWeatherCronjob((char*)"1", (char*)"2", 0), 1) << "no weather trigger";
}

TEST_F(Cron, InjectedTextNeverRunsAndLeavesTheTableIntact) {
    installCrontab(kOthers);
    const char* const hostile[] = {
        "30;touch /tmp/marker",
        "$(touch /tmp/marker)",
        "`touch /tmp/marker`",
        "6\"; touch /tmp/marker; \"",
        "6\n* * * * * touch /tmp/marker",
        "6\t7",
        "'",
        "-12",
        "--",
        "",
        "100",
        "0x1",
        " 6",
    };
    putRule(9, {weatherTrigger(1, "-15")});
    Rules r(9);
    for (const char* h : hostile) {
        SCOPED_TRACE(h);
        EXPECT_EQ(r.updateWeatherCronjob((char*)h, (char*)"6", 0), 0);
        EXPECT_EQ(r.updateWeatherCronjob((char*)"30", (char*)h, 0), 0);
    }
    EXPECT_EQ(r.updateWeatherCronjob(nullptr, (char*)"6", 0), 0);
    EXPECT_EQ(crontab(), kOthers);

    // Stored by some other writer: a weather offset and cron fields that
    // would run as commands.
    const char* const offsets[] = {
        "-15;touch /tmp/marker", "$(touch /tmp/marker)", "1`touch /tmp/marker`", "-", "12345", "+5"};
    for (const char* o : offsets) {
        SCOPED_TRACE(o);
        putRule(10, {weatherTrigger(1, o)});
        EXPECT_EQ(Rules(10).updateWeatherCronjob((char*)"30", (char*)"6", 0), 0);
    }
    struct Fields {
        int hour, minute;
        const char *day, *month, *weekday;
    };
    const Fields fields[] = {
        {6, 0, "*;touch /tmp/marker", "*", "*"},
        {6, 0, "*", "$(touch /tmp/marker)", "*"},
        {6, 0, "*", "*", "`touch /tmp/marker`"},
        {6, 0, "*", "*", "1\ntouch /tmp/marker"},
        {6, 0, "\"", "*", "*"},
        {6, 0, "", "*", "*"},
        {24, 0, "*", "*", "*"},
        {6, -1, "*", "*", "*"},
    };
    for (const Fields& f : fields) {
        SCOPED_TRACE(std::string(f.day) + "|" + f.month + "|" + f.weekday);
        putRule(11, {timeTrigger(f.hour, f.minute, f.day, f.month, f.weekday)});
        std::string err = captureStderr([] { Rules(11).updateCronjobs(); });
        EXPECT_NE(err.find("Rule:refusing cron line for rule 11"), std::string::npos) << err;
    }
    EXPECT_EQ(crontab(), kOthers);
    EXPECT_FALSE(tempFilesLeft());
}

TEST_F(Cron, ConcurrentUpdatesKeepEveryLine) {
    installCrontab(kOthers);
    const int kRules = 6, kRounds = 4;
    for (int id = 21; id < 21 + kRules; ++id) putRule(id, {timeTrigger(id - 20, id - 10, "*", "*", "*")});
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> children;
    for (int id = 21; id < 21 + kRules; ++id) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(gate[1]);
            char c;
            if (read(gate[0], &c, 1) < 0) _exit(2);  // all start together
            Rules r(id);
            for (int i = 0; i < kRounds; ++i) r.updateCronjobs();
            _exit(0);
        }
        children.push_back(pid);
    }
    close(gate[0]);
    close(gate[1]);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::string want = kOthers;
    std::string got = crontab();
    EXPECT_EQ(got.substr(0, want.size()), want);
    for (int id = 21; id < 21 + kRules; ++id) {
        std::string line = std::to_string(id - 10) + "\t" + std::to_string(id - 20) + "\t*\t*\t*\tcd /;runRule " +
                           std::to_string(id) + "\n";
        size_t at = got.find(line);
        EXPECT_NE(at, std::string::npos) << line;
        if (at != std::string::npos) {
            EXPECT_EQ(got.find(line, at + 1), std::string::npos) << "twice: " << line;
        }
    }
    EXPECT_EQ(std::count(got.begin(), got.end(), '\n'), 4 + kRules);
    EXPECT_FALSE(tempFilesLeft());
}

TEST(CronFields, PlainFieldsOnly) {
    std::string sixty(60, '1');
    struct Case {
        bool (*check)(const char*);
        const char* text;
        bool want;
    } cases[] = {
        {isCronDayField, "*/2", true},          {isCronDayField, "1-31/5", true},
        {isCronDayField, "1234", false},        {isCronDayField, "5/2", false},
        {isCronDayField, "x-5", false},         {isCronDayField, "1-x", false},
        {isCronDayField, "1-40", false},        {isCronDayField, "1,", false},
        {isCronDayField, "*/40", false},        {isCronDayField, nullptr, false},
        {isCronDayField, sixty.c_str(), false}, {isCronMonthField, "JAN-mar", true},
        {isCronMonthField, "jan-x", false},     {isCronMonthField, "june", false},
        {isCronWeekdayField, "sun-sat", true},  {isCronWeekdayField, "sat-sun", false},
        {isCronWeekdayField, "7", true},
    };
    for (const Case& c : cases) EXPECT_EQ(c.check(c.text), c.want) << (c.text ? c.text : "(null)");
}

// The lock or the temporary files cannot be had: nothing runs, the table and
// /tmp stay as they were.
TEST_F(Cron, NoLockOrNoTemporaryFileChangesNothing) {
    installCrontab(kOthers);
    putRule(5, {timeTrigger(6, 30, "*", "*", "*")});
    putRule(6, {weatherTrigger(1, "-15")});
    Rules timed(5), sun(6);
    const char kLock[] = "/tmp/.runRule-cron.lock";
    struct Case {
        const char* fault;  // null: the lock's name taken by a directory
        const char* message;
    } cases[] = {
        {nullptr, "cron lock: Is a directory\n"},
        {"flock-ex", "cron lock: No locks available\n"},
        {"mkstemp-temp", "cron temporary file: Too many open files\n"},
        {"mkstemp-temp1", "cron temporary file: Too many open files\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault ? c.fault : "directory");
        std::unique_ptr<Fault> f;
        if (c.fault) {
            f.reset(new Fault(c.fault));
        } else {
            removeFile(kLock);
            ASSERT_EQ(mkdir(kLock, 0700), 0);
        }
        std::string err = captureStderr([&] { timed.updateCronjobs(); });
        EXPECT_EQ(err, c.message);
        int result = -1;
        err = captureStderr(
            [&] { captureStdout([&] { result = sun.updateWeatherCronjob((char*)"30", (char*)"6", 0); }); });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(err, c.message);
        f.reset();
        if (!c.fault) rmdir(kLock);
        EXPECT_EQ(crontab(), kOthers);
        EXPECT_FALSE(tempFilesLeft());
    }
    timed.updateCronjobs();
    EXPECT_EQ(crontab(), std::string(kOthers) + "30\t6\t*\t*\t*\tcd /;runRule 5\n");
}

TEST_F(Cron, MissingSunTimeTextsAreNamed) {
    putRule(9, {weatherTrigger(2, "5")});
    Rules r(9);
    std::string err = captureStderr([&] { EXPECT_EQ(r.updateWeatherCronjob((char*)"30", nullptr, 1), 0); });
    EXPECT_EQ(err, "Rule:refusing sun time (null):30 for rule 9\n");
    EXPECT_EQ(crontab(), "");
}

}  // namespace
