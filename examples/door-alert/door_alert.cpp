#include "door_alert.h"

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
std::condition_variable changed;
std::vector<std::string> lines;
int doorId, lightId;
bool doorReachable = true;

void say(const std::string& line) {
    printf("door-alert: %s\n", line.c_str());
    fflush(stdout);
    std::lock_guard<std::mutex> g(lock);
    lines.push_back(line);
    changed.notify_all();
}

// Runs on the library's receiver thread for every device notification.
void onDevice(Device* d) {
    const std::string index = d->getLastNotificationIndexName();
    const std::string value = d->getLastNotificationIndexValue();
    if (d->getID() == lightId && index == "SWITCH BINARY" && value == "true") {
        say("the light is on");
    } else if (d->getID() != doorId) {
        return;
    } else if (index == "DOOR_STATE" && value == "true") {
        Device light(lightId);
        light.setSwitchOn(true, 1);  // the HA server confirms it with a notification
        say(std::string(d->getDeviceName()) + " opened: switching the light on");
    } else if (index == "DOOR_STATE") {
        say(std::string(d->getDeviceName()) + " closed");
    } else if (index == "TAMPER" && value == "true") {
        say(std::string(d->getDeviceName()) + " tampered with");
    } else if (index == "BATTERY" && atoi(value.c_str()) < 20) {
        say(std::string(d->getDeviceName()) + " battery low: " + value + "%");
    }
}

// Events: a device update may be the sensor lost (its state 1) or back.
void onEvent(Event* e) {
    if (e->type != EV_DeviceUpdated || e->arg != doorId) return;
    try {
        Device d(doorId);
        const bool reachable = d.getdeviceState() != 1;
        if (reachable == doorReachable) return;
        doorReachable = reachable;
        say(std::string(d.getDeviceName()) + (reachable ? " reachable again" : " unreachable"));
    } catch (int) {
        say("the door sensor is gone");
    }
}

}  // namespace

bool DoorAlert::start() {
    DeviceList home;
    home.Populate();
    for (Device& d : home.devices) {
        if (!door_ && d.getDeviceType() == DoorSensor) door_ = d.getID();
        if (!light_ && d.getDeviceType() == BinarySwitch) light_ = d.getID();
    }
    if (!door_) return false;
    doorId = door_;
    lightId = light_;
    static HADevices ha;
    if (!ha.initialize()) return false;
    ha.genericCallback(onDevice);
    ha.eventCallback(onEvent);
    return true;
}

std::vector<std::string> DoorAlert::done() const {
    std::lock_guard<std::mutex> g(lock);
    return lines;
}

bool DoorAlert::waitFor(const std::string& text, int timeoutMs) const {
    std::unique_lock<std::mutex> g(lock);
    return changed.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] {
        for (const std::string& l : lines)
            if (l.find(text) != std::string::npos) return true;
        return false;
    });
}
