// Stand-in for the router's logging class that libpairing imports. The
// interface is the router's: one instance per process, one call per line.
// Lines go to the system log (syslog, facility user) and the last ones are
// kept in memory, where a test or a tool can read them back.
#pragma once

#include <string>
#include <vector>

class Logger {
public:
    // Levels as libpairing uses them.
    enum { Progress = 0, Warning = 1, Error = 2, Detail = 3 };

    static Logger* getInstance();

    // Records one line. A null text records an empty line.
    void Log(int level, const char* text);

    // ---- stand-in extras (not on the router) ----
    struct Line {
        int level;
        std::string text;
    };
    // The kept lines, oldest first (at most kKeep).
    std::vector<Line> lines();
    // Forgets the kept lines.
    void clear();
    // Also writes every line to standard error ("<level> <text>").
    void setEcho(bool on);
    static constexpr size_t kKeep = 4096;

private:
    Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;
};
