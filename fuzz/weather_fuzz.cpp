// Current-conditions documents as the weather download may leave them in
// /tmp/autoip.json: parsed by Weather::SetDownloadedData, sun times
// computed for whatever location and time they hold. Every text must end
// inside its field and every sun time must be "HH:MM" or "--:--".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hacore/Weather.h"

namespace {

void checkText(const char* s, size_t field) {
    if (strnlen(s, field) >= field) abort();
}

void checkSunTime(const char* s) {
    size_t n = strnlen(s, 30);
    if (n == 0) return;  // never computed (no conditions)
    if (strcmp(s, "--:--") == 0) return;
    if (n != 5 || s[2] != ':') abort();
    int h = atoi(s), m = atoi(s + 3);
    if (h < 0 || h > 23 || m < 0 || m > 59) abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "UTC", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);  // terminated copy
    Weather w;
    w.SetDownloadedData(&text[0]);
    checkText(w.GetCity(), 30);
    checkText(w.GetCountry(), 50);
    checkText(w.GetTimeZoneOffset(), 10);
    checkText(w.GetTimeZoneName(), 30);
    checkText(w.GetWeatherConditionAsString(), 32);
    checkSunTime(w.GetSunrise());
    checkSunTime(w.GetSunset());
    int code = w.GetWeatherConditionTypeFromSring();
    if (code < -1 || code > 37) abort();
    Weather copy(w);
    if (copy.GetLocalTime() != 0) abort();
    return 0;
}
