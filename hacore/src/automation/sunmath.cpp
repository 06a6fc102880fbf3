// The library's single-precision mathematics. The sun times of every hub
// must come out the same, so these are written exactly as the formulas go:
// float variables, double constants where the formula has them (the
// expression is then evaluated in double and rounded once), and no fused
// multiply-add (this file is built with -ffp-contract=off).
#include <cstdint>
#include <cstring>

#include "hacore/Weather.h"

float my_sqrt(float x) {
    uint32_t i;
    memcpy(&i, &x, sizeof i);
    i = 0x5F3759DFu - (i >> 1);
    float y;
    memcpy(&y, &i, sizeof y);
    y = y * (1.5f - (0.5f * x) * y * y);
    return x * y;
}

float my_floor(float x) {
    // Beyond the int range every float is whole already (and NaN stays NaN);
    // the conversion would be undefined there.
    if (!(x > -2147483648.0f && x < 2147483648.0f)) return x;
    return (float)(int32_t)x;
}

float my_fabs(float x) {
    if (x < 0) {
        uint32_t i;
        memcpy(&i, &x, sizeof i);
        i &= 0x7FFFFFFFu;
        memcpy(&x, &i, sizeof x);
    }
    return x;
}

float my_rint(float x) {
    float r = my_floor(my_fabs(x) + 0.5f);
    return x < 0 ? -r : r;
}

float my_atan(float x) {
    if (x > 0) {
        float x2 = x * x;
        return (float)((1.5707963267948966 * (0.596227 * x + x2)) / (x2 + 1.192454 * x + 1));
    }
    if (x < 0) return -my_atan(-x);
    return 0;
}

float sin_core(float r) {
    float z = r * r;
    return (float)(r + r * z *
                           (-0.16666666640797048 + 0.008333329304842563 * z +
                            (-0.00019839312269456257 + 2.718121627547973e-06 * z) * z * z));
}

float cos_core(float r) {
    float z = r * r;
    float z2 = z * z;
    float z4 = z2 * z2;
    return (float)((z * -2.723637043978771e-07 + 2.4799852696610628e-05) * z4 +
                   (z * -0.0013888885054799695 + 0.04166666663694368) * z2 + (z * -0.49999999999963024 + 1));
}

float asin_core(float x) {
    float z = x * x;
    return (float)(x + x * z *
                           (0.16666666300567365 + 0.07500036403413413 * z + 0.044630538556294605 * z * z +
                            0.030582043602875735 * z * z * z + 0.020596336163223834 * z * z * z * z +
                            0.026334281471361822 * z * z * z * z * z - 0.0112262167625766 * z * z * z * z * z * z +
                            0.04533422054713205 * z * z * z * z * z * z * z));
}

float my_sin(float x) {
    float n = my_rint((float)(x * 0.6366197723675814));
    float r = (float)(x - n * 1.5707963267923333);
    r = (float)(r - n * 2.563344151594519e-12);
    // Only the low two bits of the quadrant count matter; n is whole.
    uint32_t q = 0;
    if (n > -9.0e18f && n < 9.0e18f) q = (uint32_t)(int64_t)n;
    float result = (q & 1) ? cos_core(r) : sin_core(r);
    return (q & 2) ? -result : result;
}

float my_cos(float x) { return my_sin((float)(x + 1.5707963267948966)); }

float my_tan(float x) { return my_sin(x) / my_cos(x); }

float my_acos(float x) {
    float a = my_fabs(x);
    float r;
    if (a > 0.5625f)
        r = 2 * asin_core(my_sqrt((1 - a) * 0.5f));
    else
        r = (float)(1.5707963267948966 - asin_core(a));
    if (x < 0) r = (float)(3.141592653589793 - r);
    return r;
}

float my_asin(float x) { return (float)(1.5707963267948966 - my_acos(x)); }
