// LCD drawing: a title bar, shapes, text in both fonts and a widget record,
// straight through the LCD driver (no toolkit). Colours are RGB565.
#include <lcddraw/libHalvixGui.h>

#include <cstdio>
#include <cstring>

int main() {
    if (libHalvixGuiInit() < 0) {
        perror("/dev/halvix_lcd");
        return 1;
    }
    turnOn();
    lcd_clear(0);

    fillRect(0, 0, 319, 35, 1405);  // corners inclusive
    drawTitle(L"Living room");
    drawRect(10, 50, 150, 120, 0xFFFF);
    fillCircle(230, 85, 30, 0xF800);
    drawLine(10, 130, 309, 130, 0x07E0);
    drawFontSmallBlueString(L"21.5 degrees", 12, 140);

    WidgetRecord button;  // what the toolkit's Widget draws, by hand
    memset(&button, 0, sizeof button);
    button.kind = WIDGET_BUTTON;
    button.x = 10;
    button.y = 180;
    button.width = 140;
    button.height = 40;
    button.fontSize = 16.0f;  // the small font; 24.0f is the big one
    button.textLineMode = 1;
    wcsncpy(button.label, L"Lights off", 79);
    drawWidget(button);

    int width = textWidth(L"Living room", LCD_FONT_BIG);
    printf("the title is %d pixels wide; buffer %d\n", width, getCurentBuffer());
    return width > 0 ? 0 : 1;
}
