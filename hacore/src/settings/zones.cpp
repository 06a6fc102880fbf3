// The location table of Halvix::getZone, generated from the tz database by
// hacore/tools/gen-zones.sh (see there to regenerate it).
#include "hacore/Halvix.h"

extern const TimeZoneEntry zones[405] = {
#include "zones_table.inc"
};
