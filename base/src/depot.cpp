// The one file that knows qdbm 1.8's Depot beyond its API: the handle's
// fields (catch-up of writers sharing a file, closes as a reader) and the
// file's layout (reads that bypass qdbm's record-by-record walk). Everything
// else goes through qdbm's functions.
#include "base/depot.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

#include "base/depot_catchup.h"
#include "base/depot_layout.h"

namespace hbase {

const char* depotError() { return dperrmsg(dpecode); }

DEPOT* openRepairing(const char* path, int mode, const RepairPolicy& policy) {
    DEPOT* db = dpopen(path, mode, 1);
    if (db) return db;
    fprintf(stderr, "dpopen: %s\n", depotError());
    if (policy.onFailedOpen) policy.onFailedOpen();
    dprepair(path);
    db = dpopen(path, policy.reopenMode, 1);
    if (db) return db;
    if (policy.reportUnrepaired) fprintf(stderr, "cannot repair: %s\n", depotError());
    if (policy.onFailedOpen) policy.onFailedOpen();
    if (policy.removeUnrepaired) unlink(path);
    return nullptr;
}

bool startWalk(DEPOT* db) {
    depotSeeAll(db);
    if (dpiterinit(db)) return true;
    fprintf(stderr, "dpiterinit: %s\n", depotError());
    return false;
}

bool closeDepot(DEPOT* db, bool asReader) {
    if (asReader) db->wmode = 0;
    if (dpclose(db)) return true;
    fprintf(stderr, "dpclose: %s\n", depotError());
    return false;
}

}  // namespace hbase

// ---- writers sharing a file ----

namespace depotsync {

namespace {

enum { kFileSizeAt = 24, kRecordCountAt = 40 };  // in the header

bool header(const DEPOT* db, int at, int32_t* v) {
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
Seen& seen() {
    static Seen s;
    return s;
}

// Keeps this process's users of the process-wide record lock apart.
std::mutex& threads() {
    static std::mutex m;
    return m;
}

}  // namespace

FileLock::FileLock(DEPOT* db, short type) : fd_(db ? db->fd : -1), guard_(threads()) {
    locked_ = fd_ >= 0 && set(type);
}

FileLock::~FileLock() {
    if (locked_) set(F_UNLCK);
}

bool FileLock::set(short type) {
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

namespace {

// A handle's idea of where the file ends comes from its open or its last
// catch-up. qdbm takes a link to a record appended by another process since
// then for a broken file and gives the whole handle up as fatal.
void seeFile(DEPOT* db) {
    struct stat st;
    if (!db->fatal && fstat(db->fd, &st) == 0 && st.st_size > db->fsiz && st.st_size <= INT_MAX)
        db->fsiz = (int)st.st_size;
}

}  // namespace

}  // namespace depotsync

// Brings a handle opened without the lock up to the file's end at a moment
// when no writer that locks is half-way (an iteration then sees every
// record written so far, and only whole ones).
void depotSeeAll(DEPOT* db) {
    if (!db) return;
    depotsync::FileLock l(db, F_RDLCK);
    depotsync::seeFile(db);
}

// dpgetwb through a handle opened without the lock: under the shared lock, so
// that no writer links new records in while the search follows the links.
int depotGet(DEPOT* db, const char* key, int ksize, char* buf, int cap) {
    depotsync::FileLock l(db, F_RDLCK);
    depotsync::seeFile(db);
    return dpgetwb(db, key, ksize, 0, cap, buf);
}

void depotCatchUp(DEPOT* db) {
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
int depotPut(DEPOT* db, const char* key, int ksize, const char* value, int vsize, int mode) {
    depotCatchUp(db);
    return dpput(db, key, ksize, value, vsize, mode);
}

int depotOut(DEPOT* db, const char* key, int ksize) {
    depotCatchUp(db);
    return dpout(db, key, ksize);
}

// Puts the handle's file size and record count into the header (the shared
// mapping: every process sees them at once), as a flush does, without
// syncing the file.
void depotPublish(DEPOT* db) {
    using namespace depotsync;
    if (!db || !db->wmode || db->fatal || !db->map || db->msiz < kRecordCountAt + 4) return;
    memcpy(db->map + kFileSizeAt, &db->fsiz, sizeof(int32_t));
    memcpy(db->map + kRecordCountAt, &db->rnum, sizeof(int32_t));
    Seen& s = seen();
    std::lock_guard<std::mutex> g(s.lock);
    s.count[db] = db->rnum;  // the header holds this handle's count now
}

// Drops what the catch-up remembers of a handle that is being closed.
void depotForget(const DEPOT* db) {
    depotsync::Seen& s = depotsync::seen();
    std::lock_guard<std::mutex> g(s.lock);
    s.count.erase(db);
}

int depotFlush(DEPOT* db) {
    depotCatchUp(db);
    const int ok = dpmemflush(db);
    depotPublish(db);
    return ok;
}

// A handle with nothing newer than the header holds leaves the header alone
// at its close: a read-only use of a writer (every device load) then never
// writes into the file while another process does.
int depotClose(DEPOT* db) {
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

// ---- the file's layout ----

namespace hbase {

// The file layout, hash and handle fields read here are qdbm 1.8's: with any
// other qdbm the store goes through qdbm's API only.
bool knownDepotLayout() { return dpversion && strncmp(dpversion, "1.8.", 4) == 0; }

namespace {

// The hash that orders the search tree of a Depot bucket (qdbm 1.8).
int32_t treeHash(const char* key, int size) {
    uint32_t sum = 19780211;
    for (int i = size - 1; i >= 0; i--) sum = sum * 37 + (unsigned char)key[i];
    return int32_t((sum * 43321879u) & 0x7fffffffu);
}

}  // namespace

// One read per node: qdbm's own get seeks and then reads each node, twice the
// system calls on a path of a dozen nodes or more.
int lookUp(DEPOT* db, const char* key, int ksize, char* buf, int cap, int* found) {
    enum { kHead = 48, kRecHead = 7 * 4, kNode = 128, kMaxSteps = 4096 };
    if (!knownDepotLayout() || dpbnum(db) != 1 || !db->buckets) return -2;
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

bool readStretch(DEPOT* db, int at, int size, Stretch& out) {
    enum { kRecHead = 7 * 4 };
    out.bytes.clear();
    out.records.clear();
    const int end = dpfsiz(db);
    if (!knownDepotLayout() || at < 0 || at >= end || size <= 0) return false;
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
    if (!knownDepotLayout()) return false;
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

}  // namespace hbase
