// Fault switches for threads:
//   pthread_create           pthread_create() fails (EAGAIN: no resources for
//                            another thread)
#include "sim.h"

#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>

extern "C" {

int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg) {
    static auto real = reinterpret_cast<int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*)>(
        dlsym(RTLD_NEXT, "pthread_create"));
    if (sim_fault("pthread_create")) return EAGAIN;
    return real(thread, attr, start, arg);
}

}  // extern "C"
