// The hardware timer /dev/halvix_timer. Requests, argument by value:
//   10 register the process to signal (pid > 0)
//   11 set the period, in milliseconds (> 0)
//   12 start (needs a registered process and a period)
//   13 stop
// While started, a thread of this process sends the tick signal to the
// registered process once per period. The tick is SIGTSTP of the process's
// own ABI: 24 on mipsel as on the router, 20 on x86.
// Every request is recorded to /sim/state/log/timer, one line each: "pid
// 1234", "period 10", "start", "stop" ("request N" for an unknown one), with
// " failed" appended when the request is refused.
// Fault switches: "halvix_timer-ioctl" fails every request with EIO,
// "halvix_timer-ioctl-N" fails request N only. As a driver's release would,
// closing the last descriptor on the device stops the ticks.
#include "sim.h"

#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/types.h>
#include <time.h>

namespace {

constexpr unsigned long kRegisterPid = 10;
constexpr unsigned long kSetPeriod = 11;
constexpr unsigned long kStart = 12;
constexpr unsigned long kStop = 13;

pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t g_wake;
bool g_thread;    // ticker thread running in this process
int g_open;       // descriptors open on the device
pid_t g_pid;      // registered process, 0 if none
int g_period_ms;  // 0 if none
bool g_running;
timespec g_next;  // next expiry, CLOCK_MONOTONIC

void add_ms(timespec& t, int ms) {
    t.tv_sec += ms / 1000;
    t.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (t.tv_nsec >= 1000000000L) {
        t.tv_sec += 1;
        t.tv_nsec -= 1000000000L;
    }
}

bool before(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

timespec now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t;
}

void* ticker(void*) {
    pthread_mutex_lock(&g_lock);
    for (;;) {
        if (!g_running) {
            pthread_cond_wait(&g_wake, &g_lock);
            continue;
        }
        timespec t = now();
        if (before(t, g_next)) {
            pthread_cond_timedwait(&g_wake, &g_lock, &g_next);
            continue;
        }
        // Sent under the lock: once a stop request returns, no tick follows.
        kill(g_pid, SIGTSTP);
        add_ms(g_next, g_period_ms);
        if (before(g_next, t)) {  // fell behind: no burst of missed ticks
            g_next = t;
            add_ms(g_next, g_period_ms);
        }
    }
    return nullptr;
}

// Called with g_lock held.
bool ensure_ticker() {
    if (g_thread) return true;
    // The ticker takes none of the process's signals, the tick included.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t th;
    g_thread = pthread_create(&th, &attr, ticker, nullptr) == 0;
    pthread_attr_destroy(&attr);
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return g_thread;
}

bool fault(unsigned long request) {
    char name[64];
    snprintf(name, sizeof name, "halvix_timer-ioctl-%lu", request);
    return sim_fault("halvix_timer-ioctl") || sim_fault(name);
}

void describe(char* out, size_t size, unsigned long request, long value) {
    switch (request) {
        case kRegisterPid:
            snprintf(out, size, "pid %ld", value);
            break;
        case kSetPeriod:
            snprintf(out, size, "period %ld", value);
            break;
        case kStart:
            snprintf(out, size, "start");
            break;
        case kStop:
            snprintf(out, size, "stop");
            break;
        default:
            snprintf(out, size, "request %lu", request);
            break;
    }
}

// Carries out a request; returns 0 or an errno value. Called with g_lock held.
int apply(unsigned long request, long value) {
    switch (request) {
        case kRegisterPid:
            if (value <= 0 || value > INT32_MAX) return EINVAL;
            g_pid = static_cast<pid_t>(value);
            return 0;
        case kSetPeriod:
            if (value <= 0 || value > INT32_MAX) return EINVAL;
            g_period_ms = static_cast<int>(value);
            if (g_running) {
                g_next = now();
                add_ms(g_next, g_period_ms);
            }
            return 0;
        case kStart:
            if (g_pid <= 0 || g_period_ms <= 0) return EINVAL;
            if (!ensure_ticker()) return ENOMEM;
            g_running = true;
            g_next = now();
            add_ms(g_next, g_period_ms);
            return 0;
        case kStop:
            g_running = false;
            return 0;
        default:
            return ENOTTY;
    }
}

int timer_ioctl(int fd, unsigned long request, void* arg) {
    // The argument is an integer passed in the pointer-sized slot; it is
    // as wide as long on both ABIs.
    long value = static_cast<long>(reinterpret_cast<intptr_t>(arg));
    if (request == kRegisterPid || request == kSetPeriod) value = static_cast<int>(value);
    char what[64];
    describe(what, sizeof what, request, value);
    if (fault(request)) {
        sim_record("timer", "%s failed", what);
        errno = EIO;
        return -1;
    }
    pthread_mutex_lock(&g_lock);
    int err = apply(request, value);
    if (!err) pthread_cond_broadcast(&g_wake);
    pthread_mutex_unlock(&g_lock);
    sim_record("timer", err ? "%s failed" : "%s", what);
    if (err) {
        errno = err;
        return -1;
    }
    return 0;
}

void timer_opened(int) {
    pthread_mutex_lock(&g_lock);
    ++g_open;
    pthread_mutex_unlock(&g_lock);
}

void timer_closed(int) {
    pthread_mutex_lock(&g_lock);
    if (g_open > 0 && --g_open == 0) g_running = false;
    pthread_mutex_unlock(&g_lock);
}

// A forked child has no ticker thread; it starts over stopped.
void before_fork() { pthread_mutex_lock(&g_lock); }
void after_fork_parent() { pthread_mutex_unlock(&g_lock); }
void after_fork_child() {
    g_thread = false;
    g_running = false;
    pthread_mutex_unlock(&g_lock);
}

const SimDriver kTimer = {"/dev/halvix_timer", timer_ioctl, timer_opened, timer_closed};

struct Register {
    Register() {
        pthread_condattr_t ca;
        pthread_condattr_init(&ca);
        pthread_condattr_setclock(&ca, CLOCK_MONOTONIC);
        pthread_cond_init(&g_wake, &ca);
        pthread_condattr_destroy(&ca);
        pthread_atfork(before_fork, after_fork_parent, after_fork_child);
        sim_register_driver(&kTimer);
    }
} g_register;

}  // namespace
