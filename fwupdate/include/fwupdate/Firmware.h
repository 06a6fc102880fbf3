// Firmware update: find out whether newer firmware exists, download the image
// and its checksum file over HTTPS, verify it, write it to flash and reboot.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// libcurl's transfer-information callback: user pointer, download total,
// download now, upload total, upload now.
typedef int (*FirmwareProgressFn)(void* user, int64_t dltotal, int64_t dlnow, int64_t ultotal, int64_t ulnow);
// The shape of fwrite; handed to libcurl as its write callback with the
// opened file as the stream.
typedef size_t (*FirmwareWriteFn)(const void* buffer, size_t size, size_t count, FILE* file);

class Firmware {
public:
    Firmware();
    virtual ~Firmware();

    void getOldFirmware(char* out);
    void getNewFirmware(char* out);

    bool readVersion(char* out);
    bool downloadfile(char* url, char* path, long timeoutSeconds, FirmwareProgressFn progressFn,
                      FirmwareWriteFn writeFn);
    int checkmd5(char* url, char* path, int which, FirmwareProgressFn progressFn, FirmwareWriteFn writeFn);
    int checkUpdate(char* currentOut, char* newOut, int source, FirmwareWriteFn writeFn);
    int updateFirmware(char* path, int mode);

    // 1 while a download runs in this process.
    static char downloading;

private:
    char currentVersion[100];
    char newFirmware[100];
    char expectedMd5[512];
    char computedMd5[512];
};

void write_flash_kernel_version();
void freeProcesses(int mode);
void mtd_write_firmware(char* path);
