// Opening the client, mesh and pro stores, whose open-and-repair steps
// differ a little from the common ones of store.h.
#pragma once

#include "store/store_internal.h"

namespace hastore {

// Client store: writer first; on failure "dpopen: %s\n", repair and open
// read-only; if that fails too "cannot repair: %s\n" and the file is removed.
Store openClientStore(const char* path);

// Mesh store: writer first; on failure "dpopen: %s\n", a dated line in
// /tmp/meshdebug.log, repair and open read-only; if that fails too another
// log line. The file is never removed.
Store openMeshStore(const char* path);

}  // namespace hastore
