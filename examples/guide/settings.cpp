// Hub settings: reads the hub's own settings, then changes its time zone by
// location. A setter only asks the HA server, which applies the change and
// announces it with an EV_HalvixUpdated event; the getter shows it after.
#include <hacore/HADevices.h>
#include <hacore/Halvix.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

std::mutex lock;
std::condition_variable applied;
bool timeZoneChanged = false;

void onEvent(Event* e) {
    if (e->type != EV_HalvixUpdated || e->arg != HS_TimeZone) return;
    std::lock_guard<std::mutex> g(lock);
    timeZoneChanged = true;
    applied.notify_all();
}

}  // namespace

int main() {
    HADevices ha;
    if (!ha.initialize()) {
        fprintf(stderr, "settings: cannot reach the hub's servers\n");
        return 1;
    }
    ha.eventCallback(onEvent);

    Halvix hub;
    // Text getters write up to 179 characters: buffers of 180 bytes.
    char name[180] = "", language[180] = "", tz[180] = "", version[180] = "";
    hub.getHalvixName(name);        // a line of /halvix/name, line end included
    hub.getHalvixVersion(version);  // likewise, of the firmware's version file
    hub.getHalvixLanguage(language);
    hub.getHalvixTimeZone(tz);
    name[strcspn(name, "\r\n")] = '\0';
    version[strcspn(version, "\r\n")] = '\0';
    printf("name: %s, firmware: %s\n", name, version);
    printf("language: %s, time zone: %s\n", language, tz);
    printf("screen lock: %s after %d s\n", hub.isScreenLock() ? "on" : "off", hub.getScreenLockTime());

    char shortPassword[] = "abc";
    printf("password \"abc\": %s\n", hub.setWebAdminPassword(shortPassword) ? "sent" : "refused");

    char location[] = "Europe/Berlin";
    printf("%s is %s\n", location, hub.getZone(location));
    if (!hub.setHalvixTimeZoneByLocation(location)) {
        fprintf(stderr, "settings: unknown location %s\n", location);
        return 1;
    }
    std::unique_lock<std::mutex> g(lock);
    if (!applied.wait_for(g, std::chrono::seconds(10), [] { return timeZoneChanged; })) {
        fprintf(stderr, "settings: the HA server did not apply the time zone\n");
        return 1;
    }
    hub.getHalvixTimeZone(tz);
    printf("time zone now: %s\n", tz);
    return 0;
}
