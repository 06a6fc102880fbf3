// Rules: made through the library, stored by the RSC server stand-in, read
// back fresh and through RuleList; the bytes of every request; validation;
// the repairs a reader asks for; damaged stores.
#include <gtest/gtest.h>

#include <cstring>
#include <list>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "automation_util.h"
#include "hacore/HADevices.h"
#include "hacore/Rule.h"
#include "hacore/Scene.h"

#include "store_faults.h"

using namespace testkit;
using namespace autotest;

namespace {

const char kStore[] = "/tmp/rdb";

class RulesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { run("sim-home >/dev/null 2>&1"); }
    void SetUp() override {
        removeFile(kStore);
        removeFile("/tmp/sdb");
        setRscMode("");
        clearReceived("rsc");
    }
};

RuleResult deviceResult(int device, int index, const char* value, int resultID = 1) {
    RuleResult r = aimedAt<RuleResult>(device, index, value);
    r.type = RR_Device;
    r.resultID = resultID;
    r.preDelay = 5;
    return r;
}

void putRule(int id, const char* name, const std::vector<RuleTrigger>& ts, const std::vector<RuleResult>& rs,
             bool counts = true, bool valid = true) {
    std::string n = std::to_string(id);
    putText(kStore, n, n);
    putText(kStore, n + ".NM", name);
    if (valid) putText(kStore, n + ".VA", "1");
    if (counts) {
        putText(kStore, n + ".TC", std::to_string(ts.size()));
        putText(kStore, n + ".RC", std::to_string(rs.size()));
    }
    for (size_t k = 0; k < ts.size(); ++k) put(kStore, n + ".T" + std::to_string(k + 1), &ts[k], sizeof ts[k]);
    for (size_t k = 0; k < rs.size(); ++k) put(kStore, n + ".R" + std::to_string(k + 1), &rs[k], sizeof rs[k]);
}

TEST_F(RulesTest, MadeThroughTheLibraryAndReadBackFresh) {
    putRule(3, "older", {}, {});
    Rules r((char*)"Wake up");
    EXPECT_EQ(r.getID(), 4);
    RuleTrigger t = timeTrigger(6, 45, "*", "*", "1-5");
    RuleResult res = deviceResult(2, 1, "70");
    ASSERT_EQ(r.addTrigger(t), 1);
    ASSERT_EQ(r.addResult(res), 1);
    r.setName((char*)"Weekday wake-up");
    r.makeValid(true);
    std::vector<Request> q = requests();
    ASSERT_EQ(q.size(), 5u);
    expectRequest(q[0], 12, "Wake up", {0, 0, 4, 0, 4});
    EXPECT_EQ(q[1].command, 14);
    EXPECT_EQ(q[1].ints[3], 4);
    EXPECT_EQ(q[1].raw.substr(0, sizeof t), std::string((const char*)&t, sizeof t)) << "the trigger as given";
    EXPECT_EQ(q[2].command, 13);
    EXPECT_EQ(q[2].raw.substr(0, sizeof res), std::string((const char*)&res, sizeof res));
    expectRequest(q[3], 21, "Weekday wake-up", {0, 0, 4});
    expectRequest(q[4], 24, "Rule, ID, 4, Rule, Valid, 1, /tmp/rdb", {0, 0, 0, 0, 0, 6});

    EXPECT_EQ(r.getRuleTriggers().front().valid, 1);
    Rules fresh(4);
    EXPECT_STREQ(fresh.getName(), "Weekday wake-up");
    EXPECT_TRUE(fresh.isValid());
    ASSERT_EQ(fresh.getRuleTriggers().size(), 1u);
    RuleTrigger back = fresh.getRuleTriggers().front();
    EXPECT_EQ(back.hour, 6);
    EXPECT_EQ(back.minute, 45);
    EXPECT_STREQ(back.weekday, "1-5");
    EXPECT_EQ(back.valid, 1);
    ASSERT_EQ(fresh.getRuleResults().size(), 1u);
    EXPECT_STREQ(fresh.getRuleResults().front().value, "70");
    EXPECT_EQ(fresh.getPreDelay(1), 5);
    EXPECT_EQ(dpmgrGet(kStore, "4.TC"), "1");
    EXPECT_EQ(dpmgrGet(kStore, "4.T1").size(), 624u);
    EXPECT_EQ(dpmgrGet(kStore, "4.R1").size(), 636u);
    EXPECT_TRUE(requests().empty()) << "a whole rule needs no repair";

    RuleList list;
    list.populate();
    EXPECT_EQ(list.rules.size(), 2u);
}

TEST_F(RulesTest, TimeTriggersAreValidatedAsCronFields) {
    putRule(1, "r", {}, {});
    Rules r(1);
    struct Case {
        RuleTrigger t;
        int want;
    };
    const Case cases[] = {
        {timeTrigger(24, 0), 0},
        {timeTrigger(0, 60), 0},
        {timeTrigger(-1, 0), 0},
        {[] {
             RuleTrigger t = timeTrigger(1, 1);
             t.minutes = 1440;
             return t;
         }(),
         0},
        {timeTrigger(1, 1, "32"), 0},
        {timeTrigger(1, 1, "0"), 0},
        {timeTrigger(1, 1, "*", "13"), 0},
        {timeTrigger(1, 1, "*", "*", "8"), 0},
        {timeTrigger(1, 1, ""), 0},
        {timeTrigger(1, 1, "*;touch /tmp/marker"), 0},
        {timeTrigger(1, 1, "$(touch /tmp/marker)"), 0},
        {timeTrigger(1, 1, "`touch /tmp/marker`"), 0},
        {timeTrigger(1, 1, "*\" ; touch /tmp/marker ; \""), 0},
        {timeTrigger(1, 1, "*", "*\n* * * * * touch /tmp/marker"), 0},
        {timeTrigger(1, 1, "*", "1\t2"), 0},
        {timeTrigger(1, 1, "5-1"), 0},
        {timeTrigger(1, 1, "*/0"), 0},
        {timeTrigger(23, 59, "1,15", "jan-mar", "mon-fri"), 1},
        {timeTrigger(0, 0, "*/5", "*", "0,7"), 1},
        {timeTrigger(12, 30, "1-31/2", "Dec", "Sat"), 1},
    };
    size_t accepted = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.t.day) + " | " + c.t.month + " | " + c.t.weekday + " " + std::to_string(c.t.hour) +
                     ":" + std::to_string(c.t.minute));
        EXPECT_EQ(r.addTrigger(c.t), c.want);
        EXPECT_EQ(r.checkForTimeTriggerValidation(c.t), c.want == 1);
        accepted += c.want;
    }
    EXPECT_EQ(requests().size(), accepted);
    EXPECT_FALSE(fileExists("/tmp/marker"));
}

TEST_F(RulesTest, DurationsAndReferencesAreChecked) {
    putRule(1, "r", {}, {});
    Rules r(1);
    EXPECT_EQ(r.addTrigger(deviceTrigger(4, 1, "true", 90)), 0);
    EXPECT_EQ(r.addTrigger(deviceTrigger(4, 1, "true", 120)), 1);
    EXPECT_FALSE(r.checkForSingleDuration());
    EXPECT_EQ(r.addTrigger(deviceTrigger(7, 1, "true", 120)), 0);
    EXPECT_EQ(r.addTrigger(deviceTrigger(7, 1, "true", 0)), 1);
    EXPECT_EQ(r.addTrigger(deviceTrigger(99, 1, "true")), 0);  // no such device
    EXPECT_EQ(r.addTrigger(deviceTrigger(4, 42, "true")), 0);  // no such value
    RuleTrigger kind3 = deviceTrigger(4, 1, "x");
    kind3.type = 3;
    EXPECT_EQ(r.addTrigger(kind3), 0);
    EXPECT_EQ(r.getTriggerDuration(2), 120);
    EXPECT_EQ(r.getTriggerDuration(77), 0);

    RuleResult scene;
    memset(&scene, 0, sizeof scene);
    scene.type = RR_Scene;
    scene.sceneID = 5;
    EXPECT_EQ(r.addResult(scene), 0);  // no scene 5
    putText("/tmp/sdb", "5", "5");
    putText("/tmp/sdb", "5.NM", "Evening");
    putText("/tmp/sdb", "5.EC", "0");
    EXPECT_EQ(r.addResult(scene), 1);
    EXPECT_EQ(r.addResult(deviceResult(1, 1, "true")), 1);
    EXPECT_EQ(r.addResult(deviceResult(1, 9, "true")), 0);
    EXPECT_EQ(r.getPreDelay(123), -1);
    EXPECT_FALSE(r.getResultValid(123));
    EXPECT_EQ(requests().size(), 4u);

    Rules none(0);
    EXPECT_EQ(none.addTrigger(timeTrigger(1, 1)), 0);
    EXPECT_EQ(none.addResult(deviceResult(1, 1, "true")), 0);
    EXPECT_EQ(none.setResultValid(1, true), 0);
    EXPECT_EQ(none.removeAllTriggers(), 0);
    EXPECT_EQ(none.removeRule(), 0);
    EXPECT_TRUE(requests().empty());
}

TEST_F(RulesTest, ChangesSendTheirRequests) {
    RuleResult a = deviceResult(1, 1, "true", 11), b = deviceResult(2, 1, "5", 12);
    RuleTrigger t = deviceTrigger(4, 1, "true");
    t.triggerID = 21;
    a.valid = b.valid = t.valid = 1;  // as the server stores them
    putRule(8, "eight", {t}, {a, b});
    Rules r(8);
    EXPECT_EQ(r.setResultValid(12, false), 1);
    EXPECT_EQ(r.setTriggerValid(21, false), 1);
    EXPECT_EQ(r.setTriggerValid(99, true), 1);  // sent even for an unknown ID
    EXPECT_FALSE(r.getResultValid(12));
    EXPECT_FALSE(r.getTriggerValid(21));
    EXPECT_EQ(r.makeValid(false), 1);
    EXPECT_FALSE(r.isValid());
    expectRequests({{22, "", {12, 0, 8, 0, 0}},
                    {23, "", {21, 0, 8, 0, 0}},
                    {23, "", {99, 0, 8, 0, 1}},
                    {24, "Rule, ID, 8, Rule, Valid, 0, /tmp/rdb", {0, 0, 0, 0, 0, 6}}});
    Rules fresh(8);
    EXPECT_FALSE(fresh.isValid());
    EXPECT_FALSE(fresh.getResultValid(12));
    EXPECT_TRUE(fresh.getResultValid(11));
    EXPECT_FALSE(fresh.getTriggerValid(21));

    EXPECT_EQ(r.removeAllResults(), 1);
    EXPECT_EQ(r.removeAllTriggers(), 1);
    EXPECT_TRUE(r.getRuleResults().empty());
    expectRequests({{16, "", {0, 0, 8, 0, 2}}, {18, "", {0, 0, 8, 0, 1}}});
    EXPECT_TRUE(Rules(8).getRuleTriggers().empty());
    EXPECT_EQ(r.removeRule(), 1);
    expectRequests({{19, "", {0, 0, 8}}});
    EXPECT_THROW(Rules(8), int);

    putRule(9, "nine", {}, {});
    RuleList list;
    list.populate();
    ASSERT_EQ(list.rules.size(), 1u);
    list.removeAllRules();
    EXPECT_TRUE(list.rules.empty());
    expectRequests({{20, "", {}}});
    list.populate();
    EXPECT_TRUE(list.rules.empty());

    HADevices ha;
    EXPECT_EQ(&ha.getRuleByID(1), &ha.getRuleByID(2));
}

TEST_F(RulesTest, AReaderAsksForItsRepairs) {
    RuleTrigger t1 = deviceTrigger(4, 1, "true"), t2 = timeTrigger(7, 0);
    putRule(5, "no counts", {t1, t2}, {}, false, false);
    putText(kStore, "5.RC", "0");
    Rules r(5);
    EXPECT_TRUE(r.isValid());
    EXPECT_EQ(r.getRuleTriggers().size(), 2u);
    expectRequests({{1, "Rule, ID, 5, Rule, Valid, 1, /tmp/rdb", {0, 0, 0, 0, 0, 6}},
                    {1, "Rule, ID, 5, Triggers, Count, 2, /tmp/rdb", {0, 0, 0, 0, 0, 6}},
                    {52, "/tmp/rdb", {0, 0, 0, 0, 0, 1}}});
    EXPECT_EQ(dpmgrGet(kStore, "5.TC"), "2");
    EXPECT_EQ(dpmgrGet(kStore, "5.VA"), "1");
    EXPECT_TRUE(fileExists("/data/rsc/rdb")) << "persisted to flash";

    // Unknown types: dropped and their removal asked for.
    RuleTrigger bad = deviceTrigger(4, 1, "x");
    bad.type = 3;
    RuleResult badResult = deviceResult(1, 1, "x");
    badResult.type = 9;
    putRule(6, "bad items", {t2, bad}, {badResult, deviceResult(1, 1, "true")});
    Rules s(6);
    EXPECT_EQ(s.getRuleTriggers().size(), 1u);
    EXPECT_EQ(s.getRuleResults().size(), 1u);
    std::vector<Request> q = requests();
    ASSERT_EQ(q.size(), 3u);
    expectRequest(q[0], 15, "", {0, 0, 6, 0, 1});
    expectRequest(q[1], 17, "", {0, 0, 6, 0, 2});
    EXPECT_EQ(q[2].command, 52);
    Rules again(6);
    EXPECT_TRUE(requests().empty()) << "the server removed them";
    EXPECT_EQ(again.getRuleResults().size(), 1u);
}

TEST_F(RulesTest, FieldsAnotherTypeDoesNotUseReadBackZero) {
    RuleTrigger t = deviceTrigger(4, 1, "true");
    t.hour = 5;
    strcpy(t.day, "rubbish");
    t.weatherKind = 1;
    memset(t.text, 'x', sizeof t.text);
    memset(t.value, 'v', sizeof t.value);  // not terminated
    RuleTrigger w;
    memset(&w, 0, sizeof w);
    w.type = RT_Weather;
    w.weatherKind = 2;
    strcpy(w.weatherValue, "-15");
    w.deviceID = 9;
    w.duration = 60;
    putRule(2, "fields", {t, w}, {});
    Rules r(2);
    std::list<RuleTrigger> got = r.getRuleTriggers();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got.front().hour, 0);
    EXPECT_STREQ(got.front().day, "");
    EXPECT_EQ(got.front().weatherKind, 0);
    EXPECT_EQ(got.front().text[0], 0);
    EXPECT_EQ(std::string(got.front().value), std::string(24, 'v'));
    EXPECT_EQ(got.back().deviceID, 0);
    EXPECT_EQ(got.back().duration, 60);
    EXPECT_STREQ(got.back().weatherValue, "-15");
}

TEST_F(RulesTest, MissingNameThrowsZero) {
    putText(kStore, "12", "12");
    try {
        Rules r(12);
        FAIL();
    } catch (int e) {
        EXPECT_EQ(e, 0);
    }
    RuleList list;
    EXPECT_THROW(list.populate(), int);
}

TEST_F(RulesTest, AStoreThatCannotBeRepairedIsRemoved) {
    putRule(1, "one", {}, {});
    storefault::expectLockedOut(
        kStore,
        [&] {
            RuleList list;
            list.populate();
            return list.rules.empty() && !fileExists(kStore);
        },
        storefault::kOpenAndRepairFailed);
    writeFile(kStore, std::string(4096, '\x5a'));
    std::string err = captureStderr([] {
        Rules made((char*)"after repair");
        EXPECT_EQ(made.getID(), 1);
    });
    EXPECT_EQ(err.find("dpopen: "), 0u) << err;
}

}  // namespace

namespace {

// Every field of a trigger or result set, texts without their terminator, so
// what the reader keeps and what it zeroes both show.
RuleTrigger fullTrigger(int type, int subKind) {
    RuleTrigger t = zeroed<RuleTrigger>();
    t.type = type;
    t.storedValue = 11;
    t.deviceID = 4;
    t.index = 1;
    memset(t.value, 'v', sizeof t.value);
    t.hour = 14;
    t.minute = 15;
    t.minutes = 16;
    memset(t.day, 'd', sizeof t.day);
    memset(t.month, 'm', sizeof t.month);
    memset(t.weekday, 'w', sizeof t.weekday);
    t.condition = 17;
    t.triggerID = 18;
    t.valid = 1;
    t.duration = 120;
    t.kind4Value = 19;
    t.weatherKind = 3;
    memset(t.weatherValue, '5', sizeof t.weatherValue);
    t.subKind = subKind;
    memset(t.text, 't', sizeof t.text);
    return t;
}

RuleResult fullResult(int type, int subKind) {
    RuleResult r = zeroed<RuleResult>();
    r.type = type;
    r.deviceID = 1;
    r.index = 1;
    memset(r.value, 'v', sizeof r.value);
    r.sceneID = 5;
    r.preDelay = 21;
    r.resultID = 22;
    r.valid = 1;
    r.kind1Value = 23;
    r.kind4Value = 24;
    r.kind5Byte = 25;
    r.number248 = 26;
    memset(r.text, 't', sizeof r.text);
    r.subKind = subKind;
    memset(r.text2, 'u', sizeof r.text2);
    return r;
}

template <typename T>
void expectSame(const T& got, const T& want, const std::string& where) {
    const unsigned char* g = reinterpret_cast<const unsigned char*>(&got);
    const unsigned char* w = reinterpret_cast<const unsigned char*>(&want);
    for (size_t i = 0; i < sizeof(T); ++i)
        if (g[i] != w[i]) {
            ADD_FAILURE() << where << ": byte " << i << " is " << (int)g[i] << ", expected " << (int)w[i];
            return;
        }
}

// A text field kept by the reader: cut to limit - 1 characters, the rest zero.
template <size_t N>
void kept(char (&dst)[N], const char (&src)[N], size_t limit = N) {
    memset(dst, 0, N);
    memcpy(dst, src, limit - 1);
}

// A kind of trigger or result and the fields of a full one the reader keeps
// for it (beside those every kind keeps).
template <typename T>
struct KeepCase {
    const char* name;
    int type, subKind;
    void (*keep)(const T& in, T& out);
};

void keepEveryKind(const RuleTrigger& in, RuleTrigger& out) {
    out.type = in.type;
    out.storedValue = in.storedValue;
    out.triggerID = in.triggerID;
    out.valid = in.valid;
}
void keepEveryKind(const RuleResult& in, RuleResult& out) {
    out.type = in.type;
    out.preDelay = in.preDelay;
    out.resultID = in.resultID;
    out.valid = in.valid;
}
void putOne(int id, const char* name, const RuleTrigger& t) { putRule(id, name, {t}, {}); }
void putOne(int id, const char* name, const RuleResult& r) { putRule(id, name, {}, {r}); }
std::list<RuleTrigger> readBack(Rules& r, const RuleTrigger*) { return r.getRuleTriggers(); }
std::list<RuleResult> readBack(Rules& r, const RuleResult*) { return r.getRuleResults(); }

// Stores a full item of each case alone in rule `id` and compares, byte for
// byte, what the reader gives back with what it should keep.
template <typename T>
void expectEachKept(int id, T (*full)(int, int), const std::vector<KeepCase<T>>& cases) {
    for (const KeepCase<T>& c : cases) {
        T in = full(c.type, c.subKind), want;
        memset(&want, 0, sizeof want);
        keepEveryKind(in, want);
        c.keep(in, want);
        putOne(id, c.name, in);
        Rules r(id);
        std::list<T> back = readBack(r, &in);
        ASSERT_EQ(back.size(), 1u) << c.name;
        expectSame(back.front(), want, c.name);
    }
}

void keepKind5Trigger(const RuleTrigger& in, RuleTrigger& out) {
    out.index = in.index;
    kept(out.value, in.value);
    out.condition = in.condition;
    out.duration = in.duration;
    out.subKind = in.subKind;
}
void keepKind5TriggerWithText(const RuleTrigger& in, RuleTrigger& out) {
    keepKind5Trigger(in, out);
    kept(out.text, in.text, 25);
}
void keepKind5Result(const RuleResult& in, RuleResult& out) {
    kept(out.value, in.value);
    out.subKind = in.subKind;
}
void keepFirstTextBytes(const RuleResult& in, RuleResult& out) {
    out.text[0] = in.text[0];
    out.text2[0] = in.text2[0];
}

TEST_F(RulesTest, EachKindKeepsOnlyItsOwnFields) {
    expectEachKept<RuleTrigger>(30, fullTrigger,
                                {
                                    {"kind 4", RT_Kind4, 7,
                                     [](const RuleTrigger& in, RuleTrigger& out) {
                                         out.condition = in.condition;
                                         out.duration = in.duration;
                                         out.kind4Value = in.kind4Value;
                                         out.subKind = in.subKind;
                                         kept(out.text, in.text);
                                     }},
                                    {"kind 5 sub-kind 1", RT_Kind5, 1, keepKind5TriggerWithText},
                                    {"kind 5 sub-kind 2", RT_Kind5, 2, keepKind5TriggerWithText},
                                    {"kind 5 sub-kind 3", RT_Kind5, 3, keepKind5Trigger},
                                    {"weather", RT_Weather, 7,
                                     [](const RuleTrigger& in, RuleTrigger& out) {
                                         out.condition = in.condition;
                                         out.duration = in.duration;
                                         out.weatherKind = in.weatherKind;
                                         kept(out.weatherValue, in.weatherValue);
                                     }},
                                });
    expectEachKept<RuleResult>(
        31, fullResult,
        {
            {"kind 1", RR_Kind1, 7,
             [](const RuleResult& in, RuleResult& out) {
                 out.kind1Value = in.kind1Value;
                 out.number248 = in.number248;
                 kept(out.text, in.text);
             }},
            {"scene", RR_Scene, 7, [](const RuleResult& in, RuleResult& out) { out.sceneID = in.sceneID; }},
            {"kind 3", RR_Kind3, 7,
             [](const RuleResult& in, RuleResult& out) {
                 out.number248 = in.number248;
                 kept(out.text, in.text);
             }},
            {"kind 4", RR_Kind4, 7,
             [](const RuleResult& in, RuleResult& out) {
                 out.kind4Value = in.kind4Value;
                 out.subKind = in.subKind;
                 kept(out.text2, in.text2);
             }},
            {"kind 5 sub-kind 1", RR_Kind5, 1,
             [](const RuleResult& in, RuleResult& out) {
                 keepKind5Result(in, out);
                 out.index = in.index;
                 keepFirstTextBytes(in, out);
             }},
            {"kind 5 sub-kind 2", RR_Kind5, 2,
             [](const RuleResult& in, RuleResult& out) {
                 keepKind5Result(in, out);
                 out.kind5Byte = in.kind5Byte;
                 keepFirstTextBytes(in, out);
             }},
            {"kind 5 sub-kind 3", RR_Kind5, 3,
             [](const RuleResult& in, RuleResult& out) {
                 keepKind5Result(in, out);
                 out.index = in.index;
             }},
        });
    EXPECT_TRUE(requests().empty()) << "whole rules need no repair";

    // A type below the first is dropped and its removal asked for.
    RuleResult negative = fullResult(-1, 0);
    putRule(32, "negative", {}, {negative});
    EXPECT_TRUE(Rules(32).getRuleResults().empty());
    std::vector<Request> q = requests();
    ASSERT_EQ(q.size(), 2u);
    expectRequest(q[0], 15, "", {0, 0, 32, 0, 1});
}

TEST_F(RulesTest, DamagedCountsAndMissingItems) {
    RuleTrigger t = deviceTrigger(4, 1, "true");
    putRule(40, "counts", {t}, {deviceResult(1, 1, "true")});
    putText(kStore, "40.TC", "-5");
    putText(kStore, "40.RC", "99999");
    Rules r(40);
    EXPECT_TRUE(r.getRuleTriggers().empty()) << "a negative count reads as none";
    EXPECT_EQ(r.getRuleResults().size(), 1u) << "the items that are there, up to 4096";
    // A count above what is stored: the missing items are left out.
    putRule(41, "gaps", {t}, {deviceResult(1, 1, "true")});
    putText(kStore, "41.TC", "3");
    putText(kStore, "41.RC", "2");
    Rules g(41);
    EXPECT_EQ(g.getRuleTriggers().size(), 1u);
    EXPECT_EQ(g.getRuleResults().size(), 1u);
    EXPECT_TRUE(requests().empty());
}

TEST_F(RulesTest, WeatherAndOtherTriggersAreAdded) {
    putRule(1, "r", {}, {});
    Rules r(1);
    RuleTrigger filled = weatherTrigger(1, "");
    memset(filled.weatherValue, '1', sizeof filled.weatherValue);
    RuleTrigger kind4 = fullTrigger(RT_Kind4, 1), kind5 = fullTrigger(RT_Kind5, 1);
    kind4.duration = kind5.duration = 0;
    RuleTrigger late = timeTrigger(1, 1);
    late.minute = -1;
    RuleTrigger negativeMinutes = timeTrigger(1, 1);
    negativeMinutes.minutes = -1;
    RuleTrigger negativeDuration = deviceTrigger(4, 1, "true", -60);
    struct Case {
        const char* name;
        RuleTrigger t;
        int want;
    } cases[] = {
        {"sunrise -15", weatherTrigger(1, "-15"), 1},
        {"sunset 0", weatherTrigger(2, "0"), 1},
        {"sunrise no offset", weatherTrigger(1, ""), 1},
        {"sunset letters", weatherTrigger(2, "1a"), 0},
        {"sunrise five digits", weatherTrigger(1, "12345"), 0},
        {"sunrise minus alone", weatherTrigger(1, "-"), 0},
        {"sunrise offset filling its field", filled, 0},
        {"other weather, any text", weatherTrigger(3, "anything"), 1},
        {"kind 4", kind4, 1},
        {"kind 5", kind5, 1},
        {"minute below 0", late, 0},
        {"minutes below 0", negativeMinutes, 0},
        {"negative duration", negativeDuration, 0},
    };
    size_t sent = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(r.addTrigger(c.t), c.want) << c.name;
        sent += c.want;
    }
    EXPECT_EQ(requests().size(), sent);
    EXPECT_EQ(r.getRuleTriggers().size(), sent);
    EXPECT_TRUE(r.checkForSingleDuration());
    // A second duration is refused once one trigger has one.
    EXPECT_EQ(r.addTrigger(deviceTrigger(4, 1, "true", 60)), 1);
    EXPECT_EQ(r.addTrigger(deviceTrigger(4, 1, "true", 60)), 0);
    RuleResult outOfRange = deviceResult(1, 1, "true");
    outOfRange.type = -1;
    EXPECT_EQ(r.addResult(outOfRange), 0);
    outOfRange.type = 6;
    EXPECT_EQ(r.addResult(outOfRange), 0);
    EXPECT_EQ(r.addResult(fullResult(RR_Kind4, 1)), 1);
    EXPECT_EQ(requests().size(), 2u);
}

TEST_F(RulesTest, ValidFlagsAndTheRuleWithoutId) {
    RuleResult a = deviceResult(1, 1, "true", 11);
    RuleTrigger t = deviceTrigger(4, 1, "true");
    t.triggerID = 21;
    putRule(8, "eight", {t}, {a});
    Rules r(8);
    EXPECT_FALSE(r.getTriggerValid(21)) << "stored as not valid";
    EXPECT_FALSE(r.getTriggerValid(77)) << "no such trigger";
    EXPECT_EQ(r.setTriggerValid(21, true), 1);
    EXPECT_EQ(r.setResultValid(11, true), 1);
    EXPECT_EQ(r.setResultValid(99, true), 1);  // sent even for an unknown ID
    EXPECT_TRUE(r.getTriggerValid(21));
    EXPECT_TRUE(r.getResultValid(11));
    expectRequests({{23, "", {21, 0, 8, 0, 1}}, {22, "", {11, 0, 8, 0, 1}}, {22, "", {99, 0, 8, 0, 1}}});
    Rules fresh(8);
    EXPECT_TRUE(fresh.getTriggerValid(21));
    EXPECT_TRUE(fresh.getResultValid(11));

    Rules none(0);
    EXPECT_EQ(none.setTriggerValid(1, true), 0);
    EXPECT_EQ(none.removeAllResults(), 0);
    none.setName((char*)"never");
    EXPECT_STREQ(none.getName(), "");
    none.updateCronjobs();
    EXPECT_EQ(none.updateWeatherCronjob((char*)"1", (char*)"1", 0), 0);
    EXPECT_TRUE(requests().empty());
}

TEST_F(RulesTest, AStoreThatCannotBeOpenedLeavesTheRuleEmpty) {
    putRule(1, "one", {deviceTrigger(4, 1, "true")}, {});
    Rules loaded(1);
    ASSERT_EQ(loaded.getRuleTriggers().size(), 1u);
    storefault::expectLockedOut(kStore, [&] {
        loaded.Refresh();
        return loaded.getRuleTriggers().empty();
    });
    putRule(1, "one", {}, {});
    storefault::expectLockedOut(kStore, [&] {
        Rules made((char*)"never made");
        return made.getID() == 0;
    });
    EXPECT_TRUE(requests().empty());
}

}  // namespace
