/**
 * @file
 * Pairing of new devices: the client of the device servers' association
 * procedures (Z-Wave and ZigBee inclusion and exclusion, Hue bridges and
 * bulbs, the Nest account, radio resets), the typing of a new device, and the
 * receiver thread that follows the servers' answers and reports every step
 * to the application as an AssocEvent.
 *
 * One process at a time pairs: the client binds the association port
 * 127.255.255.4:8888, which only one socket may hold.
 *
 * A pairing runs in this order: an initialiser (HalvixAssociation::LCDAssocInit()
 * and the like), HalvixAssociation::registerAssocEventCB(),
 * HalvixAssociation::checkAssocConnection(), a start request (add, remove,
 * a Hue or Nest request), events on the callback, then for an added device
 * setDevType() (when sub-types were offered), setDevName(), setDevLocation()
 * and addingDone(), and finally closeAssocConnection().
 *
 * Event types of AssocEvent::type:
 * | type | meaning | payload |
 * |------|---------|---------|
 * | 2 | the pending operation timed out | AssocTimeoutPayload |
 * | 3 | device found, being added | AssocDevicePayload (ZigBee; Z-Wave: not filled) |
 * | 4 | Z-Wave node already stored | not filled |
 * | 5 | reading the device's details | AssocDevicePayload (ZigBee; Z-Wave: not filled) |
 * | 6 | choose a sub-type (then setDevType()) | AssocDevicePayload with the found type and the sub-type list |
 * | 7 | enter name and location | AssocDevicePayload with name, location "Default" and type |
 * | 9 | association failed | AssocDevicePayload (ZigBee; Z-Wave: not filled) |
 * | 11 | device being removed / removed | AssocDevicePayload with the removed device's name and ID |
 * | 12 | unknown device removed | not filled |
 * | 21 | Hue bridge list | AssocBridgeListPayload |
 * | 22, 23, 25, 29 | Hue success answers | JSON text |
 * | 26, 27, 28, 30 | Hue failure answers | JSON text |
 * | 41 to 46 | Nest answers | 44: the NestAnswer; others: not filled |
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <netinet/in.h>
#include <pthread.h>

#include "hacore/Device.h"
#include "hacore/vocab.h"

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

class Logger;

/// Destination of HalvixAssociation::sendToServers() (and the size sent).
enum ServerType : int32_t {
    ST_Zigbee = 1,   ///< ZigBee server, 320 bytes
    ST_Zwave = 2,    ///< Z-Wave server, 236 bytes
    ST_Hue = 3,      ///< Hue server, 304 bytes
    ST_Nest = 4,     ///< Nest server, 256 bytes
    ST_HaAssoc = 5,  ///< HA server's association port, 4100 bytes
    ST_Mesh = 6,     ///< mesh server: not implemented, nothing is sent
};

/// What a timed-out operation cancels (HalvixAssociation::cancelType).
enum cancel_type : int32_t {
    CANCEL_Zigbee = 1,  ///< the ZigBee inclusion or exclusion
    CANCEL_Zwave = 2,   ///< the Z-Wave one
    CANCEL_Both = 3,    ///< both (and the client becomes idle)
};

/// Radios HalvixAssociation::doResetFor() resets.
enum reset_type : int32_t {
    RESET_Zigbee = 1,            ///< the ZigBee radio
    RESET_Zwave = 2,             ///< the Z-Wave radio
    RESET_Both = 3,              ///< both
    RESET_BothAndRemoveAll = 4,  ///< both, then every stored device is removed
};

/// Command of HalvixAssociation::cmdToZigbee().
enum zigbee_cmd : int32_t {
    ZB_Add = 1,     ///< open the network for joining
    ZB_Remove = 2,  ///< start removing a device
    ZB_Reset = 3,   ///< reset the radio (two packets, 2 seconds apart)
    ZB_Cancel = 4,  ///< close the network again
};

/// Command of HalvixAssociation::cmdToZwave().
enum zwave_cmd : int32_t {
    ZW_Add = 1,     ///< start inclusion
    ZW_Remove = 2,  ///< start exclusion
    ZW_Reset = 3,   ///< reset the controller
    ZW_Cancel = 4,  ///< cancel the running controller command
};

/// Client identity (HalvixAssociation::clientType), set by the initialisers.
enum AssocClient : int32_t {
    AC_WebServer = 1,   ///< web server: the connection closes after each Hue or Nest answer
    AC_LCD = 2,         ///< touch-screen front end
    AC_CloudApps = 3,   ///< cloud connector
    AC_MeshServer = 4,  ///< mesh server
    AC_FreeUser1 = 5,   ///< spare client 1
    AC_FreeUser2 = 6,   ///< spare client 2
};

/// Z-Wave node record (1036 bytes), as the Z-Wave server sends it and the HA
/// server takes it.
struct ZWNodeRecord {
    uint8_t nodeId;          ///< 0 no node, 255 failed
    uint8_t classes[53];     ///< supported command classes, ended by 0xFF
    uint8_t basicClass;      ///< basic device class; 0: the node cannot be added
    uint8_t genericClass;    ///< generic device class, which typing starts from
    uint8_t specificClass;   ///< specific device class
    uint8_t values[181][3];  ///< (command class, command index, instance), ended by class 0
    uint32_t devTech;        ///< DevTech of the pending device (2 Z-Wave; 1 tells addingDone() it is ZigBee)
    int32_t chosenType;      ///< DevType chosen
    int32_t foundType;       ///< DevType found by typing (60 GenericDevice)
    char name[180];          ///< device name
    char location[180];      ///< device location
    uint8_t marker;          ///< 255 being added, 254 being removed
    uint8_t indexes[63];     ///< (IndexType, instance), ended by type 0: 31 entries and the end
};
static_assert(sizeof(ZWNodeRecord) == 1036, "Z-Wave node record");
static_assert(offsetof(ZWNodeRecord, classes) == 1, "");
static_assert(offsetof(ZWNodeRecord, basicClass) == 54, "");
static_assert(offsetof(ZWNodeRecord, genericClass) == 55, "");
static_assert(offsetof(ZWNodeRecord, specificClass) == 56, "");
static_assert(offsetof(ZWNodeRecord, values) == 57, "");
static_assert(offsetof(ZWNodeRecord, devTech) == 600, "");
static_assert(offsetof(ZWNodeRecord, chosenType) == 604, "");
static_assert(offsetof(ZWNodeRecord, foundType) == 608, "");
static_assert(offsetof(ZWNodeRecord, name) == 612, "");
static_assert(offsetof(ZWNodeRecord, location) == 792, "");
static_assert(offsetof(ZWNodeRecord, marker) == 972, "");
static_assert(offsetof(ZWNodeRecord, indexes) == 973, "");

/// Capacity of ZWNodeRecord::classes.
constexpr int kZWClassCap = 53;
/// Capacity of ZWNodeRecord::values (entries).
constexpr int kZWValueCap = 181;
/// Index entries kept in ZWNodeRecord::indexes before the end entry.
constexpr int kZWIndexCap = 31;

/// One cluster of a ZigBee device record.
struct ZBCluster {
    uint16_t id;        ///< cluster ID; 0xFFFF ends the list
    uint16_t endPoint;  ///< end point that carries it
};
/// ZigBee device record (444 bytes), as the ZigBee server sends it and the HA
/// server takes it. Fields named `reserved...` are passed on as received.
struct ZBDeviceRecord {
    uint16_t shortAddr;       ///< ZigBee short address
    uint8_t reserved2[8];     ///< passed on
    uint8_t status;           ///< 1 found, 2 or 11 failed (2 also: removed), 6 reading, 10 described, 12 unknown
    uint8_t reserved11;       ///< passed on
    ZBCluster clusters[30];   ///< supported clusters, ended by ID 0xFFFF
    char manufacturer[40];    ///< manufacturer name
    uint8_t reserved172[40];  ///< passed on
    uint8_t devType;          ///< DevType chosen by typing, 0 none yet
    uint8_t reserved213;      ///< passed on
    uint16_t zoneType;        ///< IAS zone type
    uint8_t reserved216[12];  ///< passed on
    uint16_t field228;        ///< must be non-zero for the electrical-measurement typing rule
    uint16_t reserved230;     ///< passed on
    uint16_t field232;        ///< as field228
    uint8_t reserved234[6];   ///< passed on
    uint16_t field240;        ///< as field228
    uint8_t reserved242[50];  ///< passed on
    uint16_t ident292;        ///< identification field (4098 for the maker's own plug)
    uint16_t ident294;        ///< identification field (24256 for the maker's own plug)
    char model[22];           ///< model identifier
    uint8_t indexCount;       ///< number of index entries
    uint8_t reserved319;      ///< passed on
    uint8_t indexes[58];      ///< entry k (1-based): type at 318 + 2k, end point at 319 + 2k
    char name[32];            ///< device name
    char location[32];        ///< device location
    uint8_t reserved442[2];   ///< passed on
};
static_assert(sizeof(ZBDeviceRecord) == 444, "ZigBee device record");
static_assert(offsetof(ZBDeviceRecord, status) == 10, "");
static_assert(offsetof(ZBDeviceRecord, clusters) == 12, "");
static_assert(offsetof(ZBDeviceRecord, manufacturer) == 132, "");
static_assert(offsetof(ZBDeviceRecord, devType) == 212, "");
static_assert(offsetof(ZBDeviceRecord, zoneType) == 214, "");
static_assert(offsetof(ZBDeviceRecord, field228) == 228, "");
static_assert(offsetof(ZBDeviceRecord, field232) == 232, "");
static_assert(offsetof(ZBDeviceRecord, field240) == 240, "");
static_assert(offsetof(ZBDeviceRecord, ident292) == 292, "");
static_assert(offsetof(ZBDeviceRecord, ident294) == 294, "");
static_assert(offsetof(ZBDeviceRecord, model) == 296, "");
static_assert(offsetof(ZBDeviceRecord, indexCount) == 318, "");
static_assert(offsetof(ZBDeviceRecord, indexes) == 320, "");
static_assert(offsetof(ZBDeviceRecord, name) == 378, "");
static_assert(offsetof(ZBDeviceRecord, location) == 410, "");

/// Capacity of ZBDeviceRecord::clusters.
constexpr int kZBClusterCap = 30;
/// Index entries kept in a ZigBee record: 28, so that the end entry (type 255)
/// still fits before the name.
constexpr int kZBIndexCap = 28;

/// Association packet (4100 bytes) to the HA server's association port
/// 127.255.255.1:9999.
struct HAAssocPacket {
    uint32_t selector;   ///< 0 ZigBee record or "removeAllDevices", 2 Z-Wave node record
    uint8_t data[4096];  ///< the record or text
};
static_assert(sizeof(HAAssocPacket) == 4100, "");

/// Answer of the Nest server (12 bytes).
struct NestAnswer {
    uint32_t command;  ///< 100, 121 .. 124: picks the event raised
    int32_t result;    ///< command 124: 0 success, -1 failure
    uint32_t data;     ///< further data
};
static_assert(sizeof(NestAnswer) == 12, "");

/// Size of a Hue server answer, bytes.
constexpr int kHueAnswerSize = 3260;
/// Size of one bridge's JSON object in a Hue answer.
constexpr int kHueObjectSize = 65;
/// Bridge slots of the bridge list event (AssocBridgeListPayload).
constexpr int kHueBridgeSlots = 25;
/// Answer of the Hue server: state, count, then one 65-byte JSON object per
/// bridge.
struct HueAnswer {
    uint32_t state;                    ///< 0 bridge list; 1 .. 9 the outcome of a request
    uint32_t count;                    ///< bridges in the list (state 0)
    char bridges[50][kHueObjectSize];  ///< one JSON object per bridge ("id", "internalipaddress")
    uint8_t reserved[2];               ///< unused
};
static_assert(sizeof(HueAnswer) == kHueAnswerSize, "");

/// What the callback gets (4104 bytes): the event type (table in the file
/// description), the server and a payload whose layout depends on the type.
struct AssocEvent {
    int32_t type;           ///< event type
    int32_t server;         ///< DevTech: 1 ZigBee, 2 Z-Wave, 3 Hue, 4 Nest; not set for a timeout
    uint8_t payload[4096];  ///< AssocDevicePayload, AssocTimeoutPayload, AssocBridgeListPayload, text...
};
static_assert(sizeof(AssocEvent) == 4104, "");

/// Device payload (1788 bytes) of events 3, 5, 6, 7, 9 and 11.
struct AssocDevicePayload {
    char name[180];          ///< device name
    char location[180];      ///< device location
    char removedName[180];   ///< name of a removed device (event 11)
    uint32_t removedId;      ///< ID of a removed device (event 11)
    uint32_t devType;        ///< DevType found or chosen
    uint8_t reserved548[8];  ///< zero
    uint32_t zbStatus;       ///< ZigBee status byte (ZBDeviceRecord::status)
    uint8_t zero;            ///< zero
    uint8_t reserved561[3];  ///< zero
    /// JSON text (ZigBee progress events) or the sub-type list (event 6).
    union {
        char json[1224];         ///< zero-terminated JSON text
        uint32_t subTypes[306];  ///< DevType list offered as sub-types, ended by 0
    } u;
};
static_assert(sizeof(AssocDevicePayload) == 1788, "");
static_assert(offsetof(AssocDevicePayload, removedName) == 360, "");
static_assert(offsetof(AssocDevicePayload, removedId) == 540, "");
static_assert(offsetof(AssocDevicePayload, devType) == 544, "");
static_assert(offsetof(AssocDevicePayload, zbStatus) == 556, "");
static_assert(offsetof(AssocDevicePayload, zero) == 560, "");
static_assert(offsetof(AssocDevicePayload, u) == 564, "");

/// Timeout payload of event 2.
struct AssocTimeoutPayload {
    int32_t lastStatus;  ///< type of the last progress event before the timeout
    char json[1024];     ///< {"CommandType":"<pending command>", ..., "Reason":"TimeoutReached"}
};
static_assert(offsetof(AssocTimeoutPayload, json) == 4, "");

/// Bridge list payload of event 21; only the slots below the count the Hue
/// server sent are filled.
struct AssocBridgeListPayload {
    char mac[kHueBridgeSlots][30];  ///< bridge MACs with colons (HueMac())
    char ip[kHueBridgeSlots][50];   ///< bridge IP addresses
};
static_assert(offsetof(AssocBridgeListPayload, ip) == 750, "");

/**
 * @name Process-wide state of the library
 * Shared by the application's thread and the receiver thread without locks.
 */
///@{
extern bool idle;          ///< no operation pending; while false a receive timeout ends it
extern char cmdtype[60];   ///< name of the pending command ("AddDevice", ...), put in JSON answers
extern char tempStr[512];  ///< scratch text for log lines
extern int DevId;          ///< next device ID, read from the device store
extern int assoc_meshID;   ///< mesh ID of the node whose servers answered last; -1 when closed
extern int local_meshID;   ///< this node's mesh ID, read at connect (nvram "MeshSlaveID")
extern char DBName[];      ///< the device store, "/tmp/ddb"
///@}
// The pairing receiver's handle is internal to the library (libhacore
// exports its own receiver_thread).
/**
 * @name Typing flags of Z-Wave generic devices
 * Set by ZW_indexToEnum() from the node's values; they choose the sub-types
 * offered for a GenericDevice. addingDone() clears them after a Z-Wave device.
 */
///@{
extern bool SensorBinaryFlag;  ///< the node has a SENSOR BINARY value
extern bool BasicFlag;         ///< the node has a BASIC value
extern bool ZwAcExtFlag;       ///< the node has a thermostat mode, set point or fan mode value
extern bool MultilevelFlag;    ///< the node has a SWITCH MULTILEVEL value
///@}
/// User names of the known Hue bridges, filled by
/// HalvixAssociation::Hue_getBridgeList().
extern char username1[50][50];

/// Bridge ID (16 hex characters) to MAC ("xx:xx:xx:xx:xx:xx", characters
/// 0-5 and 10-15 of the ID); `out` holds 18 bytes. A null or short ID gives
/// "".
void HueMac(char* in, char* out);
/// MAC back to a bridge ID (the six bytes with "fffe" in the middle); `out`
/// holds 17 bytes. A null or short MAC gives "".
void RevertHueMac(char* in, char* out);

/**
 * The pairing client, a process-wide singleton (never destroyed by the
 * library). It owns one socket bound to the association port; requests go
 * out from it to the device servers, and a detached receiver thread reads
 * their answers from it, drives the pairing state machine and reports every
 * step to the registered callback.
 *
 * Two threads touch the object without locks: the application's thread,
 * which calls the requests, and the receiver thread, which changes the state
 * members and the records and runs the callback. Log lines go to the
 * outside Logger, each starting with "libpairing:".
 */
class HalvixAssociation {
public:
    /// The singleton, created on first use (the constructor resolves the
    /// server addresses with ConnectToServers()). Not guarded against two
    /// first callers at once.
    static HalvixAssociation* getInstance();
    /// getInstance(), with clientType AC_WebServer.
    static HalvixAssociation* webServerAssocInit();
    /// getInstance(), with clientType AC_LCD.
    static HalvixAssociation* LCDAssocInit();
    /// getInstance(), with clientType AC_CloudApps.
    static HalvixAssociation* cloudappsAssocInit();
    /// getInstance(), with clientType AC_MeshServer.
    static HalvixAssociation* meshServerAssocInit();
    /// getInstance(), with clientType AC_FreeUser1. "Usr" is the exported
    /// spelling.
    static HalvixAssociation* FreeUsr1AssocInit();
    /// getInstance(), with clientType AC_FreeUser2.
    static HalvixAssociation* FreeUsr2AssocInit();
    /// Never called by the library (the singleton lives until the process
    /// exits).
    virtual ~HalvixAssociation();

    /// Stores the callback, replacing any earlier one (null: none). It runs
    /// on the receiver thread; the AssocEvent is valid only during the call;
    /// no further answer is read while it runs, so it must return quickly and
    /// hand work for the user interface to its own thread.
    void registerAssocEventCB(void (*cb)(AssocEvent*));
    /// Opens the socket, binds the association port and starts the detached
    /// receiver thread. 0 on success (also when the thread could not start,
    /// which is only logged); -1 when the socket, its option or the bind
    /// fails, normally because another process holds the port.
    int checkAssocConnection();
    /// Stops the receiver (at its next receive) and closes the socket.
    void closeAssocConnection();
    /// Resolves the server addresses (the constructor calls it); failures are
    /// reported on standard error. Returns 0. Not the function of the same
    /// name in channel.h.
    int ConnectToServers();
    /// Sends one fixed-size packet (size by ServerType) from the association
    /// socket, so that the answer comes back to the receiver. 0 when sent (or
    /// for ST_Mesh, which sends nothing); -1 for an unknown server or a
    /// failed send.
    int sendToServers(ServerType server, void* packet);
    /// Builds and sends the ZigBee command packet(s) of `cmd`; the reset
    /// blocks 2 seconds. Other values send nothing.
    void cmdToZigbee(zigbee_cmd cmd);
    /// Builds and sends the Z-Wave command packet of `cmd`. Other values send
    /// nothing.
    void cmdToZwave(zwave_cmd cmd);
    /// Cancels inclusion or exclusion on one or both radios; both also makes
    /// the client idle. Another value is only logged.
    void sendCancelTo(cancel_type type);
    /// Starts inclusion on both radios (state "adding"); the first radio that
    /// answers cancels the other.
    void addDevZigbeeZwave();
    /// Starts exclusion on both radios (state "removing").
    void removeDevZigbeeZwave();
    /// After event 6: records the type the user chose, names the device
    /// "<type> #<next ID>" ("GenericDevice #<ID>" for a generic node, whose
    /// indexes are remapped for the type) and raises event 7.
    void setDevType(DevType type);
    /// Records the type without any event.
    void setDevType2(DevType type);
    /// Copies the name of the device being added (keep it below 180
    /// characters).
    void setDevName(char* name);
    /// Copies the location of the device being added (below 180 characters).
    void setDevLocation(char* location);
    /// Hands the finished device record (ZigBee record or Z-Wave node record,
    /// with devName and devLocation) to the HA server, which stores it; makes
    /// the client idle. 0, or -1 when the ZigBee send failed (a failed Z-Wave
    /// send is only logged). After a Z-Wave device the node record and the
    /// typing flags are cleared.
    int addingDone();
    /// Resets one or both radios (optionally removing every device), then
    /// blocks 7 seconds (9 with a ZigBee reset).
    void doResetFor(reset_type type);
    /// Tells the HA server to drop every stored device.
    void removeAllDevices();

    /**
     * @name Receiver
     * The receiver runs on its own detached thread, started by
     * checkAssocConnection().
     */
    ///@{
    /// Class of an answer's sender: 1 Z-Wave server, 2 ZigBee server, 3 HA
    /// server, 4 Hue server, 5 Nest server, 0 unknown (by address only).
    int findClientType(in_addr addr);
    /// Thread entry: calls receiver() on the instance.
    static void* receiverHelper(void* instance);
    /// The receive loop: until closeAssocConnection(), reads each answer
    /// (timeouts of 180 s idle, 60 s after a device was found, 20 s while
    /// removing) and hands it to handleAnswer(); a timeout of a pending
    /// operation cancels it and raises event 2.
    void* receiver(void* instance);
    /// One received answer: classifies the sender and drives the state
    /// machine. The receiver calls it for every datagram.
    void handleAnswer(const sockaddr_in& from, const void* data, int len);
    ///@}

    /** @name Z-Wave typing */
    ///@{
    /// Reads the next device ID ("NextDevid") of the device store into
    /// ::DevId and returns it; -1 when the store cannot be opened.
    int calculateDevId();
    /// True when a stored Z-Wave device has the node ID of zwRx (it fills
    /// removedDevName and removedDevId).
    bool ZW_checkNodeExists();
    /// Types the node in zwNode from its classes and values (found type,
    /// index list); false when it cannot be added.
    bool ZW_createDeviceType();
    /// True when command class `cc` is in the 0xFF-ended `list`.
    bool CommandExists(unsigned char* list, unsigned char cc);
    /// Builds zwNode's index list from the value list (3-byte entries) and
    /// sets the typing flags.
    void ZW_indexToEnum(unsigned char* valueList);
    /// Writes the sub-types offered for `type` into `out`, ended by 0 (at
    /// most 7 types and the end); only the end for a type without sub-types.
    void listSubDevType(DevType type, DevType* out);
    /// Remaps zwNode's index list for the type the user chose for a generic
    /// device.
    void GenericIndexType(DevType type);
    /// Replaces the first index of type `from` in zwNode by `to`.
    void ChangeIndexType(IndexType from, IndexType to);
    /// Writes "<type name> #<n>" into `out` (39 bytes hold any).
    void getDefaultDevName(DevType type, int n, char* out);
    ///@}

    /** @name ZigBee typing and removals */
    ///@{
    /// Starts typing the device in zbRecord (marks the pending device as
    /// ZigBee, names it "UnknownDevice #<ID>"); 0 typed, -1 refused.
    int zb_createAnyDevice();
    /// The ZigBee typing rules over zbRecord's clusters: sets its type byte,
    /// index entries, baseDevType and devName; 0 typed, -1 refused.
    int validate_DeviceType();
    /// DevType name for an IAS zone type (a constant text).
    const char* GetDeviceTypeInStringFormat(uint16_t zone);
    /// Finds the stored ZigBee device of short address `address` (filling
    /// removedDevName and removedDevId), or sets zbRecord's status to 12 when
    /// there is none.
    void zb_removeNode(uint16_t address);
    /// Tells the HA server that the Z-Wave node in zwRx is gone.
    void ZW_removeNode();
    ///@}

    /**
     * @name Hue and Nest
     * Requests to the Hue and Nest servers; the answers arrive as events 21
     * to 30 (Hue) and 41 to 46 (Nest). MACs are bridge MACs with colons.
     */
    ///@{
    /// Asks the Hue server to search for bridges (answer: event 21).
    void Hue_initiateAdd();
    /// Adds the bridge of `mac`.
    void Hue_addBridge(char* mac);
    /// Adds the bulbs of a bridge.
    void Hue_addDev(char* mac, char* userName);
    /// Refreshes a bridge's bulbs.
    void Hue_refreshBridge(char* mac, char* userName);
    /// Removes a bridge.
    void Hue_remove(char* mac);
    /// JSON list {"MAClist":[{"mac":...,"username":...},...]} of the known
    /// bridges, from the device store (at most 20). Allocated with malloc:
    /// the caller frees it. Null when the store cannot be opened.
    char* Hue_getBridgeList();
    /// True when a Nest authorisation code (/tmp/Authcode) is present.
    bool Nest_checkExist();
    /// Links the Nest account with authorisation code `code`.
    void Nest_add(char* code);
    /// Unlinks the Nest account.
    void Nest_remove();
    /// Prints the dotted address and port of `addr` on standard output.
    void printAddrInfo(sockaddr_in addr);
    ///@}

    /** @name State */
    ///@{
    int assocConnected;            ///< the receiver runs while non-zero: 1 after a connect, 0 after close
    char devName[180];             ///< name of the device being added
    char devLocation[180];         ///< location of the device being added
    int assocSocket;               ///< socket bound to the association port; 0 when closed
    int clientType;                ///< AssocClient set by the initialisers
    int serverType;                ///< DevTech of the pending device: 1 ZigBee, 2 Z-Wave, 3 Hue, 4 Nest
    int baseDevType;               ///< DevType found by typing, from which sub-types are offered
    int devType;                   ///< DevType chosen for the pending device
    char removedDevName[181];      ///< name of the device being removed, from its stored record
    uint32_t removedDevId;         ///< ID of the device being removed
    HAAssocPacket haAssocPacket;   ///< outgoing buffer for removals
    ZBDeviceRecord zbRecord;       ///< copy of the last ZigBee server answer
    ZWNodeRecord zwNode;           ///< working copy of the Z-Wave node being added
    ZWNodeRecord zwRx;             ///< copy of the last Z-Wave server answer
    sockaddr_in assocAddr;         ///< the association port 127.255.255.4:8888
    Logger* logger;                ///< the outside Logger (Logger::getInstance())
    void (*eventCB)(AssocEvent*);  ///< registered callback, may be null
    int assocState;                ///< 0 none, 1 adding, 2 removing, 3 reset, 4-6 Z-Wave steps, 8 ZigBee naming
    int lastStatus;                ///< type of the last progress event, reported in a timeout event
    int cancelType;                ///< cancel_type of what a timeout cancels
    ///@}

private:
    HalvixAssociation();
    HalvixAssociation(const HalvixAssociation&) = delete;
    HalvixAssociation& operator=(const HalvixAssociation&) = delete;

    void log(int level, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
    void raise(int type, int server, AssocEvent* ev);
    void sendHuePacket(int command, char* mac, char* userName, const char* cmd);
    void sendNestPacket(int command, char* code, const char* cmd);
    void zwaveAnswer();
    void zigbeeAnswer();
    void hueAnswer(const HueAnswer& a, int len);
    void nestAnswer(const NestAnswer& a);
    void namingEvent(int server);
    void addIndex(int type, int endPoint);

    sockaddr_in haAssocAddr, haAddr, zwaveAddr, zigbeeAddr, hueAddr, nestAddr, webAddr;
    int zbIndexSlot;
};

#pragma GCC visibility pop
