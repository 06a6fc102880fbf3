// Directory walks of 32-bit builds (under qemu) see the host's 64-bit
// directory offsets.
#define _FILE_OFFSET_BITS 64
#include "https.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "testkit.h"

namespace testkit {
namespace {

const std::string kState = "/sim/state/https";

void makeParents(const std::string& path) {
    for (size_t i = 1; i < path.size(); ++i)
        if (path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
}

}  // namespace

void putFirmwareFile(const std::string& path, const std::string& data) {
    std::string full = kState + "/www/" + path;
    makeParents(full);
    writeFile(full, data);
}

void removeFirmwareFile(const std::string& path) { removeFile(kState + "/www/" + path); }

void setCertMode(const std::string& mode) { writeFile(kState + "/cert-mode", mode); }

void setSupportReply(int status, const std::string& text) {
    writeFile(kState + "/support-status", std::to_string(status));
    writeFile(kState + "/support-reply", text);
}

std::vector<std::vector<FormField>> uploads() {
    std::vector<int> numbers;
    if (DIR* d = opendir((kState + "/uploads").c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (!n.empty() && std::all_of(n.begin(), n.end(), ::isdigit)) numbers.push_back(std::stoi(n));
        }
        closedir(d);
    }
    std::sort(numbers.begin(), numbers.end());
    std::vector<std::vector<FormField>> out;
    for (int n : numbers) {
        std::string dir = kState + "/uploads/" + std::to_string(n);
        std::istringstream fields(readFile(dir + "/fields"));
        std::vector<FormField> form;
        std::string line;
        for (int i = 1; std::getline(fields, line); ++i) {
            FormField f;
            size_t a = line.find('\t'), b = line.find('\t', a + 1);
            f.name = line.substr(0, a);
            f.filename = line.substr(a + 1, b - a - 1);
            f.data = readFile(dir + "/" + std::to_string(i) + "." + f.name);
            form.push_back(f);
        }
        out.push_back(form);
    }
    return out;
}

void clearUploads() { run("rm -rf " + kState + "/uploads/*"); }

std::vector<std::string> httpsRequests() { return logLines("https"); }

bool waitForFile(const std::string& path, int timeoutMs) {
    return waitUntil([&] { return fileExists(path); }, timeoutMs);
}

std::string runArgv(const std::vector<std::string>& argv) {
    int fds[2];
    if (pipe(fds) != 0) return "";
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, n);
    close(fds[0]);
    int status;
    waitpid(pid, &status, 0);
    return out;
}

}  // namespace testkit
