// The demo's home screen on the virtual LCD: a title bar, a photo decoded
// from a JPEG file, widgets, text in both font sizes and a small chart,
// saved as a PNG next to the demo program.
#include <limits.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <wchar.h>

#include <string>
#include <vector>

#include "lcddraw/libHalvixGui.h"

namespace {

// A garden at dusk, made here: sky gradient, sun, hills, a house.
bool writePhoto(const char* ppm, int w, int h) {
    FILE* f = fopen(ppm, "wb");
    if (!f) return false;
    fprintf(f, "P6\n%d %d\n255\n", w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double fx = (double)x / w, fy = (double)y / h;
            double r = 250 - 90 * fy, g = 150 - 40 * fy, b = 90 + 100 * fy;
            if (hypot(fx - 0.7, fy - 0.45) < 0.12) r = 255, g = 220, b = 120;
            double hill = 0.62 + 0.07 * sin(fx * 8.0) + 0.03 * sin(fx * 21.0);
            if (fy > hill) {
                double t = 0.5 + 0.5 * sin(x * 0.5) * sin(y * 0.35);
                r = 30 + 40 * t, g = 90 + 70 * t, b = 40 + 20 * t;
            }
            bool wall = fx > 0.15 && fx < 0.4 && fy > 0.5 && fy < 0.8;
            bool roof = fy > 0.32 && fy <= 0.5 && fabs(fx - 0.275) < (fy - 0.32) * 0.9;
            if (wall) r = 230, g = 225, b = 210;
            if (roof) r = 150, g = 50, b = 40;
            if (fx > 0.22 && fx < 0.3 && fy > 0.6 && fy < 0.7) r = 250, g = 200, b = 80;  // a lit window
            unsigned char px[3] = {(unsigned char)r, (unsigned char)g, (unsigned char)b};
            fwrite(px, 1, 3, f);
        }
    return fclose(f) == 0;
}

WidgetRecord widget(int kind, int x, int y, int w, int h, const wchar_t* label) {
    WidgetRecord r;
    memset(&r, 0, sizeof r);
    r.kind = kind;
    r.x = x;
    r.y = y;
    r.width = w;
    r.height = h;
    r.fontSize = 16.0f;
    r.textLineMode = 1;
    wcsncpy(r.label, label, 79);
    return r;
}

// Where the picture goes: beside the demo program, so it outlives the run.
std::string outputPath() {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return "/tmp/halvix-home.png";
    exe[n] = 0;
    std::string dir(exe);
    dir.resize(dir.rfind('/'));
    return dir + "/halvix-home.png";
}

}  // namespace

int demoScreen() {
    printf("\n== Home screen ==\n");
    if (libHalvixGuiInit() < 0) {
        perror("/dev/halvix_lcd");
        return 1;
    }
    turnOn();
    lcd_clear(0);

    // Title bar.
    fillRect(0, 0, 319, 35, 0);
    drawLine(0, 35, 319, 35, 1405);
    drawTitle(L"Home");
    drawFontSmallBlueString(L"18:42", 270, 10);
    fillCircle(16, 17, 7, 0x07E0);  // hub online

    // A photo from a JPEG file.
    const char* ppm = "/tmp/demo-garden.ppm";
    const char* jpg = "/tmp/demo-garden.jpg";
    if (writePhoto(ppm, 150, 112)) {
        std::string cmd = std::string("cjpeg -quality 85 -outfile ") + jpg + " " + ppm;
        if (system(cmd.c_str()) == 0) drawPicture(6, 42, jpg);
    }
    drawRect(5, 41, 156, 154, 65535);
    drawTransparentRectangle(6, 134, 155, 153, 150, 0);
    drawFontSmallBlueString(L"Garden, 18:40", 12, 136);

    // Widgets.
    WidgetRecord panel = widget(WIDGET_PANEL, 164, 42, 150, 112, L"");
    drawWidget(panel);
    WidgetRecord temp = widget(WIDGET_LABEL, 172, 48, 140, 30, L"21.5\u00b0C");
    temp.fontSize = 24.0f;
    temp.colour = 65535;
    drawWidget(temp);
    drawFontSmallBlueString(L"Living room", 172, 78);
    // Today's temperatures, anti-aliased.
    int prevx = 172, prevy = 0;
    for (int i = 0; i <= 12; ++i) {
        int x = 172 + i * 11;
        int y = 140 - (int)lround(18 * (0.5 + 0.5 * sin(i * 0.55 - 1.2)));
        if (i) drawLineXWU(prevx, prevy, x, y, 0xFD20);
        prevx = x;
        prevy = y;
    }
    WidgetRecord lights = widget(WIDGET_BUTTON, 6, 162, 96, 30, L"Lights");
    lights.selected = 1;
    drawWidget(lights);
    WidgetRecord scenes = widget(WIDGET_BUTTON_RIGHT, 110, 162, 86, 30, L"Scenes");
    drawWidget(scenes);
    WidgetRecord alarm = widget(WIDGET_COLOR_BUTTON, 222, 162, 92, 30, L"Alarm");
    alarm.colour = 0xB000;
    alarm.selectedColour = 0xF800;
    alarm.textColour = 65535.0f;
    drawWidget(alarm);
    WidgetRecord away = widget(WIDGET_CHECKBOX, 6, 204, 0, 0, L"Away mode");
    away.selected = 1;
    drawWidget(away);
    drawRoundedRectangle(180, 202, 314, 232, 10, 2879);
    drawText(L"3 devices on", 180, 209, 134, 1, 0, LCD_FONT_SMALL, 65535, 1);

    std::string out = outputPath();
    std::string cmd = "lcd-png '" + out + "'";
    if (system(cmd.c_str()) != 0) {
        fprintf(stderr, "demo: cannot save the screen\n");
        return 1;
    }
    printf("home screen saved as %s\n", out.c_str());
    return 0;
}
