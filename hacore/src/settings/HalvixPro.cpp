// The pro (alarm) database /tmp/apdb: read here, changed through RSC
// command 53.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hacore/Halvix.h"
#include "hacore/channel.h"
#include "channel/channel_internal.h"
#include "store/store_internal.h"
#include "base/text.h"

namespace {

const char kStore[] = "/tmp/apdb";

const char* keyOf(int code) {
    static const char* const kKeys[] = {"HalvixMode",      "EntryDelay",        "ExitDelay",      "SirenTimeout",
                                        "HalvixTamper",    "BatteryPercentage", "BatteryMode",    "InternetConnection",
                                        "cloudConnection", "Subscriptions",     "ArmedLocations", nullptr,
                                        "CellularConnMode"};
    return code >= 25 && code <= 37 ? kKeys[code - 25] : nullptr;
}

// Reads a text value cut at cap; on a missing key writes "dpget: %s\n".
bool read(DEPOT* db, const char* key, char* out, int cap) {
    if (hastore::getText(db, key, out, cap)) return true;
    fprintf(stderr, "dpget: %s\n", hastore::lastError());
    return false;
}

int readNumber(DEPOT* db, const char* key, int missing) {
    char v[33];
    return read(db, key, v, 32) ? atoi(v) : missing;
}

void readText(DEPOT* db, const char* key, char* out, size_t size, const char* missing) {
    if (!read(db, key, out, (int)size - 1)) hbase::copyText(out, size, missing);
}

bool send53(const char* text, int int1, int int2, int int3, int int5, int int6) {
    std::unique_ptr<RSC_PACKET> p = newRscPacket(53);
    hbase::copyText(p->text, sizeof p->text, text);
    p->int1 = int1;
    p->int2 = int2;
    p->int3 = int3;
    p->int5 = int5;
    p->int6 = int6;
    return sendRscPacket(p.get());
}

}  // namespace

void Halvix::InitHalvixProDB(HalvixProDB* rec) {
    if (!rec) return;
    hastore::Store db = hastore::open(kStore, hastore::kReadMode);
    if (!db) return;
    readText(db, "HalvixMode", rec->mode, sizeof rec->mode, "2 NULL");
    rec->entryDelay = readNumber(db, "EntryDelay", 0);
    rec->exitDelay = readNumber(db, "ExitDelay", 0);
    rec->sirenTimeout = readNumber(db, "SirenTimeout", 0);
    rec->tamper = readNumber(db, "HalvixTamper", 0);
    rec->batteryPercentage = readNumber(db, "BatteryPercentage", -1);
    rec->batteryMode = readNumber(db, "BatteryMode", 0) != 0;
    rec->internetConnection = readNumber(db, "InternetConnection", 0) != 0;
    rec->cloudConnection = readNumber(db, "cloudConnection", 0) != 0;
    readText(db, "Subscriptions", rec->subscriptions, sizeof rec->subscriptions, "0,0,0");
    readText(db, "ArmedLocations", rec->armedLocations, sizeof rec->armedLocations, "None");
    for (int n = 1; n <= 6; ++n) {
        char key[32];
        snprintf(key, sizeof key, "SecurityPin.%d", n);
        if (!read(db, key, rec->securityPins[n - 1], sizeof rec->securityPins[0] - 1)) {
            for (int rest = n; rest <= 6; ++rest) rec->securityPins[rest - 1][0] = '\0';
            break;
        }
    }
}

int Halvix::getHalvixProDB(HalvixUpdateCmd code, char* out) {
    const char* key = keyOf(code);
    if (!key || !out) return 0;
    hastore::Store db = hastore::open(kStore, hastore::kReadMode);
    if (!db) return 0;
    char v[1024];
    bool found = read(db, key, v, code == HUC_ArmedLocations ? 1023 : code == HUC_HalvixMode ? 199 : 31);
    switch (code) {
        case HUC_HalvixMode:
            strcpy(out, found ? v : "2 ,NULL");
            break;
        case HUC_EntryDelay:
        case HUC_ExitDelay:
        case HUC_SirenTimeout:
            found ? sprintf(out, "%d", atoi(v)) : sprintf(out, "30");
            break;
        case HUC_BatteryPercentage:
            found ? sprintf(out, "%d", atoi(v)) : sprintf(out, "-1");
            break;
        case HUC_Subscriptions:
            strcpy(out, found ? v : "0,0,0");
            break;
        case HUC_ArmedLocations:
            strcpy(out, found ? v : "None");
            break;
        default:
            found ? sprintf(out, "%d", atoi(v)) : sprintf(out, "0");
            break;
    }
    return 1;
}

void Halvix::setHalvixProDB(HalvixUpdateCmd code, char* text, unsigned char a, unsigned char b) {
    if (!text || strnlen(text, 10240) >= 10240) return;
    if (code == HUC_ArmedLocations) {
        int separators = 0;
        for (const char* p = text; *p; ++p) separators += *p == '|';
        if (separators > 9) return;
    }
    send53(text, code, b, a, 0, 0);
}

int Halvix::setHalvixModeToDisarm(char* first, char* second, unsigned char kind) {
    const char* f = first ? first : "";
    const char* s = second ? second : "";
    const char* mode;
    if (kind == 2)
        mode = strcmp(f, "d") == 0 ? "5" : "2";
    else if (kind == 3)
        mode = "3";
    else
        return 0;
    std::string text = std::string(mode) + " " + s + ";" + f;
    if (text.size() >= 10240) return 0;
    return send53(text.c_str(), HUC_HalvixMode, 1, 0, 2, 0) ? 1 : 0;
}

int Halvix::setHalvixCredentials(int slot, char* text, char* list, unsigned char flag) {
    if (slot != -1 && (slot < 1 || slot > 6)) return 0;
    if (!text || !*text || strnlen(text, 10240) >= 10240) return 0;
    uint32_t mask = 0;
    if (slot == -1 && list) {
        int v[6] = {0, 0, 0, 0, 0, 0};
        sscanf(list, "%d|%d|%d|%d|%d|%d", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
        for (int x : v) {
            if (x < 1) break;
            mask |= 1u << (x % 32);
        }
    }
    return send53(text, HUC_SecurityPin, flag, 0, slot, (int32_t)mask) ? 1 : 0;
}

int Halvix::getHalvixCredentials(int slot, char* out) {
    if (!out || (slot != -1 && (slot < 1 || slot > 6))) return 0;
    char key[32];
    if (slot != -1) {
        hastore::Store db = hastore::open(kStore, hastore::kReadMode);
        if (!db) return 0;
        snprintf(key, sizeof key, "SecurityPin.%d", slot);
        char v[180];
        bool found = read(db, key, v, sizeof v - 1);
        if (found) strcpy(out, v);
        return found ? 1 : 0;
    }
    hastore::Store db = hastore::open(kStore, hastore::kWriteMode);
    if (!db) return 0;
    std::string all;
    for (int n = 1; n <= 6; ++n) {
        snprintf(key, sizeof key, "SecurityPin.%d", n);
        char v[180];
        if (!read(db, key, v, sizeof v - 1)) break;
        if (n > 1) all += "|";
        all += v;
    }
    strcpy(out, all.c_str());
    return 1;
}
