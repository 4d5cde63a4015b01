// What the block decoder drops, by reason, per source (left, right, network
// and RAW lines). Read by varnesk-decode --stats and the modem indicators.
#pragma once

#include "decode/block_context.h"

#include <array>
#include <cstdint>

namespace varnesk {

struct DecodeCounts {
    uint64_t frames = 0;    // frames handed to the decoder
    uint64_t chatLines = 0; // "[CHAT" lines
    uint64_t tooShort = 0;  // 28 characters or fewer, or more than the frame holds
    uint64_t badFlight = 0; // downlinks whose flight number has no four digits
    uint64_t downlinks = 0; // accepted downlink blocks
    uint64_t uplinks = 0;   // accepted uplink blocks

    DecodeCounts& operator+=(const DecodeCounts& o)
    {
        frames += o.frames;
        chatLines += o.chatLines;
        tooShort += o.tooShort;
        badFlight += o.badFlight;
        downlinks += o.downlinks;
        uplinks += o.uplinks;
        return *this;
    }
};

using DecodeCountTable = std::array<DecodeCounts, kFrameSources>;

} // namespace varnesk
