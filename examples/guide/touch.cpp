// Touch toolkit: a screen with a title bar, two buttons and a label, run by
// the application's own loop that polls the pen and hands each touch to the
// screen. The first button switches the living room light; the exit cross
// ends the program.
#include <hacore/Device.h>
#include <hacore/HADevices.h>
#include <touch.h>
#include <touchui/Screen.h>

#include <cstdio>
#include <unistd.h>

namespace {

// Handlers take no arguments: what they need is at hand here.
Widget* lightButton;
bool lightOn = false;
int presses = 0;

void onLight() {
    lightOn = !lightOn;
    try {
        Device light(1);
        light.setSwitchOn(lightOn, 1);
    } catch (int) {
    }
    lightButton->setText(lightOn ? (wchar_t*)L"Light: on" : (wchar_t*)L"Light: off");
    printf("light switched %s\n", lightOn ? "on" : "off");
}

void onCount() { printf("pressed %d time(s)\n", ++presses); }

// Runs before the toolkit clears the panel and ends the process (status 0).
void onExit() {
    printf("bye\n");
    fflush(stdout);
}

}  // namespace

int main() {
    HADevices ha;
    if (!ha.initialize()) {
        fprintf(stderr, "touch: cannot reach the hub's servers\n");
        return 1;
    }

    // Declared before the screen: the screen's destructor erases the widgets
    // still in its list, so they must outlive it.
    Widget light(wType.button, 10, 60, 300, 40, 0, (wchar_t*)L"Light: off");
    Widget count(wType.buttonRight, 10, 120, 290, 40, 0, (wchar_t*)L"Count");
    Widget hint(10, 190, 300, 1, 0, 16.0f, 0, 65535, (wchar_t*)L"The cross ends the program");
    light.touchHandler = onLight;  // every touchable widget needs its handler
    count.touchHandler = onCount;
    light.next = &count;  // the application links the list
    count.previous = &light;
    count.next = &hint;
    hint.previous = &count;
    lightButton = &light;

    Screen home((wchar_t*)L"Home");
    home.widgets = &light;   // any widget of the list: the screen rewinds to the head
    home.backShown = false;  // no way back from here: the greyed back arrow
    home.exitHandler = onExit;
    home.draw();
    printf("home screen drawn\n");
    fflush(stdout);

    // The loop: getTouch() waits for the pen to lift after every touch it
    // acts on; a touch that hits nothing comes back at once.
    for (;;) {
        int x = readX(), y = readY();  // one sample: readY() gives readX()'s y
        if (x > 0 && y > 0 && x < 320 && y < 240) home.getTouch(x, y);
        usleep(5 * 1000);
    }
}
