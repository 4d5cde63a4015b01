// The packet counters of the sharing network, shown in the packet status
// window: 0 at start, never reset.
#pragma once

#include <cstdint>

namespace varnesk {

struct PacketCounters {
    uint64_t sent = 0;              // lines sent (to the server, or once per relay to the clients)
    uint64_t received = 0;          // reads of up to 4096 bytes, client or server
    uint64_t clientSendBlocked = 0; // lines for the server dropped: its output was full
    uint64_t clientSendErrors = 0;  // lines for the server dropped: not connected, or the write failed
    uint64_t serverSendBlocked = 0; // lines for a client dropped: that client's output was full
    uint64_t serverSendErrors = 0;  // lines for a client dropped: the write failed
};

} // namespace varnesk
