// JSON tokenizer, path lookup and emitter.
//
// This file is built into libhacore and libdaemonlink alike; keep it free of
// dependencies on either library.
//
// The tokenizer is a single forward pass driven by an explicit container
// stack instead of recursion, so hostile nesting costs neither stack nor
// heap: open containers keep the index of their parent in their
// `descendants` field until they close, and one bit per level says whether
// the level is an object or an array. Nesting beyond JSON_MAX_DEPTH is
// refused as invalid text.
#include "hacore/frozen.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static_assert(sizeof(json_type) == 4, "json_type is a 32-bit code");
static_assert(offsetof(json_token, start) == 0, "json_token layout");
static_assert(offsetof(json_token, length) == sizeof(const char*), "json_token layout");
static_assert(offsetof(json_token, descendants) == sizeof(const char*) + 4, "json_token layout");
static_assert(offsetof(json_token, kind) == sizeof(const char*) + 8, "json_token layout");
static_assert(sizeof(void*) != 4 || sizeof(json_token) == 16, "json_token is 16 bytes on the router");

namespace {

// Byte classes inside a string.
enum : uint8_t { kPlain = 0, kQuote, kBackslash, kControl, kLead2, kLead3, kLead4 };

struct StringClasses {
    uint8_t c[256];
    constexpr StringClasses() : c() {
        for (int i = 0; i < 256; i++) {
            uint8_t k = kPlain;
            if (i < 32)
                k = kControl;
            else if (i == '"')
                k = kQuote;
            else if (i == '\\')
                k = kBackslash;
            else if (i >= 0xF0)
                k = kLead4;
            else if (i >= 0xE0)
                k = kLead3;
            else if (i >= 0x80)
                k = kLead2;  // 0x80..0xDF all count as two-byte leads
            c[i] = k;
        }
    }
};
constexpr StringClasses kString;

// Characters allowed after a backslash (other than u).
struct EscapeSet {
    bool ok[256];
    constexpr EscapeSet() : ok() {
        ok[uint8_t('"')] = ok[uint8_t('/')] = ok[uint8_t('\\')] = true;
        ok[uint8_t('b')] = ok[uint8_t('f')] = ok[uint8_t('n')] = true;
        ok[uint8_t('r')] = ok[uint8_t('t')] = true;
    }
};
constexpr EscapeSet kEscape;

// Byte classes between tokens.
enum : uint8_t { kOther = 0, kBlank, kDigit, kLetter };
struct OuterClasses {
    uint8_t c[256];
    constexpr OuterClasses() : c() {
        c[uint8_t(' ')] = c[uint8_t('\t')] = c[uint8_t('\r')] = c[uint8_t('\n')] = kBlank;
        for (int i = '0'; i <= '9'; i++) c[i] = kDigit;
        for (int i = 'a'; i <= 'z'; i++) c[i] = c[i - 32] = kLetter;
    }
};
constexpr OuterClasses kOuter;

inline bool isDigit(unsigned char c) { return unsigned(c - '0') < 10; }
inline bool isHex(unsigned char c) { return isDigit(c) || unsigned((c | 0x20) - 'a') < 6; }
inline bool isKeyChar(unsigned char c) { return kOuter.c[c] >= kDigit || c == '_'; }

// High bit set in each byte of the word that is a quote, a backslash, below
// 32 or above 127; zero when the whole word is plain string text. The lowest
// flagged byte (in memory order on a little-endian machine) is exact: the
// borrows that can flag a byte wrongly only run towards later bytes.
// *quotes gets the flags of the quotes alone (exact below the lowest flag).
inline size_t specialBytes(size_t w, size_t* quotes) {
    constexpr size_t ones = ~size_t(0) / 255;
    constexpr size_t highs = ones * 0x80;
    const size_t q = w ^ (ones * '"');
    const size_t b = w ^ (ones * '\\');
    *quotes = (q - ones) & ~q & highs;
    return (*quotes | ((b - ones) & ~b) | ((w - ones * 0x20) & ~w) | w) & highs;
}

// Compares the n bytes of a word (n is 4 or 5, known where it is inlined).
inline bool sameBytes(const unsigned char* p, const char* text, int n) {
    return n == 4 ? std::memcmp(p, text, 4) == 0 : std::memcmp(p, text, 5) == 0;
}

constexpr int kMaxDepth = JSON_MAX_DEPTH;

// One forward pass over the text. The position, the token array and the
// counters live in locals so that the compiler keeps them in registers (a
// store into a token could otherwise alias them). Record: tokens are stored.
// Grow: the array is ours and may be reallocated.
template <bool Record, bool Grow>
class Tokenizer {
public:
    Tokenizer(const char* s, int len, json_token* toks, int cap) : begin_(s), end_(s + len), toks_(toks), cap_(cap) {}

    int run();
    json_token* tokens() const { return toks_; }

private:
    bool grow() {
        if (!Grow) return false;
        if (cap_ > INT_MAX / 2) return false;
        const int cap = cap_ * 2;
        if (size_t(cap) > SIZE_MAX / sizeof(json_token)) return false;
        void* p = std::realloc(toks_, size_t(cap) * sizeof(json_token));
        if (!p) return false;
        toks_ = static_cast<json_token*>(p);
        cap_ = cap;
        return true;
    }

    const char* const begin_;
    const char* const end_;
    json_token* toks_;
    int cap_;
};

template <bool Record, bool Grow>
__attribute__((flatten)) int Tokenizer<Record, Grow>::run() {
    typedef const unsigned char* Ptr;
    Ptr p = reinterpret_cast<Ptr>(begin_);
    const Ptr end = reinterpret_cast<Ptr>(end_);
    json_token* toks = toks_;
    int cap = cap_;
    int count = 0;
    int open = -1;  // index of the innermost open container (Record only)
    int depth = 0;
    bool object;                     // the innermost open container is an object
    uint32_t kinds[kMaxDepth / 32];  // bit set: object at that level
    int idx = 0;                     // token of the value being read
    bool key = false;                // the string being read is a key
    unsigned char c;

// Takes a token for a value that starts at `at`; -3 when the array is full.
#define TAKE(at, kind_)                                         \
    do {                                                        \
        if (Record) {                                           \
            if (count >= cap) {                                 \
                toks_ = toks;                                   \
                if (!grow()) return JSON_TOKEN_ARRAY_TOO_SMALL; \
                toks = toks_;                                   \
                cap = cap_;                                     \
            }                                                   \
            json_token& t_ = toks[count];                       \
            t_.start = reinterpret_cast<const char*>(at);       \
            t_.length = 0;                                      \
            t_.descendants = 0;                                 \
            t_.kind = kind_;                                    \
            idx = count++;                                      \
        }                                                       \
    } while (0)
// Skips blanks; the text must go on after them.
#define SKIP()                                         \
    do {                                               \
        while (p < end && kOuter.c[*p] == kBlank) ++p; \
        if (p >= end) return JSON_STRING_INCOMPLETE;   \
    } while (0)

    SKIP();
    if (*p != '{' && *p != '[') return JSON_STRING_INVALID;
    c = *p;

open_container:  // p is on the opening brace or bracket c
    if (depth >= kMaxDepth) return JSON_STRING_INVALID;
    object = c == '{';
    TAKE(p, object ? JSON_TYPE_OBJECT : JSON_TYPE_ARRAY);
    if (Record) {
        toks[idx].descendants = open;  // parent link while open
        open = idx;
    }
    {
        const uint32_t bit = 1u << (depth & 31);
        if (object)
            kinds[depth >> 5] |= bit;
        else
            kinds[depth >> 5] &= ~bit;
    }
    ++depth;
    ++p;
    // first member or element, or the closer
    if (p < end && kOuter.c[*p] == kBlank) SKIP();
    if (p >= end) return JSON_STRING_INCOMPLETE;
    c = *p;
    if (c == (object ? '}' : ']')) goto close_container;
    goto member;

after_value:  // just after a value of the innermost container
    if (p < end && kOuter.c[*p] == kBlank) SKIP();
    if (p >= end) return JSON_STRING_INCOMPLETE;
    c = *p;
    if (c == ',') {
        ++p;
        SKIP();
        c = *p;  // a closer here is the allowed trailing comma
        if (c == (object ? '}' : ']')) goto close_container;
        goto member;
    }
    if (c == (object ? '}' : ']')) goto close_container;
    return JSON_STRING_INVALID;

close_container:  // p is on the closer of the innermost container
    ++p;
    --depth;
    if (Record) {
        json_token& t = toks[open];
        t.length = int(reinterpret_cast<const char*>(p) - t.start);
        const int parent = t.descendants;
        t.descendants = count - 1 - open;
        open = parent;
    }
    if (depth == 0) goto done;
    object = (kinds[(depth - 1) >> 5] >> ((depth - 1) & 31)) & 1u;
    goto after_value;

member:  // p is on the first character of a member (object) or element
    if (object) {
        if (c == '"') {
            key = true;
            goto string;
        }
        if (kOuter.c[c] != kLetter) return JSON_STRING_INVALID;
        // Unquoted key: a letter, then letters, digits and underscores.
        TAKE(p, JSON_TYPE_STRING);
        {
            Ptr k = p + 1;
            while (k < end && isKeyChar(*k)) ++k;
            if (Record) toks[idx].length = int(k - p);
            p = k;
        }
        goto colon;
    }

value:  // p is on the first character c of a value
    switch (c) {
        case '"':
            key = false;
            goto string;
        case '{':
        case '[':
            goto open_container;
        case 't':
        case 'f':
        case 'n': {
            const char* text = c == 't' ? "true" : c == 'f' ? "false" : "null";
            const int n = c == 'f' ? 5 : 4;
            TAKE(p, c == 't' ? JSON_TYPE_TRUE : c == 'f' ? JSON_TYPE_FALSE : JSON_TYPE_NULL);
            const ptrdiff_t avail = end - p;
            if (avail >= n) {
                if (!sameBytes(p, text, n)) return JSON_STRING_INVALID;
            } else {
                if (std::memcmp(p, text, size_t(avail)) != 0) return JSON_STRING_INVALID;
                return JSON_STRING_INCOMPLETE;
            }
            if (Record) toks[idx].length = n;
            p += n;
            goto after_value;
        }
        case '-':
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9': {
            TAKE(p, JSON_TYPE_NUMBER);
            Ptr q = p;
            if (*q == '-') ++q;
                // one or more digits
#define DIGITS()                                      \
    do {                                              \
        if (q >= end) return JSON_STRING_INCOMPLETE;  \
        if (!isDigit(*q)) return JSON_STRING_INVALID; \
        do ++q;                                       \
        while (q < end && isDigit(*q));               \
    } while (0)
            DIGITS();
            if (q < end && *q == '.') {
                ++q;
                DIGITS();
            }
            if (q < end && (*q == 'e' || *q == 'E')) {
                ++q;
                if (q < end && (*q == '+' || *q == '-')) ++q;
                DIGITS();
            }
#undef DIGITS
            if (Record) toks[idx].length = int(q - p);
            p = q;
            goto after_value;
        }
        default:
            return JSON_STRING_INVALID;
    }

string:  // p is on the opening quote of a key or a string value
    TAKE(p + 1, JSON_TYPE_STRING);
    {
        Ptr q = p + 1;
        for (;;) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
            // A word at a time up to the first byte that is not plain text.
            while (size_t(end - q) >= sizeof(size_t)) {
                size_t w;
                std::memcpy(&w, q, sizeof w);
                size_t quotes;
                const size_t hit = specialBytes(w, &quotes);
                if (hit) {
                    q += unsigned(__builtin_ctzl(static_cast<unsigned long>(hit))) >> 3;
                    // the closing quote, told from the flags without reading the byte again
                    if ((hit & (0 - hit)) & quotes) {
                        if (Record) toks[idx].length = int(q - (p + 1));
                        p = q + 1;
                        goto string_done;
                    }
                    goto special;
                }
                q += sizeof(size_t);
            }
#endif
            while (q < end && kString.c[*q] == kPlain) ++q;
            if (q >= end) return JSON_STRING_INCOMPLETE;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        special:
#endif
            switch (kString.c[*q]) {
                case kPlain:  // not reached: the word scan stops on special bytes only
                    ++q;
                    break;
                case kQuote:
                    if (Record) toks[idx].length = int(q - (p + 1));
                    p = q + 1;
                    goto string_done;
                case kBackslash:
                    if (end - q < 2) return JSON_STRING_INCOMPLETE;
                    if (q[1] == 'u') {
                        if (end - q < 6) return JSON_STRING_INCOMPLETE;
                        if (!isHex(q[2]) || !isHex(q[3]) || !isHex(q[4]) || !isHex(q[5])) return JSON_STRING_INVALID;
                        q += 6;
                    } else {
                        if (!kEscape.ok[q[1]]) return JSON_STRING_INVALID;
                        q += 2;
                    }
                    break;
                case kControl:
                    return JSON_STRING_INVALID;
                default: {
                    // Lead byte: the following bytes are taken as they are.
                    const int n = kString.c[*q] - kLead2 + 2;
                    if (end - q < n) return JSON_STRING_INCOMPLETE;
                    q += n;
                    break;
                }
            }
        }
    }
string_done:
    if (!key) goto after_value;

colon:
    SKIP();
    if (*p != ':') return JSON_STRING_INVALID;
    ++p;
    SKIP();
    c = *p;
    goto value;

done:
#undef TAKE
#undef SKIP
    toks_ = toks;
    cap_ = cap;
    {
        // end marker
        if (Record) {
            if (count >= cap && !grow()) return JSON_TOKEN_ARRAY_TOO_SMALL;
            json_token& t = toks_[count];
            t.start = reinterpret_cast<const char*>(p);
            t.length = 0;
            t.descendants = 0;
            t.kind = JSON_TYPE_EOF;
        }
    }
    return int(reinterpret_cast<const char*>(p) - begin_);
}

}  // namespace

extern "C" {

int parse_json(const char* s, int s_len, json_token* tokens, int capacity) {
    if (!s || s_len < 0) return JSON_STRING_INVALID;
    if (!tokens) {
        Tokenizer<false, false> t(s, s_len, nullptr, 0);
        return t.run();
    }
    Tokenizer<true, false> t(s, s_len, tokens, capacity < 0 ? 0 : capacity);
    return t.run();
}

json_token* parse_json2(const char* s, int s_len) {
    if (!s || s_len < 0) return nullptr;
    const int initial = 100;
    json_token* toks = static_cast<json_token*>(std::malloc(initial * sizeof(json_token)));
    if (!toks) return nullptr;
    Tokenizer<true, true> t(s, s_len, toks, initial);
    const int r = t.run();
    if (r < 0) {
        std::free(t.tokens());
        return nullptr;
    }
    return t.tokens();
}

json_token* find_json_token(json_token* toks, const char* path) {
    if (!toks || !path || !*path) return nullptr;
    json_token* cur = toks;
    const char* p = path;
    for (;;) {
        const int inside = cur->descendants > 0 ? cur->descendants : 0;
        json_token* e = cur + 1;
        json_token* const stop = cur + 1 + inside;
        if (*p == '[') {
            ++p;
            int index = 0;  // saturates: no array holds that many elements
            while (isDigit(static_cast<unsigned char>(*p))) {
                index = index > (INT_MAX - 9) / 10 ? INT_MAX : index * 10 + (*p - '0');
                ++p;
            }
            if (*p != ']') return nullptr;
            ++p;
            if (cur->kind != JSON_TYPE_ARRAY) return nullptr;
            for (int i = 0; i < index && e < stop; i++) e += 1 + (e->descendants > 0 ? e->descendants : 0);
            if (e >= stop) return nullptr;
            cur = e;
        } else {
            const char* key = p;
            while (*p && *p != '.' && *p != '[') ++p;
            const size_t n = size_t(p - key);
            if (cur->kind != JSON_TYPE_OBJECT) return nullptr;
            json_token* found = nullptr;
            while (e + 1 < stop) {
                json_token* value = e + 1;
                if (e->kind == JSON_TYPE_STRING && e->length >= 0 && size_t(e->length) == n &&
                    std::memcmp(e->start, key, n) == 0) {
                    found = value;
                    break;
                }
                e = value + 1 + (value->descendants > 0 ? value->descendants : 0);
            }
            if (!found) return nullptr;
            cur = found;
        }
        if (*p == '\0') return cur;
        if (*p == '.')
            ++p;
        else if (*p != '[')
            return nullptr;  // steps are joined by "." or start with "["
    }
}

// ---- emitter ----

int json_emit_long(char* buf, int size, long value) {
    // Room for any long: the router's is 32 bits, a 64-bit one needs 20.
    char tmp[32];
    const int n = std::snprintf(tmp, sizeof tmp, "%ld", value);
    if (size > 0) std::strncpy(buf, tmp, size_t(size));
    return n;
}

int json_emit_double(char* buf, int size, double value) {
    char tmp[20];
    const int n = std::snprintf(tmp, sizeof tmp, "%g", value);
    if (size > 0) std::strncpy(buf, tmp, size_t(size));
    return n;
}

int json_emit_quoted_str(char* buf, int size, const char* text, int length) {
    if (!text || length < 0) length = 0;
    int pos = 0;
    auto put = [&](char c) {
        if (pos < size) buf[pos] = c;
        pos++;
    };
    put('"');
    for (int i = 0; i < length; i++) {
        const char c = text[i];
        switch (c) {
            case '"':
                put('\\');
                put('"');
                break;
            case '\\':
                put('\\');
                put('\\');
                break;
            case '\n':
                put('\\');
                put('n');
                break;
            case '\r':
                put('\\');
                put('r');
                break;
            case '\t':
                put('\\');
                put('t');
                break;
            case '\b':
                put('\\');
                put('b');
                break;
            case '\f':
                put('\\');
                put('f');
                break;
            default:
                put(c);
                break;
        }
    }
    put('"');
    if (pos < size) buf[pos] = '\0';
    return pos;
}

int json_emit_unquoted_str(char* buf, int size, const char* text, int length) {
    if (!text || length < 1) return 0;
    if (size < 1) return length;
    if (size > length) {
        std::memcpy(buf, text, size_t(length));
        buf[length] = '\0';
    } else {
        std::memcpy(buf, text, size_t(size));
    }
    return length;
}

int json_emit_va(char* buf, int size, const char* fmt, va_list ap) {
    if (!buf || size < 0) size = 0;
    if (!fmt) fmt = "";
    int pos = 0;
    // Room left from pos and where it starts (null when none).
    auto room = [&]() { return pos < size ? size - pos : 0; };
    auto at = [&]() { return pos < size ? buf + pos : nullptr; };
    for (; *fmt; fmt++) {
        switch (*fmt) {
            case '{':
            case '}':
            case '[':
            case ']':
            case ',':
            case ':':
            case ' ':
            case '\t':
            case '\r':
            case '\n':
                if (pos < size) buf[pos] = *fmt;
                pos++;
                break;
            case 'i':
                pos += json_emit_long(at(), room(), va_arg(ap, long));
                break;
            case 'f':
                pos += json_emit_double(at(), room(), va_arg(ap, double));
                break;
            case 's': {
                const char* s = va_arg(ap, const char*);
                if (s) {
                    const size_t n = std::strlen(s);
                    pos += json_emit_quoted_str(at(), room(), s, n > INT_MAX ? INT_MAX : int(n));
                } else {
                    pos += json_emit_unquoted_str(at(), room(), "null", 4);
                }
                break;
            }
            case 'v': {
                const char* s = va_arg(ap, const char*);
                const int n = va_arg(ap, int);
                if (s)
                    pos += json_emit_quoted_str(at(), room(), s, n);
                else
                    pos += json_emit_unquoted_str(at(), room(), "null", 4);
                break;
            }
            case 'S': {
                const char* s = va_arg(ap, const char*);
                if (s) {
                    const size_t n = std::strlen(s);
                    pos += json_emit_unquoted_str(at(), room(), s, n > INT_MAX ? INT_MAX : int(n));
                }
                break;
            }
            case 'V': {
                const char* s = va_arg(ap, const char*);
                const int n = va_arg(ap, int);
                pos += json_emit_unquoted_str(at(), room(), s, n);
                break;
            }
            case 'T':
                pos += json_emit_unquoted_str(at(), room(), "true", 4);
                break;
            case 'F':
                pos += json_emit_unquoted_str(at(), room(), "false", 5);
                break;
            case 'N':
                pos += json_emit_unquoted_str(at(), room(), "null", 4);
                break;
            default:
                return 0;
        }
    }
    if (pos < size) buf[pos] = '\0';
    return pos;
}

int json_emit(char* buf, int size, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int n = json_emit_va(buf, size, fmt, ap);
    va_end(ap);
    return n;
}

}  // extern "C"

// ---- value lookup ----

namespace {

// Longest value text taken (the rest is cut).
constexpr int kValueMax = 512000 - 1;

const json_token* lookup(const char* path, json_token* toks) {
    const json_token* t = find_json_token(toks, path);
    if (!t) std::printf("\nERROR:NO Data %s field found\n\n", path ? path : "(null)");
    return t;
}

// Bytes of the value as "%.*s" takes them: cut at the limit and at a NUL.
size_t valueLength(const json_token* t) {
    const int n = t->length < 0 ? 0 : (t->length > kValueMax ? kValueMax : t->length);
    return strnlen(t->start, size_t(n));
}

}  // namespace

int getJsonValue(const char* path, json_token* toks) {
    const json_token* t = lookup(path, toks);
    if (!t) return 0;
    const std::string text(t->start, valueLength(t));
    return int(std::strtol(text.c_str(), nullptr, 10));  // what atoi does, without its overflow UB
}

extern "C" int getJsonValue(const char* path, char* out, json_token* toks) {
    const json_token* t = lookup(path, toks);
    if (!t) return 0;
    if (out) {
        const size_t n = valueLength(t);
        std::memcpy(out, t->start, n);
        out[n] = '\0';
    }
    return 1;
}
