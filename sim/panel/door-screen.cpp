// A small application for the browser test of the panel's device pane:
// shows the home's first door sensor on the LCD and redraws it when the
// sensor's notification reaches its device callback. It prints what its
// callback heard and what it drew, and runs until it is stopped.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "hacore/Device.h"
#include "hacore/HADevices.h"
#include "lcddraw/libHalvixGui.h"

namespace {

std::mutex lock;
std::condition_variable changed;
std::string doorState;  // the door's DOOR_STATE as last heard
bool heard = false;

void onDoor(Device* d) {
    const std::string value = d->getLastNotificationIndexValue();
    printf("door screen: callback #%d %s [%d] = %s\n", d->getID(), d->getDeviceName(), d->getLastNotificationIndex(),
           value.c_str());
    std::lock_guard<std::mutex> g(lock);
    doorState = d->getValue(1);
    heard = true;
    changed.notify_all();
}

// The whole screen: the door's name and whether it is open.
void draw(const std::string& name, bool open) {
    lcd_clear(0);
    fillRect(0, 0, 319, 35, 0);
    drawLine(0, 35, 319, 35, 1405);
    wchar_t title[80];
    swprintf(title, 80, L"%s", name.c_str());
    drawTitle(title);
    fillRect(40, 70, 279, 190, open ? 0xF800 : 0x07E0);
    drawText(open ? L"OPEN" : L"CLOSED", 60, 115, 200, 1, 0, LCD_FONT_BIG, 65535, 1);
    printf("door screen: drew %s\n", open ? "OPEN" : "CLOSED");
}

}  // namespace

int main() {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    DeviceList list;
    list.Populate();
    int door = 0;
    std::string name;
    for (Device& d : list.devices)
        if (!door && d.getDeviceType() == DoorSensor) {
            door = d.getID();
            name = d.getDeviceName();
            doorState = d.getValue(1);
        }
    if (!door) {
        fprintf(stderr, "door screen: no door sensor in the home\n");
        return 1;
    }
    if (libHalvixGuiInit() < 0) {
        perror("/dev/halvix_lcd");
        return 1;
    }
    turnOn();
    HADevices ha;
    if (!ha.initialize()) {
        fprintf(stderr, "door screen: cannot reach the hub's servers\n");
        return 1;
    }
    ha.deviceCallback(door, onDoor);
    std::unique_lock<std::mutex> g(lock);
    std::string shown = doorState;
    draw(name, shown == "true");
    printf("door screen: watching #%d %s\n", door, name.c_str());
    for (;;) {
        changed.wait(g, [] { return heard; });
        heard = false;
        if (doorState == shown) continue;
        shown = doorState;
        draw(name, shown == "true");
    }
}
