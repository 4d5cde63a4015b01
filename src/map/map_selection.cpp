// The selection rules, in the order the redraw applies them.
#include "map/map_selection.h"

#include "map/map_view.h"
#include "tracking/track_store.h"

#include <algorithm>
#include <cstdlib>

namespace varnesk {

namespace {

void showOnly(std::span<AircraftEntry> slots, int s)
{
    for (AircraftEntry& e : slots)
        e.shown = false;
    slots[static_cast<size_t>(s)].shown = true;
}

// Auto-select takes s as its one shown aircraft, remembering s's flag.
void autoTake(MapSelection& sel, std::span<AircraftEntry> slots, int s)
{
    for (AircraftEntry& e : slots)
        e.shown = false;
    AircraftEntry& e = slots[static_cast<size_t>(s)];
    sel.savedShown = e.shown;
    e.shown = true;
    sel.lastAutoSelected = s;
    sel.autoExclusive = true;
}

template <typename Pixel>
PlotHit hitTest(std::span<const AircraftEntry> aircraft, int x, int y, Pixel pixel)
{
    for (size_t i = 0; i < aircraft.size(); ++i) {
        const AircraftEntry& e = aircraft[i];
        const int last = std::min(e.newestPoint, static_cast<int>(e.points.size()) - 1);
        for (int j = 0; j <= last; ++j) {
            int px = 0, py = 0;
            pixel(e.points[static_cast<size_t>(j)], px, py);
            if (std::abs(x - px) < kHitRadiusPx && std::abs(y - py) < kHitRadiusPx)
                return {static_cast<int>(i), j};
        }
    }
    return {};
}

} // namespace

void updateShownFlags(MapSelection& sel, std::span<AircraftEntry> slots, int s)
{
    if (s < 0 || s >= static_cast<int>(slots.size())) {
        for (AircraftEntry& e : slots)
            e.shown = true;
        sel.autoExclusive = false;
        sel.manualExclusive = false;
        return;
    }
    AircraftEntry& target = slots[static_cast<size_t>(s)];
    if (sel.autoSelectDown) {
        sel.manualExclusive = false;
        if (sel.newReport) {
            if (sel.autoExclusive) {
                if (s != sel.lastAutoSelected) {
                    if (sel.lastAutoSelected >= 0 && sel.lastAutoSelected < static_cast<int>(slots.size()))
                        slots[static_cast<size_t>(sel.lastAutoSelected)].shown = sel.savedShown;
                    sel.savedShown = target.shown;
                    target.shown = true;
                    sel.lastAutoSelected = s;
                }
            } else {
                autoTake(sel, slots, s);
            }
            sel.newReport = false;
        } else if (sel.keepSelection) {
            sel.keepSelection = false;
        } else if (sel.pageTurned) {
            sel.pageTurned = false;
        } else if (sel.ctrl) {
            target.shown = !target.shown;
            sel.clearModifiers();
        } else {
            autoTake(sel, slots, s);
        }
        return;
    }
    sel.autoExclusive = false;
    if (sel.keepSelection) {
        sel.keepSelection = false;
    } else if (sel.ctrl) {
        if (sel.manualExclusive) {
            target.shown = !target.shown;
            sel.clearModifiers();
        } else {
            showOnly(slots, s);
            sel.manualExclusive = true;
        }
    } else if (sel.pageTurned) {
        sel.pageTurned = false;
    } else {
        showOnly(slots, s);
        sel.manualExclusive = true;
    }
}

int altitudePaneY(int altitudeFt)
{
    return 200 - static_cast<int>(static_cast<long long>(altitudeFt) * 200 / 50000);
}

PlotHit hitTestMap(std::span<const AircraftEntry> aircraft, const MapView& view, int x, int y)
{
    return hitTest(aircraft, x, y, [&view](const PlotPoint& p, int& px, int& py) {
        const ProjectedPoint at = view.project(p.latitude, p.longitude);
        px = at.x;
        py = at.y;
    });
}

PlotHit hitTestAltitudePane(std::span<const AircraftEntry> aircraft, const MapView& view, int x, int y)
{
    return hitTest(aircraft, x, y, [&view](const PlotPoint& p, int& px, int& py) {
        px = view.project(p.latitude, p.longitude).x;
        py = altitudePaneY(p.altitude);
    });
}

void selectionAfterRemoval(MapSelection& sel, int k, int countAfter)
{
    if (sel.autoSelectDown) {
        if (k == sel.lastAutoSelected) {
            sel.lastAutoSelected = -1;
            sel.savedShown = false;
        } else if (k < sel.lastAutoSelected) {
            --sel.lastAutoSelected;
        }
    }
    if (sel.hasSelection && k < sel.selected)
        --sel.selected;
    if (countAfter > 0) {
        if (sel.selected < 0) {
            sel.selected = 0;
            sel.hasSelection = false;
        } else if (sel.selected > countAfter - 1) {
            sel.selected = countAfter - 1;
        }
    } else {
        sel.selected = 0;
        sel.hasSelection = false;
    }
    sel.keepSelection = true;
}

} // namespace varnesk
