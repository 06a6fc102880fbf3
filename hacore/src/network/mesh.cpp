// Mesh nodes, read from /tmp/mdb; changes go to the RSC server.
#include "hacore/mesh.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "hacore/channel.h"
#include "channel/channel_internal.h"
#include "network/netstore_internal.h"
#include "base/text.h"

char meshTagNames[37][32] = {"ParticipantPosID",
                             "Type",
                             "BRMACAddress",
                             "WIFIMACAddress",
                             "WIFI5GMACAddress",
                             "WANMACAddress",
                             "LANMACAddress",
                             "REMACAddress",
                             "REMAC5GAddress",
                             "AssociatedMACAddress",
                             "AssociatedMeshID",
                             "Is5GMesh",
                             "ParticipantName",
                             "ParticipantLocation",
                             "ParticipantMasterName",
                             "Model",
                             "IpAddress",
                             "MasterIpAddress",
                             "MeshMode",
                             "ParticipantUniqueId",
                             "ParticipantUniqueName",
                             "IsParticipant",
                             "IsActive",
                             "HopCount",
                             "ParticipantSideMasterRSSI",
                             "MasterSideParticipantRSSI",
                             "MasterSSID",
                             "MasterPassword",
                             "MasterChannel",
                             "MasterAuthMode",
                             "MasterEncrypType",
                             "ParticipantClientCount",
                             "IsHACapable",
                             "HADeviceCount",
                             "LastKnownInternetStatus",
                             "ZigbeePanID",
                             "NULL"};

namespace {

const char kStore[] = "/tmp/mdb";
constexpr int kValueCap = 180;

enum Kind { kInt, kFlag, kText };
struct Field {
    size_t offset;
    size_t size;
    Kind kind;
};

#define TEXT(f) \
    { offsetof(meshServerDatabase, f), sizeof(meshServerDatabase::f), kText }
#define INT(f) \
    { offsetof(meshServerDatabase, f), 4, kInt }
#define FLAG(f) \
    { offsetof(meshServerDatabase, f), 4, kFlag }
const Field kFields[36] = {INT(ParticipantPosID),
                           TEXT(Type),
                           TEXT(BRMACAddress),
                           TEXT(WIFIMACAddress),
                           TEXT(WIFI5GMACAddress),
                           TEXT(WANMACAddress),
                           TEXT(LANMACAddress),
                           TEXT(REMACAddress),
                           TEXT(REMAC5GAddress),
                           TEXT(AssociatedMACAddress),
                           INT(AssociatedMeshID),
                           INT(Is5GMesh),
                           TEXT(ParticipantName),
                           TEXT(ParticipantLocation),
                           TEXT(ParticipantMasterName),
                           TEXT(Model),
                           TEXT(IpAddress),
                           TEXT(MasterIpAddress),
                           TEXT(MeshMode),
                           TEXT(ParticipantUniqueId),
                           TEXT(ParticipantUniqueName),
                           FLAG(IsParticipant),
                           FLAG(IsActive),
                           INT(HopCount),
                           INT(ParticipantSideMasterRSSI),
                           INT(MasterSideParticipantRSSI),
                           TEXT(MasterSSID),
                           TEXT(MasterPassword),
                           INT(MasterChannel),
                           TEXT(MasterAuthMode),
                           TEXT(MasterEncrypType),
                           INT(ParticipantClientCount),
                           FLAG(IsHACapable),
                           INT(HADeviceCount),
                           INT(LastKnownInternetStatus),
                           INT(ZigbeePanID)};
#undef TEXT
#undef INT
#undef FLAG

char* textAt(meshServerDatabase& r, int i) { return reinterpret_cast<char*>(&r) + kFields[i].offset; }
int32_t* intAt(meshServerDatabase& r, int i) {
    return reinterpret_cast<int32_t*>(reinterpret_cast<char*>(&r) + kFields[i].offset);
}

void store(meshServerDatabase& r, int i, const char* value) {
    switch (kFields[i].kind) {
        case kInt:
            *intAt(r, i) = atoi(value);
            break;
        case kFlag:
            *intAt(r, i) = value[0] == '1' ? 1 : 0;
            break;
        case kText:
            hbase::copyText(textAt(r, i), kFields[i].size, value);
            break;
    }
}

// Field defaults other than zero.
bool setDefault(meshServerDatabase& r, int i) {
    switch (i) {
        case 8:
            hbase::copyText(r.REMAC5GAddress, sizeof r.REMAC5GAddress, "NAN");
            return true;
        case 10:
            r.AssociatedMeshID = -1;
            return true;
        case 11:
            r.Is5GMesh = -1;
            return true;
        case 13:
            hbase::copyText(r.ParticipantLocation, sizeof r.ParticipantLocation, "NAN");
            return true;
        default:
            return false;
    }
}

void sendMesh(int command, const char* payload) {
    std::unique_ptr<RSC_PACKET> p = newRscPacket(command);
    hbase::copyText(p->text, sizeof p->text, payload);
    sendRscPacket(p.get());
}

}  // namespace

// Zeroed: a default node reads as empty, never as what the stack held.
Mesh::Mesh() : rec() {}
Mesh::Mesh(meshServerDatabase r) : rec(r) {}
Mesh::~Mesh() {}

Mesh::Mesh(int posID) {
    memset(&rec, 0, sizeof rec);
    hastore::Store db = hastore::openMeshStore(kStore);
    if (!db) return;
    hastore::iterInit(db);
    for (int i = 0; i < 36; ++i) {
        char v[kValueCap + 1];
        const std::string key = std::to_string(posID) + "." + meshTagNames[i];
        if (hastore::getText(db, key.c_str(), v, kValueCap)) {
            store(rec, i, v);
            continue;
        }
        if (!setDefault(rec, i)) printf("in mesh.cpp in else case populate %d case not found\n", i);
        printf("Did not find the slave field, setting the default value to (%s), in constructor\n", key.c_str());
    }
}

int Mesh::getSlavePosID() { return rec.ParticipantPosID; }
char* Mesh::getType() { return rec.Type; }
char* Mesh::getBRMACAddress() { return rec.BRMACAddress; }
char* Mesh::getWIFIMACAddress() { return rec.WIFIMACAddress; }
char* Mesh::getMACAddress() { return rec.WIFIMACAddress; }
char* Mesh::getWIFI5GMACAddress() { return rec.WIFI5GMACAddress; }
char* Mesh::getWANMACAddress() { return rec.WANMACAddress; }
char* Mesh::getLANMACAddress() { return rec.LANMACAddress; }
char* Mesh::getREMACAddress() { return rec.REMACAddress; }
char* Mesh::getRE5GMACAddress() { return rec.REMAC5GAddress; }
char* Mesh::getAssociatedMACAddress() { return rec.AssociatedMACAddress; }
int Mesh::getAssociatedMeshID() { return rec.AssociatedMeshID; }
int Mesh::getIs5GMesh() { return rec.Is5GMesh; }
char* Mesh::getName() { return rec.ParticipantName; }
char* Mesh::getLocation() { return rec.ParticipantLocation; }
char* Mesh::getMasterName() { return rec.ParticipantMasterName; }
char* Mesh::getModel() { return rec.Model; }
char* Mesh::getIpAddress() { return rec.IpAddress; }
char* Mesh::getMasterIpAddress() { return rec.MasterIpAddress; }
char* Mesh::getMeshMode() { return rec.MeshMode; }
char* Mesh::getSlaveUniqueId() { return rec.ParticipantUniqueId; }
char* Mesh::getSlaveUniqueName() { return rec.ParticipantUniqueName; }
bool Mesh::getIsSlave() { return rec.IsParticipant != 0; }
bool Mesh::getIsActive() { return rec.IsActive != 0; }
int Mesh::getHopCount() { return rec.HopCount; }
int Mesh::getSlaveSideMasterRSSI() { return rec.ParticipantSideMasterRSSI; }
int Mesh::getMasterSideSlaveRSSI() { return rec.MasterSideParticipantRSSI; }
char* Mesh::getMasterSSID() { return rec.MasterSSID; }
char* Mesh::getMasterPassword() { return rec.MasterPassword; }
int Mesh::getMasterChannel() { return rec.MasterChannel; }
char* Mesh::getMasterAuthMode() { return rec.MasterAuthMode; }
char* Mesh::getMasterEncrypType() { return rec.MasterEncrypType; }
int Mesh::getSlaveClientCount() { return rec.ParticipantClientCount; }
bool Mesh::getIsHACapable() { return rec.IsHACapable != 0; }
int Mesh::getHADeviceCount() { return rec.HADeviceCount; }
bool Mesh::getInternetStatus() { return rec.LastKnownInternetStatus != 0; }
int Mesh::getZigbeePanID() { return rec.ZigbeePanID; }

void Mesh::addSlave(meshServerDatabase* r, int posID) {
    if (!r) return;
    char name[sizeof r->ParticipantName + 1];
    hbase::copyText(name, sizeof name, r->ParticipantName, sizeof r->ParticipantName);
    printf("slaveId: %d, Name: %s\n", posID, name);
    r->ParticipantPosID = posID;
    std::string payload;
    for (int i = 0; i < 36; ++i) {
        payload += meshTagNames[i];
        payload += ':';
        if (kFields[i].kind == kText) {
            // The caller's record may fill a field to its end.
            const char* t = textAt(*r, i);
            payload.append(t, strnlen(t, kFields[i].size));
        } else {
            payload += std::to_string(*intAt(*r, i));
        }
        payload += "; ";
    }
    printf("cmd data: %s\n", payload.c_str());
    sendMesh(43, payload.c_str());
    printf("exiting from addSlave\n");
}

void Mesh::removeSlave(int posID) {
    if (posID <= 0) return;
    sendMesh(46, std::to_string(posID).c_str());
}

void Mesh::SaveValues(int posID, int tag, char* value) {
    // Only the 36 field tags have names.
    if (tag < 0 || tag > 35) return;
    std::string payload = std::string(meshTagNames[0]) + ":" + std::to_string(posID) + "; " + meshTagNames[tag] + ":" +
                          (value ? value : "");
    sendMesh(44, payload.c_str());
}

void Mesh::dePersistMdb() { sendMesh(50, "mdb"); }

void Mesh::getAllSlavesList() { printf("in getAllSlavesList\n"); }

void checkMdbSize() {
    struct stat st;
    long long size = stat(kStore, &st) == 0 ? (long long)st.st_size : 0;
    printf("file size - %d\n", (int)size);
    if (size < 60) Mesh().dePersistMdb();
}

MeshSlaveList::MeshSlaveList() {}
MeshSlaveList::~MeshSlaveList() {}

int MeshSlaveList::Populate() {
    slaves.clear();
    checkMdbSize();
    hastore::Store db = hastore::openMeshStore(kStore);
    if (!db) return 0;
    hastore::iterInit(db);
    // The nodes are read once the walk is over: reading opens the store again.
    std::vector<int> ids;
    std::string key;
    while (hastore::iterNext(db, key)) {
        size_t at = key.find(meshTagNames[0]);
        if (at == std::string::npos) continue;
        std::string id = key.substr(0, at ? at - 1 : 0);
        printf("Id: key-(%s)\n", id.c_str());
        ids.push_back(atoi(id.c_str()));
    }
    hastore::close(db);
    for (int id : ids) slaves.emplace_back(id);
    return 1;
}

void MeshSlaveList::MeshRemoveAllSlaves() {
    slaves.clear();
    sendMesh(49, "");
}
