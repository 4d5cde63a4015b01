// The four user-edited reference tables (data/flight.csv, aircraft.csv,
// airport.csv, letter.csv): Shift-JIS byte keys in, Shift-JIS byte values out.
// Every lookup checks its file again, so an edit applies to the next lookup;
// a file's parsed lines are kept while its size and modification time stay.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varnesk {

struct AppPaths;

// Field limits (bytes). A key longer than its limit never matches; a longer
// value is cut at its limit.
inline constexpr size_t kFlightKeyLimit = 7;
inline constexpr size_t kRouteLimit = 8;
inline constexpr size_t kRemarkLimit = 127;
inline constexpr size_t kRegistrationKeyLimit = 7;
inline constexpr size_t kTypeLimit = 31;
inline constexpr size_t kAirportCodeLimit = 4;
inline constexpr size_t kAirportNameLimit = 62;
inline constexpr size_t kLetterKeyLimit = 3;
inline constexpr size_t kDesignatorLimit = 63;
inline constexpr size_t kOperatorNameLimit = 63;

// A table file with lines outside the format (no comma, an empty key, a key
// longer than its limit): how many, and the line number of the first.
struct TableFileCheck {
    QString path;
    int malformed = 0;
    int firstLine = 0;
};

struct FlightInfo {
    bool found = false;
    std::string departure = "----";   // characters 1–4 of the route field
    std::string destination = "----"; // characters 5–8
    std::string remark = "-";
};

class ReferenceTables {
public:
    ReferenceTables() = default;
    explicit ReferenceTables(const AppPaths& paths);
    // For tests: the four files by name.
    ReferenceTables(QString flightTable, QString aircraftTable, QString airportTable, QString letterTable,
                    QString picsDir);

    // On no match the fallbacks "----", "----", "-" stay in place.
    FlightInfo LookupFlight(std::string_view flight) const;
    // The type, or empty with found false.
    bool LookupAircraftType(std::string_view registration, std::string& type) const;
    // The airport name, or the code itself when no line matches.
    std::string LookupAirportName(std::string_view code) const;
    // Field 3 of the letter table line for the first two characters, or "-".
    std::string LookupOperatorName(std::string_view flight) const;
    // The label form of a flight number: operator (two letters, or the
    // three-letter designator from the letter table) + the four digits,
    // leading zeros removed when zeroDeletion is on. With threeLetter on and
    // no letter-table line, the flight number unchanged.
    std::string DisplayFlightNumber(std::string_view flight, bool threeLetter, bool zeroDeletion) const;
    // <app>/pics/<registration>.jpg; empty for a registration that could
    // leave the picture folder (contains '/' or NUL, or is "." or "..") or is empty.
    QString AircraftPicturePath(std::string_view registration) const;

    // Reads the four files and gives those with malformed lines.
    std::vector<TableFileCheck> checkFiles() const;

    const QString& flightTable() const { return m_flight; }
    const QString& aircraftTable() const { return m_aircraft; }

    // For tests and benchmarks: how many times a table file was read and
    // parsed since construction.
    size_t tableParses() const { return m_parses; }

private:
    struct ParsedTable;
    // What identifies one version of a file: an edit changes the size or
    // the nanosecond modification time, a save by rename the inode.
    struct FileStamp {
        int64_t size = -1;
        int64_t mtimeNs = 0;
        uint64_t inode = 0;
        uint64_t device = 0;
        bool operator==(const FileStamp&) const = default;
    };
    struct CachedTable {
        FileStamp stamp;
        std::shared_ptr<const ParsedTable> parsed; // null: nothing valid kept
    };
    enum Table { kFlight, kAircraft, kAirport, kLetter, kTableCount };

    // The line of the table whose first field is key (first such line of
    // the file), empty when none or when the key is empty or longer than the
    // table's key limit; re-reads the file when it changed. The view lasts
    // until the next look-up in that table.
    std::string_view findLine(Table table, std::string_view key) const;
    const QString& pathOf(Table table) const;

    QString m_flight, m_aircraft, m_airport, m_letter, m_pics;
    // Look-ups are const to their callers; the cache is one slot per table.
    mutable std::array<CachedTable, kTableCount> m_cache;
    mutable size_t m_parses = 0;
};

} // namespace varnesk
