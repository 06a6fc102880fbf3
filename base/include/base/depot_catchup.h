// A Depot writer keeps the file size and record count it saw when it opened:
// it appends at that size and writes both back into the file's header when it
// flushes or closes. The hub's processes share the stores without file
// locks, so another writer may have appended since this handle opened; its
// records would then be overwritten by this handle's and cut off by its
// close. Catching up with the file before every write, deletion, flush and
// close keeps them: appends go after everything the file holds, the count
// takes in what the others added or removed, and the header never goes back.
#pragma once

#include <mutex>

extern "C" {
#include <depot.h>
}

namespace depotsync {

// qdbm's lock on the whole file, taken by a handle opened without it for one
// read or write. It is the open file description's where the kernel has such
// locks (3.15 on): threads of this process exclude each other too, and a
// close of another descriptor of the file does not drop it. Older kernels
// get the process's record lock; a process-wide mutex keeps this process's
// users apart there.
class FileLock {
public:
    FileLock(DEPOT* db, short type);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    bool set(short type);

    int fd_;
    std::lock_guard<std::mutex> guard_;
    bool locked_ = false;
    bool processLock_ = false;
};

}  // namespace depotsync

// Brings a handle opened without the lock up to the file's end at a moment
// when no writer that locks is half-way (an iteration then sees every
// record written so far, and only whole ones).
void depotSeeAll(DEPOT* db);

// dpgetwb through a handle opened without the lock: under the shared lock, so
// that no writer links new records in while the search follows the links.
int depotGet(DEPOT* db, const char* key, int ksize, char* buf, int cap);

// Catches a writer up with the file: appends go after everything the file
// holds, and the record count takes in what other handles added or removed.
void depotCatchUp(DEPOT* db);

// dpput, dpout, dpmemflush and dpclose of a handle that may share the file
// with other writers.
int depotPut(DEPOT* db, const char* key, int ksize, const char* value, int vsize, int mode);
int depotOut(DEPOT* db, const char* key, int ksize);
int depotFlush(DEPOT* db);
// A handle with nothing newer than the header holds leaves the header alone
// at its close: a read-only use of a writer (every device load) then never
// writes into the file while another process does.
int depotClose(DEPOT* db);

// Puts the handle's file size and record count into the header (the shared
// mapping: every process sees them at once), as a flush does, without
// syncing the file.
void depotPublish(DEPOT* db);

// Drops what the catch-up remembers of a handle that is being closed.
void depotForget(const DEPOT* db);
