// The door alert's test, run in the virtual router with the demo's home:
// the application starts, `sim-device play` acts out the door script, and
// the test checks what the application did and that the hub holds the
// light on.
//
//   door-alert-test SCRIPT      (inside router-run --home)
#include <cstdio>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

#include <hacore/Device.h>

#include "door_alert.h"

extern char** environ;

namespace {

int passed = 0, failures = 0;

void check(bool ok, const std::string& what) {
    printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    ++(ok ? passed : failures);
}

// Runs sim-device (on the virtual router's PATH) and returns its exit code.
int simDevice(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"sim-device"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, "sim-device", nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: door-alert-test SCRIPT\n");
        return 2;
    }
    DoorAlert alert;
    check(alert.start(), "the application finds the door sensor and the hub");
    if (failures) return 1;
    check(alert.door() == 7 && alert.light() == 1, "the back door (7) and the living room light (1)");

    check(simDevice({"play", argv[1]}) == 0, "the script played");

    // What the application should have done, in this order.
    const std::vector<std::string> expected = {
        "Back door opened: switching the light on",
        "Back door closed",
        "Back door tampered with",
        "Back door battery low: 12%",
        "Back door unreachable",
        "Back door reachable again",
    };
    const int patience = 60000;  // qemu is slow; this is a deadline, not a pause
    for (const std::string& e : expected) check(alert.waitFor(e, patience), "the application said: " + e);
    check(alert.waitFor("the light is on", patience), "the hub confirmed the light on");
    std::vector<std::string> done = alert.done();
    size_t next = 0;
    for (const std::string& line : done)
        if (next < expected.size() && line == expected[next]) ++next;
    check(next == expected.size(), "in the script's order");
    check(Device(alert.light()).getValue(1) == std::string("true"), "the store holds the light on");

    // A refused line changes nothing: the script stops before it begins.
    check(simDevice({"set", "7", "1", "ajar"}) == 1, "a value a door cannot hold is refused");
    check(Device(alert.door()).getValue(1) == std::string("false"), "the door is still closed");

    printf("%d passed, %d failed\n", passed, failures);
    return failures ? 1 : 0;
}
