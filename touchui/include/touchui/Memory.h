// Settings of the touch-screen toolkit: the router's nvram store through
// /dev/apsoc_nvram (section 1 main, 2 "rtdev"), the same requests as RMemory.
#pragma once

class Memory {
public:
    Memory();
    ~Memory();
    // out holds 1024 bytes; a missing setting reads as "".
    void getSetting(char* name, char* out);
    void getNoSaveSetting(char* name, char* out);
    void getSettingRtdev(char* name, char* out);
    void addValue(char* name, char* value);
    void addValueRtdev(char* name, char* value);
    void saveValues();
    void saveValuesRtdev();
    void saveSetting(char* name, char* value);
    void saveSettingRtdev(char* name, char* value);
    // Restarts the settings daemon and has the system re-read its settings.
    void commit();
    void getMac(char*);
    void getCloudID(char*);
};

// One request each; the get functions return a malloc'ed 1024-byte copy the
// caller frees. Section 0 and 1 both reach device section 2 (see
// docs/decisions.md).
char* nvram_get(int section, char* name);
char* nvram_getRtdev(int section, char* name);
void nvram_set(int section, char* name, char* value);
void nvram_setRtdev(int section, char* name, char* value);
