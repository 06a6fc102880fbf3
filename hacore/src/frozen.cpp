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
            if (i < 32) k = kControl;
            else if (i == '"') k = kQuote;
            else if (i == '\\') k = kBackslash;
            else if (i >= 0xF0) k = kLead4;
            else if (i >= 0xE0) k = kLead3;
            else if (i >= 0x80) k = kLead2;  // 0x80..0xDF all count as two-byte leads
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

inline bool isBlank(unsigned char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }
inline bool isDigit(unsigned char c) { return unsigned(c - '0') < 10; }
inline bool isLetter(unsigned char c) { return unsigned((c | 0x20) - 'a') < 26; }
inline bool isHex(unsigned char c) { return isDigit(c) || unsigned((c | 0x20) - 'a') < 6; }

// True when no byte of the word is a quote, a backslash, below 32 or above
// 127: the whole word is plain string text.
inline bool plainWord(size_t w) {
    constexpr size_t ones = ~size_t(0) / 255;
    constexpr size_t highs = ones * 0x80;
    const size_t q = w ^ (ones * '"');
    const size_t b = w ^ (ones * '\\');
    const size_t hit = ((q - ones) & ~q) | ((b - ones) & ~b) | ((w - ones * 0x20) & ~w) | w;
    return (hit & highs) == 0;
}

constexpr int kMaxDepth = JSON_MAX_DEPTH;

// Record: tokens are stored. Grow: the array is ours and may be reallocated.
template <bool Record, bool Grow>
class Tokenizer {
public:
    Tokenizer(const char* s, int len, json_token* toks, int cap)
        : begin_(s), cur_(s), end_(s + len), toks_(toks), cap_(cap) {}

    int run();
    json_token* tokens() const { return toks_; }

private:
    // Takes a token for a value that starts here; its index, or -3.
    int take(const char* start, json_type kind) {
        if (!Record) return 0;
        if (count_ >= cap_ && !grow()) return JSON_TOKEN_ARRAY_TOO_SMALL;
        json_token& t = toks_[count_];
        t.start = start;
        t.length = 0;
        t.descendants = 0;
        t.kind = kind;
        return count_++;
    }

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

    void skipBlanks() {
        while (cur_ < end_ && isBlank(static_cast<unsigned char>(*cur_))) ++cur_;
    }

    int string();
    int bareKey();
    int number();
    int word(const char* text, int n, json_type kind);
    int scalar();
    int open(json_type kind);
    bool isObject() const { return (kinds_[(depth_ - 1) >> 5] >> ((depth_ - 1) & 31)) & 1u; }

    const char* const begin_;
    const char* cur_;
    const char* const end_;
    json_token* toks_;
    int cap_;
    int count_ = 0;
    int open_ = -1;  // index of the innermost open container (Record only)
    int depth_ = 0;
    uint32_t kinds_[kMaxDepth / 32] = {};  // bit set: object at that level
};

// cur_ is on the opening quote.
template <bool Record, bool Grow>
int Tokenizer<Record, Grow>::string() {
    const int idx = take(cur_ + 1, JSON_TYPE_STRING);
    if (idx < 0) return idx;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(cur_ + 1);
    const unsigned char* const s = p;
    const unsigned char* const end = reinterpret_cast<const unsigned char*>(end_);
    for (;;) {
        while (size_t(end - p) >= sizeof(size_t)) {
            size_t w;
            std::memcpy(&w, p, sizeof w);
            if (!plainWord(w)) break;
            p += sizeof(size_t);
        }
        while (p < end && kString.c[*p] == kPlain) ++p;
        if (p >= end) return JSON_STRING_INCOMPLETE;
        switch (kString.c[*p]) {
        case kQuote:
            if (Record) toks_[idx].length = int(p - s);
            cur_ = reinterpret_cast<const char*>(p + 1);
            return 0;
        case kBackslash:
            if (end - p < 2) return JSON_STRING_INCOMPLETE;
            if (p[1] == 'u') {
                if (end - p < 6) return JSON_STRING_INCOMPLETE;
                if (!isHex(p[2]) || !isHex(p[3]) || !isHex(p[4]) || !isHex(p[5]))
                    return JSON_STRING_INVALID;
                p += 6;
            } else {
                if (!kEscape.ok[p[1]]) return JSON_STRING_INVALID;
                p += 2;
            }
            break;
        case kControl:
            return JSON_STRING_INVALID;
        default: {
            // Lead byte: the following bytes are taken as they are.
            const int n = kString.c[*p] - kLead2 + 2;
            if (end - p < n) return JSON_STRING_INCOMPLETE;
            p += n;
            break;
        }
        }
    }
}

// Unquoted key: a letter, then letters, digits and underscores.
template <bool Record, bool Grow>
int Tokenizer<Record, Grow>::bareKey() {
    const int idx = take(cur_, JSON_TYPE_STRING);
    if (idx < 0) return idx;
    const char* p = cur_ + 1;
    while (p < end_) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (!isLetter(c) && !isDigit(c) && c != '_') break;
        ++p;
    }
    if (Record) toks_[idx].length = int(p - cur_);
    cur_ = p;
    return 0;
}

template <bool Record, bool Grow>
int Tokenizer<Record, Grow>::number() {
    const int idx = take(cur_, JSON_TYPE_NUMBER);
    if (idx < 0) return idx;
    const char* p = cur_;
    if (*p == '-') ++p;
    // one or more digits
    auto digits = [&]() -> int {
        if (p >= end_) return JSON_STRING_INCOMPLETE;
        if (!isDigit(static_cast<unsigned char>(*p))) return JSON_STRING_INVALID;
        do ++p;
        while (p < end_ && isDigit(static_cast<unsigned char>(*p)));
        return 0;
    };
    int r = digits();
    if (r) return r;
    if (p < end_ && *p == '.') {
        ++p;
        if ((r = digits())) return r;
    }
    if (p < end_ && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end_ && (*p == '+' || *p == '-')) ++p;
        if ((r = digits())) return r;
    }
    if (Record) toks_[idx].length = int(p - cur_);
    cur_ = p;
    return 0;
}

template <bool Record, bool Grow>
int Tokenizer<Record, Grow>::word(const char* text, int n, json_type kind) {
    const int idx = take(cur_, kind);
    if (idx < 0) return idx;
    const ptrdiff_t avail = end_ - cur_;
    const int m = avail < n ? int(avail) : n;
    if (std::memcmp(cur_, text, size_t(m)) != 0) return JSON_STRING_INVALID;
    if (m < n) return JSON_STRING_INCOMPLETE;
    if (Record) toks_[idx].length = n;
    cur_ += n;
    return 0;
}

// A value that is not an object or array; cur_ is on its first character.
template <bool Record, bool Grow>
int Tokenizer<Record, Grow>::scalar() {
    switch (*cur_) {
    case '"': return string();
    case 't': return word("true", 4, JSON_TYPE_TRUE);
    case 'f': return word("false", 5, JSON_TYPE_FALSE);
    case 'n': return word("null", 4, JSON_TYPE_NULL);
    case '-':
    case '0': case '1': case '2': case '3': case '4':
    case '5': case '6': case '7': case '8': case '9':
        return number();
    default: return JSON_STRING_INVALID;
    }
}

// cur_ is on the opening brace or bracket.
template <bool Record, bool Grow>
int Tokenizer<Record, Grow>::open(json_type kind) {
    if (depth_ >= kMaxDepth) return JSON_STRING_INVALID;
    const int idx = take(cur_, kind);
    if (idx < 0) return idx;
    if (Record) {
        toks_[idx].descendants = open_;  // parent link while open
        open_ = idx;
    }
    const uint32_t bit = 1u << (depth_ & 31);
    if (kind == JSON_TYPE_OBJECT) kinds_[depth_ >> 5] |= bit;
    else kinds_[depth_ >> 5] &= ~bit;
    ++depth_;
    ++cur_;
    return 0;
}

template <bool Record, bool Grow>
int Tokenizer<Record, Grow>::run() {
    int r;
    skipBlanks();
    if (cur_ >= end_) return JSON_STRING_INCOMPLETE;
    if (*cur_ == '{') r = open(JSON_TYPE_OBJECT);
    else if (*cur_ == '[') r = open(JSON_TYPE_ARRAY);
    else return JSON_STRING_INVALID;
    if (r) return r;

    bool justOpened = true;  // else just after a value of the innermost container
    for (;;) {
        skipBlanks();
        if (cur_ >= end_) return JSON_STRING_INCOMPLETE;
        char c = *cur_;
        const bool object = isObject();
        const char closer = object ? '}' : ']';
        if (!justOpened) {
            if (c == ',') {
                ++cur_;
                skipBlanks();
                if (cur_ >= end_) return JSON_STRING_INCOMPLETE;
                c = *cur_;  // a closer here is the allowed trailing comma
            } else if (c != closer) {
                return JSON_STRING_INVALID;
            }
        }
        if (c == closer) {
            ++cur_;
            --depth_;
            if (Record) {
                json_token& t = toks_[open_];
                t.length = int(cur_ - t.start);
                const int parent = t.descendants;
                t.descendants = count_ - 1 - open_;
                open_ = parent;
            }
            if (depth_ == 0) break;
            justOpened = false;
            continue;
        }
        if (object) {
            if (c == '"') r = string();
            else if (isLetter(static_cast<unsigned char>(c))) r = bareKey();
            else return JSON_STRING_INVALID;
            if (r) return r;
            skipBlanks();
            if (cur_ >= end_) return JSON_STRING_INCOMPLETE;
            if (*cur_ != ':') return JSON_STRING_INVALID;
            ++cur_;
            skipBlanks();
            if (cur_ >= end_) return JSON_STRING_INCOMPLETE;
            c = *cur_;
        }
        if (c == '{' || c == '[') {
            if ((r = open(c == '{' ? JSON_TYPE_OBJECT : JSON_TYPE_ARRAY))) return r;
            justOpened = true;
            continue;
        }
        if ((r = scalar())) return r;
        justOpened = false;
    }

    const int end = take(cur_, JSON_TYPE_EOF);
    if (end < 0) return end;
    return int(cur_ - begin_);
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
            for (int i = 0; i < index && e < stop; i++)
                e += 1 + (e->descendants > 0 ? e->descendants : 0);
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
        if (*p == '.') ++p;
        else if (*p != '[') return nullptr;  // steps are joined by "." or start with "["
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
        case '"': put('\\'); put('"'); break;
        case '\\': put('\\'); put('\\'); break;
        case '\n': put('\\'); put('n'); break;
        case '\r': put('\\'); put('r'); break;
        case '\t': put('\\'); put('t'); break;
        case '\b': put('\\'); put('b'); break;
        case '\f': put('\\'); put('f'); break;
        default: put(c); break;
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
        case '{': case '}': case '[': case ']': case ',': case ':':
        case ' ': case '\t': case '\r': case '\n':
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
            if (s) pos += json_emit_quoted_str(at(), room(), s, n);
            else pos += json_emit_unquoted_str(at(), room(), "null", 4);
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
        case 'T': pos += json_emit_unquoted_str(at(), room(), "true", 4); break;
        case 'F': pos += json_emit_unquoted_str(at(), room(), "false", 5); break;
        case 'N': pos += json_emit_unquoted_str(at(), room(), "null", 4); break;
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
