// The update check's version comparison on announced versions as a server
// sends them: running and announced version split at the first newline.
#include <cstddef>
#include <cstdint>
#include <string>

#include "shell.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string in(reinterpret_cast<const char*>(data), size);
    size_t nl = in.find('\n');
    std::string running = in.substr(0, nl);
    std::string announced = nl == std::string::npos ? "" : in.substr(nl + 1);
    bool newer = fwupdate::isNewerVersion(running.c_str(), announced.c_str());
    // A version is never newer than itself.
    if (fwupdate::isNewerVersion(running.c_str(), running.c_str())) __builtin_trap();
    (void)newer;
    fwupdate::isBetaVersion(announced.c_str());
    return 0;
}
