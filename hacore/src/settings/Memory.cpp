// RMemory: one request to the nvram device per call.
#include "hacore/Memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "text.h"

namespace {

// Opens the device, issues one request, closes it. The driver's answer is
// not examined: a failed get leaves the value buffer as it was.
void request(int section, unsigned long code, const char* name, char* value) {
    char nameBuf[NVRAM_BUFFER_SIZE] = {0};
    if (name) copyText(nameBuf, sizeof nameBuf, name);
    NvramRequest req;
    req.section = section;
    req.result = 0;
    req.name = nameBuf;
    req.value = value;
    int fd = open("/dev/apsoc_nvram", O_RDONLY);
    ioctl(fd, code, &req);
    if (fd >= 0) close(fd);
}

// A name that would not fit the request's buffer would name another setting.
bool fits(const char* text) { return text && strnlen(text, NVRAM_BUFFER_SIZE) < (size_t)NVRAM_BUFFER_SIZE; }

void get(int section, const char* name, char* out) {
    if (!out) return;
    char value[NVRAM_BUFFER_SIZE] = {0};
    if (fits(name)) request(section, NVRAM_IOCTL_GET, name, value);
    value[sizeof value - 1] = '\0';
    memcpy(out, value, strlen(value) + 1);
}

void set(int section, const char* name, const char* value) {
    if (!fits(name) || !fits(value)) {
        fprintf(stderr, "nvram: setting %.64s refused: name or value too long\n", name ? name : "(null)");
        return;
    }
    char buf[NVRAM_BUFFER_SIZE] = {0};
    copyText(buf, sizeof buf, value);
    request(section, NVRAM_IOCTL_SET, name, buf);
}

void commitSection(int section) {
    char value[NVRAM_BUFFER_SIZE] = {0};
    request(section, NVRAM_IOCTL_COMMIT, "", value);
}

}  // namespace

RMemory::RMemory() {}
RMemory::~RMemory() {}

void RMemory::getSetting(char* name, char* out) { get(1, name, out); }
void RMemory::getNoSaveSetting(char* name, char* out) { get(1, name, out); }
void RMemory::getSettingRtdev(char* name, char* out) { get(2, name, out); }
void RMemory::addValue(const char* name, const char* value) { set(1, name, value); }
void RMemory::addValueRtdev(const char* name, const char* value) { set(2, name, value); }
void RMemory::saveValues() { commitSection(1); }
void RMemory::saveValuesRtdev() { commitSection(2); }

void RMemory::saveSetting(const char* name, const char* value) {
    addValue(name, value);
    saveValues();
}

void RMemory::saveSettingRtdev(const char* name, const char* value) {
    addValueRtdev(name, value);
    saveValuesRtdev();
}

void RMemory::commit() {
    // Fixed commands: nothing of a caller's reaches the shell.
    int rc = system("killall nvram_daemon");
    rc = system("nvram_daemon &");
    rc = system("init_system restart&");
    (void)rc;
}

void RMemory::getMac(char*) {}
void RMemory::getCloudID(char*) {}
