// The JPEG decoder against stb_image built without SIMD (the router has no
// vector unit), as a plain program that builds for mipsel too, to compare
// them under qemu-mipsel:
//   jpeg_mips FILE.jpg [rounds]
// Decodes the file with each decoder in turn, `rounds` rounds (default 20),
// and prints the CPU time per decode of each and their ratio.
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <vector>

#include "lcddraw/jpeg.h"

#define STBI_NO_SIMD
#include "stb_jpeg.h"

static double cpuNow() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: jpeg_mips FILE.jpg [rounds]\n");
        return 2;
    }
    FILE* f = fopen(argv[1], "rb");
    if (!f) {
        perror(argv[1]);
        return 1;
    }
    std::vector<unsigned char> data;
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
    fclose(f);
    int rounds = argc > 2 ? atoi(argv[2]) : 20;
    double ours = 0, stb = 0;
    for (int r = 0; r < rounds; ++r) {
        double t0 = cpuNow();
        njInit();
        if (njDecode(data.data(), (int)data.size()) != NJ_OK) {
            fprintf(stderr, "decode failed\n");
            return 1;
        }
        njDone();
        double t1 = cpuNow();
        int w, h, c;
        unsigned char* p = stbi_load_from_memory(data.data(), (int)data.size(), &w, &h, &c, 3);
        if (!p) return 1;
        stbi_image_free(p);
        double t2 = cpuNow();
        ours += t1 - t0;
        stb += t2 - t1;
    }
    printf("%s: ours %.2f ms, stb_image no SIMD %.2f ms, ratio stb/ours %.2f\n", argv[1], ours / rounds * 1e3,
           stb / rounds * 1e3, stb / ours);
    return 0;
}
