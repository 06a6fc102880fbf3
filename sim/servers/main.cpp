// hub-server <name>: runs one of the hub's servers of the virtual router.
#include <cstdio>
#include <cstring>
#include <signal.h>

#include "hub.h"
#include "netpeers.h"

int main(int argc, char** argv) {
    static const struct {
        const char* name;
        int (*run)();
    } kServers[] = {{"ha", hub::runHA},         {"rsc", hub::runRSC},        {"zwave", hub::runZWave},
                    {"zigbee", hub::runZigbee}, {"hue", hub::runHue},        {"nest", hub::runNest},
                    {"pic", hub::runPic},       {"mesh", hub::runMesh},      {"daemon", hub::runDaemon},
                    {"http", hub::runHttp},     {"dns-raw", hub::runDnsRaw}, {"icmp", hub::runIcmp}};
    signal(SIGPIPE, SIG_IGN);
    setvbuf(stderr, nullptr, _IONBF, 0);
    for (const auto& s : kServers)
        if (argc == 2 && strcmp(argv[1], s.name) == 0) return s.run();
    fprintf(stderr, "usage: hub-server ha|rsc|zwave|zigbee|hue|nest|pic|mesh|daemon|http|dns-raw|icmp\n");
    return 2;
}
