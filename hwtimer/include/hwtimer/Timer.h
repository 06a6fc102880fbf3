/**
 * @file
 * Periodic tick from the router's hardware timer driver (/dev/halvix_timer).
 * The driver signals the registered process on every expiry; the tick
 * handler runs as a signal handler, so it must only do what is safe there.
 *
 * Use: construct, setTimerHandler, set_period, start; stop and start may
 * then alternate. One Timer per process: the driver state is process-wide.
 */
#pragma once

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// The process's periodic timer. The tick is the driver's signal (SIGTSTP,
/// 24 on the router): until start() installs the handler, a tick would stop
/// the process. Driver failures are reported with perror; the descriptor is
/// then given up and the next Timer opens the driver afresh.
class Timer {
public:
    /// Opens the driver and registers this process with it; no handler yet.
    Timer();
    /// Stops the ticks (stop()).
    ~Timer();

    /// Opens the driver once per process, creating its node if it is missing.
    void openDriver();
    /// Remembers the period (driver units) and sends it; 0 on success, -1 on
    /// failure.
    int set_period(int period);
    /// Installs the handler and starts the ticks; after a stop the process
    /// and the last period are sent again first. Without a handler the
    /// signal is ignored (unless the application installed its own).
    void start();
    /// Stops the ticks of the whole process.
    void stop();
    /// Sets the handler start() installs for the tick signal.
    void setTimerHandler(void (*handler)(int));

    /// Called with the tick's signal number, as a signal handler; unset until
    /// setTimerHandler.
    void (*handler)(int);
};

#pragma GCC visibility pop
