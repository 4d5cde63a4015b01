// The received aircraft list: rows per (flight, registration), order, marks,
// auto delete with the midnight rule, removal with tracks, list.csv.
#include "aircraft/aircraft_list.h"

#include "aircraft/reference_tables.h"
#include "settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varnesk {
namespace {

class List : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir(dir.path()).mkpath(QStringLiteral("pics"));
        write("flight.csv", "JL0503,RJTTRJCC,RJCC\n");
        write("aircraft.csv", ".JA8089,B767-300\n");
        write("pics/.JA8089.jpg", "x");
        list.setTrackRemover(&remover);
        QObject::connect(&list, &AircraftList::tracksRemoved, [this] { ++redraws; });
    }
    void write(const char* name, std::string_view text)
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text.data(), static_cast<qint64>(text.size()));
    }
    QString path(const char* name) const { return dir.path() + QLatin1Char('/') + QLatin1String(name); }
    std::string read(const char* name) const
    {
        QFile f(path(name));
        if (!f.open(QIODevice::ReadOnly))
            return "<missing>";
        return f.readAll().toStdString();
    }
    std::vector<std::string> flights() const
    {
        std::vector<std::string> out;
        for (int i = 0; i < list.rowCount(); ++i)
            out.push_back(list.row(i).cell(kColFlight) + "/" + list.row(i).cell(kColRegistration));
        return out;
    }

    QTemporaryDir dir;
    SettingsStore settings;
    ReferenceTables tables{path("flight.csv"), path("aircraft.csv"), path("airport.csv"), path("letter.csv"),
                           dir.path() + QStringLiteral("/pics")};
    AircraftList list{settings, tables, path("list.csv")};
    std::vector<std::string> removedTracks;
    int redraws = 0;
    // Only JL0503 has a track.
    struct Remover : TrackRemover {
        explicit Remover(std::vector<std::string>& log) : asked(log) { }
        bool removeTrackOf(std::string_view flight) override
        {
            asked.emplace_back(flight);
            return flight == "JL0503";
        }
        std::vector<std::string>& asked;
    } remover{removedTracks};
};

TEST_F(List, NewRowsFromTheTablesInFlightOrder)
{
    list.UpdateListEntry("NH0001", ".JA0001", "TOKYO", QTime(10, 0, 0));
    list.UpdateListEntry("JL0503", ".JA8089", "SAPPORO", QTime(10, 0, 1));
    list.UpdateListEntry("JL0503", ".JA8090", "SAPPORO", QTime(10, 0, 2));
    list.UpdateListEntry("AA0001", ".JA8089", "NARITA", QTime(10, 0, 3));
    EXPECT_EQ(flights(),
              (std::vector<std::string>{"AA0001/.JA8089", "JL0503/.JA8089", "JL0503/.JA8090", "NH0001/.JA0001"}));
    const ListRow& jl = list.row(1);
    EXPECT_EQ(jl.cell(kColPic), kMarkYes);
    EXPECT_EQ(jl.cell(kColPos), kMarkNo);
    EXPECT_EQ(jl.cell(kColDept), "RJTT");
    EXPECT_EQ(jl.cell(kColDest), "RJCC");
    EXPECT_EQ(jl.cell(kColAircraft), "B767-300");
    EXPECT_EQ(jl.cell(kColRemarks), "RJCC");
    EXPECT_EQ(jl.cell(kColStation), "SAPPORO");
    EXPECT_EQ(jl.cell(kColLastTime), "10:00:01");
    const ListRow& nh = list.row(3);
    EXPECT_EQ(nh.cell(kColPic), kMarkNo);
    EXPECT_EQ(nh.cell(kColDept), "----");
    EXPECT_EQ(nh.cell(kColDest), "----");
    EXPECT_EQ(nh.cell(kColAircraft), "NO DATA");
    EXPECT_EQ(nh.cell(kColRemarks), "-");
    EXPECT_EQ(list.FindRow(".JA8090", "JL0503"), 3);
    EXPECT_EQ(list.FindRowByFlight("JL0503"), 2);
    EXPECT_EQ(list.FindRow(".JA8090", "NH0001"), 0);
    EXPECT_EQ(list.FindRowByFlight("XX0000"), 0);
}

TEST_F(List, RepeatsChangeOnlyTimeAndStationAndAreNotLogged)
{
    settings.setBoolean(Key::ListLog, true);
    list.writeLogHeader(kListLogStartHeader);
    list.UpdateListEntry("JL0503", ".JA8089", "SAPPORO", QTime(10, 0, 0));
    // The table changes; the row keeps what it was created with.
    write("aircraft.csv", ".JA8089,A350\n");
    list.UpdateListEntry("JL0503", ".JA8089", "TOKYO", QTime(11, 2, 3));
    ASSERT_EQ(list.rowCount(), 1);
    EXPECT_EQ(list.row(0).cell(kColStation), "TOKYO");
    EXPECT_EQ(list.row(0).cell(kColLastTime), "11:02:03");
    EXPECT_EQ(list.row(0).cell(kColAircraft), "B767-300");
    EXPECT_EQ(read("list.csv"), "Flight No.,PICS,Reg. No.,DEPT,DEST,AIRCRAFT,Remarks,TIME\r\n"
                                "JL0503,\x81\x9B,.JA8089,RJTT,RJCC,B767-300,RJCC,10:00:00\r\n");
    list.writeLogHeader(kListLogSwitchHeader);
    EXPECT_EQ(read("list.csv"), "Flight No.,PICS,Reg. No.,DEPT,DEST,Aircraft,Remarks,TIME\r\n");
    settings.setBoolean(Key::ListLog, false);
    list.UpdateListEntry("NH0001", ".JA0001", "TOKYO", QTime(11, 2, 4));
    EXPECT_EQ(read("list.csv"), "Flight No.,PICS,Reg. No.,DEPT,DEST,Aircraft,Remarks,TIME\r\n");
}

TEST_F(List, PositionMarks)
{
    list.UpdateListEntry("JL0503", ".JA8089", "SAPPORO", QTime(10, 0, 0));
    list.UpdateListEntry("JL0503", ".JA8090", "SAPPORO", QTime(10, 0, 0));
    std::vector<std::pair<std::string, bool>> told;
    QObject::connect(&list, &AircraftList::positionMarkChanged,
                     [&](std::string_view reg, bool has) { told.emplace_back(reg, has); });
    list.MarkPosition("JL0503", ".JA8090", QTime(10, 5, 0));
    // The first row with the flight is marked; the registration is not compared.
    EXPECT_EQ(list.row(0).cell(kColPos), kMarkYes);
    EXPECT_EQ(list.row(0).cell(kColLastTime), "10:05:00");
    EXPECT_EQ(list.row(1).cell(kColPos), kMarkNo);
    list.MarkPosition("XX0000", ".JA8090", QTime(10, 5, 0));
    list.ClearPositionMark(".JA8089", "JL0503");
    EXPECT_EQ(list.row(0).cell(kColPos), kMarkNo);
    list.ClearPositionMark(".JA0000", "JL0503"); // no such row: nothing
    EXPECT_EQ(told, (std::vector<std::pair<std::string, bool>>{{".JA8089", true}, {".JA8089", false}}));
}

TEST_F(List, AutoDeleteWithTheMidnightRule)
{
    EXPECT_EQ(AircraftList::elapsedSeconds(23 * 3600 + 58 * 60, 3 * 60), 4 * 60 + 59);
    EXPECT_EQ(AircraftList::elapsedSeconds(100, 400), 300);

    list.UpdateListEntry("AA0001", ".JA0001", "S", QTime(9, 55, 0));  // 5 min 0 s at 10:00:00
    list.UpdateListEntry("BB0001", ".JA0002", "S", QTime(9, 54, 59)); // 5 min 1 s
    list.UpdateListEntry("CC0001", ".JA0003", "S", QTime(9, 54, 0));  // adjacent silent row
    list.UpdateListEntry("DD0001", ".JA0004", "S", QTime(9, 59, 0));
    EXPECT_EQ(list.autoDeleteTick(QTime(10, 0, 0), 5), 2);
    EXPECT_EQ(flights(), (std::vector<std::string>{"AA0001/.JA0001", "DD0001/.JA0004"}));
    EXPECT_EQ(removedTracks, (std::vector<std::string>{"BB0001", "CC0001"}));
    EXPECT_EQ(redraws, 0); // neither had a track

    list.UpdateListEntry("JL0503", ".JA8089", "S", QTime(23, 58, 0));
    EXPECT_EQ(list.autoDeleteTick(QTime(0, 3, 0), 5), 2); // AA and DD are hours old; JL is 4 min 59 s
    EXPECT_EQ(flights(), (std::vector<std::string>{"JL0503/.JA8089"}));
    EXPECT_EQ(list.autoDeleteTick(QTime(0, 3, 1), 5), 0);
    EXPECT_EQ(list.autoDeleteTick(QTime(0, 3, 2), 5), 1);
    EXPECT_EQ(redraws, 1); // JL0503 had a track
}

TEST_F(List, RemovingRowsAndClearing)
{
    list.UpdateListEntry("JL0503", ".JA8089", "S", QTime(10, 0, 0));
    list.UpdateListEntry("NH0001", ".JA0001", "S", QTime(10, 0, 0));
    list.removeRow(1); // no track: the map is left alone
    EXPECT_EQ(redraws, 0);
    list.removeRow(0);
    EXPECT_EQ(redraws, 1);
    list.removeRow(0); // nothing left
    EXPECT_EQ(removedTracks, (std::vector<std::string>{"NH0001", "JL0503"}));
    list.UpdateListEntry("NH0001", ".JA0001", "S", QTime(10, 0, 0));
    list.ClearList();
    EXPECT_EQ(list.rowCount(), 0);
}

TEST_F(List, AnUnwritableLogIsSkipped)
{
    AircraftList broken(settings, tables, dir.path() + QStringLiteral("/no/such/dir/list.csv"));
    settings.setBoolean(Key::ListLog, true);
    broken.writeLogHeader(kListLogStartHeader);
    broken.UpdateListEntry("JL0503", ".JA8089", "S", QTime(10, 0, 0));
    EXPECT_EQ(broken.rowCount(), 1);
}

} // namespace
} // namespace varnesk
