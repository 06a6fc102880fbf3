#include "net.h"

#include <arpa/inet.h>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "servers.h"
#include "testkit.h"

namespace testkit {

namespace {
std::string dotted(const std::string& ip, size_t at) {
    if (ip.size() < at + 4) return "";
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, ip.data() + at, text, sizeof text);
    return text;
}
}  // namespace

int WirePacket::protocol() const { return ip.size() > 9 ? (unsigned char)ip[9] : -1; }
std::string WirePacket::src() const { return dotted(ip, 12); }
std::string WirePacket::dst() const { return dotted(ip, 16); }
std::string WirePacket::payload() const {
    if (ip.empty()) return "";
    size_t hl = ((unsigned char)ip[0] & 0x0f) * 4;
    return hl < ip.size() ? ip.substr(hl) : "";
}

std::vector<WirePacket> wire() {
    std::vector<WirePacket> out;
    for (const std::string& d : received("wire")) {
        if (d.size() < 16) continue;
        WirePacket p;
        p.iface = field(d, 0, 16);
        p.ip = d.substr(16);
        out.push_back(p);
    }
    return out;
}

void clearWire() { clearReceived("wire"); }

bool syncWire() {
    static int serial;
    std::string marker = "sync-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to;
    memset(&to, 0, sizeof to);
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    inet_pton(AF_INET, "10.77.0.2", &to.sin_addr);
    sendto(fd, marker.data(), marker.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    close(fd);
    return waitUntil([&] {
        for (const WirePacket& p : wire())
            if (p.protocol() == 17 && p.payload().size() > 8 && p.payload().substr(8) == marker) return true;
        return false;
    });
}

std::vector<WirePacket> echoRequests(const std::string& dst) {
    syncWire();
    std::vector<WirePacket> out;
    for (const WirePacket& p : wire())
        if (p.protocol() == 1 && !p.payload().empty() && p.payload()[0] == 8 && (dst.empty() || p.dst() == dst))
            out.push_back(p);
    return out;
}

void setIcmpScript(const std::string& script) { writeFile("/sim/state/servers/icmp-script", script); }

void setDnsRawReply(const std::string& bytes) {
    if (bytes.empty())
        removeFile("/sim/state/servers/dns-raw-reply");
    else
        writeFile("/sim/state/servers/dns-raw-reply", bytes);
}

void addDaemonReply(const std::string& name, const std::string& bytes) {
    mkdir("/sim/state/servers/daemon-replies", 0755);
    // Written aside and renamed, so the daemon never sends half a file.
    std::string tmp = "/sim/state/servers/.daemon-" + name;
    writeFile(tmp, bytes);
    rename(tmp.c_str(), ("/sim/state/servers/daemon-replies/" + name).c_str());
}

void setDaemonMode(const std::string& mode) {
    if (mode.empty())
        removeFile("/sim/state/servers/daemon-mode");
    else
        writeFile("/sim/state/servers/daemon-mode", mode);
}

DnsMessage& DnsMessage::header(int id, int flags, int qd, int an, int ns, int ar) {
    return u16(id).u16(flags).u16(qd).u16(an).u16(ns).u16(ar);
}
DnsMessage& DnsMessage::name(const std::string& d) {
    size_t start = 0;
    while (start < d.size()) {
        size_t dot = d.find('.', start);
        if (dot == std::string::npos) dot = d.size();
        bytes += (char)(dot - start);
        bytes += d.substr(start, dot - start);
        start = dot + 1;
    }
    bytes += '\0';
    return *this;
}
DnsMessage& DnsMessage::pointer(int offset) { return u16(0xC000 | offset); }
DnsMessage& DnsMessage::u8(int v) {
    bytes += (char)v;
    return *this;
}
DnsMessage& DnsMessage::u16(int v) { return u8((v >> 8) & 0xff).u8(v & 0xff); }
DnsMessage& DnsMessage::u32(unsigned v) { return u16((v >> 16) & 0xffff).u16(v & 0xffff); }
DnsMessage& DnsMessage::raw(const std::string& b) {
    bytes += b;
    return *this;
}
DnsMessage& DnsMessage::record(int type, int rdlength) { return u16(type).u16(1).u32(60).u16(rdlength); }
DnsMessage& DnsMessage::a(const std::string& d) {
    record(1, 4);
    in_addr addr;
    inet_pton(AF_INET, d.c_str(), &addr);
    bytes.append(reinterpret_cast<char*>(&addr), 4);
    return *this;
}

}  // namespace testkit
