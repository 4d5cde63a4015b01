// Ground station table: defaults, the INI-form override file, mode characters.
#include "decode/ground_stations.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace varnesk;

namespace {

QString writeFile(const QTemporaryDir& dir, const QByteArray& bytes)
{
    const QString path = dir.path() + QStringLiteral("/ground.txt");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

} // namespace

TEST(GroundStations, DefaultsWithoutAFile)
{
    GroundStations g;
    g.LoadGroundStations(QStringLiteral("/nonexistent/ground.txt"));
    EXPECT_EQ(g.StationName('M'), std::optional<std::string_view>("HANEDA"));
    EXPECT_EQ(g.StationName('m'), std::optional<std::string_view>("HANEDA"));
    EXPECT_EQ(g.StationName('G'), std::optional<std::string_view>("HAKODATE "));
    EXPECT_EQ(g.StationName('2'), std::optional<std::string_view>("BROADCAST"));
    EXPECT_EQ(g.StationName('Z'), std::optional<std::string_view>("----"));
    EXPECT_EQ(g.StationName('z'), std::optional<std::string_view>("----"));
    EXPECT_EQ(g.StationName('Q'), std::optional<std::string_view>("MEMANBETSU"));
    for (char c : {'1', '3', '@', '[', '`', '{', '\0', '\x7F', '\x82'})
        EXPECT_FALSE(g.StationName(c).has_value()) << int(c);
}

TEST(GroundStations, FileOverridesOnlyItsKeys)
{
    QTemporaryDir dir;
    GroundStations g;
    g.LoadGroundStations(writeFile(dir, "[GroundStations]\r\nA=MY STATION\r\n"));
    EXPECT_EQ(g.name(0), "MY STATION");
    for (int i = 1; i < GroundStations::kCount; ++i)
        EXPECT_EQ(g.name(i), GroundStations::defaultName(i)) << i;
}

TEST(GroundStations, IniFormDetails)
{
    QTemporaryDir dir;
    GroundStations g;
    g.LoadGroundStations(writeFile(dir,
                                   "[Other]\nA=NOT THIS\n"
                                   "[groundstations]\n"
                                   "b = SPACED  \n"
                                   "G=\"KEEP \"\n"
                                   "2=\x93\x8C\x8B\x9E\n" // Shift-JIS bytes kept as they are
                                   "B=SECOND B\n"
                                   "no equals sign\n"
                                   "[Another]\nC=NOT THIS\n"));
    EXPECT_EQ(g.name(0), "NARITA");
    EXPECT_EQ(g.name(1), "SPACED");
    EXPECT_EQ(g.name(2), "NOTO");
    EXPECT_EQ(g.name(6), "KEEP ");
    EXPECT_EQ(g.name(26), "\x93\x8C\x8B\x9E");

    // Loading again starts from the defaults.
    g.LoadGroundStations(QStringLiteral("/nonexistent/ground.txt"));
    EXPECT_EQ(g.name(1), "KOBE");
}
