// Mesh nodes: the units of the router's Wi-Fi mesh, as the RSC server keeps
// them in the mesh store /tmp/mdb ("%d.%s" keys: position ID, field tag).
// The library reads the store; changes go to the RSC server.
#pragma once

#include <cstdint>
#include <list>

// One node record; field order is the order of meshTagNames.
struct meshServerDatabase {
    int32_t ParticipantPosID;
    char Type[20];
    char BRMACAddress[20];
    char WIFIMACAddress[20];
    char WIFI5GMACAddress[20];
    char WANMACAddress[20];
    char LANMACAddress[20];
    char REMACAddress[20];
    char REMAC5GAddress[20];
    char AssociatedMACAddress[20];
    int32_t AssociatedMeshID;
    int32_t Is5GMesh;
    char ParticipantName[32];
    char ParticipantLocation[32];
    char ParticipantMasterName[32];
    char Model[10];
    char IpAddress[16];
    char MasterIpAddress[16];
    char MeshMode[20];
    char ParticipantUniqueId[10];
    char ParticipantUniqueName[16];
    int32_t IsParticipant;
    int32_t IsActive;
    int32_t HopCount;
    int32_t ParticipantSideMasterRSSI;
    int32_t MasterSideParticipantRSSI;
    char MasterSSID[32];
    char MasterPassword[64];
    int32_t MasterChannel;
    char MasterAuthMode[64];
    char MasterEncrypType[64];
    int32_t ParticipantClientCount;
    int32_t IsHACapable;
    int32_t HADeviceCount;
    int32_t LastKnownInternetStatus;
    int32_t ZigbeePanID;
};

// The 36 field tags in record order, then "NULL".
extern char meshTagNames[37][32];

class Mesh {
public:
    Mesh();
    explicit Mesh(meshServerDatabase rec);
    // Reads node posID from the store; missing fields take their defaults.
    explicit Mesh(int posID);
    ~Mesh();

    int getSlavePosID();
    char* getType();
    char* getBRMACAddress();
    char* getWIFIMACAddress();
    char* getMACAddress();  // the Wi-Fi MAC address
    char* getWIFI5GMACAddress();
    char* getWANMACAddress();
    char* getLANMACAddress();
    char* getREMACAddress();
    char* getRE5GMACAddress();
    char* getAssociatedMACAddress();
    int getAssociatedMeshID();
    int getIs5GMesh();
    char* getName();
    char* getLocation();
    char* getMasterName();
    char* getModel();
    char* getIpAddress();
    char* getMasterIpAddress();
    char* getMeshMode();
    char* getSlaveUniqueId();
    char* getSlaveUniqueName();
    bool getIsSlave();
    bool getIsActive();
    int getHopCount();
    int getSlaveSideMasterRSSI();
    int getMasterSideSlaveRSSI();
    char* getMasterSSID();
    char* getMasterPassword();
    int getMasterChannel();
    char* getMasterAuthMode();
    char* getMasterEncrypType();
    int getSlaveClientCount();
    bool getIsHACapable();
    int getHADeviceCount();
    bool getInternetStatus();
    int getZigbeePanID();

    // Requests to the RSC server; their answers are not reported.
    void addSlave(meshServerDatabase* rec, int posID);
    void removeSlave(int posID);
    void SaveValues(int posID, int tag, char* value);
    void dePersistMdb();
    void getAllSlavesList();

    meshServerDatabase rec;
};

class MeshSlaveList {
public:
    MeshSlaveList();
    ~MeshSlaveList();
    // Refills the list from the store: 1, or 0 when it cannot be opened.
    int Populate();
    // Empties the list and asks the RSC server to remove every node.
    void MeshRemoveAllSlaves();

    std::list<Mesh> slaves;
};

// Asks the RSC server to rebuild /tmp/mdb when it is smaller than 60 bytes.
void checkMdbSize();
