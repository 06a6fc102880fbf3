// The announced firmware version, as the hub settings class Halvix gives it
// (getNewFirmwareVersion): nvram "NewFirmwareVersion" of the main section
// when it names a VK7-R release, else "NaN". Kept to this one function so
// that it becomes a call of Halvix::getNewFirmwareVersion where libhacore
// has the class.
#include "shell.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace fwupdate {
namespace {

// The request of the settings device "/dev/apsoc_nvram".
struct NvramRequest {
    int32_t section;  // 1 main settings, 2 second radio
    int32_t result;
    char* name;
    char* value;      // 1024 bytes
};
static_assert(offsetof(NvramRequest, section) == 0, "section");
static_assert(offsetof(NvramRequest, result) == 4, "result");
static_assert(offsetof(NvramRequest, name) == 8, "name");
static_assert(sizeof(void*) != 4 || (offsetof(NvramRequest, value) == 12 && sizeof(NvramRequest) == 16),
              "router layout");

constexpr unsigned long kNvramGet = 0x1001;

void nvramGet(const char* key, char* out, size_t outSize) {
    char name[1024] = {0};
    char value[1024] = {0};
    snprintf(name, sizeof name, "%s", key);
    NvramRequest req{1, 0, name, value};
    int fd = open("/dev/apsoc_nvram", O_RDONLY);
    ioctl(fd, kNvramGet, &req);
    if (fd >= 0) close(fd);
    value[sizeof value - 1] = 0;
    snprintf(out, outSize, "%s", value);
}

}  // namespace

void announcedFirmwareVersion(char* out, size_t outSize) {
    char value[180] = {0};
    nvramGet("NewFirmwareVersion", value, sizeof value);
    snprintf(out, outSize, "%s", strstr(value, "VK7-R") ? value : "NaN");
}

}  // namespace fwupdate
