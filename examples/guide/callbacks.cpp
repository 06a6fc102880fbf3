// Callbacks and threads: the library's receiver thread hands every device
// notification and system event to the callbacks, which copy what they need
// into a queue and return at once. The application's own thread does the
// work: here two threads send commands and a hub setting is changed, and the
// main thread reports what the hub announced.
#include <hacore/Device.h>
#include <hacore/HADevices.h>
#include <hacore/Halvix.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace {

struct Heard {
    int device;         // 0 for a hub setting
    int code;           // the value index, or the setting's code
    std::string value;  // a copy: the library's buffers change with the next datagram
};

std::mutex lock;
std::condition_variable ready;
std::deque<Heard> queue;

void post(const Heard& h) {
    std::lock_guard<std::mutex> g(lock);
    queue.push_back(h);
    ready.notify_one();
}

// Both run on the receiver thread: no waiting, no RSC request, no initialiser.
void onDevice(Device* d) { post({d->getID(), d->getLastNotificationIndex(), d->getLastNotificationIndexValue()}); }

void onEvent(Event* e) {
    if (e->type == EV_HalvixUpdated) post({0, e->arg, std::string(e->data, strnlen(e->data, sizeof e->data))});
}

}  // namespace

int main() {
    HADevices ha;
    if (!ha.initialize()) {
        fprintf(stderr, "callbacks: cannot reach the hub's servers\n");
        return 1;
    }
    ha.genericCallback(onDevice);
    ha.eventCallback(onEvent);

    // Commands from two threads at once: each thread has Device objects of
    // its own, and each command holds its server's packet buffer while it
    // fills and sends it.
    std::thread other([] {
        try {
            Device light(1);
            light.setSwitchOn(true, 1);
        } catch (int) {
        }
    });
    try {
        Device dimmer(2);
        dimmer.setSwitchLevel(25);
    } catch (int) {
    }
    other.join();
    Halvix hub;
    hub.setScreenLockTime(120);

    // Until the light, the dimmer and the setting have been announced.
    bool light = false, dimmer = false, setting = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(light && dimmer && setting)) {
        std::unique_lock<std::mutex> g(lock);
        if (!ready.wait_until(g, deadline, [] { return !queue.empty(); })) {
            fprintf(stderr, "callbacks: not everything was announced\n");
            return 1;
        }
        Heard h = queue.front();
        queue.pop_front();
        g.unlock();
        if (h.device)
            printf("heard device #%d: [%d] = %s\n", h.device, h.code, h.value.c_str());
        else
            printf("heard hub setting %d = %s\n", h.code, h.value.c_str());
        light = light || (h.device == 1 && h.code == 1 && h.value == "true");
        dimmer = dimmer || (h.device == 2 && h.code == 1 && h.value == "25");
        setting = setting || (h.device == 0 && h.code == HS_ScreenLockTime);
    }
    return 0;
}
