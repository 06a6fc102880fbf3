#include "device_line.h"

#include <cerrno>
#include <cstdlib>

namespace simdevice {
namespace {

const char* const kRadios[] = {"zigbee", "zwave", "hue", "nest"};  // technologies 1..4

bool blank(char c) { return c == ' ' || c == '\t'; }

bool control(unsigned char c) { return c < 0x20 || c == 0x7f; }

// A decimal number of at most `digits` digits, no sign, within [lo, hi].
bool number(const std::string& word, long lo, long hi, long* v) {
    if (word.empty() || word.size() > 10) return false;
    for (char c : word)
        if (c < '0' || c > '9') return false;
    errno = 0;
    long long n = strtoll(word.c_str(), nullptr, 10);
    if (errno || n < lo || n > hi) return false;
    *v = (long)n;
    return true;
}

bool deviceId(const std::string& word, int* id, std::string* error) {
    long v;
    if (!number(word, 1, 2147483647L, &v)) {
        *error = "\"" + word + "\" is not a device ID";
        return false;
    }
    *id = (int)v;
    return true;
}

bool indexOf(const std::string& word, int* index, std::string* error) {
    long v;
    if (!number(word, 0, 2147483647L, &v)) {
        *error = "\"" + word + "\" is not an index";
        return false;
    }
    *index = (int)v;
    return true;
}

bool isRadio(const std::string& word) { return technologyOf(word) != 0; }

// A value as written: at most kMaxValue bytes, no tab, no control character,
// no double quote (a quoted value could not hold it).
bool valueOk(const std::string& v, std::string* error) {
    for (unsigned char c : v) {
        if (control(c)) {
            *error = "a value holds no tab or control character";
            return false;
        }
        if (c == '"') {
            *error = "a value holds no double quote";
            return false;
        }
    }
    if (v.size() > kMaxValue) {
        *error = "the value is longer than " + std::to_string(kMaxValue) + " bytes";
        return false;
    }
    return true;
}

bool onOff(const std::string& word, bool* on) {
    if (word == "on" || word == "off") {
        *on = word == "on";
        return true;
    }
    return false;
}

// Every command but set, from its words (the verb first).
bool fromWords(const std::vector<std::string>& w, Command* c, std::string* error) {
    const std::string& verb = w[0];
    const size_t n = w.size();
    if (verb == "alarm") {
        c->verb = Verb::Alarm;
        if (n < 2 || n > 4) {
            *error = "alarm takes a device, then an index and on or off if wanted";
            return false;
        }
        if (!deviceId(w[1], &c->device, error)) return false;
        size_t k = 2;
        if (k < n && !onOff(w[k], &c->on)) {
            if (!indexOf(w[k], &c->index, error)) return false;
            ++k;
        }
        if (k < n && !onOff(w[k++], &c->on)) {
            *error = "\"" + w[k - 1] + "\" is neither on nor off";
            return false;
        }
        if (k < n) {
            *error = "alarm takes a device, then an index and on or off if wanted";
            return false;
        }
        return true;
    }
    if (verb == "tamper") {
        c->verb = Verb::Tamper;
        if (n < 2 || n > 3) {
            *error = "tamper takes a device, then on or off if wanted";
            return false;
        }
        if (!deviceId(w[1], &c->device, error)) return false;
        if (n == 3 && !onOff(w[2], &c->on)) {
            *error = "\"" + w[2] + "\" is neither on nor off";
            return false;
        }
        return true;
    }
    if (verb == "battery") {
        c->verb = Verb::Battery;
        if (n != 3) {
            *error = "battery takes a device and a level (0 to 100)";
            return false;
        }
        if (!deviceId(w[1], &c->device, error)) return false;
        long v;
        if (!number(w[2], 0, 100, &v)) {
            *error = "\"" + w[2] + "\" is not a battery level (0 to 100)";
            return false;
        }
        c->percent = (int)v;
        return true;
    }
    if (verb == "unreachable" || verb == "back") {
        c->verb = verb == "back" ? Verb::Back : Verb::Unreachable;
        if (n != 2) {
            *error = verb + " takes a device or a radio (zwave, zigbee, hue, nest)";
            return false;
        }
        if (isRadio(w[1])) {
            c->radio = w[1];
            return true;
        }
        long v;
        if (!number(w[1], 1, 2147483647L, &v)) {
            *error = "\"" + w[1] + "\" is not a device ID or a radio (zwave, zigbee, hue, nest)";
            return false;
        }
        c->device = (int)v;
        return true;
    }
    if (verb == "button") {
        c->verb = Verb::Button;
        if (n != 2) {
            *error = "button takes a radio (zwave, zigbee, hue, nest)";
            return false;
        }
        if (!isRadio(w[1])) {
            *error = "\"" + w[1] + "\" is not a radio (zwave, zigbee, hue, nest)";
            return false;
        }
        c->radio = w[1];
        return true;
    }
    if (verb == "wait") {
        c->verb = Verb::Wait;
        if (n != 2 || !number(w[1], 0, kMaxWaitMs, &c->ms)) {
            *error = "wait takes a time in ms (0 to " + std::to_string(kMaxWaitMs) + ")";
            return false;
        }
        return true;
    }
    *error = "unknown command \"" + verb + "\" (set, alarm, tamper, battery, unreachable, back, button, wait)";
    return false;
}

// The words of a text and where each starts.
std::vector<std::string> words(const std::string& text, std::vector<size_t>* starts) {
    std::vector<std::string> w;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && blank(text[i])) ++i;
        size_t start = i;
        while (i < text.size() && !blank(text[i])) ++i;
        if (i > start) {
            w.push_back(text.substr(start, i - start));
            if (starts) starts->push_back(start);
        }
    }
    return w;
}

}  // namespace

bool operator==(const Command& a, const Command& b) {
    return a.verb == b.verb && a.device == b.device && a.radio == b.radio && a.index == b.index && a.value == b.value &&
           a.on == b.on && a.percent == b.percent && a.ms == b.ms;
}

std::string radioOf(int technology) { return technology >= 1 && technology <= 4 ? kRadios[technology - 1] : ""; }

int technologyOf(const std::string& radio) {
    for (int t = 1; t <= 4; ++t)
        if (radio == kRadios[t - 1]) return t;
    return 0;
}

bool parseLine(const std::string& line, Command* out, bool* empty, std::string* error) {
    std::string text = line;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    // A "#" outside quotes starts a comment.
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (control((unsigned char)text[i]) && text[i] != '\t') {
            *error = "a line holds no control character";
            return false;
        }
        if (text[i] == '"') quoted = !quoted;
        if (text[i] == '#' && !quoted) {
            text.resize(i);
            break;
        }
    }
    if (quoted) {
        *error = "a quote is not closed";
        return false;
    }
    std::vector<size_t> starts;
    std::vector<std::string> w = words(text, &starts);
    *empty = w.empty();
    if (w.empty()) return true;
    Command c;
    if (w[0] != "set") {
        for (const std::string& word : w)
            if (word.find('"') != std::string::npos) {
                *error = "only a value may be quoted";
                return false;
            }
        if (!fromWords(w, &c, error)) return false;
        *out = c;
        return true;
    }
    c.verb = Verb::Set;
    if (w.size() < 4) {
        *error = "set takes a device, an index and a value";
        return false;
    }
    if (!deviceId(w[1], &c.device, error) || !indexOf(w[2], &c.index, error)) return false;
    std::string value = text.substr(starts[3]);
    while (!value.empty() && blank(value.back())) value.pop_back();
    if (value[0] == '"') {
        size_t close = value.find('"', 1);
        if (close != value.size() - 1) {
            *error = "a value in quotes ends the line";
            return false;
        }
        value = value.substr(1, close - 1);
    }
    if (!valueOk(value, error)) return false;
    c.value = value;
    *out = c;
    return true;
}

bool parseArgs(const std::vector<std::string>& args, Command* out, std::string* error) {
    if (args.empty()) {
        *error = "no command";
        return false;
    }
    Command c;
    if (args[0] == "set") {
        c.verb = Verb::Set;
        if (args.size() < 4) {
            *error = "set takes a device, an index and a value";
            return false;
        }
        if (!deviceId(args[1], &c.device, error) || !indexOf(args[2], &c.index, error)) return false;
        for (size_t i = 3; i < args.size(); ++i) c.value += (i > 3 ? " " : "") + args[i];
        if (!valueOk(c.value, error)) return false;
        *out = c;
        return true;
    }
    for (const std::string& a : args) {
        std::vector<std::string> w = words(a, nullptr);
        if (w.size() != 1 || w[0] != a || a.find_first_of("#\"") != std::string::npos) {
            *error = "\"" + a + "\" is not a word of a command";
            return false;
        }
        for (unsigned char ch : a)
            if (control(ch)) {
                *error = "a command holds no control character";
                return false;
            }
    }
    if (!fromWords(args, &c, error)) return false;
    *out = c;
    return true;
}

std::string formatLine(const Command& c) {
    const std::string target = c.device ? std::to_string(c.device) : c.radio;
    switch (c.verb) {
        case Verb::Set: {
            const std::string& v = c.value;
            bool quote = v.empty() || blank(v.front()) || blank(v.back()) || v.find('#') != std::string::npos;
            return "set " + std::to_string(c.device) + " " + std::to_string(c.index) + " " +
                   (quote ? "\"" + v + "\"" : v);
        }
        case Verb::Alarm:
            return "alarm " + target + (c.index >= 0 ? " " + std::to_string(c.index) : "") + (c.on ? "" : " off");
        case Verb::Tamper:
            return "tamper " + target + (c.on ? "" : " off");
        case Verb::Battery:
            return "battery " + target + " " + std::to_string(c.percent);
        case Verb::Unreachable:
            return "unreachable " + target;
        case Verb::Back:
            return "back " + target;
        case Verb::Button:
            return "button " + c.radio;
        case Verb::Wait:
            return "wait " + std::to_string(c.ms);
    }
    return "";
}

bool parseScript(const std::string& text, std::vector<Timed>* out, int* badLine, std::string* error) {
    std::vector<Timed> lines;
    long long at = 0;
    size_t start = 0;
    for (int n = 1; start <= text.size(); ++n) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        Command c;
        bool empty = false;
        if (!parseLine(text.substr(start, end - start), &c, &empty, error)) {
            *badLine = n;
            return false;
        }
        if (!empty) {
            if (c.verb == Verb::Wait)
                at += c.ms;
            else
                lines.push_back({at, n, c});
        }
        start = end + 1;
    }
    *out = std::move(lines);
    return true;
}

}  // namespace simdevice
