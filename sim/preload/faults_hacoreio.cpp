// Fault switches for threads and file locks:
//   pthread_create           pthread_create() fails (EAGAIN: no resources for
//                            another thread)
//   fcntl-ofd                fcntl() with an open file description lock
//                            (F_OFD_SETLK, F_OFD_SETLKW, F_OFD_GETLK) fails
//                            (EINVAL), as on a kernel before 3.15
#include "sim.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>

namespace {

bool ofdRefused(int cmd) {
    return (cmd == F_OFD_SETLK || cmd == F_OFD_SETLKW || cmd == F_OFD_GETLK) && sim_fault("fcntl-ofd");
}

// Every command takes at most one argument, an integer or a pointer.
void* argument(va_list ap) { return va_arg(ap, void*); }

using Fcntl = int (*)(int, int, ...);

int refuseOrCall(Fcntl real, int fd, int cmd, void* arg) {
    if (ofdRefused(cmd)) {
        errno = EINVAL;
        return -1;
    }
    return real(fd, cmd, arg);
}

}  // namespace

extern "C" {

int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg) {
    static auto real = reinterpret_cast<int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*)>(
        dlsym(RTLD_NEXT, "pthread_create"));
    if (sim_fault("pthread_create")) return EAGAIN;
    return real(thread, attr, start, arg);
}

int fcntl(int fd, int cmd, ...) {
    static auto real = reinterpret_cast<Fcntl>(dlsym(RTLD_NEXT, "fcntl"));
    va_list ap;
    va_start(ap, cmd);
    void* arg = argument(ap);
    va_end(ap);
    return refuseOrCall(real, fd, cmd, arg);
}

int fcntl64(int fd, int cmd, ...) {
    static auto real = reinterpret_cast<Fcntl>(dlsym(RTLD_NEXT, dlsym(RTLD_NEXT, "fcntl64") ? "fcntl64" : "fcntl"));
    va_list ap;
    va_start(ap, cmd);
    void* arg = argument(ap);
    va_end(ap);
    return refuseOrCall(real, fd, cmd, arg);
}

}  // extern "C"
