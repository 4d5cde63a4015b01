// The map area of the main window: the map widget (the aircraft layer shown
// in a 2-pixel sunken frame), its mouse drag and click, and the toolbar
// controls of the view, the layers, the sub-display and the track display.
#pragma once

#include "map/map_scene.h"

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

class ReferenceTables;
class TrackStore;

// Pane sizes around the map (the report pane on the right, the altitude pane below).
inline constexpr int kReportPaneWidth = 204;
inline constexpr int kAltitudePaneHeight = 202;
inline constexpr int kPaneBorderPx = 2;

class MapWidget : public QFrame {
    Q_OBJECT
public:
    explicit MapWidget(MapScene& scene, QWidget* parent = nullptr);

Q_SIGNALS:
    // Mouse positions in drawing-surface pixels.
    void pressed(QPoint at);
    void released(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers);
    void surfaceResized(QSize size);
    // The first time the widget is shown (the main window has appeared).
    void firstShown();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    MapScene& m_scene;
    bool m_shown = false;
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

    // Places the map in the host's client area: the right 204 pixels are the
    // report pane's and the bottom 202 the altitude pane's while they are shown.
    void layout(bool reportPane, bool altitudePane);
    void layout();

    // Once the window is shown: redraws from then on, starting now.
    void start();
    bool started() const { return m_started; }

    // The view operations of the toolbar, each ending with the full redraw.
    void zoomIn();
    void zoomOut();
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
    void setShowRegistration(bool on);
    void setThreeLetter(bool on);
    void setZeroDelete(bool on);

    // The auto-select button (SpeedButton8): down, the selection follows
    // each new position report; enabled from the first stored aircraft.
    void setAutoSelect(bool down);
    bool autoSelect() const { return m_autoSelect; }

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

private:
    void onTrackChanged();
    void release(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers, bool onMap);
    // The filter of the company selector's item, without a redraw.
    void setCompanyFilterIndex(int index);
    void afterViewChange();
    void syncScaleSelector();

    SettingsStore& m_settings;
    MapScene m_scene;
    QWidget* m_host;
    MapWidget* m_widget;
    PressTracker m_press;
    QComboBox* m_scaleSelector = nullptr;
    QButtonGroup* m_subDisplay = nullptr;
    QToolButton* m_autoSelectButton = nullptr;
    bool m_autoSelect = false;
    bool m_started = false;
};

} // namespace varnesk
