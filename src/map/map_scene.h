// The map's state in the main window: the view, the background and aircraft
// layers (32-bit images of the map size), the drawing guard, the selection
// values the redraws read, and the full redraw sequence.
#pragma once

#include "map/aircraft_layer.h"
#include "map/background_renderer.h"
#include "map/map_view.h"

#include <QImage>
#include <QObject>

#include <functional>
#include <string>

namespace varnesk {

class SettingsStore;
class TrackStore;
struct AppPaths;

// What the selection logic keeps between redraws.
struct MapSelection {
    int selected = -1;          // selected aircraft's store index, −1 for none
    bool keepSelection = false; // the coming redraw must not change the selection
    bool shift = false;         // modifier keys remembered at the last mouse release
    bool alt = false;
    bool ctrl = false;
    int hitPlot = -1;           // the plot the last hit test found
};

class MapScene : public QObject {
    Q_OBJECT
public:
    MapScene(SettingsStore& settings, const AppPaths& paths);

    MapView& view() { return m_view; }
    const MapView& view() const { return m_view; }
    MapSelection& selection() { return m_selection; }
    SettingsStore& settings() { return m_settings; }

    void setTrackStore(TrackStore* store) { m_store = store; }
    TrackStore* trackStore() const { return m_store; }
    void setAirportLookup(AirportNameLookup lookup) { m_airportName = std::move(lookup); }
    // The company selector's text: "ALL" (or empty) lets every operator pass.
    void setCompanyFilter(std::string code);

    // Resizes both layers (contents undefined until the next redraw).
    void resize(int width, int height);

    // Each returns false without drawing while the drawing guard is set.
    bool rebuildBackground();
    bool redrawAircraft(int selection);
    // The redraw after a view change: keep-selection flag (when asked),
    // background, aircraft layer for the current selection.
    void fullRedraw(bool keepSelection = true);

    // The view state goes back to the settings after every change, so the
    // settings written at close hold it.
    void viewChanged();

    const QImage& background() const { return m_background; }
    const QImage& picture() const { return m_layer; }
    bool drawingGuard() const { return m_guard; }
    const BackgroundStatus& lastBackgroundStatus() const { return m_lastStatus; }

    // Sets the shown flag of every aircraft for the selection s; until the
    // selection rules take it over, every aircraft is shown.
    void updateShownFlags(int s);

Q_SIGNALS:
    // The aircraft layer was redrawn: the map widget shows it, then the side
    // panes (report and altitude) redraw with it.
    void aircraftLayerDrawn();
    // A rebuild met malformed records in a map file.
    void formatErrorsFound(const BackgroundStatus& status);

private:
    SettingsStore& m_settings;
    MapFilePaths m_files;
    MapView m_view;
    MapSelection m_selection;
    TrackStore* m_store = nullptr;
    AirportNameLookup m_airportName;
    std::string m_companyFilter;
    QImage m_background;
    QImage m_layer;
    bool m_guard = false;
    BackgroundStatus m_lastStatus;
};

// The map area as the main window draws it, for a picture without a display:
// background and aircraft layer at the given size, with the view and options
// of the settings. Needs a QGuiApplication for the text.
QImage renderMapPicture(SettingsStore& settings, const AppPaths& paths, TrackStore* store, int width,
                        int height, AirportNameLookup airportName = {});

} // namespace varnesk
