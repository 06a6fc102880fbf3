#include "store/store_internal.h"

#include <cerrno>
#include <fcntl.h>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "base/depot.h"
#include "base/depot_layout.h"

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

int get(DEPOT* db, const char* key, void* buf, int cap, int* at) {
    if (at) *at = -1;
    if (cap <= 0) return -1;
    const int ksize = (int)strlen(key);
    const int n = hbase::lookUp(db, key, ksize, static_cast<char*>(buf), cap, at);
    if (n >= 0) return n;
    return depotGet(db, key, ksize, static_cast<char*>(buf), cap);
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
