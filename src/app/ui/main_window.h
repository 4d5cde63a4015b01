// The main window TForm1: owns the settings, the path table and the Station
// (the receive pipeline), opens the audio input and the monitor output, and
// runs the start-up and closing sequences of the program.
#pragma once

#include "app/app_paths.h"
#include "app/block_assembler.h"
#include "settings/settings_store.h"

#include <QMainWindow>
#include <QRect>
#include <QString>

#include <memory>

class QComboBox;
class QMenu;
class QToolBar;
class QToolButton;

namespace varnesk {

class MapArea;
class MonitorOutput;
class SoundCapture;
class Station;
class FileCaptureSource;

inline constexpr int kMainMinWidth = 970;
inline constexpr int kMainMinHeight = 702;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    struct Options {
        QString appDir;      // empty: the folder of the running program
        QString programName; // empty: the running program's name; the INI file is <name>.ini
    };

    explicit MainWindow(const Options& options = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    SettingsStore& settings() { return m_settings; }
    const AppPaths& paths() const { return m_paths; }
    Station& station() { return *m_station; }

    // The audio input: the sound card chosen by [Wave] Input, or the file or
    // pipe named by [Wave] Source. Failures show their box; false then.
    bool OpenCapture();
    void CloseCapture();
    bool captureOpen() const;
    // The monitor output; a failure shows its box and disables the monitor button.
    bool OpenPlayback();
    void ClosePlayback();
    bool playbackOpen() const;
    FileCaptureSource* waveSource() { return m_waveSource.get(); }
    MonitorOutput* monitor() { return m_monitor.get(); }

    // The caption of a listening server: "Varnesk(Server n/max PortNo port)".
    void showServerCaption(int connections);
    void showPlainCaption();

    // Main window layout (panes and lamps) for the current settings.
    void arrangeLayout();

    QToolBar* toolBar() const { return m_toolBar; }
    QMenu* popupMenu() const { return m_popupMenu; }
    QComboBox* scaleSelector() const { return m_scaleSelector; }
    QComboBox* operatorSelector() const { return m_operatorSelector; }
    // The map in the central widget with its toolbar controls (src/map/ui).
    MapArea* mapArea() const { return m_mapArea; }
    QToolButton* monitorButton() const { return m_monitorButton; }

    // True once the closing sequence has begun.
    bool closing() const { return m_closing; }

Q_SIGNALS:
    // On close, just before the settings are written: windows put the values
    // their controls hold (positions, sizes, toggles) into settings().
    void settingsAboutToBeSaved();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Construction steps, in order.
    void buildWindow();
    void setReceiverConstants();
    void prepareScaleSelector();
    void prepareOperatorSelector();
    void clearSocketState();
    void loadGroundStations();
    void computeReceiverTables();
    void restoreDisplayState();
    void resetReceiverState();
    void allocateClientTable();
    void startNetwork();
    bool startServer();
    void allocateTrackStore();
    void startTextLog();
    void createDrawingSurfaces();
    void restoreWindowBounds();

    // Closing steps that belong to other parts of the program.
    void closeServerSockets();
    // Control states written back with the settings.
    void collectSettings();

    void onCaptureBlock(CaptureSamples block);
    void rememberNormalBounds();

    QString m_appDir;
    SettingsStore m_settings;
    AppPaths m_paths;
    std::unique_ptr<Station> m_station;
    std::unique_ptr<SoundCapture> m_soundCapture;
    std::unique_ptr<FileCaptureSource> m_waveSource;
    std::unique_ptr<MonitorOutput> m_monitor;

    QToolBar* m_toolBar = nullptr;
    QMenu* m_popupMenu = nullptr;
    QComboBox* m_scaleSelector = nullptr;
    QComboBox* m_operatorSelector = nullptr;
    QToolButton* m_monitorButton = nullptr;
    MapArea* m_mapArea = nullptr;

    QRect m_normalBounds; // position and size in the normal state, kept for Save
    bool m_boundsRestored = false;
    bool m_closing = false;
};

} // namespace varnesk
