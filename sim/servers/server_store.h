// A store the stand-in servers write as the hub's servers do: opened as a
// writer (qdbm's own lock), every write through the catch-up helpers so
// that the library's handles see it.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

extern "C" {
#include <depot.h>
}

#include "base/depot_catchup.h"

namespace hub {

class ServerStore {
public:
    explicit ServerStore(const char* path) : db_(dpopen(path, DP_OWRITER | DP_OCREAT | DP_OSPARSE, 1)) {}
    ~ServerStore() {
        if (db_) depotClose(db_);
    }
    ServerStore(const ServerStore&) = delete;
    ServerStore& operator=(const ServerStore&) = delete;

    bool isOpen() const { return db_ != nullptr; }
    void put(const std::string& k, const void* v, size_t n) {
        if (db_) depotPut(db_, k.data(), (int)k.size(), static_cast<const char*>(v), (int)n, DP_DOVER);
    }
    void put(const std::string& k, const std::string& v) { put(k, v.data(), v.size()); }
    // The record cut at cap bytes; false when it is missing.
    bool get(const std::string& k, std::string* v, int cap = 65536) {
        int size = 0;
        char* p = db_ ? dpget(db_, k.data(), (int)k.size(), 0, cap, &size) : nullptr;
        if (!p) return false;
        v->assign(p, size);
        free(p);
        return true;
    }
    // The record cut at 4 KB, "" when missing.
    std::string get(const std::string& k) {
        std::string v;
        get(k, &v, 4096);
        return v;
    }
    bool has(const std::string& k) { return db_ && dpvsiz(db_, k.data(), (int)k.size()) >= 0; }
    void out(const std::string& k) {
        if (db_) depotOut(db_, k.data(), (int)k.size());
    }
    int number(const std::string& k) {
        std::string v;
        return get(k, &v) ? atoi(v.c_str()) : 0;
    }
    // Removes every key for which f(key) holds.
    template <typename F>
    void removeWhere(F f) {
        if (!db_) return;
        std::vector<std::string> keys;
        dpiterinit(db_);
        int size;
        while (char* k = dpiternext(db_, &size)) {
            std::string key(k, size);
            free(k);
            if (f(key)) keys.push_back(key);
        }
        for (const std::string& k : keys) out(k);
    }
    // Removes the record "<id>" and its fields "<id>.<suffix>".
    void removeRecord(int id) {
        std::string main = std::to_string(id), prefix = main + ".";
        removeWhere([&](const std::string& k) { return k == main || k.compare(0, prefix.size(), prefix) == 0; });
    }

private:
    DEPOT* db_;
};

}  // namespace hub
