// The main window TForm1: owns the settings, the path table and the receive
// pipeline, opens the audio input and the monitor output, lays out the
// toolbar and the pop-up menu from what each area hands it, and runs the
// start-up and closing sequences of the program.
#pragma once

#include "app/block_assembler.h"
#include "app/ui/program_windows.h"
#include "settings/app_paths.h"
#include "settings/settings_store.h"

#include <QMainWindow>
#include <QRect>
#include <QString>

#include <map>
#include <memory>
#include <vector>

class QComboBox;
class QMenu;
class QToolBar;
class QToolButton;

namespace varnesk {

class MapArea;
class MonitorOutput;
class NetLink;
class CaptureInput;
class ReceivePipeline;
class SearchWatch;
class FileCaptureSource;
class SdrCaptureSource;

inline constexpr int kMainMinWidth = 970;
inline constexpr int kMainMinHeight = 702;
// The lamp strip's space at the toolbar's right end.
inline constexpr int kLampStripWidthPx = 100;

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
    ReceivePipeline& pipeline() { return *m_pipeline; }
    // The search list and its notifications (checks every accepted downlink).
    SearchWatch& search() { return *m_search; }
    // The TCP server or client of network sharing.
    NetLink& netLink() { return *m_netLink; }

    // The audio input: the sound card chosen by [Wave] Input, or the file,
    // pipe or SDR receiver ("sdr") named by [Wave] Source. Failures show their
    // box; false then. A receiver that stops later shows its box and the
    // program runs on.
    bool openCapture();
    void closeCapture();
    bool captureOpen() const;
    // The monitor output; a failure shows its box and disables the monitor button.
    bool openPlayback();
    void closePlayback();
    bool playbackOpen() const;
    FileCaptureSource* waveSource();
    SdrCaptureSource* sdrSource();
    // The feed learns the channels' frequencies of the input (again after
    // the input dialog changed the scanners').
    void tellChannelFrequencies();
    MonitorOutput* monitor() { return m_monitor.get(); }

    // The caption of a listening server: "Varnesk(Server n/max PortNo port)".
    void showServerCaption(int connections);
    void showPlainCaption();

    QToolBar* toolBar() const { return m_toolBar; }
    QMenu* popupMenu() const { return m_popupMenu; }
    // The map-scale selector (the map's, once it is installed).
    QComboBox* scaleSelector() const;
    QComboBox* operatorSelector() const { return m_operatorSelector; }
    // The map in the central widget with its toolbar controls (src/map/ui).
    MapArea* mapArea() const { return m_mapArea; }
    // The windows that follow this one, by type (filled by the window table).
    ProgramWindows& windows() { return m_windows; }
    QToolButton* monitorButton() const { return m_monitorButton; }

    // What the areas hand the main window: toolbar controls and pop-up menu
    // entries, each known by its objectName. assembleShell() lays them out
    // in the program's order; controls and entries not handed over (parts
    // not built) are left out, and so are separators with nothing between.
    void addToolControls(const std::vector<QWidget*>& controls);
    void addMenuEntries(const std::vector<QAction*>& entries);
    void assembleShell();
    // The toolbar's and the menu's order of objectNames; "-" is a separator.
    static const std::vector<const char*>& toolBarOrder();
    static const std::vector<const char*>& menuOrder();

    // [Etc] LogName changed: the path table formed again with the log names
    // of the new form, and the text log started anew in its new file.
    void restartLogs();

    // True once the closing sequence has begun.
    bool closing() const { return m_closing; }

Q_SIGNALS:
    // On close, just before the settings are written: windows put the values
    // their controls hold (positions, sizes, toggles) into settings().
    void settingsAboutToBeSaved();
    // On close, after the settings are written and before the audio devices
    // close: the network closes its connections and listening socket.
    void socketsClosing();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildWindow();
    void resetReceiverState();
    void startTextLog();
    void restoreWindowBounds();
    // The lamp strip at the toolbar row's right end, never behind "»".
    void placeLampStrip();
    void widenForToolBar();

    // Control states written back with the settings.
    void collectSettings();

    void onCaptureBlock(const ChannelBlock& block);
    void rememberNormalBounds();

    QString m_appDir;
    QString m_programName;
    SettingsStore m_settings;
    AppPaths m_paths;
    std::unique_ptr<ReceivePipeline> m_pipeline;
    SearchWatch* m_search = nullptr;
    NetLink* m_netLink = nullptr;
    std::unique_ptr<CaptureInput> m_input;
    std::unique_ptr<MonitorOutput> m_monitor;

    QToolBar* m_toolBar = nullptr;
    QMenu* m_popupMenu = nullptr;
    QComboBox* m_operatorSelector = nullptr;
    std::map<QString, QWidget*> m_toolControls;
    std::map<QString, QAction*> m_menuEntries;
    std::map<QWidget*, QAction*> m_toolActions; // the toolbar's action of each placed control
    QToolButton* m_monitorButton = nullptr;
    QWidget* m_lampStrip = nullptr;
    bool m_widenAtShow = false;
    MapArea* m_mapArea = nullptr;
    ProgramWindows m_windows;

    QRect m_normalBounds; // position and size in the normal state, kept for Save
    bool m_boundsRestored = false;
    bool m_closing = false;
};

} // namespace varnesk
