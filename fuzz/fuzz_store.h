// Laying a Depot store from a fuzz input, shared by the targets that do.
#pragma once

#include <depot.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_util.h"

// Applies one chunk to the key: selector bit 7 deletes it (missing or not),
// otherwise the bytes become its value. False when the put fails.
inline bool applyChunk(DEPOT* db, const std::string& key, const Chunk& c) {
    if (c.sel & 0x80) {
        dpout(db, key.data(), int(key.size()));
        return true;
    }
    return dpput(db, key.data(), int(key.size()), c.v, int(c.len), DP_DOVER);
}
