// sim-device from an application's side: what the tool has a device report
// reaches the application's callbacks as the HA server's notifications and
// events, the store holds it, a script plays at its times, the pairing
// button releases a radio's pairing answers, and every refusal changes
// nothing. The lines' parser is tested on its own first.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ddb.h"
#include "device_line.h"
#include "hacore/Device.h"
#include "hacore/HADevices.h"
#include "hacore/packets.h"
#include "pairing/HalvixAssociation.h"
#include "servers.h"
#include "testkit.h"

using namespace testkit;
using simdevice::Command;
using simdevice::Verb;

namespace {

using Clock = std::chrono::steady_clock;

// ---- the parser ----

struct LineCase {
    const char* line;
    const char* canonical;  // as formatLine writes it back; null: refused
    const char* error;      // part of the refusal
};

const LineCase kLines[] = {
    {"set 7 1 true", "set 7 1 true", nullptr},
    {"  set\t7  1   true  # the door opens", "set 7 1 true", nullptr},
    {"set 5 6 \"On low \"", "set 5 6 \"On low \"", nullptr},
    {"set 5 2 Fan Only\r", "set 5 2 Fan Only", nullptr},
    {"set 9 1 \"a#b\"", "set 9 1 \"a#b\"", nullptr},
    {"set 9 1 \"\"", "set 9 1 \"\"", nullptr},
    {"set 007 0 1", "set 7 0 1", nullptr},
    {"alarm 13", "alarm 13", nullptr},
    {"alarm 13 off", "alarm 13 off", nullptr},
    {"alarm 13 1 on", "alarm 13 1", nullptr},
    {"tamper 7 off", "tamper 7 off", nullptr},
    {"battery 7 0", "battery 7 0", nullptr},
    {"unreachable zwave", "unreachable zwave", nullptr},
    {"back 12", "back 12", nullptr},
    {"button hue", "button hue", nullptr},
    {"wait 600000", "wait 600000", nullptr},
    {"sett 7 1 true", nullptr, "unknown command \"sett\""},
    {"set 7 1", nullptr, "set takes a device, an index and a value"},
    {"set x 1 true", nullptr, "\"x\" is not a device ID"},
    {"set 0 1 true", nullptr, "\"0\" is not a device ID"},
    {"set -7 1 true", nullptr, "\"-7\" is not a device ID"},
    {"set 99999999999 1 true", nullptr, "is not a device ID"},
    {"set 7 one true", nullptr, "\"one\" is not an index"},
    {"set 7 1 \"open", nullptr, "a quote is not closed"},
    {"set 7 1 \"a\" b", nullptr, "a value in quotes ends the line"},
    {"set 7 1 a\"b\"", nullptr, "a value holds no double quote"},
    {"set 7 1 a\tb", nullptr, "a value holds no tab"},
    {"set 7 1 0123456789012345678901234567890123456789xy", nullptr, "longer than 41 bytes"},
    {"set 7 1 tr\x01ue", nullptr, "no control character"},
    {"alarm 13 maybe", nullptr, "\"maybe\" is not an index"},
    {"alarm 13 1 loud", nullptr, "\"loud\" is neither on nor off"},
    {"alarm 13 1 on off", nullptr, "alarm takes a device"},
    {"tamper 7 yes", nullptr, "\"yes\" is neither on nor off"},
    {"battery 7 101", nullptr, "\"101\" is not a battery level (0 to 100)"},
    {"battery 7", nullptr, "battery takes a device and a level"},
    {"unreachable wifi", nullptr, "\"wifi\" is not a device ID or a radio"},
    {"button 7", nullptr, "\"7\" is not a radio"},
    {"wait 600001", nullptr, "wait takes a time in ms"},
    {"wait -1", nullptr, "wait takes a time in ms"},
    {"tamper \"7\"", nullptr, "only a value may be quoted"},
};

TEST(DeviceLine, LinesParseAndReadBackTheSame) {
    for (const LineCase& t : kLines) {
        Command c;
        bool empty = true;
        std::string error;
        bool ok = simdevice::parseLine(t.line, &c, &empty, &error);
        if (!t.canonical) {
            EXPECT_FALSE(ok) << t.line;
            EXPECT_NE(error.find(t.error), std::string::npos) << t.line << ": " << error;
            continue;
        }
        ASSERT_TRUE(ok) << t.line << ": " << error;
        EXPECT_FALSE(empty);
        EXPECT_EQ(simdevice::formatLine(c), t.canonical) << t.line;
        Command again;
        ASSERT_TRUE(simdevice::parseLine(simdevice::formatLine(c), &again, &empty, &error)) << error;
        EXPECT_TRUE(again == c) << t.line;
    }
}

TEST(DeviceLine, CommentsAndBlankLinesSayNothing) {
    for (const char* line : {"", "   ", "# the door", "\t# x \"y", "\r"}) {
        Command c;
        bool empty = false;
        std::string error;
        EXPECT_TRUE(simdevice::parseLine(line, &c, &empty, &error)) << line << error;
        EXPECT_TRUE(empty) << line;
    }
}

TEST(DeviceLine, ArgumentsJoinAValueAndRefuseStrangeWords) {
    Command c;
    std::string error;
    ASSERT_TRUE(simdevice::parseArgs({"set", "5", "2", "Fan", "Only"}, &c, &error)) << error;
    EXPECT_EQ(c.value, "Fan Only");
    ASSERT_TRUE(simdevice::parseArgs({"set", "5", "6", "On low "}, &c, &error)) << error;
    EXPECT_EQ(simdevice::formatLine(c), "set 5 6 \"On low \"");
    EXPECT_FALSE(simdevice::parseArgs({"set", "5", "2", "a\nb"}, &c, &error));
    EXPECT_FALSE(simdevice::parseArgs({"tamper", "7 off"}, &c, &error));
    EXPECT_NE(error.find("is not a word"), std::string::npos);
    EXPECT_FALSE(simdevice::parseArgs({}, &c, &error));
}

TEST(DeviceLine, ScriptsAddTheirWaitsAndNameTheBadLine) {
    std::vector<simdevice::Timed> lines;
    int bad = 0;
    std::string error;
    ASSERT_TRUE(simdevice::parseScript("# door\nset 7 1 true\nwait 250\n\nwait 50\ntamper 7\nbattery 7 5\nwait 1\n",
                                       &lines, &bad, &error))
        << error;
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].atMs, 0);
    EXPECT_EQ(lines[0].line, 2);
    EXPECT_EQ(lines[1].atMs, 300);
    EXPECT_EQ(lines[1].line, 6);
    EXPECT_EQ(lines[2].atMs, 300);
    EXPECT_TRUE(lines[2].command.verb == Verb::Battery);
    EXPECT_FALSE(simdevice::parseScript("set 7 1 true\nwait 10\nsetx 7\n", &lines, &bad, &error));
    EXPECT_EQ(bad, 3);
    EXPECT_EQ(lines.size(), 3u);  // left as it was
}

// ---- the tool and the application ----

struct Result {
    int rc = -1;
    std::string out, err;
};

// Runs sim-device (the host program on PATH) with the arguments and
// standard input; waits for it to end.
Result simDevice(const std::vector<std::string>& args, const std::string& input = "") {
    std::vector<std::string> all = {"sim-device"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    int in[2], out[2], err[2];
    Result r;
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) return r;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        execvp("sim-device", argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (!input.empty() && write(in[1], input.data(), input.size()) != (ssize_t)input.size()) ADD_FAILURE();
    close(in[1]);
    pollfd p[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* into[2] = {&r.out, &r.err};
    int open = 2;
    while (open > 0) {
        if (poll(p, 2, -1) < 0) continue;
        for (int k = 0; k < 2; ++k) {
            if (p[k].fd < 0 || !p[k].revents) continue;
            char buf[4096];
            ssize_t n = read(p[k].fd, buf, sizeof buf);
            if (n > 0) {
                into[k]->append(buf, (size_t)n);
            } else {
                close(p[k].fd);
                p[k].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

struct Heard {
    int id, index;
    std::string value, stored;  // the notified value; the device's value at that index as loaded
    Clock::time_point at;
};
struct HeardEvent {
    int type, arg;
    Clock::time_point at;
};

std::mutex heardLock;
std::vector<Heard> heard, heardByDevice;
std::vector<HeardEvent> heardEvents;

Heard look(Device* d) {
    int index = d->getLastNotificationIndex();
    return {d->getID(), index, d->getLastNotificationIndexValue(), d->getValue(index), Clock::now()};
}
void onAny(Device* d) {
    Heard h = look(d);
    std::lock_guard<std::mutex> g(heardLock);
    heard.push_back(h);
}
void onDoor(Device* d) {
    Heard h = look(d);
    std::lock_guard<std::mutex> g(heardLock);
    heardByDevice.push_back(h);
}
void onEvent(Event* e) {
    std::lock_guard<std::mutex> g(heardLock);
    heardEvents.push_back({e->type, e->arg, Clock::now()});
}

std::vector<Heard> heardSoFar() {
    std::lock_guard<std::mutex> g(heardLock);
    return heard;
}
std::vector<HeardEvent> eventsSoFar() {
    std::lock_guard<std::mutex> g(heardLock);
    return heardEvents;
}

bool hasHeard(int id, int index, const std::string& value) {
    for (const Heard& h : heardSoFar())
        if (h.id == id && h.index == index && h.value == value) return true;
    return false;
}
bool hasEvent(int type, int arg) {
    for (const HeardEvent& e : eventsSoFar())
        if (e.type == type && e.arg == arg) return true;
    return false;
}

// The value record as the store holds it (a "StandardWarningDevice" reads
// "1" at index 1 through the library, whatever is stored).
std::string stored(int id, int index) {
    bool found = false;
    std::string rec = ddbGet(std::to_string(id) + "." + std::to_string(index), &found);
    return found ? field(rec, offsetof(ValueRecord, value), sizeof(ValueRecord::value)) : "(none)";
}

// One application for the whole binary: the end client, with a callback
// for every device, one for the back door (7) and one for events.
HADevices& app() {
    static HADevices* ha = [] {
        HADevices* h = new HADevices;
        EXPECT_EQ(h->initialize(), 1);
        h->genericCallback(onAny);
        h->deviceCallback(7, onDoor);
        h->eventCallback(onEvent);
        return h;
    }();
    return *ha;
}

class SimDevice : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        // The demo's home, afresh: no device left unreachable by a test before.
        removeFile("/tmp/ddb");
        ASSERT_NE(run("sim-home").find("13 devices"), std::string::npos);
        std::lock_guard<std::mutex> g(heardLock);
        heard.clear();
        heardByDevice.clear();
        heardEvents.clear();
    }

    // A report the application is sure to hear; once heard, everything the
    // HA server sent before it has been heard too.
    void sentinel() {
        static int n = 0;
        const std::string level = std::to_string(++n % 90 + 1);
        ASSERT_EQ(simDevice({"set", "2", "1", level}).rc, 0);
        ASSERT_TRUE(waitUntil([&] { return hasHeard(2, 1, level); })) << "the sentinel was not heard";
    }
};

TEST_F(SimDevice, ListsTheHomeWithItsValues) {
    Result r = simDevice({"list"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(
        r.out.find("7 Back door [DoorSensor, ZigBee, Kitchen]\n    0 SECURITYDEVICE = 1\n    1 DOOR_STATE = false\n"
                   "    2 BATTERY = 71\n    3 TAMPER = false\n"),
        std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("13 Garden siren [StandardWarningDevice, ZigBee, Garden]"), std::string::npos);
    r = simDevice({"list", "--json"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(
        r.out.find("{\"index\":1,\"name\":\"DOOR_STATE\",\"value\":\"false\",\"indexType\":4,\"dataType\":\"Bool\","
                   "\"sensor\":true,\"number\":false,\"choices\":[{\"value\":\"true\",\"label\":\"OPEN\"},"
                   "{\"value\":\"false\",\"label\":\"CLOSED\"}]}"),
        std::string::npos)
        << r.out;
    r = simDevice({"--help"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_NE(r.out.find("usage: sim-device"), std::string::npos);
}

TEST_F(SimDevice, ASetIsHeardByTheCallbacksAndHeldByTheStore) {
    Result r = simDevice({"set", "7", "1", "true"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "#7 Back door: DOOR_STATE [1] = true\n");
    // Stored before the tool returned.
    EXPECT_EQ(stored(7, 1), "true");
    ASSERT_TRUE(waitUntil([] {
        std::lock_guard<std::mutex> g(heardLock);
        return !heardByDevice.empty();
    }));
    std::lock_guard<std::mutex> g(heardLock);
    ASSERT_EQ(heardByDevice.size(), 1u);
    EXPECT_EQ(heardByDevice[0].id, 7);
    EXPECT_EQ(heardByDevice[0].index, 1);
    EXPECT_EQ(heardByDevice[0].value, "true");
    EXPECT_EQ(heardByDevice[0].stored, "true");  // the device as loaded in the callback
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].id, 7);
}

struct Refusal {
    std::vector<std::string> args;
    const char* input;    // standard input of a play from "-"
    const char* message;  // the whole of standard error
};

const Refusal kRefusals[] = {
    {{"set", "42", "1", "true"}, "", "sim-device: no device 42 in the home\n"},
    {{"set", "7", "9", "true"}, "", "sim-device: device 7 (Back door) has no index 9\n"},
    {{"set", "7", "1", "ajar"},
     "",
     "sim-device: index 1 (DOOR_STATE) of device 7 (Back door) cannot hold \"ajar\": it holds true or false\n"},
    {{"set", "3", "3", "256"},
     "",
     "sim-device: index 3 (BATTERY) of device 3 (Front door lock) cannot hold \"256\": it holds a whole number from 0 "
     "to 255\n"},
    {{"set", "13", "1", "on"},
     "",
     "sim-device: index 1 (ALARM_STATE) of device 13 (Garden siren) cannot hold \"on\": it holds true or false, or "
     "one of 0, 65535\n"},
    {{"set", "5", "2", "Warm"},
     "",
     "sim-device: index 2 (THERMOSTAT MODE) of device 5 (Thermostat) cannot hold \"Warm\": it holds one of Auto, "
     "Cool, Heat, Off\n"},
    {{"set", "7", "1", "012345678901234567890123456789012345678901"},
     "",
     "sim-device: the value is longer than 41 bytes (sim-device --help)\n"},
    {{"open", "7"},
     "",
     "sim-device: unknown command \"open\" (set, alarm, tamper, battery, unreachable, back, button, wait) (sim-device "
     "--help)\n"},
    {{"battery", "7", "150"}, "", "sim-device: \"150\" is not a battery level (0 to 100) (sim-device --help)\n"},
    {{"alarm", "7"}, "", "sim-device: device 7 (Back door) has no alarm value\n"},
    {{"alarm", "13", "2"}, "", "sim-device: index 2 of device 13 (Garden siren) is not an alarm value\n"},
    {{"tamper", "1"}, "", "sim-device: device 1 (Living room light) has no tamper value\n"},
    {{"battery", "1", "50"}, "", "sim-device: device 1 (Living room light) has no battery value\n"},
    {{"unreachable", "11"}, "", "sim-device: device 11 (Hub siren) is built into the hub: it is always reachable\n"},
    {{"wait", "10"}, "", "sim-device: wait belongs to a script: sim-device play\n"},
    {{"play", "-"},
     "set 7 1 true\nwait 100\nset 7 1 ture\n",
     "sim-device: standard input: line 3: index 1 (DOOR_STATE) of device 7 (Back door) cannot hold \"ture\": it "
     "holds true or false\n"},
    {{"play", "-"},
     "set 7 1 true\n\nsett 7 1 false\n",
     "sim-device: standard input: line 3: unknown command \"sett\" "
     "(set, alarm, tamper, battery, unreachable, back, button, "
     "wait)\n"},
    {{"play", "-"},
     "tamper 7\nwait 1\nset 99 1 true\n",
     "sim-device: standard input: line 3: no device 99 in the home\n"},
    {{"play", "/tmp/no-such-script"}, "", "sim-device: /tmp/no-such-script: No such file or directory\n"},
};

TEST_F(SimDevice, EachRefusalSaysWhyExitsOneAndChangesNothing) {
    for (const Refusal& t : kRefusals) {
        const std::string before = readFile("/tmp/ddb");
        const size_t heardBefore = heardSoFar().size();
        Result r = simDevice(t.args, t.input);
        EXPECT_EQ(r.rc, 1) << t.args[0];
        EXPECT_EQ(r.err, t.message);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(readFile("/tmp/ddb"), before) << t.message;
        sentinel();
        // Nothing but the sentinel was heard.
        EXPECT_EQ(heardSoFar().size(), heardBefore + 1) << t.message;
    }
    EXPECT_TRUE(eventsSoFar().empty());
}

TEST_F(SimDevice, APlayedScriptArrivesInOrderAndNotBeforeItsTimes) {
    writeFile("/tmp/home.script",
              "# someone walks to the back door and opens it\n"
              "set 4 1 true\n"
              "wait 300\n"
              "set 4 1 false   # the hall is empty again\n"
              "wait 200\n"
              "wait 100\n"
              "set 7 1 true\n"
              "tamper 7\n");
    const Clock::time_point t0 = Clock::now();
    Result r = simDevice({"play", "/tmp/home.script"});
    ASSERT_EQ(r.rc, 0) << r.err;
    ASSERT_TRUE(waitUntil([] { return heardSoFar().size() >= 4; }));
    std::vector<Heard> h = heardSoFar();
    ASSERT_EQ(h.size(), 4u);
    const struct {
        int id, index;
        const char* value;
        int atMs;
    } want[] = {{4, 1, "true", 0}, {4, 1, "false", 300}, {7, 1, "true", 600}, {7, 3, "true", 600}};
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(h[k].id, want[k].id) << k;
        EXPECT_EQ(h[k].index, want[k].index) << k;
        EXPECT_EQ(h[k].value, want[k].value) << k;
        EXPECT_GE(h[k].at - t0, std::chrono::milliseconds(want[k].atMs)) << k;
    }
    // Each line said when it went out.
    EXPECT_NE(r.out.find(" s  line 7: #7 Back door: DOOR_STATE [1] = true\n"), std::string::npos) << r.out;
    // From standard input too.
    r = simDevice({"play", "-"}, "battery 7 55\n");
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(waitUntil([] { return hasHeard(7, 2, "55"); }));
}

struct Report {
    std::vector<std::string> args;
    std::vector<Heard> notifications;  // (id, index, value) heard, in order
    std::vector<int> updated;          // devices announced updated
};

const Report kReports[] = {
    {{"alarm", "13"}, {{13, 1, "65535", "", {}}}, {}},
    {{"alarm", "13", "1", "off"}, {{13, 1, "0", "", {}}}, {}},
    {{"tamper", "7"}, {{7, 3, "true", "", {}}}, {}},
    {{"tamper", "4", "off"}, {{4, 3, "false", "", {}}}, {}},
    {{"battery", "7", "12"}, {{7, 2, "12", "", {}}}, {}},
    {{"battery", "13", "80"}, {{13, 2, "80", "", {}}}, {}},
    // A Hue lamp says so in its REACHABLE value; every device in its state.
    {{"unreachable", "9"}, {{9, 6, "false", "", {}}}, {9}},
    {{"unreachable", "7"}, {}, {7}},
    {{"unreachable", "zigbee"}, {}, {6, 8, 13}},
};

TEST_F(SimDevice, AlarmTamperBatteryAndReachabilityAreHeardAsTheHubTellsThem) {
    for (const Report& t : kReports) {
        {
            std::lock_guard<std::mutex> g(heardLock);
            heard.clear();
            heardEvents.clear();
        }
        Result r = simDevice(t.args);
        ASSERT_EQ(r.rc, 0) << t.args[0] << ": " << r.err;
        sentinel();
        std::vector<Heard> h = heardSoFar();
        ASSERT_EQ(h.size(), t.notifications.size() + 1) << t.args[0] << " " << t.args[1];
        for (size_t k = 0; k < t.notifications.size(); ++k) {
            EXPECT_EQ(h[k].id, t.notifications[k].id);
            EXPECT_EQ(h[k].index, t.notifications[k].index);
            EXPECT_EQ(h[k].value, t.notifications[k].value);
            EXPECT_EQ(stored(h[k].id, h[k].index), h[k].value);
        }
        std::vector<HeardEvent> e = eventsSoFar();
        ASSERT_EQ(e.size(), t.updated.size()) << t.args[0] << " " << t.args[1];
        for (size_t k = 0; k < e.size(); ++k) {
            EXPECT_EQ(e[k].type, EV_DeviceUpdated);
            EXPECT_EQ(e[k].arg, t.updated[k]);
            Device d(e[k].arg);
            EXPECT_EQ(d.getdeviceState(), 1);  // unreachable
        }
    }
    // Back again: the lamp's REACHABLE value and its state.
    ASSERT_EQ(simDevice({"back", "9"}).rc, 0);
    EXPECT_TRUE(waitUntil([] { return hasHeard(9, 6, "true") && hasEvent(EV_DeviceUpdated, 9); }));
    EXPECT_EQ(Device(9).getdeviceState(), 0);
    // Said twice, nothing more is told.
    Result r = simDevice({"back", "9"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "device 9 (Sofa lamp) is reachable already: nothing told\n");
}

TEST_F(SimDevice, AnUnreachableDeviceAnswersNoCommandUntilItIsBack) {
    ASSERT_EQ(simDevice({"unreachable", "zwave"}).rc, 0);
    ASSERT_TRUE(waitUntil([] { return hasEvent(EV_DeviceUpdated, 1) && hasEvent(EV_DeviceUpdated, 5); }));
    // The Z-Wave server's answer for the light is dropped by the HA server.
    clearLog("ha.out");
    Device light(1);
    light.setSwitchOn(true, 1);
    ASSERT_TRUE(waitUntil([] {
        for (const std::string& l : logLines("ha.out"))
            if (l == "ha: device 1 is unreachable: its report of index 1 dropped") return true;
        return false;
    }));
    EXPECT_FALSE(hasHeard(1, 1, "true"));
    EXPECT_EQ(stored(1, 1), "false");
    ASSERT_EQ(simDevice({"back", "1"}).rc, 0);
    light.setSwitchOn(true, 1);
    EXPECT_TRUE(waitUntil([] { return hasHeard(1, 1, "true"); }));
    // A device that reports on its own is reachable again.
    Result r = simDevice({"set", "3", "1", "255"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "#3 Front door lock: reachable again\n#3 Front door lock: LOCK_STATE [1] = 255\n");
    EXPECT_TRUE(waitUntil([] { return hasEvent(EV_DeviceUpdated, 3) && hasHeard(3, 1, "255"); }));
    EXPECT_EQ(Device(3).getdeviceState(), 0);
}

// ---- the pairing button ----

std::mutex pairingLock;
std::vector<AssocEvent> pairingEvents;
void onPairing(AssocEvent* e) {
    std::lock_guard<std::mutex> g(pairingLock);
    pairingEvents.push_back(*e);
}
size_t pairingCount() {
    std::lock_guard<std::mutex> g(pairingLock);
    return pairingEvents.size();
}

TEST_F(SimDevice, ThePairingButtonReleasesTheRadiosScript) {
    writeFile("/sim/state/servers/zwave.pairing",
              "on add\n"
              "  wait button   # the new switch's button\n"
              "  send node=12\n");
    clearReceived("zwave");
    HalvixAssociation* a = HalvixAssociation::LCDAssocInit();
    a->registerAssocEventCB(onPairing);
    ASSERT_EQ(a->checkAssocConnection(), 0);
    a->addDevZigbeeZwave();
    ASSERT_EQ(waitReceived("zwave", 1).size(), 1u);
    // Nothing comes while the button is not pressed.
    usleep(300000);
    EXPECT_EQ(pairingCount(), 0u);
    Result r = simDevice({"button", "zwave"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "zwave button pressed: the answers waiting for it are sent\n");
    ASSERT_TRUE(waitUntil([] { return pairingCount() >= 1; }));
    {
        std::lock_guard<std::mutex> g(pairingLock);
        EXPECT_EQ(pairingEvents[0].type, 3);  // device found, being added
        EXPECT_EQ(pairingEvents[0].server, 2);
    }
    // A press before the request is kept for the next wait.
    a->sendCancelTo(CANCEL_Both);
    // The radio has the cancel (which forgets kept presses) before the press.
    ASSERT_EQ(waitReceived("zwave", 2).size(), 2u);
    r = simDevice({"button", "zwave"});
    EXPECT_EQ(r.out, "zwave button pressed: nothing waited for it; the next wait for the button passes\n");
    const size_t before = pairingCount();
    a->addDevZigbeeZwave();
    EXPECT_TRUE(waitUntil([&] { return pairingCount() > before; }));
    a->closeAssocConnection();
    EXPECT_EQ(datagrams("zwave-button").size(), 2u);
}

}  // namespace
