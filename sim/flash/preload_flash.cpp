// The jffs2 data partition /dev/mtdblock5, mounted on /data. The sandbox
// keeps /data as a plain directory; a mount records the request and can be
// made to fail with the fault switch "mount".
#include "sim.h"

#include <errno.h>
#include <string.h>
#include <sys/mount.h>

namespace {
const auto realMount = sim_next<decltype(&::mount)>("mount");
const auto realUmount = sim_next<decltype(&::umount)>("umount");
const auto realUmount2 = sim_next<decltype(&::umount2)>("umount2");

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
