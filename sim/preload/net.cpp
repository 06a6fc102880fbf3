// Fault switches for the sockets of the network probes:
//   socket-stream            socket(AF_INET, SOCK_STREAM, ...) fails (EMFILE)
//   setsockopt-tcp-nodelay   setsockopt(IPPROTO_TCP, TCP_NODELAY) fails (ENOPROTOOPT)
#include "sim.h"

#include <dlfcn.h>
#include <errno.h>
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

}  // extern "C"
