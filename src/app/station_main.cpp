// varnesk-station: the receiver without windows, for a small computer with
// an antenna on the roof; desktop copies connect to it as clients.
#include "app/installed_data.h"
#include "app/station.h"
#include "app/termination_signals.h"
#include "program_version.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>

#include <clocale>
#include <cstdio>

namespace {

const char kUsage[] = "usage: varnesk-station [--dir FOLDER] [--listen ADDRESS] [--status-seconds N] [--exit-at-end]\n"
                      "  Runs the receiver of varnesk without windows, from FOLDER/varnesk.ini\n"
                      "  (default: the current folder; written with the defaults when missing):\n"
                      "  the input of [Wave] Source (empty: the sound card of [Wave] Input; a WAV\n"
                      "  file, IQ recording or named pipe; \"sdr\" for the receiver of [Sdr]), the\n"
                      "  logs, the sharing server of [Net], the feed of [Feed] and the e-mail of\n"
                      "  search-list hits. Status lines and problems go to standard error.\n"
                      "  --listen ADDRESS     the sharing server's address (default: every IPv4 address)\n"
                      "  --status-seconds N   a status line per channel every N seconds (default 60)\n"
                      "  --exit-at-end        stop when a file input has been played to its end\n"
                      "  SIGTERM or SIGINT stop it; the settings file is never written but at first start.\n";

void say(const QString& line)
{
    const QByteArray text = QStringLiteral("%1 varnesk-station: %2\n")
                                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), line)
                                .toLocal8Bit();
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
    std::fflush(stderr);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QCoreApplication::setApplicationName(QStringLiteral("varnesk-station"));

    varnesk::Station::Options options;
    options.dir = QDir::currentPath();
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == QLatin1String("--version")) {
            std::printf("varnesk-station %.*s\n", static_cast<int>(varnesk::kProgramVersion.size()),
                        varnesk::kProgramVersion.data());
            return 0;
        }
        if (arg == QLatin1String("--dir") && hasValue) {
            options.dir = QDir(args[++i]).absolutePath();
        } else if (arg == QLatin1String("--listen") && hasValue) {
            if (!options.listen.setAddress(args[++i])) {
                say(QStringLiteral("--listen needs an IP address, not %1").arg(args[i]));
                return 2;
            }
        } else if (arg == QLatin1String("--status-seconds") && hasValue) {
            bool ok = false;
            const int seconds = args[++i].toInt(&ok);
            if (!ok || seconds < 1) {
                say(QStringLiteral("--status-seconds needs a whole number of seconds, 1 or more"));
                return 2;
            }
            options.statusInterval = std::chrono::seconds(seconds);
        } else if (arg == QLatin1String("--exit-at-end")) {
            options.exitAtEnd = true;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    // Installed, the shipped data files seed the folder.
    options.installedData = varnesk::installedDataDir(QCoreApplication::applicationDirPath());

    varnesk::Station station(options, say);
    QObject::connect(&station, &varnesk::Station::finished, &app, [] {
        say(QStringLiteral("the input file has ended"));
        QCoreApplication::exit(0);
    });
    if (!varnesk::TerminationSignals::install([](int signalNumber) {
            say(QStringLiteral("signal %1: stopping").arg(signalNumber));
            QCoreApplication::exit(0);
        }))
        say(QStringLiteral("cannot install the signal handlers; stop it with SIGKILL"));
    if (!station.start())
        return 1;
    say(QStringLiteral("running in %1").arg(options.dir));
    const int status = QCoreApplication::exec();
    station.reportStatus();
    station.stop();
    return status;
}
