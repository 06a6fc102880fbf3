/**
 * @file
 * Network clients: the devices the router has seen on its LAN, as the RSC
 * server keeps them in the client store /tmp/cdb. A Client is a snapshot of
 * one client; its setters change the object and ask the RSC server to change
 * the store (they never write the store themselves).
 */
#pragma once

#include <cstdint>
#include <list>

extern "C" {
#include <depot.h>
}

#include "hacore/vocab.h"

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// One client as read from the store: each field comes from the store
/// record "<id>.<tag>" named in its description. A memory image only (never
/// stored or sent as it is).
struct ClientBin {
    uint64_t lastActiveEpoch;  ///< "LE": time of last activity, seconds since the epoch; missing: 0
    char name[33];             ///< "NM": display name; missing or empty: "NaN"
    char connectionType[10];   ///< "CT": wireless, wired, indirect, unknown; missing: "NaN"
    char mac[18];              ///< "MC": six hex groups joined by colons; missing: "NaN"
    ClientType type;           ///< "TY": kind of device; missing: CT_other
    char ip[16];               ///< "IP" (before the comma): IPv4 address; missing: "NaN"
    char vendor[33];           ///< "MF": manufacturer; missing: "NaN"
    bool active;               ///< "AC": client is active
    bool canBlock;             ///< "FEA" bit 1: client may be blocked
    bool useAsPresence;        ///< "FEA" bit 0: client is used for presence
    int32_t clientID;          ///< the key; 0: no client
    int32_t wait;              ///< "WT": wait time, 1..60; missing: 6
    int32_t block;             ///< "BL": blocking state
    int32_t rssi;              ///< "RS": signal strength
    int32_t forceInactive;     ///< "FEA" bit 4, loaded as the masked value (0 or 16)
    int32_t schedule[7];       ///< "SB": seven schedule words, exchanged as hexadecimal text
    uint64_t rx;               ///< always 0 here
    uint64_t tx;               ///< always 0 here
    UserType userType;         ///< "UT": who uses it; missing: UT_Others
    int32_t staticIP;          ///< "IP" (after the comma): static-address flag
    int32_t nodeIdentifier;    ///< "NI": node identifier
    bool bwEnable;             ///< "FEA" bit 2: BW feature flag
    bool smEnable;             ///< "FEA" bit 3: SM feature flag
    bool iotEnable;            ///< "FEA" bit 5: IoT feature flag
    bool dnsEnable;            ///< "FEA" bit 6: DNS feature flag
    signed char security;      ///< "FEA" bits 7 (low) and 8 (high): security level 0..3
    char portForward[32];      ///< "PF": port-forwarding text; missing: ""
};

/**
 * Snapshot of one network client. Getters read the object. Setters check
 * their argument, change the object and send one request to the RSC server,
 * blocking up to 120 seconds for its answer (see sendRscClientPacket()); the
 * object keeps the new value whatever the answer.
 */
class Client {
public:
    /// Wraps a record read elsewhere.
    explicit Client(ClientBin bin);
    /// Loads the record of `id` (loadClientBin()); an id without keys gives
    /// all defaults.
    explicit Client(int id);
    /// Creates a new client: takes the next free identifier of the store and
    /// asks the RSC server to add it (wait 6, presence, IoT and DNS on,
    /// active since now). A bad MAC or IPv4 address, or a store that cannot
    /// be read, leaves clientID 0 and sends nothing. Null texts count as "".
    Client(char* name, char* connectionType, char* mac, ClientType type, char* ip, char* vendor, int rssi,
           bool canBlock, int nodeIdentifier, bool active);

    /// Reloads the record of its own identifier; returns clientID != 0.
    bool refresh();

    /// Identifier (store key); 0 when the object holds no client.
    int getClientID();
    /// ClientBin::wait.
    int getWait();
    /// ClientBin::forceInactive (0 or 16 as loaded).
    int getForceInactive();
    /// ClientBin::block.
    int getBlock();
    /// ClientBin::rssi.
    int getRssi();
    /// ClientBin::nodeIdentifier.
    int getNodeIdentifier();
    /// ClientBin::staticIP.
    int isStaticIP();
    /// Last seen, seconds since the epoch.
    unsigned long long getLastActiveEpoch();
    /// Always 0: traffic counts are not kept.
    unsigned long long getRX();
    /// Always 0: traffic counts are not kept.
    unsigned long long getTX();
    /// ClientBin::active.
    bool isActive();
    /// ClientBin::useAsPresence.
    bool isUseAsPresence();
    /// ClientBin::canBlock.
    bool canBlock();
    /// ClientBin::bwEnable.
    bool isBWEnable();
    /// ClientBin::smEnable.
    bool isSMEnable();
    /// ClientBin::iotEnable.
    bool isIOTEnable();
    /// ClientBin::dnsEnable.
    bool isDNSEnable();
    /// ClientBin::security.
    int getSecurity();
    /// Name; "" when the object holds no client. The text getters point into
    /// the object (or a shared empty text): copy them to keep them.
    char* getName();
    /// Vendor; "" when the object holds no client.
    char* getVendor();
    /// MAC address; "" when the object holds no client.
    char* getMac();
    /// Connection type; "" when the object holds no client.
    char* getConnectionType();
    /// IPv4 address; "" when the object holds no client.
    char* getIP();
    /// Port forwarding text.
    char* getPortForward();
    /// Client type; CT_other (19) when the object holds no client.
    ClientType getType();
    /// Writes the type's name (out holds 33 bytes) and returns 1; 0 without a
    /// client or `out`.
    int getType(char* out);
    /// "Kids" or "Others"; a constant text.
    const char* getUserType();
    /// Writes "%x,%x,%x,%x,%x,%x,%x" of the schedule words into `out` (63
    /// bytes hold any); returns 1.
    int getScheduleData(char* out);
    /// True for the types of connected-home devices: CT_nest to
    /// CT_amazon_dash and CT_philips_hue to CT_withings.
    static bool isIOT(ClientType type);

    /**
     * @name Setters
     * Each returns 0 for no client or a refused argument, 1 without a request
     * when nothing changes, else 1 when the RSC server answered "true" and 0
     * when it did not.
     */
    ///@{
    int setWait(int wait);              ///< 1..60
    int setForceInactive(int value);    ///< 0..3600
    int setActive(bool active);         ///< active or not
    int setUseAsPresence(bool on);      ///< used for presence or not
    int setLastActiveEpoch();           ///< to now; always sends
    int setName(char* name);            ///< cut to 32 characters here
    int setVendor(char* vendor);        ///< cut to 32 characters here
    int setMac(char* mac);              ///< six hex groups joined by ":", not all zero
    int setIP(char* ip);                ///< dotted IPv4 only
    int setConnectionType(char* type);  ///< wireless, wired, indirect or unknown
    int setType(char* type);            ///< by name (stringToClientType())
    int setType(ClientType type);       ///< by code
    int setBlock(int block);            ///< blocking state
    int setRssi(int rssi);              ///< signal strength
    int setSchedule(char* schedule);    ///< as getScheduleData() writes it
    int setUserType(char* userType);    ///< by name (StringToUsertype())
    int setStaticIP(int staticIP);      ///< static-address flag
    int setPortForward(char* text);     ///< cut to 31 characters here
    int setNodeIdentifier(int node);    ///< always sends
    int setCanBlock(bool on);           ///< "FEA" bit 1
    int setBWEnable(bool on);           ///< "FEA" bit 2
    int setSMEnable(bool on);           ///< "FEA" bit 3
    int setIOTEnable(bool on);          ///< "FEA" bit 5
    int setDNSEnable(bool on);          ///< "FEA" bit 6
    int setSecurity(char level);        ///< "FEA" bits 7 and 8
    ///@}
    /// Changes nothing, sends nothing, returns 1 (kept for the applications).
    int setRXTX(unsigned long long rx, unsigned long long tx, unsigned char flag);

    /// Asks the RSC server to remove the client: 1 when it answered "true",
    /// 0 otherwise or without a client.
    int deleteClient();
    /// As deleteClient(), for a client of a mesh unit.
    int deleteSlaveClient();

private:
    int send(int command, const char* payload);
    int sendFlag(int value, int bit);
    ClientBin bin_;
};

/// Every client of the store, each a copy owned by the list.
class ClientsList {
public:
    /// An empty list.
    ClientsList();
    /// Frees the copies.
    ~ClientsList();
    /// Refills the list from the store (store order): 1, or 0 when the store
    /// cannot be read.
    int populate();
    /// Empties the list and asks the RSC server to remove every client: 1
    /// when it answered "true".
    int removeAllClients();

    /// The clients loaded by populate().
    std::list<Client> clients;
};

/// Fills a record of `id` from the store (all zero when it cannot be opened;
/// the defaults of missing fields otherwise).
ClientBin loadClientBin(int id);
/// Fills `rec` from the open store `db` for the identifier text `idText`
/// ("12"); the caller owns and closes `db`.
void readClientDataFromDB(ClientBin* rec, DEPOT* db, char* idText);
/// 1 when `text` is a dotted IPv4 address, else 0.
int isValidIpAddress(char* text);

#pragma GCC visibility pop
