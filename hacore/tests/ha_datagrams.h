// Datagrams as the HA server sends them to the clients, for tests that play
// the server; the end of a forked test child; signals that interrupt the
// library's blocking calls.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <cstdio>
#include <cstdlib>
#include <signal.h>

#include "hacore/HADevices.h"
#include "hacore/channel_state.h"
#include "hacore/packets.h"
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

// Fills the Z-Wave server's buffer with a set-value command of a byte value
// (genre user), as a device command does.
inline void fillZWaveSetValue(uint8_t node, uint8_t commandClass, uint8_t commandIndex, uint8_t instance,
                              const char* value) {
    OZWSendingPacket.node = node;
    OZWSendingPacket.commandClass = commandClass;
    OZWSendingPacket.commandIndex = commandIndex;
    OZWSendingPacket.instance = instance;
    strncpy(OZWSendingPacket.value, value, sizeof OZWSendingPacket.value - 1);
    OZWSendingPacket.operation = OZW_Code_SetValueOperation;
    OZWSendingPacket.genre = 1;
    OZWSendingPacket.valueType = 1;
}

// A forked child ends at once, its coverage counts written.
[[noreturn]] inline void childExit(int code) { testkit::exitChild(code); }

// A handler for `sig` without SA_RESTART, so that a call it interrupts
// returns EINTR; the old one is back at the end of the scope.
class InterruptingHandler {
public:
    InterruptingHandler(int sig, void (*handler)(int)) : sig_(sig) {
        struct sigaction sa;
        memset(&sa, 0, sizeof sa);
        sa.sa_handler = handler;
        sigaction(sig, &sa, &old_);
    }
    ~InterruptingHandler() { sigaction(sig_, &old_, nullptr); }
    InterruptingHandler(const InterruptingHandler&) = delete;
    InterruptingHandler& operator=(const InterruptingHandler&) = delete;

private:
    int sig_;
    struct sigaction old_;
};
