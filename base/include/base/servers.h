// The hub's address plan on the loopback network: each server's or client's
// address as mkaddr reads it ("ip:port"), and its parts for the stand-ins.
#pragma once

namespace hbase {

struct Endpoint {
    const char* text;  // "ip:port"
    const char* ip;
    int port;
};

namespace hub {
constexpr Endpoint kHA = {"127.255.255.1:8888", "127.255.255.1", 8888};
constexpr Endpoint kHAAssoc = {"127.255.255.1:9999", "127.255.255.1", 9999};
constexpr Endpoint kCloud = {"127.255.255.2:8888", "127.255.255.2", 8888};
constexpr Endpoint kEndClient = {"127.255.255.3:8888", "127.255.255.3", 8888};
constexpr Endpoint kAssocClient = {"127.255.255.4:8888", "127.255.255.4", 8888};
constexpr Endpoint kRscReply = {"127.255.255.5:8888", "127.255.255.5", 8888};
constexpr Endpoint kRSC = {"127.255.255.6:8888", "127.255.255.6", 8888};
constexpr Endpoint kRulesEngine = {"127.255.255.7:8888", "127.255.255.7", 8888};
constexpr Endpoint kRunRule = {"127.255.255.8:8888", "127.255.255.8", 8888};
constexpr Endpoint kFree1 = {"127.255.255.9:8888", "127.255.255.9", 8888};
constexpr Endpoint kFree2 = {"127.255.255.10:8888", "127.255.255.10", 8888};
constexpr Endpoint kWeb = {"127.255.255.11:8888", "127.255.255.11", 8888};
constexpr Endpoint kPic = {"127.255.255.249:8888", "127.255.255.249", 8888};
constexpr Endpoint kMesh = {"127.255.255.250:8888", "127.255.255.250", 8888};
constexpr Endpoint kNest = {"127.255.255.251:8888", "127.255.255.251", 8888};
constexpr Endpoint kHue = {"127.255.255.252:8888", "127.255.255.252", 8888};
constexpr Endpoint kZigbee = {"127.255.255.253:8888", "127.255.255.253", 8888};
constexpr Endpoint kZwave = {"127.255.255.254:8888", "127.255.255.254", 8888};

// Every entry, for the stand-ins and the check that text agrees with parts.
constexpr const Endpoint* kAll[] = {&kHA,  &kHAAssoc,     &kCloud,   &kEndClient, &kAssocClient, &kRscReply,
                                    &kRSC, &kRulesEngine, &kRunRule, &kFree1,     &kFree2,       &kWeb,
                                    &kPic, &kMesh,        &kNest,    &kHue,       &kZigbee,      &kZwave};
}  // namespace hub

}  // namespace hbase
