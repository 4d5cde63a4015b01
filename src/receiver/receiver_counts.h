// ReceiverCounts: what one channel's frame capture found and how each capture
// ended, counted since start or since the last reset. At any moment
// syncsFound = framesDelivered + parityBreaks + badCrc + lengthLimitCloses
//              + bufferOverruns + capturesOpen.
#pragma once

#include <cstdint>

namespace varnesk {

struct ReceiverCounts {
    uint64_t syncsFound = 0;        // SYN SOH found: a capture started
    uint64_t framesDelivered = 0;   // CRC right, frame handed on
    uint64_t parityBreaks = 0;      // capture abandoned at a character with bad parity
    uint64_t badCrc = 0;            // end character and BCS arrived, CRC wrong
    uint64_t lengthLimitCloses = 0; // closed at slot 1944 without an end character, dropped whatever its CRC
    // Abandoned because the next slot would lie beyond the 2000-slot buffer.
    // Completion closes every capture by slot 1968, so this stays 0 unless the
    // capture state was set by hand; it is counted so that the sum above holds.
    uint64_t bufferOverruns = 0;
    // Not a running count: 1 while a capture is open now, else 0, so that the
    // sum of two channels' counts keeps the equation above.
    uint64_t capturesOpen = 0;

    ReceiverCounts& operator+=(const ReceiverCounts& other)
    {
        syncsFound += other.syncsFound;
        framesDelivered += other.framesDelivered;
        parityBreaks += other.parityBreaks;
        badCrc += other.badCrc;
        lengthLimitCloses += other.lengthLimitCloses;
        bufferOverruns += other.bufferOverruns;
        capturesOpen += other.capturesOpen;
        return *this;
    }
    bool operator==(const ReceiverCounts&) const = default;
};

} // namespace varnesk
