// The virtual router's screen in a browser. Runs outside the sandbox, beside
// router-run: reads the run's frame buffers (lcd.fb) and backlight log from
// its state directory, pushes the screen to the page as it changes
// (server-sent events) and appends the page's pen lines to the script the
// touch stand-in plays. The page's device pane lists the home through the HA
// server stand-in's control socket (in the state directory), follows what
// that server tells its clients (its feed, log/ha-clients.dgrams) and sends
// the devices' reports there, as sim-device does. Serves the loopback
// interface only.
//
//   panel-server --state DIR [--port N]
//
// Prints "panel: http://127.0.0.1:PORT/" once it listens (port 0, the
// default, takes a free one).
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "../device/device_client.h"
#include "../device/device_line.h"
#include "../lcd/fb.h"
#include "page.h"
#include "pen_script.h"

namespace {

using simlcd::LcdFbHeader;

std::string g_state;  // the run's /sim/state, seen from outside
std::mutex g_penLock;

std::string statePath(const char* name) { return g_state + "/" + name; }

// The frame-buffer file, mapped read-only once the run has made it.
class FrameSource {
public:
    ~FrameSource() {
        if (map_) munmap(map_, simlcd::kFileBytes);
        if (fd_ >= 0) close(fd_);
    }
    bool ready() {
        if (map_) return header()->magic == simlcd::kMagic;
        int fd = open(statePath("lcd.fb").c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        struct stat st;
        if (fstat(fd, &st) != 0 || st.st_size < (off_t)simlcd::kFileBytes) {
            close(fd);
            return false;
        }
        void* p = mmap(nullptr, simlcd::kFileBytes, PROT_READ, MAP_SHARED, fd, 0);
        if (p == MAP_FAILED) {
            close(fd);
            return false;
        }
        fd_ = fd;
        map_ = p;
        return header()->magic == simlcd::kMagic;
    }
    const LcdFbHeader* header() const { return static_cast<const LcdFbHeader*>(map_); }
    // The visible screen and the header as one request left them.
    void snapshot(LcdFbHeader* h, std::vector<uint16_t>* pixels) {
        flock(fd_, LOCK_SH);
        memcpy(h, header(), sizeof *h);
        pixels->resize(simlcd::kWidth * simlcd::kHeight);
        memcpy(pixels->data(), static_cast<const char*>(map_) + sizeof(LcdFbHeader), simlcd::kPlaneBytes);
        flock(fd_, LOCK_UN);
    }

private:
    int fd_ = -1;
    void* map_ = nullptr;
};

off_t fileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// The last `n` lines of a log (read from its last 16 KiB).
std::vector<std::string> lastLines(const std::string& path, size_t n) {
    std::vector<std::string> lines;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return lines;
    struct stat st;
    std::string tail;
    if (fstat(fd, &st) == 0 && st.st_size > 0) {
        off_t from = st.st_size > 16384 ? st.st_size - 16384 : 0;
        tail.resize(size_t(st.st_size - from));
        ssize_t got = pread(fd, &tail[0], tail.size(), from);
        tail.resize(got > 0 ? size_t(got) : 0);
        if (from > 0) tail.erase(0, tail.find('\n') + 1);  // a line cut at the start
    }
    close(fd);
    size_t end = tail.size();
    while (end > 0 && lines.size() < n) {
        if (tail[end - 1] == '\n') --end;
        size_t start = tail.rfind('\n', end ? end - 1 : 0);
        start = start == std::string::npos ? 0 : start + 1;
        if (end > start) lines.insert(lines.begin(), tail.substr(start, end - start));
        if (start == 0) break;
        end = start;
    }
    return lines;
}

const char* requestName(int r) {
    static const struct {
        int number;
        const char* name;
    } kNames[] = {{1, "turnOn"},        {2, "turnOff"},          {3, "clear"},           {5, "drawPixel"},
                  {6, "drawLine"},      {7, "drawRect"},         {8, "drawCircle"},      {9, "fillRect"},
                  {10, "fillCircle"},   {11, "drawPicture565"},  {12, "drawPicture"},    {16, "fade"},
                  {18, "drawText"},     {21, "drawModal"},       {25, "loadBuffer"},     {26, "shiftScreen"},
                  {27, "centerBuffer"}, {28, "copyBuffer"},      {29, "drawFromBuffer"}, {30, "getBuffer"},
                  {33, "roundedRect"},  {34, "transparentRect"}, {35, "drawLineAA"},     {36, "alphaOn"},
                  {37, "setAlpha"},     {38, "alphaOff"},        {39, "textWidth"},      {40, "textPosition"}};
    for (const auto& n : kNames)
        if (n.number == r) return n.name;
    return nullptr;
}

// A line of log/lcd ("<request> <record hex>[ text=...]", "<request>
// value=<n>", " failed" at the end when refused) as the page shows it.
std::string describeRequest(const std::string& line) {
    int number = atoi(line.c_str());
    const char* name = requestName(number);
    std::string out = name ? name : "request " + std::to_string(number);
    size_t text = line.find(" text=");
    size_t value = line.find(" value=");
    bool failed = line.size() >= 7 && line.compare(line.size() - 7, 7, " failed") == 0;
    if (text != std::string::npos) {
        std::string t = line.substr(text + 6, failed ? line.size() - 7 - text - 6 : std::string::npos);
        if (t.size() > 40) t = t.substr(0, 40) + "...";
        out += " \"" + t + "\"";
    } else if (value != std::string::npos) {
        out += " " + line.substr(value + 7, line.find(' ', value + 7) - value - 7);
    }
    if (failed) out += " (failed)";
    return out;
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char esc[8];
            snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string base64(const void* data, size_t n) {
    static const char k[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const unsigned char* p = static_cast<const unsigned char*>(data);
    std::string out;
    out.reserve((n + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        unsigned v = p[i] << 16 | p[i + 1] << 8 | p[i + 2];
        out += k[v >> 18];
        out += k[(v >> 12) & 63];
        out += k[(v >> 6) & 63];
        out += k[v & 63];
    }
    if (i < n) {
        unsigned v = p[i] << 16 | (i + 1 < n ? p[i + 1] << 8 : 0);
        out += k[v >> 18];
        out += k[(v >> 12) & 63];
        out += i + 1 < n ? k[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

// What a frame event depends on: when none of it moved, nothing is sent.
struct Watch {
    uint32_t frame = ~0u, panel = ~0u, panelChanges = ~0u, fades = ~0u, modals = ~0u;
    off_t backlightLog = -2, lcdLog = -2;
    bool operator==(const Watch& o) const {
        return frame == o.frame && panel == o.panel && panelChanges == o.panelChanges && fades == o.fades &&
               modals == o.modals && backlightLog == o.backlightLog && lcdLog == o.lcdLog;
    }
};

Watch look(const LcdFbHeader& h) {
    Watch w;
    w.frame = h.frame;
    w.panel = h.panel;
    w.panelChanges = h.panelChanges;
    w.fades = h.fades;
    w.modals = h.modals;
    w.backlightLog = fileSize(statePath("log/backlight"));
    w.lcdLog = fileSize(statePath("log/lcd"));
    return w;
}

std::string frameEvent(const LcdFbHeader& h, const std::vector<uint16_t>& pixels) {
    std::vector<std::string> light = lastLines(statePath("log/backlight"), 1);
    const char* backlight = "unset";
    if (!light.empty() && light[0] == "enable") backlight = "on";
    if (!light.empty() && light[0] == "disable") backlight = "off";
    std::string requests = "[";
    for (const std::string& l : lastLines(statePath("log/lcd"), 6)) {
        if (requests.size() > 1) requests += ",";
        requests += jsonString(describeRequest(l));
    }
    requests += "]";
    std::string json = "{\"frame\":" + std::to_string(h.frame) + ",\"panel\":" + std::to_string(h.panel) +
                       ",\"panelChanges\":" + std::to_string(h.panelChanges) + ",\"fades\":" + std::to_string(h.fades) +
                       ",\"modals\":" + std::to_string(h.modals) + ",\"backlight\":\"" + backlight +
                       "\",\"requests\":" + requests + ",\"width\":" + std::to_string(simlcd::kWidth) +
                       ",\"height\":" + std::to_string(simlcd::kHeight) + ",\"rgb565\":\"" +
                       base64(pixels.data(), pixels.size() * 2) + "\"}";
    return "event: frame\ndata: " + json + "\n\n";
}

// One stream per page: polls the header (a few bytes) and sends the screen
// when anything it shows moved, at most about 30 times a second.
struct Stream {
    FrameSource source;
    Watch last;
    std::chrono::steady_clock::time_point lastSent;
    bool waitingSaid = false;
};

bool streamStep(Stream& s, httplib::DataSink& sink) {
    using namespace std::chrono;
    for (int i = 0; i < 750; ++i) {  // 15 s, then a keep-alive comment
        if (!sink.is_writable()) return false;
        if (s.source.ready()) {
            LcdFbHeader h;
            memcpy(&h, s.source.header(), sizeof h);
            Watch now = look(h);
            if (!(now == s.last) && steady_clock::now() - s.lastSent >= milliseconds(30)) {
                std::vector<uint16_t> pixels;
                s.source.snapshot(&h, &pixels);
                s.last = look(h);
                s.lastSent = steady_clock::now();
                std::string e = frameEvent(h, pixels);
                return sink.write(e.data(), e.size());
            }
        } else if (!s.waitingSaid) {
            s.waitingSaid = true;
            static const char kWaiting[] = "event: waiting\ndata: {}\n\n";
            return sink.write(kWaiting, sizeof kWaiting - 1);
        }
        std::this_thread::sleep_for(milliseconds(20));
    }
    static const char kPing[] = ": ping\n\n";
    return sink.write(kPing, sizeof kPing - 1);
}

// Appends checked pen lines to the script; one write, so the stand-in never
// reads half a line.
bool appendPen(const std::string& lines, std::string* error) {
    std::lock_guard<std::mutex> g(g_penLock);
    int fd = open(statePath("pen").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = std::string("cannot open the pen script: ") + strerror(errno);
        return false;
    }
    ssize_t n = write(fd, lines.data(), lines.size());
    close(fd);
    if (n != (ssize_t)lines.size()) {
        *error = "cannot write the pen script";
        return false;
    }
    return true;
}

std::string penProgress() {
    std::string done = "0";
    FILE* f = fopen(statePath("pen.done").c_str(), "r");
    if (f) {
        long v = 0;
        if (fscanf(f, "%ld", &v) == 1) done = std::to_string(v);
        fclose(f);
    }
    off_t size = fileSize(statePath("pen"));
    return "{\"played\":" + done + ",\"size\":" + std::to_string(size < 0 ? 0 : size) + "}";
}

// ---- the device pane ----

std::string controlSocket() { return statePath(simdevice::kControlSocketName); }

// The home as the HA server lists it (JSON), or false with why not.
bool homeListing(std::string* json) {
    return simdevice::ask(controlSocket(), "list json", json) == simdevice::Answer::Ok;
}

// What the HA server told its clients since `*offset` of its feed, as
// events for the page: "value" for a device notification, "event" for an
// event, and the home listed again after a device was added, removed or
// changed. Only whole records are taken.
std::string feedEvents(off_t* offset) {
    std::string out;
    int fd = open(statePath("log/ha-clients.dgrams").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return out;
    struct stat st;
    std::string data;
    if (fstat(fd, &st) == 0 && st.st_size > *offset) {
        data.resize(size_t(std::min<off_t>(st.st_size - *offset, 1 << 20)));
        ssize_t got = pread(fd, &data[0], data.size(), *offset);
        data.resize(got > 0 ? size_t(got) : 0);
    }
    close(fd);
    bool relist = false;
    size_t at = 0;
    while (at + 12 <= data.size()) {
        uint32_t len;
        memcpy(&len, &data[at], 4);
        if (at + 12 + len > data.size()) break;
        const char* d = &data[at + 12];
        int32_t kind = 0, a = 0, b = 0;
        if (len >= 12) {
            memcpy(&kind, d, 4);
            memcpy(&a, d + 4, 4);
            memcpy(&b, d + 8, 4);
        }
        if (kind == 0 && len >= 12) {
            const char* v = d + 12;
            std::string value(v, strnlen(v, len - 12));
            out += "event: value\ndata: {\"id\":" + std::to_string(a) + ",\"index\":" + std::to_string(b) +
                   ",\"value\":" + jsonString(value) + "}\n\n";
        } else if (kind == 1 && len >= 12) {
            out += "event: event\ndata: {\"type\":" + std::to_string(a) + ",\"arg\":" + std::to_string(b) + "}\n\n";
            relist |= a >= 1 && a <= 4;  // DeviceAdded, DeviceRemoved, DeviceRemoveAll, DeviceUpdated
        }
        at += 12 + len;
        *offset += off_t(12 + len);
    }
    std::string json;
    if (relist && homeListing(&json)) out += "event: devices\ndata: " + json.substr(0, json.find('\n')) + "\n\n";
    return out;
}

struct DeviceStream {
    off_t offset = -1;
    bool listed = false, waitingSaid = false;
};

// First the home, once the HA server answers, then what it tells its
// clients, as it comes (the feed's size is taken before the listing, so
// nothing told in between is lost).
bool deviceStep(DeviceStream& s, httplib::DataSink& sink) {
    for (int i = 0; i < 750; ++i) {  // 15 s, then a keep-alive comment
        if (!sink.is_writable()) return false;
        if (!s.listed && i % 25 == 0) {
            off_t size = fileSize(statePath("log/ha-clients.dgrams"));
            std::string json;
            if (homeListing(&json)) {
                s.offset = size < 0 ? 0 : size;
                s.listed = true;
                std::string e = "event: devices\ndata: " + json.substr(0, json.find('\n')) + "\n\n";
                return sink.write(e.data(), e.size());
            }
            if (!s.waitingSaid) {
                s.waitingSaid = true;
                static const char kWaiting[] = "event: waiting\ndata: {}\n\n";
                return sink.write(kWaiting, sizeof kWaiting - 1);
            }
        } else if (s.listed) {
            std::string e = feedEvents(&s.offset);
            if (!e.empty()) return sink.write(e.data(), e.size());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    static const char kPing[] = ": ping\n\n";
    return sink.write(kPing, sizeof kPing - 1);
}

// Only the page itself talks to the server: a request must name this
// server as its host (no other name resolving to the loopback), and a pen
// request from a page must come from this server's own page.
int g_port;
bool ours(const httplib::Request& req, bool needOrigin) {
    const std::string self = "127.0.0.1:" + std::to_string(g_port);
    const std::string host = req.get_header_value("Host");
    if (host != self && host != "localhost:" + std::to_string(g_port)) return false;
    if (!needOrigin || !req.has_header("Origin")) return true;
    const std::string origin = req.get_header_value("Origin");
    return origin == "http://" + self || origin == "http://localhost:" + std::to_string(g_port);
}

httplib::Server* g_server;
void onSignal(int) {
    if (g_server) g_server->stop();
}

int usage() {
    fprintf(stderr, "usage: panel-server --state DIR [--port N]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--state") && i + 1 < argc) {
            g_state = argv[++i];
        } else if (!strcmp(argv[i], "--port") && i + 1 < argc) {
            char* end;
            long p = strtol(argv[++i], &end, 10);
            if (*end || p < 0 || p > 65535) return usage();
            port = int(p);
        } else {
            return usage();
        }
    }
    if (g_state.empty()) return usage();
    // The run's /sim/state: router-run's state directory holds it as sim/.
    struct stat st;
    if (stat((g_state + "/sim").c_str(), &st) == 0 && S_ISDIR(st.st_mode)) g_state += "/sim";

    httplib::Server server;
    server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        if (ours(req, req.method == "POST")) return httplib::Server::HandlerResponse::Unhandled;
        res.status = 403;
        res.set_content("not this panel's page\n", "text/plain");
        return httplib::Server::HandlerResponse::Handled;
    });
    server.Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "no-store");
        res.set_content(panel::kPage, "text/html; charset=utf-8");
    });
    server.Get("/events", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "no-store");
        auto stream = std::make_shared<Stream>();
        res.set_chunked_content_provider("text/event-stream", [stream](size_t, httplib::DataSink& sink) {
            if (streamStep(*stream, sink)) return true;
            sink.done();
            return false;
        });
    });
    server.Get("/pen", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "no-store");
        res.set_content(penProgress(), "application/json");
    });
    server.Post("/pen", [](const httplib::Request& req, httplib::Response& res) {
        std::string lines, error;
        int bad = 0;
        if (req.body.size() > 65536) {
            res.status = 413;
            res.set_content("pen script too long\n", "text/plain");
        } else if (!panel::normalisePenScript(req.body, &lines, &bad)) {
            res.status = 400;
            res.set_content("line " + std::to_string(bad) + " is not a pen line\n", "text/plain");
        } else if (!lines.empty() && !appendPen(lines, &error)) {
            res.status = 500;
            res.set_content(error + "\n", "text/plain");
        } else {
            res.set_content(penProgress(), "application/json");
        }
    });
    server.Get("/devices", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "no-store");
        std::string json;
        if (homeListing(&json)) {
            res.set_content(json, "application/json");
        } else {
            res.status = 503;
            res.set_content("the HA server of the run does not answer: " + json, "text/plain");
        }
    });
    server.Get("/device-events", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "no-store");
        auto stream = std::make_shared<DeviceStream>();
        res.set_chunked_content_provider("text/event-stream", [stream](size_t, httplib::DataSink& sink) {
            if (deviceStep(*stream, sink)) return true;
            sink.done();
            return false;
        });
    });
    // One line of sim-device's (not a wait), checked here and carried out by
    // the HA server: 200 with what the clients were told, 409 with why the
    // home refused it, 400 for a line that is none, 503 without a server.
    server.Post("/device", [](const httplib::Request& req, httplib::Response& res) {
        std::string line = req.body;
        if (!line.empty() && line.back() == '\n') line.pop_back();
        simdevice::Command c;
        bool empty = false;
        std::string error;
        if (line.size() > 4096 || line.find('\n') != std::string::npos) {
            error = "one line at a time";
        } else if (!simdevice::parseLine(line, &c, &empty, &error)) {
        } else if (empty) {
            error = "an empty line says nothing";
        } else if (c.verb == simdevice::Verb::Wait) {
            error = "wait belongs to a script";
        }
        if (!error.empty()) {
            res.status = 400;
            res.set_content("not a device line: " + error + "\n", "text/plain");
            return;
        }
        std::string told;
        simdevice::Answer a = simdevice::ask(controlSocket(), simdevice::formatLine(c), &told);
        res.status = a == simdevice::Answer::Ok ? 200 : a == simdevice::Answer::Refused ? 409 : 503;
        res.set_content(told, "text/plain");
    });
    server.set_payload_max_length(1 << 20);

    const int asked = port;
    if (port == 0)
        port = server.bind_to_any_port("127.0.0.1");
    else if (!server.bind_to_port("127.0.0.1", port))
        port = -1;
    if (port <= 0) {
        fprintf(stderr, "panel-server: cannot listen on 127.0.0.1 port %d\n", asked);
        return 1;
    }
    g_port = port;
    g_server = &server;
    signal(SIGINT, onSignal);
    signal(SIGTERM, onSignal);
    signal(SIGPIPE, SIG_IGN);
    printf("panel: http://127.0.0.1:%d/\n", port);
    fflush(stdout);
    server.listen_after_bind();
    return 0;
}
