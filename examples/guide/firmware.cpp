// Firmware update: asks the firmware server whether newer firmware exists,
// downloads its checksum file and image and verifies the image. It stops
// there: updateFirmware() would write the image to flash, stop the router's
// processes and reboot.
#include <fwupdate/Firmware.h>

#include <cstdint>
#include <cstdio>
#include <unistd.h>

namespace {

int quarter = -1;

// Runs on the downloading thread; a non-zero result aborts the transfer.
int progress(void*, int64_t total, int64_t now, int64_t, int64_t) {
    if (total > 0 && now * 4 / total != quarter) {
        quarter = (int)(now * 4 / total);
        printf("image: %d%% of %lld bytes\n", quarter * 25, (long long)total);
    }
    return 0;
}

}  // namespace

int main() {
    // The library downloads into the working directory.
    if (chdir("/tmp") != 0) return 1;
    Firmware fw;
    char running[100] = "", latest[100] = "";  // both 100 bytes
    int found = fw.checkUpdate(running, latest, 0, fwrite);
    printf("running %s, server announces %s\n", running, latest);
    if (found != 1) {
        printf(found == 0 ? "up to date\n" : "cannot tell: version unknown\n");
        return found == 0 ? 0 : 1;
    }

    char noUrl[] = "", sum[120], image[120];
    snprintf(sum, sizeof sum, "%s.md5", latest);
    snprintf(image, sizeof image, "%s.bin", latest);
    int r = fw.checkmd5(noUrl, sum, 1, nullptr, fwrite);  // the checksum file first
    if (r != 0) {
        printf("checksum file: failed (%d)\n", r);
        return 1;
    }
    r = fw.checkmd5(noUrl, image, 1, progress, fwrite);  // then the image, compared
    printf("image: %s\n", r == 0 ? "verified" : r == 1 ? "checksum mismatch" : "download failed");
    if (r != 0) return 1;
    unlink(sum);
    unlink(image);
    return 0;
}
