#include "store.h"

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

void memFlush(DEPOT* db) { dpmemflush(db); }

void close(DEPOT* db) {
    if (!dpclose(db)) fprintf(stderr, "dpclose: %s\n", lastError());
}

}  // namespace hastore
