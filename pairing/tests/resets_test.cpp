// Radio resets one by one and together, the Z-Wave server's answer to a
// reset, and a reset's pauses under an application's signals.
#include <chrono>
#include <csignal>
#include <cstring>
#include <pthread.h>
#include <thread>

#include "Logger.h"
#include "pairing_util.h"
#include "servers.h"
#include "testkit.h"

using namespace ptest;
using testkit::field;
using testkit::le32;

namespace {

class Resets : public PairingTest {};

volatile sig_atomic_t g_signals = 0;
void onSignal(int) { g_signals = g_signals + 1; }

}  // namespace

TEST_F(Resets, EachRadioAndBoth) {
    struct sigaction sa, old;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = onSignal;  // no SA_RESTART: the pause sees EINTR
    sigaction(SIGUSR1, &sa, &old);
    const struct {
        reset_type type;
        bool zigbee, zwave;
    } kCases[] = {
        {RESET_Zigbee, true, false},
        {RESET_Zwave, false, true},
        {RESET_Both, true, true},
    };
    script("zwave", "on reset\n send node=1\n");
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.type);
        for (const char* s : {"zwave", "zigbee", "ha-assoc"}) testkit::clearReceived(s);
        Logger::getInstance()->clear();
        a->assocState = 3;  // waiting for the radio's word
        g_signals = 0;
        // A signal while the ZigBee radio is given its two seconds.
        pthread_t self = pthread_self();
        std::thread ticker([&] {
            if (c.zigbee && testkit::waitReceived("zigbee", 1).size() == 1) pthread_kill(self, SIGUSR1);
        });
        auto start = std::chrono::steady_clock::now();
        a->doResetFor(c.type);
        auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        ticker.join();
        EXPECT_GE(ms, c.zigbee ? 9000 : 7000);  // interrupted pauses are carried on
        auto zb = testkit::received("zigbee");
        auto zw = testkit::received("zwave");
        if (c.zigbee) {
            EXPECT_EQ(g_signals, 1);
            ASSERT_EQ(zb.size(), 2u);
            EXPECT_EQ(field(zb[0], 0, 180), "n l");
            EXPECT_EQ(field(zb[1], 0, 180), "option button0");
            EXPECT_EQ(logged("libpairing:Sending reset command to zigbee_server").size(), 1u);
        } else {
            EXPECT_TRUE(zb.empty());
        }
        if (c.zwave) {
            ASSERT_EQ(zw.size(), 1u);
            EXPECT_EQ(le32(zw[0], 192), 5);
            EXPECT_TRUE(waitUntil([] { return logged("libpairing:Reset Success").size() == 1; }));
            EXPECT_TRUE(waitUntil([&] { return a->assocState == 0 && idle; }));
        } else {
            EXPECT_TRUE(zw.empty());
            EXPECT_EQ(a->assocState, 3);
        }
        EXPECT_TRUE(testkit::received("ha-assoc").empty());  // no removal of all devices
    }
    sigaction(SIGUSR1, &old, nullptr);
}
