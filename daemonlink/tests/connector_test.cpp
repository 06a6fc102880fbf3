// The daemon connector against the cloud daemon of the virtual router.
#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cases.h"
#include "daemonlink/DaemonConnector.h"
#include "net.h"
#include "servers.h"
#include "testkit.h"
#include "base/inet.h"

using namespace testkit;

namespace {

struct Heard {
    int a, b, c;
    std::string payload;
};

std::mutex g_lock;
std::condition_variable g_cv;
std::vector<Heard> g_heard;

void onData(int a, int b, int c, char* payload) {
    std::lock_guard<std::mutex> g(g_lock);
    g_heard.push_back({a, b, c, payload});
    g_cv.notify_all();
}

std::vector<Heard> waitHeard(size_t count) {
    std::unique_lock<std::mutex> g(g_lock);
    g_cv.wait_for(g, std::chrono::seconds(30), [&] { return g_heard.size() >= count; });
    return g_heard;
}

// The payload of the one message heard, once it has come.
std::string heardPayload() {
    std::vector<Heard> h = waitHeard(1);
    EXPECT_EQ(h.size(), 1u);
    return h.size() == 1 ? h[0].payload : "";
}

int threads() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') ++n;
        closedir(d);
    }
    return n;
}

// Waits until the process runs `count` threads or fewer.
bool waitThreads(int count) {
    return testkit::waitUntil([&] { return threads() <= count; });
}

uint32_t be(const std::string& s, size_t at) { return hbase::getBE32(s.data() + at); }
std::string word(uint32_t v) { return hbase::be32Bytes(v); }

std::string reply(uint32_t a, uint32_t b, uint32_t c, const std::string& payload) {
    return word((uint32_t)payload.size()) + word(a) + word(b) + word(c) + payload;
}

class Connector : public ::testing::Test {
protected:
    void SetUp() override {
        {
            std::lock_guard<std::mutex> g(g_lock);
            g_heard.clear();
        }
        clearReceived("daemon");
        clearReceived("daemon.msgs");
        setDaemonMode("");
#ifdef __SANITIZE_THREAD__
        // A first thread makes ThreadSanitizer start its own: counted before.
        // (Elsewhere a joined thread may still be listed for a moment.)
        std::thread([]{}).join();
#endif
        base = threads();
        dc = new DaemonConnector();
        dc->dataCallback = onData;
    }
    void TearDown() override {
        dc->closeConnection();
        ASSERT_TRUE(waitThreads(base));
        delete dc;
    }
    int start(int type) {
        dc->clientType = type;
        return dc->init();
    }
    // Sends the text to the daemon; what its echo brings back.
    std::string echo(int a, int b, int c, std::string text) {
        dc->sendData(a, b, c, &text[0]);
        return heardPayload();
    }
    DaemonConnector* dc = nullptr;
    int base = 0;
};

}  // namespace

TEST(ConnectorAddress, EachClientType) {
    const struct {
        int type;
        const char* ip;
    } cases[] = {{2, "127.255.254.1"},
                 {3, "127.255.254.2"},
                 {4, "127.255.254.3"},
                 {5, "127.255.254.4"},
                 {6, "127.255.254.5"},
                 {7, "127.255.254.6"},
                 {8, "127.255.254.7"},
                 {0, ""},
                 {1, ""},
                 {9, ""},
                 {-1, ""}};
    DaemonConnector dc;
    for (const auto& c : cases) {
        dc.clientType = c.type;
        EXPECT_STREQ(dc.getClientIP(), c.ip) << c.type;
        EXPECT_STREQ(dc.localIP, c.ip);
    }
}

TEST(ConnectorAddress, SingletonAndCopy) {
    DaemonConnector* one = DaemonConnector::getInstance();
    EXPECT_EQ(one, DaemonConnector::getInstance());
    EXPECT_EQ(one->sock, 0);
    DaemonConnector src;
    src.sock = 42;
    src.clientType = 5;
    DaemonConnector copy(src);
    EXPECT_EQ(copy.sock, 42);
    EXPECT_EQ(copy.clientType, 0);
}

TEST_F(Connector, EveryClientTypeSendsFromItsAddress) {
    for (int type = 2; type <= 8; ++type) {
        clearReceived("daemon");
        ASSERT_EQ(start(type), 0);
        char text[] = "{\"t\":1}";
        dc->sendData(1, 2, 3, text);
        std::vector<Datagram> d = waitDatagrams("daemon", 1);
        ASSERT_EQ(d.size(), 1u);
        EXPECT_EQ(d[0].from, "127.255.254." + std::to_string(type - 1));
        EXPECT_EQ(d[0].fromPort, 8998);
        waitHeard(type - 1);
        dc->closeConnection();
        ASSERT_TRUE(waitThreads(base));
    }
}

TEST_F(Connector, UnknownClientLeavesSocketOpen) {
    for (int type : {1, 9}) {
        std::string out = captureStdout([&] { EXPECT_EQ(start(type), -1); });
        EXPECT_EQ(out, "DC- Unknown client is trying to access Cloud Daemon -- " + std::to_string(getpid()) + "\n");
        EXPECT_GT(dc->sock, 0);
        EXPECT_GT(pingSock, 0);  // opened before the address is chosen
        close(dc->sock);
        dc->sock = 0;
    }
}

TEST_F(Connector, SmallPacketIsOneDatagramAndTheAnswerReachesTheCallback) {
    ASSERT_EQ(start(2), 0);
    std::string payload(100, 'x');
    payload.replace(0, 7, "{\"a\":1}");
    dc->sendData(7, -2, 123456789, &payload[0]);
    std::vector<std::string> d = waitReceived("daemon", 1);
    ASSERT_EQ(d.size(), 1u);
    ASSERT_EQ(d[0].size(), 120u);
    EXPECT_EQ(be(d[0], 0), 100u);
    EXPECT_EQ(be(d[0], 4), 0u);
    EXPECT_EQ((int32_t)be(d[0], 8), 7);
    EXPECT_EQ((int32_t)be(d[0], 12), -2);
    EXPECT_EQ((int32_t)be(d[0], 16), 123456789);
    EXPECT_EQ(d[0].substr(20), payload);

    std::vector<Heard> h = waitHeard(1);
    ASSERT_EQ(h.size(), 1u);
    EXPECT_EQ(h[0].a, 7);
    EXPECT_EQ(h[0].b, -2);
    EXPECT_EQ(h[0].c, 123456789);
    EXPECT_EQ(h[0].payload, payload);
}

TEST_F(Connector, LargePacketGoesInPieces) {
    ASSERT_EQ(start(3), 0);
    std::string payload(70000, 'p');
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = (char)('a' + i % 26);
    dc->sendData(1, 2, 3, &payload[0]);
    std::vector<std::string> d = waitReceived("daemon", 2);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].size(), 64512u);
    EXPECT_EQ(d[1].size(), 5508u);
    std::vector<std::string> msgs = waitReceived("daemon.msgs", 1);
    ASSERT_EQ(msgs.size(), 1u);
    ASSERT_EQ(msgs[0].size(), 70020u);
    EXPECT_EQ(be(msgs[0], 0), 70000u);
    EXPECT_EQ(msgs[0].substr(20), payload);
    EXPECT_EQ(heardPayload(), "{\"received\":70000}");
}

TEST_F(Connector, PieceBoundary) {
    ASSERT_EQ(start(4), 0);
    // 64491 + 20 is below the limit, 64492 + 20 reaches it: both one datagram.
    for (size_t len : {64491u, 64492u, 64493u}) {
        clearReceived("daemon");
        clearReceived("daemon.msgs");
        std::string payload(len, 'q');
        dc->sendData(0, 0, 0, &payload[0]);
        std::vector<std::string> msgs = waitReceived("daemon.msgs", 1);
        ASSERT_EQ(msgs.size(), 1u);
        std::vector<std::string> d = received("daemon");
        if (len + 20 <= 64512) {
            ASSERT_EQ(d.size(), 1u) << len;
            EXPECT_EQ(d[0].size(), len + 20);
        } else {
            ASSERT_EQ(d.size(), 2u) << len;
            EXPECT_EQ(d[0].size(), 64512u);
            EXPECT_EQ(d[1].size(), len + 20 - 64512);
        }
    }
}

TEST_F(Connector, InfoRequestNeverSplits) {
    ASSERT_EQ(start(5), 0);
    std::string big(70000, 'i');
    dc->infoRequest(1, 1, 1, &big[0]);  // too long for one datagram: lost
    std::string small(1000, 's');
    dc->infoRequest(4, 5, 6, &small[0]);
    std::vector<std::string> d = waitReceived("daemon", 1);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].size(), 1020u);
    EXPECT_EQ(be(d[0], 4), 1u);
    EXPECT_EQ(be(d[0], 8), 4u);
    EXPECT_EQ(d[0].substr(20), small);
    dc->infoRequest(0, 0, 0, nullptr);
    std::string last = "{}";
    dc->infoRequest(9, 9, 9, &last[0]);
    d = waitReceived("daemon", 2);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[1].substr(20), "{}");
}

TEST_F(Connector, NullPayloadSendsNothing) {
    ASSERT_EQ(start(6), 0);
    std::string out = captureStdout([&] { dc->sendData(1, 2, 3, nullptr); });
    EXPECT_EQ(out, "DC- got JsonPayload as NULL -- " + std::to_string(getpid()) + "\n");
    char marker[] = "marker";
    dc->sendData(0, 0, 0, marker);
    std::vector<std::string> d = waitReceived("daemon", 1);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].substr(20), "marker");
}

TEST_F(Connector, DatagramsOfAnyLengthAndContent) {
    setDaemonMode("silent");
    std::string zeros("a\0b\0c", 5);
    std::string big(65507 - 16, '\xff');
    addDaemonReply("1", reply(1, 0, 0, ""));
    addDaemonReply("2", reply(2, 0xffffffff, 0x80000000, zeros));
    addDaemonReply("3", reply(3, 0, 0, big));
    addDaemonReply("4", std::string(16, '\x01'));
    ASSERT_EQ(start(7), 0);
    char go[] = "go";
    dc->sendData(0, 0, 0, go);
    std::vector<Heard> h = waitHeard(4);
    ASSERT_EQ(h.size(), 4u);
    EXPECT_EQ(h[0].a, 1);
    EXPECT_EQ(h[0].payload, "");
    EXPECT_EQ(h[1].b, -1);
    EXPECT_EQ(h[1].c, INT32_MIN);
    EXPECT_EQ(h[1].payload, "a");  // the text ends at its first zero
    EXPECT_EQ(h[2].payload, big);
    EXPECT_EQ(h[3].a, 0x01010101);
}

TEST_F(Connector, ShortDatagramEndsTheReceiver) {
    setDaemonMode("silent");
    addDaemonReply("1", std::string(15, 'x'));
    ASSERT_EQ(start(8), 0);
    ASSERT_EQ(threads(), base + 1);
    char go[] = "go";
    dc->sendData(0, 0, 0, go);
    EXPECT_TRUE(waitThreads(base));
    // The short datagram was only looked at; it and later ones stay in the
    // socket.
    UdpPeer daemon("127.255.254.9", 0);
    std::string r = reply(5, 5, 5, "late");
    ASSERT_TRUE(daemon.sendTo("127.255.254.7", 8998, r));
    char buf[64];
    EXPECT_EQ(recv(dc->sock, buf, sizeof buf, MSG_DONTWAIT), 15);
    ssize_t n = -1;
    testkit::waitUntil([&] { return (n = recv(dc->sock, buf, sizeof buf, MSG_DONTWAIT)) >= 0; });
    EXPECT_EQ(n, (ssize_t)r.size());
    EXPECT_TRUE(g_heard.empty());
}

TEST_F(Connector, CloseEndsTheReceiverAndInitWorksAgain) {
    ASSERT_EQ(start(2), 0);
    ASSERT_EQ(threads(), base + 1);
    int pinged = pingSock;
    EXPECT_GT(pinged, 0);
    dc->closeConnection();
    EXPECT_EQ(dc->sock, 0);
    EXPECT_EQ(pingSock, 0);
    EXPECT_TRUE(waitThreads(base));
    ASSERT_EQ(dc->init(), 0);
    EXPECT_EQ(echo(1, 1, 1, "again"), "again");
}

TEST_F(Connector, ReceiveWithoutSocket) {
    dc->sock = -1;
    std::string out = captureStdout([&] { EXPECT_EQ(dc->receiveData(), -1); });
    EXPECT_EQ(out, "DC- Check if the call to establishConnection() succeeded. -- " + std::to_string(getpid()) + "\n");
    dc->sock = 0;
}

TEST_F(Connector, MessagesAndOptions) {
    std::string out = captureStdout([&] { dc->registerApplicationID(77); });
    EXPECT_EQ(out, "DC- Application ID set to 77 -- " + std::to_string(getpid()) + "\n");
    EXPECT_EQ(dc->applicationID, 77);
    ASSERT_EQ(start(2), 0);
    EXPECT_EQ(captureStdout([&] { dc->sockoptTestFun(); }), "SO_REUSEADDR is ON\n");
    // A second process-like client on the same address binds too (address reuse).
    DaemonConnector other;
    other.clientType = 2;
    EXPECT_EQ(other.init(), 0);
    other.closeConnection();
    EXPECT_TRUE(waitThreads(base + 1));  // its thread is gone before it is
}

TEST_F(Connector, CloseRightAfterInit) {
    // However soon the connection closes, its thread never reads another
    // descriptor (such as standard input) and ends.
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(start(4), 0);
        dc->closeConnection();
        ASSERT_TRUE(waitThreads(base)) << i;
    }
}

TEST(ConnectorPacket, Layout) {
    DaemonConnector dc;
    char text[] = "hello";
    char* p = dc.prepareCommandPacket(1, 2, 3, 4, text);
    ASSERT_NE(p, nullptr);
    EXPECT_GE(malloc_usable_size(p), 20u + 5 + 1 + 9);
    std::string s(p, 26);
    EXPECT_EQ(be(s, 0), 5u);
    EXPECT_EQ(be(s, 4), 1u);
    EXPECT_EQ(be(s, 8), 2u);
    EXPECT_EQ(be(s, 12), 3u);
    EXPECT_EQ(be(s, 16), 4u);
    EXPECT_EQ(s.substr(20), std::string("hello\0", 6));
    free(p);
}

TEST(Escapers, Encode) {
    testkit::eachCase(
        {
            {"a/b\"c", "a\\/b\\\"c"},
            {"back\\slash", "back\\\\slash"},
            {"say &quot;hi&quot;", "say \\\"hi\\\""},
            {"plain", "plain"},
            {"", ""},
        },
        [](const char* in, const char* out) {
            char buf[600];
            strcpy(buf, in);
            stringEncode(buf);
            EXPECT_STREQ(buf, out);
            stringDecode(buf);
            std::string back = in;
            for (size_t at; (at = back.find("&quot;")) != std::string::npos;) back.replace(at, 6, "\"");
            EXPECT_EQ(back, buf);
        });
}

TEST(Escapers, EncodeIsBoundedAt503) {
    char buf[1200];
    memset(buf, '/', 600);
    buf[600] = '\0';
    stringEncode(buf);
    EXPECT_EQ(strlen(buf), 502u);  // 251 escaped slashes; a 252nd would need 504
    EXPECT_EQ(std::string(buf, 4), "\\/\\/");
    memset(buf, 'a', 600);
    buf[600] = '\0';
    stringEncode(buf);
    EXPECT_EQ(strlen(buf), 503u);
}

TEST(Escapers, DecodeOrder) {
    char s[] = "\\\\/ \\\\\" \\/";
    stringDecode(s);
    // The pairs go first, so the backslash they leave joins the next pass.
    EXPECT_STREQ(s, "/ \" /");
}

TEST(Escapers, EncodeJSON) {
    testkit::eachCase(
        {
            {"a & b", "a &amp; b"},
            {"&amp;", "&amp;"},
            {"&quot;", "&amp;quot;"},
            {"&apos;&lt;&gt;", "&apos;&lt;&gt;"},
            {"it's <b>", "it&apos;s &lt;b&gt;"},
        },
        [](const char* in, const char* out) {
            char buf[100];
            strcpy(buf, in);
            stringEncodeJSON(buf);
            EXPECT_STREQ(buf, out);
        });
    // Far more than 100 bytes of growth.
    std::string many(200, '\'');
    std::vector<char> buf(many.size() * 6 + 1);
    strcpy(buf.data(), many.c_str());
    stringEncodeJSON(buf.data());
    EXPECT_EQ(strlen(buf.data()), 1200u);
}

TEST(JsonValue, LookupOverTheTokenizer) {
    const char text[] = "{\"cmd\":\"status\",\"args\":{\"id\":42}}";
    json_token* t = parse_json2(text, (int)strlen(text));
    ASSERT_NE(t, nullptr);
    char out[64] = "";
    EXPECT_EQ(getJsonValue("args.id", out, t), 1);
    EXPECT_STREQ(out, "42");
    EXPECT_EQ(getJsonValue("cmd", out, t), 1);
    EXPECT_STREQ(out, "status");
    captureStdout([&] { EXPECT_EQ(getJsonValue("nope", out, t), 0); });
    free(t);
}

TEST_F(Connector, ManyDatagramsOfRandomLengths) {
    ASSERT_EQ(start(3), 0);
    UdpPeer daemon("127.255.254.9", 0);
    unsigned seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    const int kCount = 100;
    std::vector<std::string> sent;
    for (int i = 0; i < kCount; ++i) {
        size_t len = 16 + next() % (65507 - 16 + 1);
        std::string d(len, '\0');
        for (char& c : d) c = (char)(next() >> 16);
        ASSERT_TRUE(daemon.sendTo("127.255.254.2", 8998, d));
        sent.push_back(d);
        waitHeard(i + 1);  // the receive buffer of the socket is smaller than all of them
    }
    std::vector<Heard> h = waitHeard(kCount);
    ASSERT_EQ(h.size(), (size_t)kCount);
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(h[i].a, (int32_t)be(sent[i], 4));
        std::string text = sent[i].substr(16);
        EXPECT_EQ(h[i].payload, text.substr(0, text.find('\0')));
    }
}

TEST_F(Connector, InitFailures) {
    const std::string pid = std::to_string(getpid());
    const struct {
        const char* fault;
        int sock;  // 1: an open socket is left
        std::string out, err;
    } cases[] = {
        {"socket-dgram", -1, "", ""},
        {"setsockopt-reuseaddr", 1, "", "listener: setsockopt: "},
        {"bind-127.255.254.1:8998", 1, "DC- bind failed -- " + pid + "\n", "bind:: "},
    };
    for (const auto& c : cases) {
        testkit::Fault f(c.fault);
        std::string out;
        std::string err = captureStderr([&] { out = captureStdout([&] { EXPECT_EQ(start(2), -1) << c.fault; }); });
        EXPECT_EQ(out, c.out) << c.fault;
        EXPECT_EQ(err.rfind(c.err, 0), 0u) << c.fault << ": " << err;
        if (c.sock < 0) {
            EXPECT_EQ(dc->sock, -1);
        } else {
            EXPECT_GT(dc->sock, 0);
            close(dc->sock);
        }
        dc->sock = 0;
        EXPECT_EQ(threads(), base) << c.fault;
    }
    ASSERT_EQ(start(2), 0);
}

TEST_F(Connector, NoThreadForTheReceiver) {
    int r = 0;
    std::string out;
    {
        testkit::Fault f("pthread_create");
        out = captureStdout([&] { r = start(2); });
    }
    EXPECT_EQ(r, -1);
    EXPECT_EQ(out, "DC- Failed to spawn a new thread. -- " + std::to_string(getpid()) + "\n");
    EXPECT_EQ(threads(), base);
    // The socket is bound: the loop runs on the caller's thread, up to a
    // datagram too short to be one.
    UdpPeer daemon("127.255.254.9", 0);
    ASSERT_TRUE(daemon.sendTo("127.255.254.1", 8998, reply(4, 5, 6, "direct")));
    ASSERT_TRUE(daemon.sendTo("127.255.254.1", 8998, std::string(3, 'x')));
    EXPECT_EQ(dc->receiveData(), 0);
    {
        std::lock_guard<std::mutex> g(g_lock);
        ASSERT_EQ(g_heard.size(), 1u);
        EXPECT_EQ(g_heard[0].a, 4);
        EXPECT_EQ(g_heard[0].payload, "direct");
        g_heard.clear();
    }
    dc->closeConnection();
    ASSERT_EQ(start(2), 0);
    EXPECT_EQ(echo(0, 0, 0, "after"), "after");
}

// Without a callback a datagram is read and dropped: the short one after it
// is only looked at, and stays.
TEST_F(Connector, DatagramWithoutCallbackIsDropped) {
    dc->dataCallback = nullptr;
    ASSERT_EQ(start(8), 0);
    UdpPeer daemon("127.255.254.9", 0);
    ASSERT_TRUE(daemon.sendTo("127.255.254.7", 8998, reply(1, 2, 3, "dropped")));
    ASSERT_TRUE(daemon.sendTo("127.255.254.7", 8998, std::string(15, 's')));
    EXPECT_TRUE(waitThreads(base));
    char buf[64];
    EXPECT_EQ(recv(dc->sock, buf, sizeof buf, MSG_DONTWAIT), 15);
    EXPECT_EQ(recv(dc->sock, buf, sizeof buf, MSG_DONTWAIT), -1);
}

TEST_F(Connector, OptionsOfNoSocket) {
    dc->sock = -1;
    EXPECT_EQ(captureStdout([&] { dc->sockoptTestFun(); }), "SO_REUSEADDR is OFF\n");
    dc->sock = 0;
}

namespace {
// A connector of the client type with the callback, not started yet.
DaemonConnector* newConnector(int type, void (*callback)(int, int, int, char*)) {
    auto* c = new DaemonConnector();
    c->clientType = type;
    c->dataCallback = callback;
    return c;
}

std::atomic<DaemonConnector*> g_victim{nullptr};
std::atomic<bool> g_deleted{false};
void deleteSelf(int, int, int, char*) {
    delete g_victim.exchange(nullptr);
    g_deleted = true;
}
void closeAndDeleteSelf(int, int, int, char*) {
    g_victim.load()->closeConnection();
    deleteSelf(0, 0, 0, nullptr);
}
void closeSelf(int, int, int, char*) {
    g_victim.load()->closeConnection();
    g_deleted = true;
}
}  // namespace

// A callback may close its own connector, and delete it too.
TEST(ConnectorLifetime, ClosedFromItsOwnCallback) {
    int base = threads();
    UdpPeer daemon("127.255.254.9", 0);
    for (bool alsoDelete : {false, true}) {
        pingIPfini();
        int fds = openDescriptors();
        auto* c = newConnector(6, alsoDelete ? closeAndDeleteSelf : closeSelf);
        g_victim = c;
        g_deleted = false;
        ASSERT_EQ(c->init(), 0);
        ASSERT_TRUE(daemon.sendTo("127.255.254.5", 8998, reply(1, 1, 1, "bye")));
        ASSERT_TRUE(waitUntil([] { return g_deleted.load(); }));
        EXPECT_TRUE(waitThreads(base)) << alsoDelete;
        if (!alsoDelete) {
            EXPECT_EQ(c->sock, 0);
            delete c;
        }
        EXPECT_EQ(openDescriptors(), fds) << alsoDelete;
    }
}

TEST(ConnectorLifetime, DeletedFromItsOwnCallback) {
    int base = threads();
    pingIPfini();
    int fds = openDescriptors();
    auto* c = newConnector(6, deleteSelf);
    g_victim = c;
    g_deleted = false;
    ASSERT_EQ(c->init(), 0);
    pingIPfini();
    UdpPeer daemon("127.255.254.9", 0);
    ASSERT_TRUE(daemon.sendTo("127.255.254.5", 8998, reply(1, 1, 1, "bye")));
    ASSERT_TRUE(waitUntil([] { return g_deleted.load(); }));
    EXPECT_TRUE(waitThreads(base));
    EXPECT_EQ(openDescriptors(), fds + 1);  // the peer's socket; the connector's is closed
    // Its address is free for the next one.
    DaemonConnector next;
    next.clientType = 6;
    next.dataCallback = onData;
    {
        std::lock_guard<std::mutex> g(g_lock);
        g_heard.clear();
    }
    ASSERT_EQ(next.init(), 0);
    ASSERT_TRUE(daemon.sendTo("127.255.254.5", 8998, reply(2, 2, 2, "hello")));
    EXPECT_EQ(heardPayload(), "hello");
    next.closeConnection();
    EXPECT_TRUE(waitThreads(base));
}

TEST(ConnectorLifetime, DeletedWhileItsThreadRuns) {
    int base = threads();
    pingIPfini();
    int fds = openDescriptors();
    auto* c = newConnector(7, onData);
    ASSERT_EQ(c->init(), 0);
    pingIPfini();
    ASSERT_EQ(threads(), base + 1);
    delete c;  // wakes the thread and waits for it
    EXPECT_TRUE(waitThreads(base));
    EXPECT_EQ(openDescriptors(), fds);
}

TEST(Escapers, NullTextsAreLeftAlone) {
    stringEncode(nullptr);
    stringDecode(nullptr);
    stringEncodeJSON(nullptr);
    char s[] = "a/b";
    stringEncodeJSON(s);
    EXPECT_STREQ(s, "a/b");
}

std::set<std::string> taskIds() {
    std::set<std::string> ids;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') ids.insert(e->d_name);
        closedir(d);
    }
    return ids;
}

// A signal that interrupts the receiver's wait does not end it.
TEST_F(Connector, InterruptedReceiveGoesOn) {
#ifdef __mips__
    GTEST_SKIP() << "under qemu-mipsel /proc shows the host's system calls, not the receive the test waits for";
#endif
    struct sigaction quiet, old;
    memset(&quiet, 0, sizeof quiet);
    quiet.sa_handler = [](int) {};
    sigemptyset(&quiet.sa_mask);  // no SA_RESTART: the wait fails with EINTR
    ASSERT_EQ(sigaction(SIGUSR1, &quiet, &old), 0);
    std::set<std::string> before = taskIds();
    ASSERT_EQ(start(3), 0);
    std::string tid;
    for (const std::string& t : taskIds())
        if (!before.count(t)) tid = t;
    ASSERT_FALSE(tid.empty());
    // Waiting in its receive (the system call it is in).
    ASSERT_TRUE(
        waitUntil([&] { return atoi(readFile("/proc/self/task/" + tid + "/syscall").c_str()) == SYS_recvfrom; }));
    EXPECT_EQ(syscall(SYS_tgkill, getpid(), atoi(tid.c_str()), SIGUSR1), 0);
    EXPECT_EQ(echo(1, 2, 3, "still"), "still");
    EXPECT_EQ(threads(), base + 1);
    sigaction(SIGUSR1, &old, nullptr);
}

// However soon a closed connector is deleted, its thread has let go of it.
TEST(ConnectorLifetime, DeletedRightAfterClose) {
    int base = threads();
    for (int i = 0; i < 20; ++i) {
        auto* c = newConnector(4, onData);
        ASSERT_EQ(c->init(), 0);
        c->closeConnection();
        delete c;
    }
    EXPECT_TRUE(waitThreads(base));
}

namespace {
std::atomic<bool> g_inCallback{false}, g_release{false};
void holdOn(int, int, int, char*) {
    g_inCallback = true;
    waitUntil([] { return g_release.load(); });
}
}  // namespace

// Closed, then deleted while its callback still runs: the deletion waits
// for the thread, which then finds its socket gone.
TEST(ConnectorLifetime, DeletedWhileItsCallbackRuns) {
    int base = threads();
    g_inCallback = false;
    g_release = false;
    auto* c = newConnector(4, holdOn);
    ASSERT_EQ(c->init(), 0);
    UdpPeer daemon("127.255.254.9", 0);
    ASSERT_TRUE(daemon.sendTo("127.255.254.3", 8998, reply(1, 1, 1, "hold")));
    ASSERT_TRUE(waitUntil([] { return g_inCallback.load(); }));
    c->closeConnection();
    const std::string self = std::to_string(syscall(SYS_gettid));
    std::thread releaser([&] {
        // Let go once the deletion waits for the thread. qemu-mipsel's /proc
        // shows the host's system calls, so there the thread's sleep is read.
        waitUntil([&] {
#ifdef __mips__
            std::string stat = readFile("/proc/self/task/" + self + "/stat");
            size_t end = stat.rfind(") ");
            return end != std::string::npos && stat.compare(end + 2, 1, "S") == 0;
#else
            return atoi(readFile("/proc/self/task/" + self + "/syscall").c_str()) == SYS_futex;
#endif
        });
        g_release = true;
    });
    delete c;
    releaser.join();
    EXPECT_TRUE(g_release.load());
    EXPECT_TRUE(waitThreads(base));
}
