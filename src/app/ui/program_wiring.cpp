// The connections between the receive pipeline's parts and the windows.
#include "app/ui/program_wiring.h"
#include "widgets/modal_over.h"

#include "aircraft/reference_tables.h"
#include "aircraft/ui/aircraft_card.h"
#include "aircraft/ui/aircraft_list_window.h"
#include "aircraft/ui/table_files.h"
#include "app/receive_pipeline.h"
#include "app/ui/input_device_dialog.h"
#include "app/ui/main_window.h"
#include "app/ui/settings_dialogs.h"
#include "app/ui/status_indicators.h"
#include "app/ui/version_window.h"
#include "decode/ui/clear_each_logs.h"
#include "decode/ui/text_colour_dialog.h"
#include "decode/ui/text_window.h"
#include "map/ui/map_area.h"
#include "net/net_link.h"
#include "net/ui/chat_window.h"
#include "net/ui/connect_dialog.h"
#include "net/ui/feed_dialog.h"
#include "net/ui/import_progress_window.h"
#include "net/ui/packet_window.h"
#include "search/search_watch.h"
#include "search/ui/mail_settings_dialog.h"
#include "search/ui/search_entry_dialog.h"
#include "search/ui/search_window.h"
#include "tracking/track_store.h"
#include "widgets/message_hub.h"
#include "widgets/tool_button.h"

#include <QAction>
#include <QDialog>
#include <QFileDialog>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include <memory>
#include <set>

namespace varnesk {

namespace {

void showWindow(QWidget* w)
{
    if (!w)
        return;
    w->show();
    w->raise();
    w->activateWindow();
}

// The hint is the button's tooltip; the short label keeps the toolbar
// within the main window's minimum width of 970 pixels.
QToolButton* windowButton(MainWindow& main, const char* name, const QString& hint, const QString& label,
                          QWidget* target)
{
    QToolButton* button = makeToolButton(main.toolBar(), name, label, hint, false);
    button->setFocusPolicy(Qt::NoFocus);
    QObject::connect(button, &QToolButton::clicked, target, [target] { showWindow(target); });
    return button;
}

QAction* menuEntry(MainWindow& main, const char* name, const QString& caption)
{
    auto* action = new QAction(caption, main.popupMenu());
    action->setObjectName(QLatin1String(name));
    return action;
}

QString noticeText(NetLink::Notice what)
{
    switch (what) {
    case NetLink::Notice::Connected:
        return QStringLiteral("接続しました");
    case NetLink::Notice::CannotConnect:
        return QStringLiteral("接続できません");
    case NetLink::Notice::Disconnected:
        return QStringLiteral("切断しました");
    case NetLink::Notice::DisconnectedByServer:
        return QStringLiteral("切断されました");
    case NetLink::Notice::AcceptFailed:
        return QStringLiteral("無効な接続要求を受けました");
    case NetLink::Notice::TooManyConnections:
        return QStringLiteral("最大限度の接続要求を受けました");
    }
    return {};
}

// The pop-up menu's network group: the chat and packet status entries and
// the separator above them show only while sharing runs; the chat entry only
// with [Net] Chat on as well. Run when the menu opens and when sharing
// starts or stops.
void updatePopupVisibility(MainWindow& main, QAction* chat, QAction* packets)
{
    const bool active = main.pipeline().network().netActive();
    chat->setVisible(active && main.settings().boolean(Key::Chat));
    packets->setVisible(active);
    const QList<QAction*> actions = main.popupMenu()->actions();
    const qsizetype at = actions.indexOf(chat);
    if (at > 0 && actions[at - 1]->isSeparator())
        actions[at - 1]->setVisible(active);
}

} // namespace

NetLink* installNetwork(MainWindow& main)
{
    ReceivePipeline& pipeline = main.pipeline();
    SettingsStore& settings = main.settings();
    auto* link = new NetLink(settings, pipeline.network(), pipeline.decode().intake, &main);
    QObject::connect(&main, &MainWindow::socketsClosing, link, &NetLink::closeSockets);
    QObject::connect(link, &NetLink::connectionsChanged, &main, [&main](int count) { main.showServerCaption(count); });
    // Boxes open from the event loop, never inside a socket's own signal, and
    // one of a kind at a time: a peer knocking every second beyond MaxConnect
    // does not pile up boxes.
    auto open = std::make_shared<std::set<NetLink::Notice>>();
    QObject::connect(
        link, &NetLink::notice, &main,
        [&main, open](NetLink::Notice what) {
            if (!open->insert(what).second)
                return;
            if (what == NetLink::Notice::AcceptFailed || what == NetLink::Notice::TooManyConnections)
                MessageHub::warning(&main, noticeText(what));
            else
                MessageHub::information(&main, noticeText(what));
            open->erase(what);
        },
        Qt::QueuedConnection);
    if (settings.boolean(Key::TcpIp) && settings.boolean(Key::Server) && link->StartServer())
        main.showServerCaption(0);
    else
        main.showPlainCaption();
    return link;
}

void installWriteReports(MainWindow& main)
{
    // A log that cannot be written is told in a box the first time; should it
    // fail again later while the program runs, the status bar tells it, so that a
    // nearly full disk does not bring box after box.
    auto boxed = std::make_shared<std::set<QString>>();
    auto report = [&main, boxed](const QString& path, const QString& reason) {
        const QString text = QStringLiteral("ログを書き込めませんでした\n%1\n%2").arg(path, reason);
        if (boxed->insert(path).second)
            MessageHub::error(&main, text);
        else
            main.statusBar()->showMessage(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    };
    ReceivePipeline& pipeline = main.pipeline();
    QObject::connect(&pipeline.decode().text, &ReceivedText::logWriteFailed, &main, report, Qt::QueuedConnection);
    QObject::connect(&pipeline.tracking().list(), &AircraftList::logWriteFailed, &main, report, Qt::QueuedConnection);
    if (SearchWatch* search = &main.search()) {
        QObject::connect(
            search, &SearchWatch::fileWriteFailed, &main,
            [&main, report, search](const QString& path, const QString& reason) {
                if (path == main.paths().searchList)
                    MessageHub::error(&main,
                                      QStringLiteral("サーチリストを保存できませんでした\n%1\n%2").arg(path, reason));
                else
                    report(path, reason);
            },
            Qt::QueuedConnection);
        // The hit log starts before anyone listens.
        if (search->hitLogFailures() > 0)
            QMetaObject::invokeMethod(
                &main,
                [report, path = search->hitLogPath(), reason = search->hitLogFailureReason()] { report(path, reason); },
                Qt::QueuedConnection);
    }
}

SearchWatch* installSearch(MainWindow& main)
{
    ReceivePipeline& pipeline = main.pipeline();
    auto* search = new SearchWatch(main.settings(), main.paths(), pipeline.tracking().tables(), &main);
    QObject::connect(&pipeline.decode().decoder, &BlockDecoder::downlinkAccepted, search,
                     [search](const AcarsBlock& block) { search->CheckSearchList(block.address, block.flight); });
    return search;
}

MapArea* installMapArea(MainWindow& main)
{
    ReceivePipeline& pipeline = main.pipeline();
    auto* area = new MapArea(main.settings(), main.paths(), main.centralWidget());
    area->setObjectName(QStringLiteral("MapArea"));
    // A stored fix redraws the map; rows that went with their tracks too.
    area->setTrackStore(&pipeline.tracking().store());
    area->setReferenceTables(&pipeline.tracking().tables());
    QObject::connect(&pipeline.tracking().list(), &AircraftList::tracksRemoved, area, &MapArea::redrawSelected);
    area->setAircraftList(&pipeline.tracking().list());
    main.addToolControls(area->createControls(main.toolBar(), main.operatorSelector()));
    main.addMenuEntries(area->createMenuEntries(main.popupMenu()));
    // The lamps, waterfall and clock: the modem pane beside the map, the
    // lamp strip at the toolbar's right end.
    auto* indicators = new StatusIndicators(pipeline, &main);
    area->setModemPane(indicators->modemPane());
    // Channels 3 … 16 of an SDR join the lamp selector while the source gives them.
    QObject::connect(&pipeline, &ReceivePipeline::channelCountChanged, indicators->modemPane(),
                     &ModemPane::setChannelCount);
    main.addToolControls({indicators->lampStrip()});
    return area;
}

void applyColours(MainWindow& main)
{
    if (MapArea* area = main.mapArea())
        area->redrawAllForSelection();
    if (TextWindow* text = main.windows().text)
        text->applyDisplayColours();
    if (auto* indicators = main.findChild<StatusIndicators*>(QStringLiteral("StatusIndicators")))
        indicators->repaintClock();
}

void connectWindows(MainWindow& main)
{
    ReceivePipeline& pipeline = main.pipeline();
    const ProgramWindows& windows = main.windows();

    // The received text window: refilled after new entries.
    TextWindow* text = windows.text;
    text->setColourDialog(windows.textColours);
    QObject::connect(&pipeline.decode().text, &ReceivedText::entryAppended, text, &TextWindow::markTextChanged);
    main.addToolControls(
        {windowButton(main, "SpeedButton6", QStringLiteral("受信テキスト表示"), QStringLiteral("テキスト"), text)});

    // The received aircraft list.
    AircraftListWindow* list = windows.list;
    list->setColourDialog(windows.textColours);
    QObject::connect(&main, &MainWindow::settingsAboutToBeSaved, list, &AircraftListWindow::storeSettings);
    main.addToolControls(
        {windowButton(main, "SpeedButton3", QStringLiteral("受信航空機リスト"), QStringLiteral("リスト"), list)});

    // The search window with its entry editor and e-mail settings.
    SearchWindow* search = windows.search;
    search->setEntryDialog(windows.searchEntry);
    search->setMailSettingsDialog(windows.mailSettings);
    QObject::connect(&main, &MainWindow::settingsAboutToBeSaved, search, &SearchWindow::storeSettings);
    main.addToolControls(
        {windowButton(main, "SpeedButton4", QStringLiteral("航空機サーチ機能"), QStringLiteral("サーチ"), search)});

    // The aircraft information card: filled by the list's selection, reset by
    // the map's clear command, searched by a click on an aircraft; its search
    // selects a list row, its position line selects the track on the map.
    {
        AircraftCard* card = windows.card;
        QObject::connect(list, &AircraftListWindow::aircraftSelected, card, &AircraftCard::showListAircraft);
        QObject::connect(card, &AircraftCard::listRowRequested, list, &AircraftListWindow::selectRow);
        QObject::connect(&pipeline.tracking().list(), &AircraftList::positionMarkChanged, card,
                         [card](std::string_view registration, bool) { card->RefreshPosition(registration); });
        if (MapArea* area = main.mapArea()) {
            QObject::connect(area, &MapArea::aircraftPicked, card,
                             [card](const QByteArray& flight) { card->SearchFlight(QString::fromLatin1(flight)); });
            QObject::connect(area, &MapArea::plotsCleared, card, &AircraftCard::ResetCard);
            QObject::connect(card, &AircraftCard::positionRequested, area, [&pipeline, area](const QByteArray& flight) {
                const int found = pipeline.tracking().store().findByFlightNumber(flight.toStdString());
                if (found > 0)
                    area->selectAircraft(found - 1);
            });
        }
        QObject::connect(&main, &MainWindow::settingsAboutToBeSaved, card, &AircraftCard::storeSettings);
        main.addToolControls(
            {windowButton(main, "SpeedButton7", QStringLiteral("航空機情報"), QStringLiteral("情報"), card)});
    }

    // The pop-up menu's entries of the windows and files.
    std::vector<QAction*> entries;
    struct WindowMenuEntry {
        const char* name;
        QWidget* window;
        const char* caption;
    };
    for (const auto& [entryName, dialog, caption] :
         {WindowMenuEntry{"SettingsItem", windows.settings, "各種設定"},
          WindowMenuEntry{"BasicColoursItem", windows.basicColours, "基本表示色設定"},
          WindowMenuEntry{"OperatorColoursItem", windows.operatorColours, "オペレーターカラー設定"},
          WindowMenuEntry{"InputDeviceItem", windows.inputDevice, "録音先設定"}}) {
        QAction* a = menuEntry(main, entryName, QString::fromUtf8(caption));
        QObject::connect(a, &QAction::triggered, dialog, [dialog] { showWindow(dialog); });
        entries.push_back(a);
    }
    {
        VersionWindow* version = windows.version;
        QAction* a = menuEntry(main, "VersionItem", QStringLiteral("バージョン情報"));
        QObject::connect(a, &QAction::triggered, version, [version, &main] { execOver(*version, &main); });
        entries.push_back(a);
    }
    {
        // The JSON feed's settings: a dialog of its own, made on first use;
        // the feed's socket closes with the others.
        QAction* a = menuEntry(main, "FeedItem", QStringLiteral("JSONフィード設定…"));
        QObject::connect(a, &QAction::triggered, &main, [&main, &pipeline] {
            FeedDialog*& dialog = main.windows().feed;
            if (!dialog)
                dialog = new FeedDialog(main.settings(), pipeline.feed(), &main);
            showWindow(dialog);
        });
        entries.push_back(a);
        QObject::connect(&main, &MainWindow::socketsClosing, &pipeline.feed(), &FeedSender::stop);
    }
    const AppPaths& paths = main.paths();
    QAction* flights = menuEntry(main, "OpenFlightFileItem", QStringLiteral("flightファイルを開く"));
    QObject::connect(flights, &QAction::triggered, &main, [&main, &paths] { openFlightTable(paths, &main); });
    QAction* aircraft = menuEntry(main, "OpenAircraftFileItem", QStringLiteral("aircraftファイルを開く"));
    QObject::connect(aircraft, &QAction::triggered, &main, [&main, &paths] { openAircraftTable(paths, &main); });
    QAction* folder = menuEntry(main, "OpenFolderItem", QStringLiteral("ファイルフォルダを開く"));
    QObject::connect(folder, &QAction::triggered, &main, [&main, &paths] { openApplicationFolder(paths, &main); });
    QAction* eachLogs = menuEntry(main, "ClearEachLogsItem", QStringLiteral("EachLogsのファイルを消去"));
    QObject::connect(eachLogs, &QAction::triggered, &main,
                     [&main, &pipeline] { ClearEachLogs(&main, pipeline.decode().log); });
    entries.insert(entries.end(), {flights, aircraft, folder, eachLogs});
    main.addMenuEntries(entries);

    // Network sharing: the TCP/IP button of a client station, the RAW log
    // import, the chat and packet status windows.
    NetLink& link = main.netLink();
    SettingsStore& settings = main.settings();
    if (settings.boolean(Key::TcpIp) && !settings.boolean(Key::Server)) {
        ConnectDialog* dialog = windows.connect;
        QToolButton* button = makeToolButton(main.toolBar(), "SpeedButton1", QStringLiteral("TCP/IP"),
                                             QStringLiteral("TCP/IP接続"), true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(button, &QWidget::customContextMenuRequested, button,
                         [&main, button](const QPoint& at) { main.popupMenu()->popup(button->mapToGlobal(at)); });
        // clicked: the user's presses only, not the link setting the state.
        QObject::connect(button, &QToolButton::clicked, &link, [&main, &link, button, dialog](bool down) {
            if (!down) {
                link.DisconnectFromServer();
                return;
            }
            if (execOver(*dialog, &main) == QDialog::Accepted) {
                link.ConnectToServer();
            } else {
                button->setChecked(false);
                link.connectionCancelled();
            }
        });
        QObject::connect(&link, &NetLink::connectButtonChanged, button, &QToolButton::setChecked);
        main.addToolControls({button});
    }

    {
        ImportProgressWindow* progress = windows.importProgress;
        QAction* import = menuEntry(main, "RawImportItem", QStringLiteral("RAW LOGファイルのインポート"));
        QObject::connect(import, &QAction::triggered, progress, [&main, progress] {
            if (progress->running())
                return;
            QFileDialog chooser(&main, QStringLiteral("ログファイルのインポート"), main.paths().appDir,
                                QStringLiteral("ログファイル(*.log)"));
            chooser.setFileMode(QFileDialog::ExistingFile);
            if (execOver(chooser, &main) != QDialog::Accepted)
                return;
            const QString path = chooser.selectedFiles().value(0);
            // A file with no transmission in it (the log of another program)
            // says so rather than doing nothing.
            const RawImport& raw = main.pipeline().decode().import;
            const uint64_t readBefore = raw.records() - raw.unreadableRecords();
            if (!path.isEmpty() && progress->runImport(path, [&main] { return !main.closing(); }) && !main.closing()
                && raw.records() - raw.unreadableRecords() == readBefore)
                MessageHub::information(&main,
                                        QStringLiteral("このファイルには取り込める受信データがありません\n") + path);
        });
        main.addMenuEntries({import});
    }

    ChatWindow* chat = windows.chat;
    QAction* chatEntry = menuEntry(main, "ChatItem", QStringLiteral("チャット画面を開く"));
    QAction* packetEntry = menuEntry(main, "PacketTestItem", QStringLiteral("パケット状態測定画面"));
    QObject::connect(chatEntry, &QAction::triggered, chat, [chat] {
        chat->showNormal();
        chat->refillLog();
        showWindow(chat);
    });
    // A chat line from another station brings the window up.
    QObject::connect(&pipeline.decode().decoder, &BlockDecoder::chatLineReceived, chat, [chat] {
        if (!chat->isVisible())
            chat->show();
        chat->raise();
    });
    PacketWindow* packets = windows.packets;
    QObject::connect(packetEntry, &QAction::triggered, packets, [packets] { showWindow(packets); });
    main.addMenuEntries({chatEntry, packetEntry});

    main.assembleShell();

    const auto updateNetworkEntries = [&main, chatEntry, packetEntry] {
        updatePopupVisibility(main, chatEntry, packetEntry);
    };
    updateNetworkEntries();
    QObject::connect(main.popupMenu(), &QMenu::aboutToShow, chatEntry, updateNetworkEntries);
    QObject::connect(&pipeline.network(), &NetworkSharing::netActiveChanged, chatEntry, updateNetworkEntries);
}

} // namespace varnesk
