// Devices and commands: lists the home's devices, shows one device's values,
// sets a value the way scenes and user interfaces do (Device::setValue) and
// waits for the HA server's notification of the change.
//
//   devices [ID INDEX VALUE]    default: the first dimmer, index 1, "60"
#include <hacore/Device.h>
#include <hacore/HADevices.h>
#include <hacore/vocab.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

std::mutex lock;
std::condition_variable heard;
bool notified = false;
int notifiedIndex = -1;
std::string notifiedValue;

// Runs on the library's receiver thread, with the device loaded afresh.
void onDevice(Device* d) {
    std::lock_guard<std::mutex> g(lock);
    notified = true;
    notifiedIndex = d->getLastNotificationIndex();
    notifiedValue = d->getLastNotificationIndexValue();
    heard.notify_all();
}

}  // namespace

int main(int argc, char** argv) {
    DeviceList home;
    home.Populate();
    int id = 0;
    for (Device& d : home.devices) {
        char type[kDevTypeTextSize];
        DevtypeEnumToStr(d.getDeviceType(), type, sizeof type);
        printf("#%-3d %-20s %-12s %s\n", d.getID(), d.getDeviceName(), d.getDeviceLocation(), type);
        if (!id && d.getDeviceType() == MultilevelSwitch) id = d.getID();
    }
    int index = 1;
    std::string value = "60";
    if (argc > 3) {
        id = atoi(argv[1]);
        index = atoi(argv[2]);
        value = argv[3];
    }

    HADevices ha;
    if (!ha.initialize()) {
        fprintf(stderr, "devices: cannot reach the hub's servers\n");
        return 1;
    }
    ha.deviceCallback(id, onDevice);
    try {
        Device d(id);
        printf("%s, %s %s:\n", d.getDeviceName(), d.getManufacturername(), d.getModelid());
        for (const ValueRecord& v : d.values()) printf("  [%d] %-28s %s\n", v.index, v.name, v.value);

        printf("setting [%d] to %s\n", index, value.c_str());
        d.setValue(index, &value[0]);
        {
            std::unique_lock<std::mutex> g(lock);
            if (!heard.wait_for(g, std::chrono::seconds(10), [] { return notified; })) {
                fprintf(stderr, "devices: the hub did not confirm the change\n");
                return 1;
            }
            printf("notified: [%d] = %s\n", notifiedIndex, notifiedValue.c_str());
        }
        d.RefreshDevice();  // the object is a snapshot: reload it to see the store
        printf("stored: [%d] = %s\n", index, d.getValue(index));
    } catch (int missing) {
        fprintf(stderr, "devices: no device %d in the home\n", missing);
        return 1;
    }
    return 0;
}
