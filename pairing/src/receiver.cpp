// The receiver thread: reads the device servers' answers on the association
// socket, drives the pairing state machine and reports every step to the
// application's callback. A silent server becomes a timeout event.
#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <vector>
#include <sys/socket.h>
#include <sys/time.h>

#include "Logger.h"
#include "base/clock.h"
#include "hacore/frozen.h"
#include "internal.h"

using namespace pairing;

namespace {

constexpr int kReceiveSize = 4096;

AssocDevicePayload* devicePayload(AssocEvent* ev) { return reinterpret_cast<AssocDevicePayload*>(ev->payload); }

// A zeroed event on the heap: at 4 KB an event is as big as a router
// thread's whole frame budget.
std::unique_ptr<AssocEvent> newEvent() { return std::unique_ptr<AssocEvent>(new AssocEvent()); }

}  // namespace

int HalvixAssociation::findClientType(in_addr addr) {
    char ip[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &addr, ip, sizeof ip);
    // The whole address must match (the port is not compared): a client at
    // 127.255.255.2 is no Z-Wave server for sharing the first characters of
    // 127.255.255.254.
    static const struct {
        const char* server;
        int type;
    } kServers[] = {{hub::kZwave.text, kFromZwave},
                    {hub::kZigbee.text, kFromZigbee},
                    {hub::kHAAssoc.text, kFromHA},
                    {hub::kHue.text, kFromHue},
                    {hub::kNest.text, kFromNest}};
    for (const auto& s : kServers) {
        const char* colon = strchr(s.server, ':');
        size_t n = (size_t)(colon - s.server);
        if (strlen(ip) == n && strncmp(ip, s.server, n) == 0) return s.type;
    }
    return 0;
}

namespace {

// The hand-over from startReceiver to its thread (one start at a time).
struct Start {
    std::mutex lock;
    std::condition_variable taken;
    bool pending = false;  // guarded by lock
    int generation = 0;    // guarded by lock
};
Start g_start;
thread_local int t_generation;

}  // namespace

bool pairing::startReceiver(HalvixAssociation* a, pthread_t* thread, int* err) {
    static std::mutex oneAtATime;
    std::lock_guard<std::mutex> serial(oneAtATime);
    std::unique_lock<std::mutex> g(g_start.lock);
    g_start.generation = connectionGeneration;
    g_start.pending = true;
    ++receiversRunning;
    *err = pthread_create(thread, nullptr, HalvixAssociation::receiverHelper, a);
    if (*err != 0) {
        g_start.pending = false;
        --receiversRunning;
        return false;
    }
    pthread_detach(*thread);
    g_start.taken.wait(g, [] { return !g_start.pending; });
    return true;
}

void* HalvixAssociation::receiverHelper(void* instance) {
    {
        std::lock_guard<std::mutex> g(g_start.lock);
        t_generation = g_start.generation;
        g_start.pending = false;
    }
    g_start.taken.notify_all();
    return static_cast<HalvixAssociation*>(instance)->receiver(instance);
}

void* HalvixAssociation::receiver(void*) {
    log(0, "libpairing:entered receive thread");
    const int generation = t_generation;
    // closeAssocConnection and a new connection change these from the
    // application's thread.
    auto current = [&] {
        return __atomic_load_n(&assocConnected, __ATOMIC_SEQ_CST) && generation == connectionGeneration;
    };
    // Read into the heap: the thread's frame stays small.
    std::vector<char> buf(kReceiveSize);
    long long deadline = 0;

    while (current()) {
        // The deadline survives a signal that interrupts the receive, so an
        // application's timer ticks never postpone a timeout.
        if (!deadline) deadline = hbase::nowMs() + rxTimeout * 1000LL;
        long long left = deadline - hbase::nowMs();
        if (left < 1) left = 1;
        timeval tv{(time_t)(left / 1000), (suseconds_t)((left % 1000) * 1000)};
        const int fd = __atomic_load_n(&assocSocket, __ATOMIC_SEQ_CST);
        if (fd <= 0) break;
        if (setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) < 0) perror("libpairing:setsockopt: rcvtimeo");

        memset(buf.data(), 0, buf.size());
        sockaddr_in from;
        memset(&from, 0, sizeof from);
        socklen_t fromLen = sizeof from;
        int n = (int)recvfrom(fd, buf.data(), buf.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
        int err = errno;
        if (!current()) break;
        if (n < 0 && err == EINTR && hbase::nowMs() < deadline) continue;
        deadline = 0;

        if (n < 0) {
            log(0, "libpairing:Didn't get packet for %d secs", rxTimeout.load());
            if (err != EAGAIN && err != EWOULDBLOCK && err != EINTR) {
                timespec pause{0, 10000000L};
                nanosleep(&pause, nullptr);
            }
            if (idle) {
                rxTimeout = kIdleTimeout;
                log(0, "libpairing:idle timeout set to 180 sec...");
            } else {
                sendCancelTo((cancel_type)cancelType);
                std::unique_ptr<AssocEvent> ev = newEvent();
                AssocTimeoutPayload* p = reinterpret_cast<AssocTimeoutPayload*>(ev->payload);
                p->lastStatus = lastStatus;
                snprintf(p->json, sizeof p->json,
                         "{\"CommandType\":\"%s\", \"MobileInternalIndex\":\"\",\"Success\":\"false\","
                         "\"Reason\":\"TimeoutReached\"}",
                         cmdtype);
                lastStatus = 0;
                raise(kEvTimedOut, 0, ev.get());
                cancelType = 0;
                idle = true;
            }
            continue;
        }
        handleAnswer(from, buf.data(), n);
    }
    --receiversRunning;
    log(0, "libpairing:exited receive thread\n");
    return nullptr;
}

void HalvixAssociation::handleAnswer(const sockaddr_in& from, const void* data, int len) {
    const int cls = findClientType(from.sin_addr);
    if (len < 0) len = 0;
    // Each answer must hold its whole record; a longer one is cut to it.
    auto whole = [&](int size, const char* what) {
        if (len >= size) return true;
        char ip[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
        log(1, "libpairing:short %s answer (%d of %d bytes) from %s dropped", what, len, size, ip);
        return false;
    };
    switch (cls) {
        case kFromZwave:
            if (!whole(sizeof zwRx, "Z-wave")) return;
            memcpy(&zwRx, data, sizeof zwRx);
            assoc_meshID = local_meshID;
            log(0, "libpairing:Received Packet from Z-wave");
            zwaveAnswer();
            break;
        case kFromZigbee:
            if (!whole(sizeof zbRecord, "Zigbee")) return;
            memcpy(&zbRecord, data, sizeof zbRecord);
            assoc_meshID = local_meshID;
            zigbeeAnswer();
            break;
        case kFromHue: {
            if (!whole(8, "HUE")) return;
            HueAnswer a;
            memset(&a, 0, sizeof a);
            memcpy(&a, data, len < (int)sizeof a ? (size_t)len : sizeof a);
            assoc_meshID = local_meshID;
            hueAnswer(a, len);
            break;
        }
        case kFromNest: {
            if (!whole(sizeof(NestAnswer), "NEST")) return;
            NestAnswer a;
            memcpy(&a, data, sizeof a);
            assoc_meshID = local_meshID;
            nestAnswer(a);
            break;
        }
        case kFromHA:
            log(1, "libpairing:\n*** Got data from HA_Server. Not implemented ***\n");
            break;
        default:
            log(2, "libpairing:received command from unknown server\n");
            break;
    }
}

// The naming event: name, location "Default" and the type.
void HalvixAssociation::namingEvent(int server) {
    std::unique_ptr<AssocEvent> ev = newEvent();
    AssocDevicePayload* p = devicePayload(ev.get());
    hbase::copyText(p->name, devName);
    hbase::copyText(devLocation, "Default");
    hbase::copyText(p->location, devLocation);
    p->devType = (uint32_t)devType;
    lastStatus = kEvNameAndLocation;
    raise(kEvNameAndLocation, server, ev.get());
    hbase::copyText(cmdtype, "EditNameLocation");
}

void HalvixAssociation::zwaveAnswer() {
    std::unique_ptr<AssocEvent> ev = newEvent();
    auto report = [&](int event) {
        lastStatus = 0;
        raise(event, DEVTECH_ZWAVE, ev.get());
    };
    // The conversation ends here: the event goes out, the client is idle.
    auto end = [&](int event) {
        report(event);
        idle = true;
        assocState = kStepNone;
    };
    // Z-Wave answered first: the ZigBee radio is cancelled.
    auto won = [&](const char* banner) {
        log(0, "%s", banner);
        serverType = DEVTECH_ZWAVE;
        sendCancelTo(CANCEL_Zigbee);
        cancelType = CANCEL_Zwave;
    };
    // A step forward: the event is also the lastStatus.
    auto step = [&](int state, int event, const char* cmd, const char* what) {
        assocState = state;
        lastStatus = event;
        hbase::copyText(cmdtype, cmd);
        raise(event, DEVTECH_ZWAVE, ev.get());
        log(0, "%s", what);
    };
    // The removal goes on until the server confirms it.
    auto awaitRemoval = [&] {
        rxTimeout = kRemovalTimeout;
        idle = false;
        hbase::copyText(cmdtype, "RemoveDevice");
        log(0, "libpairing:timeout set to 20 sec");
    };
    switch (assocState) {
        case kStepAdding:
            won("................. ASSOC ...................");
            if (zwRx.nodeId == 255) {
                end(kEvFailed);
                log(1, "libpairing:Association failed (Z-wave)");
            } else {
                step(kStepZwIncluded, kEvFound, "AddingSensor", "libpairing:Adding sensor (Z-wave)");
                rxTimeout = kFoundTimeout;
                idle = false;
                log(0, "libpairing:timeout set to 60 sec...");
            }
            break;
        case kStepZwIncluded:
            log(0, "................. ZW_ASSOC ...................");
            if (ZW_checkNodeExists()) {
                end(kEvAlreadyStored);
                log(0, "libpairing:Z-wave sensor already joined");
            } else if (zwRx.nodeId == 0 || zwRx.nodeId == 255) {
                end(kEvFailed);
                log(1, "libpairing:Association failed (Z-wave)");
            } else {
                step(kStepZwDetails, kEvReadingDetails, "GettingInfo", "libpairing:Getting sensor info (Z-wave)");
                rxTimeout = kIdleTimeout;
                log(0, "libpairing:ZW_ASSOC_QUERY:timeout set to 180 secs");
            }
            break;
        case kStepZwDetails: {
            log(0, "................. ZW_ASSOC_QUERY ...................");
            zwNode = zwRx;
            if (!ZW_createDeviceType()) {
                log(1, "libpairing:zw_createDevice is unsuccessful (Z-wave)");
                end(kEvFailed);
                break;
            }
            log(0, "libpairing:zw_createDevice is successful (Z-wave)");
            AssocDevicePayload* p = devicePayload(ev.get());
            zwNode.chosenType = zwNode.foundType;
            // The type found is the pending device's type until the user
            // picks another one.
            devType = zwNode.foundType;
            p->devType = (uint32_t)zwNode.foundType;
            listSubDevType((DevType)zwNode.foundType, reinterpret_cast<DevType*>(p->u.subTypes));
            if (p->u.subTypes[0] != 0) {
                lastStatus = kEvChooseSubType;
                raise(kEvChooseSubType, DEVTECH_ZWAVE, ev.get());
                hbase::copyText(cmdtype, "SelectDeviceType");
                zwNode.chosenType = devType;
            } else {
                namingEvent(DEVTECH_ZWAVE);
            }
            assocState = kStepNone;
            break;
        }
        case kStepRemoving:
            won("................. DEASSOC ...................");
            if (zwRx.nodeId == 0 || zwRx.nodeId == 255) {
                end(kEvUnknownRemoved);
                log(0, "libpairing:111 Unknown Sensor Removed (Z-wave) and Node:%d", zwRx.nodeId);
            } else if (ZW_checkNodeExists()) {
                assocState = kStepZwRemoving;
                ZW_removeNode();
                AssocDevicePayload* p = devicePayload(ev.get());
                hbase::copyText(p->removedName, removedDevName);
                p->removedId = removedDevId;
                report(kEvRemoved);
                log(0, "libpairing:%s is Removing (Z-wave)", removedDevName);
                awaitRemoval();
            } else {
                report(kEvUnknownRemoved);
                assocState = kStepZwRemoving;
                log(0, "libpairing:222 Unknown Sensor Removed (Z-wave) and Node:%d", zwRx.nodeId);
                awaitRemoval();
            }
            break;
        case kStepZwRemoving:
            log(0, "libpairing: Sensor Removed (Z-wave)");
            idle = true;
            cancelType = 0;
            assocState = kStepNone;
            break;
        case kStepReset:
            assocState = kStepNone;
            log(0, "libpairing:Reset Success");
            idle = true;
            break;
        default:
            assocState = kStepNone;
            break;
    }
}

void HalvixAssociation::zigbeeAnswer() {
    std::unique_ptr<AssocEvent> ev = newEvent();
    AssocDevicePayload* p = devicePayload(ev.get());
    const int status = zbRecord.status;
    // A step forward: the answer's status and a text go with the event (also
    // the lastStatus), then the command pending and the time its next answer
    // may take.
    auto step = [&](int event, const char* json, const char* cmd, int timeout) {
        p->zbStatus = (uint32_t)status;
        hbase::copyText(p->u.json, json);
        lastStatus = event;
        raise(event, DEVTECH_ZIGBEE, ev.get());
        hbase::copyText(cmdtype, cmd);
        idle = false;
        rxTimeout = timeout;
        log(0, "libpairing:timeout set to %d sec", timeout);
    };
    if (assocState == kStepAdding) {
        switch (status) {
            case kZbFound:
                serverType = DEVTECH_ZIGBEE;
                sendCancelTo(CANCEL_Zwave);
                cancelType = CANCEL_Zigbee;
                log(0, "libpairing: Device got found (Zigbee)");
                step(kEvFound, "{\"CommandType\":\"AddingDevice\",\"MobileInternalIndex\":\"\"}", "AddingSensor",
                     kFoundTimeout);
                break;
            case kZbFailedOrRemoved:
            case kZbFailed:
                assocState = kStepNone;
                log(1, "libpairing:Association failed (Zigbee)");
                p->zbStatus = (uint32_t)status;
                p->zero = 0;
                hbase::copyText(p->u.json,
                                "{\"CommandType\":\"AddDevice\",\"MobileInternalIndex\":\"\",\"Success\":\"false\","
                                "\"Reason\":\"AddingFailed\"}");
                lastStatus = 0;
                raise(kEvFailed, DEVTECH_ZIGBEE, ev.get());
                idle = true;
                break;
            case kZbReading:
                log(0, "libpairing:Getting Sensor info (Zigbee)");
                step(kEvReadingDetails, "{\"CommandType\":\"GettingInfo\",\"MobileInternalIndex\":\"\"}", "GettingInfo",
                     kIdleTimeout);
                break;
            case kZbDescribed:
                if (zb_createAnyDevice() == 0) {
                    devType = zbRecord.devType;
                    p->devType = (uint32_t)devType;
                    listSubDevType((DevType)baseDevType, reinterpret_cast<DevType*>(p->u.subTypes));
                    if (p->u.subTypes[0] != 0) {
                        p->zbStatus = (uint32_t)status;
                        lastStatus = kEvChooseSubType;
                        raise(kEvChooseSubType, DEVTECH_ZIGBEE, ev.get());
                        hbase::copyText(cmdtype, "SelectDeviceType");
                        zbRecord.devType = (uint8_t)devType;
                    } else {
                        namingEvent(DEVTECH_ZIGBEE);
                    }
                }
                log(0, "libpairing:Sensor got Associated %d name %s (Zigbee)", DevId, devName);
                assocState = kStepZbDescribed;
                break;
            case kZbKeepsState:
                break;
            default:
                assocState = kStepNone;
                break;
        }
    } else if (assocState == kStepRemoving) {
        zb_removeNode(zbRecord.shortAddr);
        const bool removed = zbRecord.status == kZbFailedOrRemoved;
        if (!removed && zbRecord.status != kZbUnknownRemoved) return;
        serverType = DEVTECH_ZIGBEE;
        sendCancelTo(CANCEL_Zwave);
        if (removed) {
            std::unique_ptr<HAAssocPacket> packet(new HAAssocPacket());
            memcpy(packet->data, &zbRecord, sizeof zbRecord);
            sendToServers(ST_HaAssoc, packet.get());
            log(0, "libpairing:Sensor name %s is removed (Zigbee)", removedDevName);
            hbase::copyText(p->removedName, removedDevName);
            p->removedId = removedDevId;
        } else {
            log(0, "libpairing:Unknown Sensor removed (Zigbee)");
        }
        lastStatus = 0;
        raise(removed ? kEvRemoved : kEvUnknownRemoved, DEVTECH_ZIGBEE, ev.get());
        idle = true;
        cancelType = 0;
        assocState = kStepNone;
    }
}

namespace {

// The Hue server's states other than the bridge list: the event and its text
// (filled with cmdtype).
const struct {
    uint32_t key;  // state
    int event;
    const char* fmt;
} kHueStates[] = {
    {1, kEvHueFailed,
     "{\"CommandType\":\"%s\",\"MobileInternalIndex\":\"\",\"Success\":\"false\",\"Reason\":\"HueFailed\","
     "\"Type\":\"HueHub\"}\n"},
    {2, kEvHueAdded,
     "{\"CommandType\":\"%s\",\"MobileInternalIndex\":\"\",\"Success\":\"true\",\"Type\":\"HueHub\","
     "\"Reason\":\"HueAdded\"}\n"},
    {3, kEvHueBridgeNotFound,
     "{\"CommandType\":\"%s\",\"MobileInternalIndex\":\"\",\"Success\":\"false\","
     "\"Reason\":\"HueBridgeNotFound\",\"Type\":\"HueHub\"}\n"},
    {4, kEvHueButtonNotPressed,
     "{\"CommandType\":\"%s\",\"MobileInternalIndex\":\"\",\"Success\":\"false\",\"Type\":\"HueHub\","
     "\"Reason\":\"HueButtonNotPressed\"}\n"},
    {5, kEvHueNoBridge,
     "{\"CommandType\":\"%s\",\"MobileInternalIndex\":\"\",\"Success\":\"false\",\"Type\":\"HueHub\","
     "\"Reason\":\"BridgeNotFound\"}\n"},
    {6, kEvHueBulbFound,
     "{\"CommandType\":\"%s\", \"MobileInternalIndex\":\"\",\"Success\":\"true\",\"Type\":\"HueBulb\"}\n"},
    {8, kEvHueHubFound,
     "{\"CommandType\":\"%s\", \"MobileInternalIndex\":\"\",\"Success\":\"true\",\"Type\":\"HueHub\"}\n"},
    {9, kEvHueHubFoundAgain,
     "{\"CommandType\":\"%s\", \"MobileInternalIndex\":\"\",\"Success\":\"true\",\"Type\":\"HueHub\"}\n"},
};

}  // namespace

// A Hue answer: the bridge list (state 0), with the MAC and address of each
// bridge found, or one of the states above.
void HalvixAssociation::hueAnswer(const HueAnswer& a, int len) {
    std::unique_ptr<AssocEvent> ev = newEvent();
    if (a.state == 0) {
        AssocBridgeListPayload* list = reinterpret_cast<AssocBridgeListPayload*>(ev->payload);
        char mac[50] = "", ip[50] = "";
        uint32_t count = a.count < kHueBridgeSlots ? a.count : kHueBridgeSlots;
        for (uint32_t i = 0; i < count; ++i) {
            // An object is at most 65 bytes, whether or not it is terminated;
            // what the datagram did not carry reads as empty.
            int avail = len - 8 - (int)i * kHueObjectSize;
            int objLen = avail <= 0 ? 0 : (int)strnlen(a.bridges[i], avail < kHueObjectSize ? avail : kHueObjectSize);
            if (json_token* tokens = objLen ? parse_json2(a.bridges[i], objLen) : nullptr) {
                if (json_token* t = find_json_token(tokens, "id"))
                    snprintf(mac, sizeof mac, "%.*s", t->length, t->start);
                if (json_token* t = find_json_token(tokens, "internalipaddress"))
                    snprintf(ip, sizeof ip, "%.*s", t->length, t->start);
                free(tokens);
            }
            HueMac(mac, list->mac[i]);
            hbase::copyText(list->ip[i], ip);
        }
        lastStatus = kEvHueBridges;
        raise(kEvHueBridges, DEVTECH_HUE, ev.get());
        idle = false;
        hbase::copyText(cmdtype, "AddIPDevice");
    } else if (const auto* row = findRow(kHueStates, a.state)) {
        snprintf(reinterpret_cast<char*>(ev->payload), sizeof ev->payload, row->fmt, cmdtype);
        lastStatus = 0;
        raise(row->event, DEVTECH_HUE, ev.get());
        idle = true;
    } else {
        log(2, "libpairing:Got unknown state from HUE");
    }
    if (clientType == AC_WebServer) closeAssocConnection();
}

void HalvixAssociation::nestAnswer(const NestAnswer& a) {
    std::unique_ptr<AssocEvent> ev = newEvent();
    int type = 0;
    switch (a.command) {
        case 100:
            type = kEvNestAdd;
            memcpy(ev->payload, &a, sizeof a);
            break;
        case 121:
            type = kEvNest121;
            break;
        case 122:
            type = kEvNest122;
            break;
        case 123:
            type = kEvNest123;
            break;
        case 124:
            type = a.result == 0 ? kEvNest124Done : a.result == -1 ? kEvNest124Failed : kEvNone;
            break;
        default:
            log(2, "libpairing:Got unknown command from NEST");
            break;
    }
    if (type) {
        lastStatus = 0;
        raise(type, DEVTECH_NEST, ev.get());
    }
    idle = true;
    if (clientType == AC_WebServer) closeAssocConnection();
}
