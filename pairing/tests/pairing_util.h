// Helpers of the pairing tests: the events the client raised, scripts for
// the radio servers, and a clean client for each test.
#pragma once

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "pairing/HalvixAssociation.h"
#include "testkit.h"

namespace ptest {

// Every event raised since the last clear, copied on the receiver thread.
std::vector<AssocEvent> events();
void clearEvents();
// Waits until `count` events have been raised (generous limit: qemu and
// sanitizers are slow); returns what there is.
std::vector<AssocEvent> waitEvents(size_t count, int timeoutMs = 60000);
// lastStatus of the client as each recorded event was raised.
std::vector<int> statuses();
using testkit::waitUntil;
// ID of the stored device with that name (through the library's listing),
// 0 if none.
int storedNamed(const std::string& name);
// The callback that records events.
void recordEvent(AssocEvent* ev);

// Writes the pairing script of a radio server ("zwave", "zigbee", "hue", "nest").
void script(const std::string& radio, const std::string& text);

// Puts a stand-in nvram_get that answers `meshId` first on PATH (the test's
// own, in its private /tmp).
void fakeNvramGet(const std::string& meshId);

// Logger lines containing `part`.
std::vector<std::string> logged(const std::string& part);

const AssocDevicePayload& device(const AssocEvent& ev);
std::string json(const AssocEvent& ev);  // device payload text at 564
std::vector<int> subTypes(const AssocEvent& ev);

// A client connected to the association port with a recording callback,
// its state reset; closed at the end of the test.
class PairingTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Writes the scripts of both radios and starts an adding (a removal) on both.
    void startAdding(const std::string& zwave, const std::string& zigbee);
    void startRemoving(const std::string& zwave, const std::string& zigbee);
    HalvixAssociation* a = nullptr;
};

// Sends a datagram from `ip` (any port) to the association port.
bool answerFrom(const char* ip, const void* data, size_t len);
// A datagram from the HA server's address is only logged: once the log
// shows it, everything sent before it has been handled.
size_t markersRead();
void sendMarker();
bool markerRead(size_t before);  // another one logged since `before`
void marker();                   // sends one and waits until it is read

// Types of the events.
std::vector<int> types(const std::vector<AssocEvent>& evs);
// Waits for events of these types, each from `server` (any when -1); *evs
// gets what came.
::testing::AssertionResult gotEvents(std::vector<AssocEvent>* evs, const std::vector<int>& types, int server = -1);
// A timeout event: the progress it reports and its text for `command`.
void expectTimeout(const AssocEvent& ev, int lastStatus, const char* command);

// The first `count` (type, end point) entries of an index list.
std::vector<std::pair<int, int>> indexPairs(const uint8_t* list, int count);
// A typing test: the store's next device ID is NextId, the log is empty.
void freshTyping(int nextId);
template <int NextId>
class TypingTest : public ::testing::Test {
protected:
    void SetUp() override { freshTyping(NextId); }
};
// A naming event (7) from `server`, with the name and the location "Default".
void expectNaming(const AssocEvent& ev, int server, const char* name);

// A device record in /tmp/ddb.
void storeDevice(int id, const char* name, int tech, const char* type, int node, int shortId);

}  // namespace ptest
