// stb_image's JPEG decoder compiled into the including file, static, for the
// benches to compare against. Define STBI_NO_SIMD before including it for
// the portable code the router would run.
#pragma once

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_JPEG
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include <stb/stb_image.h>

// <prefix>_decode (to RGB) and <prefix>_free, for a bench that links both
// builds of the decoder.
#define STB_JPEG_FUNCTIONS(prefix)                                                        \
    unsigned char* prefix##_decode(const unsigned char* data, int size, int* w, int* h) { \
        int n;                                                                            \
        return stbi_load_from_memory(data, size, w, h, &n, 3);                            \
    }                                                                                     \
    void prefix##_free(unsigned char* p) { stbi_image_free(p); }
