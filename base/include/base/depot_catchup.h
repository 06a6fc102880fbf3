// A Depot writer keeps the file size and record count it saw when it opened:
// it appends at that size and writes both back into the file's header when it
// flushes or closes. The hub's processes share the stores without file
// locks, so another writer may have appended since this handle opened; its
// records would then be overwritten by this handle's and cut off by its
// close. Catching up with the file before every write, deletion, flush and
// close keeps them: appends go after everything the file holds, the count
// takes in what the others added or removed, and the header never goes back.
#pragma once

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
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

// qdbm's lock on the whole file, taken by a handle opened without it for one
// read or write. It is the open file description's where the kernel has such
// locks (3.15 on): threads of this process exclude each other too, and a
// close of another descriptor of the file does not drop it. Older kernels
// get the process's record lock; `threads` keeps this process's users apart
// there.
class FileLock {
public:
    FileLock(DEPOT* db, short type) : fd_(db ? db->fd : -1), guard_(threads()) { locked_ = fd_ >= 0 && set(type); }
    ~FileLock() {
        if (locked_) set(F_UNLCK);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    static std::mutex& threads() {
        static std::mutex m;
        return m;
    }
    bool set(short type) {
        struct flock l;
        memset(&l, 0, sizeof l);
        l.l_type = type;
        l.l_whence = SEEK_SET;  // from 0 to the end, as qdbm locks
        int rc;
        if (!processLock_) {
            while ((rc = fcntl(fd_, F_OFD_SETLKW, &l)) < 0 && errno == EINTR) {
            }
            if (rc == 0 || errno != EINVAL) return rc == 0;
            processLock_ = true;
        }
        while ((rc = fcntl(fd_, F_SETLKW, &l)) < 0 && errno == EINTR) {
        }
        return rc == 0;
    }

    int fd_;
    std::lock_guard<std::mutex> guard_;
    bool locked_ = false;
    bool processLock_ = false;
};

// A handle's idea of where the file ends comes from its open or its last
// catch-up. qdbm takes a link to a record appended by another process since
// then for a broken file and gives the whole handle up as fatal.
inline void seeFile(DEPOT* db) {
    struct stat st;
    if (!db->fatal && fstat(db->fd, &st) == 0 && st.st_size > db->fsiz && st.st_size <= INT_MAX)
        db->fsiz = (int)st.st_size;
}

}  // namespace depotsync

// Brings a handle opened without the lock up to the file's end at a moment
// when no writer that locks is half-way (an iteration then sees every
// record written so far, and only whole ones).
inline void depotSeeAll(DEPOT* db) {
    if (!db) return;
    depotsync::FileLock l(db, F_RDLCK);
    depotsync::seeFile(db);
}

// dpgetwb through a handle opened without the lock: under the shared lock, so
// that no writer links new records in while the search follows the links.
inline int depotGet(DEPOT* db, const char* key, int ksize, char* buf, int cap) {
    depotsync::FileLock l(db, F_RDLCK);
    depotsync::seeFile(db);
    return dpgetwb(db, key, ksize, 0, cap, buf);
}

inline void depotCatchUp(DEPOT* db) {
    using namespace depotsync;
    if (!db || !db->wmode || db->fatal) return;
    // Appends go after everything the file holds; a file that another
    // handle optimized or repaired may also have become shorter.
    struct stat st;
    if (fstat(db->fd, &st) == 0 && st.st_size <= INT_MAX) db->fsiz = (int)st.st_size;
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

// Puts the handle's file size and record count into the header (the shared
// mapping: every process sees them at once), as a flush does, without
// syncing the file.
inline void depotPublish(DEPOT* db) {
    using namespace depotsync;
    if (!db || !db->wmode || db->fatal || !db->map || db->msiz < kRecordCountAt + 4) return;
    memcpy(db->map + kFileSizeAt, &db->fsiz, sizeof(int32_t));
    memcpy(db->map + kRecordCountAt, &db->rnum, sizeof(int32_t));
    Seen& s = seen();
    std::lock_guard<std::mutex> g(s.lock);
    s.count[db] = db->rnum;  // the header holds this handle's count now
}

// Drops what the catch-up remembers of a handle that is being closed.
inline void depotForget(const DEPOT* db) {
    depotsync::Seen& s = depotsync::seen();
    std::lock_guard<std::mutex> g(s.lock);
    s.count.erase(db);
}

inline int depotFlush(DEPOT* db) {
    depotCatchUp(db);
    const int ok = dpmemflush(db);
    depotPublish(db);
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
    depotForget(db);
    return dpclose(db);
}
