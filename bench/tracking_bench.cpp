// Track store cost: one million fixes over 300 aircraft into a store of
// MaxMapPlot 200 × MaxPlotData 50, in random order (so a third of the fixes
// evict an entry). Prints nanoseconds per fix, the heap allocations made
// while storing, and the resident memory before and after.
#include "aircraft/aircraft_list.h"
#include "aircraft/reference_tables.h"
#include "settings/settings_store.h"
#include "tracking/position_decoder.h"
#include "tracking/track_store.h"

#include <QTime>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <random>
#include <string>
#include <vector>

namespace {

std::atomic<long> g_allocations{0};

long residentKb()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(1 << 16, '\n');
    }
    return -1;
}

} // namespace

void* operator new(std::size_t size)
{
    ++g_allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

using namespace varnesk;

namespace {

constexpr int kAircraft = 300;
constexpr long kFixes = 1'000'000;

struct Fleet {
    std::vector<std::string> flights;
    std::vector<std::string> registrations;
    std::vector<std::string> times;
};

Fleet makeFleet()
{
    Fleet f;
    const char* airlines[] = {"JL", "NH", "UA", "KE", "OZ", "CA", "BR", "FX", "XY", "ZZ"};
    char text[16];
    for (int i = 0; i < kAircraft; ++i) {
        std::snprintf(text, sizeof text, "%s%04d", airlines[i % 10], i);
        f.flights.emplace_back(text);
        std::snprintf(text, sizeof text, "JA%04d", i);
        f.registrations.emplace_back(text);
    }
    for (int m = 0; m < 1440; ++m) {
        std::snprintf(text, sizeof text, "%02d%02d", m / 60, m % 60);
        f.times.emplace_back(text);
    }
    return f;
}

struct Result {
    double nsPerFix;
    long allocations;
    long rssBeforeKb;
    long rssAfterKb;
    long evictions;
};

Result run(TrackStore& store, const Fleet& fleet)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pick(0, kAircraft - 1);
    std::vector<int> order(static_cast<size_t>(kFixes));
    for (int& a : order)
        a = pick(rng);
    long evictions = 0;
    const long rssBefore = residentKb();
    const long allocBefore = g_allocations.load();
    const auto start = std::chrono::steady_clock::now();
    for (long n = 0; n < kFixes; ++n) {
        const int a = order[static_cast<size_t>(n)];
        TrackFix fix;
        fix.flight = fleet.flights[static_cast<size_t>(a)];
        fix.registration = fleet.registrations[static_cast<size_t>(a)];
        fix.time = fleet.times[static_cast<size_t>(n % 1440)];
        fix.altitude = 30000 + static_cast<int>(n % 80) * 100;
        fix.temperature = -40;
        fix.windDirection = 270;
        fix.windSpeed = 80;
        fix.latitude = 30.0 + a * 0.01;
        fix.longitude = 130.0 + static_cast<double>(n % 1000) * 0.001;
        store.AddTrackPoint(fix);
    }
    const auto end = std::chrono::steady_clock::now();
    Result r;
    r.nsPerFix = std::chrono::duration<double, std::nano>(end - start).count() / kFixes;
    r.allocations = g_allocations.load() - allocBefore;
    r.rssBeforeKb = rssBefore;
    r.rssAfterKb = residentKb();
    // The same order again on a fresh store, untimed, to count the evictions.
    TrackStore count(store.maxAircraft(), store.maxPoints());
    for (long n = 0; n < kFixes; ++n) {
        const int a = order[static_cast<size_t>(n)];
        TrackFix fix;
        fix.flight = fleet.flights[static_cast<size_t>(a)];
        fix.registration = fleet.registrations[static_cast<size_t>(a)];
        fix.latitude = 1;
        fix.longitude = 1;
        if (count.findEntry(fix.flight, fix.registration) < 0 && count.count() == count.maxAircraft())
            ++evictions;
        count.AddTrackPoint(fix);
    }
    r.evictions = evictions;
    return r;
}

void print(const char* name, const Result& r)
{
    std::printf("%-34s %8.1f ns/fix  %9ld allocations  RSS %ld -> %ld kB  %ld evictions\n", name, r.nsPerFix,
                r.allocations, r.rssBeforeKb, r.rssAfterKb, r.evictions);
}

// A PNT report decoded and stored, per message.
double decodeNsPerMessage(TrackStore& store, long messages)
{
    struct Sink : FixSink {
        TrackStore& store;
        explicit Sink(TrackStore& s) : store(s) { }
        bool addFix(const TrackFix& f) override { return store.AddTrackPoint(f); }
        void sortTrack(std::string_view flight) override { store.SortTrackByTime(flight); }
    } sink(store);
    std::string text(80, '.');
    text.replace(4, 3, "PNT");
    text.replace(31, 13, "N35403E139455");
    text.replace(44, 4, "0312");
    text.replace(48, 14, "35000-45270085");
    const auto start = std::chrono::steady_clock::now();
    for (long n = 0; n < messages; ++n)
        DecodePositionReport(text, "JL0012", "M01A", "H1", "JA8089", {}, sink);
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(end - start).count() / static_cast<double>(messages);
}

} // namespace

int main()
{
    const Fleet fleet = makeFleet();
    SettingsStore settings;

    {
        TrackStore store(200, 50);
        store.setLinks(nullptr, nullptr, &settings);
        print("store only (placeholder texts)", run(store, fleet));
        const Result again = run(store, fleet);
        print("store only, second million", again);
    }
    {
        // Every aircraft listed: a new entry reads its texts from the list row
        // and the (absent) reference tables.
        ReferenceTables tables(QStringLiteral("/nonexistent/flight.csv"), QStringLiteral("/nonexistent/aircraft.csv"),
                               QStringLiteral("/nonexistent/airport.csv"), QStringLiteral("/nonexistent/letter.csv"),
                               QStringLiteral("/nonexistent/pics"));
        AircraftList list(settings, tables, QStringLiteral("/nonexistent/list.csv"));
        for (int a = 0; a < kAircraft; ++a)
            list.UpdateListEntry(fleet.flights[static_cast<size_t>(a)], fleet.registrations[static_cast<size_t>(a)],
                                 "TOKYO", QTime(12, 0, 0));
        TrackStore store(200, 50);
        store.setLinks(&list, &tables, &settings);
        print("store with 300 listed aircraft", run(store, fleet));
    }
    {
        TrackStore store(200, 50);
        store.setLinks(nullptr, nullptr, &settings);
        std::printf("%-34s %8.1f ns/message\n", "PNT report decoded and stored", decodeNsPerMessage(store, 1'000'000));
    }
    return 0;
}
