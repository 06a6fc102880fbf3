// Interposes the system calls through which the libraries reach the
// router's drivers, and hands them to the stand-in drivers.
#include "sim.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxDrivers = 16;
constexpr int kMaxFds = 4096;

const SimDriver* g_drivers[kMaxDrivers];
int g_driver_count;
const SimDriver* g_fds[kMaxFds];
pthread_mutex_t g_record_lock = PTHREAD_MUTEX_INITIALIZER;

// The next definitions of what we interpose, looked up once when the library
// loads: calling dlsym inside an interposed call can re-enter a sanitizer's
// runtime at a bad moment (ThreadSanitizer's symbolizer opens files through
// open(), and dlsym then frees its error state with the wrong allocator).
const char* const kRealNames[] = {"open", "open64", "close", "ioctl"};
void* g_real[sizeof kRealNames / sizeof kRealNames[0]];

__attribute__((constructor)) void resolveReal() {
    for (size_t i = 0; i < sizeof kRealNames / sizeof kRealNames[0]; ++i) g_real[i] = dlsym(RTLD_NEXT, kRealNames[i]);
}

template <typename F>
F real(const char* name) {
    for (size_t i = 0; i < sizeof kRealNames / sizeof kRealNames[0]; ++i)
        if (g_real[i] && strcmp(kRealNames[i], name) == 0) return reinterpret_cast<F>(g_real[i]);
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

const SimDriver* driver_for(const char* path) {
    if (!path) return nullptr;
    for (int i = 0; i < g_driver_count; ++i)
        if (strcmp(g_drivers[i]->path, path) == 0) return g_drivers[i];
    return nullptr;
}

int attach(const SimDriver* d, int fd) {
    if (fd >= 0 && fd < kMaxFds) {
        g_fds[fd] = d;
        if (d->opened) d->opened(fd);
    }
    return fd;
}

const SimDriver* driver_of(int fd) { return (fd >= 0 && fd < kMaxFds) ? g_fds[fd] : nullptr; }

}  // namespace

void sim_register_driver(const SimDriver* driver) {
    if (g_driver_count < kMaxDrivers) g_drivers[g_driver_count++] = driver;
}

bool sim_fault(const char* name) {
    char path[256];
    snprintf(path, sizeof path, "/sim/state/faults/%s", name);
    struct stat st;
    return stat(path, &st) == 0;
}

void sim_record(const char* log, const char* fmt, ...) {
    char path[256];
    snprintf(path, sizeof path, "/sim/state/log/%s", log);
    pthread_mutex_lock(&g_record_lock);
    int fd = real<int (*)(const char*, int, ...)>("open")(path, O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) {
        char line[1024];
        va_list ap;
        va_start(ap, fmt);
        int n = vsnprintf(line, sizeof line - 1, fmt, ap);
        va_end(ap);
        if (n < 0) n = 0;
        if (n > (int)sizeof line - 2) n = sizeof line - 2;
        line[n++] = '\n';
        ssize_t w = write(fd, line, n);
        (void)w;
        real<int (*)(int)>("close")(fd);
    }
    pthread_mutex_unlock(&g_record_lock);
}

extern "C" {

static int open_common(const char* name, const char* path, int flags, mode_t mode) {
    const SimDriver* d = driver_for(path);
    if (d) {
        const char* base = strrchr(path, '/') + 1;
        char fault[128];
        snprintf(fault, sizeof fault, "%s-missing", base);
        if (sim_fault(fault)) {
            errno = ENOENT;
            return -1;
        }
        snprintf(fault, sizeof fault, "%s-open", base);
        if (sim_fault(fault)) {
            errno = EIO;
            return -1;
        }
    }
    int fd = real<int (*)(const char*, int, ...)>(name)(path, flags, mode);
    return d ? attach(d, fd) : fd;
}

// The mode argument comes only with flags that create a file.
static mode_t mode_arg(int flags, va_list ap) { return (flags & (O_CREAT | O_TMPFILE)) ? (mode_t)va_arg(ap, int) : 0; }

// open and open64 differ only in the next definition they call; a variadic
// function cannot hand its arguments on, so each is written out by this.
#define SIM_OPEN(name)                                \
    int name(const char* path, int flags, ...) {      \
        va_list ap;                                   \
        va_start(ap, flags);                          \
        mode_t mode = mode_arg(flags, ap);            \
        va_end(ap);                                   \
        return open_common(#name, path, flags, mode); \
    }
SIM_OPEN(open)
SIM_OPEN(open64)
#undef SIM_OPEN

int __open_2(const char* path, int flags) { return open_common("open", path, flags, 0); }
int __open64_2(const char* path, int flags) { return open_common("open64", path, flags, 0); }

int close(int fd) {
    const SimDriver* d = driver_of(fd);
    if (d) {
        g_fds[fd] = nullptr;
        if (d->closed) d->closed(fd);
    }
    return real<int (*)(int)>("close")(fd);
}

int ioctl(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    const SimDriver* d = driver_of(fd);
    if (d && d->ioctl) return d->ioctl(fd, request, arg);
    return real<int (*)(int, unsigned long, void*)>("ioctl")(fd, request, arg);
}

}  // extern "C"
