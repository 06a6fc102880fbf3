/**
 * @file
 * The application's entry point to the core library: choose the process's
 * client identity, register callbacks, and hear about every device change
 * and system event that the HA server announces.
 */
#pragma once

#include <cstddef>
#include <cstdint>

#include "hacore/Device.h"
#include "hacore/channel.h"
#include "hacore/vocab.h"

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// Device notification sent by the HA server: a value of a device changed.
struct HAPacket {
    int32_t deviceId;  ///< device whose value changed
    int32_t index;     ///< value index that changed
    char value[180];   ///< new value, zero-terminated
};
static_assert(sizeof(HAPacket) == 188, "");
static_assert(offsetof(HAPacket, index) == 4, "");
static_assert(offsetof(HAPacket, value) == 8, "");

/// System event, received from the HA server and sent by
/// HADevices::broadcastEvent() (604 bytes on the wire).
struct Event {
    EventType type;  ///< what changed; 0: no event (never handed to callbacks)
    int32_t arg;     ///< first argument (an entity ID, a code), as the emitter says
    char data[596];  ///< laid out per event type by its emitter
};
static_assert(sizeof(Event) == 604, "");
static_assert(offsetof(Event, arg) == 4, "");
static_assert(offsetof(Event, data) == 8, "");

/// Datagram from the HA server: a kind word, then the notification or event.
/// At most 1100 bytes are read.
struct HAReceivedPacket {
    int32_t kind;  ///< 0 device notification, 1 event
    /// The body, by kind.
    union {
        HAPacket notification;  ///< kind 0
        Event event;            ///< kind 1
        char raw[1096];         ///< the body as bytes
    };
};
static_assert(sizeof(HAReceivedPacket) == 1100, "");
static_assert(offsetof(HAReceivedPacket, notification) == 4, "");

/// Last device notification received. The receiver thread overwrites it with
/// the next one: read it on that thread (in a callback) or copy it.
extern HAPacket hapacket;
/// Last event received; the Event* handed to event callbacks points here, and
/// the receiver thread overwrites it with the next event.
extern Event epacket;

class Scene;
class Rules;

/**
 * The facade of the core library. An application calls one initialiser once,
 * at start-up, to choose its client identity (which loopback address its
 * socket binds, so that the servers can address it) and start the receiver
 * thread; then it registers its callbacks.
 *
 * The receiver thread takes each datagram from the HA server: a device
 * notification is stored in ::hapacket, the device is loaded afresh from the
 * store and handed to the generic callback and, if it is the registered
 * device, to the device callback; an event is stored in ::epacket and handed
 * to the event callback. Datagrams from other senders are dropped (the
 * cloud connector also takes events from the mesh server, the mesh client
 * from the cloud connector). A notification for a device the store does not
 * hold reaches no callback.
 *
 * The object holds no state: any number of HADevices objects share the
 * process's one channel and callbacks.
 */
class HADevices {
public:
    /// Does nothing; the initialisers connect.
    HADevices();

    /**
     * @name Initialisers
     * Each sets ::which to its identity, connects (ConnectToServers(), which
     * opens and binds the socket and starts the receiver thread) and clears
     * the generic and device callbacks (not the event callback). Each returns
     * what ConnectToServers() returned: 1, or 0 on a fatal failure. Call one
     * of them once per process.
     */
    ///@{
    int initialize();             ///< end client (front end), 127.255.255.3
    int CloudInitialize();        ///< cloud connector, 127.255.255.2
    int rulesEngineInitialize();  ///< rules engine, 127.255.255.7
    int runRuleInitialize();      ///< runRule tool, 127.255.255.8
    int initializeFree1();        ///< spare client 1, 127.255.255.9
    int initializeFree2();        ///< spare client 2, 127.255.255.10
    int webInitialize();          ///< web server, 127.255.255.11
    int meshInitialize();         ///< mesh client (binds the mesh server's address)
    ///@}

    /**
     * @name Callbacks
     * Registering replaces the previous callback of that kind; null clears
     * it. Callbacks run on the receiver thread, one at a time, and the next
     * datagram waits for them: keep them short, and do not call an
     * initialiser from them. An exception thrown out of a callback is
     * swallowed, and the receiver goes on.
     */
    ///@{
    /// Called with every notified device. The Device* is a fresh load that
    /// lives only during the call: copy it to keep it.
    void genericCallback(void (*fn)(Device*));
    /// Called with the device `deviceId` when it is notified (one device at a
    /// time: a new registration replaces the previous device and function).
    void deviceCallback(int deviceId, void (*fn)(Device*));
    /// Called with every event of a type other than 0. The Event* is
    /// ::epacket, overwritten by the next event.
    void eventCallback(void (*fn)(Event*));
    ///@}

    /// Sends the event to the HA server's association port, which passes it
    /// on to the clients. A failed send is reported on standard error.
    void broadcastEvent(Event e);
    /// Sends an EV_DelayedArm event to the HA server's association port. The
    /// lower-case "arm" is the exported spelling.
    void Delayedarm();
    /// Asks the RSC server (command 54) to restore the store at `storePath`
    /// from flash, `code` going along as the request's first integer. Waits up
    /// to 120 seconds; true when the server answered "true".
    bool restoreDB(unsigned char code, char* storePath);

    /**
     * @name Process-wide objects
     * One object per process each, created on first use and never freed.
     */
    ///@{
    /// The device of the first successful call: later calls return it
    /// whatever their ID (reload it with Device::fromDeviceID()).
    /// @throws int the ID when the first load finds no such device; the next
    /// call tries again.
    Device& getDeviceByID(int id);
    /// A list created empty; fill it with DeviceList::Populate().
    DeviceList& getDeviceList();
    /// A second list created empty; the type is not used.
    DeviceList& getDeviceByType(DevType type);
    /// A third list created empty; the hop count is not used.
    DeviceList& getDeviceByHop(int hop);
    /// A scene created empty; the argument is not used: the caller loads the
    /// object itself.
    Scene& getSceneByID(int id);
    /// A rule created empty; the argument is not used: the caller loads the
    /// object itself.
    Rules& getRuleByID(int id);
    ///@}
};

/// Pointer just after the first '@' that is not the first character of
/// `text` (the domain of a mail address), or null (also for a null or empty
/// text). The pointer points into `text`.
char* validate_local_address(char* text);
/// True for the mode characters '2', '3', '4' and '5'.
bool validate_mode(char c);
/// Writes the hardware address of interface `ifname` into `out` (13 bytes) as
/// twelve lower-case hex digits and returns 0; on failure writes "<no_mac>"
/// (9 bytes) and returns -1.
int getIfMac(const char* ifname, char* out);

#pragma GCC visibility pop
