#include "hacore/HAPersistence.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/mount.h>

namespace {

const unsigned long kMountFlags = MS_NOATIME | MS_SYNCHRONOUS;  // 1040

// Characters a file name may carry into a command line; anything else could
// make the shell run more than the copy.
bool safePath(const char* s, bool list) {
    if (!s) return false;
    for (; *s; ++s) {
        unsigned char c = (unsigned char)*s;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) continue;
        if (strchr("._-/+,:@%=~", c)) continue;
        if (list && strchr(" *?[]", c)) continue;
        return false;
    }
    return true;
}

bool mountData() { return mount("/dev/mtdblock5", "/data", "jffs2", kMountFlags, nullptr) == 0; }

bool dirExists(const char* path) {
    DIR* d = opendir(path);
    if (!d) return false;
    closedir(d);
    return true;
}

// Builds a command into a buffer of `size`; a command that does not fit is
// refused, since running a cut copy or delete would act on another file.
bool build(char* buf, size_t size, const char* fmt, const char* a, const char* b = "",
           const char* c = "") {
    int n = snprintf(buf, size, fmt, a, b, c);
    if (n < 0 || (size_t)n >= size) {
        fprintf(stderr, "HAPersistence: command too long: %s\n", buf);
        return false;
    }
    return true;
}

}  // namespace

HAPersistence::HAPersistence(char* a, char* b) {
    snprintf(dir, sizeof dir, "/apps/%s-%s", b ? b : "", a ? a : "");
    if (!mountData()) {
        system("logger failed mount HAPersistence");
        return;
    }
    system("logger success mount HAPersistence");
    if (!dirExists("/data/apps")) system("mkdir /data/apps");
    char path[200];
    snprintf(path, sizeof path, "/data%s", dir);
    if (!dirExists(path)) {
        char cmd[200];
        if (safePath(dir, false) && build(cmd, sizeof cmd, "mkdir /data%s", dir))
            system(cmd);
    }
    umount("/data");
}

HAPersistence::~HAPersistence() {}

int HAPersistence::run(const char* operation, const char* command) {
    char log[200];
    if (!mountData()) {
        snprintf(log, sizeof log, "logger failed mount HAPersistence::%s", operation);
        return system(log);
    }
    snprintf(log, sizeof log, "logger success mount HAPersistence::%s", operation);
    system(log);
    int rc = system(command);
    umount("/data");
    return rc;
}

int HAPersistence::persist(char* src, char* name) {
    char cmd[200];
    if (!safePath(src, false) || !safePath(name, false) || !safePath(dir, false)) {
        fprintf(stderr, "HAPersistence::persist: refusing unsafe path\n");
        return -1;
    }
    if (!build(cmd, sizeof cmd, "cp %s /data%s/%s 2> /dev/null", src, dir, name)) return -1;
    return run("persist", cmd);
}

int HAPersistence::persistmulti(char* srcs) {
    char cmd[500];
    if (!safePath(srcs, true) || !safePath(dir, false)) {
        fprintf(stderr, "HAPersistence::persistmulti: refusing unsafe path\n");
        return -1;
    }
    if (!build(cmd, sizeof cmd, "cp %s /data%s/ 2> /dev/null", srcs, dir)) return -1;
    return run("persistmulti", cmd);
}

int HAPersistence::depersist(char* name) {
    char cmd[200];
    if (!safePath(name, false) || !safePath(dir, false)) {
        fprintf(stderr, "HAPersistence::depersist: refusing unsafe path\n");
        return -1;
    }
    if (!build(cmd, sizeof cmd, "rm /data%s/%s", dir, name)) return -1;
    return run("depersist", cmd);
}

int HAPersistence::copyFile(char* name, char* dst) {
    char cmd[200];
    if (!safePath(name, false) || !safePath(dst, false) || !safePath(dir, false)) {
        fprintf(stderr, "HAPersistence::copyFile: refusing unsafe path\n");
        return -1;
    }
    if (!build(cmd, sizeof cmd, "cp /data%s/%s  %s ", dir, name, dst)) return -1;
    return run("copyFile", cmd);
}
