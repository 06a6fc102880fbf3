// One request to the nvram driver ("/dev/apsoc_nvram").
#pragma once

namespace hbase {

// Opens the device, issues one request (NVRAM_IOCTL_GET, _SET or _COMMIT)
// with the name copied into a buffer of the driver's size, and closes it.
// The driver's answer is not examined: a failed get leaves value as it was.
void nvramRequest(int section, unsigned long code, const char* name, char* value);

// Whether a text fits the driver's buffer with its terminator; a longer
// name would name another setting.
bool nvramFits(const char* text);

}  // namespace hbase
