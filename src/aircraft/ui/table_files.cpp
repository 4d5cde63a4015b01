// Opening the reference tables, the application folder and web pages through
// the desktop's associated applications, with a box for every failure.
#include "aircraft/ui/table_files.h"

#include "settings/app_paths.h"
#include "widgets/message_hub.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace varnesk {

namespace {

bool openLocal(const QString& path, QWidget* parent)
{
    if (!QFileInfo::exists(path)) {
        MessageHub::warning(parent, QStringLiteral("ファイルが見つかりません\n") + path);
        return false;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        MessageHub::warning(parent, QStringLiteral("開くためのアプリケーションを起動できません\n") + path);
        return false;
    }
    return true;
}

} // namespace

bool openFlightTable(const AppPaths& paths, QWidget* parent)
{
    return openLocal(paths.flightTable, parent);
}

bool openAircraftTable(const AppPaths& paths, QWidget* parent)
{
    return openLocal(paths.aircraftTable, parent);
}

bool openApplicationFolder(const AppPaths& paths, QWidget* parent)
{
    return openLocal(paths.appDir, parent);
}

bool openWebPage(const QString& url, QWidget* parent)
{
    if (url.isEmpty())
        return false;
    if (!QDesktopServices::openUrl(QUrl(url))) {
        MessageHub::warning(parent, QStringLiteral("ブラウザーを起動できません\n") + url);
        return false;
    }
    return true;
}

} // namespace varnesk
