#include "device_client.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace simdevice {
namespace {

// A socket address for `path`; one too long for sun_path is reached through
// its directory, opened here (*dirFd, to be closed after the connect).
bool addressOf(const std::string& path, sockaddr_un* a, int* dirFd) {
    memset(a, 0, sizeof *a);
    a->sun_family = AF_UNIX;
    std::string name = path;
    if (name.size() >= sizeof a->sun_path) {
        size_t slash = path.rfind('/');
        if (slash == std::string::npos) return false;
        *dirFd = open(path.substr(0, slash + 1).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (*dirFd < 0) return false;
        name = "/proc/self/fd/" + std::to_string(*dirFd) + path.substr(slash);
        if (name.size() >= sizeof a->sun_path) return false;
    }
    memcpy(a->sun_path, name.c_str(), name.size());
    return true;
}

}  // namespace

Answer ask(const std::string& path, const std::string& request, std::string* text) {
    text->clear();
    sockaddr_un a;
    int dir = -1;
    if (!addressOf(path, &a, &dir)) {
        *text = "cannot name the socket " + path;
        return Answer::Unreachable;
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *text = std::string("socket: ") + strerror(errno);
        if (dir >= 0) close(dir);
        return Answer::Unreachable;
    }
    int rc;
    do {
        rc = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    } while (rc < 0 && errno == EINTR);
    int err = errno;
    if (dir >= 0) close(dir);
    if (rc < 0) {
        close(fd);
        *text = "no HA server listens on " + path + " (" + strerror(err) + ")";
        return Answer::Unreachable;
    }
    timeval tv = {30, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    const std::string line = request + "\n";
    size_t sent = 0;
    while (sent < line.size()) {
        ssize_t n = send(fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(fd);
            *text = "the HA server took no request";
            return Answer::Unreachable;
        }
        sent += (size_t)n;
    }
    shutdown(fd, SHUT_WR);
    std::string answer;
    char buf[4096];
    for (;;) {
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        answer.append(buf, (size_t)n);
    }
    close(fd);
    size_t nl = answer.find('\n');
    const std::string status = answer.substr(0, nl);
    *text = nl == std::string::npos ? "" : answer.substr(nl + 1);
    if (status == "ok") return Answer::Ok;
    if (status == "refused") return Answer::Refused;
    *text = "the HA server gave no answer";
    return Answer::Unreachable;
}

}  // namespace simdevice
