// Projection figures, the wrap seam, the drawable rule, pan/zoom limits and
// the drag-or-click threshold.
#include "map/map_view.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

namespace varnesk {
namespace {

MapView view800x400At10()
{
    MapView v;
    v.centreLat = 36.5;
    v.centreLon = 139.0;
    v.setScaleIndex(1); // 10 px/deg
    v.width = 800;
    v.height = 400;
    return v;
}

TEST(MapViewTest, ProjectsCentreAndOneDegreeNorthEast)
{
    const MapView v = view800x400At10();
    const ProjectedPoint c = v.project(36.5, 139.0);
    EXPECT_EQ(c.x, 400);
    EXPECT_EQ(c.y, 200);
    EXPECT_EQ(c.wrap, 0);
    const ProjectedPoint ne = v.project(37.5, 140.0);
    EXPECT_EQ(ne.x, 410);
    EXPECT_EQ(ne.y, 190);
}

TEST(MapViewTest, OddSizesHalveTowardZeroAndPixelsTruncate)
{
    MapView v = view800x400At10();
    v.width = 801;
    v.height = 401;
    const ProjectedPoint c = v.project(36.5, 139.0);
    EXPECT_EQ(c.x, 400);
    EXPECT_EQ(c.y, 200);
    // 0.09° east is 0.9 px: truncated to the same column; 0.09° south likewise.
    EXPECT_EQ(v.project(36.41, 139.09).x, 400);
    EXPECT_EQ(v.project(36.41, 139.09).y, 200);
    // West of the left edge: wraps a full turn east, far out of view.
    EXPECT_EQ(v.project(36.5, 99.0).x, 0); // the left edge itself does not wrap
    const ProjectedPoint w = v.project(36.5, 98.0);
    EXPECT_EQ(w.wrap, 360);
    EXPECT_EQ(w.x, 3590);
}

TEST(MapViewTest, SegmentAcrossTheSeamStaysOnePiece)
{
    MapView v = view800x400At10();
    v.centreLon = 180.0 + 40.0; // left edge at 180°, so the seam is at the left edge
    // Ends 0.25° either side of the left edge: the western end wraps +360 on
    // its own, but as a segment end it takes the start's adjustment.
    const ProjectedPoint start = v.project(36.5, 180.25);
    EXPECT_EQ(start.wrap, 0);
    EXPECT_EQ(start.x, 2);
    const ProjectedPoint end = v.projectSegmentEnd(36.5, 179.75, start.wrap);
    EXPECT_EQ(end.x, -2);
    EXPECT_EQ(v.project(36.5, 179.75).x, 3597); // alone it would jump to the far side

    const ProjectedPoint wStart = v.project(36.5, 179.75);
    const ProjectedPoint wEnd = v.projectSegmentEnd(36.5, 180.25, wStart.wrap);
    EXPECT_EQ(wStart.wrap, 360);
    EXPECT_EQ(wEnd.x, 3602); // both shifted by the same turn: a 5-pixel line
}

TEST(MapViewTest, DrawableRuleJoinsItsHalvesWithOr)
{
    const MapView v = view800x400At10();
    struct Case {
        int x, y;
        bool want;
    };
    const Case cases[] = {
        {400, 200, true},  {-20, 200, true},  {-9, -9, true},     {-10, 200, true}, // left only: second half holds
        {-20, 420, false}, {820, -20, false}, {-10, 410, false},  {810, -10, false},
        {809, 409, true},  {810, 300, true},  {2000, 2000, true}, {-500, -500, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        EXPECT_EQ(v.isDrawable(c.x, c.y), c.want);
    }
}

TEST(MapViewTest, ZoomStopsAtBothEndsOfTheScaleList)
{
    MapView v;
    v.setScaleIndex(13);
    EXPECT_FALSE(v.zoomIn());
    EXPECT_EQ(v.scale, 600);
    EXPECT_TRUE(v.zoomOut());
    EXPECT_EQ(v.scale, 500);
    v.setScaleIndex(0);
    EXPECT_FALSE(v.zoomOut());
    EXPECT_EQ(v.scale, 5);
    EXPECT_TRUE(v.zoomIn());
    EXPECT_EQ(v.scaleIndex, 1);
    EXPECT_FALSE(v.setScaleIndex(14));
    EXPECT_FALSE(v.setScaleIndex(-1));
    EXPECT_EQ(v.scaleIndex, 1);
}

TEST(MapViewTest, ZoomAboutAPixelKeepsThePlaceUnderIt)
{
    struct Case {
        const char* name;
        int x, y;
        bool in;
    };
    const Case cases[] = {{"in, upper left", 100, 80, true},
                          {"out, lower right", 700, 350, false},
                          {"in, at the centre", 400, 200, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MapView v;
        v.width = 800;
        v.height = 400;
        v.setScaleIndex(5); // 50 px/deg
        const double lat = v.centreLat - (c.y - v.height / 2) / v.scale;
        const double lon = v.centreLon + (c.x - v.width / 2) / v.scale;
        ASSERT_TRUE(v.zoomAbout(c.x, c.y, c.in));
        EXPECT_EQ(v.scaleIndex, c.in ? 6 : 4);
        const ProjectedPoint p = v.project(lat, lon);
        EXPECT_NEAR(p.x, c.x, 1);
        EXPECT_NEAR(p.y, c.y, 1);
    }
    // At the end of the scale list nothing moves.
    MapView end;
    end.width = 800;
    end.height = 400;
    end.setScaleIndex(13);
    EXPECT_FALSE(end.zoomAbout(0, 0, true));
    EXPECT_DOUBLE_EQ(end.centreLon, 139.0);
}

TEST(MapViewTest, MovesWrapTheCentreLongitude)
{
    MapView v;
    v.setScaleIndex(0); // 5 px/deg: a step is 10°
    v.centreLon = 179;
    v.moveRight();
    EXPECT_DOUBLE_EQ(v.centreLon, -171);
    v.moveLeft();
    EXPECT_DOUBLE_EQ(v.centreLon, 179);
    v.centreLon = -175;
    v.moveLeft();
    EXPECT_DOUBLE_EQ(v.centreLon, 175);
    v.centreLat = 85;
    v.moveUp();
    EXPECT_DOUBLE_EQ(v.centreLat, 95); // no limit
    v.moveDown();
    v.moveDown();
    EXPECT_DOUBLE_EQ(v.centreLat, 75);
}

TEST(MapViewTest, ReleaseWithinTenPixelsIsAClickElevenIsADrag)
{
    PressTracker t;
    t.press(100, 100);
    EXPECT_EQ(t.release(true, 110, 90), Gesture::Click);
    EXPECT_EQ(t.release(true, 90, 110), Gesture::Click);
    EXPECT_EQ(t.release(true, 111, 100), Gesture::Drag);
    EXPECT_EQ(t.release(true, 100, 89), Gesture::Drag);
    EXPECT_EQ(t.release(false, 200, 200), Gesture::None);
}

TEST(MapViewTest, DragMovesTheChartWithTheMouseAndThePaneOnlyInLongitude)
{
    MapView v;
    v.setScaleIndex(1); // 10 px/deg
    v.centreLat = 36.5;
    v.centreLon = 139;
    v.dragBy(-50, 30, true); // mouse moved 50 right, 30 up
    EXPECT_DOUBLE_EQ(v.centreLon, 134);
    EXPECT_DOUBLE_EQ(v.centreLat, 33.5);
    v.dragBy(20, 100, false);
    EXPECT_DOUBLE_EQ(v.centreLon, 136);
    EXPECT_DOUBLE_EQ(v.centreLat, 33.5);
    v.centreLon = 179;
    v.dragBy(30, 0, true);
    EXPECT_DOUBLE_EQ(v.centreLon, -178);
}

TEST(MapViewTest, ViewComesFromAndGoesBackToTheSettings)
{
    SettingsStore s;
    MapView v;
    v.load(s);
    EXPECT_EQ(v.centreLat, 36.5);
    EXPECT_EQ(v.centreLon, 139.0);
    EXPECT_EQ(v.scaleIndex, 3);
    EXPECT_EQ(v.scale, 30);
    s.setInteger(Key::MapScale, 14); // outside the list: the default
    v.load(s);
    EXPECT_EQ(v.scaleIndex, 3);
    v.setScaleIndex(9);
    v.centreLon = -120.25;
    v.store(s);
    EXPECT_EQ(s.integer(Key::MapScale), 9);
    EXPECT_EQ(s.real(Key::MapCentE), -120.25);
}

} // namespace
} // namespace varnesk
