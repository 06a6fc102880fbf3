// Writes the virtual LCD's visible screen (or an off-screen buffer) as a PNG:
//   lcd-png [--buffer N] [--fb FILE] OUT.png
// Reads the frame-buffer file under a shared lock, so the picture is never
// caught in the middle of a request.
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "fb.h"

using namespace simlcd;

int main(int argc, char** argv) {
    int buffer = -1;
    const char* fbPath = nullptr;
    const char* out = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--buffer") && i + 1 < argc) {
            buffer = atoi(argv[++i]);
        } else if (!strcmp(argv[i], "--fb") && i + 1 < argc) {
            fbPath = argv[++i];
        } else if (argv[i][0] != '-' && !out) {
            out = argv[i];
        } else {
            out = nullptr;
            break;
        }
    }
    if (!out || buffer < -1 || buffer >= kBuffers) {
        fprintf(stderr, "usage: lcd-png [--buffer 0-%d] [--fb FILE] OUT.png\n", kBuffers - 1);
        return 2;
    }
    Fb fb;
    if (!fbOpen(fb, fbPath)) {
        perror("lcd-png: frame buffer");
        return 1;
    }
    std::vector<uint16_t> plane(kWidth * kHeight);
    fbLock(fb, false);
    memcpy(plane.data(), buffer < 0 ? fb.screen : fb.buffer(buffer), kPlaneBytes);
    fbUnlock(fb);
    fbClose(fb);

    FILE* f = fopen(out, "wb");
    if (!f) {
        perror(out);
        return 1;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        fprintf(stderr, "lcd-png: cannot write %s\n", out);
        png_destroy_write_struct(&png, &info);
        fclose(f);
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
        perror(out);
        return 1;
    }
    return 0;
}
