// Scenes: lists the home's scenes, makes a new one through the RSC server,
// reads it back from the store and activates it, which commands its devices.
#include <hacore/Device.h>
#include <hacore/HADevices.h>
#include <hacore/Scene.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace {

std::mutex lock;
std::condition_variable heard;
int notifications = 0;

void onDevice(Device* d) {
    std::lock_guard<std::mutex> g(lock);
    printf("  notified: %s [%d] = %s\n", d->getDeviceName(), d->getLastNotificationIndex(),
           d->getLastNotificationIndexValue());
    ++notifications;
    heard.notify_all();
}

void show(Scene& s) {
    printf("scene %d \"%s\"%s\n", s.getID(), s.getSceneName(), s.getState() ? ", active" : "");
    for (const SceneEntry& e : s.getSceneEntries())
        printf("  device %d [%d] -> %s%s\n", e.deviceID, e.index, e.value, e.valid ? "" : " (skipped)");
}

}  // namespace

int main() {
    HADevices ha;
    if (!ha.initialize()) {
        fprintf(stderr, "scenes: cannot reach the hub's servers\n");
        return 1;
    }
    ha.genericCallback(onDevice);

    ScenesList all;
    try {
        all.Populate();
    } catch (int broken) {
        fprintf(stderr, "scenes: a scene cannot be read (%d)\n", broken);
        return 1;
    }
    for (Scene& s : all.scenes) show(s);

    // Each change is a request to the RSC server, which owns /tmp/sdb; the
    // call returns once it has answered.
    char name[] = "Movie night", level[] = "20", off[] = "false";
    Scene movie(name);
    if (movie.getID() == 0) {
        fprintf(stderr, "scenes: the scene store cannot be opened\n");
        return 1;
    }
    movie.addOrUpdateSceneEntry(2, 1, level);  // kitchen dimmer to 20
    movie.addOrUpdateSceneEntry(1, 1, off);    // living room light off

    try {
        Scene stored(movie.getID());
        printf("stored:\n");
        show(stored);
        stored.activate();
        stored.setSceneState(true);
    } catch (int missing) {
        fprintf(stderr, "scenes: scene %d was not stored (%d)\n", movie.getID(), missing);
        return 1;
    }
    std::unique_lock<std::mutex> g(lock);
    if (!heard.wait_for(g, std::chrono::seconds(10), [] { return notifications >= 2; })) {
        fprintf(stderr, "scenes: the devices did not answer\n");
        return 1;
    }
    return 0;
}
