// The touch panel /dev/halvix_touch and the backlight /dev/halvix_backlight.
//
// The pen follows the script /sim/state/pen (docs/virtual-router.md), which
// a tool, a test or a browser panel appends to: one pen state a line
// ("press X Y [MS]", "move X Y [MS]", "release [MS]", "tap X Y [MS]",
// "wait MS"). A state lasts its time counted from the first sample that sees
// it, and at least one sample: a slow process (qemu, sanitizers) misses no
// touch. The offset of the first line not yet finished is written to
// /sim/state/pen.done, so whoever wrote the script can wait for it.
//   1 read   fills {x, y, down}
//   2 suspend (value 1) / resume (0): the pen reads as up and stands still
// The backlight records "enable"/"disable" to /sim/state/log/backlight;
// requests 10 (enable) and 11 (disable) take 1.
#include <fcntl.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <errno.h>

#include <string>

#include "sim.h"
#include "base/clock.h"

namespace {

struct Sample {
    int32_t x, y, down;
};

struct State {
    bool down = false;
    int x = 0, y = 0;
    long ms = 0;  // how long the state lasts once seen
    bool seen = false;
    long long seenAt = 0;
    bool active = false;          // a scripted state is in progress
    long endOffset = 0;           // script offset after this state's line
    bool pendingRelease = false;  // second half of a tap
};

pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
State g_s;
long g_offset;  // script offset of the next line
ino_t g_inode;
bool g_doneWritten;  // pen.done written for the script being read
bool g_suspended;

void writeDone(long offset) {
    char buf[32];
    int n = snprintf(buf, sizeof buf, "%ld\n", offset);
    int fd = open("/sim/state/pen.done.tmp", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    ssize_t w = write(fd, buf, n);
    (void)w;
    close(fd);
    if (rename("/sim/state/pen.done.tmp", "/sim/state/pen.done") == 0) g_doneWritten = true;
}

// A script written anew starts from its beginning. Checked at every sample,
// before the state in progress is finished: finishing it writes pen.done,
// which would hide a new script that got the old one's inode number. So a
// pen.done this panel wrote and someone removed also means a new script.
void restartIfNew() {
    struct stat st;
    if (stat("/sim/state/pen", &st) != 0) return;
    struct stat done;
    bool removed = g_doneWritten && stat("/sim/state/pen.done", &done) != 0;
    if (st.st_ino != g_inode || st.st_size < g_offset || removed) {
        g_inode = st.st_ino;
        g_offset = 0;
        g_doneWritten = false;
        g_s = State();
    }
}

// Reads the next complete line of the script into s; false when none.
bool nextLine() {
    FILE* f = fopen("/sim/state/pen", "r");
    if (!f) return false;
    // A script replaced since restartIfNew is read from its start next time.
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || st.st_ino != g_inode) {
        fclose(f);
        return false;
    }
    bool got = false;
    while (!got && fseek(f, g_offset, SEEK_SET) == 0) {
        char line[256];
        if (!fgets(line, sizeof line, f)) break;
        size_t len = strlen(line);
        if (len == 0 || line[len - 1] != '\n') break;  // not complete yet
        g_offset += (long)len;
        char word[16] = {0};
        long a = 0, b = 0, c = -1;
        int n = sscanf(line, "%15s %ld %ld %ld", word, &a, &b, &c);
        if (n < 1 || word[0] == '#') continue;
        State s;
        s.active = true;
        s.endOffset = g_offset;
        if (!strcmp(word, "press") || !strcmp(word, "move") || !strcmp(word, "tap")) {
            if (n < 3) continue;
            s.down = true;
            s.x = (int)a;
            s.y = (int)b;
            s.ms = n >= 4 && c >= 0 ? c : (!strcmp(word, "tap") ? 60 : 0);
            s.pendingRelease = !strcmp(word, "tap");
        } else if (!strcmp(word, "release")) {
            s.ms = n >= 2 ? a : 0;
        } else if (!strcmp(word, "wait")) {
            s.down = g_s.down;
            s.x = g_s.x;
            s.y = g_s.y;
            s.ms = n >= 2 ? a : 0;
        } else {
            continue;
        }
        g_s = s;
        got = true;
    }
    fclose(f);
    return got;
}

void advance() {
    restartIfNew();
    for (;;) {
        if (g_s.active) {
            if (!g_s.seen) return;
            if (hbase::nowMs() - g_s.seenAt < g_s.ms) return;
            if (g_s.pendingRelease) {
                g_s.pendingRelease = false;
                g_s.down = false;
                g_s.ms = 0;
                g_s.seen = false;
                return;
            }
            g_s.active = false;
            writeDone(g_s.endOffset);
        }
        if (!nextLine()) return;
    }
}

int touchIoctl(int, unsigned long request, void* arg) {
    pthread_mutex_lock(&g_lock);
    int rc = 0;
    if (request == 1) {
        Sample* out = static_cast<Sample*>(arg);
        if (!out) {
            rc = -1;
            errno = EFAULT;
        } else if (g_suspended) {
            *out = {0, 0, 0};
        } else {
            advance();
            if (g_s.active && !g_s.seen) {
                g_s.seen = true;
                g_s.seenAt = hbase::nowMs();
                // A state without a time is played once seen.
                if (g_s.ms == 0 && !g_s.pendingRelease) writeDone(g_s.endOffset);
            }
            *out = {g_s.down ? g_s.x : 0, g_s.down ? g_s.y : 0, g_s.down ? 1 : 0};
        }
    } else if (request == 2) {
        g_suspended = (long)arg != 0;
        sim_record("touch", "%s", g_suspended ? "suspend" : "resume");
    } else {
        errno = EINVAL;
        rc = -1;
    }
    pthread_mutex_unlock(&g_lock);
    return rc;
}

int backlightIoctl(int, unsigned long request, void* arg) {
    if (sim_fault("halvix_backlight-ioctl")) {
        errno = EIO;
        return -1;
    }
    if ((request != 10 && request != 11) || (long)arg != 1) {
        errno = EINVAL;
        return -1;
    }
    sim_record("backlight", "%s", request == 10 ? "enable" : "disable");
    return 0;
}

const SimDriver kTouch = {"/dev/halvix_touch", touchIoctl, nullptr, nullptr};
const SimDriver kBacklight = {"/dev/halvix_backlight", backlightIoctl, nullptr, nullptr};

}  // namespace

__attribute__((constructor)) static void registerTouch() {
    sim_register_driver(&kTouch);
    sim_register_driver(&kBacklight);
}
