// The press feedback of every key and button: drawn pressed while the pen is
// down, drawn released once it lifts, then the touch acts.
#pragma once

#include "ImagePNG.h"
#include "touch.h"

namespace touchpress {

template <typename Pressed, typename Released>
void showPress(Pressed pressed, Released released) {
    pressed();
    waitForPenUp();
    released();
}

// A button that is a picture of a set: picture `down` while pressed, `up`
// after.
inline void showPicturePress(ImagePNG& set, int x, int y, int down, int up) {
    showPress([&] { set.drawPNG(x, y, 0, 0, down); }, [&] { set.drawPNG(x, y, 0, 0, up); });
}

}  // namespace touchpress
