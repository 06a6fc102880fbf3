// Test helpers for the virtual LCD: its frame buffers and the requests its
// driver stand-in recorded.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

namespace testkit {

// A snapshot of /sim/state/lcd.fb.
struct LcdView {
    // Header words, in file order (see docs/virtual-router.md).
    uint32_t magic = 0, version = 0, width = 0, height = 0, buffers = 0, panel = 0, panelChanges = 0, fades = 0,
             alphaEnabled = 0, alpha = 0;
    int32_t current = 0, shift = 0;
    uint32_t frame = 0, modals = 0;
    std::vector<uint16_t> screen;  // 320 x 240
    std::vector<std::vector<uint16_t>> offscreen;

    uint16_t at(int x, int y) const { return screen[y * 320 + x]; }
    // Pixels of `colour` in the rectangle (corners inclusive).
    int count(int x0, int y0, int x1, int y1, uint16_t colour) const;
    // Pixels in the rectangle that differ from `colour`.
    int countNot(int x0, int y0, int x1, int y1, uint16_t colour) const;
};

LcdView lcdSnapshot();

struct LcdRequest {
    unsigned request = 0;
    std::vector<uint8_t> bytes;  // the record, when the request has one
    bool hasValue = false;
    long value = 0;
    std::string text;  // text requests: the text, UTF-8
    bool failed = false;

    int32_t word(size_t i) const;  // 32-bit little-endian word i of the record
    float floatAt(size_t off) const;
};

// The requests recorded since the log was last cleared (clearLog("lcd")).
std::vector<LcdRequest> lcdRequests();

}  // namespace testkit
