// The network peers of the virtual router around the daemon link: the cloud
// daemon, HTTP on port 80, a raw DNS responder and the ICMP peer.
#pragma once

#include <netinet/in.h>
#include <string>

#include "hub.h"

namespace hub {

int runDaemon();
int runHttp();
int runDnsRaw();
int runIcmp();

}  // namespace hub
