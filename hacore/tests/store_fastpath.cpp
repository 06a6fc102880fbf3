// The store's own reading of qdbm's file (the whole-file pass, the stretch
// and the single-bucket tree walk) against qdbm's API, on stores of several
// bucket counts with deleted, overwritten, grown and long records. Built
// with the store's source: these helpers are not the library's interface.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "depot_records.h"
#include "store/store_internal.h"

namespace {

const char* const kPath = "/tmp/fastpath_store";

// What qdbm's API says the store holds, in its iteration order.
DepotRecords byApi(DEPOT* db) {
    DepotRecords out;
    EXPECT_TRUE(recordsByApi(db, out));
    return out;
}

std::string randomText(std::mt19937& rng, size_t maxLen) {
    std::uniform_int_distribution<size_t> len(0, maxLen);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string s(len(rng), '\0');
    for (char& c : s) c = char(byte(rng));
    return s;
}

// Lays a store through the API: puts, overwrites (shorter, same, longer),
// deletions and a few long keys and values.
std::map<std::string, std::string> lay(DEPOT* db, unsigned seed) {
    std::mt19937 rng(seed);
    std::map<std::string, std::string> want;
    std::vector<std::string> keys;
    for (int i = 0; i < 400; ++i) {
        std::uniform_int_distribution<int> op(0, 9);
        int o = op(rng);
        std::string k;
        if (o < 5 || keys.empty()) {
            k = std::to_string(i) + (i % 17 == 0 ? std::string(300, 'k') : ".NM");
            keys.push_back(k);
        } else {
            k = keys[std::uniform_int_distribution<size_t>(0, keys.size() - 1)(rng)];
        }
        if (o == 9) {
            dpout(db, k.data(), int(k.size()));
            want.erase(k);
            continue;
        }
        std::string v = randomText(rng, i % 50 == 0 ? 70000 : 120);
        EXPECT_TRUE(dpput(db, k.data(), int(k.size()), v.data(), int(v.size()), DP_DOVER));
        want[k] = v;
    }
    return want;
}

}  // namespace

TEST(StoreFastPath, MatchesQdbmOnEveryBucketCount) {
    for (int buckets : {1, 2, 7, 509, 4093}) {
        for (unsigned seed : {1u, 2u, 3u}) {
            SCOPED_TRACE("buckets " + std::to_string(buckets) + " seed " + std::to_string(seed));
            unlink(kPath);
            DEPOT* w = dpopen(kPath, DP_OWRITER | DP_OCREAT, buckets);
            ASSERT_NE(w, nullptr);
            std::map<std::string, std::string> want = lay(w, seed);
            ASSERT_TRUE(dpclose(w));

            DEPOT* db = dpopen(kPath, DP_OREADER, -1);
            ASSERT_NE(db, nullptr);
            auto api = byApi(db);
            ASSERT_EQ(api.size(), want.size());

            // The whole file in one pass: the same records in the same order.
            std::vector<char> file;
            std::vector<hastore::RecordRef> refs;
            ASSERT_TRUE(hastore::readAll(db, file, refs));
            ASSERT_EQ(refs.size(), api.size());
            for (size_t i = 0; i < refs.size(); ++i) {
                const hastore::RecordRef& r = refs[i];
                EXPECT_EQ(std::string(file.data() + r.keyAt, r.keySize), api[i].first) << i;
                EXPECT_EQ(std::string(file.data() + r.valueAt, r.valueSize), api[i].second) << i;
            }

            // Record by record (the tree walk of a single bucket), cut at
            // several caps; keys that are not there.
            std::vector<char> buf(80000);
            for (const auto& kv : want) {
                if (kv.first.find('\0') != std::string::npos) continue;
                for (int cap : {1, 16, 200, 80000}) {
                    int at = -2;
                    int n = hastore::get(db, kv.first.c_str(), buf.data(), cap, &at);
                    size_t expect = std::min(kv.second.size(), size_t(cap));
                    ASSERT_EQ(n, int(expect)) << kv.first << " cap " << cap;
                    EXPECT_EQ(std::string(buf.data(), n), kv.second.substr(0, expect));
                    if (at >= 0) {
                        // The stretch from a record's place finds it again.
                        hastore::Stretch s;
                        ASSERT_TRUE(hastore::readStretch(db, at, 4096, s));
                        int m = hastore::getFrom(s, kv.first.c_str(), buf.data(), cap);
                        if (m >= 0) EXPECT_EQ(std::string(buf.data(), m), kv.second.substr(0, expect));
                    }
                }
            }
            for (const char* missing : {"nowhere", "0.NMX", ""})
                EXPECT_EQ(hastore::get(db, missing, buf.data(), 100), -1) << missing;
            ASSERT_TRUE(dpclose(db));
        }
    }
    unlink(kPath);
}

// Another qdbm's file is not read behind its back: everything goes through
// its API, with the same results.
TEST(StoreFastPath, AnotherQdbmVersionUsesTheApiOnly) {
    unlink(kPath);
    DEPOT* w = dpopen(kPath, DP_OWRITER | DP_OCREAT, 1);
    ASSERT_NE(w, nullptr);
    std::map<std::string, std::string> want = lay(w, 9);
    ASSERT_TRUE(dpclose(w));
    DEPOT* db = dpopen(kPath, DP_OREADER, -1);
    ASSERT_NE(db, nullptr);
    const char* real = dpversion;
    dpversion = "2.0.0";
    std::vector<char> file;
    std::vector<hastore::RecordRef> refs;
    EXPECT_FALSE(hastore::readAll(db, file, refs));
    std::vector<char> buf(80000);
    for (const auto& kv : want) {
        if (kv.first.find('\0') != std::string::npos) continue;
        int at = -2;
        int n = hastore::get(db, kv.first.c_str(), buf.data(), int(buf.size()), &at);
        ASSERT_EQ(n, int(kv.second.size())) << kv.first;
        EXPECT_EQ(std::string(buf.data(), n), kv.second);
        EXPECT_EQ(at, -1);  // no place in the file: it was not read there
    }
    dpversion = real;
    EXPECT_TRUE(hastore::readAll(db, file, refs));
    ASSERT_TRUE(dpclose(db));
    unlink(kPath);
}
