// Faults of the flash partition met by a copy onto /data (what the shell's
// cp writes there):
//   /sim/state/faults/flash-full  the partition takes only as many more bytes
//                                 as the switch file says (empty: none); a
//                                 write beyond fails with ENOSPC, as jffs2's
//                                 would;
//   /sim/state/faults/flash-cut   the copying process dies (SIGKILL) once it
//                                 has written as many bytes as the file says
//                                 (empty: at its first write): power lost in
//                                 the middle of a copy.
// Only cp is touched, so the test process itself writes /data freely.
#include "sim.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace {

long long written = 0;  // bytes this process wrote to /data

const auto realOpen = sim_next<int (*)(const char*, int, ...)>("open");
const auto realWrite = sim_next<decltype(&::write)>("write");
const auto realCopy = sim_next<ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned)>("copy_file_range");

bool isCp() { return strcmp(program_invocation_short_name, "cp") == 0; }

bool onFlash(int fd) {
    char link[64], path[512];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0) return false;
    path[n] = '\0';
    return strncmp(path, "/data/", 6) == 0;
}

// The number held by a fault switch, or -1 when the switch is off.
long long faultBytes(const char* name) {
    if (!sim_fault(name)) return -1;
    char path[256], text[32] = {0};
    snprintf(path, sizeof path, "/sim/state/faults/%s", name);
    int fd = realOpen(path, O_RDONLY);
    if (fd < 0) return 0;
    ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    return n > 0 ? atoll(text) : 0;
}

// A write to the flash under the faults; true when they apply (result in *r).
bool faultedWrite(int fd, const void* buf, size_t len, ssize_t* r) {
    const long long room = faultBytes("flash-full"), cut = faultBytes("flash-cut");
    if (room < 0 && cut < 0) return false;
    if (!onFlash(fd)) return false;
    size_t n = len;
    if (cut >= 0 && written + (long long)n >= cut) {
        n = cut > written ? size_t(cut - written) : 0;
        if (n) realWrite(fd, buf, n);
        sim_record("flash", "copy killed after %lld bytes", cut);
        raise(SIGKILL);
    }
    if (room >= 0 && written + (long long)n > room) {
        n = room > written ? size_t(room - written) : 0;
        if (n == 0) {
            sim_record("flash", "partition full");
            errno = ENOSPC;
            *r = -1;
            return true;
        }
    }
    *r = realWrite(fd, buf, n);
    if (*r > 0) written += *r;
    return true;
}

}  // namespace

extern "C" {

ssize_t write(int fd, const void* buf, size_t len) {
    ssize_t r;
    if (isCp() && faultedWrite(fd, buf, len, &r)) return r;
    return realWrite(fd, buf, len);
}

// cp copies with copy_file_range where it can; under a fault the copy goes
// through write, a block at a time.
ssize_t copy_file_range(int in, off64_t* inOff, int out, off64_t* outOff, size_t len, unsigned flags) {
    if (!isCp() || (!sim_fault("flash-full") && !sim_fault("flash-cut")) || inOff || outOff || !onFlash(out))
        return realCopy(in, inOff, out, outOff, len, flags);
    char block[4096];
    size_t chunk = len < sizeof block ? len : sizeof block;
    ssize_t n = read(in, block, chunk);
    if (n <= 0) return n;
    ssize_t r;
    if (!faultedWrite(out, block, size_t(n), &r)) r = realWrite(out, block, size_t(n));
    if (r >= 0 && r < n) lseek(in, r - n, SEEK_CUR);  // give back what was not written
    return r;
}

}  // extern "C"
