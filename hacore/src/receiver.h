// The receiver thread started by ConnectToServers.
#pragma once

#include "channel.h"

// Takes datagrams from the HA server (and the identity's one peer) for ever
// and hands them to the registered callbacks.
HACORE_INTERNAL void* receiver(void*);
