// A Depot writer keeps the file size and record count it saw when it opened:
// it appends at that size and writes both back into the file's header when it
// flushes or closes. The hub's processes share the stores without file
// locks, so another writer may have appended since this handle opened; its
// records would then be overwritten by this handle's and cut off by its
// close. Catching up with the file before every write, flush and close keeps
// them: appends go after everything the file holds, and the header never
// goes back.
#pragma once

#include <climits>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>

extern "C" {
#include <depot.h>
}

inline void depotCatchUp(DEPOT* db) {
    enum { kRecordCountAt = 40 };  // in the header, after the file size at 24
    if (!db || !db->wmode || db->fatal) return;
    struct stat st;
    if (fstat(db->fd, &st) == 0 && st.st_size > db->fsiz && st.st_size <= INT_MAX) db->fsiz = (int)st.st_size;
    if (db->map && db->msiz > kRecordCountAt + 4) {
        int32_t count;
        memcpy(&count, db->map + kRecordCountAt, sizeof count);
        if (count > db->rnum) db->rnum = count;
    }
}

// dpput and dpclose of a handle that may share the file with other writers.
inline int depotPut(DEPOT* db, const char* key, int ksize, const char* value, int vsize, int mode) {
    depotCatchUp(db);
    return dpput(db, key, ksize, value, vsize, mode);
}

inline int depotClose(DEPOT* db) {
    depotCatchUp(db);
    return dpclose(db);
}
