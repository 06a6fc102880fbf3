// Laying a Depot store from a fuzz input, shared by the targets that do.
#pragma once

#include <depot.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_util.h"

// Applies one chunk of nextChunk: selector bit 7 deletes the key (missing or
// not), otherwise the bytes become its value. False when the put fails.
inline bool applyChunk(DEPOT* db, const std::string& key, uint8_t sel, const char* v, size_t len) {
    if (sel & 0x80) {
        dpout(db, key.data(), int(key.size()));
        return true;
    }
    return dpput(db, key.data(), int(key.size()), v, int(len), DP_DOVER);
}
