// Aircraft passes: P1 surround of the track (9 shifted copies), P2 shadow,
// P3 track, P4 surround of the head (9 copies), P5 head; then the data boxes
// of the selected aircraft. Coordinates in map pixels, angles in degrees.
#include "map/aircraft_layer.h"

#include "map/canvas.h"
#include "map/map_selection.h"
#include "settings/settings_store.h"
#include "tracking/track_store.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace varnesk {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kTickLengthPx = 8;

struct Offset {
    int x, y;
};
constexpr std::array<Offset, 9> kSurround = {
    {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1}, {0, 0}, {0, 1}, {1, -1}, {1, 0}, {1, 1}}};

// The head block's geometry, relative to the newest plot: the normal block
// and the shadow block of P2, which is shifted by one pixel except for the
// leader's start, the underline and the data-mode rule.
struct HeadGeometry {
    Offset tick, circleTopLeft, dot, leader0, leader1, label;
    int underlineX, underlineY;
    int levelDx, feetDx, annotationY;
    Offset route, type, rule0, rule1end, bar0, bar1;
};

constexpr HeadGeometry kNormalHead = {{0, 0}, {-2, -2}, {0, 0},  {4, 4},   {8, 8}, {10, -1}, 8,        8,       -20,
                                      -26,    9,        {17, 9}, {17, 19}, {8, 8}, {70, 8},  {12, 10}, {12, 27}};
constexpr HeadGeometry kShadowHead = {{1, 1}, {-1, -1}, {1, 1},   {4, 5},   {8, 9}, {11, 0}, 8,        9,       -19,
                                      -25,    10,       {18, 10}, {18, 20}, {8, 9}, {71, 9}, {13, 11}, {13, 28}};

struct Plotted {
    ProjectedPoint at;
};

class AircraftPainter {
public:
    AircraftPainter(Canvas& canvas, const MapView& view, const AircraftLayerOptions& o, bool altitudePane = false)
        : m_c(canvas), m_view(view), m_o(o), m_altitudePane(altitudePane)
    {
    }

    void drawPasses(const AircraftEntry& e)
    {
        const int n = newestIndex(e);
        const PlotColours& colours = coloursFor(e, m_o);
        const QRgb shadow = rgbOf(colours.shadow);
        const bool track = m_o.trackDisplay && n > 0;
        if (m_o.plotType == 2 && track)
            for (const Offset& s : kSurround)
                drawTrack(e, n, shadow, s.x - 2, s.y - 2, s.x, s.y);
        if (m_o.plotType == 1) {
            if (track)
                drawTrack(e, n, shadow, -1, -1, 1, 1);
            drawHead(e, n, shadow, kShadowHead, 0, 0, rgbOf(m_o.defaults.shadow));
        }
        if (track)
            drawTrack(e, n, rgbOf(colours.plot), -2, -2, 0, 0);
        if (m_o.plotType == 2)
            for (const Offset& s : kSurround)
                drawHead(e, n, shadow, kNormalHead, s.x, s.y, shadow);
        const QRgb head = rgbOf(e.age == 0 ? colours.highlight : colours.head);
        drawHead(e, n, head, kNormalHead, 0, 0, head);
    }

    void drawDataBox(const AircraftEntry& e, int p)
    {
        const PlotPoint& pt = e.points[static_cast<size_t>(p)];
        const ProjectedPoint at = m_view.project(pt.latitude, pt.longitude);
        const int x = at.x, y = at.y;
        const QRgb text = rgbOf(m_o.selText);
        m_c.fillRect(x + 10, y + 10, x + 95, y + 90, rgbOf(m_o.selBack));
        m_c.frameRect(x + 10, y + 10, x + 95, y + 90, text);
        m_c.text(x + 15, y + 15, m_o.showRegistration ? e.registration.view() : e.flight.view(), text);
        m_c.text(x + 20, y + 25, "TIME " + timeOfDayText(pt.time), text);
        m_c.text(x + 20, y + 35, degreesText(pt.latitude, 'N', 'S'), text);
        m_c.text(x + 20, y + 45, degreesText(pt.longitude, 'E', 'W'), text);
        m_c.text(x + 20, y + 55,
                 pt.altitude < kBoxNoAltitude ? "ALT  " + std::to_string(pt.altitude) + "ft"
                                              : std::string("ALT  -----ft"),
                 text);
        m_c.text(x + 20, y + 65,
                 pt.temperature < kMapNoTemperature ? "TEMP " + std::to_string(pt.temperature) + "C"
                                                    : std::string("TEMP ---C"),
                 text);
        char wind[32];
        if (pt.windDirection < kMapNoWindDirection)
            std::snprintf(wind, sizeof wind, "WIND %3d/%3d", pt.windDirection, pt.windSpeed);
        else
            std::snprintf(wind, sizeof wind, "WIND ---/---");
        m_c.text(x + 20, y + 75, wind, text);
    }

    int newestIndex(const AircraftEntry& e) const
    {
        int n = std::min(e.newestPoint, m_o.maxPlotData - 1);
        n = std::min(n, static_cast<int>(e.points.size()) - 1);
        return std::max(n, 0);
    }

private:
    // Circles around plots 0 … n − 1 (box from the plot + circle offset, 5
    // pixels), each followed by the line to the next plot (shifted by the line offset).
    void drawTrack(const AircraftEntry& e, int n, QRgb colour, int cx, int cy, int lx, int ly)
    {
        const Pen pen = m_o.dottedLines ? Pen::Dotted : Pen::Solid;
        for (int i = 0; i < n; ++i) {
            const PlotPoint& a = e.points[static_cast<size_t>(i)];
            const PlotPoint& b = e.points[static_cast<size_t>(i + 1)];
            ProjectedPoint pa = m_view.project(a.latitude, a.longitude);
            if (m_altitudePane) {
                if (!onAltitudePane(a, pa))
                    continue;
                pa.y = altitudePaneY(a.altitude);
            } else if (!mayTouch(pa)) {
                // A track far outside the map: the circle cannot show, the
                // segment only when its end lies on the other side.
                const ProjectedPoint pb = m_view.projectSegmentEnd(b.latitude, b.longitude, pa.wrap);
                m_c.line(pa.x + lx, pa.y + ly, pb.x + lx, pb.y + ly, colour, pen);
                continue;
            }
            ProjectedPoint pb = m_view.projectSegmentEnd(b.latitude, b.longitude, pa.wrap);
            m_c.ellipse(pa.x + cx, pa.y + cy, pa.x + cx + 5, pa.y + cy + 5, colour);
            if (m_altitudePane) {
                if (b.altitude >= kMapNoAltitude)
                    continue;
                pb.y = altitudePaneY(b.altitude);
            }
            m_c.line(pa.x + lx, pa.y + ly, pb.x + lx, pb.y + ly, colour, pen);
        }
    }

    void drawHead(const AircraftEntry& e, int n, QRgb colour, const HeadGeometry& g, int ox, int oy, QRgb circle)
    {
        const PlotPoint& p = e.points[static_cast<size_t>(n)];
        ProjectedPoint at = m_view.project(p.latitude, p.longitude);
        if (m_altitudePane) {
            if (!onAltitudePane(p, at))
                return;
            at.y = altitudePaneY(p.altitude);
        } else if (!mayTouch(at)) {
            return;
        }
        const int x = at.x + ox, y = at.y + oy;
        if (!m_altitudePane && p.heading <= kMapMaxHeading) {
            const double rad = p.heading * kPi / 180.0;
            const int tx = x + g.tick.x, ty = y + g.tick.y;
            m_c.line(tx, ty, tx + static_cast<int>(std::trunc(kTickLengthPx * std::sin(rad))),
                     ty - static_cast<int>(std::trunc(kTickLengthPx * std::cos(rad))), colour);
        }
        const int cl = x + g.circleTopLeft.x, ct = y + g.circleTopLeft.y;
        m_c.ellipse(cl, ct, cl + 5, ct + 5, circle);
        m_c.pixel(x + g.dot.x, y + g.dot.y, circle);
        m_c.line(x + g.leader0.x, y + g.leader0.y, x + g.leader1.x, y + g.leader1.y, colour);

        const std::string_view label = aircraftLabel(e, m_o);
        const int len = labelLength(label);
        m_c.text(x + g.label.x, y + g.label.y, label, colour);
        m_c.line(x + g.underlineX, y + g.underlineY, x + g.underlineX + len, y + g.underlineY, colour);

        switch (m_o.subDisplay) {
        case SubDisplay::FlightLevel: {
            const int a = p.altitude;
            if (a < kMapNoAltitude)
                m_c.text(x + len + (a > 9999 ? g.levelDx : g.feetDx), y + g.annotationY, flightLevelText(a), colour);
            break;
        }
        case SubDisplay::Time:
            m_c.text(x + len + g.levelDx, y + g.annotationY, e.lastTime.view(), colour);
            break;
        case SubDisplay::Data:
            m_c.text(x + g.route.x, y + g.route.y, m_o.airportNames ? e.routeNames.view() : e.routeCodes.view(),
                     colour);
            m_c.text(x + g.type.x, y + g.type.y, e.aircraftType.view(), colour);
            m_c.line(x + g.rule0.x, y + g.rule0.y, x + g.rule1end.x, y + g.rule1end.y, colour);
            m_c.line(x + g.bar0.x, y + g.bar0.y, x + g.bar1.x, y + g.bar1.y, colour);
            break;
        }
    }

    // On the altitude pane a plot is used when its altitude is known and its
    // map position lies within the map's height.
    bool onAltitudePane(const PlotPoint& p, const ProjectedPoint& map) const
    {
        return p.altitude < kMapNoAltitude && map.y >= 0 && map.y < m_view.height;
    }

    // Whether anything drawn around a plot at this pixel (circles, the head
    // block with its label, annotation and data lines) can reach the surface.
    bool mayTouch(const ProjectedPoint& at) const
    {
        // Texts run right from the plot: a route of two 62-byte airport
        // names is 760 pixels long; everything else stays within 100.
        constexpr int kTextReachPx = 800, kReachPx = 100;
        return at.x > -kTextReachPx && at.y > -kReachPx && at.x < m_c.width() + kReachPx
               && at.y < m_c.height() + kReachPx;
    }

    Canvas& m_c;
    const MapView& m_view;
    const AircraftLayerOptions& m_o;
    bool m_altitudePane = false;
};

} // namespace

AircraftLayerOptions AircraftLayerOptions::fromSettings(const SettingsStore& s)
{
    AircraftLayerOptions o;
    o.plotType = s.integer(Key::PlotType);
    o.dottedLines = s.boolean(Key::LineType);
    o.trackDisplay = s.boolean(Key::PlotDraw);
    o.showRegistration = s.boolean(Key::ShowRegNo);
    o.threeLetter = s.boolean(Key::ThreeLetter);
    o.zeroDelete = s.boolean(Key::ZeroDel);
    o.airportNames = s.boolean(Key::Japan);
    o.maxPlotData = std::max(1, s.integer(Key::MaxPlotData));
    const int mode = s.integer(Key::SubDisptype);
    o.subDisplay = mode == 1 ? SubDisplay::Time : mode == 2 ? SubDisplay::Data : SubDisplay::FlightLevel;
    o.defaults = {s.colour(Key::PlotOnColor), s.colour(Key::PlotOffColor), s.colour(Key::PlotMarkUpColor),
                  s.colour(Key::PlotBackColor)};
    o.selBack = s.colour(Key::SelBack);
    o.selText = s.colour(Key::SelText);
    for (int i = 0; i < kOperatorRows && i < static_cast<int>(o.operators.size()); ++i) {
        const OperatorRow& row = s.operatorRow(i);
        OperatorColours& op = o.operators[static_cast<size_t>(i)];
        op.code = row.text;
        op.colours = {row.colours[0], row.colours[1], row.colours[2], row.colours[3]};
    }
    return o;
}

std::string_view aircraftLabel(const AircraftEntry& e, const AircraftLayerOptions& o)
{
    if (o.showRegistration)
        return e.registration.view();
    if (o.threeLetter)
        return o.zeroDelete ? e.labelThreeLetterShort.view() : e.labelThreeLetter.view();
    return o.zeroDelete ? e.labelTwoLetterShort.view() : e.labelTwoLetter.view();
}

int labelLength(std::string_view label)
{
    return std::max(37, 6 * static_cast<int>(label.size()) + 1);
}

std::string flightLevelText(int a)
{
    if (a >= kMapNoAltitude)
        return {};
    if (a > 9999)
        return "FL" + std::to_string(static_cast<int>(std::trunc(a / 1000.0 + 0.5)) * 10);
    return std::to_string(a) + "ft";
}

std::string degreesText(double value, char positive, char negative)
{
    std::string out(1, value > 0 ? positive : negative);
    out += "    ";
    const double v = std::fabs(value);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    std::string digits(buf);
    if (digits.find('e') != std::string::npos) {
        // General text without an exponent: fixed digits, trailing zeros dropped.
        std::snprintf(buf, sizeof buf, "%.20f", v);
        digits = buf;
        while (digits.size() > 1 && digits.back() == '0')
            digits.pop_back();
        if (!digits.empty() && digits.back() == '.')
            digits.pop_back();
    }
    out += digits.substr(0, 7);
    return out;
}

std::string timeOfDayText(double fraction)
{
    constexpr int64_t kDayMs = 86400000;
    if (!std::isfinite(fraction))
        fraction = 0;
    int64_t ms = static_cast<int64_t>(std::llround(std::clamp(fraction - std::floor(fraction), 0.0, 1.0) * kDayMs));
    ms %= kDayMs;
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d:%02d", static_cast<int>(ms / 3600000), static_cast<int>(ms % 3600000 / 60000));
    return buf;
}

const PlotColours& coloursFor(const AircraftEntry& e, const AircraftLayerOptions& o)
{
    const std::string_view code = e.operatorCode();
    // An unused row keeps the code "--"; it must not claim aircraft whose
    // flight number is unknown ("-------"), which would then be drawn in the
    // unused row's black.
    if (code.size() == 2 && code != kOperatorDefaultText)
        for (const OperatorColours& op : o.operators)
            if (op.code == code)
                return op.colours;
    return o.defaults;
}

bool companyPasses(const AircraftEntry& e, const AircraftLayerOptions& o)
{
    return o.companyFilter.empty() || o.companyFilter == e.operatorCode();
}

void drawAircraft(QImage& layer, const MapView& view, std::span<const AircraftEntry> entries,
                  const AircraftLayerOptions& options, const DataBoxRequest& boxes)
{
    Canvas canvas(layer, options.textMasks);
    canvas.setTextPointSize(8);
    AircraftPainter painter(canvas, view, options);
    for (const AircraftEntry& e : entries)
        if (e.shown && companyPasses(e, options) && !e.points.empty())
            painter.drawPasses(e);

    const int s = boxes.selected;
    if (s < 0 || s >= static_cast<int>(entries.size()) || !options.trackDisplay)
        return;
    const AircraftEntry& e = entries[static_cast<size_t>(s)];
    if (!companyPasses(e, options) || e.points.empty() || !(boxes.shift || boxes.alt))
        return;
    const int n = painter.newestIndex(e);
    if (boxes.shift)
        for (int p = 0; p < n; ++p)
            painter.drawDataBox(e, p);
    if (boxes.alt && boxes.hitPlot >= 0 && boxes.hitPlot <= n)
        painter.drawDataBox(e, boxes.hitPlot);
}

} // namespace varnesk

namespace varnesk {

void drawAltitudePane(QImage& surface, const MapView& view, std::span<const AircraftEntry> entries,
                      const AircraftLayerOptions& options, uint32_t back, uint32_t scale)
{
    Canvas canvas(surface, options.textMasks);
    canvas.fill(rgbOf(back));
    canvas.setTextPointSize(9);
    const QRgb scaleColour = rgbOf(scale);
    for (int k = 0; k < 4; ++k) {
        canvas.line(0, 40 + 40 * k, canvas.width(), 40 + 40 * k, scaleColour, Pen::Dotted);
        canvas.text(5, 28 + 40 * k, std::to_string(40000 - 10000 * k) + "ft", scaleColour);
    }
    canvas.setTextPointSize(8);
    AircraftPainter painter(canvas, view, options, true);
    for (const AircraftEntry& e : entries)
        if (e.shown && companyPasses(e, options) && !e.points.empty())
            painter.drawPasses(e);
}

} // namespace varnesk
