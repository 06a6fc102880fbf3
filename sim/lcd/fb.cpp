#include "fb.h"

#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace simlcd {

bool fbOpen(Fb& fb, const char* path) {
    if (!path) path = kPath;
    int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    flock(fd, LOCK_EX);
    struct stat st;
    bool fresh = fstat(fd, &st) == 0 && st.st_size < (off_t)kFileBytes;
    if (fresh && ftruncate(fd, kFileBytes) != 0) {
        flock(fd, LOCK_UN);
        close(fd);
        return false;
    }
    void* p = mmap(nullptr, kFileBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED) {
        flock(fd, LOCK_UN);
        close(fd);
        return false;
    }
    fb.fd = fd;
    fb.header = static_cast<LcdFbHeader*>(p);
    fb.screen = reinterpret_cast<uint16_t*>(static_cast<char*>(p) + sizeof(LcdFbHeader));
    if (fb.header->magic != kMagic) {
        memset(p, 0, kFileBytes);
        LcdFbHeader* h = fb.header;
        h->version = kVersion;
        h->width = kWidth;
        h->height = kHeight;
        h->buffers = kBuffers;
        h->panel = 1;
        h->alpha = 255;
        h->magic = kMagic;
    }
    flock(fd, LOCK_UN);
    return true;
}

void fbClose(Fb& fb) {
    if (fb.header) munmap(fb.header, kFileBytes);
    if (fb.fd >= 0) close(fb.fd);
    fb = Fb();
}

void fbLock(Fb& fb, bool exclusive) { flock(fb.fd, exclusive ? LOCK_EX : LOCK_SH); }
void fbUnlock(Fb& fb) { flock(fb.fd, LOCK_UN); }

}  // namespace simlcd
