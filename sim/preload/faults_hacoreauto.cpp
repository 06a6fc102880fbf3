// Fault switches for the cron table editing of timed rules:
//   flock-ex                 flock(fd, LOCK_EX) fails (ENOLCK)
//   mkstemp-<name>           mkstemp() of a template /.../<name>.XXXXXX fails (EMFILE),
//                            e.g. mkstemp-temp for "/tmp/temp.XXXXXX"
#include "sim.h"

#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/file.h>

namespace {

// "<name>" of ".../<name>.XXXXXX", or false when the template has no such form.
bool templateName(const char* tmpl, char* out, size_t size) {
    if (!tmpl) return false;
    const char* base = strrchr(tmpl, '/');
    base = base ? base + 1 : tmpl;
    const char* dot = strchr(base, '.');
    size_t n = dot ? (size_t)(dot - base) : strlen(base);
    if (n == 0 || n >= size) return false;
    memcpy(out, base, n);
    out[n] = '\0';
    return true;
}

bool mkstempFault(const char* tmpl) {
    char name[64], fault[80];
    if (!templateName(tmpl, name, sizeof name)) return false;
    snprintf(fault, sizeof fault, "mkstemp-%s", name);
    return sim_fault(fault);
}

// The real mkstemp of the template, unless its fault switch is on.
int mkstempVia(int (*real)(char*), char* tmpl) {
    if (mkstempFault(tmpl)) {
        errno = EMFILE;
        return -1;
    }
    return real(tmpl);
}

}  // namespace

extern "C" {

int flock(int fd, int operation) {
    static auto real = reinterpret_cast<int (*)(int, int)>(dlsym(RTLD_NEXT, "flock"));
    if ((operation & LOCK_EX) && sim_fault("flock-ex")) {
        errno = ENOLCK;
        return -1;
    }
    return real(fd, operation);
}

int mkstemp(char* tmpl) {
    static auto real = sim_next<int (*)(char*)>("mkstemp");
    return mkstempVia(real, tmpl);
}

int mkstemp64(char* tmpl) {
    static auto real = sim_next<int (*)(char*)>("mkstemp64");
    return mkstempVia(real, tmpl);
}

}  // extern "C"
