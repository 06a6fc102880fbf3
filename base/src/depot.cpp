#include "base/depot.h"

#include <cstdio>
#include <unistd.h>

#include "base/depot_catchup.h"

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
