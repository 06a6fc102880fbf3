// RSC server: the client store /tmp/cdb, the mesh store /tmp/mdb and the
// pro database /tmp/apdb, kept as their readers in libhacore expect them.
//   /tmp/cdb: "<id>" = "<id>" per client, "<id>.<suffix>" per field
//   /tmp/mdb: "<pos>.<tag>" per node field, "ParticipantPosID" marks a node
//   /tmp/apdb: "HalvixMode", "EntryDelay", ..., "SecurityPin.<n>"
// Requests it does not know are answered "true" and change nothing.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <depot.h>
}

#include "hub.h"
#include "server_store.h"

namespace hub {
namespace {

const char kClients[] = "/tmp/cdb";
const char kMesh[] = "/tmp/mdb";
const char kPro[] = "/tmp/apdb";

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(' ');
    return a == std::string::npos ? "" : s.substr(a);
}

std::string fieldKey(int id, const char* suffix) { return std::to_string(id) + "." + suffix; }

// Create: "id,LE, name, CT, mac, type, ip, vendor, rssi, canBlock, user, NI,active".
bool createClient(ServerStore& db, const RSC_PACKET& p) {
    std::vector<std::string> f = split(rscText(p), ",");
    if (f.size() < 13) return false;
    for (std::string& s : f) s = trim(s);
    size_t extra = f.size() - 13;  // commas inside the name
    std::string name = f[2];
    for (size_t i = 0; i < extra; ++i) name += "," + f[3 + i];
    auto at = [&](size_t i) { return f[i + extra]; };
    int id = p.int5 > 0 ? p.int5 : atoi(f[0].c_str());
    if (id < 1) return false;
    std::string key = std::to_string(id);
    int canBlock = atoi(at(9).c_str()) ? 1 : 0;
    db.put(key, key);
    db.put(fieldKey(id, "LE"), f[1]);
    db.put(fieldKey(id, "NM"), name);
    db.put(fieldKey(id, "CT"), at(3));
    db.put(fieldKey(id, "MC"), at(4));
    db.put(fieldKey(id, "TY"), at(5));
    db.put(fieldKey(id, "IP"), at(6));
    db.put(fieldKey(id, "MF"), at(7));
    db.put(fieldKey(id, "RS"), at(8));
    db.put(fieldKey(id, "UT"), at(10));
    db.put(fieldKey(id, "NI"), at(11));
    db.put(fieldKey(id, "AC"), at(12));
    db.put(fieldKey(id, "WT"), "6");
    db.put(fieldKey(id, "BL"), "0");
    db.put(fieldKey(id, "SB"), "0,0,0,0,0,0,0");
    // useAsPresence, canBlock, IoT and DNS features on.
    db.put(fieldKey(id, "FEA"), std::to_string(1 | canBlock << 1 | 32 | 64));
    db.put(fieldKey(id, "PF"), "");
    return true;
}

// Flag change: "value,mac,ip,bit".
bool clientFlag(ServerStore& db, int id, const std::string& payload) {
    std::vector<std::string> f = split(payload, ",");
    if (f.size() != 4) return false;
    int value = atoi(f[0].c_str()), bit = atoi(f[3].c_str());
    int fea = atoi(db.get(fieldKey(id, "FEA")).c_str());
    if (bit == 7) {
        fea &= ~(3 << 7);
        fea |= (value & 3) << 7;
    } else if (bit >= 0 && bit <= 6) {
        fea = value ? fea | 1 << bit : fea & ~(1 << bit);
    } else {
        return false;
    }
    db.put(fieldKey(id, "FEA"), std::to_string(fea));
    return true;
}

bool clientRequest(const RSC_PACKET& p) {
    ServerStore db(kClients);
    if (!db.isOpen()) return false;
    std::string t = rscText(p);
    int id = p.int4;
    if (p.command == 25) return createClient(db, p);
    if (p.command == 36) {
        db.removeWhere([](const std::string& k) { return k != "Version"; });
        return true;
    }
    if (id < 1 || db.get(std::to_string(id)).empty()) return false;
    // Requests that store their text as it is in one field.
    static const struct {
        int command;
        const char* field;
    } kFields[] = {{28, "WT"}, {30, "LE"}, {31, "NM"}, {32, "MC"}, {34, "CT"}, {35, "TY"},
                   {38, "RS"}, {39, "SB"}, {40, "UT"}, {42, "PF"}, {47, "NI"}};
    for (const auto& f : kFields) {
        if (f.command != p.command) continue;
        db.put(fieldKey(id, f.field), t);
        return true;
    }
    switch (p.command) {
        case 26:
            db.put(fieldKey(id, "AC"), t == "true" ? "1" : "0");
            return true;
        case 27:
        case 48:
            db.removeRecord(id);
            return true;
        case 29:
            db.put(fieldKey(id, "MF"), t.substr(0, t.rfind(", ")));
            return true;
        case 33: {  // "ip,static,mac"
            std::vector<std::string> f = split(t, ",");
            db.put(fieldKey(id, "IP"), f.size() >= 2 ? f[0] + "," + f[1] : t);
            return true;
        }
        case 37:
            db.put(fieldKey(id, "BL"), split(t, ",")[0]);
            return true;
        case 41: {  // "static,mac,ip"
            std::vector<std::string> f = split(t, ",");
            if (f.size() != 3) return false;
            db.put(fieldKey(id, "IP"), f[2] + "," + f[0]);
            return true;
        }
        case 51:
            return clientFlag(db, id, t);
        default:
            return true;
    }
}

// "Tag:value; Tag:value; ..." with the node's position first.
bool meshFields(ServerStore& db, const std::string& payload) {
    std::vector<std::string> pairs = split(payload, "; ");
    int pos = -1;
    for (const std::string& pair : pairs) {
        size_t colon = pair.find(':');
        if (colon == std::string::npos) continue;
        std::string tag = pair.substr(0, colon), value = pair.substr(colon + 1);
        if (tag == "ParticipantPosID") pos = atoi(value.c_str());
        if (pos < 0) return false;
        db.put(std::to_string(pos) + "." + tag, value);
    }
    return pos >= 0;
}

bool meshRequest(const RSC_PACKET& p) {
    std::string t = rscText(p);
    if (p.command == 50) {
        // Rebuild from the flash copy when there is one.
        FILE* f = fopen("/data/rsc/mdb", "rb");
        if (!f) return true;
        fclose(f);
        return system("cp /data/rsc/mdb /tmp/mdb") == 0;
    }
    ServerStore db(kMesh);
    if (!db.isOpen()) return false;
    switch (p.command) {
        case 43:
        case 44:
            return meshFields(db, t);
        case 46: {
            std::string prefix = std::to_string(atoi(t.c_str())) + ".";
            db.removeWhere([&](const std::string& k) { return k.compare(0, prefix.size(), prefix) == 0; });
            return true;
        }
        case 49:
            db.removeWhere([](const std::string&) { return true; });
            return true;
        default:
            return true;
    }
}

bool proRequest(const RSC_PACKET& p) {
    static const char* const kKeys[] = {"HalvixMode",      "EntryDelay",        "ExitDelay",      "SirenTimeout",
                                        "HalvixTamper",    "BatteryPercentage", "BatteryMode",    "InternetConnection",
                                        "cloudConnection", "Subscriptions",     "ArmedLocations", nullptr,
                                        "CellularConnMode"};
    int code = p.int1;
    if (code < 25 || code > 37) return false;
    ServerStore db(kPro);
    if (!db.isOpen()) return false;
    std::string t = rscText(p);
    if (code != 36) {
        db.put(kKeys[code - 25], t);
        return true;
    }
    if (p.int5 >= 1 && p.int5 <= 6) {
        db.put("SecurityPin." + std::to_string(p.int5), t);
        return true;
    }
    // All PINs at once: "user:pin|user:pin|...".
    std::vector<std::string> pins = split(t, "|");
    db.removeWhere([](const std::string& k) { return k.compare(0, 12, "SecurityPin.") == 0; });
    for (size_t i = 0; i < pins.size() && i < 6; ++i) db.put("SecurityPin." + std::to_string(i + 1), pins[i]);
    return true;
}

}  // namespace

bool applyNetworkRequest(const RSC_PACKET& p) {
    if ((p.command >= 25 && p.command <= 42) || p.command == 47 || p.command == 48 || p.command == 51)
        return clientRequest(p);
    if (p.command == 43 || p.command == 44 || p.command == 46 || p.command == 49 || p.command == 50)
        return meshRequest(p);
    if (p.command == 53) return proRequest(p);
    return true;
}

}  // namespace hub
