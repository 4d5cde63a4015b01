// Streaming readers of the three map files (coastline "lon<TAB>lat" polylines
// split by "# -b", airway line pairs "kind,lat,lon", navigation points
// "type,lat,lon,name"), degrees, handing each record to a sink as it is read.
#pragma once

#include <QString>

#include <functional>
#include <string_view>

namespace varnesk {

// Limits of one line and one comma-separated field, in bytes. A line or field
// beyond them is outside the format: its record is dropped and counted.
inline constexpr int kMapLineLimit = 31;
inline constexpr int kMapFieldLimit = 15;

struct CoastSegment {
    double lon0, lat0, lon1, lat1;
};

struct AirwaySegment {
    char kind; // '1' VOR, '2' NDB, '3' NAV; anything else is never drawn
    double lat0, lon0, lat1, lon1;
};

struct NavPoint {
    char type; // '0' … '9'; anything else is never drawn
    double lat, lon;
    std::string_view name; // Shift-JIS, valid during the sink call only
};

// What one read met: whether the file opened, how many records went to the
// sink, and the malformed records that were dropped (bad number, overlong
// line or field, missing field), with the line number of the first.
struct MapFileStatus {
    bool opened = false;
    int records = 0;
    int formatErrors = 0;
    int firstErrorLine = 0;
};

MapFileStatus readCoastline(const QString& path, const std::function<void(const CoastSegment&)>& sink);
MapFileStatus readAirways(const QString& path, const std::function<void(const AirwaySegment&)>& sink);
MapFileStatus readNavPoints(const QString& path, const std::function<void(const NavPoint&)>& sink);

// A decimal number in degrees: optional spaces, optional sign, digits with
// "." as the decimal point. Anything else (empty, trailing text, inf/nan) is
// not a number.
bool parseDegrees(std::string_view text, double& value);

} // namespace varnesk
