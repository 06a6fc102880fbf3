// Colour conversions of the light setters, rounding, and the record of the
// last Z-Wave dimming command.
#include "hacore/commands.h"

#include <climits>
#include <cmath>

int lightDeviceID = -1;
int sentLightValue = -1;

namespace {

// One colour component 0..1 as a byte, cut toward zero. Out-of-range inputs
// are held at 0 and 255 so that they never spill into the next component.
unsigned int toByte(double c) {
    double v = c * 255.0;
    if (!(v > 0.0)) return 0;  // also NaN
    if (v >= 255.0) return 255;
    return static_cast<unsigned int>(v);
}

}  // namespace

unsigned int convertHSVtoRGB(unsigned short hue, double sat, double val) {
    double h = hue * 360.0 / 65535.0;
    double p = (1.0 - sat) * val;
    double r, g, b;
    if (h >= 360.0) {
        r = val;
        g = p;
        b = p;
    } else {
        h /= 60.0;
        int i = static_cast<int>(h);
        double f = h - i;
        double q = (1.0 - sat * f) * val;
        double t = (1.0 - (1.0 - f) * sat) * val;
        switch (i) {
            case 0:
                r = val;
                g = t;
                b = p;
                break;
            case 1:
                r = q;
                g = val;
                b = p;
                break;
            case 2:
                r = p;
                g = val;
                b = t;
                break;
            case 3:
                r = p;
                g = q;
                b = val;
                break;
            case 4:
                r = t;
                g = p;
                b = val;
                break;
            default:
                r = val;
                g = p;
                b = q;
                break;
        }
    }
    return toByte(r) << 16 | toByte(g) << 8 | toByte(b);
}

unsigned short convertRGBtoHSV(unsigned int rgb, double* val, double* sat) {
    double r = ((rgb >> 16) & 0xff) / 255.0;
    double g = ((rgb >> 8) & 0xff) / 255.0;
    double b = (rgb & 0xff) / 255.0;
    double mx = std::fmax(r, std::fmax(g, b));
    double mn = std::fmin(r, std::fmin(g, b));
    double delta = mx - mn;
    double s = mx == 0.0 ? 0.0 : delta / mx;
    if (val) *val = mx;
    if (sat) *sat = s;
    if (s == 0.0) return 0;
    double h;
    if (mx == r)
        h = (g - b) / delta;
    else if (mx == g)
        h = 2.0 + (b - r) / delta;
    else
        h = 4.0 + (r - g) / delta;
    h *= 60.0;
    if (h < 0.0) h += 360.0;
    double out = h * 65535.0 / 360.0;
    if (out >= 65535.0) return 65535;
    return static_cast<unsigned short>(out);
}

int roundfun(float x) {
    // In double: x + 0.5 in float turns 0.49999997 into 1.
    double d = x;
    if (std::isnan(d)) return 0;
    double r = d < 0 ? d - 0.5 : d + 0.5;
    if (r >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (r <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(r);
}
