// The virtual LCD's frame buffers: one file in the run's state,
// /sim/state/lcd.fb, memory-mapped by every process that draws or looks.
// Layout (all little-endian; see docs/virtual-router.md):
//   64-byte header (LcdFbHeader), then the visible screen, then the
//   off-screen buffers, each 320 x 240 RGB565 pixels, rows top to bottom.
// Writers hold an exclusive flock on the file for each request, readers a
// shared one; `frame` counts finished requests that changed anything.
#pragma once
#include <stddef.h>
#include <stdint.h>

namespace simlcd {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kBuffers = 4;
constexpr uint32_t kMagic = 0x44434C48;  // "HLCD"
constexpr uint32_t kVersion = 1;
constexpr const char* kPath = "/sim/state/lcd.fb";

struct LcdFbHeader {
    uint32_t magic, version;
    uint32_t width, height;
    uint32_t buffers;       // off-screen buffers after the screen
    uint32_t panel;         // 1 on, 0 off
    uint32_t panelChanges;  // on/off requests so far
    uint32_t fades;         // fade requests so far
    uint32_t alphaEnabled;  // 1 while blending is on
    uint32_t alpha;         // 0-255
    int32_t current;        // current buffer
    int32_t shift;          // horizontal shift of the last shiftScreen
    uint32_t frame;         // bumped after every request that drew
    uint32_t modals;        // modal backdrops drawn
    uint32_t reserved[2];
};
static_assert(sizeof(LcdFbHeader) == 64, "frame-buffer header");

constexpr uint32_t kPlaneBytes = kWidth * kHeight * 2;
constexpr uint32_t kFileBytes = sizeof(LcdFbHeader) + (1 + kBuffers) * kPlaneBytes;

struct Fb {
    int fd = -1;
    LcdFbHeader* header = nullptr;
    uint16_t* screen = nullptr;  // the visible plane
    uint16_t* buffer(int i) { return screen + (size_t)(i + 1) * kWidth * kHeight; }
};

// Opens (creating and initialising if needed) and maps the file. `path`
// defaults to kPath. Returns false on failure.
bool fbOpen(Fb& fb, const char* path = nullptr);
void fbClose(Fb& fb);
void fbLock(Fb& fb, bool exclusive);
void fbUnlock(Fb& fb);

}  // namespace simlcd
