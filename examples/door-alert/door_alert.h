// The door alert: watches the home's door sensor through the HA server's
// notifications. When the door opens it switches the light on; it says
// when the door closes, when the sensor is tampered with, when its battery
// runs low, and when the sensor is lost and back.
#pragma once

#include <string>
#include <vector>

class DoorAlert {
public:
    // Finds the home's first door sensor and first wall switch and starts
    // listening (one DoorAlert a process). False without a door sensor or
    // without the hub's servers.
    bool start();
    int door() const { return door_; }
    int light() const { return light_; }
    // What it has done so far, a line each, in order.
    std::vector<std::string> done() const;
    // Waits until a line that holds `text` is done (false after timeoutMs).
    bool waitFor(const std::string& text, int timeoutMs) const;

private:
    int door_ = 0, light_ = 0;
};
