#include "servers.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "testkit.h"

namespace testkit {

namespace {

std::string logPath(const std::string& server) { return "/sim/state/log/" + server + ".dgrams"; }

uint32_t u32(const std::string& s, size_t at) {
    uint32_t v;
    memcpy(&v, s.data() + at, 4);
    return v;
}

uint16_t u16(const std::string& s, size_t at) {
    uint16_t v;
    memcpy(&v, s.data() + at, 2);
    return v;
}

sockaddr_in addr(const std::string& ip, int port) {
    sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons((uint16_t)port);
    inet_aton(ip.c_str(), &a.sin_addr);
    return a;
}

int serverPid(const std::string& name) {
    std::string pid = readFile("/sim/state/servers/" + name + ".pid");
    return pid.empty() ? 0 : atoi(pid.c_str());
}

// Gone or a zombie waiting for its parent.
bool processGone(int pid) {
    if (kill(pid, 0) != 0) return true;
    std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    size_t paren = stat.rfind(')');
    return stat.empty() || (paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] == 'Z');
}

}  // namespace

std::vector<Datagram> datagrams(const std::string& server) {
    std::vector<Datagram> out;
    std::string log = readFile(logPath(server));
    size_t at = 0;
    while (at + 12 <= log.size()) {
        uint32_t len = u32(log, at);
        if (at + 12 + len > log.size()) break;  // being written
        Datagram d;
        in_addr a;
        memcpy(&a, log.data() + at + 4, 4);
        char text[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &a, text, sizeof text);
        d.from = text;
        d.fromPort = u16(log, at + 8);
        d.toPort = u16(log, at + 10);
        d.bytes = log.substr(at + 12, len);
        out.push_back(d);
        at += 12 + len;
    }
    return out;
}

std::vector<std::string> received(const std::string& server) {
    std::vector<std::string> out;
    for (Datagram& d : datagrams(server)) out.push_back(std::move(d.bytes));
    return out;
}

void clearReceived(const std::string& server) { writeFile(logPath(server), ""); }

std::vector<Datagram> waitDatagrams(const std::string& server, size_t count, int timeoutMs) {
    std::vector<Datagram> d;
    waitUntil(
        [&] {
            d = datagrams(server);
            return d.size() >= count;
        },
        timeoutMs);
    return d;
}

std::vector<std::string> waitReceived(const std::string& server, size_t count, int timeoutMs) {
    std::vector<std::string> out;
    for (Datagram& d : waitDatagrams(server, count, timeoutMs)) out.push_back(std::move(d.bytes));
    return out;
}

void setRscMode(const std::string& mode) {
    if (mode.empty())
        removeFile("/sim/state/servers/rsc-mode");
    else
        writeFile("/sim/state/servers/rsc-mode", mode);
}

bool stopServer(const std::string& name) {
    int pid = serverPid(name);
    if (pid <= 0) return false;
    kill(pid, SIGTERM);
    return waitUntil([&] { return processGone(pid); }, 30000);
}

bool startServer(const std::string& name) {
    std::string out = run("/sim/tools/router-services " + name + " 2>&1; echo rc=$?");
    return out.find("rc=0") != std::string::npos;
}

int32_t le32(const std::string& bytes, size_t offset) {
    if (offset + 4 > bytes.size()) return 0;
    return (int32_t)u32(bytes, offset);
}

std::string field(const std::string& bytes, size_t offset, size_t size) {
    if (offset >= bytes.size()) return "";
    std::string f = bytes.substr(offset, size);
    return f.substr(0, f.find('\0'));
}

bool zeros(const std::string& bytes, size_t offset, size_t size) {
    if (offset + size > bytes.size()) return false;
    for (size_t i = offset; i < offset + size; ++i)
        if (bytes[i] != '\0') return false;
    return true;
}

UdpPeer::UdpPeer(const std::string& ip, int port) {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = addr(ip, port);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ADD_FAILURE() << "cannot bind " << ip << ":" << port << ": " << strerror(errno);
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }
}

UdpPeer::~UdpPeer() {
    if (fd_ >= 0) close(fd_);
}

bool UdpPeer::sendTo(const std::string& ip, int port, const void* data, size_t len) {
    sockaddr_in a = addr(ip, port);
    return fd_ >= 0 && sendto(fd_, data, len, 0, reinterpret_cast<sockaddr*>(&a), sizeof a) == (ssize_t)len;
}

bool UdpPeer::receive(std::string* data, int timeoutMs, std::string* fromIp, int* fromPort) {
    if (fd_ < 0) return false;
    pollfd p{fd_, POLLIN, 0};
    int r;
    do {
        r = poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r <= 0) return false;
    char buf[65536];
    sockaddr_in from;
    socklen_t fl = sizeof from;
    ssize_t n = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fl);
    if (n < 0) return false;
    data->assign(buf, n);
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    if (fromIp) *fromIp = text;
    if (fromPort) *fromPort = ntohs(from.sin_port);
    return true;
}

}  // namespace testkit
