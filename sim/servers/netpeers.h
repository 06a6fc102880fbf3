// The network peers of the virtual router around the daemon link: the cloud
// daemon, HTTP on port 80, a raw DNS responder and the ICMP peer.
#pragma once

#include <netinet/in.h>
#include <string>

#include "hub.h"

namespace hub {

// Appends one record to /sim/state/log/<sock.log>.dgrams in the format of
// the datagram logs (sim/testkit/servers.h).
void recordMessage(const Socket& sock, const std::string& bytes, const sockaddr_in& from);

int runDaemon();
int runHttp();
int runDnsRaw();
int runIcmp();

}  // namespace hub
