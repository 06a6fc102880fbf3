// The version comparison of the update check. Version strings: characters
// 0-4 a fixed prefix, 5-7 the release number, from 8 a suffix of letters; a
// pre-release carries "beta" after a dash that ends the suffix.
#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "shell.h"

namespace fwupdate {
namespace {

// The release number: characters 5-7.
int releaseNumber(const char* v) {
    char digits[4] = {0};
    size_t len = strlen(v);
    for (size_t i = 5; i < 8 && i < len; ++i) digits[i - 5] = v[i];
    return atoi(digits);
}

// Length of the suffix that starts at character 8 and ends at the first '-'
// found at or after character `dashFrom`, or at the end of the string; a
// dash before character 8 leaves it empty.
size_t suffixLength(const char* v, size_t dashFrom) {
    size_t len = strlen(v);
    if (len <= 8) return 0;
    size_t end = len;
    if (dashFrom < len) {
        const char* dash = strchr(v + dashFrom, '-');
        if (dash) end = dash - v;
    }
    return end > 8 ? end - 8 : 0;
}

}  // namespace

bool isBetaVersion(const char* version) { return strcasestr(version, "beta") != nullptr; }

bool isNewerVersion(const char* running, const char* announced) {
    if (strlen(announced) < 6) return false;
    int r = releaseNumber(running), a = releaseNumber(announced);
    if (a != r) return a > r;
    size_t dashFrom = 7;
    if (isBetaVersion(running)) {
        if (!isBetaVersion(announced)) return false;
        dashFrom = 5;
    }
    size_t rl = suffixLength(running, dashFrom), al = suffixLength(announced, dashFrom);
    if (rl != al) return al > rl;
    // Up to three characters decide; the larger character is the newer.
    for (size_t i = 0; i < 3 && i < al; ++i) {
        unsigned char rc = running[8 + i], ac = announced[8 + i];
        if (rc != ac) return ac > rc;
    }
    return false;
}

}  // namespace fwupdate
