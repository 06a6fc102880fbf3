// Test helpers for the network peers of the virtual router (see
// docs/virtual-router.md): what left the interfaces, and the scripts of the
// ICMP peer, the raw DNS responder and the cloud daemon.
#pragma once
#include <string>
#include <vector>

namespace testkit {

// A packet seen leaving an interface of the sandbox.
struct WirePacket {
    std::string iface;
    std::string ip;  // the IP packet
    int protocol() const;
    std::string src() const;
    std::string dst() const;
    // The transport part after the IP header.
    std::string payload() const;
};

// Every packet recorded by the ICMP peer since the last clearWire().
std::vector<WirePacket> wire();
void clearWire();
// Waits until the ICMP peer has recorded everything that left before the
// call (it sends a marker out of sim0 and waits for it); false on time-out.
bool syncWire();
// Echo requests (ICMP type 8) that left for dst ("" for any), after syncWire().
std::vector<WirePacket> echoRequests(const std::string& dst = "");

// The ICMP peer's answers to echo requests for 10.77.0.2 and 10.88.0.2:
// one character per request, 'y' answers.
void setIcmpScript(const std::string& script);
// The bytes dns-raw answers every query with; empty: no answer.
void setDnsRawReply(const std::string& bytes);
// A datagram the daemon sends in answer to the next whole message (files
// are sent in name order).
void addDaemonReply(const std::string& name, const std::string& bytes);
// "silent" stops the daemon's echo; "" brings it back.
void setDaemonMode(const std::string& mode);

// A DNS message of our own making, for the raw responder.
struct DnsMessage {
    std::string bytes;
    // Header: id, flags, and the four counts.
    DnsMessage& header(int id, int flags, int qd, int an, int ns = 0, int ar = 0);
    DnsMessage& name(const std::string& dotted);  // label form with the zero
    DnsMessage& pointer(int offset);              // two bytes, 0xC000 | offset
    DnsMessage& u8(int v);
    DnsMessage& u16(int v);
    DnsMessage& u32(unsigned v);
    DnsMessage& raw(const std::string& b);
    // Type, class, time to live and data length of a record.
    DnsMessage& record(int type, int rdlength);
    // An A record's fixed part and address.
    DnsMessage& a(const std::string& dotted);
    size_t size() const { return bytes.size(); }
};

}  // namespace testkit
