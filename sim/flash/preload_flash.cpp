// The jffs2 data partition /dev/mtdblock5, mounted on /data. The sandbox
// keeps /data as a plain directory; a mount records the request and can be
// made to fail with the fault switch "mount".
#include "sim.h"

#include <dlfcn.h>
#include <errno.h>
#include <string.h>
#include <sys/mount.h>

namespace {
// Looked up once (see preload.cpp: no dlsym inside an interposed call).
using mountFn = int (*)(const char*, const char*, const char*, unsigned long, const void*);
using umountFn = int (*)(const char*);
using umount2Fn = int (*)(const char*, int);
mountFn realMount;
umountFn realUmount;
umount2Fn realUmount2;
__attribute__((constructor)) void resolve() {
    realMount = reinterpret_cast<mountFn>(dlsym(RTLD_NEXT, "mount"));
    realUmount = reinterpret_cast<umountFn>(dlsym(RTLD_NEXT, "umount"));
    realUmount2 = reinterpret_cast<umount2Fn>(dlsym(RTLD_NEXT, "umount2"));
}

bool is_flash(const char* source) { return source && (strcmp(source, "/dev/mtdblock5") == 0); }
}  // namespace

extern "C" {

int mount(const char* source, const char* target, const char* fstype, unsigned long flags, const void* data) {
    if (is_flash(source)) {
        if (sim_fault("mount")) {
            sim_record("mounts", "mount %s %s %s %lu failed", source, target ? target : "", fstype ? fstype : "",
                       flags);
            errno = ENODEV;
            return -1;
        }
        sim_record("mounts", "mount %s %s %s %lu", source, target ? target : "", fstype ? fstype : "", flags);
        return 0;
    }
    return realMount(source, target, fstype, flags, data);
}

int umount(const char* target) {
    if (target && strcmp(target, "/data") == 0) {
        sim_record("mounts", "umount %s", target);
        return 0;
    }
    return realUmount(target);
}

int umount2(const char* target, int flags) {
    if (target && strcmp(target, "/data") == 0) {
        sim_record("mounts", "umount %s", target);
        return 0;
    }
    return realUmount2(target, flags);
}

}  // extern "C"
