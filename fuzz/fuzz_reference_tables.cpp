// The four reference tables: the first byte picks the table the rest of the
// input becomes (the other three are empty files); then it is looked up with
// the first field of each of its lines (and a few fixed keys), as the list
// and the labels do.
#include "aircraft/reference_tables.h"
#include "fuzz_support.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace varnesk;
    fuzz::Input in(data, size);
    const uint8_t options = in.byte();
    const int which = options % 4;
    const std::string_view bytes = in.rest();
    static const char* const kNames[] = {"flight.csv", "aircraft.csv", "airport.csv", "letter.csv"};
    for (int t = 0; t < 4; ++t)
        fuzz::writeFile(fuzz::workFile(kNames[t]), t == which ? bytes : std::string_view());
    ReferenceTables tables(fuzz::workFile(kNames[0]), fuzz::workFile(kNames[1]), fuzz::workFile(kNames[2]),
                           fuzz::workFile(kNames[3]), fuzz::appDir() + QStringLiteral("/pics"));

    // Keys: the text before the first comma of each line, at most 32 lines.
    std::vector<std::string_view> keys = {"", "JL0012", "JA8089", "RJTT", "JL", "ANA"};
    std::string_view rest = bytes;
    for (int line = 0; line < 32 && !rest.empty(); ++line) {
        const size_t end = std::min(rest.find('\n'), rest.size());
        const std::string_view l = rest.substr(0, end);
        keys.push_back(l.substr(0, std::min(l.find(','), l.size())));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    std::string type;
    for (std::string_view key : keys) {
        const FlightInfo f = tables.LookupFlight(key);
        if (f.departure.size() > kRouteLimit || f.destination.size() > kRouteLimit || f.remark.size() > kRemarkLimit)
            fuzz::fail("a flight table value is longer than its limit");
        if (tables.LookupAircraftType(key, type) && type.size() > kTypeLimit)
            fuzz::fail("an aircraft type is longer than its limit");
        (void)tables.LookupAirportName(key);
        (void)tables.LookupOperatorName(key);
        (void)tables.DisplayFlightNumber(key, (options & 4) != 0, (options & 8) != 0);
        (void)tables.AircraftPicturePath(key);
    }
    return 0;
}
