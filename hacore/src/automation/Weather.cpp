// The local weather of /tmp/autoip.json and today's sunrise and sunset
// (sunrise/sunset algorithm of the Almanac for Computers, 1990, zenith 91°,
// in single precision on the library's own mathematics).
#include "hacore/Weather.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "hacore/frozen.h"
#include "base/text.h"

namespace {

const char* const kIcons[] = {"chanceflurries",
                              "chancerain",
                              "chancesleet",
                              "chancesnow",
                              "chancetstorms",
                              "clear",
                              "cloudy",
                              "flurries",
                              "fog",
                              "hazy",
                              "mostlycloudy",
                              "mostlysunny",
                              "nt_chanceflurries",
                              "nt_chancerain",
                              "nt_chancesleet",
                              "nt_chancesnow",
                              "nt_chancetstorms",
                              "nt_clear",
                              "nt_cloudy",
                              "nt_flurries",
                              "nt_fog",
                              "nt_hazy",
                              "nt_mostlycloudy",
                              "nt_mostlysunny",
                              "nt_partlycloudy",
                              "nt_partlysunny",
                              "nt_rain",
                              "nt_sleet",
                              "nt_snow",
                              "nt_sunny",
                              "nt_tstorms",
                              "partlycloudy",
                              "partlysunny",
                              "rain",
                              "sleet",
                              "snow",
                              "sunny",
                              "tstorms"};
static_assert(sizeof kIcons / sizeof kIcons[0] == 38, "");

// Files larger than this are not a current-conditions document.
const long kMaxFile = 4L << 20;

const char kNoSun[] = "--:--";

enum Lookup { Missing, WrongType, Found };

// The text of the value at path, cut to fit out (size bytes). Strings and
// numbers are values; any other kind gives WrongType and an empty text. A
// missing path prints the tokenizer's message.
Lookup value(json_token* tokens, const char* path, char* out, size_t size) {
    out[0] = '\0';
    const json_token* t = find_json_token(tokens, path);
    if (!t) {
        printf("\nERROR:NO Data %s field found\n\n", path);
        return Missing;
    }
    if (t->kind != JSON_TYPE_STRING && t->kind != JSON_TYPE_NUMBER) return WrongType;
    hbase::copyText(out, size, t->start, t->length < 0 ? 0 : (size_t)t->length);
    return Found;
}

// An integer member: its leading digits ("65%" gives 65), clamped to int32;
// 0 when missing or not a value.
int32_t integer(json_token* tokens, const char* path, const char* missing) {
    char text[64];
    Lookup l = value(tokens, path, text, sizeof text);
    if (l == Missing) printf("%s\n", missing);
    if (l != Found) return 0;
    long long v = strtoll(text, nullptr, 10);
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : (int32_t)v;
}

float decimal(json_token* tokens, const char* path, const char* missing) {
    char text[64];
    Lookup l = value(tokens, path, text, sizeof text);
    if (l == Missing) printf("%s\n", missing);
    return l == Found ? (float)atof(text) : 0.0f;
}

// A text member: cut to its field; left as it was when missing, empty when
// not a value.
template <size_t N>
void text(json_token* tokens, const char* path, char (&field)[N], const char* missing) {
    char buf[N];
    Lookup l = value(tokens, path, buf, N);
    if (l == Missing) {
        printf("%s\n", missing);
        return;
    }
    hbase::copyText(field, N, buf);
}

// Sun time in local time less 12 hours; *up false when the sun does not
// rise (or set) that day.
float sunTime(int year, int month, int day, float latitude, float longitude, int which, float timezone, bool* up) {
    *up = false;
    int N1 = 275 * month / 9;
    int N2 = (month + 9) / 12;
    int N3 = (int)((year - 4 * my_floor((float)(year / 4)) + 2) / 3);
    int N = N1 - N2 * (1 + N3) + day - 30;
    float lngHour = longitude / 15;
    float t = N + ((which == 0 ? 6 : 18) - lngHour) / 24;
    float M = (float)(0.9856 * t) - 3.289f;
    float L = M + (float)(1.916 * my_sin((float)(M * 0.017453292519943295))) +
              (float)(0.02 * my_sin((float)(M * 0.03490658503988659))) + 282.634f;
    if (L < 0) L += 360;
    if (L > 360) L -= 360;
    float RA = (float)(57.29577951308232 * my_atan((float)(0.91764 * my_tan((float)(L * 0.017453292519943295)))));
    if (RA < 0) RA += 360;
    if (RA > 360) RA -= 360;
    RA = (RA + my_floor(L / 90) * 90 - my_floor(RA / 90) * 90) / 15;
    float sinDec = (float)(0.39782 * my_sin((float)(L * 0.017453292519943295)));
    float cosDec = my_cos(my_asin(sinDec));
    const float zenith = 1.5882495641708374f;
    float latRad = (float)(latitude * 0.017453292519943295);
    float cosH = (my_cos(zenith) - sinDec * my_sin(latRad)) / (cosDec * my_cos(latRad));
    // Also false for NaN (a latitude of ±90°, or no number at all).
    if (!(cosH <= 1 && cosH >= -1)) return 0;
    float H =
        which == 0 ? 360 - (float)(my_acos(cosH) * 57.29577951308232) : (float)(my_acos(cosH) * 57.29577951308232);
    H = H / 15;
    float T = H + RA - (float)(0.06571 * t) - 6.622f;
    float UT = T - lngHour;
    float r = UT + (timezone - 12);
    if (r > 24) r -= 24;
    if (r < 0) r += 24;
    // Far-off offsets can leave more than one day to take away.
    for (int i = 0; i < 4 && r > 24; ++i) r -= 24;
    for (int i = 0; i < 4 && r < 0; ++i) r += 24;
    if (!(r >= 0 && r <= 24)) return 0;
    *up = true;
    return which == 0 ? r + 0.016f : r;
}

}  // namespace

Weather::Weather()
    : timezone(0),
      tempF(0),
      tempC(0),
      humidity(0),
      pressure(0),
      longitude(0),
      localTime(0),
      latitude(0),
      nextObservation(0) {
    sunrise[0] = sunset[0] = city[0] = country[0] = tzOffset[0] = tzName[0] = icon[0] = '\0';
}

Weather::Weather(const Weather& o) : Weather() {
    timezone = o.timezone;
    tempF = o.tempF;
    tempC = o.tempC;
    humidity = o.humidity;
    pressure = o.pressure;
    longitude = o.longitude;
    latitude = o.latitude;
    memcpy(sunrise, o.sunrise, sizeof sunrise);
    memcpy(sunset, o.sunset, sizeof sunset);
    memcpy(city, o.city, sizeof city);
    memcpy(country, o.country, sizeof country);
    memcpy(tzOffset, o.tzOffset, sizeof tzOffset);
    memcpy(tzName, o.tzName, sizeof tzName);
    memcpy(icon, o.icon, sizeof icon);
}

Weather::~Weather() {}

namespace {
// 1 loaded, 0 not; -1 the file cannot be opened.
int load(Weather* w, const char* path) {
    FILE* f = path ? fopen(path, "r") : nullptr;
    if (!f) return -1;
    long size = -1;
    if (fseek(f, 0, SEEK_END) == 0) size = ftell(f);
    if (size == 0) {
        printf("File is empty\n");
        fclose(f);
        return 0;
    }
    if (size < 0 || size > kMaxFile || fseek(f, 0, SEEK_SET) != 0) {
        printf("File is too large\n");
        fclose(f);
        return 0;
    }
    char* buf = static_cast<char*>(malloc(size + 1));
    if (!buf) {
        fclose(f);
        return 0;
    }
    size_t n = fread(buf, 1, size, f);
    fclose(f);
    buf[n] = '\0';
    int ok = w->SetDownloadedData(buf);
    free(buf);
    if (!ok) {
        printf("Unable to set data properly.Returning null...\n");
        return 0;
    }
    return 1;
}
}  // namespace

int Weather::RefreshData() {
    int r = load(this, "/tmp/autoip.json");
    if (r < 0) {
        printf("Time: File cannot be opened\n");
        return 0;
    }
    return r;
}

int Weather::ReadDataFromFile(char* path) {
    int r = load(this, path);
    return r < 0 ? 0 : r;
}

int Weather::SetDownloadedData(char* json) {
    if (!json) {
        printf("Got NULL buffer\n");
        return 0;
    }
    size_t len = strlen(json);
    json_token* tokens = len > 0x7FFFFFFF ? nullptr : parse_json2(json, (int)len);
    if (!tokens) {
        printf("invalid json  data\n");
        return 0;
    }
    {
        char buf[64];
        Lookup l = value(tokens, "observation_interval", buf, sizeof buf);
        if (l == Missing) printf("No next observation tag present\n");
        nextObservation = l == Found ? strtoll(buf, nullptr, 10) : 0;
    }
    const json_token* conditions = find_json_token(tokens, "conditions");
    if (!conditions || conditions->kind != JSON_TYPE_OBJECT) {
        printf("Doesn't have  conditions tag\n");
    } else {
        tempF = integer(tokens, "conditions.temp_f", "Doesn't have  temp_f tag");
        tempC = integer(tokens, "conditions.temp_c", "Doesn't have  temp_c tag");
        humidity = integer(tokens, "conditions.relative_humidity", "Doesn't have  humidity tag");
        text(tokens, "conditions.city", city, "Doesn't have  city tag");
        text(tokens, "conditions.country", country, "Doesn't have  country tag");
        text(tokens, "conditions.local_tz_offset", tzOffset, "Doesn't have  tz_offset tag");
        text(tokens, "conditions.local_tz_long", tzName, "Doesn't have  name tag");
        longitude = decimal(tokens, "conditions.longitude", "Doesn't have  longitude tag");
        latitude = decimal(tokens, "conditions.latitude", "Doesn't have  latitude tag");
        pressure = integer(tokens, "conditions.pressure_mb", "Doesn't have  \"pressure_mb\" tag");
        text(tokens, "conditions.icon", icon, "Doesn't have  weather condition tag");
        localTime = integer(tokens, "conditions.local_epoch", "Doesn't have  local_epoch tag");
        SetSunrise();
        SetSunset();
    }
    fflush(stdout);
    free(tokens);
    return 1;
}

namespace {
// "HH:MM" from a sun time in local time less 12 hours: the hour is taken
// back into the day whichever half of it the sun rises or sets in.
void clockText(float r, bool up, char* out, size_t size) {
    if (!up) {
        hbase::copyText(out, size, kNoSun);
        return;
    }
    int h = (int)r;
    int m = (int)((r - h) * 60);
    snprintf(out, size, "%02d:%02d", (h + 12) % 24, m);
}
}  // namespace

namespace {

// Sunrise (which 0) or sunset (1) of the day of `when` at the place, as
// "HH:MM" in `out`; the time zone of that day goes to *zone.
void sunText(time_t when, float latitude, float longitude, int which, float* zone, char* out, size_t size) {
    out[0] = '\0';
    struct tm local;
    if (!localtime_r(&when, &local)) {
        hbase::copyText(out, size, kNoSun);
        return;
    }
    *zone = (float)local.tm_gmtoff / 3600.0f;
    bool up;
    float r = sunTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, latitude, longitude, which, *zone, &up);
    clockText(r, up, out, size);
}

}  // namespace

int Weather::SetSunrise() {
    sunText(localTime, latitude, longitude, 0, &timezone, sunrise, sizeof sunrise);
    return 1;
}

int Weather::SetSunset() {
    sunText(localTime, latitude, longitude, 1, &timezone, sunset, sizeof sunset);
    return 1;
}

int Weather::SetSunrise(char* t) {
    hbase::copyText(sunrise, sizeof sunrise, t);
    return 1;
}

int Weather::SetSunset(char* t) {
    hbase::copyText(sunset, sizeof sunset, t);
    return 1;
}

float Weather::CalSunriseSunset(int year, int month, int day, float lat, float lng, int which) {
    bool up;
    return sunTime(year, month, day, lat, lng, which, timezone, &up);
}

int Weather::GetTemperaturinC() { return tempC; }
int Weather::GetTemperaturinF() { return tempF; }
int Weather::GetRelativeHumidity() { return humidity; }
int Weather::GetPressure() { return pressure; }
float Weather::GetTimezone() { return timezone; }
int64_t Weather::GetNextObservation() { return nextObservation; }
float Weather::GetLatitude() { return latitude; }
float Weather::GetLongitude() { return longitude; }
char* Weather::GetCity() { return city; }
char* Weather::GetCountry() { return country; }
char* Weather::GetSunrise() { return sunrise; }
char* Weather::GetSunset() { return sunset; }
char* Weather::GetTimeZoneName() { return tzName; }
char* Weather::GetTimeZoneOffset() { return tzOffset; }
char* Weather::GetWeatherConditionAsString() { return icon; }

int Weather::GetWeatherConditionTypeFromSring() {
    char name[30];
    hbase::copyText(name, sizeof name, icon);
    for (int i = 0; i < 38; ++i)
        if (strcmp(name, kIcons[i]) == 0) return i;
    return -1;
}
