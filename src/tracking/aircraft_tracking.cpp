// Wiring of the reference tables, aircraft list and track store into the
// block decoder's hand-offs.
#include "tracking/aircraft_tracking.h"

#include "settings/app_paths.h"
#include "settings/settings_store.h"

#include <cstdio>

namespace varnesk {

AircraftTracking::AircraftTracking(const SettingsStore& settings, const AppPaths& paths)
    : m_settings(settings), m_tables(paths), m_list(settings, m_tables, paths.listLog),
      m_store(settings.integer(Key::MaxMapPlot), settings.integer(Key::MaxPlotData))
{
    m_store.setLinks(&m_list, &m_tables, &settings);
    m_list.setTrackRemover(this);
}

bool AircraftTracking::removeTrackOf(std::string_view flight)
{
    const int found = m_store.findByFlightNumber(flight);
    if (found == 0)
        return false;
    return m_store.removeEntry(found - 1).removed;
}

void AircraftTracking::UpdateListEntry(std::string_view flight, std::string_view registration, std::string_view station)
{
    m_list.UpdateListEntry(flight, registration, station, clock());
}

bool AircraftTracking::DecodePosition(std::string_view text, std::string_view flight, std::string_view messageNumber,
                                      std::string_view label, std::string_view registration)
{
    PositionOptions options;
    options.elsePosGet = m_settings.boolean(Key::ElsePosGet);
    options.tenPoint = m_settings.boolean(Key::TenPoint);
    const bool found = DecodePositionReport(text, flight, messageNumber, label, registration, options, *this);
    if (found) {
        m_store.RefreshTrackDisplay(true, flight, label);
        m_list.MarkPosition(flight, registration, clock());
    }
    return found;
}

bool AircraftTracking::addFix(const TrackFix& fix)
{
    return m_store.AddTrackPoint(fix);
}

void AircraftTracking::sortTrack(std::string_view flight)
{
    m_store.SortTrackByTime(flight);
}

std::string AircraftTracking::fixLine(const TrackFix& fix, int localHours)
{
    std::string line;
    line.reserve(96);
    line.append(fix.flight).append(1, '\t');
    line.append(fix.registration).append(1, '\t');
    line.append(TrackStore::localTimeText(fix.time, localHours)).append(1, '\t');
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, "%.6f\t%.6f\t%d\t%d\t%d\t%d\t%d\n", fix.latitude, fix.longitude,
                  fix.altitude, fix.temperature, fix.heading, fix.windDirection, fix.windSpeed);
    line.append(numbers);
    return line;
}

void AircraftTracking::printFixes(std::FILE* out)
{
    QObject::connect(&m_store, &TrackStore::fixArriving, &m_store, [this, out](const TrackFix& fix) {
        const std::string line = fixLine(fix, m_settings.integer(Key::Local));
        std::fwrite(line.data(), 1, line.size(), out);
    });
}

} // namespace varnesk
