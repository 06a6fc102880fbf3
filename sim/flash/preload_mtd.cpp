// The raw flash partitions: /dev/mtd3 (factory data: the base MAC address at
// offset 4) and /dev/mtd4 (the firmware, written by mtd_write). Both are
// plain files in the sandbox; the factory partition is filled with its bytes
// on first open, so every reader (hexdump, ...) finds them. A test may write
// its own factory bytes first. Fault switches: mtd3-missing, mtd3-open, ...
// Readers that use stdio (hexdump reopens its input with freopen) reach the
// partitions through fopen/freopen, interposed here for these two paths.
#include "sim.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kFactorySize = 1024;
// The factory MAC 02:48:56:00:10:01 (locally administered).
const unsigned char kFactoryHead[] = {0x28, 0x76, 0x01, 0x01, 0x02, 0x48, 0x56, 0x00, 0x10, 0x01};

void layDownFactory() {
    struct stat st;
    if (stat("/dev/mtd3", &st) != 0 || st.st_size > 0) return;
    using open_fn = int (*)(const char*, int, ...);
    int w = reinterpret_cast<open_fn>(dlsym(RTLD_NEXT, "open"))("/dev/mtd3", O_WRONLY);
    if (w < 0) return;
    unsigned char image[kFactorySize];
    memset(image, 0xff, sizeof image);
    memcpy(image, kFactoryHead, sizeof kFactoryHead);
    ssize_t n = write(w, image, sizeof image);
    (void)n;
    using close_fn = int (*)(int);
    reinterpret_cast<close_fn>(dlsym(RTLD_NEXT, "close"))(w);
    sim_record("mtd", "factory bytes laid down on /dev/mtd3");
}

void factoryOpened(int) { layDownFactory(); }

// For the stdio paths: the fault switches of the node, then its contents.
bool stdioOpen(const char* path) {
    if (!path || (strcmp(path, "/dev/mtd3") != 0 && strcmp(path, "/dev/mtd4") != 0)) return true;
    char fault[64];
    snprintf(fault, sizeof fault, "%s-missing", path + 5);
    if (sim_fault(fault)) {
        errno = ENOENT;
        return false;
    }
    snprintf(fault, sizeof fault, "%s-open", path + 5);
    if (sim_fault(fault)) {
        errno = EIO;
        return false;
    }
    if (strcmp(path, "/dev/mtd3") == 0) layDownFactory();
    return true;
}

template <typename F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

const SimDriver kFactory = {"/dev/mtd3", nullptr, factoryOpened, nullptr};
const SimDriver kFirmware = {"/dev/mtd4", nullptr, nullptr, nullptr};

struct Register {
    Register() {
        sim_register_driver(&kFactory);
        sim_register_driver(&kFirmware);
    }
} registerMtd;

}  // namespace

extern "C" {

FILE* fopen(const char* path, const char* mode) {
    if (!stdioOpen(path)) return nullptr;
    return next<FILE* (*)(const char*, const char*)>("fopen")(path, mode);
}

FILE* fopen64(const char* path, const char* mode) {
    if (!stdioOpen(path)) return nullptr;
    return next<FILE* (*)(const char*, const char*)>("fopen64")(path, mode);
}

FILE* freopen(const char* path, const char* mode, FILE* stream) {
    if (!stdioOpen(path)) return nullptr;
    return next<FILE* (*)(const char*, const char*, FILE*)>("freopen")(path, mode, stream);
}

FILE* freopen64(const char* path, const char* mode, FILE* stream) {
    if (!stdioOpen(path)) return nullptr;
    return next<FILE* (*)(const char*, const char*, FILE*)>("freopen64")(path, mode, stream);
}

}  // extern "C"
