// The noise whitener: learns a receiver's audio filters from the noise
// between transmissions and undoes them, or leaves a flat floor alone.
#include "receiver/noise_whitener.h"

#include "scanner_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

namespace varnesk {
namespace {

constexpr double kRate = 22050;

// Feeds seconds of white noise (σ sigma), through the sections when there
// are any, plus a DC offset, block by block; busy as given for every block.
void feed(NoiseWhitener& w, std::vector<gen::Biquad>& path, double sigma, double seconds, bool busy, std::mt19937& rng)
{
    std::normal_distribution<double> g(0, 1);
    std::array<double, NoiseWhitener::kBlock> block{}, out{};
    for (int b = 0; b < static_cast<int>(seconds * kRate / NoiseWhitener::kBlock); ++b) {
        for (double& v : block) {
            double x = sigma * g(rng);
            for (gen::Biquad& s : path)
                x = s.step(x);
            v = std::nearbyint(x + 1000);
        }
        w.process(block, out);
        w.blockDone(busy);
    }
}

std::complex<double> tapsResponse(const NoiseWhitener& w, double hz)
{
    std::complex<double> sum = 0;
    for (int t = 0; t < NoiseWhitener::kTaps; ++t)
        sum += w.taps()[static_cast<size_t>(t)] * std::polar(1.0, -2 * std::numbers::pi * hz * t / kRate);
    return sum;
}

TEST(NoiseWhitener, WhiteNoiseAndSilenceAreLeftAlone)
{
    std::mt19937 rng(3);
    std::vector<gen::Biquad> none;
    NoiseWhitener silent;
    feed(silent, none, 0, 5, false, rng);
    EXPECT_EQ(silent.designs(), 0);
    EXPECT_FALSE(silent.active());

    NoiseWhitener white;
    feed(white, none, 3000, 10, false, rng);
    EXPECT_GE(white.designs(), 1);
    EXPECT_LT(white.lastSpreadDb(), 1.0);
    EXPECT_FALSE(white.active());
}

TEST(NoiseWhitener, ScannerBandPassIsUndoneOverTheSignalsBand)
{
    std::mt19937 rng(4);
    const std::array<gen::Biquad, 3> sections = gen::scannerSections();
    std::vector<gen::Biquad> scanner(sections.begin(), sections.end());
    NoiseWhitener w;
    // A transmission's blocks never count: nothing is learnt from them.
    feed(w, scanner, 3000, 5, true, rng);
    EXPECT_EQ(w.designs(), 0);
    feed(w, scanner, 3000, 10, false, rng);
    ASSERT_TRUE(w.active());
    EXPECT_GT(w.lastSpreadDb(), 3.0);
    // The filter times the band-pass is flat within a decibel where MSK lies.
    std::vector<double> db;
    for (double f = 600; f <= 3400; f += 100) {
        std::complex<double> h = tapsResponse(w, f);
        for (const gen::Biquad& s : sections)
            h *= s.response(f);
        db.push_back(20 * std::log10(std::abs(h)));
    }
    const auto [lo, hi] = std::minmax_element(db.begin(), db.end());
    EXPECT_LT(*hi - *lo, 1.0);
    EXPECT_NEAR(*hi, 0.0, 1.0);
    // In time: an impulse through the band-pass and the filter comes out
    // nearly an impulse again (band-limited to 150 … 6000 Hz), most of its
    // energy within two samples of its peak; the band-pass alone smears it.
    auto compactness = [](const std::vector<double>& r) {
        double total = 0, best = 0;
        for (const double v : r)
            total += v * v;
        for (size_t p = 2; p + 2 < r.size(); ++p) {
            double e = 0;
            for (size_t q = p - 2; q <= p + 2; ++q)
                e += r[q] * r[q];
            best = std::max(best, e);
        }
        return best / total;
    };
    std::array<gen::Biquad, 3> fresh = gen::scannerSections();
    std::vector<double> h(400), gh(400, 0.0);
    for (size_t n = 0; n < h.size(); ++n) {
        double x = n == 0 ? 1.0 : 0.0;
        for (gen::Biquad& s : fresh)
            x = s.step(x);
        h[n] = x;
    }
    for (size_t n = 0; n < gh.size(); ++n)
        for (int t = 0; t < NoiseWhitener::kTaps && static_cast<size_t>(t) <= n; ++t)
            gh[n] += w.taps()[static_cast<size_t>(t)] * h[n - static_cast<size_t>(t)];
    EXPECT_LT(compactness(h), 0.7);
    EXPECT_GT(compactness(gh), 0.85);

    // Transmissions 20 dB and more above this floor: it is not the radio's
    // noise (a squelch closed between them) and is left as it is.
    w.noteSignalPower(100.0 * 3000 * 3000);
    const int before = w.designs();
    for (int k = 0; k < 20 && w.designs() == before; ++k)
        feed(w, scanner, 300, 10, false, rng);
    ASSERT_GT(w.designs(), before);
    EXPECT_FALSE(w.active());
}

} // namespace
} // namespace varnesk
