// The aircraft side of the receive pipeline: reference tables, the received
// aircraft list and the track store, with the two hand-offs of the block
// decoder (every downlink block, every complete downlink message).
#pragma once

#include "aircraft/aircraft_list.h"
#include "aircraft/reference_tables.h"
#include "decode/aircraft_sink.h"
#include "tracking/position_decoder.h"
#include "tracking/track_store.h"

#include <QTime>

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace varnesk {

struct AppPaths;
class SettingsStore;

class AircraftTracking : public AircraftSink, private FixSink, private TrackRemover {
public:
    // The store is sized from [Map] MaxMapPlot and MaxPlotData as they are now.
    AircraftTracking(const SettingsStore& settings, const AppPaths& paths);

    ReferenceTables& tables() { return m_tables; }
    AircraftList& list() { return m_list; }
    TrackStore& store() { return m_store; }
    const TrackStore& store() const { return m_store; }

    // The local time of day for list times; the wall clock unless replaced.
    std::function<QTime()> clock = [] { return QTime::currentTime(); };

    // Every accepted downlink block (repeats included).
    void UpdateListEntry(std::string_view flight, std::string_view registration, std::string_view station) override;
    // Every complete downlink message: reads its fixes into the store, then
    // refreshes the map and marks the list row. Returns PositionFound.
    bool DecodePosition(std::string_view text, std::string_view flight, std::string_view messageNumber,
                        std::string_view label, std::string_view registration) override;

    // The items of the main window's company selector ("ALL", then operator codes).
    const std::vector<std::string>& companySelectorItems() const { return m_store.companyItems(); }

    // One fix as a tab-separated line: flight, registration, local time
    // text, latitude and longitude ("%.6f"), altitude, temperature, heading,
    // wind direction, wind speed, then "\n".
    static std::string fixLine(const TrackFix& fix, int localHours);
    // From now on writes fixLine of every fix handed to the store to out
    // (varnesk-decode --positions).
    void printFixes(std::FILE* out);

private:
    bool addFix(const TrackFix& fix) override;
    void sortTrack(std::string_view flight) override;
    // A list row went: its flight's track goes with it (the store tells the
    // map through aircraftRemoved).
    bool removeTrackOf(std::string_view flight) override;

    const SettingsStore& m_settings;
    ReferenceTables m_tables;
    AircraftList m_list;
    TrackStore m_store;
};

} // namespace varnesk
