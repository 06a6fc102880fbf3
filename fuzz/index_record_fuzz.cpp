// Index store records as a front end finds them in /tmp/idb, and the
// catalogue lookup. The input is the type and the row of one IndexDetails
// call (two signed bytes), then a list of records (selector byte, 16-bit
// length, value) laid down as the values of a fresh Depot store, which
// Index(1), Index(69) and IndexList::Populate read back.
//
// Selector below 0xf0: bit 0 picks code 1 or 69, the rest (modulo 117) the
// key of that code: 0 the entry record "N", 1..20 "N.IN".."N.AL" in IdxArr
// order, then "N.Vk", "N.Lk", "N.Ik", "N.Tk", "N.ALk", "N.EFk" for k = 1..16.
// From 0xf0: a key of the input's own (the value up to its first zero
// byte, the rest is the record).
//
// What each reader returns is checked against the records laid down: a
// field is its record cut at the read cap, the first zero and the field's
// width; the fields after the first missing one stay empty.
//
// The store path is fixed: the target runs inside a virtual router, whose
// /tmp is its own.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <unistd.h>

extern "C" {
#include <depot.h>
}

#include "hacore/index.h"

#include "fuzz_util.h"

namespace {

const char kStore[] = "/tmp/idb";
const int kCodes[2] = {1, 69};
constexpr int kTableValues = 16;
constexpr int kTableKeys = 1 + 20 + 6 * kTableValues;
constexpr int kMaxValues = 255;
const char* const kValueKeys[6] = {"V", "L", "I", "T", "AL", "EF"};
// Field widths of Index in IdxArr order (VC is a number), and of IndexValue.
const int kFieldSize[20] = {50, 10, 30, 25, 25, 20, 50, 0, 10, 12, 12, 10, 30, 30, 30, 30, 30, 30, 50, 50};
const int kValueSize[6] = {50, 100, 50, 20, 50, 50};

using Store = std::map<std::string, std::string>;

std::string keyOf(uint8_t sel) {
    const int code = kCodes[sel & 1];
    const int k = (sel >> 1) % kTableKeys;
    std::string key = std::to_string(code);
    if (k == 0) return key;
    if (k <= 20) return key + "." + IdxArr[k - 1];
    const int v = (k - 21) / 6 + 1;
    return key + "." + kValueKeys[(k - 21) % 6] + std::to_string(v);
}

// A record as a reader sees it: at most `cap` bytes, up to the first zero,
// then cut to a field of `size` bytes.
std::string seen(const Store& store, const std::string& key, int cap, int size, bool* found = nullptr) {
    auto it = store.find(key);
    if (found) *found = it != store.end();
    if (it == store.end()) return "";
    std::string s = it->second.substr(0, size_t(cap));
    s = s.substr(0, strnlen(s.c_str(), s.size()));
    return s.substr(0, size_t(size - 1));
}

int decimal(const std::string& s) {
    long v = strtol(s.c_str(), nullptr, 10);
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : int(v);
}

const char* field(Index& x, int f) {
    switch (f) {
        case 0:
            return x.getIndexName();
        case 1:
            return x.getIndexDataType();
        case 2:
            return x.getIndexReadOnly();
        case 3:
            return x.getIndexLayout();
        case 4:
            return x.getIndexBehaviour();
        case 5:
            return x.getIndexGroupLabel();
        case 6:
            return x.getIndexDefaultIcon();
        case 8:
            return x.getIndexUnits();
        case 9:
            return x.getIndexMin();
        case 10:
            return x.getIndexMax();
        case 11:
            return x.getIndexFactor();
        case 12:
            return x.getIndexPlacement();
        case 13:
            return x.getIndexSPlacement();
        case 14:
            return x.getIndexConditional();
        case 15:
            return x.getIndexUseinScenes();
        case 16:
            return x.getIndexDefaultVisibility();
        case 17:
            return x.getIndexShowToggleInRules();
        case 18:
            return x.getIndexExcludeFrom();
        default:
            return x.getIndexAppLabel();
    }
}

const char* valueField(Index& x, int f, int k) {
    switch (f) {
        case 0:
            return x.getValue(k);
        case 1:
            return x.getValueLabel(k);
        case 2:
            return x.getValueIcon(k);
        case 3:
            return x.getValueToggleValue(k);
        case 4:
            return x.getValueAppLabel(k);
        default:
            return x.getValueExcludeFrom(k);
    }
}

// The entry `code` as the reader must have built it from `store`.
void checkIndex(Index& x, int code, const Store& store) {
    const std::string prefix = std::to_string(code) + ".";
    int count = 0;
    bool missing = false;
    for (int f = 0; f < 20; ++f) {
        bool found = false;
        std::string want = missing ? "" : seen(store, prefix + IdxArr[f], 50, f == 7 ? 51 : kFieldSize[f], &found);
        if (!found) missing = true;
        if (f == 7) {
            if (found) count = decimal(want);
            continue;
        }
        CHECK(want == field(x, f));
        if (f == 0) CHECK(x.getIndexID() == (found ? StrToIndexTypeEnum(const_cast<char*>(want.c_str())) : IDX_NONE));
    }
    if (count > kMaxValues) count = kMaxValues;
    CHECK(x.getValueCount() == count);
    CHECK(x.values().size() == size_t(count < 0 ? 0 : count));
    for (int f = 0; f < 6; ++f) {
        CHECK(strcmp(valueField(x, f, 0), "#Err") == 0);
        CHECK(strcmp(valueField(x, f, count < 0 ? 1 : count + 1), "#Err") == 0);
    }
    for (int k = 1; k <= count; ++k)
        for (int f = 0; f < 6; ++f) {
            std::string key = prefix + kValueKeys[f] + std::to_string(k);
            CHECK(seen(store, key, f == 1 ? 100 : 50, kValueSize[f]) == valueField(x, f, k));
        }
}

void checkDetails(int type, int choice) {
    char out[kIndexRowSize + 1];
    memset(out, 'Z', sizeof out);
    out[kIndexRowSize] = '\0';
    const std::string before(out);
    IndexDetails(IndexType(type), out, choice);
    if (choice < 0) {
        CHECK(strcmp(out, "#ERR:Invalid choice") == 0);
    } else if (type < kIndexCatalogueFirst || type > kIndexCatalogueLast) {
        CHECK(strcmp(out, "#ERR:Invalid Index Type") == 0);
    } else if (before != out) {
        CHECK(strnlen(out, kIndexRowSize) < size_t(kIndexRowSize));
        int fields = 1;
        for (const char* p = out; *p; ++p) fields += *p == ',';
        CHECK(fields <= (choice == 0 ? 8 : 12));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    requireVirtualRouter("index_record_fuzz", "writes /tmp/idb");
    // The writer's store once, read back whole: every entry, and the first
    // one as the catalogue has it.
    unlink(kStore);
    Index::WriteIndexToidb();
    IndexList all;
    all.Populate();
    CHECK(all.indexes.size() == size_t(kIndexCatalogueLast));
    Index one(1);
    CHECK(strcmp(one.getIndexName(), "SWITCH BINARY") == 0 && one.values().size() == 2);
    CHECK(strcmp(one.getValueLabel(2), "OFF") == 0 && strcmp(one.getIndexPlacement(), "Header") == 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    checkDetails(int8_t(data[0]), int8_t(data[1]) % 25);

    unlink(kStore);
    DEPOT* db = dpopen(kStore, DP_OWRITER | DP_OCREAT | DP_ONOLCK, 1);
    CHECK(db);
    Store store;
    ChunkReader chunks(data, size, 2);
    for (Chunk c; chunks.next(c);) {
        std::string key;
        if (c.sel < 0xf0)
            key = keyOf(c.sel);
        else if (!c.takeKey(key))
            continue;
        CHECK(dpput(db, key.data(), int(key.size()), c.v, int(c.len), DP_DOVER));
        store[key].assign(c.v, c.len);
    }
    CHECK(dpclose(db));

    for (int code : kCodes) {
        Index x(code);
        checkIndex(x, code, store);
    }

    IndexList list;
    list.Populate();
    size_t entries = 0;
    for (const auto& r : store) entries += r.first.find('.') == std::string::npos;
    CHECK(list.indexes.size() == entries);
    auto it = list.indexes.begin();
    DEPOT* order = dpopen(kStore, DP_OREADER | DP_ONOLCK, 1);
    CHECK(order);
    dpiterinit(order);
    int ksize;
    while (char* k = dpiternext(order, &ksize)) {
        std::string key(k, size_t(ksize));
        free(k);
        if (key.find('.') != std::string::npos) continue;
        CHECK(it != list.indexes.end());
        checkIndex(*it++, decimal(seen(store, key, 50, 51)), store);
    }
    dpclose(order);
    return 0;
}
