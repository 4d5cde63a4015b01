// The background layer: fill, coastline, dotted airways and navigation points
// with their symbols and names, drawn from the three map files in one
// streaming pass each, for a view, the layer toggles and the colours.
#pragma once

#include "map/map_files.h"
#include "map/map_view.h"

#include <QImage>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace varnesk {

class SettingsStore;

// Everything the rebuild reads besides the view, taken from the settings.
struct BackgroundOptions {
    bool dispVor = true, dispTac = true, dispNdb = true, dispWpt = true, dispApt = true;
    bool lineVor = true, lineNdb = true, lineNav = true;
    bool airportNames = false; // [Map] Japan
    bool declutter = true;     // [Map] Declutter: a label over another is left out
    uint32_t back = 0x000000, coast = 0x004080;
    uint32_t airwayVor = 0x004000, airwayNdb = 0x400040, airwayNav = 0x004040;
    // Point colours by type '1' … '9', '0' (index 0 … 9 for types '1' … '9', 9 for '0').
    std::array<uint32_t, 10> point{};
    class TextMasks* textMasks = nullptr; // names drawn from masks kept by the caller

    static BackgroundOptions fromSettings(const SettingsStore& settings);
};

struct MapFilePaths {
    QString coastline;
    QString airways;
    QString navaids;
};

// Airport code (name field of a type "5" point) → the text to draw; the code
// itself when the table has no entry.
using AirportNameLookup = std::function<std::string(std::string_view code)>;

struct BackgroundStatus {
    MapFileStatus coastline, airways, navaids;
    int formatErrors() const { return coastline.formatErrors + airways.formatErrors + navaids.formatErrors; }
};

// The three map files held in memory for the rebuilds: a file is read again
// only when its size or modification time has changed since it was read.
class MapData {
public:
    struct Point {
        char type;
        double lat, lon;
        uint32_t nameOffset, nameLength; // in names()
    };

    // Reads the files that changed; true when any was read (again).
    bool refresh(const MapFilePaths& files);
    const BackgroundStatus& status() const { return m_status; }
    const std::vector<CoastSegment>& coastline() const { return m_coast; }
    const std::vector<AirwaySegment>& airways() const { return m_airways; }
    const std::vector<Point>& points() const { return m_points; }
    std::string_view name(const Point& p) const { return std::string_view(m_names).substr(p.nameOffset, p.nameLength); }

private:
    struct Stamp {
        QString path;
        qint64 size = -1;
        qint64 modifiedMs = -1;
        bool read = false;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp stampOf(const QString& path);

    BackgroundStatus m_status;
    std::vector<CoastSegment> m_coast;
    std::vector<AirwaySegment> m_airways;
    std::vector<Point> m_points;
    std::string m_names;
    std::array<Stamp, 3> m_stamps;
};

// Draws the whole background into image (Format_RGB32, the view's size).
BackgroundStatus renderBackground(QImage& image, const MapView& view, const BackgroundOptions& options,
                                  const MapData& data, const AirportNameLookup& airportName);
// The same straight from the files (read for this one drawing).
BackgroundStatus renderBackground(QImage& image, const MapView& view, const BackgroundOptions& options,
                                  const MapFilePaths& files, const AirportNameLookup& airportName);

// The symbol of a point type, drawn at (x, y); no-op for '0' and unknown types.
class Canvas;
void drawPointSymbol(Canvas& canvas, char type, int x, int y, uint32_t rgb);

} // namespace varnesk
