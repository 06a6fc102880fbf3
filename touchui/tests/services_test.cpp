// Settings, persistence, language files, formatting and UTF-8 of the touch
// toolkit, through the nvram stand-in and real files.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <string>
#include <thread>

#include "testkit.h"
#include "touchui/Languages.h"
#include "touchui/Memory.h"
#include "touchui/Persistence.h"
#include "touchui/TextFormat.h"

namespace {

std::wstring w(const wchar_t* s) { return s ? std::wstring(s) : std::wstring(L"(null)"); }

TEST(Memory, SectionsAndFreeFunctionMapping) {
    Memory m;
    m.saveSetting((char*)"HostName", (char*)"Kitchen hub");
    char out[1024];
    m.getSetting((char*)"HostName", out);
    EXPECT_STREQ(out, "Kitchen hub");
    EXPECT_EQ(testkit::run("nvram_get 2860 HostName"), "Kitchen hub\n");
    m.saveSettingRtdev((char*)"SSID1", (char*)"Five");
    m.getSettingRtdev((char*)"SSID1", out);
    EXPECT_STREQ(out, "Five");
    // 0 and 1 both reach the second section; 2 stays.
    for (int s : {0, 1, 2}) {
        char* v = nvram_get(s, (char*)"SSID1");
        ASSERT_NE(v, nullptr);
        EXPECT_STREQ(v, "Five") << s;
        free(v);
    }
    nvram_set(0, (char*)"ScreenTimeout", (char*)"7");
    m.getSettingRtdev((char*)"ScreenTimeout", out);
    EXPECT_STREQ(out, "7");
    char* missing = nvram_getRtdev(1, (char*)"NoSuchSetting");
    EXPECT_STREQ(missing, "");
    free(missing);
    auto log = testkit::logLines("nvram");
    ASSERT_FALSE(log.empty());
}

TEST(Memory, OverlongValueIsRefused) {
    std::string big(1100, 'a');
    nvram_set(2, (char*)"Big", (char*)big.c_str());
    char* v = nvram_get(2, (char*)"Big");
    EXPECT_STREQ(v, "");
    free(v);
}

TEST(Persistence, KeepsFilesAndRefusesUnsafeNames) {
    testkit::writeFile("/tmp/notes.txt", "hello");
    Persistence p((char*)"app", (char*)"halvix");
    EXPECT_STREQ(p.dir, "/apps/halvix-app");
    p.persist((char*)"/tmp/notes.txt", (char*)"notes.txt");
    EXPECT_EQ(testkit::readFile("/data/apps/halvix-app/notes.txt"), "hello");
    p.copyFile((char*)"notes.txt", (char*)"/tmp/back.txt");
    EXPECT_EQ(testkit::readFile("/tmp/back.txt"), "hello");
    std::string err = testkit::captureStderr([&] { p.persist((char*)"/tmp/notes.txt", (char*)"x;touch /tmp/owned"); });
    EXPECT_NE(err.find("refusing"), std::string::npos);
    EXPECT_FALSE(testkit::fileExists("/tmp/owned"));
    p.depersist((char*)"notes.txt");
    EXPECT_FALSE(testkit::fileExists("/data/apps/halvix-app/notes.txt"));
}

// A ".." component would reach files outside /data; ".." inside a name is
// only a name.
TEST(Persistence, RefusesNamesLeavingTheDirectory) {
    testkit::writeFile("/tmp/notes.txt", "hello");
    testkit::writeFile("/tmp/x", "outside");
    Persistence p((char*)"app", (char*)"halvix");
    for (const char* name : {"../../../tmp/x", "a/../../../../tmp/x", ".."}) {
        std::string err = testkit::captureStderr([&] { p.depersist((char*)name); });
        EXPECT_NE(err.find("Persistence::depersist: refusing unsafe path"), std::string::npos) << name;
        EXPECT_EQ(testkit::readFile("/tmp/x"), "outside") << name;
    }
    std::string err = testkit::captureStderr([&] { p.persist((char*)"/tmp/notes.txt", (char*)"../../../tmp/y"); });
    EXPECT_NE(err.find("Persistence::persist: refusing unsafe path"), std::string::npos);
    EXPECT_FALSE(testkit::fileExists("/tmp/y"));
    err = testkit::captureStderr([&] { p.copyFile((char*)"../../../tmp/x", (char*)"/tmp/z"); });
    EXPECT_NE(err.find("Persistence::copyFile: refusing unsafe path"), std::string::npos);
    EXPECT_FALSE(testkit::fileExists("/tmp/z"));
    err = testkit::captureStderr([&] { Persistence up((char*)"../../../tmp", (char*)"x"); });
    EXPECT_NE(err.find("refusing unsafe directory"), std::string::npos);
    err = testkit::captureStderr([&] { p.persist((char*)"/tmp/notes.txt", (char*)"v..2"); });
    EXPECT_EQ(err, "");
    EXPECT_EQ(testkit::readFile("/data/apps/halvix-app/v..2"), "hello");
    p.depersist((char*)"v..2");
    EXPECT_FALSE(testkit::fileExists("/data/apps/halvix-app/v..2"));
}

const char* kLang =
    "<texts>\n<modal>\n<one>First</one>\n<multi>line a\nline b\nend</multi>\n<empty></empty>\n</modal>\n"
    "<other>\n<one>Other</one>\n</other>\n</texts>\n";

TEST(Languages, LookupsInSectionsAndMultiLineEntries) {
    testkit::writeFile("/tmp/t.xml", kLang);
    struct Case {
        const char* key;
        const char* section;
        const wchar_t* want;
    } cases[] = {
        {"one", "modal", L"First"},       {"one", "other", L"Other"},     {"multi", "modal", L"line a\nline b\nend"},
        {"missing", "modal", L"<NOTAF>"}, {"empty", "modal", L"<NOTAF>"}, {"one", "nosection", L"<NOTAF>"}};
    for (const Case& c : cases) {
        EXPECT_EQ(w(getLangvalue((char*)"/tmp/t.xml", (char*)c.key, (char*)c.section)), c.want) << c.key;
        Languages l;
        EXPECT_EQ(w(l.getvalue((char*)"/tmp/t.xml", (char*)c.key, (char*)c.section)), c.want) << c.key;
    }
    std::string out = testkit::captureStdout(
        [] { EXPECT_EQ(getLangvalue((char*)"/tmp/none.xml", (char*)"a", (char*)"b"), nullptr); });
    EXPECT_NE(out.find("/tmp/none.xml: file cannot be opened"), std::string::npos);
}

TEST(Languages, TheRoutersFilesInTwoLanguages) {
    nvram_set(2, (char*)"x", (char*)"y");
    Memory m;
    m.saveSetting((char*)"Language", (char*)"en");
    Languages en;
    EXPECT_STREQ(en.path, "/halvix/en.xml");
    EXPECT_EQ(w(en.get((char*)"savingl1", (char*)"modal")), L"Saving...");
    m.saveSetting((char*)"Language", (char*)"de");
    Languages de;
    EXPECT_EQ(w(de.get((char*)"devices", (char*)"home")), L"Ger\u00e4te");
    m.saveSetting((char*)"Language", (char*)"../etc/x");
    Languages bad;
    EXPECT_STREQ(bad.path, "/halvix/.xml");
    m.saveSetting((char*)"Language", (char*)"en");
}

TEST(Languages, OverlongAndUnterminatedEntriesAreCut) {
    std::string big = "<s>\n<k>" + std::string(3000, 'x') + "</k>\n</s>\n";
    testkit::writeFile("/tmp/big.xml", big);
    wchar_t* r = getLangvalue((char*)"/tmp/big.xml", (char*)"k", (char*)"s");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(wcslen(r), 255u);
    testkit::writeFile("/tmp/open.xml", "<s>\n<k>never closed\nmore");
    r = getLangvalue((char*)"/tmp/open.xml", (char*)"k", (char*)"s");
    EXPECT_EQ(w(r), L"never closed\nmore");
    // Malformed UTF-8 is skipped.
    testkit::writeFile("/tmp/bad.xml",
                       "<s>\n<k>A\xC0"
                       "B\xE2\x82</k>\n</s>\n");
    EXPECT_EQ(w(getLangvalue((char*)"/tmp/bad.xml", (char*)"k", (char*)"s")), L"AB");
}

TEST(Format, ConversionsAndSegments) {
    wchar_t out[256];
    aswprintf(out, 255, (wchar_t*)L"Temp %d%%", 21);
    EXPECT_EQ(w(out), L"Temp 21%");
    aswprintf(out, 255, (wchar_t*)L"[%5d]", 3);
    EXPECT_EQ(w(out), L"[]");
    aswprintf(out, 255, (wchar_t*)L"%s/%ls/%c/%lc/%u/%x/%X/%f/%ld/%q", "ab", L"\u00fc", 'z', (wchar_t)0x263A,
              4000000000u, 255u, 48879u, 2.5, -7L);
    EXPECT_EQ(w(out), L"ab/\u00fc/z/\u263A/4000000000/ff/beef/2.50/-7/");
    aswprintf(out, 5, (wchar_t*)L"%ls", L"0123456789");
    EXPECT_EQ(w(out), L"01234");
    // A format past the segment limits is cut, never past the buffer.
    std::wstring longFmt(70000, L'a');
    aswprintf(out, 255, (wchar_t*)longFmt.c_str());
    EXPECT_EQ(wcslen(out), 255u);
    char b[64];
    EXPECT_STREQ(itoa(-12, b), "-12");
    EXPECT_STREQ(uitoa(4294967295u, b), "4294967295");
    EXPECT_STREQ(dtoa(3.14159, b), "3.14");
    EXPECT_STREQ(utoxa(3054, b), "bee");
}

// The process stays in the C locale, where mbstowcs knows no UTF-8.
TEST(Format, NarrowTextIsUtf8) {
    wchar_t out[64];
    aswprintf(out, 63, (wchar_t*)L"%s|%hs|%c",
              "K\xC3\xBC"
              "che",
              "\xE2\x82\xAC 5", 'A');
    EXPECT_EQ(w(out), L"K\u00fcche|\u20ac 5|A");
}

TEST(Format, WideTextLength) {
    wchar_t text[] = L"K\u00fcche", empty[] = L"";
    EXPECT_EQ(textLen(text), 5);
    EXPECT_EQ(textLen(empty), 0);
    EXPECT_EQ(textLen((wchar_t*)nullptr), 0);
}

TEST(Utf8, DecodeFlagsAndLimits) {
    wchar_t out[16];
    EXPECT_EQ(utf8_to_wchar("A\xC0"
                            "B",
                            3, out, 16, 0),
              0u);
    EXPECT_EQ(utf8_to_wchar("A\xC0"
                            "B",
                            3, out, 16, UTF8_IGNORE_ERROR),
              2u);
    EXPECT_EQ(out[1], L'B');
    EXPECT_EQ(utf8_to_wchar("\xEF\xBB\xBFx", 4, out, 16, 0), 2u);
    EXPECT_EQ(utf8_to_wchar("\xEF\xBB\xBFx", 4, out, 16, UTF8_SKIP_BOM), 1u);
    EXPECT_EQ(utf8_to_wchar("\xED\xA0\x80", 3, out, 16, 0), 0u) << "surrogate";
    EXPECT_EQ(utf8_to_wchar("\xE2\x82", 2, out, 16, 0), 0u) << "cut short";
    EXPECT_EQ(utf8_to_wchar("\xF8\x88\x80\x80\x80", 5, out, 16, 0), 1u);
    EXPECT_EQ((unsigned)out[0], 0x200000u);
    EXPECT_EQ(utf8_to_wchar("abc", 3, nullptr, 0, 0), 3u);
    EXPECT_EQ(utf8_to_wchar("abc", 3, out, 2, 0), 0u) << "out of space";
    char enc[32];
    const wchar_t in[] = {L'a', 0xE9, 0x20AC, 0x1F600, 0x200000, 0x4000000};
    size_t n = wchar_to_utf8(in, 6, enc, sizeof enc, 0);
    EXPECT_EQ(n, 1u + 2 + 3 + 4 + 5 + 6);
    EXPECT_EQ(wchar_to_utf8(in, 6, nullptr, 0, 0), n);
    EXPECT_EQ(wchar_to_utf8(in, 6, enc, 5, 0), 0u);
    wchar_t back[8];
    EXPECT_EQ(utf8_to_wchar(enc, n, back, 8, 0), 6u);
    EXPECT_EQ(memcmp(back, in, sizeof in), 0);
}

bool logged(const std::string& line) {
    for (auto& l : testkit::logLines("nvram"))
        if (l == line) return true;
    return false;
}

TEST(Memory, ValuesSetThenCommittedPerSection) {
    Memory m;
    testkit::clearLog("nvram");
    m.addValue((char*)"PanelA", (char*)"one");
    m.addValueRtdev((char*)"PanelB", (char*)"two");
    EXPECT_TRUE(logged("set 1 PanelA=one"));
    EXPECT_TRUE(logged("set 2 PanelB=two"));
    EXPECT_FALSE(logged("commit 1"));
    EXPECT_FALSE(logged("commit 2"));
    EXPECT_EQ(testkit::readFile("/sim/state/nvram/2860.flash").find("PanelA=one"), std::string::npos);
    m.saveValues();
    EXPECT_TRUE(logged("commit 1"));
    EXPECT_NE(testkit::readFile("/sim/state/nvram/2860.flash").find("PanelA=one"), std::string::npos);
    m.saveValuesRtdev();
    EXPECT_TRUE(logged("commit 2"));
    EXPECT_NE(testkit::readFile("/sim/state/nvram/rtdev.flash").find("PanelB=two"), std::string::npos);
    char out[1024] = "untouched";
    m.getNoSaveSetting((char*)"PanelA", out);
    EXPECT_STREQ(out, "one");
    strcpy(out, "untouched");
    m.getMac(out);
    m.getCloudID(out);
    EXPECT_STREQ(out, "untouched");
    nvram_setRtdev(1, (char*)"PanelC", (char*)"three");
    EXPECT_EQ(testkit::run("nvram_get rtdev PanelC"), "three\n");
}

// Names and values the device request cannot carry, and a device that does
// not open, ask nothing and read as empty.
TEST(Memory, RequestsThatCannotBeMade) {
    std::string longName(1100, 'n');
    testkit::clearLog("nvram");
    for (char* name : {(char*)nullptr, (char*)longName.c_str()}) {
        char* v = nvram_get(2, name);
        ASSERT_NE(v, nullptr);
        EXPECT_STREQ(v, "");
        free(v);
    }
    nvram_set(2, nullptr, (char*)"v");
    nvram_set(2, (char*)"PanelD", nullptr);
    nvram_set(2, (char*)longName.c_str(), (char*)"v");
    EXPECT_TRUE(testkit::logLines("nvram").empty());
    testkit::Fault fault("apsoc_nvram-open");
    nvram_set(2, (char*)"PanelD", (char*)"lost");
    char* v = nvram_get(2, (char*)"PanelD");
    EXPECT_STREQ(v, "");
    free(v);
    fault.off();
    EXPECT_TRUE(testkit::logLines("nvram").empty());
    EXPECT_EQ(testkit::run("nvram_get rtdev PanelD"), "\n");
}

TEST(Persistence, NamesDirectoriesAndCommandLengths) {
    testkit::writeFile("/tmp/Notes_V2.txt", "kept");
    Persistence first((char*)"Tool", (char*)"Vendor9");
    Persistence again((char*)"Tool", (char*)"Vendor9");  // finds both directories
    EXPECT_STREQ(again.dir, "/apps/Vendor9-Tool");
    again.persist((char*)"/tmp/Notes_V2.txt", (char*)"a~b,c+d@e%f=g:h");
    EXPECT_EQ(testkit::readFile("/data/apps/Vendor9-Tool/a~b,c+d@e%f=g:h"), "kept");
    struct Case {
        const char* name;
        bool safe;
    } names[] = {{"Notes_V2.txt", true}, {"a{b", false},  {"a`b", false},     {"a[b", false},
                 {"a b", false},         {"a\"b", false}, {"\xC3\xA4", false}};
    for (const Case& c : names) {
        std::string err = testkit::captureStderr([&] { again.persist((char*)"/tmp/Notes_V2.txt", (char*)c.name); });
        EXPECT_EQ(err.empty(), c.safe) << c.name;
        EXPECT_EQ(testkit::fileExists(std::string("/data/apps/Vendor9-Tool/") + c.name), c.safe) << c.name;
    }
    std::string longName(190, 'x');
    std::string err = testkit::captureStderr([&] {
        again.persist((char*)"/tmp/Notes_V2.txt", (char*)longName.c_str());
        again.persist(nullptr, (char*)"x");
        again.depersist((char*)longName.c_str());
        again.depersist((char*)"a;b");
        again.copyFile((char*)"Notes_V2.txt", (char*)longName.c_str());
        again.copyFile((char*)"a b", (char*)"/tmp/x");
        again.copyFile((char*)"Notes_V2.txt", (char*)"/tmp/a b");
    });
    EXPECT_NE(err.find("persist: refusing"), std::string::npos);
    EXPECT_NE(err.find("depersist: refusing"), std::string::npos);
    EXPECT_NE(err.find("copyFile: refusing"), std::string::npos);
    EXPECT_TRUE(testkit::fileExists("/data/apps/Vendor9-Tool/Notes_V2.txt"));
    // Directories that cannot be made refuse everything after.
    std::string longApp(150, 'a');
    for (auto names : {std::make_pair((char*)"a b", (char*)"v"), std::make_pair((char*)longApp.c_str(), (char*)"v")}) {
        Persistence* p = nullptr;
        err = testkit::captureStderr([&] { p = new Persistence(names.first, names.second); });
        EXPECT_NE(err.find("refusing unsafe directory"), std::string::npos);
        EXPECT_STREQ(p->dir, "");
        err = testkit::captureStderr([&] {
            p->persist((char*)"/tmp/Notes_V2.txt", (char*)"n");
            p->depersist((char*)"n");
            p->copyFile((char*)"n", (char*)"/tmp/n");
        });
        EXPECT_NE(err.find("depersist: refusing"), std::string::npos);
        delete p;
    }
    Persistence unnamed(nullptr, nullptr);
    EXPECT_STREQ(unnamed.dir, "/apps/-");
}

TEST(Languages, CodesPathsAndOddArguments) {
    Memory m;
    struct Case {
        const char* setting;
        const char* path;
    } cases[] = {{"pt-BR_x", "/halvix/pt-BR_x.xml"},
                 {"en/../../etc/x", "/halvix/.xml"},
                 {"abcdefghijklmnopqrstuvwxyz0123456789", "/halvix/.xml"}};
    for (const Case& c : cases) {
        m.saveSetting((char*)"Language", (char*)c.setting);
        Languages l;
        EXPECT_STREQ(l.path, c.path) << c.setting;
    }
    m.saveSetting((char*)"Language", (char*)"en");
    std::string out = testkit::captureStdout([] { EXPECT_EQ(getLangvalue(nullptr, (char*)"a", (char*)"b"), nullptr); });
    EXPECT_NE(out.find("(null): file cannot be opened"), std::string::npos);
    // No key and no section: the empty tags close the section they open.
    testkit::writeFile("/tmp/plain.xml", "<>\n<>Untagged</>\n</>\n");
    EXPECT_EQ(w(getLangvalue((char*)"/tmp/plain.xml", nullptr, nullptr)), L"<NOTAF>");
    // A multi-line text longer than the found-text buffer is cut, never
    // written past it.
    std::string big = "<s>\n<k>start\n";
    for (int i = 0; i < 60; ++i) big += std::string(99, 'y') + "\n";
    big += "end</k>\n</s>\n";
    testkit::writeFile("/tmp/huge.xml", big);
    wchar_t* r = getLangvalue((char*)"/tmp/huge.xml", (char*)"k", (char*)"s");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(wcslen(r), 255u);
    EXPECT_EQ(std::wstring(r, 6), L"start\n");
}

TEST(Format, EveryModifierAndBrokenFormats) {
    wchar_t out[256];
    struct Case {
        const wchar_t* format;
        const wchar_t* want;
    } plain[] = {{L"abc%", L"abc"},  {L"a%l", L"a"},     {L"%5", L""},       {L"a%5l", L"a"},  {L"[%12l]", L"["},
                 {L"[%5ld]", L"[]"}, {L"[%5hd]", L"[]"}, {L"[%-3x]", L"[]"}, {L"[%hq]", L"[]"}};
    for (const Case& c : plain) {
        aswprintf(out, 255, (wchar_t*)c.format, 5);
        EXPECT_EQ(w(out), c.want) << w(c.format);
    }
    aswprintf(out, 255, (wchar_t*)L"%hd/%hu/%hx/%lx/%lu/%hc/%hs/%hf/%lf", -3, 7u, 255u, 4096u, 9u, 'k', "hs", 1.005,
              2.0);
    EXPECT_EQ(w(out), L"-3/7/ff/1000/9/k/hs/1.00/2.00");
    aswprintf(out, 255, (wchar_t*)L"<%s|%ls>", (char*)nullptr, (wchar_t*)nullptr);
    EXPECT_EQ(w(out), L"<|>");
    aswprintf(out, 255, (wchar_t*)L"%s", "\xE9t\xE9");
    EXPECT_EQ(w(out), L"\u00e9t\u00e9") << "bytes the locale cannot read are taken as they are";
    aswprintf(out, 255, nullptr);
    EXPECT_EQ(w(out), L"");
    wcscpy(out, L"kept");
    EXPECT_EQ(aswprintf(out, -1, (wchar_t*)L"x"), 0);
    EXPECT_EQ(aswprintf(nullptr, 5, (wchar_t*)L"x"), 0);
    EXPECT_EQ(w(out), L"kept");
}

// The format may be the output buffer itself; two threads format at once
// (the lock pad draws from the touch library's thread).
TEST(Format, OwnBufferAndTwoThreads) {
    wchar_t buf[64];
    wcscpy(buf, L"n=%d;");
    aswprintf(buf, 63, buf, 42);
    EXPECT_EQ(w(buf), L"n=42;");
    std::atomic<int> wrong{0};
    auto work = [&](int base) {
        wchar_t out[64];
        for (int i = 0; i < 2000; ++i) {
            aswprintf(out, 63, (wchar_t*)L"%d-%ls-%d", base + i, L"mid", i);
            if (w(out) != std::to_wstring(base + i) + L"-mid-" + std::to_wstring(i)) ++wrong;
        }
    };
    std::thread a(work, 100000), b(work, 500000);
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(Utf8, EveryForbiddenByteAndEncodingFlags) {
    wchar_t out[16];
    for (const char* bad : {"\xC1\x81", "\xF5\x80\x80\x80", "\xFF", "\xC3\x41", "\x80", "\xFE"}) {
        EXPECT_EQ(utf8_to_wchar(bad, strlen(bad), out, 16, 0), 0u) << (unsigned)(unsigned char)bad[0];
    }
    EXPECT_EQ(utf8_to_wchar("\xC3\x41", 2, out, 16, UTF8_IGNORE_ERROR), 1u);
    EXPECT_EQ(out[0], L'A');
    EXPECT_EQ(utf8_to_wchar("\xFC\x84\x80\x80\x80\x80", 6, out, 16, 0), 1u);
    EXPECT_EQ((unsigned)out[0], 0x4000000u);
    EXPECT_EQ(utf8_to_wchar(nullptr, 3, out, 16, 0), 0u);
    char enc[16];
    EXPECT_EQ(wchar_to_utf8(nullptr, 3, enc, 16, 0), 0u);
    const wchar_t bom[] = {0xFEFF, L'a'};
    EXPECT_EQ(wchar_to_utf8(bom, 2, enc, 16, UTF8_SKIP_BOM), 1u);
    EXPECT_EQ(enc[0], 'a');
    EXPECT_EQ(wchar_to_utf8(bom, 2, enc, 16, 0), 4u);
    const wchar_t surrogate[] = {L'a', 0xD800, 0xDFFF, 0xE000};
    EXPECT_EQ(wchar_to_utf8(surrogate, 4, enc, 16, 0), 0u);
    EXPECT_EQ(wchar_to_utf8(surrogate, 4, enc, 16, UTF8_IGNORE_ERROR), 4u);
    EXPECT_EQ(std::string(enc, 4), "a\xEE\x80\x80");
}

}  // namespace
