// PNG pictures for the touch screen: loaded once, drawn by index through the
// LCD's picture request.
#pragma once
#include <stdint.h>

#include <vector>

class ImagePNG {
public:
    ImagePNG();
    ~ImagePNG();
    // Decodes the file; returns the picture's index (from 0 in load order),
    // or -1 when the file cannot be read.
    int loadPNG(const char* path);
    // Draws picture `index` with its top-left corner at (x, y). With `blend`
    // set, fully transparent pixels are left as they are on the panel;
    // `reserved` is unused.
    int drawPNG(int x, int y, int blend, int reserved, int index);
    int count() const { return (int)pictures.size(); }

    struct Picture {
        int width = 0, height = 0;
        std::vector<uint8_t> rgb;    // 3 bytes a pixel
        std::vector<uint8_t> alpha;  // 1 byte a pixel
        bool transparent = false;
    };
    std::vector<Picture> pictures;
};
