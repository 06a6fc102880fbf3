// Rules: read from /tmp/rdb, changed through requests to the RSC server;
// time and sun-time triggers kept in the cron table.
#include "hacore/Rule.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "automation/automation_internal.h"
#include "automation/cron_internal.h"
#include "hacore/Device.h"
#include "hacore/HADevices.h"
#include "hacore/channel.h"
#include "base/text.h"

namespace {

const char kStore[] = "/tmp/rdb";
// A damaged count cannot make the reader walk millions of keys.
const int kMaxItems = 4096;

std::string key(int id, const char* suffix) { return std::to_string(id) + "." + suffix; }
std::string key(int id, char kind, int k) { return std::to_string(id) + "." + kind + std::to_string(k); }

std::string fieldText(int id, const char* group, const char* field, const char* value) {
    char text[200];
    snprintf(text, sizeof text, "%s, %s, %d, %s, %s, %s, %s", "Rule", "ID", id, group, field, value, kStore);
    return text;
}

bool sendField(int command, const std::string& text) {
    std::unique_ptr<RSC_PACKET> p = newRscPacket(command);
    hbase::copyText(p->text, sizeof p->text, text.c_str());
    p->int6 = 6;
    return sendRscPacket(p.get());
}

void sendSimple(int command, int int1, int int3, int int5) {
    std::unique_ptr<RSC_PACKET> p = newRscPacket(command);
    p->int1 = int1;
    p->int3 = int3;
    p->int5 = int5;
    sendRscPacket(p.get());
}

// Counts the records N.<kind>1, N.<kind>2, ... up to the first missing one.
int countRecords(DEPOT* db, int id, char kind, int cap) {
    std::vector<char> buf(cap);
    int n = 0;
    while (n < kMaxItems && hastore::get(db, key(id, kind, n + 1).c_str(), buf.data(), cap) >= 0) ++n;
    return n;
}

int readCount(DEPOT* db, int id, const char* suffix, char kind, int cap, const char* group,
              std::vector<RuleRepair>* repairs) {
    char text[11];
    if (!hastore::getText(db, key(id, suffix).c_str(), text, 10)) {
        int n = countRecords(db, id, kind, cap);
        repairs->push_back({1, fieldText(id, group, "Count", std::to_string(n).c_str()), 0});
        return n;
    }
    int n = atoi(text);
    return n < 0 ? 0 : n > kMaxItems ? kMaxItems : n;
}

template <size_t N>
void keepText(char (&dst)[N], const char (&src)[N], size_t limit = N) {
    hbase::copyText(dst, limit, src, limit - 1);
}

}  // namespace

bool RuleStore::keepFields(const RuleTrigger& in, RuleTrigger* out) {
    memset(out, 0, sizeof *out);
    int t = in.type;
    if (t != RT_Device && t != RT_Time && t != RT_Weather && t != RT_Kind4 && t != RT_Kind5) return false;
    out->type = t;
    out->storedValue = in.storedValue;
    out->triggerID = in.triggerID;
    out->valid = in.valid;
    if (t == RT_Device) out->deviceID = in.deviceID;
    if (t == RT_Device || t == RT_Kind5) {
        out->index = in.index;
        keepText(out->value, in.value);
    }
    if (t == RT_Time) {
        out->hour = in.hour;
        out->minute = in.minute;
        out->minutes = in.minutes;
        keepText(out->day, in.day);
        keepText(out->month, in.month);
        keepText(out->weekday, in.weekday);
    }
    if (t != RT_Time) {
        out->condition = in.condition;
        out->duration = in.duration;
    }
    if (t == RT_Kind4) out->kind4Value = in.kind4Value;
    if (t == RT_Weather) {
        out->weatherKind = in.weatherKind;
        keepText(out->weatherValue, in.weatherValue);
    }
    if (t == RT_Kind4 || t == RT_Kind5) out->subKind = in.subKind;
    if (t == RT_Kind4) keepText(out->text, in.text);
    if (t == RT_Kind5 && (in.subKind == 1 || in.subKind == 2)) keepText(out->text, in.text, 25);
    return true;
}

bool RuleStore::keepFields(const RuleResult& in, RuleResult* out) {
    memset(out, 0, sizeof *out);
    int t = in.type;
    if (t < RR_Device || t > RR_Kind5) return false;
    out->type = t;
    out->preDelay = in.preDelay;
    out->resultID = in.resultID;
    out->valid = in.valid;
    bool sub12 = t == RR_Kind5 && (in.subKind == 1 || in.subKind == 2);
    if (t == RR_Device) out->deviceID = in.deviceID;
    if (t == RR_Device || (t == RR_Kind5 && in.subKind != 2)) out->index = in.index;
    if (t == RR_Device || t == RR_Kind5) keepText(out->value, in.value);
    if (t == RR_Scene) out->sceneID = in.sceneID;
    if (t == RR_Kind1) out->kind1Value = in.kind1Value;
    if (t == RR_Kind4) out->kind4Value = in.kind4Value;
    if (t == RR_Kind5 && in.subKind == 2) out->kind5Byte = in.kind5Byte;
    if (t == RR_Kind1 || t == RR_Kind3) {
        out->number248 = in.number248;
        keepText(out->text, in.text);
    }
    if (sub12) {
        out->text[0] = in.text[0];
        out->text2[0] = in.text2[0];
    }
    if (t == RR_Kind4 || t == RR_Kind5) out->subKind = in.subKind;
    if (t == RR_Kind4) keepText(out->text2, in.text2);
    return true;
}

// Reads items 1 to count of the rule (results 'R' or triggers 'T'); one
// that is not accepted is left out and its removal (request `drop`) queued.
template <typename Item>
static void readItems(DEPOT* db, int id, char tag, int count, int drop, std::list<Item>& out,
                      std::vector<RuleRepair>* repairs) {
    for (int k = 1; k <= count; ++k) {
        Item stored, kept;
        memset(&stored, 0, sizeof stored);
        if (hastore::get(db, key(id, tag, k).c_str(), &stored, sizeof stored) < 0) continue;
        if (RuleStore::keepFields(stored, &kept))
            out.push_back(kept);
        else
            repairs->push_back({drop, std::string(), k});
    }
}

bool RuleStore::read(DEPOT* db, Rules& r, std::vector<RuleRepair>* repairs) {
    std::vector<char> text(1025);
    if (!hastore::getText(db, key(r.id, "NM").c_str(), text.data(), 1024)) {
        r.id = 0;
        r.name[0] = '\0';
        return false;
    }
    hbase::copyText(r.name, sizeof r.name, text.data());
    char va[11];
    if (!hastore::getText(db, key(r.id, "VA").c_str(), va, 10)) {
        repairs->push_back({1, fieldText(r.id, "Rule", "Valid", "1"), 0});
        r.valid = true;
    } else {
        r.valid = atoi(va) != 0;
    }
    int resultCount = readCount(db, r.id, "RC", 'R', sizeof(RuleResult), "Results", repairs);
    int triggerCount = readCount(db, r.id, "TC", 'T', sizeof(RuleTrigger), "Triggers", repairs);
    readItems(db, r.id, 'R', resultCount, 15, r.results, repairs);
    readItems(db, r.id, 'T', triggerCount, 17, r.triggers, repairs);
    return true;
}

Rules::Rules(int ruleId) : id(ruleId), valid(false) {
    name[0] = '\0';
    Refresh();
}

Rules::Rules(char* newName) : id(0), valid(false) {
    name[0] = '\0';
    hastore::Store db = hastore::open(kStore);
    if (!db) return;
    int newId = automation::nextId(db);
    hastore::memFlush(db);
    hastore::close(db);
    id = newId;
    hbase::copyText(name, sizeof name, newName);
    std::unique_ptr<RSC_PACKET> p = newRscPacket(12);
    hbase::copyText(p->text, sizeof p->text, name, sizeof name);
    p->int3 = newId;
    p->int5 = newId;
    sendRscPacket(p.get());
}

Rules::~Rules() {}

void Rules::Refresh() {
    if (id == 0) return;
    triggers.clear();
    results.clear();
    hastore::Store db = hastore::open(kStore);
    if (!db) return;
    std::vector<RuleRepair> repairs;
    bool ok = RuleStore::read(db, *this, &repairs);
    if (ok) hastore::memFlush(db);
    hastore::close(db);
    if (!ok) throw 0;
    // The repairs go out once the store is closed: the RSC server writes the
    // file, and a handle still open here would write its stale view back.
    for (const RuleRepair& rep : repairs) {
        if (rep.command == 1)
            sendField(1, rep.text);
        else
            sendSimple(rep.command, 0, id, rep.k);
    }
    if (!repairs.empty()) Persist(1, (char*)kStore);
}

int Rules::getID() { return id; }
char* Rules::getName() { return name; }
bool Rules::isValid() { return valid; }
std::list<RuleTrigger> Rules::getRuleTriggers() { return triggers; }
std::list<RuleResult> Rules::getRuleResults() { return results; }

bool Rules::checkForTimeTriggerValidation(RuleTrigger t) {
    return t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.minutes >= 0 && t.minutes <= 1439 &&
           isCronDayField(t.day) && isCronMonthField(t.month) && isCronWeekdayField(t.weekday);
}

namespace {
bool deviceIndexValid(int deviceID, int index) {
    try {
        Device d(deviceID);
        char answer[50];
        hbase::copyText(answer, sizeof answer, d.getValueName(index));
        return strcmp(answer, "#ERR") != 0;
    } catch (...) {
        return false;
    }
}

// A weather trigger's offset: empty, "0...", or an optional "-" and digits.
bool weatherOffsetValid(const char* v, int* offset) {
    size_t n = strnlen(v, 25);
    if (n >= 25) return false;
    *offset = 0;
    if (v[0] == '0' || n == 0) return true;
    size_t i = v[0] == '-' ? 1 : 0;
    if (n == i || n - i > 4) return false;
    for (size_t j = i; j < n; ++j)
        if (v[j] < '0' || v[j] > '9') return false;
    *offset = atoi(v);
    return true;
}
}  // namespace

bool Rules::checkForDeviceTriggerValidation(RuleTrigger t) { return deviceIndexValid(t.deviceID, t.index); }
bool Rules::checkForDeviceResultValidation(RuleResult r) { return deviceIndexValid(r.deviceID, r.index); }

bool Rules::checkForSceneResultValidation(RuleResult r) {
    try {
        Scene s(r.sceneID);
        return s.getID() != 0;
    } catch (...) {
        return false;
    }
}

bool Rules::checkForSingleDuration() {
    for (const RuleTrigger& t : triggers)
        if (t.duration != 0) return false;
    return true;
}

int Rules::addTrigger(RuleTrigger t) {
    if (id == 0) return 0;
    switch (t.type) {
        case RT_Device:
            if (!checkForDeviceTriggerValidation(t)) return 0;
            break;
        case RT_Time:
            if (!checkForTimeTriggerValidation(t)) return 0;
            break;
        case RT_Weather: {
            int offset;
            // The offset reaches a cron line: only a plain number passes.
            if ((t.weatherKind == 1 || t.weatherKind == 2) && !weatherOffsetValid(t.weatherValue, &offset)) return 0;
            break;
        }
        case RT_Kind4:
        case RT_Kind5:
            break;
        default:
            return 0;  // the reader drops such a trigger again
    }
    if (t.duration < 0 || t.duration % 60 != 0) return 0;
    if (t.duration != 0 && !checkForSingleDuration()) return 0;
    RuleTrigger kept = t;
    kept.valid = 1;
    triggers.push_back(kept);
    std::unique_ptr<RSC_PACKET> p = newRscPacket(14);
    memcpy(p->text, &t, sizeof t);
    p->int3 = id;
    sendRscPacket(p.get());
    return 1;
}

int Rules::addResult(RuleResult r) {
    if (id == 0) return 0;
    if (r.type == RR_Device && !checkForDeviceResultValidation(r)) return 0;
    if (r.type == RR_Scene && !checkForSceneResultValidation(r)) return 0;
    if (r.type < RR_Device || r.type > RR_Kind5) return 0;
    RuleResult kept = r;
    kept.valid = 1;
    results.push_back(kept);
    std::unique_ptr<RSC_PACKET> p = newRscPacket(13);
    memcpy(p->text, &r, sizeof r);
    p->int3 = id;
    sendRscPacket(p.get());
    return 1;
}

namespace {

// The trigger or result of the rule with that ID, or null.
RuleTrigger* byId(std::list<RuleTrigger>& l, int id) {
    for (RuleTrigger& t : l)
        if (t.triggerID == id) return &t;
    return nullptr;
}
RuleResult* byId(std::list<RuleResult>& l, int id) {
    for (RuleResult& r : l)
        if (r.resultID == id) return &r;
    return nullptr;
}

}  // namespace

int Rules::getPreDelay(int resultID) {
    const RuleResult* r = byId(results, resultID);
    return r ? r->preDelay : -1;
}

bool Rules::getResultValid(int resultID) {
    const RuleResult* r = byId(results, resultID);
    return r && r->valid != 0;
}

bool Rules::getTriggerValid(int triggerID) {
    const RuleTrigger* t = byId(triggers, triggerID);
    return t && t->valid != 0;
}

int Rules::getTriggerDuration(int triggerID) {
    const RuleTrigger* t = byId(triggers, triggerID);
    return t ? t->duration : 0;
}

int Rules::setResultValid(int resultID, bool on) {
    if (id == 0) return 0;
    sendSimple(22, resultID, id, on ? 1 : 0);
    if (RuleResult* r = byId(results, resultID)) r->valid = on ? 1 : 0;
    return 1;
}

int Rules::setTriggerValid(int triggerID, bool on) {
    if (id == 0) return 0;
    sendSimple(23, triggerID, id, on ? 1 : 0);
    if (RuleTrigger* t = byId(triggers, triggerID)) t->valid = on ? 1 : 0;
    return 1;
}

int Rules::removeAllResults() {
    if (id == 0) return 0;
    sendSimple(16, 0, id, (int)results.size());
    results.clear();
    return 1;
}

int Rules::removeAllTriggers() {
    if (id == 0) return 0;
    sendSimple(18, 0, id, (int)triggers.size());
    triggers.clear();
    return 1;
}

int Rules::removeRule() {
    if (id == 0) return 0;
    sendSimple(19, 0, id, 0);
    return 1;
}

int Rules::makeValid(bool on) {
    valid = on;
    sendField(24, fieldText(id, "Rule", "Valid", on ? "1" : "0"));
    return 1;
}

void Rules::setName(char* newName) {
    if (id == 0) return;
    hbase::copyText(name, sizeof name, newName);
    std::unique_ptr<RSC_PACKET> p = newRscPacket(21);
    hbase::copyText(p->text, sizeof p->text, name, sizeof name);
    p->int3 = id;
    sendRscPacket(p.get());
}

void Rules::updateCronjobs() {
    if (id == 0) return;
    for (const RuleTrigger& t : triggers) {
        if (t.type != RT_Time) continue;
        char minute[16], hour[16];
        snprintf(minute, sizeof minute, "%d", t.minute);
        snprintf(hour, sizeof hour, "%d", t.hour);
        cron::replaceRuleLine(id, minute, hour, t.day, t.month, t.weekday);
        return;
    }
}

int Rules::updateWeatherCronjob(char* minutes, char* hours, int kind) {
    if (id == 0 || triggers.empty()) return 0;
    const RuleTrigger* w = nullptr;
    for (const RuleTrigger& t : triggers)
        if (t.type == RT_Weather) {
            w = &t;
            break;
        }
    if (!w) return 1;
    if (kind != 0 && kind != 1) {
        printf("Rule:Invalid flag=%d\n", kind);
        return 0;
    }
    if (w->weatherKind != (kind == 0 ? 1 : 2)) return 1;
    if (!cron::isNumber(minutes, 0, 59) || !cron::isNumber(hours, 0, 23)) {
        fprintf(stderr, "Rule:refusing sun time %s:%s for rule %d\n", hours ? hours : "(null)",
                minutes ? minutes : "(null)", id);
        return 0;
    }
    char weatherValue[25];
    hbase::copyText(weatherValue, sizeof weatherValue, w->weatherValue);
    int offset;
    if (!weatherOffsetValid(weatherValue, &offset)) {
        fprintf(stderr, "Rule:refusing sun-time offset of rule %d\n", id);
        return 0;
    }
    char minuteText[16], hourText[16];
    hbase::copyText(minuteText, sizeof minuteText, minutes);
    hbase::copyText(hourText, sizeof hourText, hours);
    if (weatherValue[0] != '0') {
        int t = atoi(minutes) + 60 * atoi(hours);
        printf("time in int=%d\n", t);
        printf("weather value=%s\n", weatherValue[0] == '-' ? weatherValue + 1 : weatherValue);
        t += offset;
        printf("Updated time in int=%d\n", t);
        // An offset past midnight runs at that time of the neighbouring day.
        t = ((t % 1440) + 1440) % 1440;
        snprintf(hourText, sizeof hourText, "%d", t / 60);
        snprintf(minuteText, sizeof minuteText, "%d", t % 60);
        printf("Time after update=%s:%s\n", hourText, minuteText);
    }
    fflush(stdout);
    if (!cron::replaceRuleLine(id, minuteText, hourText, "*", "*", "*")) return 0;
    return 1;
}

RuleList::RuleList() {}
RuleList::~RuleList() {}

void RuleList::populate() {
    rules.clear();
    for (int id : automation::recordIds(kStore, true)) rules.push_back(Rules(id));
}

void RuleList::removeAllRules() {
    rules.clear();
    std::unique_ptr<RSC_PACKET> p = newRscPacket(20);
    sendRscPacket(p.get());
}

Rules& HADevices::getRuleByID(int) {
    static Rules rule(0);
    return rule;
}
