// The receiver thread started by ConnectToServers.
#pragma once

#include "channel/channel_internal.h"

// Takes datagrams from the HA server (and the identity's one peer) for ever
// and hands them to the registered callbacks. The argument is the identity
// (chan::identity when the connection was made), as an intptr_t.
HACORE_INTERNAL void* receiver(void*);
