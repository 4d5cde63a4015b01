// The main window with generated traffic on the map, for looking at by hand
// (screenshots under Xvfb): 24 aircraft on tracks over Japan, 20 fixes each,
// no message boxes. Usage: map_window_demo [APPDIR (default BUILD/app)] [--scale N] [--seconds S]
#include "app/receive_pipeline.h"
#include "app/ui/main_window.h"
#include "map/ui/map_area.h"
#include "tracking/track_store.h"
#include "widgets/message_hub.h"

#include <QApplication>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

using namespace varnesk;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    MessageHub::setAnswerer([](MessageHub::Kind, const QString& text) {
        std::fprintf(stderr, "box: %s\n", text.toUtf8().constData());
        return true;
    });
    MainWindow::Options options;
    int scale = -1;
    int seconds = 0;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--scale") && i + 1 < args.size())
            scale = args[++i].toInt();
        else if (args[i] == QLatin1String("--seconds") && i + 1 < args.size())
            seconds = args[++i].toInt();
        else
            options.appDir = args[i];
    }
    // The program folder beside this one (BUILD/app) holds the map files.
    if (options.appDir.isEmpty())
        options.appDir = QCoreApplication::applicationDirPath() + QStringLiteral("/../app");
    options.programName = QStringLiteral("varnesk");
    MainWindow window(options);

    TrackStore& store = window.pipeline().tracking().store();
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> lat(31.0, 43.0), lon(129.0, 145.0), dir(0, 2 * M_PI);
    const char* const operators[] = {"JL", "NH", "BC", "7G", "GK", "MM"};
    for (int a = 0; a < 24; ++a) {
        char flight[8], reg[8];
        std::snprintf(flight, sizeof flight, "%s%04d", operators[a % 6], 100 + a * 37);
        std::snprintf(reg, sizeof reg, "JA%03dA", 300 + a);
        window.pipeline().tracking().UpdateListEntry(flight, reg, "");
        double la = lat(rng), lo = lon(rng);
        const double d = dir(rng);
        for (int i = 0; i < 20; ++i) {
            la += 0.09 * std::cos(d) + 0.01 * std::sin(i * 0.7);
            lo += 0.11 * std::sin(d);
            char time[8];
            std::snprintf(time, sizeof time, "%02d%02d", 2 + i / 6, (i * 10) % 60);
            TrackFix fix;
            fix.flight = flight;
            fix.registration = reg;
            fix.time = time;
            fix.latitude = la;
            fix.longitude = lo;
            fix.altitude = a % 5 == 0 ? 9500 : 28000 + 1000 * (a % 9);
            fix.heading = static_cast<int>(std::lround(std::fmod(d * 180 / M_PI + 360, 360)));
            fix.temperature = -40;
            fix.windDirection = 270;
            fix.windSpeed = 80;
            store.AddTrackPoint(fix);
        }
    }
    if (MapArea* map = window.mapArea(); map && scale >= 0)
        map->setScaleIndex(scale);
    window.show();
    if (MapArea* map = window.mapArea())
        map->redrawAll();
    if (seconds > 0)
        QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    return app.exec();
}
