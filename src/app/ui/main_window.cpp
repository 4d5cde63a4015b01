// TForm1: the start-up sequence in its fixed order, the audio input and the
// monitor output, the window bounds kept for the settings, and the closing
// sequence (processing off, Dual put back, settings saved, server, capture, playback).
#include "app/ui/main_window.h"

#include "app/capture_input.h"
#include "app/file_capture_source.h"
#include "app/receive_pipeline.h"
#include "app/sdr_capture_source.h"
#include "app/sound_card.h"
#include "app/ui/program_wiring.h"
#include "app/ui/window_table.h"
#include "receiver/audio_format.h"
#include "receiver/iq_file_reader.h"
#include "widgets/frame_position.h"
#include "widgets/message_hub.h"
#include "widgets/tool_button.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>

#include <optional>

namespace varnesk {

namespace {

const QString kProgramTitle = QStringLiteral("Varnesk");

const QString kPlaybackOpenFailed = QStringLiteral("再生デバイスをオープンできません");
const QString kPlaybackBufferFailed = QStringLiteral("バッファを確保できません");

} // namespace

MainWindow::MainWindow(const Options& options, QWidget* parent) : QMainWindow(parent)
{
    // The window itself, its toolbar and pop-up menu. The receiver's
    // constants (22050 Hz, 16 bits, 2 channels, loop coefficients and
    // tables) are fixed when the program is built.
    buildWindow();
    // The application directory, where the settings, data and logs live.
    m_appDir = options.appDir.isEmpty() ? QCoreApplication::applicationDirPath() : options.appDir;
    m_programName = options.programName.isEmpty()
                        ? QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName()
                        : options.programName;
    const QString& programName = m_programName;
    // Settings; everything below reads them.
    m_settings.Load(QDir(m_appDir).filePath(programName + QStringLiteral(".ini")));
    // The path table, and the pipeline that uses it: the ground-station
    // table, the decoder's tables and the track store sized by the settings.
    m_paths = AppPaths::make(m_appDir, programName, m_settings.boolean(Key::LogName), QDateTime::currentDateTime());
    m_pipeline = std::make_unique<ReceivePipeline>(m_settings, m_paths);
    // Dual set aside for a server that does not decode; MaxBytes,
    // MaxConnect and the two ports brought into range.
    m_settings.applyStartupCorrections();
    // The search list, checked after every accepted downlink.
    m_search = installSearch(*this);
    installWriteReports(*this);
    // Receiver state reset; processing switched on.
    resetReceiverState();
    // The network: a server opens its listening socket, and the caption
    // shows its connections.
    m_netLink = installNetwork(*this);
    // The JSON feed to an aggregator, when [Feed] Enabled.
    m_pipeline->feed().applySettings();
    // The text log, when [Txt] Log is on.
    if (m_settings.boolean(Key::TxtLog))
        startTextLog();
    // The map with its drawing surfaces, its selectors and its
    // toolbar and menu controls in their saved states.
    m_mapArea = installMapArea(*this);
    assembleShell();
    // Audio input, then monitor output.
    openCapture();
    openPlayback();
    // Saved position, size and maximised state.
    restoreWindowBounds();
}

MainWindow::~MainWindow()
{
    // The audio objects hand blocks to the pipeline: they go first.
    m_input.reset();
    m_monitor.reset();
    // The other windows read the pipeline while they are destroyed: they go
    // before it (members are destroyed after this body, children after that).
    const auto children = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : children)
        if (child->isWindow())
            delete child;
    delete centralWidget();
}

void MainWindow::buildWindow()
{
    setObjectName(mainWindowName());
    setWindowTitle(kProgramTitle);
    setMinimumSize(kMainMinWidth, kMainMinHeight);
    setCentralWidget(new QWidget(this));

    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    // Tight buttons, so that every control fits at the minimum width.
    m_toolBar->setStyleSheet(QStringLiteral("QToolButton { padding: 1px; margin: 0px; }"));
    m_toolBar->setIconSize(QSize(16, 16));
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    m_monitorButton =
        makeToolButton(m_toolBar, "SpeedButton17", QStringLiteral("モニター"), QStringLiteral("モニター"), true);

    m_operatorSelector = new QComboBox(m_toolBar);
    m_operatorSelector->setObjectName(QStringLiteral("ComboBox2"));
    m_operatorSelector->setToolTip(QStringLiteral("カンパニーセレクター"));
    addToolControls({m_monitorButton, m_operatorSelector});

    m_popupMenu = new QMenu(this);
    m_popupMenu->setObjectName(QStringLiteral("PopupMenu1"));
    auto* quit = new QAction(QStringLiteral("終了"), m_popupMenu);
    quit->setObjectName(QStringLiteral("QuitItem"));
    connect(quit, &QAction::triggered, this, &QWidget::close);
    addMenuEntries({quit});
    centralWidget()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(centralWidget(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_popupMenu->popup(centralWidget()->mapToGlobal(at)); });
}

QComboBox* MainWindow::scaleSelector() const
{
    return m_toolBar->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
}

const std::vector<const char*>& MainWindow::toolBarOrder()
{
    static const std::vector<const char*> order{
        "SpeedButton12", "SpeedButton15", "SpeedButton13", "SpeedButton14",                  // pans
        "SpeedButton3",  "SpeedButton4",                                                     // list, search
        "SpeedButton16", "SpeedButton9",  "SpeedButton10", "SpeedButton11",                  // tracks, sub-display
        "SpeedButton19", "SpeedButton20", "ComboBox1",                                       // zoom, scale
        "SpeedButton21", "SpeedButton22", "SpeedButton23", "SpeedButton24", "SpeedButton28", // symbols
        "SpeedButton25", "SpeedButton26", "SpeedButton27",                                   // airways
        "SpeedButton6",  "SpeedButton7",  "SpeedButton8", // text, information, auto-select
        "SpeedButton1",  "SpeedButton17", "ComboBox2",    // TCP/IP, monitor, company
    };
    return order;
}

const std::vector<const char*>& MainWindow::menuOrder()
{
    static const std::vector<const char*> order{
        "SaveMapItem",
        "CopyMapItem",
        "-",
        "ClearPlotsItem",
        "DeleteSelectedItem",
        "-",
        "ReportPaneItem",
        "AltitudePaneItem",
        "N27",
        "AirportNamesItem",
        "ThreeLetterItem",
        "ZeroDeleteItem",
        "-",
        "FlightLabelItem",
        "RegistrationLabelItem",
        "DeclutterItem",
        "-",
        "SettingsItem",
        "BasicColoursItem",
        "OperatorColoursItem",
        "InputDeviceItem",
        "FeedItem",
        "-",
        "OpenFlightFileItem",
        "OpenAircraftFileItem",
        "OpenFolderItem",
        "-",
        "ClearEachLogsItem",
        "RawImportItem",
        "-",
        "ChatItem",
        "PacketTestItem",
        "-",
        "VersionItem",
        "QuitItem",
    };
    return order;
}

void MainWindow::addToolControls(const std::vector<QWidget*>& controls)
{
    for (QWidget* control : controls)
        if (control)
            m_toolControls[control->objectName()] = control;
}

void MainWindow::addMenuEntries(const std::vector<QAction*>& entries)
{
    for (QAction* entry : entries)
        if (entry)
            m_menuEntries[entry->objectName()] = entry;
}

void MainWindow::assembleShell()
{
    // Taken out without deleting: a control placed before keeps its action
    // and goes back in its place.
    for (QAction* action : m_toolBar->actions())
        m_toolBar->removeAction(action);
    // The signal and NET lamps and the logo stand in a space of their own at
    // the toolbar's right end, which the buttons never take: at any width
    // they show, and opening "»" does not cover them.
    if (const auto strip = m_toolControls.find(QStringLiteral("LampStrip")); strip != m_toolControls.end()) {
        m_lampStrip = strip->second;
        m_lampStrip->setParent(m_toolBar);
        m_toolBar->setContentsMargins(0, 0, kLampStripWidthPx, 0);
        m_toolBar->installEventFilter(this);
        placeLampStrip();
        m_lampStrip->show();
    }
    for (const char* name : toolBarOrder()) {
        const auto found = m_toolControls.find(QLatin1String(name));
        if (found == m_toolControls.end())
            continue;
        QWidget* control = found->second;
        QAction*& placed = m_toolActions[control];
        if (placed) {
            m_toolBar->addAction(placed);
        } else {
            control->setParent(m_toolBar);
            placed = m_toolBar->addWidget(control);
        }
    }
    for (QAction* action : m_popupMenu->actions()) {
        m_popupMenu->removeAction(action);
        if (action->isSeparator())
            delete action;
    }
    bool pendingSeparator = false;
    for (const char* name : menuOrder()) {
        if (std::string_view(name) == "-") {
            pendingSeparator = !m_popupMenu->isEmpty();
            continue;
        }
        const auto found = m_menuEntries.find(QLatin1String(name));
        if (found == m_menuEntries.end())
            continue;
        if (pendingSeparator)
            m_popupMenu->addSeparator();
        pendingSeparator = false;
        m_popupMenu->addAction(found->second);
    }
}

// The text log begins again at every start: "Start Logging at" and a dash line.
void MainWindow::startTextLog()
{
    m_pipeline->decode().text.WriteLogStart(true);
}

void MainWindow::restartLogs()
{
    m_paths = AppPaths::make(m_appDir, m_programName, m_settings.boolean(Key::LogName), QDateTime::currentDateTime());
    m_pipeline->applyPaths(m_paths);
    m_pipeline->decode().text.WriteLogStart(true);
}

void MainWindow::resetReceiverState()
{
    m_pipeline->receiver().resetIndicators();
    m_pipeline->setProcessingEnabled(true);
}

void MainWindow::showServerCaption(int connections)
{
    setWindowTitle(QStringLiteral("Varnesk(Server %1/%2 PortNo %3)")
                       .arg(connections)
                       .arg(m_settings.integer(Key::MaxConnect))
                       .arg(QString::fromStdString(m_settings.text(Key::ServerPortNo))));
}

void MainWindow::showPlainCaption()
{
    setWindowTitle(kProgramTitle);
}

bool MainWindow::openCapture()
{
    if (!m_input)
        m_input = std::make_unique<CaptureInput>([this](const ChannelBlock& block) { onCaptureBlock(block); },
                                                 [this](const QString& message) {
                                                     // Queued: the source has closed itself inside its own tick.
                                                     QMetaObject::invokeMethod(
                                                         this, [this, message] { MessageHub::error(this, message); },
                                                         Qt::QueuedConnection);
                                                 });
    QString message;
    const bool opened = m_input->open(m_settings, m_appDir, message);
    tellChannelFrequencies();
    if (!opened)
        MessageHub::error(this, message);
    return opened;
}

void MainWindow::tellChannelFrequencies()
{
    if (!m_input)
        return;
    m_input->scannerFrequenciesChanged(m_settings);
    for (int c = 0; c < kMaxRadioChannels; ++c)
        m_pipeline->feed().setChannelFrequencyMhz(c, m_input->channelMhz()[static_cast<size_t>(c)]);
}

void MainWindow::closeCapture()
{
    if (m_input)
        m_input->close();
}

bool MainWindow::captureOpen() const
{
    return m_input && m_input->isOpen();
}

FileCaptureSource* MainWindow::waveSource()
{
    return m_input ? m_input->file() : nullptr;
}

SdrCaptureSource* MainWindow::sdrSource()
{
    return m_input ? m_input->sdr() : nullptr;
}

bool MainWindow::openPlayback()
{
    if (!m_monitor)
        m_monitor = std::make_unique<MonitorOutput>();
    const AudioOpenResult result = m_monitor->open();
    m_monitorButton->setEnabled(result == AudioOpenResult::Ok);
    if (result == AudioOpenResult::Ok)
        return true;
    // Without an output device the program still decodes from the sound
    // card, a file or the network: the box is shown and only monitoring is off.
    m_monitorButton->setChecked(false);
    MessageHub::error(this, result == AudioOpenResult::DeviceFailed ? kPlaybackOpenFailed : kPlaybackBufferFailed);
    return false;
}

void MainWindow::closePlayback()
{
    if (m_monitor)
        m_monitor->close();
}

bool MainWindow::playbackOpen() const
{
    return m_monitor && m_monitor->isOpen();
}

void MainWindow::onCaptureBlock(const ChannelBlock& block)
{
    if (!m_pipeline->processingEnabled())
        return;
    if (m_monitorButton->isChecked() && m_monitor) {
        CaptureBlock stereo;
        block.toStereo(stereo);
        m_monitor->play(stereo);
    }
    m_pipeline->ProcessChannelBlock(block);
}

void MainWindow::placeLampStrip()
{
    if (m_lampStrip)
        m_lampStrip->setGeometry(m_toolBar->width() - kLampStripWidthPx,
                                 (m_toolBar->height() - m_lampStrip->height()) / 2, kLampStripWidthPx,
                                 m_lampStrip->height());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_toolBar && event->type() == QEvent::Resize)
        placeLampStrip();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_widenAtShow) {
        m_widenAtShow = false;
        widenForToolBar();
    }
}

// The toolbar's hint counts every control (and the lamps' space) only once
// it has laid them out, and a window resized before the window manager has
// framed it lands with its client area in the frame's place: so this waits
// for both.
void MainWindow::widenForToolBar()
{
    whenFramed(*this, [this] {
        const QScreen* screen = this->screen();
        if (!screen || (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
            return;
        const int frame = frameGeometry().width() - width();
        const int whole = width() - m_toolBar->width() + m_toolBar->sizeHint().width();
        const int fits = screen->availableGeometry().right() + 1 - frameGeometry().left() - frame;
        const int wanted = std::min(whole, fits);
        if (wanted > width())
            resize(wanted, height());
    });
}

void MainWindow::restoreWindowBounds()
{
    QRect saved(m_settings.integer(Key::MainLeft), m_settings.integer(Key::MainTop),
                std::max(m_settings.integer(Key::MainWidth), kMainMinWidth),
                std::max(m_settings.integer(Key::MainHeight), kMainMinHeight));
    // With no width of the user's own (the default, or the minimum at which
    // the toolbar's right end goes behind "»"), the window opens wide enough
    // for the whole toolbar once its controls are laid out (first showing).
    m_widenAtShow = saved.width() <= kMainMinWidth;
    // A position on a screen that is no longer attached would put the window
    // out of reach: it then opens at the top-left corner of the primary screen.
    constexpr int kGrip = 20;
    if (!QGuiApplication::screenAt(saved.topLeft() + QPoint(kGrip, kGrip)))
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            saved.moveTopLeft(screen->availableGeometry().topLeft());
    move(saved.topLeft());
    resize(saved.size());
    m_normalBounds = saved;
    m_boundsRestored = true;
    if (m_settings.boolean(Key::MainMaxmum))
        setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::rememberNormalBounds()
{
    if (!m_boundsRestored || m_closing)
        return;
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))
        return;
    m_normalBounds = QRect(pos(), size());
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        rememberNormalBounds();
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (isVisible())
        rememberNormalBounds();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (isVisible())
        rememberNormalBounds();
}

void MainWindow::collectSettings()
{
    const bool maximised = windowState() & Qt::WindowMaximized;
    const QRect bounds = maximised ? m_normalBounds : QRect(pos(), size());
    m_settings.setInteger(Key::MainLeft, bounds.x());
    m_settings.setInteger(Key::MainTop, bounds.y());
    m_settings.setInteger(Key::MainWidth, bounds.width());
    m_settings.setInteger(Key::MainHeight, bounds.height());
    m_settings.setBoolean(Key::MainMaxmum, maximised);

    // Whether the search, information and text windows are showing.
    storeStartWindows(*this);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    m_closing = true;
    // Blocks still arriving are ignored from here on.
    m_pipeline->setProcessingEnabled(false);
    // The user's Dual back in place of the 0 of a non-decoding server,
    // before the settings are written.
    m_settings.restoreSetAsideDual();
    // Settings: the windows put their control states in, then the file is written.
    collectSettings();
    Q_EMIT settingsAboutToBeSaved();
    const WriteResult saved = m_settings.Save(m_paths.iniFile);
    // Server connections and the listening socket.
    Q_EMIT socketsClosing();
    // The audio input, then the monitor output.
    closeCapture();
    closePlayback();

    event->accept();
    // The other windows go with the main window, and so does the program.
    for (QWidget* window : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (window->isWindow())
            window->hide();
    // Told once the tool windows, which stay on top, are out of its way.
    if (!saved)
        MessageHub::error(this,
                          QStringLiteral("設定を保存できませんでした\n%1\n%2").arg(m_paths.iniFile, saved.reason));
    QCoreApplication::quit();
}

} // namespace varnesk
