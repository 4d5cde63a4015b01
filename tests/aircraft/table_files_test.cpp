// The open-table menu entries hand the right local path to the desktop.
#include "aircraft/ui/table_files.h"

#include "settings/app_paths.h"

#include <QDesktopServices>
#include <QObject>
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

TEST(TableFiles, TheDesktopGetsTheTablesAndTheFolder)
{
    Desktop desktop;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open");
    const AppPaths paths = AppPaths::make(QStringLiteral("/opt/varnesk app"), QStringLiteral("varnesk"), false, {});
    openFlightTable(paths);
    openAircraftTable(paths);
    openApplicationFolder(paths);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(desktop.opened.size(), 3u);
    EXPECT_EQ(desktop.opened[0], QUrl::fromLocalFile(QStringLiteral("/opt/varnesk app/data/flight.csv")));
    EXPECT_EQ(desktop.opened[1], QUrl::fromLocalFile(QStringLiteral("/opt/varnesk app/data/aircraft.csv")));
    EXPECT_EQ(desktop.opened[2], QUrl::fromLocalFile(QStringLiteral("/opt/varnesk app")));
}

} // namespace
} // namespace varnesk

#include "table_files_test.moc"
