// Channel internals shared by the command code: the channel's process-wide
// state, the locks that keep each send buffer whole from fill to send, and
// the HA and pic-driver senders.
#pragma once

#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <pthread.h>

#include "hacore/channel.h"

#define HACORE_INTERNAL __attribute__((visibility("hidden")))

// The channel's state. The library reaches it only through these hidden
// objects, never through the exported names of hacore/channel_state.h
// (references bound to them in channel_state.cpp): an application that
// defines a global `s` or `which` of its own takes the place of the
// exported symbol, and the library must go on using its own socket.
namespace chan {

struct Address {
    sockaddr_in adr;
    int len;
};

HACORE_INTERNAL extern int identity;  // `which`
HACORE_INTERNAL extern int sock;      // `s`
HACORE_INTERNAL extern Address ha, haAssoc, rsc, ozw, zigbee, hue, nest, mesh, picdriver, end, cloud, rulesEngine,
    runRule, free1, free2, web;
HACORE_INTERNAL extern pthread_t receiverThread;

HACORE_INTERNAL extern SetDataPacket setData;
HACORE_INTERNAL extern OZWPacket ozwPacket;
HACORE_INTERNAL extern ZigbeePacket zigbeePacket;
HACORE_INTERNAL extern HuePacket huePacket;
HACORE_INTERNAL extern NestPacket nestPacket;

}  // namespace chan

// One lock per send buffer (chan::setData, ozwPacket, zigbeePacket,
// huePacket, nestPacket): hold it from the first write into the buffer until
// the buffer is sent. The public send functions (SendDataPacketTo...Server)
// take it themselves, for applications that fill the buffers; the library's
// code holds it and sends with the ...Held functions below.
HACORE_INTERNAL extern std::mutex set_data_lock, ozw_lock, zigbee_lock, hue_lock, nest_lock;

// Send and clear a buffer; the caller holds its lock.
HACORE_INTERNAL int sendZigbeeHeld();
HACORE_INTERNAL int sendOzwHeld();
HACORE_INTERNAL int sendHueHeld();
HACORE_INTERNAL int sendNestHeld();

// Sends len bytes on the shared socket to the HA server or to its
// association port. Returns what sendto returned.
HACORE_INTERNAL int sendToHA(const void* pkt, int len, bool assoc);

// Sends len bytes on the shared socket to the pic driver. Returns what sendto
// returned.
HACORE_INTERNAL int sendToPic(const void* pkt, int len);

// sendRscClientPacket on a packet the caller keeps: 10 KB is too much for a
// stack frame on the router (and a copy by value doubles it).
HACORE_INTERNAL bool sendRscPacket(const RSC_PACKET* packet);

// A zeroed RSC packet with its command set, on the heap: the one form in
// which the library's requests are built.
HACORE_INTERNAL std::unique_ptr<RSC_PACKET> newRscPacket(int command);
