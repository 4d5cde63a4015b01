// Background rebuild: fill, coastline (solid), airways (dotted), points in
// file order with pixel symbols and 8-point names, each segment or point
// skipped when its projected start is not drawable.
#include "map/background_renderer.h"

#include "map/canvas.h"
#include "settings/settings_store.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRect>

#include <algorithm>
#include <initializer_list>
#include <optional>

namespace varnesk {

namespace {

// One run of a symbol: row dy, pixels dx0 … dx1 inclusive.
struct Run {
    int8_t dy, dx0, dx1;
};

constexpr Run kVorDme[] = {{-4, -5, 5},  {-3, -5, -5}, {-3, -2, -2}, {-3, 2, 2}, {-3, 5, 5},
                           {-2, -5, -5}, {-2, -3, -3}, {-2, 3, 3},   {-2, 5, 5}, {-1, -5, -4},
                           {-1, 4, 5},   {0, -5, -5},  {0, 0, 0},    {0, 5, 5},  {1, -5, -4},
                           {1, 4, 5},    {2, -5, -5},  {2, -3, -3},  {2, 3, 3},  {2, 5, 5},
                           {3, -5, -5},  {3, -2, -2},  {3, 2, 2},    {3, 5, 5},  {4, -5, 5}};
constexpr Run kVortac[] = {{-5, -3, -3}, {-5, 3, 3}, {-4, -4, -2}, {-4, 2, 4}, {-3, -5, -3}, {-3, -1, 1}, {-3, 3, 5},
                           {-2, -6, -4}, {-2, 4, 6}, {-1, -5, -5}, {-1, 5, 5}, {0, -4, -4},  {0, 0, 0},   {0, 4, 4},
                           {1, -3, -3},  {1, 3, 3},  {2, -2, -2},  {2, 2, 2},  {3, -2, 2},   {4, -2, 2}};
constexpr Run kWaypoint[] = {{-2, 0, 0}, {-1, -1, -1}, {-1, 1, 1}, {0, -2, -2}, {0, 2, 2}, {1, -3, 3}};
constexpr Run kAirport[] = {{-8, -1, -1}, {-7, -1, -1}, {-6, -3, 3}, {-5, -3, -3}, {-5, 3, 3},
                            {-4, -2, 2},  {-3, -2, -2}, {-3, 2, 2},  {-2, -2, -2}, {-2, 2, 2},
                            {-1, -2, -2}, {-1, 2, 2},   {0, -2, 2}};
constexpr Run kHome[] = {{-4, 0, 0}, {-3, -1, -1}, {-3, 1, 1}, {-2, -2, -2}, {-2, 2, 2}, {-1, -3, 3}, {0, -4, -3},
                         {0, 3, 4},  {1, -3, -3},  {1, 3, 3},  {2, -3, -3},  {2, 3, 3},  {3, -3, 3}};
constexpr Run kBeacon[] = {{-4, 0, 0}, {-3, 0, 0},  {-2, -1, -1}, {-2, 1, 1},  {-1, -1, -1},
                           {-1, 1, 1}, {0, -2, -2}, {0, 2, 2},    {1, -2, -2}, {1, 0, 0},
                           {1, 2, 2},  {2, -3, -3}, {2, 3, 3},    {3, -3, -3}, {3, 3, 3}};
constexpr Run kAntenna[] = {{-7, -3, 3}, {-6, -2, -2}, {-6, 0, 0}, {-6, 2, 2}, {-5, -1, 1},
                            {-4, 0, 0},  {-3, 0, 0},   {-2, 0, 0}, {-1, 0, 0}, {0, 0, 0}};
constexpr Run kMountain[] = {{-4, 1, 1},  {-3, 1, 1},  {-2, -2, -2}, {-2, 0, 0},  {-2, 2, 2},  {-1, -2, -2}, {-1, 0, 0},
                             {-1, 2, 2},  {0, -3, -3}, {0, -1, -1},  {0, 3, 3},   {1, -3, -3}, {1, -1, -1},  {1, 3, 3},
                             {2, -4, -4}, {2, 0, 0},   {2, 4, 4},    {3, -4, -4}, {3, 0, 0},   {3, 4, 4}};

template <size_t N>
void drawRuns(Canvas& c, const Run (&runs)[N], int x, int y, QRgb rgb)
{
    for (const Run& r : runs)
        for (int dx = r.dx0; dx <= r.dx1; ++dx)
            c.pixel(x + dx, y + r.dy, rgb);
}

// Where a type's name starts, relative to the point.
struct LabelOffset {
    int dx, dy;
};

LabelOffset labelOffset(char type)
{
    switch (type) {
    case '1':
    case '2':
        return {-25, -5};
    case '3':
        return {-15, -5};
    case '4':
    case '5':
        return {5, -5};
    default:
        return {7, -4};
    }
}

// The places labels already take, in cells of kCellPx so that a label is
// tested only against its neighbours.
class LabelSpace {
public:
    LabelSpace(int width, int height)
        : m_columns(std::max(1, (width + kCellPx - 1) / kCellPx)),
          m_rows(std::max(1, (height + kCellPx - 1) / kCellPx)),
          m_cells(static_cast<size_t>(m_columns) * static_cast<size_t>(m_rows))
    {
    }
    // Takes the place when nothing drawn overlaps it; false otherwise.
    bool take(const QRect& r)
    {
        const int c0 = std::clamp(r.left() / kCellPx, 0, m_columns - 1),
                  c1 = std::clamp(r.right() / kCellPx, 0, m_columns - 1);
        const int r0 = std::clamp(r.top() / kCellPx, 0, m_rows - 1),
                  r1 = std::clamp(r.bottom() / kCellPx, 0, m_rows - 1);
        for (int row = r0; row <= r1; ++row)
            for (int c = c0; c <= c1; ++c)
                for (const QRect& other : cell(c, row))
                    if (other.intersects(r))
                        return false;
        for (int row = r0; row <= r1; ++row)
            for (int c = c0; c <= c1; ++c)
                cell(c, row).push_back(r);
        return true;
    }

private:
    static constexpr int kCellPx = 32;
    std::vector<QRect>& cell(int column, int row)
    {
        return m_cells[static_cast<size_t>(row) * static_cast<size_t>(m_columns) + static_cast<size_t>(column)];
    }
    int m_columns, m_rows;
    std::vector<std::vector<QRect>> m_cells;
};

// With decluttering, airports label first, then the radio aids, then the
// rest, each in file order: a crowded area keeps the names that matter most.
int labelRank(char type)
{
    switch (type) {
    case '5':
        return 0;
    case '1':
    case '2':
    case '3':
        return 1;
    default:
        return 2;
    }
}

int pointIndex(char type)
{
    return type == '0' ? 9 : type - '1';
}

} // namespace

BackgroundOptions BackgroundOptions::fromSettings(const SettingsStore& s)
{
    BackgroundOptions o;
    o.dispVor = s.boolean(Key::DispVOR);
    o.dispTac = s.boolean(Key::DispTAC);
    o.dispNdb = s.boolean(Key::DispNDB);
    o.dispWpt = s.boolean(Key::DispWPT);
    o.dispApt = s.boolean(Key::DispAPT);
    o.lineVor = s.boolean(Key::LineVOR);
    o.lineNdb = s.boolean(Key::LineNDB);
    o.lineNav = s.boolean(Key::LineNAV);
    o.airportNames = s.boolean(Key::Japan);
    o.declutter = s.boolean(Key::Declutter);
    o.back = s.colour(Key::MapBackColor);
    o.coast = s.colour(Key::MapCoastColor);
    o.airwayVor = s.colour(Key::MapAirwayVOR);
    o.airwayNdb = s.colour(Key::MapAirwayNDB);
    o.airwayNav = s.colour(Key::MapAirwayNAV);
    // The keys of the five navaid colours carry other symbols' names; the
    // colour dialog edits each under the label of the type it draws.
    o.point = {s.colour(Key::MapPointVORTAC),  s.colour(Key::MapPointNDB),    s.colour(Key::MapPointNAV),
               s.colour(Key::MapPointAirPort), s.colour(Key::MapPointVORDME), s.colour(Key::MapPointHome),
               s.colour(Key::MapPointBeacon),  s.colour(Key::MapPointAnt),    s.colour(Key::MapPointMount),
               s.colour(Key::MapPointNone)};
    return o;
}

void drawPointSymbol(Canvas& c, char type, int x, int y, uint32_t rgb)
{
    switch (type) {
    case '1':
        drawRuns(c, kVorDme, x, y, rgb);
        break;
    case '2':
        drawRuns(c, kVortac, x, y, rgb);
        break;
    case '3':
        c.ellipse(x - 2, y - 2, x + 3, y + 3, rgb);
        c.ellipse(x - 4, y - 4, x + 5, y + 5, rgb);
        c.pixel(x, y, rgb);
        break;
    case '4':
        drawRuns(c, kWaypoint, x, y, rgb);
        break;
    case '5':
        drawRuns(c, kAirport, x, y, rgb);
        break;
    case '6':
        drawRuns(c, kHome, x, y, rgb);
        break;
    case '7':
        drawRuns(c, kBeacon, x, y, rgb);
        break;
    case '8':
        drawRuns(c, kAntenna, x, y, rgb);
        break;
    case '9':
        drawRuns(c, kMountain, x, y, rgb);
        break;
    default:
        break;
    }
}

MapData::Stamp MapData::stampOf(const QString& path)
{
    Stamp stamp;
    stamp.path = path;
    const QFileInfo info(path);
    if (info.exists()) {
        stamp.size = info.size();
        stamp.modifiedMs = info.lastModified().toMSecsSinceEpoch();
    }
    stamp.read = true;
    return stamp;
}

bool MapData::refresh(const MapFilePaths& files)
{
    bool reread = false;
    const Stamp coast = stampOf(files.coastline);
    if (!(coast == m_stamps[0])) {
        m_coast.clear();
        m_status.coastline = readCoastline(files.coastline, [this](const CoastSegment& s) { m_coast.push_back(s); });
        m_stamps[0] = coast;
        reread = true;
    }
    const Stamp airways = stampOf(files.airways);
    if (!(airways == m_stamps[1])) {
        m_airways.clear();
        m_status.airways = readAirways(files.airways, [this](const AirwaySegment& s) { m_airways.push_back(s); });
        m_stamps[1] = airways;
        reread = true;
    }
    const Stamp navaids = stampOf(files.navaids);
    if (!(navaids == m_stamps[2])) {
        m_points.clear();
        m_names.clear();
        m_status.navaids = readNavPoints(files.navaids, [this](const NavPoint& p) {
            m_points.push_back(
                {p.type, p.lat, p.lon, static_cast<uint32_t>(m_names.size()), static_cast<uint32_t>(p.name.size())});
            m_names.append(p.name);
        });
        m_stamps[2] = navaids;
        reread = true;
    }
    return reread;
}

BackgroundStatus renderBackground(QImage& image, const MapView& view, const BackgroundOptions& o,
                                  const MapFilePaths& files, const AirportNameLookup& airportName)
{
    MapData data;
    data.refresh(files);
    return renderBackground(image, view, o, data, airportName);
}

BackgroundStatus renderBackground(QImage& image, const MapView& view, const BackgroundOptions& o, const MapData& data,
                                  const AirportNameLookup& airportName)
{
    Canvas canvas(image, o.textMasks);
    canvas.fill(rgbOf(o.back));

    const QRgb coast = rgbOf(o.coast);
    for (const CoastSegment& s : data.coastline()) {
        const ProjectedPoint a = view.project(s.lat0, s.lon0);
        if (!view.isDrawable(a.x, a.y))
            continue;
        const ProjectedPoint b = view.projectSegmentEnd(s.lat1, s.lon1, a.wrap);
        canvas.line(a.x, a.y, b.x, b.y, coast);
    }

    const QRgb vor = rgbOf(o.airwayVor), ndb = rgbOf(o.airwayNdb), nav = rgbOf(o.airwayNav);
    for (const AirwaySegment& s : data.airways()) {
        QRgb colour = 0;
        if (s.kind == '1' && o.lineVor)
            colour = vor;
        else if (s.kind == '2' && o.lineNdb)
            colour = ndb;
        else if (s.kind == '3' && o.lineNav)
            colour = nav;
        else
            continue;
        const ProjectedPoint a = view.project(s.lat0, s.lon0);
        if (!view.isDrawable(a.x, a.y))
            continue;
        const ProjectedPoint b = view.projectSegmentEnd(s.lat1, s.lon1, a.wrap);
        canvas.line(a.x, a.y, b.x, b.y, colour, Pen::Dotted);
    }

    canvas.setTextPointSize(8);
    std::string name;
    const std::vector<MapData::Point>& points = data.points();
    std::vector<size_t> order(points.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::optional<LabelSpace> space;
    if (o.declutter) {
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return labelRank(points[a].type) < labelRank(points[b].type); });
        space.emplace(image.width(), image.height());
    }
    for (const size_t index : order) {
        const MapData::Point& p = points[index];
        const ProjectedPoint a = view.project(p.lat, p.lon);
        if (!view.isDrawable(a.x, a.y))
            continue;
        const bool shown = (p.type == '1' && o.dispVor) || (p.type == '2' && o.dispTac) || (p.type == '3' && o.dispNdb)
                           || (p.type == '4' && o.dispWpt) || (p.type == '5' && o.dispApt)
                           || (p.type >= '6' && p.type <= '9') || p.type == '0';
        if (!shown)
            continue;
        const QRgb colour = rgbOf(o.point[static_cast<size_t>(pointIndex(p.type))]);
        drawPointSymbol(canvas, p.type, a.x, a.y, colour);
        const LabelOffset at = labelOffset(p.type);
        if (p.type == '5' && o.airportNames && airportName)
            name = airportName(data.name(p));
        else
            name.assign(data.name(p));
        if (space && !space->take(canvas.textRect(a.x + at.dx, a.y + at.dy, name).adjusted(-2, -1, 2, 1)))
            continue;
        canvas.text(a.x + at.dx, a.y + at.dy, name, colour);
    }
    return data.status();
}

} // namespace varnesk
