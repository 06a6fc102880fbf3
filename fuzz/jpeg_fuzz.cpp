// The JPEG decoder on arbitrary bytes: it must return one of its result
// codes without reading or writing outside its buffers, and a decoded
// picture must be exactly as large as it says.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include "lcddraw/jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    njInit();
    nj_result_t r = njDecode(data, (int)size);
    if (r == NJ_OK) {
        const unsigned char* img = njGetImage();
        int n = njGetImageSize();
        if (!img || n != njGetWidth() * njGetHeight() * (njIsColor() ? 3 : 1)) abort();
        volatile unsigned sum = 0;
        for (int i = 0; i < n; i += 61) sum += img[i];
        sum += img[n - 1];
    } else if (r < NJ_NO_JPEG || r > NJ_SYNTAX_ERROR) {
        abort();
    }
    njDone();
    return 0;
}
