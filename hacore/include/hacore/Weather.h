// The local weather read from /tmp/autoip.json (written by another process)
// and today's sunrise and sunset for the reported location.
#pragma once

#include <cstdint>

class Weather {
public:
    Weather();
    Weather(const Weather& other);
    Weather& operator=(const Weather&) = default;
    ~Weather();

    // 1 when loaded, 0 otherwise (with a message on standard output).
    int RefreshData();  // /tmp/autoip.json
    int ReadDataFromFile(char* path);
    int SetDownloadedData(char* json);  // 1 when the text parsed as JSON

    // Compute the texts "HH:MM" (local time) from the stored data; a day
    // without sunrise or sunset gives "--:--". Return 1.
    int SetSunrise();
    int SetSunset();
    // Store the given text instead (cut to 29 characters). Return 1.
    int SetSunrise(char* text);
    int SetSunset(char* text);

    // Local time less 12 hours, in hours; which 0 sunrise, else sunset;
    // 0 when the sun does not rise or set that day.
    float CalSunriseSunset(int year, int month, int day, float latitude, float longitude, int which);

    int GetTemperaturinC();
    int GetTemperaturinF();
    int GetRelativeHumidity();
    int GetPressure();
    float GetTimezone();
    int64_t GetNextObservation();
    float GetLatitude();
    float GetLongitude();
    char* GetCity();
    char* GetCountry();
    char* GetSunrise();
    char* GetSunset();
    char* GetTimeZoneName();
    char* GetTimeZoneOffset();
    char* GetWeatherConditionAsString();
    int GetWeatherConditionTypeFromSring();
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

// The library's single-precision mathematics (polynomial and rational
// approximations); the sun times depend on them.
float my_sqrt(float x);
float my_floor(float x);
float my_fabs(float x);
float my_atan(float x);
float my_rint(float x);
float cos_core(float r);
float sin_core(float r);
float asin_core(float x);
float my_sin(float x);
float my_cos(float x);
float my_acos(float x);
float my_asin(float x);
float my_tan(float x);
