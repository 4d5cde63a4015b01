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
VARNESK_TARGET_CLONES
void loopDemodulate(ChannelState& state, BlockIn y, BlockOut d)
{
    const SineTable& table = sineTable();
    constexpr double kPhasePerHz = chain::kTwoPi * chain::kDeltaT;
    double phase = state.vcoPhase;
    double offset = state.vcoOffset;
    double w1 = state.loopState[0];
    double w2 = state.loopState[1];
    for (int n = 0; n < chain::kBlockFrames; ++n) {
        // A step can exceed 2π while the loop is thrown off, so the phase is
        // only brought back once per sample and may leave 0 … 2π for a while.
        phase += (offset + chain::kLoopCentreHz) * kPhasePerHz;
        if (phase >= chain::kTwoPi)
            phase -= chain::kTwoPi;
        const auto i = static_cast<size_t>(n);
        const double p = chain::kLoopAmplitude * tableSin(table, phase) * y[i];
        const double w0 = p + chain::kLoopA1 * w1 + chain::kLoopA2 * w2;
        const double out = chain::kLoopB0 * w0 + chain::kLoopB1 * w1 + chain::kLoopB2 * w2;
        w2 = w1;
        w1 = w0;
        d[i] = out;
        offset = out * chain::kLoopGain;
    }
    state.vcoPhase = phase;
    state.vcoOffset = offset;
    state.loopState = {w1, w2};
}

void dataFilter(ChannelState& state, BlockIn d, BlockOut e)
{
    firSymmetric(chain::kDataTaps, state.dataDelay, d, e);
}

void clockRecovery(ChannelState& state, BlockIn e)
{
    double w1 = state.clockState[0];
    double w2 = state.clockState[1];
    int lastSign = state.clockSign;
    int count = 0;
    const double g = chain::kClockG;
    const double r1 = chain::kClockR1;
    const double r2 = chain::kClockR2;
    for (const double v : e) {
        const double w0 = g * std::fabs(v) + r1 * w1 + r2 * w2;
        w2 = w1;
        w1 = w0;
        const int sign = w0 < 0.0 ? -chain::kClockMark : chain::kClockMark;
        // A rising zero crossing (or the first sample of the run when w0 ≥ 0)
        // decides a bit. More than 128 crossings in a block cannot happen in
        // normal operation; the store simply stops there.
        if (sign > lastSign && count < chain::kMaxBlockBits)
            state.blockBits[static_cast<size_t>(count++)] = v >= 0.0 ? 1 : 0;
        lastSign = sign;
    }
    state.clockState = {w1, w2};
    state.clockSign = lastSign;
    state.blockBitCount = count;
}

void demodulate(ChannelState& state, DemodScratch& s, BlockOut x)
{
    quadratureSplit(state, x, s.inPhase, s.quadrature);
    frequencyShift(state, s.inPhase, s.quadrature, x);
    loopDemodulate(state, x, s.loopOut);
    dataFilter(state, s.loopOut, s.data);
    clockRecovery(state, s.data);
}

} // namespace varnesk
