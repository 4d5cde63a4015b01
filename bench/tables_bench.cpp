// Reference-table look-up cost: a 200,000-line flight table with a 20,000-line
// aircraft table, 3,000 airports and 500 letter codes, written to a temporary
// folder; a day of 1,500 new aircraft each makes the look-ups a new list row
// and track entry make. Prints wall-clock seconds and microseconds per look-up.
#include "aircraft/reference_tables.h"

#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using varnesk::ReferenceTables;

constexpr int kFlightLines = 200'000;
constexpr int kAircraftLines = 20'000;
constexpr int kAirports = 3'000;
constexpr int kLetterCodes = 500;
constexpr int kAircraftPerDay = 1'500;

std::string twoLetters(int i)
{
    return {static_cast<char>('A' + i / 26 % 26), static_cast<char>('A' + i % 26)};
}

std::string flightNumber(int i)
{
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04d", i % 4000);
    return twoLetters(i / 4000) + digits;
}

std::string registration(int i)
{
    char text[16];
    std::snprintf(text, sizeof text, ".JA%05d", i);
    return text;
}

std::string airport(int i)
{
    return "R" + twoLetters(i / 26) + static_cast<char>('A' + i % 26);
}

bool writeFile(const QString& path, const std::string& text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size());
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main()
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    auto path = [&](const char* name) { return dir.path() + QLatin1Char('/') + QLatin1String(name); };

    std::string flights;
    for (int i = 0; i < kFlightLines; ++i)
        flights += flightNumber(i) + ',' + airport(i % kAirports) + airport((i * 7 + 1) % kAirports) + ",DAILY SERVICE "
                   + std::to_string(i) + "\r\n";
    std::string aircraft;
    for (int i = 0; i < kAircraftLines; ++i)
        aircraft += registration(i) + ",BOEING,B767-300ER\r\n";
    std::string airports;
    for (int i = 0; i < kAirports; ++i)
        airports += airport(i) + ",AIRPORT " + std::to_string(i) + "\r\n";
    std::string letters;
    for (int i = 0; i < kLetterCodes; ++i)
        letters += twoLetters(i) + ',' + twoLetters(i) + "X,OPERATOR " + std::to_string(i) + "\r\n";
    if (!writeFile(path("flight.csv"), flights) || !writeFile(path("aircraft.csv"), aircraft)
        || !writeFile(path("airport.csv"), airports) || !writeFile(path("letter.csv"), letters))
        return 1;
    std::printf("flight table %d lines (%zu bytes), aircraft %d, airports %d, letter codes %d\n", kFlightLines,
                flights.size(), kAircraftLines, kAirports, kLetterCodes);

    // The day's aircraft: flights spread over the whole table, one in ten
    // not in it (the whole file is passed over for those), registrations
    // likewise.
    std::mt19937 rng(20240501);
    std::vector<std::string> dayFlights, dayRegistrations;
    for (int i = 0; i < kAircraftPerDay; ++i) {
        const bool missing = i % 10 == 9;
        dayFlights.push_back(missing ? "ZZ" + flightNumber(i).substr(2)
                                     : flightNumber(static_cast<int>(rng() % kFlightLines)));
        dayRegistrations.push_back(registration(static_cast<int>(rng() % (missing ? 99'999 : kAircraftLines))));
    }

    const ReferenceTables tables(path("flight.csv"), path("aircraft.csv"), path("airport.csv"), path("letter.csv"),
                                 path("pics"));

    auto start = std::chrono::steady_clock::now();
    const bool firstFound = tables.LookupFlight(dayFlights[0]).found;
    std::printf("%-44s %9.4f s%s\n", "first flight look-up", secondsSince(start), firstFound ? "" : " (not found)");

    start = std::chrono::steady_clock::now();
    int found = 0;
    for (const std::string& f : dayFlights)
        found += tables.LookupFlight(f).found ? 1 : 0;
    double s = secondsSince(start);
    std::printf("%-44s %9.4f s  %8.1f us/look-up  (%d found)\n", "1,500 flight look-ups", s, s * 1e6 / kAircraftPerDay,
                found);

    // What a new aircraft costs: its list row (type, flight) and its track
    // entry (two airport names, two three-letter labels).
    start = std::chrono::steady_clock::now();
    size_t bytes = 0;
    for (int i = 0; i < kAircraftPerDay; ++i) {
        std::string type;
        tables.LookupAircraftType(dayRegistrations[static_cast<size_t>(i)], type);
        const varnesk::FlightInfo info = tables.LookupFlight(dayFlights[static_cast<size_t>(i)]);
        bytes += type.size() + tables.LookupAirportName(info.departure).size()
                 + tables.LookupAirportName(info.destination).size()
                 + tables.DisplayFlightNumber(dayFlights[static_cast<size_t>(i)], true, false).size()
                 + tables.DisplayFlightNumber(dayFlights[static_cast<size_t>(i)], true, true).size();
    }
    s = secondsSince(start);
    std::printf("%-44s %9.4f s  %8.1f us/aircraft  (%zu bytes of text)\n", "1,500 new aircraft, 6 look-ups each", s,
                s * 1e6 / kAircraftPerDay, bytes);
    return 0;
}
