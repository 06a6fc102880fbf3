// The demo's hub settings stage: the hub's own settings as an application
// reads them, a time zone changed by location through the HA server, and
// the clients and mesh units of the LAN.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <unistd.h>

#include "hacore/Client.h"
#include "hacore/HADevices.h"
#include "hacore/Halvix.h"
#include "hacore/mesh.h"

namespace {

std::mutex g_lock;
std::condition_variable g_applied;
int g_timeZoneEvents;

void onSettingsEvent(Event* e) {
    if (e->type != EV_HalvixUpdated || e->arg != HS_TimeZone) return;
    std::lock_guard<std::mutex> g(g_lock);
    ++g_timeZoneEvents;
    g_applied.notify_all();
}

// The mesh reader reports every field it reads on standard output; the demo
// shows the result instead.
template <typename F>
void quietly(F f) {
    fflush(stdout);
    int saved = dup(1), null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    f();
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    close(null);
}

std::string line(const char* text) {
    std::string s = text;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

void printSettings(Halvix& h) {
    char name[180] = "", language[180] = "", tz[180] = "", location[180] = "", version[180] = "", announced[180] = "",
         mode[180] = "?", pri[30], sec[30], updateTime[180] = "", user[180] = "";
    h.getHalvixName(name);
    h.getHalvixLanguage(language);
    h.getHalvixTimeZone(tz);
    h.getHalvixLocation(location);
    h.getHalvixVersion(version);
    h.getNewFirmwareVersion(announced);
    h.getFWAutoUpdateTime(updateTime);
    h.getHalvixOperationMode(mode);
    h.getWebAdminUserName(user);
    h.getDNS(pri, sec);
    printf("name            %s\n", line(name).c_str());
    printf("language        %s\n", language);
    printf("time zone       %s (%s)\n", tz, location);
    printf("firmware        %s, announced %s, auto update %s at %s\n", line(version).c_str(), announced,
           h.isFWAutoUpdate() ? "on" : "off", updateTime);
    printf("screen lock     %s after %d s\n", h.isScreenLock() ? "on" : "off", h.getScreenLockTime());
    printf("web admin       %s, user %s\n", h.getWebAdminState() ? "on" : "off", user);
    printf("mode            %s, DNS %s %s, guest network %s\n", mode, pri, sec,
           h.isGuestNetworkEnabled() ? "on" : "off");
    std::unique_ptr<std::list<SlaveFWStatus>> units(h.getSlaveFWupdateStatus());
    for (const SlaveFWStatus& u : *units)
        printf("unit update     %-20s %s\n", u.name, u.status == 1 ? "passed" : u.status < 0 ? "failed" : "pending");
}

}  // namespace

bool demoSettings(HADevices& ha) {
    printf("\n== Hub settings ==\n");
    Halvix h;
    printSettings(h);

    printf("\n== Time zone by location ==\n");
    ha.eventCallback(onSettingsEvent);
    char location[] = "Europe/Berlin";
    printf("%s: %s\n", location, h.getZone(location));
    int before;
    {
        std::lock_guard<std::mutex> g(g_lock);
        before = g_timeZoneEvents;
    }
    bool ok = h.setHalvixTimeZoneByLocation(location);
    {
        std::unique_lock<std::mutex> g(g_lock);
        ok = g_applied.wait_for(g, std::chrono::seconds(5), [&] { return g_timeZoneEvents > before; }) && ok;
    }
    char tz[180] = "";
    h.getHalvixTimeZone(tz);
    printf("the HA server applied it: time zone now %s\n", tz);
    ok = ok && std::string(tz) == h.getZone(location);

    printf("\n== Clients ==\n");
    ClientsList clients;
    clients.populate();
    for (Client& c : clients.clients) {
        char type[33] = "";
        c.getType(type);
        printf("#%-2d %-18s %-12s %-9s %-15s %-17s %-10s %s%s\n", c.getClientID(), c.getName(), type,
               c.getConnectionType(), c.getIP(), c.getMac(), c.getVendor(), c.isActive() ? "active" : "away",
               c.isStaticIP() ? ", static" : "");
    }

    printf("\n== Mesh units ==\n");
    MeshSlaveList mesh;
    quietly([&] { mesh.Populate(); });
    for (Mesh& m : mesh.slaves)
        printf("%d %-17s %-12s %-13s %-12s %s, %d hop(s), %d clients\n", m.getSlavePosID(), m.getName(),
               m.getLocation(), m.getIpAddress(), m.getMeshMode(), m.getIsActive() ? "online" : "offline",
               m.getHopCount(), m.getSlaveClientCount());
    return ok && !clients.clients.empty() && !mesh.slaves.empty();
}
