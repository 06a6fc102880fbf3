// A Depot writer keeps the file size and record count it saw when it opened:
// it appends at that size and writes both back into the file's header when it
// flushes or closes. The hub's processes share the stores without file
// locks, so another writer may have appended since this handle opened; its
// records would then be overwritten by this handle's and cut off by its
// close. Catching up with the file before every write, deletion, flush and
// close keeps them: appends go after everything the file holds, the count
// takes in what the others added or removed, and the header never goes back.
#pragma once

#include <climits>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <unordered_map>

extern "C" {
#include <depot.h>
}

namespace depotsync {

enum { kFileSizeAt = 24, kRecordCountAt = 40 };  // in the header

inline bool header(const DEPOT* db, int at, int32_t* v) {
    if (!db->map || db->msiz < kRecordCountAt + 4) return false;
    memcpy(v, db->map + at, sizeof *v);
    return true;
}

// The record count each open handle last saw in the header. Every change a
// handle makes goes through the helpers below, so until its first catch-up
// its own count still is the header's at its open.
struct Seen {
    std::mutex lock;
    std::unordered_map<const DEPOT*, int32_t> count;
};
inline Seen& seen() {
    static Seen s;
    return s;
}

}  // namespace depotsync

inline void depotCatchUp(DEPOT* db) {
    using namespace depotsync;
    if (!db || !db->wmode || db->fatal) return;
    struct stat st;
    if (fstat(db->fd, &st) == 0 && st.st_size > db->fsiz && st.st_size <= INT_MAX) db->fsiz = (int)st.st_size;
    int32_t now;
    if (!header(db, kRecordCountAt, &now)) return;
    Seen& s = seen();
    std::lock_guard<std::mutex> g(s.lock);
    auto it = s.count.find(db);
    // What the others added or removed since this handle last looked.
    db->rnum += it == s.count.end() ? now - db->rnum : now - it->second;
    if (db->rnum < 0) db->rnum = 0;
    s.count[db] = now;
}

// dpput, dpout, dpmemflush and dpclose of a handle that may share the file
// with other writers.
inline int depotPut(DEPOT* db, const char* key, int ksize, const char* value, int vsize, int mode) {
    depotCatchUp(db);
    return dpput(db, key, ksize, value, vsize, mode);
}

inline int depotOut(DEPOT* db, const char* key, int ksize) {
    depotCatchUp(db);
    return dpout(db, key, ksize);
}

inline int depotFlush(DEPOT* db) {
    depotCatchUp(db);
    const int ok = dpmemflush(db);
    if (db && db->wmode) {
        depotsync::Seen& s = depotsync::seen();
        std::lock_guard<std::mutex> g(s.lock);
        s.count[db] = db->rnum;  // the header holds this handle's count now
    }
    return ok;
}

// A handle with nothing newer than the header holds leaves the header alone
// at its close: a read-only use of a writer (every device load) then never
// writes into the file while another process does.
inline int depotClose(DEPOT* db) {
    using namespace depotsync;
    if (!db) return dpclose(db);
    depotCatchUp(db);
    int32_t size, count;
    if (db->wmode && !db->fatal && header(db, kFileSizeAt, &size) && header(db, kRecordCountAt, &count) &&
        size == db->fsiz && count == db->rnum)
        db->wmode = 0;  // dpclose writes nothing else
    {
        Seen& s = seen();
        std::lock_guard<std::mutex> g(s.lock);
        s.count.erase(db);
    }
    return dpclose(db);
}
