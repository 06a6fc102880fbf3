// Quoting of outside text for the shell commands this library runs.
#pragma once
#include <cstddef>

namespace fwupdate {

#pragma GCC visibility push(hidden)

// Writes `text` into `out` as one single-quoted shell word ('\'' for each
// quote). Returns false, leaving "''" in out, when it does not fit.
bool shellQuote(const char* text, char* out, size_t outSize);

// The announced firmware version from the hub settings; "NaN" when none.
void announcedFirmwareVersion(char* out, size_t outSize);

#pragma GCC visibility pop

}  // namespace fwupdate
