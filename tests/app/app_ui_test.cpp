// Start-up and shutdown of the program on the offscreen platform: the windows
// in order, the settings file written on close and read back, the corrections
// of a hand-edited file, the audio failure boxes, a WAV source feeding the
// station, and closing by SIGTERM.
#include "acars/line_codec.h"
#include "app/file_capture_source.h"
#include "app/receive_pipeline.h"
#include "app/ui/input_device_dialog.h"
#include "app/ui/main_window.h"
#include "app/ui/shutdown.h"
#include "app/ui/window_table.h"
#include "map/map_scene.h"
#include "map/ui/map_area.h"
#include "widgets/message_hub.h"

#include "app_test_support.h"

#include <QActionGroup>
#include <QApplication>
#include <QAudioDevice>
#include <QButtonGroup>
#include <QClipboard>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGuiApplication>
#include <QMediaDevices>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "../gui_app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

using namespace varnesk;

namespace {

const QString kCaptureOpenFailed = QStringLiteral("録音デバイスをオープンできないためプログラムの実行ができません\n"
                                                  "デバイスが使用中か録音フォーマットに対応していない可能性があります");
const QString kPlaybackOpenFailed = QStringLiteral("再生デバイスをオープンできません");

void ensureApp()
{
    test::ensureGuiApp();
}

std::string readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().toStdString();
}

void writeText(const QString& path, const std::string& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.data(), static_cast<qint64>(text.size()));
}

// The value of key in section of an INI text, or nullopt.
std::optional<std::string> iniValue(const std::string& text, const std::string& section, const std::string& key)
{
    const size_t at = text.find("[" + section + "]\n");
    if (at == std::string::npos)
        return std::nullopt;
    const size_t end = text.find("\n[", at + 1);
    const std::string body = text.substr(at, end == std::string::npos ? std::string::npos : end - at + 1);
    const size_t k = body.find("\n" + key + "=");
    if (k == std::string::npos)
        return std::nullopt;
    const size_t from = k + key.size() + 2;
    return body.substr(from, body.find('\n', from) - from);
}

bool noSoundDevices()
{
    return QMediaDevices::audioInputs().isEmpty() && QMediaDevices::audioOutputs().isEmpty();
}

class AppShell : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureApp();
        MessageHub::clearRecords();
        MessageHub::setAnswerer([](MessageHub::Kind, const QString&) { return true; });
        ASSERT_TRUE(m_dir.isValid());
    }
    void TearDown() override
    {
        MessageHub::setAnswerer({});
        MessageHub::clearRecords();
    }

    MainWindow::Options options() const { return {m_dir.path(), QStringLiteral("varnesk")}; }
    QString iniPath() const { return m_dir.filePath(QStringLiteral("varnesk.ini")); }
    std::vector<QString> boxTexts() const
    {
        std::vector<QString> texts;
        for (const auto& r : MessageHub::records())
            texts.push_back(r.text);
        return texts;
    }
    bool hasBox(const QString& text) const
    {
        for (const auto& r : MessageHub::records())
            if (r.text == text)
                return r.beeped;
        return false;
    }

    QTemporaryDir m_dir;
};

} // namespace

// What the user can see change after a toolbar click or a menu entry: the
// open windows, every check state, the map's view and the settings' flags.
struct ShellState {
    QStringList visibleWindows;
    QStringList checked;
    double lat = 0, lon = 0;
    int scaleIndex = 0;
    bool operator==(const ShellState&) const = default;
};

ShellState shellState(MainWindow& main)
{
    ShellState s;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            s.visibleWindows << w->objectName();
    for (QWidget* w : main.findChildren<QWidget*>())
        if (w->isWindow() && w->isVisible())
            s.visibleWindows << w->objectName();
    s.visibleWindows.sort();
    s.visibleWindows.removeDuplicates();
    for (QToolButton* b : main.toolBar()->findChildren<QToolButton*>())
        if (b->isChecked())
            s.checked << b->objectName();
    for (QAction* a : main.popupMenu()->actions())
        if (a->isChecked())
            s.checked << a->objectName();
    s.lat = main.mapArea()->scene().view().centreLat;
    s.lon = main.mapArea()->scene().view().centreLon;
    s.scaleIndex = main.mapArea()->scene().view().scaleIndex;
    return s;
}

// Answers the next modal dialog by rejecting it from the event loop; its
// objectName lands in seen.
std::unique_ptr<QTimer> closeNextModal(QString& seen)
{
    auto poll = std::make_unique<QTimer>();
    poll->setInterval(20);
    QObject::connect(poll.get(), &QTimer::timeout, poll.get(), [&seen] {
        if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            if (seen.isEmpty())
                seen = modal->objectName().isEmpty() ? modal->windowTitle() : modal->objectName();
            modal->reject();
        }
    });
    poll->start();
    return poll;
}

void hideSecondaryWindows(MainWindow& main)
{
    for (QWidget* w : main.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (w->isWindow())
            w->hide();
}

TEST_F(AppShell, EveryToolbarButtonAndMenuEntryDoesSomething)
{
    MainWindow main(options());
    createSecondaryWindows(main);
    main.show();

    // The toolbar in the program's order.
    QStringList names;
    for (QAction* action : main.toolBar()->actions())
        if (QWidget* w = main.toolBar()->widgetForAction(action))
            names << w->objectName();
    QStringList want;
    for (const char* name : MainWindow::toolBarOrder())
        want << QLatin1String(name);
    EXPECT_EQ(names, want);

    // Every button has its hint and a face, and a click changes what the
    // user sees (a window, a check state or the map). Auto-select waits for
    // the first stored aircraft.
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        auto* b = main.toolBar()->findChild<QToolButton*>(name);
        if (!b)
            continue; // the selectors and the lamp strip
        EXPECT_FALSE(b->toolTip().isEmpty());
        EXPECT_TRUE(!b->icon().isNull() || !b->text().isEmpty());
        if (name == QLatin1String("SpeedButton17") && !main.playbackOpen())
            continue; // the monitor needs an output device
        if (name == QLatin1String("SpeedButton8")) {
            EXPECT_FALSE(b->isEnabled());
            continue;
        }
        // A modal dialog (the connection dialog) is answered by closing it.
        QString modalSeen;
        const auto poll = closeNextModal(modalSeen);
        ASSERT_TRUE(b->isEnabled());
        hideSecondaryWindows(main);
        const ShellState before = shellState(main);
        const bool wasDown = b->isChecked();
        b->click();
        QApplication::processEvents();
        // A sub-display button already down stays down (one of three).
        const bool staysDown = wasDown && b->isChecked() && b->group() && b->group()->exclusive();
        EXPECT_TRUE(!(shellState(main) == before) || !modalSeen.isEmpty() || staysDown) << "dead button";
        if (b->isCheckable())
            b->click(); // back as it was
    }

    // The menu: entries in order with one separator between groups.
    QStringList items;
    for (QAction* action : main.popupMenu()->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
    QStringList wantItems;
    for (const char* name : MainWindow::menuOrder())
        wantItems << QLatin1String(name);
    EXPECT_EQ(items, wantItems);
    EXPECT_FALSE(main.findChild<QAction*>(QStringLiteral("ChatItem"))->isVisible());
    EXPECT_FALSE(main.findChild<QAction*>(QStringLiteral("PacketTestItem"))->isVisible());

    // Every entry: a window opens (modal ones are closed from the event
    // loop and counted), a check state flips, or a box or a file chooser asks.
    QStringList modalsSeen;
    QStringList filesOpened;
    QString lastModal;
    main.mapArea()->chooseSaveFile = [&] {
        filesOpened << QStringLiteral("save");
        return QString();
    };
    int cleared = 0;
    QObject::connect(main.mapArea(), &MapArea::plotsCleared, &main, [&cleared] { ++cleared; });
    QStringList disabled;
    for (QAction* a : main.popupMenu()->actions()) {
        if (a->isSeparator() || !a->isVisible())
            continue;
        const QString name = a->objectName();
        if (!a->isEnabled()) {
            disabled << name;
            continue;
        }
        SCOPED_TRACE(name.toStdString());
        if (name == QLatin1String("QuitItem"))
            continue; // closing the main window ends the test below
        EXPECT_FALSE(a->text().isEmpty());
        hideSecondaryWindows(main);
        MessageHub::clearRecords();
        const ShellState before = shellState(main);
        lastModal.clear();
        const auto poll = closeNextModal(lastModal);
        QApplication::clipboard()->clear();
        const qsizetype files = filesOpened.size();
        const int clearedBefore = cleared;
        if (name.startsWith(QLatin1String("Open")))
            filesOpened << name; // opened in the desktop's own program; checked by the path table tests
        a->trigger();
        QApplication::processEvents();
        const bool acted =
            !(shellState(main) == before) || !lastModal.isEmpty() || !MessageHub::records().empty()
            || filesOpened.size() > files || cleared > clearedBefore || !QApplication::clipboard()->image().isNull()
            || (a->isCheckable() && a->isChecked() && a->actionGroup() && a->actionGroup()->isExclusive());
        EXPECT_TRUE(acted) << "dead entry";
        if (!lastModal.isEmpty())
            modalsSeen << lastModal;
        if (a->isCheckable() && name != QLatin1String("FlightLabelItem")
            && name != QLatin1String("RegistrationLabelItem"))
            a->trigger(); // back as it was
    }
    EXPECT_TRUE(modalsSeen.contains(QStringLiteral("TForm11")));
    // Only the plot commands wait for stored aircraft.
    EXPECT_EQ(disabled, (QStringList{QStringLiteral("ClearPlotsItem"), QStringLiteral("DeleteSelectedItem")}));

    main.findChild<QAction*>(QStringLiteral("QuitItem"))->trigger();
    EXPECT_TRUE(apptest::waitFor([&] { return !main.isVisible(); }, 5000));
}

// The pop-up menu's network group as the user sees it on opening the menu:
// sharing and [Net] Chat are read as they are at that moment.
TEST_F(AppShell, NetworkMenuEntriesFollowSharingAndChatWhenTheMenuOpens)
{
    MainWindow main(options());
    createSecondaryWindows(main);
    QMenu* menu = main.popupMenu();
    auto* chat = main.findChild<QAction*>(QStringLiteral("ChatItem"));
    auto* packets = main.findChild<QAction*>(QStringLiteral("PacketTestItem"));
    const QList<QAction*> actions = menu->actions();
    ASSERT_GT(actions.indexOf(chat), 0);
    QAction* separator = actions[actions.indexOf(chat) - 1];
    ASSERT_TRUE(separator->isSeparator());
    struct Case {
        bool netActive, chatOn, wantChat;
    };
    // In this order each change of Chat is seen only when the menu opens.
    const Case cases[] = {
        {false, true, false}, {true, false, false}, {true, true, true}, {true, false, false}, {false, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "sharing " << c.netActive << ", chat " << c.chatOn);
        main.pipeline().network().setNetActive(c.netActive);
        main.settings().setBoolean(Key::Chat, c.chatOn);
        Q_EMIT menu->aboutToShow();
        EXPECT_EQ(chat->isVisible(), c.wantChat);
        EXPECT_EQ(packets->isVisible(), c.netActive);
        EXPECT_EQ(separator->isVisible(), c.netActive);
    }
    main.close();
}

TEST_F(AppShell, ReceivedTrafficReachesTheOpenTextWindow)
{
    MainWindow main(options());
    createSecondaryWindows(main);
    main.toolBar()->findChild<QToolButton*>(QStringLiteral("SpeedButton6"))->click();
    auto* text = main.findChild<QWidget*>(QStringLiteral("TForm10"));
    ASSERT_TRUE(text->isVisible());
    auto* area = text->findChild<QPlainTextEdit*>();
    ASSERT_NE(area, nullptr);
    std::string line;
    for (char c : std::string_view("+*\x16\x16\x01"
                                   "2.JA8089\x15H11\x02M01AJL0012HELLO\x03"))
        line.push_back(static_cast<char>(encodeLineChar(static_cast<uint8_t>(c))));
    main.pipeline().decode().intake.LineIntake(line);
    EXPECT_TRUE(apptest::waitFor([&] { return area->toPlainText().contains(QStringLiteral("HELLO")); }, 5000));
    main.close();
}

TEST_F(AppShell, WindowsAreCreatedInOrderHiddenWithTheirNamesAndCaptions)
{
    MainWindow main(options());
    EXPECT_EQ(main.objectName(), QStringLiteral("TForm1"));
    EXPECT_EQ(main.windowTitle(), QStringLiteral("Varnesk"));
    const std::vector<QWidget*> windows = createSecondaryWindows(main);

    const char* const want[][2] = {{"TForm2", "航空機サーチ"},
                                   {"TForm3", "設定"},
                                   {"TForm4", "基本表示色設定"},
                                   {"TForm5", "受信航空機リスト"},
                                   {"TForm6", "登録航空機リスト編集"},
                                   {"TForm7", "メール設定"},
                                   {"TForm8", "入力デバイスの選択"},
                                   {"TForm9", "録音デバイス変更"},
                                   {"TForm10", "受信テキスト表示"},
                                   {"TForm11", "バージョン情報"},
                                   {"TForm12", "チャット画面"},
                                   {"TForm13", "パケット状態測定"},
                                   {"TForm14", "IP接続"},
                                   {"TForm15", "再接続"},
                                   {"TForm16", "RAWデータ取り込み中"},
                                   {"TForm17", "航空機情報"},
                                   {"TForm18", "色設定"},
                                   {"TForm19", "オペレーターカラー設定"}};
    ASSERT_EQ(windows.size(), std::size(want));
    for (size_t i = 0; i < windows.size(); ++i) {
        SCOPED_TRACE(want[i][0]);
        EXPECT_EQ(windows[i]->objectName(), QString::fromUtf8(want[i][0]));
        EXPECT_EQ(windows[i]->windowTitle(), QString::fromUtf8(want[i][1]));
        EXPECT_TRUE(windows[i]->isWindow());
        EXPECT_FALSE(windows[i]->isVisible());
        EXPECT_EQ(main.findChild<QWidget*>(QString::fromUtf8(want[i][0])), windows[i]);
    }
    EXPECT_NE(main.findChild<QComboBox*>(QStringLiteral("ComboBox1")), nullptr);
    EXPECT_NE(main.findChild<QComboBox*>(QStringLiteral("ComboBox2")), nullptr);
    auto* monitor = main.findChild<QToolButton*>(QStringLiteral("SpeedButton17"));
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(monitor->toolTip(), QStringLiteral("モニター"));
    EXPECT_TRUE(monitor->isCheckable());

    // Never smaller than 970 × 702, whatever is asked.
    main.show();
    main.resize(300, 200);
    EXPECT_GE(main.width(), 970);
    EXPECT_GE(main.height(), 702);
    main.close();
}

TEST_F(AppShell, FirstCloseWritesEveryKeyAndTheSecondStartReadsThemBack)
{
    {
        MainWindow main(options());
        EXPECT_DOUBLE_EQ(main.settings().real(Key::MapCentN), 36.5);
        EXPECT_EQ(main.settings().integer(Key::MapScale), 3);
        EXPECT_EQ(main.pos(), QPoint(0, 0));
        EXPECT_GE(main.width(), 970); // 860 by default, held at the minimum
        EXPECT_FALSE(QFile::exists(iniPath()));
        main.show();
        main.move(40, 30);
        main.resize(1000, 720);
        main.settings().setReal(Key::MapCentN, 35.25);
        main.settings().setText(Key::Name, "JA-STATION");
        // Windows hand in their control states just before the write, after processing stopped.
        bool processingAtSave = true;
        QObject::connect(&main, &MainWindow::settingsAboutToBeSaved, [&] {
            processingAtSave = main.pipeline().processingEnabled();
            main.settings().setInteger(Key::PlaneTop, 77);
        });
        main.close();
        EXPECT_FALSE(processingAtSave);
    }
    const std::string ini = readAll(iniPath());
    for (const KeyDef& def : keyTable()) {
        SCOPED_TRACE(std::string(def.section) + "/" + std::string(def.name));
        EXPECT_TRUE(iniValue(ini, std::string(def.section), std::string(def.name)).has_value());
    }
    for (int row = 0; row < 10; ++row)
        for (int c = 1; c <= 7; ++c)
            EXPECT_TRUE(iniValue(ini, "Color", "UserColor" + std::to_string(c) + std::to_string(row)));
    EXPECT_EQ(iniValue(ini, "Pos", "MainLeft"), "40");
    EXPECT_EQ(iniValue(ini, "Pos", "MainTop"), "30");
    EXPECT_EQ(iniValue(ini, "Pos", "MainWidth"), "1000");
    EXPECT_EQ(iniValue(ini, "Pos", "MainHeight"), "720");
    EXPECT_EQ(iniValue(ini, "Pos", "MainMaxmum"), "0");
    EXPECT_EQ(iniValue(ini, "Pos", "PlaneTop"), "77");
    EXPECT_EQ(iniValue(ini, "Color", "MapCoastColor"), "804000");
    EXPECT_EQ(iniValue(ini, "Wave", "Source"), "");

    MainWindow again(options());
    EXPECT_DOUBLE_EQ(again.settings().real(Key::MapCentN), 35.25);
    EXPECT_EQ(again.settings().text(Key::Name), "JA-STATION");
    EXPECT_EQ(again.pos(), QPoint(40, 30));
    EXPECT_EQ(again.size(), QSize(1000, 720));
    again.close();
}

TEST_F(AppShell, APositionOffEveryScreenOpensOnTheScreen)
{
    writeText(iniPath(), "[Pos]\nMainLeft=-5000\nMainTop=40\nMainWidth=1100\nMainHeight=750\n");
    MainWindow main(options());
    ASSERT_NE(QGuiApplication::primaryScreen(), nullptr);
    EXPECT_EQ(main.pos(), QGuiApplication::primaryScreen()->availableGeometry().topLeft());
    EXPECT_EQ(main.size(), QSize(1100, 750));
    main.close();
}

TEST_F(AppShell, MaximisedWindowSavesItsNormalBounds)
{
    {
        MainWindow main(options());
        main.show();
        main.move(20, 10);
        main.resize(1010, 710);
        main.showMaximized();
        apptest::waitFor([&] { return main.isMaximized(); }, 1000);
        ASSERT_TRUE(main.isMaximized());
        main.close();
    }
    const std::string ini = readAll(iniPath());
    EXPECT_EQ(iniValue(ini, "Pos", "MainMaxmum"), "1");
    EXPECT_EQ(iniValue(ini, "Pos", "MainLeft"), "20");
    EXPECT_EQ(iniValue(ini, "Pos", "MainWidth"), "1010");
    MainWindow again(options());
    EXPECT_TRUE(again.windowState() & Qt::WindowMaximized);
    again.close();
}

TEST_F(AppShell, HandEditedFileLoadsCorrected)
{
    struct Case {
        const char* name;
        std::string maxBytes, port, maxConnect;
        int wantMaxBytes;
        std::string wantPort;
        int wantMaxConnect;
    };
    const Case cases[] = {
        {"low", "500", "1024", "0", 1000, "49152", 1},
        {"high", "100000", "70000", "-3", 63999, "65535", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeText(iniPath(), "[MAP]\r\n3Letter=1\r\nZeroDel=1\r\n[Map]\r\nMapScale=5\r\n"
                             "[Color]\r\nTextBack=ffffff\r\nListBack=FFFFFF\r\n"
                             "[Txt]\r\nMaxBytes="
                                 + c.maxBytes
                                 + "\r\n"
                                   "[Net]\r\nTcpIp=1\r\nServer=1\r\nServerDec=0\r\nMaxConnect="
                                 + c.maxConnect + "\r\nServerPortNo=" + c.port + "\r\nClientPortNo=" + c.port
                                 + "\r\n"
                                   "[Wave]\r\nDual=2\r\n");
        {
            MainWindow main(options());
            SettingsStore& s = main.settings();
            EXPECT_TRUE(s.boolean(Key::ThreeLetter));
            EXPECT_TRUE(s.boolean(Key::ZeroDel));
            EXPECT_EQ(s.integer(Key::MapScale), 5);
            EXPECT_NE(s.colour(Key::TextBack), 0xFFFFFFu);
            EXPECT_EQ(s.colour(Key::ListBack), 0xFFFFFFu);
            EXPECT_EQ(s.integer(Key::MaxBytes), c.wantMaxBytes);
            EXPECT_EQ(s.text(Key::ServerPortNo), c.wantPort);
            EXPECT_EQ(s.text(Key::ClientPortNo), c.wantPort);
            EXPECT_EQ(s.integer(Key::MaxConnect), c.wantMaxConnect);
            // A server that does not decode processes no audio channel.
            EXPECT_EQ(s.integer(Key::Dual), 0);
            EXPECT_TRUE(main.windowTitle().startsWith(QStringLiteral("Varnesk")));
            main.close();
        }
        const std::string ini = readAll(iniPath());
        // The user's decoder choice survives the run as a non-decoding server.
        EXPECT_EQ(iniValue(ini, "Wave", "Dual"), "2");
        EXPECT_EQ(iniValue(ini, "Map", "3Letter"), "1");
        EXPECT_EQ(ini.find("[MAP]"), std::string::npos);
        EXPECT_EQ(iniValue(ini, "Txt", "MaxBytes"), std::to_string(c.wantMaxBytes));
        MainWindow again(options());
        again.settings().restoreSetAsideDual();
        EXPECT_EQ(again.settings().integer(Key::Dual), 2);
        again.close();
    }
}

TEST_F(AppShell, WithoutSoundDevicesTheBoxesAppearAndTheProgramRunsOn)
{
    if (!noSoundDevices())
        GTEST_SKIP() << "a sound server is running here";
    MainWindow main(options());
    EXPECT_TRUE(hasBox(kCaptureOpenFailed)) << "boxes: " << boxTexts().size();
    EXPECT_TRUE(hasBox(kPlaybackOpenFailed));
    // Capture first, then playback, each once.
    const std::vector<QString> texts = boxTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), kCaptureOpenFailed), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), kPlaybackOpenFailed), 1);
    EXPECT_LT(std::find(texts.begin(), texts.end(), kCaptureOpenFailed) - texts.begin(),
              std::find(texts.begin(), texts.end(), kPlaybackOpenFailed) - texts.begin());
    EXPECT_FALSE(main.captureOpen());
    EXPECT_FALSE(main.playbackOpen());
    EXPECT_FALSE(main.monitorButton()->isEnabled());
    EXPECT_TRUE(main.pipeline().processingEnabled());
    main.show();
    apptest::waitFor([] { return false; }, 50);
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(main.closing());
    main.close();
}

TEST_F(AppShell, InputDialogListsTheDefaultDeviceAndAFailedChangeKeepsTheMark)
{
    if (!noSoundDevices())
        GTEST_SKIP() << "a sound server is running here";
    MainWindow main(options());
    createSecondaryWindows(main);
    auto* dialog = main.findChild<InputDeviceDialog*>(QStringLiteral("TForm8"));
    ASSERT_NE(dialog, nullptr);
    dialog->setDeviceChangeDelayMs(0);
    dialog->show();
    auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
    auto* select = dialog->findChild<QPushButton*>(QStringLiteral("Button1"));
    ASSERT_TRUE(list && select);
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("標準の入力デバイス"));
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral(" ○"));
    EXPECT_FALSE(select->isEnabled());
    list->setCurrentItem(list->topLevelItem(0));
    EXPECT_TRUE(select->isEnabled());
    MessageHub::clearRecords();
    select->click();
    EXPECT_EQ(boxTexts(), std::vector<QString>{kCaptureOpenFailed});
    EXPECT_FALSE(select->isEnabled());
    EXPECT_FALSE(main.findChild<QWidget*>(QStringLiteral("TForm9"))->isVisible());
    // "デュアル" and OK: the decoder choice for the next block.
    dialog->findChild<QWidget*>(QStringLiteral("RadioButton2"))->setProperty("checked", true);
    dialog->findChild<QPushButton*>(QStringLiteral("Button2"))->click();
    EXPECT_EQ(main.settings().integer(Key::Dual), 2);
    EXPECT_FALSE(dialog->isVisible());
    main.close();
}

// The scanners' frequencies: read at start for a file input, changed in the
// input dialog beside "デュアル", and told to the feed at once.
TEST_F(AppShell, ScannerFrequenciesReachTheFeed)
{
    ASSERT_TRUE(apptest::writeWav(m_dir.filePath(QStringLiteral("input.wav")), 8));
    writeText(iniPath(), "[Wave]\nSource=input.wav\nFreq2=131.725\n");
    MainWindow main(options());
    createSecondaryWindows(main);
    const FeedSender& feed = main.pipeline().feed();
    EXPECT_EQ(feed.channelFrequencyMhz(0), std::nullopt);
    EXPECT_EQ(feed.channelFrequencyMhz(1), 131.725);
    auto* dialog = main.findChild<InputDeviceDialog*>(QStringLiteral("TForm8"));
    ASSERT_NE(dialog, nullptr);
    dialog->show();
    auto* left = dialog->findChild<QDoubleSpinBox*>(QStringLiteral("WaveFreq1"));
    auto* right = dialog->findChild<QDoubleSpinBox*>(QStringLiteral("WaveFreq2"));
    ASSERT_TRUE(left && right);
    EXPECT_EQ(left->text(), QStringLiteral("左 周波数不明"));
    EXPECT_EQ(right->value(), 131.725);
    left->setValue(131.55);
    right->setValue(0);
    dialog->findChild<QPushButton*>(QStringLiteral("Button2"))->click();
    EXPECT_EQ(main.settings().real(Key::WaveFreq1), 131.55);
    EXPECT_EQ(feed.channelFrequencyMhz(0), 131.55);
    EXPECT_EQ(feed.channelFrequencyMhz(1), std::nullopt);
    main.close();
}

TEST_F(AppShell, InputDialogOfANonDecodingServerKeepsTheUsersDecoder)
{
    // The server runs with Dual 0; opening the dialog and pressing OK must
    // neither start decoding nor replace the user's "デュアル" in the file.
    writeText(iniPath(), "[Net]\nTcpIp=1\nServer=1\nServerDec=0\n[Wave]\nDual=2\n");
    {
        MainWindow main(options());
        createSecondaryWindows(main);
        auto* dialog = main.findChild<InputDeviceDialog*>(QStringLiteral("TForm8"));
        ASSERT_NE(dialog, nullptr);
        dialog->show();
        auto* dual = dialog->findChild<QWidget*>(QStringLiteral("RadioButton2"));
        ASSERT_NE(dual, nullptr);
        EXPECT_TRUE(dual->property("checked").toBool());
        dialog->findChild<QPushButton*>(QStringLiteral("Button2"))->click();
        EXPECT_EQ(main.settings().integer(Key::Dual), 0);
        main.close();
    }
    EXPECT_EQ(iniValue(readAll(iniPath()), "Wave", "Dual"), "2");
}

TEST_F(AppShell, FileSourceBlocksReachThePipelineInOrderAndNoneAfterClosingBegins)
{
    const QString wav = m_dir.filePath(QStringLiteral("input.wav"));
    constexpr int kBlocks = 400; // longer than the test runs
    ASSERT_TRUE(apptest::writeWav(wav, kBlocks));
    // A name without a folder is found in the program's folder.
    writeText(iniPath(), "[Wave]\nSource=input.wav\nDual=2\n");

    MainWindow main(options());
    EXPECT_FALSE(hasBox(kCaptureOpenFailed)); // the file takes the sound card's place
    ASSERT_TRUE(main.captureOpen());
    std::vector<int> seen; // block number read back from the samples
    bool afterClose = false;
    QObject::connect(&main.pipeline(), &ReceivePipeline::captureBlockArrived, [&](CaptureBlockSpan block) {
        afterClose = afterClose || main.closing();
        bool whole = true;
        const int b = block[0] / 10;
        for (int f = 0; f < 512; ++f)
            whole =
                whole && block[2 * f] == apptest::sampleAt(b, f, 0) && block[2 * f + 1] == apptest::sampleAt(b, f, 1);
        seen.push_back(whole ? b : -1);
    });
    ASSERT_TRUE(apptest::waitFor([&] { return seen.size() >= 12; }, 5000));
    main.close();
    const size_t atClose = seen.size();
    apptest::waitFor([] { return false; }, 200);
    EXPECT_EQ(seen.size(), atClose);
    EXPECT_FALSE(afterClose);
    EXPECT_FALSE(main.captureOpen());
    for (size_t i = 0; i < seen.size(); ++i)
        ASSERT_EQ(seen[i], static_cast<int>(i)) << "block " << i;
    EXPECT_EQ(main.pipeline().blocksProcessed(), atClose);
}

TEST_F(AppShell, UnreadableSourceGivesABoxAndTheProgramRunsOn)
{
    const QString missing = m_dir.filePath(QStringLiteral("gone.wav"));
    writeText(iniPath(), "[Wave]\nSource=" + missing.toStdString() + "\n");
    MainWindow main(options());
    ASSERT_FALSE(MessageHub::records().empty());
    const auto& first = MessageHub::records().front();
    EXPECT_TRUE(first.beeped);
    EXPECT_TRUE(first.text.contains(missing));
    EXPECT_FALSE(main.captureOpen());
    EXPECT_FALSE(main.closing());
    main.close();
}

TEST_F(AppShell, MessageHubAnswersWithoutABox)
{
    std::vector<QString> asked;
    MessageHub::setAnswerer([&](MessageHub::Kind kind, const QString& text) {
        asked.push_back(text);
        return kind != MessageHub::Kind::Confirmation;
    });
    EXPECT_FALSE(MessageHub::confirm(nullptr, QStringLiteral("消去します。よろしいですか？")));
    MessageHub::warning(nullptr, QStringLiteral("警告"));
    ASSERT_EQ(MessageHub::records().size(), 2u);
    EXPECT_EQ(MessageHub::records()[0].kind, MessageHub::Kind::Confirmation);
    EXPECT_TRUE(MessageHub::records()[0].beeped);
    EXPECT_FALSE(MessageHub::records()[0].answer);
    EXPECT_EQ(asked.back(), QStringLiteral("警告"));
    EXPECT_EQ(MessageHub::title(), QStringLiteral("Varnesk"));
}

TEST_F(AppShell, SigtermWhileABoxIsOpenClosesThroughTheNormalPath)
{
    MainWindow main(options());
    ASSERT_TRUE(installTerminationHandling());
    attachMainWindow(main);
    main.show();
    MessageHub::setAnswerer({}); // a real modal box this time
    QTimer::singleShot(100, [] { ::raise(SIGTERM); });
    const bool answer = MessageHub::confirm(&main, QStringLiteral("よろしいですか？"));
    EXPECT_FALSE(answer);
    ASSERT_TRUE(apptest::waitFor([&] { return main.closing(); }, 3000));
    EXPECT_FALSE(main.pipeline().processingEnabled());
    EXPECT_TRUE(iniValue(readAll(iniPath()), "Map", "MapCentN").has_value());
    MessageHub::setSuppressed(false);
}

TEST(ProgramRun, SigtermSavesTheSettingsAndEnds)
{
    // The real program in a folder of its own, started without a sound device
    // (the capture box is open) and ended by SIGTERM.
    ensureApp();
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("varnesk"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VARNESK_APP_DIR "/varnesk"), program));
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The program tells on stderr when its start-up box opens or its event loop runs.
    env.insert(QStringLiteral("QT_LOGGING_RULES"),
               QStringLiteral("varnesk.messages.debug=true;varnesk.start.debug=true"));
    run.setProcessEnvironment(env);
    run.start(program, {});
    ASSERT_TRUE(run.waitForStarted(5000));
    // Wait until the program catches SIGTERM (bit 15 of SigCgt) and is in its
    // start-up box or its event loop.
    auto catchesSigterm = [&] {
        QFile status(QStringLiteral("/proc/%1/status").arg(run.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("SigCgt:"))
                return ((line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1) != 0;
        return false;
    };
    for (int i = 0; i < 200 && !catchesSigterm(); ++i)
        QThread::msleep(50);
    ASSERT_TRUE(catchesSigterm());
    QByteArray said;
    QDeadlineTimer deadline(10000);
    while (!said.contains("box open:") && !said.contains("event loop running") && !deadline.hasExpired()
           && run.state() == QProcess::Running) {
        run.waitForReadyRead(100);
        said += run.readAllStandardError();
    }
    ASSERT_TRUE(said.contains("box open:") || said.contains("event loop running")) << said.toStdString();
    ASSERT_EQ(run.state(), QProcess::Running);
    run.terminate(); // SIGTERM
    ASSERT_TRUE(run.waitForFinished(10000));
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 0);
    const std::string ini = readAll(dir.filePath(QStringLiteral("varnesk.ini")));
    for (const KeyDef& def : keyTable())
        EXPECT_TRUE(iniValue(ini, std::string(def.section), std::string(def.name)).has_value()) << def.name;
}
