/**
 * @file
 * The local weather read from /tmp/autoip.json (written by another process)
 * and today's sunrise and sunset for the reported location.
 */
#pragma once

#include <cstdint>

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/**
 * A weather reading: the "conditions" of the JSON document (temperatures,
 * humidity, pressure, place, time zone, condition icon, local time) and the
 * sunrise and sunset computed from them. Empty (zeros, "") until loaded. The
 * text getters point into the object.
 */
class Weather {
public:
    /// An empty reading.
    Weather();
    /// Copies the reading, except the local time and the next observation
    /// time, which start at 0 in the copy (assignment copies everything).
    Weather(const Weather& other);
    /// Copies everything.
    Weather& operator=(const Weather&) = default;
    /// Does nothing.
    ~Weather();

    /// Loads /tmp/autoip.json: 1 when loaded, 0 otherwise (with a message on
    /// standard output).
    int RefreshData();
    /// Loads the JSON file at `path`, as RefreshData().
    int ReadDataFromFile(char* path);
    /// Loads from a JSON text: 1 when the text parsed as JSON (missing items
    /// are reported on standard output and left as they were), 0 otherwise.
    /// Computes sunrise and sunset when the text has "conditions".
    int SetDownloadedData(char* json);

    /// Computes the sunrise text "HH:MM" (local time of the reading's day and
    /// place); a day without sunrise gives "--:--". Returns 1.
    int SetSunrise();
    /// Computes the sunset text, as SetSunrise(). Returns 1.
    int SetSunset();
    /// Stores the given sunrise text instead (cut to 29 characters). Returns
    /// 1.
    int SetSunrise(char* text);
    /// Stores the given sunset text instead (cut to 29 characters). Returns
    /// 1.
    int SetSunset(char* text);

    /// Sunrise (`which` 0) or sunset (else) of the date at the place, in the
    /// reading's time zone: local time less 12 hours, in hours; 0 when the
    /// sun does not rise or set that day.
    float CalSunriseSunset(int year, int month, int day, float latitude, float longitude, int which);

    /// "temp_c", degrees Celsius. "Temperatur" is the exported spelling.
    int GetTemperaturinC();
    /// "temp_f", degrees Fahrenheit.
    int GetTemperaturinF();
    /// "relative_humidity", percent.
    int GetRelativeHumidity();
    /// "pressure_mb", millibars.
    int GetPressure();
    /// UTC offset of the reading's day, in hours (set by the sun times).
    float GetTimezone();
    /// "observation_interval" of the document.
    int64_t GetNextObservation();
    /// "latitude", degrees.
    float GetLatitude();
    /// "longitude", degrees.
    float GetLongitude();
    /// "city".
    char* GetCity();
    /// "country".
    char* GetCountry();
    /// Sunrise text "HH:MM".
    char* GetSunrise();
    /// Sunset text "HH:MM".
    char* GetSunset();
    /// "local_tz_long", the time zone's name.
    char* GetTimeZoneName();
    /// "local_tz_offset", e.g. "+0100".
    char* GetTimeZoneOffset();
    /// "icon", the weather condition's name.
    char* GetWeatherConditionAsString();
    /// Number (0..37) of the condition icon in the library's list; -1 when
    /// unknown. "Sring" is the exported spelling, kept for compatibility.
    int GetWeatherConditionTypeFromSring();
    /// "local_epoch", seconds since the epoch.
    int32_t GetLocalTime() const { return localTime; }

private:
    float timezone;
    int32_t tempF;
    int32_t tempC;
    int32_t humidity;
    char sunrise[30];
    char sunset[30];
    char city[30];
    char country[50];
    char tzOffset[10];
    char tzName[30];
    char icon[32];
    int32_t pressure;
    float longitude;
    int32_t localTime;
    float latitude;
    int64_t nextObservation;
};

/**
 * @name Single-precision mathematics
 * The library's own approximations (polynomial and rational); the sun times
 * depend on them, so they stay as they are. Angles in radians.
 */
///@{
/// Square root by one Newton step from a bit-level estimate (approximate).
float my_sqrt(float x);
/// Truncates toward zero (the int conversion): for negative non-whole `x`
/// this is one above the true floor. Values outside the int range (and NaN)
/// come back unchanged.
float my_floor(float x);
/// Absolute value.
float my_fabs(float x);
/// Arc tangent, rational approximation.
float my_atan(float x);
/// Rounds half away from zero.
float my_rint(float x);
/// Cosine polynomial for |r| <= pi/4.
float cos_core(float r);
/// Sine polynomial for |r| <= pi/4.
float sin_core(float r);
/// Arc sine polynomial for |x| <= 0.5625.
float asin_core(float x);
/// Sine, by quadrant reduction.
float my_sin(float x);
/// Cosine, as my_sin(x + pi/2).
float my_cos(float x);
/// Arc cosine.
float my_acos(float x);
/// Arc sine, as pi/2 - my_acos(x).
float my_asin(float x);
/// Tangent, as my_sin(x) / my_cos(x).
float my_tan(float x);
///@}

#pragma GCC visibility pop
