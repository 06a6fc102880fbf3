// Rules: triggers (a device value, a time of day, sunrise or sunset, ...)
// tied to results (a device value, a scene, ...). Read from the rule store
// /tmp/rdb; every change is a request to the RSC server. Time and sun-time
// triggers become lines of the system's cron table that run
// "cd /;runRule <id>".
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>

// Trigger types.
enum : int32_t { RT_Device = 0, RT_Time = 1, RT_Weather = 2, RT_Kind4 = 4, RT_Kind5 = 5 };
// Result types.
enum : int32_t { RR_Device = 0, RR_Kind1 = 1, RR_Scene = 2, RR_Kind3 = 3, RR_Kind4 = 4, RR_Kind5 = 5 };

// One trigger; the same 624 bytes in memory, in requests and in the store.
// Fields a type does not use are zero when read back.
struct RuleTrigger {
    int32_t type;         // RT_*
    int32_t storedValue;  // all types
    int32_t deviceID;     // device
    int32_t index;        // device, kind 5
    char value[25];       // device, kind 5; at most 24 characters
    uint8_t pad41[3];
    int32_t hour;       // time: 0..23
    int32_t minute;     // time: 0..59
    int32_t minutes;    // time: 0..1439
    char day[60];       // time: day-of-month field of the cron line
    char month[60];     // time: month field
    char weekday[60];   // time: day-of-week field
    int32_t condition;  // device, weather, kinds 4 and 5 (for the rule engine)
    int32_t triggerID;  // key of the per-trigger operations
    uint8_t valid;
    uint8_t pad245[3];
    int32_t duration;       // seconds, 0 = none; device, weather, kinds 4 and 5
    int32_t kind4Value;     // kind 4
    int32_t weatherKind;    // weather: a WeatherType (1 SunRiseTime, 2 SunSetTime, ...)
    char weatherValue[25];  // weather: offset in minutes ("-15"), "0..." for none
    uint8_t pad285[155];
    int32_t subKind;  // kinds 4 and 5
    char text[180];   // kind 4; kind 5 (25 bytes) with sub-kind 1 or 2
};
static_assert(sizeof(RuleTrigger) == 624, "");
static_assert(offsetof(RuleTrigger, storedValue) == 4, "");
static_assert(offsetof(RuleTrigger, deviceID) == 8, "");
static_assert(offsetof(RuleTrigger, index) == 12, "");
static_assert(offsetof(RuleTrigger, value) == 16, "");
static_assert(offsetof(RuleTrigger, hour) == 44, "");
static_assert(offsetof(RuleTrigger, minute) == 48, "");
static_assert(offsetof(RuleTrigger, minutes) == 52, "");
static_assert(offsetof(RuleTrigger, day) == 56, "");
static_assert(offsetof(RuleTrigger, month) == 116, "");
static_assert(offsetof(RuleTrigger, weekday) == 176, "");
static_assert(offsetof(RuleTrigger, condition) == 236, "");
static_assert(offsetof(RuleTrigger, triggerID) == 240, "");
static_assert(offsetof(RuleTrigger, valid) == 244, "");
static_assert(offsetof(RuleTrigger, duration) == 248, "");
static_assert(offsetof(RuleTrigger, kind4Value) == 252, "");
static_assert(offsetof(RuleTrigger, weatherKind) == 256, "");
static_assert(offsetof(RuleTrigger, weatherValue) == 260, "");
static_assert(offsetof(RuleTrigger, subKind) == 440, "");
static_assert(offsetof(RuleTrigger, text) == 444, "");

// One result; 636 bytes, same use of the layout.
struct RuleResult {
    int32_t type;      // RR_*
    int32_t deviceID;  // device
    int32_t index;     // device; kind 5 unless its sub-kind is 2
    char value[25];    // device, kind 5
    uint8_t pad37[3];
    int32_t sceneID;   // scene
    int32_t preDelay;  // all types
    int32_t resultID;  // key of the per-result operations
    uint8_t valid;
    uint8_t pad53[3];
    int32_t kind1Value;  // kind 1
    int32_t kind4Value;  // kind 4
    uint8_t pad64[4];
    uint8_t kind5Byte;  // kind 5 with sub-kind 2
    uint8_t pad69[179];
    int32_t number248;  // kinds 1 and 3
    char text[180];     // kinds 1 and 3; first byte for kind 5, sub-kind 1 or 2
    int32_t subKind;    // kinds 4 and 5
    char text2[200];    // kind 4; first byte for kind 5, sub-kind 1 or 2
};
static_assert(sizeof(RuleResult) == 636, "");
static_assert(offsetof(RuleResult, deviceID) == 4, "");
static_assert(offsetof(RuleResult, index) == 8, "");
static_assert(offsetof(RuleResult, value) == 12, "");
static_assert(offsetof(RuleResult, sceneID) == 40, "");
static_assert(offsetof(RuleResult, preDelay) == 44, "");
static_assert(offsetof(RuleResult, resultID) == 48, "");
static_assert(offsetof(RuleResult, valid) == 52, "");
static_assert(offsetof(RuleResult, kind1Value) == 56, "");
static_assert(offsetof(RuleResult, kind4Value) == 60, "");
static_assert(offsetof(RuleResult, kind5Byte) == 68, "");
static_assert(offsetof(RuleResult, number248) == 248, "");
static_assert(offsetof(RuleResult, text) == 252, "");
static_assert(offsetof(RuleResult, subKind) == 432, "");
static_assert(offsetof(RuleResult, text2) == 436, "");

class Rules {
public:
    explicit Rules(int id);      // reads the rule; throws 0 when it is missing
    explicit Rules(char* name);  // creates a new rule
    Rules(const Rules&) = default;
    Rules& operator=(const Rules&) = default;
    ~Rules();

    void Refresh();

    int getID();
    char* getName();
    bool isValid();
    std::list<RuleTrigger> getRuleTriggers();
    std::list<RuleResult> getRuleResults();

    // Success flags (1 added and requested, 0 refused).
    int addTrigger(RuleTrigger trigger);
    int addResult(RuleResult result);

    // A time trigger's hour, minute and minutes value in range, and its day,
    // month and weekday fields valid cron fields.
    bool checkForTimeTriggerValidation(RuleTrigger trigger);
    bool checkForDeviceTriggerValidation(RuleTrigger trigger);
    bool checkForDeviceResultValidation(RuleResult result);
    bool checkForSceneResultValidation(RuleResult result);
    bool checkForSingleDuration();

    int getPreDelay(int resultID);
    bool getResultValid(int resultID);
    bool getTriggerValid(int triggerID);
    int getTriggerDuration(int triggerID);

    int setResultValid(int resultID, bool valid);
    int setTriggerValid(int triggerID, bool valid);
    int removeAllResults();
    int removeAllTriggers();
    int removeRule();
    int makeValid(bool valid);
    void setName(char* name);

    // Puts the first time trigger's cron line into the cron table.
    void updateCronjobs();
    // Puts a daily line at the given sunrise (kind 0) or sunset (kind 1),
    // moved by the first weather trigger's offset. Success flag.
    int updateWeatherCronjob(char* minutes, char* hours, int kind);

private:
    friend struct RuleStore;  // the store reader
    std::list<RuleTrigger> triggers;
    std::list<RuleResult> results;
    char name[1024];
    int32_t id;
    bool valid;
};

class RuleList {
public:
    RuleList();
    ~RuleList();
    // Fills the list from the store; throws as Rules::Refresh.
    void populate();
    void removeAllRules();

    std::list<Rules> rules;
};

// Cron helpers, also used by the readers of stored triggers: a valid cron
// field for the day of month (1..31), month (1..12, jan..dec) and day of
// week (0..7, sun..sat): "*", numbers, names, ranges, lists and steps only.
bool isCronDayField(const char* text);
bool isCronMonthField(const char* text);
bool isCronWeekdayField(const char* text);
