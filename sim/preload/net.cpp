// Fault switches for sockets:
//   socket-stream            socket(AF_INET, SOCK_STREAM, ...) fails (EMFILE)
//   socket-dgram             socket(AF_INET, SOCK_DGRAM, ...) fails (EMFILE)
//   socket-raw               socket(AF_INET, SOCK_RAW, ...) fails (EPERM)
//   setsockopt-tcp-nodelay   setsockopt(IPPROTO_TCP, TCP_NODELAY) fails (ENOPROTOOPT)
//   setsockopt-<option>      setsockopt(SOL_SOCKET, SO_<OPTION>) fails (ENOPROTOOPT):
//                            reuseaddr, rcvtimeo, sndtimeo, bindtodevice, broadcast,
//                            priority
//   bind-<address>:<port>    bind() to that IPv4 address and port fails (EADDRINUSE)
//   sendto-<port>            sendto() to that IPv4 port fails (ENETUNREACH)
//   recvfrom-<port>          recvfrom() on a socket bound to that port fails (ECONNREFUSED)
#include "sim.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

const char* socketOption(int level, int name) {
    if (level == IPPROTO_TCP) return name == TCP_NODELAY ? "tcp-nodelay" : nullptr;
    if (level != SOL_SOCKET) return nullptr;
    switch (name) {
        case SO_REUSEADDR:
            return "reuseaddr";
        case SO_RCVTIMEO:
            return "rcvtimeo";
        case SO_SNDTIMEO:
            return "sndtimeo";
        case SO_BINDTODEVICE:
            return "bindtodevice";
        case SO_BROADCAST:
            return "broadcast";
        case SO_PRIORITY:
            return "priority";
        default:
            return nullptr;
    }
}

const sockaddr_in* ipv4(const sockaddr* a, socklen_t len) {
    return (a && len >= sizeof(sockaddr_in) && a->sa_family == AF_INET) ? reinterpret_cast<const sockaddr_in*>(a)
                                                                        : nullptr;
}

}  // namespace

extern "C" {

int socket(int domain, int type, int protocol) {
    static auto real = reinterpret_cast<int (*)(int, int, int)>(dlsym(RTLD_NEXT, "socket"));
    if (domain == AF_INET) {
        int kind = type & 0xf;
        if ((kind == SOCK_STREAM && sim_fault("socket-stream")) || (kind == SOCK_DGRAM && sim_fault("socket-dgram"))) {
            errno = EMFILE;
            return -1;
        }
        if (kind == SOCK_RAW && sim_fault("socket-raw")) {
            errno = EPERM;
            return -1;
        }
    }
    return real(domain, type, protocol);
}

int setsockopt(int fd, int level, int name, const void* value, socklen_t len) {
    static auto real = reinterpret_cast<int (*)(int, int, int, const void*, socklen_t)>(dlsym(RTLD_NEXT, "setsockopt"));
    if (const char* option = socketOption(level, name)) {
        char fault[48];
        snprintf(fault, sizeof fault, "setsockopt-%s", option);
        if (sim_fault(fault)) {
            errno = ENOPROTOOPT;
            return -1;
        }
    }
    return real(fd, level, name, value, len);
}

int bind(int fd, const struct sockaddr* a, socklen_t len) {
    static auto real = reinterpret_cast<int (*)(int, const struct sockaddr*, socklen_t)>(dlsym(RTLD_NEXT, "bind"));
    if (const sockaddr_in* in = ipv4(a, len)) {
        char fault[64], text[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
        snprintf(fault, sizeof fault, "bind-%s:%u", text, ntohs(in->sin_port));
        if (sim_fault(fault)) {
            errno = EADDRINUSE;
            return -1;
        }
    }
    return real(fd, a, len);
}

ssize_t sendto(int fd, const void* buf, size_t len, int flags, const struct sockaddr* to, socklen_t toLen) {
    static auto real = reinterpret_cast<ssize_t (*)(int, const void*, size_t, int, const struct sockaddr*, socklen_t)>(
        dlsym(RTLD_NEXT, "sendto"));
    if (const sockaddr_in* in = ipv4(to, toLen)) {
        char fault[32];
        snprintf(fault, sizeof fault, "sendto-%u", ntohs(in->sin_port));
        if (sim_fault(fault)) {
            errno = ENETUNREACH;
            return -1;
        }
    }
    return real(fd, buf, len, flags, to, toLen);
}

ssize_t recvfrom(int fd, void* buf, size_t len, int flags, struct sockaddr* from, socklen_t* fromLen) {
    static auto real = reinterpret_cast<ssize_t (*)(int, void*, size_t, int, struct sockaddr*, socklen_t*)>(
        dlsym(RTLD_NEXT, "recvfrom"));
    sockaddr_in own{};
    socklen_t ownLen = sizeof own;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&own), &ownLen) == 0 && own.sin_family == AF_INET) {
        char fault[32];
        snprintf(fault, sizeof fault, "recvfrom-%u", ntohs(own.sin_port));
        if (sim_fault(fault)) {
            errno = ECONNREFUSED;
            return -1;
        }
    }
    return real(fd, buf, len, flags, from, fromLen);
}

}  // extern "C"
