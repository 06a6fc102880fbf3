// Text on the virtual LCD, rendered with FreeType in DejaVu Sans at the
// requested pixel size. Drawing, measuring and hit-testing share one
// layout, so a measured width is exactly what drawing covers.
#pragma once
#include <stdint.h>

#include "raster.h"

namespace simlcd {

// A text request as the driver received it; chars are 32-bit characters.
struct TextRequest {
    int32_t request;  // 18 draw, 39 measure, 40 hit-test
    int32_t x, y, right, lineMode, colour, background, flagsA, flagsB, transparent;
    float size;
    int32_t count;
    const uint32_t* chars;
};

// Carries out a request: draws on the canvas (18) and returns 0, or returns
// the width in pixels (39) or, for the character at x (40: the text starts
// at 0), its index x 1000 + the pixels of x inside it (x past the end: the
// length x 1000). -1 when the face cannot be loaded or the size is not
// usable.
int textRequest(Canvas* canvas, const TextRequest& r);

}  // namespace simlcd
