// What the decoder hands to the aircraft side: every accepted downlink block
// (for the aircraft list) and every complete downlink message (whose fixes it
// reads). AircraftTracking takes both; the decoder knows only this.
#pragma once

#include <string_view>

namespace varnesk {

class AircraftSink {
public:
    // Every accepted downlink block (repeats included).
    virtual void UpdateListEntry(std::string_view flight, std::string_view registration, std::string_view station) = 0;
    // Every complete downlink message. Returns PositionFound.
    virtual bool DecodePosition(std::string_view text, std::string_view flight, std::string_view messageNumber,
                                std::string_view label, std::string_view registration) = 0;

protected:
    ~AircraftSink() = default;
};

} // namespace varnesk
