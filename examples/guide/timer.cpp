// Hardware timer: ticks every 100 ms from the timer driver. The tick is a
// signal, so its handler only does what is safe in a signal handler.
#include <hwtimer/Timer.h>

#include <csignal>
#include <cstdio>
#include <ctime>

namespace {

volatile sig_atomic_t ticks = 0;

void onTick(int) { ticks = ticks + 1; }

}  // namespace

int main() {
    Timer timer;
    timer.setTimerHandler(onTick);
    if (timer.set_period(100) != 0) {
        fprintf(stderr, "timer: the driver refused the period\n");
        return 1;
    }
    timer.start();
    // Wait for five ticks, at most three seconds.
    timespec step = {0, 10 * 1000 * 1000};
    for (int waited = 0; ticks < 5 && waited < 300; ++waited) nanosleep(&step, nullptr);
    timer.stop();
    printf("%d ticks\n", (int)ticks);
    return ticks >= 5 ? 0 : 1;
}
