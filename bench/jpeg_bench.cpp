// Decoding speed of the LCD library's JPEG decoder against stb_image (built
// with and without SIMD) and libjpeg-turbo (with its SIMD paths, the
// ceiling, and with them off, its portable code: the fair peer on the
// router, which has no vector unit), into RGB.
//   jpeg_bench [benchmark flags] [--rounds=N] [FILE.jpg...]
//   jpeg_bench --write=DIR   writes its pictures as DIR/<name>.jpg (for
//                            jpeg_mips) and ends
// The pictures: a drawn landscape and a made photo-like picture, 320 x 240
// (the panel) and 1280 x 960, each encoded at quality 85 by libjpeg-turbo
// in 4:2:0, 4:2:2, 4:4:4 and grey, plus the files given. Each picture is
// timed by Google Benchmark, one decoder after the other, and then in N
// rounds (default 30) in which the decoders take turns, the order rotating:
// the ratios printed at the end (other's median thread CPU time / ours;
// above 1 ours is faster) come from those. Before measuring it prints the
// decoder's peak heap for the 320 x 240 4:2:0 landscape.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <turbojpeg.h>

#include <algorithm>
#include <string>
#include <vector>

#include "lcddraw/jpeg.h"
#include "turbo_pair.h"

unsigned char* stb_nosimd_decode(const unsigned char* data, int size, int* w, int* h);
void stb_nosimd_free(unsigned char* p);
unsigned char* stb_simd_decode(const unsigned char* data, int size, int* w, int* h);
void stb_simd_free(unsigned char* p);

// Heap accounting: the executable's malloc family interposes on every
// library's, counting live bytes while `g_track` is set.
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
}
static bool g_track;
static size_t g_live, g_peak;
static void count(void* p, bool add) {
    if (!p || !g_track) return;
    size_t n = malloc_usable_size(p);
    if (add) {
        g_live += n;
        if (g_live > g_peak) g_peak = g_live;
    } else {
        g_live -= n < g_live ? n : g_live;
    }
}
extern "C" void* malloc(size_t n) {
    void* p = __libc_malloc(n);
    count(p, true);
    return p;
}
extern "C" void* calloc(size_t a, size_t b) {
    void* p = __libc_calloc(a, b);
    count(p, true);
    return p;
}
extern "C" void* realloc(void* old, size_t n) {
    count(old, false);
    void* p = __libc_realloc(old, n);
    count(p ? p : old, true);
    return p;
}
extern "C" void free(void* p) {
    count(p, false);
    __libc_free(p);
}

namespace {

// The same landscape as the decoder's tests, with some sensor-like grain.
std::vector<uint8_t> landscape(int w, int h) {
    std::vector<uint8_t> p((size_t)w * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double fx = (double)x / w, fy = (double)y / h;
            double r = 90 + 100 * fy, g = 150 + 60 * fy, b = 240 - 40 * fy;
            if (hypot(fx - 0.75, fy - 0.25) < 0.1) r = 255, g = 230, b = 120;
            double hill = 0.55 + 0.08 * sin(fx * 9.0) + 0.04 * sin(fx * 23.0 + 1.0);
            if (fy > hill) {
                double t = 0.5 + 0.5 * sin(x * 0.45) * sin(y * 0.3);
                r = 40 + 60 * t;
                g = 110 + 80 * t;
                b = 30 + 20 * t;
            }
            if (fx > 0.1 && fx < 0.3 && fy > 0.6 && fy < 0.85) r = 200, g = 40, b = 40;
            double grain = ((x * 7919 + y * 104729) % 17) - 8;
            uint8_t* o = &p[((size_t)y * w + x) * 3];
            o[0] = (uint8_t)fmin(255, fmax(0, r + grain));
            o[1] = (uint8_t)fmin(255, fmax(0, g + grain));
            o[2] = (uint8_t)fmin(255, fmax(0, b + grain));
        }
    return p;
}

// A photo's coefficient statistics: value noise of three octaves (soft
// shapes at every scale), hard-edged shadows and fine grain.
std::vector<uint8_t> photoLike(int w, int h) {
    uint32_t s = 7u + (uint32_t)w * 3 + (uint32_t)h * 5;
    auto next = [&s] {
        s = s * 1103515245u + 12345u;
        return (int)(s >> 16);
    };
    struct Grid {
        int cell, gw;
        std::vector<int> v;
    } grids[3] = {{64, 0, {}}, {16, 0, {}}, {4, 0, {}}};
    const double amp[3] = {0.7, 0.22, 0.08};
    for (Grid& g : grids) {
        g.gw = w / g.cell + 2;
        g.v.resize((size_t)g.gw * (h / g.cell + 2) * 3);
        for (int& v : g.v) v = next() % 256;
    }
    std::vector<uint8_t> p((size_t)w * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double v[3] = {0, 0, 0};
            for (int k = 0; k < 3; ++k) {
                const Grid& g = grids[k];
                const double cx = (double)x / g.cell, cy = (double)y / g.cell;
                const int ix = (int)cx, iy = (int)cy;
                const double tx = cx - ix, ty = cy - iy;
                const int* b = &g.v[((size_t)iy * g.gw + ix) * 3];
                for (int c = 0; c < 3; ++c) {
                    const double top = b[c] + (b[3 + c] - b[c]) * tx;
                    const double bot = b[g.gw * 3 + c] + (b[g.gw * 3 + 3 + c] - b[g.gw * 3 + c]) * tx;
                    v[c] += amp[k] * (top + (bot - top) * ty);
                }
            }
            if ((x * 3 + y * 2) % 97 < 30 && (x / 40 + y / 30) % 3 == 0)
                for (double& c : v) c *= 0.6;
            const int grain = next() % 9 - 4;
            for (int c = 0; c < 3; ++c) p[((size_t)y * w + x) * 3 + c] = (uint8_t)fmin(255, fmax(0, (int)v[c] + grain));
        }
    return p;
}

std::vector<uint8_t> encode(const std::vector<uint8_t>& rgb, int w, int h, int samp) {
    tjhandle t = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    if (tjCompress2(t, rgb.data(), w, 0, h, TJPF_RGB, &out, &size, samp, 85, 0) != 0) {
        fprintf(stderr, "encode: %s\n", tjGetErrorStr());
        exit(1);
    }
    std::vector<uint8_t> jpg(out, out + size);
    tjFree(out);
    tjDestroy(t);
    return jpg;
}

struct Picture {
    std::string name;
    std::vector<uint8_t> jpg;
};
std::vector<Picture> pictures;
TurboPair turbo;

struct Decoder {
    const char* name;
    bool (*run)(const std::vector<uint8_t>&);
};

bool ours(const std::vector<uint8_t>& d) {
    njInit();
    const bool ok = njDecode(d.data(), (int)d.size()) == NJ_OK;
    benchmark::DoNotOptimize(njGetImage());
    njDone();
    return ok;
}
template <unsigned char* (*Decode)(const unsigned char*, int, int*, int*), void (*Free)(unsigned char*)>
bool stb(const std::vector<uint8_t>& d) {
    int w, h;
    unsigned char* p = Decode(d.data(), (int)d.size(), &w, &h);
    benchmark::DoNotOptimize(p);
    Free(p);
    return p != nullptr;
}
bool turboPortable(const std::vector<uint8_t>& d) { return turbo.portable.run(d.data(), d.size()); }
bool turboSimd(const std::vector<uint8_t>& d) { return turbo.simd.run(d.data(), d.size()); }

const Decoder decoders[] = {{"ours", ours},
                            {"stb_nosimd", stb<stb_nosimd_decode, stb_nosimd_free>},
                            {"stb_simd", stb<stb_simd_decode, stb_simd_free>},
                            {"turbo_portable", turboPortable},
                            {"turbo_simd", turboSimd}};
constexpr int kDecoders = sizeof decoders / sizeof decoders[0];

double threadCpu() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::vector<uint8_t> readFile(const char* path) {
    std::vector<uint8_t> d;
    FILE* f = fopen(path, "rb");
    if (!f) return d;
    unsigned char b[65536];
    size_t n;
    while ((n = fread(b, 1, sizeof b, f)) > 0) d.insert(d.end(), b, b + n);
    fclose(f);
    return d;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    int rounds = 30;
    const char* writeDir = nullptr;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        if (!strncmp(argv[i], "--rounds=", 9))
            rounds = atoi(argv[i] + 9);
        else if (!strncmp(argv[i], "--write=", 8))
            writeDir = argv[i] + 8;
        else
            files.push_back(argv[i]);
    }
    const struct {
        const char* name;
        int samp;
    } samplings[] = {{"420", TJSAMP_420}, {"422", TJSAMP_422}, {"444", TJSAMP_444}, {"grey", TJSAMP_GRAY}};
    for (int large = 0; large < 2; ++large) {
        const int w = large ? 1280 : 320, h = large ? 960 : 240;
        const std::vector<uint8_t> land = landscape(w, h), photo = photoLike(w, h);
        for (const auto& s : samplings) {
            const std::string size = std::to_string(w) + "x" + std::to_string(h);
            pictures.push_back({"land_" + size + "_" + s.name, encode(land, w, h, s.samp)});
            pictures.push_back({"photo_" + size + "_" + s.name, encode(photo, w, h, s.samp)});
        }
    }
    if (writeDir) {
        for (const Picture& p : pictures) {
            const std::string path = std::string(writeDir) + "/" + p.name + ".jpg";
            FILE* f = fopen(path.c_str(), "wb");
            if (!f || fwrite(p.jpg.data(), 1, p.jpg.size(), f) != p.jpg.size()) {
                perror(path.c_str());
                return 1;
            }
            fclose(f);
        }
        return 0;
    }
    for (const char* f : files) {
        std::vector<uint8_t> d = readFile(f);
        if (d.empty()) {
            fprintf(stderr, "cannot read %s\n", f);
            return 1;
        }
        const char* base = strrchr(f, '/');
        pictures.push_back({base ? base + 1 : f, d});
    }
    if (!turbo.start(pictures[0].jpg.data(), pictures[0].jpg.size())) {
        fprintf(stderr, "libjpeg-turbo: cannot set up its two ways\n");
        return 1;
    }
    // Peak heap of one decode of the panel-sized 4:2:0 landscape.
    {
        const auto& jpg = pictures[0].jpg;
        njInit();
        g_live = g_peak = 0;
        g_track = true;
        nj_result_t r = njDecode(jpg.data(), (int)jpg.size());
        g_track = false;
        njDone();
        printf("%s: %zu bytes of JPEG, decode %s, peak heap %zu bytes\n", pictures[0].name.c_str(), jpg.size(),
               r == NJ_OK ? "ok" : "FAILED", g_peak);
    }
    for (const Picture& p : pictures)
        for (const Decoder& d : decoders) {
            const std::vector<uint8_t>* jpg = &p.jpg;
            auto fn = d.run;
            benchmark::RegisterBenchmark((std::string(d.name) + "/" + p.name).c_str(), [jpg, fn](benchmark::State& st) {
                for (auto _ : st)
                    if (!fn(*jpg)) st.SkipWithError("decode");
                st.SetBytesProcessed((int64_t)st.iterations() * jpg->size());
            })->Unit(benchmark::kMicrosecond);
        }
    benchmark::RunSpecifiedBenchmarks();
    printf("\n%d rounds, decoders taking turns; median thread CPU time of ours, then other's / ours\n", rounds);
    printf("%-22s %10s", "picture", "ours");
    for (int k = 1; k < kDecoders; ++k) printf(" %15s", decoders[k].name);
    printf("\n");
    for (const Picture& p : pictures) {
        std::vector<double> t[kDecoders];
        for (int r = 0; r < rounds; ++r)
            for (int k = 0; k < kDecoders; ++k) {
                const Decoder& d = decoders[(k + r) % kDecoders];
                const double t0 = threadCpu();
                if (!d.run(p.jpg)) {
                    fprintf(stderr, "%s: %s cannot decode it\n", p.name.c_str(), d.name);
                    return 1;
                }
                t[(k + r) % kDecoders].push_back(threadCpu() - t0);
            }
        const double mine = median(t[0]);
        printf("%-22s %8.3fms", p.name.c_str(), mine * 1e3);
        for (int k = 1; k < kDecoders; ++k) printf(" %15.2f", median(t[k]) / mine);
        printf("\n");
    }
    benchmark::Shutdown();
    return 0;
}
