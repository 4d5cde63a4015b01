// Position reports played through the program: decoded blocks fill the
// aircraft list and the track store and mark POS; generated audio run through
// varnesk-decode --positions prints one line per fix.
#include "../decode/decode_rig.h"
#include "acars_signal.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace varnesk {
namespace {

// A text of n dots with the parts written at their offsets.
std::string layout(size_t n, std::initializer_list<std::pair<size_t, std::string_view>> parts)
{
    std::string t(n, '.');
    for (const auto& [at, s] : parts)
        t.replace(at, s.size(), s);
    return t;
}

// Format 1 (PNT), format 2 (PO6) and format 12 reports.
const std::string kPnt = layout(
    80, {{4, "PNT"}, {31, "N35403E139455"}, {44, "0312"}, {48, "35000"}, {53, "-45"}, {56, "270085"}, {69, "123"}});
const std::string kPo6 =
    layout(100, {{4, "PO6"}, {61, "N34300E135200"}, {74, "0500"}, {81, "12000"}, {86, " 05"}, {89, "180020"}});
const std::string kOther = "POS N3330E13030,FL350";

TEST(TrackingPipeline, DecodedBlocksFillTheListAndTheStore)
{
    testing::DecodeRig rig;
    AircraftTracking& tracking = rig.pipeline().tracking();
    tracking.clock = [] { return QTime(12, 34, 56); };

    rig.feed(testing::downlink(".JA8089", "M01A", "JL0012", kPnt));
    EXPECT_EQ(tracking.store().count(), 1);
    rig.feed(testing::downlink(".JA0001", "M02A", "NH0101", kPo6, testing::kEtx, "16"));
    rig.feed(testing::downlink(".B-1234", "M03A", "XY0777", kOther, testing::kEtx, "5Z"));
    rig.feed(testing::downlink(".JA0002", "M04A", "NH0202", "NO POSITION HERE", testing::kEtx, "H1"));
    EXPECT_EQ(tracking.store().count(), 3); // no fix, no new aircraft

    const AircraftList& list = tracking.list();
    ASSERT_EQ(list.rowCount(), 4);
    auto pos = [&](const char* reg, const char* flight) {
        const int row = list.FindRow(reg, flight);
        return row > 0 ? list.row(row - 1).cell(kColPos) : std::string("<no row>");
    };
    EXPECT_EQ(pos("JA8089", "JL0012"), kMarkYes);
    EXPECT_EQ(pos("JA0001", "NH0101"), kMarkYes);
    EXPECT_EQ(pos("B-1234", "XY0777"), kMarkYes);
    EXPECT_EQ(pos("JA0002", "NH0202"), kMarkNo);

    const TrackStore& store = tracking.store();
    ASSERT_EQ(store.count(), 3);
    const AircraftEntry& jl = store.entry(0);
    EXPECT_EQ(jl.flight.view(), "JL0012");
    EXPECT_EQ(jl.registration.view(), "JA8089"); // the leading dots of the address are not kept
    EXPECT_EQ(jl.lastTime.view(), "12:12");
    EXPECT_NEAR(jl.newest().latitude, 35 + 40.3 / 60, 1e-9);
    EXPECT_EQ(jl.newest().altitude, 35000);
    EXPECT_EQ(jl.newest().heading, 123);
    EXPECT_EQ(jl.routeCodes.view(), "NO INFO"); // listed, but not in the flight table
    const AircraftEntry& nh = store.entry(1);
    EXPECT_NEAR(nh.newest().latitude, 34 + 30.0 / 60 - 0.07, 1e-9);
    EXPECT_NEAR(nh.newest().longitude, 135 + 20.0 / 60 - 0.27, 1e-9);
    EXPECT_EQ(nh.newest().temperature, 5);
    EXPECT_EQ(store.entry(2).newest().altitude, kNoAltitude);
    EXPECT_EQ(store.companyItems(), (std::vector<std::string>{"ALL", "JL", "NH", "XY"}));

    // A repeat of the same report adds a point, and the sort drops the twin.
    rig.feed(testing::downlink(".JA8089", "M05A", "JL0012", kPnt));
    EXPECT_EQ(store.entry(0).age, 0); // the fix reached the store
    EXPECT_EQ(store.entry(0).newestPoint, 0);
}

TEST(TrackingPipeline, DecodeToolPrintsTheFixes)
{
    QTemporaryDir dir;
    std::vector<gen::Burst> bursts;
    auto add = [&](int channel, double at, const char* address, const char* label, const std::string& text) {
        gen::Burst b;
        b.channel = channel;
        b.startSeconds = at;
        b.block.address = address;
        b.block.label = label;
        b.block.text = text;
        bursts.push_back(b);
    };
    add(0, 0.2, ".JA8089", "H1", "M01AJL0012" + kPnt);
    add(1, 0.3, ".JA0001", "16", "M02ANH0101" + kPo6);
    add(0, 1.0, ".B-1234", "5Z", "M03AXY0777" + kOther);
    add(0, 1.6, ".JA0002", "H1", "M04ANH0202NO POSITION");
    const std::vector<int16_t> samples = gen::renderStereo(bursts, {});
    const QString wav = dir.path() + QStringLiteral("/positions.wav");
    std::string error;
    ASSERT_TRUE(gen::writeWav(wav.toStdString(), samples, error)) << error;

    QProcess tool;
    tool.start(QStringLiteral(VARNESK_APP_DIR "/varnesk-decode"),
               {QStringLiteral("--ini"), dir.path() + QStringLiteral("/none.ini"), QStringLiteral("--positions"), wav});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_EQ(tool.readAllStandardOutput().toStdString(),
              "JL0012\tJA8089\t12:12\t35.671667\t139.758333\t35000\t-45\t123\t270\t85\n"
              "NH0101\tJA0001\t14:00\t34.430000\t135.063333\t12000\t5\t400\t180\t20\n"
              "XY0777\tB-1234\t--:--\t33.500000\t130.500000\t90000\t100\t400\t400\t0\n");
}

} // namespace
} // namespace varnesk
