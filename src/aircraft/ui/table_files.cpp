// Opening the reference tables and the application folder through the
// desktop's associated applications.
#include "aircraft/ui/table_files.h"

#include "settings/app_paths.h"

#include <QDesktopServices>
#include <QUrl>

namespace varnesk {

void openFlightTable(const AppPaths& paths)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(paths.flightTable));
}

void openAircraftTable(const AppPaths& paths)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(paths.aircraftTable));
}

void openApplicationFolder(const AppPaths& paths)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(paths.appDir));
}

} // namespace varnesk
