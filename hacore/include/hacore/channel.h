/**
 * @file
 * The process's channel to the hub's servers: one UDP socket on the loopback
 * network 127.255.255.0/24, bound to the address of the process's client
 * identity so that the servers can address events to it, the fixed server
 * addresses, and the send functions of the command packets.
 *
 * Applications normally connect through an HADevices initialiser and send
 * through Device's commands; the functions here are the exported interface
 * underneath. The process-wide state they work on (identity, socket,
 * addresses, send buffers) is declared in channel_state.h, which this header
 * does not include.
 */
#pragma once

#include "hacore/commands.h"  // lightDeviceID, sentLightValue
#include "hacore/packets.h"

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// Fills an IPv4 socket address (a sockaddr_in at `addr`) from "host:port"
/// (a dotted address or a host name; a port number, a service name looked up
/// for `protocol`, or "*" for any). *len is the size of the buffer at addr on
/// entry and 16 on success. Returns 0, -1 for a bad host, -2 for a bad port
/// (ports of 32768 and above are refused). A null protocol means "tcp".
int mkaddr(void* addr, int* len, char* text, char* protocol);

/// Opens the socket ::s, fills the addresses for the identity ::which
/// (channel_state.h), binds the socket to the identity's address and starts
/// the receiver thread. Returns 1, or 0 on a fatal failure (reported on
/// standard error). A failed bind is fatal for the end client, cloud
/// connector, rules engine, runRule tool and spare client 1 only. Call it
/// once per process.
int ConnectToServers();

/**
 * @name Send functions
 * Each sends the filled buffer of its server (channel_state.h) whole from
 * ::s and clears it to zeros, also on failure. They return what sendto
 * returned (the packet size, or -1 on failure).
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

#pragma GCC visibility pop
