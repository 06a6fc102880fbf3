// RSC server: the scene store /tmp/sdb and the rule store /tmp/rdb, laid
// out as their readers in libhacore expect them.
//   /tmp/sdb: "<id>" = "<id>"; "<id>.NM", ".EC", ".AT", ".ST", ".VC" texts;
//             "<id>.<k>" the 40-byte entry k (1-based)
//   /tmp/rdb: "<id>" = "<id>"; "<id>.NM", ".VA", ".RC", ".TC" texts;
//             "<id>.R<k>" 636-byte results, "<id>.T<k>" 624-byte triggers
// A request for a scene or rule that does not exist changes nothing; like
// every request it is answered "true" (no scene or rule operation reads
// the answer).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <depot.h>
}

#include "hacore/Rule.h"
#include "hacore/Scene.h"
#include "hub.h"
#include "server_store.h"

namespace hub {
namespace {

const char kScenes[] = "/tmp/sdb";
const char kRules[] = "/tmp/rdb";

std::string key(int id, const std::string& suffix) { return std::to_string(id) + "." + suffix; }

bool scene(const RSC_PACKET& p) {
    ServerStore db(kScenes);
    if (!db.isOpen()) return false;
    int id = p.int2;
    std::string t = rscText(p);
    if (p.command == 6) {
        db.removeWhere([](const std::string&) { return true; });
        return true;
    }
    if (id <= 0) return false;
    if (p.command == 3) {
        if (db.has(std::to_string(id))) return false;
        db.put(std::to_string(id), std::to_string(id));
        db.put(key(id, "NM"), t.substr(0, 32));
        db.put(key(id, "EC"), "0");
        db.put(key(id, "AT"), "0");
        db.put(key(id, "ST"), "false");
        db.put(key(id, "VC"), "false");
        return true;
    }
    if (!db.has(std::to_string(id))) return false;
    int count = db.number(key(id, "EC"));
    switch (p.command) {
        case 4:
            db.put(key(id, "NM"), t.substr(0, 32));
            return true;
        case 5: {  // add or change the entry of (device, index)
            SceneEntry e;
            int at = 0;
            for (int k = 1; k <= count && !at; ++k) {
                std::string v;
                if (!db.get(key(id, std::to_string(k)), &v) || v.size() < sizeof e) continue;
                memcpy(&e, v.data(), sizeof e);
                if (e.deviceID == p.int1 && e.index == p.int5) at = k;
            }
            if (!at) {
                memset(&e, 0, sizeof e);
                e.valid = 1;
                e.deviceID = p.int1;
                e.index = p.int5;
                at = ++count;
                db.put(key(id, "EC"), std::to_string(count));
            }
            memset(e.value, 0, sizeof e.value);
            strncpy(e.value, t.c_str(), sizeof e.value - 1);
            db.put(key(id, std::to_string(at)), &e, sizeof e);
            return true;
        }
        case 7:
            for (int k = 1; k <= count; ++k) db.out(key(id, std::to_string(k)));
            db.put(key(id, "EC"), "0");
            return true;
        case 8:
            db.removeRecord(id);
            return true;
        case 9:
            db.put(key(id, "ST"), p.int6 ? "true" : "false");
            if (!t.empty()) db.put(key(id, "AT"), t);
            return true;
        case 10: {  // "true, 3"
            size_t comma = t.find(", ");
            if (comma == std::string::npos) return false;
            int k = atoi(t.c_str() + comma + 2);
            std::string v;
            if (k < 1 || k > count || !db.get(key(id, std::to_string(k)), &v) || v.size() < sizeof(SceneEntry))
                return false;
            SceneEntry e;
            memcpy(&e, v.data(), sizeof e);
            e.valid = t.compare(0, comma, "true") == 0 ? 1 : 0;
            db.put(key(id, std::to_string(k)), &e, sizeof e);
            return true;
        }
        case 11:
            db.put(key(id, "VC"), p.int6 ? "true" : "false");
            return true;
    }
    return false;
}

// "Rule, ID, <id>, <group>, <field>, <value>, /tmp/rdb"
bool ruleField(ServerStore& db, const std::string& t) {
    std::vector<std::string> f = split(t, ", ");
    if (f.size() != 7 || f[0] != "Rule" || f[1] != "ID" || f[6] != kRules) return false;
    int id = atoi(f[2].c_str());
    if (id <= 0 || !db.has(std::to_string(id))) return false;
    const char* suffix = f[3] == "Rule" && f[4] == "Valid"       ? "VA"
                         : f[3] == "Results" && f[4] == "Count"  ? "RC"
                         : f[3] == "Triggers" && f[4] == "Count" ? "TC"
                                                                 : nullptr;
    if (!suffix) return false;
    db.put(key(id, suffix), std::to_string(atoi(f[5].c_str())));
    return true;
}

// Removes item k of the kind ('R' or 'T') and closes the gap.
void removeItem(ServerStore& db, int id, char kind, const char* countKey, int k) {
    int count = db.number(key(id, countKey));
    if (k < 1 || k > count) return;
    for (int i = k; i < count; ++i) {
        std::string v;
        if (db.get(key(id, std::string(1, kind) + std::to_string(i + 1)), &v))
            db.put(key(id, std::string(1, kind) + std::to_string(i)), v);
    }
    db.out(key(id, std::string(1, kind) + std::to_string(count)));
    db.put(key(id, countKey), std::to_string(count - 1));
}

// Appends the item the request carries, valid, as the kind's next one.
template <typename Item>
void appendItem(ServerStore& db, int id, char kind, const char* countKey, const RSC_PACKET& p) {
    Item item;
    memcpy(&item, p.text, sizeof item);
    item.valid = 1;
    int n = db.number(key(id, countKey)) + 1;
    db.put(key(id, std::string(1, kind) + std::to_string(n)), &item, sizeof item);
    db.put(key(id, countKey), std::to_string(n));
}

template <typename Item>
bool setItemValid(ServerStore& db, int id, char kind, const char* countKey, int32_t Item::*idField, int itemId,
                  int flag) {
    int count = db.number(key(id, countKey));
    for (int k = 1; k <= count; ++k) {
        std::string v;
        std::string kk = key(id, std::string(1, kind) + std::to_string(k));
        if (!db.get(kk, &v) || v.size() < sizeof(Item)) continue;
        Item item;
        memcpy(&item, v.data(), sizeof item);
        if (item.*idField != itemId) continue;
        item.valid = flag ? 1 : 0;
        db.put(kk, &item, sizeof item);
        return true;
    }
    return true;
}

bool rule(const RSC_PACKET& p) {
    ServerStore db(kRules);
    if (!db.isOpen()) return false;
    if (p.command == 1 || p.command == 24) return ruleField(db, rscText(p));
    if (p.command == 20) {
        db.removeWhere([](const std::string&) { return true; });
        return true;
    }
    int id = p.int3;
    if (id <= 0) return false;
    if (p.command == 12) {
        if (db.has(std::to_string(id))) return false;
        db.put(std::to_string(id), std::to_string(id));
        db.put(key(id, "NM"), rscText(p).substr(0, 1023));
        db.put(key(id, "VA"), "0");
        db.put(key(id, "RC"), "0");
        db.put(key(id, "TC"), "0");
        return true;
    }
    if (!db.has(std::to_string(id))) return false;
    switch (p.command) {
        case 13:
            appendItem<RuleResult>(db, id, 'R', "RC", p);
            return true;
        case 14:
            appendItem<RuleTrigger>(db, id, 'T', "TC", p);
            return true;
        case 15:
            removeItem(db, id, 'R', "RC", p.int5);
            return true;
        case 17:
            removeItem(db, id, 'T', "TC", p.int5);
            return true;
        case 16:
        case 18: {
            const char* countKey = p.command == 16 ? "RC" : "TC";
            std::string prefix = std::to_string(id) + (p.command == 16 ? ".R" : ".T");
            db.removeWhere([&](const std::string& k) {
                return k.compare(0, prefix.size(), prefix) == 0 && k.size() > prefix.size() &&
                       k.find_first_not_of("0123456789", prefix.size()) == std::string::npos;
            });
            db.put(key(id, countKey), "0");
            return true;
        }
        case 19:
            db.removeRecord(id);
            return true;
        case 21:
            db.put(key(id, "NM"), rscText(p).substr(0, 1023));
            return true;
        case 22:
            return setItemValid<RuleResult>(db, id, 'R', "RC", &RuleResult::resultID, p.int1, p.int5);
        case 23:
            return setItemValid<RuleTrigger>(db, id, 'T', "TC", &RuleTrigger::triggerID, p.int1, p.int5);
    }
    return false;
}

}  // namespace

bool isAutomationRequest(int command) { return command >= 1 && command <= 24 && command != 2; }

bool applyAutomationRequest(const RSC_PACKET& p) {
    bool applied = p.command >= 3 && p.command <= 11 ? scene(p) : rule(p);
    if (!applied) fprintf(stderr, "rsc: request %d changed nothing\n", p.command);
    return true;
}

}  // namespace hub
