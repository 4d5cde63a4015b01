// Where the program keeps its files. Run from the build folder (or any
// folder holding its data), the folder of the executable is the application
// directory, as always. Installed (<prefix>/bin/varnesk beside
// <prefix>/share/varnesk), that tree is read-only: the application directory
// becomes $XDG_DATA_HOME/varnesk (~/.local/share/varnesk), seeded on first
// start with the installed data files, and settings, logs and the user's
// tables live there.
#pragma once

#include <QString>

namespace varnesk {

// <prefix>/share/varnesk for a program in <prefix>/bin, when that folder exists; else empty.
QString installedDataDir(const QString& programDir);

// The per-user application directory, $XDG_DATA_HOME/varnesk or ~/.local/share/varnesk.
QString userDataDir();

// Copies every file of from missing in to (the user's own edits are never
// overwritten) and makes the log folders. False when a folder or file
// cannot be written.
bool seedUserData(const QString& from, const QString& to);

// The application directory for a program started from programDir (empty
// result: the program's own folder), seeding the per-user folder when installed.
QString applicationDirectory(const QString& programDir);

} // namespace varnesk
