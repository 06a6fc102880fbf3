#include "hacore/Device.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "channel/channel_internal.h"
#include "hacore/packets.h"
#include "store/store_internal.h"
#include "base/text.h"

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
    hbase::copyText(r.name, sizeof r.name, "SECURITYDEVICE");
    hbase::copyText(r.value, sizeof r.value, "0");
    r.indexType = StrToIndexTypeEnum("SECURITYDEVICE");
    return r;
}

bool isDeviceKey(const std::string& key, int* id) {
    if (key.empty() || key.size() > 10) return false;
    for (char c : key)
        if (c < '0' || c > '9') return false;
    // long long: a 32-bit long saturates "2147483648" to a valid-looking ID.
    long long v = strtoll(key.c_str(), nullptr, 10);
    if (v < 1 || v > 0x7fffffff) return false;
    *id = (int)v;
    return true;
}

}  // namespace

// Where a load reads a device's records and writes the defaults it finds
// missing: the store itself, or a copy of the whole store read in one pass
// (DeviceList::Populate). Writes always go to the store.
class HACORE_INTERNAL DeviceRecords {
public:
    explicit DeviceRecords(DEPOT* db) : db_(db) {}
    virtual ~DeviceRecords() {}
    // Reads at most cap bytes of the record; the bytes read, or -1 if missing.
    virtual int get(const char* key, void* buf, int cap) {
        const int n = hastore::getFrom(near_, key, buf, cap);
        return n >= 0 ? n : hastore::get(db_, key, buf, cap);
    }
    virtual void put(const char* key, const void* value, int len) {
        near_ = hastore::Stretch();  // the stretch may no longer be what the file holds
        hastore::put(db_, key, value, len);
    }
    // The main record of a device, and the stretch of the file after it,
    // where its other records usually lie: one search of the store's tree
    // instead of one per record.
    virtual int getMain(const char* key, void* buf, int cap) {
        int at;
        const int n = hastore::get(db_, key, buf, cap, &at);
        if (n >= 0 && at >= 0) hastore::readStretch(db_, at, kStretch, near_);
        return n;
    }

    // A text sub-record under its cap, the default (zero-padded to its value
    // length) written back when missing.
    void attribute(int id, const char* suffix, int cap, const char* def, int defLen, char* out) {
        char key[32];
        snprintf(key, sizeof key, "%d.%s", id, suffix);
        const int n = get(key, out, cap);
        if (n >= 0) {
            out[n] = '\0';
            return;
        }
        char padded[32] = {0};
        hbase::copyText(padded, sizeof padded, def);
        put(key, padded, defLen);
        hbase::copyText(out, cap + 1, def);
    }

protected:
    // Main record, five attributes and a few dozen value records.
    static constexpr int kStretch = 8192;
    DEPOT* db_;
    hastore::Stretch near_;
};

namespace {

// A copy of the whole store, its records looked up in memory. Defaults
// written during the load are seen by later reads, as they would be in the
// store.
class StoreCopy : public DeviceRecords {
public:
    explicit StoreCopy(DEPOT* db) : DeviceRecords(db) {}

    bool read() {
        if (!hastore::readAll(db_, file_, records_)) return false;
        index_.reserve(records_.size());
        for (const hastore::RecordRef& r : records_)
            index_.emplace(std::string_view(file_.data() + r.keyAt, size_t(r.keySize)),
                           Value{file_.data() + r.valueAt, r.valueSize});
        return true;
    }
    const std::vector<hastore::RecordRef>& records() const { return records_; }
    std::string_view key(const hastore::RecordRef& r) const {
        return std::string_view(file_.data() + r.keyAt, size_t(r.keySize));
    }

    int getMain(const char* key, void* buf, int cap) override { return get(key, buf, cap); }
    int get(const char* key, void* buf, int cap) override {
        if (cap <= 0) return -1;
        auto w = written_.find(key);
        if (w != written_.end()) return copyOut(w->second.data(), int(w->second.size()), buf, cap);
        auto it = index_.find(std::string_view(key));
        if (it == index_.end()) return -1;
        return copyOut(it->second.at, it->second.size, buf, cap);
    }
    void put(const char* key, const void* value, int len) override {
        if (hastore::put(db_, key, value, len)) written_[key].assign(static_cast<const char*>(value), size_t(len));
    }

private:
    struct Value {
        const char* at;
        int size;
    };
    static int copyOut(const char* at, int size, void* buf, int cap) {
        const int n = size < cap ? size : cap;
        memcpy(buf, at, size_t(n));
        return n;
    }
    std::vector<char> file_;
    std::vector<hastore::RecordRef> records_;
    std::unordered_map<std::string_view, Value> index_;  // a store holds each key once
    std::map<std::string, std::string> written_;
};

}  // namespace

Device::Device()
    : id(0),
      ozwNode(0),
      shortId(0),
      technology(DEVTECH_NONE),
      type((DevType)0),
      allowNotification(false),
      valueCount(0),
      lastActive(0),
      state(0),
      securityDevice(0) {
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
    hastore::Store db = hastore::open(kDeviceStore);
    if (!db) return;
    DeviceRecords records(db);
    const bool found = load(records, deviceId);
    if (!found) throw deviceId;
}

bool Device::load(DeviceRecords& records, int deviceId) {
    char key[32];
    snprintf(key, sizeof key, "%d", deviceId);
    DeviceRecord rec;
    memset(&rec, 0, sizeof rec);
    if (records.getMain(key, &rec, sizeof rec) < 0) return false;

    valueList.clear();
    id = rec.id;
    hbase::copyText(name, sizeof name, rec.name, sizeof rec.name);
    hbase::copyText(location, sizeof location, rec.location, sizeof rec.location);
    ozwNode = rec.ozwNode;
    shortId = rec.shortId;
    hbase::copyText(eui64, sizeof eui64, rec.eui64, sizeof rec.eui64);
    technology = (DevTech)rec.technology;
    hbase::copyText(associationTime, sizeof associationTime, rec.associationTime, sizeof rec.associationTime);
    hbase::copyText(typeName, sizeof typeName, rec.typeName, sizeof rec.typeName);
    type = StrToDevType(typeName);
    hbase::copyText(friendlyType, sizeof friendlyType, rec.friendlyType, sizeof rec.friendlyType);
    allowNotification = rec.allowNotification != 0;
    valueCount = rec.valueCount;

    char text[33];
    records.attribute(deviceId, "LT", 10, "0", 10, text);
    lastActive = strtoll(text, nullptr, 10);
    records.attribute(deviceId, "MI", 20, "Unknown", 20, text);
    hbase::copyText(modelId, sizeof modelId, text);
    records.attribute(deviceId, "VS", 32, "Unknown", 10, text);
    hbase::copyText(version, sizeof version, text);
    records.attribute(deviceId, "MN", 32, "Unknown", 10, text);
    hbase::copyText(manufacturer, sizeof manufacturer, text);
    records.attribute(deviceId, "ST", 32, "0", 10, text);
    state = atoi(text);

    int last = valueCount < kMaxValueIndex ? valueCount : kMaxValueIndex;
    for (int i = 0; i <= last; ++i) {
        snprintf(key, sizeof key, "%d.%d", deviceId, i);
        ValueRecord v;
        memset(&v, 0, sizeof v);
        if (records.get(key, &v, sizeof v) >= 0) {
            // Stored texts may fill their field; keep them terminated in memory.
            v.name[sizeof v.name - 1] = '\0';
            v.value[sizeof v.value - 1] = '\0';
            valueList.push_back(v);
        } else {
            ValueRecord def = securityDeviceRecord();
            records.put(key, &def, sizeof def);
        }
    }
    return true;
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

static bool isStandardWarningDevice(const char* typeName) { return strcmp(typeName, "StandardWarningDevice") == 0; }

char* Device::getValue(int index) {
    if (index == 1 && isStandardWarningDevice(typeName)) return kOne;
    if (id < 0 || valueList.empty()) return kErr;
    const ValueRecord* v = valueByIndex(index);
    return v ? const_cast<char*>(v->value) : kErr;
}

char* Device::getValue(char* valueName) {
    if (!valueName) return kErr;
    if (isStandardWarningDevice(typeName) && !valueList.empty() && strcmp(valueList.front().name, valueName) == 0)
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
    std::lock_guard<std::mutex> guard(hue_lock);
    chan::huePacket.devType = type;
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
    hastore::Store db = hastore::open(kDeviceStore);
    if (!db) return 0;
    char key[32], text[11];
    snprintf(key, sizeof key, "%d.LT", id);
    bool found = hastore::getText(db, key, text, 10);
    if (!found) return 0;
    lastActive = strtoll(text, nullptr, 10);
    return lastActive;
}

DeviceList::DeviceList() {}
DeviceList::~DeviceList() {}

// One open of the store for the whole list. The store is read whole in one
// pass and each device is loaded from that copy, its missing defaults written
// through the same handle (which also raises "NextDevid" afterwards, so no
// handle writes over another's records). A store that cannot be read whole
// is gone through key by key, as a single device is loaded.
void DeviceList::Populate() {
    devices.clear();
    int highest = 0;
    hastore::Store db = hastore::open(kDeviceStore);
    if (!db) return;

    std::vector<int> ids;
    StoreCopy copy(db);
    const bool whole = copy.read();
    if (whole) {
        for (const hastore::RecordRef& r : copy.records()) {
            const std::string key(copy.key(r));
            int deviceId;
            if (key.find('.') == std::string::npos && isDeviceKey(key, &deviceId)) ids.push_back(deviceId);
        }
    } else if (hastore::iterInit(db)) {
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

    // An iteration that ran into a broken record (a torn append at the end of
    // the file) leaves the handle unusable: the devices it listed are read
    // through a fresh one.
    if (!whole && static_cast<DEPOT*>(db)->fatal) {
        hastore::close(db);
        db = hastore::open(kDeviceStore);
        if (!db) return;
    }
    DeviceRecords direct(db);
    DeviceRecords& records = whole ? static_cast<DeviceRecords&>(copy) : direct;
    for (int deviceId : ids) {
        if (deviceId > highest) highest = deviceId;
        Device d;
        if (d.load(records, deviceId)) devices.push_back(d);
    }

    char text[11];
    char next[16];
    if (!hastore::getText(db, "NextDevid", text, 10)) {
        snprintf(next, sizeof next, "%d", devices.empty() ? 1 : highest + 1);
        hastore::putText(db, "NextDevid", next, 10);
    } else if (atoi(text) <= highest) {
        snprintf(next, sizeof next, "%d", highest + 1);
        hastore::putText(db, "NextDevid", next, 10);
    }
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
        hbase::copyText(idText, sizeof idText, rec + kIdAt, kField1 - kIdAt);
        if (!nestId || strcmp(idText, nestId) != 0) continue;
        int at = which == 1 ? kField1 : which == 2 ? kField2 : which == 3 ? kField3 : 0;
        if (!at) {
            strcpy(out, "Unknown_request");
            continue;
        }
        int end = which == 3 ? kRecord : at + 500;
        hbase::copyText(out, end - at + 1, rec + at, end - at);
        printf("(%d)%s\n", which, out);
    }
    fclose(f);
}
