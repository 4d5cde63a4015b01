// The panes and the selection without windows: layout constants, lamp
// places, the report pane's pages, arrows, rows and clicks, the altitude
// pane's plots, the selection rules and hit test, saving the map picture,
// the map files kept in memory and text drawn from masks.
#include "map/aircraft_layer.h"
#include "map/background_renderer.h"
#include "map/canvas.h"
#include "map/map_picture_file.h"
#include "map/map_selection.h"
#include "map/map_view.h"
#include "map/pane_layout.h"
#include "map/report_pane.h"
#include "map_test_env.h"
#include "tracking/track_store.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace varnesk {
namespace {

// A small fleet: aircraft i has one fix at (lat, lon, altitude) each.
struct Fleet {
    std::deque<std::vector<PlotPoint>> points;
    std::vector<AircraftEntry> entries;

    void add(const char* flight, double lat, double lon, int altitude = 30000, int age = 1)
    {
        points.emplace_back(1);
        PlotPoint& p = points.back()[0];
        p.latitude = lat;
        p.longitude = lon;
        p.altitude = altitude;
        AircraftEntry e;
        e.points = std::span<PlotPoint>(points.back());
        e.newestPoint = 0;
        e.flight.assign(flight);
        e.registration.assign("JA8089");
        e.labelTwoLetter.assign(flight);
        e.age = age;
        entries.push_back(e);
    }
    std::span<AircraftEntry> span() { return entries; }
};

MapView testView()
{
    MapView v;
    v.centreLat = 36.5;
    v.centreLon = 139.0;
    v.scale = 10;
    v.width = 800;
    v.height = 400;
    return v;
}

TEST(PaneLayout, EveryCombinationOfPanes)
{
    struct Case {
        PaneSwitches shown;
        QRect map, report, modem, altitude;
    };
    const int cw = 1000, ch = 700;
    const Case cases[] = {
        {{true, true, true}, {0, 30, 796, 468}, {796, 81, 204, 619}, {796, 30, 202, 50}, {0, 498, 796, 202}},
        {{true, true, false}, {0, 30, 796, 468}, {796, 30, 204, 670}, {}, {0, 498, 796, 202}},
        {{false, true, true}, {0, 30, 1000, 468}, {}, {796, 30, 202, 50}, {0, 498, 1000, 202}},
        {{true, false, true}, {0, 30, 796, 670}, {796, 81, 204, 619}, {796, 30, 202, 50}, {}},
        {{false, false, false}, {0, 30, 1000, 670}, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.shown.report << c.shown.altitude << c.shown.modem);
        const PaneLayout l = layoutPanes(cw, ch, c.shown);
        EXPECT_EQ(l.toolBar, QRect(2, 1, 996, 28));
        EXPECT_EQ(l.map, c.map);
        EXPECT_EQ(l.report, c.report);
        EXPECT_EQ(l.modem, c.modem);
        EXPECT_EQ(l.altitude, c.altitude);
    }
    EXPECT_EQ(paneSurface(QRect(796, 81, 204, 619)), QRect(798, 83, 200, 615));
}

TEST(PaneLayout, LampPlaces)
{
    const int cw = 1000;
    const LampPlacement server = placeLamps(cw, true, true, false, 0);
    EXPECT_EQ(server.leftSignal.shown, false);
    EXPECT_EQ(server.net.left, 986);
    EXPECT_FALSE(server.net.shown.has_value());
    EXPECT_EQ(server.logoLeft, 913);
    const LampPlacement one = placeLamps(cw, true, false, true, 1);
    EXPECT_EQ(one.leftSignal.left, 986);
    EXPECT_EQ(one.net.left, 978);
    EXPECT_EQ(one.rightSignal.shown, false);
    EXPECT_EQ(one.logoLeft, 906);
    const LampPlacement two = placeLamps(cw, true, true, true, 2);
    EXPECT_EQ(two.leftSignal.left, 978);
    EXPECT_EQ(two.rightSignal.left, 986);
    EXPECT_EQ(two.net.left, 970);
    EXPECT_EQ(two.logoLeft, 899);
    EXPECT_EQ(placeLamps(cw, false, false, true, 1).net.shown, false);
    EXPECT_EQ(placeLamps(cw, false, false, true, 1).logoLeft, 914);
    EXPECT_EQ(placeLamps(cw, false, false, true, 2).leftSignal.left, 978);
    EXPECT_EQ(placeLamps(cw, false, false, true, 2).logoLeft, 906);
}

constexpr uint32_t kOn = 0x00F0F0, kBack = 0x100000, kSub = 0x0000F0, kMark = 0xF0F0F0;

ReportPaneOptions reportOptions()
{
    ReportPaneOptions o;
    o.on = kOn;
    o.back = kBack;
    o.sub = kSub;
    o.markUp = kMark;
    return o;
}

bool pixelIs(const QImage& img, int x, int y, uint32_t settingsColour)
{
    return (img.pixel(x, y) & 0xFFFFFFu) == (rgbOf(settingsColour) & 0xFFFFFFu);
}

TEST(ReportPane, PagesArrowsAndClicks)
{
    EXPECT_EQ(reportRowsPerPage(400), 30);
    EXPECT_EQ(reportPageCount(65, 30), 3);
    EXPECT_EQ(reportPageCount(30, 30), 1);
    EXPECT_EQ(reportPageCount(0, 30), 1);

    Fleet fleet;
    for (int i = 0; i < 65; ++i)
        fleet.add("JL0001", 35.0, 139.0);
    QImage pane(200, 400, QImage::Format_RGB32);
    ReportPaneState state;
    drawReportPane(pane, state, fleet.entries, reportOptions(), false);
    EXPECT_TRUE(pixelIs(pane, 190, 15, kOn)); // right arrow: more pages
    EXPECT_TRUE(pixelIs(pane, 196, 9, kOn));
    EXPECT_FALSE(pixelIs(pane, 10, 10, kOn)); // no left arrow on page 1
    EXPECT_TRUE(pixelIs(pane, 0, 19, kSub));
    EXPECT_TRUE(pixelIs(pane, 100, 20 + 12 * 29 + 11, kSub)); // the last row's rule

    // The top-right corner turns to the next page; at the last page it goes on to a row test.
    EXPECT_EQ(reportPaneRelease(state, 65, 30, true, 185, 5).kind, ReportRelease::Kind::PageTurned);
    EXPECT_EQ(state.page, 2);
    const ReportRelease row = reportPaneRelease(state, 65, 30, true, 50, 20 + 2 * 12 + 3);
    EXPECT_EQ(row.kind, ReportRelease::Kind::Row);
    EXPECT_EQ(row.aircraft, 32); // third row of page 2
    EXPECT_EQ(reportPaneRelease(state, 65, 30, false, 50, 40).kind, ReportRelease::Kind::None);
    EXPECT_EQ(reportPaneRelease(state, 65, 30, true, 50, 20).kind, ReportRelease::Kind::None);
    reportPaneRelease(state, 65, 30, true, 185, 5);
    EXPECT_EQ(state.page, 3);
    EXPECT_EQ(reportPaneRelease(state, 65, 30, true, 185, 5).kind, ReportRelease::Kind::None);
    EXPECT_EQ(reportPaneRelease(state, 65, 30, true, 50, 20 + 5 * 12).kind, ReportRelease::Kind::None); // past 64

    drawReportPane(pane, state, fleet.entries, reportOptions(), false);
    EXPECT_EQ(state.first, 60);
    EXPECT_TRUE(pixelIs(pane, 10, 10, kOn)); // left arrow
    EXPECT_FALSE(pixelIs(pane, 190, 15, kOn));
    EXPECT_TRUE(pixelIs(pane, 100, 20 + 12 * 4 + 11, kSub)); // five rows: 60 … 64
    EXPECT_FALSE(pixelIs(pane, 100, 20 + 12 * 5 + 11, kSub));

    // The aircraft went: the page falls back to 1.
    fleet.entries.resize(30);
    drawReportPane(pane, state, fleet.entries, reportOptions(), false);
    EXPECT_EQ(state.page, 1);
    EXPECT_FALSE(pixelIs(pane, 190, 15, kOn)); // exactly one page: no arrow
    EXPECT_EQ(reportPaneRelease(state, 30, 30, true, 185, 5).kind, ReportRelease::Kind::None);
}

TEST(ReportPane, RowColoursInvertWhileSelected)
{
    Fleet fleet;
    fleet.add("JL0001", 35.0, 139.0, 30000, 1);
    fleet.add("JL0002", 35.0, 139.0, 30000, 0); // reported last
    fleet.add("JL0003", 35.0, 139.0, 30000, 1);
    fleet.entries[2].shown = false;
    QImage pane(200, 100, QImage::Format_RGB32);
    ReportPaneState state;
    auto fillOf = [&](int row) { return pane.pixel(2, 20 + 12 * row + 5) & 0xFFFFFFu; };
    const uint32_t back = rgbOf(kBack) & 0xFFFFFFu;
    drawReportPane(pane, state, fleet.entries, reportOptions(), false);
    EXPECT_EQ(fillOf(0), back);
    EXPECT_EQ(fillOf(1), back);
    EXPECT_EQ(fillOf(2), rgbOf(kOn) & 0xFFFFFFu); // not shown without a selection: filled

    drawReportPane(pane, state, fleet.entries, reportOptions(), true);
    EXPECT_EQ(fillOf(0), rgbOf(kOn) & 0xFFFFFFu);   // shown rows inverted
    EXPECT_EQ(fillOf(1), rgbOf(kMark) & 0xFFFFFFu); // the newest in the highlight colour
    EXPECT_EQ(fillOf(2), back);

    // An operator of the colour table brings its own colours and its background fill.
    ReportPaneOptions o = reportOptions();
    o.operators[0] = {"JL", 0x0000A0, 0x00A000, 0xA00000};
    drawReportPane(pane, state, fleet.entries, o, false);
    EXPECT_EQ(fillOf(0), rgbOf(0xA00000) & 0xFFFFFFu);
}

TEST(AltitudePane, PlotsNeedAKnownAltitudeAndAPlaceOnTheMap)
{
    const MapView view = testView();
    Fleet fleet;
    fleet.add("JL0001", 36.5, 135.0, 25000); // x 360
    fleet.add("JL0002", 36.5, 140.0, 80000); // x 410: no altitude
    fleet.add("JL0003", 60.0, 145.0, 25000); // x 460, above the map's top edge
    AircraftLayerOptions o;
    o.plotType = 0;
    o.defaults.head = 0x0000F0;
    QImage pane(800, 198, QImage::Format_RGB32);
    drawAltitudePane(pane, view, fleet.entries, o, 0x000000, 0x808080);
    const int y = altitudePaneY(25000);
    EXPECT_EQ(y, 100);
    auto headAround = [&](int x) { return test::countColourIn(pane, rgbOf(0x0000F0), x - 3, y - 3, x + 4, y + 4); };
    EXPECT_GT(headAround(360), 0);
    EXPECT_EQ(headAround(410), 0);
    EXPECT_EQ(test::countColourIn(pane, rgbOf(0x0000F0), 409, 0, 520, 198), 0);
    EXPECT_EQ(headAround(460), 0);
    EXPECT_TRUE(pixelIs(pane, 0, 40, 0x808080)); // the dotted 40000 ft line
}

TEST(Selection, ClicksAndCtrlClicks)
{
    Fleet fleet;
    for (const char* f : {"JL0001", "JL0002", "JL0003"})
        fleet.add(f, 35.0, 139.0);
    auto shown = [&] {
        std::vector<bool> s;
        for (const AircraftEntry& e : fleet.entries)
            s.push_back(e.shown);
        return s;
    };
    MapSelection sel;
    // Ctrl as the very first click: only the clicked aircraft.
    sel.ctrl = true;
    updateShownFlags(sel, fleet.span(), 1);
    EXPECT_EQ(shown(), (std::vector<bool>{false, true, false}));
    EXPECT_TRUE(sel.manualExclusive);
    // Ctrl on a second aircraft shows both; again on either hides it.
    sel.ctrl = true;
    updateShownFlags(sel, fleet.span(), 2);
    EXPECT_EQ(shown(), (std::vector<bool>{false, true, true}));
    EXPECT_FALSE(sel.ctrl); // the toggle clears the modifiers
    sel.ctrl = true;
    updateShownFlags(sel, fleet.span(), 1);
    EXPECT_EQ(shown(), (std::vector<bool>{false, false, true}));
    // A plain click, twice on the same aircraft: it alone is shown.
    for (int i = 0; i < 2; ++i) {
        updateShownFlags(sel, fleet.span(), 0);
        EXPECT_EQ(shown(), (std::vector<bool>{true, false, false}));
    }
    // Keep-selection and page-turned redraws change nothing and are used up.
    sel.keepSelection = true;
    updateShownFlags(sel, fleet.span(), 2);
    EXPECT_EQ(shown(), (std::vector<bool>{true, false, false}));
    EXPECT_FALSE(sel.keepSelection);
    sel.pageTurned = true;
    updateShownFlags(sel, fleet.span(), 2);
    EXPECT_EQ(shown(), (std::vector<bool>{true, false, false}));
    // −1: everything.
    updateShownFlags(sel, fleet.span(), -1);
    EXPECT_EQ(shown(), (std::vector<bool>{true, true, true}));
    EXPECT_FALSE(sel.manualExclusive);
}

TEST(Selection, AutoSelectFollowsNewReports)
{
    Fleet fleet;
    for (const char* f : {"JL0001", "JL0002", "JL0003"})
        fleet.add(f, 35.0, 139.0);
    MapSelection sel;
    sel.autoSelectDown = true;
    updateShownFlags(sel, fleet.span(), 0); // the button pressed
    EXPECT_TRUE(fleet.entries[0].shown && !fleet.entries[1].shown && !fleet.entries[2].shown);
    EXPECT_EQ(sel.lastAutoSelected, 0);
    EXPECT_TRUE(sel.autoExclusive);
    // A Ctrl-click adds aircraft 2; a new report of aircraft 1 takes the
    // place of the last auto-selected, whose flag returns to what it was.
    sel.ctrl = true;
    updateShownFlags(sel, fleet.span(), 2);
    EXPECT_TRUE(fleet.entries[2].shown);
    sel.newReport = true;
    sel.keepSelection = true;
    updateShownFlags(sel, fleet.span(), 1);
    EXPECT_FALSE(sel.newReport);
    EXPECT_TRUE(sel.keepSelection); // the new report came first
    EXPECT_EQ(sel.lastAutoSelected, 1);
    EXPECT_FALSE(fleet.entries[0].shown); // its saved flag (false before the button forced it)
    EXPECT_TRUE(fleet.entries[1].shown);
    EXPECT_TRUE(fleet.entries[2].shown);
}

TEST(Selection, HitTestRadiusAndTies)
{
    const MapView view = testView();
    Fleet fleet;
    fleet.add("JL0001", 36.5, 140.0); // x 410, y 200
    fleet.add("JL0002", 36.5, 140.0); // the same pixel
    fleet.add("JL0003", 36.5, 142.0); // x 430
    const ProjectedPoint p = view.project(36.5, 140.0);
    EXPECT_EQ(hitTestMap(fleet.entries, view, p.x, p.y).aircraft, 0); // the lower index wins
    EXPECT_EQ(hitTestMap(fleet.entries, view, p.x + 4, p.y - 4).aircraft, 0);
    EXPECT_FALSE(hitTestMap(fleet.entries, view, p.x + 5, p.y).found());
    EXPECT_FALSE(hitTestMap(fleet.entries, view, p.x, p.y - 5).found());
    const ProjectedPoint q = view.project(36.5, 142.0);
    EXPECT_EQ(hitTestMap(fleet.entries, view, q.x - 4, q.y).aircraft, 2);
    fleet.entries[0].shown = false; // shown flags are not consulted
    EXPECT_EQ(hitTestMap(fleet.entries, view, p.x, p.y).aircraft, 0);
    // The altitude pane: map x, altitude y.
    const PlotHit alt = hitTestAltitudePane(fleet.entries, view, q.x, altitudePaneY(30000) + 4);
    EXPECT_EQ(alt.aircraft, 2);
    EXPECT_EQ(alt.plot, 0);
}

TEST(Selection, RemovalMovesTheIndices)
{
    MapSelection sel;
    sel.hasSelection = true;
    sel.selected = 3;
    sel.autoSelectDown = true;
    sel.lastAutoSelected = 3;
    selectionAfterRemoval(sel, 1, 4);
    EXPECT_EQ(sel.selected, 2);
    EXPECT_EQ(sel.lastAutoSelected, 2);
    EXPECT_TRUE(sel.keepSelection);
    sel.savedShown = true;
    selectionAfterRemoval(sel, 2, 2); // the selected and auto-selected aircraft itself
    EXPECT_EQ(sel.lastAutoSelected, -1);
    EXPECT_FALSE(sel.savedShown);
    EXPECT_EQ(sel.selected, 1); // the new last aircraft
    EXPECT_TRUE(sel.hasSelection);
    selectionAfterRemoval(sel, 0, 0);
    EXPECT_EQ(sel.selected, 0);
    EXPECT_FALSE(sel.hasSelection);
}

TEST(MapPictureFile, FormatFollowsTheExtension)
{
    EXPECT_EQ(mapPictureFileName(QStringLiteral("/x/map")), QStringLiteral("/x/map.bmp"));
    EXPECT_EQ(mapPictureFileName(QStringLiteral("/x/map.png")), QStringLiteral("/x/map.png"));
    QTemporaryDir dir;
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(QColor(10, 200, 30));
    struct Case {
        const char* name;
        QByteArray magic;
    };
    for (const Case& c :
         {Case{"m.bmp", "BM"}, Case{"m.png", "\x89PNG"}, Case{"m.jpg", "\xFF\xD8\xFF"}, Case{"m.BMP", "BM"}}) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QLatin1String(c.name));
        QString reason;
        ASSERT_TRUE(writeMapPicture(picture, path, reason)) << reason.toStdString();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.read(c.magic.size()) == c.magic);
        EXPECT_EQ(QImage(path).size(), QSize(40, 30));
    }
    // Unknown formats and unwritable places fail with a reason; an existing file stays.
    const QString existing = dir.filePath(QStringLiteral("m.png"));
    const QByteArray before = [&] {
        QFile f(existing);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    QString reason;
    EXPECT_FALSE(writeMapPicture(picture, dir.filePath(QStringLiteral("m.xyz")), reason));
    EXPECT_TRUE(reason.contains(QStringLiteral("xyz")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("m.xyz"))));
    reason.clear();
    EXPECT_FALSE(writeMapPicture(picture, dir.filePath(QStringLiteral("no/such/m.png")), reason));
    EXPECT_FALSE(reason.isEmpty());
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST(MapData, ReadAgainOnlyWhenAFileChanged)
{
    const QString coast = test::writeTempFile("cache-coast.dat", "139.0\t35.0\n140.0\t36.0\n");
    const MapFilePaths files{coast, test::missingFile(), test::missingFile()};
    MapData data;
    EXPECT_TRUE(data.refresh(files));
    EXPECT_EQ(data.coastline().size(), 1u);
    EXPECT_FALSE(data.refresh(files));
    QFile f(coast);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("141.0\t37.0\n");
    f.close();
    EXPECT_TRUE(data.refresh(files));
    EXPECT_EQ(data.coastline().size(), 2u);
}

TEST(TextMasks, SamePixelsAsDrawingTheText)
{
    TextMasks masks;
    for (int size : {8, 9, 12}) {
        for (const char* text : {"JL0012", "FL350", "40000ft", "Reg.No.", "\x93\x8c\x8b\x9e RJTT"}) {
            SCOPED_TRACE(testing::Message() << size << " " << text);
            QImage direct(120, 40, QImage::Format_RGB32), masked(120, 40, QImage::Format_RGB32);
            direct.fill(0xFF000000u);
            masked.fill(0xFF000000u);
            for (int x : {-3, 7}) {
                {
                    Canvas c(direct);
                    c.setTextPointSize(size);
                    c.text(x, 5, text, 0xFF20C040u);
                }
                Canvas c(masked, &masks);
                c.setTextPointSize(size);
                c.text(x, 5, text, 0xFF20C040u);
            }
            EXPECT_EQ(direct, masked);
            EXPECT_GT(test::countColour(direct, 0xFF20C040u), 10);
        }
    }
}

} // namespace
} // namespace varnesk
