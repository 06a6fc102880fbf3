// An application of the router written against the installed SDK: lists the
// home's devices and switches a light, then waits for the HA server to
// confirm the change.
//
//   lights [ID]    switch device ID (default: the first wall switch)
#include <hacore/Device.h>
#include <hacore/HADevices.h>
#include <hacore/vocab.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::mutex lock;
std::condition_variable heard;
int changed = -1;

void onChange(Device* d) {
    std::lock_guard<std::mutex> g(lock);
    printf("notification: #%d %s [%d] = %s\n", d->getID(), d->getDeviceName(), d->getLastNotificationIndex(),
           d->getLastNotificationIndexValue());
    changed = d->getID();
    heard.notify_all();
}

}  // namespace

int main(int argc, char** argv) {
    DeviceList list;
    list.Populate();
    printf("%zu devices\n", list.devices.size());
    int light = 0;
    for (Device& d : list.devices) {
        char type[32];
        DevtypeEnumToStr(d.getDeviceType(), type);
        printf("#%-3d %-20s %-12s %s\n", d.getID(), d.getDeviceName(), d.getDeviceLocation(), type);
        if (!light && d.getDeviceType() == BinarySwitch) light = d.getID();
    }
    if (argc > 1) light = atoi(argv[1]);
    if (!light) {
        printf("no light to switch\n");
        return 0;
    }

    HADevices ha;
    if (!ha.initialize()) {
        fprintf(stderr, "lights: cannot reach the hub's servers\n");
        return 1;
    }
    ha.genericCallback(onChange);
    try {
        Device d(light);
        bool on = strcmp(d.getValue(1), "true") != 0;
        printf("switching %s %s\n", d.getDeviceName(), on ? "on" : "off");
        d.setSwitchOn(on, 1);
    } catch (int id) {
        // The library throws the ID of a device that is not in the store.
        fprintf(stderr, "lights: no device %d in the home\n", id);
        return 1;
    }
    std::unique_lock<std::mutex> g(lock);
    if (!heard.wait_for(g, std::chrono::seconds(10), [&] { return changed == light; })) {
        fprintf(stderr, "lights: the hub did not confirm the change\n");
        return 1;
    }
    return 0;
}
