// The cron table lines of timed rules. The fields come from stored records
// and callers: each is checked to be a plain cron field before any shell
// command is built, and the table is edited under a lock with private
// temporary files, so that two processes updating at once keep both lines.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

#include "automation/cron_internal.h"
#include "hacore/Rule.h"

namespace {

const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
const char* const kDays[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};

// A number or (where names are given) a three-letter name; its value.
bool atom(const std::string& s, int lo, int hi, const char* const* names, int nameCount, int nameBase, int* out) {
    if (s.empty() || s.size() > 3) return false;
    if (isdigit((unsigned char)s[0])) {
        int v = 0;
        for (char c : s) {
            if (!isdigit((unsigned char)c)) return false;
            v = v * 10 + (c - '0');
        }
        if (v < lo || v > hi) return false;
        *out = v;
        return true;
    }
    for (int i = 0; i < nameCount; ++i)
        if (strcasecmp(s.c_str(), names[i]) == 0) {
            *out = i + nameBase;
            return true;
        }
    return false;
}

bool element(const std::string& e, int lo, int hi, const char* const* names, int nameCount, int nameBase) {
    std::string range = e, step;
    size_t slash = e.find('/');
    if (slash != std::string::npos) {
        range = e.substr(0, slash);
        step = e.substr(slash + 1);
        int s;
        if (!atom(step, 1, hi, nullptr, 0, 0, &s)) return false;
    }
    if (range == "*") return true;
    size_t dash = range.find('-');
    int a, b;
    if (dash == std::string::npos)
        return slash == std::string::npos && atom(range, lo, hi, names, nameCount, nameBase, &a);
    return atom(range.substr(0, dash), lo, hi, names, nameCount, nameBase, &a) &&
           atom(range.substr(dash + 1), lo, hi, names, nameCount, nameBase, &b) && a <= b;
}

bool field(const char* text, int lo, int hi, const char* const* names, int nameCount, int nameBase) {
    if (!text) return false;
    size_t n = strnlen(text, 60);
    if (n == 0 || n >= 60) return false;
    std::string s(text, n);
    size_t start = 0;
    for (;;) {
        size_t comma = s.find(',', start);
        std::string e = s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!element(e, lo, hi, names, nameCount, nameBase)) return false;
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

void run(const char* command) {
    int rc = system(command);
    (void)rc;  // the commands' results are not checked, as on the router
}

}  // namespace

bool isCronDayField(const char* text) { return field(text, 1, 31, nullptr, 0, 0); }
bool isCronMonthField(const char* text) { return field(text, 1, 12, kMonths, 12, 1); }
bool isCronWeekdayField(const char* text) { return field(text, 0, 7, kDays, 7, 0); }

namespace cron {

bool isNumber(const char* text, int lo, int hi) {
    if (!text) return false;
    size_t n = strnlen(text, 3);
    if (n == 0 || n > 2) return false;
    int v = 0;
    for (size_t i = 0; i < n; ++i) {
        if (!isdigit((unsigned char)text[i])) return false;
        v = v * 10 + (text[i] - '0');
    }
    return v >= lo && v <= hi;
}

bool replaceRuleLine(int ruleId, const char* minute, const char* hour, const char* day, const char* month,
                     const char* weekday) {
    if (ruleId <= 0 || !isNumber(minute, 0, 59) || !isNumber(hour, 0, 23) || !isCronDayField(day) ||
        !isCronMonthField(month) || !isCronWeekdayField(weekday)) {
        fprintf(stderr, "Rule:refusing cron line for rule %d: not a valid cron time\n", ruleId);
        return false;
    }
    int lock = open("/tmp/.runRule-cron.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) {
        perror("cron lock");
        if (lock >= 0) close(lock);
        return false;
    }
    char temp[] = "/tmp/temp.XXXXXX";
    char temp1[] = "/tmp/temp1.XXXXXX";
    int f0 = mkstemp(temp);
    int f1 = f0 >= 0 ? mkstemp(temp1) : -1;
    if (f0 >= 0) close(f0);
    if (f1 >= 0) close(f1);
    bool ok = f0 >= 0 && f1 >= 0;
    if (ok) {
        char command[512];
        snprintf(command, sizeof command, "crontab -l >%s", temp);
        run(command);
        snprintf(command, sizeof command, "sed -n '/\\<runRule %d\\>/!p' %s > %s", ruleId, temp, temp1);
        run(command);
        snprintf(command, sizeof command, "echo \"%s\t%s\t%s\t%s\t%s\tcd /;runRule %d\">>%s", minute, hour, day, month,
                 weekday, ruleId, temp1);
        run(command);
        snprintf(command, sizeof command, "crontab %s", temp1);
        run(command);
        snprintf(command, sizeof command, "rm %s %s", temp, temp1);
        run(command);
    } else {
        perror("cron temporary file");
        if (f0 >= 0) unlink(temp);
    }
    flock(lock, LOCK_UN);
    close(lock);
    return ok;
}

}  // namespace cron
