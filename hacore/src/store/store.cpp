#include "store/store_internal.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "base/depot.h"

namespace hastore {

namespace {

// The library opens its stores without qdbm's lock, as the hub's servers
// expect, but each of its writes takes the lock for as long as it lasts and
// leaves the header up to date before it lets go. A server that takes the
// lock (to read or to write) then never finds the file mid-write, and two
// writers never append at the same place.
class WriteSection {
public:
    explicit WriteSection(DEPOT* db) : lock_(db, F_WRLCK), db_(db) { depotCatchUp(db_); }
    ~WriteSection() { depotPublish(db_); }
    WriteSection(const WriteSection&) = delete;
    WriteSection& operator=(const WriteSection&) = delete;

private:
    depotsync::FileLock lock_;
    DEPOT* db_;
};

}  // namespace

const char* lastError() { return hbase::depotError(); }

Store open(const char* path, int mode) { return Store(hbase::openRepairing(path, mode, {mode, true, true, nullptr})); }

Store openNoRepair(const char* path, int mode) {
    Store db(dpopen(path, mode, 1));
    if (!db) fprintf(stderr, "dpopen: %s\n", lastError());
    return db;
}

namespace {

// The file layout, hash and handle fields read here are qdbm 1.8's: with any
// other qdbm the store goes through qdbm's API only.
bool knownLayout() { return dpversion && strncmp(dpversion, "1.8.", 4) == 0; }

// The hash that orders the search tree of a Depot bucket (qdbm 1.8).
int32_t treeHash(const char* key, int size) {
    uint32_t sum = 19780211;
    for (int i = size - 1; i >= 0; i--) sum = sum * 37 + (unsigned char)key[i];
    return int32_t((sum * 43321879u) & 0x7fffffffu);
}

// Looks the key up by walking the store's one search tree with a single read
// per node: qdbm's own get seeks and then reads each node, twice the system
// calls on a path of a dozen nodes or more. Returns the bytes read, or -2
// when the walk cannot tell (not found, more than one bucket, anything
// unexpected in the file): the caller then asks qdbm.
int treeGet(DEPOT* db, const char* key, int ksize, char* buf, int cap, int* found) {
    enum { kHead = 48, kRecHead = 7 * 4, kNode = 128, kMaxSteps = 4096 };
    if (!knownLayout() || dpbnum(db) != 1 || !db->buckets) return -2;
    const int fd = dpfdesc(db), end = dpfsiz(db);
    const int32_t hash = treeHash(key, ksize);
    int32_t at = db->buckets[0];
    unsigned char node[kNode];
    for (int step = 0; at != 0 && step < kMaxSteps; step++) {
        if (at < kHead + 4 || at > end - kRecHead) return -2;
        const ssize_t got = pread(fd, node, sizeof node, at);
        if (got < kRecHead) return -2;
        int32_t h[7];
        memcpy(h, node, sizeof h);  // flags, hash, key size, value size, padding, left, right
        if (h[2] < 0 || h[3] < 0 || int64_t(at) + kRecHead + h[2] + h[3] > end) return -2;
        int cmp;
        if (hash != h[1]) {
            cmp = hash > h[1] ? 1 : -1;
        } else if (ksize != h[2]) {
            cmp = ksize > h[2] ? 1 : -1;
        } else {
            char keyBuf[256];
            const char* k = reinterpret_cast<const char*>(node) + kRecHead;
            if (kRecHead + ksize > got) {
                if (ksize > (int)sizeof keyBuf || pread(fd, keyBuf, size_t(ksize), at + kRecHead) != ksize) return -2;
                k = keyBuf;
            }
            cmp = memcmp(key, k, size_t(ksize));
        }
        if (cmp == 0) {
            if (h[0] & 1) return -2;  // a deleted record: let qdbm decide
            if (found) *found = at;
            const int n = h[3] < cap ? h[3] : cap;
            const int valueAt = kRecHead + ksize;
            if (valueAt + n <= got) {
                memcpy(buf, node + valueAt, size_t(n));
                return n;
            }
            return pread(fd, buf, size_t(n), at + valueAt) == n ? n : -2;
        }
        at = cmp > 0 ? h[5] : h[6];
    }
    return -2;
}

}  // namespace

int get(DEPOT* db, const char* key, void* buf, int cap, int* at) {
    if (at) *at = -1;
    if (cap <= 0) return -1;
    const int ksize = (int)strlen(key);
    const int n = treeGet(db, key, ksize, static_cast<char*>(buf), cap, at);
    if (n >= 0) return n;
    return depotGet(db, key, ksize, static_cast<char*>(buf), cap);
}

bool readStretch(DEPOT* db, int at, int size, Stretch& out) {
    enum { kRecHead = 7 * 4 };
    out.bytes.clear();
    out.records.clear();
    const int end = dpfsiz(db);
    if (!knownLayout() || at < 0 || at >= end || size <= 0) return false;
    if (size > end - at) size = end - at;
    out.bytes.resize(size_t(size));
    const ssize_t got = pread(dpfdesc(db), out.bytes.data(), size_t(size), at);
    if (got <= 0) {
        out.bytes.clear();
        return false;
    }
    out.bytes.resize(size_t(got));
    // Record after record from a record's start, as the iteration walks
    // them; what runs past the stretch is left out.
    for (size_t p = 0; p + kRecHead <= out.bytes.size();) {
        int32_t h[5];
        memcpy(h, out.bytes.data() + p, sizeof h);  // flags, hash, key size, value size, padding
        if (h[2] < 0 || h[3] < 0 || h[4] < 0 || (h[0] & ~3) != 0) break;
        const size_t next = p + kRecHead + size_t(h[2]) + size_t(h[3]) + size_t(h[4]);
        if (next > out.bytes.size()) break;
        if (!(h[0] & 1)) out.records.push_back({int(p + kRecHead), h[2], int(p + kRecHead + h[2]), h[3]});
        p = next;
    }
    return true;
}

int getFrom(const Stretch& s, const char* key, void* buf, int cap) {
    if (cap <= 0) return -1;
    const size_t ksize = strlen(key);
    for (const RecordRef& r : s.records) {
        if (size_t(r.keySize) != ksize || memcmp(s.bytes.data() + r.keyAt, key, ksize) != 0) continue;
        const int n = r.valueSize < cap ? r.valueSize : cap;
        memcpy(buf, s.bytes.data() + r.valueAt, size_t(n));
        return n;
    }
    return -1;
}

bool getText(DEPOT* db, const char* key, char* buf, int cap) {
    int n = get(db, key, buf, cap);
    if (n < 0) {
        buf[0] = '\0';
        return false;
    }
    buf[n] = '\0';
    return true;
}

bool put(DEPOT* db, const char* key, const void* value, int len) {
    WriteSection w(db);
    if (dpput(db, key, (int)strlen(key), static_cast<const char*>(value), len, DP_DOVER)) return true;
    fprintf(stderr, "dpput: %s\n", lastError());
    return false;
}

bool out(DEPOT* db, const char* key) {
    WriteSection w(db);
    return dpout(db, key, (int)strlen(key));
}

bool optimize(DEPOT* db) {
    WriteSection w(db);
    if (dpoptimize(db, 1)) return true;
    fprintf(stderr, "dpoptimize: %s\n", lastError());
    return false;
}

bool putText(DEPOT* db, const char* key, const char* text, int valueLen) {
    char buf[256] = {0};
    if (valueLen > (int)sizeof buf) valueLen = sizeof buf;
    size_t n = strnlen(text, valueLen);
    memcpy(buf, text, n);
    return put(db, key, buf, valueLen);
}

bool iterInit(DEPOT* db) { return hbase::startWalk(db); }

bool iterNext(DEPOT* db, std::string& key) {
    int size = 0;
    char* k = dpiternext(db, &size);
    if (!k) return false;
    key.assign(k, size);
    free(k);
    return true;
}

bool readAll(DEPOT* db, std::vector<char>& file, std::vector<RecordRef>& records) {
    // The Depot file: a header of 48 bytes (magic, then the file size at 24,
    // the bucket count at 32 and the record count at 40, native ints), the
    // bucket array, then the records one after another, each a header of
    // seven ints (flags, hash, key size, value size, padding size, left and
    // right child), the key, the value and the padding. Flag bit 0 marks a
    // deleted record.
    enum { kHead = 48, kSizeAt = 24, kBucketsAt = 32, kRecordsAt = 40, kRecHead = 7 * 4 };
    static const char kMagic[] = "[depot]\n\f";  // a little-endian file
    records.clear();
    if (!knownLayout()) return false;
    const int size = dpfsiz(db), buckets = dpbnum(db), count = dprnum(db), fd = dpfdesc(db);
    if (size < kHead || buckets < 1 || count < 0 || fd < 0 || buckets > (size - kHead) / 4) return false;
    file.resize(size_t(size));
    for (size_t got = 0; got < file.size();) {
        ssize_t n = pread(fd, file.data() + got, file.size() - got, off_t(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += size_t(n);
    }
    auto word = [&](size_t at) {
        int32_t v;
        memcpy(&v, file.data() + at, sizeof v);
        return v;
    };
    if (memcmp(file.data(), kMagic, sizeof kMagic - 1) != 0 || word(kSizeAt) != size || word(kBucketsAt) != buckets ||
        word(kRecordsAt) != count)
        return false;
    records.reserve(size_t(count));
    int64_t at = kHead + int64_t(buckets) * 4;
    while (at < size) {
        if (size - at < kRecHead) break;
        const int32_t flags = word(size_t(at)), ksiz = word(size_t(at) + 8), vsiz = word(size_t(at) + 12),
                      psiz = word(size_t(at) + 16);
        if (ksiz < 0 || vsiz < 0 || psiz < 0 || (flags & ~3) != 0) break;
        const int64_t next = at + kRecHead + int64_t(ksiz) + vsiz + psiz;
        if (next > size) break;
        if (!(flags & 1)) records.push_back({int(at + kRecHead), ksiz, int(at + kRecHead + ksiz), vsiz});
        at = next;
    }
    if (at != size || records.size() != size_t(count)) {
        records.clear();
        return false;
    }
    return true;
}

void memFlush(DEPOT* db) {
    WriteSection w(db);
    dpmemflush(db);
}

bool close(DEPOT* db) {
    if (!db) return false;
    depotForget(db);
    // Every write left the header as the file is: a header written now could
    // only take back what another process wrote since.
    return hbase::closeDepot(db, true);
}

}  // namespace hastore
