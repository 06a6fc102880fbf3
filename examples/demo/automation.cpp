// The demo's automation stage: the home's scenes and rules, an evening
// scene activated (with the notifications it causes), the rules' cron
// lines, and the weather with today's sunrise and sunset at the home.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "demo_util.h"
#include "hacore/HADevices.h"
#include "hacore/Halvix.h"
#include "hacore/Rule.h"
#include "hacore/Scene.h"
#include "hacore/Weather.h"
#include "hacore/vocab.h"

namespace {

demo::Notifications g_heard;

void onNotification(Device* d) { g_heard.heard(d); }

std::string deviceName(int id) {
    if (id == 0) return "hub";
    try {
        Device d(id);
        return d.getDeviceName();
    } catch (int) {
        return "device " + std::to_string(id);
    }
}

void describeTrigger(const RuleTrigger& t) {
    switch (t.type) {
        case RT_Device:
            printf("    when %s [%d] is %s", deviceName(t.deviceID).c_str(), t.index, t.value);
            break;
        case RT_Time:
            printf("    at %02d:%02d, days %s, months %s, weekdays %s", t.hour, t.minute, t.day, t.month, t.weekday);
            break;
        case RT_Weather: {
            char kind[32];
            getWeatherTypeAsString((WeatherType)t.weatherKind, kind);
            printf("    at %s, offset %s minutes", kind, t.weatherValue);
            break;
        }
        default:
            printf("    trigger of kind %d", t.type);
    }
    if (t.duration) printf(" for %d s", t.duration);
    printf("\n");
}

void describeResult(const RuleResult& r) {
    if (r.type == RR_Device)
        printf("    then set %s [%d] to %s", deviceName(r.deviceID).c_str(), r.index, r.value);
    else if (r.type == RR_Scene)
        printf("    then activate scene %d", r.sceneID);
    else
        printf("    then result of kind %d", r.type);
    if (r.preDelay) printf(" after %d s", r.preDelay);
    printf("\n");
}

}  // namespace

bool demoAutomation(HADevices& ha) {
    printf("\n== Scenes ==\n");
    ScenesList scenes;
    int evening = 0, expected = 0;
    try {
        scenes.Populate();
    } catch (int e) {
        printf("scene store damaged (%d)\n", e);
    }
    for (Scene& s : scenes.scenes) {
        printf("scene %d \"%s\"%s%s\n", s.getID(), s.getSceneName(), s.getState() ? ", active" : "",
               s.getVoiceCompatible() ? ", voice" : "");
        for (const SceneEntry& e : s.getSceneEntries()) {
            printf("    %-20s [%d] -> %-6s%s\n", deviceName(e.deviceID).c_str(), e.index, e.value,
                   e.deviceID == 0 && e.index == 1 ? " (hub mode)"
                   : e.valid                       ? ""
                                                   : " (skipped)");
            if (strcmp(s.getSceneName(), "Evening") == 0 && e.valid && e.deviceID != 0) ++expected;
        }
        if (strcmp(s.getSceneName(), "Evening") == 0) evening = s.getID();
    }

    printf("\n== Rules ==\n");
    RuleList rules;
    try {
        rules.populate();
    } catch (int e) {
        printf("rule store damaged (%d)\n", e);
    }
    for (Rules& r : rules.rules) {
        printf("rule %d \"%s\"%s\n", r.getID(), r.getName(), r.isValid() ? "" : " (disabled)");
        for (const RuleTrigger& t : r.getRuleTriggers()) describeTrigger(t);
        for (const RuleResult& x : r.getRuleResults()) describeResult(x);
    }

    printf("\n== Evening ==\n");
    if (!evening) {
        printf("no evening scene in the home\n");
        return false;
    }
    ha.genericCallback(onNotification);
    Scene scene(evening);
    printf("activating \"%s\"\n", scene.getSceneName());
    fflush(stdout);
    scene.activate();
    g_heard.waitFor(expected);
    char mode[1024] = "";
    Halvix hub;
    hub.getHalvixProDB(HUC_HalvixMode, mode);
    printf("hub mode now: %s\n", mode);

    printf("\n== Weather ==\n");
    // Sun times are in the process's local time: the demo runs in the
    // home's zone, as the conditions file names it.
    Weather w;
    if (!w.RefreshData()) return false;
    if (w.GetTimeZoneName()[0]) {
        setenv("TZ", (std::string(":") + w.GetTimeZoneName()).c_str(), 1);
        tzset();
        if (!w.RefreshData()) return false;
    }
    printf("%s, %s (%s, UTC%s): %s, %d °C / %d °F, humidity %d%%, %d mbar\n", w.GetCity(), w.GetCountry(),
           w.GetTimeZoneName(), w.GetTimeZoneOffset(), w.GetWeatherConditionAsString(), w.GetTemperaturinC(),
           w.GetTemperaturinF(), w.GetRelativeHumidity(), w.GetPressure());
    printf("at %.4f, %.4f: sunrise %s, sunset %s (hub time zone %+.1f h)\n", w.GetLatitude(), w.GetLongitude(),
           w.GetSunrise(), w.GetSunset(), w.GetTimezone());

    printf("\n== Cron ==\n");
    char sunriseH[8] = "", sunriseM[8] = "", sunsetH[8] = "", sunsetM[8] = "";
    sscanf(w.GetSunrise(), "%7[0-9]:%7[0-9]", sunriseH, sunriseM);
    sscanf(w.GetSunset(), "%7[0-9]:%7[0-9]", sunsetH, sunsetM);
    fflush(stdout);
    for (Rules& r : rules.rules) {
        r.updateCronjobs();
        r.updateWeatherCronjob(sunriseM, sunriseH, 0);
        r.updateWeatherCronjob(sunsetM, sunsetH, 1);
    }
    fflush(stdout);
    printf("crontab -l:\n");
    fflush(stdout);
    if (system("crontab -l | sed 's/^/    /'") != 0) return false;
    return g_heard.count() >= expected;
}
