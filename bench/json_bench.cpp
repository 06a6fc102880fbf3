// Tokenizing speed of the hub's JSON tokenizer against jsmn, on the same
// documents: a device list, a weather answer and a big generated nested
// document. Prints the throughput ratio per document at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "hacore/frozen.h"

#define JSMN_STATIC
#include <jsmn.h>

namespace {

std::string deviceList() {
    static const char* types[] = {"BinarySwitch", "MultilevelSwitch", "DoorWindowSensor", "Thermostat",
                                  "SmokeDetector", "ColorControl", "MotionSensor", "DoorLock"};
    static const char* rooms[] = {"Living room", "Kitchen", "Hall", "Garage", "Bedroom \\\"north\\\"", "Caf\xC3\xA9"};
    std::string s = "{\"CommandType\":\"DeviceList\",\"Success\":\"true\",\"Devices\":[";
    for (int i = 0; i < 60; i++) {
        char d[600];
        std::snprintf(d, sizeof d,
                      "%s{\"ID\":\"%d\",\"Name\":\"Device %d\",\"Location\":\"%s\",\"Type\":\"%s\","
                      "\"Technology\":%d,\"Online\":%s,\"Battery\":%d,\"LastSeen\":%ld,"
                      "\"Values\":[{\"Index\":1,\"Name\":\"SWITCH BINARY\",\"Value\":\"%s\",\"Type\":\"BOOL\"},"
                      "{\"Index\":2,\"Name\":\"LEVEL\",\"Value\":\"%d\",\"Type\":\"INT\"},"
                      "{\"Index\":3,\"Name\":\"TEMPERATURE\",\"Value\":\"%d.%d\",\"Unit\":\"C\"}],"
                      "\"Associations\":[%d,%d,%d],\"Notify\":null}",
                      i ? "," : "", i + 1, i + 1, rooms[i % 6], types[i % 8], 1 + i % 4, i % 5 ? "true" : "false",
                      (i * 37) % 101, 1700000000L + i * 613, i % 2 ? "true" : "false", (i * 13) % 100,
                      15 + i % 10, i % 10, i, i + 1, i + 2);
        s += d;
    }
    return s + "]}";
}

std::string weather() {
    return R"J({
  "response": {"version": "0.1", "features": {"conditions": 1, "astronomy": 1}},
  "conditions": {
    "image": {"url": "http://icons.example/i/c/k/partlycloudy.gif", "title": "Weather", "link": "http://weather.example"},
    "display_location": {"full": "Oslo, Norway", "city": "Oslo", "state": "", "country": "NO",
      "zip": "00000", "latitude": "59.91000000", "longitude": "10.75000000", "elevation": "23.0"},
    "station_id": "ENGM", "observation_time": "Last Updated on November 14, 3:50 PM CET",
    "local_epoch": "1700000000", "local_tz_short": "CET", "local_tz_long": "Europe/Oslo", "local_tz_offset": "+0100",
    "weather": "Partly Cloudy", "temperature_string": "41 F (5 C)", "temp_f": 41.2, "temp_c": 5.1,
    "relative_humidity": "81%", "wind_string": "From the SW at 8 MPH", "wind_dir": "SW", "wind_degrees": 225,
    "wind_mph": 8, "wind_gust_mph": "12", "wind_kph": 12.9, "pressure_mb": "1012", "pressure_in": "29.89",
    "pressure_trend": "-", "dewpoint_string": "36 F (2 C)", "dewpoint_f": 36, "dewpoint_c": 2,
    "heat_index_string": "NA", "windchill_string": "36 F (2 C)", "feelslike_c": "2", "visibility_km": "10.0",
    "solarradiation": "--", "UV": "0", "precip_1hr_in": "0.00", "precip_today_metric": "0 mm",
    "icon": "partlycloudy", "city": "Oslo", "country": "NO", "latitude": "59.91", "longitude": "10.75",
    "forecast": [{"period": 0, "icon": "rain", "high": {"c": "7"}, "low": {"c": "3"}, "pop": 60},
                 {"period": 1, "icon": "cloudy", "high": {"c": "6"}, "low": {"c": "1"}, "pop": 20},
                 {"period": 2, "icon": "snow", "high": {"c": "1"}, "low": {"c": "-4"}, "pop": 70}]
  },
  "sun_phase": {"sunrise": {"hour": "7", "minute": "58"}, "sunset": {"hour": "15", "minute": "39"}}
})J";
}

// Deterministic nested document of about 1 MB: objects and arrays several
// levels deep, strings with escapes and UTF-8, numbers, words.
struct Gen {
    unsigned state = 12345;
    unsigned next() { return state = state * 1103515245u + 12345u, (state >> 8) & 0xFFFF; }
    void value(std::string& s, int depth) {
        const unsigned k = next() % 10;
        if (depth > 0 && k < 3) return object(s, depth - 1);
        if (depth > 0 && k < 5) return array(s, depth - 1);
        switch (k % 5) {
        case 0: s += "\"text " + std::to_string(next()) + " \\\"quoted\\\" \\u00e9t\xC3\xA9\""; break;
        case 1: s += std::to_string(int(next()) - 30000); break;
        case 2: s += std::to_string(next()) + "." + std::to_string(next() % 1000) + "e-3"; break;
        case 3: s += next() % 2 ? "true" : "false"; break;
        default: s += "null"; break;
        }
    }
    void object(std::string& s, int depth) {
        s += "{";
        const unsigned n = 2 + next() % 8;
        for (unsigned i = 0; i < n; i++) {
            s += i ? ", " : "";
            s += "\"key_" + std::to_string(i) + "\": ";
            value(s, depth);
        }
        s += "}";
    }
    void array(std::string& s, int depth) {
        s += "[";
        const unsigned n = 1 + next() % 10;
        for (unsigned i = 0; i < n; i++) {
            s += i ? "," : "";
            value(s, depth);
        }
        s += "]";
    }
};

std::string bigNested() {
    Gen g;
    std::string s = "[";
    for (int i = 0; s.size() < 1000000; i++) {
        s += i ? ",\n" : "";
        g.object(s, 6);
    }
    return s + "]";
}

struct Doc {
    std::string text;
    int tokens;  // values in the document
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

int countJsmn(const std::string& s, std::vector<jsmntok_t>& toks) {
    jsmn_parser p;
    jsmn_init(&p);
    return jsmn_parse(&p, s.data(), s.size(), toks.data(), unsigned(toks.size()));
}

void ours(benchmark::State& st, const std::string& name) {
    const Doc& d = docs()[name];
    std::vector<json_token> toks(size_t(d.tokens) + 1);
    for (auto _ : st) {
        int r = parse_json(d.text.data(), int(d.text.size()), toks.data(), int(toks.size()));
        benchmark::DoNotOptimize(r);
        benchmark::ClobberMemory();
    }
    st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(d.text.size()));
}

void oursGrown(benchmark::State& st, const std::string& name) {
    const Doc& d = docs()[name];
    for (auto _ : st) {
        json_token* t = parse_json2(d.text.data(), int(d.text.size()));
        benchmark::DoNotOptimize(t);
        std::free(t);
    }
    st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(d.text.size()));
}

void jsmn(benchmark::State& st, const std::string& name) {
    const Doc& d = docs()[name];
    std::vector<jsmntok_t> toks(size_t(d.tokens) + 1);
    for (auto _ : st) {
        int r = countJsmn(d.text, toks);
        benchmark::DoNotOptimize(r);
        benchmark::ClobberMemory();
    }
    st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(d.text.size()));
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

}  // namespace

int main(int argc, char** argv) {
    docs()["devices"] = {deviceList(), 0};
    docs()["weather"] = {weather(), 0};
    docs()["nested"] = {bigNested(), 0};
    for (auto& [name, d] : docs()) {
        d.tokens = countOurs(d.text);
        std::vector<jsmntok_t> jt(size_t(d.tokens > 0 ? d.tokens : 1) + 1);
        const int j = countJsmn(d.text, jt);
        std::printf("%-8s %8zu bytes, %7d tokens (jsmn %d)\n", name.c_str(), d.text.size(), d.tokens, j);
        if (d.tokens <= 0 || j != d.tokens) {
            std::fprintf(stderr, "the tokenizers disagree on %s\n", name.c_str());
            return 1;
        }
        benchmark::RegisterBenchmark(("ours/" + name).c_str(), ours, name);
        benchmark::RegisterBenchmark(("ours_grown/" + name).c_str(), oursGrown, name);
        benchmark::RegisterBenchmark(("jsmn/" + name).c_str(), jsmn, name);
    }
    benchmark::Initialize(&argc, argv);
    Collect rep;
    benchmark::RunSpecifiedBenchmarks(&rep);
    std::printf("\nthroughput ratio (jsmn CPU time / ours; above 1 means we are faster)\n");
    for (auto& [name, d] : docs()) {
        const double j = rep.ns["jsmn/" + name], o = rep.ns["ours/" + name], g = rep.ns["ours_grown/" + name];
        if (j > 0 && o > 0 && g > 0)
            std::printf("%-8s fixed array %.2f   parse_json2 %.2f\n", name.c_str(), j / o, j / g);
    }
    benchmark::Shutdown();
    return 0;
}
