// The aircraft track store: every aircraft that reported a position since
// start-up, with its newest MaxPlotData fixes (degrees, feet, °C, local time
// of day) and display texts. Sized once at start-up; storing a fix never allocates.
#pragma once

#include <QObject>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnesk {

class AircraftList;
class ReferenceTables;
class SettingsStore;

// Markers for missing values. A marker is never a separate flag: a value
// beyond the limit below is "missing".
inline constexpr int kNoAltitude = 90000; // feet; anything above kMaxKnownAltitude is missing
inline constexpr int kMaxKnownAltitude = 89999;
inline constexpr int kUnusedPointAltitude = 100000; // altitude of a point never written
inline constexpr int kNoTemperature = 100;          // °C; 100 or more is missing
inline constexpr int kNoHeading = 400;              // degrees; above 360 is not drawn
inline constexpr int kNoWindDirection = 400;        // degrees; above 360 is missing
inline constexpr int kMaxKnownDirection = 360;

// AircraftEntry::trend
inline constexpr int kTrendNone = 0;  // no known altitude yet
inline constexpr int kTrendFirst = 1; // first known altitude
inline constexpr int kTrendLevel = 2;
inline constexpr int kTrendDescending = 3;
inline constexpr int kTrendClimbing = 4;

// Size limits of the entry texts (bytes, without the terminating NUL).
inline constexpr size_t kIdentLength = 7; // flight number, registration, time text
inline constexpr size_t kAirportNameLength = 62;
inline constexpr size_t kRouteNamesLength = 2 * kAirportNameLength + 1;
inline constexpr size_t kRouteCodesLength = 9; // "XXXX>XXXX"
inline constexpr size_t kAircraftTypeLength = 31;
inline constexpr size_t kLabelLength = 63 + 4; // three-letter designator + four digits

// A NUL-terminated Shift-JIS text in a fixed array; longer input is cut at
// the limit (never past it).
template <size_t Length>
struct EntryText {
    std::array<char, Length + 1> bytes{};

    void assign(std::string_view text)
    {
        const size_t n = text.size() < Length ? text.size() : Length;
        for (size_t i = 0; i < n; ++i)
            bytes[i] = text[i];
        bytes[n] = '\0';
    }
    std::string_view view() const { return std::string_view(bytes.data()); }
    const char* c_str() const { return bytes.data(); }
    bool operator==(std::string_view text) const { return view() == text; }
};

// One position fix as stored.
struct PlotPoint {
    double latitude = 0;                  // degrees, north positive
    double longitude = 0;                 // degrees, east positive
    double time = 0;                      // local time of day as a fraction of a day; 0 (00:00) when unknown
    int heading = 0;                      // degrees; kNoHeading when missing
    int altitude = kUnusedPointAltitude;  // feet; above kMaxKnownAltitude is missing
    int temperature = kNoTemperature;     // °C
    int windDirection = kNoWindDirection; // degrees
    int windSpeed = 0;                    // meaningful only with a known wind direction
};

// One tracked aircraft (a slot of the store).
struct AircraftEntry {
    EntryText<kIdentLength> flight;       // normalised flight number, "-------" when unused
    EntryText<kIdentLength> registration; // address of the block, "-------" when unused
    EntryText<kIdentLength> lastTime;     // local time of the newest fix "HH:MM", or "--:--"
    int age = 1;                          // fixes (of any aircraft) stored since this entry was updated; 0 = the newest
    int newestPoint = 0;                  // index of the newest point: points 0 … newestPoint are in use
    int lastFlightLevel = 0;              // trunc(altitude / 1000 + 0.5) × 10 of the last known altitude
    int trend = kTrendNone;
    bool shown = true; // display switch, owned by the map's selection logic

    EntryText<kRouteNamesLength> routeNames;       // "XXX>XXX", "NO INFO" or "<name>><name>"
    EntryText<kRouteCodesLength> routeCodes;       // "XXXX>XXXX", "NO INFO" or "DEPT>DEST"
    EntryText<kAircraftTypeLength> aircraftType;   // "XXXX-XXX" or the list's Aircraft column
    EntryText<kLabelLength> labelThreeLetter;      // DisplayFlightNumber(three-letter on, zero deletion off)
    EntryText<kLabelLength> labelThreeLetterShort; // three-letter on, zero deletion on
    EntryText<kLabelLength> labelTwoLetter;        // three-letter off, zero deletion off
    EntryText<kLabelLength> labelTwoLetterShort;   // three-letter off, zero deletion on

    // MaxPlotData points owned by the store, oldest first; 0 … newestPoint in use.
    std::span<PlotPoint> points;

    int pointCount() const { return newestPoint + 1; }
    const PlotPoint& newest() const { return points[static_cast<size_t>(newestPoint)]; }
    // The operator code: the first two characters of the flight number.
    std::string_view operatorCode() const { return flight.view().substr(0, 2); }
};

// One converted fix handed in by the position readers.
struct TrackFix {
    std::string_view flight;
    std::string_view registration;
    std::string_view time; // "HHMM" as reported (UTC), or starting with "-" when unknown
    int windSpeed = 0;
    int windDirection = kNoWindDirection;
    int temperature = kNoTemperature;
    int altitude = kNoAltitude;
    int heading = kNoHeading;
    double longitude = 0; // degrees, east positive
    double latitude = 0;  // degrees, north positive
    std::string_view messageNumber;
};

// Bounds of the store's size settings: an INI value outside 1 … 2000 is
// taken as the nearest bound (2000 × 2000 points is about 190 MB).
inline constexpr int kMaxStoreDimension = 2000;

class TrackStore : public QObject {
    Q_OBJECT
public:
    // All memory is taken here: maxAircraft entries ([Map] MaxMapPlot) of
    // maxPoints points each ([Map] MaxPlotData), each within 1 … kMaxStoreDimension.
    TrackStore(int maxAircraft, int maxPoints);
    TrackStore(const TrackStore&) = delete;
    TrackStore& operator=(const TrackStore&) = delete;

    // What a new entry reads its texts from and whose position mark an
    // evicted entry clears; the settings give [UserSettings] Local. Any may
    // be null: no list means the placeholder texts, no settings means Local 9.
    void setLinks(AircraftList* list, const ReferenceTables* tables, const SettingsStore* settings);

    // Stores a fix for (flight, registration): updates that entry, or
    // creates one (evicting the entry with the greatest age when full).
    // Always true: the store never refuses a fix.
    bool AddTrackPoint(const TrackFix& fix);
    // Sorts the first matching entry's points 0 … newest − 1 by time; a newest
    // point with the same time as the one before it replaces that one.
    void SortTrackByTime(std::string_view flight);
    // Nothing when found is false; otherwise tells trackChanged.
    void RefreshTrackDisplay(bool found, std::string_view flight, std::string_view label);
    // Resets every slot (flight "-------", counters and points zero) and the
    // count to 0. Registrations, display texts and companyItems() stay.
    void ClearStore();
    // Index of the first entry in use whose age is 0, or 0 when none.
    int NewestAircraft() const;

    // 1 + index of the first entry in use with this flight number, 0 when none.
    int findByFlightNumber(std::string_view flight) const;
    // Index of the entry for exactly this pair, −1 when none.
    int findEntry(std::string_view flight, std::string_view registration) const;

    // The store's half of removing aircraft k (the selection adjustments
    // belong to the map): entries above k move down one place with all their
    // fields and points, the vacated last place gets shown = false, the count
    // drops by one, and k's operator code leaves companyItems() when no
    // remaining aircraft has it.
    struct Removal {
        bool removed = false;            // false when k is not an entry in use
        bool companyItemRemoved = false; // the selector should return to "ALL"
    };
    Removal removeEntry(int k);

    int count() const { return m_count; }
    int maxAircraft() const { return static_cast<int>(m_entries.size()); }
    int maxPoints() const { return m_maxPoints; }
    const AircraftEntry& entry(int i) const { return m_entries[static_cast<size_t>(i)]; }
    AircraftEntry& entry(int i) { return m_entries[static_cast<size_t>(i)]; }

    // The items of the main window's company selector: "ALL" first, then the
    // operator codes in the order their first aircraft was stored.
    const std::vector<std::string>& companyItems() const { return m_companyItems; }
    // Back to the single item "ALL" (the clear-plots-and-list command).
    void resetCompanyItems();

    // "HH:MM" of a 4-character report time plus localHours, or "--:--" when
    // the time is unknown ("-" first) or not a valid time of day.
    static std::string localTimeText(std::string_view reportTime, int localHours);
    // The time of day of an "HH:MM" text as a fraction of a day; 0 for "--:--".
    static double timeOfDay(std::string_view hhmm);

Q_SIGNALS:
    // The first aircraft has been stored in an empty store (enable the
    // auto-select button and the clear-plots command).
    void firstAircraftStored();
    // An operator code was appended to companyItems().
    void companyItemAdded();
    // A message produced a fix (RefreshTrackDisplay): the map sets its
    // keep-selection flag, follows auto-select and redraws.
    void trackChanged(std::string_view flight, std::string_view label);
    // Every fix handed to AddTrackPoint, before it is stored.
    void fixArriving(const TrackFix& fix);
    // Aircraft k left the store; the entries above it moved down one place.
    void aircraftRemoved(int k);

private:
    int localHours() const;
    void ageAll();
    void writePoint(PlotPoint& point, const TrackFix& fix, double time);
    void fillTexts(AircraftEntry& e);
    void addCompanyItem(std::string_view code);

    std::vector<AircraftEntry> m_entries;
    std::vector<PlotPoint> m_pointPool; // maxAircraft × maxPoints, never resized
    std::vector<std::string> m_companyItems;
    int m_maxPoints = 1;
    int m_count = 0;
    AircraftList* m_list = nullptr;
    const ReferenceTables* m_tables = nullptr;
    const SettingsStore* m_settings = nullptr;
};

} // namespace varnesk
