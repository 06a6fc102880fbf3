// The physical side of the virtual home, kept by the HA server stand-in: a
// control socket (/sim/state/servers/devices.sock, a Unix stream socket, so
// that the browser panel outside the sandbox reaches it through the state
// directory) where sim-device and the panel say what a device does. Each
// request is one line of sim/device/device_line.h, or "check LINE" (checked
// against the home, not carried out), "list" or "list json"; the answer is
// "ok" or "refused" on its first line, then the listing, what the clients
// were told, or why the line was refused.
//
// A device's report goes the way a radio's report does: the store is
// written and every client notified (storeValue), so an application hears
// it exactly as it hears its device answer a command.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <poll.h>
#include <strings.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "../device/device_line.h"
#include "hacore/index.h"
#include "hacore/vocab.h"
#include "hub.h"

namespace hub {
namespace {

using simdevice::Command;
using simdevice::Verb;

std::string text(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }
#define TEXT(f) text(f, sizeof f)

// ---- what the index types say ----

std::vector<std::string> fieldsOf(const std::string& row) { return split(row, ","); }

std::string catalogueRow(int type, int choice) {
    char out[kIndexRowSize + 1] = "";
    IndexDetails((IndexType)type, out, choice);
    return text(out, sizeof out);
}

struct Choice {
    std::string value, label;
};

// The values the catalogue lists for the type, with their labels.
std::vector<Choice> catalogueValues(int type) {
    std::vector<Choice> out;
    if (type < kIndexCatalogueFirst || type > kIndexCatalogueLast) return out;
    std::vector<std::string> d = fieldsOf(catalogueRow(type, 0));
    int n = d.size() == 8 ? atoi(d[7].c_str()) : 0;
    for (int k = 1; k <= n && k <= 32; ++k) {
        std::vector<std::string> row = fieldsOf(catalogueRow(type, k));
        if (row.size() >= 2) out.push_back({row[0], row[1]});
    }
    return out;
}

bool isSensor(int type) {
    if (type < kIndexCatalogueFirst || type > kIndexCatalogueLast) return false;
    std::vector<std::string> d = fieldsOf(catalogueRow(type, 0));
    return d.size() == 8 && strcasecmp(d[4].c_str(), "sensor") == 0;
}

// The data type IndexTypeEnumToStr gives ("Bool", "Byte", ...), "" for none.
std::string dataType(int type) {
    char buf[kIndexTypeTextSize + 1] = "";
    IndexTypeEnumToStr((IndexType)type, buf, 1, sizeof buf);
    std::string t = text(buf, sizeof buf);
    return t.compare(0, 4, "#ERR") == 0 ? "" : t;
}

int typeOf(const ValueRecord& v) {
    if (v.indexType > 0 && !dataType(v.indexType).empty()) return v.indexType;
    IndexType byName = StrToIndexTypeEnum(TEXT(v.name).c_str());
    return byName != IDX_NONE ? byName : v.indexType;
}

bool integer(const std::string& s, long long lo, long long hi) {
    size_t i = !s.empty() && s[0] == '-' ? 1 : 0;
    if (i == s.size() || s.size() - i > 18) return false;
    for (size_t k = i; k < s.size(); ++k)
        if (s[k] < '0' || s[k] > '9') return false;
    long long v = strtoll(s.c_str(), nullptr, 10);
    return v >= lo && v <= hi;
}

bool decimal(const std::string& s, double lo, double hi) {
    size_t i = !s.empty() && s[0] == '-' ? 1 : 0;
    size_t digits = 0, dots = 0;
    for (size_t k = i; k < s.size(); ++k) {
        if (s[k] >= '0' && s[k] <= '9')
            ++digits;
        else if (s[k] == '.' && ++dots == 1)
            continue;
        else
            return false;
    }
    if (!digits) return false;
    double v = strtod(s.c_str(), nullptr);
    return v >= lo && v <= hi;
}

std::string lower(std::string s) {
    for (char& c : s) c = (char)tolower((unsigned char)c);
    return s;
}

// Whether the data type takes v; *what says what it takes ("" any text).
bool typeTakes(const std::string& type, const std::string& v, std::string* what) {
    const std::string t = lower(type);
    if (t == "bool" || t == "button") {
        *what = "true or false";
        return v == "true" || v == "false";
    }
    if (t == "byte") {
        *what = "a whole number from 0 to 255";
        return integer(v, 0, 255);
    }
    if (t == "short") {
        *what = "a number from -32768 to 32767";
        return decimal(v, -32768, 32767);
    }
    if (t == "int") {
        *what = "a whole number";
        return integer(v, -2147483648LL, 2147483647LL);
    }
    if (t == "decimal" || t == "double") {
        *what = "a number";
        return decimal(v, -1e300, 1e300);
    }
    if (t == "string" || t == "raw") {
        *what = "any text";
        return true;
    }
    // A list, or no type known: what the catalogue lists, if anything.
    what->clear();
    return true;
}

// Whether a value of the type can hold v (what its data type takes, or one
// of the values the catalogue lists for it), and if not, what it holds.
bool fits(int type, const std::string& v, std::string* holds) {
    std::vector<Choice> listed = catalogueValues(type);
    for (const Choice& c : listed)
        if (c.value == v) return true;
    std::string what;
    const bool typed = typeTakes(dataType(type), v, &what);
    // A type without a data type of its own holds what the catalogue lists.
    if (typed && (!what.empty() || listed.empty())) return true;
    std::string extra;
    for (const Choice& c : listed) {
        std::string ignored;
        if (what.empty() || !typeTakes(dataType(type), c.value, &ignored))
            extra += (extra.empty() ? "" : ", ") + c.value;
    }
    *holds = what.empty() ? "one of " + extra : extra.empty() ? what : what + ", or one of " + extra;
    return false;
}

// ---- the home ----

std::string deviceName(const StoredDevice& d) {
    return "device " + std::to_string(d.rec.id) + " (" + TEXT(d.rec.name) + ")";
}

struct Stored {
    StoredDevice device;
    std::vector<ValueRecord> values;
};

bool loadWhole(int id, Stored* out) {
    if (!loadDevice(id, &out->device)) return false;
    out->values.clear();
    for (int i = 0; i <= out->device.rec.valueCount && i < 1024; ++i) {
        ValueRecord v;
        if (loadValue(id, i, &v)) out->values.push_back(v);
    }
    return true;
}

// Index of the first value of one of the types (-1: none).
int firstOf(const Stored& s, std::initializer_list<int> types) {
    for (const ValueRecord& v : s.values)
        for (int t : types)
            if (typeOf(v) == t) return v.index;
    return -1;
}

const ValueRecord* valueAt(const Stored& s, int index) {
    for (const ValueRecord& v : s.values)
        if (v.index == index) return &v;
    return nullptr;
}

// Alarm values and what a raised and a cleared alarm report.
struct AlarmKind {
    int type;
    const char *raised, *cleared;
};
const AlarmKind kAlarms[] = {
    {IDX_ALARM_STATE, "65535", "0"},
    {IDX_PANIC_ALARM, "true", "false"},
    {IDX_EMER_ALARM, "true", "false"},
    {IDX_ALARM_BINARY, "true", "false"},
    {IDX_FIRE_STATE, "true", "false"},
    {IDX_GAS_STATE, "true", "false"},
    {IDX_WATER_STATE, "true", "false"},
    {IDX_SMOKE_STATE, "255", "0"},
    {IDX_FLOOD_STATE, "255", "0"},
    {IDX_CO_ALARM_STATE, "emergency", "ok"},
    {IDX_SMOKE_ALARM_STATE, "emergency", "ok"},
};

const AlarmKind* alarmKind(int type) {
    for (const AlarmKind& a : kAlarms)
        if (a.type == type) return &a;
    return nullptr;
}

int alarmIndex(const Stored& s, int asked) {
    for (const ValueRecord& v : s.values)
        if ((asked < 0 || v.index == asked) && alarmKind(typeOf(v))) return v.index;
    return -1;
}

// A battery this low makes the devices that say so report it.
constexpr int kLowBattery = 20;

// What the device reports for a command: (index, value) in order.
using Reports = std::vector<std::pair<int, std::string>>;

// Checks a command against the stored home; "" when it can be carried out,
// else why not. *device and *reports are what it would do.
std::string check(const Command& c, Stored* s, Reports* reports) {
    reports->clear();
    if (c.verb == Verb::Wait) return "wait belongs to a script: sim-device play";
    if (c.verb == Verb::Button) return "";
    if (c.device == 0) return "";  // a whole radio: every device it has, or none
    if (!loadWhole(c.device, s)) return "no device " + std::to_string(c.device) + " in the home";
    const std::string who = deviceName(s->device);
    switch (c.verb) {
        case Verb::Set: {
            const ValueRecord* v = valueAt(*s, c.index);
            if (!v) return who + " has no index " + std::to_string(c.index);
            std::string holds;
            int type = typeOf(*v);
            if (!fits(type, c.value, &holds))
                return "index " + std::to_string(c.index) + " (" + TEXT(v->name) + ") of " + who + " cannot hold \"" +
                       c.value + "\": it holds " + holds;
            reports->push_back({c.index, c.value});
            return "";
        }
        case Verb::Alarm: {
            int i = alarmIndex(*s, c.index);
            if (i < 0 && c.index >= 0 && valueAt(*s, c.index))
                return "index " + std::to_string(c.index) + " of " + who + " is not an alarm value";
            if (i < 0 && c.index >= 0) return who + " has no index " + std::to_string(c.index);
            if (i < 0) return who + " has no alarm value";
            const AlarmKind* k = alarmKind(typeOf(*valueAt(*s, i)));
            reports->push_back({i, c.on ? k->raised : k->cleared});
            return "";
        }
        case Verb::Tamper: {
            int i = firstOf(*s, {IDX_TAMPER});
            if (i < 0) return who + " has no tamper value";
            reports->push_back({i, c.on ? "true" : "false"});
            return "";
        }
        case Verb::Battery: {
            const bool low = c.percent < kLowBattery;
            int level = firstOf(*s, {IDX_BATTERY}), flag = firstOf(*s, {IDX_LOW_BATTERY}),
                nest = firstOf(*s, {IDX_BATTERY_NEST});
            if (level < 0 && flag < 0 && nest < 0) return who + " has no battery value";
            if (level >= 0) reports->push_back({level, std::to_string(c.percent)});
            if (flag >= 0) reports->push_back({flag, low ? "true" : "false"});
            if (nest >= 0) reports->push_back({nest, low ? "Warning" : "ok"});
            return "";
        }
        case Verb::Unreachable:
        case Verb::Back:
            if (simdevice::radioOf(s->device.rec.technology).empty())
                return who + " is built into the hub: it is always reachable";
            return "";
        default:
            return "";
    }
}

std::string describe(const Stored& s, int index, const std::string& value) {
    const ValueRecord* v = valueAt(s, index);
    return "#" + std::to_string(s.device.rec.id) + " " + TEXT(s.device.rec.name) + ": " +
           (v ? TEXT(v->name) : std::string("?")) + " [" + std::to_string(index) + "] = " + value + "\n";
}

// Marks the device reachable or not: its state record, its reachability
// value when it has one (a notification), and an update event.
std::string reach(int id, bool reachable) {
    Stored s;
    if (!loadWhole(id, &s)) return "";
    if (unreachable(id) != reachable) return "";  // already so
    storeAttribute(id, "ST", reachable ? "0" : "1", 10);
    std::string out;
    int i = firstOf(s, {IDX_REACHABLE, IDX_ISONLINE});
    if (i >= 0 && storeValue(id, i, reachable ? "true" : "false")) out += describe(s, i, reachable ? "true" : "false");
    announceEvent(EV_DeviceUpdated, id);
    return out + "#" + std::to_string(id) + " " + TEXT(s.device.rec.name) + ": " +
           (reachable ? "reachable again" : "unreachable") + "\n";
}

// The radio's button socket: a press is answered "released" or "kept".
bool pressButton(const std::string& radio, std::string* answer) {
    static const struct {
        const char *name, *ip;
    } kRadios[] = {{"zwave", "127.255.255.254"},
                   {"zigbee", "127.255.255.253"},
                   {"hue", "127.255.255.252"},
                   {"nest", "127.255.255.251"}};
    const char* ip = nullptr;
    for (const auto& r : kRadios)
        if (radio == r.name) ip = r.ip;
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (!ip || fd < 0) return false;
    sockaddr_in to = address(ip, kButtonPort);
    bool ok = sendto(fd, "button", 6, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) == 6;
    pollfd p{fd, POLLIN, 0};
    char buf[64];
    ssize_t n = ok && poll(&p, 1, 5000) == 1 ? recv(fd, buf, sizeof buf, 0) : -1;
    close(fd);
    if (n <= 0) return false;
    *answer = std::string(buf, (size_t)n);
    return true;
}

// Carries out a checked command; the lines say what the clients were told.
std::string apply(const Command& c, const Stored& s, const Reports& reports) {
    std::string out;
    switch (c.verb) {
        case Verb::Unreachable:
        case Verb::Back: {
            const bool back = c.verb == Verb::Back;
            if (c.device) {
                out = reach(c.device, back);
                return out.empty() ? deviceName(s.device) + " is " + (back ? "reachable" : "unreachable") +
                                         " already: nothing told\n"
                                   : out;
            }
            const int tech = simdevice::technologyOf(c.radio);
            for (int id : devicesWhere([&](const StoredDevice& d) { return d.rec.technology == tech; }))
                out += reach(id, back);
            return out.empty() ? "no " + c.radio + " device to change: nothing told\n" : out;
        }
        case Verb::Button: {
            std::string answer;
            if (!pressButton(c.radio, &answer)) return "";
            return c.radio + " button pressed: " +
                   (answer == "released" ? "the answers waiting for it are sent"
                                         : "nothing waited for it; the next wait for the button passes") +
                   "\n";
        }
        default:
            break;
    }
    // The device speaks: it is reachable again.
    if (unreachable(c.device)) out += reach(c.device, true);
    for (const auto& r : reports)
        if (storeValue(c.device, r.first, r.second)) out += describe(s, r.first, r.second);
    return out;
}

// ---- listings ----

std::string json(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += (char)c;
        } else if (c < 0x20 || c == 0x7f) {
            char esc[8];
            snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}

std::string technologyName(int t) {
    static const char* const kNames[] = {"?", "ZigBee", "Z-Wave", "Hue", "Nest", "built-in"};
    return t >= 1 && t <= 5 ? kNames[t] : "?";
}

// What the panel offers for a value: its choices (labelled) or a number.
void control(const ValueRecord& v, std::vector<Choice>* choices, bool* number) {
    const int type = typeOf(v);
    const std::string t = lower(dataType(type));
    *choices = catalogueValues(type);
    *number = false;
    if (v.index == 0 || type == IDX_SECURITYDEVICE) {
        choices->clear();
        return;
    }
    if (t == "bool" || t == "button") {
        bool hasTrue = false, hasFalse = false;
        for (const Choice& c : *choices) {
            hasTrue |= c.value == "true";
            hasFalse |= c.value == "false";
        }
        if (choices->empty() || hasTrue || hasFalse) {
            if (!hasTrue) choices->push_back({"true", "true"});
            if (!hasFalse) choices->push_back({"false", "false"});
        }
    } else if (choices->empty()) {
        *number = t == "byte" || t == "short" || t == "int" || t == "decimal" || t == "double";
    }
}

std::string listing(bool asJson) {
    std::string out = asJson ? "{\"devices\":[" : "";
    bool first = true;
    for (int id : devicesWhere([](const StoredDevice&) { return true; })) {
        Stored s;
        if (!loadWhole(id, &s)) continue;
        const DeviceRecord& r = s.device.rec;
        const bool lost = unreachable(id);
        if (!asJson) {
            out += std::to_string(id) + " " + TEXT(r.name) + " [" + TEXT(r.typeName) + ", " +
                   technologyName(r.technology) + ", " + TEXT(r.location) + "]" + (lost ? " unreachable" : "") + "\n";
            for (const ValueRecord& v : s.values)
                out += "    " + std::to_string(v.index) + " " + TEXT(v.name) + " = " + TEXT(v.value) + "\n";
            continue;
        }
        out += std::string(first ? "" : ",") + "{\"id\":" + std::to_string(id) + ",\"name\":" + json(TEXT(r.name)) +
               ",\"location\":" + json(TEXT(r.location)) + ",\"type\":" + json(TEXT(r.typeName)) +
               ",\"technology\":" + json(technologyName(r.technology)) +
               ",\"radio\":" + json(simdevice::radioOf(r.technology)) + ",\"reachable\":" + (lost ? "false" : "true") +
               ",\"values\":[";
        first = false;
        for (size_t k = 0; k < s.values.size(); ++k) {
            const ValueRecord& v = s.values[k];
            std::vector<Choice> choices;
            bool number;
            control(v, &choices, &number);
            out += std::string(k ? "," : "") + "{\"index\":" + std::to_string(v.index) +
                   ",\"name\":" + json(TEXT(v.name)) + ",\"value\":" + json(TEXT(v.value)) +
                   ",\"indexType\":" + std::to_string(typeOf(v)) + ",\"dataType\":" + json(dataType(typeOf(v))) +
                   ",\"sensor\":" + (isSensor(typeOf(v)) ? "true" : "false") +
                   ",\"number\":" + (number ? "true" : "false") + ",\"choices\":[";
            for (size_t j = 0; j < choices.size(); ++j)
                out += std::string(j ? "," : "") + "{\"value\":" + json(choices[j].value) +
                       ",\"label\":" + json(choices[j].label) + "}";
            out += "]}";
        }
        out += "]}";
    }
    return asJson ? out + "]}\n" : out;
}

// ---- the socket ----

std::string answerTo(const std::string& request) {
    if (request == "list") return "ok\n" + listing(false);
    if (request == "list json") return "ok\n" + listing(true);
    const bool dry = request.compare(0, 6, "check ") == 0;
    const std::string line = dry ? request.substr(6) : request;
    Command c;
    bool empty = false;
    std::string error;
    if (!simdevice::parseLine(line, &c, &empty, &error)) return "refused\n" + error + "\n";
    if (empty) return "refused\nan empty line says nothing\n";
    Stored s;
    Reports reports;
    error = check(c, &s, &reports);
    if (!error.empty()) return "refused\n" + error + "\n";
    if (dry) return "ok\n";
    const std::string told = apply(c, s, reports);
    if (c.verb == Verb::Button && told.empty()) return "refused\nthe " + c.radio + " radio did not answer\n";
    if (told.empty()) return "refused\n" + deviceName(s.device) + " changed meanwhile: nothing stored\n";
    return "ok\n" + told;
}

}  // namespace

int worldListen() {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a;
    memset(&a, 0, sizeof a);
    a.sun_family = AF_UNIX;
    strncpy(a.sun_path, simdevice::kControlSocket, sizeof a.sun_path - 1);
    unlink(simdevice::kControlSocket);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0 || listen(fd, 16) < 0) {
        fprintf(stderr, "hub-server: cannot listen on %s: %s\n", simdevice::kControlSocket, strerror(errno));
        exit(1);
    }
    // The panel server runs outside the sandbox, perhaps as another user.
    chmod(simdevice::kControlSocket, 0666);
    return fd;
}

// One request at a time: a client that says nothing is dropped after two
// seconds, so it cannot hold the server.
void onWorld(int listenFd) {
    int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    timeval tv = {2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    std::string request;
    char buf[4096];
    while (request.size() <= 65536 && request.find('\n') == std::string::npos) {
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        request.append(buf, (size_t)n);
    }
    std::string answer;
    size_t nl = request.find('\n');
    if (request.size() > 65536)
        answer = "refused\nthe request is too long\n";
    else if (nl == std::string::npos)
        answer = "refused\nthe request ends without a new line\n";
    else
        answer = answerTo(request.substr(0, nl));
    size_t sent = 0;
    while (sent < answer.size()) {
        ssize_t n = send(fd, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        sent += (size_t)n;
    }
    close(fd);
}

}  // namespace hub
