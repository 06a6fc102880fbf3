// Debug counters in /tmp/debugdb, written by the library itself.
#include "hacore/HalvixDebug.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "store/store_internal.h"
#include "base/text.h"

char debugArr[7][7] = {"CLDCCT", "INDCCT", "HTDCCT", "CLRTCT", "CLCNTI", "INCNTI", "HTCNTI"};

namespace {

const char kStore[] = "/tmp/debugdb";

bool isGroup(int g) { return g >= CLCNTI && g <= HTCNTI; }

void slotKey(char* key, size_t size, int group, int slot) { snprintf(key, size, "%s.%d", debugArr[group], slot); }

}  // namespace

HalvixDebug::HalvixDebug() {}
HalvixDebug::~HalvixDebug() {}

void HalvixDebug::SetDebugValue(ADebug code, char* value) {
    if (code < CLDCCT || code > CLRTCT || !value) return;
    // Four bytes of the text, zero-padded: never bytes beyond its end.
    char v[4] = {0};
    memcpy(v, value, strnlen(value, sizeof v));
    hastore::with(kStore, hastore::kWriteMode, [&](DEPOT* db) { hastore::put(db, debugArr[code], v, sizeof v); });
}

int HalvixDebug::GetDebugValue(ADebug code, char* out) {
    if (code < CLDCCT || code > CLCNTI || !out) return 0;
    int found = 0;
    hastore::with(kStore, hastore::kWriteMode, [&](DEPOT* db) {
        char v[5];
        if (hastore::getText(db, debugArr[code], v, 4)) {
            strcpy(out, v);
            found = 1;
        } else {
            fprintf(stderr, "dpget: %s\n", hastore::lastError());
        }
    });
    return found;
}

void HalvixDebug::SetConnectionTime(ADebug group, ConnectionTime rec, int slot) {
    if (!isGroup(group) || slot < 0 || slot > 10) return;
    char key[32];
    slotKey(key, sizeof key, group, slot);
    hastore::with(kStore, hastore::kWriteMode, [&](DEPOT* db) { hastore::put(db, key, &rec, sizeof rec); });
}

int HalvixDebug::GetConnectionTime(ADebug group, ConnectionTime* out, int slot) {
    if (!isGroup(group) || !out) return 0;
    char key[32];
    slotKey(key, sizeof key, group, slot);
    int found = 0;
    hastore::with(kStore, hastore::kWriteMode, [&](DEPOT* db) {
        ConnectionTime rec;
        memset(&rec, 0, sizeof rec);
        if (hastore::get(db, key, &rec, sizeof rec) < 0) {
            fprintf(stderr, "dpget: %s\n", hastore::lastError());
            return;
        }
        hbase::copyText(out->connected, sizeof out->connected, rec.connected, sizeof rec.connected);
        hbase::copyText(out->disconnected, sizeof out->disconnected, rec.disconnected, sizeof rec.disconnected);
        found = 1;
    });
    return found;
}

int HalvixDebug::ClearConnectionTime(ADebug group) {
    bool ok = isGroup(group);
    hastore::with(kStore, hastore::kWriteMode, [&](DEPOT* db) {
        for (int slot = 1; ok && slot <= 10; ++slot) {
            char key[32];
            slotKey(key, sizeof key, group, slot);
            hastore::out(db, key);
        }
        hastore::optimize(db);
    });
    return ok ? 1 : 0;
}

void HalvixDebug::ClearDebugData() { unlink(kStore); }
