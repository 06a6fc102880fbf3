// The monotonic clock and sleeps.
#pragma once

namespace hbase {

// Milliseconds and microseconds of CLOCK_MONOTONIC: 64 bits on every ABI,
// so the router's 32-bit long never wraps them.
long long nowMs();
long long nowUs();

// Sleeps ms milliseconds; a signal ends the sleep early.
void sleepMs(long ms);

}  // namespace hbase
