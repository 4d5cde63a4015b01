// The map area of the main window: the map widget (the aircraft layer shown
// in a 2-pixel sunken frame), its mouse drag and click, and the toolbar
// controls of the view, the layers, the sub-display and the track display.
#pragma once

#include "map/map_scene.h"

#include <QFrame>
#include <QObject>

#include <functional>
#include <memory>

class QComboBox;
class QToolBar;
class QToolButton;
class QButtonGroup;

namespace varnesk {

class MainWindow;
class TrackStore;

// Pane sizes around the map (the report pane on the right, the altitude pane below).
inline constexpr int kReportPaneWidth = 204;
inline constexpr int kAltitudePaneHeight = 202;
inline constexpr int kPaneBorderPx = 2;

class MapWidget : public QFrame {
    Q_OBJECT
public:
    explicit MapWidget(MapScene& scene, QWidget* parent = nullptr);

    // Mouse releases, after the press was remembered: the drag-or-click rule.
    std::function<void(Qt::MouseButton, QPoint, Qt::KeyboardModifiers)> onRelease;
    std::function<void(QPoint)> onPress;
    std::function<void(QSize)> onSurfaceResized;
    // The first time the widget is shown (the main window has appeared).
    std::function<void()> onFirstShow;

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
    // The map widget goes into host (the main window's central widget); the
    // controls into the toolbar around the scale selector.
    MapArea(SettingsStore& settings, const AppPaths& paths, QWidget* host);
    ~MapArea() override;

    // The main window's single call: the map into its central widget, the
    // controls into its toolbar, the scale selector filled, the company
    // selector wired, the track store and airport names of its station.
    static MapArea* install(MainWindow& window);

    void installControls(QToolBar* toolBar, QComboBox* scaleSelector, QComboBox* companySelector);
    void setTrackStore(TrackStore* store) { m_scene.setTrackStore(store); }

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

    // Mouse on the map and on the altitude pane (one shared press position;
    // positions in drawing-surface pixels): a release more than 10 pixels
    // from the press drags the chart, the pane's drag only in longitude.
    void pressAt(QPoint at);
    void releaseOnMap(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers);
    void releaseOnAltitudePane(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers);

    // A click (a release within 10 pixels of its press) goes to the selection
    // logic: on the map to its hit test, on the altitude pane likewise.
    std::function<void(QPoint)> onClick;
    std::function<void(QPoint)> onAltitudePaneClick;

private:
    void release(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers, bool onMap);
    void redrawSelected();
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
    bool m_started = false;
};

} // namespace varnesk
