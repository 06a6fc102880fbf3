// The lines of sim-device: what a device of the virtual home reports, a
// radio's pairing button, and the waits of a script. The same lines travel
// from sim-device and the browser panel to the HA server stand-in, which
// checks them against the home and carries them out (sim/servers/world.cpp).
//
//   set ID INDEX VALUE          the device reports VALUE at INDEX
//   alarm ID [INDEX] [on|off]   its alarm value raised (or cleared)
//   tamper ID [on|off]          its tamper value raised (or cleared)
//   battery ID PERCENT          its battery level (0..100)
//   unreachable ID|RADIO        the device (or every device of the radio) is lost
//   back ID|RADIO               ... and reachable again
//   button RADIO                the radio's pairing button is pressed
//   wait MS                     (scripts) the next lines come MS ms later
//
// RADIO is zwave, zigbee, hue or nest. Words are separated by blanks or
// tabs; "#" starts a comment; a VALUE runs to the end of the line, or is
// written in double quotes (to keep blanks at its ends or a "#").
#pragma once

#include <string>
#include <vector>

namespace simdevice {

// Where the HA server stand-in takes these lines, inside the sandbox; from
// outside, "servers/devices.sock" in the run's state directory.
constexpr const char* kControlSocket = "/sim/state/servers/devices.sock";
constexpr const char* kControlSocketName = "servers/devices.sock";

// A value fits the store's value field: at most this many bytes.
constexpr size_t kMaxValue = 41;
// A wait is at most ten minutes, as a pen script's.
constexpr long kMaxWaitMs = 600000;

enum class Verb { Set, Alarm, Tamper, Battery, Unreachable, Back, Button, Wait };

struct Command {
    Verb verb = Verb::Set;
    int device = 0;     // the device's ID; 0 when a radio is named
    std::string radio;  // "zwave", "zigbee", "hue" or "nest"
    int index = -1;     // set: the index; alarm: the index asked for, -1 the first alarm value
    std::string value;  // set: the value reported
    bool on = true;     // alarm, tamper: raised (true) or cleared
    int percent = 0;    // battery
    long ms = 0;        // wait
};

bool operator==(const Command& a, const Command& b);

// One line. A blank or comment line gives true with *empty set; a bad line
// false with the reason in *error.
bool parseLine(const std::string& line, Command* out, bool* empty, std::string* error);

// The command of sim-device's arguments (the words after the program's
// name): a VALUE may be given as several words, joined with one blank.
bool parseArgs(const std::vector<std::string>& args, Command* out, std::string* error);

// The line parseLine reads back as the same command.
std::string formatLine(const Command& c);

// A script's commands, each with its time from the start of the play (the
// sum of the waits before it) and its line number (from 1). On the first bad
// line returns false with its number in *badLine and the reason in *error.
struct Timed {
    long long atMs = 0;
    int line = 0;
    Command command;
};
bool parseScript(const std::string& text, std::vector<Timed>* out, int* badLine, std::string* error);

// The radio of a technology code (1 ZigBee, 2 Z-Wave, 3 Hue, 4 Nest), "" for
// the others, and back (0 for a name that is none).
std::string radioOf(int technology);
int technologyOf(const std::string& radio);

}  // namespace simdevice
