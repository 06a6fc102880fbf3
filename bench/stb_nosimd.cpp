// stb_image's JPEG decoder, built without its SIMD paths (STBI_NO_SIMD), as it would run on the router.
#define STBI_NO_SIMD
#include "stb_jpeg.h"

STB_JPEG_FUNCTIONS(stb_nosimd)
