// Loading the device store: DeviceList::Populate over stores of 10 to 10,000
// devices laid out as the HA server lays them (one bucket), and the time from
// a device notification leaving the HA server's address to the application's
// callback, with 1,000 devices in the store.
//
// Uses the router's fixed paths and addresses: run it in a virtual router,
//   build/host/router-run -- build/host/bench/device_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

extern "C" {
#include <depot.h>
}

#include "hacore/Device.h"
#include "hacore/HADevices.h"

namespace {

const char* kTypes[] = {"BinarySwitch", "MultilevelSwitch", "DoorWindowSensor", "Thermostat", "MotionSensor"};
const char* kValues[] = {"SWITCH BINARY", "SWITCH MULTILEVEL", "TEMPERATURE", "BATTERY"};

void put(DEPOT* db, const std::string& key, const void* v, int len) {
    dpput(db, key.data(), int(key.size()), static_cast<const char*>(v), len, DP_DOVER);
}

void putText(DEPOT* db, const std::string& key, const char* text, int len) {
    char buf[32] = {0};
    strncpy(buf, text, sizeof buf - 1);
    put(db, key, buf, len);
}

// A fresh /tmp/ddb with n devices, each with its attributes and value
// indexes 0 to 3, record after record as the HA server writes them.
void layStore(int n) {
    unlink("/tmp/ddb");
    DEPOT* db = dpopen("/tmp/ddb", DP_OWRITER | DP_OCREAT | DP_ONOLCK | DP_OSPARSE, 1);
    if (!db) {
        std::fprintf(stderr, "cannot create /tmp/ddb (run this inside router-run)\n");
        std::exit(1);
    }
    for (int id = 1; id <= n; id++) {
        DeviceRecord r;
        memset(&r, 0, sizeof r);
        r.id = id;
        snprintf(r.name, sizeof r.name, "Device %d", id);
        snprintf(r.location, sizeof r.location, "Room %d", id % 17);
        r.ozwNode = id % 232;
        r.shortId = 65535;
        r.technology = 2;
        snprintf(r.associationTime, sizeof r.associationTime, "%d", 1700000000 + id);
        snprintf(r.typeName, sizeof r.typeName, "%s", kTypes[id % 5]);
        snprintf(r.friendlyType, sizeof r.friendlyType, "%s", kTypes[id % 5]);
        r.allowNotification = 1;
        r.valueCount = 3;
        const std::string k = std::to_string(id);
        put(db, k, &r, sizeof r);
        putText(db, k + ".LT", "1700000123", 10);
        putText(db, k + ".MI", "ZW0042", 20);
        putText(db, k + ".VS", "1.4", 10);
        putText(db, k + ".MN", "Acme", 10);
        putText(db, k + ".ST", "0", 10);
        for (int i = 0; i <= 3; i++) {
            ValueRecord v;
            memset(&v, 0, sizeof v);
            v.index = i;
            snprintf(v.name, sizeof v.name, "%s", i ? kValues[i - 1] : "SECURITYDEVICE");
            snprintf(v.value, sizeof v.value, "%d", i * 7);
            v.commandClass = 37;
            v.endPoint = 1;
            put(db, k + "." + std::to_string(i), &v, sizeof v);
        }
    }
    putText(db, "NextDevid", std::to_string(n + 1).c_str(), 10);
    putText(db, "Version", "3", 10);
    dpclose(db);
}

// Times load(), which gives the number of devices it loaded, on a store of
// st.range(0) devices; per device as well.
template <typename F>
void timeLoading(benchmark::State& st, const char* shortfall, F load) {
    const int n = int(st.range(0));
    layStore(n);
    size_t loaded = 0;
    for (auto _ : st) {
        loaded = load();
        benchmark::DoNotOptimize(loaded);
    }
    if (loaded != size_t(n)) st.SkipWithError(shortfall);
    st.counters["us_per_device"] = benchmark::Counter(
        double(n) * 1e-6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void populate(benchmark::State& st) {
    timeLoading(st, "Populate did not load every device", [] {
        DeviceList list;
        list.Populate();
        return list.devices.size();
    });
}
BENCHMARK(populate)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// What Populate did before it read the store in one pass, through the public
// interface: iterate over the keys, then load each device on its own (an
// open, a tree search per record and a close each).
void loadEach(benchmark::State& st) {
    timeLoading(st, "not every device loaded", [] {
        std::vector<int> ids;
        DEPOT* db = dpopen("/tmp/ddb", DP_OWRITER | DP_OCREAT | DP_ONOLCK | DP_OSPARSE, 1);
        dpiterinit(db);
        int size;
        while (char* k = dpiternext(db, &size)) {
            char probe[512];
            dpgetwb(db, k, size, 0, sizeof probe, probe);
            if (!strchr(k, '.') && k[0] >= '1' && k[0] <= '9') ids.push_back(atoi(k));
            free(k);
        }
        dpclose(db);
        std::vector<Device> list;
        for (int id : ids) list.push_back(Device(id));
        return list.size();
    });
}
BENCHMARK(loadEach)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// One device loaded from a store of 1,000 (what the receiver does for each
// notification).
void loadOne(benchmark::State& st) {
    layStore(1000);
    int id = 0;
    for (auto _ : st) {
        Device d(1 + (id++ * 379) % 1000);
        benchmark::DoNotOptimize(d.getID());
    }
}
BENCHMARK(loadOne)->Unit(benchmark::kMicrosecond);

// ---- notification to callback ----

std::mutex mu;
std::condition_variable cv;
int seen = -1;  // device ID of the last callback
std::chrono::steady_clock::time_point seenAt;

void onDevice(Device* d) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> g(mu);
    seen = d->getID();
    seenAt = now;
    cv.notify_one();
}

// Sends n notifications one after another from the HA server's address and
// prints the percentiles of the time until the callback has the device.
void notifications(int count) {
    layStore(1000);
    HADevices ha;
    if (ha.initialize() <= 0) {
        std::fprintf(stderr, "initialize failed\n");
        std::exit(1);
    }
    ha.genericCallback(onDevice);
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in from{}, to{};
    from.sin_family = to.sin_family = AF_INET;
    from.sin_addr.s_addr = inet_addr("127.255.255.1");
    to.sin_addr.s_addr = inet_addr("127.255.255.3");
    to.sin_port = htons(8888);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) < 0) {
        std::perror("bind 127.255.255.1");
        std::exit(1);
    }
    std::vector<double> us;
    for (int i = 0; i < count + 100; i++) {
        struct {
            int32_t kind;
            HAPacket p;
        } m;
        memset(&m, 0, sizeof m);
        m.p.deviceId = 1 + (i * 379) % 1000;
        m.p.index = 1;
        snprintf(m.p.value, sizeof m.p.value, "%d", i % 256);
        std::unique_lock<std::mutex> lock(mu);
        seen = -1;
        const auto sent = std::chrono::steady_clock::now();
        sendto(fd, &m, sizeof m, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        if (!cv.wait_for(lock, std::chrono::seconds(5), [&] { return seen == m.p.deviceId; })) {
            std::fprintf(stderr, "no callback for device %d\n", m.p.deviceId);
            std::exit(1);
        }
        if (i >= 100)  // the first ones warm the caches
            us.push_back(std::chrono::duration<double, std::micro>(seenAt - sent).count());
    }
    close(fd);
    std::sort(us.begin(), us.end());
    auto pct = [&](double p) { return us[size_t(p * double(us.size() - 1))]; };
    std::printf("notification to callback, 1000 devices, %d notifications: p50 %.1f us, p99 %.1f us, max %.1f us\n",
                count, pct(0.50), pct(0.99), us.back());
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    notifications(5000);
    benchmark::Shutdown();
    return 0;
}
