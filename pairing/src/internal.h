// Internals shared by the pairing sources.
#pragma once

#include <atomic>
#include <cstdio>
#include <pthread.h>
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

// Shared by the application's thread and the receiver threads:
// Receive timeout of the receiver thread, in seconds.
extern std::atomic<int> rxTimeout;
// Incremented by every successful connect: a receiver of an earlier
// connection ends instead of reading the new socket.
extern std::atomic<int> connectionGeneration;
// Receivers started and not yet ended, counted from before their thread
// starts, so that a close right after a connect waits for it too.
extern std::atomic<int> receiversRunning;
// Starts the receiver of the connection just made and returns once it runs
// with that connection's generation: a thread that started late would take
// a later connection for its own. False when the thread cannot be made
// (its error number in *err).
bool startReceiver(HalvixAssociation* a, pthread_t* thread, int* err);

}  // namespace pairing
