// The demo's firmware and support stage: ask the firmware host whether newer
// firmware exists, download its checksum file and image and verify them
// (without flashing), then upload the router's logs to the support host.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "fwupdate/Firmware.h"
#include "logupload/sendLogs.h"

namespace {

int lastPercent = -1;

int showProgress(void*, int64_t total, int64_t now, int64_t, int64_t) {
    if (total <= 0) return 0;
    int percent = static_cast<int>(now * 100 / total);
    if (percent / 25 != lastPercent / 25) {
        printf("  image: %3d%% of %lld bytes\n", percent, static_cast<long long>(total));
        fflush(stdout);
    }
    lastPercent = percent;
    return 0;
}

// The transfers write into the working directory: keep them in /tmp.
bool updateStage() {
    printf("\n== Firmware update ==\n");
    Firmware fw;
    char current[100] = {0}, latest[100] = {0};
    int found = fw.checkUpdate(current, latest, 0, fwrite);
    printf("running %s, firmware host announces %s: %s\n", current, latest,
           found == 1   ? "update available"
           : found == 0 ? "up to date"
                        : "check failed");
    if (found != 1) return found == 0;

    char empty[] = "", sum[120], image[120];
    snprintf(sum, sizeof sum, "%s.md5", latest);
    snprintf(image, sizeof image, "%s.bin", latest);
    int r = fw.checkmd5(empty, sum, 1, nullptr, fwrite);
    printf("checksum file %s: %s\n", sum, r == 0 ? "downloaded" : "failed");
    if (r != 0) return false;
    lastPercent = -1;
    r = fw.checkmd5(empty, image, 1, showProgress, fwrite);
    printf("image %s: %s\n", image,
           r == 0   ? "verified, ready to flash (not flashed in the demo)"
           : r == 1 ? "checksum mismatch"
                    : "download failed");
    unlink(sum);
    unlink(image);
    return r == 0;
}

bool uploadStage() {
    printf("\n== Log upload ==\n");
    SendLogs logs;
    char text[] = "demo: the living room lamp is slow to answer";
    logs.setMessage(text);
    printf("message: %s\n", logs.getMessage());
    fflush(stdout);
    int ok = logs.mainSendLogs();
    printf("\nlogs %s\n", ok ? "uploaded to the support host" : "not uploaded");
    return ok == 1;
}

}  // namespace

bool demoUpdateAndLogs() {
    char cwd[512];
    if (!getcwd(cwd, sizeof cwd)) cwd[0] = 0;
    if (chdir("/tmp") != 0) return false;
    // The chatter of libcurl's meter and of the snapshot's tools (sources
    // that this router lacks) goes to a file, not over the demo's lines.
    const char kChatter[] = "/tmp/demo-update.err";
    fflush(stdout);
    fflush(stderr);
    int saved = dup(2);
    int chatter = open(kChatter, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (chatter >= 0) dup2(chatter, 2);
    bool ok = updateStage();
    ok = uploadStage() && ok;
    fflush(stdout);
    fflush(stderr);
    if (saved >= 0) dup2(saved, 2);
    if (chatter >= 0) close(chatter);
    if (saved >= 0) close(saved);
    if (!ok) fprintf(stderr, "demo: see %s for what the tools said\n", kChatter);
    if (cwd[0] && chdir(cwd) != 0) ok = false;
    return ok;
}
