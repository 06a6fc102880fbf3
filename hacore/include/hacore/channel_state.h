/**
 * @file
 * The process-wide state of the channel to the hub's servers (channel.h):
 * the client identity, the socket, the server and client addresses, the
 * receiver thread and the send buffers, one instance per process.
 *
 * Applications normally need none of it: the HADevices initialisers set the
 * identity and connect, Device's commands fill and send the buffers. Include
 * this header only where the state itself is wanted; HADevices.h and the
 * headers it includes do not, so an application is free to use these short
 * names (`s`, `which`) for its own variables.
 *
 * Each name is a reference bound to the library's own object. Reading or
 * writing through it reaches the library's state (the socket, the identity
 * ConnectToServers() reads, the buffers the send functions send). The
 * library's code never uses these names itself: an application that defines
 * a global of the same name (without this header) keeps its own variable,
 * and the library keeps working.
 */
#pragma once

#include <netinet/in.h>
#include <pthread.h>

#include "hacore/packets.h"

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// Client identity of this process, read by ConnectToServers():
/// 0 end client, 1 cloud connector, 2 unbound (no receiver), 3 rules engine,
/// 4 runRule tool, 5 spare client 1, 6 spare client 2, 7 web server, 8 mesh
/// client. The HADevices initialisers set it.
extern int& which;

/// The process's one socket (-1 until connected), shared by every thread.
/// The single-letter name is the exported one.
extern int& s;

/**
 * @name Addresses
 * Server and client addresses with their lengths (16 once filled), filled by
 * ConnectToServers(); until then they are zero.
 */
///@{
extern struct sockaddr_in& adr_ha;           ///< HA server 127.255.255.1:8888
extern int& len_ha;                          ///< length of adr_ha
extern struct sockaddr_in& adr_ha_assoc;     ///< HA association port 127.255.255.1:9999
extern int& len_ha_assoc;                    ///< length of adr_ha_assoc
extern struct sockaddr_in& adr_rsc;          ///< RSC server 127.255.255.6:8888
extern int& len_rsc;                         ///< length of adr_rsc
extern struct sockaddr_in& adr_ozw;          ///< Z-Wave server 127.255.255.254:8888
extern int& len_ozw;                         ///< length of adr_ozw
extern struct sockaddr_in& adr_zigbee;       ///< ZigBee server 127.255.255.253:8888
extern int& len_zigbee;                      ///< length of adr_zigbee
extern struct sockaddr_in& adr_hue;          ///< Hue server 127.255.255.252:8888
extern int& len_hue;                         ///< length of adr_hue
extern struct sockaddr_in& adr_nest;         ///< Nest server 127.255.255.251:8888
extern int& len_nest;                        ///< length of adr_nest
extern struct sockaddr_in& adr_mesh;         ///< mesh server 127.255.255.250:8888
extern int& len_mesh;                        ///< length of adr_mesh
extern struct sockaddr_in& adr_picdriver;    ///< pic driver 127.255.255.249:8888
extern int& len_picdriver;                   ///< length of adr_picdriver
extern struct sockaddr_in& adr_end;          ///< end client 127.255.255.3:8888
extern int& len_end;                         ///< length of adr_end
extern struct sockaddr_in& adr_cloud;        ///< cloud connector 127.255.255.2:8888
extern int& len_cloud;                       ///< length of adr_cloud
extern struct sockaddr_in& adr_rulesEngine;  ///< rules engine 127.255.255.7:8888
extern int& len_rulesEngine;                 ///< length of adr_rulesEngine
extern struct sockaddr_in& adr_runRule;      ///< runRule tool 127.255.255.8:8888
extern int& len_runRule;                     ///< length of adr_runRule
extern struct sockaddr_in& adr_free1;        ///< spare client 1 127.255.255.9:8888
extern int& len_free1;                       ///< length of adr_free1
extern struct sockaddr_in& adr_free2;        ///< spare client 2 127.255.255.10:8888
extern int& len_free2;                       ///< length of adr_free2
extern struct sockaddr_in& adr_web;          ///< web server 127.255.255.11:8888
extern int& len_web;                         ///< length of adr_web
///@}

/// The receiver thread ConnectToServers() started (see HADevices).
extern pthread_t& receiver_thread;

/**
 * @name Send buffers
 * Process-wide send buffers (packets.h): a command fills one, its send
 * function sends it whole and clears it. An application that fills one of
 * the four server buffers itself does so from one thread at a time and then
 * calls its send function (channel.h); set_data is sent by Device's
 * attribute setters.
 */
///@{
extern SetDataPacket& set_data;            ///< device settings, to the HA server
extern OZWPacket& OZWSendingPacket;        ///< to the Z-Wave server
extern ZigbeePacket& ZigbeeSendingPacket;  ///< to the ZigBee server
extern HuePacket& HUESendingPacket;        ///< to the Hue server
extern NestPacket& NESTSendingPacket;      ///< to the Nest server
///@}

#pragma GCC visibility pop
