/**
 * @file
 * The router's settings store (nvram), reached through the character device
 * /dev/apsoc_nvram: section 1 holds the main settings, section 2 those of
 * the second radio ("rtdev").
 */
#pragma once

#include <cstddef>
#include <cstdint>

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// Argument of the nvram device's requests. The pointers are native: on the
/// router (32-bit) the record is four words.
struct NvramRequest {
    int32_t section;  ///< 1 main, 2 second radio
    int32_t result;   ///< set by the driver, not used
    char* name;       ///< zero-terminated setting name, in a 1024-byte buffer
    char* value;      ///< 1024-byte value buffer: filled by get, read by set
};
static_assert(offsetof(NvramRequest, section) == 0, "");
static_assert(offsetof(NvramRequest, result) == 4, "");
static_assert(offsetof(NvramRequest, name) == 8, "");
static_assert(offsetof(NvramRequest, value) == 8 + sizeof(char*), "");
static_assert(sizeof(NvramRequest) == 8 + 2 * sizeof(char*), "");
#if defined(__mips__) || defined(__i386__) || defined(__arm__)
static_assert(sizeof(NvramRequest) == 16, "the router's record is four words");
#endif

/// ioctl request: read one setting (NvramRequest).
constexpr unsigned long NVRAM_IOCTL_GET = 0x1001;
/// ioctl request: set one setting without committing it.
constexpr unsigned long NVRAM_IOCTL_SET = 0x1003;
/// ioctl request: commit a section to flash.
constexpr unsigned long NVRAM_IOCTL_COMMIT = 0x1004;
/// Names and values travel in buffers of this size: at most 1023 characters.
constexpr int NVRAM_BUFFER_SIZE = 1024;

/// Access to the nvram settings. Each call opens the device, makes one
/// request and closes it; failures are reported on standard error and
/// otherwise ignored. The object holds no state.
class RMemory {
public:
    /// Does nothing.
    RMemory();
    /// Does nothing.
    ~RMemory();

    /// Copies the value of setting `name` of section 1 (at most 1023
    /// characters) into `out`, which holds #NVRAM_BUFFER_SIZE bytes; a missing
    /// or unreadable setting gives "".
    void getSetting(char* name, char* out);
    /// The same as getSetting() (section 1).
    void getNoSaveSetting(char* name, char* out);
    /// As getSetting(), in section 2 (second radio).
    void getSettingRtdev(char* name, char* out);
    /// Sets a setting of section 1 without committing it. A name or value of
    /// 1024 characters or more is refused.
    void addValue(const char* name, const char* value);
    /// As addValue(), in section 2.
    void addValueRtdev(const char* name, const char* value);
    /// Commits section 1 to flash.
    void saveValues();
    /// Commits section 2 to flash.
    void saveValuesRtdev();
    /// addValue(), then saveValues().
    void saveSetting(const char* name, const char* value);
    /// addValueRtdev(), then saveValuesRtdev().
    void saveSettingRtdev(const char* name, const char* value);
    /// Restarts the settings daemon and has the system re-read its settings
    /// ("init_system restart", in the background).
    void commit();
    /// Does nothing; `out` is left as it is (kept for the applications).
    void getMac(char* out);
    /// Does nothing; `out` is left as it is (kept for the applications).
    void getCloudID(char* out);
};

#pragma GCC visibility pop
