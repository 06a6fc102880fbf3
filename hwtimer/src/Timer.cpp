// The router's hardware timer: the driver is told which process to signal
// and at what period, and sends it the tick signal on every expiry.
#include "hwtimer/Timer.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

// The driver sends signal 24, which is SIGTSTP in the MIPS numbering of
// Linux signals. Naming it SIGTSTP rather than 24 keeps the handler on the
// driver's signal on every ABI we build for (on x86, 24 is SIGXCPU and
// SIGTSTP is 20; the host simulator sends SIGTSTP of its own ABI).
#if defined(__mips__)
static_assert(SIGTSTP == 24, "the timer driver ticks with signal 24");
#endif

static_assert(sizeof(Timer) == sizeof(void (*)(int)), "Timer holds only its handler");

namespace {

constexpr int kTickSignal = SIGTSTP;

// Driver requests; the argument is passed by value.
constexpr unsigned long kRegisterPid = 10;
constexpr unsigned long kSetPeriod = 11;
constexpr unsigned long kStart = 12;
constexpr unsigned long kStop = 13;

const char kDevice[] = "/dev/halvix_timer";
// The driver's major number is assigned when it loads; the node takes it
// from /proc/devices.
const char kMakeNode[] = "mknod /dev/halvix_timer c `cat /proc/devices | grep halvix_timer | awk '{print $1}'` 0";

// Process-wide: one driver descriptor and one registration per process.
int timerFd = -1;
bool driverOpen = false;
pid_t timerPid = 0;
int timerPeriod = 0;
bool timerStopped = false;

// Sends one request. A failed request gives up the descriptor; it is
// forgotten as well, so later requests fail on it (EBADF) instead of
// reaching a file that reuses the number, and the next Timer opens the
// driver afresh.
bool request(unsigned long req, long arg, const char* what) {
    if (ioctl(timerFd, req, static_cast<unsigned long>(arg)) >= 0) return true;
    perror(what);
    if (timerFd >= 0) close(timerFd);
    timerFd = -1;
    driverOpen = false;
    return false;
}

// Installs the tick handler. Without one, the default action of the signal
// (stopping the process) is replaced by ignoring it, but a handler the
// application installed itself is left in place.
void installHandler(void (*handler)(int)) {
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    if (handler) {
        sa.sa_handler = handler;
    } else {
        struct sigaction current;
        if (sigaction(kTickSignal, nullptr, &current) == 0 && current.sa_handler != SIG_DFL) return;
        sa.sa_handler = SIG_IGN;
    }
    sigaction(kTickSignal, &sa, nullptr);
}

}  // namespace

Timer::Timer() : handler(nullptr) {
    timerPid = getpid();
    openDriver();
    printf("PID to send = %d\n", static_cast<int>(timerPid));
    request(kRegisterPid, timerPid, "ioctl timer pid");
}

Timer::~Timer() { stop(); }

void Timer::openDriver() {
    if (driverOpen) return;
    timerFd = open(kDevice, O_RDONLY);
    if (timerFd < 0) {
        int rc = system(kMakeNode);
        (void)rc;
        timerFd = open(kDevice, O_RDONLY);
    }
    // Only a descriptor we really hold counts: a node that could not be made
    // is tried again by the next Timer.
    driverOpen = timerFd >= 0;
}

int Timer::set_period(int period) {
    timerPeriod = period;
    return request(kSetPeriod, period, "ioctl period") ? 0 : -1;
}

void Timer::start() {
    if (timerStopped) {
        request(kRegisterPid, timerPid, "ioctl timer pid");
        request(kSetPeriod, timerPeriod, "ioctl period");
    }
    // The handler goes in before the first tick can arrive: until then a
    // tick would stop the process.
    installHandler(handler);
    request(kStart, 0, "ioctl period");
    timerStopped = false;
}

void Timer::stop() {
    request(kStop, 0, "ioctl period");
    timerStopped = true;
}

void Timer::setTimerHandler(void (*h)(int)) { handler = h; }
