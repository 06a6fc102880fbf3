// libjpeg-turbo two ways in one process: with its SIMD paths (the ceiling)
// and with them off (its portable code, the fair peer on a core without a
// vector unit). The library reads JSIMD_FORCENONE once, at its first
// decode, and keeps the answer; so the linked copy decodes once before the
// variable is set, and a second copy of the same shared object, loaded
// from a temporary file, starts with it set. On MIPS (linked statically
// for qemu) there is only the portable copy.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <vector>

#if !defined(__mips__)
#include <dlfcn.h>
#endif

struct TurboDecoder {
    tjhandle (*init)(void) = nullptr;
    int (*header)(tjhandle, const unsigned char*, unsigned long, int*, int*, int*, int*) = nullptr;
    int (*decode)(tjhandle, const unsigned char*, unsigned long, unsigned char*, int, int, int, int, int) = nullptr;
    int (*destroy)(tjhandle) = nullptr;
    tjhandle handle = nullptr;
    std::vector<unsigned char> out;

    bool ok() const { return handle != nullptr; }
    // Decodes into RGB; false on failure.
    bool run(const unsigned char* data, size_t size) {
        int w, h, sub, cs;
        if (header(handle, data, (unsigned long)size, &w, &h, &sub, &cs) != 0) return false;
        out.resize((size_t)w * h * 3);
        return decode(handle, data, (unsigned long)size, out.data(), w, 0, h, TJPF_RGB, 0) == 0;
    }
};

struct TurboPair {
    TurboDecoder simd, portable;  // simd.ok() is false where there is none

    // `sample`: any decodable JPEG, used to make each copy take its mode.
    bool start(const unsigned char* sample, size_t size) {
#if defined(__mips__)
        setenv("JSIMD_FORCENONE", "1", 1);
        bind(portable, tjInitDecompress, tjDecompressHeader3, tjDecompress2, tjDestroy);
        return portable.run(sample, size);
#else
        if (getenv("JSIMD_FORCENONE")) {
            fprintf(stderr, "unset JSIMD_FORCENONE: the bench sets it itself\n");
            return false;
        }
        bind(simd, tjInitDecompress, tjDecompressHeader3, tjDecompress2, tjDestroy);
        if (!simd.run(sample, size)) return false;
        Dl_info info;
        if (!dladdr((void*)&tjInitDecompress, &info) || !info.dli_fname) return false;
        char tmp[] = "/tmp/turbojpeg-portable-XXXXXX";
        int fd = mkstemp(tmp);
        if (fd < 0) return false;
        FILE* in = fopen(info.dli_fname, "rb");
        bool copied = in != nullptr;
        char buf[65536];
        size_t n;
        while (copied && (n = fread(buf, 1, sizeof buf, in)) > 0) copied = write(fd, buf, n) == (ssize_t)n;
        if (in) fclose(in);
        close(fd);
        setenv("JSIMD_FORCENONE", "1", 1);
        void* lib = copied ? dlopen(tmp, RTLD_NOW | RTLD_LOCAL) : nullptr;
        unlink(tmp);
        if (!lib) return false;
        bind(portable, (tjhandle(*)(void))dlsym(lib, "tjInitDecompress"),
             (decltype(portable.header))dlsym(lib, "tjDecompressHeader3"),
             (decltype(portable.decode))dlsym(lib, "tjDecompress2"), (int (*)(tjhandle))dlsym(lib, "tjDestroy"));
        // The copy reads the variable at its first decode.
        const bool ran = portable.run(sample, size);
        unsetenv("JSIMD_FORCENONE");
        return ran;
#endif
    }

private:
    static void bind(TurboDecoder& d, tjhandle (*i)(void), decltype(TurboDecoder::header) h,
                     decltype(TurboDecoder::decode) dec, int (*x)(tjhandle)) {
        d.init = i;
        d.header = h;
        d.decode = dec;
        d.destroy = x;
        if (i && h && dec && x) d.handle = i();
    }
};
