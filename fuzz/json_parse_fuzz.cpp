// Fuzz target: the JSON tokenizer on outside text. Checks that the three
// ways of tokenizing agree, that every token lies inside the text, that
// descendant counts add up, and that no cut of a valid text passes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "hacore/frozen.h"

#include "fuzz_util.h"

namespace {

bool container(const json_token& t) { return t.kind == JSON_TYPE_OBJECT || t.kind == JSON_TYPE_ARRAY; }

// Checks the tokens of one value starting at i; returns the index after it.
int walk(const json_token* t, int i, int count, const char* s, int n) {
    CHECK(i < count);
    const json_token& v = t[i];
    CHECK(v.kind >= JSON_TYPE_STRING && v.kind <= JSON_TYPE_ARRAY);
    CHECK(v.start >= s && v.length >= 0 && v.start + v.length <= s + n);
    if (!container(v)) {
        CHECK(v.descendants == 0);
        if (v.kind == JSON_TYPE_STRING)
            CHECK(v.start > s && (v.start[-1] == '"' || v.length > 0));
        else
            CHECK(v.length > 0);
        return i + 1;
    }
    CHECK(v.length >= 2 && v.start[v.length - 1] == (v.kind == JSON_TYPE_OBJECT ? '}' : ']'));
    const int end = i + 1 + v.descendants;
    CHECK(end <= count);
    int j = i + 1, members = 0;
    while (j < end) {
        if (v.kind == JSON_TYPE_OBJECT && members % 2 == 0) CHECK(t[j].kind == JSON_TYPE_STRING);
        CHECK(t[j].start > v.start && t[j].start + t[j].length <= v.start + v.length);
        j = walk(t, j, count, s, n);
        members++;
    }
    CHECK(j == end);
    if (v.kind == JSON_TYPE_OBJECT) CHECK(members % 2 == 0);
    return end;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const char* s = reinterpret_cast<const char*>(data);
    const int n = int(size);

    const int checked = parse_json(s, n, nullptr, 0);
    // every value starts at its own character: n tokens and the end marker suffice
    std::vector<json_token> toks(size + 1);
    const int fixed = parse_json(s, n, toks.data(), n + 1);
    CHECK(checked == fixed);
    json_token* grown = parse_json2(s, n);
    CHECK((grown != nullptr) == (fixed >= 0));
    if (fixed < 0) {
        CHECK(fixed >= JSON_TOKEN_ARRAY_TOO_SMALL);
        CHECK(fixed != JSON_TOKEN_ARRAY_TOO_SMALL);
        return 0;
    }
    CHECK(fixed <= n);
    int count = 0;
    while (toks[count].kind != JSON_TYPE_EOF) count++;
    for (int i = 0; i <= count; i++)
        CHECK(grown[i].start == toks[i].start && grown[i].length == toks[i].length &&
              grown[i].descendants == toks[i].descendants && grown[i].kind == toks[i].kind);
    std::free(grown);
    CHECK(toks[count].start == s + fixed);
    CHECK(walk(toks.data(), 0, count, s, n) == count);
    CHECK(toks[0].length + (toks[0].start - s) == fixed);

    // one token short is too small, exactly enough works
    std::vector<json_token> exact(size_t(count) + 1);
    CHECK(parse_json(s, n, exact.data(), count) == JSON_TOKEN_ARRAY_TOO_SMALL);
    CHECK(parse_json(s, n, exact.data(), count + 1) == fixed);

    // cuts of the consumed text are incomplete (exact-size copies)
    const int cuts[] = {fixed - 1, fixed / 2, int(data[0]) % fixed};
    for (int cut : cuts) {
        char* p = static_cast<char*>(std::malloc(size_t(cut) + 1));
        std::memcpy(p, s, size_t(cut));
        CHECK(parse_json(p, cut, nullptr, 0) == JSON_STRING_INCOMPLETE);
        std::free(p);
    }
    return 0;
}
