#include "testkit.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace testkit {

std::vector<std::string> logLines(const std::string& name) {
    std::vector<std::string> out;
    std::ifstream in("/sim/state/log/" + name);
    std::string line;
    while (std::getline(in, line)) out.push_back(line);
    return out;
}

void clearLog(const std::string& name) { writeFile("/sim/state/log/" + name, ""); }

void setFault(const std::string& name, bool on) {
    std::string path = "/sim/state/faults/" + name;
    if (on)
        writeFile(path, "1");
    else
        unlink(path.c_str());
}

void clearFaults() {
    DIR* d = opendir("/sim/state/faults");
    if (!d) return;
    std::vector<std::string> names;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') names.push_back(e->d_name);
    closedir(d);
    for (const std::string& n : names) setFault(n, false);
}

namespace {
// The C library's syslog makes a local socket for each line while no log
// daemon listens (the virtual router has none) and closes it when the
// connect fails: another thread's line must not count as a leak here.
bool syslogAttempt(int fd) {
    int domain = 0;
    socklen_t len = sizeof domain;
    if (getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &len) != 0 || domain != AF_UNIX) return false;
    sockaddr_un peer;
    socklen_t peerLen = sizeof peer;
    return getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLen) != 0 && errno == ENOTCONN;
}
}  // namespace

int openDescriptors() {
    DIR* d = opendir("/proc/self/fd");
    int n = 0;
    while (dirent* e = d ? readdir(d) : nullptr)
        if (!isdigit((unsigned char)e->d_name[0]) || !syslogAttempt(atoi(e->d_name))) ++n;
    if (d) closedir(d);
    return n;
}

Fault::Fault(std::string name) : name_(std::move(name)) { setFault(name_, true); }
Fault::~Fault() { off(); }
void Fault::off() {
    if (on_) setFault(name_, false);
    on_ = false;
}

bool waitUntil(const std::function<bool()>& cond, int timeoutMs) {
    struct timespec start, now;
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        if (cond()) return true;
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long waited = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
        if (waited >= timeoutMs) return cond();
        struct timespec ts = {0, 10000000L};
        nanosleep(&ts, nullptr);
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

bool fileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void removeFile(const std::string& path) { unlink(path.c_str()); }

static std::string capture(int target, FILE* stream, void (*fn)(void*), void* arg) {
    fflush(stream);
    char tmpl[] = "/tmp/.captureXXXXXX";
    int fd = mkstemp(tmpl);
    int saved = dup(target);
    dup2(fd, target);
    fn(arg);
    fflush(stream);
    dup2(saved, target);
    close(saved);
    close(fd);
    std::string s = readFile(tmpl);
    unlink(tmpl);
    return s;
}

std::string captureStderr(void (*fn)(void*), void* arg) { return capture(2, stderr, fn, arg); }
std::string captureStdout(void (*fn)(void*), void* arg) { return capture(1, stdout, fn, arg); }

void exitChild(int code) {
    fflush(stdout);
    fflush(stderr);
#ifdef HALVIX_COVERAGE_BUILD
    // Every library writes its own counts as it is unloaded, which only
    // exit() does (no sanitizer runs in this build).
    exit(code);
#else
    _exit(code);
#endif
}

void dropFileAccessOverride() {
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    syscall(SYS_capget, &header, data);
    data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    syscall(SYS_capset, &header, data);
}

std::string run(const std::string& cmd) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

}  // namespace testkit
