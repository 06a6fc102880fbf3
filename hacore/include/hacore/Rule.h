/**
 * @file
 * Rules: triggers (a device value, a time of day, sunrise or sunset, ...)
 * tied to results (a device value, a scene, ...). Read from the rule store
 * /tmp/rdb; every change is a request to the RSC server. Time and sun-time
 * triggers become lines of the system's cron table that run
 * "cd /;runRule <id>".
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// Trigger types (RuleTrigger::type). Kinds 4 and 5 are kept and passed on
/// as they are; the rule engine gives them their meaning. 3 is not used.
enum : int32_t {
    RT_Device = 0,   ///< a device value compared with a condition
    RT_Time = 1,     ///< a time of day, with cron day, month and weekday fields
    RT_Weather = 2,  ///< a weather item, sunrise or sunset (with an offset)
    RT_Kind4 = 4,    ///< kind 4, unnamed
    RT_Kind5 = 5     ///< kind 5, unnamed
};
/// Result types (RuleResult::type). Kinds 1, 3, 4 and 5 are kept and passed
/// on as they are; the rule engine gives them their meaning.
enum : int32_t {
    RR_Device = 0,  ///< set a device value
    RR_Kind1 = 1,   ///< kind 1, unnamed
    RR_Scene = 2,   ///< activate a scene
    RR_Kind3 = 3,   ///< kind 3, unnamed
    RR_Kind4 = 4,   ///< kind 4, unnamed
    RR_Kind5 = 5    ///< kind 5, unnamed
};

/// One trigger; the same 624 bytes in memory, in requests and in the store.
/// Fields a type does not use are zero when read back; each field says which
/// types use it.
struct RuleTrigger {
    int32_t type;           ///< RT_Device, RT_Time, ...
    int32_t storedValue;    ///< all types
    int32_t deviceID;       ///< device
    int32_t index;          ///< device, kind 5: the value index
    char value[25];         ///< device, kind 5; at most 24 characters
    uint8_t pad41[3];       ///< zero
    int32_t hour;           ///< time: 0..23
    int32_t minute;         ///< time: 0..59
    int32_t minutes;        ///< time: 0..1439, minutes after midnight
    char day[60];           ///< time: day-of-month field of the cron line
    char month[60];         ///< time: month field
    char weekday[60];       ///< time: day-of-week field
    int32_t condition;      ///< device, weather, kinds 4 and 5: TriggerCondition (for the rule engine)
    int32_t triggerID;      ///< key of the per-trigger operations
    uint8_t valid;          ///< 1: the trigger counts
    uint8_t pad245[3];      ///< zero
    int32_t duration;       ///< seconds, a multiple of 60, 0 = none; device, weather, kinds 4 and 5
    int32_t kind4Value;     ///< kind 4
    int32_t weatherKind;    ///< weather: a WeatherType (1 SunRiseTime, 2 SunSetTime, ...)
    char weatherValue[25];  ///< weather: offset in minutes ("-15"), "0..." for none
    uint8_t pad285[155];    ///< zero
    int32_t subKind;        ///< kinds 4 and 5
    char text[180];         ///< kind 4; kind 5 (25 bytes) with sub-kind 1 or 2
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

/// One result; 636 bytes, the same in memory, in requests and in the store.
/// As for RuleTrigger, each field says which types use it.
struct RuleResult {
    int32_t type;        ///< RR_Device, RR_Scene, ...
    int32_t deviceID;    ///< device
    int32_t index;       ///< device; kind 5 unless its sub-kind is 2: the value index
    char value[25];      ///< device, kind 5: the value to set
    uint8_t pad37[3];    ///< zero
    int32_t sceneID;     ///< scene
    int32_t preDelay;    ///< all types: delay before the result
    int32_t resultID;    ///< key of the per-result operations
    uint8_t valid;       ///< 1: the result is carried out
    uint8_t pad53[3];    ///< zero
    int32_t kind1Value;  ///< kind 1
    int32_t kind4Value;  ///< kind 4
    uint8_t pad64[4];    ///< zero
    uint8_t kind5Byte;   ///< kind 5 with sub-kind 2
    uint8_t pad69[179];  ///< zero
    int32_t number248;   ///< kinds 1 and 3 (named after its offset)
    char text[180];      ///< kinds 1 and 3; first byte for kind 5, sub-kind 1 or 2
    int32_t subKind;     ///< kinds 4 and 5
    char text2[200];     ///< kind 4; first byte for kind 5, sub-kind 1 or 2
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

/**
 * Snapshot of one rule: its name, validity, triggers and results, read from
 * /tmp/rdb. Changes update the object and send one request each to the RSC
 * server, which owns the store (each blocks up to 120 seconds for the
 * answer, which is not reported). A rule with ID 0 (a missing or unmade
 * rule) refuses every change but makeValid().
 */
class Rules {
public:
    /// Reads rule `id` (nothing for 0). Stored records it finds broken are
    /// repaired through the RSC server.
    /// @throws int 0 when the store holds no such rule.
    explicit Rules(int id);
    /// Creates a new rule: takes the next free ID of the store and asks the
    /// RSC server to add it with `name`. A store that cannot be opened leaves
    /// ID 0.
    explicit Rules(char* name);
    /// Copies the snapshot.
    Rules(const Rules&) = default;
    /// Replaces the snapshot with a copy of another.
    Rules& operator=(const Rules&) = default;
    /// Frees the lists.
    ~Rules();

    /// Rereads the rule from the store (nothing for ID 0 or a store that
    /// cannot be opened).
    /// @throws int 0 when the store holds no such rule.
    void Refresh();

    /// Rule ID; 0 for no rule.
    int getID();
    /// Name (at most 1023 characters), pointing into the object.
    char* getName();
    /// Whether the rule is enabled.
    bool isValid();
    /// A copy of the triggers.
    std::list<RuleTrigger> getRuleTriggers();
    /// A copy of the results.
    std::list<RuleResult> getRuleResults();

    /// Checks the trigger by its type (device: the value exists; time: see
    /// checkForTimeTriggerValidation(); weather sun times: a plain offset;
    /// kinds 4 and 5 as they are), its duration (a multiple of 60 seconds,
    /// and only one trigger of the rule may have one), then keeps it as valid
    /// and asks the RSC server to add it. 1 added and requested, 0 refused.
    int addTrigger(RuleTrigger trigger);
    /// Checks the result (device: the value exists; scene: the scene exists;
    /// type 0..5), keeps it as valid and asks the RSC server to add it. 1
    /// added and requested, 0 refused.
    int addResult(RuleResult result);

    /// A time trigger's hour, minute and minutes value in range, and its day,
    /// month and weekday fields valid cron fields.
    bool checkForTimeTriggerValidation(RuleTrigger trigger);
    /// The trigger's device exists and has a value at position `index`.
    bool checkForDeviceTriggerValidation(RuleTrigger trigger);
    /// The result's device exists and has a value at position `index`.
    bool checkForDeviceResultValidation(RuleResult result);
    /// The result's scene exists.
    bool checkForSceneResultValidation(RuleResult result);
    /// No trigger of the rule has a duration yet.
    bool checkForSingleDuration();

    /// Pre-delay of result `resultID`; -1 when there is no such result.
    int getPreDelay(int resultID);
    /// Validity of result `resultID`; false when there is none.
    bool getResultValid(int resultID);
    /// Validity of trigger `triggerID`; false when there is none.
    bool getTriggerValid(int triggerID);
    /// Duration of trigger `triggerID`, seconds; 0 when there is none.
    int getTriggerDuration(int triggerID);

    /// Enables or disables one result; 1 requested, 0 for ID 0.
    int setResultValid(int resultID, bool valid);
    /// Enables or disables one trigger; 1 requested, 0 for ID 0.
    int setTriggerValid(int triggerID, bool valid);
    /// Removes every result; 1 requested, 0 for ID 0.
    int removeAllResults();
    /// Removes every trigger; 1 requested, 0 for ID 0.
    int removeAllTriggers();
    /// Removes the rule from the store (the object stays as it is); 1
    /// requested, 0 for ID 0.
    int removeRule();
    /// Enables or disables the rule; always 1.
    int makeValid(bool valid);
    /// Renames the rule (nothing for ID 0).
    void setName(char* name);

    /// Puts the first time trigger's cron line ("cd /;runRule <id>") into
    /// the cron table, replacing the rule's earlier line.
    void updateCronjobs();
    /// Puts a daily line at the given sunrise (kind 0) or sunset (kind 1)
    /// time ("minutes", "hours" as numbers), moved by the first weather
    /// trigger's offset (across midnight if need be). 1 when done or when
    /// the first weather trigger is not of that kind (or there is none); 0
    /// for ID 0, no triggers, a bad kind, time or offset, or a cron failure.
    int updateWeatherCronjob(char* minutes, char* hours, int kind);

private:
    friend struct RuleStore;  // the store reader
    std::list<RuleTrigger> triggers;
    std::list<RuleResult> results;
    char name[1024];
    int32_t id;
    bool valid;
};

/// Every rule of the store, each a copy owned by the list.
class RuleList {
public:
    /// An empty list.
    RuleList();
    /// Frees the copies.
    ~RuleList();
    /// Empties the list and loads every rule of the store.
    /// @throws int 0 as Rules::Refresh() when a rule cannot be read whole.
    void populate();
    /// Empties the list and asks the RSC server to remove every rule.
    void removeAllRules();

    /// The rules loaded by populate().
    std::list<Rules> rules;
};

/// Cron helper, also used by the readers of stored triggers: true for a
/// valid day-of-month field (1..31): "*", numbers, ranges, lists and steps
/// only.
bool isCronDayField(const char* text);
/// True for a valid month field (1..12, jan..dec), as isCronDayField().
bool isCronMonthField(const char* text);
/// True for a valid day-of-week field (0..7, sun..sat), as isCronDayField().
bool isCronWeekdayField(const char* text);

#pragma GCC visibility pop
