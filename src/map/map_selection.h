// The map's selection: which aircraft is picked, the flags that tell a redraw
// whether it may change the shown flags, the rules that turn clicks, report
// pages and new position reports into shown flags, the 9 × 9 pixel hit test
// on the map and on the altitude pane, and the selection's side of a removal.
#pragma once

#include <span>

namespace varnesk {

struct AircraftEntry;
struct MapView;

// A plot is hit when the click lies less than this many pixels from it in x and in y.
inline constexpr int kHitRadiusPx = 5;

struct MapSelection {
    bool hasSelection = false;
    int selected = 0;             // store index of the selected aircraft
    bool keepSelection = false;   // the next redraw must not change the shown flags
    bool pageTurned = false;      // the next redraw follows a report-pane page change
    bool autoExclusive = false;   // auto-select made one aircraft the only shown one
    bool manualExclusive = false; // a click did: Ctrl-clicks now add and remove
    int lastAutoSelected = -1;
    bool savedShown = false; // the last auto-selected aircraft's shown flag before
    int hitPlot = -1;        // the plot the last hit test found (the Alt data box)
    bool shift = false;      // keys held at the last mouse release over a map pane
    bool alt = false;
    bool ctrl = false;
    bool newReport = false;      // a position report was just plotted
    bool autoSelectDown = false; // the auto-select button's state

    // The redraw's argument: the selected index, or −1 without a selection.
    int redrawTarget() const { return hasSelection ? selected : -1; }
    void clearModifiers() { shift = alt = ctrl = false; }
};

// The shown-flag update at the start of every aircraft-layer redraw, over
// every slot of the store.
void updateShownFlags(MapSelection& sel, std::span<AircraftEntry> slots, int s);

struct PlotHit {
    int aircraft = -1;
    int plot = -1;
    bool found() const { return aircraft >= 0; }
};

// The altitude pane's y of an altitude in feet: 50000 ft at 0, 0 ft at 200.
int altitudePaneY(int altitudeFt);
// The first plot within the hit square, lowest aircraft then lowest plot;
// shown flags and the company filter are not consulted.
PlotHit hitTestMap(std::span<const AircraftEntry> aircraft, const MapView& view, int x, int y);
PlotHit hitTestAltitudePane(std::span<const AircraftEntry> aircraft, const MapView& view, int x, int y);

// Aircraft k left the store, which now holds countAfter aircraft: the last
// auto-selected and selected indices follow it, and the next redraw keeps
// the shown flags. A removed selected aircraft hands the selection to the
// aircraft that took its place (or the new last one).
void selectionAfterRemoval(MapSelection& sel, int k, int countAfter);

} // namespace varnesk
