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
    std::string what;  // a copy: the library's buffers change with the next datagram
};

std::mutex lock;
std::condition_variable ready;
std::deque<Heard> queue;

void post(const std::string& what) {
    std::lock_guard<std::mutex> g(lock);
    queue.push_back({what});
    ready.notify_one();
}

// Both run on the receiver thread: no waiting, no RSC request, no initialiser.
void onDevice(Device* d) {
    post("device #" + std::to_string(d->getID()) + " " + d->getDeviceName() + ": [" +
         std::to_string(d->getLastNotificationIndex()) + "] = " + d->getLastNotificationIndexValue());
}

void onEvent(Event* e) {
    if (e->type == EV_HalvixUpdated)
        post("hub setting " + std::to_string(e->arg) + " = " + std::string(e->data, strnlen(e->data, sizeof e->data)));
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

    for (int handled = 0; handled < 3; ++handled) {
        std::unique_lock<std::mutex> g(lock);
        if (!ready.wait_for(g, std::chrono::seconds(10), [] { return !queue.empty(); })) {
            fprintf(stderr, "callbacks: only %d of 3 announcements heard\n", handled);
            return 1;
        }
        Heard h = queue.front();
        queue.pop_front();
        g.unlock();
        printf("heard %s\n", h.what.c_str());
    }
    return 0;
}
