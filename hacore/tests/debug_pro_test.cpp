// Debug counters in /tmp/debugdb (written by the library) and the pro
// database /tmp/apdb (written by the RSC server stand-in or dpmgr, read by
// Halvix), with the bytes of the pro-database requests.
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

#include "hacore/Halvix.h"
#include "hacore/HalvixDebug.h"
#include "netstore_util.h"
#include "servers.h"
#include "store_faults.h"
#include "testkit.h"

using namespace testkit;
using nettest::dpmgrGet;
using nettest::dpmgrPut;

namespace {

const char kDebug[] = "/tmp/debugdb";
const char kPro[] = "/tmp/apdb";

class Debug : public ::testing::Test {
protected:
    void SetUp() override { removeFile(kDebug); }
};

TEST_F(Debug, ValuesAreFourBytes) {
    HalvixDebug d;
    d.SetDebugValue(CLDCCT, (char*)"ab");
    d.SetDebugValue(INDCCT, (char*)"abcdef");
    char out[5];
    EXPECT_EQ(d.GetDebugValue(CLDCCT, out), 1);
    EXPECT_STREQ(out, "ab");
    EXPECT_EQ(d.GetDebugValue(INDCCT, out), 1);
    EXPECT_STREQ(out, "abcd");
    // Stored zero-padded, never with bytes from beyond the text.
    EXPECT_EQ(run("dpmgr get -ox /tmp/debugdb CLDCCT"), "61 62 00 00\n");
    EXPECT_EQ(dpmgrGet(kDebug, "INDCCT"), "abcd");

    d.SetDebugValue(CLCNTI, (char*)"zz");
    d.SetDebugValue((ADebug)-1, (char*)"zz");
    captureStderr([&] {
        EXPECT_EQ(d.GetDebugValue(CLCNTI, out), 0);
        EXPECT_EQ(d.GetDebugValue(HTDCCT, out), 0);
    });
    EXPECT_EQ(d.GetDebugValue(INCNTI, out), 0);
    EXPECT_EQ(d.GetDebugValue((ADebug)7, out), 0);
    EXPECT_EQ(nettest::dpmgrKeys(kDebug), "CLDCCT\nINDCCT\n");
    dpmgrPut(kDebug, "CLCNTI", "1234567");
    EXPECT_EQ(d.GetDebugValue(CLCNTI, out), 1);
    EXPECT_STREQ(out, "1234");
}

TEST_F(Debug, ConnectionTimes) {
    HalvixDebug d;
    ConnectionTime t{};
    strcpy(t.connected, "2026-12-08 09:00:00");
    strcpy(t.disconnected, "2026-12-08 09:30:00");
    for (int slot = 0; slot <= 11; ++slot) d.SetConnectionTime(CLCNTI, t, slot);
    d.SetConnectionTime(INCNTI, t, 3);
    d.SetConnectionTime(CLRTCT, t, 3);
    d.SetConnectionTime(INCNTI, t, -1);
    EXPECT_EQ(dpmgrGet(kDebug, "CLCNTI.10").size(), 64u);
    ConnectionTime out;
    memset(&out, 'x', sizeof out);
    EXPECT_EQ(d.GetConnectionTime(CLCNTI, &out, 10), 1);
    EXPECT_STREQ(out.connected, "2026-12-08 09:00:00");
    EXPECT_STREQ(out.disconnected, "2026-12-08 09:30:00");
    captureStderr([&] {
        EXPECT_EQ(d.GetConnectionTime(CLCNTI, &out, 11), 0);
        EXPECT_EQ(d.GetConnectionTime(HTCNTI, &out, 0), 0);
    });
    EXPECT_EQ(d.GetConnectionTime(CLRTCT, &out, 3), 0);

    // A record with unterminated texts stays within its fields.
    dpmgrPut(kDebug, "HTCNTI.1", std::string(64, 'q'));
    EXPECT_EQ(d.GetConnectionTime(HTCNTI, &out, 1), 1);
    EXPECT_EQ(std::string(out.connected), std::string(31, 'q'));
    EXPECT_EQ(std::string(out.disconnected), std::string(31, 'q'));

    EXPECT_EQ(d.ClearConnectionTime(CLCNTI), 1);
    EXPECT_EQ(nettest::dpmgrKeys(kDebug), "CLCNTI.0\nHTCNTI.1\nINCNTI.3\n");
    EXPECT_EQ(d.ClearConnectionTime(CLDCCT), 0);
    EXPECT_EQ(nettest::dpmgrKeys(kDebug), "CLCNTI.0\nHTCNTI.1\nINCNTI.3\n");

    d.ClearDebugData();
    EXPECT_FALSE(fileExists(kDebug));
}

TEST_F(Debug, UnrepairableStoreIsDeleted) {
    HalvixDebug().SetDebugValue(CLDCCT, (char*)"1");
    storefault::expectLockedOut(
        kDebug,
        [&] {
            char out[5] = "";
            int r = HalvixDebug().GetDebugValue(CLDCCT, out);
            return r == 0 && !fileExists(kDebug);
        },
        storefault::kOpenAndRepairFailed);
    EXPECT_FALSE(fileExists(kDebug));
    HalvixDebug().SetDebugValue(CLDCCT, (char*)"2");
    char out[5];
    EXPECT_EQ(HalvixDebug().GetDebugValue(CLDCCT, out), 1);
    EXPECT_STREQ(out, "2");
}

// Each value getHalvixProDB gives, by its code.
struct ProValue {
    HalvixUpdateCmd code;
    const char* expected;
};
void expectProValues(Halvix& h, const std::vector<ProValue>& values) {
    for (const ProValue& v : values) {
        char out[1024] = "";
        int r = 0;
        captureStderr([&] { r = h.getHalvixProDB(v.code, out); });
        EXPECT_EQ(r, 1) << v.code;
        EXPECT_STREQ(out, v.expected) << v.code;
    }
}

// Every field of the record on one line: numbers, then the texts and pins
// each after a '|'.
std::string recordText(const HalvixProDB& r) {
    std::string s = std::to_string(r.entryDelay) + " " + std::to_string(r.exitDelay) + " " +
                    std::to_string(r.sirenTimeout) + " " + std::to_string(r.tamper) + " " +
                    std::to_string(r.batteryPercentage) + " " + std::to_string(r.batteryMode) + " " +
                    std::to_string(r.internetConnection) + " " + std::to_string(r.cloudConnection);
    for (const char* t : {r.mode, r.subscriptions, r.armedLocations}) s += std::string("|") + t;
    for (const char* pin : r.securityPins) s += std::string("|") + pin;
    return s;
}

class Pro : public nettest::RscStoreTest {
protected:
    Pro() : RscStoreTest(kPro) {}
};

TEST_F(Pro, RecordAndSingleValuesHaveTheirOwnDefaults) {
    dpmgrPut(kPro, "ExitDelay", "45");
    dpmgrPut(kPro, "BatteryMode", "2");
    dpmgrPut(kPro, "SecurityPin.1", "anna:1234");
    dpmgrPut(kPro, "SecurityPin.2", "ben:5678");
    dpmgrPut(kPro, "SecurityPin.4", "mia:0000");
    HalvixProDB rec;
    memset(&rec, 0x55, sizeof rec);
    Halvix h;
    captureStderr([&] { h.InitHalvixProDB(&rec); });
    EXPECT_EQ(rec.entryDelay, 0);
    EXPECT_EQ(rec.exitDelay, 45);
    EXPECT_EQ(rec.batteryPercentage, -1);
    EXPECT_EQ(rec.batteryMode, 1);
    EXPECT_EQ(rec.internetConnection, 0);
    EXPECT_STREQ(rec.mode, "2 NULL");
    EXPECT_STREQ(rec.subscriptions, "0,0,0");
    EXPECT_STREQ(rec.armedLocations, "None");
    EXPECT_STREQ(rec.securityPins[0], "anna:1234");
    EXPECT_STREQ(rec.securityPins[1], "ben:5678");
    for (int i = 2; i < 6; ++i) EXPECT_STREQ(rec.securityPins[i], "") << i;  // empty from the first missing one on

    expectProValues(h, {{HUC_HalvixMode, "2 ,NULL"},
                        {HUC_EntryDelay, "30"},
                        {HUC_ExitDelay, "45"},
                        {HUC_SirenTimeout, "30"},
                        {HUC_HalvixTamper, "0"},
                        {HUC_BatteryPercentage, "-1"},
                        {HUC_BatteryMode, "2"},
                        {HUC_InternetConnection, "0"},
                        {HUC_CloudConnection, "0"},
                        {HUC_Subscriptions, "0,0,0"},
                        {HUC_ArmedLocations, "None"},
                        {HUC_CellularConnMode, "0"}});
    char out[1024] = "untouched";
    EXPECT_EQ(h.getHalvixProDB(HUC_SecurityPin, out), 0);
    EXPECT_EQ(h.getHalvixProDB((HalvixUpdateCmd)24, out), 0);
    EXPECT_EQ(h.getHalvixProDB((HalvixUpdateCmd)38, out), 0);
    EXPECT_STREQ(out, "untouched");

    std::string err = captureStderr([&] { EXPECT_EQ(h.getHalvixCredentials(-1, out), 1); });
    EXPECT_STREQ(out, "anna:1234|ben:5678");
    EXPECT_EQ(err.find("dpget: "), 0u);
    EXPECT_EQ(h.getHalvixCredentials(2, out), 1);
    EXPECT_STREQ(out, "ben:5678");
    captureStderr([&] { EXPECT_EQ(h.getHalvixCredentials(3, out), 0); });
    EXPECT_EQ(h.getHalvixCredentials(0, out), 0);
    EXPECT_EQ(h.getHalvixCredentials(7, out), 0);
}

TEST_F(Pro, AWholeRecordReadsBackEveryValue) {
    const struct {
        const char* key;
        HalvixUpdateCmd code;
        const char* value;
    } values[] = {{"HalvixMode", HUC_HalvixMode, "3 anna;x"},
                  {"EntryDelay", HUC_EntryDelay, "20"},
                  {"ExitDelay", HUC_ExitDelay, "45"},
                  {"SirenTimeout", HUC_SirenTimeout, "180"},
                  {"HalvixTamper", HUC_HalvixTamper, "1"},
                  {"BatteryPercentage", HUC_BatteryPercentage, "87"},
                  {"BatteryMode", HUC_BatteryMode, "0"},
                  {"InternetConnection", HUC_InternetConnection, "1"},
                  {"cloudConnection", HUC_CloudConnection, "1"},
                  {"Subscriptions", HUC_Subscriptions, "1,0,1"},
                  {"ArmedLocations", HUC_ArmedLocations, "Hall|Den"},
                  {"CellularConnMode", HUC_CellularConnMode, "2"}};
    std::vector<ProValue> stored;
    for (const auto& v : values) {
        dpmgrPut(kPro, v.key, v.value);
        stored.push_back({v.code, v.value});
    }
    std::string pins;
    for (int n = 1; n <= 6; ++n) {
        const std::string pin = "user" + std::to_string(n) + ":" + std::to_string(1000 * n);
        dpmgrPut(kPro, "SecurityPin." + std::to_string(n), pin);
        pins += (n > 1 ? "|" : "") + pin;
    }
    Halvix h;
    HalvixProDB rec;
    memset(&rec, 0x55, sizeof rec);
    EXPECT_EQ(captureStderr([&] { h.InitHalvixProDB(&rec); }), "");
    EXPECT_EQ(recordText(rec), "20 45 180 1 87 0 1 1|3 anna;x|1,0,1|Hall|Den|" + pins);
    expectProValues(h, stored);
    char out[1024] = "";
    EXPECT_EQ(h.getHalvixCredentials(-1, out), 1);
    EXPECT_EQ(out, pins);
}

TEST_F(Pro, NoStoreNoBufferAndTextsTooLong) {
    Halvix h;
    HalvixProDB rec, untouched;
    memset(&rec, 0x55, sizeof rec);
    memset(&untouched, 0x55, sizeof untouched);
    char out[1024] = "untouched";
    std::string err = captureStderr([&] {
        h.InitHalvixProDB(&rec);
        EXPECT_EQ(h.getHalvixProDB(HUC_EntryDelay, out), 0);
        EXPECT_EQ(h.getHalvixCredentials(2, out), 0);
    });
    EXPECT_EQ(memcmp(&rec, &untouched, sizeof rec), 0);
    EXPECT_STREQ(out, "untouched");
    EXPECT_NE(err.find("cannot repair: "), std::string::npos);
    h.InitHalvixProDB(nullptr);
    EXPECT_EQ(h.getHalvixProDB(HUC_EntryDelay, nullptr), 0);
    EXPECT_EQ(h.getHalvixCredentials(2, nullptr), 0);

    const std::string tooLong(10240, 'x');
    h.setHalvixProDB(HUC_EntryDelay, nullptr, 0, 0);
    h.setHalvixProDB(HUC_Subscriptions, (char*)tooLong.c_str(), 0, 0);
    EXPECT_EQ(h.setHalvixModeToDisarm((char*)"d", (char*)tooLong.c_str(), 2), 0);
    EXPECT_EQ(h.setHalvixCredentials(1, nullptr, nullptr, 0), 0);
    EXPECT_EQ(h.setHalvixCredentials(1, (char*)tooLong.c_str(), nullptr, 0), 0);
    EXPECT_TRUE(received("rsc").empty());
    // Missing names are empty ones.
    EXPECT_EQ(h.setHalvixModeToDisarm(nullptr, nullptr, 2), 1);
    EXPECT_EQ(field(lastRequest(), 4, 10240), "2 ;");
    EXPECT_EQ(h.setHalvixModeToDisarm(nullptr, nullptr, 3), 1);
    EXPECT_EQ(field(lastRequest(), 4, 10240), "3 ;");
}

TEST_F(Pro, ChangesGoToTheRscServerAndReadBack) {
    Halvix h;
    h.setHalvixProDB(HUC_EntryDelay, (char*)"45", 3, 9);
    std::string p = lastRequest();
    ASSERT_EQ(p.size(), 10268u);
    EXPECT_EQ(le32(p, 0), 53);
    EXPECT_EQ(field(p, 4, 10240), "45");
    EXPECT_EQ(le32(p, 10244), 26);
    EXPECT_EQ(le32(p, 10248), 9);
    EXPECT_EQ(le32(p, 10252), 3);
    EXPECT_TRUE(zeros(p, 10256, 12));
    char out[1024];
    EXPECT_EQ(h.getHalvixProDB(HUC_EntryDelay, out), 1);
    EXPECT_STREQ(out, "45");

    std::string ten = "1|2|3|4|5|6|7|8|9|10", eleven = ten + "|11";
    h.setHalvixProDB(HUC_ArmedLocations, (char*)eleven.c_str(), 0, 0);
    EXPECT_TRUE(received("rsc").empty());
    h.setHalvixProDB(HUC_ArmedLocations, (char*)ten.c_str(), 0, 0);
    EXPECT_EQ(field(lastRequest(), 4, 10240), ten);
    EXPECT_EQ(h.getHalvixProDB(HUC_ArmedLocations, out), 1);
    EXPECT_EQ(std::string(out), ten);

    EXPECT_EQ(h.setHalvixModeToDisarm((char*)"d", (char*)"anna", 1), 0);
    EXPECT_TRUE(received("rsc").empty());
    const struct {
        const char* first;
        unsigned char kind;
        const char* text;
    } modes[] = {{"d", 2, "5 anna;d"}, {"away", 2, "2 anna;away"}, {"home", 3, "3 anna;home"}};
    for (const auto& m : modes) {
        EXPECT_EQ(h.setHalvixModeToDisarm((char*)m.first, (char*)"anna", m.kind), 1);
        p = lastRequest();
        EXPECT_EQ(le32(p, 0), 53);
        EXPECT_EQ(field(p, 4, 10240), m.text);
        EXPECT_EQ(le32(p, 10244), 25);
        EXPECT_EQ(le32(p, 10248), 1);
        EXPECT_EQ(le32(p, 10252), 0);
        EXPECT_EQ(le32(p, 10256), 0);
        EXPECT_EQ(le32(p, 10260), 2);
        EXPECT_EQ(le32(p, 10264), 0);
    }
    EXPECT_EQ(h.getHalvixProDB(HUC_HalvixMode, out), 1);
    EXPECT_STREQ(out, "3 anna;home");
    setRscMode("refuse");
    EXPECT_EQ(h.setHalvixModeToDisarm((char*)"d", (char*)"anna", 2), 0);
    setRscMode("");
}

TEST_F(Pro, Credentials) {
    Halvix h;
    EXPECT_EQ(h.setHalvixCredentials(0, (char*)"anna:1234", nullptr, 0), 0);
    EXPECT_EQ(h.setHalvixCredentials(7, (char*)"anna:1234", nullptr, 0), 0);
    EXPECT_EQ(h.setHalvixCredentials(1, (char*)"", nullptr, 0), 0);
    EXPECT_TRUE(received("rsc").empty());

    EXPECT_EQ(h.setHalvixCredentials(6, (char*)"zoe:2468", nullptr, 1), 1);
    std::string p = lastRequest();
    EXPECT_EQ(le32(p, 0), 53);
    EXPECT_EQ(field(p, 4, 10240), "zoe:2468");
    EXPECT_EQ(le32(p, 10244), 36);
    EXPECT_EQ(le32(p, 10248), 1);
    EXPECT_EQ(le32(p, 10260), 6);
    EXPECT_EQ(le32(p, 10264), 0);
    EXPECT_EQ(dpmgrGet(kPro, "SecurityPin.6"), "zoe:2468");

    EXPECT_EQ(h.setHalvixCredentials(-1, (char*)"anna:1234|ben:5678", (char*)"3|5|0|7", 0), 1);
    p = lastRequest();
    EXPECT_EQ(le32(p, 10260), -1);
    EXPECT_EQ(le32(p, 10264), (1 << 3) | (1 << 5));
    EXPECT_EQ(h.setHalvixCredentials(-1, (char*)"anna:1234|ben:5678", (char*)"33|1", 0), 1);
    EXPECT_EQ(le32(lastRequest(), 10264), (1 << 1) | (1 << 1));
    char out[1100];
    captureStderr([&] { EXPECT_EQ(h.getHalvixCredentials(-1, out), 1); });
    EXPECT_STREQ(out, "anna:1234|ben:5678");
}

TEST_F(Pro, PinToUserName) {
    for (int n = 1; n <= 6; ++n)
        dpmgrPut(kPro, "SecurityPin." + std::to_string(n), "user" + std::to_string(n) + ":" + std::to_string(1000 + n));
    dpmgrPut(kPro, "SecurityPin.7", "seven:1007");
    Halvix h;
    char user[100] = "none";
    h.getPinToUserName((char*)"1006", user);
    EXPECT_STREQ(user, "user6");
    strcpy(user, "none");
    captureStderr([&] { h.getPinToUserName((char*)"1007", user); });
    EXPECT_STREQ(user, "none");
    h.getPinToUserName((char*)"100", user);
    EXPECT_STREQ(user, "none");

    // The search stops at the first missing number.
    run("dpmgr out /tmp/apdb SecurityPin.3");
    std::string err = captureStderr([&] { h.getPinToUserName((char*)"1005", user); });
    EXPECT_STREQ(user, "none");
    EXPECT_EQ(err.find("dpget: "), 0u);
    h.getPinToUserName((char*)"1002", user);
    EXPECT_STREQ(user, "user2");

    // Long entries stay within their pieces.
    dpmgrPut(kPro, "SecurityPin.1", std::string(150, 'u') + ":" + std::string(100, '9'));
    strcpy(user, "none");
    h.getPinToUserName((char*)std::string(100, '9').c_str(), user);
    EXPECT_STREQ(user, "none");
    // The value was cut at 180 bytes: its cut PIN matches nothing.
    h.getPinToUserName((char*)std::string(29, '9').c_str(), user);
    EXPECT_STREQ(user, "none");
    dpmgrPut(kPro, "SecurityPin.1", "u:" + std::string(90, '9'));
    h.getPinToUserName((char*)std::string(79, '9').c_str(), user);
    EXPECT_STREQ(user, "none");
    dpmgrPut(kPro, "SecurityPin.1", std::string(120, 'u') + ":42");
    captureStderr([&] { h.getPinToUserName((char*)"42", user); });
    EXPECT_EQ(std::string(user), std::string(99, 'u'));
}

TEST_F(Pro, UnrepairableStoreIsRemoved) {
    dpmgrPut(kPro, "SecurityPin.1", "anna:1234");
    storefault::expectLockedOut(
        kPro,
        [&] {
            char user[100] = "none";
            Halvix().getPinToUserName((char*)"1234", user);
            return strcmp(user, "none") == 0 && !fileExists(kPro);
        },
        storefault::kOpenAndRepairFailed);
    dpmgrPut(kPro, "EntryDelay", "10");
    storefault::expectLockedOut(kPro, [&] {
        char out[1024] = "untouched";
        int r = Halvix().getHalvixProDB(HUC_EntryDelay, out);
        return r == 0 && strcmp(out, "untouched") == 0;
    });
}

}  // namespace
