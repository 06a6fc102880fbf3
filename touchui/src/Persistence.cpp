// Persistence: files of an application on the flash data partition. Every
// operation mounts the partition and unmounts it again.
#include "touchui/Persistence.h"

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

// Characters a name may carry into a command line; anything else could make
// the shell run more than the copy (the same rule as HAPersistence).
bool safe(const char* s) {
    if (!s) return false;
    for (; *s; ++s) {
        unsigned char c = (unsigned char)*s;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) continue;
        if (strchr("._-/+,:@%=~", c)) continue;
        return false;
    }
    return true;
}

// A name below the application's directory: safe, and no ".." component,
// which would reach files outside /data.
bool below(const char* s) {
    if (!safe(s)) return false;
    for (const char* c = s; *c; ++c)
        if (c[0] == '.' && c[1] == '.' && (c == s || c[-1] == '/') && (c[2] == 0 || c[2] == '/')) return false;
    return true;
}

bool exists(const char* path) {
    DIR* d = opendir(path);
    if (!d) return false;
    closedir(d);
    return true;
}

void shell(const char* cmd) {
    int rc = system(cmd);
    (void)rc;
}

void mountData() { shell("mount -t jffs2 /dev/mtdblock5 /data"); }
void umountData() { shell("umount /data"); }

// A command cut short by its 200-byte buffer would act on another file.
template <typename... A>
bool build(char* buf, const char* fmt, A... a) {
    int n = snprintf(buf, 200, fmt, a...);
    return (unsigned)n < 200u;  // a negative n (an error) fails too
}

// Runs a built command with the partition mounted; `ok` false: the command
// was refused, and `who` says so.
void runOnData(bool ok, const char* cmd, const char* who) {
    if (!ok) {
        fprintf(stderr, "%s: refusing unsafe path\n", who);
        return;
    }
    mountData();
    shell(cmd);
    umountData();
}

}  // namespace

Persistence::Persistence(char* first, char* second) {
    dir[0] = '\0';
    int n = snprintf(dir, sizeof dir - 1, "/apps/%s-%s", second ? second : "", first ? first : "");
    if ((unsigned)n >= sizeof dir - 1 || !below(dir)) {
        fprintf(stderr, "Persistence: refusing unsafe directory\n");
        dir[0] = '\0';
        return;
    }
    mountData();
    if (!exists("/data/apps")) shell("mkdir /data/apps");
    // The directory is below 150 bytes, so both lines fit their buffers.
    char path[200], cmd[200];
    snprintf(path, sizeof path, "/data%s", dir);
    if (!exists(path)) {
        snprintf(cmd, sizeof cmd, "mkdir /data%s", dir);
        shell(cmd);
    }
    umountData();
}

void Persistence::persist(char* source, char* name) {
    char cmd[200];
    runOnData(dir[0] && safe(source) && below(name) && build(cmd, "cp %s /data%s/%s", source, dir, name), cmd,
              "Persistence::persist");
}

void Persistence::depersist(char* name) {
    char cmd[200];
    runOnData(dir[0] && below(name) && build(cmd, "rm /data%s/%s", dir, name), cmd, "Persistence::depersist");
}

void Persistence::copyFile(char* name, char* destination) {
    char cmd[200];
    runOnData(dir[0] && below(name) && safe(destination) && build(cmd, "cp /data%s/%s  %s ", dir, name, destination),
              cmd, "Persistence::copyFile");
}
