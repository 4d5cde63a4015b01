// The search list in the running program: a generated recording played as
// [Wave] Source brings a listed aircraft; the search window pops up, the hit
// log is written and the mail reaches a real SMTP server over STARTTLS with a
// login, and the settings file holding the password is the owner's only. With a server that
// never answers, reception and display go on through the whole retry schedule.
#include "acars/sjis.h"
#include "app/receive_pipeline.h"
#include "app/ui/main_window.h"
#include "app/ui/window_table.h"
#include "search/search_watch.h"
#include "widgets/message_hub.h"

#include "../search/search_test_support.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>

#include "../gui_app.h"

#include <gtest/gtest.h>

using namespace varnesk;

namespace {

void ensureApp()
{
    test::ensureGuiApp();
}

class SearchProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureApp();
        MessageHub::setAnswerer([](MessageHub::Kind, const QString&) { return true; });
        QDir(m_dir.path()).mkpath(QStringLiteral("data"));
        QDir(m_dir.path()).mkpath(QStringLiteral("logs/EachLogs"));
        // Eight downlinks a second apart on the left channel; the first comes
        // from the listed aircraft.
        ASSERT_EQ(test::writeDownlinkTraffic(m_dir.path(), 8, 0), "");
        test::writeFile(m_dir.filePath(QStringLiteral("data/search.csv")), "JA8089,VIP\r\n");
        test::writeFile(m_dir.filePath(QStringLiteral("varnesk.ini")),
                        "[Wave]\nSource=traffic.wav\nDual=1\n[Txt]\nTxtType=0\n[Spec]\nPopUp=1\nSound=0\nLog=1\n"
                        "[Mail]\nMailHost=127.0.0.1\nMailFrom=station@example.org\nMailTo=me@example.org\n"
                        "MailSend=1\nMailTls=1\nMailAuth=1\nMailUser=station\nMailPass=s3cret\n");
    }
    void TearDown() override { MessageHub::setAnswerer({}); }

    MainWindow::Options options() const { return {m_dir.path(), QStringLiteral("varnesk")}; }
    int entries(MainWindow& main) const
    {
        const std::string& text = main.pipeline().decode().text.windowText();
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }

    QTemporaryDir m_dir;
};

TEST_F(SearchProgram, HitPopsUpLogsAndMailsThroughARealServer)
{
    test::TestCertificate certificate;
    ASSERT_FALSE(certificate.certificates().isEmpty()) << certificate.errors().toStdString();
    test::SmtpSink sink({QStringLiteral("--tls"), certificate.certPath(), certificate.keyPath(),
                         QStringLiteral("--auth"), QStringLiteral("station:s3cret")});
    ASSERT_NE(sink.port(), 0) << sink.errors().toStdString();
    MainWindow main(options());
    createSecondaryWindows(main);
    main.search().setSmtpPort(sink.port());
    main.search().setSmtpCaCertificates(certificate.certificates());
    QWidget* searchWindow = main.findChild<QWidget*>(QStringLiteral("TForm2"));
    ASSERT_NE(searchWindow, nullptr);
    EXPECT_FALSE(searchWindow->isVisible());

    ASSERT_TRUE(test::waitUntil([&] { return sink.count() >= 1; }, 20000)) << sink.errors().toStdString();
    EXPECT_TRUE(searchWindow->isVisible());
    EXPECT_NE(test::readFile(main.paths().searchLog).find("JA8089"), std::string::npos);
    const QJsonObject mail = sink.mail(1);
    EXPECT_EQ(mail.value(QStringLiteral("subject")).toString(), QStringLiteral("JA8089を受信しました！"));
    EXPECT_TRUE(mail.value(QStringLiteral("body")).toString().contains(QStringLiteral("JL0010")));
    main.close();
    EXPECT_EQ(QFile::permissions(m_dir.filePath(QStringLiteral("varnesk.ini"))),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
}

TEST_F(SearchProgram, ReceptionGoesOnWhileTheMailServerNeverAnswers)
{
    test::ScriptedServer server;
    server.scripts = {{test::ScriptedServer::silent()}};
    MainWindow main(options());
    createSecondaryWindows(main);
    main.search().setSmtpPort(server.port());
    main.search().setMailTiming(MailTiming{600, 600, 600});

    ASSERT_TRUE(test::waitUntil([&] { return server.connections >= 1; }, 20000));
    const int atFirstAttempt = entries(main);
    // Four attempts, about 4 × 0.6 s of waiting for a reply and 3 × 0.6 s between.
    ASSERT_TRUE(test::waitUntil(
        [&] { return sjisToQString(main.search().mailStatus()).endsWith(QStringLiteral("-送信に失敗しました")); },
        20000));
    EXPECT_EQ(server.connections, 4);
    // Blocks a second apart went on being decoded and shown meanwhile.
    EXPECT_GE(entries(main) - atFirstAttempt, 2);
    main.close();
}

} // namespace
