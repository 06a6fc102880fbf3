// The device store as the pairing client reads it. The client never writes
// it: the HA server stores what pairing finds.
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "base/depot.h"
#include "base/depot_catchup.h"
#include "internal.h"

namespace pairing {

DEPOT* openStore() {
    return hbase::openRepairing(DBName, DP_OREADER | DP_ONOLCK,
                                {DP_OWRITER | DP_OCREAT | DP_ONOLCK | DP_OSPARSE, false, true, nullptr});
}

// The handle of a repair is a writer that wrote nothing: it closes as a reader.
void closeStore(DEPOT* db) { hbase::closeDepot(db, true); }

int readRecord(DEPOT* db, const char* key, int ksize, void* buf, int cap) {
    return depotGet(db, key, ksize < 0 ? (int)strlen(key) : ksize, static_cast<char*>(buf), cap);
}

void forEachDevice(DEPOT* db, const std::function<void(const DeviceRecord&)>& f) {
    if (!hbase::startWalk(db)) return;
    while (char* key = dpiternext(db, nullptr)) {
        std::string k = key;
        free(key);
        if (k == "NextDevid" || k == "Version" || k.find('.') != std::string::npos) continue;
        DeviceRecord rec;
        memset(&rec, 0, sizeof rec);
        if (readRecord(db, k.data(), (int)k.size(), &rec, sizeof rec) < 0) break;
        f(rec);
    }
}

}  // namespace pairing
