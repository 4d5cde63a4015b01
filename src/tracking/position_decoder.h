// Position reports: picks one of twelve readers by the airline code of the
// flight number, reads zero or more fixes from the message text, converts
// them to degrees and hands them on. A text that does not match yields nothing.
#pragma once

#include "tracking/track_store.h"

#include <cstddef>
#include <string_view>

namespace varnesk {

// Readers look at the first 1001 characters of a message only.
inline constexpr size_t kMaxPositionScan = 1001;

struct PositionOptions {
    bool elsePosGet = true; // [Map] ElsePosGet: the generic reader for other airlines
    bool tenPoint = false;  // [Map] 10point: format 1 scans only "WDC"/"WDD" reports
};

// Where converted fixes go (the track store, with whatever watches it).
class FixSink {
public:
    virtual ~FixSink() = default;
    // True when the point was stored.
    virtual bool addFix(const TrackFix& fix) = 0;
    // After format 1 stored fixes: order the flight's track by time.
    virtual void sortTrack(std::string_view flight) = 0;
};

// The reader (1 … 12) chosen by the first two characters of the flight
// number, case-sensitive; 12 for any other airline.
int PositionFormatFor(std::string_view flight);

// Reads every fix of one complete downlink message. Returns true when at
// least one fix was stored (the program's PositionFound).
bool DecodePositionReport(std::string_view text, std::string_view flight, std::string_view messageNumber,
                          std::string_view label, std::string_view registration, const PositionOptions& options,
                          FixSink& sink);

} // namespace varnesk
