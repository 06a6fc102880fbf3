// Tokenizing speed of the hub's JSON tokenizer against jsmn in both of its
// modes (default, and JSMN_PARENT_LINKS) and simdjson (the ceiling: a
// vectorised parser the router's CPU could not run), on four kinds of
// realistic documents. Prints a table of throughputs and ratios at the end.
#include <benchmark/benchmark.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <simdjson.h>
#include <unistd.h>

#include "hacore/frozen.h"
#include "jsmn_modes.h"

namespace {

// Deterministic numbers for the generators.
struct Rng {
    unsigned state;
    explicit Rng(unsigned seed) : state(seed) {}
    unsigned next() { return state = state * 1103515245u + 12345u, (state >> 8) & 0xFFFF; }
    unsigned below(unsigned n) { return next() % n; }
};

const char* kTypes[] = {"BinarySwitch", "MultilevelSwitch", "DoorWindowSensor", "Thermostat", "SmokeDetector",
                        "ColorControl", "MotionSensor",     "DoorLock",         "HueLamp"};
const char* kRooms[] = {"Living room", "Kitchen",  "Hall",   "Garage", "Bedroom \\\"north\\\"",
                        "Caf\xC3\xA9", "Bathroom", "Office", "Garden"};
const char* kIndexes[] = {"SWITCH BINARY", "SWITCH MULTILEVEL", "TEMPERATURE", "HUMIDITY",
                          "BATTERY",       "LUMINANCE",         "TAMPER",      "POWER",
                          "ENERGY"};

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    char buf[2048];
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return std::string(buf, size_t(n < int(sizeof buf) ? n : int(sizeof buf) - 1));
}

// One device object as the device list answers carry it.
std::string device(Rng& r, int id) {
    std::string s = format(
        "{\"ID\":\"%d\",\"Name\":\"Device %d\",\"Location\":\"%s\",\"Type\":\"%s\",\"Technology\":%u,"
        "\"Online\":%s,\"Battery\":%u,\"LastSeen\":%u,\"ModelID\":\"ZW%04u\",\"Version\":\"%u.%u\","
        "\"Values\":[",
        id, id, kRooms[r.below(9)], kTypes[r.below(9)], 1 + r.below(4), r.below(5) ? "true" : "false", r.below(101),
        1700000000u + r.next(), r.below(10000), r.below(5), r.below(40));
    const unsigned values = 2 + r.below(4);
    for (unsigned i = 0; i < values; i++)
        s += format("%s{\"Index\":%u,\"Name\":\"%s\",\"Value\":\"%u.%u\",\"EndPoint\":%u,\"Type\":%u}", i ? "," : "",
                    i + 1, kIndexes[r.below(9)], r.below(300), r.below(10), r.below(3), r.below(90));
    s += format("],\"Associations\":[%u,%u,%u],\"Notify\":null}", r.below(200), r.below(200), r.below(200));
    return s;
}

// A device list answer with 500 devices (about 150 KB).
std::string deviceList() {
    Rng r(7);
    std::string s = "{\"CommandType\":\"DeviceList\",\"Success\":\"true\",\"Devices\":[\n";
    for (int i = 0; i < 500; i++) s += (i ? ",\n" : "") + device(r, i + 1);
    return s + "\n]}";
}

// A weather report of about 18 KB: current conditions, 44 hourly and 10
// daily forecasts, pretty-printed as the weather service sends it.
std::string weather() {
    Rng r(11);
    std::string s = R"J({
  "response": {"version": "0.1", "termsofService": "http://weather.example/tos",
    "features": {"conditions": 1, "hourly": 1, "forecast10day": 1, "astronomy": 1}},
  "current_observation": {
    "display_location": {"full": "Oslo, Norway", "city": "Oslo", "state": "", "country": "NO",
      "zip": "00000", "latitude": "59.91000000", "longitude": "10.75000000", "elevation": "23.0"},
    "station_id": "ENGM", "observation_time": "Last Updated on November 14, 3:50 PM CET",
    "local_epoch": "1700000000", "local_tz_short": "CET", "local_tz_long": "Europe/Oslo",
    "weather": "Partly Cloudy", "temperature_string": "41 F (5 C)", "temp_f": 41.2, "temp_c": 5.1,
    "relative_humidity": "81%", "wind_string": "From the SW at 8 MPH", "wind_dir": "SW",
    "wind_degrees": 225, "wind_mph": 8, "wind_kph": 12.9, "pressure_mb": "1012", "pressure_trend": "-",
    "dewpoint_c": 2, "feelslike_c": "2", "visibility_km": "10.0", "UV": "0", "icon": "partlycloudy"
  },
  "hourly_forecast": [
)J";
    for (int h = 0; h < 44; h++)
        s += format(
            "    %s{\"FCTTIME\": {\"hour\": \"%d\", \"min\": \"00\", \"epoch\": \"%u\", \"pretty\": "
            "\"%d:00 PM CET on November 14, 2026\"}, \"temp\": {\"english\": \"%u\", \"metric\": "
            "\"%u\"}, \"condition\": \"Chance of Rain\", \"icon\": \"chancerain\", \"sky\": \"%u\", "
            "\"wspd\": {\"metric\": \"%u\"}, \"wdir\": {\"dir\": \"SW\", \"degrees\": \"%u\"}, "
            "\"humidity\": \"%u\", \"pop\": \"%u\"}\n",
            h ? "," : "", h % 24, 1700000000u + h * 3600u, h % 12 + 1, 30 + r.below(20), r.below(10), r.below(100),
            r.below(30), r.below(360), 50 + r.below(50), r.below(100));
    s += "  ],\n  \"forecast\": {\"simpleforecast\": {\"forecastday\": [\n";
    for (int d = 0; d < 10; d++)
        s += format(
            "    %s{\"date\": {\"epoch\": \"%u\", \"day\": %d, \"month\": 11, \"year\": 2026, "
            "\"weekday\": \"Saturday\"}, \"period\": %d, \"high\": {\"fahrenheit\": \"%u\", \"celsius\": "
            "\"%u\"}, \"low\": {\"fahrenheit\": \"%u\", \"celsius\": \"-%u\"}, \"conditions\": "
            "\"Snow Showers\", \"icon\": \"snow\", \"pop\": %u, \"qpf_allday\": {\"mm\": %u}, "
            "\"avewind\": {\"kph\": %u, \"dir\": \"NNW\", \"degrees\": %u}, \"avehumidity\": %u}\n",
            d ? "," : "", 1700000000u + d * 86400u, 14 + d, d + 1, 30 + r.below(20), r.below(10), 20 + r.below(10),
            r.below(10), r.below(100), r.below(20), r.below(40), r.below(360), 50 + r.below(50));
    s += "  ]}},\n  \"sun_phase\": {\"sunrise\": {\"hour\": \"7\", \"minute\": \"58\"}, "
         "\"sunset\": {\"hour\": \"15\", \"minute\": \"39\"}}\n}\n";
    return s;
}

// An export of the hub of about 1 MB: devices, scenes, rules, clients and
// a long event history.
std::string hubExport() {
    Rng r(13);
    std::string s = "{\"Export\":{\"Version\":\"2.4.1\",\"Serial\":\"HX-0042-7781\",\"Created\":1700000000},\n";
    s += "\"Devices\":[";
    for (int i = 0; i < 800; i++) s += (i ? ",\n" : "\n") + device(r, i + 1);
    s += "],\n\"Scenes\":[";
    for (int i = 0; i < 200; i++) {
        s += format("%s{\"ID\":%d,\"Name\":\"Scene %d\",\"Active\":%s,\"Devices\":[", i ? "," : "\n", i + 1, i + 1,
                    r.below(2) ? "true" : "false");
        for (unsigned k = 0, n = 1 + r.below(6); k < n; k++)
            s += format("%s{\"DeviceID\":%u,\"Index\":%u,\"Value\":\"%u\"}", k ? "," : "", 1 + r.below(800),
                        1 + r.below(4), r.below(256));
        s += "]}\n";
    }
    s += "],\n\"Rules\":[";
    for (int i = 0; i < 300; i++)
        s += format(
            "%s{\"ID\":%d,\"Name\":\"Rule %d: lights at dusk\",\"Enabled\":%s,\"Triggers\":"
            "[{\"Type\":\"Time\",\"Cron\":\"%u %u * * 1-5\"},{\"Type\":\"Device\",\"DeviceID\":%u,"
            "\"Index\":1,\"Condition\":\"eq\",\"Value\":\"255\"}],\"Results\":[{\"DeviceID\":%u,"
            "\"Index\":1,\"Value\":\"%u\",\"Delay\":%u}]}\n",
            i ? "," : "\n", i + 1, i + 1, r.below(2) ? "true" : "false", r.below(60), r.below(24), 1 + r.below(800),
            1 + r.below(800), r.below(256), r.below(600));
    s += "],\n\"Clients\":[";
    for (int i = 0; i < 150; i++)
        s += format(
            "%s{\"MAC\":\"00:1a:%02x:%02x:%02x:%02x\",\"IP\":\"192.168.1.%u\",\"Name\":\"client-%d\","
            "\"Type\":%u,\"Online\":%s,\"RX\":%u,\"TX\":%u}\n",
            i ? "," : "\n", r.below(256), r.below(256), r.below(256), r.below(256), 2 + r.below(250), i, r.below(6),
            r.below(2) ? "true" : "false", r.next() * 91u, r.next() * 37u);
    s += "],\n\"History\":[";
    for (int i = 0; s.size() < 1000000; i++)
        s += format("%s{\"Time\":%u,\"DeviceID\":%u,\"Index\":%u,\"Value\":\"%u\",\"Event\":\"%s\"}", i ? ",\n" : "\n",
                    1700000000u + unsigned(i) * 17u, 1 + r.below(800), 1 + r.below(5), r.below(256),
                    r.below(3) ? "ValueChanged" : "Alarm \\u00e9t\xC3\xA9");
    return s + "]}\n";
}

// 5,000 messages of about 200 bytes each, as the servers and the cloud
// connector exchange them; parsed one after another.
std::vector<std::string> messages() {
    Rng r(17);
    std::vector<std::string> m;
    for (int i = 0; i < 5000; i++) {
        if (i % 3 == 0)
            m.push_back(format(
                "{\"CommandType\":\"DeviceValueChanged\",\"DeviceID\":\"%u\",\"Index\":%u,"
                "\"Name\":\"%s\",\"Value\":\"%u\",\"Time\":%u,\"Source\":\"zwave\",\"Seq\":%d}",
                1 + r.below(500), 1 + r.below(5), kIndexes[r.below(9)], r.below(256), 1700000000u + r.next(), i));
        else if (i % 3 == 1)
            m.push_back(
                format("{\"CommandType\":\"PairingStatus\",\"Server\":%u,\"State\":\"Interviewing\","
                       "\"Node\":%u,\"Progress\":%u,\"Classes\":[37,38,49,112,114,128,132,134],"
                       "\"Secure\":false,\"Seq\":%d}",
                       1 + r.below(4), r.below(232), r.below(100), i));
        else
            m.push_back(
                format("{\"CommandType\":\"Event\",\"Type\":%u,\"ID\":%u,\"Message\":\"Rule %u ran: "
                       "\\\"lights at dusk\\\"\",\"Time\":%u,\"User\":\"admin\",\"Ok\":true,\"Seq\":%d}",
                       r.below(40), r.below(300), r.below(300), 1700000000u + r.next(), i));
    }
    return m;
}

struct Doc {
    std::vector<std::string> parts;               // one text, or the messages
    std::vector<simdjson::padded_string> padded;  // the same for simdjson
    size_t bytes = 0;
    int maxTokens = 0;  // tokens of the largest part
};

std::map<std::string, Doc>& docs() {
    static std::map<std::string, Doc> d;
    return d;
}

int countOurs(const std::string& s) {
    json_token* t = parse_json2(s.data(), int(s.size()));
    if (!t) return -1;
    int n = 0;
    while (t[n].kind != JSON_TYPE_EOF) n++;
    std::free(t);
    return n;
}

void ours(benchmark::State& st, const std::string& name) {
    const Doc& d = docs()[name];
    std::vector<json_token> toks(size_t(d.maxTokens) + 1);
    for (auto _ : st) {
        for (const std::string& s : d.parts) {
            int r = parse_json(s.data(), int(s.size()), toks.data(), int(toks.size()));
            benchmark::DoNotOptimize(r);
        }
        benchmark::ClobberMemory();
    }
    st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(d.bytes));
}

void oursGrown(benchmark::State& st, const std::string& name) {
    const Doc& d = docs()[name];
    for (auto _ : st) {
        for (const std::string& s : d.parts) {
            json_token* t = parse_json2(s.data(), int(s.size()));
            benchmark::DoNotOptimize(t);
            std::free(t);
        }
    }
    st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(d.bytes));
}

template <int (*Parse)(const char*, size_t, void*, unsigned), size_t (*TokenSize)()>
void jsmn(benchmark::State& st, const std::string& name) {
    const Doc& d = docs()[name];
    std::vector<char> toks((size_t(d.maxTokens) + 1) * TokenSize());
    for (auto _ : st) {
        for (const std::string& s : d.parts) {
            int r = Parse(s.data(), s.size(), toks.data(), unsigned(d.maxTokens + 1));
            benchmark::DoNotOptimize(r);
        }
        benchmark::ClobberMemory();
    }
    st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(d.bytes));
}

void simd(benchmark::State& st, const std::string& name) {
    const Doc& d = docs()[name];
    simdjson::dom::parser parser;
    for (auto _ : st) {
        for (const simdjson::padded_string& s : d.padded) {
            auto r = parser.parse(s);
            benchmark::DoNotOptimize(r.error());
        }
    }
    st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(d.bytes));
}

// Keeps the CPU time per iteration of each run (steadier than wall time on a
// shared machine), for the ratio table.
class Collect : public benchmark::ConsoleReporter {
public:
    Collect() : ConsoleReporter(isatty(1) ? OO_ColorTabular : OO_Tabular) {}
    std::map<std::string, double> ns;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration || r.aggregate_name == "median")
                ns[r.run_name.function_name] = r.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

const char* kOrder[] = {"weather", "devices", "export", "messages"};

}  // namespace

int main(int argc, char** argv) {
    docs()["weather"].parts = {weather()};
    docs()["devices"].parts = {deviceList()};
    docs()["export"].parts = {hubExport()};
    docs()["messages"].parts = messages();
    for (const char* name : kOrder) {
        Doc& d = docs()[name];
        long ours = 0, def = 0, links = 0;
        for (const std::string& s : d.parts) {
            const int n = countOurs(s);
            std::vector<char> jt((size_t(n > 0 ? n : 1) + 1) * jsmnLinksTokenSize() * 2);
            const int a = jsmnDefaultParse(s.data(), s.size(), jt.data(), unsigned(n + 1));
            const int b = jsmnLinksParse(s.data(), s.size(), jt.data(), unsigned(n + 1));
            simdjson::dom::parser parser;
            d.padded.emplace_back(s);
            if (n <= 0 || a != n || b != n || parser.parse(d.padded.back()).error()) {
                std::fprintf(stderr, "the parsers disagree on %s (%d, %d, %d tokens)\n", name, n, a, b);
                return 1;
            }
            ours += n, def += a, links += b;
            d.bytes += s.size();
            if (n > d.maxTokens) d.maxTokens = n;
        }
        std::printf("%-8s %4zu part(s), %8zu bytes, %7ld tokens\n", name, d.parts.size(), d.bytes, ours);
        benchmark::RegisterBenchmark((std::string("ours/") + name).c_str(), ::ours, std::string(name));
        benchmark::RegisterBenchmark((std::string("ours_grown/") + name).c_str(), oursGrown, std::string(name));
        benchmark::RegisterBenchmark((std::string("jsmn_default/") + name).c_str(),
                                     jsmn<jsmnDefaultParse, jsmnDefaultTokenSize>, std::string(name));
        benchmark::RegisterBenchmark((std::string("jsmn_links/") + name).c_str(),
                                     jsmn<jsmnLinksParse, jsmnLinksTokenSize>, std::string(name));
        benchmark::RegisterBenchmark((std::string("simdjson/") + name).c_str(), simd, std::string(name));
    }
    benchmark::Initialize(&argc, argv);
    Collect rep;
    benchmark::RunSpecifiedBenchmarks(&rep);
    std::printf("\nMB/s (CPU time)                                       ratios (above 1: ours is faster)\n");
    std::printf("%-9s %8s %8s %8s %8s %8s   %9s %9s %9s %9s\n", "document", "ours", "ours2", "jsmn", "links",
                "simdjson", "vs jsmn", "vs links", "2 v links", "vs simd");
    for (const char* name : kOrder) {
        const Doc& d = docs()[name];
        const std::string n(name);
        const double o = rep.ns["ours/" + n], g = rep.ns["ours_grown/" + n], j = rep.ns["jsmn_default/" + n],
                     l = rep.ns["jsmn_links/" + n], s = rep.ns["simdjson/" + n];
        if (o <= 0 || g <= 0 || j <= 0 || l <= 0 || s <= 0) continue;
        auto mbs = [&](double ns) { return double(d.bytes) / ns * 1e3; };
        std::printf("%-9s %8.0f %8.0f %8.0f %8.0f %8.0f   %9.2f %9.2f %9.2f %9.2f\n", name, mbs(o), mbs(g), mbs(j),
                    mbs(l), mbs(s), j / o, l / o, l / g, s / o);
    }
    benchmark::Shutdown();
    return 0;
}
