// The noise floor's spectrum comes from its autocorrelation (Hann lag
// window); the inverse filter's magnitude is 1 / sqrt of it, normalised to 1
// over 600 … 3000 Hz, held constant below 150 Hz and above 6000 Hz (where
// MSK has little energy and the floor may be no more than rounding), and at
// most 20 dB above 1. Its minimum phase comes from the folded real cepstrum;
// the filters being undone (Butterworth, RC) are minimum-phase themselves.
#include "receiver/noise_whitener.h"
#include "receiver/multiversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace varnesk {

namespace {

constexpr int kN = 512; // the design's frequency grid: 43 Hz
// Noise blocks for a design: two seconds. Every block is measured for the
// first kFullDesigns designs, then one in kSampleEvery (the floor changes
// only with the radio). At each design the older noise counts for less.
constexpr int kBlocksPerDesign = 86;
constexpr int kFullDesigns = 4;
constexpr int kSampleEvery = 32;
constexpr double kKeep = 0.75;
// Spread of the floor over 400 … 3200 Hz above which the filter is used,
// and below which it stops again.
constexpr double kOnDb = 2.0;
constexpr double kOffDb = 1.0;
// A floor below the last transmission's power by more than this is not the radio's.
constexpr double kQuietFloor = 100;

struct Cosines {
    std::array<double, kN> c{};
    Cosines()
    {
        for (int k = 0; k < kN; ++k)
            c[static_cast<size_t>(k)] = std::cos(2 * std::numbers::pi * k / kN);
    }
    double cos(long k) const { return c[static_cast<size_t>(k & (kN - 1))]; }
    double sin(long k) const { return c[static_cast<size_t>((k - kN / 4) & (kN - 1))]; }
};

const Cosines& cosines()
{
    static const Cosines t;
    return t;
}

int bin(double hz)
{
    return static_cast<int>(std::lround(hz * kN / kSampleRateHz));
}

using Octet = float __attribute__((vector_size(32)));

// Lag products of one block (its mean removed) for lags 0 … kLags, eight
// products at a time (zeros stand before the block).
VARNESK_TARGET_CLONES
void lagProducts(const double* x, std::array<double, NoiseWhitener::kLags + 1>& out)
{
    constexpr int n = NoiseWhitener::kBlock;
    constexpr int lags = NoiseWhitener::kLags;
    double mean = 0;
    for (int i = 0; i < n; ++i)
        mean += x[i];
    mean /= n;
    std::array<float, lags + n> y{};
    for (int i = 0; i < n; ++i)
        y[static_cast<size_t>(lags + i)] = static_cast<float>(x[i] - mean);
    for (int l = 0; l <= lags; ++l) {
        Octet acc = {};
        for (int i = 0; i < n; i += 8) {
            Octet a, b;
            std::memcpy(&a, y.data() + lags + i, sizeof a);
            std::memcpy(&b, y.data() + lags + i - l, sizeof b);
            acc += a * b;
        }
        double sum = 0;
        for (int k = 0; k < 8; ++k)
            sum += acc[k];
        out[static_cast<size_t>(l)] = sum;
    }
}

VARNESK_TARGET_CLONES
void firBlock(const double* line, const double* taps, double* out)
{
    // out[i] = Σ taps[t] · x[i − t], with x[i] = line[i + kTaps − 1]; each
    // output's terms in the order of t, a tap at a time over the whole block
    // (the loop over the outputs runs on vectors).
    constexpr int k = NoiseWhitener::kTaps;
    constexpr int n = NoiseWhitener::kBlock;
    for (int i = 0; i < n; ++i)
        out[i] = 0;
    for (int t = 0; t < k; ++t) {
        const double tap = taps[t];
        const double* x = line + k - 1 - t;
        for (int i = 0; i < n; ++i)
            out[i] += tap * x[i];
    }
}

} // namespace

bool NoiseWhitener::process(std::span<const double, kBlock> raw, std::span<double, kBlock> out)
{
    const auto slot = static_cast<size_t>(m_pendingAt);
    m_pendingFull[slot] = false;
    if (m_designs < kFullDesigns || m_blocksSeen % kSampleEvery == 0) {
        lagProducts(raw.data(), m_pending[slot]);
        // Digital silence (or a level below one count) tells nothing.
        m_pendingFull[slot] = m_pending[slot][0] >= kBlock;
    }
    ++m_blocksSeen;
    if (m_active) {
        std::copy(m_history.begin(), m_history.end(), m_line.begin());
        std::copy(raw.begin(), raw.end(), m_line.begin() + (kTaps - 1));
        firBlock(m_line.data(), m_taps.data(), out.data());
    }
    std::copy(raw.end() - (kTaps - 1), raw.end(), m_history.begin());
    return m_active;
}

void NoiseWhitener::blockDone(bool busy)
{
    if (busy) {
        m_pendingFull.fill(false);
    } else {
        // The oldest block held back is now kPending blocks before anything
        // the demodulator could still find.
        const auto oldest = static_cast<size_t>((m_pendingAt + 1) % kPending);
        if (m_pendingFull[oldest]) {
            for (int l = 0; l <= kLags; ++l)
                m_sums[static_cast<size_t>(l)] += m_pending[oldest][static_cast<size_t>(l)];
            m_samples += kBlock;
            m_pendingFull[oldest] = false;
            ++m_blocksSinceDesign;
        }
        if (m_blocksSinceDesign >= kBlocksPerDesign)
            design();
    }
    m_pendingAt = (m_pendingAt + 1) % kPending;
}

void NoiseWhitener::design()
{
    const Cosines& t = cosines();
    m_blocksSinceDesign = 0;
    ++m_designs;
    // The floor's spectrum on the grid, 0 … kN / 2.
    std::array<double, kN / 2 + 1> floor{};
    for (int k = 0; k <= kN / 2; ++k) {
        double v = m_sums[0];
        for (int l = 1; l <= kLags; ++l) {
            const double w = 0.5 + 0.5 * std::cos(std::numbers::pi * l / (kLags + 1));
            v += 2 * w * m_sums[static_cast<size_t>(l)] * t.cos(static_cast<long>(k) * l);
        }
        floor[static_cast<size_t>(k)] = v;
    }
    const double floorPower = m_sums[0] / m_samples;
    for (double& s : m_sums)
        s *= kKeep;
    m_samples *= kKeep;
    double ref = 0;
    for (int k = bin(600); k <= bin(3000); ++k)
        ref += floor[static_cast<size_t>(k)];
    ref /= bin(3000) - bin(600) + 1;
    if (!(ref > 0)) {
        m_active = false;
        return;
    }
    double lo = floor[static_cast<size_t>(bin(400))], hi = lo;
    for (int k = bin(400); k <= bin(3200); ++k) {
        lo = std::min(lo, floor[static_cast<size_t>(k)]);
        hi = std::max(hi, floor[static_cast<size_t>(k)]);
    }
    m_spreadDb = lo > 0 ? 10 * std::log10(hi / lo) : 99.0;
    m_active = m_spreadDb >= (m_active ? kOffDb : kOnDb) && !(m_signalPower > kQuietFloor * floorPower);
    if (!m_active)
        return;

    // log |G| on the grid (even), then its real cepstrum.
    std::array<double, kN / 2 + 1> logG{};
    const int klo = bin(150), khi = bin(6000);
    for (int k = 0; k <= kN / 2; ++k) {
        const double s = std::max(floor[static_cast<size_t>(std::clamp(k, klo, khi))], ref * 0.01);
        logG[static_cast<size_t>(k)] = -0.5 * std::log(s / ref);
    }
    std::array<double, kN / 2 + 1> cep{};
    for (int n = 0; n <= kN / 2; ++n) {
        double v = logG[0] + logG[kN / 2] * (n % 2 ? -1 : 1);
        for (int k = 1; k < kN / 2; ++k)
            v += 2 * logG[static_cast<size_t>(k)] * t.cos(static_cast<long>(k) * n);
        cep[static_cast<size_t>(n)] = v / kN;
    }
    // Folded onto n ≥ 0: the minimum-phase filter with the same magnitude.
    for (int n = 1; n < kN / 2; ++n)
        cep[static_cast<size_t>(n)] *= 2;
    // G(k) = exp(Σ cep[n] e^(−j2πkn/N)) for k = 0 … N/2; the taps from its inverse transform.
    std::array<double, kN / 2 + 1> gRe{}, gIm{};
    for (int k = 0; k <= kN / 2; ++k) {
        double re = 0, im = 0;
        for (int n = 0; n <= kN / 2; ++n) {
            re += cep[static_cast<size_t>(n)] * t.cos(static_cast<long>(k) * n);
            im -= cep[static_cast<size_t>(n)] * t.sin(static_cast<long>(k) * n);
        }
        const double m = std::exp(re);
        gRe[static_cast<size_t>(k)] = m * std::cos(im);
        gIm[static_cast<size_t>(k)] = m * std::sin(im);
    }
    for (int n = 0; n < kTaps; ++n) {
        double v = gRe[0] + gRe[kN / 2] * (n % 2 ? -1 : 1);
        for (int k = 1; k < kN / 2; ++k)
            v += 2
                 * (gRe[static_cast<size_t>(k)] * t.cos(static_cast<long>(k) * n)
                    - gIm[static_cast<size_t>(k)] * t.sin(static_cast<long>(k) * n));
        m_taps[static_cast<size_t>(n)] = v / kN;
    }
}

} // namespace varnesk
