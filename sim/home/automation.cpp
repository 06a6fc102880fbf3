// The demo home's scenes, rules and current weather: /tmp/sdb and /tmp/rdb
// laid out as the RSC server writes them, and /tmp/autoip.json with the
// conditions at the home (New York, the hub's location) as the weather
// download leaves them. The observation time is now, so the sun times are
// today's.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

extern "C" {
#include <depot.h>
}

#include "hacore/Rule.h"
#include "hacore/Scene.h"

namespace {

struct Entry {
    int device, index;
    const char* value;
    bool valid;
};
struct HomeScene {
    int id;
    const char* name;
    bool active, voice;
    std::vector<Entry> entries;
};

const std::vector<HomeScene> kScenes = {
    {1,
     "Evening",
     false,
     true,
     {{2, 1, "60", true}, {6, 1, "45", true}, {9, 5, "120", true}, {8, 1, "false", false}, {0, 1, "home", true}}},
    {2, "Away", false, true, {{1, 1, "false", true}, {2, 1, "0", true}, {3, 1, "255", true}, {0, 1, "away", true}}},
    {3, "Good night", true, false, {{2, 1, "0", true}, {6, 1, "5", false}, {3, 1, "255", true}}},
};

void put(DEPOT* db, const std::string& key, const void* data, int len) {
    if (!dpput(db, key.data(), (int)key.size(), static_cast<const char*>(data), len, DP_DOVER))
        fprintf(stderr, "sim-automation: dpput %s: %s\n", key.c_str(), dperrmsg(dpecode));
}
void put(DEPOT* db, const std::string& key, const std::string& text) { put(db, key, text.data(), (int)text.size()); }

template <size_t N>
void setText(char (&field)[N], const char* text) {
    strncpy(field, text, N - 1);
}

void scenes() {
    DEPOT* db = dpopen("/tmp/sdb", DP_OWRITER | DP_OCREAT | DP_OTRUNC, 0);
    if (!db) {
        fprintf(stderr, "sim-automation: /tmp/sdb: %s\n", dperrmsg(dpecode));
        return;
    }
    for (const HomeScene& s : kScenes) {
        std::string n = std::to_string(s.id);
        put(db, n, n);
        put(db, n + ".NM", s.name);
        put(db, n + ".EC", std::to_string(s.entries.size()));
        put(db, n + ".AT", s.active ? "0" : "1796000000");
        put(db, n + ".ST", s.active ? "true" : "false");
        put(db, n + ".VC", s.voice ? "true" : "false");
        int k = 0;
        for (const Entry& e : s.entries) {
            SceneEntry rec;
            memset(&rec, 0, sizeof rec);
            rec.valid = e.valid;
            rec.deviceID = e.device;
            rec.index = e.index;
            setText(rec.value, e.value);
            put(db, n + "." + std::to_string(++k), &rec, sizeof rec);
        }
    }
    dpclose(db);
}

// The first trigger or result of a rule (its ID field 1), valid, of the type.
template <typename Item>
Item first(int type, int32_t Item::*idField) {
    Item item;
    memset(&item, 0, sizeof item);
    item.type = type;
    item.*idField = 1;
    item.valid = 1;
    return item;
}
RuleTrigger trigger(int type) { return first<RuleTrigger>(type, &RuleTrigger::triggerID); }
RuleResult result(int type) { return first<RuleResult>(type, &RuleResult::resultID); }
// A result that sets the device's value at the index.
RuleResult deviceResult(int device, int index, const char* value) {
    RuleResult r = result(RR_Device);
    r.deviceID = device;
    r.index = index;
    setText(r.value, value);
    return r;
}

void rules() {
    DEPOT* db = dpopen("/tmp/rdb", DP_OWRITER | DP_OCREAT | DP_OTRUNC, 0);
    if (!db) {
        fprintf(stderr, "sim-automation: /tmp/rdb: %s\n", dperrmsg(dpecode));
        return;
    }
    auto rule = [&](int id, const char* name, const std::vector<RuleTrigger>& ts, const std::vector<RuleResult>& rs) {
        std::string n = std::to_string(id);
        put(db, n, n);
        put(db, n + ".NM", name);
        put(db, n + ".VA", "1");
        put(db, n + ".TC", std::to_string(ts.size()));
        put(db, n + ".RC", std::to_string(rs.size()));
        for (size_t k = 0; k < ts.size(); ++k) put(db, n + ".T" + std::to_string(k + 1), &ts[k], sizeof ts[k]);
        for (size_t k = 0; k < rs.size(); ++k) put(db, n + ".R" + std::to_string(k + 1), &rs[k], sizeof rs[k]);
    };
    RuleTrigger sunset = trigger(RT_Weather);
    sunset.weatherKind = 2;  // SunSetTime
    setText(sunset.weatherValue, "-15");
    RuleTrigger wake = trigger(RT_Time);
    wake.hour = 6;
    wake.minute = 45;
    wake.minutes = 6 * 60 + 45;
    setText(wake.day, "*");
    setText(wake.month, "*");
    setText(wake.weekday, "1-5");
    RuleTrigger door = trigger(RT_Device);
    door.deviceID = 7;
    door.index = 1;
    setText(door.value, "true");

    RuleResult evening = result(RR_Scene);
    evening.sceneID = 1;
    RuleResult dim = deviceResult(2, 1, "70");
    RuleResult siren = deviceResult(13, 1, "1");
    siren.preDelay = 30;
    rule(1, "Lights on before sunset", {sunset}, {evening});
    rule(2, "Weekday wake-up", {wake}, {dim});
    rule(3, "Back door opened", {door}, {siren});
    dpclose(db);
}

void weather() {
    FILE* f = fopen("/tmp/autoip.json", "w");
    if (!f) {
        perror("sim-automation: /tmp/autoip.json");
        return;
    }
    long now = (long)time(nullptr);
    fprintf(f,
            "{\n"
            "  \"response\": {\"version\": \"0.1\", \"features\": {\"conditions\": 1, \"geolookup\": 1}},\n"
            "  \"observation_interval\": 1800,\n"
            "  \"conditions\": {\n"
            "    \"station_id\": \"KNYC\",\n"
            "    \"observation_time\": \"Last Updated on December 8, 7:51 AM EST\",\n"
            "    \"city\": \"New York\",\n"
            "    \"state\": \"NY\",\n"
            "    \"country\": \"US\",\n"
            "    \"country_name\": \"USA\",\n"
            "    \"zip\": \"10007\",\n"
            "    \"latitude\": \"40.712776\",\n"
            "    \"longitude\": \"-74.005974\",\n"
            "    \"elevation\": \"10\",\n"
            "    \"local_epoch\": \"%ld\",\n"
            "    \"local_tz_short\": \"EST\",\n"
            "    \"local_tz_long\": \"America/New_York\",\n"
            "    \"local_tz_offset\": \"-0500\",\n"
            "    \"weather\": \"Partly Cloudy\",\n"
            "    \"temperature_string\": \"38.1 F (3.4 C)\",\n"
            "    \"temp_f\": 38.1,\n"
            "    \"temp_c\": 3.4,\n"
            "    \"relative_humidity\": \"65%%\",\n"
            "    \"wind_dir\": \"WNW\",\n"
            "    \"wind_mph\": 9.2,\n"
            "    \"pressure_mb\": \"1021\",\n"
            "    \"pressure_trend\": \"+\",\n"
            "    \"dewpoint_c\": -2,\n"
            "    \"feelslike_c\": \"0.6\",\n"
            "    \"visibility_km\": \"16.1\",\n"
            "    \"UV\": \"1\",\n"
            "    \"precip_today_metric\": \"0 mm\",\n"
            "    \"icon\": \"partlycloudy\",\n"
            "    \"icon_url\": \"http://icons.example.net/i/c/k/partlycloudy.gif\"\n"
            "  }\n"
            "}\n",
            now);
    fclose(f);
}

}  // namespace

int main() {
    // The owner's address, which scenes give the hub with a mode change.
    if (FILE* f = fopen("/halvix/email", "w")) {
        fputs("owner@example.com\n", f);
        fclose(f);
    }
    scenes();
    rules();
    weather();
    printf("sim-automation: 3 scenes, 3 rules, /tmp/autoip.json\n");
    return 0;
}
