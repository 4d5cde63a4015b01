// The demodulator steps of one channel, each over the whole block in turn.
#include "receiver/msk_demodulator.h"
#include "receiver/multiversion.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace varnesk {

namespace {

// The 4000 Hz oscillator: 4000 / 22050 = 80 / 441, so the phase after i steps
// (modulo 2π) takes 441 values; their cosines and sines are tabulated once.
struct ShiftTable {
    std::array<double, chain::kShiftPeriod> cosine{};
    std::array<double, chain::kShiftPeriod> sine{};
    ShiftTable()
    {
        for (int i = 0; i < chain::kShiftPeriod; ++i) {
            const double phase = std::fmod(static_cast<double>(i) * chain::kShiftStep, chain::kTwoPi);
            cosine[static_cast<size_t>(i)] = std::cos(phase);
            sine[static_cast<size_t>(i)] = std::sin(phase); // = cos(phase − π/2)
        }
    }
};

const ShiftTable& shiftTable()
{
    static const ShiftTable table;
    return table;
}

// The loop oscillator's sine: sin(a + b) = sin a · cos b + cos a · sin b with a
// on a grid of 256 points per turn (tabulated) and |b| ≤ π/256, where short
// series for sin b and cos b are exact to about 1e-16.
constexpr int kSineGrid = 256;
struct SineTable {
    std::array<double, kSineGrid> sine{};
    std::array<double, kSineGrid> cosine{};
    SineTable()
    {
        for (int i = 0; i < kSineGrid; ++i) {
            sine[static_cast<size_t>(i)] = std::sin(chain::kTwoPi * i / kSineGrid);
            cosine[static_cast<size_t>(i)] = std::cos(chain::kTwoPi * i / kSineGrid);
        }
    }
};

const SineTable& sineTable()
{
    static const SineTable table;
    return table;
}

[[gnu::always_inline]] inline double tableSin(const SineTable& table, double x)
{
    constexpr double kPerRadian = kSineGrid / 6.283185307179586476925;
    // The grid step 2π/256 split in two so that k · kStepHi is exact for any k below 2^29.
    constexpr double kStepHi = static_cast<float>(6.283185307179586476925 / kSineGrid);
    constexpr double kStepLo = 6.283185307179586476925 / kSineGrid - kStepHi;
    constexpr double kRound = 6755399441055744.0; // 1.5 · 2^52: adding it rounds to an integer
    if (!(std::fabs(x) < 1e3)) // the loop's phase lives near 0 … 2π; far out, std::sin keeps the accuracy
        return std::sin(x);
    const double shifted = x * kPerRadian + kRound;
    const double k = shifted - kRound;
    // The low bits of the shifted value are the integer k in two's complement.
    const auto index = static_cast<size_t>(std::bit_cast<uint64_t>(shifted) & (kSineGrid - 1));
    const double b = (x - k * kStepHi) - k * kStepLo;
    const double b2 = b * b;
    const double sinB = b + b * b2 * (-1.0 / 6.0 + b2 * (1.0 / 120.0 - b2 * (1.0 / 5040.0)));
    const double cosB = 1.0 + b2 * (-0.5 + b2 * (1.0 / 24.0 - b2 * (1.0 / 720.0)));
    return table.sine[index] * cosB + table.cosine[index] * sinB;
}

} // namespace

double fastSin(double x)
{
    return tableSin(sineTable(), x);
}

void quadratureSplit(ChannelState& state, BlockIn x, BlockOut inPhase, BlockOut quadrature)
{
    firAntisymmetric(chain::kQuadratureTaps, state.hilbertDelay, x, quadrature, inPhase);
}

void frequencyShift(ChannelState& state, BlockIn inPhase, BlockIn quadrature, BlockOut y)
{
    const ShiftTable& table = shiftTable();
    double phase = state.shiftPhase;
    int index = state.shiftIndex;
    for (int n = 0; n < chain::kBlockFrames; ++n) {
        // The phase advances before it is used.
        phase += chain::kShiftStep;
        if (phase >= chain::kTwoPi)
            phase -= chain::kTwoPi;
        if (++index == chain::kShiftPeriod)
            index = 0;
        const auto i = static_cast<size_t>(n);
        y[i] = inPhase[i] * table.cosine[static_cast<size_t>(index)]
               - quadrature[i] * table.sine[static_cast<size_t>(index)];
    }
    state.shiftPhase = phase;
    state.shiftIndex = index;
}

// The loop is one long recurrence (the oscillator's phase depends on the
// previous output); fused multiply-add, where the processor has it, shortens it.
// N channels run side by side, each with exactly the arithmetic of one alone:
// while one channel's step waits on its previous result the other's proceeds.
template <size_t N>
[[gnu::always_inline]] inline void loopDemodulateN(const std::array<ChannelState*, N>& states,
                                                   const std::array<const double*, N>& y,
                                                   const std::array<double*, N>& d)
{
    const SineTable& table = sineTable();
    constexpr double kPhasePerHz = chain::kTwoPi * chain::kDeltaT;
    std::array<double, N> phase, offset, w1, w2;
    for (size_t c = 0; c < N; ++c) {
        phase[c] = states[c]->vcoPhase;
        offset[c] = states[c]->vcoOffset;
        w1[c] = states[c]->loopState[0];
        w2[c] = states[c]->loopState[1];
    }
    for (int n = 0; n < chain::kBlockFrames; ++n) {
        for (size_t c = 0; c < N; ++c) {
            // A step can exceed 2π while the loop is thrown off, so the phase is
            // only brought back once per sample and may leave 0 … 2π for a while.
            phase[c] += (offset[c] + chain::kLoopCentreHz) * kPhasePerHz;
            if (phase[c] >= chain::kTwoPi)
                phase[c] -= chain::kTwoPi;
            const double p = chain::kLoopAmplitude * tableSin(table, phase[c]) * y[c][n];
            const double w0 = p + chain::kLoopA1 * w1[c] + chain::kLoopA2 * w2[c];
            const double out = chain::kLoopB0 * w0 + chain::kLoopB1 * w1[c] + chain::kLoopB2 * w2[c];
            w2[c] = w1[c];
            w1[c] = w0;
            d[c][n] = out;
            offset[c] = out * chain::kLoopGain;
        }
    }
    for (size_t c = 0; c < N; ++c) {
        states[c]->vcoPhase = phase[c];
        states[c]->vcoOffset = offset[c];
        states[c]->loopState = {w1[c], w2[c]};
    }
}

VARNESK_TARGET_CLONES
void loopDemodulate(ChannelState& state, BlockIn y, BlockOut d)
{
    loopDemodulateN<1>({&state}, {y.data()}, {d.data()});
}

VARNESK_TARGET_CLONES
void loopDemodulatePair(ChannelState& a, ChannelState& b, BlockIn ya, BlockIn yb, BlockOut da, BlockOut db)
{
    loopDemodulateN<2>({&a, &b}, {ya.data(), yb.data()}, {da.data(), db.data()});
}

void dataFilter(ChannelState& state, BlockIn d, BlockOut e)
{
    firSymmetric(chain::kDataTaps, state.dataDelay, d, e);
}

namespace {

template <size_t N>
[[gnu::always_inline]] inline void clockRecoveryN(const std::array<ChannelState*, N>& states,
                                                  const std::array<const double*, N>& e)
{
    const double g = chain::kClockG;
    const double r1 = chain::kClockR1;
    const double r2 = chain::kClockR2;
    std::array<double, N> w1, w2;
    std::array<int, N> lastSign, count;
    for (size_t c = 0; c < N; ++c) {
        w1[c] = states[c]->clockState[0];
        w2[c] = states[c]->clockState[1];
        lastSign[c] = states[c]->clockSign;
        count[c] = 0;
    }
    for (int n = 0; n < chain::kBlockFrames; ++n) {
        for (size_t c = 0; c < N; ++c) {
            const double v = e[c][n];
            const double w0 = g * std::fabs(v) + r1 * w1[c] + r2 * w2[c];
            w2[c] = w1[c];
            w1[c] = w0;
            const int sign = w0 < 0.0 ? -chain::kClockMark : chain::kClockMark;
            // A rising zero crossing (or the first sample of the run when w0 ≥ 0)
            // decides a bit. More than 128 crossings in a block cannot happen in
            // normal operation; the store simply stops there.
            if (sign > lastSign[c] && count[c] < chain::kMaxBlockBits)
                states[c]->blockBits[static_cast<size_t>(count[c]++)] = v >= 0.0 ? 1 : 0;
            lastSign[c] = sign;
        }
    }
    for (size_t c = 0; c < N; ++c) {
        states[c]->clockState = {w1[c], w2[c]};
        states[c]->clockSign = lastSign[c];
        states[c]->blockBitCount = count[c];
    }
}

} // namespace

void clockRecovery(ChannelState& state, BlockIn e)
{
    clockRecoveryN<1>({&state}, {e.data()});
}

void clockRecoveryPair(ChannelState& a, ChannelState& b, BlockIn ea, BlockIn eb)
{
    clockRecoveryN<2>({&a, &b}, {ea.data(), eb.data()});
}

void demodulate(ChannelState& state, DemodScratch& s, BlockOut x)
{
    quadratureSplit(state, x, s.inPhase, s.quadrature);
    frequencyShift(state, s.inPhase, s.quadrature, x);
    loopDemodulate(state, x, s.loopOut);
    dataFilter(state, s.loopOut, s.data);
    clockRecovery(state, s.data);
}

void demodulatePair(ChannelState& a, ChannelState& b, DemodScratch& sa, DemodScratch& sb, BlockOut xa, BlockOut xb)
{
    quadratureSplit(a, xa, sa.inPhase, sa.quadrature);
    quadratureSplit(b, xb, sb.inPhase, sb.quadrature);
    frequencyShift(a, sa.inPhase, sa.quadrature, xa);
    frequencyShift(b, sb.inPhase, sb.quadrature, xb);
    loopDemodulatePair(a, b, xa, xb, sa.loopOut, sb.loopOut);
    dataFilter(a, sa.loopOut, sa.data);
    dataFilter(b, sb.loopOut, sb.data);
    clockRecoveryPair(a, b, sa.data, sb.data);
}

} // namespace varnesk
