#include "demo_util.h"

#include <chrono>
#include <cstdio>

#include "hacore/Device.h"

namespace demo {

void Notifications::heard(Device* d) {
    std::lock_guard<std::mutex> g(lock);
    printf("  notification: #%d %-18s [%d] %s = %s\n", d->getID(), d->getDeviceName(), d->getLastNotificationIndex(),
           d->getLastNotificationIndexName(), d->getLastNotificationIndexValue());
    fflush(stdout);
    ++n;
    changed.notify_all();
}

void Notifications::waitFor(int count) {
    std::unique_lock<std::mutex> g(lock);
    changed.wait_for(g, std::chrono::seconds(5), [&] { return n >= count; });
}

int Notifications::count() {
    std::lock_guard<std::mutex> g(lock);
    return n;
}

}  // namespace demo
