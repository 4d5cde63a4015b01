// The three map files: the first byte picks coastline, airways or navaids;
// the rest is the file. Every record handed on must hold finite degrees.
#include "fuzz_support.h"
#include "map/map_files.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace varnesk;
    fuzz::Input in(data, size);
    const uint8_t which = in.byte() % 4;
    const std::string_view bytes = in.rest();
    const QString path = fuzz::workFile("map.txt");
    fuzz::writeFile(path, bytes);
    auto finite = [](std::initializer_list<double> v) {
        for (double d : v)
            if (!std::isfinite(d))
                fuzz::fail("a map record holds a number that is not finite");
    };
    MapFileStatus status;
    switch (which) {
    case 0:
        status = readCoastline(path, [&](const CoastSegment& s) { finite({s.lon0, s.lat0, s.lon1, s.lat1}); });
        break;
    case 1:
        status = readAirways(path, [&](const AirwaySegment& s) { finite({s.lat0, s.lon0, s.lat1, s.lon1}); });
        break;
    case 2:
        status = readNavPoints(path, [&](const NavPoint& p) {
            finite({p.lat, p.lon});
            if (p.name.size() > static_cast<size_t>(kMapLineLimit))
                fuzz::fail("a navaid name is longer than a line");
        });
        break;
    default: {
        double value = 0;
        if (parseDegrees(bytes, value))
            finite({value});
        return 0;
    }
    }
    if (!status.opened)
        fuzz::fail("the map file could not be opened");
    if (status.formatErrors < 0 || status.records < 0 || (status.formatErrors > 0 && status.firstErrorLine < 1))
        fuzz::fail("the map file's counts are out of range");
    return 0;
}
