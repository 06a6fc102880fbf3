// Drawing on one 320 x 240 RGB565 plane of the virtual LCD. Coordinates
// may lie anywhere: everything is clipped to the panel.
#pragma once
#include <stdint.h>

namespace simlcd {

struct Canvas {
    uint16_t* px;
    int alpha = 255;  // opacity of what is drawn: 255 replaces the pixel

    // Blends colour c over (x, y) at opacity a (0-255), times `alpha`.
    void blend(int x, int y, uint16_t c, int a);
    void pixel(int x, int y, uint16_t c) { blend(x, y, c, 255); }
    void fillRect(int x0, int y0, int x1, int y1, uint16_t c, int a = 255);
    void rect(int x0, int y0, int x1, int y1, uint16_t c);
    void line(int x0, int y0, int x1, int y1, uint16_t c);
    void lineAA(int x0, int y0, int x1, int y1, uint16_t c);
    void circle(int cx, int cy, int r, uint16_t c);
    void fillCircle(int cx, int cy, int r, uint16_t c);
    void roundedRect(int x0, int y0, int x1, int y1, int r, uint16_t c);
    void pictureRgb(int x, int y, int w, int h, const uint8_t* rgb);
    void picture565(int x, int y, int w, int h, const uint16_t* p);
    // Halves the brightness of the whole plane (the modal backdrop).
    void darken();
};

uint16_t rgb565(int r, int g, int b);
uint16_t mix565(uint16_t under, uint16_t over, int a);

}  // namespace simlcd
