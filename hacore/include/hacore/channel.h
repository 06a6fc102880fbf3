/**
 * @file
 * The process's channel to the hub's servers: one UDP socket on the loopback
 * network 127.255.255.0/24, bound to the address of the process's client
 * identity so that the servers can address events to it, the fixed server
 * addresses, and the send functions of the command packets.
 *
 * Applications normally connect through an HADevices initialiser and send
 * through Device's commands; the globals here are the exported interface
 * underneath. ConnectToServers() fills the addresses; until then they are
 * zero.
 */
#pragma once

#include <netinet/in.h>
#include <pthread.h>

#include "hacore/commands.h"  // lightDeviceID, sentLightValue
#include "hacore/packets.h"

/// Client identity of this process, set before ConnectToServers():
/// 0 end client, 1 cloud connector, 2 unbound (no receiver), 3 rules engine,
/// 4 runRule tool, 5 spare client 1, 6 spare client 2, 7 web server, 8 mesh
/// client. The HADevices initialisers set it.
extern int which;

/// The process's one socket (-1 until connected), shared by every thread.
/// The single-letter name is the exported one.
extern int s;

/**
 * @name Addresses
 * Server and client addresses with their lengths (16 once filled), filled by
 * ConnectToServers().
 */
///@{
extern struct sockaddr_in adr_ha;           ///< HA server 127.255.255.1:8888
extern int len_ha;                          ///< length of adr_ha
extern struct sockaddr_in adr_ha_assoc;     ///< HA association port 127.255.255.1:9999
extern int len_ha_assoc;                    ///< length of adr_ha_assoc
extern struct sockaddr_in adr_rsc;          ///< RSC server 127.255.255.6:8888
extern int len_rsc;                         ///< length of adr_rsc
extern struct sockaddr_in adr_ozw;          ///< Z-Wave server 127.255.255.254:8888
extern int len_ozw;                         ///< length of adr_ozw
extern struct sockaddr_in adr_zigbee;       ///< ZigBee server 127.255.255.253:8888
extern int len_zigbee;                      ///< length of adr_zigbee
extern struct sockaddr_in adr_hue;          ///< Hue server 127.255.255.252:8888
extern int len_hue;                         ///< length of adr_hue
extern struct sockaddr_in adr_nest;         ///< Nest server 127.255.255.251:8888
extern int len_nest;                        ///< length of adr_nest
extern struct sockaddr_in adr_mesh;         ///< mesh server 127.255.255.250:8888
extern int len_mesh;                        ///< length of adr_mesh
extern struct sockaddr_in adr_picdriver;    ///< pic driver 127.255.255.249:8888
extern int len_picdriver;                   ///< length of adr_picdriver
extern struct sockaddr_in adr_end;          ///< end client 127.255.255.3:8888
extern int len_end;                         ///< length of adr_end
extern struct sockaddr_in adr_cloud;        ///< cloud connector 127.255.255.2:8888
extern int len_cloud;                       ///< length of adr_cloud
extern struct sockaddr_in adr_rulesEngine;  ///< rules engine 127.255.255.7:8888
extern int len_rulesEngine;                 ///< length of adr_rulesEngine
extern struct sockaddr_in adr_runRule;      ///< runRule tool 127.255.255.8:8888
extern int len_runRule;                     ///< length of adr_runRule
extern struct sockaddr_in adr_free1;        ///< spare client 1 127.255.255.9:8888
extern int len_free1;                       ///< length of adr_free1
extern struct sockaddr_in adr_free2;        ///< spare client 2 127.255.255.10:8888
extern int len_free2;                       ///< length of adr_free2
extern struct sockaddr_in adr_web;          ///< web server 127.255.255.11:8888
extern int len_web;                         ///< length of adr_web
///@}

/// The receiver thread ConnectToServers() started (see HADevices).
extern pthread_t receiver_thread;

/// Fills an IPv4 socket address (a sockaddr_in at `addr`) from "host:port"
/// (a dotted address or a host name; a port number, a service name looked up
/// for `protocol`, or "*" for any). *len is the size of the buffer at addr on
/// entry and 16 on success. Returns 0, -1 for a bad host, -2 for a bad port
/// (ports of 32768 and above are refused). A null protocol means "tcp".
int mkaddr(void* addr, int* len, char* text, char* protocol);

/// Opens the socket ::s, fills the addresses for ::which, binds the socket to
/// the identity's address and starts the receiver thread. Returns 1, or 0 on
/// a fatal failure (reported on standard error). A failed bind is fatal for
/// the end client, cloud connector, rules engine, runRule tool and spare
/// client 1 only. Call it once per process.
int ConnectToServers();

/**
 * @name Send functions
 * Each sends the filled buffer of its server (packets.h) whole from ::s and
 * clears it to zeros, also on failure. They return what sendto returned (the
 * packet size, or -1 on failure).
 */
///@{
/// Sends ::ZigbeeSendingPacket, after waiting 100 ms (the ZigBee server needs
/// consecutive console commands that far apart).
int SendDataPacketToZigbeeServer();
/// Sends ::OZWSendingPacket to the Z-Wave server.
int SendDataPacketToOZWServer();
/// Sends ::HUESendingPacket to the Hue server.
int SendDataPacketToHueServer();
/// Sends ::NESTSendingPacket to the Nest server.
int SendDataPacketToNestServer();
///@}

/// Sends one request to the RSC server from a second, short-lived socket on
/// the shared reply address 127.255.255.5:8888 and blocks up to 120 seconds
/// for the answer; true when it answered "true". Do not call it from a
/// receiver callback that must answer quickly.
bool sendRscClientPacket(RSC_PACKET packet);

/// Writes the text of the current errno, ": ", `text` and a line break to
/// standard error (the reverse order of perror()).
void displayError(const char* text);

/// Asks the RSC server (command 52) to copy the store at `storePath` to flash,
/// `flag` going along as the request's sixth integer (the rules pass 1 for
/// /tmp/rdb). Blocks as sendRscClientPacket(); true when it answered "true".
bool Persist(int flag, char* storePath);
