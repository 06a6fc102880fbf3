// Lays down the demo home's LAN the way the RSC server keeps it: clients in
// /tmp/cdb (phones, laptops, a TV, a camera, a speaker) and the two mesh
// units in /tmp/mdb.
#include <cstdio>
#include <string>

extern "C" {
#include <depot.h>
}

namespace {

struct LanClient {
    const char* name;
    const char* conn;
    const char* mac;
    const char* type;
    const char* ip;  // "address" or "address,static"
    const char* vendor;
    int rssi;
    int active;
    int fea;  // feature bits
    const char* user;
    int node;  // mesh unit it hangs on (0: the master)
};

const LanClient kClients[] = {
    {"Anna's iPhone", "wireless", "a4:83:e7:12:9c:01", "iphone", "192.168.8.101", "Apple", -48, 1, 99, "Others", 0},
    {"Ben's Pixel", "wireless", "3c:28:6d:44:0a:7e", "smartphone", "192.168.8.102", "Google", -61, 1, 99, "Others", 1},
    {"Work Laptop", "wireless", "f8:ff:c2:5e:31:b4", "laptop", "192.168.8.110", "Dell", -55, 1, 98, "Others", 0},
    {"Family MacBook", "wired", "8c:85:90:0d:77:23", "mac", "192.168.8.111,1", "Apple", 0, 0, 98, "Others", 0},
    {"Living Room TV", "wired", "70:2a:d5:9b:10:6c", "tv", "192.168.8.120,1", "Samsung", 0, 1, 96, "Others", 1},
    {"Front Door Camera", "wireless", "c0:56:e3:8a:4f:02", "camera", "192.168.8.130,1", "Hikvision", -67, 1, 352,
     "Others", 2},
    {"Kitchen Echo", "wireless", "44:65:0d:c1:2e:9a", "amazon_echo", "192.168.8.131", "Amazon", -58, 1, 96, "Others",
     1},
    {"Mia's iPad", "wireless", "d0:81:7a:3b:66:15", "ipad", "192.168.8.140", "Apple", -63, 0, 99, "Kids", 2},
};

struct Unit {
    int pos;
    const char* name;
    const char* location;
    const char* ip;
    const char* mac;
    const char* mac5g;
    const char* mode;
    int hops;
    int rssi;
    int clients;
};

const Unit kUnits[] = {
    {1, "Living Room Unit", "Living Room", "192.168.8.2", "9c:a5:25:10:00:21", "9c:a5:25:10:00:22", "WirelessSlave", 1,
     -52, 3},
    {2, "Garage Unit", "Garage", "192.168.8.3", "9c:a5:25:10:00:31", "9c:a5:25:10:00:32", "WiredSlave", 1, 0, 2},
};

void put(DEPOT* db, const std::string& k, const std::string& v) {
    dpput(db, k.data(), (int)k.size(), v.data(), (int)v.size(), DP_DOVER);
}

}  // namespace

int main() {
    const int mode = DP_OWRITER | DP_OCREAT | DP_ONOLCK | DP_OSPARSE;
    DEPOT* cdb = dpopen("/tmp/cdb", mode, 1);
    DEPOT* mdb = dpopen("/tmp/mdb", mode, 1);
    if (!cdb || !mdb) {
        fprintf(stderr, "sim-lan: %s\n", dperrmsg(dpecode));
        return 1;
    }
    put(cdb, "Version", "1");
    int id = 0;
    for (const LanClient& c : kClients) {
        std::string k = std::to_string(++id);
        put(cdb, k, k);
        put(cdb, k + ".IP", c.ip);
        put(cdb, k + ".MC", c.mac);
        put(cdb, k + ".CT", c.conn);
        put(cdb, k + ".NM", c.name);
        put(cdb, k + ".LE", std::to_string(1796000000 + id * 3600));
        put(cdb, k + ".AC", std::to_string(c.active));
        put(cdb, k + ".WT", "6");
        put(cdb, k + ".TY", c.type);
        put(cdb, k + ".RS", std::to_string(c.rssi));
        put(cdb, k + ".BL", "0");
        put(cdb, k + ".SB", c.user[0] == 'K' ? "0,0,0,0,0,1f80,1f80" : "0,0,0,0,0,0,0");
        put(cdb, k + ".MF", c.vendor);
        put(cdb, k + ".UT", c.user);
        put(cdb, k + ".NI", std::to_string(c.node));
        put(cdb, k + ".FEA", std::to_string(c.fea));
        put(cdb, k + ".PF", c.type[0] == 'c' ? "8080>80" : "");
        printf("client %s: %s\n", k.c_str(), c.name);
    }
    for (const Unit& u : kUnits) {
        std::string p = std::to_string(u.pos) + ".";
        put(mdb, p + "ParticipantPosID", std::to_string(u.pos));
        put(mdb, p + "Type", "participant");
        put(mdb, p + "BRMACAddress", u.mac);
        put(mdb, p + "WIFIMACAddress", u.mac);
        put(mdb, p + "WIFI5GMACAddress", u.mac5g);
        put(mdb, p + "LANMACAddress", u.mac);
        put(mdb, p + "REMACAddress", u.mac);
        put(mdb, p + "REMAC5GAddress", u.mac5g);
        put(mdb, p + "AssociatedMACAddress", "9c:a5:25:10:00:01");
        put(mdb, p + "AssociatedMeshID", "0");
        put(mdb, p + "Is5GMesh", "1");
        put(mdb, p + "ParticipantName", u.name);
        put(mdb, p + "ParticipantLocation", u.location);
        put(mdb, p + "ParticipantMasterName", "Halvix");
        put(mdb, p + "Model", "VK7");
        put(mdb, p + "IpAddress", u.ip);
        put(mdb, p + "MasterIpAddress", "192.168.8.1");
        put(mdb, p + "MeshMode", u.mode);
        put(mdb, p + "ParticipantUniqueId", "HLX0" + std::to_string(u.pos));
        put(mdb, p + "ParticipantUniqueName", std::string("unit-") + std::to_string(u.pos));
        put(mdb, p + "IsParticipant", "1");
        put(mdb, p + "IsActive", "1");
        put(mdb, p + "HopCount", std::to_string(u.hops));
        put(mdb, p + "ParticipantSideMasterRSSI", std::to_string(u.rssi));
        put(mdb, p + "MasterSideParticipantRSSI", std::to_string(u.rssi - 2));
        put(mdb, p + "MasterSSID", "Halvix-5F3A");
        put(mdb, p + "MasterPassword", "maple-orbit-42");
        put(mdb, p + "MasterChannel", "44");
        put(mdb, p + "MasterAuthMode", "WPA2PSK");
        put(mdb, p + "MasterEncrypType", "AES");
        put(mdb, p + "ParticipantClientCount", std::to_string(u.clients));
        put(mdb, p + "IsHACapable", u.pos == 1 ? "1" : "0");
        put(mdb, p + "HADeviceCount", u.pos == 1 ? "2" : "0");
        put(mdb, p + "LastKnownInternetStatus", "1");
        put(mdb, p + "ZigbeePanID", u.pos == 1 ? "6754" : "0");
        printf("mesh unit %d: %s\n", u.pos, u.name);
    }
    bool ok = dpclose(cdb) & dpclose(mdb);
    return ok ? 0 : 1;
}
