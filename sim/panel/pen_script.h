// The pen lines the panel takes from the browser, checked and written out
// again in the touch stand-in's own form (docs/virtual-router.md, "The
// touch panel"), so that nothing but well-formed lines reaches the script.
#pragma once

#include <string>

namespace panel {

// Parses `in` (lines "press X Y [MS]", "move X Y [MS]", "release [MS]",
// "tap X Y [MS]", "wait MS"; blank lines and "# ..." comments are dropped)
// and appends the lines, rebuilt from their numbers, to *out. On the first
// line that is none of these, returns false with its number (from 1) in
// *badLine and leaves *out as it was.
bool normalisePenScript(const std::string& in, std::string* out, int* badLine);

}  // namespace panel
