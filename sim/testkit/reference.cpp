#include "reference.h"

#include <fcntl.h>
#include <png.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

#include <vector>

#include "testkit.h"

namespace testkit {

namespace {

constexpr int kWidth = 320, kHeight = 240;
constexpr size_t kPixels = kWidth * kHeight;
constexpr uint16_t kRed = 0xF800;

bool updating() {
    const char* v = getenv("HALVIX_UPDATE_REFERENCES");
    return v && *v && strcmp(v, "0") != 0;
}

std::string shellWord(const std::string& s) { return "'" + s + "'"; }

// The first word of sha256sum's answer; empty when the file cannot be read.
std::string sha256(const std::string& path) {
    std::string out = run("sha256sum " + shellWord(path) + " 2>/dev/null");
    size_t end = out.find(' ');
    return end == 64 ? out.substr(0, end) : "";
}

// Writes the pixels through lcd-png, the one PNG writer of the virtual LCD:
// they become the screen of a frame-buffer file of their own.
bool writePng(const std::vector<uint16_t>& pixels, const std::string& path) {
    std::string fb(64 + 5 * kPixels * 2, '\0');
    const uint32_t header[6] = {0x44434C48, 1, kWidth, kHeight, 4, 1};
    memcpy(&fb[0], header, sizeof header);
    memcpy(&fb[64], pixels.data(), kPixels * 2);
    std::string fbPath = path + ".fb";
    writeFile(fbPath, fb);
    std::string out = run("/sim/bin/lcd-png --fb " + shellWord(fbPath) + " " + shellWord(path) + " 2>&1 && echo ok");
    removeFile(fbPath);
    return out.size() >= 3 && out.compare(out.size() - 3, 3, "ok\n") == 0;
}

// The picture as RGB565: lcd-png widens each channel by repeating its top
// bits, so the narrowing here gives the screen's pixels back exactly.
bool readPng(const std::string& path, std::vector<uint16_t>& pixels, std::string& why) {
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        why = image.message;
        return false;
    }
    if (image.width != (png_uint_32)kWidth || image.height != (png_uint_32)kHeight) {
        png_image_free(&image);
        why = "not " + std::to_string(kWidth) + " x " + std::to_string(kHeight);
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        why = image.message;
        png_image_free(&image);
        return false;
    }
    pixels.resize(kPixels);
    for (size_t i = 0; i < kPixels; ++i)
        pixels[i] = (uint16_t)((rgb[3 * i] >> 3) << 11 | (rgb[3 * i + 1] >> 2) << 5 | rgb[3 * i + 2] >> 3);
    return true;
}

// The package and version that installed the font, e.g. "fonts-dejavu-core
// 2.37-6"; empty where dpkg does not know it.
std::string fontPackage() {
    std::string out = run(std::string("p=$(dpkg -S ") + kLcdFont +
                          " 2>/dev/null | cut -d: -f1) && [ -n \"$p\" ] && "
                          "dpkg-query -W -f='${Package} ${Version}' \"$p\" 2>/dev/null");
    return out.find('\n') == std::string::npos ? out : "";
}

// The record: sha256sum's line for the font, then the package it came from.
std::string fontRecord(const std::string& sum) { return sum + "  " + kLcdFont + "\n" + "# " + fontPackage() + "\n"; }

// Empty when the renderer's font is the one the references were drawn with.
std::string fontChange(const std::string& recordFile) {
    std::string record = readFile(recordFile);
    std::string recorded = record.substr(0, record.find(' '));
    std::string now = sha256(kLcdFont);
    if (now.empty()) return std::string("the font ") + kLcdFont + " the LCD draws text with cannot be read";
    if (recorded.empty()) return "no font checksum recorded in " + recordFile;
    if (now == recorded) return "";
    size_t package = record.find("\n# ");
    std::string was = package == std::string::npos ? "" : record.substr(package + 3);
    was = was.substr(0, was.find('\n'));
    return std::string("the font ") + kLcdFont + " is not the one the references were drawn with: sha256 " + now +
           " (" + fontPackage() + "), expected " + recorded + " (" + was + ", recorded in " + recordFile +
           "); install that font or rewrite the references (touchui/tests/update-references.sh)";
}

}  // namespace

LcdView lcdSnapshotLocked() {
    int fd = open("/sim/state/lcd.fb", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) flock(fd, LOCK_SH);
    LcdView v = lcdSnapshot();
    if (fd >= 0) close(fd);
    return v;
}

::testing::AssertionResult ScreenReferences::matches(const std::string& name) const {
    return matches(name, lcdSnapshotLocked());
}

::testing::AssertionResult ScreenReferences::matches(const std::string& name, const LcdView& view) const {
    if (view.screen.size() != kPixels) return ::testing::AssertionFailure() << name << ": the LCD has no frame buffer";
    const std::string reference = references + "/" + name + ".png", fontFile = references + "/font.sha256";
    if (updating()) {
        std::string font = sha256(kLcdFont);
        if (font.empty()) return ::testing::AssertionFailure() << "cannot read the font " << kLcdFont;
        writeFile(fontFile, fontRecord(font));
        if (!writePng(view.screen, reference)) return ::testing::AssertionFailure() << "cannot write " << reference;
        printf("wrote %s\n", reference.c_str());
        return ::testing::AssertionSuccess();
    }
    std::string font = fontChange(fontFile);
    std::vector<uint16_t> want;
    std::string why;
    if (!readPng(reference, want, why))
        return ::testing::AssertionFailure()
               << "cannot read the reference " << reference << ": " << why << (font.empty() ? "" : "; ") << font;
    std::vector<uint16_t> diff(kPixels);
    int differing = 0;
    for (size_t i = 0; i < kPixels; ++i) {
        bool same = view.screen[i] == want[i];
        differing += !same;
        // Each channel halved.
        diff[i] = same ? (uint16_t)((view.screen[i] >> 1) & 0x7BEF) : kRed;
    }
    if (differing == 0 && font.empty()) return ::testing::AssertionSuccess();
    ::testing::AssertionResult r = ::testing::AssertionFailure();
    if (!font.empty()) r << font << "\n";
    r << name << ": " << differing << " of " << kPixels << " pixels differ from " << reference;
    if (differing == 0) return r;
    run("mkdir -p " + shellWord(output));
    const std::string actual = output + "/" + name + ".actual.png", diffPath = output + "/" + name + ".diff.png";
    bool written = writePng(view.screen, actual) && writePng(diff, diffPath);
    if (written)
        r << "\n  actual: " << actual << "\n  difference (red): " << diffPath;
    else
        r << "\n  (cannot write " << actual << ")";
    return r;
}

}  // namespace testkit
