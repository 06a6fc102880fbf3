// Editing the cron table for timed rules.
#pragma once

namespace cron {

// A decimal number of one or two digits within [lo, hi].
bool isNumber(const char* text, int lo, int hi);

// Replaces every line of the table that runs this rule by one line with the
// given fields running "cd /;runRule <id>". Refuses (false, message on
// standard error, nothing run) any field that is not a plain cron field.
bool replaceRuleLine(int ruleId, const char* minute, const char* hour, const char* day, const char* month,
                     const char* weekday);

}  // namespace cron
