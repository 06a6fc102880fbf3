// Writes the virtual LCD's visible screen (or an off-screen buffer) as a PNG:
//   lcd-png [--buffer N] [--state DIR | --fb FILE] OUT.png
// Inside a run it reads the run's screen, /sim/state/lcd.fb, and a relative
// OUT is taken in /out, the run's folder for the developer (router-run
// --out), which outlives the run. From the host, --state DIR reads the
// screen of a run kept with router-run --state DIR (DIR/sim/lcd.fb), --fb
// any frame-buffer file; OUT is then relative to the working directory.
// The file is read under a shared lock, so the picture is never caught in
// the middle of a request; it is never created or changed.
#include <errno.h>
#include <fcntl.h>
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fb.h"

using namespace simlcd;

namespace {

constexpr const char* kOutDir = "/out";

void usage(FILE* to) {
    fprintf(to,
            "usage: lcd-png [--buffer 0-%d] [--state DIR | --fb FILE] OUT.png\n"
            "Writes the virtual LCD's screen (or off-screen buffer N) as a PNG.\n"
            "  --buffer N   the off-screen buffer N instead of the visible screen\n"
            "  --state DIR  the screen of a run kept with router-run --state DIR\n"
            "  --fb FILE    the screen of a frame-buffer file\n"
            "Inside a run a relative OUT is in /out (router-run --out); elsewhere it is\n"
            "relative to the working directory.\n",
            kBuffers - 1);
}

bool readAt(int fd, void* to, size_t n, off_t at) {
    char* p = static_cast<char*>(to);
    while (n > 0) {
        ssize_t got = pread(fd, p, n, at);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        n -= (size_t)got;
        at += got;
    }
    return true;
}

// Copies the plane (-1 the screen) out of the file; 0 done, else the exit
// status, the reason printed.
int readPlane(const std::string& path, int buffer, std::vector<uint16_t>& plane) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            fprintf(stderr, "lcd-png: no frame buffer at %s: nothing has been drawn in that run\n", path.c_str());
        else
            fprintf(stderr, "lcd-png: %s: %s\n", path.c_str(), strerror(errno));
        return 1;
    }
    while (flock(fd, LOCK_SH) < 0 && errno == EINTR) {
    }
    struct stat st;
    LcdFbHeader h;
    bool ok = fstat(fd, &st) == 0 && st.st_size >= (off_t)kFileBytes && readAt(fd, &h, sizeof h, 0) &&
              h.magic == kMagic && h.version == kVersion && h.width == (uint32_t)kWidth &&
              h.height == (uint32_t)kHeight && h.buffers == (uint32_t)kBuffers;
    ok = ok && readAt(fd, plane.data(), kPlaneBytes, (off_t)sizeof(LcdFbHeader) + (off_t)(buffer + 1) * kPlaneBytes);
    close(fd);
    if (!ok) {
        fprintf(stderr, "lcd-png: %s is not a frame buffer of the virtual LCD\n", path.c_str());
        return 1;
    }
    return 0;
}

int writePng(const std::string& out, const std::vector<uint16_t>& plane) {
    FILE* f = fopen(out.c_str(), "wb");
    if (!f) {
        perror(out.c_str());
        return 1;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        fprintf(stderr, "lcd-png: cannot write %s\n", out.c_str());
        png_destroy_write_struct(&png, &info);
        fclose(f);
        unlink(out.c_str());
        return 1;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(kWidth * 3);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint16_t p = plane[y * kWidth + x];
            int r = p >> 11, g = (p >> 5) & 63, b = p & 31;
            row[3 * x] = (png_byte)((r << 3) | (r >> 2));
            row[3 * x + 1] = (png_byte)((g << 2) | (g >> 4));
            row[3 * x + 2] = (png_byte)((b << 3) | (b >> 2));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (fclose(f) != 0) {
        perror(out.c_str());
        unlink(out.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int buffer = -1;
    std::string fbPath;
    bool inRun = true;
    const char* out = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            usage(stdout);
            return 0;
        }
        if ((a == "--buffer" || a == "--state" || a == "--fb") && i + 1 < argc && argv[i + 1][0]) {
            const char* v = argv[++i];
            if (a == "--buffer") {
                char* end = nullptr;
                errno = 0;
                long n = strtol(v, &end, 10);
                if (errno || *end || n < 0 || n >= kBuffers) {
                    fprintf(stderr, "lcd-png: no off-screen buffer %s\n", v);
                    usage(stderr);
                    return 2;
                }
                buffer = (int)n;
            } else if (!inRun) {
                fprintf(stderr, "lcd-png: --state and --fb name the file twice\n");
                usage(stderr);
                return 2;
            } else {
                fbPath = a == "--fb" ? std::string(v) : std::string(v) + "/sim/lcd.fb";
                inRun = false;
            }
        } else if (a.size() > 1 && a[0] == '-') {
            fprintf(stderr, "lcd-png: unknown option or missing value: %s\n", a.c_str());
            usage(stderr);
            return 2;
        } else if (!out && !a.empty()) {
            out = argv[i];
        } else {
            fprintf(stderr, "lcd-png: one picture at a time: %s\n", a.c_str());
            usage(stderr);
            return 2;
        }
    }
    if (!out) {
        fprintf(stderr, "lcd-png: no picture named\n");
        usage(stderr);
        return 2;
    }
    if (inRun) fbPath = kPath;
    std::string target = out;
    if (inRun && target[0] != '/') target = std::string(kOutDir) + "/" + target;

    std::vector<uint16_t> plane(kWidth * kHeight);
    if (int rc = readPlane(fbPath, buffer, plane)) return rc;
    return writePng(target, plane);
}
