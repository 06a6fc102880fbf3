// Fuzz target: path lookup over tokens of outside text, value copies and the
// emitter's bounds. The input is a JSON text; the path is what follows its
// last new line (the tokenizer stops after the first complete value).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "hacore/frozen.h"

#include "fuzz_util.h"

namespace {

int skip(const json_token* t, int i) { return i + 1 + t[i].descendants; }

// An emit into an exact-size heap buffer must return the full length and
// match the unbounded output as far as it goes.
void emitBounds(const char* text, int len, int size) {
    const int full = json_emit_quoted_str(nullptr, 0, text, len);
    std::vector<char> big(size_t(full) + 1);
    CHECK(json_emit_quoted_str(big.data(), full + 1, text, len) == full);
    CHECK(big[size_t(full)] == '\0');
    char* b = static_cast<char*>(std::malloc(size ? size_t(size) : 1));
    CHECK(json_emit_quoted_str(b, size, text, len) == full);
    CHECK(std::memcmp(b, big.data(), size_t(size < full ? size : full)) == 0);
    CHECK(json_emit_unquoted_str(b, size, text, len) == len);
    CHECK(json_emit(b, size, "[v,V,T]", text, len, text, len) == full + len + 8);
    std::free(b);
}

// Checks that the value at token i is found by `path`, then its members or
// elements by their paths; returns the index after the value.
int checkPaths(json_token* toks, int i, const std::string& path, bool nameable) {
    if (nameable && !path.empty()) CHECK(find_json_token(toks, path.c_str()) == &toks[i]);
    const json_token& v = toks[i];
    const int end = i + 1 + v.descendants;
    int j = i + 1;
    std::vector<std::string> keys;
    for (int k = 0; j < end; k++) {
        if (v.kind == JSON_TYPE_OBJECT) {
            const std::string key(toks[j].start, size_t(toks[j].length));
            bool ok = nameable && !key.empty() && key.find_first_of(".[", 0) == std::string::npos &&
                      key.find('\0') == std::string::npos;
            for (const std::string& seen : keys) ok = ok && seen != key;
            keys.push_back(key);
            j = checkPaths(toks, j + 1, path + (path.empty() ? "" : ".") + key, ok);
        } else {
            j = checkPaths(toks, j, path + "[" + std::to_string(k) + "]", nameable);
        }
    }
    return end;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > (1u << 20)) return 0;
    const char* s = reinterpret_cast<const char*>(data);
    const char* nl = static_cast<const char*>(memrchr(s, '\n', size));
    const std::string path = nl ? std::string(nl + 1, s + size) : std::string("[0]");
    json_token* toks = parse_json2(s, int(size));
    if (!toks) return 0;
    int count = 0;
    while (toks[count].kind != JSON_TYPE_EOF) count++;

    const json_token* found = find_json_token(toks, path.c_str());
    if (found) {
        CHECK(found > toks && found < toks + count);
        if (std::strlen(path.c_str()) == path.size()) {
            std::vector<char> out(size_t(found->length) + 1);
            CHECK(getJsonValue(path.c_str(), out.data(), toks) == 1);
            // the token's text, cut at a NUL as "%.*s" would
            const std::string text(found->start, strnlen(found->start, size_t(found->length)));
            CHECK(std::string(out.data()) == text);
            CHECK(getJsonValue(path.c_str(), toks) == int(std::strtol(text.c_str(), nullptr, 10)));
        }
        emitBounds(found->start, found->length, int(data[0]) % (found->length + 12));
    }

    // Every value is found by its full path, at any depth, where the path
    // can name it (keys without "." or "[", the first of equal keys).
    checkPaths(toks, 0, "", true);

    // Every member with a plain key is found by its key (the first of equal
    // keys); every element by its index.
    const json_token& root = toks[0];
    for (int i = 1, k = 0; i < count && i < 1 + root.descendants; k++) {
        std::string step;
        const json_token* want;
        if (root.kind == JSON_TYPE_OBJECT) {
            const std::string key(toks[i].start, size_t(toks[i].length));
            want = &toks[i + 1];
            for (int j = 1; j < i; j = skip(toks, j + 1))
                if (std::string(toks[j].start, size_t(toks[j].length)) == key) want = nullptr;
            i = skip(toks, i + 1);
            if (!want || key.empty() || key.find_first_of(".[", 0) != std::string::npos ||
                key.find('\0') != std::string::npos)
                continue;
            step = key;
        } else {
            want = &toks[i];
            i = skip(toks, i);
            step = "[" + std::to_string(k) + "]";
        }
        CHECK(find_json_token(toks, step.c_str()) == want);
    }
    std::free(toks);
    return 0;
}
