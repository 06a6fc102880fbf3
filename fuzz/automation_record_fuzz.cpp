// Scene and rule records as another process may have left them in /tmp/sdb
// and /tmp/rdb: the input is a list of records (selector byte, 16-bit
// length, value) stored under the keys of scene 1 and rule 1 in private
// Depot files, then read with the library's store readers. Every text must
// end inside its field, counts stay bounded, and the repairs asked for
// name real item numbers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "automation/automation_internal.h"

#include "fuzz_util.h"

namespace {

char g_dir[] = "/tmp/automation-fuzz.XXXXXX";
std::string g_scenes, g_rules;

void cleanup() {
    unlink(g_scenes.c_str());
    unlink(g_rules.c_str());
    rmdir(g_dir);
}

const char* const kSceneKeys[] = {"1.NM", "1.EC", "1.AT", "1.ST", "1.VC", "1.1", "1.2", "1.3", "1.4"};
const char* const kRuleKeys[] = {"1.NM", "1.VA", "1.RC", "1.TC", "1.R1", "1.R2", "1.R3", "1.T1", "1.T2", "1.T3"};

DEPOT* fresh(const std::string& path) {
    unlink(path.c_str());
    DEPOT* db = dpopen(path.c_str(), DP_OWRITER | DP_OCREAT | DP_ONOLCK, 1);
    if (!db) abort();
    dpput(db, "1", 1, "1", 1, DP_DOVER);
    return db;
}

void checkText(const char* s, size_t field) {
    if (strnlen(s, field) >= field) abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!mkdtemp(g_dir)) abort();
    g_scenes = std::string(g_dir) + "/sdb";
    g_rules = std::string(g_dir) + "/rdb";
    atexit(cleanup);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DEPOT* sdb = fresh(g_scenes);
    DEPOT* rdb = fresh(g_rules);
    ChunkReader chunks(data, size, 0);
    for (Chunk c; chunks.next(c);) {
        if (c.sel & 0x80)
            dpput(rdb, kRuleKeys[c.sel % 10], -1, c.v, (int)c.len, DP_DOVER);
        else
            dpput(sdb, kSceneKeys[c.sel % 9], -1, c.v, (int)c.len, DP_DOVER);
    }

    Scene scene;
    SceneStore::setId(scene, 1);
    int thrown = 1;
    if (SceneStore::read(sdb, scene, &thrown)) {
        checkText(scene.getSceneName(), 33);
        std::list<SceneEntry> entries = scene.getSceneEntries();
        if (entries.size() > 4096) abort();
        for (const SceneEntry& e : entries) {
            checkText(e.value, 25);
            if (e.state != 0) abort();
        }
    } else if (thrown != 0 && thrown != -33) {
        abort();
    }

    Rules rule(0);
    RuleStore::setId(rule, 1);
    std::vector<RuleRepair> repairs;
    if (RuleStore::read(rdb, rule, &repairs)) {
        checkText(rule.getName(), 1024);
        for (const RuleTrigger& t : rule.getRuleTriggers()) {
            checkText(t.value, 25);
            checkText(t.day, 60);
            checkText(t.month, 60);
            checkText(t.weekday, 60);
            checkText(t.weatherValue, 25);
            checkText(t.text, 180);
            if (t.type == 3 || t.type < 0 || t.type > 5) abort();
        }
        for (const RuleResult& r : rule.getRuleResults()) {
            checkText(r.value, 25);
            if (r.type < 0 || r.type > 5) abort();
        }
        for (const RuleRepair& rep : repairs) {
            if (rep.command == 1 && rep.text.compare(0, 12, "Rule, ID, 1,") != 0) abort();
            if ((rep.command == 15 || rep.command == 17) && (rep.k < 1 || rep.k > 4096)) abort();
        }
    } else if (rule.getID() != 0) {
        abort();
    }
    dpclose(sdb);
    dpclose(rdb);
    return 0;
}
