// The open-table menu entries hand the right local path to the desktop, and
// say so when the file is missing.
#include "aircraft/ui/table_files.h"

#include "settings/app_paths.h"
#include "widgets/message_hub.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <vector>

namespace varnesk {
namespace {

// Stands in for the desktop: receives what would be opened.
class Desktop : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl& url) { opened.push_back(url); }
};

TEST(TableFiles, TheDesktopGetsTheTablesAndTheFolderAndAMissingTableSaysSo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const AppPaths paths = AppPaths::make(dir.path(), QStringLiteral("varnesk"), false, {});
    QDir().mkpath(dir.filePath(QStringLiteral("data")));
    QFile flights(paths.flightTable);
    ASSERT_TRUE(flights.open(QIODevice::WriteOnly));
    flights.close();
    MessageHub::clearRecords();
    MessageHub::setAnswerer([](MessageHub::Kind, const QString&) { return true; });
    Desktop desktop;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open");
    EXPECT_TRUE(openFlightTable(paths, nullptr));
    EXPECT_FALSE(openAircraftTable(paths, nullptr)); // no aircraft.csv
    EXPECT_TRUE(openApplicationFolder(paths, nullptr));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    MessageHub::setAnswerer({});
    ASSERT_EQ(desktop.opened.size(), 2u);
    EXPECT_EQ(desktop.opened[0], QUrl::fromLocalFile(dir.filePath(QStringLiteral("data/flight.csv"))));
    EXPECT_EQ(desktop.opened[1], QUrl::fromLocalFile(dir.path()));
    ASSERT_EQ(MessageHub::records().size(), 1u);
    EXPECT_EQ(MessageHub::records()[0].text,
              QStringLiteral("ファイルが見つかりません\n") + dir.filePath(QStringLiteral("data/aircraft.csv")));
}

} // namespace
} // namespace varnesk

#include "table_files_test.moc"
