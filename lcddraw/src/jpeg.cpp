// Baseline JPEG decoder (ITU-T T.81, Huffman coding, 8-bit samples) with one
// process-wide context. Hardened against hostile files: every read is
// bounded by the input, sizes are computed in 64 bits and refused above a
// fixed budget, and running out of entropy-coded data is a syntax error.
#include "lcddraw/jpeg.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

namespace {

// Budget of the planes and the output of one picture. The panel is 320 x 240;
// the router has little memory, so pictures beyond this are refused (code 3)
// rather than allocated.
constexpr uint64_t kMaxBytes = 64u << 20;

// A block whose dequantised coefficients sum (in magnitude) to at most this
// keeps every step of the 32-bit inverse DCT within range: the largest
// weight of any step is 727077 per coefficient in the rows and 90885 per
// row output (at most 11.1 per coefficient) in the columns. Other blocks,
// rare in real pictures, take the same arithmetic in 64 bits.
constexpr unsigned kSafeSum = 2048;

struct Component {
    int cid, ssx, ssy;
    int width, height;  // samples that carry the picture
    int stride, rows;   // the plane: stride x rows (>= width x height)
    int ring;           // rows allocated: `rows`, or fewer when the rows are
                        // converted as they come and reused (row r at r % ring)
    int qtsel, actabsel, dctabsel;
    int dcpred;
    uint8_t* pixels;
};

struct Vlc {
    uint8_t bits, code;
};

struct Context {
    nj_result_t error;
    const uint8_t* pos;
    int size;
    int length;
    int width, height;
    int mbwidth, mbheight;
    int mbsizex, mbsizey;
    int ncomp;
    bool frame;
    Component comp[3];
    int qtused, qtavail;
    uint8_t qtab[4][64];
    int vlcavail;  // Huffman tables defined by this picture
    int block[64];
    int rstinterval;
    uint8_t* rgb;
    int rowwise;  // converted by macroblock rows: 1 (4:4:4) or 2 (4:2:2), else 0
};

Context nj;
// The four Huffman tables (DC 0-1, AC 2-3) as canonical codes: the 16-bit
// window v holds a code of length n when end[n - 1] <= v < end[n] (each
// length's codes fill their share of the 65,536 windows in order); beyond
// end[16] no code matches. Kept out of the context that njInit clears;
// `vlcavail` says which ones this picture defined.
struct Huffman {
    uint32_t end[17];
    uint16_t first[17];  // index in `syms` of the first code of each length
    uint8_t syms[16 * 255];
};
Huffman huff[4];
constexpr int kFastBits = 9;
// A code and its coefficient's bits that fit in the first 9 bits together,
// decoded in one lookup (len 0: not such a code). In the AC tables (2-3)
// the codes of a coefficient, of sixteen zeros (value 0) and the end of
// block (run 0); in the DC tables every code. Other codes of up to 9 bits
// have len 0, their symbol in `value` and their length in `run`.
struct FastAc {
    int16_t value;  // the coefficient
    uint8_t run;    // positions to advance: zeros skipped plus one
    uint8_t len;    // code and coefficient bits
};
FastAc fastac[4][1 << kFastBits];

// Clipping to 0-255 by lookup: index v + 384 for v in -384..639.
struct ClipTable {
    uint8_t t[1024];
    ClipTable() {
        for (int i = 0; i < 1024; ++i) t[i] = (uint8_t)(i < 384 ? 0 : (i > 639 ? 255 : i - 384));
    }
} const kClip;
inline uint8_t clipFast(int v) { return kClip.t[v + 384]; }
// The same for t - 24, t = 0..303 (the packed filter sums' range).
struct Clip24Table {
    uint8_t t[304];
    Clip24Table() {
        for (int i = 0; i < 304; ++i) t[i] = (uint8_t)(i < 24 ? 0 : (i > 279 ? 255 : i - 24));
    }
} const kClip24;

// The same as byte offsets of int coefficients.
struct ZigZag4 {
    uint8_t t[64];
    constexpr ZigZag4();
};
constexpr uint8_t kZigZag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
                                 41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
                                 30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
constexpr ZigZag4::ZigZag4() : t() {
    for (int i = 0; i < 64; ++i) t[i] = (uint8_t)(kZigZag[i] * 4);
}
constexpr ZigZag4 kZigZag4Table;
const uint8_t* const kZigZag4 = kZigZag4Table.t;

constexpr int W1 = 2841, W2 = 2676, W3 = 2408, W5 = 1609, W6 = 1108, W7 = 565;

// The butterflies of the classic integer inverse DCT, shared by the row and
// the column pass: inputs x0..x7 as the passes load them, and the column
// pass's intermediate rounding and scaling (Round, Shift; 0 for the rows).
// Leaves the eight sums, still to be scaled, in o.
template <typename T, int Round, int Shift>
inline __attribute__((always_inline)) void butterflies(T x0, T x1, T x2, T x3, T x4, T x5, T x6, T x7, T* o) {
    T x8 = W7 * (x4 + x5) + Round;
    x4 = (x8 + (W1 - W7) * x4) >> Shift;
    x5 = (x8 - (W1 + W7) * x5) >> Shift;
    x8 = W3 * (x6 + x7) + Round;
    x6 = (x8 - (W3 - W5) * x6) >> Shift;
    x7 = (x8 - (W3 + W5) * x7) >> Shift;
    x8 = x0 + x1;
    x0 -= x1;
    x1 = W6 * (x3 + x2) + Round;
    x2 = (x1 - (W2 + W6) * x2) >> Shift;
    x3 = (x1 + (W2 - W6) * x3) >> Shift;
    x1 = x4 + x6;
    x4 -= x6;
    x6 = x5 + x7;
    x5 -= x7;
    x7 = x8 + x3;
    x8 -= x3;
    x3 = x0 + x2;
    x0 -= x2;
    x2 = (181 * (x4 + x5) + 128) >> 8;
    x4 = (181 * (x4 - x5) + 128) >> 8;
    o[0] = x7 + x1;
    o[1] = x3 + x2;
    o[2] = x0 + x4;
    o[3] = x8 + x6;
    o[4] = x8 - x6;
    o[5] = x0 - x4;
    o[6] = x3 - x2;
    o[7] = x7 - x1;
}

// One row of the classic integer inverse DCT (in place when blk == out).
// Short: rows with only a DC coefficient take the shortcut, whose samples
// the whole arithmetic gives too (full blocks skip the test: it is mostly
// mispredicted there). Clear: the row is zeroed once read (blk != out;
// on MIPS, where clearing the block afterwards is a call to memset).
template <typename T, bool Short = true, bool Clear = false>
inline __attribute__((always_inline)) void rowIdct(T* blk, T* out) {
    T x1, x2, x3, x4, x5, x6, x7;
    const T dc = blk[0];
    x1 = blk[4] * 2048;
    x2 = blk[6];
    x3 = blk[2];
    x4 = blk[1];
    x5 = blk[7];
    x6 = blk[5];
    x7 = blk[3];
    if (Clear)
        for (int i = 0; i < 8; ++i) blk[i] = 0;
    if (Short && !(x1 | x2 | x3 | x4 | x5 | x6 | x7)) {
        T v = dc * 8;
        for (int i = 0; i < 8; ++i) out[i] = v;
        return;
    }
    T o[8];
    butterflies<T, 0, 0>(dc * 2048 + 128, x1, x2, x3, x4, x5, x6, x7, o);
    out[0] = o[0] >> 8;
    out[1] = o[1] >> 8;
    out[2] = o[2] >> 8;
    out[3] = o[3] >> 8;
    out[4] = o[4] >> 8;
    out[5] = o[5] >> 8;
    out[6] = o[6] >> 8;
    out[7] = o[7] >> 8;
}

template <typename T>
inline uint8_t clipT(T x) {
    return x < 0 ? 0 : (x > 255 ? 255 : (uint8_t)x);
}

// Blocks within kSafeSum give samples within -365..621 (one coefficient of
// 2048 at the worst place; the rest is linear up to a few units of
// rounding): they are clipped by a table with a wide margin.
struct IdctClipTable {
    uint8_t t[2304 + 1024];
    IdctClipTable() {
        for (int i = 0; i < 2304 + 1024; ++i) t[i] = (uint8_t)(i < 1024 ? 0 : (i > 1279 ? 255 : i - 1024));
    }
} const kIdctClip;
template <>
inline uint8_t clipT<int>(int x) {
    return kIdctClip.t[x + 1024];
}

// One column, with the level shift and clipping, into the plane. Rows from
// R on are known to be zero.
template <typename T, int R = 8>
inline void colIdct(const T* blk, uint8_t* out, int stride) {
    T x1, x2, x3, x4, x5, x6, x7;
    x1 = R > 4 ? blk[8 * 4] * 256 : 0;
    x2 = R > 6 ? blk[8 * 6] : 0;
    x3 = R > 2 ? blk[8 * 2] : 0;
    x4 = R > 1 ? blk[8 * 1] : 0;
    x5 = R > 7 ? blk[8 * 7] : 0;
    x6 = R > 5 ? blk[8 * 5] : 0;
    x7 = R > 3 ? blk[8 * 3] : 0;
    if (R < 8 && !(x1 | x2 | x3 | x4 | x5 | x6 | x7)) {
        uint8_t v = clipT<T>(((blk[0] + 32) >> 6) + 128);
        for (int i = 0; i < 8; ++i, out += stride) *out = v;
        return;
    }
    T o[8];
    butterflies<T, 4, 3>(blk[0] * 256 + 8192, x1, x2, x3, x4, x5, x6, x7, o);
    out[0] = clipT<T>((o[0] >> 14) + 128);
    out[stride] = clipT<T>((o[1] >> 14) + 128);
    out[2 * stride] = clipT<T>((o[2] >> 14) + 128);
    out[3 * stride] = clipT<T>((o[3] >> 14) + 128);
    out[4 * stride] = clipT<T>((o[4] >> 14) + 128);
    out[5 * stride] = clipT<T>((o[5] >> 14) + 128);
    out[6 * stride] = clipT<T>((o[6] >> 14) + 128);
    out[7 * stride] = clipT<T>((o[7] >> 14) + 128);
}

// The rows go to `tmp` (which may be blk itself); rows from R on are zero
// and skipped.
template <typename T, int R = 8, bool Clear = false>
void idct(T* blk, T* tmp, uint8_t* out, int stride) {
    for (int i = 0; i < 8 * R; i += 8) rowIdct<T, (R < 8), Clear>(blk + i, tmp + i);
    for (int i = 0; i < 8; ++i) colIdct<T, R>(tmp + i, out + i, stride);
}

inline void fail(nj_result_t code) {
    if (nj.error == NJ_OK || nj.error == __NJ_FINISHED) nj.error = code;
}

inline void skip(int count) {
    nj.pos += count;
    nj.size -= count;
    nj.length -= count;
    if (nj.size < 0) fail(NJ_SYNTAX_ERROR);
}

inline int decode16(const uint8_t* p) { return (p[0] << 8) | p[1]; }

// Reads a segment's length; it must lie within the input.
bool decodeLength() {
    if (nj.size < 2) {
        fail(NJ_SYNTAX_ERROR);
        return false;
    }
    nj.length = decode16(nj.pos);
    if (nj.length < 2 || nj.length > nj.size) {
        fail(NJ_SYNTAX_ERROR);
        return false;
    }
    skip(2);
    return true;
}

void skipMarker() {
    if (decodeLength()) skip(nj.length);
}

#define NJ_INLINE inline __attribute__((always_inline))

// The entropy-coded segment as the bit reader takes it, copied once with
// the byte stuffing taken out: FF 00 and FF FF are one FF byte, a restart
// marker stays as its two bytes (read back at the end of each interval),
// and the end-of-image marker, any other marker or the end of the input
// ends the data. After the data come 1-bits; a block or restart marker
// that consumed any of them fails. The reader is a bit position in it: a
// peek is one unaligned load, with no refill and no marker test.
constexpr int kPad = 320;  // 1-bit bytes after the data: more than one block and a load

struct Segment {
    uint8_t* data = nullptr;
    uint32_t end = 0;     // bits of data
    bool marker = false;  // the data ends at a refused marker (or a lone FF ending the input)
};

// Copies at most `limit` bytes of the segment at nj.pos (no scan can read
// further); false: no memory.
bool unstuff(Segment& s, size_t limit) {
    const uint8_t* in = nj.pos;
    const size_t size = nj.size > 0 ? (size_t)nj.size : 0;
    const size_t cap = size < limit ? size : limit;
    uint8_t* out = (uint8_t*)malloc(cap + 1 + kPad);
    if (!out) return false;
    size_t i = 0, o = 0;
    while (i < size && o < cap) {
        // Four bytes at a time while none of them is FF.
        if (i + 4 <= size && o + 4 <= cap) {
            uint32_t w;
            memcpy(&w, in + i, 4);
            const uint32_t x = ~w;
            if (!((x - 0x01010101u) & ~x & 0x80808080u)) {
#if defined(__mips__)
                // Byte stores: MIPS has no unaligned store but a pair that
                // the emulator runs byte by byte in a helper.
                out[o] = in[i];
                out[o + 1] = in[i + 1];
                out[o + 2] = in[i + 2];
                out[o + 3] = in[i + 3];
#else
                memcpy(out + o, &w, 4);
#endif
                i += 4;
                o += 4;
                continue;
            }
        }
        const uint8_t byte = in[i++];
        if (byte != 0xFF) {
            out[o++] = byte;
            continue;
        }
        if (i == size) {
            s.marker = true;
            break;
        }
        const uint8_t m = in[i++];
        if (m == 0x00 || m == 0xFF) {
            out[o++] = 0xFF;
        } else if (m == 0xD9) {
            break;
        } else if ((m & 0xF8) == 0xD0) {
            out[o++] = 0xFF;
            out[o++] = m;
        } else {
            s.marker = true;
            break;
        }
    }
    memset(out + o, 0xFF, kPad);
    s.data = out;
    s.end = (uint32_t)(o * 8);
    return true;
}

// An unaligned load (memcpy into a local makes GCC for MIPS store the word
// to the stack as well).
template <typename T>
struct __attribute__((packed, may_alias)) Unaligned {
    T v;
};

// The 32 bits from bit `pos` on (at least the first 25 of them: 57 where
// 64-bit loads are cheap).
NJ_INLINE uint32_t peek(const uint8_t* d, uint32_t pos) {
#if UINTPTR_MAX > 0xFFFFFFFFu
    uint64_t w = ((const Unaligned<uint64_t>*)(d + (pos >> 3)))->v;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    w = __builtin_bswap64(w);
#endif
    return (uint32_t)((w << (pos & 7)) >> 32);
#else
    uint32_t w = ((const Unaligned<uint32_t>*)(d + (pos >> 3)))->v;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    w = __builtin_bswap32(w);
#endif
    return w << (pos & 7);
#endif
}

// When the segment ends at a refused marker, whether the scan fails depends
// on how far ahead of its position the reader has looked: the decoder
// refuses such a marker when its look-ahead reaches it, even if the bits
// before it suffice. That look-ahead is kept here as it always was: a
// 64-bit buffer topped up to more than 48 bits, one byte (a restart marker:
// both of its bytes) at a time, whenever fewer bits than a read needs are
// left; the reads are the ones the scan makes in the same places.
struct Lookahead {
    const uint8_t* pos;
    int size;
    int bits;     // bits in the buffer
    uint32_t at;  // the reader's position when last seen
};

__attribute__((noinline)) void lookFill(Lookahead& a) {
    while (a.bits <= 48) {
        a.bits += 8;
        if (a.size <= 0) continue;
        const uint8_t byte = *a.pos++;
        a.size--;
        if (byte != 0xFF) continue;
        if (!a.size) {
            fail(NJ_SYNTAX_ERROR);
            continue;
        }
        const uint8_t m = *a.pos++;
        a.size--;
        if (m == 0xD9)
            a.size = 0;
        else if ((m & 0xF8) == 0xD0)
            a.bits += 8;
        else if (m != 0x00 && m != 0xFF)
            fail(NJ_SYNTAX_ERROR);
    }
}

// A read of n bits at reader position `pos`.
template <bool Look>
NJ_INLINE void look(Lookahead& a, uint32_t pos, int n) {
    if (!Look) return;
    a.bits -= (int)(pos - a.at);
    a.at = pos;
    if (a.bits < n) lookFill(a);
}

// The code at the top of a 16-bit window longer than the fast tables' 9
// bits, by length ({0, 0}: none).
__attribute__((noinline)) Vlc slowVlc(int table, uint32_t value) {
    const Huffman& h = huff[table];
    for (int len = kFastBits + 1; len <= 16; ++len)
        if (value < h.end[len])
            return Vlc{(uint8_t)len, h.syms[h.first[len] + ((value - h.end[len - 1]) >> (16 - len))]};
    return Vlc{0, 0};
}

// The code at bit `pos` whose coefficient bits do not fit in the fast
// lookup f: its length and symbol ({0, 0}: none).
NJ_INLINE Vlc codeAt(const FastAc& f, int table, uint32_t w) {
    if (f.run) return Vlc{f.run, (uint8_t)f.value};
    return slowVlc(table, w >> 16);
}

// A coefficient's n bits (n = 1 to 15), sign-extended: below 2^(n-1) the
// value is negative, minus 2^n - 1 (without a branch).
NJ_INLINE int extend(uint32_t w, int n) {
    const int value = (int)(w >> (32 - n));
    return value + (((value >> (n - 1)) - 1) & (1 - (1 << n)));
}

// The rows that hold a block's coefficients when its last one is at
// zig-zag position k: 1 + the lowest row among positions 0 to k.
const uint8_t kRows[64] = {1, 1, 2, 3, 3, 3, 3, 3, 3, 4, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 6, 7,
                           7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 8, 8, 8, 8, 8, 8, 8, 8, 8,
                           8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8};

// The 32-bit inverse DCT of nj.block, whose rows from R on are zero, and
// the block cleared (on MIPS row by row as the rows are read, elsewhere by
// one memset, which the compiler inlines).
template <int R>
__attribute__((noinline)) void idctRows(uint8_t* out, int stride) {
    int tmp[8 * R];
#if defined(__mips__)
    idct<int, R, true>(nj.block, tmp, out, stride);
#else
    idct<int, R>(nj.block, tmp, out, stride);
    memset(nj.block, 0, 8 * R * sizeof(int));
#endif
}

// By the rows a block's coefficients take (a call through the table keeps
// the scan's loop small).
void (*const kIdctRows[9])(uint8_t*, int) = {nullptr,     idctRows<1>, idctRows<2>, idctRows<3>, idctRows<4>,
                                             idctRows<5>, idctRows<6>, idctRows<7>, idctRows<8>};

// A block beyond the 32-bit arithmetic's safe sum, in 64 bits; out of the
// scan's loop (real pictures never have one).
__attribute__((noinline, cold)) void wideIdct(uint8_t* out, int stride) {
    int64_t wide[64];
    for (int i = 0; i < 64; ++i) wide[i] = nj.block[i];
    idct<int64_t>(wide, wide, out, stride);
    memset(nj.block, 0, sizeof nj.block);
}

// Decodes one block at bit `pos` into the plane at `out`; the new position
// (nj.error set on failure).
template <bool Look>
NJ_INLINE uint32_t decodeBlock(const uint8_t* d, uint32_t pos, Lookahead& la, Component* c, uint8_t* out) {
    int coef = 0;
    const uint8_t* q = nj.qtab[c->qtsel];
    int* const blk = nj.block;
    // nj.block is all zeros here: each block clears what it set.
    // Valid predictors stay within 11 bits; a hostile file cannot make them
    // overflow.
    look<Look>(la, pos, 16);
    uint32_t w = peek(d, pos);
    const FastAc fd = fastac[c->dctabsel][w >> (32 - kFastBits)];
    int diff;
    if (fd.len) {
        pos += fd.len;
        diff = fd.value;
    } else {
        const Vlc e = codeAt(fd, c->dctabsel, w);
        if (!e.bits) {
            fail(NJ_SYNTAX_ERROR);
            return pos;
        }
        pos += e.bits;
        const int n = e.code & 15;
        diff = 0;
        if (n) {
            look<Look>(la, pos, n);
            diff = extend(peek(d, pos), n);
            pos += n;
        }
    }
    int pred = c->dcpred + diff;
    if (pred > 32767) pred = 32767;
    if (pred < -32768) pred = -32768;
    c->dcpred = pred;
    int v = pred * q[0];
    nj.block[0] = v;
    unsigned sum = (unsigned)(v < 0 ? -v : v);
    const FastAc* fa = fastac[c->actabsel];
    do {
        look<Look>(la, pos, 16);
        w = peek(d, pos);
        const FastAc f = fa[w >> (32 - kFastBits)];
        if (f.len) {
            pos += f.len;
            if (!f.run) break;  // end of block
            coef += f.run;
            if (coef > 63) {
                fail(NJ_SYNTAX_ERROR);
                return pos;
            }
            v = f.value * q[coef];
            sum += (unsigned)(v < 0 ? -v : v);
            *(int*)((char*)blk + kZigZag4[coef]) = v;
            continue;
        }
        const Vlc e = codeAt(f, c->actabsel, w);
        if (!e.bits) {
            fail(NJ_SYNTAX_ERROR);
            return pos;
        }
        pos += e.bits;
        const int code = e.code;
        if (!code) break;  // end of block
        if (!(code & 0x0F) && code != 0xF0) {
            fail(NJ_SYNTAX_ERROR);
            return pos;
        }
        int value = 0;
        if (code & 15) {
            look<Look>(la, pos, code & 15);
            value = extend(peek(d, pos), code & 15);
            pos += code & 15;
        }
        coef += (code >> 4) + 1;
        if (coef > 63) {
            fail(NJ_SYNTAX_ERROR);
            return pos;
        }
        v = value * q[coef];
        sum += (unsigned)(v < 0 ? -v : v);
        *(int*)((char*)blk + kZigZag4[coef]) = v;
    } while (coef < 63);
    if (Look && nj.error) return pos;
    // The coefficients up to zig-zag position 9 lie in the first four rows.
    if (sum > kSafeSum) {
        wideIdct(out, c->stride);
    } else if (coef == 0) {
        // Only the DC coefficient: every sample is that of the rows' and
        // columns' shortcuts.
        const uint32_t p = kIdctClip.t[((nj.block[0] * 8 + 32) >> 6) + 128 + 1024] * 0x01010101u;
        // A block starts 8-aligned (the plane is allocated, its stride and
        // the block's offset are multiples of 8): word stores, not the
        // unaligned pairs MIPS would otherwise use.
        for (int y = 0; y < 8; ++y, out += c->stride) {
            uint8_t* const row = (uint8_t*)__builtin_assume_aligned(out, 4);
            memcpy(row, &p, 4);
            memcpy(row + 4, &p, 4);
        }
        nj.block[0] = 0;
    } else {
        kIdctRows[kRows[coef]](out, c->stride);
    }
    return pos;
}

bool is420();
bool start420();
bool streaming420();
int rowWise();

void decodeSOF() {
    if (!decodeLength()) return;
    if (nj.frame) {  // a second frame would leak the first one's planes
        fail(NJ_SYNTAX_ERROR);
        return;
    }
    if (nj.length < 9) return fail(NJ_SYNTAX_ERROR);
    if (nj.pos[0] != 8) return fail(NJ_UNSUPPORTED);
    nj.height = decode16(nj.pos + 1);
    nj.width = decode16(nj.pos + 3);
    if (!nj.width || !nj.height) return fail(NJ_SYNTAX_ERROR);
    int ncomp = nj.pos[5];
    skip(6);
    if (ncomp != 1 && ncomp != 3) return fail(NJ_UNSUPPORTED);
    if (nj.length < ncomp * 3) return fail(NJ_SYNTAX_ERROR);
    nj.ncomp = ncomp;
    nj.frame = true;
    int ssxmax = 0, ssymax = 0;
    for (int i = 0; i < nj.ncomp; ++i) {
        Component* c = &nj.comp[i];
        c->cid = nj.pos[0];
        if (!(c->ssx = nj.pos[1] >> 4)) return fail(NJ_SYNTAX_ERROR);
        if (c->ssx & (c->ssx - 1)) return fail(NJ_UNSUPPORTED);
        if (!(c->ssy = nj.pos[1] & 15)) return fail(NJ_SYNTAX_ERROR);
        if (c->ssy & (c->ssy - 1)) return fail(NJ_UNSUPPORTED);
        if ((c->qtsel = nj.pos[2]) & 0xFC) return fail(NJ_SYNTAX_ERROR);
        skip(3);
        nj.qtused |= 1 << c->qtsel;
        if (c->ssx > ssxmax) ssxmax = c->ssx;
        if (c->ssy > ssymax) ssymax = c->ssy;
    }
    if (nj.ncomp == 1) {
        nj.comp[0].ssx = nj.comp[0].ssy = ssxmax = ssymax = 1;
    }
    nj.mbsizex = ssxmax * 8;
    nj.mbsizey = ssymax * 8;
    nj.mbwidth = (nj.width + nj.mbsizex - 1) / nj.mbsizex;
    nj.mbheight = (nj.height + nj.mbsizey - 1) / nj.mbsizey;
    // The whole budget first, in 64 bits: planes, their upsampled copies
    // and the output, so no size computation below can wrap.
    uint64_t total = nj.ncomp == 3 ? (uint64_t)nj.width * nj.height * 3 : 0;
    for (int i = 0; i < nj.ncomp; ++i) {
        Component* c = &nj.comp[i];
        uint64_t plane = (uint64_t)nj.mbwidth * c->ssx * 8 * nj.mbheight * c->ssy * 8;
        total += plane;
        if (c->ssx != ssxmax || c->ssy != ssymax)
            total += 2 * (uint64_t)(nj.mbwidth * nj.mbsizex + 8) * (nj.mbheight * nj.mbsizey + 8);
    }
    if (total > kMaxBytes) return fail(NJ_OUT_OF_MEM);
    for (int i = 0; i < nj.ncomp; ++i) {
        Component* c = &nj.comp[i];
        c->width = (nj.width * c->ssx + ssxmax - 1) / ssxmax;
        c->height = (nj.height * c->ssy + ssymax - 1) / ssymax;
        c->stride = nj.mbwidth * c->ssx * 8;
        c->rows = nj.mbheight * c->ssy * 8;
    }
    // A 4:2:0 picture is converted as its macroblock rows come: each plane
    // keeps two macroblock rows (the conversion lags by less than one).
    // Pictures without vertical doubling (4:4:4, 4:2:2) are converted by
    // macroblock rows, each as soon as it is decoded: one row is kept.
    const bool stream = is420();
    nj.rowwise = rowWise();
    for (int i = 0; i < nj.ncomp; ++i) {
        Component* c = &nj.comp[i];
        const int keep = stream ? 16 * c->ssy : nj.rowwise ? 8 * c->ssy : c->rows;
        c->ring = c->rows > keep ? keep : c->rows;
        c->pixels = (uint8_t*)malloc((size_t)c->stride * c->ring);
        if (!c->pixels) return fail(NJ_OUT_OF_MEM);
    }
    if (nj.ncomp == 3) {
        nj.rgb = (uint8_t*)malloc((size_t)nj.width * nj.height * 3);
        if (!nj.rgb) return fail(NJ_OUT_OF_MEM);
    }
    if (stream && !start420()) return fail(NJ_OUT_OF_MEM);
    skip(nj.length);
}

void decodeDHT() {
    uint8_t counts[16];
    if (!decodeLength()) return;
    while (nj.length >= 17) {
        int i = nj.pos[0];
        if (i & 0xEC) return fail(NJ_SYNTAX_ERROR);
        if (i & 0x02) return fail(NJ_UNSUPPORTED);
        i = (i | (i >> 3)) & 3;  // DC tables 0-1, AC tables 2-3
        for (int len = 1; len <= 16; ++len) counts[len - 1] = nj.pos[len];
        skip(17);
        Huffman& h = huff[i];
        Vlc fast[1 << kFastBits];
        nj.vlcavail |= 1 << i;
        int remain = 65536, spread = 65536, nsyms = 0;
        h.end[0] = 0;
        memset(fast, 0, sizeof fast);
        for (int len = 1; len <= 16; ++len) {
            spread >>= 1;
            int count = counts[len - 1];
            h.first[len] = (uint16_t)nsyms;
            h.end[len] = h.end[len - 1];
            if (!count) continue;
            if (nj.length < count) return fail(NJ_SYNTAX_ERROR);
            // More codes than the lengths can hold would run past the table.
            remain -= count << (16 - len);
            if (remain < 0) return fail(NJ_SYNTAX_ERROR);
            memcpy(h.syms + nsyms, nj.pos, count);
            if (len <= kFastBits) {
                const int span = spread >> (16 - kFastBits);
                Vlc* f = fast + (h.end[len] >> (16 - kFastBits));
                for (int k = 0; k < count; ++k)
                    for (int j = 0; j < span; ++j) *f++ = Vlc{(uint8_t)len, nj.pos[k]};
            }
            nsyms += count;
            h.end[len] += (uint32_t)count << (16 - len);
            skip(count);
        }
        for (int k = 0; k < (1 << kFastBits); ++k) {
            const Vlc e = fast[k];
            const int n = e.code & 15, len = e.bits + n;
            FastAc a = {0, 0, 0};
            if (e.bits && i >= 2 && !e.code) {
                a = FastAc{0, 0, e.bits};  // end of block
            } else if (e.bits && i >= 2 && e.code == 0xF0) {
                a = FastAc{0, 16, e.bits};  // sixteen zeros
            } else if (e.bits && (n || i < 2) && len <= kFastBits) {
                int value = 0;
                if (n) {
                    value = (k >> (kFastBits - len)) & ((1 << n) - 1);
                    if (value < (1 << (n - 1))) value -= (1 << n) - 1;
                }
                a = FastAc{(int16_t)value, (uint8_t)((e.code >> 4) + 1), (uint8_t)len};
            } else if (e.bits) {
                a = FastAc{e.code, e.bits, 0};  // the code alone: its symbol and length
            }
            fastac[i][k] = a;
        }
    }
    if (nj.length) fail(NJ_SYNTAX_ERROR);
}

void decodeDQT() {
    if (!decodeLength()) return;
    while (nj.length >= 65) {
        int i = nj.pos[0];
        if (i & 0xFC) return fail(NJ_SYNTAX_ERROR);
        nj.qtavail |= 1 << i;
        memcpy(nj.qtab[i], nj.pos + 1, 64);
        skip(65);
    }
    if (nj.length) fail(NJ_SYNTAX_ERROR);
}

void decodeDRI() {
    if (!decodeLength()) return;
    if (nj.length < 2) return fail(NJ_SYNTAX_ERROR);
    nj.rstinterval = decode16(nj.pos);
    skip(nj.length);
}

void rows420(int lumaRows, int chromaRows);
void rowsDone(int mby);

template <bool Look>
__attribute__((noinline)) void scanMcus(const Segment& seg, Lookahead& la) {
    int rstcount = nj.rstinterval, nextrst = 0;
    // A 4:2:0 picture is converted as its macroblock rows come, while they
    // are still in the cache.
    const bool stream = streaming420();
    const uint8_t* const d = seg.data;
    const uint32_t end = seg.end;
    uint32_t pos = 0;
    uint8_t* base[3];  // each plane's current macroblock row
    for (int i = 0; i < nj.ncomp; ++i) base[i] = nj.comp[i].pixels;
    for (int mbx = 0, mby = 0;;) {
        for (int i = 0; i < nj.ncomp; ++i) {
            Component* c = &nj.comp[i];
            for (int sby = 0; sby < c->ssy; ++sby)
                for (int sbx = 0; sbx < c->ssx; ++sbx) {
                    size_t off = (size_t)sby * 8 * c->stride + (size_t)(mbx * c->ssx + sbx) * 8;
                    pos = decodeBlock<Look>(d, pos, la, c, base[i] + off);
                    if (nj.error) return;
                    if (pos > end) return fail(NJ_SYNTAX_ERROR);
                }
        }
        if (++mbx >= nj.mbwidth) {
            mbx = 0;
            if (nj.rowwise) rowsDone(mby);
            if (++mby >= nj.mbheight) break;
            if (stream) rows420(mby * nj.comp[0].ssy * 8, mby * nj.comp[1].ssy * 8);
            for (int i = 0; i < nj.ncomp; ++i) {
                const Component* c = &nj.comp[i];
                base[i] = c->pixels + (size_t)((mby * c->ssy * 8) % c->ring) * c->stride;
            }
        }
        if (nj.rstinterval && !(--rstcount)) {
            pos = (pos + 7) & ~7u;
            look<Look>(la, pos, 16);
            const uint32_t m = peek(d, pos) >> 16;
            pos += 16;
            if (nj.error) return;
            if (pos > end || (m & 0xFFF8) != 0xFFD0 || (m & 7) != (uint32_t)nextrst) return fail(NJ_SYNTAX_ERROR);
            nextrst = (nextrst + 1) & 7;
            rstcount = nj.rstinterval;
            for (int i = 0; i < 3; ++i) nj.comp[i].dcpred = 0;
        }
    }
    nj.error = __NJ_FINISHED;
}

void decodeScan() {
    if (!decodeLength()) return;
    if (!nj.frame) return fail(NJ_SYNTAX_ERROR);
    if (nj.length < 4 + 2 * nj.ncomp) return fail(NJ_SYNTAX_ERROR);
    if (nj.pos[0] != nj.ncomp) return fail(NJ_UNSUPPORTED);
    skip(1);
    for (int i = 0; i < nj.ncomp; ++i) {
        Component* c = &nj.comp[i];
        if (nj.pos[0] != c->cid) return fail(NJ_SYNTAX_ERROR);
        if (nj.pos[1] & 0xEE) return fail(NJ_SYNTAX_ERROR);
        c->dctabsel = nj.pos[1] >> 4;
        c->actabsel = (nj.pos[1] & 1) | 2;
        // An undefined table: every lookup would fail.
        if (!(nj.vlcavail & (1 << c->dctabsel)) || !(nj.vlcavail & (1 << c->actabsel))) return fail(NJ_SYNTAX_ERROR);
        skip(2);
    }
    if (nj.pos[0] || nj.pos[1] != 63 || nj.pos[2]) return fail(NJ_UNSUPPORTED);
    if (nj.qtused & ~nj.qtavail) return fail(NJ_SYNTAX_ERROR);
    skip(nj.length);
    if (nj.error) return;
    // No scan reads more than this: 1,984 bits a block (64 codes of 16
    // bits and their 15 coefficient bits), 23 a restart marker.
    uint64_t perMcu = 23;
    for (int i = 0; i < nj.ncomp; ++i) perMcu += 1984u * nj.comp[i].ssx * nj.comp[i].ssy;
    const uint64_t maxBits = perMcu * nj.mbwidth * nj.mbheight;
    Segment seg;
    if (!unstuff(seg, (size_t)(maxBits / 8 + 64))) return fail(NJ_OUT_OF_MEM);
    Lookahead la = {nj.pos, nj.size, 0, 0};
    if (seg.marker)
        scanMcus<true>(seg, la);
    else
        scanMcus<false>(seg, la);
    free(seg.data);
}

// Four-tap chroma filter: sums rounded by +64, shifted by 7, clipped.
inline uint8_t cf(int x) {
    x = (x + 64) >> 7;
    return (uint8_t)(x < 0 ? 0 : (x > 255 ? 255 : x));
}

// One row of the horizontal doubling: n input samples (n >= 3) to 2n.
void hrow(const uint8_t* __restrict lin, uint8_t* __restrict lout, int n) {
    lout[0] = cf(139 * lin[0] - 11 * lin[1]);
    lout[1] = cf(104 * lin[0] + 27 * lin[1] - 3 * lin[2]);
    lout[2] = cf(28 * lin[0] + 109 * lin[1] - 9 * lin[2]);
    const int xmax = n - 3;
    for (int x = 0; x < xmax; ++x) {
        int u = lin[x], v = lin[x + 1], w = lin[x + 2], z = lin[x + 3];
        // 111v + 29w - 9u - 3z and 29v + 111w - 3u - 9z, sharing terms
        int a = 70 * (v + w) - 6 * (u + z), b = 41 * (v - w) - 3 * (u - z);
        lout[2 * x + 3] = cf(a + b);
        lout[2 * x + 4] = cf(a - b);
    }
    const uint8_t* e = lin + n;
    uint8_t* o = lout + 2 * n;
    o[-3] = cf(28 * e[-1] + 109 * e[-2] - 9 * e[-3]);
    o[-2] = cf(104 * e[-1] + 27 * e[-2] - 3 * e[-3]);
    o[-1] = cf(139 * e[-1] - 11 * e[-2]);
}

// Doubles a plane horizontally. A plane narrower than the filter's three
// samples uses the decoded samples beside it (a plane is at least a block).
bool upsampleH(Component* c) {
    const int n = c->width < 3 ? 3 : c->width;
    const int ostride = 2 * n, rows = c->rows, stride = c->stride;
    uint8_t* out = (uint8_t*)malloc((size_t)ostride * rows);
    if (!out) return false;
    for (int y = 0; y < rows; ++y) hrow(c->pixels + (size_t)y * stride, out + (size_t)y * ostride, n);
    free(c->pixels);
    c->pixels = out;
    c->width *= 2;
    c->stride = ostride;
    return true;
}

// The rows a vertical doubling reads: the plane's own, or (when the plane's
// horizontal doubling is done on the way) each row doubled when first
// needed, in a ring of six (rows are needed in increasing order, at most
// four at a time).
struct Rows {
    const Component* c;
    uint8_t* ring = nullptr;  // 6 rows of `width` samples when doubling
    int n = 0, width = 0;
    int tag[6] = {-1, -1, -1, -1, -1, -1};
    const uint8_t* row(int i) {
        if (!ring) return c->pixels + (size_t)i * c->stride;
        uint8_t* r = ring + (size_t)(i % 6) * width;
        if (tag[i % 6] != i) {
            hrow(c->pixels + (size_t)i * c->stride, r, n);
            tag[i % 6] = i;
        }
        return r;
    }
};

// Row r of the vertical doubling of `height` rows, `cols` samples. Planes
// shorter than three rows use the block's padding rows.
void vrow(Rows& src, int height, int r, uint8_t* __restrict out, int cols) {
    const int m = height < 3 ? 3 : height;
    if (r < 3) {
        const uint8_t *s0 = src.row(0), *s1 = src.row(1), *s2 = src.row(2);
        for (int x = 0; x < cols; ++x) {
            int a = s0[x], b = s1[x], d = s2[x];
            out[x] = r == 0   ? cf(139 * a - 11 * b)
                     : r == 1 ? cf(104 * a + 27 * b - 3 * d)
                              : cf(28 * a + 109 * b - 9 * d);
        }
    } else if (r >= 2 * m - 3) {
        const uint8_t *e3 = src.row(m - 3), *e2 = src.row(m - 2), *e1 = src.row(m - 1);
        const int k = r - (2 * m - 3);
        for (int x = 0; x < cols; ++x) {
            int a = e1[x], b = e2[x], d = e3[x];
            out[x] = k == 0   ? cf(28 * a + 109 * b - 9 * d)
                     : k == 1 ? cf(104 * a + 27 * b - 3 * d)
                              : cf(139 * a - 11 * b);
        }
    } else {
        const bool odd = r & 1;
        const int y = odd ? (r - 3) / 2 : (r - 4) / 2;
        const uint8_t* __restrict u = src.row(y);
        const uint8_t* __restrict v = src.row(y + 1);
        const uint8_t* __restrict w = src.row(y + 2);
        const uint8_t* __restrict z = src.row(y + 3);
        // 111v + 29w - 9u - 3z (odd rows) and 29v + 111w - 3u - 9z (even)
        const int sign = odd ? 1 : -1;
        for (int x = 0; x < cols; ++x) {
            int a = 70 * (v[x] + w[x]) - 6 * (u[x] + z[x]);
            int b = 41 * (v[x] - w[x]) - 3 * (u[x] - z[x]);
            out[x] = cf(a + sign * b);
        }
    }
}

// Rows r and r + 1 (r odd, both in the middle: 3 <= r, r + 1 <= 2m - 4):
// they come from the same four rows.
void vrow2(Rows& src, int r, uint8_t* __restrict out0, uint8_t* __restrict out1, int cols) {
    const int y = (r - 3) / 2;
    const uint8_t* __restrict u = src.row(y);
    const uint8_t* __restrict v = src.row(y + 1);
    const uint8_t* __restrict w = src.row(y + 2);
    const uint8_t* __restrict z = src.row(y + 3);
    for (int x = 0; x < cols; ++x) {
        int a = 70 * (v[x] + w[x]) - 6 * (u[x] + z[x]);
        int b = 41 * (v[x] - w[x]) - 3 * (u[x] - z[x]);
        out0[x] = cf(a + b);
        out1[x] = cf(a - b);
    }
}

// Colour conversion of one pixel: (256y + t) >> 8 is y + (t >> 8), so the
// red and blue terms come from tables of the chroma value.
struct ColourTables {
    int16_t r[256], b[256];
    ColourTables() {
        for (int i = 0; i < 256; ++i) {
            r[i] = (int16_t)((359 * i - 45824) >> 8);
            b[i] = (int16_t)((454 * i - 57984) >> 8);
        }
    }
} const kColour;

NJ_INLINE void ycc(uint8_t* __restrict o, int y, int cb, int cr) {
    o[0] = clipFast(y + kColour.r[cr]);
    o[1] = clipFast(y + ((34816 - 88 * cb - 183 * cr) >> 8));
    o[2] = clipFast(y + kColour.b[cb]);
}

NJ_INLINE uint8_t cfFast(int x) { return clipFast((x + 64) >> 7); }

// The colour terms of a chroma sample straight from its unclipped filter
// sum t = (x + 64) >> 7, -24 <= t <= 279: the clipping to 0-255 is in the
// table. `gb` + `gr` is the green term before its shift. Every term is
// offset by 384, so that luma + term indexes kClip.t itself and the sums
// stay unsigned (no sign extension of the indexes on 64-bit machines).
struct ChromaTerms {
    struct Cb {
        uint32_t gb, b;
    } cb[304];
    struct Cr {
        uint32_t gr, r;
    } cr[304];
    ChromaTerms() {
        for (int t = -24; t < 280; ++t) {
            int v = t < 0 ? 0 : (t > 255 ? 255 : t);
            cb[t + 24] = {(uint32_t)(34816 - 88 * v + 384 * 256), (uint32_t)(((454 * v - 57984) >> 8) + 384)};
            cr[t + 24] = {(uint32_t)(-183 * v), (uint32_t)(((359 * v - 45824) >> 8) + 384)};
        }
    }
} const kChroma;

// The terms of packed sums s (Cb's index in bits 7-15, Cr's from bit 23),
// found by byte offset: one shift and one mask each.
NJ_INLINE const ChromaTerms::Cb& cbTerms(uint32_t s) {
    return *(const ChromaTerms::Cb*)((const char*)kChroma.cb + ((s >> 4) & 0xFF8));
}
NJ_INLINE const ChromaTerms::Cr& crTerms(uint32_t s) {
    return *(const ChromaTerms::Cr*)((const char*)kChroma.cr + ((s >> 20) & 0xFF8));
}

// A value the optimiser may not see through (read back once, before a
// loop): on MIPS the filters' multipliers stay single multiplications (one
// instruction there) instead of the longer shift-and-add chains it would
// put in their place, and a table's base stays one register.
template <typename T>
NJ_INLINE T opaque(T k) {
    volatile T v = k;
    return v;
}

// The two chroma planes' horizontal doublings side by side, one 32-bit word
// per column: Cb in the low 16 bits, Cr in the high ones, so that the
// vertical filter runs on both at once. Rows are doubled when first needed
// into a ring of six, as in Rows.
struct PackedRows {
    const Component *cb, *cr;
    uint32_t* ring;
    int n, width;
    int tag[6];
    const uint32_t* row(int i) {
        uint32_t* r = ring + (size_t)(i % 6) * width;
        if (tag[i % 6] != i) {
            tag[i % 6] = i;
            const uint8_t* b = cb->pixels + (size_t)(i % cb->ring) * cb->stride;
            const uint8_t* c = cr->pixels + (size_t)(i % cr->ring) * cr->stride;
            auto two = [](int xb, int xc) { return (uint32_t)cfFast(xb) | (uint32_t)cfFast(xc) << 16; };
            r[0] = two(139 * b[0] - 11 * b[1], 139 * c[0] - 11 * c[1]);
            r[1] = two(104 * b[0] + 27 * b[1] - 3 * b[2], 104 * c[0] + 27 * c[1] - 3 * c[2]);
            r[2] = two(28 * b[0] + 109 * b[1] - 9 * b[2], 28 * c[0] + 109 * c[1] - 9 * c[2]);
            // The middle, on both planes at once as in pair420: s0 and s1
            // are the two outputs' sums + 64 + 3072, clipped by table.
            const uint32_t k3136 = 3136u * 0x10001u;
            uint32_t U = b[0] | (uint32_t)c[0] << 16, V = b[1] | (uint32_t)c[1] << 16;
            uint32_t W = b[2] | (uint32_t)c[2] << 16;
#if defined(__mips__)
            const uint32_t m70 = opaque(70u), m6 = opaque(6u), m41 = opaque(41u), m3 = opaque(3u);
#else
            constexpr uint32_t m70 = 70, m6 = 6, m41 = 41, m3 = 3;
#endif
            for (int x = 0; x < n - 3; ++x) {
                const uint32_t Z = b[x + 3] | (uint32_t)c[x + 3] << 16;
                const uint32_t a = m70 * (V + W) - m6 * (U + Z) + k3136;
                const uint32_t d = m41 * (V - W) - m3 * (U - Z);
                const uint32_t s0 = a + d, s1 = a - d;
                r[2 * x + 3] = kClip24.t[(s0 >> 7) & 0x1FF] | (uint32_t)kClip24.t[s0 >> 23] << 16;
                r[2 * x + 4] = kClip24.t[(s1 >> 7) & 0x1FF] | (uint32_t)kClip24.t[s1 >> 23] << 16;
                U = V;
                V = W;
                W = Z;
            }
            const uint8_t* eb = b + n;
            const uint8_t* ec = c + n;
            uint32_t* o = r + 2 * n;
            o[-3] = two(28 * eb[-1] + 109 * eb[-2] - 9 * eb[-3], 28 * ec[-1] + 109 * ec[-2] - 9 * ec[-3]);
            o[-2] = two(104 * eb[-1] + 27 * eb[-2] - 3 * eb[-3], 104 * ec[-1] + 27 * ec[-2] - 3 * ec[-3]);
            o[-1] = two(139 * eb[-1] - 11 * eb[-2], 139 * ec[-1] - 11 * ec[-2]);
        }
        return r;
    }
};

// Output rows r and r + 1 (as in vrow2) of a picture whose two chroma planes
// are both doubled in each direction: the vertical filter, on both planes
// at once, and the colour conversion in one pass. Per 16-bit lane, with
// u, v, w, z the four rows' samples, the sums are kept non-negative and
// below 65,536 so that no lane carries into the next:
//   P = 70(v + w) + 6(510 - u - z)              = a + 3060
//   Q = 41(v + 255 - w) + 3(z + 255 - u)        = b + 11220
//   S0 = P + Q - 11144 = a + b + 64 + 3072,     76 <= S0 <= 38836
//   S1 = P + 11296 - Q = a - b + 64 + 3072,     76 <= S1 <= 38836
// so S >> 7 is the rounded filter sum plus 24, the index of kChroma.
#if defined(__mips__)
__attribute__((noinline))  // MIPS: fewer registers spilled than inside convert()
#endif
void pair420(PackedRows& s, int r, const uint8_t* __restrict y0, ptrdiff_t ystride, uint8_t* __restrict o0,
             ptrdiff_t ostride, int cols) {
    const int k = (r - 3) / 2;
    const uint32_t* __restrict u = s.row(k);
    const uint32_t* __restrict v = s.row(k + 1);
    const uint32_t* __restrict w = s.row(k + 2);
    const uint32_t* __restrict z = s.row(k + 3);
    // a + 3136 and b of both lanes (wrapping in between is harmless: only
    // the sums' lanes need to stay within 16 bits).
    const uint32_t k3136 = 3136u * 0x10001u;
#if defined(__mips__)
    const uint32_t m70 = opaque(70u), m6 = opaque(6u), m41 = opaque(41u), m3 = opaque(3u);
    const uint8_t* const clip = opaque(kClip.t + 0);
#else
    constexpr uint32_t m70 = 70, m6 = 6, m41 = 41, m3 = 3;
    const uint8_t* const clip = kClip.t;
#endif
    for (const uint8_t* const yend = y0 + cols; y0 != yend; ++y0, o0 += 3) {
        const uint32_t U = *u++, V = *v++, W = *w++, Z = *z++;
        const uint32_t a = m70 * (V + W) - m6 * (U + Z) + k3136;
        const uint32_t b = m41 * (V - W) - m3 * (U - Z);
        const uint32_t s0 = a + b, s1 = a - b;
        {
            const ChromaTerms::Cb& b = cbTerms(s0);
            const ChromaTerms::Cr& c = crTerms(s0);
            const uint8_t* const cy = clip + y0[0];
            o0[0] = cy[c.r];
            o0[1] = cy[(b.gb + c.gr) >> 8];
            o0[2] = cy[b.b];
        }
        {
            const ChromaTerms::Cb& b = cbTerms(s1);
            const ChromaTerms::Cr& c = crTerms(s1);
            const uint8_t* const cy = clip + y0[ystride];
            o0[ostride] = cy[c.r];
            o0[ostride + 1] = cy[(b.gb + c.gr) >> 8];
            o0[ostride + 2] = cy[b.b];
        }
    }
}

// One of the three rows at either edge of a 4:2:0 picture (the others of
// pair420): its three-tap vertical filter on both chroma planes at once, as
// in pair420, then the colour conversion. Per lane, with a, b, d the nearest,
// next and third row's samples, each tap with a negative weight takes
// 255 - sample instead, and the offsets make S = sum + 64 + 3072 again:
//   139a - 11b:        139a + 11(255 - b) + 331,          331 <= S <= 38581
//   104a + 27b - 3d:   104a + 27b + 3(255 - d) + 2371,   2371 <= S <= 36541
//   28a + 109b - 9d:   28a + 109b + 9(255 - d) + 841,     841 <= S <= 38071
template <uint32_t A, uint32_t B, uint32_t D, uint32_t N, uint32_t K>
void edge420Row(const uint32_t* __restrict a, const uint32_t* __restrict b, const uint32_t* __restrict d,
                const uint8_t* __restrict y0, uint8_t* __restrict o0, int cols) {
    const uint32_t k255 = 0x00FF00FFu, off = K * 0x10001u;
    const uint8_t* const clip = kClip.t;
    for (int x = 0; x < cols; ++x, o0 += 3) {
        // N: the second tap's weight is negative
        const uint32_t sb = N ? B * (k255 - b[x]) : B * b[x];
        const uint32_t S = A * a[x] + sb + D * (k255 - d[x]) + off;
        const ChromaTerms::Cb& cb = cbTerms(S);
        const ChromaTerms::Cr& cr = crTerms(S);
        const uint8_t* const cy = clip + y0[x];
        o0[0] = cy[cr.r];
        o0[1] = cy[(cb.gb + cr.gr) >> 8];
        o0[2] = cy[cb.b];
    }
}

// Output row r (r < 3 or r >= 2m - 3, m the chroma planes' rows, at least 3).
__attribute__((noinline)) void edge420(PackedRows& s, int r, int m, const uint8_t* y0, uint8_t* o0, int cols) {
    int k;  // 0: 139/-11, 1: 104/27/-3, 2: 28/109/-9
    const uint32_t *a, *b, *d;
    if (r < 3) {
        k = r;
        a = s.row(0);
        b = s.row(1);
        d = s.row(2);
    } else {
        k = 2 - (r - (2 * m - 3));
        a = s.row(m - 1);
        b = s.row(m - 2);
        d = s.row(m - 3);
    }
    if (k == 0)
        edge420Row<139, 11, 0, 1, 331>(a, b, d, y0, o0, cols);
    else if (k == 1)
        edge420Row<104, 27, 3, 0, 2371>(a, b, d, y0, o0, cols);
    else
        edge420Row<28, 109, 9, 0, 841>(a, b, d, y0, o0, cols);
}

// Doubles a plane vertically.
bool upsampleV(Component* c) {
    const int m = c->height < 3 ? 3 : c->height;
    const int w = c->stride;
    uint8_t* out = (uint8_t*)malloc((size_t)w * 2 * m);
    if (!out) return false;
    Rows src{c};
    for (int r = 0; r < 2 * m; ++r) vrow(src, c->height, r, out + (size_t)r * w, w);
    free(c->pixels);
    c->pixels = out;
    c->height *= 2;
    c->rows = c->ring = 2 * m;
    return true;
}

// The rows of a 4:2:0 picture converted so far, and the chroma rows it keeps.
struct Stream420 {
    int next;  // the next output row
    PackedRows packed;
};
Stream420 s420;
bool streaming420() { return s420.packed.ring != nullptr; }

// A picture whose luma plane covers it and whose chroma planes, the same
// size, are each doubled once in each direction.
bool is420() {
    if (nj.ncomp != 3) return false;
    const Component *y = &nj.comp[0], *cb = &nj.comp[1], *cr = &nj.comp[2];
    auto half = [](const Component* c) {
        return c->width < nj.width && c->width * 2 >= nj.width && c->height < nj.height && c->height * 2 >= nj.height;
    };
    if (y->width < nj.width || y->height < nj.height || !half(cb) || !half(cr) || cb->width != cr->width ||
        cb->height != cr->height)
        return false;
    return true;
}

// Sets up the conversion of such a picture (false: not one, or no memory
// for the ring).
bool start420() {
    if (!is420()) return false;
    const Component *cb = &nj.comp[1], *cr = &nj.comp[2];
    const int n = cb->width < 3 ? 3 : cb->width;
    uint32_t* ring = (uint32_t*)malloc((size_t)2 * n * 6 * sizeof(uint32_t));
    if (!ring) return false;
    s420 = Stream420{0, PackedRows{cb, cr, ring, n, 2 * n, {-1, -1, -1, -1, -1, -1}}};
    return true;
}

// Converts the rows whose luma and chroma rows are decoded: the first
// `lumaRows` and `chromaRows` of the planes.
void rows420(int lumaRows, int chromaRows) {
    const Component* c = &nj.comp[0];
    const int width = nj.width, height = nj.height;
    const int fm = nj.comp[1].height < 3 ? 3 : nj.comp[1].height;
    int y = s420.next;
    uint8_t* prgb = nj.rgb + (size_t)y * width * 3;
    while (y < height) {
        if ((y & 1) && y >= 3 && y + 1 <= 2 * fm - 4) {
            if ((y - 3) / 2 + 3 >= chromaRows || y + 1 >= lumaRows) break;
            const uint8_t* y0 = c->pixels + (size_t)(y % c->ring) * c->stride;
            const uint8_t* y1 = c->pixels + (size_t)((y + 1) % c->ring) * c->stride;
            pair420(s420.packed, y, y0, y1 - y0, prgb, (ptrdiff_t)width * 3, width);
            prgb += (size_t)width * 6;
            y += 2;
            continue;
        }
        if ((y < 3 ? 3 : fm) > chromaRows || y >= lumaRows) break;
        edge420(s420.packed, y, fm, c->pixels + (size_t)(y % c->ring) * c->stride, prgb, width);
        prgb += (size_t)width * 3;
        ++y;
    }
    s420.next = y;
}

// 4:4:4 or 4:2:2: luma and chroma planes as tall as the picture, luma as
// wide, chroma as wide (1) or doubled once across, the same size (2);
// else 0.
int rowWise() {
    if (nj.ncomp != 3) return 0;
    const Component *y = &nj.comp[0], *cb = &nj.comp[1], *cr = &nj.comp[2];
    if (y->width < nj.width || y->height < nj.height || cb->height < nj.height || cr->height < nj.height) return 0;
    if (cb->width >= nj.width && cr->width >= nj.width) return 1;
    if (cb->width < nj.width && cb->width * 2 >= nj.width && cb->width == cr->width) return 2;
    return 0;
}

// One pixel's colour conversion from the packed chroma terms' index s, as
// in pair420: Cb's in bits 7-15, Cr's from bit 23.
NJ_INLINE void yccPacked(uint8_t* __restrict o, int y, uint32_t s) {
    const ChromaTerms::Cb& b = cbTerms(s);
    const ChromaTerms::Cr& c = crTerms(s);
    const uint8_t* const cy = kClip.t + y;
    o[0] = cy[c.r];
    o[1] = cy[(b.gb + c.gr) >> 8];
    o[2] = cy[b.b];
}

// One row of a 4:4:4 picture.
void row444(const uint8_t* __restrict py, const uint8_t* __restrict pcb, const uint8_t* __restrict pcr,
            uint8_t* __restrict o, int width) {
    const ChromaTerms::Cb* const tcb = kChroma.cb + 24;
    const ChromaTerms::Cr* const tcr = kChroma.cr + 24;
    const uint8_t* const clip = kClip.t;
    for (int x = 0; x < width; ++x, o += 3) {
        const ChromaTerms::Cb& b = tcb[pcb[x]];
        const ChromaTerms::Cr& c = tcr[pcr[x]];
        const uint8_t* const cy = clip + py[x];
        o[0] = cy[c.r];
        o[1] = cy[(b.gb + c.gr) >> 8];
        o[2] = cy[b.b];
    }
}

// One row of a 4:2:2 picture: the horizontal doubling of both chroma rows
// (n samples, n >= 3, as in hrow) on both at once, as in PackedRows::row,
// feeding the colour conversion directly.
void row422(const uint8_t* __restrict py, const uint8_t* __restrict b, const uint8_t* __restrict c, int n,
            uint8_t* __restrict o, int width) {
    // The edges' outputs, clipped, as indexes of the chroma terms.
    auto two = [](int xb, int xc) { return (uint32_t)(cfFast(xb) + 24) << 7 | (uint32_t)(cfFast(xc) + 24) << 23; };
    const uint8_t* eb = b + n;
    const uint8_t* ec = c + n;
    const uint32_t edge[6] = {two(139 * b[0] - 11 * b[1], 139 * c[0] - 11 * c[1]),
                              two(104 * b[0] + 27 * b[1] - 3 * b[2], 104 * c[0] + 27 * c[1] - 3 * c[2]),
                              two(28 * b[0] + 109 * b[1] - 9 * b[2], 28 * c[0] + 109 * c[1] - 9 * c[2]),
                              two(28 * eb[-1] + 109 * eb[-2] - 9 * eb[-3], 28 * ec[-1] + 109 * ec[-2] - 9 * ec[-3]),
                              two(104 * eb[-1] + 27 * eb[-2] - 3 * eb[-3], 104 * ec[-1] + 27 * ec[-2] - 3 * ec[-3]),
                              two(139 * eb[-1] - 11 * eb[-2], 139 * ec[-1] - 11 * ec[-2])};
    for (int k = 0; k < 3 && k < width; ++k) yccPacked(o + 3 * k, py[k], edge[k]);
    // The middle outputs 3 .. 2n - 4 are all within the picture (it is at
    // least 2n - 1 wide when n is the planes' own width).
    const uint32_t k3136 = 3136u * 0x10001u;
    uint32_t U = b[0] | (uint32_t)c[0] << 16, V = b[1] | (uint32_t)c[1] << 16;
    uint32_t W = b[2] | (uint32_t)c[2] << 16;
#if defined(__mips__)
    const uint32_t m70 = opaque(70u), m6 = opaque(6u), m41 = opaque(41u), m3 = opaque(3u);
#else
    constexpr uint32_t m70 = 70, m6 = 6, m41 = 41, m3 = 3;
#endif
    uint8_t* op = o + 9;
    const uint8_t* yp = py + 3;
    for (int x = 3; x < n; ++x, op += 6, yp += 2) {
        const uint32_t Z = b[x] | (uint32_t)c[x] << 16;
        const uint32_t a = m70 * (V + W) - m6 * (U + Z) + k3136;
        const uint32_t d = m41 * (V - W) - m3 * (U - Z);
        yccPacked(op, yp[0], a + d);
        yccPacked(op + 3, yp[1], a - d);
        U = V;
        V = W;
        W = Z;
    }
    for (int k = 0; k < 3; ++k)
        if (2 * n - 3 + k < width) yccPacked(o + 3 * (2 * n - 3 + k), py[2 * n - 3 + k], edge[3 + k]);
}

// The macroblock row mby of a row-wise picture is decoded: its rows are
// converted.
void rowsDone(int mby) {
    const Component *y = &nj.comp[0], *cb = &nj.comp[1], *cr = &nj.comp[2];
    const int width = nj.width, first = mby * nj.mbsizey;
    const int last = first + nj.mbsizey < nj.height ? first + nj.mbsizey : nj.height;
    uint8_t* o = nj.rgb + (size_t)first * width * 3;
    const int n = cb->width < 3 ? 3 : cb->width;
    for (int r = first; r < last; ++r, o += (size_t)width * 3) {
        const uint8_t* py = y->pixels + (size_t)(r % y->ring) * y->stride;
        const uint8_t* pcb = cb->pixels + (size_t)(r % cb->ring) * cb->stride;
        const uint8_t* pcr = cr->pixels + (size_t)(r % cr->ring) * cr->stride;
        if (nj.rowwise == 1)
            row444(py, pcb, pcr, o, width);
        else
            row422(py, pcb, pcr, n, o, width);
    }
}

void convert() {
    if (nj.rowwise) return;  // converted during the scan
    // Each plane is doubled, horizontally then vertically, until it covers
    // the picture. A plane whose last doubling is vertical gets that one
    // row by row during the colour conversion, without a full-size plane;
    // when its only doublings are one horizontal and that vertical one (4:2:0),
    // the horizontal one is done row by row too.
    bool lazy[3] = {false, false, false};
    bool lazyH[3] = {false, false, false};
    for (int i = 0; i < nj.ncomp; ++i) {
        Component* c = &nj.comp[i];
        if (nj.ncomp == 3 && c->width < nj.width && c->width * 2 >= nj.width && c->height < nj.height &&
            c->height * 2 >= nj.height) {
            lazy[i] = lazyH[i] = true;
            continue;
        }
        while (c->width < nj.width || c->height < nj.height) {
            if (c->width < nj.width && !upsampleH(c)) return fail(NJ_OUT_OF_MEM);
            if (c->height < nj.height) {
                if (c->width >= nj.width && c->height * 2 >= nj.height && nj.ncomp == 3) {
                    lazy[i] = true;
                    break;
                }
                if (!upsampleV(c)) return fail(NJ_OUT_OF_MEM);
            }
        }
        if (c->width < nj.width || (!lazy[i] && c->height < nj.height)) return fail(NJ_INTERNAL_ERR);
    }
    if (nj.ncomp == 3) {
        const int width = nj.width, height = nj.height;
        // Per lazy plane: two output rows (the middle rows come in pairs)
        // and, when doubling horizontally on the way, a ring of six rows.
        Rows src[3] = {Rows{&nj.comp[0]}, Rows{&nj.comp[1]}, Rows{&nj.comp[2]}};
        uint8_t* rowbuf = nullptr;
        int cached[3] = {-1, -1, -1};
        size_t ringw = 0;
        for (int i = 0; i < 3; ++i)
            if (lazyH[i]) {
                int n = nj.comp[i].width < 3 ? 3 : nj.comp[i].width;
                if ((size_t)(2 * n) > ringw) ringw = (size_t)(2 * n);
            }
        // Both chroma planes doubled on the way, the same size: every row
        // goes through pair420 (the middle ones, in pairs) or edge420, and
        // the per-plane rows are not needed.
        const bool fused = !lazy[0] && lazyH[1] && lazyH[2] && nj.comp[1].height == nj.comp[2].height &&
                           nj.comp[1].width == nj.comp[2].width;
        if (!fused && (lazy[0] || lazy[1] || lazy[2])) {
            rowbuf = (uint8_t*)malloc((size_t)width * 6 + ringw * 18);
            if (!rowbuf) return fail(NJ_OUT_OF_MEM);
        }
        for (int i = 0; i < 3; ++i)
            if (lazyH[i]) {
                src[i].n = nj.comp[i].width < 3 ? 3 : nj.comp[i].width;
                src[i].width = (int)ringw;
                if (rowbuf) src[i].ring = rowbuf + (size_t)width * 6 + ringw * 6 * i;
            }
        uint8_t* __restrict prgb = nj.rgb;
        if (fused) {
            // The rows the scan has not converted yet.
            if (!s420.packed.ring && !start420()) return fail(NJ_OUT_OF_MEM);
            rows420(height, nj.comp[1].rows);
            free(s420.packed.ring);
            s420.packed.ring = nullptr;
            return;
        }
        for (int y = 0; y < height; ++y) {
            const uint8_t* row[3];
            for (int i = 0; i < 3; ++i) {
                const Component* c = &nj.comp[i];
                if (lazy[i]) {
                    uint8_t* b0 = rowbuf + (size_t)(2 * i) * width;
                    uint8_t* b1 = b0 + width;
                    const int m = c->height < 3 ? 3 : c->height;
                    if (cached[i] == y) {
                        row[i] = b1;
                    } else if ((y & 1) && y >= 3 && y + 1 <= 2 * m - 4) {
                        vrow2(src[i], y, b0, b1, width);
                        cached[i] = y + 1;
                        row[i] = b0;
                    } else {
                        vrow(src[i], c->height, y, b0, width);
                        row[i] = b0;
                    }
                } else {
                    row[i] = c->pixels + (size_t)y * c->stride;
                }
            }
            const uint8_t* __restrict py = row[0];
            const uint8_t* __restrict pcb = row[1];
            const uint8_t* __restrict pcr = row[2];
            for (int x = 0; x < width; ++x) {
                ycc(prgb, py[x], pcb[x], pcr[x]);
                prgb += 3;
            }
        }
        free(rowbuf);
    } else if (nj.comp[0].width != nj.comp[0].stride) {
        Component* c = &nj.comp[0];
        uint8_t* pin = c->pixels + c->stride;
        uint8_t* pout = c->pixels + c->width;
        for (int y = c->height - 1; y; --y) {
            memmove(pout, pin, c->width);
            pin += c->stride;
            pout += c->width;
        }
        c->stride = c->width;
    }
}

}  // namespace

extern "C" {

void njInit(void) {
    memset(&nj, 0, sizeof nj);
    s420 = Stream420{};
}

void njDone(void) {
    for (int i = 0; i < 3; ++i) free(nj.comp[i].pixels);
    free(nj.rgb);
    free(s420.packed.ring);
    njInit();
}

nj_result_t njDecode(const void* jpeg, const int size) {
    njDone();
    if (!jpeg || size < 2) return nj.error = NJ_NO_JPEG;
    nj.pos = (const uint8_t*)jpeg;
    nj.size = size;
    if (nj.pos[0] != 0xFF || nj.pos[1] != 0xD8) return nj.error = NJ_NO_JPEG;
    skip(2);
    while (!nj.error) {
        if (nj.size < 2 || nj.pos[0] != 0xFF) {
            fail(NJ_SYNTAX_ERROR);
            break;
        }
        skip(2);
        switch (nj.pos[-1]) {
            case 0xC0:
                decodeSOF();
                break;
            case 0xC4:
                decodeDHT();
                break;
            case 0xDB:
                decodeDQT();
                break;
            case 0xDD:
                decodeDRI();
                break;
            case 0xDA:
                decodeScan();
                break;
            case 0xFE:
                skipMarker();
                break;
            default:
                if ((nj.pos[-1] & 0xF0) == 0xE0)
                    skipMarker();
                else
                    fail(NJ_UNSUPPORTED);
        }
    }
    if (nj.error != __NJ_FINISHED) return nj.error;
    nj.error = NJ_OK;
    convert();
    return nj.error;
}

int njGetWidth(void) { return nj.width; }
int njGetHeight(void) { return nj.height; }
int njIsColor(void) { return nj.ncomp != 1; }
unsigned char* njGetImage(void) { return nj.ncomp == 1 ? nj.comp[0].pixels : nj.rgb; }
int njGetImageSize(void) { return nj.width * nj.height * nj.ncomp; }

}  // extern "C"
