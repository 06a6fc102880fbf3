// RSC server: the single writer of the shared stores. Answers every request
// "true" unless /sim/state/servers/rsc-mode says "silent" (no answer) or
// "refuse" (answers "false").
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "hacore/packets.h"
#include "hub.h"

namespace hub {
namespace {

const char kFlashDir[] = "/data/rsc";

bool copyFile(const std::string& from, const std::string& to) {
    int in = open(from.c_str(), O_RDONLY);
    if (in < 0) return false;
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    bool ok = out >= 0;
    char buf[65536];
    ssize_t n;
    while (ok && (n = read(in, buf, sizeof buf)) > 0) ok = write(out, buf, n) == n;
    close(in);
    if (out >= 0) close(out);
    return ok;
}

// Only stores directly under /tmp are persisted or restored.
bool storeName(const RSC_PACKET& p, std::string* name) {
    std::string path(p.text, strnlen(p.text, sizeof p.text));
    if (path.compare(0, 5, "/tmp/") != 0) return false;
    *name = path.substr(5);
    return !name->empty() && name->find('/') == std::string::npos && *name != "." && *name != "..";
}

bool handle(const RSC_PACKET& p) {
    std::string name;
    switch (p.command) {
        case 52:  // persist a store to flash
            mkdir(kFlashDir, 0755);
            return storeName(p, &name) && copyFile("/tmp/" + name, std::string(kFlashDir) + "/" + name);
        case 54:  // restore a store from flash
            return storeName(p, &name) && copyFile(std::string(kFlashDir) + "/" + name, "/tmp/" + name);
        default:
            if (isAutomationRequest(p.command)) return applyAutomationRequest(p);
            return applyNetworkRequest(p);
    }
}

}  // namespace

int runRSC() {
    Socket sock = bindOrDie("127.255.255.6", 8888, "rsc");
    ready("rsc");
    static char buf[65536];
    for (;;) {
        sockaddr_in from;
        int n = receive(sock, buf, sizeof buf, &from);
        if (n < 0) continue;
        bool ok = handle(packetOf<RSC_PACKET>(buf, n));
        std::string mode = control("rsc-mode");
        if (mode == "silent") continue;
        const char* answer = ok && mode != "refuse" ? "true" : "false";
        sendto(sock.fd, answer, strlen(answer), 0, reinterpret_cast<sockaddr*>(&from), sizeof from);
    }
}

}  // namespace hub
