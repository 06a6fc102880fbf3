// Pairing of new devices: the client of the device servers' association
// procedures (Z-Wave and ZigBee inclusion and exclusion, Hue bridges and
// bulbs, the Nest account, radio resets), the typing of a new device, and the
// receiver thread that follows the servers' answers and reports every step
// to the application as an AssocEvent.
//
// One process at a time pairs: the client binds the association port
// 127.255.255.4:8888, which only one socket may hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <netinet/in.h>
#include <pthread.h>

#include "hacore/Device.h"
#include "hacore/vocab.h"

class Logger;

// Destination of sendToServers.
enum ServerType : int32_t {
    ST_Zigbee = 1,
    ST_Zwave = 2,
    ST_Hue = 3,
    ST_Nest = 4,
    ST_HaAssoc = 5,
    ST_Mesh = 6,
};

// What a timed-out operation cancels.
enum cancel_type : int32_t {
    CANCEL_Zigbee = 1,
    CANCEL_Zwave = 2,
    CANCEL_Both = 3,
};

enum reset_type : int32_t {
    RESET_Zigbee = 1,
    RESET_Zwave = 2,
    RESET_Both = 3,
    RESET_BothAndRemoveAll = 4,
};

enum zigbee_cmd : int32_t {
    ZB_Add = 1,
    ZB_Remove = 2,
    ZB_Reset = 3,
    ZB_Cancel = 4,
};

enum zwave_cmd : int32_t {
    ZW_Add = 1,
    ZW_Remove = 2,
    ZW_Reset = 3,
    ZW_Cancel = 4,
};

// Client identity (HalvixAssociation::clientType).
enum AssocClient : int32_t {
    AC_WebServer = 1,
    AC_LCD = 2,
    AC_CloudApps = 3,
    AC_MeshServer = 4,
    AC_FreeUser1 = 5,
    AC_FreeUser2 = 6,
};

// Z-Wave node record, as the Z-Wave server sends it and the HA server takes it.
struct ZWNodeRecord {
    uint8_t nodeId;       // 0 no node, 255 failed
    uint8_t classes[53];  // supported command classes, ended by 0xFF
    uint8_t basicClass;   // 0: the node cannot be added
    uint8_t genericClass;
    uint8_t specificClass;
    uint8_t values[181][3];  // (command class, command index, instance), ended by class 0
    uint32_t devTech;        // DevTech of the pending device
    int32_t chosenType;      // DevType chosen
    int32_t foundType;       // DevType found by typing
    char name[180];
    char location[180];
    uint8_t marker;       // 255 being added, 254 being removed
    uint8_t indexes[63];  // (IndexType, instance), ended by type 0: 31 entries and the end
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

constexpr int kZWClassCap = 53;
constexpr int kZWValueCap = 181;
constexpr int kZWIndexCap = 31;

// ZigBee device record, as the ZigBee server sends it and the HA server takes it.
struct ZBCluster {
    uint16_t id;  // 0xFFFF ends the list
    uint16_t endPoint;
};
struct ZBDeviceRecord {
    uint16_t shortAddr;
    uint8_t reserved2[8];
    uint8_t status;  // see the receiver
    uint8_t reserved11;
    ZBCluster clusters[30];
    char manufacturer[40];
    uint8_t reserved172[40];
    uint8_t devType;  // DevType chosen by typing, 0 none yet
    uint8_t reserved213;
    uint16_t zoneType;  // IAS zone type
    uint8_t reserved216[12];
    uint16_t field228;
    uint16_t reserved230;
    uint16_t field232;
    uint8_t reserved234[6];
    uint16_t field240;
    uint8_t reserved242[50];
    uint16_t ident292;
    uint16_t ident294;
    char model[22];
    uint8_t indexCount;
    uint8_t reserved319;
    uint8_t indexes[58];  // entry k (1-based): type at 318 + 2k, end point at 319 + 2k
    char name[32];
    char location[32];
    uint8_t reserved442[2];
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

constexpr int kZBClusterCap = 30;
// Index entries kept in a ZigBee record: 28, so that the end entry (type 255)
// still fits before the name.
constexpr int kZBIndexCap = 28;

// Association packet to the HA server's association port 127.255.255.1:9999.
struct HAAssocPacket {
    uint32_t selector;  // 0 ZigBee record or "removeAllDevices", 2 Z-Wave node record
    uint8_t data[4096];
};
static_assert(sizeof(HAAssocPacket) == 4100, "");

// Answer of the Nest server.
struct NestAnswer {
    uint32_t command;
    int32_t result;
    uint32_t data;
};
static_assert(sizeof(NestAnswer) == 12, "");

// Answer of the Hue server: state, count, then one 65-byte JSON object per bridge.
constexpr int kHueAnswerSize = 3260;
constexpr int kHueObjectSize = 65;
constexpr int kHueBridgeSlots = 25;
struct HueAnswer {
    uint32_t state;
    uint32_t count;
    char bridges[50][kHueObjectSize];
    uint8_t reserved[2];
};
static_assert(sizeof(HueAnswer) == kHueAnswerSize, "");

// What the callback gets.
struct AssocEvent {
    int32_t type;
    int32_t server;  // DevTech; not set for a timeout
    uint8_t payload[4096];
};
static_assert(sizeof(AssocEvent) == 4104, "");

// Payload layouts.
struct AssocDevicePayload {
    char name[180];
    char location[180];
    char removedName[180];
    uint32_t removedId;
    uint32_t devType;
    uint8_t reserved548[8];
    uint32_t zbStatus;
    uint8_t zero;
    uint8_t reserved561[3];
    union {
        char json[1224];
        uint32_t subTypes[306];  // DevType list ended by 0
    } u;
};
static_assert(sizeof(AssocDevicePayload) == 1788, "");
static_assert(offsetof(AssocDevicePayload, removedName) == 360, "");
static_assert(offsetof(AssocDevicePayload, removedId) == 540, "");
static_assert(offsetof(AssocDevicePayload, devType) == 544, "");
static_assert(offsetof(AssocDevicePayload, zbStatus) == 556, "");
static_assert(offsetof(AssocDevicePayload, zero) == 560, "");
static_assert(offsetof(AssocDevicePayload, u) == 564, "");

struct AssocTimeoutPayload {
    int32_t lastStatus;
    char json[1024];
};
static_assert(offsetof(AssocTimeoutPayload, json) == 4, "");

struct AssocBridgeListPayload {
    char mac[kHueBridgeSlots][30];
    char ip[kHueBridgeSlots][50];
};
static_assert(offsetof(AssocBridgeListPayload, ip) == 750, "");

// Process-wide state of the library.
extern bool idle;
extern char cmdtype[60];
extern char tempStr[512];
extern int DevId;
extern int assoc_meshID;
extern int local_meshID;
extern char DBName[];
// The pairing receiver's handle is internal to the library (libhacore
// exports its own receiver_thread).
// Typing flags of Z-Wave generic devices.
extern bool SensorBinaryFlag;
extern bool BasicFlag;
extern bool ZwAcExtFlag;
extern bool MultilevelFlag;
// User names of the known Hue bridges (Hue_getBridgeList).
extern char username1[50][50];

// Bridge id (16 hex characters) to MAC ("xx:xx:xx:xx:xx:xx") and back.
// Both expect well-formed input; out holds 18 and 17 bytes.
void HueMac(char* in, char* out);
void RevertHueMac(char* in, char* out);

class HalvixAssociation {
public:
    static HalvixAssociation* getInstance();
    static HalvixAssociation* webServerAssocInit();
    static HalvixAssociation* LCDAssocInit();
    static HalvixAssociation* cloudappsAssocInit();
    static HalvixAssociation* meshServerAssocInit();
    static HalvixAssociation* FreeUsr1AssocInit();
    static HalvixAssociation* FreeUsr2AssocInit();
    virtual ~HalvixAssociation();

    void registerAssocEventCB(void (*cb)(AssocEvent*));
    int checkAssocConnection();
    void closeAssocConnection();
    int ConnectToServers();
    int sendToServers(ServerType server, void* packet);
    void cmdToZigbee(zigbee_cmd cmd);
    void cmdToZwave(zwave_cmd cmd);
    void sendCancelTo(cancel_type type);
    void addDevZigbeeZwave();
    void removeDevZigbeeZwave();
    void setDevType(DevType type);
    void setDevType2(DevType type);
    void setDevName(char* name);
    void setDevLocation(char* location);
    int addingDone();
    void doResetFor(reset_type type);
    void removeAllDevices();

    // Receiver (runs on its own detached thread).
    int findClientType(in_addr addr);
    static void* receiverHelper(void* instance);
    void* receiver(void* instance);
    // One received answer: classifies the sender and drives the state
    // machine. The receiver calls it for every datagram.
    void handleAnswer(const sockaddr_in& from, const void* data, int len);

    // Z-Wave typing.
    int calculateDevId();
    bool ZW_checkNodeExists();
    bool ZW_createDeviceType();
    bool CommandExists(unsigned char* list, unsigned char cc);
    void ZW_indexToEnum(unsigned char* valueList);
    void listSubDevType(DevType type, DevType* out);
    void GenericIndexType(DevType type);
    void ChangeIndexType(IndexType from, IndexType to);
    void getDefaultDevName(DevType type, int n, char* out);

    // ZigBee typing and removals.
    int zb_createAnyDevice();
    int validate_DeviceType();
    const char* GetDeviceTypeInStringFormat(uint16_t zone);
    void zb_removeNode(uint16_t address);
    void ZW_removeNode();

    // Hue and Nest.
    void Hue_initiateAdd();
    void Hue_addBridge(char* mac);
    void Hue_addDev(char* mac, char* userName);
    void Hue_refreshBridge(char* mac, char* userName);
    void Hue_remove(char* mac);
    char* Hue_getBridgeList();
    bool Nest_checkExist();
    void Nest_add(char* code);
    void Nest_remove();
    void printAddrInfo(sockaddr_in addr);

    int assocConnected;
    char devName[180];
    char devLocation[180];
    int assocSocket;
    int clientType;
    int serverType;
    int baseDevType;
    int devType;
    char removedDevName[181];
    uint32_t removedDevId;
    HAAssocPacket haAssocPacket;
    ZBDeviceRecord zbRecord;
    ZWNodeRecord zwNode;
    ZWNodeRecord zwRx;
    sockaddr_in assocAddr;
    Logger* logger;
    void (*eventCB)(AssocEvent*);
    int assocState;
    int lastStatus;
    int cancelType;

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
