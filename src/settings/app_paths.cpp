#include "settings/app_paths.h"

namespace varnesk {

AppPaths AppPaths::make(const QString& appDir, const QString& programName, bool datedLogNames,
                        const QDateTime& startLocal)
{
    AppPaths p;
    p.appDir = appDir;
    while (p.appDir.size() > 1 && p.appDir.endsWith(QLatin1Char('/')))
        p.appDir.chop(1);
    const QString d = p.appDir;
    p.iniFile = d + QLatin1Char('/') + programName + QStringLiteral(".ini");
    p.alertSound = d + QStringLiteral("/wave.wav");
    p.searchList = d + QStringLiteral("/data/search.csv");
    p.flightTable = d + QStringLiteral("/data/flight.csv");
    p.airportTable = d + QStringLiteral("/data/airport.csv");
    p.aircraftTable = d + QStringLiteral("/data/aircraft.csv");
    p.letterTable = d + QStringLiteral("/data/letter.csv");
    p.groundTable = d + QStringLiteral("/data/ground.txt");
    p.coastline = d + QStringLiteral("/lines/coastline.dat");
    p.navaids = d + QStringLiteral("/points/nav.txt");
    p.airways = d + QStringLiteral("/lines/airway.txt");
    p.eachLogsDir = d + QStringLiteral("/logs/EachLogs");
    p.picsDir = d + QStringLiteral("/pics");
    const QString prefix =
        datedLogNames ? startLocal.toString(QStringLiteral("yyyyMMddHHmm")) + QLatin1Char('_') : QString();
    p.textLog = d + QStringLiteral("/logs/") + prefix + QStringLiteral("text.log");
    p.searchLog = d + QStringLiteral("/logs/") + prefix + QStringLiteral("search.log");
    p.listLog = d + QStringLiteral("/logs/") + prefix + QStringLiteral("list.csv");
    return p;
}

} // namespace varnesk
