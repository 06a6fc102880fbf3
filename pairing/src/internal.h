// Internals shared by the pairing sources.
#pragma once

#include <cstdio>
#include <cstring>
#include <functional>

extern "C" {
#include <depot.h>
}

#include "base/servers.h"
#include "base/text.h"
#include "hacore/records.h"
#include "pairing/HalvixAssociation.h"

namespace pairing {

namespace hub = hbase::hub;

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

// Receive timeout of the receiver thread, in seconds.
extern int rxTimeout;

}  // namespace pairing
