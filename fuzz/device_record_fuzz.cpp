// Device records as the HA server or the pairing tools may have left them in
// /tmp/ddb: the input is a flags byte, then a list of records (selector
// byte, 16-bit length, value) laid down as the values of a fresh Depot
// store, which Device(1) and DeviceList::Populate read back.
//
// Selector, low seven bits modulo 35: 0..15 the keys of device 1 ("1",
// "1.LT", "1.MI", "1.VS", "1.MN", "1.ST", "1.0".."1.9"), 16..31 the same of
// device 12, 32 "NextDevid", 33 "Version", 34 a key of the input's own (the
// value up to its first zero byte, the rest is the record). The high bit
// deletes the key instead, which leaves a dead record in the file. Flags
// bit 0 makes the store with 7 buckets instead of 1; bit 1 cuts the file
// short by 1 + (flags >> 2) * 13 bytes, as a copy cut off by a crash or a
// full flash would be: the readers repair it or delete it.
//
// The store path is fixed: the target runs inside a virtual router, whose
// /tmp is its own.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <depot.h>
}

#include "hacore/Device.h"

#include "fuzz_store.h"

namespace {

const char kStore[] = "/tmp/ddb";
// The loader's bound on the value slots it reads and writes.
constexpr int kMaxValueIndex = 1024;

std::string keyOf(uint8_t sel) {
    static const char* const kSuffixes[] = {"",   ".LT", ".MI", ".VS", ".MN", ".ST", ".0", ".1",
                                            ".2", ".3",  ".4",  ".5",  ".6",  ".7",  ".8", ".9"};
    int k = (sel & 0x7f) % 35;
    if (k < 32) return std::string(k < 16 ? "1" : "12") + kSuffixes[k % 16];
    return k == 32 ? "NextDevid" : "Version";
}

bool terminated(const char* s, size_t field) { return s && strnlen(s, field) < field; }

// Every slot from 0 to the (bounded) value count, once the first load has
// written the missing ones.
size_t slots(int valueCount) {
    if (valueCount < 0) return 0;
    return size_t(valueCount < kMaxValueIndex ? valueCount : kMaxValueIndex) + 1;
}

void checkDevice(Device& d) {
    CHECK(terminated(d.getDeviceName(), 180));
    CHECK(terminated(d.getDeviceLocation(), 180));
    CHECK(terminated(d.getZigBeeEUI64(), 25));
    CHECK(terminated(d.getFriendlyDeviceType(), 32));
    CHECK(terminated(d.getVersion(), 32));
    CHECK(terminated(d.getModelid(), 20));
    CHECK(terminated(d.getManufacturername(), 32));
    CHECK(strlen(d.getManufacturername()) >= 2);
    if (d.getID() != 0) CHECK(terminated(d.getAssociationTimeStamp(), 32));
    const int count = d.getValueCount();
    CHECK(d.values().size() <= slots(count));
    int looked = 0;
    for (const ValueRecord& v : d.values()) {
        // Every value is checked; lookups by name only for the first ones
        // (each walks the list).
        CHECK(terminated(v.name, sizeof v.name) && terminated(v.value, sizeof v.value));
        if (++looked > 32) continue;
        char name[sizeof v.name];
        memcpy(name, v.name, sizeof name);
        CHECK(terminated(d.getValue(name), 42));
        d.getIndexNoFromName(name, v.endPoint, 0);
        d.getIndexNoFromName(name, v.endPoint, 1);
        CHECK(terminated(d.getValue(v.index), 42));
        d.getIndexType(v.index);
    }
    const int last = count < 12 ? count : 12;
    for (int pos = -1; pos <= last + 1; ++pos) {
        CHECK(terminated(d.getValueName(pos), 30));
        d.getCommandClassID(pos);
        d.getCommandIndex(pos);
        d.getEndPointValue(pos);
        CHECK(terminated(d.getValue(pos), 42));
    }
    char none[] = "NO SUCH VALUE";
    CHECK(d.getIndexNoFromName(none, 0, 1) == 0);
    // The loader leaves the security-device flag alone.
    CHECK(d.getSecurityDevice() == 0);
    d.getOZWNode();
    d.getShortID();
    d.getAllowNotificiation();
    d.getdeviceState();
    d.getBatterLevel();
    CHECK(terminated(d.getTamper(), 42));
    CHECK(terminated(d.gethueid(), 42));
    d.getbulbid();
    char* user = d.getusername();
    if (user) CHECK(terminated(user, 42));
    d.getDeviceTechnology();
    d.getDeviceType();
    d.getLastActiveTime();
}

// Device 1 alone, as a notification or a command loads it.
void loadOne(bool cut) {
    std::unique_ptr<Device> loaded;
    try {
        loaded.reset(new Device(1));
    } catch (int thrown) {
        CHECK(thrown == 1);
        return;
    }
    Device& d = *loaded;
    checkDevice(d);
    if (d.getID() != 1) return;  // the record names another device
    // The first load wrote the missing slots; the second reads them all.
    try {
        d.RefreshDevice();
    } catch (int thrown) {
        CHECK(cut && thrown == 1);  // a repair may have lost the record
        return;
    }
    if (!cut) CHECK(d.values().size() == slots(d.getValueCount()));
    checkDevice(d);
}

bool deviceKey(const char* key, int size, long* id) {
    if (size < 1 || size > 10) return false;
    for (int i = 0; i < size; ++i)
        if (key[i] < '0' || key[i] > '9') return false;
    *id = strtol(std::string(key, size).c_str(), nullptr, 10);
    return *id >= 1 && *id <= 0x7fffffff;
}

// Every device key of the store, and "NextDevid" beyond them all.
void checkList(bool cut) {
    DeviceList list;
    list.Populate();
    for (Device& d : list.devices) checkDevice(d);

    // In a cut store the library's writes may fail (with a message) and
    // the iteration may end early.
    if (cut) return;
    DEPOT* db = dpopen(kStore, DP_OREADER | DP_ONOLCK, 1);
    CHECK(db);
    long highest = 0;
    size_t keys = 0;
    dpiterinit(db);
    int size;
    while (char* key = dpiternext(db, &size)) {
        long id;
        if (deviceKey(key, size, &id)) {
            ++keys;
            if (id > highest) highest = id;
        }
        free(key);
    }
    char next[11] = {0};
    int n = dpgetwb(db, "NextDevid", -1, 0, 10, next);
    dpclose(db);
    CHECK(list.devices.size() <= keys);
    CHECK(n >= 0);
    CHECK(atoi(next) > highest);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    requireVirtualRouter("device_record_fuzz", "writes /tmp/ddb");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    unlink(kStore);
    DEPOT* db = dpopen(kStore, DP_OWRITER | DP_OCREAT | DP_ONOLCK, (data[0] & 1) ? 7 : 1);
    CHECK(db);
    ChunkReader chunks(data, size, 1);
    for (Chunk c; chunks.next(c);) {
        std::string key = keyOf(c.sel);
        if ((c.sel & 0x7f) % 35 == 34 && !c.takeKey(key)) continue;
        applyChunk(db, key, c);
    }
    CHECK(dpclose(db));
    const bool cut = data[0] & 2;
    if (cut) {
        struct stat st;
        CHECK(stat(kStore, &st) == 0);
        const off_t by = 1 + (data[0] >> 2) * 13;
        CHECK(truncate(kStore, st.st_size > by ? st.st_size - by : 0) == 0);
    }

    loadOne(cut);
    checkList(cut);
    return 0;
}
