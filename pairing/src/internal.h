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

// The first row of a table whose `key` is k, or null.
template <typename Row, size_t N, typename Key>
const Row* findRow(const Row (&rows)[N], const Key& k) {
    for (const Row& r : rows)
        if (r.key == k) return &r;
    return nullptr;
}

// The pairing state machine's numbers, with the values the application sees.

// assocState.
enum AssocStep : int {
    kStepNone = 0,
    kStepAdding = 1,       // inclusion started on both radios
    kStepRemoving = 2,     // exclusion started on both radios
    kStepReset = 3,        // answered with "Reset Success"
    kStepZwIncluded = 4,   // Z-Wave node included, its details awaited
    kStepZwDetails = 5,    // Z-Wave node details requested
    kStepZwRemoving = 6,   // Z-Wave removal under way
    kStepZbDescribed = 8,  // ZigBee device described, naming awaited
};

// Event types (AssocEvent::type); the ones marked * are also the lastStatus
// they leave.
enum EventKind : int {
    kEvNone = 0,
    kEvTimedOut = 2,
    kEvFound = 3,  // *
    kEvAlreadyStored = 4,
    kEvReadingDetails = 5,   // *
    kEvChooseSubType = 6,    // *
    kEvNameAndLocation = 7,  // *
    kEvFailed = 9,
    kEvRemoved = 11,
    kEvUnknownRemoved = 12,
    kEvHueBridges = 21,  // *
    kEvHueHubFound = 22,
    kEvHueHubFoundAgain = 23,
    kEvHueAdded = 25,
    kEvHueButtonNotPressed = 26,
    kEvHueBridgeNotFound = 27,
    kEvHueNoBridge = 28,
    kEvHueBulbFound = 29,
    kEvHueFailed = 30,
    // Nest answers, by the command they answer.
    kEvNest121 = 41,
    kEvNest123 = 42,
    kEvNest122 = 43,
    kEvNestAdd = 44,  // to the add (100), with the answer
    kEvNest124Done = 45,
    kEvNest124Failed = 46,
};

// Senders of answers (findClientType).
enum Sender : int { kFromNobody = 0, kFromZwave = 1, kFromZigbee = 2, kFromHA = 3, kFromHue = 4, kFromNest = 5 };

// Status byte of a ZigBee answer.
enum ZigbeeStatus : int {
    kZbFound = 1,
    kZbFailedOrRemoved = 2,  // failed while adding, removed while removing
    kZbKeepsState = 3,
    kZbReading = 6,
    kZbDescribed = 10,
    kZbFailed = 11,
    kZbUnknownRemoved = 12,
};

// Receive time-outs, in seconds.
constexpr int kIdleTimeout = 180;    // idle, and while details are read
constexpr int kFoundTimeout = 60;    // after a device was found
constexpr int kRemovalTimeout = 20;  // during a removal

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
