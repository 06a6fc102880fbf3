// JSON tokenizer, path lookup and emitter. Texts are parsed from heap copies
// of exactly their length, so a read past the end shows under AddressSanitizer.
#include <gtest/gtest.h>
#include <malloc.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "hacore/frozen.h"
#include "testkit.h"

namespace {

// Exact-size, unterminated copy of a text.
struct Text {
    explicit Text(const std::string& s)
        : len(int(s.size())), p(static_cast<char*>(std::malloc(s.size() ? s.size() : 1))) {
        std::memcpy(p, s.data(), s.size());
    }
    ~Text() { std::free(p); }
    int len;
    char* p;
};

int parse(const std::string& s, json_token* toks = nullptr, int cap = 0) {
    Text t(s);
    return parse_json(t.p, t.len, toks, cap);
}

std::string str(const json_token& t) { return std::string(t.start, size_t(t.length)); }

struct Freer {
    void operator()(json_token* t) const { std::free(t); }
};
using Tokens = std::unique_ptr<json_token, Freer>;

const char kDevices[] =
    "{\"devices\": [\n"
    "  {\"id\": 3, \"name\": \"Hall light\", \"values\": [{\"index\": 1, \"value\": \"on\"}, {\"index\": 2, \"value\": "
    "40}]},\n"
    "  {\"id\": 7, \"name\": \"Door \\\"front\\\"\", \"battery\": -12.5e-1, \"online\": true, \"room\": null},\n"
    "  {id: 9, name: \"Sensor\", tags: [\"a\", \"b\",], flags: {x_1: false,},}\n"
    "], \"count\": 3}";

TEST(JsonTokenize, BareKeyObjectGivesThreeTokensAndEndMarker) {
    Text t("{a:1} tail");
    json_token toks[4];
    ASSERT_EQ(5, parse_json(t.p, t.len, toks, 4));
    EXPECT_EQ(JSON_TYPE_OBJECT, toks[0].kind);
    EXPECT_EQ(2, toks[0].descendants);
    EXPECT_EQ(5, toks[0].length);
    EXPECT_EQ(t.p, toks[0].start);
    EXPECT_EQ(JSON_TYPE_STRING, toks[1].kind);
    EXPECT_EQ("a", str(toks[1]));
    EXPECT_EQ(JSON_TYPE_NUMBER, toks[2].kind);
    EXPECT_EQ("1", str(toks[2]));
    EXPECT_EQ(JSON_TYPE_EOF, toks[3].kind);
    EXPECT_EQ(t.p + 5, toks[3].start);
}

TEST(JsonTokenize, DocumentOrderLengthsAndDescendants) {
    Text t(kDevices);
    Tokens toks(parse_json2(t.p, t.len));
    ASSERT_TRUE(toks);
    json_token* v = toks.get();
    EXPECT_EQ(t.len, v[0].length);
    int n = 0;
    while (v[n].kind != JSON_TYPE_EOF) n++;
    EXPECT_EQ(n - 1, v[0].descendants);
    EXPECT_EQ(t.p + t.len, v[n].start);
    // "devices" array: its length covers "[" .. "]"; descendants are exact
    json_token* devs = find_json_token(v, "devices");
    ASSERT_TRUE(devs);
    EXPECT_EQ('[', devs->start[0]);
    EXPECT_EQ(']', devs->start[devs->length - 1]);
    EXPECT_EQ("count", str(devs[devs->descendants + 1]));
    json_token* door = find_json_token(v, "devices[1].name");
    ASSERT_TRUE(door);
    EXPECT_EQ("Door \\\"front\\\"", str(*door));  // raw, escapes kept
    EXPECT_EQ(JSON_TYPE_NUMBER, find_json_token(v, "devices[1].battery")->kind);
    EXPECT_EQ("-12.5e-1", str(*find_json_token(v, "devices[1].battery")));
    EXPECT_EQ(JSON_TYPE_TRUE, find_json_token(v, "devices[1].online")->kind);
    EXPECT_EQ(JSON_TYPE_NULL, find_json_token(v, "devices[1].room")->kind);
    EXPECT_EQ(JSON_TYPE_FALSE, find_json_token(v, "devices[2].flags.x_1")->kind);
    EXPECT_EQ("b", str(*find_json_token(v, "devices[2].tags[1]")));
    EXPECT_EQ("40", str(*find_json_token(v, "devices[0].values[1].value")));
    // the same count of characters and tokens with a fixed array and with none
    std::vector<json_token> fixed(size_t(n) + 1);
    EXPECT_EQ(t.len, parse_json(t.p, t.len, fixed.data(), n + 1));
    for (int i = 0; i <= n; i++) {
        EXPECT_EQ(v[i].start, fixed[size_t(i)].start);
        EXPECT_EQ(v[i].length, fixed[size_t(i)].length);
        EXPECT_EQ(v[i].descendants, fixed[size_t(i)].descendants);
        EXPECT_EQ(v[i].kind, fixed[size_t(i)].kind);
    }
    EXPECT_EQ(t.len, parse_json(t.p, t.len, nullptr, 0));
}

TEST(JsonTokenize, SeparatorsAndTrailingCommas) {
    EXPECT_EQ(6, parse("[1,2,]"));
    EXPECT_EQ(8, parse("{\"a\":1,}"));
    EXPECT_EQ(11, parse(" [ 1 ,\t2\r\n] "));
    EXPECT_EQ(2, parse("[]"));
    EXPECT_EQ(2, parse("{}"));
    const char* invalid[] = {"[1,,2]",  "[1,,]", "[,]",    "{,}", "[1 2]",     "{\"a\" 1}", "{\"a\":1 \"b\":2}",
                             "{\"a\"}", "{1:2}", "{_a:1}", "[1}", "{\"a\":1]", "[:]",       "{a:}"};
    for (const char* s : invalid) EXPECT_EQ(JSON_STRING_INVALID, parse(s)) << s;
}

TEST(JsonTokenize, TopLevelMustBeContainer) {
    EXPECT_EQ(JSON_STRING_INVALID, parse("12"));
    EXPECT_EQ(JSON_STRING_INVALID, parse("\"x\""));
    EXPECT_EQ(JSON_STRING_INVALID, parse("true"));
    EXPECT_EQ(JSON_STRING_INCOMPLETE, parse(""));
    EXPECT_EQ(JSON_STRING_INCOMPLETE, parse(" \n\t"));
    EXPECT_EQ(JSON_STRING_INVALID, parse_json(nullptr, 4, nullptr, 0));
    EXPECT_EQ(JSON_STRING_INVALID, parse_json("[]", -1, nullptr, 0));
    EXPECT_EQ(JSON_STRING_INCOMPLETE, parse("[\"ab"));  // cut inside a string
}

TEST(JsonTokenize, Strings) {
    json_token toks[3];
    EXPECT_EQ(20, parse("[\"\\\"\\/\\\\\\b\\f\\n\\r\\t\"]", toks, 3));
    EXPECT_EQ(16, toks[1].length);
    EXPECT_EQ(10, parse("[\"\\u00aF\"]", toks, 3));
    EXPECT_EQ(JSON_STRING_INVALID, parse("[\"\\x\"]"));
    EXPECT_EQ(JSON_STRING_INVALID, parse("[\"\\U0041\"]"));
    EXPECT_EQ(JSON_STRING_INVALID, parse("[\"\\u12G4\"]"));
    EXPECT_EQ(JSON_STRING_INVALID, parse("[\"a\tb\"]"));  // raw control character
    EXPECT_EQ(JSON_STRING_INVALID, parse(std::string("[\"a\0b\"]", 7)));
    EXPECT_EQ(JSON_STRING_INCOMPLETE, parse("[\"\\"));
    EXPECT_EQ(JSON_STRING_INCOMPLETE, parse("[\"\\u12"));
    // lead bytes: 0x80..0xDF take one more byte, 0xE0..0xEF two, 0xF0..0xFF three, unchecked
    EXPECT_EQ(7, parse("[\"\xE2\x82\xAC\"]", toks, 3));
    EXPECT_EQ(3, toks[1].length);
    EXPECT_EQ(6, parse("[\"\x80\\\"]", toks, 3));  // the backslash is taken as a follower
    EXPECT_EQ(2, toks[1].length);
    EXPECT_EQ(JSON_STRING_INCOMPLETE, parse("[\"\xC3\"]"));  // the quote is a follower
    EXPECT_EQ(JSON_STRING_INCOMPLETE, parse("[\"\xF0\x9F\x98"));
    EXPECT_EQ(8, parse(std::string("[\"\xFF\0\0\n\"]", 8)));
}

TEST(JsonTokenize, NumbersAndWords) {
    json_token toks[8];
    Text t("[-0,007,1.5e+10,2E-3,true,false]");
    ASSERT_EQ(32, parse_json(t.p, t.len, toks, 8));
    EXPECT_EQ("-0", str(toks[1]));
    EXPECT_EQ("007", str(toks[2]));
    EXPECT_EQ("1.5e+10", str(toks[3]));
    EXPECT_EQ("2E-3", str(toks[4]));
    EXPECT_EQ(JSON_TYPE_TRUE, toks[5].kind);
    EXPECT_EQ(5, toks[6].length);
    const char* invalid[] = {"[1.]",  "[-]",    "[1e]",  "[.5]",  "[+1]",    "[1.e2]",
                             "[0x1]", "[True]", "[nul]", "[nulx", "[truex]", "[-a]"};
    for (const char* s : invalid) EXPECT_EQ(JSON_STRING_INVALID, parse(s)) << s;
    const char* incomplete[] = {"[1", "[1.", "[-", "[1e", "[1e+", "[nul", "[f", "[true"};
    for (const char* s : incomplete) EXPECT_EQ(JSON_STRING_INCOMPLETE, parse(s)) << s;
}

TEST(JsonTokenize, EveryCutOfADocumentIsIncomplete) {
    const std::string doc = kDevices;
    for (size_t n = 0; n < doc.size(); n++) {
        Text t(doc.substr(0, n));
        json_token toks[64];
        ASSERT_EQ(JSON_STRING_INCOMPLETE, parse_json(t.p, t.len, nullptr, 0)) << n;
        ASSERT_EQ(JSON_STRING_INCOMPLETE, parse_json(t.p, t.len, toks, 64)) << n;
        ASSERT_EQ(nullptr, parse_json2(t.p, t.len)) << n;
    }
}

TEST(JsonTokenize, DeepNestingIsRefusedCleanly) {
    const std::string million(1000000, '[');
    Text t(million);
    std::vector<json_token> toks(2000);
    EXPECT_EQ(JSON_STRING_INVALID, parse_json(t.p, t.len, nullptr, 0));
    EXPECT_EQ(JSON_STRING_INVALID, parse_json(t.p, t.len, toks.data(), int(toks.size())));
    EXPECT_EQ(nullptr, parse_json2(t.p, t.len));
    std::string objs;
    for (int i = 0; i < 100000; i++) objs += "{\"a\":";
    EXPECT_EQ(JSON_STRING_INVALID, parse(objs));

    // the limit itself still parses, with exact descendants
    const std::string deepest = std::string(JSON_MAX_DEPTH, '[') + std::string(JSON_MAX_DEPTH, ']');
    Text d(deepest);
    Tokens v(parse_json2(d.p, d.len));
    ASSERT_TRUE(v);
    EXPECT_EQ(JSON_MAX_DEPTH - 1, v.get()[0].descendants);
    EXPECT_EQ(0, v.get()[JSON_MAX_DEPTH - 1].descendants);
    EXPECT_EQ(2, v.get()[JSON_MAX_DEPTH - 1].length);
    EXPECT_EQ(int(deepest.size()), parse(deepest));
    EXPECT_EQ(JSON_STRING_INVALID, parse("[" + deepest + "]"));
}

TEST(JsonTokenize, FixedCapacity) {
    json_token toks[4];
    EXPECT_EQ(JSON_TOKEN_ARRAY_TOO_SMALL, parse("{\"a\":1}", toks, 2));
    EXPECT_EQ(JSON_TOKEN_ARRAY_TOO_SMALL, parse("{\"a\":1}", toks, 3));  // no room for the end marker
    EXPECT_EQ(7, parse("{\"a\":1}", toks, 4));
    EXPECT_EQ(JSON_TOKEN_ARRAY_TOO_SMALL, parse("[]", toks, 0));
    EXPECT_EQ(7, parse("{\"a\":1}", nullptr, 2));  // no array: only checked
}

TEST(JsonTokenize, GrownArrayDoublesFrom100) {
    // n values in an array take n + 2 tokens with the end marker
    struct Case {
        int values;
        size_t capacity;
    } cases[] = {{98, 100}, {99, 200}, {198, 200}, {199, 400}, {1000, 1600}};
    for (const Case& c : cases) {
        std::string doc = "[";
        for (int i = 0; i < c.values; i++) doc += std::to_string(i) + ",";
        doc += "]";
        Text t(doc);
        Tokens v(parse_json2(t.p, t.len));
        ASSERT_TRUE(v);
        const size_t usable = malloc_usable_size(v.get());
        EXPECT_GE(usable, c.capacity * sizeof(json_token)) << c.values;
        EXPECT_LT(usable, c.capacity * sizeof(json_token) + 64) << c.values;
        EXPECT_EQ(c.values, v.get()[0].descendants);
        EXPECT_EQ(std::to_string(c.values - 1), str(v.get()[c.values]));
        EXPECT_EQ(JSON_TYPE_EOF, v.get()[c.values + 1].kind);
    }
}

TEST(JsonPath, Lookup) {
    Text t("{\"list\":[{\"k\":[1,[2,3]]},\"two\",[]],\"name\":\"n\",\"name2\":1,\"name\":\"dup\",\"o\":{}}");
    Tokens v(parse_json2(t.p, t.len));
    ASSERT_TRUE(v);
    json_token* r = v.get();
    EXPECT_EQ("two", str(*find_json_token(r, "list[1]")));  // skips the nested first element
    EXPECT_EQ("3", str(*find_json_token(r, "list[0].k[1][1]")));
    EXPECT_EQ("3", str(*find_json_token(r, "list[0].k.[1].[1]")));
    EXPECT_EQ('{', find_json_token(r, "list[]")->start[0]);
    EXPECT_EQ("n", str(*find_json_token(r, "name")));  // first of two members wins
    EXPECT_EQ(JSON_TYPE_OBJECT, find_json_token(r, "o")->kind);
    const char* missing[] = {"",         "nam", "name.x", "list[3]", "list[2][0]", "list[99999999999999999999]",
                             "[]",       "[0]", "list.k", "o.a",     "list[1",     "list[a]",
                             "list[0]k", "o[]"};
    for (const char* p : missing) EXPECT_EQ(nullptr, find_json_token(r, p)) << p;
    EXPECT_EQ(nullptr, find_json_token(r, nullptr));
    EXPECT_EQ(nullptr, find_json_token(nullptr, "name"));

    Text a("[[5],6]");
    Tokens w(parse_json2(a.p, a.len));
    EXPECT_EQ("[5]", str(*find_json_token(w.get(), "[]")));
    EXPECT_EQ("6", str(*find_json_token(w.get(), "[1]")));
    EXPECT_EQ("5", str(*find_json_token(w.get(), "[0][]")));
}

TEST(JsonValue, ConvertsOrCopiesAndReportsMissing) {
    Text t(
        "{\"conditions\":{\"temp_c\":21.7,\"city\":\"Oslo\",\"local_epoch\":\"1700000000\",\"big\":\"99999999999\"}}");
    Tokens v(parse_json2(t.p, t.len));
    ASSERT_TRUE(v);
    EXPECT_EQ(21, getJsonValue("conditions.temp_c", v.get()));
    EXPECT_EQ(1700000000, getJsonValue("conditions.local_epoch", v.get()));
    EXPECT_EQ(int(std::strtol("99999999999", nullptr, 10)), getJsonValue("conditions.big", v.get()));
    char out[128];
    EXPECT_EQ(1, getJsonValue("conditions.city", out, v.get()));
    EXPECT_STREQ("Oslo", out);
    EXPECT_EQ(1, getJsonValue("conditions", out, v.get()));
    EXPECT_EQ(std::string(t.p + 14, size_t(t.len - 15)), out);

    std::string said = testkit::captureStdout([&] { EXPECT_EQ(0, getJsonValue("conditions.rain", v.get())); });
    EXPECT_EQ("\nERROR:NO Data conditions.rain field found\n\n", said);
    said = testkit::captureStdout([&] { EXPECT_EQ(0, getJsonValue("x", out, v.get())); });
    EXPECT_EQ("\nERROR:NO Data x field found\n\n", said);
}

TEST(JsonValue, LongValueIsCut) {
    const std::string doc = "[\"" + std::string(600000, 'q') + "\"]";
    Text t(doc);
    Tokens v(parse_json2(t.p, t.len));
    ASSERT_TRUE(v);
    std::vector<char> out(600010, 'z');
    EXPECT_EQ(1, getJsonValue("[0]", out.data(), v.get()));
    EXPECT_EQ(511999u, std::strlen(out.data()));
}

// Output into a buffer with guard bytes after `size`.
struct Out {
    char b[64];
    Out() { std::memset(b, '#', sizeof b); }
    std::string upTo(int n) const { return std::string(b, size_t(n)); }
};

TEST(JsonEmit, FormatAndBounds) {
    Out o;
    EXPECT_EQ(7, json_emit(o.b, 64, "{s:i}", "x", 5L));
    EXPECT_STREQ("{\"x\":5}", o.b);

    Out small;
    EXPECT_EQ(7, json_emit(small.b, 3, "{s:i}", "x", 5L));
    EXPECT_EQ("{\"x###", small.upTo(6));

    Out all;
    const int n = json_emit(all.b, 64, "[ T,F,N,f,v,V,S ]", 0.25, "a\"b", 2, "xyz", 2, "raw");
    EXPECT_STREQ("[ true,false,null,0.25,\"a\\\"\",xy,raw ]", all.b);
    EXPECT_EQ(int(std::strlen(all.b)), n);

    char none = '#';
    EXPECT_EQ(7, json_emit(nullptr, 0, "{s:i}", "x", 5L));
    EXPECT_EQ(7, json_emit(&none, 0, "{s:i}", "x", 5L));
    EXPECT_EQ('#', none);

    Out stop;
    EXPECT_EQ(0, json_emit(stop.b, 64, "[i?]", 1L));
    EXPECT_EQ(2, json_emit(stop.b, 64, "[V]", "abc", -5));  // negative length: nothing
    EXPECT_STREQ("[]", stop.b);

    // A missing text is JSON's null; a missing raw text is left out.
    Out nulls;
    EXPECT_EQ(12,
              json_emit(nulls.b, 64, "[s,v,S]", (const char*)nullptr, (const char*)nullptr, 3, (const char*)nullptr));
    EXPECT_STREQ("[null,null,]", nulls.b);
}

TEST(JsonEmit, QuotedStringEscapesAndParsesBack) {
    const char text[] = "q\"b\\n\nr\rt\tb\bf\f\x01/";
    Out o;
    const int n = json_emit_quoted_str(o.b, 64, text, int(sizeof text - 1));
    EXPECT_STREQ("\"q\\\"b\\\\n\\nr\\rt\\tb\\bf\\f\x01/\"", o.b);
    EXPECT_EQ(int(std::strlen(o.b)), n);
    // every cut of the buffer: the length stays, nothing beyond the size is touched
    for (int size = 0; size <= n + 1; size++) {
        Out c;
        EXPECT_EQ(n, json_emit_quoted_str(c.b, size, text, int(sizeof text - 1)));
        EXPECT_EQ(o.upTo(size < n + 1 ? size : n + 1), c.upTo(size < n + 1 ? size : n + 1));
        EXPECT_EQ('#', c.b[size]);
    }
    // escapes except the control character are valid JSON
    const std::string doc = "[" + std::string(o.b, size_t(n)) + "]";
    EXPECT_EQ(JSON_STRING_INVALID, parse(doc));
    const char clean[] = "q\"b\\n\nr\rt\tb\bf\f/";
    const int m = json_emit_quoted_str(o.b, 64, clean, int(sizeof clean - 1));
    EXPECT_EQ(m + 2, parse("[" + std::string(o.b, size_t(m)) + "]"));
}

TEST(JsonEmit, Pieces) {
    Out o;
    EXPECT_EQ(2, json_emit_long(o.b, 8, 42));
    EXPECT_EQ(std::string("42\0\0\0\0\0\0#", 9), o.upTo(9));  // rest of the size zero-filled
    char want[32];
    const int wn = std::snprintf(want, sizeof want, "%ld", LONG_MIN);
    Out lmin;
    EXPECT_EQ(wn, json_emit_long(lmin.b, 64, LONG_MIN));
    EXPECT_STREQ(want, lmin.b);  // every digit, even of a 64-bit long
    Out d;
    EXPECT_EQ(9, json_emit_double(d.b, 4, -1.5e+300));
    EXPECT_EQ("-1.5#", d.upTo(5));

    Out u;
    EXPECT_EQ(3, json_emit_unquoted_str(u.b, 4, "abc", 3));
    EXPECT_EQ(std::string("abc\0#", 5), u.upTo(5));
    Out u2;
    EXPECT_EQ(3, json_emit_unquoted_str(u2.b, 3, "abc", 3));
    EXPECT_EQ("abc#", u2.upTo(4));
    Out u3;
    EXPECT_EQ(3, json_emit_unquoted_str(u3.b, 2, "abc", 3));
    EXPECT_EQ("ab#", u3.upTo(3));
    Out u4;
    EXPECT_EQ(3, json_emit_unquoted_str(u4.b, 0, "abc", 3));
    EXPECT_EQ(0, json_emit_unquoted_str(u4.b, 8, "abc", 0));
    EXPECT_EQ("#", u4.upTo(1));
}

}  // namespace
