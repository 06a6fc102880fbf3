// The location table against the tz database of this machine: every name
// is a tz location (blanks for underscores) and every TZ string is the
// footer rule of that zone's file, but for the entries listed on purpose.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "hacore/Halvix.h"
#include "testkit.h"

namespace {

const char kZoneinfo[] = "/usr/share/zoneinfo";

// Entries that differ from the installed tz database on purpose, and why.
const std::map<std::string, std::string> kOnPurpose = {
    {"Asia/Kathmandu", "keeps the alphabetic abbreviation NPT that the hub's applications show"},
    {"Australia/Lord Howe", "keeps the alphabetic abbreviations LHST that the hub's applications show"},
    {"Pacific/Chatham", "keeps the alphabetic abbreviations CHAST/CHADT that the hub's applications show"},
};

std::string tzName(const char* location) {
    std::string n = location;
    for (char& c : n)
        if (c == ' ') c = '_';
    return n;
}

// Target of a link of tzdata.zi ("L TARGET LINK"), or "".
std::string linkTarget(const std::string& name) {
    std::ifstream zi(std::string(kZoneinfo) + "/tzdata.zi");
    std::string line;
    while (std::getline(zi, line)) {
        std::istringstream in(line);
        std::string kind, target, link;
        if (in >> kind >> target >> link && kind == "L" && link == name) return target;
    }
    return "";
}

// The POSIX rule of a zone: the last line of its file.
bool footer(const std::string& name, std::string* rule) {
    std::string data = testkit::readFile(std::string(kZoneinfo) + "/" + name);
    if (data.empty()) {
        std::string target = linkTarget(name);
        if (target.empty()) return false;
        data = testkit::readFile(std::string(kZoneinfo) + "/" + target);
    }
    if (data.compare(0, 4, "TZif") != 0 || data.size() < 2 || data.back() != '\n') return false;
    size_t start = data.rfind('\n', data.size() - 2);
    if (start == std::string::npos) return false;
    *rule = data.substr(start + 1, data.size() - start - 2);
    return true;
}

TEST(Zones, TableIsSortedUniqueAndBounded) {
    size_t n = sizeof zones / sizeof zones[0];
    ASSERT_EQ(n, 405u);
    std::set<std::string> regions;
    for (size_t i = 0; i < n; ++i) {
        EXPECT_LT(strnlen(zones[i].location, 80), 80u);
        EXPECT_LT(strnlen(zones[i].tz, 80), 80u);
        EXPECT_GE(strlen(zones[i].tz), 3u) << zones[i].location;
        if (i) {
            EXPECT_LT(strcmp(zones[i - 1].location, zones[i].location), 0) << zones[i].location;
        }
        EXPECT_EQ(strchr(zones[i].location, '_'), nullptr) << zones[i].location;
        std::string loc = zones[i].location;
        regions.insert(loc.substr(0, loc.find('/')));
    }
    EXPECT_EQ(regions, (std::set<std::string>{"Africa", "America", "Antarctica", "Arctic", "Asia", "Atlantic",
                                              "Australia", "Europe", "Indian", "Pacific"}));
}

TEST(Zones, EveryEntryIsTheTzDatabaseRuleOrListedOnPurpose) {
    std::string unexpected, missing;
    std::set<std::string> differing;
    for (const TimeZoneEntry& z : zones) {
        std::string rule;
        if (!footer(tzName(z.location), &rule)) {
            missing += std::string(z.location) + "\n";
            continue;
        }
        if (rule == z.tz) continue;
        if (kOnPurpose.count(z.location))
            differing.insert(z.location);
        else
            unexpected += std::string(z.location) + ": table " + z.tz + ", tz database " + rule + "\n";
    }
    EXPECT_EQ(missing, "") << "locations the tz database does not know";
    EXPECT_EQ(unexpected, "") << "regenerate with hacore/tools/gen-zones.sh";
    for (const auto& p : kOnPurpose) {
        EXPECT_TRUE(differing.count(p.first)) << p.first << " no longer differs; drop it from overrides.txt";
        printf("on purpose: %s: %s\n", p.first.c_str(), p.second.c_str());
    }
}

}  // namespace
