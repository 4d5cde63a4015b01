// The network's windows on the offscreen platform: two program windows, a
// server and a client, joined through the TCP/IP button and the connection
// dialog; the chat window; the packet test; the connection dialog's port
// check; the RAW import with its progress window and cancel button.
#include "acars/line_codec.h"
#include "app/receive_pipeline.h"
#include "app/ui/main_window.h"
#include "app/ui/window_table.h"
#include "net/feed_sender.h"
#include "net/net_link.h"
#include "net/ui/chat_window.h"
#include "net/ui/connect_dialog.h"
#include "net/ui/feed_dialog.h"
#include "net/ui/import_progress_window.h"
#include "net/ui/packet_window.h"
#include "widgets/message_hub.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUdpSocket>

#include "../gui_app.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace varnesk;

namespace {

void ensureApp()
{
    test::ensureGuiApp();
}

bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// A free port in the range the program accepts (49152 … 65535).
quint16 freeProgramPort()
{
    for (int p = 49152 + static_cast<int>(getpid() % 8000); p < 65536; ++p) {
        QTcpServer probe;
        if (probe.listen(QHostAddress::AnyIPv4, static_cast<quint16>(p)))
            return static_cast<quint16>(p);
    }
    return 0;
}

bool hasBox(const QString& text)
{
    for (const auto& r : MessageHub::records())
        if (r.text == text)
            return true;
    return false;
}

std::string encode(std::string_view chars)
{
    std::string out;
    for (char c : chars)
        out.push_back(static_cast<char>(encodeLineChar(static_cast<uint8_t>(c))));
    return out;
}

// A program folder with an INI file.
class Folder {
public:
    explicit Folder(const std::string& ini)
    {
        QFile f(m_dir.filePath(QStringLiteral("varnesk.ini")));
        f.open(QIODevice::WriteOnly);
        f.write(ini.data(), static_cast<qint64>(ini.size()));
    }
    MainWindow::Options options() const { return {m_dir.path(), QStringLiteral("varnesk")}; }
    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

private:
    QTemporaryDir m_dir;
};

template <typename T = QWidget>
T* child(QWidget& parent, const char* name)
{
    return parent.findChild<T*>(QLatin1String(name));
}

class NetWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureApp();
        MessageHub::clearRecords();
        MessageHub::setAnswerer([](MessageHub::Kind, const QString&) { return true; });
    }
    void TearDown() override
    {
        MessageHub::setAnswerer({});
        MessageHub::clearRecords();
    }
};

} // namespace

TEST_F(NetWindows, ServerAndClientShareTrafficAndChatThroughTheirWindows)
{
    const quint16 port = freeProgramPort();
    ASSERT_NE(port, 0);
    const std::string portText = std::to_string(port);
    Folder serverFolder("[Net]\nTcpIp=1\nServer=1\nChat=1\nServerPortNo=" + portText + "\n");
    Folder clientFolder("[Net]\nTcpIp=1\nServer=0\nChat=1\nName=JA\nServerName=127.0.0.1\nClientPortNo=" + portText
                        + "\n");
    MainWindow server(serverFolder.options());
    createSecondaryWindows(server);
    MainWindow client(clientFolder.options());
    createSecondaryWindows(client);

    const QString serverCaption = QStringLiteral("Varnesk(Server %1/10 PortNo %2)");
    EXPECT_EQ(server.windowTitle(), serverCaption.arg(0).arg(port));
    EXPECT_TRUE(server.pipeline().network().netActive());
    EXPECT_EQ(child<QToolButton>(*server.toolBar(), "SpeedButton1"), nullptr) << "a server has no connect button";
    EXPECT_EQ(client.windowTitle(), QStringLiteral("Varnesk"));

    // The button opens the dialog; OK connects.
    auto* button = child<QToolButton>(*client.toolBar(), "SpeedButton1");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->toolTip(), QStringLiteral("TCP/IP接続"));
    QTimer::singleShot(0, &client, [&client] {
        auto* dialog = child<ConnectDialog>(client, "TForm14");
        ASSERT_TRUE(dialog && dialog->isVisible());
        EXPECT_EQ(child<QLineEdit>(*dialog, "Edit1")->text(), QStringLiteral("127.0.0.1"));
        child<QPushButton>(*dialog, "Button1")->click();
    });
    button->click();
    ASSERT_TRUE(waitFor([&] { return client.pipeline().network().netActive(); }));
    EXPECT_TRUE(button->isChecked());
    EXPECT_TRUE(waitFor([&] { return hasBox(QStringLiteral("接続しました")); }));
    EXPECT_TRUE(waitFor([&] { return server.windowTitle() == serverCaption.arg(1).arg(port); }));
    EXPECT_TRUE(child<QAction>(client, "ChatItem")->isVisible());
    EXPECT_TRUE(child<QAction>(client, "PacketTestItem")->isVisible());

    // The client's radio frame: decoded by the server, and by the client only
    // when it comes back.
    const std::string chars = std::string("+*\x16\x16\x01") + "2.JA8089\x15H11\x02M01AJL0012HELLO\x03";
    const std::vector<int32_t> slots = slotsFromChars(chars, ParitySlot::Zero);
    const std::string line = encode(chars);
    CapturedFrame frame{slots, static_cast<int>(chars.size() * 8 + 16), true, line, 0};
    client.pipeline().onFrameCaptured(frame, QDateTime());
    const auto downlinks = [](MainWindow& m) {
        return m.pipeline().decode().decoder.counts(FrameSource::Network).downlinks;
    };
    EXPECT_TRUE(waitFor([&] { return downlinks(client) == 1; }));
    EXPECT_EQ(downlinks(server), 1u);

    // Chat from the client: in its own log after the relay; the server's chat window opens.
    auto* chat = child<ChatWindow>(client, "TForm12");
    child<QAction>(client, "ChatItem")->trigger();
    EXPECT_TRUE(chat->isVisible());
    EXPECT_EQ(child<QLineEdit>(*chat, "Edit1")->text(), QStringLiteral("JA"));
    child<QLineEdit>(*chat, "Edit2")->setText(QStringLiteral("こんにちは"));
    child<QPushButton>(*chat, "Button1")->click();
    EXPECT_TRUE(child<QLineEdit>(*chat, "Edit2")->text().isEmpty());
    auto* clientLog = child<QPlainTextEdit>(*chat, "Memo1");
    EXPECT_TRUE(waitFor([&] { return clientLog->toPlainText().startsWith(QStringLiteral("JA>こんにちは")); }))
        << clientLog->toPlainText().toStdString();
    auto* serverChat = child<ChatWindow>(server, "TForm12");
    EXPECT_TRUE(waitFor([&] { return serverChat->isVisible(); }));
    EXPECT_TRUE(child<QPlainTextEdit>(*serverChat, "Memo1")->toPlainText().contains(QStringLiteral("JA>こんにちは")));

    // Fields that would break the line are refused.
    struct Case {
        QString name, text, box;
    };
    const Case cases[] = {
        {QString(), QStringLiteral("x"), QStringLiteral("お名前欄が空白です")},
        {QStringLiteral("JA"), QString(), QStringLiteral("送信文字が空白です")},
        {QStringLiteral("JA"), QStringLiteral("a") + QChar(3) + QStringLiteral("b"),
         QStringLiteral("お名前・送信文字に送信できない制御文字が含まれています")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box.toStdString());
        MessageHub::clearRecords();
        const uint64_t sent = client.netLink().counters().sent;
        child<QLineEdit>(*chat, "Edit1")->setText(c.name);
        child<QLineEdit>(*chat, "Edit2")->setText(c.text);
        child<QPushButton>(*chat, "Button1")->click();
        EXPECT_TRUE(hasBox(c.box));
        EXPECT_EQ(client.netLink().counters().sent, sent);
    }

    // Releasing the button disconnects.
    MessageHub::clearRecords();
    button->click();
    EXPECT_FALSE(button->isChecked());
    EXPECT_FALSE(client.pipeline().network().netActive());
    EXPECT_TRUE(waitFor([&] { return hasBox(QStringLiteral("切断しました")); }));
    EXPECT_TRUE(waitFor([&] { return server.windowTitle() == serverCaption.arg(0).arg(port); }));
    EXPECT_FALSE(child<QAction>(client, "PacketTestItem")->isVisible());

    client.close();
    server.close();
    EXPECT_FALSE(server.netLink().server().listening());
}

TEST_F(NetWindows, ChatWindowFollowsItsSize)
{
    Folder folder("[Net]\nTcpIp=0\n");
    MainWindow main(folder.options());
    createSecondaryWindows(main);
    auto* chat = child<ChatWindow>(main, "TForm12");
    chat->resize(500, 400);
    chat->show();
    EXPECT_EQ(child<QPlainTextEdit>(*chat, "Memo1")->width(), 493);
    EXPECT_EQ(child<QPlainTextEdit>(*chat, "Memo1")->height(), 331);
    EXPECT_EQ(child<QLineEdit>(*chat, "Edit1")->width(), 343);
    EXPECT_EQ(child<QLineEdit>(*chat, "Edit2")->width(), 430);
    EXPECT_EQ(child<QPushButton>(*chat, "Button1")->x(), 411);
    main.close();
}

TEST_F(NetWindows, ConnectDialogChecksThePort)
{
    ensureApp();
    SettingsStore settings;
    ConnectDialog dialog(settings, nullptr);
    struct Case {
        const char* port;
        const char* box; // nullptr: accepted
    };
    const Case cases[] = {
        {"49151", "ポート番号は49152～65535の間です"},
        {"65536", "ポート番号は49152～65535の間です"},
        {"abc", "ポート番号は数字で入力してください（49152～65535）"},
        {"", "ポート番号は数字で入力してください（49152～65535）"},
        {"49152", nullptr},
        {"65535", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        MessageHub::clearRecords();
        dialog.show();
        child<QLineEdit>(dialog, "Edit1")->setText(QStringLiteral("server.example"));
        child<QLineEdit>(dialog, "Edit2")->setText(QString::fromLatin1(c.port));
        child<QCheckBox>(dialog, "CheckBox1")->setChecked(false);
        child<QPushButton>(dialog, "Button1")->click();
        if (c.box) {
            ASSERT_EQ(MessageHub::records().size(), 1u);
            EXPECT_EQ(MessageHub::records()[0].text, QString::fromUtf8(c.box));
            EXPECT_FALSE(MessageHub::records()[0].beeped);
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(settings.text(Key::ServerName), "");
        } else {
            EXPECT_TRUE(MessageHub::records().empty());
            EXPECT_FALSE(dialog.isVisible());
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
            EXPECT_EQ(settings.text(Key::ClientPortNo), c.port);
            EXPECT_EQ(settings.text(Key::ServerName), "server.example");
            EXPECT_FALSE(settings.boolean(Key::Reconnect));
            settings.setText(Key::ServerName, "");
        }
        dialog.hide();
    }
}

TEST_F(NetWindows, PacketTestSendsNumberedLinesAndShowsTheCounters)
{
    const quint16 port = freeProgramPort();
    Folder folder("[Net]\nTcpIp=1\nServer=1\nServerPortNo=" + std::to_string(port) + "\n");
    MainWindow main(folder.options());
    createSecondaryWindows(main);
    child<QAction>(main, "PacketTestItem")->trigger();
    auto* packets = child<PacketWindow>(main, "TForm13");
    ASSERT_TRUE(packets->isVisible());
    auto* tx = child<QPushButton>(*packets, "TestTxButton");
    auto* interval = child<QLineEdit>(*packets, "Edit1");
    EXPECT_EQ(interval->text(), QStringLiteral("200"));

    interval->setText(QStringLiteral("fast"));
    tx->click();
    EXPECT_FALSE(tx->isChecked());
    EXPECT_FALSE(packets->testRunning());
    EXPECT_TRUE(hasBox(QStringLiteral("送信間隔は1以上の数字（msec）で入力してください")));

    // In a server every test line is a client send error (no server to send to).
    interval->setText(QStringLiteral("10"));
    tx->click();
    EXPECT_TRUE(waitFor([&] { return packets->testCounter() >= 3; }));
    tx->click();
    EXPECT_FALSE(packets->testRunning());
    const int counted = packets->testCounter();
    EXPECT_EQ(main.netLink().counters().clientSendErrors, static_cast<uint64_t>(counted));
    EXPECT_EQ(child<QLabel>(*packets, "ClientErrorLabel")->text(), QString::number(counted));
    EXPECT_EQ(child<QLabel>(*packets, "SentLabel")->text(), QStringLiteral("0"));
    main.close();
}

TEST_F(NetWindows, RawImportShowsItsWindowFillsTheViewsAndCancels)
{
    Folder folder("[Net]\nTcpIp=0\n");
    std::string log;
    for (int n = 0; n < 20; ++n)
        log += "[Lch]2026/12/10 12:34:56\r\n+*<SYN><SYN><SOH>2.JA80" + std::to_string(10 + n)
               + "<NAK>H11<STX>M01AJL0012HELLO" + std::to_string(n) + "<ETX>\r\n\r\n";
    QFile file(folder.path("day.log"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(log.data(), static_cast<qint64>(log.size()));
    file.close();

    MainWindow main(folder.options());
    createSecondaryWindows(main);
    main.move(100, 80);
    auto* progress = child<ImportProgressWindow>(main, "TForm16");
    std::vector<std::string> entries;
    QObject::connect(&main.pipeline().decode().text, &ReceivedText::entryAppended,
                     [&](std::string_view e) { entries.emplace_back(e); });

    bool sawWindow = false;
    QPoint at;
    QTimer::singleShot(0, progress, [&] {
        sawWindow = progress->isVisible();
        at = progress->pos();
    });
    ASSERT_TRUE(progress->runImport(folder.path("day.log")));
    EXPECT_TRUE(sawWindow);
    EXPECT_EQ(at, main.frameGeometry().topLeft() + QPoint(10, 60));
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(main.pipeline().decode().decoder.counts(FrameSource::Network).downlinks, 20u);
    EXPECT_EQ(main.pipeline().tracking().list().rowCount(), 20);
    ASSERT_FALSE(entries.empty());
    EXPECT_NE(entries[0].find("RAW"), std::string::npos);

    // Cancel during the first record's turn of the event loop.
    QTimer::singleShot(0, progress, [&] { child<QPushButton>(*progress, "Button1")->click(); });
    ASSERT_TRUE(progress->runImport(folder.path("day.log")));
    EXPECT_EQ(main.pipeline().decode().decoder.counts(FrameSource::Network).downlinks, 21u);

    // A file that cannot be read shows nothing.
    EXPECT_FALSE(progress->runImport(folder.path("missing.log")));
    EXPECT_TRUE(main.pipeline().decode().import.ImportFileName().empty());
    main.close();
}

// The feed starts with the program when [Feed] Enabled; its dialog changes
// the target, and "OK" makes the feed follow at once.
TEST_F(NetWindows, FeedStartsWithTheProgramAndFollowsItsDialog)
{
    QUdpSocket udpTarget;
    ASSERT_TRUE(udpTarget.bind(QHostAddress(QHostAddress::LocalHost), 0));
    Folder folder("[Feed]\nEnabled=1\nHost=127.0.0.1\nProtocol=UDP\nStationId=JA-1\nPort="
                  + std::to_string(udpTarget.localPort()) + "\n");
    MainWindow main(folder.options());
    createSecondaryWindows(main);
    FeedSender& feed = main.pipeline().feed();
    EXPECT_EQ(feed.state(), FeedSender::State::Ready);
    feed.sendLine("{}\n");
    EXPECT_TRUE(waitFor([&] { return udpTarget.hasPendingDatagrams(); }));

    QTcpServer tcpTarget;
    ASSERT_TRUE(tcpTarget.listen(QHostAddress(QHostAddress::LocalHost), 0));
    auto* entry = child<QAction>(main, "FeedItem");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), QStringLiteral("JSONフィード設定…"));
    entry->trigger();
    auto* dialog = child<FeedDialog>(main, "FeedDialog");
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_TRUE(child<QCheckBox>(*dialog, "FeedEnabled")->isChecked());
    // The older Host, Port and Protocol show as the one target.
    const QString udpText = QStringLiteral("udp:127.0.0.1:%1").arg(udpTarget.localPort());
    EXPECT_EQ(child<QLineEdit>(*dialog, "FeedTargets")->text(), udpText);
    EXPECT_EQ(child<QLineEdit>(*dialog, "FeedStationId")->text(), QStringLiteral("JA-1"));
    EXPECT_EQ(child<QLabel>(*dialog, "FeedCounts")->text(), udpText + QStringLiteral("  送信中  送信 1  破棄 0"));

    // A target that cannot be read keeps the dialog open with the reason.
    auto* targets = child<QLineEdit>(*dialog, "FeedTargets");
    targets->setText(udpText + QStringLiteral(", tcp:127.0.0.1"));
    child<QPushButton>(*dialog, "OkButton")->click();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(child<QLabel>(*dialog, "FeedError")->text().contains(QStringLiteral("tcp:127.0.0.1")));
    EXPECT_TRUE(main.settings().text(Key::FeedTargets).empty());

    const QString tcpText = QStringLiteral("tcp:127.0.0.1:%1").arg(tcpTarget.serverPort());
    targets->setText(udpText + QStringLiteral(" , ") + tcpText);
    child<QLineEdit>(*dialog, "FeedStationId")->setText(QStringLiteral("東京"));
    child<QPushButton>(*dialog, "OkButton")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(QString::fromStdString(main.settings().text(Key::FeedTargets)), udpText + QStringLiteral(", ") + tcpText);
    EXPECT_EQ(main.settings().text(Key::FeedStationId), "\x93\x8c\x8b\x9e");
    ASSERT_EQ(feed.targets().size(), 2u);
    EXPECT_TRUE(waitFor(
        [&] { return feed.targets()[1]->state() == FeedSender::State::Ready && tcpTarget.hasPendingConnections(); }));
    // The counts line has one line per target; the target kept keeps its counts.
    entry->trigger();
    EXPECT_EQ(child<QLabel>(*dialog, "FeedCounts")->text(), udpText + QStringLiteral("  送信中  送信 1  破棄 0\n")
                                                                + tcpText + QStringLiteral("  送信中  送信 0  破棄 0"));
    dialog->reject();

    // Off: the connection is closed and nothing more is sent.
    entry->trigger();
    child<QCheckBox>(*dialog, "FeedEnabled")->setChecked(false);
    child<QPushButton>(*dialog, "OkButton")->click();
    EXPECT_EQ(feed.state(), FeedSender::State::Off);
    EXPECT_FALSE(main.settings().boolean(Key::FeedEnabled));

    // On again; closing the program closes the feed with the other sockets.
    entry->trigger();
    child<QCheckBox>(*dialog, "FeedEnabled")->setChecked(true);
    child<QPushButton>(*dialog, "OkButton")->click();
    EXPECT_NE(feed.state(), FeedSender::State::Off);
    main.close();
    EXPECT_EQ(feed.state(), FeedSender::State::Off);
}
