// Internals shared by the pairing sources.
#pragma once

#include <cstdio>
#include <cstring>
#include <functional>

extern "C" {
#include <depot.h>
}

#include "hacore/records.h"
#include "pairing/HalvixAssociation.h"

namespace pairing {

// Fixed addresses.
constexpr const char* kAssocPort = "127.255.255.4:8888";
constexpr const char* kHAAssoc = "127.255.255.1:9999";
constexpr const char* kHA = "127.255.255.1:8888";
constexpr const char* kZwave = "127.255.255.254:8888";
constexpr const char* kZigbee = "127.255.255.253:8888";
constexpr const char* kHue = "127.255.255.252:8888";
constexpr const char* kNest = "127.255.255.251:8888";
constexpr const char* kWeb = "127.255.255.11:8888";

// Opens the device store for reading. On failure: "dpopen: %s\n", repair,
// open again in create mode; if that fails too the file is deleted and the
// result is null.
DEPOT* openStore();
// Closes a handle openStore gave (never null).
void closeStore(DEPOT* db);
// dpgetwb of a record (the key's size -1: its text length) that the HA
// server may have written since the handle opened.
int readRecord(DEPOT* db, const char* key, int ksize, void* buf, int cap);
// Calls f for every device record of the open store (keys "NextDevid",
// "Version" and every key with a dot are skipped); stops when a record
// cannot be read.
void forEachDevice(DEPOT* db, const std::function<void(const DeviceRecord&)>& f);

// Bounded copy that always terminates (dst holds N bytes); a null source
// copies as empty.
template <size_t N>
inline void copyText(char (&dst)[N], const char* src) {
    static_assert(N > 0, "room for the terminator");
    size_t n = 0;
    // memcpy never gets a null source, even for no bytes: that is undefined.
    if (src) {
        n = strnlen(src, N - 1);
        memcpy(dst, src, n);
    }
    dst[n] = '\0';
}

// Receive timeout of the receiver thread, in seconds.
extern int rxTimeout;

}  // namespace pairing
