// The shared private helpers, where the libraries' own tests do not reach
// them one by one: every entry of the address plan, the copy's limits, the
// checksum and the store opening's policies.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

#include "base/clock.h"
#include "base/depot.h"
#include "base/depot_catchup.h"
#include "base/fd.h"
#include "base/inet.h"
#include "base/servers.h"
#include "base/text.h"
#include "testkit.h"

using namespace testkit;

TEST(Servers, TextAgreesWithItsParts) {
    for (const hbase::Endpoint* e : hbase::hub::kAll) {
        in_addr a;
        EXPECT_EQ(inet_pton(AF_INET, e->ip, &a), 1) << e->ip;
        EXPECT_EQ((ntohl(a.s_addr) >> 24), 127u) << e->ip;
        EXPECT_EQ(std::string(e->text), std::string(e->ip) + ":" + std::to_string(e->port));
    }
}

TEST(CopyText, LimitsAndNull) {
    char four[4];
    hbase::copyText(four, "abcdef");
    EXPECT_STREQ(four, "abc");
    hbase::copyText(four, "ab");
    EXPECT_STREQ(four, "ab");
    hbase::copyText(four, nullptr);
    EXPECT_STREQ(four, "");
    char buf[16];
    hbase::copyText(buf, sizeof buf, "abcdef", 2);  // the source's own bound
    EXPECT_STREQ(buf, "ab");
    // Unterminated source read no further than srcMax.
    const char raw[3] = {'x', 'y', 'z'};
    hbase::copyText(buf, sizeof buf, raw, sizeof raw);
    EXPECT_STREQ(buf, "xyz");
    buf[0] = 'q';
    hbase::copyText(buf, 0, "abc");  // no room at all: untouched
    EXPECT_EQ(buf[0], 'q');
}

TEST(InetChecksum, VerifiesToZeroAndKnownSum) {
    // RFC 1071's example words 0001 f203 f4f5 f6f7 sum to ddf2.
    const unsigned char words[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
    uint16_t c = hbase::inetChecksum(words, sizeof words);
    unsigned char* b = reinterpret_cast<unsigned char*>(&c);
    EXPECT_EQ(b[0], 0xff - 0xdd);
    EXPECT_EQ(b[1], 0xff - 0xf2);
    // A header with its checksum in place sums to zero; an odd length too.
    unsigned char hdr[11] = {0x45, 0, 0, 11, 1, 2, 0, 0, 64, 1, 0x7f};
    for (size_t n : {sizeof hdr, sizeof hdr - 1}) {
        hdr[6] = hdr[7] = 0;
        uint16_t s = hbase::inetChecksum(hdr, n);
        memcpy(hdr + 6, &s, 2);
        EXPECT_EQ(hbase::inetChecksum(hdr, n), 0) << n;
    }
}

TEST(UniqueFd, ClosesOnEveryPath) {
    int before = openDescriptors();
    {
        hbase::UniqueFd a(open("/dev/null", O_RDONLY));
        ASSERT_TRUE(a);
        hbase::UniqueFd b(std::move(a));
        EXPECT_FALSE(a);
        b = hbase::UniqueFd(open("/dev/null", O_RDONLY));
        EXPECT_EQ(openDescriptors(), before + 1);
        int kept = b.release();
        EXPECT_FALSE(b);
        close(kept);
    }
    { hbase::UniqueFd c(open("/dev/null", O_RDONLY)); }
    EXPECT_EQ(openDescriptors(), before);
}

TEST(Clock, MonotonicAndSleepsAtLeast) {
    long long ms = hbase::nowMs(), us = hbase::nowUs();
    hbase::sleepMs(20);
    EXPECT_GE(hbase::nowMs() - ms, 20);
    EXPECT_GE(hbase::nowUs() - us, 20000);
}

namespace {
int g_hooks;
void countHook() { ++g_hooks; }

struct PolicyCase {
    hbase::RepairPolicy policy;
    const char* messages;  // what standard error must hold, in full
    bool fileStays;
    int hooks;
};
}  // namespace

// A store its reader may not open cannot be repaired: each policy says what
// then happens.
TEST(OpenRepairing, EachPolicyOnAnUnrepairableStore) {
    const int w = DP_OWRITER | DP_OCREAT | DP_ONOLCK;
    const PolicyCase cases[] = {
        {{w, true, true, nullptr}, "^dpopen: [^\n]+\ncannot repair: [^\n]+\n$", false, 0},
        {{w, false, true, nullptr}, "^dpopen: [^\n]+\n$", false, 0},
        {{DP_OREADER, false, false, countHook}, "^dpopen: [^\n]+\n$", true, 2},
    };
    const char* path = "/tmp/base_test_store";
    for (const PolicyCase& c : cases) {
        DEPOT* db = dpopen(path, w, 1);
        ASSERT_NE(db, nullptr);
        ASSERT_TRUE(dpput(db, "k", 1, "v", 1, DP_DOVER));
        ASSERT_TRUE(dpclose(db));
        chmod(path, 0);
        EXPECT_EXIT(
            {
                dropFileAccessOverride();
                g_hooks = 0;
                DEPOT* got = hbase::openRepairing(path, w, c.policy);
                exitChild(got == nullptr && fileExists(path) == c.fileStays && g_hooks == c.hooks ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), c.messages);
        unlink(path);
    }
}

TEST(OpenRepairing, RepairedStoreOpensAndClosesAsReader) {
    const char* path = "/tmp/base_test_store";
    const int w = DP_OWRITER | DP_OCREAT | DP_ONOLCK;
    DEPOT* db = dpopen(path, w, 1);
    ASSERT_NE(db, nullptr);
    ASSERT_TRUE(dpput(db, "k", 1, "v", 1, DP_DOVER));
    ASSERT_TRUE(dpclose(db));
    // A damaged header (a negative record count), the records intact.
    std::string data = readFile(path);
    data.replace(40, 4, "\xff\xff\xff\xff");
    writeFile(path, data);
    std::string err = captureStderr([&] { db = hbase::openRepairing(path, DP_OREADER, {w, true, true, nullptr}); });
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(err.find("dpopen: "), 0u) << err;
    EXPECT_EQ(err.find("cannot repair"), std::string::npos) << err;
    int size = 0;
    char* v = dpget(db, "k", 1, 0, -1, &size);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(std::string(v, size), "v");
    free(v);
    EXPECT_TRUE(hbase::closeDepot(db, true));
    hbase::DepotPtr again(dpopen(path, DP_OREADER, 1));
    EXPECT_TRUE(again);
    unlink(path);
}

// A reader opened without the lock reads what another handle appended after
// it opened: without the catch-up, qdbm takes the link to the new record,
// past the end it knows, for a broken file.
TEST(DepotCatchUp, ReaderSeesRecordsAppendedSinceItOpened) {
    const char* path = "/tmp/base_test_store";
    unlink(path);
    const int w = DP_OWRITER | DP_OCREAT | DP_ONOLCK | DP_OSPARSE;
    DEPOT* writer = dpopen(path, w, 1);
    ASSERT_NE(writer, nullptr);
    ASSERT_TRUE(depotPut(writer, "a", 1, "first", 5, DP_DOVER));
    ASSERT_TRUE(depotFlush(writer));
    DEPOT* reader = dpopen(path, DP_OREADER | DP_ONOLCK, -1);
    ASSERT_NE(reader, nullptr);
    for (int i = 0; i < 50; ++i) {
        std::string k = "k" + std::to_string(i), v(100 + i, 'v');
        ASSERT_TRUE(depotPut(writer, k.data(), int(k.size()), v.data(), int(v.size()), DP_DOVER));
    }
    ASSERT_TRUE(depotFlush(writer));
    char buf[256];
    EXPECT_EQ(depotGet(reader, "k49", 3, buf, sizeof buf), 149);
    EXPECT_EQ(depotGet(reader, "a", 1, buf, sizeof buf), 5);
    // A walk sees them all too.
    int n = 0;
    ASSERT_TRUE(hbase::startWalk(reader));
    while (char* k = dpiternext(reader, nullptr)) {
        ++n;
        free(k);
    }
    EXPECT_EQ(n, 51);
    EXPECT_FALSE(dpfatalerror(reader));
    EXPECT_TRUE(hbase::closeDepot(reader));
    EXPECT_TRUE(dpclose(writer));
    unlink(path);
}
