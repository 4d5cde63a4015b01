// The four user-edited reference tables (data/flight.csv, aircraft.csv,
// airport.csv, letter.csv): Shift-JIS byte keys in, Shift-JIS byte values out.
// Every lookup reads its file again, so an edit applies to the next lookup.
#pragma once

#include <QString>

#include <string>
#include <string_view>

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

struct FlightInfo {
    bool found = false;
    std::string departure = "----"; // characters 1–4 of the route field
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

    const QString& flightTable() const { return m_flight; }
    const QString& aircraftTable() const { return m_aircraft; }

private:
    QString m_flight, m_aircraft, m_airport, m_letter, m_pics;
};

// The platform shell opens the flight table, the aircraft table or the
// application folder in their associated application; failures are silent.
void OpenFlightTable(const AppPaths& paths);
void OpenAircraftTable(const AppPaths& paths);
void OpenApplicationFolder(const AppPaths& paths);

} // namespace varnesk
