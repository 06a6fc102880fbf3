// Weather and sun times: reads the conditions another process downloads to
// /tmp/autoip.json and today's sunrise and sunset, then schedules the home's
// sunrise and sunset rules in the cron table.
#include <hacore/Halvix.h>
#include <hacore/Rule.h>
#include <hacore/Weather.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

int main() {
    // Sunrise and sunset are given in the process's local time zone: run in
    // the hub's (its TZ setting), so that they are the home's clock times.
    Halvix hub;
    char tz[180] = "";
    hub.getHalvixTimeZone(tz);
    if (tz[0]) setenv("TZ", tz, 1);
    tzset();

    Weather w;
    if (!w.RefreshData()) {
        fprintf(stderr, "weather: no readable /tmp/autoip.json\n");
        return 1;
    }
    printf("%s, %s: %s (condition %d), %d C, humidity %d%%\n", w.GetCity(), w.GetCountry(),
           w.GetWeatherConditionAsString(), w.GetWeatherConditionTypeFromSring(), w.GetTemperaturinC(),
           w.GetRelativeHumidity());
    printf("sunrise %s, sunset %s (UTC%+.1f h)\n", w.GetSunrise(), w.GetSunset(), w.GetTimezone());

    char riseH[8] = "", riseM[8] = "", setH[8] = "", setM[8] = "";
    if (sscanf(w.GetSunrise(), "%7[0-9]:%7[0-9]", riseH, riseM) != 2 ||
        sscanf(w.GetSunset(), "%7[0-9]:%7[0-9]", setH, setM) != 2) {
        printf("no sunrise or sunset today\n");
        return 0;
    }
    RuleList rules;
    try {
        rules.populate();
    } catch (int) {
        fprintf(stderr, "weather: a rule cannot be read\n");
        return 1;
    }
    // Each rule whose first weather trigger is a sunrise (kind 0) or sunset
    // (kind 1) gets a daily line at that time, moved by its offset.
    for (Rules& r : rules.rules) {
        r.updateWeatherCronjob(riseM, riseH, 0);
        r.updateWeatherCronjob(setM, setH, 1);
    }
    return system("crontab -l | grep runRule") == 0 ? 0 : 1;
}
