// The aircraft layer: passes and colours, the track, head block geometry,
// labels, annotations, the company filter and the data boxes.
#include "map/aircraft_layer.h"
#include "map/canvas.h"
#include "map/map_scene.h"
#include "map_test_env.h"
#include "settings/app_paths.h"
#include "settings/settings_store.h"
#include "tracking/track_store.h"

#include <gtest/gtest.h>

#include <vector>

namespace varnesk {
namespace {

using test::countColour;
using test::countColourIn;

constexpr uint32_t kHead = 0x0000F0; // settings colours (blue, green, red)
constexpr uint32_t kPlot = 0x00F000;
constexpr uint32_t kHighlight = 0xF0F0F0;
constexpr uint32_t kShadow = 0xF00000;
constexpr uint32_t kSelText = 0x00F0F0;

struct Aircraft {
    std::vector<PlotPoint> points;
    AircraftEntry entry;

    // Fixes along row 36.5 N every 2° of longitude from 130 E (x 310, 330, …
    // on an 800 × 400 map at 10 px/deg centred on 36.5 N 139 E).
    Aircraft(const char* flight, int fixes, int altitude = 35000, int heading = kNoHeading)
    {
        points.resize(static_cast<size_t>(std::max(fixes, 1)));
        entry.points = std::span<PlotPoint>(points);
        entry.newestPoint = fixes - 1;
        entry.flight.assign(flight);
        entry.registration.assign("JA8089");
        entry.labelTwoLetter.assign(flight);
        entry.labelTwoLetterShort.assign("JL1");
        entry.labelThreeLetter.assign("JAL0123");
        entry.labelThreeLetterShort.assign("JAL123");
        entry.lastTime.assign("12:34");
        entry.routeCodes.assign("RJTT>RJCC");
        entry.aircraftType.assign("B767-300");
        entry.age = 1;
        for (int i = 0; i < fixes; ++i) {
            PlotPoint& p = points[static_cast<size_t>(i)];
            p.latitude = 36.5;
            p.longitude = 130.0 + 2.0 * i;
            p.altitude = altitude;
            p.heading = heading;
            p.time = 0.5;
        }
    }
};

AircraftLayerOptions options(int plotType = 0)
{
    SettingsStore s;
    s.setColour(Key::PlotOnColor, kHead);
    s.setColour(Key::PlotOffColor, kPlot);
    s.setColour(Key::PlotMarkUpColor, kHighlight);
    s.setColour(Key::PlotBackColor, kShadow);
    s.setColour(Key::SelText, kSelText);
    s.setInteger(Key::PlotType, plotType);
    s.setBoolean(Key::LineType, false);
    return AircraftLayerOptions::fromSettings(s);
}

MapView view800x400()
{
    MapView v;
    v.setScaleIndex(1);
    v.width = 800;
    v.height = 400;
    return v;
}

QImage draw(const std::vector<const AircraftEntry*>& list, const AircraftLayerOptions& o, DataBoxRequest boxes = {})
{
    std::vector<AircraftEntry> entries;
    for (const AircraftEntry* e : list)
        entries.push_back(*e);
    QImage img(800, 400, QImage::Format_RGB32);
    img.fill(0xFF000000u);
    drawAircraft(img, view800x400(), entries, o, boxes);
    return img;
}

bool is(const QImage& img, int x, int y, uint32_t colour)
{
    return (img.pixel(x, y) & 0xFFFFFFu) == (rgbOf(colour) & 0xFFFFFFu);
}

TEST(AircraftLayerTest, ASinglePlotShowsOnlyTheHead)
{
    const Aircraft a("JL0123", 1);
    const QImage img = draw({&a.entry}, options());
    EXPECT_EQ(countColour(img, rgbOf(kPlot)), 0);
    EXPECT_GT(countColour(img, rgbOf(kHead)), 0);
    EXPECT_TRUE(is(img, 310, 200, kHead)); // the centre dot
    EXPECT_TRUE(is(img, 308, 199, kHead)); // the head circle
}

TEST(AircraftLayerTest, TrackCirclesAndLinesStopAtTheNewestPlot)
{
    const Aircraft a("JL0123", 3); // x 310, 330, 350
    const QImage img = draw({&a.entry}, options());
    EXPECT_TRUE(is(img, 308, 199, kPlot));                              // circle around plot 0
    EXPECT_TRUE(is(img, 328, 199, kPlot));                              // circle around plot 1
    EXPECT_TRUE(is(img, 340, 200, kPlot));                              // line 1 → 2
    EXPECT_TRUE(is(img, 348, 199, kHead));                              // plot 2 has the head, not a track circle
    EXPECT_EQ(countColourIn(img, rgbOf(kPlot), 350, 190, 360, 210), 0); // the line ends at x 349

    AircraftLayerOptions o = options();
    o.trackDisplay = false;
    EXPECT_EQ(countColour(draw({&a.entry}, o), rgbOf(kPlot)), 0);

    o = options();
    o.dottedLines = true;
    const QImage dotted = draw({&a.entry}, o);
    EXPECT_TRUE(is(dotted, 316, 200, kPlot) && is(dotted, 318, 200, kPlot) && is(dotted, 322, 200, kPlot));
    EXPECT_FALSE(is(dotted, 313, 200, kPlot) || is(dotted, 315, 200, kPlot) || is(dotted, 319, 200, kPlot));
}

TEST(AircraftLayerTest, ShadowColourOnlyWithShadowOrSurround)
{
    const Aircraft a("JL0123", 4);
    EXPECT_EQ(countColour(draw({&a.entry}, options(0)), rgbOf(kShadow)), 0);
    const QImage shadow = draw({&a.entry}, options(1));
    EXPECT_GT(countColour(shadow, rgbOf(kShadow)), 0);
    EXPECT_TRUE(is(shadow, 340, 201, kShadow)); // the track line one pixel right and below
    const QImage surround = draw({&a.entry}, options(2));
    EXPECT_TRUE(is(surround, 335, 199, kShadow)); // above and below the track line
    EXPECT_TRUE(is(surround, 335, 201, kShadow));
    EXPECT_TRUE(is(surround, 335, 200, kPlot));
}

TEST(AircraftLayerTest, NewestAircraftUsesTheHighlightColour)
{
    Aircraft a("JL0123", 1);
    a.entry.age = 0;
    const QImage img = draw({&a.entry}, options());
    EXPECT_TRUE(is(img, 310, 200, kHighlight));
    EXPECT_EQ(countColour(img, rgbOf(kHead)), 0);
}

TEST(AircraftLayerTest, LabelLengthSetsTheUnderline)
{
    EXPECT_EQ(labelLength("JL0123"), 37);
    EXPECT_EQ(labelLength("JAL01234"), 49);
    EXPECT_EQ(labelLength(""), 37);
    const Aircraft a("JL0123", 1); // head at (310, 200): underline on row 208 from 318
    const QImage img = draw({&a.entry}, options());
    EXPECT_TRUE(is(img, 318, 208, kHead));
    EXPECT_TRUE(is(img, 318 + 36, 208, kHead));
    EXPECT_FALSE(is(img, 318 + 37, 208, kHead));
    EXPECT_TRUE(is(img, 314, 204, kHead) && is(img, 317, 207, kHead)); // leader
}

TEST(AircraftLayerTest, FlightLevelTexts)
{
    struct Case {
        int altitude;
        const char* want;
    };
    const Case cases[] = {{35000, "FL350"}, {35499, "FL350"}, {35500, "FL360"}, {10000, "FL100"}, {9999, "9999ft"},
                          {9500, "9500ft"}, {0, "0ft"},       {79999, "FL800"}, {80000, ""},      {90000, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.altitude);
        EXPECT_EQ(flightLevelText(c.altitude), c.want);
    }
    // No annotation drawn at 90000: the same picture as an empty annotation
    // mode would give.
    const Aircraft missing("JL0123", 1, kNoAltitude);
    const Aircraft known("JL0123", 1, 35000);
    const QImage a = draw({&missing.entry}, options());
    const QImage b = draw({&known.entry}, options());
    EXPECT_EQ(countColourIn(a, rgbOf(kHead), 310 + 37 - 26, 209, 400, 225), 0);
    EXPECT_GT(countColourIn(b, rgbOf(kHead), 310 + 37 - 20, 209, 400, 225), 0);
}

TEST(AircraftLayerTest, HeadingTickPointsAlongTheHeading)
{
    const Aircraft east("JL0123", 1, 35000, 90);
    QImage img = draw({&east.entry}, options());
    for (int x = 313; x <= 317; ++x)
        EXPECT_TRUE(is(img, x, 200, kHead)) << x;
    EXPECT_FALSE(is(img, 318, 200, kHead)); // the tick excludes its end pixel
    const Aircraft north("JL0123", 1, 35000, 0);
    img = draw({&north.entry}, options());
    EXPECT_TRUE(is(img, 310, 193, kHead));
    EXPECT_FALSE(is(img, 310, 192, kHead));
    const Aircraft none("JL0123", 1, 35000, kNoHeading);
    img = draw({&none.entry}, options());
    EXPECT_FALSE(is(img, 315, 200, kHead));
    EXPECT_FALSE(is(img, 310, 195, kHead));
}

TEST(AircraftLayerTest, LabelSourceFollowsTheFourForms)
{
    const Aircraft a("JL0123", 1);
    AircraftLayerOptions o = options();
    EXPECT_EQ(aircraftLabel(a.entry, o), "JL0123");
    o.zeroDelete = true;
    EXPECT_EQ(aircraftLabel(a.entry, o), "JL1");
    o.threeLetter = true;
    EXPECT_EQ(aircraftLabel(a.entry, o), "JAL123");
    o.zeroDelete = false;
    EXPECT_EQ(aircraftLabel(a.entry, o), "JAL0123");
    o.showRegistration = true;
    EXPECT_EQ(aircraftLabel(a.entry, o), "JA8089");
}

TEST(AircraftLayerTest, OperatorColoursAndTheCompanyFilter)
{
    const Aircraft jal("JL0123", 2);
    Aircraft ana("NH0456", 2);
    for (PlotPoint& p : ana.points)
        p.latitude = 34.5; // row 220
    AircraftLayerOptions o = options();
    o.operators[3].code = "NH";
    o.operators[3].colours = {0x000080, 0x008000, 0x800000, 0x808000};
    QImage img = draw({&jal.entry, &ana.entry}, o);
    EXPECT_TRUE(is(img, 330, 200, kHead));
    EXPECT_TRUE(is(img, 330, 220, 0x000080)); // NH head in the operator's colour
    EXPECT_TRUE(is(img, 308, 219, 0x008000)); // and its track circle

    o.companyFilter = "NH";
    img = draw({&jal.entry, &ana.entry}, o);
    EXPECT_EQ(countColour(img, rgbOf(kHead)), 0);
    EXPECT_TRUE(is(img, 330, 220, 0x000080));

    // Unused operator rows ("--") never claim an aircraft without a flight number.
    Aircraft unknown("-------", 1);
    o = options();
    EXPECT_EQ(&coloursFor(unknown.entry, o), &o.defaults);
}

TEST(AircraftLayerTest, DataBoxesNeedSelectionTrackDisplayAndShiftOrAlt)
{
    const Aircraft a("JL0123", 3); // plots at x 310, 330, 350 on row 200
    const AircraftLayerOptions o = options();
    // The left edge of a box just below its last text line, where later
    // boxes (each 20 pixels further right) do not cover it.
    auto boxCorner = [](const QImage& img, int px) { return is(img, px + 10, 288, kSelText); };

    QImage img = draw({&a.entry}, o, DataBoxRequest{0, true, false, -1});
    EXPECT_TRUE(boxCorner(img, 310));
    EXPECT_TRUE(boxCorner(img, 330));
    EXPECT_FALSE(boxCorner(img, 350)); // Shift: every plot but the newest

    img = draw({&a.entry}, o, DataBoxRequest{0, false, true, 2});
    EXPECT_FALSE(boxCorner(img, 310));
    EXPECT_TRUE(boxCorner(img, 350)); // Alt: the clicked plot, which may be the newest

    EXPECT_EQ(countColour(draw({&a.entry}, o, DataBoxRequest{0, false, false, 2}), rgbOf(kSelText)), 0);
    EXPECT_EQ(countColour(draw({&a.entry}, o, DataBoxRequest{-1, true, true, 2}), rgbOf(kSelText)), 0);
    AircraftLayerOptions off = o;
    off.trackDisplay = false;
    EXPECT_EQ(countColour(draw({&a.entry}, off, DataBoxRequest{0, true, true, 1}), rgbOf(kSelText)), 0);
    AircraftLayerOptions other = o;
    other.companyFilter = "NH";
    EXPECT_EQ(countColour(draw({&a.entry}, other, DataBoxRequest{0, true, true, 1}), rgbOf(kSelText)), 0);
}

TEST(AircraftLayerTest, DataBoxTexts)
{
    EXPECT_EQ(degreesText(35.123456789, 'N', 'S'), "N    35.1234");
    EXPECT_EQ(degreesText(-139.5, 'E', 'W'), "W    139.5");
    EXPECT_EQ(degreesText(0.0, 'N', 'S'), "S    0");
    EXPECT_EQ(degreesText(0.00001, 'N', 'S'), "N    0.00001");
    EXPECT_EQ(timeOfDayText(0.5), "12:00");
    EXPECT_EQ(timeOfDayText(0.0), "00:00");
    EXPECT_EQ(timeOfDayText((23 * 60 + 59) / 1440.0), "23:59");
}

TEST(AircraftLayerTest, SubDisplayModesDrawTheirAnnotations)
{
    const Aircraft a("JL0123", 1);
    AircraftLayerOptions o = options();
    o.subDisplay = SubDisplay::Data;
    QImage img = draw({&a.entry}, o);
    EXPECT_TRUE(is(img, 318, 208, kHead) && is(img, 379, 208, kHead));  // rule to x + 70
    EXPECT_TRUE(is(img, 322, 210, kHead) && is(img, 322, 226, kHead));  // bar at x + 12
    EXPECT_GT(countColourIn(img, rgbOf(kHead), 327, 219, 400, 232), 0); // the type line
    o.subDisplay = SubDisplay::Time;
    img = draw({&a.entry}, o);
    EXPECT_FALSE(is(img, 322, 215, kHead));
    EXPECT_GT(countColourIn(img, rgbOf(kHead), 310 + 37 - 20, 209, 400, 222), 0);
}

TEST(MapPictureTest, PictureOfTheStoreHasTheAskedSizeAndShowsItsAircraft)
{
    SettingsStore settings;
    settings.setColour(Key::PlotOnColor, kHead);
    settings.setColour(Key::PlotOffColor, kPlot);
    settings.setColour(Key::PlotMarkUpColor, kHighlight);
    AppPaths paths; // no map files: the fill and the aircraft alone
    paths.coastline = paths.airways = paths.navaids = test::missingFile();
    TrackStore store(10, 50);
    for (int i = 0; i < 3; ++i) {
        TrackFix fix;
        fix.flight = "JL0123";
        fix.registration = "JA8089";
        fix.time = "1200";
        fix.latitude = 36.5;
        fix.longitude = 139.0 + 0.5 * i;
        fix.altitude = 35000;
        store.AddTrackPoint(fix);
    }
    const QImage picture = renderMapPicture(settings, paths, &store, 640, 480);
    ASSERT_EQ(picture.size(), QSize(640, 480));
    // The view of the settings (30 px/deg, the centre near (320, 240)).
    MapView view;
    view.load(settings);
    view.width = 640;
    view.height = 480;
    const ProjectedPoint first = view.project(36.5, 139.0);
    const ProjectedPoint head = view.project(36.5, 140.0);
    EXPECT_NEAR(first.x, 320, 1);
    EXPECT_TRUE(is(picture, first.x - 2, first.y - 1, kPlot)); // track circle of the first fix
    EXPECT_TRUE(is(picture, head.x, head.y, kHighlight));      // the one aircraft is the newest
    EXPECT_EQ(store.entry(0).shown, true);
}

} // namespace
} // namespace varnesk
