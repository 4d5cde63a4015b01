// The block-wise chain (filters over whole blocks, tabulated oscillators)
// against a sample-by-sample reference written the plain way: shifted delay
// lines, std::sin and std::cos, every stage as its formula reads.
#include "receiver/channel_filter.h"
#include "receiver/msk_demodulator.h"

#include "acars_signal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace varnesk {
namespace {

struct Reference {
    double band[51] = {};
    double levelW[2] = {};
    double hilbert[51] = {};
    double shiftPhase = 0;
    double vcoPhase = 0;
    double vcoOffset = 0;
    double loopW[2] = {};
    double data[51] = {};
    double clockW[2] = {};
    int clockSign = 0;

    static double fir(double* delay, const std::array<double, 51>& h, double in)
    {
        for (int k = 50; k >= 1; --k)
            delay[k] = delay[k - 1];
        delay[0] = in;
        double sum = 0;
        for (int k = 0; k <= 50; ++k)
            sum += h[static_cast<size_t>(k)] * delay[k];
        return sum;
    }

    // Returns the bits of the block; y receives the shifted signal.
    std::vector<int> block(std::array<double, 512>& x)
    {
        for (double& v : x)
            v = fir(band, chain::kBandTaps, v);
        for (double& v : x) {
            const double w0 = std::fabs(v) + 1.97985154 * levelW[0] + -0.98005251 * levelW[1];
            double level = 5.024e-05 * w0 + 1.0048e-04 * levelW[0] + 5.024e-05 * levelW[1];
            levelW[1] = levelW[0];
            levelW[0] = w0;
            if (level < 1)
                level = 1;
            v = v * (8000 / level);
        }
        std::array<double, 512> i{}, q{}, d{}, e{};
        for (int n = 0; n < 512; ++n) {
            q[n] = fir(hilbert, chain::kQuadratureTaps, x[n]);
            i[n] = hilbert[25];
        }
        const double dt = 1.0 / 22050;
        for (int n = 0; n < 512; ++n) {
            shiftPhase += 25132.741228718343 * dt;
            if (shiftPhase >= 6.283185307179586)
                shiftPhase -= 6.283185307179586;
            x[n] = i[n] * std::cos(shiftPhase) - q[n] * std::cos(shiftPhase - 3.141592653589793 / 2);
        }
        for (int n = 0; n < 512; ++n) {
            vcoPhase += (vcoOffset + 5800) * 2 * 3.141592653589793 * dt;
            if (vcoPhase >= 2 * 3.141592653589793)
                vcoPhase -= 2 * 3.141592653589793;
            const double p = 6000 * std::sin(vcoPhase) * x[n];
            const double w0 = p + 0.23825849 * loopW[0] + -0.18162584 * loopW[1];
            d[n] = 0.23584184 * w0 + 0.47168368 * loopW[0] + 0.23584184 * loopW[1];
            loopW[1] = loopW[0];
            loopW[0] = w0;
            vcoOffset = d[n] * 4e-05;
        }
        for (int n = 0; n < 512; ++n)
            e[n] = fir(data, chain::kDataTaps, d[n]);
        const double pi = 3.141592653589793;
        const double r1 = 2 * std::exp(-pi * 20 * dt) * std::cos(2 * pi * 2400 * dt);
        const double r2 = -std::exp(-2 * pi * 20 * dt);
        const double g = std::sin(2 * pi * 2400 * dt) * 1e-06;
        std::vector<int> bits;
        for (int n = 0; n < 512; ++n) {
            const double w0 = g * std::fabs(e[n]) + r1 * clockW[0] + r2 * clockW[1];
            clockW[1] = clockW[0];
            clockW[0] = w0;
            const int sign = w0 < 0 ? -10 : 10;
            if (sign > clockSign)
                bits.push_back(e[n] >= 0 ? 1 : 0);
            clockSign = sign;
        }
        return bits;
    }
};

TEST(LiteralChain, BlockWiseChainMatchesTheSampleBySampleFormulas)
{
    // Noisy generated traffic. The run starts with the level at its floor, so
    // the first blocks are overdriven: the loop's phase steps by tens of
    // radians per sample, and there the last-digit differences of any two
    // correct implementations grow into different bits. Once the level has
    // settled (0.1 s) both must agree bit for bit.
    constexpr size_t kSettledBlock = 10;
    std::mt19937 rng(8);
    const std::vector<gen::Burst> bursts = gen::randomTraffic(rng, 0, 6, 0.5, 128);
    gen::SignalOptions options;
    options.noise = true;
    options.ebN0Db = 11;
    options.peak = 3000;
    const std::vector<int16_t> audio = gen::renderStereo(bursts, options);

    Reference reference;
    ChannelState state;
    DemodScratch scratch;
    double worstY = 0;
    int bitsCompared = 0;
    for (size_t at = 0; at + 1024 <= audio.size(); at += 1024) {
        std::array<double, 512> x{};
        for (size_t n = 0; n < 512; ++n)
            x[n] = audio[at + 2 * n];
        std::array<double, 512> xr = x;
        bandFilter(state, x);
        levelControl(state, x);
        demodulate(state, scratch, x);
        const std::vector<int> want = reference.block(xr);
        if (at / 1024 < kSettledBlock)
            continue;
        for (size_t n = 0; n < 512; ++n)
            worstY = std::max(worstY, std::fabs(x[n] - xr[n]) / 8000);
        ASSERT_EQ(state.blockBitCount, static_cast<int>(want.size())) << "block " << at / 1024;
        for (size_t k = 0; k < want.size(); ++k)
            ASSERT_EQ(state.blockBits[k], want[k]) << "block " << at / 1024 << " bit " << k;
        bitsCompared += static_cast<int>(want.size());
        EXPECT_NEAR(state.vcoPhase, reference.vcoPhase, 1e-6);
    }
    EXPECT_LT(worstY, 1e-9);
    EXPECT_GT(bitsCompared, 10000);
}

} // namespace
} // namespace varnesk
