// The pairing client: the association socket, the requests to the device
// servers, the naming steps and the hand-over of the finished device.
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

#include "Logger.h"
#include "hacore/channel.h"
#include "hacore/packets.h"
#include "internal.h"

bool idle = true;
char cmdtype[60];
char tempStr[512];
int DevId;
int assoc_meshID = -1;
int local_meshID = -1;
char DBName[] = "/tmp/ddb";
// libhacore exports a receiver thread handle of the same name: this one stays
// inside the library, so that neither overwrites the other's.
__attribute__((visibility("hidden"))) pthread_t receiver_thread;

namespace pairing {
std::atomic<int> rxTimeout{kIdleTimeout};
std::atomic<int> connectionGeneration{0};
std::atomic<int> receiversRunning{0};
}  // namespace pairing

using namespace pairing;

namespace {

HalvixAssociation* g_instance;

void sleepSeconds(int secs) {
    timespec ts{secs, 0};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

int resolve(sockaddr_in* addr, const char* text) {
    int len = sizeof *addr;
    return mkaddr(addr, &len, const_cast<char*>(text), const_cast<char*>("udp"));
}

}  // namespace

HalvixAssociation::HalvixAssociation()
    : assocConnected(0),
      devName(),
      devLocation(),
      assocSocket(0),
      clientType(0),
      serverType(0),
      baseDevType(0),
      devType(0),
      removedDevName(),
      removedDevId(0),
      haAssocPacket(),
      zbRecord(),
      zwNode(),
      zwRx(),
      assocAddr(),
      logger(Logger::getInstance()),
      eventCB(nullptr),
      assocState(0),
      lastStatus(0),
      cancelType(0),
      zbIndexSlot(1) {
    ConnectToServers();
}

HalvixAssociation::~HalvixAssociation() {}

HalvixAssociation* HalvixAssociation::getInstance() {
    if (!g_instance) g_instance = new HalvixAssociation();
    return g_instance;
}

static HalvixAssociation* withClient(int type) {
    HalvixAssociation* a = HalvixAssociation::getInstance();
    a->clientType = type;
    return a;
}

HalvixAssociation* HalvixAssociation::webServerAssocInit() { return withClient(AC_WebServer); }
HalvixAssociation* HalvixAssociation::LCDAssocInit() { return withClient(AC_LCD); }
HalvixAssociation* HalvixAssociation::cloudappsAssocInit() { return withClient(AC_CloudApps); }
HalvixAssociation* HalvixAssociation::meshServerAssocInit() { return withClient(AC_MeshServer); }
HalvixAssociation* HalvixAssociation::FreeUsr1AssocInit() { return withClient(AC_FreeUser1); }
HalvixAssociation* HalvixAssociation::FreeUsr2AssocInit() { return withClient(AC_FreeUser2); }

void HalvixAssociation::log(int level, const char* fmt, ...) {
    // A local line buffer: the receiver and the application thread both log.
    char line[sizeof tempStr];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    if (logger) logger->Log(level, line);
}

void HalvixAssociation::raise(int type, int server, AssocEvent* ev) {
    ev->type = type;
    ev->server = server;
    void (*cb)(AssocEvent*) = eventCB;
    if (cb) cb(ev);
}

void HalvixAssociation::registerAssocEventCB(void (*cb)(AssocEvent*)) { eventCB = cb; }

int HalvixAssociation::ConnectToServers() {
    memset(&webAddr, 0, sizeof webAddr);
    const struct {
        sockaddr_in* addr;
        const char* text;
        const char* error;
    } kAddresses[] = {
        {&assocAddr, hub::kAssocClient.text, "libpairing:Bad Association client address"},
        {&haAssocAddr, hub::kHAAssoc.text, "libpairing:Bad Haserver association Client address"},
        {&haAddr, hub::kHA.text, "libpairing:Bad HA server address"},
        {&zwaveAddr, hub::kZwave.text, "libpairing:Bad OZW Server address"},
        {&zigbeeAddr, hub::kZigbee.text, "libpairing:Bad Zigbee Server address"},
        {&hueAddr, hub::kHue.text, "libpairing:Bad Hue Server address"},
        {&nestAddr, hub::kNest.text, "libpairing:Bad Nest Server address"},
        {&webAddr, hub::kWeb.text, "libpairing:Bad web Client address"},
    };
    // In this order; a failure does not stop the others.
    for (const auto& a : kAddresses)
        if (resolve(a.addr, a.text) < 0) displayError(a.error);
    return 0;
}

int HalvixAssociation::checkAssocConnection() {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        displayError("libpairing:socket()");
        return -1;
    }
    int priority = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_PRIORITY, &priority, sizeof priority) < 0) {
        displayError("libpairing:setsockopt failed");
        close(fd);
        return -1;
    }
    // No address reuse: one process at a time holds the association port.
    if (bind(fd, reinterpret_cast<sockaddr*>(&assocAddr), sizeof assocAddr) < 0) {
        displayError("libpairing:Assoc binding failed");
        close(fd);
        return -1;
    }
    // A receiver of an earlier connection may still be looking at these.
    __atomic_store_n(&assocSocket, fd, __ATOMIC_SEQ_CST);
    __atomic_store_n(&assocConnected, 1, __ATOMIC_SEQ_CST);
    assoc_meshID = -1;
    ++connectionGeneration;

    if (FILE* p = popen("nvram_get 2860 MeshSlaveID", "r")) {
        char id[10] = "";
        if (!fgets(id, sizeof id, p)) id[0] = '\0';
        pclose(p);
        local_meshID = atoi(id);
    }

    // The receiver starts idle; set here rather than on the new thread, so
    // that a request made right after this call is never reset by a thread
    // that starts late.
    idle = true;
    cancelType = 0;
    rxTimeout = kIdleTimeout;
    int rc = 0;
    if (!startReceiver(this, &receiver_thread, &rc)) {
        log(0, "libpairing:can't create thread :[%s]", strerror(rc));
    } else {
        log(0, "libpairing:Thread created successfully");
    }
    memset(cmdtype, 0, sizeof cmdtype);
    return 0;
}

void HalvixAssociation::closeAssocConnection() {
    log(0, "libpairing:closing the Assoc Connection");
    __atomic_store_n(&assocConnected, 0, __ATOMIC_SEQ_CST);
    assoc_meshID = -1;
    // The receiver closes the connection itself after some answers: whoever
    // takes the descriptor first closes it, never twice.
    int fd = __atomic_exchange_n(&assocSocket, 0, __ATOMIC_SEQ_CST);
    if (fd != 0) {
        shutdown(fd, SHUT_RDWR);
        // A shutdown does not always wake a receive on an unconnected UDP
        // socket, and the port stays taken until that receive returns: an
        // empty datagram to the port wakes it.
        int wake = socket(AF_INET, SOCK_DGRAM, 0);
        if (wake >= 0) {
            sendto(wake, "", 0, 0, reinterpret_cast<sockaddr*>(&assocAddr), sizeof assocAddr);
            close(wake);
        }
        close(fd);
    }
    // Called by the application: return once the receiver let go of the
    // port, so that the next checkAssocConnection can bind it.
    if (!pthread_equal(pthread_self(), receiver_thread)) {
        for (int ms = 0; ms < 2000 && receiversRunning > 0; ++ms) {
            timespec ts{0, 1000000L};
            nanosleep(&ts, nullptr);
        }
    }
}

int HalvixAssociation::sendToServers(ServerType server, void* packet) {
    const struct {
        ServerType key;
        const sockaddr_in* to;
        size_t size;
    } kDestinations[] = {
        {ST_Zigbee, &zigbeeAddr, sizeof(ZigbeePacket)},
        {ST_Zwave, &zwaveAddr, sizeof(OZWPacket)},
        {ST_Hue, &hueAddr, sizeof(HuePacket)},
        {ST_Nest, &nestAddr, sizeof(NestPacket)},
        {ST_HaAssoc, &haAssocAddr, sizeof(HAAssocPacket)},
    };
    if (server == ST_Mesh) {
        log(1, "send to mesh server Not Implemented");
        return 0;
    }
    const auto* d = findRow(kDestinations, server);
    if (!d) {
        log(2, "libpairing:Unknown server specified");
        return -1;
    }
    if (sendto(assocSocket, packet, d->size, 0, reinterpret_cast<const sockaddr*>(d->to), sizeof *d->to) < 0) {
        perror("sendto error");
        return -1;
    }
    return 0;
}

void HalvixAssociation::cmdToZigbee(zigbee_cmd cmd) {
    // The command text and its keyword; a reset is two commands, 2 s apart.
    const struct {
        zigbee_cmd key;
        const char *command, *keyword;
    } kCommands[] = {
        {ZB_Add, "option button1", "IAS"},
        {ZB_Remove, " ", "remove"},
        {ZB_Reset, "n l", ""},
        {ZB_Cancel, "network pjoin 0", "cancel"},
    };
    const auto* c = findRow(kCommands, cmd);
    if (!c) return;
    ZigbeePacket p;
    memset(&p, 0, sizeof p);
    hbase::copyText(p.command, c->command);
    hbase::copyText(p.keyword, c->keyword);
    sendToServers(ST_Zigbee, &p);
    if (cmd != ZB_Reset) return;
    sleepSeconds(2);
    hbase::copyText(p.command, "option button0");
    sendToServers(ST_Zigbee, &p);
    log(0, "libpairing:Sending reset command to zigbee_server");
}

void HalvixAssociation::cmdToZwave(zwave_cmd cmd) {
    // The operation and the controller command (0: none).
    const struct {
        zwave_cmd key;
        int32_t operation, controller;
    } kCommands[] = {
        {ZW_Add, OZW_Code_ControllerCommandOperation, OZW_ControllerCommand_AddDevice},
        {ZW_Remove, OZW_Code_ControllerCommandOperation, OZW_ControllerCommand_RemoveDevice},
        {ZW_Reset, OZW_Code_ResetCommandOperation, 0},
        {ZW_Cancel, OZW_Code_CancelCommandOperation, 0},
    };
    const auto* c = findRow(kCommands, cmd);
    if (!c) return;
    OZWPacket p;
    memset(&p, 0, sizeof p);
    p.operation = c->operation;
    // The controller command lies at offset 212, in the span that device
    // commands leave zero.
    static_assert(offsetof(OZWPacket, zero204) + 8 == 212, "controller command offset");
    memcpy(p.zero204 + 8, &c->controller, sizeof c->controller);
    sendToServers(ST_Zwave, &p);
}

void HalvixAssociation::sendCancelTo(cancel_type type) {
    if (type != CANCEL_Zigbee && type != CANCEL_Zwave && type != CANCEL_Both) {
        log(2, "libpairing:Unknown cancel type");
        return;
    }
    if (type != CANCEL_Zwave) {
        log(0, "libpairing:Sending cancel command to zigbee_server");
        cmdToZigbee(ZB_Cancel);
    }
    if (type != CANCEL_Zigbee) {
        log(0, "libpairing:Sending cancel command to zwave_server");
        cmdToZwave(ZW_Cancel);
    }
    if (type == CANCEL_Both) idle = true;
}

// Starts an inclusion or exclusion on both radios. The state is set before
// the requests go out: a server that answers at once must find the client
// already adding or removing.
static void startOnBoth(HalvixAssociation* a, int step, const char* cmd, zigbee_cmd zb, zwave_cmd zw) {
    a->cancelType = CANCEL_Both;
    hbase::copyText(cmdtype, cmd);
    idle = false;
    a->assocState = step;
    a->cmdToZigbee(zb);
    a->cmdToZwave(zw);
}

void HalvixAssociation::addDevZigbeeZwave() {
    log(0, "libpairing:inside addDevZigbeeZwave");
    startOnBoth(this, kStepAdding, "AddDevice", ZB_Add, ZW_Add);
}

void HalvixAssociation::removeDevZigbeeZwave() {
    startOnBoth(this, kStepRemoving, "RemoveDevice", ZB_Remove, ZW_Remove);
}

void HalvixAssociation::setDevType(DevType type) {
    log(0, "libpairing:inside setDevType");
    calculateDevId();
    if (zwNode.foundType != GenericDevice) {
        char name[kDevTypeTextSize];
        DevtypeEnumToStr(type, name, sizeof name);
        snprintf(devName, sizeof devName, "%s #%d", name, DevId);
        zwNode.chosenType = type;
    } else {
        log(0, "libpairing:inside setDevType GenericDevice");
        GenericIndexType(type);
        snprintf(devName, sizeof devName, "GenericDevice #%d", DevId);
        zwNode.chosenType = GenericDevice;
    }
    devType = type;
    zbRecord.devType = (uint8_t)type;
    namingEvent(serverType);
}

void HalvixAssociation::setDevType2(DevType type) {
    log(0, "libpairing:inside setDevType2 ***");
    devType = type;
    zbRecord.devType = (uint8_t)type;
    zwNode.chosenType = type;
}

void HalvixAssociation::setDevName(char* name) {
    log(0, "libpairing:inside setDevName");
    hbase::copyText(devName, name);
}

void HalvixAssociation::setDevLocation(char* location) {
    log(0, "libpairing:inside setDevLocation");
    hbase::copyText(devLocation, location);
}

int HalvixAssociation::addingDone() {
    idle = true;
    log(0, "libpairing:inside addingDone");
    log(0, "libpairing:Name:%s Location:%s", devName, devLocation);
    std::unique_ptr<HAAssocPacket> packet(new HAAssocPacket());
    if (zwNode.devTech != DEVTECH_ZWAVE) {
        hbase::copyText(zbRecord.name, devName);
        hbase::copyText(zbRecord.location, devLocation);
        zbRecord.status = kZbDescribed;
        log(0, "libpairing:Sending final addingDone packet to HA Server");
        packet->selector = 0;
        memcpy(packet->data, &zbRecord, sizeof zbRecord);
        return sendToServers(ST_HaAssoc, packet.get()) < 0 ? -1 : 0;
    }
    hbase::copyText(zwNode.name, devName);
    hbase::copyText(zwNode.location, devLocation);
    packet->selector = DEVTECH_ZWAVE;
    memcpy(packet->data, &zwNode, sizeof zwNode);
    if (sendToServers(ST_HaAssoc, packet.get()) == 0)
        log(0, "libpairing:Sending Packet to Haserver Success");
    else
        log(2, "libpairing:Sending Packet to Haserver Failed");
    memset(&zwNode, 0, sizeof zwNode);
    SensorBinaryFlag = ZwAcExtFlag = BasicFlag = MultilevelFlag = false;
    return 0;
}

void HalvixAssociation::doResetFor(reset_type type) {
    switch (type) {
        case RESET_Zigbee:
            log(0, "libpairing:Sending reset command to Zigbee_server");
            cmdToZigbee(ZB_Reset);
            break;
        case RESET_Zwave:
            cmdToZwave(ZW_Reset);
            log(0, "libpairing:Sending reset command to Zwave_server");
            break;
        case RESET_Both:
        case RESET_BothAndRemoveAll:
            log(0, "libpairing:*** Sending reset command to Zigbee_server and Zwave_server");
            cmdToZigbee(ZB_Reset);
            cmdToZwave(ZW_Reset);
            if (type == RESET_BothAndRemoveAll) {
                log(3, "libpairing:*** Removing all devices ***");
                removeAllDevices();
            }
            break;
        default:
            log(2, "libpairing:Unknown reset type");
    }
    sleepSeconds(7);
}

void HalvixAssociation::removeAllDevices() {
    memset(&haAssocPacket, 0, sizeof haAssocPacket);
    haAssocPacket.selector = 0;
    memcpy(haAssocPacket.data, "removeAllDevices", sizeof "removeAllDevices");
    log(3, "libpairing:Sending removeAllDevices to haserver");
    sendToServers(ST_HaAssoc, &haAssocPacket);
    memset(&haAssocPacket, 0, sizeof haAssocPacket);
}
