// The screen lock: inactivity counter, panel off, and the PIN pad.
#pragma once

extern int locked, lockScreen, returnNext, blCnt, ScreenTime, lockPassCnt;
extern bool passUnset;
// Set by the application to let the inactivity counter run.
extern "C" char cntEn;
extern char lockPass[5];

// The inactivity tick, called by the touch library 36 times a second.
void slkHandle();
void draw_screenLock();
void get_screenLock_touch(int x, int y);
void setLockHandler(void (*handler)());
bool isLocked();
bool isLockScreen();
