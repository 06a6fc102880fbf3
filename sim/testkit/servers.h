// Test helpers for the hub's servers of the virtual router: what each server
// received, and switches that change how they behave.
//
// Server names: "ha" (127.255.255.1:8888), "ha-assoc" (its port 9999), "rsc",
// "zwave", "zigbee", "hue", "nest", "pic" and "mesh".
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testkit {

struct Datagram {
    std::string bytes;  // exactly as received
    std::string from;   // sender's dotted address
    int fromPort = 0;
    int toPort = 0;  // port of the server that received it
};

// Every datagram the server received since the last clearReceived, in order.
std::vector<Datagram> datagrams(const std::string& server);
// Just their bytes.
std::vector<std::string> received(const std::string& server);
// Forgets what the server received so far.
void clearReceived(const std::string& server);
// Waits until the server has received at least `count` datagrams, or the time
// runs out (generous: qemu and sanitizers are slow); returns what it has.
std::vector<std::string> waitReceived(const std::string& server, size_t count, int timeoutMs = 30000);
std::vector<Datagram> waitDatagrams(const std::string& server, size_t count, int timeoutMs = 30000);

// RSC server answers: "" (answer "true"), "silent" (no answer), "refuse"
// (answer "false").
void setRscMode(const std::string& mode);

// Stops a server and waits until it is gone; starts it again and waits until
// it listens. Both return false if that did not happen in time.
bool stopServer(const std::string& name);
bool startServer(const std::string& name);

// Little-endian 32-bit integer at `offset` of a datagram (0 if out of range).
int32_t le32(const std::string& bytes, size_t offset);
// Zero-terminated text of a field at `offset`, at most `size` bytes.
std::string field(const std::string& bytes, size_t offset, size_t size);
// True when bytes [offset, offset + size) are all zero.
bool zeros(const std::string& bytes, size_t offset, size_t size);

// A UDP endpoint of the test's own on a chosen loopback address, to play a
// peer (send as the HA server from 127.255.255.1, receive as a client).
class UdpPeer {
public:
    // port 0: any free port. Fails the test (and stays closed) if it cannot
    // bind.
    UdpPeer(const std::string& ip, int port);
    ~UdpPeer();
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;
    bool ok() const { return fd_ >= 0; }
    bool sendTo(const std::string& ip, int port, const void* data, size_t len);
    bool sendTo(const std::string& ip, int port, const std::string& data) {
        return sendTo(ip, port, data.data(), data.size());
    }
    // One datagram, or false after timeoutMs.
    bool receive(std::string* data, int timeoutMs = 30000, std::string* fromIp = nullptr, int* fromPort = nullptr);

private:
    int fd_ = -1;
};

}  // namespace testkit
