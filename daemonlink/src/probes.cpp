// ICMP echo probes, the resolver and the Internet check.
#include "daemonlink/probes.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "dns.h"
#include "base/clock.h"
#include "base/inet.h"

int pingSock = 0;
int timeLimit = 100000;
char dns_servers[2][50];
char rconf[100] = "/etc/resolv.conf";
int dns_fd = -1;
int sockfd = -1;
bool fallback = false;
bool use_ppp = false;

namespace {

constexpr uint16_t kEchoSequence = 12345;
constexpr const char* kFallbackDevice = "ppp0";
// Used when the resolver list cannot be read.
constexpr const char* kPublicResolvers[2] = {"8.8.8.8", "8.8.4.4"};
constexpr int kOutSize = 1024;
// Longest host name a query can carry, and the longest label.
constexpr size_t kMaxHost = 253;
constexpr size_t kMaxLabel = 63;

struct EchoRequest {
    uint8_t type;
    uint8_t code;
    uint16_t checksum;
    uint16_t id;  // native byte order, like the sequence
    uint16_t sequence;
    uint8_t data[56];
};
static_assert(sizeof(EchoRequest) == 64, "echo request is 64 bytes");

struct DnsHeader {
    uint16_t id;
    uint16_t flags;
    uint16_t questions;
    uint16_t answers;
    uint16_t authorities;
    uint16_t additionals;
};
static_assert(sizeof(DnsHeader) == 12, "DNS header is 12 bytes");

bool dotted(const char* s) {
    in_addr a;
    return inet_pton(AF_INET, s, &a) == 1;
}

// Waits until fd reports one of events or the deadline (of nowUs) passes;
// a signal resumes the wait with the time left. poll, not select: the
// descriptor may be above FD_SETSIZE. 1 with what fd reported in *revents,
// 0 on time-out, -1 on error (a closed descriptor is EBADF, as for select).
int waitFor(int fd, short events, long long deadline, short* revents) {
    for (;;) {
        long long left = deadline - hbase::nowUs();
        long long ms = left > 0 ? (left + 999) / 1000 : 0;
        pollfd p;
        p.fd = fd;
        p.events = events;
        p.revents = 0;
        int r = poll(&p, 1, ms > INT_MAX ? INT_MAX : (int)ms);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) {
            if (hbase::nowUs() < deadline) continue;
            return 0;
        }
        if (p.revents & POLLNVAL) {
            errno = EBADF;
            return -1;
        }
        *revents = p.revents;
        return 1;
    }
}

// A receive timeout of 0 would wait for ever.
timeval receiveTimeout(int seconds) {
    timeval tv;
    tv.tv_sec = seconds < 1 ? 1 : seconds;
    tv.tv_usec = 0;
    return tv;
}

// Resolves name (A record) at the first resolver, then the second, into out
// (kOutSize bytes). An answer without an address does not count: there is
// nothing to reach.
bool resolve(const char* name, int timeoutSec, char* out) {
    for (int i = 0; i < 2; ++i) {
        unsigned char host[kMaxHost + 2];
        if (strlen(name) > kMaxHost) return false;
        strcpy(reinterpret_cast<char*>(host), name);
        memset(out, 0, kOutSize);
        if (ngethostbyname(host, 1, out, timeoutSec, dns_servers[i]) && out[DNS_OUT_COUNT] > 0) return true;
    }
    return false;
}

// One echo probe: microseconds to the reply (at least 1), 0 on timeout, -1
// on failure.
long long probe(const char* dest, const char* iface) {
    sockaddr_in to;
    memset(&to, 0, sizeof to);
    to.sin_family = AF_INET;
    char out[kOutSize] = {};
    bool named = !dotted(dest);
    if (named) {
        get_dns_servers();
        if (!resolve(dest, 5, out)) {
            fprintf(stderr, "unknown host %s\n", dest);
            printf("ngethostbyname: failed\n");
            return -1;
        }
        printf("%s: dest_host : %s, ip %s...\n", "ping", dest, out);
    }

    if (!iface || !*iface) {
        char none[10] = {};
        if (setsockopt(pingSock, SOL_SOCKET, SO_BINDTODEVICE, none, sizeof none) < 0) {
            perror("listener: setsockopt - defIface :");
            return -1;
        }
    } else {
        // A longer name would be cut by the kernel and bind another device.
        int r = -1;
        if (strlen(iface) < IFNAMSIZ)
            r = setsockopt(pingSock, SOL_SOCKET, SO_BINDTODEVICE, iface, (socklen_t)strlen(iface) + 1);
        else
            errno = ENODEV;
        if (r < 0) {
            char what[64];
            snprintf(what, sizeof what, "set interface %s failed:setsockopt", iface);
            perror(what);
            return -1;
        }
    }

    EchoRequest req;
    memset(&req, 0, sizeof req);
    req.type = 8;
    uint16_t id = (uint16_t)(getpid() & 0xffff);
    req.id = id;
    req.sequence = kEchoSequence;
    req.checksum = hbase::inetChecksum(&req, sizeof req);

    long long sent = hbase::nowUs();
    if (!named) {
        inet_pton(AF_INET, dest, &to.sin_addr);
    } else {
        inet_pton(AF_INET, out, &to.sin_addr);
        hexdump(reinterpret_cast<unsigned char*>(&to), 16);
        char back[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &to.sin_addr, back, sizeof back);
        printf("dst_ip : %s, tmp_ip : %s\n", out, back);
    }
    if (sendto(pingSock, &req, sizeof req, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) return -1;

    // Ignored datagrams do not extend the wait.
    long long deadline = hbase::nowUs() + timeLimit;
    for (;;) {
        short revents = 0;
        int r = waitFor(pingSock, POLLIN, deadline, &revents);
        if (r < 0) {
            perror("select()");  // the text it has always printed
            return -1;
        }
        if (r == 0) return 0;
        unsigned char buf[192];
        sockaddr_in from;
        socklen_t fl = sizeof from;
        ssize_t n = recvfrom(pingSock, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fl);
        if (n < 0) {
            perror("recvfrom error");
            return -1;
        }
        if (n <= 27) return -1;
        int ipLen = (buf[0] & 0x0f) * 4;
        if (ipLen < 20 || n < ipLen + 8) continue;
        const unsigned char* icmp = buf + ipLen;
        uint16_t rid, rseq;
        memcpy(&rid, icmp + 4, 2);
        memcpy(&rseq, icmp + 6, 2);
        // Every probe has the same identifier and sequence: a reply left over
        // from an earlier probe, or one to another host, is only told apart
        // by its sender.
        if (icmp[0] != 0 || rseq != kEchoSequence || rid != id || from.sin_addr.s_addr != to.sin_addr.s_addr) continue;
        long long took = hbase::nowUs() - sent;
        return took > 0 ? took : 1;
    }
}

}  // namespace

int pingIPinit() {
    if (pingSock) pingIPfini();
    int s = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (s < 0) {
        perror("socket");
        pingSock = 0;
        return -1;
    }
    int on = 1;
    if (setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0) {
        perror("listener: setsockopt");
        close(s);
        pingSock = 0;
        return -1;
    }
    pingSock = s;
    return 0;
}

void pingIPfini() {
    if (pingSock) {
        shutdown(pingSock, SHUT_RDWR);
        close(pingSock);
        pingSock = 0;
    }
}

bool pingIP(const char* args) {
    if (pingSock == 0) pingIPinit();
    if (pingSock == 0) return false;

    char words[100];
    snprintf(words, sizeof words, "%s", args ? args : "");
    const char* dest = nullptr;
    const char* iface = "";
    char* save = nullptr;
    for (char* w = strtok_r(words, " \n", &save); w; w = strtok_r(nullptr, " \n", &save)) {
        if (!dest) {
            dest = w;
        } else if (strcmp(w, "-I") == 0) {
            char* next = strtok_r(nullptr, " \n", &save);
            iface = next ? next : "";
        }
    }
    if (!dest) return false;

    static const int kLimits[4] = {0, 200000, 300000, 400000};
    int answered = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) timeLimit = kLimits[i];
        if (probe(dest, iface) > 0) ++answered;
    }
    timeLimit = 1000000;
    if (answered >= 2) return true;
    return probe(dest, iface) > 0;
}

void get_dns_servers() {
    FILE* f = fopen(rconf, "r");
    if (!f) {
        snprintf(dns_servers[0], sizeof dns_servers[0], "%s", kPublicResolvers[0]);
        snprintf(dns_servers[1], sizeof dns_servers[1], "%s", kPublicResolvers[1]);
        return;
    }
    char line[200];
    int found = 0;
    while (found < 2 && fgets(line, sizeof line, f)) {
        if (line[0] == '#') continue;
        if (strncmp(line, "nameserver", 10) != 0) continue;
        char entry[sizeof dns_servers[0]];
        if (sscanf(line, "%*s %49[^\n]", entry) == 1) {
            memcpy(dns_servers[found], entry, sizeof entry);
            ++found;
        }
    }
    fclose(f);
}

void ChangetoDnsNameFormat(unsigned char* out, unsigned char* host) {
    char* h = reinterpret_cast<char*>(host);
    strcat(h, ".");
    size_t len = strlen(h);
    size_t lock = 0;
    for (size_t i = 0; i < len; ++i) {
        if (h[i] == '.') {
            *out++ = (unsigned char)(i - lock);
            for (; lock < i; ++lock) *out++ = host[lock];
            ++lock;
        }
    }
    *out = 0;
}

void ReadName(unsigned char* p, unsigned char* msg, int* count) {
    if (!count) return;
    if (!p || !msg || p < msg || p - msg >= 65536) {
        *count = 1;
        return;
    }
    int walked = 0;
    int n = dnsparse::nameLength(msg, 65536, (int)(p - msg), &walked);
    // A malformed name still steps a caller past the bytes it spans.
    *count = n > 0 ? n : (walked > 0 ? walked : 1);
}

int ngethostbyname(unsigned char* host, int qtype, char* out, int timeoutSec, char* server) {
    if (!server || !*server) return 0;
    in_addr to;
    if (!host || inet_pton(AF_INET, server, &to) != 1) return false;
    size_t hostLen = strlen(reinterpret_cast<char*>(host));
    if (hostLen > kMaxHost) return false;
    for (size_t i = 0, label = 0; i < hostLen; ++i) {
        label = host[i] == '.' ? 0 : label + 1;
        if (label > kMaxLabel) return false;
    }

    dns_fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (dns_fd < 0) {
        perror("socket");
        return false;
    }
    std::vector<unsigned char> query(sizeof(DnsHeader) + hostLen + 2 + 4);
    DnsHeader h;
    memset(&h, 0, sizeof h);
    h.id = htons((uint16_t)getpid());
    h.flags = htons(0x0100);
    h.questions = htons(1);
    memcpy(query.data(), &h, sizeof h);
    unsigned char* qname = query.data() + sizeof h;
    ChangetoDnsNameFormat(qname, host);
    int qnameLen = (int)strlen(reinterpret_cast<char*>(qname)) + 1;
    uint16_t qinfo[2] = {htons((uint16_t)qtype), htons(1)};
    memcpy(qname + qnameLen, qinfo, 4);
    size_t size = sizeof h + qnameLen + 4;

    // Unbound, the query would leave by the primary link.
    if (use_ppp &&
        setsockopt(dns_fd, SOL_SOCKET, SO_BINDTODEVICE, kFallbackDevice, (socklen_t)strlen(kFallbackDevice) + 1) < 0) {
        char what[64];
        snprintf(what, sizeof what, "set interface %s failed:setsockopt", kFallbackDevice);
        perror(what);
        close(dns_fd);
        return false;
    }
    timeval tv = receiveTimeout(timeoutSec);
    setsockopt(dns_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);

    sockaddr_in dest;
    memset(&dest, 0, sizeof dest);
    dest.sin_family = AF_INET;
    dest.sin_port = htons(53);
    dest.sin_addr = to;
    if (sendto(dns_fd, query.data(), size, 0, reinterpret_cast<sockaddr*>(&dest), sizeof dest) < 0) {
        perror("sendto failed");
        close(dns_fd);
        return false;
    }
    std::vector<unsigned char> answer(65536);
    socklen_t dl = sizeof dest;
    ssize_t n;
    do {
        n = recvfrom(dns_fd, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&dest), &dl);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        perror("recvfrom failed");
        close(dns_fd);
        return false;
    }
    dnsparse::parseAnswers(answer.data(), (int)n, qnameLen, out);
    close(dns_fd);
    return true;
}

int check_and_bind_iface(char* name) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) == -1) {
        perror("getifaddrs");
        list = nullptr;
    }
    bool found = false;
    bool bound = false;
    for (ifaddrs* ifa = list; ifa; ifa = ifa->ifa_next) {
        if (!ifa->ifa_addr || ifa->ifa_addr->sa_family != AF_INET) continue;
        char host[NI_MAXHOST];
        int s = getnameinfo(ifa->ifa_addr, sizeof(sockaddr_in), host, NI_MAXHOST, nullptr, 0, NI_NUMERICHOST);
        if (s != 0) {
            printf("getnameinfo() failed: %s\n", gai_strerror(s));
            exit(1);
        }
        if (name && strcmp(ifa->ifa_name, name) == 0) {
            printf("\tInterface : <%s>\n", ifa->ifa_name);
            printf("\t  Address : <%s>\n", host);
            found = true;
            // A socket binds once; a later address of the same interface
            // is only a fallback for one that could not be bound.
            if (!bound) {
                sockaddr_in a;
                memcpy(&a, ifa->ifa_addr, sizeof a);
                a.sin_port = 0;
                if (bind(sockfd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
                    bound = true;
                else
                    perror("bind");
            }
        }
    }
    if (list) freeifaddrs(list);
    if (bound) return 0;
    if (found) return -1;
    printf("No such %s Interface\n", name ? name : "");
    return -1;
}

namespace {
int endCheck(int code) {
    if (sockfd >= 0) close(sockfd);
    sockfd = -1;
    return code;
}
}  // namespace

int checkInternet(char* host, int timeoutSec, char* iface) {
    sockfd = -1;
    get_dns_servers();
    char out[kOutSize];
    if (!host || !resolve(host, timeoutSec, out)) return 6;

    sockfd = socket(AF_INET, SOCK_STREAM, 0);
    if (sockfd < 0) {
        sockfd = -1;
        return 5;
    }
    int flags = fcntl(sockfd, F_GETFL, 0);
    fcntl(sockfd, F_SETFL, flags | O_NONBLOCK);

    if (iface) {
        if (check_and_bind_iface(iface) != 0) return endCheck(-1);
    } else if (use_ppp) {
        // Unbound, the check would pass over the primary link.
        if (setsockopt(sockfd, SOL_SOCKET, SO_BINDTODEVICE, kFallbackDevice, (socklen_t)strlen(kFallbackDevice) + 1) <
            0)
            return endCheck(4);
    }

    int on = 1;
    timeval tv = receiveTimeout(timeoutSec);
    if (setsockopt(sockfd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0 ||
        setsockopt(sockfd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) < 0 ||
        setsockopt(sockfd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) < 0)
        return endCheck(4);

    sockaddr_in to;
    memset(&to, 0, sizeof to);
    to.sin_family = AF_INET;
    to.sin_port = htons(80);
    inet_pton(AF_INET, out, &to.sin_addr);
    if (connect(sockfd, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0 && errno != EINPROGRESS) return endCheck(9);

    short revents = 0;
    int ready = waitFor(sockfd, POLLOUT, hbase::nowUs() + (timeoutSec > 0 ? timeoutSec * 1000000LL : 0), &revents);
    // A connection that failed counts as writable, as it does for select;
    // the write then fails.
    if (ready != 1 || !(revents & (POLLOUT | POLLERR))) return endCheck(3);

    static const char kRequest[] = "GET /index.html HTTP/1.1\r\n\r\n";
    static_assert(sizeof kRequest == 29, "the request goes with its terminating zero");
    // MSG_NOSIGNAL: a peer that reset the connection must not kill the process.
    ssize_t written = send(sockfd, kRequest, sizeof kRequest, MSG_NOSIGNAL);
    if (written < 28) return endCheck(2);

    fcntl(sockfd, F_SETFL, flags & ~O_NONBLOCK);
    shutdown(sockfd, SHUT_WR);
    char reply[500];
    ssize_t n;
    do {
        n = read(sockfd, reply, sizeof reply);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return endCheck(1);
    return endCheck(0);
}

int checkInternet(char* host, int timeoutSec) { return checkInternet(host, timeoutSec, nullptr); }

int change2FallBack() {
    if (!fallback) {
        fallback = true;
        use_ppp = true;
    }
    return 1;
}

void change2Primary() {
    if (fallback) {
        fallback = false;
        use_ppp = false;
    }
}

void hexdump(unsigned char* p, int len) {
    if (!p || len <= 0) return;
    printf("Addr: %p, len: %d\n", static_cast<void*>(p), len);
    for (int i = 0; i < len; ++i) {
        if (i % 16 == 0) printf("\n%04d : ", i);
        printf("%d ", p[i]);
    }
    printf("=========================\n");
}
