// Memory and the nvram_* free functions: one nvram device request per call.
#include "touchui/Memory.h"

#include <stdlib.h>
#include <string.h>

#include "base/nvram.h"
#include "base/text.h"
#include "hacore/Memory.h"

namespace {

RMemory g_store;

// 0 becomes 1, then 1 becomes 2: callers passing 0 or 1 reach section 2.
int freeSection(int section) {
    if (section == 0) section = 1;
    if (section == 1) section = 2;
    return section;
}

char* getCopy(int section, const char* name) {
    char* out = (char*)calloc(1, NVRAM_BUFFER_SIZE);
    if (!out) return nullptr;
    if (hbase::nvramFits(name)) hbase::nvramRequest(section, NVRAM_IOCTL_GET, name, out);
    out[NVRAM_BUFFER_SIZE - 1] = '\0';
    return out;
}

void setValue(int section, const char* name, const char* value) {
    if (!hbase::nvramFits(name) || !hbase::nvramFits(value)) return;
    char buf[NVRAM_BUFFER_SIZE] = {0};
    hbase::copyText(buf, value);
    hbase::nvramRequest(section, NVRAM_IOCTL_SET, name, buf);
}

}  // namespace

Memory::Memory() {}
Memory::~Memory() {}
void Memory::getSetting(char* name, char* out) { g_store.getSetting(name, out); }
void Memory::getNoSaveSetting(char* name, char* out) { g_store.getNoSaveSetting(name, out); }
void Memory::getSettingRtdev(char* name, char* out) { g_store.getSettingRtdev(name, out); }
void Memory::addValue(char* name, char* value) { g_store.addValue(name, value); }
void Memory::addValueRtdev(char* name, char* value) { g_store.addValueRtdev(name, value); }
void Memory::saveValues() { g_store.saveValues(); }
void Memory::saveValuesRtdev() { g_store.saveValuesRtdev(); }
void Memory::saveSetting(char* name, char* value) { g_store.saveSetting(name, value); }
void Memory::saveSettingRtdev(char* name, char* value) { g_store.saveSettingRtdev(name, value); }
void Memory::commit() { g_store.commit(); }
void Memory::getMac(char*) {}
void Memory::getCloudID(char*) {}

char* nvram_get(int section, char* name) { return getCopy(freeSection(section), name); }
char* nvram_getRtdev(int section, char* name) { return getCopy(freeSection(section), name); }
void nvram_set(int section, char* name, char* value) { setValue(freeSection(section), name, value); }
void nvram_setRtdev(int section, char* name, char* value) { setValue(freeSection(section), name, value); }
