#include "netstore.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace hastore {

DEPOT* openClientStore(const char* path) {
    DEPOT* db = dpopen(path, kWriteMode, 1);
    if (db) return db;
    fprintf(stderr, "dpopen: %s\n", lastError());
    dprepair(path);
    db = dpopen(path, kReadMode, 1);
    if (db) return db;
    fprintf(stderr, "cannot repair: %s\n", lastError());
    unlink(path);
    return nullptr;
}

// A fixed command: nothing of the caller's reaches the shell.
static void meshDebugLine() {
    int rc = system("echo `date` mdb open failure in hasever >> /tmp/meshdebug.log");
    (void)rc;
}

DEPOT* openMeshStore(const char* path) {
    DEPOT* db = dpopen(path, kWriteMode, 1);
    if (db) return db;
    fprintf(stderr, "dpopen: %s\n", lastError());
    meshDebugLine();
    dprepair(path);
    db = dpopen(path, kReadMode, 1);
    if (!db) meshDebugLine();
    return db;
}

}  // namespace hastore
