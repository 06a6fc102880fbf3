// The hub's time zone as the processes of the virtual router run in it.
// The router's system gives its processes the zone of the nvram setting
// "TZ" (a POSIX TZ string) at boot. Here every process gets
// TZ=:/sim/state/localtime from router-init, and that file is a TZif file
// made from the setting: written at boot (sim-nvram zone) and again by
// every commit of section 1 that finds another TZ value (the HA server
// commits after a time-zone event). glibc reads the file named by TZ once
// per process, so processes started after a change run in the new zone and
// those already running keep theirs. A qemu-mipsel process finds the same
// file: the sysroot has no /sim to shadow it.
//   /sim/state/localtime  the TZif file
//   /sim/state/zone       the TZ value in force (escaped: "\n", "\\"), then the
//                         rule the processes run by, one line each
//   /sim/state/log/zone   one line per zone applied: "VALUE" RULE [(why)]
#pragma once

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace simzone {

constexpr const char* kFile = "/sim/state/localtime";
constexpr const char* kState = "/sim/state/zone";
constexpr const char* kLog = "/sim/state/log/zone";
// What a daylight-saving zone without rules follows: glibc's default
// (posixrules, the rules of New York).
constexpr const char* kDefaultRules = ",M3.2.0,M11.1.0";
constexpr const char* kUtc = "UTC0";

struct Zone {
    std::string stdName, dstName;  // dstName empty: no daylight saving time
    long stdOffset = 0;            // seconds west of UTC, as the string has it
    long dstOffset = 0;
    bool rules = false;  // the string names when daylight saving time starts and ends
};

namespace detail {

inline bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A zone abbreviation: three or more letters, or <...> of three or more
// letters, digits, '+' and '-'.
inline bool name(const std::string& s, size_t& i, std::string* out) {
    size_t j = i;
    if (j < s.size() && s[j] == '<') {
        ++j;
        while (j < s.size() && (isAlpha(s[j]) || isDigit(s[j]) || s[j] == '+' || s[j] == '-')) ++j;
        if (j >= s.size() || s[j] != '>' || j - i - 1 < 3) return false;
        *out = s.substr(i + 1, j - i - 1);
        i = j + 1;
        return true;
    }
    while (j < s.size() && isAlpha(s[j])) ++j;
    if (j - i < 3) return false;
    *out = s.substr(i, j - i);
    i = j;
    return true;
}

inline bool number(const std::string& s, size_t& i, size_t maxDigits, long max, long* out) {
    size_t j = i;
    long v = 0;
    while (j < s.size() && isDigit(s[j]) && j - i < maxDigits) v = v * 10 + (s[j++] - '0');
    if (j == i || v > max) return false;
    i = j;
    *out = v;
    return true;
}

// [+-]hh[:mm[:ss]] in seconds; hours at most maxHours.
inline bool clock(const std::string& s, size_t& i, long maxHours, long* out) {
    long sign = 1;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) sign = s[i++] == '-' ? -1 : 1;
    long h = 0, m = 0, sec = 0;
    if (!number(s, i, 3, maxHours, &h)) return false;
    if (i < s.size() && s[i] == ':') {
        ++i;
        if (!number(s, i, 2, 59, &m)) return false;
        if (i < s.size() && s[i] == ':') {
            ++i;
            if (!number(s, i, 2, 59, &sec)) return false;
        }
    }
    *out = sign * (h * 3600 + m * 60 + sec);
    return true;
}

// Jn (1-365), n (0-365) or Mm.w.d, then an optional /time (up to 167 hours
// either way, as RFC 8536 allows).
inline bool date(const std::string& s, size_t& i) {
    long v;
    if (i < s.size() && s[i] == 'J') {
        ++i;
        if (!number(s, i, 3, 365, &v) || v < 1) return false;
    } else if (i < s.size() && s[i] == 'M') {
        ++i;
        if (!number(s, i, 2, 12, &v) || v < 1) return false;
        if (i >= s.size() || s[i++] != '.' || !number(s, i, 1, 5, &v) || v < 1) return false;
        if (i >= s.size() || s[i++] != '.' || !number(s, i, 1, 6, &v)) return false;
    } else if (!number(s, i, 3, 365, &v)) {
        return false;
    }
    if (i < s.size() && s[i] == '/') {
        ++i;
        if (!clock(s, i, 167, &v)) return false;
    }
    return true;
}

inline void be32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += (char)((v >> shift) & 0xff);
}

inline void header(std::string& out, char version, uint32_t timecnt, uint32_t typecnt, uint32_t charcnt) {
    out += "TZif";
    out += version;
    out.append(15, '\0');
    be32(out, 0);  // isutcnt
    be32(out, 0);  // isstdcnt
    be32(out, 0);  // leapcnt
    be32(out, timecnt);
    be32(out, typecnt);
    be32(out, charcnt);
}

inline void type(std::string& out, long offsetWest, bool dst, uint8_t nameIndex) {
    be32(out, (uint32_t)(int32_t)-offsetWest);
    out += (char)(dst ? 1 : 0);
    out += (char)nameIndex;
}

inline bool writeAll(const std::string& file, const std::string& data) {
    std::string tmp = file + ".new";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = ::write(fd, data.data(), data.size()) == (ssize_t)data.size();
    ok = ::close(fd) == 0 && ok;
    return ok && ::rename(tmp.c_str(), file.c_str()) == 0;
}

inline std::string firstLine(const char* file) {
    std::string text;
    int fd = ::open(file, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char buf[1100];
    ssize_t n = ::read(fd, buf, sizeof buf);
    ::close(fd);
    if (n > 0) text.assign(buf, n);
    size_t end = text.find('\n');
    return end == std::string::npos ? std::string() : text.substr(0, end);
}

inline std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) out += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : std::string(1, c);
    return out;
}

}  // namespace detail

// Parses a POSIX TZ string (std offset [dst [offset] [,start[/time],end[/time]]]).
inline bool parse(const std::string& s, Zone* z) {
    size_t i = 0;
    Zone r;
    if (!detail::name(s, i, &r.stdName) || !detail::clock(s, i, 24, &r.stdOffset)) return false;
    if (i < s.size()) {
        if (!detail::name(s, i, &r.dstName)) return false;
        r.dstOffset = r.stdOffset - 3600;
        if (i < s.size() && s[i] != ',' && !detail::clock(s, i, 24, &r.dstOffset)) return false;
        if (i < s.size()) {
            if (s[i++] != ',' || !detail::date(s, i)) return false;
            if (i >= s.size() || s[i++] != ',' || !detail::date(s, i)) return false;
            r.rules = true;
        }
    }
    if (i != s.size()) return false;
    *z = r;
    return true;
}

// The rule the processes run by for a TZ value: the value itself, with the
// default rules added to a daylight-saving zone that names none, or UTC
// for a value that is not a POSIX TZ string (why says which).
inline std::string ruleFor(const std::string& value, Zone* z, std::string* why) {
    why->clear();
    if (!parse(value, z)) {
        *why = "not a POSIX TZ string";
        parse(kUtc, z);
        return kUtc;
    }
    if (!z->dstName.empty() && !z->rules) {
        *why = "no rules: the default ones";
        z->rules = true;
        return value + kDefaultRules;
    }
    return value;
}

// A TZif file (version 2) of the rule: one transition at the beginning of
// time (zic's "big bang"), after which the rule in the footer holds. The
// version-1 part has the standard time only, for a reader of that part.
inline std::string tzif(const std::string& rule, const Zone& z) {
    std::string names = z.stdName + '\0';
    if (!z.dstName.empty()) names += z.dstName + '\0';
    uint32_t types = z.dstName.empty() ? 1 : 2;
    std::string out;
    detail::header(out, '2', 0, 1, (uint32_t)z.stdName.size() + 1);
    detail::type(out, z.stdOffset, false, 0);
    out += z.stdName + '\0';
    detail::header(out, '2', 1, types, (uint32_t)names.size());
    const uint64_t bigBang = (uint64_t)(-(int64_t(1) << 59));
    detail::be32(out, (uint32_t)(bigBang >> 32));
    detail::be32(out, (uint32_t)bigBang);
    out += '\0';  // the transition's type: standard time
    detail::type(out, z.stdOffset, false, 0);
    if (types == 2) detail::type(out, z.dstOffset, true, (uint8_t)(z.stdName.size() + 1));
    out += names;
    out += "\n" + rule + "\n";
    return out;
}

// Makes the TZ value the zone of the processes started from now on (the log
// gets a line when it is another value than before).
inline bool apply(const std::string& value) {
    Zone z;
    std::string why;
    std::string rule = ruleFor(value, &z, &why);
    if (!detail::writeAll(kFile, tzif(rule, z))) return false;
    std::string shown = detail::escape(value);
    bool changed = detail::firstLine(kState) != shown;
    detail::writeAll(kState, shown + "\n" + rule + "\n");
    if (!changed) return true;
    if (FILE* f = fopen(kLog, "a")) {
        fprintf(f, "\"%s\" %s%s%s%s\n", shown.c_str(), rule.c_str(), why.empty() ? "" : " (", why.c_str(),
                why.empty() ? "" : ")");
        fclose(f);
    }
    return true;
}

// Applies the value unless it is the one in force already.
inline bool follow(const std::string& value) {
    if (::access(kFile, R_OK) == 0 && detail::firstLine(kState) == detail::escape(value)) return true;
    return apply(value);
}

}  // namespace simzone
