// The demo application: what an application of the router sees of the home
// through the libraries.
#include <cstdio>
#include <cstring>

#include "demo_util.h"
#include "hacore/Device.h"
#include "hacore/HADevices.h"
#include "hacore/vocab.h"

bool demoUpdateAndLogs();  // update.cpp
int demoScreen();          // screen.cpp

namespace {

const demo::CodeName kTechs[] = {{DEVTECH_ZIGBEE, "ZigBee"},
                                 {DEVTECH_ZWAVE, "Z-Wave"},
                                 {DEVTECH_HUE, "Hue"},
                                 {DEVTECH_NEST, "Nest"},
                                 {DEVTECH_HALVIX, "built-in"}};
const char* techName(DevTech t) { return demo::nameOf(kTechs, t, "none"); }

void listDevices() {
    DeviceList list;
    list.Populate();
    printf("%zu devices in the home\n\n", list.devices.size());
    for (Device& d : list.devices) {
        char type[32];
        DevtypeEnumToStr(d.getDeviceType(), type);
        printf("#%-3d %-20s %-12s %-22s %-8s %s %s\n", d.getID(), d.getDeviceName(), d.getDeviceLocation(), type,
               techName(d.getDeviceTechnology()), d.getManufacturername(), d.getModelid());
        for (const ValueRecord& v : d.values()) {
            char itype[32] = "", label[32] = "";
            IndexTypeEnumToStr((IndexType)v.indexType, itype, 0);
            IndexTypeEnumToStr((IndexType)v.indexType, label, 1);
            printf("       [%d] %-28s = %-18s (%s, %s)\n", v.index, v.name, d.getValue(v.index), itype, label);
        }
        if (d.getBatterLevel() >= 0) printf("       battery %d%%\n", d.getBatterLevel());
        if (d.getDeviceTechnology() == DEVTECH_HUE) printf("       bridge %s, bulb %d\n", d.gethueid(), d.getbulbid());
    }
}

demo::Notifications g_notifications;

// Runs on the library's receiver thread with the device as the store now
// holds it.
void onDeviceChanged(Device* d) { g_notifications.heard(d); }
void waitFor(int count) { g_notifications.waitFor(count); }

// True when the command was sent. A device that is not in the store (the
// library throws its ID) is reported and skipped.
bool command(const char* what, int id, void (*act)(Device&)) {
    try {
        Device d(id);
        printf("%s: %s (%s)\n", what, d.getDeviceName(), d.getDeviceLocation());
        fflush(stdout);
        act(d);
        return true;
    } catch (int missing) {
        printf("%s: no device %d in the home, skipped\n", what, missing);
        return false;
    }
}

}  // namespace

bool demoSettings(HADevices& ha);  // settings.cpp
int demoNetwork();
int demoPairing();
bool demoAutomation(HADevices& ha);  // automation.cpp
int demoTouchPanel();                // touchpanel.cpp
int demoFrontEnd();

int main(int argc, char** argv) {
    // The touch front end alone, live on the panel (./demo.sh --panel).
    if (argc > 1 && strcmp(argv[1], "--front-end") == 0) return demoFrontEnd();
    printf("== Devices ==\n");
    listDevices();

    printf("\n== Commands ==\n");
    HADevices ha;
    if (!ha.initialize()) {
        fprintf(stderr, "demo: cannot reach the hub's servers\n");
        return 1;
    }
    ha.genericCallback(onDeviceChanged);

    int expected = 0;
    if (command("switch on", 1, [](Device& d) { d.setSwitchOn(true, 1); })) waitFor(++expected);
    if (command("dim to 30%", 6, [](Device& d) { d.setSwitchLevel(30); })) waitFor(++expected);
    if (command("lock", 3, [](Device& d) { d.setDoorLock(255); })) waitFor(++expected);

    printf("\n== Pairing ==\n");
    int paired = demoPairing();
    printf("\n== The home now ==\n");
    listDevices();

    printf("\n== After the commands ==\n");
    for (int id : {1, 6, 3}) {
        try {
            Device d(id);
            printf("#%d %-18s %s\n", id, d.getDeviceName(), d.getValue(1));
        } catch (int) {
        }
    }
    if (!demoSettings(ha)) return 1;
    if (!demoUpdateAndLogs()) return 1;
    if (demoScreen() != 0) return 1;
    if (demoNetwork() != 0) return 1;
    if (!demoAutomation(ha)) return 1;
    if (demoTouchPanel() != 0) return 1;
    return g_notifications.count() >= expected && paired == 0 ? 0 : 1;
}
