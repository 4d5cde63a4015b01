// The path table: every data, map and log file the program uses, formed once
// at start-up from the application directory (the folder of the executable).
#pragma once

#include <QDateTime>
#include <QString>

namespace varnesk {

struct AppPaths {
    QString appDir; // no trailing separator
    QString iniFile;
    QString alertSound;
    QString searchList;
    QString flightTable;
    QString airportTable;
    QString aircraftTable;
    QString letterTable;
    QString groundTable;
    QString coastline;
    QString navaids;
    QString airways;
    QString textLog;
    QString searchLog;
    QString listLog;
    QString eachLogsDir;
    QString picsDir;

    // With datedLogNames ([Etc] LogName) the three logs are named
    // "YYYYMMDDhhmm_text.log" and so on after the local start time.
    static AppPaths make(const QString& appDir, const QString& programName, bool datedLogNames,
                         const QDateTime& startLocal);
};

} // namespace varnesk
