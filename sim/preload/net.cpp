// Fault switches for the sockets of the network probes:
//   socket-stream            socket(AF_INET, SOCK_STREAM, ...) fails (EMFILE)
//   setsockopt-tcp-nodelay   setsockopt(IPPROTO_TCP, TCP_NODELAY) fails (ENOPROTOOPT)
//   sendto-<port>            sendto() to that IPv4 port fails (ENETUNREACH)
#include "sim.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

extern "C" {

int socket(int domain, int type, int protocol) {
    static auto real = reinterpret_cast<int (*)(int, int, int)>(dlsym(RTLD_NEXT, "socket"));
    if (domain == AF_INET && (type & 0xf) == SOCK_STREAM && sim_fault("socket-stream")) {
        errno = EMFILE;
        return -1;
    }
    return real(domain, type, protocol);
}

int setsockopt(int fd, int level, int name, const void* value, socklen_t len) {
    static auto real = reinterpret_cast<int (*)(int, int, int, const void*, socklen_t)>(dlsym(RTLD_NEXT, "setsockopt"));
    if (level == IPPROTO_TCP && name == TCP_NODELAY && sim_fault("setsockopt-tcp-nodelay")) {
        errno = ENOPROTOOPT;
        return -1;
    }
    return real(fd, level, name, value, len);
}

ssize_t sendto(int fd, const void* buf, size_t len, int flags, const struct sockaddr* to, socklen_t toLen) {
    static auto real = reinterpret_cast<ssize_t (*)(int, const void*, size_t, int, const struct sockaddr*, socklen_t)>(
        dlsym(RTLD_NEXT, "sendto"));
    if (to && toLen >= sizeof(sockaddr_in) && to->sa_family == AF_INET) {
        char name[32];
        snprintf(name, sizeof name, "sendto-%u", ntohs(reinterpret_cast<const sockaddr_in*>(to)->sin_port));
        if (sim_fault(name)) {
            errno = ENETUNREACH;
            return -1;
        }
    }
    return real(fd, buf, len, flags, to, toLen);
}

}  // extern "C"
