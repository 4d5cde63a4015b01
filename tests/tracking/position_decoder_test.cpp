// The twelve position-report readers: realistic texts built from the column
// offsets of each layout, with the fixes they must give, and texts that give none.
#include "tracking/position_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace varnesk {
namespace {

struct Fix {
    double lat = 0;
    double lon = 0;
    std::string time = "-";
    int alt = kNoAltitude;
    int temp = kNoTemperature;
    int heading = kNoHeading;
    int windDir = kNoWindDirection;
    int windSpeed = 0;
};

class Recorder : public FixSink {
public:
    bool addFix(const TrackFix& f) override
    {
        fixes.push_back({f.latitude, f.longitude, std::string(f.time), f.altitude, f.temperature, f.heading,
                         f.windDirection, f.windSpeed});
        flights.emplace_back(f.flight);
        return true;
    }
    void sortTrack(std::string_view flight) override { sorted.emplace_back(flight); }

    std::vector<Fix> fixes;
    std::vector<std::string> flights;
    std::vector<std::string> sorted;
};

// A text of n filler characters with the parts written at their offsets.
std::string layout(size_t n, std::initializer_list<std::pair<size_t, std::string_view>> parts, char filler = '.')
{
    std::string t(n, filler);
    for (const auto& [at, s] : parts) {
        if (t.size() < at + s.size())
            t.resize(at + s.size(), filler);
        t.replace(at, s.size(), s);
    }
    return t;
}

constexpr double minutes(int deg, double min)
{
    return deg + min / 60.0;
}

struct Case {
    const char* name;
    std::string flight;
    std::string label;
    std::string text;
    std::vector<Fix> want;
};

void check(const std::vector<Case>& cases, PositionOptions options = {})
{
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder r;
        const bool found = DecodePositionReport(c.text, c.flight, "M01A", c.label, ".JA8089", options, r);
        EXPECT_EQ(found, !c.want.empty());
        ASSERT_EQ(r.fixes.size(), c.want.size());
        for (size_t i = 0; i < c.want.size(); ++i) {
            SCOPED_TRACE(i);
            const Fix& g = r.fixes[i];
            const Fix& w = c.want[i];
            EXPECT_NEAR(g.lat, w.lat, 1e-9);
            EXPECT_NEAR(g.lon, w.lon, 1e-9);
            EXPECT_EQ(g.time, w.time);
            EXPECT_EQ(g.alt, w.alt);
            EXPECT_EQ(g.temp, w.temp);
            EXPECT_EQ(g.heading, w.heading);
            EXPECT_EQ(g.windDir, w.windDir);
            if (w.windDir != kNoWindDirection) {
                EXPECT_EQ(g.windSpeed, w.windSpeed);
            }
            EXPECT_EQ(r.flights[i], c.flight);
        }
    }
}

TEST(PositionDispatch, AirlineCodesChooseTheReader)
{
    const std::vector<std::pair<const char*, int>> table{
        {"JL0012", 1},  {"JC0001", 1},  {"NU0001", 1},  {"Nu0001", 1},  {"JO0001", 1},  {"EG0001", 1}, {"000001", 1},
        {"NH0001", 2},  {"EL0001", 2},  {"KZ0001", 2},  {"NQ0001", 2},  {"FX0001", 3},  {"NW0001", 4}, {"UA0001", 5},
        {"CI0001", 5},  {"AA0001", 5},  {"CO0001", 5},  {"UP0001", 6},  {"KE0001", 7},  {"OZ0001", 8}, {"MU0001", 9},
        {"CA0001", 10}, {"BR0001", 11}, {"FM0001", 11}, {"jl0012", 12}, {"XY0001", 12}, {"J", 12},     {"", 12}};
    for (const auto& [flight, format] : table)
        EXPECT_EQ(PositionFormatFor(flight), format) << flight;
}

// Format 1, the PNT layout.
const std::string kPnt = layout(
    80, {{4, "PNT"}, {31, "N35403E139455"}, {44, "0312"}, {48, "35000"}, {53, "-45"}, {56, "270085"}, {69, "123"}});

TEST(PositionFormat1, PntLayout)
{
    std::string south = kPnt;
    south[31] = 'S';
    south[37] = 'W';
    std::string badAltitude = kPnt;
    badAltitude[50] = 'X';
    std::string oneDigitTemp = kPnt;
    oneDigitTemp.replace(53, 3, " -7");
    std::string spaces = kPnt;
    spaces.replace(48, 5, " 3500"); // a space counts as 0
    std::string badLat = kPnt;
    badLat[33] = ' ';
    const double lat = minutes(35, 40.3);
    const double lon = minutes(139, 45.5);
    check({
        {"PNT", "JL0012", "H1", kPnt, {{lat, lon, "0312", 35000, -45, 123, 270, 85}}},
        {"south and west", "JL0012", "H1", south, {{-lat, -lon, "0312", 35000, -45, 123, 270, 85}}},
        {"bad altitude digit", "JL0012", "H1", badAltitude, {{lat, lon, "0312", kNoAltitude, -45, 123, 270, 85}}},
        {"one-digit negative temperature", "JL0012", "H1", oneDigitTemp, {{lat, lon, "0312", 35000, -7, 123, 270, 85}}},
        {"space in altitude", "JL0012", "H1", spaces, {{lat, lon, "0312", 3500, -45, 123, 270, 85}}},
        {"space in latitude", "JL0012", "H1", badLat, {}},
        {"wrong label", "JL0012", "16", kPnt, {}},
    });
}

TEST(PositionFormat1, ScanFindsEveryFixAndSortsTheTrack)
{
    // altitude, N/S, latitude, E/W, longitude, time, sign, tens, units, wind.
    const std::string text = layout(120, {{4, "WDC"},
                                          {20, "35000N35403E1394550312-45270085"},
                                          {60, "12345S01000W0050000400 M1"},
                                          {90, "N12345E123456XX12"}});
    Recorder r;
    EXPECT_TRUE(DecodePositionReport(text, "JL0012", "1", "H1", ".JA8089", {}, r));
    ASSERT_EQ(r.fixes.size(), 2u);
    EXPECT_NEAR(r.fixes[0].lat, minutes(35, 40.3), 1e-9);
    EXPECT_EQ(r.fixes[0].alt, 35000);
    EXPECT_EQ(r.fixes[0].temp, -45);
    EXPECT_EQ(r.fixes[0].windDir, 270);
    EXPECT_EQ(r.fixes[0].windSpeed, 85);
    EXPECT_EQ(r.fixes[0].heading, kNoHeading);
    // t[q-2] is not '0': no altitude; an "M" as tens digit: no temperature.
    EXPECT_NEAR(r.fixes[1].lat, -minutes(1, 0), 1e-9);
    EXPECT_NEAR(r.fixes[1].lon, -minutes(5, 0), 1e-9);
    EXPECT_EQ(r.fixes[1].time, "0400");
    EXPECT_EQ(r.fixes[1].alt, kNoAltitude);
    EXPECT_EQ(r.fixes[1].temp, kNoTemperature);
    // The third pattern has a non-digit time and is dropped.
    EXPECT_EQ(r.sorted, std::vector<std::string>{"JL0012"});

    // With 10point on, only WDC / WDD reports are scanned.
    PositionOptions tenPoint;
    tenPoint.tenPoint = true;
    Recorder wdc;
    EXPECT_TRUE(DecodePositionReport(text, "JL0012", "1", "H1", ".JA8089", tenPoint, wdc));
    std::string other = text;
    other.replace(4, 3, "ABC");
    Recorder none;
    EXPECT_FALSE(DecodePositionReport(other, "JL0012", "1", "H1", ".JA8089", tenPoint, none));
    EXPECT_TRUE(none.fixes.empty());
    EXPECT_TRUE(none.sorted.empty());
}

TEST(PositionFormat1, ScanTemperatureRules)
{
    struct T {
        const char* tail; // t[q+17 .. q+19]
        int want;
    };
    for (const T& t : {T{" 45", 45}, T{"-45", -45}, T{" -5", -5}, T{"  5", 5}, T{"--5", 5}, T{" 4 ", kNoTemperature},
                       T{"P45", kNoTemperature}, T{" X5", kNoTemperature}}) {
        const std::string text = layout(60, {{10, "35000N35403E1394550312"}, {32, t.tail}, {35, "270085"}});
        Recorder r;
        DecodePositionReport(text, "JL0012", "1", "H1", ".JA8089", {}, r);
        ASSERT_EQ(r.fixes.size(), 1u) << t.tail;
        EXPECT_EQ(r.fixes[0].temp, t.want) << t.tail;
    }
}

// Format 2: POS and PO6 at t[4], PO7/POQ at t[0].
std::string nhText(std::string_view marker, size_t markerAt, size_t b, int s)
{
    return layout(110, {{markerAt, marker},
                        {b - 1, "N35403E139455"},
                        {b + 12, "0312"},
                        {b + s + 18, "35000"},
                        {b + s + 23, "M45"},
                        {b + s + 26, "270085"}});
}

TEST(PositionFormat2, ThreeLayouts)
{
    const double lat = minutes(35, 40.3);
    const double lon = minutes(139, 45.5);
    std::string spaces = nhText("POS", 4, 62, 0);
    spaces.replace(62, 5, "3540 ");
    spaces.replace(68, 6, "13945 ");
    check({
        {"POS", "NH0012", "H1", nhText("POS", 4, 62, 0), {{lat, lon, "0312", 35000, -45, kNoHeading, 270, 85}}},
        {"POS label 16",
         "NH0012",
         "16",
         nhText("POS", 4, 62, 0),
         {{lat, lon, "0312", 35000, -45, kNoHeading, 270, 85}}},
        {"PO6 shifted, NH correction",
         "NH0012",
         "H1",
         nhText("PO6", 4, 62, 1),
         {{lat - 0.07, lon - 0.27, "0312", 35000, -45, kNoHeading, 270, 85}}},
        {"PO6 other airline: no correction",
         "EL0012",
         "H1",
         nhText("PO6", 4, 62, 1),
         {{lat, lon, "0312", 35000, -45, kNoHeading, 270, 85}}},
        {"PO7", "KZ0012", "H1", nhText("PO7", 0, 58, 0), {{lat, lon, "0312", 35000, -45, kNoHeading, 270, 85}}},
        {"POQ", "NQ0012", "H1", nhText("POQ", 0, 58, 0), {{lat, lon, "0312", 35000, -45, kNoHeading, 270, 85}}},
        {"spaces in coordinates are zeros",
         "NH0012",
         "H1",
         spaces,
         {{minutes(35, 40), minutes(139, 45), "0312", 35000, -45, kNoHeading, 270, 85}}},
        {"wrong marker", "NH0012", "H1", nhText("PXS", 4, 62, 0), {}},
        {"wrong label", "NH0012", "H2", nhText("POS", 4, 62, 0), {}},
    });
}

// Format 3 (FX): "*WT" with scanned positions without tenths.
TEST(PositionFormat3, ScanWithFxCorrection)
{
    // time at q-6, N/S at q, lat q+1..4, E/W q+5, lon q+6..10, alt q+12..16,
    // sign q+17, tens, units, wind q+21..26.
    const std::string text = layout(80, {{4, "*WT"}, {14, "0312..N3540E13945.35000M45.270085"}});
    const std::string plus = layout(80, {{4, "*WT"}, {14, "0312..S3540W13945.35000P05.270085"}});
    const std::string noSign = layout(80, {{4, "*WT"}, {14, "0312..N3540E13945.35000-05.270085"}});
    const double lat = minutes(35, 40) + 0.01;
    const double lon = minutes(139, 45);
    check({
        {"FX", "FX0012", "H1", text, {{lat, lon, "0312", 35000, -45, kNoHeading, 270, 85}}},
        {"south west, plus sign",
         "FX0012",
         "H1",
         plus,
         {{-minutes(35, 40) + 0.01, -lon, "0312", 35000, 5, kNoHeading, 270, 85}}},
        {"other sign: no temperature",
         "FX0012",
         "H1",
         noSign,
         {{lat, lon, "0312", 35000, kNoTemperature, kNoHeading, 270, 85}}},
        {"wrong marker", "FX0012", "H1", layout(80, {{4, "*WX"}, {20, "N3540E13945"}}), {}},
        {"wrong label", "FX0012", "16", text, {}},
    });
}

// Format 4 (NW): label 31, northern and eastern only.
TEST(PositionFormat4, ScanNorthEastOnly)
{
    const std::string base = "N35403E1394550312350-45.270085";
    const double lat = minutes(35, 40.3);
    const double lon = minutes(139, 45.5);
    std::string spaceInAltitude = base;
    spaceInAltitude[18] = ' ';
    std::string positive = base;
    positive.replace(20, 3, " 05");
    std::string positiveTens = base;
    positiveTens.replace(20, 3, " 15");
    check({
        {"NW", "NW0012", "31", layout(60, {{10, base}}), {{lat, lon, "0312", 35000, -45, kNoHeading, 270, 85}}},
        {"space in altitude counts 0, temperature kept",
         "NW0012",
         "31",
         layout(60, {{10, spaceInAltitude}}),
         {{lat, lon, "0312", 30000, -45, kNoHeading, 270, 85}}},
        {"positive below ten",
         "NW0012",
         "31",
         layout(60, {{10, positive}}),
         {{lat, lon, "0312", 35000, 5, kNoHeading, 270, 85}}},
        {"positive ten or more is missing",
         "NW0012",
         "31",
         layout(60, {{10, positiveTens}}),
         {{lat, lon, "0312", 35000, kNoTemperature, kNoHeading, 270, 85}}},
        {"south is not read", "NW0012", "31", layout(60, {{10, "S35403E1394550312350-45.270085"}}), {}},
        {"wrong label", "NW0012", "H1", layout(60, {{10, base}}), {}},
    });
}

// Format 5 (UA group): BPOS with comma fields.
TEST(PositionFormat5, CommaFields)
{
    auto text = [](std::string_view fields) { return layout(20, {{3, "BPOSN35403W122345"}}) + std::string(fields); };
    const double lat = minutes(35, 40.3);
    const double lon = -minutes(122, 34.5);
    check({
        {"full",
         "UA0837",
         "H1",
         text(",ABC,0312,350,A,B,C,M45,270085"),
         {{lat, lon, "0312", 35000, -45, kNoHeading, 270, 85}}},
        {"two altitude characters are thousands and hundreds",
         "UA0837",
         "H1",
         text(",ABC,0312,35,A,B,C,M45,270085"),
         {{lat, lon, "0312", 3500, -45, kNoHeading, 270, 85}}},
        {"one temperature digit, short wind speed",
         "CI0100",
         "H1",
         text(",ABC,0312,350,A,B,C,-5,27015"),
         {{lat, lon, "0312", 35000, -5, kNoHeading, 270, 15}}},
        {"positive temperature, one-digit speed",
         "AA0001",
         "H1",
         text(",ABC,0312,350,A,B,C,P12,2705"),
         {{lat, lon, "0312", 35000, 12, kNoHeading, 270, 5}}},
        {"space is a bad digit in a field",
         "CO0001",
         "H1",
         text(",ABC,0312,3 0,A,B,C,M45,270085"),
         {{lat, lon, "0312", kNoAltitude, -45, kNoHeading, 270, 85}}},
        {"fields missing", "UA0837", "H1", text(",ABC,0312"), {{lat, lon, "0312"}}},
        {"wrong marker", "UA0837", "H1", layout(20, {{3, "BPOX"}}) + ",ABC,0312,350", {}},
        {"non-digit latitude", "UA0837", "H1", text(",ABC").replace(9, 1, "A"), {}},
    });
}

// Format 6 (UP): fixed columns.
TEST(PositionFormat6, FixedColumns)
{
    const std::string text = layout(50, {{5, "POS"}, {14, "0312N3540E13945350270085"}, {41, "M45"}});
    std::string plus = text;
    plus.replace(41, 3, " 4 ");
    std::string p = text;
    p.replace(41, 3, "P 5");
    const double lat = minutes(35, 40);
    const double lon = minutes(139, 45);
    check({
        {"UP", "UP0001", "H1", text, {{lat, lon, "0312", 35000, -45, kNoHeading, 270, 85}}},
        {"space as units is bad",
         "UP0001",
         "H1",
         plus,
         {{lat, lon, "0312", 35000, kNoTemperature, kNoHeading, 270, 85}}},
        {"P sign, space tens", "UP0001", "H1", p, {{lat, lon, "0312", 35000, 5, kNoHeading, 270, 85}}},
        {"wrong marker", "UP0001", "H1", layout(50, {{4, "POS"}, {14, "0312N3540E13945350270085"}}), {}},
    });
}

// Format 7 (KE): slash fields by label, and an H2 scan.
TEST(PositionFormat7, SlashFieldsAndH2)
{
    const std::string fields33 = "KE/A/B/C/N035.40/E139.45/35000/X";
    const std::string dotted = "KE/A/B/C/N3540./E13945./350/X";
    check({
        {"label 33", "KE0001", "33", fields33, {{35.4, 139.45, "-", 35000}}},
        {"label 33 dotted forms, short altitude", "KE0001", "33", dotted, {{35.4, 139.45, "-", 350}}},
        {"label 41", "KE0001", "41", "/1/2/3/4/5/6/7/8/S012.50/W001.25/12000/", {{-12.5, -1.25, "-", 12000}}},
        {"label 40",
         "KE0001",
         "40",
         "/1/2/3/4/5/6/7/8/9/10/11/12/N035.40/E139.45/60000",
         {{35.4, 139.45, "-", kNoAltitude}}},
        {"altitude field missing", "KE0001", "33", "KE/A/B/C/N035.40/E139.45", {{35.4, 139.45}}},
        {"too few fields", "KE0001", "33", "KE/A/B/N035.40/E139.45", {}},
        {"non-digit", "KE0001", "33", "KE/A/B/C/N03X.40/E139.45/35000", {}},
        {"H2 scan", "KE0001", "H2", "POS N3540 E13945 X", {{35.4, 139.45}}},
        {"other label", "KE0001", "H1", fields33, {}},
    });
}

// Format 8 (OZ): E99 and OZR layouts, decimal conversion.
TEST(PositionFormat8, TwoLayouts)
{
    const std::string e99 = layout(100, {{4, "E99"}, {58, "N35403E139455"}, {71, "0312"}, {78, "35000"}, {84, "M45"}});
    const std::string ozr =
        layout(110, {{4, "OZR"}, {71, "N35403E139455"}, {84, "0312"}, {90, "35000"}, {95, "-45"}, {98, "270085"}});
    std::string spaces = e99;
    spaces.replace(58, 13, "N3540 E13945 ");
    check({
        {"E99", "OZ0102", "H1", e99, {{35.403, 139.455, "0312", 35000, -45}}},
        {"OZR", "OZ0102", "H1", ozr, {{35.403, 139.455, "0312", 35000, -45, kNoHeading, 270, 85}}},
        {"spaces are zeros", "OZ0102", "H1", spaces, {{35.4, 139.45, "0312", 35000, -45}}},
        {"wrong marker", "OZ0102", "H1", layout(100, {{4, "E98"}, {58, "N35403E139455"}}), {}},
    });
}

// Format 9 (MU): POS, label 11, the altitude read backwards.
TEST(PositionFormat9, BackwardAltitude)
{
    const std::string base = layout(60, {{0, "POS"}, {17, "N.35.403"}, {30, "E139.455"}, {43, "35000"}, {53, "0312"}});
    const std::string skipped =
        layout(60, {{0, "POS"}, {17, "N.35.403"}, {30, "E139.455"}, {43, ",3500"}, {52, "0312"}});
    const std::string twoSkipped =
        layout(60, {{0, "POS"}, {17, "S.35.403"}, {30, "W139.455"}, {43, "U,980"}, {51, "2359"}});
    check({
        {"five digits", "MU0001", "11", base, {{35.403, 139.455, "0312", 35000}}},
        {"one skipped", "MU0001", "11", skipped, {{35.403, 139.455, "0312", 3500}}},
        {"two skipped", "MU0001", "11", twoSkipped, {{-35.403, -139.455, "2359", 980}}},
        {"wrong label", "MU0001", "10", base, {}},
    });
}

// Format 10 (CA): POS, label 10, altitude from comma field 4.
TEST(PositionFormat10, AltitudeFromCommaField)
{
    const std::string head = layout(21, {{0, "POS N 35.403 E139.455"}});
    check({
        {"CA", "CA0925", "10", head + ",A,B,C,D,ALT35000,X", {{35.403, 139.455, "-", 35000}}},
        {"letter in altitude", "CA0925", "10", head + ",A,B,C,D,ALT3A000,X", {{35.403, 139.455}}},
        {"no altitude field", "CA0925", "10", head + ",A,B", {{35.403, 139.455}}},
        {"wrong label", "CA0925", "11", head + ",A,B,C,D,ALT35000,X", {}},
        {"wrong marker", "CA0925", "10", "PAS" + head.substr(3), {}},
    });
}

// Format 11 (BR, FM): fixed columns.
TEST(PositionFormat11, FixedColumns)
{
    const std::string text =
        layout(100, {{4, "POS"}, {63, "N35403E139455"}, {76, "0312"}, {82, "35000"}, {87, "M45270085"}});
    check({
        {"BR",
         "BR0001",
         "H1",
         text,
         {{minutes(35, 40.3), minutes(139, 45.5), "0312", 35000, -45, kNoHeading, 270, 85}}},
        {"FM",
         "FM0001",
         "H1",
         text,
         {{minutes(35, 40.3), minutes(139, 45.5), "0312", 35000, -45, kNoHeading, 270, 85}}},
        {"wrong label", "BR0001", "16", text, {}},
    });
}

// Format 12: any other airline.
TEST(PositionFormat12, FourPatterns)
{
    const double lat = minutes(35, 40);
    const double lon = minutes(139, 45);
    check({
        {"N3540E13945", "XY0001", "5Z", "POS N3540E13945 FL350", {{lat, lon}}},
        {"gap of one", "XY0001", "H1", "POS N3540 E13945", {{lat, lon}}},
        {"degrees and minutes", "XY0001", "H1", "N35.40   W139.45", {{lat, -lon}}},
        {"north east with a gap of three", "XY0001", "H1", "N3540xxxE13945", {{lat, lon}}},
        {"two fixes", "XY0001", "H1", "N3540E13945 S1000W01000", {{lat, lon}, {-10.0, -10.0}}},
        {"all zeros", "XY0001", "H1", "N0000E00000", {}},
        // A dropped zero fix does not undo the stored one before it.
        {"zero fix after a stored one", "XY0001", "H1", "N3540E13945 N0000E13945", {{lat, lon}}},
        {"zero longitude", "XY0001", "H1", "N3540E00000", {}},
        {"non-digits", "XY0001", "H1", "N35A0E13945", {}},
    });

    PositionOptions off;
    off.elsePosGet = false;
    check({{"ElsePosGet off", "XY0001", "H1", "POS N3540E13945", {}}}, off);
}

// Every reader, from a text that gives one fix: a zero latitude or a zero
// longitude, a non-digit in either, a latitude of 99 degrees, a longitude of
// 999 degrees, minutes of 60 or more (readers with minutes), or a wrong label
// gives none; a scanned pattern pushed past the first 1001 characters is not found.
TEST(PositionFormats, TextsThatGiveNoFix)
{
    struct Reader {
        const char* name;
        std::string flight;
        std::string label;
        std::string text;
        std::vector<int> lat; // positions of the latitude digits
        std::vector<int> lon; // positions of the longitude digits
        int scanFrom = -1;    // scanning readers: filler inserted here pushes the pattern out of reach
    };
    auto run = [](int n, int m) {
        std::vector<int> v;
        for (int i = n; i <= m; ++i)
            v.push_back(i);
        return v;
    };
    const std::vector<Reader> readers{
        {"1 PNT", "JL0012", "H1", kPnt, run(32, 36), run(38, 43)},
        {"1 scan", "JL0012", "H1", layout(60, {{4, "WDC"}, {10, "35000N35403E1394550312 45270085"}}), run(16, 20),
         run(22, 27), 8},
        {"2 POS", "NH0012", "H1", nhText("POS", 4, 62, 0), run(62, 66), run(68, 73)},
        {"2 PO7", "KZ0012", "16", nhText("PO7", 0, 58, 0), run(58, 62), run(64, 69)},
        {"3", "FX0012", "H1", layout(80, {{4, "*WT"}, {14, "0312..N3540E13945.35000M45.270085"}}), run(21, 24),
         run(26, 30), 8},
        {"4", "NW0012", "31", layout(60, {{10, "N35403E1394550312350-45.270085"}}), run(11, 15), run(17, 22), 0},
        {"5", "UA0837", "H1", layout(20, {{3, "BPOSN35403W122345"}}) + ",ABC,0312,350,A,B,C,M45,270085", run(8, 12),
         run(14, 19)},
        {"6", "UP0001", "H1", layout(50, {{5, "POS"}, {14, "0312N3540E13945350270085"}, {41, "M45"}}), run(19, 22),
         run(24, 28)},
        {"7 label 33", "KE0001", "33", "KE/A/B/C/N035.40/E139.45/35000/X", {11, 12, 14, 15}, {18, 19, 20, 22, 23}},
        {"7 H2", "KE0001", "H2", "POS N3540 E13945 X", run(5, 8), run(11, 15), 0},
        {"8 E99", "OZ0102", "H1", layout(100, {{4, "E99"}, {58, "N35403E139455"}, {71, "0312"}}), run(59, 63),
         run(65, 70)},
        {"8 OZR", "OZ0102", "H1", layout(110, {{4, "OZR"}, {71, "N35403E139455"}, {84, "0312"}}), run(72, 76),
         run(78, 83)},
        {"9",
         "MU0001",
         "11",
         layout(60, {{0, "POS"}, {17, "N.35.403"}, {30, "E139.455"}, {43, "35000"}, {53, "0312"}}),
         {19, 20, 22, 23, 24},
         {31, 32, 33, 35, 36, 37}},
        {"10", "CA0925", "10", "POS N 35.403 E139.455,A,B,C,D,ALT35000,X", {6, 7, 9, 10, 11}, {14, 15, 16, 18, 19, 20}},
        {"11", "BR0001", "H1", layout(100, {{4, "POS"}, {63, "N35403E139455"}, {76, "0312"}}), run(64, 68),
         run(70, 75)},
        {"12", "XY0001", "H1", "POS N3540E13945 FL350", run(5, 8), run(10, 14), 0},
    };
    auto fixes = [](const Reader& r, const std::string& text, const std::string& label) {
        Recorder rec;
        const bool found = DecodePositionReport(text, r.flight, "1", label, ".JA8089", {}, rec);
        EXPECT_EQ(found, !rec.fixes.empty());
        return rec.fixes.size();
    };
    auto with = [](std::string text, const std::vector<int>& at, char c) {
        for (int i : at)
            text[static_cast<size_t>(i)] = c;
        return text;
    };
    for (const Reader& r : readers) {
        SCOPED_TRACE(r.name);
        ASSERT_EQ(fixes(r, r.text, r.label), 1u);
        EXPECT_EQ(fixes(r, with(r.text, r.lat, '0'), r.label), 0u) << "zero latitude";
        EXPECT_EQ(fixes(r, with(r.text, r.lon, '0'), r.label), 0u) << "zero longitude";
        EXPECT_EQ(fixes(r, with(r.text, {r.lat.back()}, 'X'), r.label), 0u) << "non-digit latitude";
        EXPECT_EQ(fixes(r, with(r.text, {r.lon.front()}, 'X'), r.label), 0u) << "non-digit longitude";
        EXPECT_EQ(fixes(r, with(r.text, {r.lat[0], r.lat[1]}, '9'), r.label), 0u) << "latitude 99";
        EXPECT_EQ(fixes(r, with(r.text, {r.lon[0], r.lon[1], r.lon[2]}, '9'), r.label), 0u) << "longitude 999";
        const int format = PositionFormatFor(r.flight);
        if (format < 7 || format > 10) { // the readers with minutes
            EXPECT_EQ(fixes(r, with(r.text, {r.lat[2]}, '6'), r.label), 0u) << "latitude minutes 6x";
            EXPECT_EQ(fixes(r, with(r.text, {r.lon[3]}, '7'), r.label), 0u) << "longitude minutes 7x";
        }
        if (r.flight != "XY0001") {
            EXPECT_EQ(fixes(r, r.text, "ZZ"), 0u) << "wrong label";
        }
        if (r.scanFrom >= 0) {
            std::string late = r.text;
            late.insert(static_cast<size_t>(r.scanFrom), 1100, '.');
            EXPECT_EQ(fixes(r, late, r.label), 0u) << "beyond 1000 characters";
        }
    }
}

// Garbled coordinates that convert to no place on the globe are dropped like
// a zero coordinate; the limits themselves are places.
TEST(PositionFormats, OutOfRangeFixesAreDropped)
{
    auto fx = [](std::string_view fix) {
        std::string t = layout(80, {{4, "*WT"}, {14, "0312.."}, {20, fix}, {31, ".35000M45.270085"}});
        return t;
    };
    auto pnt = [](std::string_view fix) { return layout(80, {{4, "PNT"}, {31, fix}, {44, "0312"}}); };
    const std::string fxPort = layout(80, {{4, "*WT"}, {14, "0312..N3540E13945.35000M45.270085"}});
    check({
        {"FX garbled south west", "FX0012", "H1", fx("S9998W99999"), {}},
        {"FX garbled, then a good fix",
         "FX0012",
         "H1",
         fx("S9998W99999") + "....0312..N3540E13945",
         {{minutes(35, 40) + 0.01, minutes(139, 45), "0312"}}},
        {"FX 89 59 kept",
         "FX0012",
         "H1",
         fx("N8959E17959"),
         {{minutes(89, 59) + 0.01, minutes(179, 59), "0312", 35000, -45, kNoHeading, 270, 85}}},
        {"FX north pole pushed past 90 by the correction", "FX0012", "H1", fx("N9000E13945"), {}},
        {"FX south pole kept after the correction",
         "FX0012",
         "H1",
         fx("S9000E13945"),
         {{-90 + 0.01, minutes(139, 45), "0312", 35000, -45, kNoHeading, 270, 85}}},
        {"FX minutes 60", "FX0012", "H1", fx("N3560E13945"), {}},
        {"FX control",
         "FX0012",
         "H1",
         fxPort,
         {{minutes(35, 40) + 0.01, minutes(139, 45), "0312", 35000, -45, kNoHeading, 270, 85}}},
        {"limits 90 and 180 kept", "XY0001", "H1", "N9000E18000 S9000W18000", {{90, 180}, {-90, -180}}},
        {"latitude 90 and a minute", "XY0001", "H1", "N9001E13945", {}},
        {"longitude 180 and a minute", "XY0001", "H1", "N3540W18001", {}},
        {"latitude minutes 60", "XY0001", "H1", "N3560E13945", {}},
        {"longitude minutes 99", "XY0001", "H1", "N3540E13999", {}},
        {"minutes 59 kept", "XY0001", "H1", "N3559E13959", {{minutes(35, 59), minutes(139, 59)}}},
        {"tenths 59.9 kept", "JL0012", "H1", pnt("N35599E139599"), {{minutes(35, 59.9), minutes(139, 59.9), "0312"}}},
        {"tenths 60.0", "JL0012", "H1", pnt("N35600E139455"), {}},
        {"NH correction past 180", "NH0012", "H1", nhText("PO6", 4, 62, 1).replace(67, 7, "W180000"), {}},
        // Decimal readers have no minutes: .70 is seven tenths of a degree.
        {"decimal .70 kept", "KE0001", "H2", "POS N3570 E13945 X", {{35.7, 139.45}}},
        {"decimal latitude 91", "KE0001", "H2", "POS N9100 E13945 X", {}},
        {"decimal longitude 181", "KE0001", "H2", "POS N3540 E18100 X", {}},
        {"decimal limits kept",
         "OZ0102",
         "H1",
         layout(100, {{4, "E99"}, {58, "S90000W180000"}, {71, "0312"}}),
         {{-90, -180, "0312"}}},
    });
}

TEST(PositionScan, OnlyTheFirst1001CharactersAreRead)
{
    std::string text(1500, '.');
    text.replace(1200, 11, "N3540E13945");
    Recorder late;
    EXPECT_FALSE(DecodePositionReport(text, "XY0001", "1", "H1", ".JA8089", {}, late));
    EXPECT_TRUE(late.fixes.empty());

    // A pattern ending at character 1000 is read; one that needs character 1001 is not.
    std::string edge(1500, '.');
    edge.replace(990, 11, "N3540E13945");
    Recorder inside;
    EXPECT_TRUE(DecodePositionReport(edge, "XY0001", "1", "H1", ".JA8089", {}, inside));
    std::string over(1500, '.');
    over.replace(991, 11, "N3540E13945");
    Recorder outside;
    EXPECT_FALSE(DecodePositionReport(over, "XY0001", "1", "H1", ".JA8089", {}, outside));
}

TEST(PositionScan, TruncatedAndRandomTextsAreSafe)
{
    // Every prefix of every layout, and random bytes, must be read without
    // touching anything past the text.
    const std::vector<std::pair<std::string, std::string>> samples{{"JL0012", kPnt},
                                                                   {"NH0012", nhText("PO6", 4, 62, 1)},
                                                                   {"UA0837", "...BPOSN35403W122345,A,0312,35,A,B,C,M"},
                                                                   {"KE0001", "KE/A/B/C/N035.40/E139.45/35"},
                                                                   {"MU0001", "POS"},
                                                                   {"CA0925", "POS N 35.403 E139.455,A,B,C,D,AL"}};
    const char* labels[] = {"H1", "16", "31", "40", "41", "33", "H2", "11", "10"};
    for (const auto& [flight, text] : samples)
        for (size_t n = 0; n <= text.size(); ++n)
            for (const char* label : labels) {
                const std::string cut = text.substr(0, n); // its own allocation: ASan sees overruns
                Recorder r;
                DecodePositionReport(cut, flight, "1", label, ".JA8089", {}, r);
            }
    uint32_t x = 12345;
    for (int i = 0; i < 2000; ++i) {
        std::string t(static_cast<size_t>(i % 130), '\0');
        for (char& c : t) {
            x = x * 1103515245u + 12345u;
            c = "NSEW0123456789 ,/.-MPU"[(x >> 16) % 22];
        }
        const char* airlines[] = {"JL", "NH", "FX", "NW", "UA", "UP", "KE", "OZ", "MU", "CA", "BR", "XY"};
        Recorder r;
        DecodePositionReport(t, std::string(airlines[i % 12]) + "0001", "1", labels[i % 9], ".JA8089", {}, r);
        for (const Fix& f : r.fixes) {
            EXPECT_NE(f.lat, 0.0);
            EXPECT_NE(f.lon, 0.0);
            EXPECT_LE(std::abs(f.lat), 90.0);
            EXPECT_LE(std::abs(f.lon), 180.0);
        }
    }
}

} // namespace
} // namespace varnesk
