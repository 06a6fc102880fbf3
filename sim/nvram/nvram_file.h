// The settings of the nvram stand-in: one file per section under
// /sim/state/nvram ("2860" for section 1, "rtdev" for section 2), one
// "name=value" line per setting with "\n" and "\\" escaped. A set changes
// the file at once (the driver's memory); a commit copies it to
// "<section>.flash" (the flash copy). Shared by the driver stand-in, the
// nvram_get and nvram_set tools and the HA server stand-in, under one lock
// file, so all of them see one truth. A commit of section 1 also makes its
// "TZ" the zone of the processes started afterwards (zone.h).
#pragma once

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "zone.h"

namespace simnvram {

constexpr const char* kDir = "/sim/state/nvram";
using Settings = std::vector<std::pair<std::string, std::string>>;

// 1 -> "2860", 2 -> "rtdev", else null.
inline const char* sectionName(int section) { return section == 1 ? "2860" : section == 2 ? "rtdev" : nullptr; }
inline int sectionOf(const std::string& name) { return name == "2860" ? 1 : name == "rtdev" ? 2 : 0; }

inline std::string path(int section, const char* suffix = "") {
    return std::string(kDir) + "/" + sectionName(section) + suffix;
}

class Lock {
public:
    explicit Lock(bool exclusive) {
        fd_ = ::open((std::string(kDir) + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ >= 0)
            while (flock(fd_, exclusive ? LOCK_EX : LOCK_SH) < 0 && errno == EINTR) {
            }
    }
    ~Lock() {
        if (fd_ >= 0) ::close(fd_);
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    int fd_;
};

inline bool readAll(const std::string& file, std::string* out) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    out->clear();
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) out->append(buf, n);
    ::close(fd);
    return true;
}

inline bool writeAll(const std::string& file, const std::string& data) {
    std::string tmp = file + ".new";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = ::write(fd, data.data(), data.size()) == (ssize_t)data.size();
    ::close(fd);
    return ok && ::rename(tmp.c_str(), file.c_str()) == 0;
}

inline std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

inline std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            ++i;
            out += s[i] == 'n' ? '\n' : s[i];
        } else {
            out += s[i];
        }
    }
    return out;
}

inline Settings parse(const std::string& text) {
    Settings all;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        size_t eq = line.find('=');
        if (eq != std::string::npos && eq > 0)
            all.emplace_back(unescape(line.substr(0, eq)), unescape(line.substr(eq + 1)));
        start = end + 1;
    }
    return all;
}

inline std::string format(const Settings& all) {
    std::string text;
    for (const auto& kv : all) text += escape(kv.first) + "=" + escape(kv.second) + "\n";
    return text;
}

inline Settings loadUnlocked(int section) {
    std::string text;
    readAll(path(section), &text);
    return parse(text);
}

inline Settings load(int section) {
    Lock lock(false);
    return loadUnlocked(section);
}

inline bool get(int section, const std::string& name, std::string* value) {
    for (const auto& kv : load(section))
        if (kv.first == name) {
            *value = kv.second;
            return true;
        }
    return false;
}

inline void setUnlocked(Settings& all, const std::string& name, const std::string& value) {
    for (auto& kv : all)
        if (kv.first == name) {
            kv.second = value;
            return;
        }
    all.emplace_back(name, value);
}

inline bool set(int section, const std::string& name, const std::string& value) {
    Lock lock(true);
    Settings all = loadUnlocked(section);
    setUnlocked(all, name, value);
    return writeAll(path(section), format(all));
}

// Sets several settings of a section at once.
inline bool setAll(int section, const Settings& values) {
    Lock lock(true);
    Settings all = loadUnlocked(section);
    for (const auto& kv : values) setUnlocked(all, kv.first, kv.second);
    return writeAll(path(section), format(all));
}

inline bool commit(int section) {
    Lock lock(true);
    std::string text;
    readAll(path(section), &text);
    if (!writeAll(path(section, ".flash"), text)) return false;
    if (section == 1) {
        std::string tz;
        for (const auto& kv : parse(text))
            if (kv.first == "TZ") tz = kv.second;
        simzone::follow(tz);
    }
    return true;
}

}  // namespace simnvram
