// Pairing: adds a new Z-Wave or ZigBee device. The pairing client reports
// every step on its receiver thread; the callback queues a copy, and the
// main thread answers: it picks the device's type when asked, names and
// places it, and hands it to the HA server, which stores it.
#include <hacore/Device.h>
#include <pairing/HalvixAssociation.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace {

std::mutex lock;
std::condition_variable ready;
std::deque<AssocEvent> events;  // copies: the record lives only during the call

void onPairing(AssocEvent* ev) {
    std::lock_guard<std::mutex> g(lock);
    events.push_back(*ev);
    ready.notify_one();
}

bool next(AssocEvent& ev) {
    std::unique_lock<std::mutex> g(lock);
    // A device has three minutes to answer; the client reports a timeout
    // (event 2) itself.
    if (!ready.wait_for(g, std::chrono::seconds(200), [] { return !events.empty(); })) return false;
    ev = events.front();
    events.pop_front();
    return true;
}

// The HA server stores the device a moment after addingDone().
int storedId(const char* name) {
    for (int tries = 0; tries < 100; ++tries) {
        DeviceList home;
        home.Populate();
        for (Device& d : home.devices)
            if (strcmp(d.getDeviceName(), name) == 0) return d.getID();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

}  // namespace

int main() {
    HalvixAssociation* pairing = HalvixAssociation::LCDAssocInit();
    pairing->registerAssocEventCB(onPairing);
    if (pairing->checkAssocConnection() != 0) {
        fprintf(stderr, "pairing: another process is pairing\n");
        return 1;
    }
    printf("press the new device's button...\n");
    pairing->addDevZigbeeZwave();

    char name[] = "Porch light", place[] = "Porch";
    AssocEvent ev;
    int rc = 1;
    while (next(ev)) {
        const AssocDevicePayload* p = reinterpret_cast<const AssocDevicePayload*>(ev.payload);
        printf("event %d from %s\n", ev.type, ev.server == DEVTECH_ZWAVE ? "Z-Wave" : "ZigBee");
        if (ev.type == 6) {
            // The user picks one of the offered types (here a switch, if
            // offered); setDevType() raises event 7 at once, on this thread.
            DevType choice = (DevType)p->u.subTypes[0];
            char typeName[kDevTypeTextSize];
            printf("offered:");
            for (int k = 0; k < 306 && p->u.subTypes[k]; ++k) {
                DevtypeEnumToStr((DevType)p->u.subTypes[k], typeName, sizeof typeName);
                printf(" %s", typeName);
                if (p->u.subTypes[k] == BinarySwitch) choice = BinarySwitch;
            }
            DevtypeEnumToStr(choice, typeName, sizeof typeName);
            printf("\ntype chosen: %s\n", typeName);
            pairing->setDevType(choice);
        } else if (ev.type == 7) {
            pairing->setDevName(name);
            pairing->setDevLocation(place);
            int id = pairing->addingDone() == 0 ? storedId(name) : 0;
            if (id) printf("stored as device %d\n", id);
            rc = id ? 0 : 1;
            break;
        } else if (ev.type == 2 || ev.type == 4 || ev.type == 9) {
            printf("no device added\n");
            break;
        }
    }
    pairing->closeAssocConnection();
    return rc;
}
