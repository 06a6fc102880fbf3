// stb_image's JPEG decoder, built with its SIMD paths (the host's ceiling).
#include "stb_jpeg.h"

STB_JPEG_FUNCTIONS(stb_simd)
