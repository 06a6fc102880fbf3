// The store's own reading of qdbm's file against qdbm's API. The input is a
// bucket-count byte, then operations (selector byte, 16-bit length, bytes)
// applied to a fresh Depot store through the API: selector bit 7 deletes the
// key, otherwise the bytes are the value; the low seven bits pick one of 40
// keys (every fifth a long one). Then the whole-file pass, the record reads
// (cut at several caps) and the stretch reads must say what qdbm says.
//
// The store path is fixed: the target runs inside a virtual router, whose
// /tmp is its own.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "store/store_internal.h"

#include "../hacore/tests/depot_records.h"
#include "fuzz_store.h"

namespace {

const char kStore[] = "/tmp/fastpath";

std::string keyOf(uint8_t sel) {
    int k = (sel & 0x7f) % 40;
    std::string key = std::to_string(k) + ".NM";
    if (k % 5 == 0) key += std::string(260, 'k');
    return key;
}

void compare(DEPOT* db) {
    DepotRecords api;
    CHECK(recordsByApi(db, api));
    std::vector<char> file;
    std::vector<hastore::RecordRef> refs;
    CHECK(hastore::readAll(db, file, refs));
    CHECK(refs.size() == api.size());
    for (size_t i = 0; i < refs.size(); ++i) {
        CHECK(std::string(file.data() + refs[i].keyAt, refs[i].keySize) == api[i].first);
        CHECK(std::string(file.data() + refs[i].valueAt, refs[i].valueSize) == api[i].second);
    }
    std::vector<char> buf(70000);
    for (const auto& kv : api) {
        for (int cap : {1, 40, 70000}) {
            int at = -2;
            int n = hastore::get(db, kv.first.c_str(), buf.data(), cap, &at);
            size_t expect = kv.second.size() < size_t(cap) ? kv.second.size() : size_t(cap);
            CHECK(n == int(expect));
            CHECK(memcmp(buf.data(), kv.second.data(), expect) == 0);
            hastore::Stretch s;
            if (at >= 0 && hastore::readStretch(db, at, 512, s)) {
                int m = hastore::getFrom(s, kv.first.c_str(), buf.data(), cap);
                CHECK(m < 0 || (m == int(expect) && memcmp(buf.data(), kv.second.data(), expect) == 0));
            }
        }
    }
    CHECK(hastore::get(db, "missing", buf.data(), 10) == -1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    requireVirtualRouter("store_fastpath_fuzz", "writes /tmp/fastpath");
    if (size < 1) return 0;
    static const int kBuckets[] = {1, 2, 7, 61, 1021};
    unlink(kStore);
    DEPOT* w = dpopen(kStore, DP_OWRITER | DP_OCREAT, kBuckets[data[0] % 5]);
    CHECK(w);
    ChunkReader chunks(data, size, 1);
    for (Chunk c; chunks.next(c);) CHECK(applyChunk(w, keyOf(c.sel), c));
    CHECK(dpclose(w));
    DEPOT* db = dpopen(kStore, DP_OREADER, -1);
    CHECK(db);
    compare(db);
    dpclose(db);
    return 0;
}
