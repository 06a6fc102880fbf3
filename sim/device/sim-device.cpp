// sim-device: the physical world of the virtual home. Lists the home's
// devices, has a device report a value, an alarm, a tamper, its battery,
// go unreachable and come back, presses a radio's pairing button, and plays
// a script of such lines at their times. Every line goes to the HA server
// stand-in (its control socket), which checks it against the home, stores
// what the device reports and tells every client, as a radio's report does.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "device_client.h"
#include "device_line.h"

namespace {

using simdevice::Answer;

const char kHelp[] =
    "usage: sim-device COMMAND ...    (inside the virtual router)\n"
    "\n"
    "  list [--json]                 the home's devices, each index with its value\n"
    "  set ID INDEX VALUE            device ID reports VALUE at INDEX\n"
    "  alarm ID [INDEX] [on|off]     its alarm value raised (off: cleared)\n"
    "  tamper ID [on|off]            its tamper value raised (off: cleared)\n"
    "  battery ID PERCENT            its battery level, 0 to 100 (below 20 also\n"
    "                                reports a low battery where the device says so)\n"
    "  unreachable ID|RADIO          the device (or every device of the radio) is lost:\n"
    "                                the radios' answers for it are dropped\n"
    "  back ID|RADIO                 ... and reachable again\n"
    "  button RADIO                  the radio's pairing button is pressed (releases\n"
    "                                the pairing script's \"wait button\")\n"
    "  play FILE|-                   the lines of FILE (- standard input) at their\n"
    "                                times: \"wait MS\" lines put the next ones later\n"
    "\n"
    "RADIO is zwave, zigbee, hue or nest. A report of an unreachable device makes\n"
    "it reachable again. The HA server stores what a device reports and tells every\n"
    "client, as when a radio reports. A device or index that is not in the home, a\n"
    "value its index cannot hold or a bad line is refused (exit 1) and changes\n"
    "nothing; a script is checked whole before any line is sent.\n";

std::string g_socket = simdevice::kControlSocket;

void fail(const std::string& message) { fprintf(stderr, "sim-device: %s\n", message.c_str()); }

// Sends one request; prints the answer's text (to stdout when it went
// through, else as an error with `where` before it). Returns the exit code.
int request(const std::string& line, const std::string& where, std::string* answer = nullptr) {
    std::string text;
    Answer a = simdevice::ask(g_socket, line, &text);
    if (answer) *answer = text;
    if (a == Answer::Ok) return 0;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    if (a == Answer::Unreachable) text = "the virtual router's HA server is not there: " + text;
    fail(where + text);
    return 1;
}

double secondsSince(const timespec& t0) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)(now.tv_sec - t0.tv_sec) + (double)(now.tv_nsec - t0.tv_nsec) / 1e9;
}

void sleepUntil(const timespec& t0, long long ms) {
    timespec at = t0;
    at.tv_sec += (time_t)(ms / 1000);
    at.tv_nsec += (long)(ms % 1000) * 1000000L;
    if (at.tv_nsec >= 1000000000L) {
        at.tv_sec += 1;
        at.tv_nsec -= 1000000000L;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

// A script: checked whole (every line parsed, then each checked by the HA
// server against the home), then each line sent at its time.
int play(const std::string& file) {
    std::string text;
    const std::string name = file == "-" ? "standard input" : file;
    if (file == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            fail(file + ": " + strerror(errno));
            return 1;
        }
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (text.size() > (1u << 20)) {
        fail(name + ": a script is at most 1 MiB");
        return 1;
    }
    std::vector<simdevice::Timed> lines;
    int bad = 0;
    std::string error;
    if (!simdevice::parseScript(text, &lines, &bad, &error)) {
        fail(name + ": line " + std::to_string(bad) + ": " + error);
        return 1;
    }
    for (const simdevice::Timed& t : lines)
        if (request("check " + simdevice::formatLine(t.command), name + ": line " + std::to_string(t.line) + ": ") != 0)
            return 1;
    timespec t0;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    for (const simdevice::Timed& t : lines) {
        sleepUntil(t0, t.atMs);
        std::string told;
        const std::string where = name + ": line " + std::to_string(t.line) + ": ";
        if (request(simdevice::formatLine(t.command), where, &told) != 0) return 1;
        std::istringstream said(told);
        std::string one;
        while (std::getline(said, one)) printf("%8.3f s  line %d: %s\n", secondsSince(t0), t.line, one.c_str());
        fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        fputs(kHelp, stderr);
        return 1;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        fputs(kHelp, stdout);
        return 0;
    }
    if (args[0] == "list") {
        if (args.size() > 2 || (args.size() == 2 && args[1] != "--json")) {
            fail("list takes --json or nothing");
            return 1;
        }
        std::string listing;
        int rc = request(args.size() == 2 ? "list json" : "list", "", &listing);
        if (rc == 0) fputs(listing.c_str(), stdout);
        return rc;
    }
    if (args[0] == "play") {
        if (args.size() != 2) {
            fail("play takes one file (- for standard input)");
            return 1;
        }
        return play(args[1]);
    }
    simdevice::Command c;
    std::string error;
    if (!simdevice::parseArgs(args, &c, &error)) {
        fail(error + " (sim-device --help)");
        return 1;
    }
    if (c.verb == simdevice::Verb::Wait) {
        fail("wait belongs to a script: sim-device play");
        return 1;
    }
    std::string told;
    int rc = request(simdevice::formatLine(c), "", &told);
    if (rc == 0) fputs(told.c_str(), stdout);
    return rc;
}
