#include "text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <math.h>
#include <vector>

#include "fb.h"

namespace simlcd {
namespace {

constexpr const char* kFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

FT_Library g_lib;
FT_Face g_face;
float g_size = -1;

bool setSize(float size) {
    if (!g_face) {
        if (!g_lib && FT_Init_FreeType(&g_lib)) return false;
        if (FT_New_Face(g_lib, kFace, 0, &g_face)) {
            g_face = nullptr;
            return false;
        }
    }
    if (!(size >= 1.0f && size <= 200.0f)) return false;  // NaN refused too
    if (size != g_size) {
        if (FT_Set_Char_Size(g_face, 0, (FT_F26Dot6)lround(size * 64.0f), 72, 72)) return false;
        g_size = size;
    }
    return true;
}

struct Glyph {
    uint32_t ch;
    long start;    // pen position, 26.6, from the text's origin
    long advance;  // 26.6
};

// One line of layout (no wrapping): pen positions of every character.
std::vector<Glyph> layout(const TextRequest& r) {
    std::vector<Glyph> out;
    long pen = 0;
    for (int i = 0; i < r.count; ++i) {
        uint32_t ch = r.chars[i];
        long adv = 0;
        if (ch >= 0x20 && !FT_Load_Char(g_face, ch, FT_LOAD_DEFAULT)) adv = g_face->glyph->advance.x;
        out.push_back({ch, pen, adv});
        pen += adv;
    }
    return out;
}

long px(long v26) { return (v26 + 32) >> 6; }

void drawGlyph(Canvas& c, uint32_t ch, int penx, int baseline, int clipLeft, int clipRight, uint16_t colour) {
    if (FT_Load_Char(g_face, ch, FT_LOAD_RENDER)) return;
    FT_GlyphSlot g = g_face->glyph;
    const FT_Bitmap& bm = g->bitmap;
    for (unsigned row = 0; row < bm.rows; ++row) {
        int y = baseline - g->bitmap_top + (int)row;
        for (unsigned col = 0; col < bm.width; ++col) {
            int x = penx + g->bitmap_left + (int)col;
            if (x < clipLeft || x > clipRight) continue;
            int cov = bm.buffer[row * bm.pitch + col];
            if (cov) c.blend(x, y, colour, cov);
        }
    }
}

}  // namespace

int textRequest(Canvas* canvas, const TextRequest& r) {
    if (!setSize(r.size)) return -1;
    std::vector<Glyph> glyphs = layout(r);
    long total = glyphs.empty() ? 0 : glyphs.back().start + glyphs.back().advance;
    if (r.request == 39) return (int)px(total);
    if (r.request == 40) {
        long x = (long)r.x * 64;
        // Index x 1000 + the pixels from the character's start, as the
        // keyboard reads it; past the end the length with no offset.
        for (size_t i = 0; i < glyphs.size(); ++i)
            if (x < glyphs[i].start + glyphs[i].advance) {
                long offset = (x - glyphs[i].start) >> 6;
                return (int)i * 1000 + (int)(offset < 0 ? 0 : offset > 999 ? 999 : offset);
            }
        return (int)glyphs.size() * 1000;
    }
    if (!canvas) return -1;
    const FT_Size_Metrics& m = g_face->size->metrics;
    const int ascender = (int)px(m.ascender);
    const int lineHeight = (int)px(m.height);
    const uint16_t colour = (uint16_t)r.colour, background = (uint16_t)r.background;
    const bool wrap = r.lineMode == 0;
    // Flags B 1 centres a single line between x and the right edge; flags
    // A 1 puts it against the right edge.
    long origin = r.x;
    if (!wrap && (r.flagsB == 1 || r.flagsA == 1)) {
        long room = (long)r.right - r.x - px(total);
        if (room > 0) origin += r.flagsB == 1 ? room / 2 : room;
    }
    int lineY = r.y;
    long lineStart = 0;  // 26.6 pen position where the current line starts
    int clipLeft = r.x < 0 ? 0 : r.x;
    auto fillBackground = [&](long from, long to, int y) {
        if (r.transparent) return;
        int x0 = (int)(origin + px(from)), x1 = (int)(origin + px(to)) - 1;
        if (x1 > r.right) x1 = r.right;
        if (x1 >= x0) canvas->fillRect(x0, y, x1, y + lineHeight - 1, background);
    };
    size_t first = 0;
    for (size_t i = 0; i <= glyphs.size(); ++i) {
        bool end = i == glyphs.size();
        bool breakHere = false;
        if (!end && wrap) {
            if (glyphs[i].ch == '\n')
                breakHere = true;
            else if (i > first && origin + px(glyphs[i].start + glyphs[i].advance - lineStart) > r.right + 1)
                breakHere = true;
        }
        if (!end && !breakHere) continue;
        // Draw glyphs [first, i) on this line.
        long lineEnd = i > first ? glyphs[i - 1].start + glyphs[i - 1].advance : lineStart;
        fillBackground(0, lineEnd - lineStart, lineY);
        for (size_t k = first; k < i; ++k) {
            if (glyphs[k].ch < 0x20) continue;
            int penx = (int)(origin + px(glyphs[k].start - lineStart));
            if (penx > r.right) break;
            drawGlyph(*canvas, glyphs[k].ch, penx, lineY + ascender, clipLeft, r.right, colour);
        }
        if (end) break;
        lineY += lineHeight;
        if (lineY >= kHeight) break;
        first = glyphs[i].ch == '\n' ? i + 1 : i;
        lineStart = first < glyphs.size() ? glyphs[first].start : lineEnd;
    }
    return 0;
}

}  // namespace simlcd
