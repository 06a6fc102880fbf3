// Opening the hub's qdbm Depot stores, with the repair each reader wants,
// and a handle that closes them.
#pragma once

#include <memory>

extern "C" {
#include <depot.h>
}

namespace hbase {

// The text of qdbm's last error.
const char* depotError();

// What an open does when the store cannot be opened: it always writes
// "dpopen: %s\n", repairs the file and opens it again in reopenMode.
struct RepairPolicy {
    int reopenMode;
    bool reportUnrepaired;   // "cannot repair: %s\n" when the reopen fails
    bool removeUnrepaired;   // delete the file when the reopen fails
    void (*onFailedOpen)();  // called after each failed open (may be null)
};

DEPOT* openRepairing(const char* path, int mode, const RepairPolicy& policy);

// Starts a walk over the keys, having caught up with what other processes
// wrote since the handle last looked; on failure writes "dpiterinit: %s\n"
// and returns false.
bool startWalk(DEPOT* db);

// Closes; on failure writes "dpclose: %s\n" and returns false. asReader:
// a writer handle that wrote nothing (a repair's) closes as a reader, so its
// close does not put back the header it saw over what others wrote since.
bool closeDepot(DEPOT* db, bool asReader = false);

struct DepotCloser {
    void operator()(DEPOT* db) const { closeDepot(db); }
};
// An open store, closed when it goes.
using DepotPtr = std::unique_ptr<DEPOT, DepotCloser>;

}  // namespace hbase
