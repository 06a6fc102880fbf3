// What qdbm's own API says a Depot store holds: the reference the store's
// faster reading is checked against, by its test and by its fuzz target.
#pragma once

#include <depot.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

using DepotRecords = std::vector<std::pair<std::string, std::string>>;

// Every record in qdbm's iteration order; false if the walk cannot start or
// a key it lists cannot be read (that record is left out).
inline bool recordsByApi(DEPOT* db, DepotRecords& out) {
    if (!dpiterinit(db)) return false;
    bool whole = true;
    int ksize = 0;
    while (char* k = dpiternext(db, &ksize)) {
        int vsize = 0;
        char* v = dpget(db, k, ksize, 0, -1, &vsize);
        if (v)
            out.emplace_back(std::string(k, ksize), std::string(v, vsize));
        else
            whole = false;
        free(v);
        free(k);
    }
    return whole;
}
