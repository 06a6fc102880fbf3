#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

extern "C" {
#include <depot.h>
}

#include "hub.h"

namespace hub {

sockaddr_in address(const char* ip, int port) {
    sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons((uint16_t)port);
    inet_aton(ip, &a.sin_addr);
    return a;
}

void setField(char* dst, size_t size, const std::string& src) {
    memset(dst, 0, size);
    memcpy(dst, src.data(), src.size() < size ? src.size() : size - 1);
}

Socket bindOrDie(const char* ip, int port, const std::string& log) {
    Socket sock;
    sock.fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = address(ip, port);
    if (sock.fd < 0 || bind(sock.fd, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0) {
        fprintf(stderr, "hub-server: cannot bind %s:%d: %s\n", ip, port, strerror(errno));
        exit(1);
    }
    sock.log = log;
    sock.port = port;
    return sock;
}

// Record: u32 length, 4 bytes sender address (network order), u16 sender
// port, u16 receiving port, then the datagram. One write per record, so a
// reader never sees half a record.
void recordMessage(const Socket& sock, const void* data, size_t n, const sockaddr_in& from) {
    std::string rec(12 + n, '\0');
    uint32_t len = (uint32_t)n;
    uint16_t fromPort = ntohs(from.sin_port), toPort = (uint16_t)sock.port;
    memcpy(&rec[0], &len, 4);
    memcpy(&rec[4], &from.sin_addr, 4);
    memcpy(&rec[8], &fromPort, 2);
    memcpy(&rec[10], &toPort, 2);
    if (n) memcpy(&rec[12], data, n);
    std::string path = "/sim/state/log/" + sock.log + ".dgrams";
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0) return;
    if (write(fd, rec.data(), rec.size()) != (ssize_t)rec.size())
        fprintf(stderr, "hub-server: short write to %s\n", path.c_str());
    close(fd);
}

int receive(const Socket& sock, void* buf, size_t cap, sockaddr_in* from) {
    socklen_t len = sizeof *from;
    memset(from, 0, sizeof *from);
    int n;
    do {
        n = (int)recvfrom(sock.fd, buf, cap, 0, reinterpret_cast<sockaddr*>(from), &len);
    } while (n < 0 && errno == EINTR);
    if (n >= 0 && !sock.log.empty()) recordMessage(sock, buf, (size_t)n, *from);
    return n;
}

void ready(const std::string& name) {
    std::string path = std::string(kStateDir) + "/" + name + ".ready";
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) close(fd);
}

std::string control(const std::string& name) {
    std::string path = std::string(kStateDir) + "/" + name;
    FILE* f = fopen(path.c_str(), "r");
    if (!f) return "";
    char buf[256] = "";
    size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    std::string s(buf, n);
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\r')) s.pop_back();
    return s;
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

HAMessage haMessage(int word, int deviceId, int index, const std::string& value) {
    HAMessage msg;
    memset(&msg, 0, sizeof msg);
    msg.word = word;
    msg.p.deviceId = deviceId;
    msg.p.index = index;
    setField(msg.p.value, sizeof msg.p.value, value);
    return msg;
}

// Value reports travel as a notification record preceded by a verb.
static void sendReport(int verb, int deviceId, int index, const std::string& value) {
    HAMessage msg = haMessage(verb, deviceId, index, value);
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return;
    sockaddr_in ha = address("127.255.255.1", kReportPort);
    sendto(fd, &msg, sizeof msg, 0, reinterpret_cast<sockaddr*>(&ha), sizeof ha);
    close(fd);
}

void report(int deviceId, int index, const std::string& value) { sendReport(0, deviceId, index, value); }
void reportName(int deviceId, const std::string& name) { sendReport(1, deviceId, 0, name); }
void reportRemoval(int deviceId) { sendReport(2, deviceId, 0, ""); }

std::string rscText(const RSC_PACKET& p) { return std::string(p.text, strnlen(p.text, sizeof p.text)); }

std::vector<std::string> split(const std::string& s, const std::string& sep) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t at = s.find(sep, start);
        out.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return out;
        start = at + sep.size();
    }
}

std::string StoredDevice::typeName() const {
    return std::string(rec.typeName, strnlen(rec.typeName, sizeof rec.typeName));
}

// Readers take qdbm's shared lock, as the stand-ins' writers and the tests'
// take the exclusive one: a device server never reads a record half written.
static DEPOT* openStore() { return dpopen("/tmp/ddb", DP_OREADER, 1); }

static bool getRecord(DEPOT* db, const std::string& key, void* out, int size) {
    memset(out, 0, size);
    return dpgetwb(db, key.c_str(), (int)key.size(), 0, size, static_cast<char*>(out)) >= 0;
}

bool loadDevice(int id, StoredDevice* out) {
    DEPOT* db = openStore();
    if (!db) return false;
    bool ok = getRecord(db, std::to_string(id), &out->rec, sizeof out->rec);
    depotClose(db);
    return ok;
}

bool loadValue(int id, int index, ValueRecord* out) {
    DEPOT* db = openStore();
    if (!db) return false;
    bool ok = getRecord(db, std::to_string(id) + "." + std::to_string(index), out, sizeof *out);
    depotClose(db);
    return ok;
}

std::string loadAttribute(int id, const char* suffix) {
    DEPOT* db = openStore();
    if (!db) return "";
    char buf[33] = "";
    bool ok = getRecord(db, std::to_string(id) + "." + suffix, buf, 32);
    depotClose(db);
    return ok ? std::string(buf, strnlen(buf, 32)) : "";
}

std::vector<int> devicesImpl(bool (*f)(const StoredDevice&, void*), void* arg) {
    std::vector<int> ids;
    DEPOT* db = openStore();
    if (!db) return ids;
    dpiterinit(db);
    while (char* key = dpiternext(db, nullptr)) {
        std::string k = key;
        free(key);
        if (k.empty() || k.size() > 9 || k.find_first_not_of("0123456789") != std::string::npos) continue;
        StoredDevice d;
        if (getRecord(db, k, &d.rec, sizeof d.rec) && f(d, arg)) ids.push_back(atoi(k.c_str()));
    }
    depotClose(db);
    std::sort(ids.begin(), ids.end());
    return ids;
}

int findValueImpl(int id, bool (*f)(const ValueRecord&, void*), void* arg) {
    StoredDevice d;
    if (!loadDevice(id, &d)) return -1;
    for (int i = 0; i <= d.rec.valueCount && i < 1024; ++i) {
        ValueRecord v;
        if (loadValue(id, i, &v) && f(v, arg)) return i;
    }
    return -1;
}

}  // namespace hub
