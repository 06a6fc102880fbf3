#include "hacore/Device.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "channel.h"
#include "hacore/packets.h"
#include "store.h"
#include "text.h"

namespace {

const char kDeviceStore[] = "/tmp/ddb";
char kErr[] = "#ERR";
char kUnknown[] = "Unknown";
char kNoId[] = "no_id";
char kOne[] = "1";

// A corrupt value count must not make the loader write millions of default
// records; real devices have far fewer value indexes.
constexpr int kMaxValueIndex = 1024;

ValueRecord securityDeviceRecord() {
    ValueRecord r;
    memset(&r, 0, sizeof r);
    r.index = 0;
    copyText(r.name, sizeof r.name, "SECURITYDEVICE");
    copyText(r.value, sizeof r.value, "0");
    r.indexType = StrToIndexTypeEnum("SECURITYDEVICE");
    return r;
}

// Reads a sub-record under its cap, writing the default back when missing.
void readAttribute(DEPOT* db, int id, const char* suffix, int cap, const char* def, int defLen,
                   char* out) {
    char key[32];
    snprintf(key, sizeof key, "%d.%s", id, suffix);
    if (!hastore::getText(db, key, out, cap)) {
        hastore::putText(db, key, def, defLen);
        copyText(out, cap + 1, def);
    }
}

bool isDeviceKey(const std::string& key, int* id) {
    if (key.empty() || key.size() > 10) return false;
    for (char c : key)
        if (c < '0' || c > '9') return false;
    long v = strtol(key.c_str(), nullptr, 10);
    if (v < 1 || v > 0x7fffffff) return false;
    *id = (int)v;
    return true;
}

}  // namespace

Device::Device()
    : id(0), ozwNode(0), shortId(0), technology(DEVTECH_NONE), type((DevType)0),
      allowNotification(false), valueCount(0), lastActive(0), state(0), securityDevice(0) {
    memset(name, 0, sizeof name);
    memset(location, 0, sizeof location);
    memset(eui64, 0, sizeof eui64);
    memset(associationTime, 0, sizeof associationTime);
    memset(typeName, 0, sizeof typeName);
    memset(friendlyType, 0, sizeof friendlyType);
    memset(version, 0, sizeof version);
    memset(manufacturer, 0, sizeof manufacturer);
    memset(modelId, 0, sizeof modelId);
}

Device::Device(int deviceId) : Device() { fromDeviceID(deviceId); }

Device::~Device() {}

void Device::fromDeviceID(int deviceId) {
    if (deviceId < 1) return;
    DEPOT* db = hastore::open(kDeviceStore);
    if (!db) return;

    char key[32];
    snprintf(key, sizeof key, "%d", deviceId);
    DeviceRecord rec;
    memset(&rec, 0, sizeof rec);
    if (hastore::get(db, key, &rec, sizeof rec) < 0) {
        hastore::close(db);
        throw deviceId;
    }

    valueList.clear();
    id = rec.id;
    copyText(name, sizeof name, rec.name, sizeof rec.name);
    copyText(location, sizeof location, rec.location, sizeof rec.location);
    ozwNode = rec.ozwNode;
    shortId = rec.shortId;
    copyText(eui64, sizeof eui64, rec.eui64, sizeof rec.eui64);
    technology = (DevTech)rec.technology;
    copyText(associationTime, sizeof associationTime, rec.associationTime, sizeof rec.associationTime);
    copyText(typeName, sizeof typeName, rec.typeName, sizeof rec.typeName);
    type = StrToDevType(typeName);
    copyText(friendlyType, sizeof friendlyType, rec.friendlyType, sizeof rec.friendlyType);
    allowNotification = rec.allowNotification != 0;
    valueCount = rec.valueCount;

    char text[33];
    readAttribute(db, deviceId, "LT", 10, "0", 10, text);
    lastActive = strtoll(text, nullptr, 10);
    readAttribute(db, deviceId, "MI", 20, "Unknown", 20, text);
    copyText(modelId, sizeof modelId, text);
    readAttribute(db, deviceId, "VS", 32, "Unknown", 10, text);
    copyText(version, sizeof version, text);
    readAttribute(db, deviceId, "MN", 32, "Unknown", 10, text);
    copyText(manufacturer, sizeof manufacturer, text);
    readAttribute(db, deviceId, "ST", 32, "0", 10, text);
    state = atoi(text);

    int last = valueCount < kMaxValueIndex ? valueCount : kMaxValueIndex;
    for (int i = 0; i <= last; ++i) {
        snprintf(key, sizeof key, "%d.%d", deviceId, i);
        ValueRecord v;
        memset(&v, 0, sizeof v);
        if (hastore::get(db, key, &v, sizeof v) >= 0) {
            // Stored texts may fill their field; keep them terminated in memory.
            v.name[sizeof v.name - 1] = '\0';
            v.value[sizeof v.value - 1] = '\0';
            valueList.push_back(v);
        } else {
            ValueRecord def = securityDeviceRecord();
            hastore::put(db, key, &def, sizeof def);
        }
    }
    hastore::close(db);
}

void Device::RefreshDevice() {
    if (getID() >= 1) fromDeviceID(getID());
}

int Device::getID() { return id; }
char* Device::getDeviceName() { return name; }
char* Device::getDeviceLocation() { return location; }
char* Device::getFriendlyDeviceType() { return friendlyType; }
char* Device::getZigBeeEUI64() { return eui64; }
char* Device::getVersion() { return version; }
char* Device::getModelid() { return modelId; }
DevType Device::getDeviceType() { return type; }
DevTech Device::getDeviceTechnology() { return technology; }
int Device::getOZWNode() { return ozwNode; }
int Device::getShortID() { return shortId; }
char* Device::getAssociationTimeStamp() { return id == 0 ? nullptr : associationTime; }
char* Device::getManufacturername() { return strlen(manufacturer) >= 2 ? manufacturer : kUnknown; }
int Device::getValueCount() { return valueCount; }
bool Device::getAllowNotificiation() { return allowNotification; }
void Device::setAllowNotification(bool allow) { allowNotification = allow; }
int Device::getdeviceState() { return state; }
void Device::setDeviceState(int s) { state = s; }
int Device::getSecurityDevice() { return securityDevice; }

const ValueRecord* Device::valueAt(int pos) const {
    if (pos < 0) return nullptr;
    int i = 0;
    for (const ValueRecord& v : valueList)
        if (i++ == pos) return &v;
    return nullptr;
}

const ValueRecord* Device::valueByIndex(int index) const {
    for (const ValueRecord& v : valueList)
        if (v.index == index) return &v;
    return nullptr;
}

const ValueRecord* Device::valueByName(const char* valueName) const {
    if (!valueName) return nullptr;
    for (const ValueRecord& v : valueList)
        if (strcmp(v.name, valueName) == 0) return &v;
    return nullptr;
}

static bool isStandardWarningDevice(const char* typeName) {
    return strcmp(typeName, "StandardWarningDevice") == 0;
}

char* Device::getValue(int index) {
    if (index == 1 && isStandardWarningDevice(typeName)) return kOne;
    if (id < 0 || valueList.empty()) return kErr;
    const ValueRecord* v = valueByIndex(index);
    return v ? const_cast<char*>(v->value) : kErr;
}

char* Device::getValue(char* valueName) {
    if (!valueName) return kErr;
    if (isStandardWarningDevice(typeName) && !valueList.empty() &&
        strcmp(valueList.front().name, valueName) == 0)
        return kOne;
    const ValueRecord* v = valueByName(valueName);
    return v ? const_cast<char*>(v->value) : kErr;
}

int Device::getIndexType(int index) {
    const ValueRecord* v = valueByIndex(index);
    return v ? v->indexType : -1;
}

char* Device::getValueName(int pos) {
    if (id < 0 || pos > valueCount) return kErr;
    const ValueRecord* v = valueAt(pos);
    return v ? const_cast<char*>(v->name) : kErr;
}

int Device::getCommandClassID(int pos) {
    if (id < 1 || technology != DEVTECH_ZWAVE || pos > valueCount) return -1;
    const ValueRecord* v = valueAt(pos);
    return v ? v->commandClass : -1;
}

int Device::getCommandIndex(int pos) {
    if (id < 1 || technology != DEVTECH_ZWAVE || pos > valueCount) return -1;
    const ValueRecord* v = valueAt(pos);
    return v ? v->commandIndex : -1;
}

int Device::getEndPoint(int pos) {
    if (id < 1 || pos > valueCount) return -1;
    const ValueRecord* v = valueAt(pos);
    return v ? v->endPoint : -1;
}

int Device::getEndPointValue(int pos) {
    if (technology != DEVTECH_ZIGBEE && technology != DEVTECH_ZWAVE) return -1;
    return getEndPoint(pos);
}

int Device::getIndexNoFromName(char* valueName, int endPoint, int flag) {
    if (id < 1 || !valueName) return 0;
    bool matchEndPoint = type == (DevType)43 || type == (DevType)5 || flag == 1;
    for (const ValueRecord& v : valueList) {
        if (strcmp(v.name, valueName) != 0) continue;
        if (matchEndPoint && v.endPoint != endPoint) continue;
        return v.index;
    }
    return 0;
}

int Device::getBatterLevel() {
    for (const ValueRecord& v : valueList)
        if (strcmp(v.name, "BATTERY") == 0 || strcmp(v.name, "LOW BATTERY") == 0) return atoi(v.value);
    return -1;
}

char* Device::getTamper() {
    const ValueRecord* v = valueByName("TAMPER");
    return v ? const_cast<char*>(v->value) : kErr;
}

// The Hue getters leave the device's type in the Hue packet buffer, where the
// next Hue command expects it.
static void setHuePacketType(DevType type) {
    std::lock_guard<std::recursive_mutex> guard(hue_lock);
    HUESendingPacket.devType = type;
}

char* Device::gethueid() {
    setHuePacketType(type);
    const ValueRecord* v = nullptr;
    if (technology == DEVTECH_HUE) {
        if (strcmp(typeName, "HueLamp") == 0)
            v = valueByIndex(1);
        else if (strcmp(typeName, "MultilevelSwitchOnOff") == 0)
            v = valueByIndex(3);
    } else if (technology == DEVTECH_NEST && (type == 57 || type == 58 || type == 66)) {
        v = valueByIndex(1);
    }
    return v ? const_cast<char*>(v->value) : kNoId;
}

int Device::getbulbid() {
    setHuePacketType(type);
    if (technology != DEVTECH_HUE) return 0;
    const ValueRecord* v = nullptr;
    if (strcmp(typeName, "HueLamp") == 0)
        v = valueByIndex(8);
    else if (strcmp(typeName, "MultilevelSwitchOnOff") == 0)
        v = valueByIndex(4);
    return v ? atoi(v->value) : 0;
}

char* Device::getusername() {
    setHuePacketType(type);
    if (technology != DEVTECH_HUE) return nullptr;
    const ValueRecord* v = nullptr;
    if (strcmp(typeName, "HueLamp") == 0)
        v = valueByIndex(9);
    else if (strcmp(typeName, "MultilevelSwitchOnOff") == 0)
        v = valueByIndex(5);
    return v ? const_cast<char*>(v->value) : nullptr;
}

long long Device::getLastActiveTime() {
    DEPOT* db = hastore::open(kDeviceStore);
    if (!db) return 0;
    char key[32], text[11];
    snprintf(key, sizeof key, "%d.LT", id);
    bool found = hastore::getText(db, key, text, 10);
    hastore::close(db);
    if (!found) return 0;
    lastActive = strtoll(text, nullptr, 10);
    return lastActive;
}

DeviceList::DeviceList() {}
DeviceList::~DeviceList() {}

void DeviceList::Populate() {
    devices.clear();
    int highest = 0;

    // Collect the device IDs first and close the store before loading each
    // device: a load writes defaults through its own handle, and writing
    // "NextDevid" through a handle opened before those writes would
    // overwrite them.
    std::vector<int> ids;
    DEPOT* db = hastore::open(kDeviceStore);
    if (!db) return;
    if (hastore::iterInit(db)) {
        std::string key;
        char probe[512];
        while (hastore::iterNext(db, key)) {
            if (hastore::get(db, key.c_str(), probe, sizeof probe) < 0) break;
            if (key == "NextDevid" || key == "Version" || key.find('.') != std::string::npos) continue;
            int deviceId;
            if (!isDeviceKey(key, &deviceId)) continue;
            ids.push_back(deviceId);
        }
    }
    hastore::close(db);

    for (int deviceId : ids) {
        if (deviceId > highest) highest = deviceId;
        try {
            devices.push_back(Device(deviceId));
        } catch (int) {
            // Removed since the iteration saw it.
        }
    }

    db = hastore::open(kDeviceStore);
    if (!db) return;
    char text[11];
    char next[16];
    if (!hastore::getText(db, "NextDevid", text, 10)) {
        snprintf(next, sizeof next, "%d", devices.empty() ? 1 : highest + 1);
        hastore::putText(db, "NextDevid", next, 10);
    } else if (atoi(text) <= highest) {
        snprintf(next, sizeof next, "%d", highest + 1);
        hastore::putText(db, "NextDevid", next, 10);
    }
    hastore::close(db);
}

void DeviceList::addDevice(int) {}
void DeviceList::PopulateByType(DevType) {}
void DeviceList::PopulateByScene(int) {}
void DeviceList::PopulateByGroup(int) {}

void getNestUrl(char* nestId, int which, char* out) {
    enum { kRecord = 1776, kIdAt = 8, kField1 = 274, kField2 = 774, kField3 = 1274 };
    FILE* f = fopen("/tmp/NJdata", "rb");
    if (!f) return;
    char rec[kRecord + 1];
    while (fread(rec, 1, kRecord, f) == kRecord) {
        rec[kRecord] = '\0';
        // Texts are bounded by the field that follows them.
        char idText[kField1 - kIdAt + 1];
        copyText(idText, sizeof idText, rec + kIdAt, kField1 - kIdAt);
        if (!nestId || strcmp(idText, nestId) != 0) continue;
        int at = which == 1 ? kField1 : which == 2 ? kField2 : which == 3 ? kField3 : 0;
        if (!at) {
            strcpy(out, "Unknown_request");
            continue;
        }
        int end = which == 3 ? kRecord : at + 500;
        copyText(out, end - at + 1, rec + at, end - at);
        printf("(%d)%s\n", which, out);
    }
    fclose(f);
}
