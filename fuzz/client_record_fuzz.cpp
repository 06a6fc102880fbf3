// Client records as another process may have left them in /tmp/cdb: the
// input is split at zero bytes into the sixteen field values of one client
// (missing ones stay absent), stored in a private Depot file and read back
// with readClientDataFromDB. Every text must end inside its field.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "hacore/Client.h"

namespace {

char g_dir[] = "/tmp/client-fuzz.XXXXXX";
std::string g_path;

void cleanup() {
    unlink(g_path.c_str());
    rmdir(g_dir);
}

DEPOT* store() {
    static DEPOT* db = [] {
        if (!mkdtemp(g_dir)) abort();
        g_path = std::string(g_dir) + "/cdb";
        atexit(cleanup);
        return dpopen(g_path.c_str(), DP_OWRITER | DP_OCREAT | DP_ONOLCK | DP_OSPARSE, 1);
    }();
    return db;
}

template <size_t N>
void terminated(const char (&field)[N]) {
    if (strnlen(field, N) >= N) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kSuffixes[] = {"IP", "MC", "CT", "NM", "LE", "AC", "WT",  "TY",
                                            "RS", "BL", "SB", "MF", "UT", "NI", "FEA", "PF"};
    DEPOT* db = store();
    if (!db) abort();
    const char* p = reinterpret_cast<const char*>(data);
    const char* end = p + size;
    for (const char* suffix : kSuffixes) {
        std::string key = std::string("7.") + suffix;
        if (p >= end) {
            dpout(db, key.data(), (int)key.size());
            continue;
        }
        const char* zero = static_cast<const char*>(memchr(p, 0, end - p));
        const char* stop = zero ? zero : end;
        dpput(db, key.data(), (int)key.size(), p, (int)(stop - p), DP_DOVER);
        p = zero ? zero + 1 : end;
    }
    ClientBin rec;
    readClientDataFromDB(&rec, db, (char*)"7");
    terminated(rec.name);
    terminated(rec.connectionType);
    terminated(rec.mac);
    terminated(rec.ip);
    terminated(rec.vendor);
    terminated(rec.portForward);
    if (rec.clientID != 7 || rec.rx || rec.tx || rec.security < 0 || rec.security > 3) abort();
    Client c(rec);
    char text[96];
    c.getScheduleData(text);
    return 0;
}
