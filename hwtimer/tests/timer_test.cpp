// The timer through the driver stand-in: requests recorded by the driver,
// real tick signals counted by the handler, real files for the node.
#include "hwtimer/Timer.h"
#include "testkit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <dirent.h>
#include <functional>
#include <fcntl.h>
#include <memory>
#include <signal.h>
#include <sys/ioctl.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

static_assert(std::atomic<int>::is_always_lock_free, "counted from a signal handler");
std::atomic<int> g_ticks{0};
std::atomic<int> g_lastSignal{0};

void onTick(int sig) {
    g_lastSignal.store(sig);
    g_ticks.fetch_add(1);
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Generous: qemu and the sanitizers are slow, ticks only have to come.
bool waitForTicks(int atLeast, int seconds = 15) {
    return testkit::waitUntil([&] { return g_ticks.load() >= atLeast; }, seconds * 1000);
}

// Gives the timer the tick handler and a period of 10 ms, starts it and
// waits for its first tick.
void startTicking(Timer& t) {
    t.setTimerHandler(onTick);
    ASSERT_EQ(0, t.set_period(10));
    t.start();
    ASSERT_TRUE(waitForTicks(1));
}

// True when no tick arrives during `periods` periods, after letting a tick
// already on its way land.
bool staysQuiet(int periodMs, int periods = 30) {
    sleepMs(periodMs * 5);
    int before = g_ticks.load();
    sleepMs(periodMs * periods);
    return g_ticks.load() == before;
}

// What a request on no descriptor fails with: EBADF from the kernel (qemu
// answers ENOSYS for a request number it does not know before it looks at
// the descriptor).
std::string noFd() {
    errno = 0;
    ioctl(-1, 11, 0UL);
    return strerror(errno);
}

std::string pidLine() { return "pid " + std::to_string(getpid()); }

Lines timerLog() { return testkit::logLines("timer"); }

// Descriptor of this process on the timer node, -1 if none.
int driverFd() {
    DIR* d = opendir("/proc/self/fd");
    if (!d) return -1;
    int found = -1;
    while (dirent* e = readdir(d)) {
        char link[256];
        std::string path = std::string("/proc/self/fd/") + e->d_name;
        ssize_t n = readlink(path.c_str(), link, sizeof link - 1);
        if (n <= 0) continue;
        link[n] = 0;
        if (std::string(link) == "/dev/halvix_timer") found = atoi(e->d_name);
    }
    closedir(d);
    return found;
}

// Brings the process to "driver not open": a failed request gives the
// descriptor up.
void closeDriver() {
    testkit::Fault faultHalvixTimerIoctl10("halvix_timer-ioctl-10");
    testkit::captureStderr([] { Timer t; });
    faultHalvixTimerIoctl10.off();
    ASSERT_EQ(-1, driverFd());
}

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        testkit::clearLog("timer");
        g_ticks = 0;
    }
};

TEST_F(TimerTest, TicksArriveAsTheTickSignalAndAreCounted) {
    std::unique_ptr<Timer> t;
    std::string out = testkit::captureStdout([&] { t.reset(new Timer); });
    EXPECT_EQ("PID to send = " + std::to_string(getpid()) + "\n", out);
    t->setTimerHandler(onTick);
    EXPECT_EQ(0, t->set_period(10));
    t->start();
    ASSERT_TRUE(waitForTicks(3));
    EXPECT_EQ(SIGTSTP, g_lastSignal.load());
#if defined(__mips__)
    EXPECT_EQ(24, g_lastSignal.load());
#endif
    Lines log = timerLog();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(pidLine(), log[0]);
    EXPECT_EQ("period 10", log[1]);
    EXPECT_EQ("start", log.back());
    for (const std::string& l : log) EXPECT_EQ(std::string::npos, l.find("failed")) << l;
}

TEST_F(TimerTest, StopStopsTicksAndStartResendsPidAndLastPeriod) {
    Timer t;
    ASSERT_NO_FATAL_FAILURE(startTicking(t));
    ASSERT_EQ(0, t.set_period(20));
    t.stop();
    EXPECT_EQ("stop", timerLog().back());
    EXPECT_TRUE(staysQuiet(20));

    testkit::clearLog("timer");
    int stoppedAt = g_ticks.load();
    t.start();
    EXPECT_EQ((Lines{pidLine(), "period 20", "start"}), timerLog());
    EXPECT_TRUE(waitForTicks(stoppedAt + 2));

    // Stop and start alternate as often as wanted.
    t.stop();
    EXPECT_TRUE(staysQuiet(20));
    testkit::clearLog("timer");
    stoppedAt = g_ticks.load();
    t.start();
    EXPECT_EQ((Lines{pidLine(), "period 20", "start"}), timerLog());
    EXPECT_TRUE(waitForTicks(stoppedAt + 1));
}

TEST_F(TimerTest, DestroyingTheTimerStopsTheTicks) {
    {
        Timer t;
        ASSERT_NO_FATAL_FAILURE(startTicking(t));
        testkit::clearLog("timer");
    }
    EXPECT_EQ((Lines{"stop"}), timerLog());
    EXPECT_TRUE(staysQuiet(10));
}

TEST_F(TimerTest, StartWithoutHandlerKeepsTheProcessRunning) {
    // Left at its default, the tick signal would stop the process.
    signal(SIGTSTP, SIG_DFL);
    {
        Timer t;
        ASSERT_EQ(0, t.set_period(10));
        t.start();
        sleepMs(200);
        struct sigaction sa;
        ASSERT_EQ(0, sigaction(SIGTSTP, nullptr, &sa));
        EXPECT_EQ(SIG_IGN, sa.sa_handler);
        EXPECT_EQ("start", timerLog().back());
    }
    // A handler the application installed itself stays.
    signal(SIGTSTP, onTick);
    {
        Timer t;
        ASSERT_EQ(0, t.set_period(10));
        t.start();
        EXPECT_TRUE(waitForTicks(2));
    }
}

TEST_F(TimerTest, FailingRequestsPrintTheirMessages) {
    std::unique_ptr<Timer> t;
    int rc = 0;

    // Everything refused: the registration fails and gives the descriptor
    // up, so every later request fails without reaching the driver.
    testkit::Fault faultHalvixTimerIoctl("halvix_timer-ioctl");
    EXPECT_EQ("ioctl timer pid: Input/output error\n", testkit::captureStderr([&] { t.reset(new Timer); }));
    t->setTimerHandler(onTick);
    EXPECT_EQ("ioctl period: " + noFd() + "\n", testkit::captureStderr([&] { rc = t->set_period(10); }));
    EXPECT_EQ(-1, rc);
    EXPECT_EQ("ioctl period: " + noFd() + "\n", testkit::captureStderr([&] { t->stop(); }));
    EXPECT_EQ("ioctl timer pid: " + noFd() + "\nioctl period: " + noFd() + "\nioctl period: " + noFd() + "\n",
              testkit::captureStderr([&] { t->start(); }));
    EXPECT_EQ("ioctl period: " + noFd() + "\n", testkit::captureStderr([&] { t.reset(); }));
    EXPECT_EQ((Lines{pidLine() + " failed"}), timerLog());
    EXPECT_EQ(0, g_ticks.load());
    faultHalvixTimerIoctl.off();

    // Each step below: a new Timer, which opens the driver afresh without a
    // message, brought to where the step starts: with the tick handler or
    // not, given a period of 10 ms or not, then stopped or not.
    auto fresh = [&](bool handler, bool period, bool stop) {
        EXPECT_EQ("", testkit::captureStderr([&] { t.reset(new Timer); }));
        if (handler) t->setTimerHandler(onTick);
        if (period) {
            ASSERT_EQ(0, t->set_period(10));
        }
        if (stop) t->stop();
    };
    // With the fault switch on, the request prints the message and check()
    // holds; then the Timer goes.
    auto refused = [&](const char* fault, const std::function<void()>& request, const std::string& message,
                       const std::function<void()>& check) {
        testkit::Fault f(fault);
        EXPECT_EQ(message, testkit::captureStderr(request));
        check();
        f.off();
        testkit::captureStderr([&] { t.reset(); });
    };

    // Period refused.
    testkit::clearLog("timer");
    ASSERT_NO_FATAL_FAILURE(fresh(false, false, false));
    refused(
        "halvix_timer-ioctl-11", [&] { rc = t->set_period(10); }, "ioctl period: Input/output error\n",
        [&] {
            EXPECT_EQ(-1, rc);
            EXPECT_EQ((Lines{pidLine(), "period 10 failed"}), timerLog());
        });

    // Start refused: no tick comes.
    ASSERT_NO_FATAL_FAILURE(fresh(true, true, true));
    refused(
        "halvix_timer-ioctl-12", [&] { t->start(); }, "ioctl period: Input/output error\n",
        [&] {
            EXPECT_EQ("start failed", timerLog().back());
            EXPECT_TRUE(staysQuiet(10));
            EXPECT_EQ(0, g_ticks.load());
        });

    // Re-registration after a stop refused.
    ASSERT_NO_FATAL_FAILURE(fresh(false, true, true));
    refused(
        "halvix_timer-ioctl-10", [&] { t->start(); },
        "ioctl timer pid: Input/output error\nioctl period: " + noFd() + "\nioctl period: " + noFd() + "\n", [] {});

    // Stop refused.
    ASSERT_NO_FATAL_FAILURE(fresh(false, false, false));
    ASSERT_NO_FATAL_FAILURE(startTicking(*t));
    refused(
        "halvix_timer-ioctl-13", [&] { t->stop(); }, "ioctl period: Input/output error\n",
        [&] { EXPECT_EQ("stop failed", timerLog().back()); });
}

TEST_F(TimerTest, FailedRequestLeavesAFileReusingTheDescriptorAlone) {
    std::unique_ptr<Timer> t(new Timer);
    int old = driverFd();
    ASSERT_GE(old, 0);
    testkit::Fault faultHalvixTimerIoctl112("halvix_timer-ioctl-11");
    testkit::captureStderr([&] { t->set_period(10); });
    faultHalvixTimerIoctl112.off();
    ASSERT_EQ(-1, driverFd());

    // Another file now holds the descriptor number the driver had.
    int other = open("/tmp/other", O_CREAT | O_RDWR, 0644);
    ASSERT_GE(other, 0);
    if (other != old) {
        ASSERT_EQ(old, dup2(other, old));
        close(other);
    }
    testkit::clearLog("timer");
    EXPECT_EQ("ioctl period: " + noFd() + "\n", testkit::captureStderr([&] { t->stop(); }));
    EXPECT_EQ("ioctl period: " + noFd() + "\n", testkit::captureStderr([&] { t.reset(); }));
    EXPECT_NE(-1, fcntl(old, F_GETFD));
    EXPECT_EQ(3, write(old, "abc", 3));
    close(old);
    EXPECT_EQ("abc", testkit::readFile("/tmp/other"));
    EXPECT_TRUE(timerLog().empty());
}

TEST_F(TimerTest, MissingNodeIsMadeOnceAndOpened) {
    closeDriver();
    ASSERT_EQ(0, unlink("/dev/halvix_timer"));
    testkit::clearLog("mknod");
    testkit::clearLog("timer");
    {
        Timer t;
        EXPECT_TRUE(testkit::fileExists("/dev/halvix_timer"));
        // The major number comes from /proc/devices.
        EXPECT_EQ((Lines{"/dev/halvix_timer c 240 0"}), testkit::logLines("mknod"));
        EXPECT_GE(driverFd(), 0);
        EXPECT_EQ((Lines{pidLine()}), timerLog());
    }
    Timer t;
    ASSERT_NO_FATAL_FAILURE(startTicking(t));
    EXPECT_EQ(1u, testkit::logLines("mknod").size());
}

TEST_F(TimerTest, NodeThatCannotBeOpenedIsTriedAgainByTheNextTimer) {
    closeDriver();
    testkit::clearLog("mknod");
    testkit::clearLog("timer");
    testkit::Fault faultHalvixTimerMissing("halvix_timer-missing");
    std::unique_ptr<Timer> t;
    // mknod refuses (the node is there) and says so; the open fails again.
    std::string err = testkit::captureStderr([&] { t.reset(new Timer); });
    const std::string failed = "ioctl timer pid: " + noFd() + "\n";
    ASSERT_GE(err.size(), failed.size());
    EXPECT_EQ(failed, err.substr(err.size() - failed.size())) << err;
    EXPECT_EQ(-1, driverFd());
    EXPECT_EQ((Lines{"/dev/halvix_timer c 240 0"}), testkit::logLines("mknod"));
    EXPECT_TRUE(timerLog().empty());
    testkit::captureStderr([&] { t.reset(); });

    faultHalvixTimerMissing.off();
    EXPECT_EQ("", testkit::captureStderr([&] { t.reset(new Timer); }));
    EXPECT_EQ((Lines{pidLine()}), timerLog());
    ASSERT_NO_FATAL_FAILURE(startTicking(*t));
    EXPECT_EQ(1u, testkit::logLines("mknod").size());
}

}  // namespace
