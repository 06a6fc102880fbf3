// The application's entry point to the core library: choose the process's
// client identity, register callbacks, and hear about every device change
// and system event that the HA server announces.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hacore/Device.h"
#include "hacore/channel.h"
#include "hacore/vocab.h"

// Device notification sent by the HA server: a value of a device changed.
struct HAPacket {
    int32_t deviceId;
    int32_t index;    // value index that changed
    char value[180];  // new value, zero-terminated
};
static_assert(sizeof(HAPacket) == 188, "");
static_assert(offsetof(HAPacket, index) == 4, "");
static_assert(offsetof(HAPacket, value) == 8, "");

// System event, received from the HA server and sent by broadcastEvent.
struct Event {
    EventType type;  // 0: no event
    int32_t arg;     // first argument, as the emitter says
    char data[596];  // laid out per event type by its emitter
};
static_assert(sizeof(Event) == 604, "");
static_assert(offsetof(Event, arg) == 4, "");
static_assert(offsetof(Event, data) == 8, "");

// Datagram from the HA server: a kind word, then the notification or event.
// At most 1100 bytes are read.
struct HAReceivedPacket {
    int32_t kind;  // 0 device notification, 1 event
    union {
        HAPacket notification;
        Event event;
        char raw[1096];
    };
};
static_assert(sizeof(HAReceivedPacket) == 1100, "");
static_assert(offsetof(HAReceivedPacket, notification) == 4, "");

// Last device notification and last event received (the receiver thread
// overwrites them with the next datagram).
extern HAPacket hapacket;
extern Event epacket;

class Scene;
class Rules;

class HADevices {
public:
    HADevices();

    // Each sets `which`, connects (ConnectToServers, which starts the
    // receiver thread) and clears the generic and device callbacks. They
    // return what ConnectToServers returned.
    int initialize();             // end client
    int CloudInitialize();        // cloud connector
    int rulesEngineInitialize();  // rules engine
    int runRuleInitialize();      // runRule tool
    int initializeFree1();        // spare client 1
    int initializeFree2();        // spare client 2
    int webInitialize();          // web server
    int meshInitialize();         // mesh client

    // Registering replaces the previous callback; null clears it. Callbacks
    // run on the receiver thread. The Device* lives only during the call; the
    // Event* is the shared event buffer.
    void genericCallback(void (*fn)(Device*));
    void deviceCallback(int deviceId, void (*fn)(Device*));
    void eventCallback(void (*fn)(Event*));

    // Sends the event to the HA server's association port.
    void broadcastEvent(Event e);
    // Sends a "DelayedArm" event to the HA server's association port.
    void Delayedarm();
    // Asks the RSC server to restore a whole store from flash.
    bool restoreDB(unsigned char code, char* storePath);

    // One object per process each, created on first use. getDeviceByID loads
    // the device of its first successful call (a missing device throws its
    // ID and the next call tries again); the lists are created empty.
    Device& getDeviceByID(int id);
    DeviceList& getDeviceList();
    DeviceList& getDeviceByType(DevType type);
    DeviceList& getDeviceByHop(int hop);

    // ---- lookups of other entities: begin ----
    // One process-wide scene and rule, created empty on first use; the
    // argument is not used: the caller loads the object itself.
    Scene& getSceneByID(int id);
    Rules& getRuleByID(int id);
    // ---- lookups of other entities: end ----
};

// Pointer just after the first '@' that is not the first character (the
// domain of a mail address), or null.
char* validate_local_address(char* text);
// True for '2', '3', '4' and '5'.
bool validate_mode(char c);
// Hardware address of the interface as twelve lower-case hex digits; 0, or
// -1 with "<no_mac>" in out.
int getIfMac(const char* ifname, char* out);
