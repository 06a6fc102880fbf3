// Rules: makes a rule that switches the living room light on at 18:30 on
// weekdays, shows a trigger the library refuses, and puts the rule's time
// into the system's cron table, which starts "runRule <id>" then.
#include <hacore/Rule.h>

#include <cstdio>
#include <cstring>

int main() {
    char name[] = "Weekday evenings";
    Rules rule(name);
    if (rule.getID() == 0) {
        fprintf(stderr, "rules: the rule store cannot be opened\n");
        return 1;
    }

    RuleTrigger at;
    memset(&at, 0, sizeof at);
    at.type = RT_Time;
    at.hour = 18;
    at.minute = 30;
    at.minutes = 18 * 60 + 30;
    strcpy(at.day, "*");
    strcpy(at.month, "*");
    strcpy(at.weekday, "1-5");
    RuleTrigger late = at;
    late.hour = 24;  // out of range: refused, nothing is sent
    printf("trigger at 24:30: %s\n", rule.addTrigger(late) ? "added" : "refused");
    printf("trigger at 18:30: %s\n", rule.addTrigger(at) ? "added" : "refused");

    RuleResult on;
    memset(&on, 0, sizeof on);
    on.type = RR_Device;
    on.deviceID = 1;
    on.index = 1;
    strcpy(on.value, "true");
    printf("result: %s\n", rule.addResult(on) ? "added" : "refused");
    rule.makeValid(true);

    try {
        Rules stored(rule.getID());
        printf("rule %d \"%s\": %zu trigger(s), %zu result(s), %s\n", stored.getID(), stored.getName(),
               stored.getRuleTriggers().size(), stored.getRuleResults().size(),
               stored.isValid() ? "enabled" : "disabled");
        stored.updateCronjobs();
    } catch (int) {
        fprintf(stderr, "rules: rule %d was not stored\n", rule.getID());
        return 1;
    }

    FILE* cron = popen("crontab -l", "r");
    if (!cron) return 1;
    char line[256];
    while (fgets(line, sizeof line, cron))
        if (strstr(line, "runRule")) printf("cron: %s", line);
    return pclose(cron) == 0 ? 0 : 1;
}
