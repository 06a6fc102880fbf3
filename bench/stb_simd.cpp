// stb_image's JPEG decoder, built with its SIMD paths (the host's ceiling).

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_JPEG
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include <stb/stb_image.h>

unsigned char* stb_simd_decode(const unsigned char* data, int size, int* w, int* h) {
    int n;
    return stbi_load_from_memory(data, size, w, h, &n, 3);
}
void stb_simd_free(unsigned char* p) { stbi_image_free(p); }
