/**
 * @file
 * Free functions of the device commands: colour conversions for the light
 * setters and the record of the last Z-Wave dimming command.
 */
#pragma once

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// HSV to 0xRRGGBB. `hue` runs 0..65535 for the full circle; `sat` and `val`
/// 0..1. Components outside 0..255 (sat or val outside 0..1) are held at the
/// edge.
unsigned int convertHSVtoRGB(unsigned short hue, double sat, double val);

/// 0xRRGGBB to a hue 0..65535; value and saturation (0..1) are stored where
/// the pointers are not null.
unsigned short convertRGBtoHSV(unsigned int rgb, double* val, double* sat);

/// Rounds half away from zero. Values beyond the int range are held at its
/// edges; NaN gives 0.
int roundfun(float x);

/// Device ID of the last Z-Wave dimming command, -1 when none is pending.
/// Device::setSwitchLevel() writes it with ::sentLightValue;
/// Device::getLastNotificationIndexValue() replaces the next notified value
/// of that device with the level and resets both.
extern int lightDeviceID;
/// Level sent by the last Z-Wave dimming command, -1 when none is pending
/// (see ::lightDeviceID).
extern int sentLightValue;

#pragma GCC visibility pop
