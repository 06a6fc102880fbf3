// Test helpers for scenes and rules: records laid into /tmp/sdb and
// /tmp/rdb as the RSC server writes them, and the requests it received.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ddb.h"
#include "hacore/Rule.h"
#include "hacore/packets.h"
#include "servers.h"
#include "testkit.h"

namespace autotest {

constexpr size_t kRscSize = sizeof(RSC_PACKET);

struct Request {
    int command = -1;
    std::string text;                     // zero-terminated text of the field
    std::string raw;                      // the whole text field
    int ints[7] = {0, 0, 0, 0, 0, 0, 0};  // [1]..[6]
    bool ok = false;
};

inline Request parse(const std::string& bytes) {
    Request r;
    r.ok = bytes.size() == kRscSize;
    if (!r.ok) return r;
    r.command = testkit::le32(bytes, 0);
    r.text = testkit::field(bytes, 4, 10240);
    r.raw = bytes.substr(4, 10240);
    for (int i = 1; i <= 6; ++i) r.ints[i] = testkit::le32(bytes, 10240 + 4 * i);
    return r;
}

// What the RSC server received since the last call, parsed.
inline std::vector<Request> requests() {
    std::vector<std::string> got = testkit::received("rsc");
    testkit::clearReceived("rsc");
    std::vector<Request> out;
    for (const std::string& b : got) out.push_back(parse(b));
    return out;
}

// Checks one request: command, text and the six integers.
inline void expectRequest(const Request& r, int command, const std::string& text, std::vector<int> ints) {
    EXPECT_TRUE(r.ok) << "packet of the wrong size";
    EXPECT_EQ(r.command, command);
    EXPECT_EQ(r.text, text);
    ints.resize(6, 0);
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(r.ints[i], ints[i - 1]) << "integer " << i << " of command " << command;
}

struct Expected {
    int command;
    std::string text;
    std::vector<int> ints;
};

// The RSC server received exactly these requests since the last look.
inline void expectRequests(const std::vector<Expected>& want) {
    std::vector<Request> q = requests();
    ASSERT_EQ(q.size(), want.size()) << "requests, the first expected of command " << want.front().command;
    for (size_t i = 0; i < want.size(); ++i) expectRequest(q[i], want[i].command, want[i].text, want[i].ints);
}

inline void put(const char* store, const std::string& key, const void* data, size_t len) {
    testkit::ddbPut(key, data, (int)len, store);
}
inline void putText(const char* store, const std::string& key, const std::string& text) {
    testkit::ddbPutText(key, text, store);
}

template <typename T>
T zeroed() {
    T x;
    memset(&x, 0, sizeof x);
    return x;
}

// A trigger, result or scene entry on a device's value, the rest zero.
template <typename T>
T aimedAt(int device, int index, const char* value) {
    T x = zeroed<T>();
    x.deviceID = device;
    x.index = index;
    strncpy(x.value, value, sizeof x.value - 1);
    return x;
}

// Triggers as a caller fills them in, the rest zero.
inline RuleTrigger timeTrigger(int hour, int minute, const char* day = "*", const char* month = "*",
                               const char* weekday = "*") {
    RuleTrigger t = zeroed<RuleTrigger>();
    t.type = RT_Time;
    t.hour = hour;
    t.minute = minute;
    t.minutes = hour * 60 + minute;
    strncpy(t.day, day, sizeof t.day - 1);
    strncpy(t.month, month, sizeof t.month - 1);
    strncpy(t.weekday, weekday, sizeof t.weekday - 1);
    t.triggerID = 1;
    return t;
}

inline RuleTrigger deviceTrigger(int device, int index, const char* value, int duration = 0) {
    RuleTrigger t = aimedAt<RuleTrigger>(device, index, value);
    t.type = RT_Device;
    t.duration = duration;
    t.triggerID = 2;
    return t;
}

// kind 1 sunrise, 2 sunset (offset in minutes), others a reading.
inline RuleTrigger weatherTrigger(int kind, const char* value) {
    RuleTrigger t = zeroed<RuleTrigger>();
    t.type = RT_Weather;
    t.weatherKind = kind;
    strncpy(t.weatherValue, value, sizeof t.weatherValue - 1);
    return t;
}

inline std::string dpmgrGet(const std::string& store, const std::string& key) {
    return testkit::run("dpmgr get -n " + store + " '" + key + "' 2>/dev/null");
}

}  // namespace autotest
