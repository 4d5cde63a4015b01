// Band filter, overload count and level control of one channel.
#include "receiver/channel_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace varnesk {
namespace {

using Block = std::array<double, chain::kBlockFrames>;

TEST(ChannelFilter, OverloadNeedsElevenSamplesBeyond32700)
{
    struct Case {
        const char* name;
        double value;
        int count;
        bool want;
    };
    const Case cases[] = {
        {"ten at full scale", 32767, 10, false}, {"eleven at full scale", 32767, 11, true},
        {"eleven at -32768", -32768, 11, true},  {"eleven at -32701", -32701, 11, true},
        {"eleven at 32701", 32701, 11, true},    {"eleven at 32700", 32700, 11, false},
        {"eleven at -32700", -32700, 11, false}, {"all at 32700", 32700, 512, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChannelState state;
        Block x{};
        for (int i = 0; i < c.count; ++i)
            x[static_cast<size_t>((i * 41) % 512)] = c.value; // spread over the block, all distinct
        bandFilter(state, x);
        EXPECT_EQ(state.overload, c.want);
    }
}

TEST(ChannelFilter, OverloadIsJudgedPerBlock)
{
    ChannelState state;
    Block loud{};
    loud.fill(32767);
    bandFilter(state, loud);
    EXPECT_TRUE(state.overload);
    Block quiet{};
    bandFilter(state, quiet);
    EXPECT_FALSE(state.overload);
}

TEST(ChannelFilter, SilenceLeavesTheGainAtItsCeiling)
{
    ChannelState state;
    Block x{};
    // A loud tone first, so the level filter has something to decay from.
    for (int b = 0; b < 20; ++b) {
        for (int n = 0; n < chain::kBlockFrames; ++n)
            x[static_cast<size_t>(n)] = 10000 * std::sin(2 * std::numbers::pi * 1200 * (b * 512 + n) / 22050.0);
        bandFilter(state, x);
        levelControl(state, x);
    }
    for (int b = 0; b < 100; ++b) { // 2.3 s of silence
        x.fill(0.0);
        bandFilter(state, x);
        levelControl(state, x);
        if (b > 0) { // the first block still holds the band filter's tail
            for (const double v : x)
                ASSERT_EQ(v, 0.0);
        }
    }
    // Now the level sits at its floor of 1: a lone sample of 1 comes out as 8000 · h1[0].
    x.fill(0.0);
    x[0] = 1.0;
    bandFilter(state, x);
    levelControl(state, x);
    EXPECT_NEAR(x[0], 8000 * chain::kBandTaps[0], 1e-9);
}

TEST(ChannelFilter, LevelControlHoldsMeanMagnitudeNear8000)
{
    for (const double amplitude : {10.0, 30.0, 300.0, 3000.0, 30000.0}) {
        SCOPED_TRACE(amplitude);
        ChannelState state;
        Block x{};
        double sum = 0;
        int count = 0;
        const int blocks = 20; // 0.46 s; the level settles within about 0.1 s
        for (int b = 0; b < blocks; ++b) {
            for (int n = 0; n < chain::kBlockFrames; ++n)
                x[static_cast<size_t>(n)] =
                    std::trunc(amplitude * std::sin(2 * std::numbers::pi * 1200 * (b * 512 + n) / 22050.0));
            bandFilter(state, x);
            levelControl(state, x);
            if (b >= blocks - 5)
                for (const double v : x) {
                    sum += std::fabs(v);
                    ++count;
                }
        }
        EXPECT_NEAR(sum / count, 8000.0, 400.0);
    }
}

TEST(ChannelFilter, BandFilterKeepsTheTonesAndCutsHighFrequencies)
{
    auto gainAt = [](double hz) {
        ChannelState state;
        Block x{};
        double peak = 0;
        for (int b = 0; b < 4; ++b) {
            for (int n = 0; n < chain::kBlockFrames; ++n)
                x[static_cast<size_t>(n)] = 1000 * std::sin(2 * std::numbers::pi * hz * (b * 512 + n) / 22050.0);
            bandFilter(state, x);
            if (b > 0)
                for (const double v : x)
                    peak = std::max(peak, std::fabs(v));
        }
        return peak / 1000;
    };
    EXPECT_NEAR(gainAt(1200), 1.0, 0.015);
    EXPECT_NEAR(gainAt(2400), 1.0, 0.015);
    EXPECT_LT(gainAt(5000), 0.03);
}

} // namespace
} // namespace varnesk
