// The announced firmware version, as the hub settings give it.
#include "shell.h"

#include <cstdio>

#include "hacore/Halvix.h"

namespace fwupdate {

void announcedFirmwareVersion(char* out, size_t outSize) {
    char value[180] = {0};  // what the getter may write
    Halvix hub;
    hub.getNewFirmwareVersion(value);
    value[sizeof value - 1] = 0;
    snprintf(out, outSize, "%s", value);
}

}  // namespace fwupdate
