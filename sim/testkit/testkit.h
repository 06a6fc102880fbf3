// Test helpers: reading and switching what the virtual router records.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace testkit {

// Lines of /sim/state/log/<name> (the syslog is "syslog").
std::vector<std::string> logLines(const std::string& name);
// Empties /sim/state/log/<name>.
void clearLog(const std::string& name);
// Turns the fault switch /sim/state/faults/<name> on or off.
void setFault(const std::string& name, bool on);
// Turns every fault switch off. Every test binary does it before each test
// (environment.cpp), so a test that stops half-way leaves none on.
void clearFaults();

// A fault switch that is on from its construction until off() or the end of
// its scope, whichever comes first.
class Fault {
public:
    explicit Fault(std::string name);
    ~Fault();
    void off();
    Fault(const Fault&) = delete;
    Fault& operator=(const Fault&) = delete;

private:
    std::string name_;
    bool on_ = true;
};

// Checks cond every 10 ms until it holds (true) or timeoutMs have passed
// (false). Tests wait for what they expect with it, never for a fixed time.
bool waitUntil(const std::function<bool()>& cond, int timeoutMs = 60000);

// Entries of /proc/self/fd: the descriptors this process holds open (one of
// them the listing's own), leaving out the passing socket of another
// thread's syslog line.
int openDescriptors();

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

// Ends a forked child: at once (no atexit handlers, no leak check of the
// sanitizers, which a copy of the parent holding its threads' memory would
// fail), or in a coverage build through exit(), so the counts are written.
[[noreturn]] void exitChild(int code);

// Runs a shell command, returns its standard output.
std::string run(const std::string& cmd);

}  // namespace testkit
