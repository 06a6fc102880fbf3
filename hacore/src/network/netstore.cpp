#include "network/netstore_internal.h"

#include <cstdio>
#include <cstdlib>

#include "base/depot.h"

namespace hastore {

Store openClientStore(const char* path) {
    return Store(hbase::openRepairing(path, kWriteMode, {kReadMode, true, true, nullptr}));
}

// A fixed command: nothing of the caller's reaches the shell.
static void meshDebugLine() {
    int rc = system("echo `date` mdb open failure in hasever >> /tmp/meshdebug.log");
    (void)rc;
}

Store openMeshStore(const char* path) {
    return Store(hbase::openRepairing(path, kWriteMode, {kReadMode, false, false, meshDebugLine}));
}

}  // namespace hastore
