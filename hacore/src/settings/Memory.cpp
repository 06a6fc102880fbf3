// RMemory: one request to the nvram device per call.
#include "hacore/Memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/nvram.h"
#include "base/text.h"

namespace {

using hbase::nvramFits;
using hbase::nvramRequest;

void get(int section, const char* name, char* out) {
    if (!out) return;
    char value[NVRAM_BUFFER_SIZE] = {0};
    if (nvramFits(name)) nvramRequest(section, NVRAM_IOCTL_GET, name, value);
    value[sizeof value - 1] = '\0';
    memcpy(out, value, strlen(value) + 1);
}

void set(int section, const char* name, const char* value) {
    if (!nvramFits(name) || !nvramFits(value)) {
        fprintf(stderr, "nvram: setting %.64s refused: name or value too long\n", name ? name : "(null)");
        return;
    }
    char buf[NVRAM_BUFFER_SIZE] = {0};
    hbase::copyText(buf, sizeof buf, value);
    nvramRequest(section, NVRAM_IOCTL_SET, name, buf);
}

void commitSection(int section) {
    char value[NVRAM_BUFFER_SIZE] = {0};
    nvramRequest(section, NVRAM_IOCTL_COMMIT, "", value);
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
