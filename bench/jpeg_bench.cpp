// Decoding speed of the LCD library's JPEG decoder against stb_image (built
// with and without SIMD) and libjpeg-turbo, on the same procedurally made
// photos encoded 4:2:0 by libjpeg-turbo: 320 x 240 (the panel) and
// 1280 x 960. Prints the ratios at the end, and the decoder's peak memory
// for the 320 x 240 photo.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <turbojpeg.h>

#include <map>
#include <string>
#include <vector>

#include "lcddraw/jpeg.h"

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

// The same landscape as the decoder's tests.
std::vector<uint8_t> photo(int w, int h) {
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
            // Some fine grain, as a camera's sensor leaves.
            double grain = ((x * 7919 + y * 104729) % 17) - 8;
            uint8_t* o = &p[((size_t)y * w + x) * 3];
            o[0] = (uint8_t)fmin(255, fmax(0, r + grain));
            o[1] = (uint8_t)fmin(255, fmax(0, g + grain));
            o[2] = (uint8_t)fmin(255, fmax(0, b + grain));
        }
    return p;
}

std::vector<uint8_t> encode(int w, int h) {
    std::vector<uint8_t> rgb = photo(w, h);
    tjhandle t = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    if (tjCompress2(t, rgb.data(), w, 0, h, TJPF_RGB, &out, &size, TJSAMP_420, 85, 0) != 0) {
        fprintf(stderr, "encode: %s\n", tjGetErrorStr());
        exit(1);
    }
    std::vector<uint8_t> jpg(out, out + size);
    tjFree(out);
    tjDestroy(t);
    return jpg;
}

const std::vector<uint8_t>& picture(int which) {
    static std::vector<uint8_t> small = encode(320, 240), large = encode(1280, 960);
    return which ? large : small;
}

void BM_ours(benchmark::State& st) {
    const auto& jpg = picture((int)st.range(0));
    njInit();
    for (auto _ : st) {
        if (njDecode(jpg.data(), (int)jpg.size()) != NJ_OK) st.SkipWithError("decode");
        benchmark::DoNotOptimize(njGetImage());
    }
    njDone();
    st.SetBytesProcessed((int64_t)st.iterations() * jpg.size());
}

template <unsigned char* (*Decode)(const unsigned char*, int, int*, int*), void (*Free)(unsigned char*)>
void BM_stb(benchmark::State& st) {
    const auto& jpg = picture((int)st.range(0));
    for (auto _ : st) {
        int w, h;
        unsigned char* p = Decode(jpg.data(), (int)jpg.size(), &w, &h);
        if (!p) st.SkipWithError("decode");
        benchmark::DoNotOptimize(p);
        Free(p);
    }
    st.SetBytesProcessed((int64_t)st.iterations() * jpg.size());
}

void BM_turbo(benchmark::State& st) {
    const auto& jpg = picture((int)st.range(0));
    tjhandle t = tjInitDecompress();
    int w, h, sub, cs;
    tjDecompressHeader3(t, jpg.data(), jpg.size(), &w, &h, &sub, &cs);
    std::vector<uint8_t> out((size_t)w * h * 3);
    for (auto _ : st) {
        if (tjDecompress2(t, jpg.data(), jpg.size(), out.data(), w, 0, h, TJPF_RGB, 0) != 0) st.SkipWithError("decode");
        benchmark::DoNotOptimize(out.data());
    }
    tjDestroy(t);
    st.SetBytesProcessed((int64_t)st.iterations() * jpg.size());
}

BENCHMARK(BM_ours)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_stb, stb_nosimd_decode, stb_nosimd_free)
    ->Name("BM_stb_nosimd")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_stb, stb_simd_decode, stb_simd_free)
    ->Name("BM_stb_simd")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_turbo)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Collects the median (or only) CPU time per benchmark to print ratios.
class Ratios : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> cpu;
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
            std::string name = r.run_name.function_name + "/" + r.run_name.args;
            cpu[name] = r.GetAdjustedCPUTime();
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // Peak heap of one decode of the panel-sized photo, plus the context.
    {
        const auto& jpg = picture(0);
        njInit();
        g_live = g_peak = 0;
        g_track = true;
        nj_result_t r = njDecode(jpg.data(), (int)jpg.size());
        g_track = false;
        njDone();
        printf("320x240 4:2:0 photo: %zu bytes of JPEG, decode %s, peak heap %zu bytes\n", jpg.size(),
               r == NJ_OK ? "ok" : "FAILED", g_peak);
    }
    Ratios rep;
    benchmark::RunSpecifiedBenchmarks(&rep);
    const char* sizes[] = {"0", "1"};
    const char* names[] = {"320x240", "1280x960"};
    printf("\nspeed ratio, other's CPU time / ours (above 1: we are faster)\n");
    for (int i = 0; i < 2; ++i) {
        double ours = rep.cpu["BM_ours/" + std::string(sizes[i])];
        if (ours <= 0) continue;
        printf("%-9s stb_image no SIMD %.2f   stb_image SIMD %.2f   libjpeg-turbo %.2f\n", names[i],
               rep.cpu["BM_stb_nosimd/" + std::string(sizes[i])] / ours,
               rep.cpu["BM_stb_simd/" + std::string(sizes[i])] / ours,
               rep.cpu["BM_turbo/" + std::string(sizes[i])] / ours);
    }
    benchmark::Shutdown();
    return 0;
}
