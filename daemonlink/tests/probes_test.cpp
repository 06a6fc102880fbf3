// Ping, the resolver and the Internet check against the peers of the virtual
// router: the kernel's echo, dnsmasq, the raw DNS responder, the ICMP peer
// and the HTTP peers.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "daemonlink/probes.h"
#include "net.h"
#include "servers.h"
#include "testkit.h"
#include "base/inet.h"

using namespace testkit;

namespace {

struct Out {
    char buf[1024];
    Out() { memset(buf, 0, sizeof buf); }
    int count() const { return (unsigned char)buf[DNS_OUT_COUNT]; }
    std::string slot(int i) const { return std::string(buf + i * DNS_OUT_SLOT); }
};

// Resolves name at server; the name is copied (it gains a dot).
int query(const std::string& name, Out* out, const char* server, int timeout = 2) {
    unsigned char host[300];
    snprintf(reinterpret_cast<char*>(host), sizeof host, "%s", name.c_str());
    return ngethostbyname(host, 1, out->buf, timeout, const_cast<char*>(server));
}

// Points the resolver list at a file of the test's own.
class ResolverList {
public:
    explicit ResolverList(const std::string& text) {
        writeFile("/tmp/resolv.test", text);
        strcpy(saved_, rconf);
        strcpy(rconf, "/tmp/resolv.test");
    }
    ~ResolverList() { strcpy(rconf, saved_); }

private:
    char saved_[100];
};

int check(const char* host, int timeout = 2, const char* iface = nullptr) {
    int r;
    captureStdout([&] { r = checkInternet(const_cast<char*>(host), timeout, const_cast<char*>(iface)); });
    return r;
}

bool ping(const std::string& args, std::string* err = nullptr) {
    bool r = false;
    std::string e = captureStderr([&] { captureStdout([&] { r = pingIP(args.c_str()); }); });
    if (err) *err = e;
    return r;
}

// A resolver of the test's own on addr:53. It answers every query with its
// header and question, then `count` answer records; beforeAnswer runs
// between a query and its answer.
class Responder {
public:
    Responder(const char* addr, int count, std::string records, std::function<void()> beforeAnswer = nullptr)
        : count_(count), records_(std::move(records)), before_(std::move(beforeAnswer)) {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a;
        memset(&a, 0, sizeof a);
        a.sin_family = AF_INET;
        a.sin_port = htons(53);
        inet_pton(AF_INET, addr, &a.sin_addr);
        ok_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && pipe(stop_) == 0;
        if (ok_) thread_ = std::thread([this] { serve(); });
    }
    ~Responder() {
        if (ok_) {
            EXPECT_EQ(write(stop_[1], "x", 1), 1);
            thread_.join();
            close(stop_[0]);
            close(stop_[1]);
        }
        if (fd_ >= 0) close(fd_);
    }
    bool ok() const { return ok_; }
    int queries() const { return queries_; }

private:
    void serve() {
        for (;;) {
            pollfd p[2] = {{fd_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
            if (poll(p, 2, -1) < 0 || p[1].revents) return;
            unsigned char q[512];
            sockaddr_in from;
            socklen_t fl = sizeof from;
            ssize_t n = recvfrom(fd_, q, sizeof q, 0, reinterpret_cast<sockaddr*>(&from), &fl);
            if (n < 12) continue;
            ++queries_;
            if (before_) before_();
            DnsMessage m;
            m.header((q[0] << 8) | q[1], 0x8180, 1, count_).raw(std::string(reinterpret_cast<char*>(q) + 12, n - 12));
            m.raw(records_);
            sendto(fd_, m.bytes.data(), m.size(), 0, reinterpret_cast<sockaddr*>(&from), fl);
        }
    }

    int count_;
    std::string records_;
    std::function<void()> before_;
    int fd_ = -1;
    int stop_[2] = {-1, -1};
    bool ok_ = false;
    std::atomic<int> queries_{0};
    std::thread thread_;
};

// A change to the sandbox's network for one test: apply() runs the shell
// commands of change (from any thread), the end runs those of undo and
// checks that addresses, routes and fixed neighbours are as they were.
class NetworkChange {
public:
    NetworkChange(std::string change, std::string undo)
        : change_(std::move(change)), undo_(std::move(undo)), before_(state()) {}
    ~NetworkChange() {
        if (applied_) {
            EXPECT_EQ(system(undo_.c_str()), 0) << undo_;
        }
        EXPECT_EQ(state(), before_);
    }
    void apply() {
        applied_ = true;
        ok_ = system(change_.c_str()) == 0;
    }
    bool ok() const { return ok_; }

private:
    // Sorted: the kernel lists its neighbours in hash order, which a
    // replaced entry may change.
    static std::string state() {
        return run("(ip -4 -o addr; ip -4 route show table all; ip neigh show nud permanent) | sort");
    }

    std::string change_, undo_, before_;
    std::atomic<bool> applied_{false}, ok_{false};
};

// The PPP link gone: ppp0 down and renamed. Its address stays local, so an
// answer already on its way to a socket bound to it still arrives.
NetworkChange pppGone() {
    return NetworkChange(
        "ip neigh show dev ppp0 nud permanent > /tmp/ppp0.neigh && ip link set ppp0 down && "
        "ip link set ppp0 name ppp0-gone",
        "ip link set ppp0-gone name ppp0 && ip link set ppp0 up && "
        "while read a l mac s; do ip neigh replace $a lladdr $mac dev ppp0 nud permanent || exit 1; done "
        "< /tmp/ppp0.neigh");
}

struct FallbackMode {
    FallbackMode() { change2FallBack(); }
    ~FallbackMode() { change2Primary(); }
};

}  // namespace

TEST(Hexdump, Format) {
    unsigned char b[18];
    for (int i = 0; i < 18; ++i) b[i] = (unsigned char)(i * 15);
    std::string out = captureStdout([&] { hexdump(b, 18); });
    char head[64];
    snprintf(head, sizeof head, "Addr: %p, len: 18\n", static_cast<void*>(b));
    EXPECT_EQ(out, std::string(head) +
                       "\n0000 : 0 15 30 45 60 75 90 105 120 135 150 165 180 195 210 225 "
                       "\n0016 : 240 255 =========================\n");
    EXPECT_EQ(captureStdout([&] { hexdump(nullptr, 4); }), "");
    EXPECT_EQ(captureStdout([&] { hexdump(b, 0); }), "");
    EXPECT_EQ(captureStdout([&] { hexdump(b, -3); }), "");
}

TEST(LabelForm, ChangetoDnsNameFormat) {
    unsigned char host[32] = "abc.example";
    unsigned char out[32];
    memset(out, 0xee, sizeof out);
    ChangetoDnsNameFormat(out, host);
    EXPECT_STREQ(reinterpret_cast<char*>(host), "abc.example.");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 14), std::string("\3abc\7example\0", 13) + "\xee");
}

TEST(ReadNameTest, Counts) {
    // msg: header, then "www.sim.test" at 12, and names to measure after it.
    DnsMessage m;
    m.header(1, 0, 1, 0).name("www.sim.test");  // 12..25
    size_t plain = m.size();
    m.name("a.b");  // plain name: 5 bytes
    size_t ptr = m.size();
    m.pointer(12);  // 2
    size_t mixed = m.size();
    m.u8(3).raw("ftp").pointer(16);  // 4 + 2: "ftp" then "sim.test"
    size_t self = m.size();
    m.pointer((int)self);  // points at itself
    size_t fwd = m.size();
    m.pointer((int)fwd + 2).name("x");  // points forward
    size_t out = m.size();
    m.pointer(4000);  // outside the message
    size_t loop = m.size();
    m.u8(1).raw("z").pointer((int)loop);  // label then back to itself
    std::vector<unsigned char> msg(65536, 0);
    memcpy(msg.data(), m.bytes.data(), m.size());
    // Bytes beyond the message are not zero: an unbounded walk would run on.
    for (size_t i = m.size(); i < msg.size(); ++i) msg[i] = 'k';

    const struct {
        size_t at;
        int count;
    } cases[] = {{12, 14}, {plain, 5}, {ptr, 2}, {mixed, 6}, {self, 2}, {fwd, 2}, {loop, 4}};
    for (const auto& c : cases) {
        int count = -5;
        ReadName(msg.data() + c.at, msg.data(), &count);
        EXPECT_EQ(count, c.count) << "at " << c.at;
    }
    // A pointer beyond the 65536-byte message.
    int count = 0;
    msg[out] = 0xff;
    msg[out + 1] = 0xff;
    ReadName(msg.data() + out, msg.data(), &count);
    EXPECT_EQ(count, 2);
    // A name of 300 bytes without end.
    std::vector<unsigned char> longName(65536, 'n');
    ReadName(longName.data(), longName.data(), &count);
    EXPECT_EQ(count, 255);  // the bytes walked before the name was given up
}

TEST(ResolverListTest, Parsing) {
    const struct {
        const char* text;
        const char* first;
        const char* second;
    } cases[] = {
        {"nameserver 127.0.0.1\nnameserver 127.0.53.1\nnameserver 10.0.0.1\n", "127.0.0.1", "127.0.53.1"},
        {"# nameserver 1.1.1.1\nsearch x\nnameserver 127.0.0.9\n", "127.0.0.9", "keep"},
        {"nameserver   127.0.0.3 # a comment\n", "127.0.0.3 # a comment", "keep"},
        {"options ndots:1\n", "keep", "keep"},
    };
    for (const auto& c : cases) {
        strcpy(dns_servers[0], "keep");
        strcpy(dns_servers[1], "keep");
        ResolverList list(c.text);
        get_dns_servers();
        EXPECT_STREQ(dns_servers[0], c.first) << c.text;
        EXPECT_STREQ(dns_servers[1], c.second) << c.text;
    }
    // An entry is cut to its 50-byte field.
    ResolverList list("nameserver " + std::string(120, '7') + "\n");
    get_dns_servers();
    EXPECT_EQ(std::string(dns_servers[0]), std::string(49, '7'));
}

TEST(ResolverListTest, MissingFileGivesPublicResolversThatFailInside) {
    char saved[100];
    strcpy(saved, rconf);
    strcpy(rconf, "/tmp/no-such-resolv.conf");
    get_dns_servers();
    strcpy(rconf, saved);
    EXPECT_STREQ(dns_servers[0], "8.8.8.8");
    EXPECT_STREQ(dns_servers[1], "8.8.4.4");
    // No route leaves the sandbox: the query fails at once.
    Out out;
    EXPECT_FALSE(captureStderr([&] { EXPECT_FALSE(query("web.sim.test", &out, dns_servers[0])); }).empty());
}

TEST(Resolver, EmptyServerSendsNothing) {
    dns_fd = -7;
    Out out;
    unsigned char host[32] = "web.sim.test";
    EXPECT_EQ(ngethostbyname(host, 1, out.buf, 1, const_cast<char*>("")), 0);
    EXPECT_EQ(dns_fd, -7);
    EXPECT_STREQ(reinterpret_cast<char*>(host), "web.sim.test");
}

TEST(Resolver, AnswersOfDnsmasq) {
    Out out;
    ASSERT_TRUE(query("web.sim.test", &out, "127.0.0.1"));
    EXPECT_EQ(out.count(), 1);
    EXPECT_EQ(out.slot(0), "127.0.90.1");

    Out alias;
    ASSERT_TRUE(query("alias.sim.test", &alias, "127.0.0.1"));  // CNAME, then A
    EXPECT_EQ(alias.count(), 1);
    EXPECT_EQ(alias.slot(0), "127.0.90.1");

    Out none;
    EXPECT_TRUE(query("nodata.sim.test", &none, "127.0.0.1"));  // an answer, no address
    EXPECT_EQ(none.count(), 0);
    EXPECT_EQ(none.slot(0), "");

    unsigned char host[32] = "firmware.halvix.net";
    Out fw;
    EXPECT_TRUE(ngethostbyname(host, 1, fw.buf, 2, const_cast<char*>("127.0.0.1")));
    EXPECT_STREQ(reinterpret_cast<char*>(host), "firmware.halvix.net.");
    EXPECT_EQ(fw.slot(0), "127.255.253.1");
}

TEST(Resolver, MoreRecordsThanTheOutputHolds) {
    Out out;
    memset(out.buf + DNS_OUT_COUNT + 1, 0x5a, sizeof out.buf - DNS_OUT_COUNT - 1);
    ASSERT_TRUE(query("many.sim.test", &out, "127.0.0.1"));
    EXPECT_EQ(out.count(), 16);
    std::set<std::string> seen;  // dnsmasq turns the order round
    for (int i = 0; i < 16; ++i) {
        std::string s = out.slot(i);
        EXPECT_EQ(s.rfind("127.0.91.", 0), 0u) << s;
        int last = atoi(s.c_str() + 9);
        EXPECT_TRUE(last >= 1 && last <= 20) << s;
        seen.insert(s);
    }
    EXPECT_EQ(seen.size(), 16u);
    for (size_t i = DNS_OUT_COUNT + 1; i < sizeof out.buf; ++i) ASSERT_EQ(out.buf[i], 0x5a) << i;
}

TEST(Resolver, QueryOnTheWire) {
    clearReceived("dns-raw");
    setDnsRawReply("");
    Out out;
    EXPECT_FALSE(query("ab.sim.test", &out, "127.0.53.1", 1));  // silent: times out
    std::vector<std::string> q = received("dns-raw");
    ASSERT_EQ(q.size(), 1u);
    DnsMessage want;
    want.header(getpid() & 0xffff, 0x0100, 1, 0).name("ab.sim.test").u16(1).u16(1);
    EXPECT_EQ(q[0], want.bytes);
    EXPECT_EQ(q[0].size(), strlen("ab.sim.test.") + 17);
}

TEST(Resolver, RefusesWhatCannotBeSent) {
    Out out;
    EXPECT_FALSE(query("web.sim.test", &out, "not-an-address"));
    EXPECT_FALSE(query(std::string(64, 'l') + ".sim.test", &out, "127.0.0.1"));  // label of 64
    EXPECT_FALSE(query(std::string(254, 'a'), &out, "127.0.0.1"));
    EXPECT_FALSE(captureStderr([&] { EXPECT_FALSE(query("web.sim.test", &out, "192.0.2.53")); }).empty());
}

// Replies of the raw responder, to a query for "ab.sim.test" (13 bytes of
// name at 12, so the answers start at 29).
TEST(Resolver, MalformedAnswers) {
    auto base = [](int answers) {
        DnsMessage m;
        m.header(1, 0x8180, 1, answers).name("ab.sim.test").u16(1).u16(1);
        return m;
    };
    const struct {
        const char* what;
        std::string reply;
        int count;
        const char* first;
    } cases[] = {
        {"compressed A", base(1).pointer(12).a("127.0.90.7").bytes, 1, "127.0.90.7"},
        {"two A", base(2).pointer(12).a("1.2.3.4").pointer(12).a("5.6.7.8").bytes, 2, "1.2.3.4"},
        {"pointer loop in owner", base(1).pointer(29).a("1.1.1.1").bytes, 0, ""},
        {"forward pointer", base(1).pointer(40).a("1.1.1.1").bytes, 0, ""},
        {"pointer outside", base(1).pointer(0x3fff).a("1.1.1.1").bytes, 0, ""},
        {"pointer cut", base(1).u8(0xc0).bytes, 0, ""},
        {"loop through a label", base(1).u8(1).raw("x").pointer(29).a("1.1.1.1").bytes, 0, ""},
        {"name of 300 bytes", base(1).raw(std::string(300, '\x05')).u8(0).a("1.1.1.1").bytes, 0, ""},
        {"more answers than records", base(60000).pointer(12).a("9.9.9.9").bytes, 1, "9.9.9.9"},
        {"A record cut", base(1).pointer(12).record(1, 4).u16(0x0102).bytes, 0, ""},
        {"fixed part cut", base(1).pointer(12).u16(1).bytes, 0, ""},
        {"CNAME then A", base(2).pointer(12).record(5, 2).pointer(12).pointer(12).a("7.7.7.7").bytes, 1, "7.7.7.7"},
        {"CNAME data looping", base(2).pointer(12).record(5, 2).pointer(41).a("7.7.7.7").bytes, 0, ""},
        {"header only", DnsMessage().header(1, 0x8180, 1, 5).bytes, 0, ""},
        {"short", std::string("\x00\x01\x81", 3), 0, ""},
        {"empty", std::string(), 0, ""},
    };
    for (const auto& c : cases) {
        setDnsRawReply(c.reply.empty() ? std::string(1, '\0') : c.reply);
        if (c.reply.empty()) continue;  // an empty file means silence
        Out out;
        EXPECT_TRUE(query("ab.sim.test", &out, "127.0.53.1")) << c.what;
        EXPECT_EQ(out.count(), c.count) << c.what;
        EXPECT_EQ(out.slot(0), c.first) << c.what;
    }
    setDnsRawReply("");
}

// Records other than addresses ahead of the A record, from a resolver of the
// test's own (the answers start at 29, as above).
TEST(Resolver, DataOfOtherRecordsIsSteppedOver) {
    auto rec = [](int type, const std::string& data, int rdlength = -1) {
        return DnsMessage().pointer(12).record(type, rdlength < 0 ? (int)data.size() : rdlength).raw(data).bytes;
    };
    const std::string a = DnsMessage().pointer(12).a("127.0.90.7").bytes;
    const struct {
        const char* what;
        std::string records;
        int count;
    } cases[] = {
        {"TXT", rec(16, "\x0bhello world") + a, 1},
        {"TXT like a compressed name", rec(16, "\xc0\x1d") + a, 1},
        {"empty TXT", rec(16, "") + a, 1},
        {"MX", rec(15, std::string("\0\x0a\xc0\x0c", 4)) + a, 1},
        {"AAAA", rec(28, std::string(16, '\x20')) + a, 1},
        {"A of 16 bytes", rec(1, std::string(16, '\x01')) + a, 1},
        {"TXT past the end", a + rec(16, "abc", 40), 1},
        {"TXT past the end over an A", rec(16, "", (int)a.size() + 1) + a, 0},
    };
    for (const auto& c : cases) {
        Responder dns("127.0.54.1", 2, c.records);
        ASSERT_TRUE(dns.ok());
        Out out;
        EXPECT_TRUE(query("ab.sim.test", &out, "127.0.54.1")) << c.what;
        EXPECT_EQ(out.count(), c.count) << c.what;
        EXPECT_EQ(out.slot(0), c.count ? "127.0.90.7" : "") << c.what;
        EXPECT_EQ(dns.queries(), 1) << c.what;
    }

    // The Internet check reaches the host behind a TXT record.
    Responder dns("127.0.54.1", 2, rec(16, "\x0bhello world") + DnsMessage().pointer(12).a("127.0.90.1").bytes);
    ASSERT_TRUE(dns.ok());
    ResolverList list("nameserver 127.0.54.1\n");
    EXPECT_EQ(check("web.sim.test"), 0);
}

TEST(Ping, KernelEchoAnswersFourProbes) {
    clearWire();
    EXPECT_TRUE(ping("127.0.0.1"));
    std::vector<WirePacket> sent = echoRequests("127.0.0.1");
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(timeLimit, 1000000);
    // The request: type 8, code 0, our identifier and sequence 12345, 56 zeros.
    std::string icmp = sent[0].payload();
    ASSERT_EQ(icmp.size(), 64u);
    uint16_t id, seq;
    memcpy(&id, &icmp[4], 2);
    memcpy(&seq, &icmp[6], 2);
    EXPECT_EQ(icmp[0], 8);
    EXPECT_EQ(id, (uint16_t)getpid());
    EXPECT_EQ(seq, 12345);
    EXPECT_EQ(icmp.substr(8), std::string(56, '\0'));
}

TEST(Ping, HostNameAndExtraWords) {
    clearWire();
    EXPECT_TRUE(ping("echo.sim.test and more words"));
    EXPECT_EQ(echoRequests("127.0.70.1").size(), 4u);
    clearWire();
    EXPECT_TRUE(ping("127.0.0.1 -I"));  // "-I" last: no interface
    EXPECT_EQ(echoRequests("127.0.0.1").size(), 4u);
}

TEST(Ping, UnknownHost) {
    std::string err;
    clearWire();
    EXPECT_FALSE(ping("nosuch.sim.test", &err));
    EXPECT_NE(err.find("unknown host nosuch.sim.test\n"), std::string::npos);
    EXPECT_TRUE(echoRequests().empty());
}

TEST(Ping, ScriptedAnswers) {
    const struct {
        const char* script;
        bool up;
        size_t probes;
    } cases[] = {
        {"yyyy", true, 4},   {"ynnny", true, 5},  {"ynyn", true, 4},
        {"nnnnn", false, 5}, {"ynnnn", false, 5}, {"nnnyn", false, 5},
    };
    for (const auto& c : cases) {
        timeLimit = 1000000;
        clearWire();
        setIcmpScript(c.script);
        EXPECT_EQ(ping("blackhole.sim.test"), c.up) << c.script;
        EXPECT_EQ(echoRequests("10.77.0.2").size(), c.probes) << c.script;
    }
    setIcmpScript("");
}

TEST(Ping, Interface) {
    timeLimit = 1000000;
    clearWire();
    setIcmpScript("yyyy");
    EXPECT_TRUE(ping("10.77.0.2 -I sim0"));
    std::vector<WirePacket> sent = echoRequests("10.77.0.2");
    ASSERT_EQ(sent.size(), 4u);
    for (const WirePacket& p : sent) EXPECT_EQ(p.iface, "sim0");

    clearWire();
    EXPECT_TRUE(ping("127.0.0.1 -I lo"));
    sent = echoRequests("127.0.0.1");
    ASSERT_EQ(sent.size(), 4u);
    for (const WirePacket& p : sent) EXPECT_EQ(p.iface, "lo");

    // Bound to the PPP link, the probes never reach sim0 and its peer.
    clearWire();
    setIcmpScript("yyyyy");
    EXPECT_FALSE(ping("10.77.0.2 -I ppp0"));
    for (const WirePacket& p : echoRequests("10.77.0.2")) EXPECT_NE(p.iface, "sim0");

    clearWire();
    std::string err;
    EXPECT_FALSE(ping("127.0.0.1 -I nosuch0", &err));
    EXPECT_NE(err.find("set interface nosuch0 failed:setsockopt"), std::string::npos);
    EXPECT_FALSE(ping("127.0.0.1 -I waytoolonginterfacename"));
    EXPECT_TRUE(echoRequests().empty());
    setIcmpScript("");
}

TEST(Ping, SocketLifecycle) {
    pingIPfini();
    EXPECT_EQ(pingSock, 0);
    EXPECT_EQ(pingIPinit(), 0);
    int first = pingSock;
    EXPECT_GT(first, 0);
    EXPECT_EQ(pingIPinit(), 0);  // closes the open one first
    EXPECT_GT(pingSock, 0);
    pingIPfini();
    EXPECT_EQ(pingSock, 0);
    EXPECT_TRUE(ping("127.0.0.1"));  // opens it on demand
    EXPECT_GT(pingSock, 0);
}

TEST(InternetCheck, ResultCodes) {
    const struct {
        const char* host;
        int code;
    } cases[] = {
        {"web.sim.test", 0},    {"www.halvix.com", 0},      {"closer.sim.test", 0},    {"silent.sim.test", 1},
        {"reset.sim.test", 1},  {"refused.sim.test", 2},    {"blackhole.sim.test", 3}, {"nosuch.sim.test", 6},
        {"nodata.sim.test", 6}, {"unroutable.sim.test", 9},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(check(c.host, 1), c.code) << c.host;
        EXPECT_EQ(sockfd, -1) << c.host;
    }
}

TEST(InternetCheck, RequestOnTheWire) {
    clearReceived("http-web");
    char host[] = "web.sim.test";
    EXPECT_EQ(checkInternet(host, 2), 0);
    EXPECT_STREQ(host, "web.sim.test");
    std::vector<Datagram> d = waitDatagrams("http-web", 1);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].bytes, std::string("GET /index.html HTTP/1.1\r\n\r\n", 29));
    EXPECT_EQ(d[0].from, "127.0.0.1");
}

TEST(InternetCheck, SocketFaults) {
    testkit::Fault faultSocketStream("socket-stream");
    EXPECT_EQ(check("web.sim.test"), 5);
    faultSocketStream.off();
    testkit::Fault faultSetsockoptTcpNodelay("setsockopt-tcp-nodelay");
    EXPECT_EQ(check("web.sim.test"), 4);
    faultSetsockoptTcpNodelay.off();
    EXPECT_EQ(check("web.sim.test"), 0);
}

TEST(InternetCheck, Interface) {
    clearReceived("http-web");
    std::string out;
    int r = -9;
    out = captureStdout([&] { r = checkInternet(const_cast<char*>("web.sim.test"), 2, const_cast<char*>("sim0")); });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(out, "\tInterface : <sim0>\n\t  Address : <10.77.0.1>\n");
    std::vector<Datagram> d = waitDatagrams("http-web", 1);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].from, "10.77.0.1");

    out = captureStdout([&] { r = checkInternet(const_cast<char*>("web.sim.test"), 2, const_cast<char*>("nosuch0")); });
    EXPECT_EQ(r, -1);
    EXPECT_EQ(out, "No such nosuch0 Interface\n");
    EXPECT_EQ(sockfd, -1);
}

// The interface is there but its address cannot be bound (its local route
// gone): the check fails instead of going out by another link.
TEST(InternetCheck, InterfaceAddressThatCannotBeBound) {
    NetworkChange unbindable("ip route del local 10.77.0.1 dev sim0 table local",
                             "ip route add local 10.77.0.1 dev sim0 table local proto kernel scope host src 10.77.0.1");
    unbindable.apply();
    ASSERT_TRUE(unbindable.ok());
    std::string out;
    int r = -9;
    std::string err = captureStderr([&] {
        out =
            captureStdout([&] { r = checkInternet(const_cast<char*>("web.sim.test"), 2, const_cast<char*>("sim0")); });
    });
    EXPECT_EQ(r, -1);
    EXPECT_EQ(out, "\tInterface : <sim0>\n\t  Address : <10.77.0.1>\n");
    EXPECT_NE(err.find("bind: "), std::string::npos) << err;
    EXPECT_EQ(sockfd, -1);
}

TEST(InternetCheck, SecondResolver) {
    clearReceived("dns-raw");
    setDnsRawReply("");
    ResolverList list("nameserver 127.0.53.1\nnameserver 127.0.0.1\n");
    EXPECT_EQ(check("web.sim.test", 1), 0);
    EXPECT_EQ(received("dns-raw").size(), 1u);  // asked first, silent
}

TEST(Fallback, SwitchesTheResolverToPpp0) {
    EXPECT_EQ(change2FallBack(), 1);
    EXPECT_TRUE(fallback);
    EXPECT_TRUE(use_ppp);
    EXPECT_EQ(change2FallBack(), 1);
    clearWire();
    Out out;
    captureStderr([&] { EXPECT_FALSE(query("web.sim.test", &out, "10.88.0.2", 1)); });
    bool viaPpp = false;
    for (const WirePacket& p : wire())
        if (p.iface == "ppp0" && p.protocol() == 17 && p.dst() == "10.88.0.2") viaPpp = true;
    EXPECT_TRUE(viaPpp);
    // The sandbox's resolver is not on the PPP link.
    captureStderr([&] { EXPECT_EQ(check("web.sim.test", 1), 6); });
    change2Primary();
    EXPECT_FALSE(fallback);
    EXPECT_FALSE(use_ppp);
    EXPECT_EQ(check("web.sim.test", 1), 0);
}

TEST(Fallback, WithoutPpp0TheQueryFails) {
    NetworkChange gone = pppGone();
    gone.apply();
    ASSERT_TRUE(gone.ok());
    FallbackMode on;
    Out out;
    std::string err = captureStderr([&] { EXPECT_FALSE(query("web.sim.test", &out, "127.0.0.1")); });
    EXPECT_NE(err.find("set interface ppp0 failed:setsockopt: "), std::string::npos) << err;
    EXPECT_EQ(out.count(), 0);
    captureStderr([&] { EXPECT_EQ(check("web.sim.test", 1), 6); });
}

// A resolver on the PPP link's own address answers web.sim.test; the link
// goes away while the answer is on its way.
TEST(Fallback, Ppp0GoneBeforeTheConnection) {
    const std::string web = DnsMessage().pointer(12).a("127.0.90.1").bytes;
    ResolverList list("nameserver 10.88.0.1\n");
    FallbackMode on;
    {
        // With the link there, the connection is tried over it, where no
        // web host answers.
        Responder dns("10.88.0.1", 1, web);
        ASSERT_TRUE(dns.ok());
        EXPECT_EQ(check("web.sim.test", 1), 3);
        EXPECT_EQ(dns.queries(), 1);
    }
    NetworkChange gone = pppGone();
    Responder dns("10.88.0.1", 1, web, [&] { gone.apply(); });
    ASSERT_TRUE(dns.ok());
    EXPECT_EQ(check("web.sim.test", 5), 4);  // the answer waits for the change
    EXPECT_EQ(dns.queries(), 1);
    EXPECT_TRUE(gone.ok());
    EXPECT_EQ(sockfd, -1);
}

// With more than FD_SETSIZE descriptors open, the probes' sockets lie far
// above what an fd_set holds. The descriptors held are a pipe's writing end:
// always writable, never readable.
TEST(ManyDescriptors, ProbesStillWork) {
    constexpr int kAbove = 4 * FD_SETSIZE;
    struct Held {
        rlimit saved;
        int ends[2] = {-1, -1};
        std::vector<int> fds;
        ~Held() {
            for (int fd : fds) close(fd);
            for (int fd : ends)
                if (fd >= 0) close(fd);
            setrlimit(RLIMIT_NOFILE, &saved);
        }
    } held;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &held.saved), 0);
    rlimit more = held.saved;
    if (more.rlim_cur < (rlim_t)kAbove + 64) more.rlim_cur = kAbove + 64;
    ASSERT_LE(more.rlim_cur, more.rlim_max);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &more), 0);
    ASSERT_EQ(pipe(held.ends), 0);
    // dup takes the lowest free descriptor: all below the last are taken.
    while (held.fds.empty() || held.fds.back() < kAbove) {
        int fd = dup(held.ends[1]);
        ASSERT_GE(fd, 0);
        held.fds.push_back(fd);
    }

    EXPECT_EQ(check("web.sim.test"), 0);
    EXPECT_EQ(check("refused.sim.test"), 2);
    EXPECT_EQ(check("blackhole.sim.test", 1), 3);

    pingIPfini();
    clearWire();
    EXPECT_TRUE(ping("127.0.0.1"));
    EXPECT_GT(pingSock, kAbove);
    EXPECT_EQ(echoRequests("127.0.0.1").size(), 4u);
    // Replies and time-outs: three probes wait out their limits.
    timeLimit = 1000000;
    clearWire();
    setIcmpScript("ynnny");
    EXPECT_TRUE(ping("blackhole.sim.test"));
    EXPECT_EQ(echoRequests("10.77.0.2").size(), 5u);
    setIcmpScript("");
    pingIPfini();
}

// The ping socket and the probes when a system call refuses: each failure is
// reported and counts as no answer.
TEST(Ping, SystemCallsThatFail) {
    pingIPfini();
    {
        testkit::Fault raw("socket-raw");
        std::string err = captureStderr([&] { EXPECT_EQ(pingIPinit(), -1); });
        EXPECT_EQ(pingSock, 0);
        EXPECT_NE(err.find("socket: "), std::string::npos) << err;
        clearWire();
        EXPECT_FALSE(ping("127.0.0.1"));  // nothing to send on
    }
    {
        testkit::Fault reuse("setsockopt-reuseaddr");
        int before = openDescriptors();
        std::string err = captureStderr([&] { EXPECT_EQ(pingIPinit(), -1); });
        EXPECT_EQ(pingSock, 0);
        EXPECT_EQ(openDescriptors(), before);  // the socket is closed again
        EXPECT_NE(err.find("listener: setsockopt: "), std::string::npos) << err;
    }
    ASSERT_EQ(pingIPinit(), 0);
    const struct {
        const char* fault;
        const char* message;
    } cases[] = {
        {"setsockopt-bindtodevice", "listener: setsockopt - defIface :"},
        {"recvfrom-1", "recvfrom error"},  // a raw ICMP socket's port is its protocol
    };
    for (const auto& c : cases) {
        testkit::Fault f(c.fault);
        std::string err;
        EXPECT_FALSE(ping("127.0.0.1", &err)) << c.fault;
        EXPECT_NE(err.find(c.message), std::string::npos) << c.fault << ": " << err;
    }
    // The replies the failed reads left in the socket go with it.
    ASSERT_EQ(pingIPinit(), 0);
    ASSERT_TRUE(syncWire());
    clearWire();
    EXPECT_TRUE(ping("127.0.0.1"));
    EXPECT_EQ(echoRequests("127.0.0.1").size(), 4u);
}

TEST(Resolver, NoSocket) {
    testkit::Fault f("socket-dgram");
    Out out;
    std::string err = captureStderr([&] { EXPECT_FALSE(query("web.sim.test", &out, "127.0.0.1")); });
    EXPECT_NE(err.find("socket: "), std::string::npos) << err;
    EXPECT_EQ(out.count(), 0);
}

TEST(ReadNameTest, PointersOutsideTheMessage) {
    unsigned char msg[16] = {3, 'a', 'b', 'c', 0};
    int count = -5;
    ReadName(nullptr, msg, &count);
    EXPECT_EQ(count, 1);
    count = -5;
    ReadName(msg, nullptr, &count);
    EXPECT_EQ(count, 1);
    count = -5;
    ReadName(msg, msg + 1, &count);  // before the message
    EXPECT_EQ(count, 1);
    ReadName(msg, msg, nullptr);  // nowhere to count: nothing happens
    ReadName(msg, msg, &count);
    EXPECT_EQ(count, 5);
}

// With no descriptor left for listing the interfaces, none is found and the
// check fails instead of going out unbound.
TEST(InternetCheck, InterfacesCannotBeListed) {
    struct Held {
        rlimit saved;
        std::vector<int> fds;
        ~Held() {
            for (int fd : fds) close(fd);
            setrlimit(RLIMIT_NOFILE, &saved);
        }
    } held;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &held.saved), 0);
    int r = -9;
    std::string out;
    std::string err = captureStderr([&] {
        out = captureStdout([&] {
            rlimit few = held.saved;
            few.rlim_cur = 256;
            setrlimit(RLIMIT_NOFILE, &few);
            // All descriptors taken but one: the check's own socket gets it.
            for (int fd; (fd = dup(0)) >= 0;) held.fds.push_back(fd);
            close(held.fds.back());
            held.fds.pop_back();
            r = checkInternet(const_cast<char*>("web.sim.test"), 2, const_cast<char*>("lo"));
        });
    });
    EXPECT_EQ(r, -1);
    EXPECT_EQ(out, "No such lo Interface\n");
    EXPECT_NE(err.find("getifaddrs: "), std::string::npos) << err;
    EXPECT_EQ(sockfd, -1);
}

namespace {
// Echo replies arriving while a probe waits: for another sequence or another
// identifier, and ours but from a host the probe did not ask.
class StrayIcmp {
public:
    StrayIcmp() {
        icmp_ = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
        thread_ = std::thread([this] {
            while (!stop_) {
                uint16_t id = (uint16_t)getpid();
                reply(id, 1);
                reply((uint16_t)(id + 1), 12345);
                reply(id, 12345);
                usleep(20000);
            }
        });
    }
    ~StrayIcmp() {
        stop_ = true;
        thread_.join();
        close(icmp_);
    }
    bool ok() const { return icmp_ >= 0; }

private:
    void reply(uint16_t id, uint16_t seq) {
        unsigned char m[64] = {};
        memcpy(m + 4, &id, 2);
        memcpy(m + 6, &seq, 2);
        uint16_t c = hbase::inetChecksum(m, sizeof m);
        memcpy(m + 2, &c, 2);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
        sendto(icmp_, m, sizeof m, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    int icmp_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
}  // namespace

TEST(Ping, StrayIcmpIsNoAnswer) {
    ASSERT_EQ(pingIPinit(), 0);  // nothing left over from earlier probes
    StrayIcmp strays;
    ASSERT_TRUE(strays.ok());
    timeLimit = 1000000;
    setIcmpScript("nnnnn");
    clearWire();
    EXPECT_FALSE(ping("10.77.0.2"));
    EXPECT_EQ(echoRequests("10.77.0.2").size(), 5u);
    setIcmpScript("");
}

TEST(Ping, NothingToProbe) {
    EXPECT_FALSE(pingIP(nullptr));
    EXPECT_FALSE(pingIP(" \n "));
    testkit::Fault f("sendto-0");  // raw sockets send to port 0
    EXPECT_FALSE(ping("127.0.0.1"));
}

TEST(Resolver, ArgumentsThatAreNoQuery) {
    Out out;
    unsigned char host[] = "web.sim.test";
    clearReceived("dns-raw");
    EXPECT_EQ(ngethostbyname(host, 1, out.buf, 1, nullptr), 0);
    EXPECT_FALSE(ngethostbyname(nullptr, 1, out.buf, 1, const_cast<char*>("127.0.53.1")));
    EXPECT_FALSE(ngethostbyname(host, 1, out.buf, 1, const_cast<char*>("not.an.address")));
    EXPECT_TRUE(received("dns-raw").empty());
    int count = -5;
    std::vector<unsigned char> msg(70000, 0);
    ReadName(msg.data() + 65536, msg.data(), &count);  // beyond any message
    EXPECT_EQ(count, 1);
}

TEST(ResolverListTest, NameserverWithoutAddress) {
    strcpy(dns_servers[0], "keep0");
    strcpy(dns_servers[1], "keep1");
    ResolverList list("nameserver\nnameserver 127.0.0.9\n");
    get_dns_servers();
    EXPECT_STREQ(dns_servers[0], "127.0.0.9");
    EXPECT_STREQ(dns_servers[1], "keep1");
}

TEST(InternetCheck, ArgumentsAndOptions) {
    EXPECT_EQ(check(nullptr), 6);
    EXPECT_EQ(check(std::string(300, 'a').c_str()), 6);  // longer than any name
    for (const char* opt : {"setsockopt-reuseaddr", "setsockopt-rcvtimeo"}) {
        testkit::Fault f(opt);
        EXPECT_EQ(check("web.sim.test"), 4) << opt;
        EXPECT_EQ(sockfd, -1);
    }
    sockfd = socket(AF_INET, SOCK_STREAM, 0);
    std::string out = captureStdout([] { EXPECT_EQ(check_and_bind_iface(nullptr), -1); });
    EXPECT_EQ(out, "No such  Interface\n");
    close(sockfd);
    sockfd = -1;
    change2Primary();  // already primary: stays so
    EXPECT_EQ(check("web.sim.test"), 0);
}

// An interface with two addresses: the socket binds to the first only.
TEST(InternetCheck, InterfaceWithTwoAddresses) {
    NetworkChange second("ip addr add 10.77.0.9/24 dev sim0", "ip addr del 10.77.0.9/24 dev sim0");
    second.apply();
    ASSERT_TRUE(second.ok());
    clearReceived("http-web");
    std::string out;
    int r = -9;
    out = captureStdout([&] { r = checkInternet(const_cast<char*>("web.sim.test"), 2, const_cast<char*>("sim0")); });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(out,
              "\tInterface : <sim0>\n\t  Address : <10.77.0.1>\n"
              "\tInterface : <sim0>\n\t  Address : <10.77.0.9>\n");
    std::vector<Datagram> d = waitDatagrams("http-web", 1);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].from, "10.77.0.1");
}
