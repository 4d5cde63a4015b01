// Reference tables: first key wins, last field as value where stated, line
// ends, the 0xFF end mark, field limits, edits seen at the next lookup while
// an unchanged file is parsed once.
#include "aircraft/reference_tables.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

namespace varnesk {
namespace {

class Tables : public ::testing::Test {
protected:
    void write(const char* name, std::string_view text)
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text.data(), static_cast<qint64>(text.size()));
    }
    QString path(const char* name) const { return dir.path() + QLatin1Char('/') + QLatin1String(name); }

    QTemporaryDir dir;
    ReferenceTables tables{path("flight.csv"), path("aircraft.csv"), path("airport.csv"), path("letter.csv"),
                           dir.path() + QStringLiteral("/pics")};
};

TEST_F(Tables, FlightTable)
{
    write("flight.csv", "JL0503,RJTTRJCC,RJCC,ignored\r\nJL0503,RJAARJFF,second\nNH0001,RJTT,short route\n"
                        "JL0001X,RJTTRJCC,key of seven\nJL000123,RJTTRJCC,key of eight\n");
    const FlightInfo a = tables.LookupFlight("JL0503");
    EXPECT_TRUE(a.found);
    EXPECT_EQ(a.departure, "RJTT");
    EXPECT_EQ(a.destination, "RJCC");
    EXPECT_EQ(a.remark, "RJCC");
    const FlightInfo b = tables.LookupFlight("NH0001");
    EXPECT_EQ(b.departure, "RJTT");
    EXPECT_EQ(b.destination, "");
    EXPECT_TRUE(tables.LookupFlight("JL0001X").found);
    // A key longer than the field limit never matches.
    EXPECT_FALSE(tables.LookupFlight("JL000123").found);
    const FlightInfo none = tables.LookupFlight("XX0000");
    EXPECT_FALSE(none.found);
    EXPECT_EQ(none.departure, "----");
    EXPECT_EQ(none.destination, "----");
    EXPECT_EQ(none.remark, "-");
    EXPECT_FALSE(tables.LookupFlight("").found);
}

TEST_F(Tables, AircraftTableTakesTheLastField)
{
    write("aircraft.csv", ".JA8089,B747\n.JA8090,BOEING,B767-300\n.JA8089,A320\n.JA8091,"
                          "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\n");
    std::string type;
    EXPECT_TRUE(tables.LookupAircraftType(".JA8089", type));
    EXPECT_EQ(type, "B747");
    EXPECT_TRUE(tables.LookupAircraftType(".JA8090", type));
    EXPECT_EQ(type, "B767-300");
    EXPECT_TRUE(tables.LookupAircraftType(".JA8091", type));
    EXPECT_EQ(type, "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"); // cut at 31
    EXPECT_FALSE(tables.LookupAircraftType(".JA0000", type));
    EXPECT_EQ(type, "");
}

TEST_F(Tables, AirportNamesAndLineEnds)
{
    // CR LF and LF alike; a last line without a line end still counts; 0xFF ends the file.
    write("airport.csv", "RJTT,HANEDA\r\nRJCC,SAPPORO,NEW CHITOSE\nRJAA,NARITA\n\xFFRJBB,KANSAI\n");
    EXPECT_EQ(tables.LookupAirportName("RJTT"), "HANEDA");
    EXPECT_EQ(tables.LookupAirportName("RJCC"), "NEW CHITOSE");
    EXPECT_EQ(tables.LookupAirportName("RJAA"), "NARITA");
    EXPECT_EQ(tables.LookupAirportName("RJBB"), "RJBB");
    EXPECT_EQ(tables.LookupAirportName("ZZZZ"), "ZZZZ");
    write("airport.csv", "RJTT,HANEDA\nRJOO,ITAMI");
    EXPECT_EQ(tables.LookupAirportName("RJOO"), "ITAMI");
    // Shift-JIS bytes pass through untouched.
    write("airport.csv", "RJTT,\x93\x8C\x8B\x9E\n");
    EXPECT_EQ(tables.LookupAirportName("RJTT"), "\x93\x8C\x8B\x9E");
}

TEST_F(Tables, ALineWithoutACommaMatchesNothing)
{
    // The key is compared only when a comma ends the first field.
    write("airport.csv", "RJTT\nRJCC,NEW CHITOSE\n");
    write("aircraft.csv", ".JA8089\r\n");
    write("flight.csv", "JL0503\n");
    EXPECT_EQ(tables.LookupAirportName("RJTT"), "RJTT");
    EXPECT_EQ(tables.LookupAirportName("RJCC"), "NEW CHITOSE");
    std::string type;
    EXPECT_FALSE(tables.LookupAircraftType(".JA8089", type));
    EXPECT_FALSE(tables.LookupFlight("JL0503").found);
}

TEST_F(Tables, LongValuesAreCutBetweenCharacters)
{
    // 30 ASCII bytes then a two-byte character: the 31-byte limit falls
    // inside it, so the whole character goes.
    const std::string type = std::string(30, 'A') + "\x93\x8C";
    write("aircraft.csv", ".JA8089," + type + "\n");
    std::string got;
    EXPECT_TRUE(tables.LookupAircraftType(".JA8089", got));
    EXPECT_EQ(got, std::string(30, 'A'));
    // A name of 31 two-byte characters (62 bytes) fits exactly.
    std::string name;
    for (int i = 0; i < 32; ++i)
        name += "\x93\x8C";
    write("airport.csv", "RJTT," + name + "\n");
    EXPECT_EQ(tables.LookupAirportName("RJTT"), name.substr(0, 62));
}

TEST_F(Tables, EditsApplyToTheNextLookup)
{
    write("airport.csv", "RJTT,HANEDA\n");
    EXPECT_EQ(tables.LookupAirportName("RJTT"), "HANEDA");
    write("airport.csv", "RJTT,TOKYO INTL\n");
    EXPECT_EQ(tables.LookupAirportName("RJTT"), "TOKYO INTL");
    QFile::remove(path("airport.csv"));
    EXPECT_EQ(tables.LookupAirportName("RJTT"), "RJTT");
}

// A table is parsed once and kept while its file's size, modification time
// (to the nanosecond) and inode stay; any change is read at the next look-up.
TEST_F(Tables, ParsedTablesAreKeptUntilTheFileChanges)
{
    // Two versions of the same size stamped within the same second.
    auto stamp = [&](const char* name, long ns) {
        const timespec times[2] = {{1'700'000'000, ns}, {1'700'000'000, ns}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path(name)).constData(), times, 0), 0);
    };
    write("airport.csv", "RJTT,HANEDA\nRJCC,CHITOSE\n");
    stamp("airport.csv", 100);
    EXPECT_EQ(tables.LookupAirportName("RJTT"), "HANEDA");
    EXPECT_EQ(tables.LookupAirportName("RJCC"), "CHITOSE");
    EXPECT_EQ(tables.LookupAirportName("RJOO"), "RJOO");
    EXPECT_EQ(tables.tableParses(), 1u);

    write("airport.csv", "RJTT,TOKYO!\nRJCC,CHITOSE\n");
    stamp("airport.csv", 200);
    EXPECT_EQ(tables.LookupAirportName("RJTT"), "TOKYO!");
    EXPECT_EQ(tables.tableParses(), 2u);

    // Saved by writing a new file and renaming it over the old one, with
    // the same size and the same stamp.
    {
        QFile f(path("airport.new"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("RJTT,HANEDA\nRJCC,SAPPORO\n");
    }
    stamp("airport.new", 200);
    ASSERT_EQ(::rename(QFile::encodeName(path("airport.new")).constData(),
                       QFile::encodeName(path("airport.csv")).constData()),
              0);
    EXPECT_EQ(tables.LookupAirportName("RJCC"), "SAPPORO");
    EXPECT_EQ(tables.tableParses(), 3u);

    // A missing file has no lines and is looked for at every look-up.
    QFile::remove(path("airport.csv"));
    EXPECT_EQ(tables.LookupAirportName("RJTT"), "RJTT");
    EXPECT_EQ(tables.LookupAirportName("RJTT"), "RJTT");
    write("airport.csv", "RJTT,HANEDA\n");
    EXPECT_EQ(tables.LookupAirportName("RJTT"), "HANEDA");
    EXPECT_EQ(tables.tableParses(), 4u);

    // Each table has its own slot: the others do not disturb it.
    write("flight.csv", "JL0503,RJTTRJCC,X\n");
    EXPECT_TRUE(tables.LookupFlight("JL0503").found);
    EXPECT_EQ(tables.LookupAirportName("RJTT"), "HANEDA");
    EXPECT_TRUE(tables.LookupFlight("JL0503").found);
    EXPECT_EQ(tables.tableParses(), 5u);
}

TEST_F(Tables, DisplayFlightNumber)
{
    write("letter.csv", "JL,JAL,JAPAN AIRLINES\nJL,XXX,SECOND\nNH,ANA,ALL NIPPON AIRWAYS\n");
    struct C {
        const char* flight;
        bool three;
        bool zero;
        const char* want;
    };
    for (const C& c :
         {C{"JL0023", true, false, "JAL0023"}, C{"JL0023", true, true, "JAL23"}, C{"JL0023", false, false, "JL0023"},
          C{"JL0023", false, true, "JL23"}, C{"JL0000", false, true, "JL"}, C{"XY0012", true, true, "XY0012"},
          C{"XY0012", true, false, "XY0012"}, C{"NH0100", true, true, "ANA100"}, C{"J", false, true, "J"}})
        EXPECT_EQ(tables.DisplayFlightNumber(c.flight, c.three, c.zero), c.want) << c.flight << c.three << c.zero;
    EXPECT_EQ(tables.LookupOperatorName("JL0023"), "JAPAN AIRLINES");
    EXPECT_EQ(tables.LookupOperatorName("XY0023"), "-");
    QFile::remove(path("letter.csv"));
    EXPECT_EQ(tables.DisplayFlightNumber("JL0023", true, true), "JL0023");
}

TEST_F(Tables, PicturePathsStayInThePictureFolder)
{
    EXPECT_EQ(tables.AircraftPicturePath(".JA8089"), dir.path() + QStringLiteral("/pics/.JA8089.jpg"));
    for (std::string_view bad : {std::string_view("../../x"), std::string_view("a/b"), std::string_view(".."),
                                 std::string_view(""), std::string_view("A\0B", 3)})
        EXPECT_TRUE(tables.AircraftPicturePath(bad).isEmpty());
}

} // namespace
} // namespace varnesk
