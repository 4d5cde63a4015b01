// The station without windows mails a search-list hit: a generated recording
// as its input brings a listed aircraft, and the mail reaches a real SMTP
// server; the hit log is written too.
#include "app/station.h"
#include "search/search_watch.h"

#include "../search/search_test_support.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace varnesk {
namespace {

TEST(StationMail, SearchHitIsLoggedAndMailed)
{
    test::ensureCoreApp();
    QTemporaryDir dir;
    // Four downlinks a second apart; the second comes from the listed aircraft.
    ASSERT_EQ(test::writeDownlinkTraffic(dir.path(), 4, 1), "");
    QDir(dir.path()).mkpath(QStringLiteral("data"));
    test::writeFile(dir.filePath(QStringLiteral("data/search.csv")), "JA8089,VIP\r\n");
    test::writeFile(dir.filePath(QStringLiteral("varnesk.ini")),
                    "[Wave]\nSource=traffic.wav\nDual=1\n[Spec]\nLog=1\n"
                    "[Mail]\nMailHost=127.0.0.1\nMailFrom=station@example.org\nMailTo=me@example.org\nMailSend=1\n");

    test::SmtpSink sink;
    ASSERT_NE(sink.port(), 0) << sink.errors().toStdString();
    Station::Options options;
    options.dir = dir.path();
    std::vector<QString> said;
    Station station(options, [&](const QString& line) { said.push_back(line); });
    ASSERT_TRUE(station.start());
    ASSERT_NE(station.search(), nullptr);
    station.search()->setSmtpPort(sink.port());

    ASSERT_TRUE(test::waitUntil([&] { return sink.count() >= 1; }, 20000)) << sink.errors().toStdString();
    const QJsonObject mail = sink.mail(1);
    EXPECT_EQ(mail.value(QStringLiteral("subject")).toString(), QStringLiteral("JA8089を受信しました！"));
    EXPECT_TRUE(mail.value(QStringLiteral("body")).toString().contains(QStringLiteral("JL0011")));
    EXPECT_NE(test::readFile(dir.filePath(QStringLiteral("logs/search.log"))).find("JA8089"), std::string::npos);
    station.stop();
}

} // namespace
} // namespace varnesk
