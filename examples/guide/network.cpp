// Network probes and the daemon link: pings the first resolver, resolves a
// host with the library's own resolver, checks the Internet through a web
// host, and exchanges one message with the cloud daemon.
//
//   network [HOST]    the host of the Internet check (default www.halvix.com)
#include <daemonlink/DaemonConnector.h>
#include <daemonlink/probes.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>

namespace {

std::mutex lock;
std::condition_variable answered;
std::string answer;

// Runs on the connector's receive thread; the payload buffer is reused.
void onDaemon(int a, int b, int c, char* payload) {
    std::lock_guard<std::mutex> g(lock);
    answer = "(" + std::to_string(a) + ", " + std::to_string(b) + ", " + std::to_string(c) + ") " + payload;
    answered.notify_all();
}

}  // namespace

int main(int argc, char** argv) {
    get_dns_servers();  // the first two "nameserver" lines of /etc/resolv.conf
    std::string resolver = dns_servers[0];
    bool up = pingIP(resolver.c_str());
    printf("ping %s: %s\n", resolver.c_str(), up ? "answers" : "no answer");

    char out[1024] = {};                             // A records in 16-byte slots, their count at DNS_OUT_COUNT
    unsigned char host[64] = "firmware.halvix.net";  // room for the dot the resolver adds
    if (ngethostbyname(host, 1, out, 5, dns_servers[0])) {
        printf("firmware.halvix.net:");
        for (int i = 0; i < (unsigned char)out[DNS_OUT_COUNT]; ++i) printf(" %s", out + i * DNS_OUT_SLOT);
        printf("\n");
    } else {
        printf("firmware.halvix.net: no answer\n");
    }

    char web[128];
    snprintf(web, sizeof web, "%s", argc > 1 ? argv[1] : "www.halvix.com");
    int check = checkInternet(web, 3);
    printf("Internet check via %s: %d (%s)\n", web, check, check == 0 ? "passed" : "failed");

    DaemonConnector* daemon = DaemonConnector::getInstance();
    daemon->clientType = 2;
    daemon->dataCallback = onDaemon;
    if (daemon->init() != 0) {
        fprintf(stderr, "network: cannot reach the cloud daemon\n");
        return 1;
    }
    char status[] = "{\"cmd\":\"status\"}";
    daemon->sendData(1, 2, 3, status);
    std::unique_lock<std::mutex> g(lock);
    bool heard = answered.wait_for(g, std::chrono::seconds(10), [] { return !answer.empty(); });
    printf("daemon: %s\n", heard ? answer.c_str() : "no answer");
    g.unlock();
    daemon->closeConnection();
    return up && check == 0 && heard ? 0 : 1;
}
