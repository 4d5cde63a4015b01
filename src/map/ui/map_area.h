// The map area of the main window: the map widget (the aircraft layer shown
// in a 2-pixel sunken frame) with the report and altitude panes beside it and
// the place of the modem pane, their layout and switches, mouse drag and
// click, the selection of aircraft (clicks, report rows, auto-select), the
// plot commands (delete, clear, save, copy), and the toolbar controls of the
// view, the layers, the sub-display and the track display.
#pragma once

#include "settings/app_paths.h"

#include "map/map_scene.h"
#include "map/pane_layout.h"
#include "map/ui/pane_widget.h"

#include <QFrame>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class QComboBox;
class QToolBar;
class QToolButton;
class QAction;
class QButtonGroup;

namespace varnesk {

class AircraftList;
class ReferenceTables;
class TrackStore;

enum class Pane { Report, Altitude, Modem };

// The map's own pane: the scene's picture in the same sunken frame as the
// side panes (pressed and released in drawing-surface pixels), which also
// tells when its surface changes size and when it is first shown.
class MapWidget : public PaneWidget {
    Q_OBJECT
public:
    explicit MapWidget(MapScene& scene, QWidget* parent = nullptr);

Q_SIGNALS:
    void surfaceResized(QSize size);
    // Whole wheel steps (positive away from the user) at a surface pixel.
    void wheelTurned(QPoint at, int steps);
    // +, −, and the arrow keys (Qt::Key_*).
    void navigationKey(int key);
    // The first time the widget is shown (the main window has appeared).
    void firstShown();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_shown = false;
    int m_wheelEighths = 0; // a fine wheel's partial step
};

class MapArea : public QObject {
    Q_OBJECT
public:
    // The map widget goes into host (the main window's central widget).
    MapArea(SettingsStore& settings, const AppPaths& paths, QWidget* host);
    ~MapArea() override;

    // The toolbar controls of the map (pans, track display, sub-display,
    // zoom, scale selector ComboBox1, symbol and airway layers, auto-select),
    // made as children of parent and named by their objectNames; the main
    // window places them. companySelector (ComboBox2) is filled from the
    // store and filters the map.
    std::vector<QWidget*> createControls(QWidget* parent, QComboBox* companySelector);
    // The map's entries of the pop-up menu (airport names, three-letter
    // prefix, zero deletion, labels by flight number or registration), as
    // check items named by their objectNames.
    std::vector<QAction*> createMenuEntries(QObject* parent);
    // The store drawn (its fixes redraw the map) and the airport names of the tables.
    void setTrackStore(TrackStore* store);
    void setReferenceTables(const ReferenceTables* tables);

    MapScene& scene() { return m_scene; }
    MapWidget* widget() const { return m_widget; }

    // Places the map and the panes in the host (the client area below the
    // toolbar row): the right 204 pixels are the report pane's (below the
    // modem pane's 50 when that is shown), the bottom 202 the altitude pane's.
    void layout(bool reportPane, bool altitudePane);
    void layout();
    // The modem pane (made by the indicators) to be placed with the others.
    void setModemPane(QWidget* pane);
    PaneWidget* reportWidget() const { return m_reportWidget; }
    PaneWidget* altitudeWidget() const { return m_altitudeWidget; }
    // A pane switch of the pop-up menu: the setting, the layout, and the
    // full redraw without the keep-selection flag.
    void togglePane(Pane pane, bool shown);

    // Once the window is shown: redraws from then on, starting now.
    void start();
    bool started() const { return m_started; }

    // The view operations of the toolbar, each ending with the full redraw.
    void zoomIn();
    void zoomOut();
    // A wheel step in or out about a map pixel.
    void zoomAt(QPoint at, bool in);
    void setScaleIndex(int index);
    void moveLeft();
    void moveRight();
    void moveUp();
    void moveDown();
    // The full redraw (keep-selection flag set), when started.
    void redrawAll();
    // The same without setting the keep-selection flag (pane switches, the
    // airport-name option, colours applied by the colour dialogs).
    void redrawAllForSelection();
    // The aircraft layer for the current selection with the selection kept
    // (a new fix, the track switch, the sub-display mode, the company selector).
    void redrawKeepingSelection();
    // The aircraft layer for the current selection (rows with tracks removed,
    // the label options).
    void redrawSelected();
    void setSubDisplayMode(int mode);
    void setTrackDisplay(bool on);
    // The company selector's item: 0 is "ALL", the others the store's operator codes.
    void setCompanyIndex(int index);

    // The popup-menu options: airport names run the full redraw without the
    // keep-selection flag; the label options redraw the aircraft layer for
    // the selected aircraft, also without it.
    void setAirportNames(bool on);
    void setDeclutter(bool on);
    void setShowRegistration(bool on);
    void setThreeLetter(bool on);
    void setZeroDelete(bool on);

    // The auto-select button (SpeedButton8): down, the selection follows
    // each new position report; enabled from the first stored aircraft.
    void setAutoSelect(bool down);
    bool autoSelect() const { return m_scene.selection().autoSelectDown; }

    // Selection: the hit tests of a click on the map or the altitude pane
    // (a hit selects, a miss shows every aircraft again), a report-pane
    // release (page arrows, row click), or a store index picked directly.
    void hitTestMap(QPoint at);
    void hitTestAltitudePane(QPoint at);
    void reportPaneRelease(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers);
    void selectAircraft(int index, int plot = -1);
    // Removes aircraft k from the store with the selection following; false
    // when k is not an aircraft in the store. The caller redraws.
    bool removeAircraft(int k);

    // The pop-up menu's plot commands.
    void deleteSelected();
    void clearPlotsAndList();
    // Asks for a file name (chooseSaveFile replaces the dialog in tests) and
    // writes the map picture; a failure shows a box with the reason.
    void saveMapImage();
    void copyMapImage();
    std::function<QString()> chooseSaveFile;
    // The list whose rows the commands clear (ClearPositionMark, ClearList).
    void setAircraftList(AircraftList* list) { m_list = list; }

    // Mouse on the map and on the altitude pane (one shared press position;
    // positions in drawing-surface pixels): a release more than 10 pixels
    // from the press drags the chart, the pane's drag only in longitude.
    void pressAt(QPoint at);
    void releaseOnMap(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers);
    void releaseOnAltitudePane(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers);

Q_SIGNALS:
    // A click (a release within 10 pixels of its press) goes to the selection
    // logic: on the map to its hit test, on the altitude pane likewise.
    void clicked(QPoint at);
    void altitudePaneClicked(QPoint at);
    // An aircraft was picked: the information window looks up its flight number.
    void aircraftPicked(const QByteArray& flight);
    // The clear command emptied the store: the information window resets.
    void plotsCleared();

private:
    // Malformed records of the map and table files, told once at start.
    void reportFileErrors();
    void onTrackChanged();
    void onAircraftRemoved(int k);
    void setSelectionState(bool has);
    void setAutoSelectButton(bool down, bool enabled);
    void createPanes();
    QWidget* dialogParent() const;
    void release(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers, bool onMap);
    // The filter of the company selector's item, without a redraw.
    void setCompanyFilterIndex(int index);
    void afterViewChange();
    void syncScaleSelector();

    SettingsStore& m_settings;
    MapScene m_scene;
    QWidget* m_host;
    AppPaths m_filePaths;
    bool m_fileErrorsShown = false;
    const ReferenceTables* m_tables = nullptr;
    MapWidget* m_widget;
    PressTracker m_press;
    QComboBox* m_scaleSelector = nullptr;
    QButtonGroup* m_subDisplay = nullptr;
    QToolButton* m_autoSelectButton = nullptr;
    QComboBox* m_companySelector = nullptr;
    QAction* m_deleteItem = nullptr;
    QAction* m_clearItem = nullptr;
    PaneWidget* m_reportWidget = nullptr;
    PaneWidget* m_altitudeWidget = nullptr;
    QWidget* m_modemPane = nullptr;
    AircraftList* m_list = nullptr;
    bool m_started = false;
};

} // namespace varnesk
