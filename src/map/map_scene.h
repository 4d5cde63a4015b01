// The map's state in the main window: the view, the background and aircraft
// layers (32-bit images of the map size), the report and altitude pane
// surfaces drawn with every aircraft redraw, the drawing guard, the selection
// and the full redraw sequence. The map files are kept in memory and read
// again only when they change on disk.
#pragma once

#include "map/aircraft_layer.h"
#include "map/background_renderer.h"
#include "map/canvas.h"
#include "map/map_selection.h"
#include "map/map_view.h"
#include "map/report_pane.h"

#include <QImage>
#include <QObject>

#include <algorithm>
#include <functional>
#include <string>

namespace varnesk {

class SettingsStore;
class TrackStore;
struct AppPaths;

class MapScene : public QObject {
    Q_OBJECT
public:
    MapScene(SettingsStore& settings, const AppPaths& paths);

    MapView& view() { return m_view; }
    const MapView& view() const { return m_view; }
    MapSelection& selection() { return m_selection; }
    const MapSelection& selection() const { return m_selection; }
    SettingsStore& settings() { return m_settings; }

    void setTrackStore(TrackStore* store) { m_store = store; }
    TrackStore* trackStore() const { return m_store; }
    void setAirportLookup(AirportNameLookup lookup) { m_airportName = std::move(lookup); }
    // The company selector's text: "ALL" (or empty) lets every operator pass.
    void setCompanyFilter(std::string code);

    // Resizes both layers (contents undefined until the next redraw).
    void resize(int width, int height);
    // The panes' drawing surfaces; an empty size hides the pane (not drawn).
    void setPaneSurfaces(QSize report, QSize altitude);
    bool reportPaneShown() const { return !m_report.isNull(); }
    bool altitudePaneShown() const { return !m_altitude.isNull(); }
    const QImage& reportPane() const { return m_report; }
    const QImage& altitudePane() const { return m_altitude; }
    ReportPaneState& reportState() { return m_reportState; }
    int reportRows() const { return std::max(reportRowsPerPage(m_report.height()), 1); }

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

    // The shown-flag update of the selection rules for the redraw argument s.
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
    MapData m_data;
    TextMasks m_textMasks;
    QImage m_background;
    QImage m_layer;
    QImage m_report;
    QImage m_altitude;
    ReportPaneState m_reportState;
    bool m_guard = false;
    BackgroundStatus m_lastStatus;
};

// The map area as the main window draws it, for a picture without a display:
// background and aircraft layer at the given size, with the view and options
// of the settings. Needs a QGuiApplication for the text.
QImage renderMapPicture(SettingsStore& settings, const AppPaths& paths, TrackStore* store, int width, int height,
                        AirportNameLookup airportName = {});

// The main window's area below the toolbar (width × height) as it would show:
// the map and, as [Form] ShowRep, ShowAlt and ShowMod turn them on, the
// report, altitude and modem panes in their sunken borders. modemPanel is
// the modem pane's 198 × 46 surface (drawModemPanel); a null image leaves it blank.
QImage renderWindowPicture(SettingsStore& settings, const AppPaths& paths, TrackStore* store, int width, int height,
                           const QImage& modemPanel, AirportNameLookup airportName = {});

} // namespace varnesk
