#include "Logger.h"

#include <cstdio>
#include <deque>
#include <mutex>
#include <syslog.h>

namespace {

// Never destroyed: detached threads (the pairing receiver) may still log
// while the process runs its exit handlers.
struct State {
    std::mutex lock;
    std::deque<Logger::Line> lines;
    bool echo = false;
};
State& state() {
    static State* s = new State;
    return *s;
}

int priority(int level) {
    switch (level) {
        case Logger::Warning:
            return LOG_WARNING;
        case Logger::Error:
            return LOG_ERR;
        case Logger::Detail:
            return LOG_DEBUG;
        default:
            return LOG_INFO;
    }
}

}  // namespace

Logger::Logger() { openlog("halvix", LOG_NDELAY | LOG_PID, LOG_USER); }

Logger* Logger::getInstance() {
    static Logger* instance = new Logger();
    return instance;
}

void Logger::Log(int level, const char* text) {
    if (!text) text = "";
    syslog(priority(level), "%s", text);
    State& st = state();
    std::lock_guard<std::mutex> g(st.lock);
    if (st.echo) fprintf(stderr, "%d %s\n", level, text);
    st.lines.push_back(Line{level, text});
    while (st.lines.size() > kKeep) st.lines.pop_front();
}

std::vector<Logger::Line> Logger::lines() {
    State& st = state();
    std::lock_guard<std::mutex> g(st.lock);
    return std::vector<Line>(st.lines.begin(), st.lines.end());
}

void Logger::clear() {
    State& st = state();
    std::lock_guard<std::mutex> g(st.lock);
    st.lines.clear();
}

void Logger::setEcho(bool on) {
    State& st = state();
    std::lock_guard<std::mutex> g(st.lock);
    st.echo = on;
}
