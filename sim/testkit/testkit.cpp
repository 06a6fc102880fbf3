#include "testkit.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
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
