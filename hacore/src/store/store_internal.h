// Access to the hub's record stores (qdbm Depot files under /tmp). Every
// reader and writer of the library goes through these helpers so that the
// open mode, repair, messages and read caps are the same everywhere.
#pragma once

#include <string>
#include <vector>

extern "C" {
#include <depot.h>
}

#include "base/depot_catchup.h"
#include "base/depot_layout.h"

namespace hastore {

// writer | create | no file lock | sparse
constexpr int kWriteMode = DP_OWRITER | DP_OCREAT | DP_ONOLCK | DP_OSPARSE;
// reader | no file lock | sparse (pure readers of the client, mesh and pro stores)
constexpr int kReadMode = DP_OREADER | DP_ONOLCK | DP_OSPARSE;

// Closes; on failure writes "dpclose: %s\n" and returns false.
bool close(DEPOT* db);

// An open store, closed when it goes out of scope. It stands for its handle
// wherever the helpers below take one.
class Store {
public:
    Store() = default;
    explicit Store(DEPOT* db) : db_(db) {}
    Store(Store&& o) noexcept : db_(o.release()) {}
    Store& operator=(Store&& o) noexcept {
        reset(o.release());
        return *this;
    }
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;
    ~Store() { reset(); }

    operator DEPOT*() const { return db_; }
    DEPOT* release() {
        DEPOT* db = db_;
        db_ = nullptr;
        return db;
    }
    void reset(DEPOT* db = nullptr) {
        if (db_) close(db_);
        db_ = db;
    }

private:
    DEPOT* db_ = nullptr;
};

// Closes now, where the order matters or a failed close is acted on.
inline bool close(Store& db) { return close(db.release()); }

// Opens a store. On failure writes "dpopen: %s\n", repairs and opens again;
// if that fails too writes "cannot repair: %s\n", deletes the file and
// returns null.
Store open(const char* path, int mode = kWriteMode);

// Opens without trying a repair: on failure writes "dpopen: %s\n" and
// returns null.
Store openNoRepair(const char* path, int mode = kWriteMode);

// Reads at most `cap` bytes of the record into `buf` (which holds at least
// `cap` bytes). Returns the number of bytes read, or -1 if the record is
// missing. Bytes of `buf` beyond what was read are left untouched.
// *at, when given, gets the file offset of the record (-1 when not known).
int get(DEPOT* db, const char* key, void* buf, int cap, int* at = nullptr);

// Reads a text record cut at `cap` bytes into `buf` (at least cap + 1 bytes),
// always zero-terminated. Returns false if missing (buf is then "").
bool getText(DEPOT* db, const char* key, char* buf, int cap);

// Writes in overwrite mode; on failure writes "dpput: %s\n" and returns false.
// Every write of the library (put, out, optimize, memFlush) holds qdbm's
// exclusive lock on the file while it runs and leaves the header up to date.
bool put(DEPOT* db, const char* key, const void* value, int len);

// Deletes a record; false if it is missing or the store failed.
bool out(DEPOT* db, const char* key);

// Rewrites the store without its deleted records; on failure writes
// "dpoptimize: %s\n".
bool optimize(DEPOT* db);

// Writes a text zero-padded to a fixed value length (cut if longer).
bool putText(DEPOT* db, const char* key, const char* text, int valueLen);

// Starts an iteration; on failure writes "dpiterinit: %s\n" and returns false.
bool iterInit(DEPOT* db);
// Next key of the iteration, or false at the end.
bool iterNext(DEPOT* db, std::string& key);

// Flushes the store's memory to the file ("memflush").
void memFlush(DEPOT* db);

// Opens, runs f(db) and closes; returns false (without calling f) if the
// store cannot be opened.
template <typename F>
bool with(const char* path, int mode, F f) {
    Store db = open(path, mode);
    if (!db) return false;
    f(db);
    return true;
}

// Whole-file and stretch reads (see base/depot_layout.h). Reading record by
// record with get walks the one search tree of a store with a single bucket
// for every key; readAll is linear. The HA server writes a device's records
// one after another, so the stretch after its main record usually holds them
// all.
using hbase::getFrom;
using hbase::readAll;
using hbase::readStretch;
using hbase::RecordRef;
using hbase::Stretch;

// The text of qdbm's last error.
const char* lastError();

}  // namespace hastore
