/**
 * @file
 * Debug counters of the hub in the debug store /tmp/debugdb, which the
 * library writes itself: a few short debug values and, per connection
 * group, up to eleven connection-time records.
 */
#pragma once

#include <cstddef>

// Exported: the libraries build with hidden visibility by default.
#pragma GCC visibility push(default)

/// Debug codes: 0..3 name short debug values, 4..6 connection-time groups.
/// The enumerators are also the store keys (see ::debugArr).
enum ADebug : int {
    CLDCCT = 0,  ///< debug value 0
    INDCCT = 1,  ///< debug value 1
    HTDCCT = 2,  ///< debug value 2
    CLRTCT = 3,  ///< debug value 3
    CLCNTI = 4,  ///< connection-time group 4
    INCNTI = 5,  ///< connection-time group 5
    HTCNTI = 6,  ///< connection-time group 6
};

/// Store keys of the ADebug codes ("CLDCCT" ... "HTCNTI"); a connection-time
/// record's key is "<group key>.<slot>".
extern char debugArr[7][7];

/// One connection-time record, stored whole (64 bytes).
struct ConnectionTime {
    char connected[32];     ///< when the connection came up, as text
    char disconnected[32];  ///< when it went down, as text
};
static_assert(sizeof(ConnectionTime) == 64, "");
static_assert(offsetof(ConnectionTime, disconnected) == 32, "");

/// Reads and writes the debug store; every call opens and closes it. The
/// object holds no state.
class HalvixDebug {
public:
    /// Does nothing.
    HalvixDebug();
    /// Does nothing.
    ~HalvixDebug();

    /// Codes 0..3: stores the first 4 bytes of the text (zero-padded); other
    /// codes and a null text are ignored.
    void SetDebugValue(ADebug code, char* value);
    /// Codes 0..4: at most 4 characters into `out` (5 bytes); 1, or 0 when the
    /// code is out of range or nothing is stored.
    int GetDebugValue(ADebug code, char* out);
    /// Stores `rec` in slot `slot` (0..10) of group 4..6; other groups and
    /// slots are ignored.
    void SetConnectionTime(ADebug group, ConnectionTime rec, int slot);
    /// Reads slot `slot` of group 4..6 into `out`; 1 when found, else 0.
    int GetConnectionTime(ADebug group, ConnectionTime* out, int slot);
    /// Deletes slots 1..10 of the group (slot 0 stays) and optimises the
    /// store; 1 for a group, 0 otherwise.
    int ClearConnectionTime(ADebug group);
    /// Deletes the whole store file.
    void ClearDebugData();
};

#pragma GCC visibility pop
