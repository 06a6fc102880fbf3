// Test helpers: scripted pen sessions on the virtual touch panel.
#pragma once
#include <string>

class Screen;

namespace pen {

// Starts a fresh script (the panel follows it from its first line).
void script(const std::string& lines);
// Appends lines to the running script.
void append(const std::string& lines);
// True once every line of the script has been played.
bool done();
// The application's loop: feeds every pen-down sample to the screen until
// the script has been played and the pen is up.
void run(Screen& screen);
// Waits for a condition, polling the panel as an idle application would;
// false after `seconds`.
bool waitFor(bool (*cond)(), int seconds);

// Locks the drawn screen at once, as the inactivity tick does at the
// time-out (with no lock handler: the test's ticks are its own); true when
// the lock pad is up.
bool lockNow(Screen& screen);
// The three touches that wake the locked panel, played through the
// screen's loop.
void wakeUp(Screen& screen);

}  // namespace pen

namespace pen {
// Writes the panel as <name>.png into the suite's screenshot directory
// (build/<build>/screenshots/touchui) and returns its path.
std::string shot(const std::string& name);
}  // namespace pen
