// The map's view (centre in degrees, scale in pixels per degree, size in
// pixels) and the one projection from latitude/longitude to map pixels that
// every layer, pane and hit test uses; plus the pan, zoom and drag rules.
#pragma once

#include <array>

namespace varnesk {

class SettingsStore;

inline constexpr int kScaleCount = 14;
inline constexpr std::array<int, kScaleCount> kScaleList = {5,   10,  20,  30,  40,  50,  75,
                                                            100, 150, 200, 300, 400, 500, 600};
inline constexpr int kDefaultScaleIndex = 3;
inline constexpr int kPanStepPx = 50;
// A release farther than this from its press (in x or y) is a drag.
inline constexpr int kDragThresholdPx = 10;
// Points up to this far outside the map still count as drawable.
inline constexpr int kDrawableMarginPx = 10;

struct ProjectedPoint {
    int x = 0;
    int y = 0;
    double wrap = 0; // degrees added to bring the point into the 360° east of the left edge
};

struct MapView {
    double centreLat = 36.5;  // degrees, north positive
    double centreLon = 139.0; // degrees, east positive, kept in −180 … +180 by pans
    int scaleIndex = kDefaultScaleIndex;
    double scale = kScaleList[kDefaultScaleIndex]; // pixels per degree
    int width = 0;                                 // pixels
    int height = 0;

    // Reads [Map] MapCentN, MapCentE, MapScale; an index outside 0 … 13 falls
    // back to the default 3.
    void load(const SettingsStore& settings);
    void store(SettingsStore& settings) const;

    ProjectedPoint project(double lat, double lon) const;
    // The end of a segment, with the wrap adjustment of its start, so that a
    // segment across the wrap seam stays in one piece.
    ProjectedPoint projectSegmentEnd(double lat, double lon, double startWrap) const;
    bool isDrawable(int x, int y) const;

    // The view operations; each returns whether the view changed.
    bool setScaleIndex(int index);
    bool zoomIn();
    bool zoomOut();
    // One scale step in or out with the point under pixel (x, y) kept where
    // it is, as a mouse wheel zooms about the pointer.
    bool zoomAbout(int x, int y, bool in);
    void moveLeft();
    void moveRight();
    void moveUp();
    void moveDown();
    // A drag on the map (dx, dy = press − release, pixels): the chart follows
    // the mouse. On the altitude pane only the longitude moves.
    void dragBy(int dx, int dy, bool latitudeToo);

    double leftEdgeLon() const;
};

// Press/release bookkeeping shared by the map and the altitude pane.
enum class Gesture { None, Drag, Click };

struct PressTracker {
    int pressX = 0;
    int pressY = 0;
    void press(int x, int y)
    {
        pressX = x;
        pressY = y;
    }
    // A non-left release is None; otherwise Drag when the release lies more
    // than kDragThresholdPx from the press in x or y, else Click.
    Gesture release(bool leftButton, int x, int y) const;
};

} // namespace varnesk
