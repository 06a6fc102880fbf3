#include "lcdview.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <sstream>

#include "testkit.h"

namespace testkit {

int LcdView::count(int x0, int y0, int x1, int y1, uint16_t colour) const {
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (x >= 0 && y >= 0 && x < 320 && y < 240 && at(x, y) == colour) ++n;
    return n;
}

int LcdView::countNot(int x0, int y0, int x1, int y1, uint16_t colour) const {
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (x >= 0 && y >= 0 && x < 320 && y < 240 && at(x, y) != colour) ++n;
    return n;
}

LcdView lcdSnapshot() {
    LcdView v;
    std::string data = readFile("/sim/state/lcd.fb");
    const size_t plane = 320 * 240 * 2;
    if (data.size() < 64 + plane) return v;
    uint32_t w[16];
    memcpy(w, data.data(), sizeof w);
    v.magic = w[0];
    v.version = w[1];
    v.width = w[2];
    v.height = w[3];
    v.buffers = w[4];
    v.panel = w[5];
    v.panelChanges = w[6];
    v.fades = w[7];
    v.alphaEnabled = w[8];
    v.alpha = w[9];
    v.current = (int32_t)w[10];
    v.shift = (int32_t)w[11];
    v.frame = w[12];
    v.modals = w[13];
    v.screen.resize(320 * 240);
    memcpy(v.screen.data(), data.data() + 64, plane);
    for (uint32_t b = 0; b < v.buffers && data.size() >= 64 + (b + 2) * plane; ++b) {
        std::vector<uint16_t> p(320 * 240);
        memcpy(p.data(), data.data() + 64 + (b + 1) * plane, plane);
        v.offscreen.push_back(p);
    }
    return v;
}

int32_t LcdRequest::word(size_t i) const {
    int32_t v = 0;
    if (bytes.size() >= (i + 1) * 4) memcpy(&v, bytes.data() + i * 4, 4);
    return v;
}

float LcdRequest::floatAt(size_t off) const {
    float f = 0;
    if (bytes.size() >= off + 4) memcpy(&f, bytes.data() + off, 4);
    return f;
}

std::vector<LcdRequest> lcdRequests() {
    std::vector<LcdRequest> out;
    for (const std::string& line : logLines("lcd")) {
        LcdRequest r;
        std::string rest = line;
        const std::string failed = " failed";
        if (rest.size() >= failed.size() && rest.compare(rest.size() - failed.size(), failed.size(), failed) == 0) {
            r.failed = true;
            rest.resize(rest.size() - failed.size());
        }
        size_t t = rest.find(" text=");
        if (t != std::string::npos) {
            r.text = rest.substr(t + 6);
            rest.resize(t);
        }
        std::istringstream in(rest);
        std::string tok;
        in >> r.request;
        if (in >> tok) {
            if (tok.rfind("value=", 0) == 0) {
                r.hasValue = true;
                r.value = strtol(tok.c_str() + 6, nullptr, 10);
            } else {
                for (size_t i = 0; i + 1 < tok.size(); i += 2)
                    r.bytes.push_back((uint8_t)strtoul(tok.substr(i, 2).c_str(), nullptr, 16));
            }
        }
        out.push_back(r);
    }
    return out;
}

}  // namespace testkit
