// The track store: history limits, eviction by age, local time texts,
// trends, display texts from the aircraft list, sorting, removal, clearing.
#include "tracking/track_store.h"

#include "aircraft/aircraft_list.h"
#include "aircraft/reference_tables.h"
#include "settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace varnesk {
namespace {

TrackFix fix(std::string_view flight, std::string_view reg, std::string_view time = "0312", int altitude = kNoAltitude,
             double lat = 35.5)
{
    TrackFix f;
    f.flight = flight;
    f.registration = reg;
    f.time = time;
    f.altitude = altitude;
    f.latitude = lat;
    f.longitude = 139.5;
    return f;
}

TEST(TrackStoreTime, LocalTimeText)
{
    struct C {
        const char* time;
        int local;
        const char* want;
    };
    for (const C& c : {C{"1530", 9, "00:30"}, C{"2359", 9, "08:59"}, C{"-", 9, "--:--"}, C{"-123", 9, "--:--"},
                       C{"1275", 9, "--:--"}, C{"1260", 9, "--:--"}, C{"0100", -3, "22:00"}, C{"0000", 0, "00:00"},
                       C{"12A0", 9, "--:--"}, C{"12", 9, "--:--"}, C{"", 9, "--:--"}, C{"2500", 9, "10:00"},
                       C{"0100", -30, "--:--"}, C{"0100", INT_MAX, "--:--"}, C{"2300", INT_MIN, "--:--"}})
        EXPECT_EQ(TrackStore::localTimeText(c.time, c.local), c.want) << c.time << " " << c.local;
    EXPECT_DOUBLE_EQ(TrackStore::timeOfDay("--:--"), 0.0);
    EXPECT_DOUBLE_EQ(TrackStore::timeOfDay("00:30"), 30.0 / 1440);
    EXPECT_DOUBLE_EQ(TrackStore::timeOfDay("23:59"), 1439.0 / 1440);
}

TEST(TrackStore, FullHistoryKeepsTheNewestFixesOldestFirst)
{
    TrackStore store(5, 3);
    for (int i = 1; i <= 4; ++i)
        store.AddTrackPoint(fix("JL0012", ".JA8089", "0312", kNoAltitude, 30.0 + i));
    ASSERT_EQ(store.count(), 1);
    const AircraftEntry& e = store.entry(0);
    EXPECT_EQ(e.newestPoint, 2);
    EXPECT_DOUBLE_EQ(e.points[0].latitude, 32.0);
    EXPECT_DOUBLE_EQ(e.points[1].latitude, 33.0);
    EXPECT_DOUBLE_EQ(e.points[2].latitude, 34.0);
    EXPECT_EQ(e.lastTime.view(), "12:12");
    EXPECT_DOUBLE_EQ(e.points[2].time, (12 * 60 + 12) / 1440.0);
}

TEST(TrackStore, PointValuesAndUnknownTime)
{
    TrackStore store(2, 4);
    TrackFix f = fix("JL0012", ".JA8089", "-", 35000);
    f.temperature = -45;
    f.heading = 123;
    f.windDirection = 270;
    f.windSpeed = 85;
    EXPECT_TRUE(store.AddTrackPoint(f));
    const PlotPoint& p = store.entry(0).points[0];
    EXPECT_EQ(store.entry(0).lastTime.view(), "--:--");
    EXPECT_DOUBLE_EQ(p.time, 0.0);
    EXPECT_EQ(p.altitude, 35000);
    EXPECT_EQ(p.temperature, -45);
    EXPECT_EQ(p.heading, 123);
    EXPECT_EQ(p.windDirection, 270);
    EXPECT_EQ(p.windSpeed, 85);
    EXPECT_DOUBLE_EQ(p.longitude, 139.5);
    // Unused points keep their initial values.
    EXPECT_EQ(store.entry(0).points[1].altitude, kUnusedPointAltitude);
}

TEST(TrackStore, TrendsFollowTheFlightLevel)
{
    TrackStore store(2, 10);
    std::vector<int> trends;
    for (int alt : {35000, 35000, 33000, 33400, 33600})
        store.AddTrackPoint(fix("JL0012", ".JA8089", "0312", alt)), trends.push_back(store.entry(0).trend);
    EXPECT_EQ(trends, (std::vector<int>{kTrendFirst, kTrendLevel, kTrendDescending, kTrendLevel, kTrendClimbing}));
    EXPECT_EQ(store.entry(0).lastFlightLevel, 340);

    // A missing altitude on a new entry leaves trend 0 until one is known.
    store.AddTrackPoint(fix("NH0001", ".JA0001", "0312", kNoAltitude));
    EXPECT_EQ(store.entry(1).trend, kTrendNone);
    store.AddTrackPoint(fix("NH0001", ".JA0001", "0312", 90000));
    EXPECT_EQ(store.entry(1).trend, kTrendNone);
    store.AddTrackPoint(fix("NH0001", ".JA0001", "0312", 2000));
    EXPECT_EQ(store.entry(1).trend, kTrendClimbing);
}

TEST(TrackStore, AgesAndNewestAircraft)
{
    TrackStore store(4, 2);
    EXPECT_EQ(store.NewestAircraft(), 0);
    store.AddTrackPoint(fix("JL0001", ".JA0001"));
    store.AddTrackPoint(fix("JL0002", ".JA0002"));
    store.AddTrackPoint(fix("JL0003", ".JA0003"));
    store.AddTrackPoint(fix("JL0002", ".JA0002"));
    EXPECT_EQ(store.entry(0).age, 3);
    EXPECT_EQ(store.entry(1).age, 0);
    EXPECT_EQ(store.entry(2).age, 1);
    EXPECT_EQ(store.NewestAircraft(), 1);
    // A registration under a new flight number is a new entry.
    store.AddTrackPoint(fix("JL0009", ".JA0002"));
    EXPECT_EQ(store.count(), 4);
    EXPECT_EQ(store.findByFlightNumber("JL0009"), 4);
    EXPECT_EQ(store.findByFlightNumber("JL0099"), 0);
}

class StoreWithList : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkpath(QStringLiteral("pics"));
        write(QStringLiteral("airport.csv"), "RJTT,HANEDA\nRJCC,NEW CHITOSE\n");
        write(QStringLiteral("letter.csv"), "JL,JAL,JAPAN AIRLINES\n");
        write(QStringLiteral("flight.csv"), "JL0503,RJTTRJCC,RJCC\n");
    }
    void write(const QString& name, const char* text)
    {
        QFile f(dir.path() + QLatin1Char('/') + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QString path(const char* name) const { return dir.path() + QLatin1Char('/') + QLatin1String(name); }

    QTemporaryDir dir;
    SettingsStore settings;
    ReferenceTables tables{path("flight.csv"), path("aircraft.csv"), path("airport.csv"), path("letter.csv"),
                           dir.path() + QStringLiteral("/pics")};
    AircraftList list{settings, tables, path("list.csv")};
    QTime now{10, 0, 0};
};

TEST_F(StoreWithList, EvictsTheLeastRecentlyUpdatedAndClearsItsMark)
{
    TrackStore store(2, 5);
    store.setLinks(&list, &tables, &settings);
    for (const char* f : {"JL0001", "JL0002", "JL0003"}) {
        list.UpdateListEntry(f, ".JA0001", "TOKYO", now);
    }
    store.AddTrackPoint(fix("JL0001", ".JA0001"));
    list.MarkPosition("JL0001", ".JA0001", now);
    store.AddTrackPoint(fix("JL0002", ".JA0001"));
    list.MarkPosition("JL0002", ".JA0001", now);
    store.AddTrackPoint(fix("JL0001", ".JA0001")); // JL0002 is now the oldest
    store.AddTrackPoint(fix("JL0003", ".JA0001"));
    ASSERT_EQ(store.count(), 2);
    EXPECT_EQ(store.entry(0).flight.view(), "JL0001");
    EXPECT_EQ(store.entry(1).flight.view(), "JL0003");
    EXPECT_EQ(store.entry(1).newestPoint, 0);
    EXPECT_EQ(list.row(list.FindRow(".JA0001", "JL0002") - 1).cell(kColPos), kMarkNo);
    EXPECT_EQ(list.row(list.FindRow(".JA0001", "JL0001") - 1).cell(kColPos), kMarkYes);
}

TEST_F(StoreWithList, DisplayTextsComeFromTheListRow)
{
    settings.setInteger(Key::Local, 9);
    TrackStore store(4, 5);
    store.setLinks(&list, &tables, &settings);
    list.UpdateListEntry("JL0503", ".JA8089", "TOKYO", now);
    list.UpdateListEntry("JL0007", ".JA8090", "TOKYO", now);
    store.AddTrackPoint(fix("JL0503", ".JA8089", "1530"));
    store.AddTrackPoint(fix("JL0007", ".JA8090"));
    store.AddTrackPoint(fix("NH0001", ".JA0001"));

    const AircraftEntry& a = store.entry(0);
    EXPECT_EQ(a.lastTime.view(), "00:30");
    EXPECT_EQ(a.routeNames.view(), "HANEDA>NEW CHITOSE");
    EXPECT_EQ(a.routeCodes.view(), "RJTT>RJCC");
    EXPECT_EQ(a.aircraftType.view(), "NO DATA");
    EXPECT_EQ(a.labelThreeLetter.view(), "JAL0503");
    EXPECT_EQ(a.labelThreeLetterShort.view(), "JAL503");
    EXPECT_EQ(a.labelTwoLetter.view(), "JL0503");
    EXPECT_EQ(a.labelTwoLetterShort.view(), "JL503");

    const AircraftEntry& b = store.entry(1);
    EXPECT_EQ(b.routeNames.view(), "NO INFO");
    EXPECT_EQ(b.routeCodes.view(), "NO INFO");

    const AircraftEntry& c = store.entry(2);
    EXPECT_EQ(c.routeNames.view(), "XXX>XXX");
    EXPECT_EQ(c.routeCodes.view(), "XXXX>XXXX");
    EXPECT_EQ(c.aircraftType.view(), "XXXX-XXX");
    EXPECT_EQ(c.labelThreeLetter.view(), "XXXXXXX");
    EXPECT_EQ(c.labelThreeLetterShort.view(), "XXXXXXX");
    EXPECT_EQ(c.labelTwoLetter.view(), "XXXXXX");
    EXPECT_EQ(c.labelTwoLetterShort.view(), "XXXXXX");
}

TEST(TrackStore, SortByTimeLeavesTheNewestAndDropsItsTwin)
{
    TrackStore store(2, 10);
    for (const char* t : {"0310", "0300", "0305", "0310"})
        store.AddTrackPoint(fix("JL0012", ".JA8089", t));
    store.SortTrackByTime("JL0012");
    const AircraftEntry& e = store.entry(0);
    // 03:10, 03:00, 03:05 sorted; the newest 03:10 equals the one before it and replaces it.
    ASSERT_EQ(e.newestPoint, 2);
    EXPECT_EQ(e.points[0].time, TrackStore::timeOfDay("12:00"));
    EXPECT_EQ(e.points[1].time, TrackStore::timeOfDay("12:05"));
    EXPECT_EQ(e.points[2].time, TrackStore::timeOfDay("12:10"));

    store.AddTrackPoint(fix("JL0012", ".JA8089", "0301"));
    store.SortTrackByTime("JL0012");
    EXPECT_EQ(e.newestPoint, 3); // the newest takes no part in the sort
    EXPECT_EQ(e.points[3].time, TrackStore::timeOfDay("12:01"));
    store.SortTrackByTime("XX0000"); // no entry: nothing
}

TEST(TrackStore, CompanyItemsAndRemoval)
{
    TrackStore store(5, 3);
    int firsts = 0;
    int added = 0;
    QObject::connect(&store, &TrackStore::firstAircraftStored, [&] { ++firsts; });
    QObject::connect(&store, &TrackStore::companyItemAdded, [&] { ++added; });
    store.AddTrackPoint(fix("JL0001", ".JA0001", "0312", kNoAltitude, 31));
    store.AddTrackPoint(fix("NH0002", ".JA0002", "0312", kNoAltitude, 32));
    store.AddTrackPoint(fix("JL0003", ".JA0003", "0312", kNoAltitude, 33));
    store.AddTrackPoint(fix("JL0003", ".JA0003", "0312", kNoAltitude, 34));
    EXPECT_EQ(firsts, 1);
    EXPECT_EQ(added, 2);
    EXPECT_EQ(store.companyItems(), (std::vector<std::string>{"ALL", "JL", "NH"}));

    // Removing keeps the others in order, with their points.
    const auto r = store.removeEntry(0);
    EXPECT_TRUE(r.removed);
    EXPECT_FALSE(r.companyItemRemoved); // JL0003 is still there
    ASSERT_EQ(store.count(), 2);
    EXPECT_EQ(store.entry(0).flight.view(), "NH0002");
    EXPECT_EQ(store.entry(1).flight.view(), "JL0003");
    EXPECT_DOUBLE_EQ(store.entry(1).points[1].latitude, 34.0);
    EXPECT_FALSE(store.entry(2).shown);

    EXPECT_TRUE(store.removeEntry(0).companyItemRemoved);
    EXPECT_EQ(store.companyItems(), (std::vector<std::string>{"ALL", "JL"}));
    EXPECT_FALSE(store.removeEntry(5).removed);
    EXPECT_FALSE(store.removeEntry(-1).removed);
    EXPECT_TRUE(store.removeEntry(0).companyItemRemoved);
    EXPECT_EQ(store.count(), 0);

    // After the last entry went, the same aircraft makes a new entry in use.
    store.AddTrackPoint(fix("JL0003", ".JA0003"));
    EXPECT_EQ(store.count(), 1);
    EXPECT_EQ(store.entry(0).newestPoint, 0);
    EXPECT_EQ(firsts, 2);
}

TEST(TrackStore, ClearStoreEmptiesEverySlot)
{
    TrackStore store(3, 2);
    store.AddTrackPoint(fix("JL0001", ".JA0001", "0312", 35000));
    store.AddTrackPoint(fix("NH0002", ".JA0002"));
    store.ClearStore();
    EXPECT_EQ(store.count(), 0);
    for (int i = 0; i < store.maxAircraft(); ++i) {
        EXPECT_EQ(store.entry(i).flight.view(), "-------");
        EXPECT_EQ(store.entry(i).lastTime.view(), "");
        EXPECT_EQ(store.entry(i).trend, 0);
        EXPECT_EQ(store.entry(i).points[0].altitude, 0);
    }
    EXPECT_EQ(store.companyItems().size(), 3u); // the selector is reset by its own command
    store.resetCompanyItems();
    EXPECT_EQ(store.companyItems(), std::vector<std::string>{"ALL"});
    EXPECT_EQ(store.findEntry("JL0001", ".JA0001"), -1);
}

TEST(TrackStore, SizesAreBounded)
{
    TrackStore tiny(0, -5);
    EXPECT_EQ(tiny.maxAircraft(), 1);
    EXPECT_EQ(tiny.maxPoints(), 1);
    TrackStore many(1000000, 1);
    EXPECT_EQ(many.maxAircraft(), kMaxStoreDimension);
    TrackStore deep(1, 1000000);
    EXPECT_EQ(deep.maxPoints(), kMaxStoreDimension);
    // Over-long identities are cut to seven characters, never past the field.
    tiny.AddTrackPoint(fix("JL0001XXXXXX", ".JA0001YYYYY"));
    EXPECT_EQ(tiny.entry(0).flight.view(), "JL0001X");
    EXPECT_EQ(tiny.entry(0).registration.view(), ".JA0001");
}

} // namespace
} // namespace varnesk
