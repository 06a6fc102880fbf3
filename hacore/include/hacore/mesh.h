/**
 * @file
 * Mesh nodes: the units of the router's Wi-Fi mesh, as the RSC server keeps
 * them in the mesh store /tmp/mdb ("%d.%s" keys: position ID, field tag).
 * The library reads the store; changes go to the RSC server.
 *
 * The record calls a node a "participant", the methods a "slave": the two
 * names mean the same unit and are both kept for compatibility.
 */
#pragma once

#include <cstdint>
#include <list>

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// One node record, a memory image of the node's store fields; field order
/// is the order of ::meshTagNames (each field is stored under its own name).
struct meshServerDatabase {
    int32_t ParticipantPosID;           ///< position ID, the node's key
    char Type[20];                      ///< unit type
    char BRMACAddress[20];              ///< MAC address of the BR interface
    char WIFIMACAddress[20];            ///< 2.4 GHz Wi-Fi MAC address
    char WIFI5GMACAddress[20];          ///< 5 GHz Wi-Fi MAC address
    char WANMACAddress[20];             ///< WAN port MAC address
    char LANMACAddress[20];             ///< LAN port MAC address
    char REMACAddress[20];              ///< MAC address of the RE (range extender) interface, 2.4 GHz
    char REMAC5GAddress[20];            ///< the same, 5 GHz; "NAN" when not stored
    char AssociatedMACAddress[20];      ///< MAC address of the unit it is connected to
    int32_t AssociatedMeshID;           ///< position ID of the unit it is connected to; -1 when not stored
    int32_t Is5GMesh;                   ///< 1 when linked over 5 GHz; -1 when not stored
    char ParticipantName[32];           ///< name
    char ParticipantLocation[32];       ///< location; "NAN" when not stored
    char ParticipantMasterName[32];     ///< name of its master unit
    char Model[10];                     ///< model
    char IpAddress[16];                 ///< dotted IPv4 address
    char MasterIpAddress[16];           ///< the master unit's address
    char MeshMode[20];                  ///< mesh mode text
    char ParticipantUniqueId[10];       ///< unique ID
    char ParticipantUniqueName[16];     ///< unique name
    int32_t IsParticipant;              ///< 1: the unit is a participant ("1" stored)
    int32_t IsActive;                   ///< 1 while online
    int32_t HopCount;                   ///< hops to the master
    int32_t ParticipantSideMasterRSSI;  ///< master's signal as the unit sees it
    int32_t MasterSideParticipantRSSI;  ///< the unit's signal as the master sees it
    char MasterSSID[32];                ///< master network SSID
    char MasterPassword[64];            ///< master network password
    int32_t MasterChannel;              ///< master network channel
    char MasterAuthMode[64];            ///< master network authentication mode
    char MasterEncrypType[64];          ///< master network encryption type
    int32_t ParticipantClientCount;     ///< LAN clients on the unit
    int32_t IsHACapable;                ///< 1: the unit is home-automation capable
    int32_t HADeviceCount;              ///< home-automation devices on the unit
    int32_t LastKnownInternetStatus;    ///< 1 when the unit last had internet
    int32_t ZigbeePanID;                ///< the unit's ZigBee PAN ID
};

/// The 36 field tags in record order (the field names of
/// meshServerDatabase), then "NULL". Mesh::SaveValues() takes a position in
/// it.
extern char meshTagNames[37][32];

/**
 * One mesh node: a copy of its record, with getters for each field and the
 * requests that change the store. Text getters point into #rec.
 */
class Mesh {
public:
    /// Leaves #rec uninitialised: fill it before reading it.
    Mesh();
    /// Wraps a record read elsewhere.
    explicit Mesh(meshServerDatabase rec);
    /// Reads node posID from the store; missing fields take their defaults
    /// (zero, "", or the defaults of meshServerDatabase), with a message on
    /// standard output. A store that cannot be opened gives all zeros.
    explicit Mesh(int posID);
    /// Does nothing.
    ~Mesh();

    /** @name Getters of the record's fields */
    ///@{
    int getSlavePosID();              ///< ParticipantPosID
    char* getType();                  ///< Type
    char* getBRMACAddress();          ///< BRMACAddress
    char* getWIFIMACAddress();        ///< WIFIMACAddress
    char* getMACAddress();            ///< WIFIMACAddress, as getWIFIMACAddress()
    char* getWIFI5GMACAddress();      ///< WIFI5GMACAddress
    char* getWANMACAddress();         ///< WANMACAddress
    char* getLANMACAddress();         ///< LANMACAddress
    char* getREMACAddress();          ///< REMACAddress
    char* getRE5GMACAddress();        ///< REMAC5GAddress (note the other word order)
    char* getAssociatedMACAddress();  ///< AssociatedMACAddress
    int getAssociatedMeshID();        ///< AssociatedMeshID
    int getIs5GMesh();                ///< Is5GMesh
    char* getName();                  ///< ParticipantName
    char* getLocation();              ///< ParticipantLocation
    char* getMasterName();            ///< ParticipantMasterName
    char* getModel();                 ///< Model
    char* getIpAddress();             ///< IpAddress
    char* getMasterIpAddress();       ///< MasterIpAddress
    char* getMeshMode();              ///< MeshMode
    char* getSlaveUniqueId();         ///< ParticipantUniqueId
    char* getSlaveUniqueName();       ///< ParticipantUniqueName
    bool getIsSlave();                ///< IsParticipant != 0
    bool getIsActive();               ///< IsActive != 0
    int getHopCount();                ///< HopCount
    int getSlaveSideMasterRSSI();     ///< ParticipantSideMasterRSSI
    int getMasterSideSlaveRSSI();     ///< MasterSideParticipantRSSI
    char* getMasterSSID();            ///< MasterSSID
    char* getMasterPassword();        ///< MasterPassword
    int getMasterChannel();           ///< MasterChannel
    char* getMasterAuthMode();        ///< MasterAuthMode
    char* getMasterEncrypType();      ///< MasterEncrypType ("Encryp" is the exported spelling)
    int getSlaveClientCount();        ///< ParticipantClientCount
    bool getIsHACapable();            ///< IsHACapable != 0
    int getHADeviceCount();           ///< HADeviceCount
    bool getInternetStatus();         ///< LastKnownInternetStatus != 0
    int getZigbeePanID();             ///< ZigbeePanID
    ///@}

    /**
     * @name Requests
     * Requests to the RSC server, each blocking up to 120 seconds for its
     * answer; the answers are not reported.
     */
    ///@{
    /// Adds (or replaces) node `posID` with the fields of `rec`, whose
    /// ParticipantPosID is set to `posID`. Nothing for a null record.
    void addSlave(meshServerDatabase* rec, int posID);
    /// Removes node `posID` (nothing for 0 or below).
    void removeSlave(int posID);
    /// Sets field `tag` (0..35, a position in ::meshTagNames) of node `posID`
    /// to the text `value`.
    void SaveValues(int posID, int tag, char* value);
    /// Asks the RSC server to restore /tmp/mdb from flash.
    void dePersistMdb();
    ///@}
    /// Prints a line; kept for the applications.
    void getAllSlavesList();

    /// The node's record.
    meshServerDatabase rec;
};

/// Every node of the mesh store, each a copy owned by the list.
class MeshSlaveList {
public:
    /// An empty list.
    MeshSlaveList();
    /// Frees the copies.
    ~MeshSlaveList();
    /// Refills the list from the store (after checkMdbSize()): 1, or 0 when
    /// it cannot be opened.
    int Populate();
    /// Empties the list and asks the RSC server to remove every node.
    void MeshRemoveAllSlaves();

    /// The nodes loaded by Populate().
    std::list<Mesh> slaves;
};

/// Asks the RSC server to rebuild /tmp/mdb from flash when it is smaller than
/// 60 bytes (or missing); blocks up to 120 seconds then.
void checkMdbSize();

#pragma GCC visibility pop
