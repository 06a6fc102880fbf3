// Datagrams as the HA server sends them to the clients, for tests that play
// the server; and the end of a forked test child.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <cstdio>
#include <cstdlib>

#include "hacore/HADevices.h"
#include "testkit.h"

inline std::string notification(int id, int index, const std::string& value) {
    struct {
        int32_t kind;
        HAPacket p;
    } m;
    memset(&m, 0, sizeof m);
    m.p.deviceId = id;
    m.p.index = index;
    memcpy(m.p.value, value.data(), std::min(value.size(), sizeof m.p.value));
    return std::string(reinterpret_cast<char*>(&m), sizeof m);
}

inline std::string event(int type, int arg, const std::string& data = "", int kind = 1) {
    struct {
        int32_t kind;
        Event e;
    } m;
    memset(&m, 0, sizeof m);
    m.kind = kind;
    m.e.type = (EventType)type;
    m.e.arg = arg;
    memcpy(m.e.data, data.data(), std::min(data.size(), sizeof m.e.data));
    return std::string(reinterpret_cast<char*>(&m), sizeof m);
}

// A forked child ends at once, its coverage counts written.
[[noreturn]] inline void childExit(int code) { testkit::exitChild(code); }
