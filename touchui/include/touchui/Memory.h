/**
 * @file
 * Settings of the touch-screen toolkit: the router's nvram store through
 * /dev/apsoc_nvram (section 1 main, 2 "rtdev"), the same requests as RMemory.
 */
#pragma once

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// Stateless settings accessor; each call opens the device, makes one
/// request and closes it. Failures are not reported.
class Memory {
public:
    /// Does nothing.
    Memory();
    /// Does nothing.
    ~Memory();
    /// Copies setting `name` of section 1 into `out`, which holds 1024 bytes;
    /// a missing setting reads as "".
    void getSetting(char* name, char* out);
    /// The same as getSetting().
    void getNoSaveSetting(char* name, char* out);
    /// As getSetting(), in section 2.
    void getSettingRtdev(char* name, char* out);
    /// Sets a setting of section 1 without committing it.
    void addValue(char* name, char* value);
    /// As addValue(), in section 2.
    void addValueRtdev(char* name, char* value);
    /// Commits section 1.
    void saveValues();
    /// Commits section 2.
    void saveValuesRtdev();
    /// addValue(), then saveValues().
    void saveSetting(char* name, char* value);
    /// addValueRtdev(), then saveValuesRtdev().
    void saveSettingRtdev(char* name, char* value);
    /// Restarts the settings daemon and has the system re-read its settings.
    void commit();
    /// Does nothing (kept for the applications).
    void getMac(char*);
    /// Does nothing (kept for the applications).
    void getCloudID(char*);
};

/// Reads setting `name`; returns a malloc'ed 1024-byte copy of its value that
/// the caller frees. Section 0 and 1 both reach device section 2 (see
/// docs/decisions.md), unlike Memory's section numbers.
char* nvram_get(int section, char* name);
/// The same as nvram_get().
char* nvram_getRtdev(int section, char* name);
/// Sets setting `name` without committing it; sections as nvram_get().
void nvram_set(int section, char* name, char* value);
/// The same as nvram_set().
void nvram_setRtdev(int section, char* name, char* value);

#pragma GCC visibility pop
