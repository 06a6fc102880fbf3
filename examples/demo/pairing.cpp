// The demo's pairing stage: a new Z-Wave wall switch and a ZigBee motion
// sensor join the home through libpairing, every pairing event is printed,
// and the home's devices are listed afterwards.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>

#include "demo_util.h"
#include "hacore/Device.h"
#include "pairing/HalvixAssociation.h"

namespace {

std::mutex g_lock;
std::condition_variable g_cv;
int g_last;
int g_count;

const demo::CodeName kEvents[] = {{2, "timed out"},         {3, "device found"},           {5, "reading its details"},
                                  {6, "choose a sub-type"}, {7, "name and place it"},      {9, "pairing failed"},
                                  {11, "device removed"},   {12, "unknown device removed"}};
const char* eventName(int type) { return demo::nameOf(kEvents, type, "event"); }

// Runs on the pairing receiver thread.
void onPairing(AssocEvent* ev) {
    const AssocDevicePayload* p = reinterpret_cast<const AssocDevicePayload*>(ev->payload);
    printf("  pairing event %2d (%s) from %s", ev->type, eventName(ev->type),
           ev->server == 1   ? "ZigBee"
           : ev->server == 2 ? "Z-Wave"
                             : "-");
    if (ev->type == 6) {
        printf(": offered");
        for (int k = 0; k < 8 && p->u.subTypes[k]; ++k) {
            char n[kDevTypeTextSize];
            DevtypeEnumToStr((DevType)p->u.subTypes[k], n, sizeof n);
            printf(" %s", n);
        }
    } else if (ev->type == 7) {
        printf(": \"%s\" in \"%s\"", p->name, p->location);
    }
    printf("\n");
    fflush(stdout);
    std::lock_guard<std::mutex> g(g_lock);
    g_last = ev->type;
    ++g_count;
    g_cv.notify_all();
}

void expectNext() {
    std::lock_guard<std::mutex> g(g_lock);
    g_last = 0;
}

bool waitFor(int type) {
    std::unique_lock<std::mutex> g(g_lock);
    return g_cv.wait_for(g, std::chrono::seconds(10), [&] { return g_last == type; });
}

void script(const char* radio, const char* text) {
    std::ofstream(std::string("/sim/state/servers/") + radio + ".pairing") << text;
}

bool stored(const char* name) {
    for (int tries = 0; tries < 500; ++tries) {
        DeviceList list;
        list.Populate();
        for (Device& d : list.devices)
            if (strcmp(d.getDeviceName(), name) == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// The found device named and placed by the user: true once it is stored.
bool nameAndStore(HalvixAssociation* a, const char* name, const char* place) {
    char n[64], p[64];
    snprintf(n, sizeof n, "%s", name);
    snprintf(p, sizeof p, "%s", place);
    a->setDevName(n);
    a->setDevLocation(p);
    a->addingDone();
    return stored(name);
}

}  // namespace

// Returns 0 when both devices were paired and stored.
int demoPairing() {
    // What the radios will find: the conversations are data for the servers.
    script("zwave",
           "on add\n  wait 300\n  send node=21\n  wait 200\n  send node=21\n"
           "  wait 300\n  send node=21 basic=4 generic=0x10 specific=1 classes=0x25,0x86 values=0x25:0:1\n");
    script("zigbee", "");
    HalvixAssociation* a = HalvixAssociation::LCDAssocInit();
    a->registerAssocEventCB(onPairing);
    if (a->checkAssocConnection() != 0) {
        fprintf(stderr, "demo: the association port is taken\n");
        return 1;
    }
    int rc = 0;

    printf("Adding a device: press the wall switch's button...\n");
    expectNext();
    a->addDevZigbeeZwave();
    if (!waitFor(6)) return 1;
    printf("  -> the user picks BinarySwitch\n");
    expectNext();
    a->setDevType(BinarySwitch);
    if (!waitFor(7)) return 1;
    if (!nameAndStore(a, "Porch light", "Porch")) rc = 1;

    script("zwave", "on add\n  wait 3000\n  send node=22\n");  // the Z-Wave radio hears nothing in time
    script("zigbee",
           "on add\n  wait 300\n  send status=1 short=0x6a11\n  wait 200\n  send status=6 short=0x6a11\n"
           "  wait 300\n  send status=10 short=0x6a11 clusters=0x0500:1,0x0001:1 zone=13 manufacturer=Centralite "
           "model=3326-L\n");
    printf("\nAdding a device: the motion sensor's button...\n");
    expectNext();
    a->addDevZigbeeZwave();
    if (!waitFor(7)) return 1;
    if (!nameAndStore(a, "Hall motion 2", "Upstairs hall")) rc = 1;
    a->closeAssocConnection();
    return rc;
}
