// Clients of the LAN, read from /tmp/cdb; changes go to the RSC server.
#include "hacore/Client.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "hacore/channel.h"
#include "channel/channel_internal.h"
#include "network/netstore_internal.h"
#include "base/text.h"

namespace {

const char kStore[] = "/tmp/cdb";
// Longest value read of a client field: the schedule's seven words need 62.
constexpr int kValueCap = 100;

const char* orNaN(const char* s) { return *s ? s : "NaN"; }

// A main record's key: decimal digits only, no dot.
bool isClientKey(const std::string& key, int* id) {
    if (key.empty() || key.size() > 9 || key.find_first_not_of("0123456789") != std::string::npos) return false;
    *id = atoi(key.c_str());
    return true;
}

void parseSchedule(const char* text, int32_t out[7]) {
    for (int i = 0; i < 7; ++i) out[i] = 0;
    const char* p = text;
    for (int i = 0; i < 7 && *p; ++i) {
        char* end;
        out[i] = (int32_t)strtoul(p, &end, 16);
        const char* comma = strchr(p, ',');
        if (!comma) break;
        p = comma + 1;
    }
}

bool parseMac(const char* mac) {
    unsigned v[6];
    char extra;
    if (sscanf(mac, "%x:%x:%x:%x:%x:%x%c", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &extra) < 6) return false;
    for (unsigned x : v)
        if (x) return true;
    return false;
}

}  // namespace

int isValidIpAddress(char* text) {
    if (!text) return 0;
    in_addr a;
    return inet_pton(AF_INET, text, &a) == 1 ? 1 : 0;
}

void readClientDataFromDB(ClientBin* rec, DEPOT* db, char* idText) {
    memset(rec, 0, sizeof *rec);
    if (!idText) return;
    rec->clientID = atoi(idText);
    static const char* const kSuffixes[] = {"IP", "MC", "CT", "NM", "LE", "AC", "WT",  "TY",
                                            "RS", "BL", "SB", "MF", "UT", "NI", "FEA", "PF"};
    for (const char* suffix : kSuffixes) {
        char key[64], v[kValueCap + 1];
        snprintf(key, sizeof key, "%s.%s", idText, suffix);
        if (!db || !hastore::getText(db, key, v, kValueCap)) v[0] = '\0';
        std::string sfx = suffix;
        if (sfx == "IP") {
            const char* comma = strchr(v, ',');
            if (comma) {
                hbase::copyText(rec->ip, sizeof rec->ip, v, comma - v);
                rec->staticIP = atoi(comma + 1);
            } else {
                hbase::copyText(rec->ip, sizeof rec->ip, orNaN(v));
            }
            if (!rec->ip[0]) hbase::copyText(rec->ip, sizeof rec->ip, "NaN");
        } else if (sfx == "MC") {
            hbase::copyText(rec->mac, sizeof rec->mac, orNaN(v));
        } else if (sfx == "CT") {
            hbase::copyText(rec->connectionType, sizeof rec->connectionType, orNaN(v));
        } else if (sfx == "NM") {
            hbase::copyText(rec->name, sizeof rec->name, orNaN(v));
        } else if (sfx == "MF") {
            hbase::copyText(rec->vendor, sizeof rec->vendor, orNaN(v));
        } else if (sfx == "PF") {
            hbase::copyText(rec->portForward, sizeof rec->portForward, v);
        } else if (sfx == "LE") {
            rec->lastActiveEpoch = strtoull(v, nullptr, 10);
        } else if (sfx == "AC") {
            rec->active = atoi(v) > 0;
        } else if (sfx == "WT") {
            rec->wait = *v ? atoi(v) : 6;
        } else if (sfx == "TY") {
            rec->type = stringToClientType(v);
        } else if (sfx == "RS") {
            rec->rssi = atoi(v);
        } else if (sfx == "BL") {
            rec->block = atoi(v);
        } else if (sfx == "SB") {
            if (strlen(v) >= 7) parseSchedule(v, rec->schedule);
        } else if (sfx == "UT") {
            rec->userType = *v ? StringToUsertype(v) : UT_Others;
        } else if (sfx == "NI") {
            rec->nodeIdentifier = atoi(v);
        } else if (sfx == "FEA") {
            int n = atoi(v);
            rec->useAsPresence = n & 1;
            rec->canBlock = (n >> 1) & 1;
            rec->bwEnable = (n >> 2) & 1;
            rec->smEnable = (n >> 3) & 1;
            rec->forceInactive = n & 16;
            rec->iotEnable = (n >> 5) & 1;
            rec->dnsEnable = (n >> 6) & 1;
            rec->security = (signed char)(((n >> 7) & 1) + 2 * ((n >> 8) & 1));
        }
    }
}

ClientBin loadClientBin(int id) {
    ClientBin rec;
    memset(&rec, 0, sizeof rec);
    hastore::Store db = hastore::open(kStore, hastore::kReadMode);
    if (!db) return rec;
    char idText[16];
    snprintf(idText, sizeof idText, "%d", id);
    readClientDataFromDB(&rec, db, idText);
    rec.clientID = id;
    return rec;
}

Client::Client(ClientBin bin) : bin_(bin) {}

Client::Client(int id) : bin_(loadClientBin(id)) {}

Client::Client(char* name, char* connectionType, char* mac, ClientType type, char* ip, char* vendor, int rssi,
               bool canBlock, int nodeIdentifier, bool active) {
    memset(&bin_, 0, sizeof bin_);
    const char* n = name ? name : "";
    const char* ct = connectionType ? connectionType : "";
    const char* mc = mac ? mac : "";
    char* addr = ip ? ip : const_cast<char*>("");
    const char* vd = vendor ? vendor : "";
    if (!parseMac(mc) || !isValidIpAddress(addr)) return;

    hastore::Store db = hastore::openClientStore(kStore);
    if (!db) return;
    hastore::iterInit(db);
    int greatest = 0;
    std::string key;
    while (hastore::iterNext(db, key)) {
        if (key == "Version" || key.find('.') != std::string::npos) continue;
        char v[32];
        if (!hastore::getText(db, key.c_str(), v, sizeof v - 1)) {
            fprintf(stderr, "dpget: %s\n", hastore::lastError());
            break;
        }
        int id = atoi(v);
        if (id > greatest) greatest = id;
    }
    if (!hastore::close(db)) return;

    bin_.clientID = greatest + 1;
    hbase::copyText(bin_.name, sizeof bin_.name, n);
    hbase::copyText(bin_.connectionType, sizeof bin_.connectionType, ct);
    hbase::copyText(bin_.mac, sizeof bin_.mac, mc);
    hbase::copyText(bin_.ip, sizeof bin_.ip, addr);
    hbase::copyText(bin_.vendor, sizeof bin_.vendor, vd);
    bin_.type = type;
    bin_.rssi = rssi;
    bin_.canBlock = canBlock;
    bin_.nodeIdentifier = nodeIdentifier;
    bin_.active = active;
    bin_.lastActiveEpoch = (uint64_t)time(nullptr);
    bin_.wait = 6;
    bin_.useAsPresence = true;
    bin_.iotEnable = true;
    bin_.dnsEnable = true;

    std::unique_ptr<RSC_PACKET> p = newRscPacket(25);
    snprintf(p->text, sizeof p->text, "%d,%llu, %s, %s, %s, %s, %s, %s, %d, %d, %s, %d,%d", bin_.clientID,
             (unsigned long long)bin_.lastActiveEpoch, bin_.name, bin_.connectionType, bin_.mac,
             ClientTypeToString(bin_.type), bin_.ip, bin_.vendor, bin_.rssi, bin_.canBlock ? 1 : 0, "Others",
             bin_.nodeIdentifier, bin_.active ? 1 : 0);
    p->int5 = bin_.clientID;
    sendRscPacket(p.get());
}

bool Client::refresh() {
    bin_ = loadClientBin(bin_.clientID);
    return bin_.clientID != 0;
}

int Client::getClientID() { return bin_.clientID; }
int Client::getWait() { return bin_.wait; }
int Client::getForceInactive() { return bin_.forceInactive; }
int Client::getBlock() { return bin_.block; }
int Client::getRssi() { return bin_.rssi; }
int Client::getNodeIdentifier() { return bin_.nodeIdentifier; }
int Client::isStaticIP() { return bin_.staticIP; }
unsigned long long Client::getLastActiveEpoch() { return bin_.lastActiveEpoch; }
unsigned long long Client::getRX() { return bin_.rx; }
unsigned long long Client::getTX() { return bin_.tx; }
bool Client::isActive() { return bin_.active; }
bool Client::isUseAsPresence() { return bin_.useAsPresence; }
bool Client::canBlock() { return bin_.canBlock; }
bool Client::isBWEnable() { return bin_.bwEnable; }
bool Client::isSMEnable() { return bin_.smEnable; }
bool Client::isIOTEnable() { return bin_.iotEnable; }
bool Client::isDNSEnable() { return bin_.dnsEnable; }
int Client::getSecurity() { return bin_.security; }

static char g_empty[1] = "";
char* Client::getName() { return bin_.clientID ? bin_.name : (g_empty[0] = 0, g_empty); }
char* Client::getVendor() { return bin_.clientID ? bin_.vendor : (g_empty[0] = 0, g_empty); }
char* Client::getMac() { return bin_.clientID ? bin_.mac : (g_empty[0] = 0, g_empty); }
char* Client::getConnectionType() { return bin_.clientID ? bin_.connectionType : (g_empty[0] = 0, g_empty); }
char* Client::getIP() { return bin_.clientID ? bin_.ip : (g_empty[0] = 0, g_empty); }
char* Client::getPortForward() { return bin_.portForward; }

ClientType Client::getType() { return bin_.clientID ? bin_.type : CT_other; }

int Client::getType(char* out) {
    if (!bin_.clientID || !out) return 0;
    hbase::copyText(out, 33, ClientTypeToString(bin_.type));
    return 1;
}

const char* Client::getUserType() { return bin_.userType == UT_Kids ? "Kids" : "Others"; }

int Client::getScheduleData(char* out) {
    const int32_t* s = bin_.schedule;
    sprintf(out, "%x,%x,%x,%x,%x,%x,%x", (unsigned)s[0], (unsigned)s[1], (unsigned)s[2], (unsigned)s[3], (unsigned)s[4],
            (unsigned)s[5], (unsigned)s[6]);
    return 1;
}

bool Client::isIOT(ClientType type) {
    return (type >= CT_nest && type <= CT_amazon_dash) || (type >= CT_philips_hue && type <= CT_withings);
}

int Client::send(int command, const char* payload) {
    std::unique_ptr<RSC_PACKET> p = newRscPacket(command);
    hbase::copyText(p->text, sizeof p->text, payload);
    p->int4 = bin_.clientID;
    return sendRscPacket(p.get()) ? 1 : 0;
}

int Client::sendFlag(int value, int bit) {
    char payload[128];
    snprintf(payload, sizeof payload, "%d,%s,%s,%d", value, bin_.mac, bin_.ip, bit);
    return send(51, payload);
}

static std::string num(long long v) { return std::to_string(v); }

// A setter's common steps: nothing for a client without ID, nothing sent when
// the field already holds the value, else the field set and the change sent.
template <typename Field, typename Value, typename Send>
static int change(int clientID, Field& field, Value value, Send send) {
    if (!clientID) return 0;
    if (value == field) return 1;
    field = value;
    return send();
}

int Client::setWait(int wait) {
    if (!bin_.clientID || wait < 1 || wait > 60) return 0;
    if (wait == bin_.wait) return 1;
    bin_.wait = wait;
    return send(28, num(wait).c_str());
}

int Client::setForceInactive(int value) {
    if (!bin_.clientID || value < 0 || value > 3600) return 0;
    if (value == bin_.forceInactive) return 1;
    bin_.forceInactive = value;
    return sendFlag(value, 4);
}

int Client::setActive(bool active) {
    return change(bin_.clientID, bin_.active, active, [&] { return send(26, active ? "true" : "false"); });
}

int Client::setUseAsPresence(bool on) {
    return change(bin_.clientID, bin_.useAsPresence, on, [&] { return sendFlag(on, 0); });
}

int Client::setLastActiveEpoch() {
    if (!bin_.clientID) return 0;
    bin_.lastActiveEpoch = (uint64_t)time(nullptr);
    return send(30, std::to_string((unsigned long long)bin_.lastActiveEpoch).c_str());
}

int Client::setName(char* name) {
    if (!bin_.clientID || !name) return 0;
    if (strcmp(name, bin_.name) == 0) return 1;
    hbase::copyText(bin_.name, sizeof bin_.name, name);
    return send(31, name);
}

int Client::setVendor(char* vendor) {
    if (!bin_.clientID || !vendor) return 0;
    if (strcmp(vendor, bin_.vendor) == 0) return 1;
    hbase::copyText(bin_.vendor, sizeof bin_.vendor, vendor);
    std::string payload = std::string(vendor) + ", " + bin_.mac;
    return send(29, payload.c_str());
}

int Client::setMac(char* mac) {
    if (!bin_.clientID || !mac || !parseMac(mac)) return 0;
    if (strcmp(mac, bin_.mac) == 0) return 1;
    hbase::copyText(bin_.mac, sizeof bin_.mac, mac);
    return send(32, mac);
}

int Client::setIP(char* ip) {
    if (!bin_.clientID || !ip || !isValidIpAddress(ip)) return 0;
    if (strcmp(ip, bin_.ip) == 0) return 1;
    hbase::copyText(bin_.ip, sizeof bin_.ip, ip);
    char payload[128];
    snprintf(payload, sizeof payload, "%s,%d,%s", bin_.ip, bin_.staticIP, bin_.mac);
    return send(33, payload);
}

int Client::setConnectionType(char* type) {
    if (!bin_.clientID || !type) return 0;
    if (strcmp(type, "wireless") && strcmp(type, "wired") && strcmp(type, "indirect") && strcmp(type, "unknown"))
        return 0;
    if (strcmp(type, bin_.connectionType) == 0) return 1;
    hbase::copyText(bin_.connectionType, sizeof bin_.connectionType, type);
    return send(34, type);
}

int Client::setType(char* type) {
    if (!bin_.clientID || !type) return 0;
    return setType(stringToClientType(type));
}

int Client::setType(ClientType type) {
    if (!bin_.clientID) return 0;
    if (type == bin_.type) return 1;
    bin_.type = type;
    return send(35, ClientTypeToString(type));
}

int Client::setBlock(int block) {
    if (!bin_.clientID) return 0;
    if (block == bin_.block) return 1;
    bin_.block = block;
    char payload[64];
    snprintf(payload, sizeof payload, "%d,%s", block, bin_.mac);
    return send(37, payload);
}

int Client::setRssi(int rssi) {
    if (!bin_.clientID) return 0;
    if (rssi == bin_.rssi) return 1;
    bin_.rssi = rssi;
    return send(38, num(rssi).c_str());
}

int Client::setSchedule(char* schedule) {
    if (!bin_.clientID || !schedule) return 0;
    char current[96];
    getScheduleData(current);
    if (strcmp(current, schedule) == 0) return 1;
    parseSchedule(schedule, bin_.schedule);
    return send(39, schedule);
}

int Client::setUserType(char* userType) {
    if (!bin_.clientID || !userType) return 0;
    UserType t = StringToUsertype(userType);
    if (t == bin_.userType) return 1;
    bin_.userType = t;
    return send(40, userType);
}

int Client::setStaticIP(int staticIP) {
    if (!bin_.clientID) return 0;
    if (staticIP == bin_.staticIP) return 1;
    bin_.staticIP = staticIP;
    char payload[128];
    snprintf(payload, sizeof payload, "%d,%s,%s", staticIP, bin_.mac, bin_.ip);
    return send(41, payload);
}

int Client::setPortForward(char* text) {
    if (!bin_.clientID || !text) return 0;
    if (strcmp(text, bin_.portForward) == 0) return 1;
    hbase::copyText(bin_.portForward, sizeof bin_.portForward, text);
    return send(42, bin_.portForward);
}

int Client::setNodeIdentifier(int node) {
    if (!bin_.clientID) return 0;
    bin_.nodeIdentifier = node;
    return send(47, num(node).c_str());
}

int Client::setCanBlock(bool on) {
    return change(bin_.clientID, bin_.canBlock, on, [&] { return sendFlag(on, 1); });
}

int Client::setBWEnable(bool on) {
    return change(bin_.clientID, bin_.bwEnable, on, [&] { return sendFlag(on, 2); });
}

int Client::setSMEnable(bool on) {
    return change(bin_.clientID, bin_.smEnable, on, [&] { return sendFlag(on, 3); });
}

int Client::setIOTEnable(bool on) {
    return change(bin_.clientID, bin_.iotEnable, on, [&] { return sendFlag(on, 5); });
}

int Client::setDNSEnable(bool on) {
    return change(bin_.clientID, bin_.dnsEnable, on, [&] { return sendFlag(on, 6); });
}

int Client::setSecurity(char level) {
    if (!bin_.clientID) return 0;
    if ((signed char)level == bin_.security) return 1;
    bin_.security = (signed char)level;
    return sendFlag((signed char)level, 7);
}

int Client::setRXTX(unsigned long long, unsigned long long, unsigned char) { return 1; }

int Client::deleteClient() {
    if (!bin_.clientID) return 0;
    std::string payload = std::string(bin_.ip) + ", " + bin_.mac;
    return send(27, payload.c_str());
}

int Client::deleteSlaveClient() {
    if (!bin_.clientID) return 0;
    std::string payload = std::string(bin_.ip) + ", " + bin_.mac;
    return send(48, payload.c_str());
}

ClientsList::ClientsList() {}
ClientsList::~ClientsList() {}

int ClientsList::populate() {
    clients.clear();
    hastore::Store db = hastore::openClientStore(kStore);
    if (!db) return 0;
    hastore::iterInit(db);
    std::string key;
    while (hastore::iterNext(db, key)) {
        int id;
        if (key == "Version" || key.find('.') != std::string::npos) continue;
        if (!isClientKey(key, &id) || id <= 0) continue;
        ClientBin rec;
        readClientDataFromDB(&rec, db, const_cast<char*>(key.c_str()));
        clients.emplace_back(rec);
    }
    if (!hastore::close(db)) return 0;
    return 1;
}

int ClientsList::removeAllClients() {
    clients.clear();
    std::unique_ptr<RSC_PACKET> p = newRscPacket(36);
    return sendRscPacket(p.get()) ? 1 : 0;
}
