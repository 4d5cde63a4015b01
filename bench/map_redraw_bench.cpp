// Full map redraw timing: background rebuild from the shipped map files plus
// the aircraft layer with 200 aircraft of 50 fixes each, PlotType 2, at the
// default view and at the largest scale; then the main window's redraw as the
// program runs it (MapScene, map files kept in memory) with the report,
// altitude and modem panes on and off; then the indicators' cost per capture
// block with the modem pane shown. Prints milliseconds per redraw, µs per block.
#include "aircraft/reference_tables.h"
#include "map/aircraft_layer.h"
#include "map/background_renderer.h"
#include "map/canvas.h"
#include "map/map_scene.h"
#include "map/modem_indicators.h"
#include "map/pane_layout.h"
#include "receiver/receiver.h"
#include "settings/app_paths.h"
#include "settings/settings_store.h"
#include "tracking/track_store.h"

#include <QGuiApplication>

#include <QDateTime>

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
    for (const Case c :
         {Case{"default view (30 px/deg)", kDefaultScaleIndex}, Case{"largest scale (600 px/deg)", kScaleCount - 1}}) {
        view.setScaleIndex(c.scaleIndex);
        const double spread = 0.4 * view.width / view.scale;
        Fleet fleet = makeFleet(view.centreLat, view.centreLon, spread);
        QImage img(view.width, view.height, QImage::Format_RGB32);
        const double coast = partMs([&] { readCoastline(files.coastline, [](const CoastSegment&) {}); }, kRuns);
        const double bg =
            partMs([&] { renderBackground(img, view, BackgroundOptions::fromSettings(settings), files, {}); }, kRuns);
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

    // The program's own redraw: a track store with the same fleet, the map
    // files read once, the panes of a 1280 × 800 client area.
    {
        AppPaths paths;
        paths.coastline = files.coastline;
        paths.airways = files.airways;
        paths.navaids = files.navaids;
        view.setScaleIndex(kDefaultScaleIndex);
        Fleet fleet = makeFleet(view.centreLat, view.centreLon, 0.4 * view.width / view.scale);
        TrackStore store(kAircraft, kFixes);
        for (int a = 0; a < kAircraft; ++a) {
            const AircraftEntry& src = fleet.entries[static_cast<size_t>(a)];
            TrackFix fix;
            fix.flight = src.flight.view();
            fix.registration = "JA8089";
            fix.time = "1200";
            fix.latitude = src.points[0].latitude;
            fix.longitude = src.points[0].longitude;
            fix.altitude = 30000;
            store.AddTrackPoint(fix);
            AircraftEntry& e = store.entry(store.findEntry(fix.flight, fix.registration));
            std::copy(src.points.begin(), src.points.end(), e.points.begin());
            e.newestPoint = kFixes - 1;
            e.trend = 1 + a % 4;
        }
        const PaneLayout layout = layoutPanes(1280, 800, PaneSwitches{});
        MapScene scene(settings, paths);
        scene.setTrackStore(&store);
        const QRect map = paneSurface(layout.map);
        scene.resize(map.width(), map.height());
        scene.fullRedraw(); // reads the map files once
        // Every redraw follows a one-pixel drag, as when the map is dragged.
        int step = 0;
        auto dragged = [&] {
            scene.view().dragBy((step++ % 2) ? 1 : -1, 1, true);
            scene.fullRedraw();
        };
        const double plain = partMs(dragged, kRuns);
        scene.setPaneSurfaces(paneSurface(layout.report).size(), paneSurface(layout.altitude).size());
        const double panes = partMs(dragged, kRuns);
        const double layerOnly = partMs([&] { scene.redrawAircraft(-1); }, kRuns);
        std::printf("%-28s %dx%d: full redraw %.1f ms without panes, %.1f ms with all three "
                    "(aircraft layer and panes alone %.1f)\n",
                    "main window (map in memory)", map.width(), map.height(), plain, panes, layerOnly);
    }

    // Indicators at the end of each capture block, modem pane shown, Refresh 2.
    {
        Receiver receiver;
        ModemIndicators indicators(settings);
        std::array<double, kSpectrumPoints> left{}, right{};
        std::mt19937 rng(3);
        std::normal_distribution<double> noise(0.0, 3000.0);
        for (size_t i = 0; i < left.size(); ++i) {
            left[i] = noise(rng);
            right[i] = noise(rng);
        }
        QImage panel(kModemPanelWidth, kModemPanelHeight, QImage::Format_RGB32);
        constexpr int kBlocks = 3000;
        QDateTime now = QDateTime::currentDateTime();
        const auto t0 = std::chrono::steady_clock::now();
        int panelDraws = 0;
        for (int b = 0; b < kBlocks; ++b) {
            // 512 frames are 23.2 ms of audio: the clock text changes every 43 blocks.
            now = now.addMSecs(23);
            const ModemIndicators::BlockResult r = indicators.blockDone(receiver, left, right, now, true);
            if (r.spectrumDrawn || r.clockDrawn || r.lampsChanged) {
                drawModemPanel(panel, indicators, false);
                ++panelDraws;
            }
        }
        const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
        std::printf("%-28s %.1f us per block (spectrum every 3rd block, panel redrawn %d times in %d blocks)\n",
                    "indicators, modem pane on", us / kBlocks, panelDraws, kBlocks);
    }
    return 0;
}
