// Clients of the LAN: records written by dpmgr and by the RSC server
// stand-in, read back through Client and ClientsList; the bytes of every
// request at the RSC server; damaged stores.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sys/stat.h>
#include <string>
#include <vector>

#include "hacore/Client.h"
#include "netstore_util.h"
#include "servers.h"
#include "store_faults.h"
#include "testkit.h"

using namespace testkit;
using nettest::dpmgrGet;
using nettest::dpmgrPut;

namespace {

const char kStore[] = "/tmp/cdb";

void putClient(int id, const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string k = std::to_string(id);
    dpmgrPut(kStore, k, k);
    for (const auto& f : fields) dpmgrPut(kStore, k + "." + f.first, f.second);
}

class Clients : public nettest::RscStoreTest {
protected:
    Clients() : RscStoreTest(kStore) {}
};

Client newClient(const char* name = "Anna's iPhone", const char* mac = "a4:83:e7:12:9c:01",
                 const char* ip = "192.168.8.101") {
    return Client((char*)name, (char*)"wireless", (char*)mac, CT_iphone, (char*)ip, (char*)"Apple", -48, true, 2, true);
}

// What every getter of the client gives, as text by a short name; the
// getters that fill a buffer give their result, a blank and the text.
std::map<std::string, std::string> readBack(Client& c) {
    auto n = [](long long v) { return std::to_string(v); };
    char type[33] = "", sched[96] = "";
    const int typeRead = c.getType(type), schedRead = c.getScheduleData(sched);
    return {{"id", n(c.getClientID())},
            {"ip", c.getIP()},
            {"static", n(c.isStaticIP())},
            {"mac", c.getMac()},
            {"connection", c.getConnectionType()},
            {"name", c.getName()},
            {"lastActive", std::to_string(c.getLastActiveEpoch())},
            {"active", n(c.isActive())},
            {"wait", n(c.getWait())},
            {"type", n(c.getType())},
            {"typeName", n(typeRead) + " " + type},
            {"rssi", n(c.getRssi())},
            {"block", n(c.getBlock())},
            {"schedule", n(schedRead) + " " + sched},
            {"scheduleText", sched},
            {"vendor", c.getVendor()},
            {"userType", c.getUserType()},
            {"node", n(c.getNodeIdentifier())},
            {"presence", n(c.isUseAsPresence())},
            {"canBlock", n(c.canBlock())},
            {"bandwidth", n(c.isBWEnable())},
            {"schedules", n(c.isSMEnable())},
            {"forceInactive", n(c.getForceInactive())},
            {"iot", n(c.isIOTEnable())},
            {"dns", n(c.isDNSEnable())},
            {"security", n(c.getSecurity())},
            {"portForward", c.getPortForward()},
            {"rx", std::to_string(c.getRX())},
            {"tx", std::to_string(c.getTX())}};
}

void expectFields(Client& c, const std::vector<std::pair<std::string, std::string>>& want) {
    const std::map<std::string, std::string> got = readBack(c);
    for (const auto& w : want) EXPECT_EQ(got.at(w.first), w.second) << w.first;
}

TEST_F(Clients, RecordsWrittenByDpmgrReadBack) {
    dpmgrPut(kStore, "Version", "3");
    putClient(4, {{"IP", "192.168.8.120, 1"},
                  {"MC", "70:2a:d5:9b:10:6c"},
                  {"CT", "wired"},
                  {"NM", "Living Room TV"},
                  {"LE", "1796000123"},
                  {"AC", "2"},
                  {"WT", "12"},
                  {"TY", "tv"},
                  {"RS", "-40"},
                  {"BL", "3"},
                  {"SB", "ff, 1f80,0,0,0,0,a"},
                  {"MF", "Samsung Electronics Co. Ltd and more"},
                  {"UT", "Kids"},
                  {"NI", "2"},
                  {"FEA", "110"},
                  {"PF", std::string(40, 'p')}});
    Client c(4);
    expectFields(c, {{"id", "4"},
                     {"ip", "192.168.8.120"},
                     {"static", "1"},
                     {"mac", "70:2a:d5:9b:10:6c"},
                     {"connection", "wired"},
                     {"name", "Living Room TV"},
                     {"lastActive", "1796000123"},
                     {"active", "1"},
                     {"wait", "12"},
                     {"type", std::to_string(CT_tv)},
                     {"typeName", "1 tv"},
                     {"rssi", "-40"},
                     {"block", "3"},
                     {"schedule", "1 ff,1f80,0,0,0,0,a"},
                     {"vendor", "Samsung Electronics Co. Ltd and "},
                     {"userType", "Kids"},
                     {"node", "2"},
                     // 110 = bits 1, 2, 3, 5, 6
                     {"presence", "0"},
                     {"canBlock", "1"},
                     {"bandwidth", "1"},
                     {"schedules", "1"},
                     {"forceInactive", "0"},
                     {"iot", "1"},
                     {"dns", "1"},
                     {"security", "0"},
                     {"portForward", std::string(31, 'p')},
                     {"rx", "0"},
                     {"tx", "0"}});
}

TEST_F(Clients, MissingKeysGiveDefaults) {
    putClient(2, {{"FEA", "400"}, {"SB", "1,2,3"}, {"UT", "2"}});
    Client c(2);
    expectFields(c, {{"id", "2"},
                     {"ip", "NaN"},
                     {"static", "0"},
                     {"name", "NaN"},
                     {"mac", "NaN"},
                     {"connection", "NaN"},
                     {"vendor", "NaN"},
                     {"portForward", ""},
                     {"type", std::to_string(CT_other)},
                     {"wait", "6"},
                     {"active", "0"},
                     {"forceInactive", "16"},
                     {"security", "3"},
                     {"presence", "0"},
                     {"canBlock", "0"},
                     {"bandwidth", "0"},
                     {"schedules", "0"},
                     {"iot", "0"},
                     {"dns", "0"},
                     {"scheduleText", "0,0,0,0,0,0,0"},
                     {"userType", "Others"}});

    // An identifier without keys: defaults that carry the identifier.
    Client none(9);
    EXPECT_EQ(none.getClientID(), 9);
    EXPECT_EQ(none.getWait(), 6);
    // The object without a client.
    ClientBin zero{};
    Client empty(zero);
    EXPECT_STREQ(empty.getName(), "");
    EXPECT_STREQ(empty.getIP(), "");
    EXPECT_EQ(empty.getType(), CT_other);
    char type[33];
    EXPECT_EQ(empty.getType(type), 0);
    EXPECT_FALSE(empty.refresh());
}

TEST_F(Clients, NewClientTakesTheNextIdentifierAndTheServerStoresIt) {
    Client first = newClient();
    EXPECT_EQ(first.getClientID(), 1);
    std::string p = lastRequest();
    ASSERT_EQ(p.size(), 10268u);
    EXPECT_EQ(le32(p, 0), 25);
    std::string expect = "1," + std::to_string(first.getLastActiveEpoch()) +
                         ", Anna's iPhone, wireless, a4:83:e7:12:9c:01, iphone, 192.168.8.101, Apple, -48, 1, "
                         "Others, 2,1";
    EXPECT_EQ(field(p, 4, 10240), expect);
    EXPECT_EQ(le32(p, 10256), 0);
    EXPECT_EQ(le32(p, 10260), 1);
    EXPECT_TRUE(zeros(p, 4 + expect.size(), 10240 - expect.size()));
    EXPECT_TRUE(zeros(p, 10244, 12));
    EXPECT_EQ(le32(p, 10264), 0);

    // Stored by the RSC server: the list reads it back.
    ClientsList list;
    ASSERT_EQ(list.populate(), 1);
    ASSERT_EQ(list.clients.size(), 1u);
    Client& c = list.clients.front();
    EXPECT_STREQ(c.getName(), "Anna's iPhone");
    EXPECT_EQ(c.getType(), CT_iphone);
    EXPECT_TRUE(c.isUseAsPresence());
    EXPECT_TRUE(c.canBlock());
    EXPECT_TRUE(c.isIOTEnable());
    EXPECT_TRUE(c.isDNSEnable());
    EXPECT_EQ(c.getNodeIdentifier(), 2);

    // Clients 3 and 7 stored: the next one is 8.
    putClient(3, {});
    putClient(7, {{"NM", "Seven"}});
    dpmgrPut(kStore, "Version", "99");
    dpmgrPut(kStore, "7.XX", "500");
    EXPECT_EQ(newClient("Ben's Pixel", "3c:28:6d:44:0a:7e", "192.168.8.102").getClientID(), 8);
    clearReceived("rsc");

    // Bad MAC or address: no client, nothing sent.
    EXPECT_EQ(newClient("x", "00:00:00:00:00:00").getClientID(), 0);
    EXPECT_EQ(newClient("x", "a4:83:e7:12:9c").getClientID(), 0);
    EXPECT_EQ(newClient("x", "a4:83:e7:12:9c:01", "192.168.8").getClientID(), 0);
    Client nulls(nullptr, nullptr, nullptr, CT_pc, nullptr, nullptr, 0, false, 0, false);
    EXPECT_EQ(nulls.getClientID(), 0);
    EXPECT_TRUE(received("rsc").empty());
}

TEST_F(Clients, PopulateSkipsWhatIsNotAClient) {
    dpmgrPut(kStore, "Version", "5");
    putClient(5, {{"NM", "five"}});
    dpmgrPut(kStore, "0", "0");
    dpmgrPut(kStore, "abc", "12");
    dpmgrPut(kStore, "5.NM.extra", "x");
    dpmgrPut(kStore, "6.NM", "orphan field");
    ClientsList list;
    ASSERT_EQ(list.populate(), 1);
    ASSERT_EQ(list.clients.size(), 1u);
    EXPECT_STREQ(list.clients.front().getName(), "five");
    // A second populate refills rather than appends.
    ASSERT_EQ(list.populate(), 1);
    EXPECT_EQ(list.clients.size(), 1u);
}

struct SetterCase {
    const char* what;
    std::function<int(Client&)> call;
    int command;
    std::string payload;
    std::function<bool(Client&)> applied;  // on the client read afresh
};

TEST_F(Clients, EverySetterSendsItsRequestAndTheServerAppliesIt) {
    Client c = newClient();
    ASSERT_EQ(c.getClientID(), 1);
    clearReceived("rsc");
    const std::vector<SetterCase> cases = {
        {"wait", [](Client& c) { return c.setWait(30); }, 28, "30", [](Client& c) { return c.getWait() == 30; }},
        {"force inactive", [](Client& c) { return c.setForceInactive(3600); }, 51,
         "3600,a4:83:e7:12:9c:01,192.168.8.101,4", [](Client& c) { return c.getForceInactive() == 16; }},
        {"active", [](Client& c) { return c.setActive(false); }, 26, "false", [](Client& c) { return !c.isActive(); }},
        {"presence", [](Client& c) { return c.setUseAsPresence(false); }, 51, "0,a4:83:e7:12:9c:01,192.168.8.101,0",
         [](Client& c) { return !c.isUseAsPresence(); }},
        {"name", [](Client& c) { return c.setName((char*)"Anna's phone"); }, 31, "Anna's phone",
         [](Client& c) { return std::string(c.getName()) == "Anna's phone"; }},
        {"vendor", [](Client& c) { return c.setVendor((char*)"Apple Inc"); }, 29, "Apple Inc, a4:83:e7:12:9c:01",
         [](Client& c) { return std::string(c.getVendor()) == "Apple Inc"; }},
        {"type", [](Client& c) { return c.setType((char*)"smartphone"); }, 35, "smartphone",
         [](Client& c) { return c.getType() == CT_smartphone; }},
        {"type code", [](Client& c) { return c.setType(CT_ipad); }, 35, "ipad",
         [](Client& c) { return c.getType() == CT_ipad; }},
        {"connection", [](Client& c) { return c.setConnectionType((char*)"indirect"); }, 34, "indirect",
         [](Client& c) { return std::string(c.getConnectionType()) == "indirect"; }},
        {"block", [](Client& c) { return c.setBlock(2); }, 37, "2,a4:83:e7:12:9c:01",
         [](Client& c) { return c.getBlock() == 2; }},
        {"rssi", [](Client& c) { return c.setRssi(-70); }, 38, "-70", [](Client& c) { return c.getRssi() == -70; }},
        {"schedule", [](Client& c) { return c.setSchedule((char*)"ff, 0,0,1f80"); }, 39, "ff, 0,0,1f80",
         [](Client& c) {
             char s[96];
             c.getScheduleData(s);
             return std::string(s) == "ff,0,0,1f80,0,0,0";
         }},
        {"user type", [](Client& c) { return c.setUserType((char*)"Kids"); }, 40, "Kids",
         [](Client& c) { return std::string(c.getUserType()) == "Kids"; }},
        {"static", [](Client& c) { return c.setStaticIP(1); }, 41, "1,a4:83:e7:12:9c:01,192.168.8.101",
         [](Client& c) { return c.isStaticIP() == 1; }},
        {"ip", [](Client& c) { return c.setIP((char*)"192.168.8.150"); }, 33, "192.168.8.150,1,a4:83:e7:12:9c:01",
         [](Client& c) { return std::string(c.getIP()) == "192.168.8.150" && c.isStaticIP() == 1; }},
        {"port forward", [](Client& c) { return c.setPortForward((char*)std::string(40, 'f').c_str()); }, 42,
         std::string(31, 'f'), [](Client& c) { return std::string(c.getPortForward()) == std::string(31, 'f'); }},
        {"node", [](Client& c) { return c.setNodeIdentifier(2); }, 47, "2",
         [](Client& c) { return c.getNodeIdentifier() == 2; }},
        {"can block", [](Client& c) { return c.setCanBlock(false); }, 51, "0,a4:83:e7:12:9c:01,192.168.8.150,1",
         [](Client& c) { return !c.canBlock(); }},
        {"bw", [](Client& c) { return c.setBWEnable(true); }, 51, "1,a4:83:e7:12:9c:01,192.168.8.150,2",
         [](Client& c) { return c.isBWEnable(); }},
        {"sm", [](Client& c) { return c.setSMEnable(true); }, 51, "1,a4:83:e7:12:9c:01,192.168.8.150,3",
         [](Client& c) { return c.isSMEnable(); }},
        {"iot", [](Client& c) { return c.setIOTEnable(false); }, 51, "0,a4:83:e7:12:9c:01,192.168.8.150,5",
         [](Client& c) { return !c.isIOTEnable(); }},
        {"dns", [](Client& c) { return c.setDNSEnable(false); }, 51, "0,a4:83:e7:12:9c:01,192.168.8.150,6",
         [](Client& c) { return !c.isDNSEnable(); }},
        {"security", [](Client& c) { return c.setSecurity(2); }, 51, "2,a4:83:e7:12:9c:01,192.168.8.150,7",
         [](Client& c) { return c.getSecurity() == 2; }},
        {"mac", [](Client& c) { return c.setMac((char*)"a4:83:e7:12:9c:02"); }, 32, "a4:83:e7:12:9c:02",
         [](Client& c) { return std::string(c.getMac()) == "a4:83:e7:12:9c:02"; }},
    };
    for (const SetterCase& s : cases) {
        SCOPED_TRACE(s.what);
        EXPECT_EQ(s.call(c), 1);
        std::string p = lastRequest();
        ASSERT_EQ(p.size(), 10268u);
        EXPECT_EQ(le32(p, 0), s.command);
        EXPECT_EQ(field(p, 4, 10240), s.payload);
        EXPECT_EQ(le32(p, 10256), 1);
        EXPECT_TRUE(zeros(p, 10244, 12));
        EXPECT_TRUE(zeros(p, 10260, 8));
        Client fresh(1);
        EXPECT_TRUE(s.applied(fresh));
    }
    EXPECT_EQ(c.setLastActiveEpoch(), 1);
    std::string p = lastRequest();
    EXPECT_EQ(le32(p, 0), 30);
    EXPECT_EQ(field(p, 4, 10240), std::to_string(c.getLastActiveEpoch()));
    EXPECT_TRUE(c.refresh());
    EXPECT_EQ(c.getLastActiveEpoch(), Client(1).getLastActiveEpoch());
}

TEST_F(Clients, RefusedAndUnchangedValuesSendNothing) {
    Client c = newClient();
    clearReceived("rsc");
    EXPECT_EQ(c.setWait(0), 0);
    EXPECT_EQ(c.setWait(61), 0);
    EXPECT_EQ(c.setWait(6), 1);
    EXPECT_EQ(c.setForceInactive(3601), 0);
    EXPECT_EQ(c.setForceInactive(-1), 0);
    EXPECT_EQ(c.setMac((char*)"00:00:00:00:00:00"), 0);
    EXPECT_EQ(c.setMac((char*)"a4:83:e7:12:9c:01"), 1);
    EXPECT_EQ(c.setMac(nullptr), 0);
    EXPECT_EQ(c.setIP((char*)"192.168.8.300"), 0);
    EXPECT_EQ(c.setConnectionType((char*)"wifi"), 0);
    EXPECT_EQ(c.setConnectionType((char*)"wireless"), 1);
    EXPECT_EQ(c.setName((char*)"Anna's iPhone"), 1);
    EXPECT_EQ(c.setType((char*)"iphone"), 1);
    EXPECT_EQ(c.setUserType((char*)"Others"), 1);
    EXPECT_EQ(c.setSchedule((char*)"0,0,0,0,0,0,0"), 1);
    EXPECT_EQ(c.setRXTX(10, 20, 1), 1);
    EXPECT_EQ(c.getRX(), 0u);
    EXPECT_TRUE(received("rsc").empty());

    ClientBin zero{};
    Client none(zero);
    EXPECT_EQ(none.setWait(10), 0);
    EXPECT_EQ(none.setName((char*)"x"), 0);
    EXPECT_EQ(none.deleteClient(), 0);
    EXPECT_EQ(none.deleteSlaveClient(), 0);
    EXPECT_TRUE(received("rsc").empty());
}

// Every setter: a client without an ID takes nothing, a missing text is
// refused, and the value the client already holds is not sent again.
TEST_F(Clients, EverySetterRefusesNoClientAndSkipsWhatIsHeld) {
    Client c = newClient();
    ClientBin zero{};
    Client none(zero);
    clearReceived("rsc");
    const struct {
        const char* what;
        std::function<int(Client&)> held;     // the value c holds
        std::function<int(Client&)> missing;  // a missing text, or null for none
    } setters[] = {
        {"wait", [](Client& x) { return x.setWait(x.getWait() ? x.getWait() : 6); }, nullptr},
        {"force inactive", [](Client& x) { return x.setForceInactive(x.getForceInactive()); }, nullptr},
        {"active", [](Client& x) { return x.setActive(x.isActive()); }, nullptr},
        {"presence", [](Client& x) { return x.setUseAsPresence(x.isUseAsPresence()); }, nullptr},
        {"name", [](Client& x) { return x.setName(x.getName()); }, [](Client& x) { return x.setName(nullptr); }},
        {"vendor", [](Client& x) { return x.setVendor(x.getVendor()); },
         [](Client& x) { return x.setVendor(nullptr); }},
        {"mac", [](Client& x) { return x.setMac(x.getMac()); }, [](Client& x) { return x.setMac(nullptr); }},
        {"ip", [](Client& x) { return x.setIP(x.getIP()); }, [](Client& x) { return x.setIP(nullptr); }},
        {"connection", [](Client& x) { return x.setConnectionType(x.getConnectionType()); },
         [](Client& x) { return x.setConnectionType(nullptr); }},
        {"type", [](Client& x) { return x.setType(x.getType()); }, [](Client& x) { return x.setType((char*)nullptr); }},
        {"block", [](Client& x) { return x.setBlock(x.getBlock()); }, nullptr},
        {"rssi", [](Client& x) { return x.setRssi(x.getRssi()); }, nullptr},
        {"schedule", [](Client& x) { return x.setSchedule((char*)"0,0,0,0,0,0,0"); },
         [](Client& x) { return x.setSchedule(nullptr); }},
        {"user type", [](Client& x) { return x.setUserType((char*)x.getUserType()); },
         [](Client& x) { return x.setUserType(nullptr); }},
        {"static", [](Client& x) { return x.setStaticIP(x.isStaticIP()); }, nullptr},
        {"port forward", [](Client& x) { return x.setPortForward(x.getPortForward()); },
         [](Client& x) { return x.setPortForward(nullptr); }},
        {"can block", [](Client& x) { return x.setCanBlock(x.canBlock()); }, nullptr},
        {"bandwidth", [](Client& x) { return x.setBWEnable(x.isBWEnable()); }, nullptr},
        {"smart", [](Client& x) { return x.setSMEnable(x.isSMEnable()); }, nullptr},
        {"iot", [](Client& x) { return x.setIOTEnable(x.isIOTEnable()); }, nullptr},
        {"dns", [](Client& x) { return x.setDNSEnable(x.isDNSEnable()); }, nullptr},
        {"security", [](Client& x) { return x.setSecurity((char)x.getSecurity()); }, nullptr},
    };
    for (const auto& st : setters) {
        EXPECT_EQ(st.held(none), 0) << st.what;
        if (st.missing) EXPECT_EQ(st.missing(c), 0) << st.what;
        EXPECT_EQ(st.held(c), 1) << st.what;
        EXPECT_TRUE(received("rsc").empty()) << st.what;
        clearReceived("rsc");
    }
    EXPECT_EQ(none.setLastActiveEpoch(), 0);
    EXPECT_EQ(none.setNodeIdentifier(2), 0);
    EXPECT_EQ(none.setType(CT_tv), 0);
    EXPECT_TRUE(received("rsc").empty());
    // What a client without an ID shows.
    EXPECT_STREQ(none.getVendor(), "");
    EXPECT_STREQ(none.getMac(), "");
    EXPECT_STREQ(none.getConnectionType(), "");
    char out[96] = "untouched";
    EXPECT_EQ(none.getType(out), 0);
    EXPECT_EQ(c.getType((char*)nullptr), 0);
    EXPECT_STREQ(out, "untouched");
}

TEST_F(Clients, RefusedRequestKeepsTheNewValue) {
    Client c = newClient();
    clearReceived("rsc");
    setRscMode("refuse");
    EXPECT_EQ(c.setRssi(-80), 0);
    setRscMode("");
    EXPECT_EQ(c.getRssi(), -80);
    EXPECT_EQ(le32(lastRequest(), 0), 38);
}

TEST_F(Clients, DeletingClients) {
    Client a = newClient();
    Client b = newClient("Work Laptop", "f8:ff:c2:5e:31:b4", "192.168.8.110");
    clearReceived("rsc");
    EXPECT_EQ(a.deleteClient(), 1);
    std::string p = lastRequest();
    EXPECT_EQ(le32(p, 0), 27);
    EXPECT_EQ(field(p, 4, 10240), "192.168.8.101, a4:83:e7:12:9c:01");
    EXPECT_EQ(le32(p, 10256), 1);
    EXPECT_EQ(dpmgrGet(kStore, "1.NM"), "");
    EXPECT_EQ(b.deleteSlaveClient(), 1);
    p = lastRequest();
    EXPECT_EQ(le32(p, 0), 48);
    EXPECT_EQ(field(p, 4, 10240), "192.168.8.110, f8:ff:c2:5e:31:b4");
    ClientsList list;
    ASSERT_EQ(list.populate(), 1);
    EXPECT_TRUE(list.clients.empty());

    newClient();
    dpmgrPut(kStore, "Version", "1");
    ASSERT_EQ(list.populate(), 1);
    EXPECT_EQ(list.clients.size(), 1u);
    clearReceived("rsc");
    EXPECT_EQ(list.removeAllClients(), 1);
    EXPECT_TRUE(list.clients.empty());
    p = lastRequest();
    EXPECT_EQ(le32(p, 0), 36);
    EXPECT_TRUE(zeros(p, 4, 10264));
    EXPECT_EQ(nettest::dpmgrKeys(kStore), "Version\n");
}

TEST_F(Clients, IotTypes) {
    for (int t = 0; t <= 42; ++t) {
        bool iot = t == 16 || t == 17 || t == 18 || (t >= 21 && t <= 41);
        EXPECT_EQ(Client::isIOT((ClientType)t), iot) << t;
    }
}

TEST_F(Clients, AddressCheck) {
    EXPECT_EQ(isValidIpAddress((char*)"10.0.0.1"), 1);
    EXPECT_EQ(isValidIpAddress((char*)"255.255.255.255"), 1);
    EXPECT_EQ(isValidIpAddress((char*)"10.0.0"), 0);
    EXPECT_EQ(isValidIpAddress((char*)"10.0.0.1 "), 0);
    EXPECT_EQ(isValidIpAddress((char*)"::1"), 0);
    EXPECT_EQ(isValidIpAddress(nullptr), 0);
}

TEST_F(Clients, RepairableStoreIsReadAfterOneMessage) {
    putClient(5, {{"NM", "five"}});
    // A damaged header (a negative record count), the records intact.
    std::string data = readFile(kStore);
    ASSERT_GT(data.size(), 44u);
    data.replace(40, 4, "\xff\xff\xff\xff");
    writeFile(kStore, data);
    ClientsList list;
    int r = 0;
    std::string err = captureStderr([&] { r = list.populate(); });
    EXPECT_EQ(r, 1);
    EXPECT_EQ(err.find("dpopen: "), 0u) << err;
    EXPECT_EQ(err.find("cannot repair"), std::string::npos) << err;
    ASSERT_EQ(list.clients.size(), 1u);
    EXPECT_STREQ(list.clients.front().getName(), "five");
}

TEST_F(Clients, UnrepairableStoreIsRemovedAndStartsAfresh) {
    putClient(5, {{"NM", "five"}});
    storefault::expectLockedOut(
        kStore,
        [&] {
            ClientsList list;
            int r = list.populate();
            return r == 0 && list.clients.empty() && !fileExists(kStore);
        },
        storefault::kOpenAndRepairFailed);
    EXPECT_FALSE(fileExists(kStore));
    ClientsList list;
    EXPECT_EQ(list.populate(), 1);
    EXPECT_TRUE(list.clients.empty());

    putClient(5, {{"NM", "five"}});
    storefault::expectLockedOut(kStore, [&] {
        ClientBin rec = loadClientBin(5);
        return rec.clientID == 0 && !fileExists(kStore);
    });
    putClient(5, {{"NM", "five"}});
    clearReceived("rsc");
    storefault::expectLockedOut(kStore, [&] { return newClient().getClientID() == 0; });
    EXPECT_TRUE(received("rsc").empty());
}

TEST_F(Clients, OverlongAndOddRecordsStayInTheirFields) {
    putClient(1, {{"IP", std::string(120, '9') + ",7"},
                  {"NM", std::string(300, 'n')},
                  {"CT", "wirelesswireless"},
                  {"MC", std::string(50, 'm')},
                  {"SB", std::string(200, 'f')},
                  {"LE", "not a number"},
                  {"FEA", "-1"},
                  {"TY", std::string(100, 't')}});
    Client c(1);
    EXPECT_EQ(strlen(c.getIP()), 15u);
    EXPECT_EQ(c.isStaticIP(), 0);  // the comma lies past what is read
    EXPECT_EQ(std::string(c.getName()), std::string(32, 'n'));
    EXPECT_STREQ(c.getConnectionType(), "wirelessw");
    EXPECT_EQ(strlen(c.getMac()), 17u);
    EXPECT_EQ(c.getLastActiveEpoch(), 0u);
    EXPECT_EQ(c.getType(), CT_other);
    EXPECT_EQ(c.getSecurity(), 3);
}

}  // namespace
