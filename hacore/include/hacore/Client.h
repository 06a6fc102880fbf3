// Network clients: the devices the router has seen on its LAN, as the RSC
// server keeps them in the client store /tmp/cdb. A Client is a snapshot of
// one client; its setters change the object and ask the RSC server to change
// the store (they never write the store themselves).
#pragma once

#include <cstdint>
#include <list>

extern "C" {
#include <depot.h>
}

#include "hacore/vocab.h"

// One client as read from the store.
struct ClientBin {
    uint64_t lastActiveEpoch;  // "LE"
    char name[33];             // "NM"
    char connectionType[10];   // "CT": wireless, wired, indirect, unknown
    char mac[18];              // "MC"
    ClientType type;           // "TY"
    char ip[16];               // "IP" (before the comma)
    char vendor[33];           // "MF"
    bool active;               // "AC"
    bool canBlock;             // "FEA" bit 1
    bool useAsPresence;        // "FEA" bit 0
    int32_t clientID;          // the key; 0: no client
    int32_t wait;              // "WT", 1..60
    int32_t block;             // "BL"
    int32_t rssi;              // "RS"
    int32_t forceInactive;     // "FEA" bit 4, loaded as the masked value (0 or 16)
    int32_t schedule[7];       // "SB"
    uint64_t rx;               // always 0 here
    uint64_t tx;               // always 0 here
    UserType userType;         // "UT"
    int32_t staticIP;          // "IP" (after the comma)
    int32_t nodeIdentifier;    // "NI"
    bool bwEnable;             // "FEA" bit 2
    bool smEnable;             // "FEA" bit 3
    bool iotEnable;            // "FEA" bit 5
    bool dnsEnable;            // "FEA" bit 6
    signed char security;      // "FEA" bits 7 (low) and 8 (high)
    char portForward[32];      // "PF"
};

class Client {
public:
    explicit Client(ClientBin bin);
    // Loads the record of id; an id without keys gives all defaults.
    explicit Client(int id);
    // Creates a new client: takes the next free identifier of the store and
    // asks the RSC server to add it. A bad MAC or address leaves clientID 0.
    Client(char* name, char* connectionType, char* mac, ClientType type, char* ip, char* vendor, int rssi,
           bool canBlock, int nodeIdentifier, bool active);

    // Reloads the record of its own identifier; returns clientID != 0.
    bool refresh();

    int getClientID();
    int getWait();
    int getForceInactive();
    int getBlock();
    int getRssi();
    int getNodeIdentifier();
    int isStaticIP();
    unsigned long long getLastActiveEpoch();
    unsigned long long getRX();
    unsigned long long getTX();
    bool isActive();
    bool isUseAsPresence();
    bool canBlock();
    bool isBWEnable();
    bool isSMEnable();
    bool isIOTEnable();
    bool isDNSEnable();
    int getSecurity();
    // "" when the object holds no client.
    char* getName();
    char* getVendor();
    char* getMac();
    char* getConnectionType();
    char* getIP();
    char* getPortForward();
    // 19 ("other") when the object holds no client.
    ClientType getType();
    // Writes the type's name (out holds 33 bytes); 0 without a client or out.
    int getType(char* out);
    const char* getUserType();
    // "%x,%x,%x,%x,%x,%x,%x" of the schedule words; returns 1.
    int getScheduleData(char* out);
    static bool isIOT(ClientType type);

    // Setters: 0 for no client or a refused argument; 1 without a request
    // when nothing changes; else what the RSC server answered.
    int setWait(int wait);
    int setForceInactive(int value);
    int setActive(bool active);
    int setUseAsPresence(bool on);
    int setLastActiveEpoch();
    int setName(char* name);
    int setVendor(char* vendor);
    int setMac(char* mac);
    int setIP(char* ip);
    int setConnectionType(char* type);
    int setType(char* type);
    int setType(ClientType type);
    int setBlock(int block);
    int setRssi(int rssi);
    int setSchedule(char* schedule);
    int setUserType(char* userType);
    int setStaticIP(int staticIP);
    int setPortForward(char* text);
    int setNodeIdentifier(int node);
    int setCanBlock(bool on);
    int setBWEnable(bool on);
    int setSMEnable(bool on);
    int setIOTEnable(bool on);
    int setDNSEnable(bool on);
    int setSecurity(char level);
    // Changes nothing, sends nothing, returns 1.
    int setRXTX(unsigned long long rx, unsigned long long tx, unsigned char flag);

    // Ask the RSC server to remove the client; 0 without a client.
    int deleteClient();
    int deleteSlaveClient();

private:
    int send(int command, const char* payload);
    int sendFlag(int value, int bit);
    ClientBin bin_;
};

class ClientsList {
public:
    ClientsList();
    ~ClientsList();
    // Refills the list from the store: 1, or 0 when the store cannot be read.
    int populate();
    // Empties the list and asks the RSC server to remove every client.
    int removeAllClients();

    std::list<Client> clients;
};

// Fills a record of id from the store (all zero when it cannot be opened).
ClientBin loadClientBin(int id);
// Fills rec from an open store for the identifier text idText.
void readClientDataFromDB(ClientBin* rec, DEPOT* db, char* idText);
// 1 when text is a dotted IPv4 address, else 0.
int isValidIpAddress(char* text);
