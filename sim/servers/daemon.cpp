// The cloud daemon of the virtual router on 127.255.254.0:8998.
//
// Records every datagram (daemon.dgrams) and every whole message, its
// pieces put together again (daemon.msgs: the command packet of 20 header
// bytes and its payload). Each whole message is answered with the files of
// /sim/state/servers/daemon-replies/ (each file one datagram, sent in name
// order and removed), or when there are none with an echo: the three
// arguments of the message and its payload (payloads over 1000 bytes are
// answered {"received":<length>}). /sim/state/servers/daemon-mode holding
// "silent" stops the echo.
#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <map>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "hub.h"
#include "netpeers.h"
#include "base/inet.h"

namespace hub {

namespace {

uint32_t be32(const std::string& s, size_t at) { return hbase::getBE32(s.data() + at); }
std::string word(uint32_t v) { return hbase::be32Bytes(v); }

std::vector<std::string> scriptedReplies() {
    std::string dir = std::string(kStateDir) + "/daemon-replies";
    std::vector<std::string> names, out;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
        std::string path = dir + "/" + n;
        if (access(path.c_str(), R_OK) != 0) continue;
        out.push_back(fileBytes(path));
        unlink(path.c_str());
    }
    return out;
}

}  // namespace

int runDaemon() {
    Socket sock = bindOrDie("127.255.254.0", 8998, "daemon");
    Socket msgs = sock;
    msgs.log = "daemon.msgs";
    ready("daemon");
    std::map<std::string, std::string> pending;  // by sender
    std::vector<char> buf(65536);
    for (;;) {
        sockaddr_in from;
        int n = receive(sock, buf.data(), buf.size(), &from);
        if (n < 0) continue;
        std::string key(reinterpret_cast<char*>(&from.sin_addr), 4);
        key += std::to_string(ntohs(from.sin_port));
        std::string& msg = pending[key];
        msg.append(buf.data(), n);
        if (msg.size() < 20) {  // too short for a header: recorded and dropped
            pending.erase(key);
            continue;
        }
        size_t whole = (size_t)be32(msg, 0) + 20;
        if (msg.size() < whole) continue;
        std::string message = msg;
        pending.erase(key);
        recordMessage(msgs, message, from);

        std::vector<std::string> replies = scriptedReplies();
        if (replies.empty() && control("daemon-mode") != "silent") {
            std::string payload = message.substr(20);
            if (payload.size() > 1000) payload = "{\"received\":" + std::to_string(payload.size()) + "}";
            replies.push_back(word((uint32_t)payload.size()) + message.substr(8, 12) + payload);
        }
        for (const std::string& r : replies)
            sendto(sock.fd, r.data(), r.size(), 0, reinterpret_cast<sockaddr*>(&from), sizeof from);
    }
}

}  // namespace hub
