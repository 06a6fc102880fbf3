// Fault switch for shell pipes:
//   popen-<program>        popen() of a command whose first word is <program>
//                          fails (EMFILE), e.g. popen-nvram_get
#include "sim.h"

#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>

namespace {

// Looked up once (see preload.cpp: no dlsym inside an interposed call).
using popenFn = FILE* (*)(const char*, const char*);
popenFn realPopen;
__attribute__((constructor)) void resolve() { realPopen = reinterpret_cast<popenFn>(dlsym(RTLD_NEXT, "popen")); }

}  // namespace

extern "C" {

FILE* popen(const char* command, const char* mode) {
    if (command) {
        const char* p = command + strspn(command, " \t");
        size_t n = strcspn(p, " \t;|&");
        char fault[64];
        snprintf(fault, sizeof fault, "popen-%.*s", (int)(n < 40 ? n : 40), p);
        if (sim_fault(fault)) {
            errno = EMFILE;
            return nullptr;
        }
    }
    // A library's constructor may run a command before ours has run.
    if (!realPopen) realPopen = reinterpret_cast<popenFn>(dlsym(RTLD_NEXT, "popen"));
    return realPopen(command, mode);
}

}  // extern "C"
