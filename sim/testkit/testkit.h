// Test helpers: reading and switching what the virtual router records.
#pragma once
#include <string>
#include <vector>

namespace testkit {

// Lines of /sim/state/log/<name> (the syslog is "syslog").
std::vector<std::string> logLines(const std::string& name);
// Empties /sim/state/log/<name>.
void clearLog(const std::string& name);
// Turns the fault switch /sim/state/faults/<name> on or off.
void setFault(const std::string& name, bool on);

// Whole file contents; empty if missing.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& data);
bool fileExists(const std::string& path);
void removeFile(const std::string& path);

// Runs fn with standard error captured; returns what was written.
std::string captureStderr(void (*fn)(void*), void* arg);
template <typename F>
std::string captureStderr(F f) {
    return captureStderr([](void* p) { (*static_cast<F*>(p))(); }, &f);
}
std::string captureStdout(void (*fn)(void*), void* arg);
template <typename F>
std::string captureStdout(F f) {
    return captureStdout([](void* p) { (*static_cast<F*>(p))(); }, &f);
}

// Drops root's power to read and write files regardless of their mode, so a
// test can make a file unreadable even to itself (use in a forked child).
void dropFileAccessOverride();

// Runs a shell command, returns its standard output.
std::string run(const std::string& cmd);

}  // namespace testkit
