// Periodic tick from the router's hardware timer driver (/dev/halvix_timer).
// The driver signals the registered process on every expiry; the tick
// handler runs as a signal handler, so it must only do what is safe there.
//
// Use: construct, setTimerHandler, set_period, start; stop and start may
// then alternate. One Timer per process: the driver state is process-wide.
#pragma once

class Timer {
public:
    Timer();
    ~Timer();

    // Opens the driver once per process, creating its node if it is missing.
    void openDriver();
    // Remembers the period (driver units) and sends it; 0 on success, -1 on
    // failure.
    int set_period(int period);
    // Starts the ticks; after a stop the process and the last period are
    // sent again first.
    void start();
    // Stops the ticks of the whole process.
    void stop();
    void setTimerHandler(void (*handler)(int));

    // Called with the tick's signal number; unset until setTimerHandler.
    void (*handler)(int);
};
