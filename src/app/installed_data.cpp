#include "app/installed_data.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace varnesk {

QString installedDataDir(const QString& programDir)
{
    const QDir bin(programDir);
    if (bin.dirName() != QLatin1String("bin"))
        return {};
    const QString data = QDir::cleanPath(bin.filePath(QStringLiteral("../share/varnesk")));
    return QFileInfo(data).isDir() ? data : QString();
}

QString userDataDir()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/varnesk");
}

bool seedUserData(const QString& from, const QString& to)
{
    bool ok = true;
    QDir target(to);
    for (const char* folder : {"data", "lines", "points", "pics", "logs/EachLogs"})
        ok = target.mkpath(QLatin1String(folder)) && ok;
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString relative = QDir(from).relativeFilePath(source);
        const QString dest = target.filePath(relative);
        if (QFileInfo::exists(dest))
            continue;
        ok = target.mkpath(QFileInfo(relative).path()) && ok;
        if (QFile::copy(source, dest))
            QFile(dest).setPermissions(QFile(dest).permissions() | QFileDevice::WriteOwner);
        else
            ok = false;
    }
    return ok;
}

QString applicationDirectory(const QString& programDir)
{
    const QString installed = installedDataDir(programDir);
    if (installed.isEmpty())
        return {};
    const QString user = userDataDir();
    seedUserData(installed, user);
    return user;
}

} // namespace varnesk
