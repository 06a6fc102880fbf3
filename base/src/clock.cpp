#include "base/clock.h"

#include <ctime>

namespace hbase {

namespace {
timespec monotonic() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts;
}
}  // namespace

long long nowMs() {
    timespec ts = monotonic();
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

long long nowUs() {
    timespec ts = monotonic();
    return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

void sleepMs(long ms) {
    timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&ts, nullptr);
}

}  // namespace hbase
