#include "store.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace hastore {

const char* lastError() { return dperrmsg(dpecode); }

DEPOT* open(const char* path, int mode) {
    DEPOT* db = dpopen(path, mode, 1);
    if (db) return db;
    fprintf(stderr, "dpopen: %s\n", lastError());
    dprepair(path);
    db = dpopen(path, mode, 1);
    if (db) return db;
    fprintf(stderr, "cannot repair: %s\n", lastError());
    unlink(path);
    return nullptr;
}

DEPOT* openNoRepair(const char* path, int mode) {
    DEPOT* db = dpopen(path, mode, 1);
    if (!db) fprintf(stderr, "dpopen: %s\n", lastError());
    return db;
}

int get(DEPOT* db, const char* key, void* buf, int cap) {
    if (cap <= 0) return -1;
    return dpgetwb(db, key, (int)strlen(key), 0, cap, static_cast<char*>(buf));
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
    if (dpput(db, key, (int)strlen(key), static_cast<const char*>(value), len, DP_DOVER)) return true;
    fprintf(stderr, "dpput: %s\n", lastError());
    return false;
}

bool putText(DEPOT* db, const char* key, const char* text, int valueLen) {
    char buf[256] = {0};
    if (valueLen > (int)sizeof buf) valueLen = sizeof buf;
    size_t n = strnlen(text, valueLen);
    memcpy(buf, text, n);
    return put(db, key, buf, valueLen);
}

bool iterInit(DEPOT* db) {
    if (dpiterinit(db)) return true;
    fprintf(stderr, "dpiterinit: %s\n", lastError());
    return false;
}

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
    if (memcmp(file.data(), kMagic, sizeof kMagic - 1) != 0 || word(kSizeAt) != size ||
        word(kBucketsAt) != buckets || word(kRecordsAt) != count)
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
        if (!(flags & 1))
            records.push_back({int(at + kRecHead), ksiz, int(at + kRecHead + ksiz), vsiz});
        at = next;
    }
    if (at != size || records.size() != size_t(count)) {
        records.clear();
        return false;
    }
    return true;
}

void memFlush(DEPOT* db) { dpmemflush(db); }

void close(DEPOT* db) {
    if (!dpclose(db)) fprintf(stderr, "dpclose: %s\n", lastError());
}

}  // namespace hastore
