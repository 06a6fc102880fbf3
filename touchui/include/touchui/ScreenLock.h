/**
 * @file
 * The screen lock: inactivity counter, panel off, and the PIN pad. After
 * ScreenTime x 36 ticks without a touch the panel goes off; with the setting
 * "ScreenLock" at '1' the PIN pad is shown, and the setting "PIN" unlocks it.
 * The flags are shared between the touch library's tick and the UI thread
 * without locks.
 */
#pragma once

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

///@{
/** Lock state: panel off for inactivity; PIN pad shown; touches still to
 * swallow after a wake-up; inactivity counter (ticks); time-out setting
 * "ScreenTimeout"; digits entered on the pad (0 to 4). */
extern int locked, lockScreen, returnNext, blCnt, ScreenTime, lockPassCnt;
///@}
/// Initially true; Screen::draw() clears it.
extern bool passUnset;
/// Set by the application to let the inactivity counter run (0 at load; the
/// library only reads it).
extern "C" char cntEn;
/// The PIN entered so far: four digits and a terminator.
extern char lockPass[5];

/// The inactivity tick, called by the touch library 36 times a second (it
/// runs on the touch library's side, not the UI thread).
void slkHandle();
/// Draws the PIN pad and clears the entry.
void draw_screenLock();
/// Handles one touch on the PIN pad; on the right PIN clears the pad and
/// calls the unlock handler.
void get_screenLock_touch(int x, int y);
/// Registers the function called when the right PIN is entered.
void setLockHandler(void (*handler)());
/// True while the panel is off for inactivity.
bool isLocked();
/// True while the PIN pad is shown.
bool isLockScreen();

#pragma GCC visibility pop
