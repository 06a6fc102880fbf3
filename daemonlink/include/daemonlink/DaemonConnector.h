// The connector of an application process to the cloud daemon: one
// datagram socket on the client's own loopback address, port 8998, and a
// detached thread that hands every datagram of the daemon to a callback.
#ifndef DAEMONLINK_DAEMONCONNECTOR_H
#define DAEMONLINK_DAEMONCONNECTOR_H

#include <netinet/in.h>
#include <pthread.h>
#include <stddef.h>
#include <stdint.h>

#include "daemonlink/probes.h"
#include "hacore/frozen.h"

// Datagrams to the daemon are at most this long; longer packets go in pieces.
#define DC_MAX_DATAGRAM 64512
// The receive buffer: the largest datagram the receiver takes in.
#define DC_RECV_BUFFER 65536
// The daemon's port, and the port of every client.
#define DC_PORT 8998
#define DC_DAEMON_IP "127.255.254.0"

// Packet kinds.
#define DC_KIND_DATA 0
#define DC_KIND_INFO 1

// Header of a command packet to the daemon, every word big-endian; the
// payload text follows without its terminating zero.
struct DaemonCommandHeader {
    uint32_t length;  // payload bytes
    uint32_t kind;    // DC_KIND_DATA or DC_KIND_INFO
    uint32_t arg1;
    uint32_t arg2;
    uint32_t arg3;
};
static_assert(sizeof(DaemonCommandHeader) == 20, "command header is 20 bytes");
static_assert(offsetof(DaemonCommandHeader, kind) == 4, "kind at 4");
static_assert(offsetof(DaemonCommandHeader, arg3) == 16, "third argument at 16");

// Header of a datagram from the daemon (big-endian words); the payload text
// runs from byte 16 to the end of the datagram.
struct DaemonReplyHeader {
    uint32_t length;  // not used
    uint32_t arg1;
    uint32_t arg2;
    uint32_t arg3;
};
static_assert(sizeof(DaemonReplyHeader) == 16, "reply header is 16 bytes");

class DaemonConnector {
public:
    // Set before init(): 2..8 select 127.255.254.1..7; other types have no
    // address.
    int32_t clientType;
    // Called on the receive thread with the three header words and the
    // terminated payload of every datagram of the daemon.
    void (*dataCallback)(int, int, int, char*);
    // 0 before init() and after closeConnection(), -1 when creating it failed.
    int32_t sock;
    struct sockaddr_in daemonAddr;
    pthread_t receiverThread;
    int32_t applicationID;
    char localIP[30];

    // The process-wide instance, created on first call (not guarded: call it
    // once before other threads use the connector).
    static DaemonConnector* getInstance();
    static DaemonConnector* singleton;

    DaemonConnector();
    // Copies only the socket.
    DaemonConnector(const DaemonConnector& other);
    virtual ~DaemonConnector();

    void registerApplicationID(int id);
    // Opens and binds the socket, opens the ping socket and starts the
    // receive thread; 0 on success, -1 on failure.
    int init();
    // localIP from clientType ("" when the type has no address).
    char* getClientIP();
    // A new packet: header, payload, its terminating zero and 9 spare bytes;
    // null when out of memory. The caller frees it with free().
    char* prepareCommandPacket(int kind, int a, int b, int c, char* payload);
    // A data packet; cut into datagrams of at most DC_MAX_DATAGRAM bytes.
    void sendData(int a, int b, int c, char* payload);
    // An information request, always one datagram.
    void infoRequest(int a, int b, int c, char* payload);
    // The receive loop of the receive thread; -1 when there is no socket.
    int receiveData();
    static void* receiveDataHelper(void* connector);
    void sockoptTestFun();
    // Shuts the socket down and closes it (its thread ends on its next
    // read), then closes the ping socket.
    void closeConnection();
};

// In-place escapers of JSON payloads.
// "&quot;" to a quote, then quote, backslash and slash escaped with a
// backslash. The result is at most 503 characters (cut before an escape
// that would not fit); s must have room for it.
void stringEncode(char* s);
// Undoes stringEncode: "\\\\" to "\\", then "\\\"" to "\"", then "\\/" to "/".
void stringDecode(char* s);
// Entity-encodes ', <, > and & (an ampersand that starts "&apos;", "&amp;",
// "&lt;" or "&gt;" stays); s must have room for the result.
void stringEncodeJSON(char* s);

#endif
