// The JPEG decoder against stb_image built without SIMD and libjpeg-turbo
// (its portable code, the router having no vector unit; on the host also
// with its SIMD paths, as the ceiling), as a plain program that builds for
// mipsel too, to compare them under qemu-mipsel:
//   jpeg_mips FILE.jpg [rounds]
// Decodes the file with each decoder in turn, `rounds` rounds (default 20),
// the order rotating from round to round, and prints each one's median
// thread CPU time per decode and the ratios (other's / ours; above 1 ours
// is faster).
//   jpeg_mips --only=NAME FILE.jpg [rounds]
// decodes with one decoder (ours, stb, turbo, turbo-simd) only: for
// counting instructions per decode (see bench/jpeg_insns.sh).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#include "lcddraw/jpeg.h"
#include "turbo_pair.h"

#define STBI_NO_SIMD
#include "stb_jpeg.h"

static double cpuNow() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

static std::vector<unsigned char> data;
static TurboPair turbo;

static bool decodeOurs() {
    njInit();
    const bool ok = njDecode(data.data(), (int)data.size()) == NJ_OK;
    njDone();
    return ok;
}

static bool decodeStb() {
    int w, h, c;
    unsigned char* p = stbi_load_from_memory(data.data(), (int)data.size(), &w, &h, &c, 3);
    stbi_image_free(p);
    return p != nullptr;
}

static bool decodeTurbo() { return turbo.portable.run(data.data(), data.size()); }
static bool decodeTurboSimd() { return turbo.simd.run(data.data(), data.size()); }

struct Decoder {
    const char* name;
    const char* label;
    bool (*run)();
    std::vector<double> times;
};

static double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

int main(int argc, char** argv) {
    const char* only = nullptr;
    int a = 1;
    if (a < argc && !strncmp(argv[a], "--only=", 7)) only = argv[a++] + 7;
    if (a >= argc) {
        fprintf(stderr, "usage: jpeg_mips [--only=ours|stb|turbo|turbo-simd] FILE.jpg [rounds]\n");
        return 2;
    }
    const char* path = argv[a];
    FILE* f = fopen(path, "rb");
    if (!f) {
        perror(path);
        return 1;
    }
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
    fclose(f);
    const int rounds = a + 1 < argc ? atoi(argv[a + 1]) : 20;
    std::vector<Decoder> all = {{"ours", "ours", decodeOurs, {}},
                                {"stb", "stb_image no SIMD", decodeStb, {}},
                                {"turbo", "libjpeg-turbo portable", decodeTurbo, {}},
                                {"turbo-simd", "libjpeg-turbo SIMD", decodeTurboSimd, {}}};
    const bool needTurbo = !only || !strncmp(only, "turbo", 5);
    if (needTurbo && !turbo.start(data.data(), data.size())) {
        fprintf(stderr, "libjpeg-turbo cannot decode %s\n", path);
        return 1;
    }
    std::vector<Decoder> used;
    for (Decoder& d : all) {
        if (only ? strcmp(d.name, only) != 0 : (d.run == decodeTurboSimd && !turbo.simd.ok())) continue;
        used.push_back(d);
    }
    if (used.empty() || (only && !strcmp(only, "turbo-simd") && !turbo.simd.ok())) {
        fprintf(stderr, "no decoder %s here\n", only ? only : "");
        return 2;
    }
    for (int r = 0; r < rounds; ++r)
        for (size_t k = 0; k < used.size(); ++k) {
            Decoder& d = used[(k + r) % used.size()];
            const double t0 = cpuNow();
            if (!d.run()) {
                fprintf(stderr, "%s: decode failed\n", d.name);
                return 1;
            }
            d.times.push_back(cpuNow() - t0);
        }
    if (only) return 0;
    const double ours = median(used[0].times);
    printf("%s, %d rounds, median thread CPU time per decode:", path, rounds);
    for (const Decoder& d : used) printf("  %s %.3f ms", d.label, median(d.times) * 1e3);
    printf("\n  ratio other/ours:");
    for (size_t k = 1; k < used.size(); ++k) printf("  %s %.2f", used[k].label, median(used[k].times) / ours);
    printf("\n");
    return 0;
}
