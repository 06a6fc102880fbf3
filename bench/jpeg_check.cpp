// Byte-for-byte check of the JPEG decoder against an earlier version of it
// (compiled with its entry points renamed ref_*, see bench/README.md):
//   jpeg_check FILE.jpg...
// For each file and ten damaged copies (cut to a third and two thirds,
// bits flipped, and a marker the decoder refuses at four places near the
// end of the entropy-coded data, where whether a decoder reaches it depends
// on how far it reads ahead), both decoders must give the same result code
// and, when they decode, the same size and the same pixels.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "lcddraw/jpeg.h"

extern "C" {
void ref_njInit(void);
void ref_njDone(void);
nj_result_t ref_njDecode(const void*, const int);
int ref_njGetWidth(void);
int ref_njGetHeight(void);
unsigned char* ref_njGetImage(void);
int ref_njGetImageSize(void);
}

static std::vector<unsigned char> readFile(const char* path) {
    std::vector<unsigned char> d;
    FILE* f = fopen(path, "rb");
    if (!f) return d;
    unsigned char b[65536];
    size_t n;
    while ((n = fread(b, 1, sizeof b, f)) > 0) d.insert(d.end(), b, b + n);
    fclose(f);
    return d;
}

static bool same(const unsigned char* d, int n, const char* name, int variant) {
    ref_njInit();
    njInit();
    nj_result_t a = ref_njDecode(d, n), b = njDecode(d, n);
    int bad = 0;
    if (a != b)
        bad = 1;
    else if (a == NJ_OK) {
        if (ref_njGetWidth() != njGetWidth() || ref_njGetHeight() != njGetHeight() ||
            ref_njGetImageSize() != njGetImageSize())
            bad = 2;
        else if (memcmp(ref_njGetImage(), njGetImage(), (size_t)njGetImageSize()))
            bad = 3;
    }
    if (bad)
        printf("MISMATCH %s copy %d: %s (%d vs %d)\n", name, variant,
               bad == 1   ? "result"
               : bad == 2 ? "size"
                          : "pixels",
               a, b);
    ref_njDone();
    njDone();
    return !bad;
}

int main(int argc, char** argv) {
    int bad = 0, decoded = 0, cases = 0;
    srand(1);
    for (int i = 1; i < argc; ++i) {
        std::vector<unsigned char> d = readFile(argv[i]);
        if (d.empty()) continue;
        bad += !same(d.data(), (int)d.size(), argv[i], -1);
        ++cases;
        ref_njInit();
        if (ref_njDecode(d.data(), (int)d.size()) == NJ_OK) ++decoded;
        ref_njDone();
        for (int v = 0; v < 10; ++v) {
            std::vector<unsigned char> e = d;
            if (v < 2) {
                e.resize(e.size() * (v + 1) / 3);
            } else if (v < 6) {
                for (int k = 0; k < v; ++k) e[rand() % e.size()] ^= (unsigned char)(1 << (rand() % 8));
            } else {
                // FF C4 over the last two bytes (the end-of-image marker) or
                // 2, 5 and 9 bytes before them.
                const size_t back = v == 6 ? 2 : v == 7 ? 4 : v == 8 ? 7 : 11;
                if (e.size() < back + 2) continue;
                e[e.size() - back] = 0xFF;
                e[e.size() - back + 1] = 0xC4;
            }
            bad += !same(e.data(), (int)e.size(), argv[i], v);
            ++cases;
        }
    }
    printf("%d cases, %d files decoded, %d mismatches\n", cases, decoded, bad);
    return bad != 0;
}
