#include "fwupdate/Firmware.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <resolv.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "shell.h"

namespace {

const char kVersionFile[] = "/etc_ro/lighttpd/www/version";
const char kCaBundle[] = "/halvix/cacert.pem";
const char kReleaseBase[] = "https://firmware.halvix.net/VK7_64MB/";
const char kBetaBase[] = "https://firmware.halvix.net/VK7_64MB_BETA/";
const char kNaN[] = "NaN";

bool isBeta(const char* version) { return fwupdate::isBetaVersion(version); }

const char* baseFor(const char* version) { return isBeta(version) ? kBetaBase : kReleaseBase; }

// Cuts the text at its first newline or carriage return.
void cutLine(char* s) { s[strcspn(s, "\r\n")] = 0; }

// The first line of a stream (at most 511 bytes), without its end, into out.
void firstLine(FILE* f, char* out, size_t size) {
    char line[512] = {0};
    if (!fgets(line, sizeof line, f)) line[0] = 0;
    cutLine(line);
    snprintf(out, size, "%s", line);
}

constexpr size_t kPathMax = 512;  // the image path's buffer, terminator included

// Runs "mtd_write" for the image; false when the path does not fit or the
// write failed.
bool writeFirmware(const char* path) {
    if (strlen(path) >= kPathMax) return false;
    char copy[kPathMax];
    snprintf(copy, sizeof copy, "%s", path);
    for (char* p = copy; *p; ++p)
        if (*p == '\n' || *p == '\r') *p = ' ';
    std::vector<char> quoted(2100), cmd(2200);
    if (!fwupdate::shellQuote(copy, quoted.data(), quoted.size())) return false;
    snprintf(cmd.data(), cmd.size(), "mtd_write -r -w write %s /dev/mtd4", quoted.data());
    int rc = system(cmd.data());
    if (rc == 0) return true;
    int code = rc != -1 && WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    fprintf(stderr, "Unable to write %s to /dev/mtd4: mtd_write ended with %d \n", copy, code);
    return false;
}

}  // namespace

char Firmware::downloading = 0;

Firmware::Firmware() {
    memset(currentVersion, 0, sizeof currentVersion);
    memset(newFirmware, 0, sizeof newFirmware);
    memset(expectedMd5, 0, sizeof expectedMd5);
    memset(computedMd5, 0, sizeof computedMd5);
}

Firmware::~Firmware() {}

void Firmware::getOldFirmware(char* out) { strcpy(out, currentVersion); }

void Firmware::getNewFirmware(char* out) { strcpy(out, newFirmware); }

bool Firmware::readVersion(char* out) {
    int fd = open(kVersionFile, O_RDONLY);
    if (fd < 0) {
        strcpy(out, kNaN);
        strcpy(currentVersion, kNaN);
        return false;
    }
    ssize_t n = read(fd, out, 50);
    if (n < 0) n = 0;
    out[n] = 0;
    for (ssize_t i = 0; i < n; ++i)
        if (out[i] == '\n') out[i] = 0;
    snprintf(currentVersion, sizeof currentVersion, "%s", out);
    close(fd);
    return true;
}

bool Firmware::downloadfile(char* url, char* path, long timeoutSeconds, FirmwareProgressFn progressFn,
                            FirmwareWriteFn writeFn) {
    CURL* curl = curl_easy_init();
    res_init();
    if (!curl) return false;
    // Two threads may ask at once: only one of them takes the flag.
    char was = __atomic_load_n(&downloading, __ATOMIC_SEQ_CST);
    if (was == 1 || !__atomic_compare_exchange_n(&downloading, &was, 1, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST)) {
        curl_easy_cleanup(curl);
        return false;
    }
    FILE* file = fopen(path, "wb");
    if (!file) {
        // Nothing to write into: the flag must not stay set.
        curl_easy_cleanup(curl);
        __atomic_store_n(&downloading, 0, __ATOMIC_SEQ_CST);
        return false;
    }
    CURLcode rc = curl_easy_setopt(curl, CURLOPT_VERBOSE, 0L);
    if (rc == CURLE_OK) rc = curl_easy_setopt(curl, CURLOPT_CAINFO, kCaBundle);
    if (rc == CURLE_OK) rc = curl_easy_setopt(curl, CURLOPT_URL, url);
    if (rc == CURLE_OK) rc = curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeFn);
    if (rc == CURLE_OK) rc = curl_easy_setopt(curl, CURLOPT_WRITEDATA, file);
    if (rc == CURLE_OK && progressFn) {
        rc = curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, progressFn);
        if (rc == CURLE_OK) rc = curl_easy_setopt(curl, CURLOPT_XFERINFODATA, curl);
    }
    if (rc == CURLE_OK) rc = curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    if (rc == CURLE_OK) rc = curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 10L);
    if (rc == CURLE_OK) rc = curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeoutSeconds);
    if (rc == CURLE_OK) rc = curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (rc == CURLE_OK) rc = curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    if (rc == CURLE_OK) rc = curl_easy_perform(curl);
    long status = 0;
    if (rc == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    // A file that cannot be completed on disk is no download either.
    bool written = fclose(file) == 0;
    __atomic_store_n(&downloading, 0, __ATOMIC_SEQ_CST);
    if (rc == CURLE_OK && status == 200 && written) return true;
    unlink(path);
    return false;
}

int Firmware::checkmd5(char* url, char* path, int which, FirmwareProgressFn progressFn, FirmwareWriteFn writeFn) {
    const char* version = which == 1 ? newFirmware : currentVersion;
    char full[1024];
    if (url && url[0])
        snprintf(full, sizeof full, "%s", url);
    else
        snprintf(full, sizeof full, "%s%s", baseFor(version), path);

    if (!progressFn) {
        if (!downloadfile(full, path, 600, nullptr, writeFn)) return 2;
        FILE* f = fopen(path, "r");
        if (!f) return 3;
        firstLine(f, expectedMd5, sizeof expectedMd5);
        fclose(f);
        return 0;
    }

    if (!downloadfile(full, path, 600, progressFn, writeFn)) return 4;
    // "--" keeps a name starting with '-' from being an option; "-" alone
    // still means standard input, so that is the image as well.
    // Every byte of the path may need four in its quoted form.
    std::vector<char> quoted(strlen(path) * 4 + 3), cmd(quoted.size() * 2 + 16);
    fwupdate::shellQuote(path, quoted.data(), quoted.size());
    snprintf(cmd.data(), cmd.size(), "md5sum -- %s < %s", quoted.data(), quoted.data());
    FILE* p = popen(cmd.data(), "r");
    if (!p) return 4;
    firstLine(p, computedMd5, sizeof computedMd5);
    pclose(p);
    return strcasecmp(expectedMd5, computedMd5) == 0 ? 0 : 1;
}

int Firmware::checkUpdate(char* currentOut, char* newOut, int source, FirmwareWriteFn writeFn) {
    char running[100] = {0};
    char announced[100] = {0};
    char url[512] = {0};

    if (!readVersion(running)) {
        strcpy(currentOut, kNaN);
        strcpy(newOut, kNaN);
        return -1;
    }
    snprintf(currentVersion, sizeof currentVersion, "%s", running);

    if (source == 1) {
        fwupdate::announcedFirmwareVersion(announced, sizeof announced);
    } else if (source == 2) {
        snprintf(announced, sizeof announced, "%s", newOut);
    } else {
        snprintf(url, sizeof url, "%sversion", baseFor(running));
        char file[] = "version";
        FILE* f = nullptr;
        if (downloadfile(url, file, 600, nullptr, writeFn)) f = fopen(file, "r");
        if (!f) {
            unlink(file);
            strcpy(currentOut, running);
            strcpy(newOut, kNaN);
            return -1;
        }
        if (!fgets(announced, sizeof announced, f)) announced[0] = 0;
        fclose(f);
        unlink(file);
    }
    cutLine(announced);

    if (!fwupdate::isNewerVersion(running, announced)) {
        strcpy(newOut, kNaN);
        strcpy(currentOut, running);
        return 0;
    }
    strcpy(newOut, announced);
    snprintf(newFirmware, sizeof newFirmware, "%s", announced);
    strcpy(currentOut, running);
    return 1;
}

int Firmware::updateFirmware(char* path, int mode) {
    // The flash step takes the path in its 512-byte buffer: a longer one
    // would name another file.
    if (strlen(path) >= kPathMax) return 0;
    FILE* f = fopen(path, "r");
    if (!f) return 0;
    fclose(f);
    write_flash_kernel_version();
    if (mode == 1)
        system("./bin/fw FromCloud &");
    else
        freeProcesses(mode);
    // A partition the write left half done must not be booted: the running
    // system stays up so that the update can be tried again.
    if (!writeFirmware(path)) return -1;
    return system("sleep 3; reboot");
}

void write_flash_kernel_version() {
    char banner[513] = {0};
    FILE* f = fopen("/proc/version", "r");
    if (!f) {
        perror("Unable to open /proc/version \n");
    } else {
        if (!fgets(banner, sizeof banner, f)) banner[0] = 0;
        fclose(f);
    }
    cutLine(banner);
    // The quoted text and the command line go on the heap: together they
    // are more than a router thread's frame may hold.
    std::vector<char> quoted(2100), cmd(2200);
    fwupdate::shellQuote(banner, quoted.data(), quoted.size());
    snprintf(cmd.data(), cmd.size(), "nvram_set 2860 old_firmware %s", quoted.data());
    system(cmd.data());
}

void freeProcesses(int mode) {
    system("rmmod hw_nat");
    system("rm -rf /halvix/ScreenLock");
    system("killall ScreenLock");
    system("killall launcher");
    system("killall sh");
    system("killall crond");
    if (mode != 2) system("killall webServer");
    system("killall haserver");
    system("killall cloudrouter");
    system("killall cloudha");
    system("killall CloudDaemon");
    system("killall rulesEngine");
    system("killall zigbee_server");
    system("killall lighttpd");
}

void mtd_write_firmware(char* path) { writeFirmware(path); }
