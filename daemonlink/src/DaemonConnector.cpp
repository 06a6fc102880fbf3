// The connector to the cloud daemon.
#include "daemonlink/DaemonConnector.h"
#include "base/inet.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

DaemonConnector* DaemonConnector::singleton = nullptr;

namespace {

// Local addresses of the client types 2..8.
const char* const kClientIPs[] = {"127.255.254.1", "127.255.254.2", "127.255.254.3", "127.255.254.4",
                                  "127.255.254.5", "127.255.254.6", "127.255.254.7"};

void putBE(char* at, int32_t v) { hbase::putBE32(at, (uint32_t)v); }
int32_t getBE(const char* at) { return (int32_t)hbase::getBE32(at); }

// The connectors whose receive threads still run (detached): one is not
// freed under its thread. Never destroyed, as threads may outlive exit.
struct Receivers {
    std::mutex lock;
    std::condition_variable left;
    std::multiset<const DaemonConnector*> running;
};
Receivers& receivers() {
    static Receivers* r = new Receivers;
    return *r;
}
thread_local const DaemonConnector* t_serving = nullptr;

}  // namespace

DaemonConnector* DaemonConnector::getInstance() {
    if (!singleton) singleton = new DaemonConnector();
    return singleton;
}

DaemonConnector::DaemonConnector() : clientType(0), dataCallback(nullptr), sock(0), receiverThread(), applicationID(0) {
    memset(&daemonAddr, 0, sizeof daemonAddr);
    memset(localIP, 0, sizeof localIP);
}

DaemonConnector::DaemonConnector(const DaemonConnector& other) : DaemonConnector() { sock = other.sock; }

// Waits (a while) for this connector's receive threads, woken by a
// shutdown of the socket if it is still open, so that none reads the
// object after it is freed. A copy has no thread of its own.
DaemonConnector::~DaemonConnector() {
    if (t_serving == this) {
        // Deleted from its own callback: the loop must not read the object
        // again, and nothing else closes the socket.
        t_serving = nullptr;
        const int fd = __atomic_exchange_n(&sock, 0, __ATOMIC_SEQ_CST);
        if (fd > 0) close(fd);
        return;
    }
    Receivers& r = receivers();
    std::unique_lock<std::mutex> g(r.lock);
    if (!r.running.count(this)) return;
    const int fd = __atomic_exchange_n(&sock, 0, __ATOMIC_SEQ_CST);
    if (fd > 0) shutdown(fd, SHUT_RDWR);
    r.left.wait_for(g, std::chrono::seconds(2), [&] { return !r.running.count(this); });
    if (fd > 0) close(fd);
}

void DaemonConnector::registerApplicationID(int id) {
    applicationID = id;
    printf("DC- Application ID set to %d -- %d\n", id, getpid());
}

char* DaemonConnector::getClientIP() {
    memset(localIP, 0, sizeof localIP);
    if (clientType >= 2 && clientType <= 8) snprintf(localIP, sizeof localIP, "%s", kClientIPs[clientType - 2]);
    return localIP;
}

int DaemonConnector::init() {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    __atomic_store_n(&sock, fd < 0 ? -1 : fd, __ATOMIC_SEQ_CST);
    if (fd < 0) return -1;
    int on = 1;
    if (setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0) {
        perror("listener: setsockopt");
        return -1;
    }
    pingIPinit();
    if (!*getClientIP()) {
        printf("DC- Unknown client is trying to access Cloud Daemon -- %d\n", getpid());
        return -1;
    }
    sockaddr_in local;
    memset(&local, 0, sizeof local);
    local.sin_family = AF_INET;
    local.sin_port = htons(DC_PORT);
    inet_pton(AF_INET, localIP, &local.sin_addr);
    if (bind(sock, reinterpret_cast<sockaddr*>(&local), sizeof local) < 0) {
        printf("DC- bind failed -- %d\n", getpid());
        perror("bind:");
        return -1;
    }
    memset(&daemonAddr, 0, sizeof daemonAddr);
    daemonAddr.sin_family = AF_INET;
    daemonAddr.sin_port = htons(DC_PORT);
    inet_pton(AF_INET, DC_DAEMON_IP, &daemonAddr.sin_addr);
    {
        std::lock_guard<std::mutex> g(receivers().lock);
        receivers().running.insert(this);
    }
    if (pthread_create(&receiverThread, nullptr, receiveDataHelper, this) != 0) {
        std::lock_guard<std::mutex> g(receivers().lock);
        receivers().running.erase(receivers().running.find(this));
        printf("DC- Failed to spawn a new thread. -- %d\n", getpid());
        return -1;
    }
    pthread_detach(receiverThread);
    return 0;
}

char* DaemonConnector::prepareCommandPacket(int kind, int a, int b, int c, char* payload) {
    size_t len = strlen(payload);
    char* packet = static_cast<char*>(calloc(1, sizeof(DaemonCommandHeader) + len + 1 + 9));
    if (!packet) {
        printf("DC- Out of memory -- %d\n", getpid());
        return nullptr;
    }
    putBE(packet + 0, (int32_t)len);
    putBE(packet + 4, kind);
    putBE(packet + 8, a);
    putBE(packet + 12, b);
    putBE(packet + 16, c);
    memcpy(packet + sizeof(DaemonCommandHeader), payload, len + 1);
    return packet;
}

void DaemonConnector::sendData(int a, int b, int c, char* payload) {
    if (!payload) {
        printf("DC- got JsonPayload as NULL -- %d\n", getpid());
        return;
    }
    char* packet = prepareCommandPacket(DC_KIND_DATA, a, b, c, payload);
    if (!packet) return;
    size_t size = strlen(payload) + sizeof(DaemonCommandHeader);
    const sockaddr* to = reinterpret_cast<const sockaddr*>(&daemonAddr);
    if (size < DC_MAX_DATAGRAM) {
        sendto(sock, packet, size, 0, to, sizeof daemonAddr);
    } else {
        char* piece = static_cast<char*>(malloc(DC_MAX_DATAGRAM));
        if (piece) {
            for (size_t at = 0; at < size; at += DC_MAX_DATAGRAM) {
                size_t n = size - at < DC_MAX_DATAGRAM ? size - at : DC_MAX_DATAGRAM;
                memset(piece, 0, DC_MAX_DATAGRAM);
                memcpy(piece, packet + at, n);
                sendto(sock, piece, n, 0, to, sizeof daemonAddr);
            }
            free(piece);
        }
    }
    free(packet);
}

void DaemonConnector::infoRequest(int a, int b, int c, char* payload) {
    if (!payload) return;
    char* packet = prepareCommandPacket(DC_KIND_INFO, a, b, c, payload);
    if (!packet) return;
    sendto(sock, packet, strlen(payload) + sizeof(DaemonCommandHeader), 0,
           reinterpret_cast<const sockaddr*>(&daemonAddr), sizeof daemonAddr);
    free(packet);
}

int DaemonConnector::receiveData() {
    // The socket this thread serves: closeConnection() and a later init()
    // change the member, and this thread must not go on to read another one.
    const int fd = __atomic_load_n(&sock, __ATOMIC_SEQ_CST);
    if (fd == -1) {
        printf("DC- Check if the call to establishConnection() succeeded. -- %d\n", getpid());
        return -1;
    }
    if (fd <= 0) return 0;  // closed before the thread came to read
    // One more byte than the largest datagram, for the terminating zero.
    char* buf = static_cast<char*>(malloc(DC_RECV_BUFFER + 1));
    if (!buf) return -1;
    const bool served = t_serving == this;
    for (;;) {
        ssize_t size = recv(fd, buf, DC_RECV_BUFFER, MSG_PEEK | MSG_TRUNC);
        if (size < 0 && errno == EINTR) continue;
        if (size < (ssize_t)sizeof(DaemonReplyHeader) || __atomic_load_n(&sock, __ATOMIC_SEQ_CST) != fd) break;
        ssize_t n;
        do {
            n = recv(fd, buf, DC_RECV_BUFFER, 0);
        } while (n < 0 && errno == EINTR);
        if (n < (ssize_t)sizeof(DaemonReplyHeader)) break;
        buf[n] = '\0';
        int first = getBE(buf + 4), second = getBE(buf + 8), third = getBE(buf + 12);
        if (dataCallback) dataCallback(first, second, third, buf + sizeof(DaemonReplyHeader));
        if (served && t_serving != this) break;  // the callback deleted it
    }
    free(buf);
    return 0;
}

void* DaemonConnector::receiveDataHelper(void* connector) {
    DaemonConnector* self = static_cast<DaemonConnector*>(connector);
    t_serving = self;
    self->receiveData();
    Receivers& r = receivers();
    std::lock_guard<std::mutex> g(r.lock);
    r.running.erase(r.running.find(self));
    r.left.notify_all();
    return nullptr;
}

void DaemonConnector::sockoptTestFun() {
    int on = 0;
    socklen_t len = sizeof on;
    if (getsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &on, &len) < 0) on = 0;
    printf("SO_REUSEADDR is %s\n", on ? "ON" : "OFF");
}

void DaemonConnector::closeConnection() {
    // The receive thread reads `sock`: it sees 0 before the descriptor goes.
    int fd = __atomic_load_n(&sock, __ATOMIC_SEQ_CST);
    if (fd > 0 && __atomic_compare_exchange_n(&sock, &fd, 0, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST)) {
        shutdown(fd, SHUT_RDWR);
        close(fd);
    }
    pingIPfini();
}

void stringEncode(char* s) {
    if (!s) return;
    // "&quot;" becomes a quote first.
    char* w = s;
    for (const char* r = s; *r;) {
        if (strncmp(r, "&quot;", 6) == 0) {
            *w++ = '"';
            r += 6;
        } else {
            *w++ = *r++;
        }
    }
    *w = '\0';
    char work[504];
    size_t n = 0;
    for (const char* r = s; *r; ++r) {
        bool escape = *r == '"' || *r == '\\' || *r == '/';
        if (n + (escape ? 2 : 1) > sizeof work - 1) break;
        if (escape) work[n++] = '\\';
        work[n++] = *r;
    }
    work[n] = '\0';
    memcpy(s, work, n + 1);
}

namespace {
// Replaces every two-character sequence `from` by the character `to`.
void collapse(char* s, const char* from, char to) {
    char* w = s;
    for (const char* r = s; *r;) {
        if (r[0] == from[0] && r[1] == from[1]) {
            *w++ = to;
            r += 2;
        } else {
            *w++ = *r++;
        }
    }
    *w = '\0';
}
}  // namespace

void stringDecode(char* s) {
    if (!s) return;
    collapse(s, "\\\\", '\\');
    collapse(s, "\\\"", '"');
    collapse(s, "\\/", '/');
}

void stringEncodeJSON(char* s) {
    if (!s) return;
    std::string out;
    out.reserve(strlen(s) + 100);
    for (const char* r = s; *r; ++r) {
        switch (*r) {
            case '\'':
                out += "&apos;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                if (strncmp(r, "&apos;", 6) == 0 || strncmp(r, "&amp;", 5) == 0 || strncmp(r, "&lt;", 4) == 0 ||
                    strncmp(r, "&gt;", 4) == 0)
                    out += '&';
                else
                    out += "&amp;";
                break;
            default:
                out += *r;
        }
    }
    memcpy(s, out.c_str(), out.size() + 1);
}
