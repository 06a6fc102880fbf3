#include "base/nvram.h"

#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "base/text.h"
#include "hacore/Memory.h"

namespace hbase {

void nvramRequest(int section, unsigned long code, const char* name, char* value) {
    char nameBuf[NVRAM_BUFFER_SIZE] = {0};
    copyText(nameBuf, name);
    NvramRequest req;
    req.section = section;
    req.result = 0;
    req.name = nameBuf;
    req.value = value;
    int fd = open("/dev/apsoc_nvram", O_RDONLY);
    ioctl(fd, code, &req);
    if (fd >= 0) close(fd);
}

bool nvramFits(const char* text) { return text && strnlen(text, NVRAM_BUFFER_SIZE) < (size_t)NVRAM_BUFFER_SIZE; }

}  // namespace hbase
