// The settings device /dev/apsoc_nvram. The argument of every request is an
// NvramRequest of the process's own ABI: section (1 main, 2 second radio),
// result word, name pointer, value pointer (a 1024-byte buffer).
//   0x1001 get: copies the value (at most 1023 characters, terminated) into
//          the value buffer; a missing setting gives "" and result -1
//   0x1003 set: stores the value (it must be terminated within 1024 bytes)
//   0x1004 commit: copies the section to its flash copy
// Settings live in the files of nvram_file.h, seeded by sim-nvram.
// Every request is recorded to /sim/state/log/nvram, one line each:
// "get 1 Language", "set 1 TZ=CET-1CEST,M3.5.0,M10.5.0/3", "commit 1"
// ("request 0x.... " for an unknown one), with " failed" appended when it
// is refused.
// Fault switches: "apsoc_nvram-ioctl" fails every request with EIO,
// "apsoc_nvram-ioctl-N" (N = 4097, 4099, 4100) fails that request only.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "hacore/Memory.h"
#include "nvram_file.h"
#include "sim.h"

namespace {

constexpr size_t kBuf = NVRAM_BUFFER_SIZE;

int refuse(const char* what, int section, const char* name, int err) {
    if (*name)
        sim_record("nvram", "%s %d %.200s failed", what, section, name);
    else
        sim_record("nvram", "%s %d failed", what, section);
    errno = err;
    return -1;
}

int nvramIoctl(int, unsigned long request, void* arg) {
    const char* what = request == NVRAM_IOCTL_GET      ? "get"
                       : request == NVRAM_IOCTL_SET    ? "set"
                       : request == NVRAM_IOCTL_COMMIT ? "commit"
                                                       : nullptr;
    if (!what) {
        sim_record("nvram", "request 0x%lx failed", request);
        errno = EINVAL;
        return -1;
    }
    NvramRequest* r = static_cast<NvramRequest*>(arg);
    if (!r) return refuse(what, 0, "", EFAULT);
    int section = r->section;
    // The name as far as it is terminated within its buffer.
    std::string name;
    bool nameOk = false;
    if (r->name) {
        size_t n = strnlen(r->name, kBuf);
        nameOk = n < kBuf;
        name.assign(r->name, nameOk ? n : 0);
    }
    const char* shown = request == NVRAM_IOCTL_COMMIT ? "" : name.c_str();
    char fault[64];
    snprintf(fault, sizeof fault, "apsoc_nvram-ioctl-%lu", request);
    if (sim_fault("apsoc_nvram-ioctl") || sim_fault(fault)) {
        r->result = -1;
        return refuse(what, section, shown, EIO);
    }
    if (!simnvram::sectionName(section)) return refuse(what, section, shown, EINVAL);
    if (request == NVRAM_IOCTL_COMMIT) {
        simnvram::commit(section);
        sim_record("nvram", "commit %d", section);
        r->result = 0;
        return 0;
    }
    if (!r->name || !r->value) return refuse(what, section, shown, EFAULT);
    if (!nameOk) return refuse(what, section, "", EINVAL);
    if (request == NVRAM_IOCTL_GET) {
        std::string value;
        bool found = simnvram::get(section, name, &value);
        if (value.size() > kBuf - 1) value.resize(kBuf - 1);
        memcpy(r->value, value.c_str(), value.size() + 1);
        sim_record("nvram", "get %d %s", section, name.c_str());
        r->result = found ? 0 : -1;
        return 0;
    }
    size_t len = strnlen(r->value, kBuf);
    if (len == kBuf) return refuse(what, section, name.c_str(), EINVAL);
    simnvram::set(section, name, std::string(r->value, len));
    sim_record("nvram", "set %d %s=%s", section, name.c_str(), std::string(r->value, len).c_str());
    r->result = 0;
    return 0;
}

const SimDriver kNvram = {"/dev/apsoc_nvram", nvramIoctl, nullptr, nullptr};

__attribute__((constructor)) void registerNvram() { sim_register_driver(&kNvram); }

}  // namespace
