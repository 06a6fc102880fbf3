// Text requests handed by the LCD stand-in to its text renderer, the host
// program /sim/bin/lcd-text, over a stream socket: a fixed message of
// little-endian words, the characters, and one word back (the request's
// result). The same on both ABIs, so a mipsel process under qemu and a
// native one render text with the same host FreeType.
#pragma once
#include <stdint.h>

namespace simlcd {

struct TextMessage {
    int32_t request;
    int32_t x, y, right, lineMode, colour, background, flagsA, flagsB, transparent;
    uint32_t sizeBits;  // the float font size
    int32_t count;      // characters that follow, at most kMaxChars
};
static_assert(sizeof(TextMessage) == 48, "text message");

constexpr int kMaxChars = 4096;
constexpr const char* kTextRenderer = "/sim/bin/lcd-text";

}  // namespace simlcd
