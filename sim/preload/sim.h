// Shared pieces of the driver stand-ins loaded into every process of the
// virtual router (LD_PRELOAD).
#pragma once
#include <cstdarg>
#include <cstddef>
#include <dlfcn.h>

// A stand-in driver: open() of `path` is serviced by it.
struct SimDriver {
    const char* path;
    // ioctl on a descriptor opened on `path`; returns as ioctl does.
    int (*ioctl)(int fd, unsigned long request, void* arg);
    // Optional hooks.
    void (*opened)(int fd);
    void (*closed)(int fd);
};

// Registers a driver; called from static constructors of the driver files.
void sim_register_driver(const SimDriver* driver);

// True when the fault switch /sim/state/faults/<name> exists.
bool sim_fault(const char* name);

// Appends one formatted line to /sim/state/log/<log>.
void sim_record(const char* log, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// The next definition of an interposed function, typed as F. Look it up once,
// when the library loads (see preload.cpp: no dlsym inside an interposed call).
template <typename F>
F sim_next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
