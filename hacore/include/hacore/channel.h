// The process's channel to the hub's servers: one UDP socket on the loopback
// network 127.255.255.0/24, bound to the address of the process's client
// identity so that the servers can address events to it, the fixed server
// addresses, and the send functions of the command packets.
#pragma once

#include <netinet/in.h>
#include <pthread.h>

#include "hacore/commands.h"  // lightDeviceID, sentLightValue
#include "hacore/packets.h"

// Client identity of this process, set before ConnectToServers:
// 0 end client, 1 cloud connector, 2 unbound, 3 rules engine, 4 runRule tool,
// 5 spare client 1, 6 spare client 2, 7 web server, 8 mesh client.
extern int which;

// The process's one socket (-1 until connected), shared by every thread.
extern int s;

// Server and client addresses with their lengths.
extern struct sockaddr_in adr_ha;  // HA server 127.255.255.1:8888
extern int len_ha;
extern struct sockaddr_in adr_ha_assoc;  // HA association port 127.255.255.1:9999
extern int len_ha_assoc;
extern struct sockaddr_in adr_rsc;  // RSC server 127.255.255.6:8888
extern int len_rsc;
extern struct sockaddr_in adr_ozw;  // Z-Wave server 127.255.255.254:8888
extern int len_ozw;
extern struct sockaddr_in adr_zigbee;  // ZigBee server 127.255.255.253:8888
extern int len_zigbee;
extern struct sockaddr_in adr_hue;  // Hue server 127.255.255.252:8888
extern int len_hue;
extern struct sockaddr_in adr_nest;  // Nest server 127.255.255.251:8888
extern int len_nest;
extern struct sockaddr_in adr_mesh;  // mesh server 127.255.255.250:8888
extern int len_mesh;
extern struct sockaddr_in adr_picdriver;  // pic driver 127.255.255.249:8888
extern int len_picdriver;
extern struct sockaddr_in adr_end;  // end client 127.255.255.3:8888
extern int len_end;
extern struct sockaddr_in adr_cloud;  // cloud connector 127.255.255.2:8888
extern int len_cloud;
extern struct sockaddr_in adr_rulesEngine;  // rules engine 127.255.255.7:8888
extern int len_rulesEngine;
extern struct sockaddr_in adr_runRule;  // runRule tool 127.255.255.8:8888
extern int len_runRule;
extern struct sockaddr_in adr_free1;  // spare client 1 127.255.255.9:8888
extern int len_free1;
extern struct sockaddr_in adr_free2;  // spare client 2 127.255.255.10:8888
extern int len_free2;
extern struct sockaddr_in adr_web;  // web server 127.255.255.11:8888
extern int len_web;

extern pthread_t receiver_thread;

// Fills an IPv4 socket address from "host:port". *len is the size of the
// buffer at addr on entry and 16 on success. Returns 0, -1 for a bad host,
// -2 for a bad port (ports of 32768 and above are refused). A null protocol
// means "tcp".
int mkaddr(void* addr, int* len, char* text, char* protocol);

// Opens the socket, fills the addresses for `which`, binds and starts the
// receiver thread. Returns 1, or 0 on a fatal failure.
int ConnectToServers();

// Send the filled buffer of that server whole and clear it to zeros, also on
// failure. They return what sendto returned (-1 on failure). The ZigBee one
// waits 100 ms first.
int SendDataPacketToZigbeeServer();
int SendDataPacketToOZWServer();
int SendDataPacketToHueServer();
int SendDataPacketToNestServer();

// Sends one request to the RSC server from the shared reply address
// 127.255.255.5:8888 and waits up to 120 seconds for the answer; true when
// it answered "true".
bool sendRscClientPacket(RSC_PACKET packet);

// "<text of errno>: <text>\n" on standard error.
void displayError(const char* text);

// Asks the RSC server to persist a whole store to flash.
bool Persist(int flag, char* storePath);
