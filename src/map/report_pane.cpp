// Row colours: while an aircraft is selected the shown rows are inverted; the
// aircraft reported last is highlighted; an operator in the colour table
// brings its own three colours and fills every row with its background.
#include "map/report_pane.h"

#include "map/canvas.h"
#include "settings/settings_store.h"
#include "tracking/track_store.h"

#include <algorithm>
#include <cstdio>

namespace varnesk {

namespace {

struct RowColours {
    bool fill;
    QRgb fillColour;
    QRgb text;
};

RowColours rowColours(const AircraftEntry& e, const ReportPaneOptions& o, bool hasSelection)
{
    uint32_t n = o.on, h = o.markUp, b = o.back;
    bool op = false;
    const std::string_view code = e.operatorCode();
    if (code.size() == 2 && code != kOperatorDefaultText)
        for (const ReportPaneOptions::Operator& entry : o.operators)
            if (entry.code == code) {
                n = entry.normal;
                h = entry.highlight;
                b = entry.back;
                op = true;
                break;
            }
    const bool newest = e.age == 0;
    const uint32_t lit = newest ? h : n;
    // Inverted: filled with the row's own colour, text in the background colour.
    const bool inverted = hasSelection == e.shown;
    if (inverted)
        return {true, rgbOf(lit), rgbOf(b)};
    return {op, rgbOf(b), rgbOf(lit)};
}

void trendMark(Canvas& c, int trend, int y, QRgb colour)
{
    switch (trend) {
    case kTrendFirst:
        c.line(67, y + 5, 67, y + 10, colour);
        c.line(67, y + 5, 70, y + 8, colour);
        c.line(70, y + 5, 70, y + 10, colour);
        break;
    case kTrendLevel:
        for (int i = 0; i < 3; ++i)
            c.line(68 + i, y + 5 + i, 68 + i, y + 10 - i, colour);
        break;
    case kTrendDescending:
        for (int i = 0; i < 3; ++i)
            c.line(67 + i, y + 6 + i, 72 - i, y + 6 + i, colour);
        break;
    case kTrendClimbing:
        for (int i = 0; i < 3; ++i)
            c.line(69 - i, y + 6 + i, 70 + i, y + 6 + i, colour);
        break;
    default:
        break;
    }
}

} // namespace

ReportPaneOptions ReportPaneOptions::fromSettings(const SettingsStore& s)
{
    ReportPaneOptions o;
    o.back = s.colour(Key::BackColor);
    o.on = s.colour(Key::OnColor);
    o.sub = s.colour(Key::SubColor);
    o.markUp = s.colour(Key::MarkUpColor);
    for (int i = 0; i < kOperatorRows && i < static_cast<int>(o.operators.size()); ++i) {
        const OperatorRow& row = s.operatorRow(i);
        o.operators[static_cast<size_t>(i)] = {row.text, row.colours[4], row.colours[5], row.colours[6]};
    }
    o.showRegistration = s.boolean(Key::ShowRegNo);
    return o;
}

int reportRowsPerPage(int surfaceHeight)
{
    return (surfaceHeight - 32) / kReportRowPx;
}

int reportPageCount(int count, int rowsPerPage)
{
    if (count <= 0 || rowsPerPage <= 0)
        return 1;
    return count / rowsPerPage + (count % rowsPerPage != 0 ? 1 : 0);
}

void drawReportPane(QImage& surface, ReportPaneState& state, std::span<const AircraftEntry> aircraft,
                    const ReportPaneOptions& o, bool hasSelection)
{
    Canvas c(surface, o.textMasks);
    const int width = c.width();
    const int rows = std::max(reportRowsPerPage(c.height()), 1);
    const int count = static_cast<int>(aircraft.size());
    const QRgb on = rgbOf(o.on), sub = rgbOf(o.sub);
    c.fill(rgbOf(o.back));
    c.setTextPointSize(9);
    c.text(18, 5, o.showRegistration ? "Reg.No." : "Flight", on);
    c.text(75, 5, "ALT", on);
    c.text(115, 5, "TMP", on);
    c.text(145, 5, "WIND", on);
    c.line(0, 19, width, 19, sub);

    int last = std::min(state.page * rows, count);
    int first = rows * (state.page - 1);
    if (last - first < 0) {
        first = 0;
        state.page = 1;
        last = std::min(rows, count);
    }
    state.first = first;

    if (rows * state.page < count)
        for (int i = 0; i < 7; ++i)
            c.line(190 + i, 15 - i, 190 + i, 2 + i, on);
    if (state.page > 1)
        for (int i = 0; i < 7; ++i)
            c.line(10 - i, 3 + i, 10 - i, 16 - i, on);

    char text[32];
    for (int r = 0; r < last - first; ++r) {
        const AircraftEntry& e = aircraft[static_cast<size_t>(first + r)];
        const int y = kReportFirstRowY + kReportRowPx * r;
        const RowColours colours = rowColours(e, o, hasSelection);
        if (colours.fill)
            c.fillRect(0, y, width, y + 11, colours.fillColour);
        c.text(18, y, o.showRegistration ? e.registration.view() : e.flight.view(), colours.text);
        const PlotPoint* newest = e.points.empty() ? nullptr : &e.newest();
        if (newest && newest->altitude < kReportNoAltitude)
            std::snprintf(text, sizeof text, "%5d", newest->altitude);
        else
            std::snprintf(text, sizeof text, "-----");
        c.text(75, y, text, colours.text);
        if (newest && newest->temperature < kNoTemperature)
            std::snprintf(text, sizeof text, "%3d", newest->temperature);
        else
            std::snprintf(text, sizeof text, "---");
        c.text(115, y, text, colours.text);
        if (newest && newest->windDirection <= kMaxKnownDirection)
            std::snprintf(text, sizeof text, "%3d/%3d", newest->windDirection, newest->windSpeed);
        else
            std::snprintf(text, sizeof text, "---/---");
        c.text(145, y, text, colours.text);
        trendMark(c, e.trend, y, colours.text);
        c.line(0, y + 11, width, y + 11, sub);
    }
    std::snprintf(text, sizeof text, "%d/%d   %3d", state.page, reportPageCount(count, rows), count);
    c.text(17, kReportFirstRowY + kReportRowPx * (last - first), std::string(text) + " aircraft displayed", on);
}

ReportRelease reportPaneRelease(ReportPaneState& state, int count, int rows, bool leftButton, int x, int y)
{
    if (x < 20 && y < 20 && state.page > 1) {
        --state.page;
        return {ReportRelease::Kind::PageTurned, -1};
    }
    if (x > 180 && y < 20 && rows * state.page < count) {
        ++state.page;
        return {ReportRelease::Kind::PageTurned, -1};
    }
    if (y <= kReportFirstRowY || !leftButton)
        return {};
    const int index = rows * (state.page - 1) + (y - kReportFirstRowY) / kReportRowPx;
    if (index >= count)
        return {};
    return {ReportRelease::Kind::Row, index};
}

} // namespace varnesk
