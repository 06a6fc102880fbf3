/**
 * @file
 * The connector of an application process to the cloud daemon: one
 * datagram socket on the client's own loopback address, port 8998, and a
 * detached thread that hands every datagram of the daemon to a callback.
 *
 * Use: take DaemonConnector::getInstance(), set clientType and
 * dataCallback, call init(), then send with sendData() and infoRequest().
 */
#ifndef DAEMONLINK_DAEMONCONNECTOR_H
#define DAEMONLINK_DAEMONCONNECTOR_H

#include <netinet/in.h>
#include <pthread.h>
#include <stddef.h>
#include <stdint.h>

#include "daemonlink/probes.h"
#include "hacore/frozen.h"

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// Datagrams to the daemon are at most this long; longer packets go in pieces.
#define DC_MAX_DATAGRAM 64512
/// The receive buffer: the largest datagram the receiver takes in (longer ones
/// are cut).
#define DC_RECV_BUFFER 65536
/// The daemon's port, and the port of every client.
#define DC_PORT 8998
/// The daemon's address.
#define DC_DAEMON_IP "127.255.254.0"

/// Packet kind of sendData().
#define DC_KIND_DATA 0
/// Packet kind of infoRequest().
#define DC_KIND_INFO 1

/// Header of a command packet to the daemon, every word big-endian; the
/// payload text follows without its terminating zero.
struct DaemonCommandHeader {
    uint32_t length;  ///< payload bytes
    uint32_t kind;    ///< DC_KIND_DATA or DC_KIND_INFO
    uint32_t arg1;    ///< first argument of the call
    uint32_t arg2;    ///< second argument
    uint32_t arg3;    ///< third argument
};
static_assert(sizeof(DaemonCommandHeader) == 20, "command header is 20 bytes");
static_assert(offsetof(DaemonCommandHeader, kind) == 4, "kind at 4");
static_assert(offsetof(DaemonCommandHeader, arg3) == 16, "third argument at 16");

/// Header of a datagram from the daemon (big-endian words); the payload text
/// runs from byte 16 to the end of the datagram.
struct DaemonReplyHeader {
    uint32_t length;  ///< not used
    uint32_t arg1;    ///< first word handed to the callback
    uint32_t arg2;    ///< second word
    uint32_t arg3;    ///< third word
};
static_assert(sizeof(DaemonReplyHeader) == 16, "reply header is 16 bytes");

/**
 * The connection to the cloud daemon. Normally one per process, through
 * getInstance(). Sends go from the application's thread; the callback runs
 * on the connector's detached receive thread.
 */
class DaemonConnector {
public:
    /// Set before init(): 2..8 select 127.255.254.1..7; other types have no
    /// address and init() refuses them.
    int32_t clientType;
    /// Called on the receive thread with the three header words and the
    /// terminated payload of every datagram of the daemon. The payload buffer
    /// is reused for the next datagram: copy what must be kept. The callback
    /// may delete the connector; the loop then ends.
    void (*dataCallback)(int, int, int, char*);
    /// 0 before init() and after closeConnection(), -1 when creating it failed.
    int32_t sock;
    /// The daemon's address (DC_DAEMON_IP, DC_PORT), filled by init().
    struct sockaddr_in daemonAddr;
    /// The receive thread (detached).
    pthread_t receiverThread;
    /// Kept for the application (registerApplicationID()); not sent.
    int32_t applicationID;
    /// The client's own address text, set by getClientIP().
    char localIP[30];

    /// The process-wide instance, created on first call (not guarded: call it
    /// once before other threads use the connector). Never freed by the
    /// library.
    static DaemonConnector* getInstance();
    /// The instance getInstance() made; null before.
    static DaemonConnector* singleton;

    /// A closed connector: no client type, no callback.
    DaemonConnector();
    /// Copies only the socket (the copy has no thread of its own).
    DaemonConnector(const DaemonConnector& other);
    /// Waits a while for the connector's receive thread to leave, waking it
    /// by shutting the socket down if it is still open.
    virtual ~DaemonConnector();

    /// Stores `id` in applicationID and prints it.
    void registerApplicationID(int id);
    /// Opens the socket, binds it to the client's address (port DC_PORT),
    /// opens the ping socket (pingIPinit()) and starts the receive thread; 0
    /// on success, -1 on failure (no address for clientType, socket, bind or
    /// thread failure; messages on standard output).
    int init();
    /// Sets localIP from clientType and returns it ("" when the type has no
    /// address).
    char* getClientIP();
    /// A new packet: header, payload, its terminating zero and 9 spare bytes;
    /// null when out of memory. The caller frees it with free().
    char* prepareCommandPacket(int kind, int a, int b, int c, char* payload);
    /// Sends a data packet with arguments a, b, c and the text `payload`; one
    /// cut into datagrams of at most DC_MAX_DATAGRAM bytes when longer. Send
    /// failures are not reported; a null payload sends nothing.
    void sendData(int a, int b, int c, char* payload);
    /// Sends an information request, always one datagram; as sendData().
    void infoRequest(int a, int b, int c, char* payload);
    /// The receive loop of the receive thread: runs until the socket is
    /// closed; 0 then, -1 when there is no socket (init() failed).
    int receiveData();
    /// Thread entry: runs receiveData() for `connector`.
    static void* receiveDataHelper(void* connector);
    /// Prints whether SO_REUSEADDR is set on the socket (a debugging aid).
    void sockoptTestFun();
    /// Shuts the socket down and closes it (its thread ends on its next
    /// read), then closes the ping socket.
    void closeConnection();
};

/// In-place JSON escaper: "&quot;" to a quote, then quote, backslash and slash
/// escaped with a backslash. The result is at most 503 characters (cut before
/// an escape that would not fit); `s` must have room for it.
void stringEncode(char* s);
/// Undoes stringEncode() in place: a doubled backslash to one, then an escaped
/// quote to a quote, then an escaped slash to a slash.
void stringDecode(char* s);
/// Entity-encodes ', <, > and & in place (an ampersand that starts "&apos;",
/// "&amp;", "&lt;" or "&gt;" stays); `s` must have room for the result.
void stringEncodeJSON(char* s);

#pragma GCC visibility pop

#endif
