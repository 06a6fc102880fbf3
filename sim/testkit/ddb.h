// Lays down device records in /tmp/ddb the way the HA server writes them.
#pragma once

#include <cstring>
#include <string>

extern "C" {
#include <depot.h>
}

#include "hacore/records.h"
#include "base/depot_catchup.h"

namespace testkit {

inline void ddbPut(const std::string& key, const void* data, int len, const char* path = "/tmp/ddb") {
    DEPOT* db = dpopen(path, DP_OWRITER | DP_OCREAT, 1);
    if (!db) return;
    depotPut(db, key.data(), (int)key.size(), static_cast<const char*>(data), len, DP_DOVER);
    depotClose(db);
}

inline void ddbPutText(const std::string& key, const std::string& text, const char* path = "/tmp/ddb") {
    ddbPut(key, text.data(), (int)text.size(), path);
}

// Raw record under a key, or "" with *found = false.
inline std::string ddbGet(const std::string& key, bool* found = nullptr, const char* path = "/tmp/ddb") {
    std::string out;
    if (found) *found = false;
    DEPOT* db = dpopen(path, DP_OREADER, 1);
    if (!db) return out;
    int size = 0;
    char* v = dpget(db, key.data(), (int)key.size(), 0, -1, &size);
    if (v) {
        out.assign(v, size);
        free(v);
        if (found) *found = true;
    }
    depotClose(db);
    return out;
}

inline int ddbCount(const char* path = "/tmp/ddb") {
    DEPOT* db = dpopen(path, DP_OREADER, 1);
    if (!db) return -1;
    int n = dprnum(db);
    depotClose(db);
    return n;
}

inline DeviceRecord makeDevice(int id, const char* name, const char* location, int tech, const char* typeName,
                               int valueCount) {
    DeviceRecord r;
    memset(&r, 0, sizeof r);
    r.id = id;
    strncpy(r.name, name, sizeof r.name - 1);
    strncpy(r.location, location, sizeof r.location - 1);
    r.technology = tech;
    r.shortId = 65535;
    strncpy(r.typeName, typeName, sizeof r.typeName - 1);
    strncpy(r.friendlyType, typeName, sizeof r.friendlyType - 1);
    strncpy(r.associationTime, "1700000000", sizeof r.associationTime - 1);
    r.allowNotification = 1;
    r.valueCount = valueCount;
    return r;
}

inline void putDevice(const DeviceRecord& r) { ddbPut(std::to_string(r.id), &r, sizeof r); }

inline ValueRecord makeValue(int index, const char* name, const char* value, int indexType, int commandClass = 0,
                             int commandIndex = 0, int endPoint = 1) {
    ValueRecord v;
    memset(&v, 0, sizeof v);
    v.index = index;
    strncpy(v.name, name, sizeof v.name - 1);
    strncpy(v.value, value, sizeof v.value - 1);
    v.commandClass = commandClass;
    v.commandIndex = commandIndex;
    v.endPoint = endPoint;
    v.indexType = indexType;
    return v;
}

inline void putValue(int deviceId, const ValueRecord& v) {
    ddbPut(std::to_string(deviceId) + "." + std::to_string(v.index), &v, sizeof v);
}

// Writes what the first load of the device would write as its defaults (the
// HA server stores them with a new device). Tests that run the hub's servers
// beside loads lay devices down whole, so that no load of theirs writes into
// the store, without a lock, while a server writes it.
inline void completeDevice(int deviceId, const char* path = "/tmp/ddb") {
    DEPOT* db = dpopen(path, DP_OWRITER | DP_OCREAT, 1);
    if (!db) return;
    const std::string id = std::to_string(deviceId);
    DeviceRecord r;
    if (dpgetwb(db, id.data(), (int)id.size(), 0, sizeof r, reinterpret_cast<char*>(&r)) == (int)sizeof r) {
        static const struct {
            const char* suffix;
            const char* value;
            int size;
        } kAttributes[] = {
            {"LT", "0", 10}, {"MI", "Unknown", 20}, {"VS", "Unknown", 10}, {"MN", "Unknown", 10}, {"ST", "0", 10}};
        for (const auto& a : kAttributes) {
            const std::string key = id + "." + a.suffix;
            char padded[32] = {0};
            strncpy(padded, a.value, sizeof padded - 1);
            if (dpvsiz(db, key.data(), (int)key.size()) < 0)
                depotPut(db, key.data(), (int)key.size(), padded, a.size, DP_DOVER);
        }
        const ValueRecord security = makeValue(0, "SECURITYDEVICE", "0", 118, 0, 0, 0);
        for (int i = 0; i <= r.valueCount && i <= 1024; ++i) {
            const std::string key = id + "." + std::to_string(i);
            if (dpvsiz(db, key.data(), (int)key.size()) < 0)
                depotPut(db, key.data(), (int)key.size(), reinterpret_cast<const char*>(&security), sizeof security,
                         DP_DOVER);
        }
    }
    depotClose(db);
}

}  // namespace testkit
