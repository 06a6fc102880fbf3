// Lays down device records in /tmp/ddb the way the HA server writes them.
#pragma once

#include <cstring>
#include <string>

extern "C" {
#include <depot.h>
}

#include "hacore/records.h"

namespace testkit {

inline void ddbPut(const std::string& key, const void* data, int len, const char* path = "/tmp/ddb") {
    DEPOT* db = dpopen(path, DP_OWRITER | DP_OCREAT, 1);
    if (!db) return;
    dpput(db, key.data(), (int)key.size(), static_cast<const char*>(data), len, DP_DOVER);
    dpclose(db);
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
    dpclose(db);
    return out;
}

inline int ddbCount(const char* path = "/tmp/ddb") {
    DEPOT* db = dpopen(path, DP_OREADER, 1);
    if (!db) return -1;
    int n = dprnum(db);
    dpclose(db);
    return n;
}

inline DeviceRecord makeDevice(int id, const char* name, const char* location, int tech,
                               const char* typeName, int valueCount) {
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

inline ValueRecord makeValue(int index, const char* name, const char* value, int indexType,
                             int commandClass = 0, int commandIndex = 0, int endPoint = 1) {
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

}  // namespace testkit
