/**
 * @file
 * Firmware update: find out whether newer firmware exists, download the image
 * and its checksum file over HTTPS, verify it, write it to flash and reboot.
 *
 * Downloads come from the release or the beta directory of the firmware
 * server (by whether the running version is a beta), verified against the CA
 * bundle /halvix/cacert.pem. A typical update: checkUpdate(), checkmd5()
 * without a progress function (the checksum file), checkmd5() with one (the
 * image), then updateFirmware().
 */
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// libcurl's transfer-information callback: user pointer, download total,
/// download now, upload total, upload now (bytes). The user pointer is the
/// transfer's CURL handle. Return 0 to go on; anything else aborts the
/// transfer. It runs on the thread that called the download.
typedef int (*FirmwareProgressFn)(void* user, int64_t dltotal, int64_t dlnow, int64_t ultotal, int64_t ulnow);
/// The shape of fwrite; handed to libcurl as its write callback with the
/// opened file as the stream (pass fwrite itself, or a function that also
/// counts).
typedef size_t (*FirmwareWriteFn)(const void* buffer, size_t size, size_t count, FILE* file);

/// One firmware update job: the running version, the announced one and the
/// checksums, kept between the steps.
class Firmware {
public:
    /// Empty versions and checksums.
    Firmware();
    /// Does nothing.
    virtual ~Firmware();

    /// Copies the running version found by readVersion() or checkUpdate()
    /// into `out` (100 bytes).
    void getOldFirmware(char* out);
    /// Copies the newer version found by checkUpdate() into `out` (100 bytes);
    /// "" when none was found.
    void getNewFirmware(char* out);

    /// Reads the running version (first line of /etc_ro/lighttpd/www/version,
    /// at most 50 characters) into `out` (51 bytes); false with "NaN" when
    /// the file cannot be opened.
    bool readVersion(char* out);
    /// Downloads `url` into the file `path` over HTTPS (peer and host
    /// verified; 10 s to connect, `timeoutSeconds` in all). `progressFn` may be
    /// null. True only for HTTP status 200 with the file written whole; on
    /// failure the file is deleted. Only one download runs in a process at a
    /// time: false at once while another runs.
    bool downloadfile(char* url, char* path, long timeoutSeconds, FirmwareProgressFn progressFn,
                      FirmwareWriteFn writeFn);
    /// Without `progressFn`: downloads the checksum file to `path` and keeps
    /// its first line; 0 done, 2 download failed, 3 file unreadable. With
    /// `progressFn`: downloads the image to `path` and compares its md5sum
    /// line with the kept one; 0 equal, 1 different, 4 download or checksum
    /// failed. `url` (if not empty) names the file; else it is `path` in the
    /// directory of the new (`which` 1) or running version.
    int checkmd5(char* url, char* path, int which, FirmwareProgressFn progressFn, FirmwareWriteFn writeFn);
    /// Compares the running version with the announced one: `source` 1 takes
    /// the version the hub announced (Halvix::getNewFirmwareVersion()), 2 the
    /// text already in `newOut`, anything else downloads the server's
    /// "version" file (into the working directory, deleted afterwards).
    /// Writes both versions ("NaN" where unknown or not newer) into
    /// `currentOut` and `newOut` (100 bytes each). 1 newer firmware exists, 0
    /// none, -1 the running or the server's version could not be read.
    int checkUpdate(char* currentOut, char* newOut, int source, FirmwareWriteFn writeFn);
    /// Flashes the image at `path` (below 512 characters) to /dev/mtd4 and
    /// reboots. First records the running kernel in nvram and stops the
    /// other processes (mode 1: hands over to "./bin/fw FromCloud"; mode 2
    /// keeps the web server running). 0 when the image is missing, -1 when the
    /// write failed (the system stays up), else what the reboot command
    /// returned.
    int updateFirmware(char* path, int mode);

    /// 1 while a download runs in this process.
    static char downloading;

private:
    char currentVersion[100];
    char newFirmware[100];
    char expectedMd5[512];
    char computedMd5[512];
};

/// Stores the running kernel's banner (/proc/version) in nvram as
/// "old_firmware".
void write_flash_kernel_version();
/// Stops the router's application processes and daemons before flashing;
/// `mode` 2 keeps the web server.
void freeProcesses(int mode);
/// Writes the image at `path` to /dev/mtd4 with mtd_write; a failure is
/// reported on standard error.
void mtd_write_firmware(char* path);

#pragma GCC visibility pop
