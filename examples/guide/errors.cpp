// Errors: what the libraries throw, and the error results of a few calls.
// Only three things throw, always an int: a missing device (its ID), a
// missing scene (0, or -33 when its entry count is lost) and a missing rule
// (0). Everything else answers with a result.
#include <hacore/Device.h>
#include <hacore/Halvix.h>
#include <hacore/Rule.h>
#include <hacore/Scene.h>
#include <hacore/Weather.h>
#include <hacore/frozen.h>

#include <cstdio>

int main() {
    try {
        Device d(4242);
    } catch (int id) {
        printf("Device(4242) threw %d\n", id);
    }
    try {
        Scene s(42);
    } catch (int code) {
        printf("Scene(42) threw %d\n", code);
    }
    try {
        Rules r(42);
    } catch (int code) {
        printf("Rules(42) threw %d\n", code);
    }

    Device none;  // ID 0: commands send nothing
    printf("setSwitchOn on an empty device: %d\n", none.setSwitchOn(true, 1));
    try {
        Device light(1);
        printf("value 99 of device 1: %s, its index type: %d\n", light.getValue(99), light.getIndexType(99));
    } catch (int) {
        printf("no device 1\n");
    }

    Halvix hub;
    char tooShort[] = "X", nowhere[] = "Nowhere";
    printf("setHalvixTimeZone(\"X\"): %d, getZone(\"Nowhere\"): %s\n", hub.setHalvixTimeZone(tooShort),
           hub.getZone(nowhere));

    Weather w;
    char missing[] = "/tmp/no-such-conditions.json";
    printf("ReadDataFromFile of a missing file: %d\n", w.ReadDataFromFile(missing));

    const char cut[] = "{\"a\": [1, 2", bad[] = "42";
    printf("parse_json: cut %d, not an object %d\n", parse_json(cut, sizeof cut - 1, nullptr, 0),
           parse_json(bad, sizeof bad - 1, nullptr, 0));
    return 0;
}
