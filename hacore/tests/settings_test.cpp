// Hub settings: every Halvix setter's event at the HA server, the server
// applying it to nvram or the hub's files, and the getter reading it back;
// RMemory's requests as the nvram stand-in recorded them, the shell tools
// seeing the same settings, and the driver's faults.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hacore/HADevices.h"
#include "hacore/Halvix.h"
#include "servers.h"
#include "testkit.h"

using namespace testkit;

namespace {

std::mutex lock;
std::condition_variable changed;
std::vector<int> appliedCodes;  // setting codes of the HalvixUpdated events heard

void onEvent(Event* e) {
    if (e->type != EV_HalvixUpdated) return;
    std::lock_guard<std::mutex> g(lock);
    appliedCodes.push_back(e->arg);
    changed.notify_all();
}

size_t heard() {
    std::lock_guard<std::mutex> g(lock);
    return appliedCodes.size();
}

// Waits until the HA server has announced `n` settings events in all.
bool waitHeard(size_t n) {
    std::unique_lock<std::mutex> g(lock);
    return changed.wait_for(g, std::chrono::seconds(30), [&] { return appliedCodes.size() >= n; });
}

std::string get(const char* name, bool rtdev = false) {
    char out[NVRAM_BUFFER_SIZE];
    memset(out, 'x', sizeof out);
    RMemory m;
    if (rtdev)
        m.getSettingRtdev(const_cast<char*>(name), out);
    else
        m.getSetting(const_cast<char*>(name), out);
    return out;
}

void set(const char* name, const std::string& value) { RMemory().addValue(name, value.c_str()); }

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
    for (const std::string& l : lines)
        if (l == line) return true;
    return false;
}

// Waits for a line in a log of the virtual router (background commands).
bool waitLine(const std::string& log, const std::string& line) {
    return testkit::waitUntil([&] { return hasLine(logLines(log), line); });
}

class Settings : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        HADevices h;
        ASSERT_EQ(h.initialize(), 1);
        h.eventCallback(onEvent);
    }
    void SetUp() override {
        clearReceived("ha-assoc");
        clearLog("nvram");
    }

    // Runs fn and proves it sent no event: a marker event sent after it is
    // the only datagram the HA server receives.
    void expectNothingSent(const std::function<void()>& fn) {
        clearReceived("ha-assoc");
        fn();
        size_t before = heard();
        ASSERT_EQ(Halvix().setUpnpStatus(7), 1);
        std::vector<std::string> got = waitReceived("ha-assoc", 1);
        ASSERT_TRUE(waitHeard(before + 1));
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(le32(got[0], 4), HS_Upnp);
    }
};

struct SetterCase {
    const char* what;
    std::function<int(Halvix&)> setter;
    int code;
    std::string text;
    std::function<std::string(Halvix&)> getter;
    std::string expected;
};

std::string text(void (Halvix::*g)(char*), Halvix& h) {
    char out[200] = "";
    (h.*g)(out);
    return out;
}

// A text setting: what is sent is what is read back.
SetterCase textCase(const char* what, int (Halvix::*set)(char*), void (Halvix::*get)(char*), int code,
                    const std::string& value) {
    return {what,
            [set, value](Halvix& h) {
                std::string copy = value;
                return (h.*set)(&copy[0]);
            },
            code,
            value,
            [get](Halvix& h) { return text(get, h); },
            value};
}

// A number or switch setting, sent in decimal; read back as `readBack`, or
// else as what was sent.
template <typename V, typename R>
SetterCase numberCase(const char* what, int (Halvix::*set)(V), R (Halvix::*get)(), int code, V value,
                      const char* readBack = nullptr) {
    const std::string sent = std::to_string(value);
    return {what, [set, value](Halvix& h) { return (h.*set)(value); },     code,
            sent, [get](Halvix& h) { return std::to_string((h.*get)()); }, readBack ? readBack : sent};
}

TEST_F(Settings, EverySetterSendsItsEventAndTheGetterReadsTheAppliedValue) {
    const std::vector<SetterCase> cases = {
        textCase("name", &Halvix::setHalvixName, &Halvix::getHalvixName, 1, "Attic Hub"),
        textCase("temperature", &Halvix::setTempFormat, &Halvix::getTempFormat, 2, "C"),
        textCase("server name", &Halvix::setServerName, &Halvix::getServerName, 3, "hub.example.net"),
        numberCase("upnp", &Halvix::setUpnpStatus, &Halvix::getUpnpStatus, 4, 0),
        numberCase("web admin", &Halvix::setWebAdminState, &Halvix::getWebAdminState, 5, false),
        textCase("password", &Halvix::setWebAdminPassword, &Halvix::getWebAdminPassword, 6, "s3cret-pass"),
        numberCase("screen lock", &Halvix::setScreenLock, &Halvix::isScreenLock, 7, false),
        numberCase("lock time", &Halvix::setScreenLockTime, &Halvix::getScreenLockTime, 8, 300),
        textCase("time zone", &Halvix::setHalvixTimeZone, &Halvix::getHalvixTimeZone, 10, "CET-1CEST,M3.5.0,M10.5.0/3"),
        numberCase("24 hours", &Halvix::setTimeHoursMode24, &Halvix::isTimeHoursMode24, 11, true),
        numberCase("auto update", &Halvix::setFWAutoUpdate, &Halvix::isFWAutoUpdate, 12, false),
        textCase("update time", &Halvix::setFWAutoUpdateTime, &Halvix::getFWAutoUpdateTime, 13, "04:30"),
        textCase("new firmware", &Halvix::setNewFirmwareVersion, &Halvix::getNewFirmwareVersion, 14, "VK7-R2.2.0"),
        numberCase("slave update", &Halvix::setSlaveFWUpdateStatus, &Halvix::getSlaveFWUpdateStatus, 15, true),
        numberCase("same network", &Halvix::setSameNetworkSettings, &Halvix::isSameNetworkSettings, 16, false),
        textCase("location", &Halvix::setHalvixLocation, &Halvix::getHalvixLocation, 17, "Europe/Berlin"),
        // Two guest networks read back as "on".
        numberCase("guest network", &Halvix::setGuestNetwork, &Halvix::isGuestNetworkEnabled, 18, 2, "1"),
        textCase("ping address", &Halvix::setPingIP, &Halvix::getPingIP, 19, "9.9.9.9"),
        textCase("url", &Halvix::setURL, &Halvix::getURL, 20, "example.org"),
        textCase("language", &Halvix::setHalvixLanguage, &Halvix::getHalvixLanguage, 21, "de"),
        numberCase("auto time zone", &Halvix::setDisableAutoTimeZone, &Halvix::isDisableAutoTimeZone, 22, true),
        textCase("geolocation", &Halvix::setGeolocation, &Halvix::getGeolocation, 23, "52.5200,13.4050"),
        numberCase("app time", &Halvix::setAppTime, &Halvix::getAppTime, 24, 1200),
    };
    for (const SetterCase& c : cases) {
        SCOPED_TRACE(c.what);
        clearReceived("ha-assoc");
        Halvix h;
        size_t before = heard();
        EXPECT_EQ(c.setter(h), 1);
        std::vector<std::string> got = waitReceived("ha-assoc", 1);
        ASSERT_EQ(got.size(), 1u);
        const std::string& d = got[0];
        ASSERT_EQ(d.size(), 604u);
        EXPECT_EQ(le32(d, 0), EV_HalvixUpdated);
        EXPECT_EQ(le32(d, 4), c.code);
        EXPECT_EQ(field(d, 8, 292), c.text);
        EXPECT_TRUE(zeros(d, 8 + c.text.size(), 292 - c.text.size()));
        EXPECT_TRUE(zeros(d, 300, 304));
        ASSERT_TRUE(waitHeard(before + 1));
        EXPECT_EQ(c.getter(h), c.expected);
    }
}

TEST_F(Settings, DnsIsHeldByTheObjectAndAppliedForTheNext) {
    Halvix h;
    char pri[30], sec[30];
    EXPECT_EQ(h.getDNS(pri, sec), 1);
    EXPECT_STREQ(pri, get("dhcpPriDns").c_str());
    EXPECT_STREQ(sec, get("dhcpSecDns").c_str());

    expectNothingSent([&] { EXPECT_EQ(h.setDns((char*)"9.9.9.9", (char*)"not-an-ip"), 0); });
    expectNothingSent([&] { EXPECT_EQ(h.setDns(pri, sec), 1); });

    clearReceived("ha-assoc");
    size_t before = heard();
    EXPECT_EQ(h.setDns((char*)"9.9.9.9", (char*)"149.112.112.112"), 1);
    std::vector<std::string> got = waitReceived("ha-assoc", 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(le32(got[0], 4), HS_Dns);
    EXPECT_EQ(field(got[0], 8, 292), "9.9.9.9,149.112.112.112");
    ASSERT_TRUE(waitHeard(before + 1));
    EXPECT_EQ(h.getDNS(pri, sec), 1);
    EXPECT_STREQ(pri, "9.9.9.9");
    Halvix later;
    later.getDNS(pri, sec);
    EXPECT_STREQ(pri, "9.9.9.9");
    EXPECT_STREQ(sec, "149.112.112.112");
}

TEST_F(Settings, RefusedArgumentsSendNothing) {
    Halvix h;
    char name[200] = "";
    h.getHalvixName(name);
    expectNothingSent([&] { EXPECT_EQ(h.setHalvixName(name), 0); });
    expectNothingSent([&] { EXPECT_EQ(h.setTempFormat((char*)"K"), 0); });
    expectNothingSent([&] { EXPECT_EQ(h.setServerName((char*)"ab"), 0); });
    expectNothingSent([&] { EXPECT_EQ(h.setGuestNetwork(0), 0); });
    expectNothingSent([&] { EXPECT_EQ(h.setGuestNetwork(3), 0); });
    expectNothingSent([&] { EXPECT_EQ(h.setWebAdminPassword((char*)"abc"), 0); });
    expectNothingSent([&] { EXPECT_EQ(h.setWebAdminPassword((char*)std::string(33, 'p').c_str()), 0); });
    expectNothingSent([&] { EXPECT_EQ(h.setScreenLockTime(0), 0); });
    expectNothingSent([&] { EXPECT_EQ(h.setHalvixTimeZone((char*)"UT"), 0); });
    expectNothingSent([&] { EXPECT_EQ(h.setPingIP((char*)"300.1.1.1"), 0); });
    expectNothingSent([&] { EXPECT_EQ(h.setHalvixLanguage(nullptr), 0); });
    // Unchanged values are not sent again.
    set("Geolocation", "1,2");
    expectNothingSent([&] { EXPECT_EQ(h.setGeolocation((char*)"1,2"), 1); });
    set("AppTime", "77");
    expectNothingSent([&] { EXPECT_EQ(h.setAppTime(77), 1); });
    set("DisableAutoTimeZone", "0");
    expectNothingSent([&] { EXPECT_EQ(h.setDisableAutoTimeZone(false), 1); });
    // A value the event cannot hold is refused, not cut.
    std::string longest(291, 'L'), tooLong(292, 'L');
    expectNothingSent([&] { EXPECT_EQ(h.setURL((char*)tooLong.c_str()), 0); });
    expectNothingSent([&] { EXPECT_EQ(h.setHalvixTimeZone((char*)tooLong.c_str()), 0); });
    clearReceived("ha-assoc");
    EXPECT_EQ(h.setURL((char*)longest.c_str()), 1);
    std::vector<std::string> got = waitReceived("ha-assoc", 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(field(got[0], 8, 292), longest);
}

// A missing argument is refused (setters) or leaves nothing written
// (getters); a value the hub already holds is not sent again.
TEST_F(Settings, MissingArgumentsAndHeldValues) {
    Halvix h;
    const std::function<int()> refused[] = {
        [&] { return h.setHalvixName(nullptr); },
        [&] { return h.setTempFormat(nullptr); },
        [&] { return h.setServerName(nullptr); },
        [&] { return h.setWebAdminPassword(nullptr); },
        [&] { return h.setHalvixTimeZone(nullptr); },
        [&] { return h.setFWAutoUpdateTime(nullptr); },
        [&] { return h.setNewFirmwareVersion(nullptr); },
        [&] { return h.setHalvixLocation(nullptr); },
        [&] { return h.setURL(nullptr); },
        [&] { return h.setGeolocation(nullptr); },
        [&] { return h.setDns(nullptr, (char*)"8.8.8.8"); },
        [&] { return h.setDns((char*)"8.8.8.8", nullptr); },
    };
    for (const auto& f : refused) expectNothingSent([&] { EXPECT_EQ(f(), 0); });
    // Nothing to write into: nothing happens.
    h.getHalvixName(nullptr);
    h.getServerName(nullptr);
    h.getHalvixVersion(nullptr);
    h.getHalvixOperationMode(nullptr);
    h.getNewFirmwareVersion(nullptr);
    h.getHalvixLocation(nullptr);
    h.getHalvixLanguage(nullptr);
    char user[100] = "none";
    h.getPinToUserName(nullptr, user);
    h.getPinToUserName((char*)"1234", nullptr);
    EXPECT_STREQ(user, "none");
    char pri[32] = "", sec[32] = "";
    EXPECT_EQ(h.getDNS(nullptr, sec), 1);
    EXPECT_EQ(h.getDNS(pri, nullptr), 1);
    EXPECT_TRUE(*pri && *sec);

    set("NewFirmwareVersion", "2.4.1");
    expectNothingSent([&] { EXPECT_EQ(h.setNewFirmwareVersion((char*)"2.4.1"), 1); });
    set("SameNetworkSettings", "1");
    expectNothingSent([&] { EXPECT_EQ(h.setSameNetworkSettings(true), 1); });
    set("HalvixLocation", "Lisbon");
    expectNothingSent([&] { EXPECT_EQ(h.setHalvixLocation((char*)"Lisbon"), 1); });
    // A change of the second server alone is sent.
    clearReceived("ha-assoc");
    size_t before = heard();
    EXPECT_EQ(h.setDns(pri, (char*)"1.0.0.1"), 1);
    std::vector<std::string> got = waitReceived("ha-assoc", 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(field(got[0], 8, 292), std::string(pri) + ",1.0.0.1");
    ASSERT_TRUE(waitHeard(before + 1));
}

TEST_F(Settings, AcceptedEdgesAreSentUnchanged) {
    Halvix h;
    struct {
        std::function<int()> call;
        int code;
        std::string text;
    } cases[] = {
        {[&] { return h.setTempFormat((char*)"xFx"); }, 2, "xFx"},
        {[&] { return h.setWebAdminPassword((char*)"abcd"); }, 6, "abcd"},
        {[&] { return h.setWebAdminPassword((char*)std::string(32, 'p').c_str()); }, 6, std::string(32, 'p')},
        {[&] { return h.setGuestNetwork(1); }, 18, "1"},
    };
    for (auto& c : cases) {
        clearReceived("ha-assoc");
        EXPECT_EQ(c.call(), 1);
        std::vector<std::string> got = waitReceived("ha-assoc", 1);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(le32(got[0], 4), c.code);
        EXPECT_EQ(field(got[0], 8, 292), c.text);
    }
}

TEST_F(Settings, FailedSendsPrintTheirMessage) {
    Halvix h;
    // Every send to the HA server (its two ports) fails.
    testkit::Fault toSettings("sendto-8888"), toAssoc("sendto-9999");
    int r1 = 0, r2 = 0, r3 = 0, r4 = 0, r5 = 0;
    std::string err = captureStderr([&] {
        r1 = h.setWebAdminState(true);
        r2 = h.setHalvixLanguage((char*)"fr");
        r3 = h.setGuestNetwork(1);
        r4 = h.setURL((char*)"x.org");
        r5 = h.setPingIP((char*)"1.2.3.4");
    });
    int r6 = h.setDns((char*)"1.2.3.4", (char*)"5.6.7.8");
    int r7 = h.setHalvixName((char*)"Nobody Hears");
    toSettings.off();
    toAssoc.off();
    EXPECT_EQ(r1, 0);
    EXPECT_EQ(r2, 1);
    EXPECT_EQ(r3, 1);
    EXPECT_EQ(r4, 1);
    EXPECT_EQ(r5, 1);
    EXPECT_EQ(r6, 1);
    EXPECT_EQ(r7, 0);
    EXPECT_EQ(err,
              "sending event to haserver failed\n"
              "sending setLanguage event to haserver failed\n"
              "sending setGuestNetwork event to haserver failed\n"
              "sending setURL event to haserver failed\n"
              "sending setPingIP event to haserver failed\n");
}

TEST_F(Settings, TimeZoneByLocation) {
    Halvix h;
    const struct {
        const char* location;
        const char* tz;
    } examples[] = {
        {"America/New York", "EST5EDT,M3.2.0,M11.1.0"},
        {"Europe/London", "GMT0BST,M3.5.0/1,M10.5.0"},
        {"Europe/Berlin", "CET-1CEST,M3.5.0,M10.5.0/3"},
        {"Asia/Kolkata", "IST-5:30"},
        {"Asia/Kathmandu", "NPT-5:45"},
        {"America/St Johns", "NST3:30NDT,M3.2.0,M11.1.0"},
        {"Australia/Lord Howe", "LHST-10:30LHST-11,M10.1.0,M4.1.0"},
        {"Pacific/Chatham", "CHAST-12:45CHADT,M9.5.0/2:45,M4.1.0/3:45"},
        {"Africa/Abidjan", "GMT0"},
    };
    for (const auto& e : examples) EXPECT_STREQ(h.getZone((char*)e.location), e.tz) << e.location;
    EXPECT_STREQ(h.getZone((char*)"America/New_York"), "NAN");
    EXPECT_STREQ(h.getZone((char*)"america/new york"), "NAN");
    EXPECT_STREQ(h.getZone(nullptr), "NAN");
    expectNothingSent([&] { EXPECT_EQ(h.setHalvixTimeZoneByLocation((char*)"Africa/Dar_es_Salaam"), 0); });

    clearReceived("ha-assoc");
    size_t before = heard();
    EXPECT_EQ(h.setHalvixTimeZoneByLocation((char*)"Asia/Tokyo"), 1);
    std::vector<std::string> got = waitReceived("ha-assoc", 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(le32(got[0], 4), HS_TimeZone);
    EXPECT_EQ(field(got[0], 8, 292), "JST-9");
    ASSERT_TRUE(waitHeard(before + 1));
    char tz[180];
    h.getHalvixTimeZone(tz);
    EXPECT_STREQ(tz, "JST-9");
    // The HA server committed the change.
    EXPECT_NE(readFile("/sim/state/nvram/2860.flash").find("\nTZ=JST-9\n"), std::string::npos);
}

TEST_F(Settings, GettersReadTheRequestsTheDriverRecorded) {
    Halvix h;
    char out[180];
    h.getHalvixLanguage(out);
    h.getWebAdminUserName(out);
    EXPECT_STREQ(out, "admin");
    std::vector<std::string> log = logLines("nvram");
    EXPECT_TRUE(hasLine(log, "get 1 Language"));
    EXPECT_TRUE(hasLine(log, "get 1 Login"));
    clearLog("nvram");
    get("SSID1", true);
    set("HubNote", "two words");
    RMemory().addValueRtdev("Channel", "149");
    RMemory().saveValuesRtdev();
    EXPECT_EQ(logLines("nvram"),
              (std::vector<std::string>{"get 2 SSID1", "set 1 HubNote=two words", "set 2 Channel=149", "commit 2"}));
    EXPECT_EQ(get("Channel", true), "149");
    EXPECT_NE(readFile("/sim/state/nvram/rtdev.flash").find("\nChannel=149\n"), std::string::npos);
    EXPECT_EQ(readFile("/sim/state/nvram/2860.flash").find("HubNote"), std::string::npos);
}

TEST_F(Settings, ShellToolsAndTheDeviceSeeOneTruth) {
    run("nvram_set 2860 FromShell 'a b;c'");
    EXPECT_EQ(get("FromShell"), "a b;c");
    RMemory().saveSetting("FromLibrary", "x=y $(z)");
    EXPECT_EQ(run("nvram_get 2860 FromLibrary"), "x=y $(z)\n");
    EXPECT_EQ(run("nvram_get FromLibrary"), "x=y $(z)\n");
    RMemory().addValueRtdev("FromLibrary", "second radio");
    EXPECT_EQ(run("nvram_get rtdev FromLibrary"), "second radio\n");
    EXPECT_TRUE(hasLine(logLines("nvram"), "nvram_get 2860 FromLibrary"));
}

TEST_F(Settings, SavedSettingsOfTheSecondRadioAreCommitted) {
    clearLog("nvram");
    RMemory().saveSettingRtdev("BeaconPeriod", "100");
    EXPECT_EQ(logLines("nvram"), (std::vector<std::string>{"set 2 BeaconPeriod=100", "commit 2"}));
    EXPECT_NE(readFile("/sim/state/nvram/rtdev.flash").find("\nBeaconPeriod=100\n"), std::string::npos);
    // Missing names and values are refused; a missing buffer gets nothing.
    std::string err = captureStderr([] {
        RMemory().addValue(nullptr, "x");
        RMemory().addValueRtdev("Name", nullptr);
    });
    EXPECT_EQ(err,
              "nvram: setting (null) refused: name or value too long\n"
              "nvram: setting Name refused: name or value too long\n");
    char got[32] = "untouched";
    RMemory().getSetting(nullptr, got);
    EXPECT_STREQ(got, "");
    RMemory().getSetting((char*)"Language", nullptr);
    // The settings device holds neither the MAC nor the cloud ID.
    char mac[32] = "untouched", cloud[32] = "untouched";
    RMemory().getMac(mac);
    RMemory().getCloudID(cloud);
    EXPECT_STREQ(mac, "untouched");
    EXPECT_STREQ(cloud, "untouched");
}

TEST_F(Settings, CommitRestartsTheSettingsDaemon) {
    clearLog("killall");
    clearLog("nvram_daemon");
    clearLog("init_system");
    RMemory().commit();
    EXPECT_EQ(logLines("killall"), std::vector<std::string>{"nvram_daemon"});
    EXPECT_TRUE(waitLine("nvram_daemon", ""));
    EXPECT_TRUE(waitLine("init_system", "restart"));
}

TEST_F(Settings, LongNamesAndValuesNeverPassTheBuffer) {
    std::string longest(1023, 'v');
    set("Long", longest);
    EXPECT_EQ(get("Long"), longest);
    std::string err = captureStderr([] { set("Long", std::string(1024, 'w')); });
    EXPECT_NE(err.find("refused"), std::string::npos);
    EXPECT_EQ(get("Long"), longest);
    clearLog("nvram");
    std::string longName(1024, 'n');
    captureStderr([&] { set(longName.c_str(), "x"); });
    EXPECT_EQ(get(longName.c_str()), "");
    for (const std::string& l : logLines("nvram")) EXPECT_EQ(l.find("set"), std::string::npos) << l;
    // A getter cuts to its 180-byte buffer.
    set("Language", std::string(400, 'q'));
    char out[180 + 16];
    memset(out, 'Z', sizeof out);
    Halvix().getHalvixLanguage(out);
    EXPECT_EQ(std::string(out), std::string(179, 'q'));
    EXPECT_EQ(out[180], 'Z');
    set("Language", "en");
}

TEST_F(Settings, MissingDeviceAndFailingRequests) {
    Halvix h;
    char out[180];
    testkit::Fault faultApsocNvramMissing("apsoc_nvram-missing");
    strcpy(out, "untouched");
    h.getHalvixLanguage(out);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(h.getScreenLockTime(), 0);
    EXPECT_EQ(h.getAppTime(), 3936000);
    set("Language", "xx");
    faultApsocNvramMissing.off();
    EXPECT_EQ(get("Language"), "en");

    clearLog("nvram");
    testkit::Fault faultApsocNvramIoctl("apsoc_nvram-ioctl");
    EXPECT_EQ(get("Language"), "");
    faultApsocNvramIoctl.off();
    EXPECT_TRUE(hasLine(logLines("nvram"), "get 1 Language failed"));

    testkit::Fault faultApsocNvramIoctl4099("apsoc_nvram-ioctl-4099");
    set("Language", "xx");
    RMemory().saveValues();
    faultApsocNvramIoctl4099.off();
    EXPECT_EQ(get("Language"), "en");
    std::vector<std::string> log = logLines("nvram");
    EXPECT_TRUE(hasLine(log, "set 1 Language failed"));
    EXPECT_TRUE(hasLine(log, "commit 1"));
}

TEST_F(Settings, OperationMode) {
    const struct {
        const char* master;
        const char* slave;
        const char* mode;
        const char* expected;
    } cases[] = {
        {"1", "1", "3", "master"},     {"0", "1", "3", "WirelessSlave"},
        {"0", "1", "9", "WiredSlave"}, {"0", "1", "1", "unchanged"},
        {"0", "0", "1", "router"},     {"0", "0", "3", "re"},
        {"0", "0", "8", "wwan"},       {"0", "0", "9", "ap"},
        {"", "", "2", "unchanged"},
    };
    for (const auto& c : cases) {
        set("MeshIsMaster", c.master);
        set("MeshIsSlave", c.slave);
        set("OperationMode", c.mode);
        char out[180] = "unchanged";
        Halvix().getHalvixOperationMode(out);
        EXPECT_STREQ(out, c.expected) << c.master << c.slave << c.mode;
    }
}

TEST_F(Settings, DefaultsWrittenBackAndComputedValues) {
    Halvix h;
    set("HalvixLocation", "");
    clearLog("nvram");
    char out[180];
    h.getHalvixLocation(out);
    EXPECT_STREQ(out, "default");
    EXPECT_TRUE(hasLine(logLines("nvram"), "set 1 HalvixLocation=default"));
    EXPECT_TRUE(hasLine(logLines("nvram"), "commit 1"));
    EXPECT_EQ(get("HalvixLocation"), "default");

    set("AppTime", "");
    EXPECT_EQ(h.getAppTime(), 3936000);
    set("NewFirmwareVersion", "2.3.0");
    h.getNewFirmwareVersion(out);
    EXPECT_STREQ(out, "NaN");
    set("BssidNum", "1");
    EXPECT_FALSE(h.isGuestNetworkEnabled());
    set("WEBADMINENABLE", "");
    EXPECT_FALSE(h.getWebAdminState());
    set("WEBADMINENABLE", "yes");
    EXPECT_TRUE(h.getWebAdminState());

    // An empty auto-update setting asks the HA server to switch it on.
    set("isAutoUpdate", "");
    clearReceived("ha-assoc");
    EXPECT_TRUE(h.isFWAutoUpdate());
    std::vector<std::string> got = waitReceived("ha-assoc", 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(le32(got[0], 4), HS_FWAutoUpdate);
    EXPECT_EQ(field(got[0], 8, 292), "1");

    set("MeshFWSlavePassed", "Living Room;;Attic");
    set("MeshFWSlaveFailed", "");
    set("MeshFWSlavePending", std::string(60, 'G') + ";");
    std::unique_ptr<std::list<SlaveFWStatus>> list(h.getSlaveFWupdateStatus());
    ASSERT_EQ(list->size(), 3u);
    auto it = list->begin();
    EXPECT_STREQ(it->name, "Living Room");
    EXPECT_EQ(it->status, 1);
    ++it;
    EXPECT_STREQ(it->name, "Attic");
    ++it;
    EXPECT_EQ(std::string(it->name), std::string(51, 'G'));
    EXPECT_EQ(it->status, 0);
}

TEST_F(Settings, NameAndVersionFiles) {
    Halvix h;
    char out[200];
    writeFile("/halvix/name", "Hall Hub\nsecond line\n");
    h.getHalvixName(out);
    EXPECT_STREQ(out, "Hall Hub\n");
    writeFile("/etc_ro/lighttpd/www/version", "VK7-R2.1.7 build 88\n");
    h.getHalvixVersion(out);
    EXPECT_STREQ(out, "VK7-R2.1.7 build 88\n");
    removeFile("/etc_ro/lighttpd/www/version");
    h.getHalvixVersion(out);
    EXPECT_STREQ(out, "");
    removeFile("/halvix/ServerName");
    strcpy(out, "kept");
    h.getServerName(out);
    EXPECT_STREQ(out, "kept");

    // Without the name file the wireless network's name is used and sent.
    removeFile("/halvix/name");
    clearReceived("ha-assoc");
    size_t before = heard();
    h.getHalvixName(out);
    EXPECT_EQ(std::string(out), get("SSID1"));
    std::vector<std::string> got = waitReceived("ha-assoc", 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(le32(got[0], 4), HS_Name);
    EXPECT_EQ(field(got[0], 8, 292), get("SSID1"));
    ASSERT_TRUE(waitHeard(before + 1));
    EXPECT_EQ(readFile("/halvix/name"), get("SSID1"));
}

}  // namespace
