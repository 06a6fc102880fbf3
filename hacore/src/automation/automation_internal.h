// Internals of scenes and rules shared by their sources (and the fuzz
// targets): the store readers and the RSC requests.
#pragma once

#include <string>
#include <vector>

#include "channel/channel_internal.h"
#include "hacore/Rule.h"
#include "hacore/Scene.h"
#include "hacore/packets.h"
#include "store/store_internal.h"

namespace automation {

// Largest decimal key without a dot, plus 1 (1 for an empty store).
int nextId(DEPOT* db);

// True for a key made of decimal digits only, with its value in *id.
bool isRecordKey(const std::string& key, int* id);
// The IDs of the store's records, in the store's order (the store is closed
// again before the caller loads them); flush writes the handle's cache first.
std::vector<int> recordIds(const char* store, bool flush);

}  // namespace automation

// Reads a scene from an open store into s. Returns true, or false with the
// value to throw in *thrown.
struct SceneStore {
    static bool read(DEPOT* db, Scene& s, int* thrown);
    static void setId(Scene& s, int id) { s.id = id; }
    static int entryCount(const Scene& s) { return s.entryCount; }
};

// A repair request found while reading a rule.
struct RuleRepair {
    int command;       // 1, 15 or 17
    std::string text;  // for command 1
    int k;             // for 15 and 17
};

struct RuleStore {
    // Reads a rule from an open store into r; the repairs it needs are
    // appended to *repairs. Returns false (the rule's name record missing,
    // ID set to 0) when the caller must throw 0.
    static bool read(DEPOT* db, Rules& r, std::vector<RuleRepair>* repairs);
    static void setId(Rules& r, int id) { r.id = id; }
    // The fields a trigger or result of that type keeps; others zeroed,
    // texts terminated. False for a type that is not accepted.
    static bool keepFields(const RuleTrigger& in, RuleTrigger* out);
    static bool keepFields(const RuleResult& in, RuleResult* out);
};
