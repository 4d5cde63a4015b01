// The three map file readers: polylines and "# -b", comments, airway pairs,
// point types, CR LF, the trailing empty line, limits and malformed input.
#include "map/map_files.h"
#include "map_test_env.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace varnesk {
namespace {

using test::writeTempFile;

std::vector<CoastSegment> coast(const QByteArray& text, MapFileStatus* status = nullptr)
{
    std::vector<CoastSegment> out;
    const MapFileStatus st =
        readCoastline(writeTempFile("coast.dat", text), [&](const CoastSegment& s) { out.push_back(s); });
    if (status)
        *status = st;
    return out;
}

std::vector<AirwaySegment> airways(const QByteArray& text, MapFileStatus* status = nullptr)
{
    std::vector<AirwaySegment> out;
    const MapFileStatus st =
        readAirways(writeTempFile("airway.txt", text), [&](const AirwaySegment& s) { out.push_back(s); });
    if (status)
        *status = st;
    return out;
}

struct Point {
    char type;
    double lat, lon;
    std::string name;
};

std::vector<Point> points(const QByteArray& text, MapFileStatus* status = nullptr)
{
    std::vector<Point> out;
    const MapFileStatus st = readNavPoints(writeTempFile("nav.txt", text), [&](const NavPoint& p) {
        out.push_back({p.type, p.lat, p.lon, std::string(p.name)});
    });
    if (status)
        *status = st;
    return out;
}

TEST(MapFilesTest, CoastlinePolylinesDrawOneSegmentFewerThanPoints)
{
    MapFileStatus st;
    const auto segs = coast("# -b\n139.0\t35.0\n139.5\t35.5\n140.0\t36.0\n"
                            "# -b\n141.0\t37.0\n" // a single point: nothing
                            "# -b\n142.0\t38.0\n142.5\t38.5\n",
                            &st);
    ASSERT_EQ(segs.size(), 3u);
    EXPECT_EQ(segs[0].lon0, 139.0);
    EXPECT_EQ(segs[0].lat0, 35.0);
    EXPECT_EQ(segs[1].lon1, 140.0);
    EXPECT_EQ(segs[1].lat1, 36.0);
    EXPECT_EQ(segs[2].lon0, 142.0);
    EXPECT_EQ(st.formatErrors, 0);
    EXPECT_TRUE(st.opened);
}

TEST(MapFilesTest, CoastlineCommentsAndSpacedMarkerDoNotSplitAPolyline)
{
    // The first point starts a polyline even without "# -b"; a comment, an
    // empty line and "# -b " (trailing space) are lines without a TAB.
    const auto segs = coast("139.0\t35.0\n# a comment\n\n139.5\t35.5\n# -b \n140.0\t36.0\n");
    ASSERT_EQ(segs.size(), 2u);
    EXPECT_EQ(segs[1].lon0, 139.5);
    EXPECT_EQ(segs[1].lon1, 140.0);
}

TEST(MapFilesTest, CoastlineLastLineWithoutLineEndIsNotUsed)
{
    EXPECT_EQ(coast("139.0\t35.0\n139.5\t35.5").size(), 0u);
    EXPECT_EQ(coast("139.0\t35.0\n139.5\t35.5\n").size(), 1u);
}

TEST(MapFilesTest, CrLfReadsLikeLf)
{
    const auto lf = coast("# -b\n139.0\t35.0\n139.5\t35.5\n");
    const auto crlf = coast("# -b\r\n139.0\t35.0\r\n139.5\t35.5\r\n");
    ASSERT_EQ(crlf.size(), lf.size());
    EXPECT_EQ(crlf[0].lat1, 35.5);

    const auto a = airways("1,35.0,139.0\r\n1,36.0,140.0\r\n");
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].lon1, 140.0);

    const auto p = points("1,35.0,139.0,HME\r\n5,36.0,140.0,RJTT\r\n");
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].name, "HME");
    EXPECT_EQ(p[1].name, "RJTT");
}

TEST(MapFilesTest, AirwayPairsKindsAndALoneLastLine)
{
    MapFileStatus st;
    const auto segs = airways("2,35.0,139.0\n9,36.0,140.0\n" // the second line's kind is ignored
                              "4,30.0,130.0\n4,31.0,131.0\n" // kind 4: read, never drawn
                              "3,33.0,133.0\n3,34.0,134.0\n"
                              "1,20.0,120.0\n", // lone first line of a pair
                              &st);
    ASSERT_EQ(segs.size(), 2u);
    EXPECT_EQ(segs[0].kind, '2');
    EXPECT_EQ(segs[0].lat1, 36.0);
    EXPECT_EQ(segs[1].kind, '3');
    EXPECT_EQ(st.formatErrors, 0);
    // The second line counts even without its line end.
    EXPECT_EQ(airways("1,35.0,139.0\n1,36.0,140.0").size(), 1u);
    // An incomplete first line is dropped.
    EXPECT_EQ(airways("1,35.0,139.0").size(), 0u);
}

TEST(MapFilesTest, NavPointTypesNamesAndTheTrailingEmptyLine)
{
    MapFileStatus st;
    const auto p = points("1,34.5,135.5,HME\nA,34.0,135.0,NOPE\n0,35.0,136.0,\x93\x8c\x8b\x9e\n"
                          "10,1,2,X\n9,36.0,137.0,FUJI",
                          &st);
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].type, '1');
    EXPECT_EQ(p[0].lat, 34.5);
    EXPECT_EQ(p[0].lon, 135.5);
    EXPECT_EQ(p[1].type, '0');
    EXPECT_EQ(p[1].name, "\x93\x8c\x8b\x9e"); // Shift-JIS bytes as they stand
    EXPECT_EQ(p[2].name, "FUJI");             // the last line counts without its line end
    EXPECT_EQ(st.formatErrors, 0);

    MapFileStatus ended;
    EXPECT_EQ(points("4,35.0,139.0,ABCDE\n", &ended).size(), 1u);
    EXPECT_EQ(ended.formatErrors, 0); // the empty "line" after the last LF is no record
}

TEST(MapFilesTest, BadNumbersAreCountedAndTheirRecordsDropped)
{
    MapFileStatus st;
    const auto c = coast("139.0\t35.0\n13x.5\t35.5\n140.0\t36.0\n", &st);
    ASSERT_EQ(c.size(), 1u); // the bad point is dropped; the polyline goes on
    EXPECT_EQ(c[0].lon1, 140.0);
    EXPECT_EQ(st.formatErrors, 1);
    EXPECT_EQ(st.firstErrorLine, 2);

    const auto a = airways("1,35.0,east\n1,36.0,140.0\n1,35.0,139.0\n1,36.0,140.0\n", &st);
    EXPECT_EQ(a.size(), 1u);
    EXPECT_EQ(st.formatErrors, 1);
    EXPECT_EQ(st.firstErrorLine, 1);

    const auto p = points("1,35.0,,HME\n1,,139.0,HME\n1,35.0\n4,35.0,139.0,OK\n", &st);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].name, "OK");
    EXPECT_EQ(st.formatErrors, 3);
}

TEST(MapFilesTest, GarbageIsCountedWhateverItsFirstByte)
{
    // Random bytes with no line of the format: every record they make is
    // malformed, whichever byte happens to stand where the kind or type goes.
    QByteArray garbage;
    uint32_t x = 12345;
    for (int i = 0; i < 4000; ++i) {
        x = x * 1103515245u + 12345u;
        const char byte = static_cast<char>(x >> 23);
        garbage.append(byte == '\xFF' ? 'g' : byte); // 0xFF would end the file
    }
    for (const QByteArray& good : {QByteArray("1,35.0,139.0\n1,36.0,140.0\n"), QByteArray("4,35.0,139.0,OK\n")}) {
        MapFileStatus st;
        const bool pairs = good.startsWith("1,");
        const size_t drawn =
            pairs ? airways(garbage + "\n" + good, &st).size() : points(garbage + "\n" + good, &st).size();
        if (!pairs) { // pairs after an odd number of garbage lines are split
            EXPECT_EQ(drawn, 1u);
        }
        EXPECT_GE(st.formatErrors, 5) << (pairs ? "airways" : "points");
    }
}

TEST(MapFilesTest, NumbersAreDecimalDegrees)
{
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    const Case cases[] = {{"139.5", true, 139.5}, {"-20.25", true, -20.25}, {"+1", true, 1},     {" 35.0 ", true, 35},
                          {"", false, 0},         {"1,5", false, 0},        {"35.0x", false, 0}, {"nan", false, 0},
                          {"inf", false, 0},      {"-", false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        double v = -1;
        EXPECT_EQ(parseDegrees(c.text, v), c.ok);
        if (c.ok) {
            EXPECT_EQ(v, c.value);
        }
    }
}

TEST(MapFilesTest, OverlongLinesAndFieldsAreDroppedWithoutOverrun)
{
    MapFileStatus st;
    const QByteArray longName(40, 'N');
    const auto p =
        points("4,35.0,139.0," + longName + "\n4,35.0,139.0,ABCDEFGHIJKLMNOP\n4,35.0,139.0,ABCDEFGHIJKLMNO\n", &st);
    ASSERT_EQ(p.size(), 1u); // a 15-byte name is the limit
    EXPECT_EQ(p[0].name, "ABCDEFGHIJKLMNO");
    EXPECT_EQ(st.formatErrors, 2);

    const auto c = coast("139.0\t35.0\n139.00000000000000000000001\t35.5\n140.0\t36.0\n", &st);
    EXPECT_EQ(c.size(), 1u);
    EXPECT_EQ(st.formatErrors, 1);

    // A 31-character line is inside the limit.
    const auto a = airways("1,35.000000000000,139.0000000000\n1,36.0,140.0\n", &st);
    EXPECT_EQ(a.size(), 0u); // 33 characters
    EXPECT_EQ(airways("1,35.0000000000,139.00000000000\n1,36.0,140.0\n").size(), 1u);
}

TEST(MapFilesTest, ByteFFEndsTheFileAndMissingFilesAreSkipped)
{
    EXPECT_EQ(points("4,35.0,139.0,AB\n\xff"
                     "4,36.0,139.0,CD\n")
                  .size(),
              1u);
    EXPECT_EQ(coast("139.0\t35.0\n139.5\t35.5\n\xff"
                    "140.0\t36.0\n")
                  .size(),
              1u);
    const MapFileStatus st = readNavPoints(test::missingFile(), [](const NavPoint&) { FAIL(); });
    EXPECT_FALSE(st.opened);
}

TEST(MapFilesTest, RandomBytesNeverCrashAReader)
{
    std::mt19937 rng(42);
    const char alphabet[] = "0123456789.,-\t\r\n# b1234A";
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes;
        const int n = static_cast<int>(rng() % 400);
        for (int i = 0; i < n; ++i)
            bytes.append(rng() % 8 == 0 ? static_cast<char>(rng() % 256) : alphabet[rng() % (sizeof alphabet - 1)]);
        for (const CoastSegment& c : coast(bytes))
            EXPECT_TRUE(std::isfinite(c.lon0 + c.lat0 + c.lon1 + c.lat1));
        for (const AirwaySegment& a : airways(bytes))
            EXPECT_TRUE(a.kind >= '1' && a.kind <= '3');
        for (const Point& p : points(bytes)) {
            EXPECT_TRUE(p.type >= '0' && p.type <= '9');
            EXPECT_LE(p.name.size(), 15u);
        }
    }
}

} // namespace
} // namespace varnesk
