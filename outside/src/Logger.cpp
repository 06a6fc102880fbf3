#include "Logger.h"

#include <cstdio>
#include <deque>
#include <mutex>
#include <syslog.h>

namespace {

std::mutex g_lock;
std::deque<Logger::Line> g_lines;
bool g_echo = false;

int priority(int level) {
    switch (level) {
        case Logger::Warning: return LOG_WARNING;
        case Logger::Error: return LOG_ERR;
        case Logger::Detail: return LOG_DEBUG;
        default: return LOG_INFO;
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
    std::lock_guard<std::mutex> g(g_lock);
    if (g_echo) fprintf(stderr, "%d %s\n", level, text);
    g_lines.push_back(Line{level, text});
    while (g_lines.size() > kKeep) g_lines.pop_front();
}

std::vector<Logger::Line> Logger::lines() {
    std::lock_guard<std::mutex> g(g_lock);
    return std::vector<Line>(g_lines.begin(), g_lines.end());
}

void Logger::clear() {
    std::lock_guard<std::mutex> g(g_lock);
    g_lines.clear();
}

void Logger::setEcho(bool on) {
    std::lock_guard<std::mutex> g(g_lock);
    g_echo = on;
}
