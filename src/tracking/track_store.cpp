// The track store: fixed slots of aircraft entries over one point pool,
// updated by position fixes, aged per fix and evicted by age when full.
#include "tracking/track_store.h"

#include "aircraft/aircraft_list.h"
#include "aircraft/reference_tables.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace varnesk {

namespace {

constexpr std::string_view kUnusedIdent = "-------";
constexpr int kDefaultLocalHours = 9;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int flightLevel(int altitude)
{
    return static_cast<int>(altitude / 1000.0 + 0.5) * 10;
}

} // namespace

TrackStore::TrackStore(int maxAircraft, int maxPoints)
    : m_entries(static_cast<size_t>(std::clamp(maxAircraft, 1, kMaxStoreDimension))),
      m_pointPool(m_entries.size() * static_cast<size_t>(std::clamp(maxPoints, 1, kMaxStoreDimension))),
      m_maxPoints(std::clamp(maxPoints, 1, kMaxStoreDimension))
{
    for (size_t i = 0; i < m_entries.size(); ++i) {
        AircraftEntry& e = m_entries[i];
        e.points = std::span<PlotPoint>(m_pointPool.data() + i * static_cast<size_t>(m_maxPoints),
                                        static_cast<size_t>(m_maxPoints));
        e.flight.assign(kUnusedIdent);
        e.registration.assign(kUnusedIdent);
        e.lastTime.assign(kUnusedIdent);
    }
    // One item per possible operator plus "ALL": appending never reallocates.
    m_companyItems.reserve(m_entries.size() + 1);
    m_companyItems.emplace_back("ALL");
}

void TrackStore::setLinks(AircraftList* list, const ReferenceTables* tables, const SettingsStore* settings)
{
    m_list = list;
    m_tables = tables;
    m_settings = settings;
}

int TrackStore::localHours() const
{
    return m_settings ? m_settings->integer(Key::Local) : kDefaultLocalHours;
}

std::string TrackStore::localTimeText(std::string_view t, int localHours)
{
    // A time that is not four digits gives "--:--", as does one that is not
    // a time of day after the offset (minutes 60 or more).
    if (t.size() < 4 || t[0] == '-' || !isDigit(t[0]) || !isDigit(t[1]) || !isDigit(t[2]) || !isDigit(t[3]))
        return "--:--";
    // Wide enough for any offset read from the settings file.
    long long hour = 10 * (t[0] - '0') + (t[1] - '0') + static_cast<long long>(localHours);
    if (hour > 23)
        hour -= 24;
    if (hour < 0)
        hour += 24;
    const int minute = 10 * (t[2] - '0') + (t[3] - '0');
    if (hour < 0 || hour > 23 || minute > 59)
        return "--:--";
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(hour), minute);
    return text;
}

double TrackStore::timeOfDay(std::string_view hhmm)
{
    if (hhmm.size() < 5 || !isDigit(hhmm[0]) || !isDigit(hhmm[1]) || !isDigit(hhmm[3]) || !isDigit(hhmm[4]))
        return 0;
    const int hour = 10 * (hhmm[0] - '0') + (hhmm[1] - '0');
    const int minute = 10 * (hhmm[3] - '0') + (hhmm[4] - '0');
    return (hour * 60 + minute) / 1440.0;
}

void TrackStore::ageAll()
{
    // Saturates, so that an entry silent for 2^31 fixes stays the oldest.
    for (AircraftEntry& e : m_entries)
        if (e.age < INT_MAX)
            ++e.age;
}

void TrackStore::writePoint(PlotPoint& p, const TrackFix& fix, double time)
{
    p.latitude = fix.latitude;
    p.longitude = fix.longitude;
    p.time = time;
    p.heading = fix.heading;
    p.altitude = fix.altitude;
    p.temperature = fix.temperature;
    p.windDirection = fix.windDirection;
    p.windSpeed = fix.windSpeed;
}

int TrackStore::findEntry(std::string_view flight, std::string_view registration) const
{
    for (int i = 0; i < m_count; ++i) {
        const AircraftEntry& e = m_entries[static_cast<size_t>(i)];
        if (e.registration == registration && e.flight == flight)
            return i;
    }
    return -1;
}

int TrackStore::findByFlightNumber(std::string_view flight) const
{
    for (int i = 0; i < m_count; ++i)
        if (m_entries[static_cast<size_t>(i)].flight == flight)
            return i + 1;
    return 0;
}

int TrackStore::NewestAircraft() const
{
    for (int i = 0; i < m_count; ++i)
        if (m_entries[static_cast<size_t>(i)].age == 0)
            return i;
    return 0;
}

void TrackStore::addCompanyItem(std::string_view code)
{
    if (std::find(m_companyItems.begin(), m_companyItems.end(), code) != m_companyItems.end())
        return;
    m_companyItems.emplace_back(code);
    Q_EMIT companyItemAdded();
}

void TrackStore::resetCompanyItems()
{
    m_companyItems.resize(1);
}

bool TrackStore::AddTrackPoint(const TrackFix& fix)
{
    Q_EMIT fixArriving(fix);
    const std::string timeText = localTimeText(fix.time, localHours());
    const double time = timeOfDay(timeText);

    const int found = findEntry(fix.flight, fix.registration);
    if (found >= 0) {
        AircraftEntry& e = m_entries[static_cast<size_t>(found)];
        ageAll();
        e.newestPoint += 1;
        e.lastTime.assign(timeText);
        if (e.newestPoint >= m_maxPoints) {
            // A full history keeps the newest MaxPlotData fixes, oldest first.
            std::move(e.points.begin() + 1, e.points.end(), e.points.begin());
            e.newestPoint = m_maxPoints - 1;
        }
        writePoint(e.points[static_cast<size_t>(e.newestPoint)], fix, time);
        if (fix.altitude <= kMaxKnownAltitude) {
            const int level = flightLevel(fix.altitude);
            e.trend = level == e.lastFlightLevel  ? kTrendLevel
                      : level < e.lastFlightLevel ? kTrendDescending
                                                  : kTrendClimbing;
            e.lastFlightLevel = level;
        }
        e.age = 0;
        return true;
    }

    ageAll();
    addCompanyItem(fix.flight.substr(0, 2));
    int slot = m_count;
    if (m_count >= maxAircraft()) {
        slot = 0;
        for (int i = 1; i < m_count; ++i)
            if (m_entries[static_cast<size_t>(i)].age > m_entries[static_cast<size_t>(slot)].age)
                slot = i;
        const AircraftEntry& old = m_entries[static_cast<size_t>(slot)];
        if (m_list)
            m_list->ClearPositionMark(old.registration.view(), old.flight.view());
    }
    AircraftEntry& e = m_entries[static_cast<size_t>(slot)];
    e.flight.assign(fix.flight);
    e.registration.assign(fix.registration);
    e.newestPoint = 0;
    writePoint(e.points[0], fix, time);
    e.lastTime.assign(timeText);
    if (fix.altitude > kMaxKnownAltitude) {
        e.lastFlightLevel = 0;
        e.trend = kTrendNone;
    } else {
        e.lastFlightLevel = flightLevel(fix.altitude);
        e.trend = kTrendFirst;
    }
    fillTexts(e);
    e.age = 0;
    if (slot == m_count) {
        ++m_count;
        if (m_count == 1)
            Q_EMIT firstAircraftStored();
    }
    return true;
}

void TrackStore::fillTexts(AircraftEntry& e)
{
    const int row = m_list ? m_list->FindRow(e.registration.view(), e.flight.view()) : 0;
    if (row == 0) {
        e.routeNames.assign("XXX>XXX");
        e.routeCodes.assign("XXXX>XXXX");
        e.aircraftType.assign("XXXX-XXX");
        e.labelThreeLetter.assign("XXXXXXX");
        e.labelThreeLetterShort.assign("XXXXXXX");
        e.labelTwoLetter.assign("XXXXXX");
        e.labelTwoLetterShort.assign("XXXXXX");
        return;
    }
    static const ReferenceTables kNoTables;
    const ReferenceTables& tables = m_tables ? *m_tables : kNoTables;
    const ListRow& r = m_list->row(row - 1);
    const std::string& dept = r.cell(kColDept);
    const std::string& dest = r.cell(kColDest);
    if (dept == "----") {
        e.routeNames.assign("NO INFO");
        e.routeCodes.assign("NO INFO");
    } else {
        e.routeNames.assign(tables.LookupAirportName(dept) + '>' + tables.LookupAirportName(dest));
        e.routeCodes.assign(dept + '>' + dest);
    }
    e.aircraftType.assign(r.cell(kColAircraft));
    const std::string_view flight = e.flight.view();
    e.labelThreeLetter.assign(tables.DisplayFlightNumber(flight, true, false));
    e.labelThreeLetterShort.assign(tables.DisplayFlightNumber(flight, true, true));
    e.labelTwoLetter.assign(tables.DisplayFlightNumber(flight, false, false));
    e.labelTwoLetterShort.assign(tables.DisplayFlightNumber(flight, false, true));
}

void TrackStore::SortTrackByTime(std::string_view flight)
{
    const int found = findByFlightNumber(flight);
    if (found == 0)
        return;
    AircraftEntry& e = m_entries[static_cast<size_t>(found - 1)];
    const int n = e.newestPoint;
    // Points 0 … n − 1 only: the newest point keeps its place.
    for (int pass = 0; pass < n - 1; ++pass)
        for (int i = 0; i < n - 1 - pass; ++i)
            if (e.points[static_cast<size_t>(i)].time > e.points[static_cast<size_t>(i + 1)].time)
                std::swap(e.points[static_cast<size_t>(i)], e.points[static_cast<size_t>(i + 1)]);
    if (n > 0 && e.points[static_cast<size_t>(n)].time == e.points[static_cast<size_t>(n - 1)].time) {
        e.points[static_cast<size_t>(n - 1)] = e.points[static_cast<size_t>(n)];
        e.newestPoint = n - 1;
    }
}

void TrackStore::RefreshTrackDisplay(bool found, std::string_view flight, std::string_view label)
{
    if (found)
        Q_EMIT trackChanged(flight, label);
}

void TrackStore::ClearStore()
{
    for (AircraftEntry& e : m_entries) {
        e.flight.assign(kUnusedIdent);
        e.lastTime.assign("");
        e.age = 0;
        e.newestPoint = 0;
        e.lastFlightLevel = 0;
        e.trend = kTrendNone;
        for (PlotPoint& p : e.points) {
            p = PlotPoint{};
            p.altitude = 0;
            p.temperature = 0;
            p.windDirection = 0;
        }
    }
    m_count = 0;
}

TrackStore::Removal TrackStore::removeEntry(int k)
{
    Removal result;
    if (k < 0 || k >= m_count)
        return result;
    const std::string code(m_entries[static_cast<size_t>(k)].operatorCode());
    // The entries above k move down one place with their points (each entry
    // carries its span into the pool, so the points move with it).
    std::rotate(m_entries.begin() + k, m_entries.begin() + k + 1, m_entries.begin() + m_count);
    --m_count;
    m_entries[static_cast<size_t>(m_count)].shown = false;
    result.removed = true;

    bool codeInUse = false;
    for (int i = 0; i < m_count && !codeInUse; ++i)
        codeInUse = m_entries[static_cast<size_t>(i)].operatorCode() == code;
    if (!codeInUse) {
        const auto item = std::find(m_companyItems.begin() + 1, m_companyItems.end(), code);
        if (item != m_companyItems.end()) {
            m_companyItems.erase(item);
            result.companyItemRemoved = true;
        }
    }
    Q_EMIT aircraftRemoved(k);
    return result;
}

} // namespace varnesk
