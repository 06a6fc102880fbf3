// The hub's servers of the virtual router: real UDP peers on their fixed
// loopback addresses. Each records every datagram it receives to
// /sim/state/log/<name>.dgrams (see sim/testkit/servers.h for the format).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <vector>

#include "hacore/HADevices.h"
#include "hacore/packets.h"
#include "hacore/records.h"
#include "base/depot_catchup.h"

namespace hub {

constexpr const char* kStateDir = "/sim/state/servers";

// Where the HA server takes value reports of the device servers: the device
// servers tell it what their devices now hold, it updates /tmp/ddb and
// notifies the clients (as the radio servers do on the router).
constexpr int kReportPort = 7777;
// Where each radio server (zwave, zigbee, hue, nest) hears its pairing
// button pressed: a datagram "button", answered "released" or "kept".
constexpr int kButtonPort = 7778;

struct Socket {
    int fd = -1;
    std::string log;  // datagram log name
    int port = 0;     // bound port
};

sockaddr_in address(const char* ip, int port);
// Zero-fills a text field and copies at most size - 1 characters into it.
void setField(char* dst, size_t size, const std::string& src);
// Binds a UDP socket to ip:port and gives it the log name; exits on failure.
Socket bindOrDie(const char* ip, int port, const std::string& log);

// Receives one datagram (at most 64 KiB) and records it to the socket's log
// unless the log name is empty. Returns the length, -1 on error.
int receive(const Socket& sock, void* buf, size_t cap, sockaddr_in* from);
// Appends one record to /sim/state/log/<sock.log>.dgrams in the format of
// the datagram logs (sim/testkit/servers.h).
void recordMessage(const Socket& sock, const void* data, size_t n, const sockaddr_in& from);
inline void recordMessage(const Socket& sock, const std::string& bytes, const sockaddr_in& from) {
    recordMessage(sock, bytes.data(), bytes.size(), from);
}
// A packet received as n bytes: cut to its size, zero-filled when shorter.
template <typename Packet>
Packet packetOf(const void* data, int n) {
    Packet p;
    memset(&p, 0, sizeof p);
    memcpy(&p, data, (size_t)n < sizeof p ? (size_t)n : sizeof p);
    return p;
}

// The whole content of a file; "" if missing.
std::string fileBytes(const std::string& path);

// Marks the server as listening: /sim/state/servers/<name>.ready.
void ready(const std::string& name);

// Text of a file under /sim/state/servers, without trailing blanks; "" if missing.
std::string control(const std::string& name);

// A notification record preceded by a word: the kind of message on the
// clients' wire (0), the verb of a value report to the HA server.
struct HAMessage {
    int32_t word;
    HAPacket p;
};
HAMessage haMessage(int word, int deviceId, int index, const std::string& value);

// Device servers: tell the HA server the new value of a device's index.
void report(int deviceId, int index, const std::string& value);
// Device servers: tell the HA server to rename or remove a device.
void reportName(int deviceId, const std::string& name);
void reportRemoval(int deviceId);

// The device store as the servers see it.
struct StoredDevice {
    DeviceRecord rec;
    std::string typeName() const;
};
bool loadDevice(int id, StoredDevice* out);
bool loadValue(int id, int index, ValueRecord* out);
// The text of a device attribute record "<id>.<suffix>" (cut at 32 bytes),
// "" when missing.
std::string loadAttribute(int id, const char* suffix);
// IDs of the stored devices for which f(device) is true, ascending.
std::vector<int> devicesImpl(bool (*f)(const StoredDevice&, void*), void* arg);
template <typename F>
std::vector<int> devicesWhere(F f) {
    return devicesImpl([](const StoredDevice& d, void* a) { return (*static_cast<F*>(a))(d); }, &f);
}
// The lowest such ID, or 0.
template <typename F>
int findDevice(F f) {
    std::vector<int> ids = devicesWhere(f);
    return ids.empty() ? 0 : ids.front();
}
// Index of the first value of the device for which f(value) is true, or -1.
int findValueImpl(int id, bool (*f)(const ValueRecord&, void*), void* arg);
template <typename F>
int findValue(int id, F f) {
    return findValueImpl(
        id, [](const ValueRecord& v, void* a) { return (*static_cast<F*>(a))(v); }, &f);
}

// The text of an RSC request, up to its first zero.
std::string rscText(const RSC_PACKET& p);
// The pieces of s between the separators (one piece when there is none).
std::vector<std::string> split(const std::string& s, const std::string& sep);

// HA server: applies a hub-settings event to nvram and the hub's files.
void applyHalvixSetting(const Event& e);
// RSC server: applies client, mesh and pro-database requests; false when
// the request is refused.
bool applyNetworkRequest(const RSC_PACKET& p);
// Pairing conversations (pairing.cpp). The radio servers wait through
// pairingWait (which sends the scripted answers that fall due) and pass
// every datagram to pairingRequest; the HA server passes association
// packets to pairingAssoc, which stores or removes a paired device and
// returns true when the packet was one.
// The radio servers also pass their button socket (or null), whose
// presses pairingWait answers.
void pairingWait(const Socket& sock, const Socket* button);
void pairingRequest(const Socket& sock, const std::string& radio, const void* data, int len, const sockaddr_in& from);
bool pairingAssoc(const void* data, int len);
// HA server: tells every client of an event.
void announceEvent(int type, int arg);
// HA server: stores a value of a device and notifies the clients; false
// (nothing sent) when the device or its value is not stored.
bool storeValue(int id, int index, const std::string& value);
// HA server: writes the attribute record "<id>.<suffix>", zero-padded to len.
bool storeAttribute(int id, const char* suffix, const std::string& text, int len);
// HA server: a device is unreachable while its state record "<id>.ST" is
// "1"; the radios' reports for it are then dropped.
bool unreachable(int id);
// HA server: the control socket of the virtual home (world.cpp): sim-device
// and the browser panel report through it what the home's devices do.
int worldListen();
void onWorld(int listenFd);
// RSC server: scene (3..11) and rule (1, 12..24) requests.
bool isAutomationRequest(int command);
bool applyAutomationRequest(const RSC_PACKET& p);

// Server main loops.
int runHA();
int runRSC();
int runZWave();
int runZigbee();
int runHue();
int runNest();
int runPic();
int runMesh();

}  // namespace hub
