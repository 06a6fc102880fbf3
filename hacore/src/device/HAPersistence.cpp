#include "hacore/HAPersistence.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
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

// Every name of an operation safe, or the refusal written for it.
bool allSafe(const char* operation, std::initializer_list<bool> checks) {
    for (bool ok : checks)
        if (!ok) {
            fprintf(stderr, "HAPersistence::%s: refusing unsafe path\n", operation);
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
bool build(char* buf, size_t size, const char* fmt, const char* a, const char* b = "", const char* c = "") {
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
        if (safePath(dir, false) && build(cmd, sizeof cmd, "mkdir /data%s", dir)) system(cmd);
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

// A copy onto the flash goes to a temporary name beside the target and is
// renamed over it only when whole, so that power lost during the copy, or a
// full partition, leaves the previous copy in place: /data holds the old or
// the new copy, never a cut one. The command is first built as the plain
// copy would be, so the same names fit or are refused as before.
int HAPersistence::persist(char* src, char* name) {
    char cmd[200];
    if (!allSafe("persist", {safePath(src, false), safePath(name, false), safePath(dir, false)})) return -1;
    if (!build(cmd, sizeof cmd, "cp %s /data%s/%s 2> /dev/null", src, dir, name)) return -1;
    char target[200], safe[1024];
    snprintf(target, sizeof target, "/data%s/%s", dir, name);
    if (!build(safe, sizeof safe,
               "t=%s; cp %s \"${t%%/*}/.${t##*/}.part\" 2> /dev/null && "
               "mv -f \"${t%%/*}/.${t##*/}.part\" \"$t\" || { rm -f \"${t%%/*}/.${t##*/}.part\"; false; }",
               target, src))
        return -1;
    return run("persist", safe);
}

int HAPersistence::persistmulti(char* srcs) {
    char cmd[500];
    if (!allSafe("persistmulti", {safePath(srcs, true), safePath(dir, false)})) return -1;
    if (!build(cmd, sizeof cmd, "cp %s /data%s/ 2> /dev/null", srcs, dir)) return -1;
    // Each source word (after the shell's globbing, as cp would get them)
    // copied on its own; the status is cp's: 1 if any copy failed.
    char safe[2048];
    if (!build(safe, sizeof safe,
               "d=/data%s; set -- %s; r=$(($# == 0)); for f; do t=\"$d/.${f##*/}.part\"; "
               "if cp \"$f\" \"$t\" 2> /dev/null; then mv -f \"$t\" \"$d/${f##*/}\" || r=1; "
               "else rm -f \"$t\"; r=1; fi; done; exit $r",
               dir, srcs))
        return -1;
    return run("persistmulti", safe);
}

int HAPersistence::depersist(char* name) {
    char cmd[200];
    if (!allSafe("depersist", {safePath(name, false), safePath(dir, false)})) return -1;
    if (!build(cmd, sizeof cmd, "rm /data%s/%s", dir, name)) return -1;
    return run("depersist", cmd);
}

int HAPersistence::copyFile(char* name, char* dst) {
    char cmd[200];
    if (!allSafe("copyFile", {safePath(name, false), safePath(dst, false), safePath(dir, false)})) return -1;
    if (!build(cmd, sizeof cmd, "cp /data%s/%s  %s ", dir, name, dst)) return -1;
    return run("copyFile", cmd);
}
