// Quadrature split, frequency shift, loop, clock recovery and bit decision.
#include "receiver/channel_filter.h"
#include "receiver/msk_demodulator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace varnesk {
namespace {

using Block = std::array<double, chain::kBlockFrames>;

// Amplitude of the component at hz in a run of samples (single-bin DFT, Hann window).
double amplitudeAt(const std::vector<double>& x, double hz)
{
    double re = 0;
    double im = 0;
    double wsum = 0;
    for (size_t n = 0; n < x.size(); ++n) {
        const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * n / (x.size() - 1));
        const double a = 2 * std::numbers::pi * hz * n / 22050.0;
        re += w * x[n] * std::cos(a);
        im += w * x[n] * std::sin(a);
        wsum += w;
    }
    return 2 * std::hypot(re, im) / wsum;
}

TEST(MskDemodulator, ShiftMovesToneUpBy4000HzAndSuppressesTheMirror)
{
    for (const double hz : {600.0, 1200.0, 2400.0, 3500.0}) {
        SCOPED_TRACE(hz);
        ChannelState state;
        Block x{};
        Block i{};
        Block q{};
        Block y{};
        std::vector<double> out;
        for (int b = 0; b < 6; ++b) {
            for (int n = 0; n < chain::kBlockFrames; ++n)
                x[static_cast<size_t>(n)] = 1000 * std::sin(2 * std::numbers::pi * hz * (b * 512 + n) / 22050.0);
            quadratureSplit(state, x, i, q);
            frequencyShift(state, i, q, y);
            if (b >= 2)
                out.insert(out.end(), y.begin(), y.end());
        }
        const double wanted = amplitudeAt(out, hz + 4000);
        const double mirror = amplitudeAt(out, 4000 - hz);
        EXPECT_NEAR(wanted, 1000, 25);
        EXPECT_LT(20 * std::log10(mirror / wanted), -30.0);
    }
}

TEST(MskDemodulator, ShiftPhaseStaysInRange)
{
    ChannelState state;
    Block zero{};
    Block y{};
    for (int b = 0; b < 2000; ++b) {
        frequencyShift(state, zero, zero, y);
        ASSERT_GE(state.shiftPhase, 0.0);
        ASSERT_LT(state.shiftPhase, chain::kTwoPi);
    }
    // 2000 blocks of 512 steps: the literal phase and the table index agree.
    EXPECT_NEAR(state.shiftPhase, std::fmod(2000.0 * 512 * chain::kShiftStep, chain::kTwoPi), 1e-6);
    EXPECT_EQ(state.shiftIndex, (2000 * 512) % chain::kShiftPeriod);
}

TEST(MskDemodulator, AllZeroInputDecidesOneBitAtTheFirstSample)
{
    ChannelState state;
    DemodScratch scratch;
    Block x{};
    bandFilter(state, x);
    levelControl(state, x);
    demodulate(state, scratch, x);
    ASSERT_EQ(state.blockBitCount, 1);
    EXPECT_EQ(state.blockBits[0], 1);
    for (int b = 0; b < 20; ++b) {
        x.fill(0.0);
        bandFilter(state, x);
        levelControl(state, x);
        demodulate(state, scratch, x);
        ASSERT_EQ(state.blockBitCount, 0) << "block " << b + 1;
    }
}

TEST(MskDemodulator, FirstBitIsSampledAtTheFirstSample)
{
    // A negative data value at sample 0 only: the start of the run is the one
    // rising "crossing", and the bit is the sign of that very sample.
    ChannelState state;
    Block e{};
    e[0] = -1.0;
    clockRecovery(state, e);
    ASSERT_GE(state.blockBitCount, 2); // the resonator rings on after the impulse
    EXPECT_EQ(state.blockBits[0], 0);
    EXPECT_EQ(state.blockBits[1], 1);
}

TEST(MskDemodulator, ClockDecidesAboutOneBitPerBitPeriod)
{
    // Random MSK at 2400 bit/s for a second: 2400 bits, 55.7 per block once locked.
    ChannelState state;
    DemodScratch scratch;
    std::mt19937 rng(5);
    std::vector<int> bits(2500);
    for (int& b : bits)
        b = static_cast<int>(rng() & 1);
    double phase = 0;
    int bitsDecided = 0;
    const int blocks = 43;
    for (int b = 0; b < blocks; ++b) {
        Block x{};
        for (int n = 0; n < chain::kBlockFrames; ++n) {
            const long sample = static_cast<long>(b) * 512 + n;
            const long bit = sample * 2400 / 22050;
            const double hz = bits[static_cast<size_t>(bit)] ? 2400 : 1200;
            phase += 2 * std::numbers::pi * hz / 22050;
            x[static_cast<size_t>(n)] = 5000 * std::sin(phase) + std::normal_distribution<double>(0, 30)(rng);
        }
        bandFilter(state, x);
        levelControl(state, x);
        demodulate(state, scratch, x);
        if (b >= 10)
            bitsDecided += state.blockBitCount;
        ASSERT_LE(state.blockBitCount, chain::kMaxBlockBits);
    }
    EXPECT_NEAR(bitsDecided / double(blocks - 10), 2400.0 * 512 / 22050, 1.0);
}

TEST(MskDemodulator, FastSinMatchesTheLibrary)
{
    double worst = 0;
    for (double x = -1200.0; x < 1200.0; x += 0.0137)
        worst = std::max(worst, std::fabs(fastSin(x) - std::sin(x)));
    for (const double x :
         {0.0, 1e-300, chain::kTwoPi, -chain::kTwoPi, 9999.0, -12345.6, 654321.0, 3e8, -7.5e8, 2e9, -1e12})
        worst = std::max(worst, std::fabs(fastSin(x) - std::sin(x)));
    EXPECT_LT(worst, 1e-12);
}

} // namespace
} // namespace varnesk
