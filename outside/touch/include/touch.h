// The touch panel: pen position, pen-up wait, suspending delivery and the
// periodic inactivity handler. Reads /dev/halvix_touch.
#pragma once
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// One sample of the panel (request TOUCH_IOCTL_READ).
typedef struct TouchSample {
    int32_t x, y;
    int32_t down;  // 1 pen down, 0 up
} TouchSample;

#define TOUCH_IOCTL_READ 1    /* fills a TouchSample */
#define TOUCH_IOCTL_SUSPEND 2 /* argument 1 suspend, 0 resume */

// The current pen position; 0 when the pen is up or delivery is suspended.
// readX takes a fresh sample; readY gives the y of that sample (or takes a
// fresh one when called on its own).
int readX(void);
int readY(void);
// Blocks until the pen is up.
void waitForPenUp(void);
// 1 suspends touch delivery, 0 resumes it.
void disableTouch(int off);
// Registers the inactivity handler, called 36 times a second from a thread
// of the touch library (null stops the calls).
void setScreenLockHandler(void (*handler)(void));

#ifdef __cplusplus
}
static_assert(sizeof(TouchSample) == 12, "touch sample");
#endif
