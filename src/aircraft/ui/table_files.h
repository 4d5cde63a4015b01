// The main window's menu entries that open the reference tables or the
// application folder: the desktop opens the path in its associated
// application ("flightファイルを開く", "aircraftファイルを開く", "ファイルフォルダを開く").
#pragma once

namespace varnesk {

struct AppPaths;

// Hand the flight table, the aircraft table or the application folder to the
// desktop; the program does not wait, and a failure is not reported.
void openFlightTable(const AppPaths& paths);
void openAircraftTable(const AppPaths& paths);
void openApplicationFolder(const AppPaths& paths);

} // namespace varnesk
