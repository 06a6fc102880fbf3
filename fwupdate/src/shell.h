// Internals of the library: shell quoting, version rules, the settings.
#pragma once
#include <cstddef>

namespace fwupdate {

#pragma GCC visibility push(hidden)

// Writes `text` into `out` as one single-quoted shell word ('\'' for each
// quote). Returns false, leaving "''" in out, when it does not fit.
bool shellQuote(const char* text, char* out, size_t outSize);

// The announced firmware version from the hub settings; "NaN" when none.
void announcedFirmwareVersion(char* out, size_t outSize);

// Whether the version names a pre-release ("beta", any case).
bool isBetaVersion(const char* version);
// True when `announced` is newer than `running` (the update check's rules).
bool isNewerVersion(const char* running, const char* announced);

#pragma GCC visibility pop

}  // namespace fwupdate
