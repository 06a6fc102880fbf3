// The router's settings store (nvram), reached through the character device
// /dev/apsoc_nvram: section 1 holds the main settings, section 2 those of
// the second radio ("rtdev").
#pragma once

#include <cstddef>
#include <cstdint>

// Argument of the nvram device's requests. The pointers are native: on the
// router (32-bit) the record is four words.
struct NvramRequest {
    int32_t section;  // 1 main, 2 second radio
    int32_t result;   // set by the driver, not used
    char* name;       // zero-terminated setting name, in a 1024-byte buffer
    char* value;      // 1024-byte value buffer: filled by get, read by set
};
static_assert(offsetof(NvramRequest, section) == 0, "");
static_assert(offsetof(NvramRequest, result) == 4, "");
static_assert(offsetof(NvramRequest, name) == 8, "");
static_assert(offsetof(NvramRequest, value) == 8 + sizeof(char*), "");
static_assert(sizeof(NvramRequest) == 8 + 2 * sizeof(char*), "");
#if defined(__mips__) || defined(__i386__) || defined(__arm__)
static_assert(sizeof(NvramRequest) == 16, "the router's record is four words");
#endif

constexpr unsigned long NVRAM_IOCTL_GET = 0x1001;
constexpr unsigned long NVRAM_IOCTL_SET = 0x1003;
constexpr unsigned long NVRAM_IOCTL_COMMIT = 0x1004;
// Names and values travel in buffers of this size: at most 1023 characters.
constexpr int NVRAM_BUFFER_SIZE = 1024;

class RMemory {
public:
    RMemory();
    ~RMemory();

    // Copy the value (at most 1023 characters) into out, which holds 1024
    // bytes; a missing or unreadable setting gives "". Sections 1, 1, 2.
    void getSetting(char* name, char* out);
    void getNoSaveSetting(char* name, char* out);
    void getSettingRtdev(char* name, char* out);
    // Set without committing, in section 1 / 2. A name or value of 1024
    // characters or more is refused.
    void addValue(const char* name, const char* value);
    void addValueRtdev(const char* name, const char* value);
    // Commit section 1 / 2.
    void saveValues();
    void saveValuesRtdev();
    // Set, then commit.
    void saveSetting(const char* name, const char* value);
    void saveSettingRtdev(const char* name, const char* value);
    // Restarts the settings daemon and has the system re-read its settings.
    void commit();
    // Do nothing.
    void getMac(char* out);
    void getCloudID(char* out);
};
