// Full map redraw timing: background rebuild from the shipped map files plus
// the aircraft layer with 200 aircraft of 50 fixes each, PlotType 2, at the
// default view and at the largest scale. Prints milliseconds per redraw.
#include "map/aircraft_layer.h"
#include "map/background_renderer.h"
#include "aircraft/reference_tables.h"
#include "map/canvas.h"
#include "settings/settings_store.h"
#include "tracking/track_store.h"

#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

using namespace varnesk;

namespace {

constexpr int kAircraft = 200;
constexpr int kFixes = 50;

struct Fleet {
    std::vector<PlotPoint> pool;
    std::vector<AircraftEntry> entries;
};

// Aircraft on straight-ish tracks around the view centre, fixed seed.
Fleet makeFleet(double centreLat, double centreLon, double spreadDeg)
{
    Fleet f;
    f.pool.resize(static_cast<size_t>(kAircraft * kFixes));
    f.entries.resize(kAircraft);
    std::mt19937 rng(6);
    std::uniform_real_distribution<double> pos(-spreadDeg, spreadDeg), step(-0.05, 0.05);
    for (int a = 0; a < kAircraft; ++a) {
        AircraftEntry& e = f.entries[static_cast<size_t>(a)];
        e.points = std::span<PlotPoint>(f.pool.data() + static_cast<size_t>(a * kFixes), kFixes);
        char flight[8];
        std::snprintf(flight, sizeof flight, "JL%04d", a);
        e.flight.assign(flight);
        e.registration.assign("JA8089");
        e.labelTwoLetter.assign(flight);
        e.labelTwoLetterShort.assign(flight);
        e.labelThreeLetter.assign(flight);
        e.labelThreeLetterShort.assign(flight);
        e.lastTime.assign("12:34");
        e.age = a;
        e.newestPoint = kFixes - 1;
        double lat = centreLat + pos(rng), lon = centreLon + pos(rng);
        const double dlat = step(rng), dlon = step(rng);
        for (int i = 0; i < kFixes; ++i) {
            PlotPoint& p = e.points[static_cast<size_t>(i)];
            lat += dlat;
            lon += dlon;
            p.latitude = lat;
            p.longitude = lon;
            p.altitude = 20000 + 300 * i;
            p.heading = (a * 7) % 360;
            p.time = 0.5;
        }
    }
    return f;
}

double redrawMs(const MapView& view, SettingsStore& settings, const MapFilePaths& files, Fleet& fleet, int runs)
{
    QImage background(view.width, view.height, QImage::Format_RGB32);
    QImage layer(view.width, view.height, QImage::Format_RGB32);
    AircraftLayerOptions options = AircraftLayerOptions::fromSettings(settings);
    options.plotType = 2;
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        const BackgroundStatus st =
            renderBackground(background, view, BackgroundOptions::fromSettings(settings), files, {});
        std::memcpy(layer.bits(), background.constBits(), static_cast<size_t>(layer.sizeInBytes()));
        drawAircraft(layer, view, fleet.entries, options, DataBoxRequest{});
        const auto t1 = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        if (r == 0 && st.coastline.records == 0)
            std::fprintf(stderr, "warning: no coastline read\n");
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double partMs(const std::function<void()>& f, int runs)
{
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    installMapFonts();
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(VARNESK_SOURCE_DIR "/appdata");
    const MapFilePaths files{dir + QStringLiteral("/lines/coastline.dat"), dir + QStringLiteral("/lines/airway.txt"),
                             dir + QStringLiteral("/points/nav.txt")};
    SettingsStore settings;
    constexpr int kRuns = 21;

    // The map area of a 1280 × 800 main window with both side panes shown.
    MapView view;
    view.load(settings);
    view.width = 1280 - 204 - 4;
    view.height = 800 - 232 - 4;

    struct Case {
        const char* name;
        int scaleIndex;
    };
    for (const Case c : {Case{"default view (30 px/deg)", kDefaultScaleIndex}, Case{"largest scale (600 px/deg)", kScaleCount - 1}}) {
        view.setScaleIndex(c.scaleIndex);
        const double spread = 0.4 * view.width / view.scale;
        Fleet fleet = makeFleet(view.centreLat, view.centreLon, spread);
        QImage img(view.width, view.height, QImage::Format_RGB32);
        const double coast = partMs([&] { readCoastline(files.coastline, [](const CoastSegment&) {}); }, kRuns);
        const double bg = partMs([&] { renderBackground(img, view, BackgroundOptions::fromSettings(settings), files, {}); }, kRuns);
        AircraftLayerOptions options = AircraftLayerOptions::fromSettings(settings);
        options.plotType = 2;
        const double ac = partMs([&] { drawAircraft(img, view, fleet.entries, options, DataBoxRequest{}); }, kRuns);
        const double total = redrawMs(view, settings, files, fleet, kRuns);
        std::printf("%-28s %dx%d: full redraw %.1f ms (background %.1f, of it coastline parse %.1f; aircraft %.1f)\n",
                    c.name, view.width, view.height, total, bg, coast, ac);
    }

    // The airport-name option: every airport label looked up in data/airport.csv.
    view.setScaleIndex(kDefaultScaleIndex);
    const ReferenceTables tables(QString(), QString(), dir + QStringLiteral("/data/airport.csv"), QString(), QString());
    BackgroundOptions named = BackgroundOptions::fromSettings(settings);
    named.airportNames = true;
    QImage img(view.width, view.height, QImage::Format_RGB32);
    const AirportNameLookup lookup = [&tables](std::string_view code) { return tables.LookupAirportName(code); };
    const double withNames = partMs([&] { renderBackground(img, view, named, files, lookup); }, 5);
    std::printf("%-28s background with airport names %.1f ms\n", "default view", withNames);
    return 0;
}
