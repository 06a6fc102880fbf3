// ImagePNG: libpng decodes into RGB plus alpha; drawing sends the LCD's
// picture request (12), one run of opaque pixels at a time where the picture
// has transparent pixels.
#include "ImagePNG.h"

#include <png.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>

#include "lcddraw/libHalvixGui.h"

ImagePNG::ImagePNG() {}
ImagePNG::~ImagePNG() {}

int ImagePNG::loadPNG(const char* path) {
    png_image img;
    memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!path || !png_image_begin_read_from_file(&img, path)) {
        fprintf(stderr, "ImagePNG: cannot read %s\n", path ? path : "(null)");
        return -1;
    }
    // The panel is 320 x 240: a larger picture is refused rather than
    // allocated.
    if (img.width == 0 || img.height == 0 || img.width > 320 || img.height > 240) {
        png_image_free(&img);
        fprintf(stderr, "ImagePNG: %s: size refused\n", path);
        return -1;
    }
    img.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, rgba.data(), 0, nullptr)) {
        png_image_free(&img);
        fprintf(stderr, "ImagePNG: cannot decode %s\n", path);
        return -1;
    }
    Picture p;
    p.width = (int)img.width;
    p.height = (int)img.height;
    size_t n = (size_t)p.width * p.height;
    p.rgb.resize(n * 3);
    p.alpha.resize(n);
    for (size_t i = 0; i < n; ++i) {
        memcpy(&p.rgb[i * 3], &rgba[i * 4], 3);
        p.alpha[i] = rgba[i * 4 + 3];
        if (p.alpha[i] < 128) p.transparent = true;
    }
    pictures.push_back(std::move(p));
    return (int)pictures.size() - 1;
}

int ImagePNG::drawPNG(int x, int y, int blend, int reserved, int index) {
    if (index < 0 || index >= (int)pictures.size()) return -1;
    if (filed < 0) libHalvixGuiInit();
    const Picture& p = pictures[index];
    if (!blend || !p.transparent) {
        imageRgb.x = x;
        imageRgb.y = y;
        imageRgb.width = p.width;
        imageRgb.height = p.height;
        imageRgb.pixels = p.rgb.data();
        return ioctl(filed, LCD_DRAW_PICTURE, &imageRgb);
    }
    int rc = 0;
    for (int row = 0; row < p.height; ++row) {
        int col = 0;
        while (col < p.width) {
            while (col < p.width && p.alpha[row * p.width + col] < 128) ++col;
            int start = col;
            while (col < p.width && p.alpha[row * p.width + col] >= 128) ++col;
            if (col > start) {
                imageRgb.x = x + start;
                imageRgb.y = y + row;
                imageRgb.width = col - start;
                imageRgb.height = 1;
                imageRgb.pixels = &p.rgb[(row * p.width + start) * 3];
                rc = ioctl(filed, LCD_DRAW_PICTURE, &imageRgb);
            }
        }
    }
    return rc;
}
