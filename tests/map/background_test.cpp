// The background rebuild: symbols pixel by pixel, name positions, layer
// toggles, dotted airways, the drawable rule, airport names, the drawing
// guard, and the shipped map files at the default view.
#include "map/background_renderer.h"
#include "map/canvas.h"
#include "map/map_scene.h"
#include "map_test_env.h"
#include "settings/app_paths.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace varnesk {
namespace {

using test::countColour;
using test::countColourIn;
using test::writeTempFile;

MapView view800x400()
{
    MapView v;
    v.setScaleIndex(1); // 10 px/deg
    v.width = 800;
    v.height = 400;
    return v;
}

QImage render(const MapView& v, const BackgroundOptions& o, const QByteArray& coast, const QByteArray& airway,
              const QByteArray& nav, const AirportNameLookup& lookup = {})
{
    const MapFilePaths files{writeTempFile("bg-coast.dat", coast), writeTempFile("bg-airway.txt", airway),
                             writeTempFile("bg-nav.txt", nav)};
    QImage img(v.width, v.height, QImage::Format_RGB32);
    renderBackground(img, v, o, files, lookup);
    return img;
}

BackgroundOptions defaults()
{
    return BackgroundOptions::fromSettings(SettingsStore());
}

TEST(BackgroundTest, VorDmeAtTheCentreSetsItsFortyNinePixelsAndNameAtItsPlace)
{
    const BackgroundOptions o = defaults();
    const QImage img = render(view800x400(), o, "", "", "1,36.5,139.0,HME\n");
    const QRgb c = rgbOf(o.point[0]);
    EXPECT_EQ(c, rgbOf(SettingsStore().colour(Key::MapPointVORTAC)));
    const char* const rows[] = {"###########", "#..#...#..#", "#.#.....#.#", "##.......##", "#....#....#",
                                "##.......##", "#.#.....#.#", "#..#...#..#", "###########"};
    int symbol = 0;
    for (int dy = -4; dy <= 4; ++dy)
        for (int dx = -5; dx <= 5; ++dx) {
            const bool want = rows[dy + 4][dx + 5] == '#';
            symbol += want;
            EXPECT_EQ((img.pixel(400 + dx, 200 + dy) & 0xFFFFFFu) == (c & 0xFFFFFFu), want) << dx << "," << dy;
        }
    EXPECT_EQ(symbol, 49);
    // The name starts at (375, 195): nothing of it left of x 375 or above y 195.
    EXPECT_GT(countColourIn(img, c, 375, 195, 394, 210), 10);
    EXPECT_EQ(countColourIn(img, c, 360, 180, 375, 220), 0);
    EXPECT_EQ(countColourIn(img, c, 360, 180, 395, 195), 0);
    EXPECT_GT(countColourIn(img, c, 375, 195, 378, 210), 0); // "H" begins in the first columns
}

TEST(BackgroundTest, SymbolsOfEveryTypeMatchTheirPixelCounts)
{
    const BackgroundOptions o = defaults();
    struct Case {
        char type;
        int pixels;
    };
    // Pixel counts of the symbol tables; the NDB is two circles and a dot.
    const Case cases[] = {{'1', 49}, {'2', 42}, {'4', 12}, {'5', 27}, {'6', 27},
                          {'7', 15}, {'8', 18}, {'9', 20}, {'0', 0}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.type);
        MapView v = view800x400();
        QByteArray nav;
        nav.append(k.type).append(",36.5,139.0,\n"); // an empty name: the symbol alone
        const QImage img = render(v, o, "", "", nav);
        const QRgb c = rgbOf(o.point[k.type == '0' ? 9 : k.type - '1']);
        EXPECT_EQ(countColourIn(img, c, 390, 190, 410, 210), k.pixels);
    }
    const QImage ndb = render(view800x400(), o, "", "", "3,36.5,139.0,\n");
    const QRgb c = rgbOf(o.point[2]);
    EXPECT_EQ((ndb.pixel(400, 200) & 0xFFFFFFu), c & 0xFFFFFFu);
    EXPECT_EQ((ndb.pixel(400, 198) & 0xFFFFFFu), c & 0xFFFFFFu); // inner circle top
    EXPECT_EQ((ndb.pixel(400, 196) & 0xFFFFFFu), c & 0xFFFFFFu); // outer circle top
    EXPECT_EQ((ndb.pixel(400, 199) & 0xFFFFFFu), 0u);
}

TEST(BackgroundTest, WithAllTogglesUpOnlyFillCoastAndUntoggledPointsRemain)
{
    BackgroundOptions o = defaults();
    o.dispVor = o.dispTac = o.dispNdb = o.dispWpt = o.dispApt = false;
    o.lineVor = o.lineNdb = o.lineNav = false;
    o.back = 0x202020;
    const QByteArray nav = "1,36.0,135.0,A\n2,36.0,136.0,B\n3,36.0,137.0,C\n4,36.0,138.0,D\n5,36.0,139.0,E\n"
                           "6,35.0,135.0,F\n7,35.0,136.0,G\n8,35.0,137.0,H\n9,35.0,138.0,I\n0,35.0,139.0,J\n";
    const QByteArray airway = "1,37.0,135.0\n1,37.0,139.0\n2,37.5,135.0\n2,37.5,139.0\n3,38.0,135.0\n3,38.0,139.0\n";
    const QImage img = render(view800x400(), o, "135.0\t34.0\n139.0\t34.0\n", airway, nav);
    EXPECT_GT(countColour(img, rgbOf(o.coast)), 30);
    for (uint32_t gone :
         {o.airwayVor, o.airwayNdb, o.airwayNav, o.point[0], o.point[1], o.point[2], o.point[3], o.point[4]})
        EXPECT_EQ(countColour(img, rgbOf(gone)), 0) << std::hex << gone;
    for (size_t i = 5; i < 10; ++i)
        EXPECT_GT(countColour(img, rgbOf(o.point[i])), 0) << i;

    o.dispVor = o.dispTac = o.dispNdb = o.dispWpt = o.dispApt = o.lineVor = o.lineNdb = o.lineNav = true;
    const QImage all = render(view800x400(), o, "", airway, nav);
    for (uint32_t shown :
         {o.airwayVor, o.airwayNdb, o.airwayNav, o.point[0], o.point[1], o.point[2], o.point[3], o.point[4]})
        EXPECT_GT(countColour(all, rgbOf(shown)), 0) << std::hex << shown;
}

TEST(BackgroundTest, NdbAirwayFollowsItsToggleAndIsAlwaysDotted)
{
    BackgroundOptions o = defaults();
    const QByteArray airway = "2,36.5,130.0\n2,36.5,135.0\n"; // from x 310 to x 360 on row 200
    QImage img = render(view800x400(), o, "", airway, "");
    const QRgb c = rgbOf(o.airwayNdb);
    std::string row;
    for (int x = 310; x < 322; ++x)
        row += (img.pixel(x, 200) & 0xFFFFFFu) == (c & 0xFFFFFFu) ? '#' : '.';
    EXPECT_EQ(row, "###...###...");
    EXPECT_EQ(countColour(img, c), 26); // 50 pixels: 8 groups of three, then two
    o.lineNdb = false;
    img = render(view800x400(), o, "", airway, "");
    EXPECT_EQ(countColour(img, c), 0);
    o.lineNdb = true;
    o.lineVor = o.lineNav = false;
    img = render(view800x400(), o, "", airway, "");
    EXPECT_EQ(countColour(img, c), 26);
}

TEST(BackgroundTest, AirportNamesComeFromTheLookupOnlyWithTheOption)
{
    BackgroundOptions o = defaults();
    std::set<std::string> asked;
    const AirportNameLookup lookup = [&](std::string_view code) {
        asked.insert(std::string(code));
        return code == "RJTT" ? std::string("TOKYO") : std::string(code);
    };
    const QImage codes = render(view800x400(), o, "", "", "5,36.5,139.0,RJTT\n", lookup);
    EXPECT_TRUE(asked.empty());
    o.airportNames = true;
    const QImage named = render(view800x400(), o, "", "", "5,36.5,139.0,RJTT\n", lookup);
    EXPECT_EQ(asked, std::set<std::string>{"RJTT"});
    EXPECT_EQ(named, render(view800x400(), defaults(), "", "", "5,36.5,139.0,TOKYO\n"));
    EXPECT_NE(named, codes);
    // No table entry: the code itself.
    const QImage unknown = render(view800x400(), o, "", "", "5,36.5,139.0,RJXX\n", lookup);
    EXPECT_EQ(unknown, render(view800x400(), defaults(), "", "", "5,36.5,139.0,RJXX\n"));
}

AppPaths pathsFor(const QString& coast, const QString& airway, const QString& nav)
{
    AppPaths p;
    p.coastline = coast;
    p.airways = airway;
    p.navaids = nav;
    return p;
}

TEST(BackgroundTest, DeclutterSkipsALabelOverAnotherAndAirportsComeFirst)
{
    BackgroundOptions o = defaults();
    ASSERT_TRUE(o.declutter); // on by default
    o.point[3] = 0x00FF00;    // waypoints
    o.point[4] = 0x0000FF;    // airports
    const QRgb waypoint = rgbOf(o.point[3]), airport = rgbOf(o.point[4]);
    const MapView v = view800x400();
    // Two waypoints on one spot: the second name would be drawn over the first.
    const QByteArray twoWaypoints = "4,36.5,139.0,AAAAA\n4,36.5,139.0,BBBBB\n";
    EXPECT_EQ(render(v, o, "", "", twoWaypoints), render(v, o, "", "", "4,36.5,139.0,AAAAA\n"));
    // A waypoint listed before an airport on its spot: the airport keeps its
    // name, the waypoint keeps only its symbol (the names start 5 px right).
    const QByteArray waypointThenAirport = "4,36.5,139.0,WPTXX\n5,36.5,139.0,RJTT\n";
    const QImage cleared = render(v, o, "", "", waypointThenAirport);
    EXPECT_GT(countColourIn(cleared, airport, 405, 190, 440, 210), 10);
    EXPECT_EQ(countColourIn(cleared, waypoint, 405, 190, 440, 210), 0);
    // Switched off, every name is drawn.
    o.declutter = false;
    EXPECT_NE(render(v, o, "", "", twoWaypoints), render(v, o, "", "", "4,36.5,139.0,AAAAA\n"));
    const QImage all = render(v, o, "", "", waypointThenAirport);
    EXPECT_GT(countColourIn(all, waypoint, 405, 190, 440, 210), 0);
}

TEST(BackgroundTest, GuardBlocksNestedRedrawsAndIsReleasedAfterBadRecords)
{
    SettingsStore settings;
    const AppPaths paths = pathsFor(writeTempFile("g-coast.dat", "139.0\t35.0\nbad\t35.5\n140.0\t36.0\n"),
                                    test::missingFile(), writeTempFile("g-nav.txt", "1,x,139.0,HME\n"));
    MapScene scene(settings, paths);
    scene.resize(200, 100);
    int errorsSeen = 0;
    QObject::connect(&scene, &MapScene::formatErrorsFound,
                     [&](const BackgroundStatus& st) { errorsSeen = st.formatErrors(); });
    bool nestedRebuild = true, nestedRedraw = true;
    QObject::connect(&scene, &MapScene::aircraftLayerDrawn, [&] {
        EXPECT_TRUE(scene.drawingGuard());
        nestedRebuild = scene.rebuildBackground();
        nestedRedraw = scene.redrawAircraft(-1);
    });
    EXPECT_TRUE(scene.rebuildBackground());
    EXPECT_EQ(errorsSeen, 2);
    EXPECT_FALSE(scene.drawingGuard());
    EXPECT_TRUE(scene.rebuildBackground()); // later rebuilds work normally
    EXPECT_TRUE(scene.redrawAircraft(-1));
    EXPECT_FALSE(nestedRebuild);
    EXPECT_FALSE(nestedRedraw);
    EXPECT_FALSE(scene.drawingGuard());
}

TEST(BackgroundTest, ShippedFilesDrawJapanAtTheDefaultView)
{
    SettingsStore settings;
    const QString dir = QStringLiteral(VARNESK_SOURCE_DIR "/appdata");
    const AppPaths paths = pathsFor(dir + QStringLiteral("/lines/coastline.dat"),
                                    dir + QStringLiteral("/lines/airway.txt"), dir + QStringLiteral("/points/nav.txt"));
    MapScene scene(settings, paths);
    scene.resize(766, 470);
    scene.fullRedraw();
    const BackgroundStatus& st = scene.lastBackgroundStatus();
    EXPECT_EQ(st.formatErrors(), 0);
    EXPECT_GT(st.coastline.records, 150000);
    EXPECT_EQ(st.airways.records, 1817);
    EXPECT_EQ(st.navaids.records, 1388); // navaids, airports and the waypoints the airways use
    const QImage& img = scene.picture();
    EXPECT_GT(countColour(img, rgbOf(settings.colour(Key::MapCoastColor))), 3000);
    EXPECT_GT(countColour(img, rgbOf(settings.colour(Key::MapAirwayVOR))), 1000);
    EXPECT_GT(countColour(img, rgbOf(settings.colour(Key::MapPointVORTAC))), 500); // VOR/DME symbols
    // Tokyo (35.68 N, 139.77 E) lies east and south of the centre.
    const ProjectedPoint tokyo = scene.view().project(35.68, 139.77);
    EXPECT_GT(tokyo.x, 383);
    EXPECT_GT(tokyo.y, 235);
}

} // namespace
} // namespace varnesk
