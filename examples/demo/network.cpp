// The demo's network stage: ping, resolve, the Internet check, and one
// exchange with the cloud daemon.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <unistd.h>

#include "daemonlink/DaemonConnector.h"
#include "demo_util.h"
#include "daemonlink/probes.h"

namespace {

const demo::CodeName kCheckResults[] = {{0, "passed"},
                                        {1, "no answer could be read"},
                                        {2, "the request could not be written"},
                                        {3, "the connection did not complete in time"},
                                        {4, "a socket option could not be set"},
                                        {5, "no socket"},
                                        {6, "host not resolved"},
                                        {9, "connection refused or failed at once"},
                                        {-1, "no such interface"}};
const char* checkResult(int code) { return demo::nameOf(kCheckResults, code, "?"); }

// The library prints its own progress; the demo keeps to its summary.
template <typename F>
auto quietly(F f) -> decltype(f()) {
    fflush(stdout);
    FILE* keep = fdopen(dup(fileno(stdout)), "w");
    FILE* null = freopen("/dev/null", "w", stdout);
    (void)null;
    auto r = f();
    fflush(stdout);
    dup2(fileno(keep), fileno(stdout));
    fclose(keep);
    return r;
}

void ping(const char* args) {
    bool up = quietly([&] { return pingIP(args); });
    printf("ping %-28s %s\n", args, up ? "answers" : "no answer");
}

void resolve(const char* name) {
    char out[1024] = {};
    unsigned char host[256];
    snprintf(reinterpret_cast<char*>(host), sizeof host, "%s", name);
    int ok = quietly([&] { return ngethostbyname(host, 1, out, 5, dns_servers[0]); });
    printf("resolve %-25s at %s: ", name, dns_servers[0]);
    if (!ok) {
        printf("no answer\n");
        return;
    }
    int n = (unsigned char)out[DNS_OUT_COUNT];
    if (n == 0) printf("no address");
    for (int i = 0; i < n; ++i) printf("%s%s", i ? ", " : "", out + i * DNS_OUT_SLOT);
    printf("\n");
}

void internet(const char* host, int timeout) {
    char h[128];
    snprintf(h, sizeof h, "%s", host);
    int code = quietly([&] { return checkInternet(h, timeout); });
    printf("Internet check via %-18s %d (%s)\n", host, code, checkResult(code));
}

std::mutex g_lock;
std::condition_variable g_cv;
std::string g_answer;

void onDaemon(int a, int b, int c, char* payload) {
    std::lock_guard<std::mutex> g(g_lock);
    char line[200];
    snprintf(line, sizeof line, "(%d, %d, %d) %.120s", a, b, c, payload);
    g_answer = line;
    g_cv.notify_all();
}

}  // namespace

int demoNetwork() {
    printf("\n== Network ==\n");
    ping("127.0.0.1");
    ping("echo.sim.test");
    ping("blackhole.sim.test");
    ping("127.0.0.1 -I nosuch0");

    get_dns_servers();
    resolve("firmware.halvix.net");
    resolve("support.halvix.net");
    resolve("alias.sim.test");
    resolve("nosuch.halvix.com");

    internet("www.halvix.com", 2);
    internet("closer.sim.test", 2);
    internet("silent.sim.test", 1);
    internet("unroutable.sim.test", 1);
    internet("nosuch.halvix.com", 1);

    printf("\n== Cloud daemon ==\n");
    DaemonConnector* dc = DaemonConnector::getInstance();
    dc->clientType = 2;
    dc->dataCallback = onDaemon;
    if (dc->init() != 0) {
        printf("cannot reach the cloud daemon\n");
        return 1;
    }
    printf("connected from %s\n", dc->localIP);
    char status[] = "{\"cmd\":\"status\",\"from\":\"demo\"}";
    dc->sendData(1, 2, 3, status);
    std::unique_lock<std::mutex> g(g_lock);
    g_cv.wait_for(g, std::chrono::seconds(5), [] { return !g_answer.empty(); });
    printf("daemon answered %s\n", g_answer.empty() ? "nothing" : g_answer.c_str());
    bool ok = !g_answer.empty();
    g.unlock();
    dc->closeConnection();
    return ok ? 0 : 1;
}
