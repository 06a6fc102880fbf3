#include "pen_script.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace panel {
namespace {

// Coordinates well beyond the panel are still a pen somewhere (the stand-in
// reports them as off the screen); times up to ten minutes.
constexpr long kMaxCoord = 10000, kMaxMs = 600000;

bool number(const std::string& word, long lo, long hi, long* v) {
    if (word.empty() || word.size() > 12) return false;
    size_t i = word[0] == '-' ? 1 : 0;
    if (i == word.size()) return false;
    for (size_t k = i; k < word.size(); ++k)
        if (word[k] < '0' || word[k] > '9') return false;
    errno = 0;
    long n = strtol(word.c_str(), nullptr, 10);
    if (errno || n < lo || n > hi) return false;
    *v = n;
    return true;
}

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> w;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) w.push_back(line.substr(start, i - start));
    }
    return w;
}

bool parseLine(const std::string& line, std::string* out) {
    std::string text = line;
    size_t hash = text.find('#');
    if (hash != std::string::npos) text.resize(hash);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::vector<std::string> w = words(text);
    if (w.empty()) return true;
    const std::string& verb = w[0];
    long x, y, ms;
    if (verb == "press" || verb == "move" || verb == "tap") {
        if (w.size() < 3 || w.size() > 4) return false;
        if (!number(w[1], -kMaxCoord, kMaxCoord, &x) || !number(w[2], -kMaxCoord, kMaxCoord, &y)) return false;
        *out += verb + " " + std::to_string(x) + " " + std::to_string(y);
        if (w.size() == 4) {
            if (!number(w[3], 0, kMaxMs, &ms)) return false;
            *out += " " + std::to_string(ms);
        }
    } else if (verb == "release") {
        if (w.size() > 2) return false;
        *out += verb;
        if (w.size() == 2) {
            if (!number(w[1], 0, kMaxMs, &ms)) return false;
            *out += " " + std::to_string(ms);
        }
    } else if (verb == "wait") {
        if (w.size() != 2 || !number(w[1], 0, kMaxMs, &ms)) return false;
        *out += verb + " " + std::to_string(ms);
    } else {
        return false;
    }
    *out += "\n";
    return true;
}

}  // namespace

bool normalisePenScript(const std::string& in, std::string* out, int* badLine) {
    std::string lines;
    size_t start = 0;
    for (int n = 1; start <= in.size(); ++n) {
        size_t end = in.find('\n', start);
        if (end == std::string::npos) end = in.size();
        const std::string line = in.substr(start, end - start);
        if (line.find('\0') != std::string::npos || !parseLine(line, &lines)) {
            *badLine = n;
            return false;
        }
        start = end + 1;
    }
    *out += lines;
    return true;
}

}  // namespace panel
