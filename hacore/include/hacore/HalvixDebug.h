// Debug counters of the hub in the debug store /tmp/debugdb, which the
// library writes itself: a few short debug values and, per connection
// group, up to eleven connection-time records.
#pragma once

#include <cstddef>

enum ADebug : int {
    CLDCCT = 0,  // debug values 0..3
    INDCCT = 1,
    HTDCCT = 2,
    CLRTCT = 3,
    CLCNTI = 4,  // connection-time groups 4..6
    INCNTI = 5,
    HTCNTI = 6,
};

// Store keys of the ADebug codes.
extern char debugArr[7][7];

// One connection-time record, stored whole (64 bytes).
struct ConnectionTime {
    char connected[32];
    char disconnected[32];
};
static_assert(sizeof(ConnectionTime) == 64, "");
static_assert(offsetof(ConnectionTime, disconnected) == 32, "");

class HalvixDebug {
public:
    HalvixDebug();
    ~HalvixDebug();

    // Codes 0..3: stores the first 4 bytes of the text (zero-padded).
    void SetDebugValue(ADebug code, char* value);
    // Codes 0..4: at most 4 characters into out (5 bytes); 1, or 0 when the
    // code is out of range or nothing is stored.
    int GetDebugValue(ADebug code, char* out);
    // Groups 4..6, slots 0..10.
    void SetConnectionTime(ADebug group, ConnectionTime rec, int slot);
    int GetConnectionTime(ADebug group, ConnectionTime* out, int slot);
    // Deletes slots 1..10 of the group and optimises the store; 1 for a group.
    int ClearConnectionTime(ADebug group);
    // Deletes the store.
    void ClearDebugData();
};
