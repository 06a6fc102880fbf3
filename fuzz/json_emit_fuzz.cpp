// Fuzz target: the whole emitter, round-tripped through the tokenizer. The
// input shapes a document of nested objects and arrays whose values are
// written with every format letter of json_emit (i f s v S V T F N and the
// punctuation); the document is tokenized again and every value is looked up
// by its full path (any depth, "[]" for a first element), and checked against
// what was emitted: its kind, its raw text, its unescaped text, the number of
// its descendants, and what getJsonValue gives for it. Each piece is also
// emitted into exact-size buffers too small for it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "hacore/frozen.h"

#include "fuzz_util.h"

namespace {

struct Expect {
    std::string path;
    json_type kind;
    std::string raw;    // token text (scalars)
    std::string plain;  // unescaped text (strings)
    int descendants;
};

std::string escaped(const std::string& s) {
    std::string o;
    for (char c : s) {
        switch (c) {
            case '"':
                o += "\\\"";
                break;
            case '\\':
                o += "\\\\";
                break;
            case '\n':
                o += "\\n";
                break;
            case '\r':
                o += "\\r";
                break;
            case '\t':
                o += "\\t";
                break;
            case '\b':
                o += "\\b";
                break;
            case '\f':
                o += "\\f";
                break;
            default:
                o += c;
        }
    }
    return o;
}

std::string unescaped(const std::string& s) {
    std::string o;
    for (size_t i = 0; i < s.size(); i++) {
        if (s[i] != '\\') {
            o += s[i];
            continue;
        }
        const char c = s[++i];
        o += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c == 'b' ? '\b' : c == 'f' ? '\f' : c;
    }
    return o;
}

class Builder {
public:
    explicit Builder(FuzzedDataProvider& in) : in_(in) {}
    std::string doc;
    std::vector<Expect> expects;

    // Emits one piece with json_emit and checks it against bounded emits.
    template <typename... A>
    void emit(const char* fmt, A... args) {
        const int full = json_emit(nullptr, 0, fmt, args...);
        CHECK(full >= 0);
        std::vector<char> big(size_t(full) + 1, '\x7f');
        CHECK(json_emit(big.data(), full + 1, fmt, args...) == full);
        CHECK(big[size_t(full)] == '\0');
        CHECK(std::strlen(big.data()) == size_t(full) || std::memchr(big.data(), 0, size_t(full)));
        const int cut = full ? int(in_.ConsumeIntegralInRange<unsigned>(0, unsigned(full))) : 0;
        char* small = static_cast<char*>(std::malloc(cut ? size_t(cut) : 1));
        CHECK(json_emit(small, cut, fmt, args...) == full);
        CHECK(std::memcmp(small, big.data(), size_t(cut)) == 0);
        std::free(small);
        doc.append(big.data(), size_t(full));
    }

    // Text for strings: plain bytes, the escaped characters and whole UTF-8
    // sequences, so that a round trip must give it back.
    std::string text(bool key) {
        std::string s;
        const size_t n = in_.ConsumeIntegralInRange<size_t>(key ? 1 : 0, 12);
        for (size_t i = 0; i < n; i++) {
            const uint8_t b = in_.ConsumeIntegral<uint8_t>();
            if (key) {
                static const char k[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_- :/";
                s += k[b % (sizeof k - 1)];
            } else if (b < 0x60) {
                s += char(0x20 + b);  // printable ASCII, quote and backslash included
            } else if (b < 0x70) {
                static const char esc[] = "\n\r\t\b\f";
                s += esc[b % 5];
            } else if (b < 0x80) {
                s += "\xC3\xA9";
            } else if (b < 0x90) {
                s += "\xE2\x82\xAC";
            } else if (b < 0x98) {
                s += "\xF0\x9F\x98\x80";
            } else {
                s += char('a' + b % 26);
            }
        }
        return s;
    }

    // A number emitted by its format letter; the token's text is what
    // printf makes of it.
    template <typename T>
    void number(Expect& e, const char* spec, const char* printed, T v) {
        emit(spec, v);
        char t[32];
        snprintf(t, sizeof t, printed, v);
        e.kind = JSON_TYPE_NUMBER, e.raw = t;
    }

    // One value at `path`; returns the number of tokens it takes.
    int value(const std::string& path, int depth) {
        const int pick = in_.ConsumeIntegralInRange(0, depth < 12 ? 11 : 9);
        Expect e{path, JSON_TYPE_NULL, "", "", 0};
        switch (pick) {
            case 0:
                number(e, "i", "%ld", in_.ConsumeIntegral<long>());
                break;
            case 1: {
                double v = in_.ConsumeFloatingPoint<double>();
                number(e, "f", "%g", std::isfinite(v) ? v : 0.5);
                break;
            }
            case 2: {
                const std::string s = text(false);
                emit("s", s.c_str());
                e.kind = JSON_TYPE_STRING, e.raw = escaped(s), e.plain = s;
                break;
            }
            case 3: {
                const std::string s = text(false) + "tail";  // v takes a length: the tail is not emitted
                const int n = int(s.size()) - 4;
                emit("v", s.c_str(), n);
                e.kind = JSON_TYPE_STRING, e.raw = escaped(s.substr(0, size_t(n))), e.plain = s.substr(0, size_t(n));
                break;
            }
            case 4: {
                const std::string num = std::to_string(in_.ConsumeIntegral<int>()) + ".25e-3";
                emit("S", num.c_str());
                e.kind = JSON_TYPE_NUMBER, e.raw = num;
                break;
            }
            case 5: {
                static const char* words[] = {"true!", "false!", "null!"};
                static const json_type kinds[] = {JSON_TYPE_TRUE, JSON_TYPE_FALSE, JSON_TYPE_NULL};
                const int w = in_.ConsumeIntegralInRange(0, 2);
                const int n = int(std::strlen(words[w])) - 1;
                emit("V", words[w], n);
                e.kind = kinds[w], e.raw = std::string(words[w], size_t(n));
                break;
            }
            case 6:
                emit("T");
                e.kind = JSON_TYPE_TRUE, e.raw = "true";
                break;
            case 7:
                emit("F");
                e.kind = JSON_TYPE_FALSE, e.raw = "false";
                break;
            case 8:
                emit("N");
                e.kind = JSON_TYPE_NULL, e.raw = "null";
                break;
            case 9: {  // a null text is emitted as null
                emit("s", static_cast<const char*>(nullptr));
                e.kind = JSON_TYPE_NULL, e.raw = "null";
                break;
            }
            case 10:
                return container(path, depth, true);
            default:
                return container(path, depth, false);
        }
        expects.push_back(e);
        return 1;
    }

    int container(const std::string& path, int depth, bool object) {
        const size_t at = expects.size();
        expects.push_back({path, object ? JSON_TYPE_OBJECT : JSON_TYPE_ARRAY, "", "", 0});
        emit(object ? "{" : "[");
        const int n = in_.ConsumeIntegralInRange(0, 5);
        int tokens = 0;
        std::vector<std::string> keys;
        for (int i = 0; i < n && in_.remaining_bytes() > 0; i++) {
            if (i) emit(in_.ConsumeBool() ? "," : " ,\n");
            std::string step;
            if (object) {
                std::string key = text(true);
                // unique within the object: the first of equal keys is the one found
                for (bool again = true; again;) {
                    again = false;
                    for (const std::string& k : keys)
                        if (k == key) key += "_", again = true;
                }
                keys.push_back(key);
                emit(in_.ConsumeBool() ? "s:" : "s :\t", key.c_str());
                tokens++;
                step = (path.empty() ? "" : ".") + key;
            } else {
                step = i == 0 && in_.ConsumeBool() ? "[]" : "[" + std::to_string(i) + "]";
            }
            tokens += value(path + step, depth + 1);
        }
        emit(object ? "}" : "]");
        expects[at].descendants = tokens;
        return tokens + 1;
    }

private:
    FuzzedDataProvider& in_;
};

void checkNumbers(FuzzedDataProvider& in) {
    const long l = in.ConsumeIntegral<long>();
    const double d = in.ConsumeFloatingPoint<double>();
    char want[64];
    const int nl = snprintf(want, sizeof want, "%ld", l);
    for (int size : {0, 1, nl / 2, nl, nl + 1, 40}) {
        char* b = static_cast<char*>(std::malloc(size ? size_t(size) : 1));
        CHECK(json_emit_long(b, size, l) == nl);
        CHECK(std::strncmp(b, want, size_t(size < nl ? size : nl)) == 0 || size == 0);
        std::free(b);
    }
    const int nd = snprintf(want, sizeof want, "%g", d);
    for (int size : {0, 1, nd / 2, nd, nd + 1, 40}) {
        char* b = static_cast<char*>(std::malloc(size ? size_t(size) : 1));
        CHECK(json_emit_double(b, size, d) == nd);
        CHECK(size == 0 || std::strncmp(b, want, size_t(size < nd ? size : nd)) == 0);
        std::free(b);
    }
    // any other letter stops the emitter
    char b[8];
    const char bad[] = {'{', char(in.ConsumeIntegralInRange<int>('G', 'H')), '\0'};
    CHECK(json_emit(b, sizeof b, bad) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    checkNumbers(in);
    Builder b(in);
    const int tokens = b.container("", 0, in.ConsumeBool());

    const int n = int(b.doc.size());
    char* text = static_cast<char*>(std::malloc(size_t(n)));
    std::memcpy(text, b.doc.data(), size_t(n));
    json_token* toks = parse_json2(text, n);
    CHECK(toks != nullptr);
    int count = 0;
    while (toks[count].kind != JSON_TYPE_EOF) count++;
    CHECK(count == tokens);
    CHECK(toks[count].start == text + n);

    for (const Expect& e : b.expects) {
        const json_token* t = e.path.empty() ? &toks[0] : find_json_token(toks, e.path.c_str());
        CHECK(t != nullptr);
        CHECK(t->kind == e.kind);
        CHECK(t->descendants == e.descendants);
        const std::string raw(t->start, size_t(t->length));
        if (e.kind != JSON_TYPE_OBJECT && e.kind != JSON_TYPE_ARRAY) {
            CHECK(raw == e.raw);
            if (e.kind == JSON_TYPE_STRING) CHECK(unescaped(raw) == e.plain);
        }
        if (e.path.empty()) continue;
        // the value text, as getJsonValue copies it, and its number
        std::vector<char> out(raw.size() + 1, '\x7f');
        CHECK(getJsonValue(e.path.c_str(), out.data(), toks) == 1);
        CHECK(std::string(out.data()) == raw);
        CHECK(getJsonValue(e.path.c_str(), toks) == int(std::strtol(raw.c_str(), nullptr, 10)));
        // one step further is never found below a scalar
        if (e.kind != JSON_TYPE_OBJECT && e.kind != JSON_TYPE_ARRAY) {
            CHECK(find_json_token(toks, (e.path + "[0]").c_str()) == nullptr);
            CHECK(find_json_token(toks, (e.path + ".x").c_str()) == nullptr);
        }
    }
    std::free(toks);
    std::free(text);
    return 0;
}
