// door-alert: switches the light on when the back door opens, and says what
// the door sensor reports, until it is stopped.
#include <cstdio>
#include <unistd.h>

#include "door_alert.h"

int main() {
    DoorAlert alert;
    if (!alert.start()) {
        fprintf(stderr, "door-alert: no door sensor in the home, or no hub\n");
        return 1;
    }
    printf("door-alert: watching device %d, light %d\n", alert.door(), alert.light());
    fflush(stdout);
    for (;;) pause();
}
