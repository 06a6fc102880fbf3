// Channel internals shared by the command code: the locks that keep each
// process-wide send buffer whole from fill to send, and the HA and pic-driver
// senders.
#pragma once

#include <memory>
#include <mutex>

#include "hacore/channel.h"

#define HACORE_INTERNAL __attribute__((visibility("hidden")))

// One lock per process-wide send buffer (set_data, OZWSendingPacket,
// ZigbeeSendingPacket, HUESendingPacket, NESTSendingPacket): hold it from the
// first write into the buffer until the buffer is sent. The public send
// functions (SendDataPacketTo...Server) take it themselves, for applications
// that fill the buffers; the library's code holds it and sends with the
// ...Held functions below.
HACORE_INTERNAL extern std::mutex set_data_lock, ozw_lock, zigbee_lock, hue_lock, nest_lock;

// Send and clear a buffer; the caller holds its lock.
HACORE_INTERNAL int sendZigbeeHeld();
HACORE_INTERNAL int sendOzwHeld();
HACORE_INTERNAL int sendHueHeld();
HACORE_INTERNAL int sendNestHeld();

// Sends len bytes on the shared socket to the HA server (adr_ha) or to its
// association port (adr_ha_assoc). Returns what sendto returned.
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
