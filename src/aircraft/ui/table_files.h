// The main window's menu entries that open the reference tables or the
// application folder: the desktop opens the path in its associated
// application ("flightファイルを開く", "aircraftファイルを開く", "ファイルフォルダを開く");
// and the web look-ups, opened in the desktop's browser.
#pragma once

#include <QString>

class QWidget;

namespace varnesk {

struct AppPaths;

// Hand the flight table, the aircraft table or the application folder to the
// desktop; the program does not wait. A missing file, or a desktop with no
// application to open it, is said in one box over parent; false then.
bool openFlightTable(const AppPaths& paths, QWidget* parent);
bool openAircraftTable(const AppPaths& paths, QWidget* parent);
bool openApplicationFolder(const AppPaths& paths, QWidget* parent);

// A web page in the desktop's browser; with no browser to start, one box.
bool openWebPage(const QString& url, QWidget* parent);

} // namespace varnesk
