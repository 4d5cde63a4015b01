// Coherent MSK receiver of one channel, block by block.
//
// MSK is offset QPSK with half-cosine pulses 2T long: at the end of bit k the
// baseband phasor lies on the real or the imaginary axis (alternately), and
// with ACARS's line code (a 1 repeats the previous data bit on the 2400 Hz
// tone) its sign is the data bit itself times one constant per transmission.
// So after mixing 1800 Hz down, the matched filter at the end of every bit,
// turned back by a quarter turn per bit and by the carrier phase, gives each
// data bit's soft value directly: no differential step.
//
// The start (8 pre-key bits, "+" "*" SYN SYN SOH) is found by correlating the
// half-bit matched-filter outputs with those 48 known symbols, normalised by
// their energy, so any level and digital silence give the same metric. Carrier
// phase and bit timing are then tracked symbol by symbol from the decisions.
#include "receiver/coherent_receiver.h"
#include "receiver/multiversion.h"

#include "acars/control_chars.h"
#include "acars/crc16.h"
#include "acars/frame_layout.h"
#include "acars/line_codec.h"
#include "receiver/frame_capture.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>

namespace varnesk {

namespace {

using namespace coherent;

constexpr double kT = kSamplesPerBit;
constexpr int kTaps = 24;   // the pulse covers ±9.19 samples around the symbol (20 taps), padded with zeros
constexpr int kSpan = 20;   // taps that can be non-zero
constexpr int kLead = 9;    // taps before the sample at or below the symbol time
constexpr int kPhases = 64; // timing resolution: 1/64 sample
// Sync metric |C|² / (48 · E): about Eb/N0 / (Eb/N0 + 1) on a start sequence,
// exponential with mean 1/48 on noise (so above 0.3 once in 10^6 half bits).
constexpr float kSyncThreshold = 0.3f;
constexpr float kSyncThresholdTracking = 0.6f;
// The matched filter's output between two symbols of the other rail, relative to its peak: 1/π.
constexpr float kNeighbour = static_cast<float>(1.0 / std::numbers::pi);
// Loop gains per symbol: carrier phase (second order) and bit timing (first
// order with a small rate term; ±100 ppm drifts 0.0001 T per bit).
constexpr float kPhaseGain = 0.04f;
constexpr float kRateGain = 0.0004f;
constexpr double kTimingGain = 0.02;
constexpr double kPeriodGain = 0.0001;
// Bits each side of a bit over which the carrier phase is smoothed for the repair.
constexpr int kSmoothBits = 256;
// The log-likelihood ratios the repair gets are taken this much below what
// the frame's own amplitude and noise give. Those are estimates, and errors
// beyond the Gaussian (a phase or timing slip) make them claim too much: at
// the full scale, repairs that searched deep gave nearly twice the false
// frames their posteriors predicted on generated traffic; at 0.9 as many.
constexpr double kLlrTrust = 0.9;

// Counted from the mode character: after mode, address (7), ack, label (2), block id.
constexpr int kFirstEndChar = kBlockIdPos - kModePos + 1;

struct Tables {
    std::array<float, kMixPeriod + kFramesPerBlock> cosine{};
    std::array<float, kMixPeriod + kFramesPerBlock> sine{};
    std::array<std::array<float, kTaps>, kPhases + 1> pulse{};
    std::array<int8_t, kSyncSymbols> sync{};
    Tables()
    {
        for (int n = 0; n < kMixPeriod + kFramesPerBlock; ++n) {
            const double a = 2 * std::numbers::pi * 12.0 * (n % kMixPeriod) / kMixPeriod;
            cosine[static_cast<size_t>(n)] = static_cast<float>(std::cos(a));
            sine[static_cast<size_t>(n)] = static_cast<float>(std::sin(a));
        }
        for (int q = 0; q <= kPhases; ++q) {
            double sum = 0;
            std::array<double, kTaps> p{};
            for (int i = 0; i < kTaps; ++i) {
                const double u = (i - kLead) - static_cast<double>(q) / kPhases;
                p[static_cast<size_t>(i)] = std::fabs(u) < kT ? std::cos(std::numbers::pi * u / (2 * kT)) : 0.0;
                sum += p[static_cast<size_t>(i)] * p[static_cast<size_t>(i)];
            }
            // A symbol of baseband amplitude 1 gives 1 (the audio peak P gives P / 2).
            for (int i = 0; i < kTaps; ++i)
                pulse[static_cast<size_t>(q)][static_cast<size_t>(i)] =
                    static_cast<float>(p[static_cast<size_t>(i)] / sum);
        }
        // Eight pre-key 1 bits, then "+" "*" SYN SYN SOH with odd parity
        // ("+", 0x2B, has four ones); least significant bit first.
        for (int i = 0; i < kSyncSymbols; ++i) {
            const uint8_t byte = i < 8 ? 0xFF : withOddParity(kFrameStart[static_cast<size_t>(i / 8 - 1)]);
            sync[static_cast<size_t>(i)] = ((byte >> (i % 8)) & 1) ? 1 : -1;
        }
    }
};

const Tables& tables()
{
    static const Tables t;
    return t;
}

// The quarter-turn derotation of half-bit point g: e^(−jπg/4).
constexpr std::array<float, 8> kRotRe = {1, 0.70710678f, 0, -0.70710678f, -1, -0.70710678f, 0, 0.70710678f};
constexpr std::array<float, 8> kRotIm = {0, -0.70710678f, -1, -0.70710678f, 0, 0.70710678f, 1, 0.70710678f};

struct Complex {
    float re, im;
};

using Octet = float __attribute__((vector_size(32)));

// The matched filter at absolute sample time t (0 or later); the caller made
// sure the samples are in the ring.
VARNESK_TARGET_CLONES
Complex matchedFilter(const CoherentState& s, double t)
{
    const Tables& tb = tables();
    const auto whole = static_cast<int64_t>(t);
    const auto q = static_cast<int>((t - static_cast<double>(whole)) * kPhases + 0.5);
    const auto at = static_cast<size_t>((whole - kLead) & (kRing - 1));
    const float* pr = s.re.data() + at;
    const float* pi = s.im.data() + at;
    const std::array<float, kTaps>& h = tb.pulse[static_cast<size_t>(q)];
    // Three vectors of eight taps, summed across at the end.
    Octet accRe = {}, accIm = {};
    for (int k = 0; k < kTaps; k += 8) {
        Octet hv, xr, xi;
        std::memcpy(&hv, h.data() + k, sizeof hv);
        std::memcpy(&xr, pr + k, sizeof xr);
        std::memcpy(&xi, pi + k, sizeof xi);
        accRe += hv * xr;
        accIm += hv * xi;
    }
    float sr = 0, si = 0;
    for (int k = 0; k < 8; ++k) {
        sr += accRe[k];
        si += accIm[k];
    }
    return {sr, si};
}

// Correlation of count half-bit points (from index from of the rows) with the
// 48 start symbols, and their energy. With symbols ±1 the correlation is twice
// the sum over the + symbols less the sum over all 48; that sum and the energy
// run along the points (the first two of the block summed in full).
VARNESK_TARGET_CLONES
void correlate(const float* sre, const float* sim, int from, int count, float* cre, float* cim, float* energy)
{
    const Tables& tb = tables();
    constexpr int kWindow = 2 * kSyncSymbols; // half-bit points from the first symbol to past the last
    std::array<float, kSearchMaxNew> allRe, allIm;
    for (int j = 0; j < count; ++j) {
        const int at = from + j;
        if (j < 2) {
            float r = 0, i = 0, e = 0;
            for (int m = 0; m < kSyncSymbols; ++m) {
                const float yr = sre[at - 2 * m];
                const float yi = sim[at - 2 * m];
                r += yr;
                i += yi;
                e += yr * yr + yi * yi;
            }
            allRe[static_cast<size_t>(j)] = r;
            allIm[static_cast<size_t>(j)] = i;
            energy[j] = e;
            continue;
        }
        const float inRe = sre[at], inIm = sim[at];
        const float outRe = sre[at - kWindow], outIm = sim[at - kWindow];
        allRe[static_cast<size_t>(j)] = allRe[static_cast<size_t>(j - 2)] + inRe - outRe;
        allIm[static_cast<size_t>(j)] = allIm[static_cast<size_t>(j - 2)] + inIm - outIm;
        energy[j] = std::max(energy[j - 2] + (inRe * inRe + inIm * inIm) - (outRe * outRe + outIm * outIm), 0.0f);
    }
    for (int j = 0; j < count; ++j)
        cre[j] = cim[j] = 0;
    for (int i = 0; i < kSyncSymbols; ++i) {
        if (tb.sync[static_cast<size_t>(i)] < 0)
            continue;
        const int back = 2 * (kSyncSymbols - 1 - i);
        const float* pr = sre + from - back;
        const float* pi = sim + from - back;
        for (int j = 0; j < count; ++j) {
            cre[j] += pr[j];
            cim[j] += pi[j];
        }
    }
    for (int j = 0; j < count; ++j) {
        cre[j] = 2 * cre[j] - allRe[static_cast<size_t>(j)];
        cim[j] = 2 * cim[j] - allIm[static_cast<size_t>(j)];
    }
}

// Latest sample time whose matched filter has all its samples.
double lastUsableTime(const CoherentState& s)
{
    return static_cast<double>(s.written - 1 - (kSpan - kLead - 1)) - 1.0;
}

// The block starts at a multiple of kFramesPerBlock in the ring, so it never wraps inside
// a block; the oscillator tables run on past one period for the same reason.
void mix(CoherentState& s, std::span<const double, kFramesPerBlock> x)
{
    const Tables& tb = tables();
    const int k = s.mixIndex;
    const auto at = static_cast<size_t>(s.written & (kRing - 1));
    const float* c = tb.cosine.data() + k;
    const float* sn = tb.sine.data() + k;
    float* re = s.re.data() + at;
    float* im = s.im.data() + at;
    for (int n = 0; n < kFramesPerBlock; ++n) {
        const auto f = static_cast<float>(x[static_cast<size_t>(n)]);
        const float r = f * c[n];
        const float i = -f * sn[n];
        re[n] = r;
        re[n + kRing] = r;
        im[n] = i;
        im[n + kRing] = i;
    }
    s.mixIndex = (k + kFramesPerBlock) % kMixPeriod;
    s.written += kFramesPerBlock;
}

float sign(float v)
{
    return v >= 0 ? 1.0f : -1.0f;
}

} // namespace

CoherentCounts CoherentReceiver::totalCounts() const
{
    CoherentCounts total;
    for (const CoherentState& s : m_channels)
        total += s.counts;
    return total;
}

void CoherentReceiver::resetCounts()
{
    for (CoherentState& s : m_channels) {
        s.counts = CoherentCounts{};
        s.counts.syncsFound = s.counts.capturesOpen = s.tracking ? 1 : 0;
    }
}

namespace {

class ChannelRun {
public:
    ChannelRun(CoherentState& s, SoftRepair& repair, int channel) : m_s(s), m_repair(repair), m_channel(channel) { }

    std::optional<CapturedFrame> run()
    {
        track();
        search();
        track();
        m_s.counts.capturesOpen = m_s.tracking ? 1 : 0;
        return m_delivered ? std::optional<CapturedFrame>(m_frame) : std::nullopt;
    }

private:
    void search();
    void startFrame(double time, int64_t point, float phase, float amplitude, float noise);
    void track();
    bool trySymbolEnd();
    bool attempt(int endChar, uint8_t endByte);
    void finish();
    void smoothPhase(int bits);
    double smoothedNoise(int bits) const;
    uint8_t wagnerChar(int c) const;
    void deliver(int charCount, int flips, double posterior);

    CoherentState& m_s;
    SoftRepair& m_repair;
    int m_channel;
    bool m_delivered = false;
    CapturedFrame m_frame;
};

void ChannelRun::search()
{
    CoherentState& s = m_s;
    const double last = lastUsableTime(s);
    // New half-bit points into the rows after the held history.
    int held = s.searchHeld;
    const int firstNew = held;
    while (held < kSearchHistory + kSearchMaxNew) {
        const double t = static_cast<double>(s.searchPoint) * (kT / 2);
        if (t > last)
            break;
        const Complex y = matchedFilter(s, t);
        const auto r = static_cast<size_t>(s.searchPoint & 7);
        s.sre[static_cast<size_t>(held)] = y.re * kRotRe[r] - y.im * kRotIm[r];
        s.sim[static_cast<size_t>(held)] = y.re * kRotIm[r] + y.im * kRotRe[r];
        ++held;
        ++s.searchPoint;
    }
    // Correlation and energy of every new point that has 47 symbols behind it.
    const int from = std::max(firstNew, 2 * (kSyncSymbols - 1));
    const int count = held - from;
    std::array<float, kSearchMaxNew> cre, cim, energy;
    correlate(s.sre.data(), s.sim.data(), from, std::max(count, 0), cre.data(), cim.data(), energy.data());
    const int64_t pointOfFrom = s.searchPoint - (held - from);
    for (int j = 0; j < count; ++j) {
        const auto u = static_cast<size_t>(j);
        const int64_t point = pointOfFrom + j;
        const float e = energy[u];
        // Digital silence (and a level too low to mean anything) gives no metric.
        const float metric = e > 1e-3f ? (cre[u] * cre[u] + cim[u] * cim[u]) / (kSyncSymbols * e) : 0.0f;
        if (s.peakOpen && point == s.peakPoint + 1)
            s.peakAfter = metric;
        // While a frame is being received its own data must not restart it: random
        // data reach 0.3 about once in 7000 half bits, 0.6 once in 10^8.
        const float needed = s.tracking ? kSyncThresholdTracking : kSyncThreshold;
        if (metric > needed && (!s.peakOpen || metric > s.peakMetric)) {
            s.peakOpen = true;
            s.peakPoint = point;
            s.peakMetric = metric;
            s.peakBefore = s.lastMetric;
            s.peakAfter = 0;
            s.peakRe = cre[u];
            s.peakIm = cim[u];
            s.peakEnergy = e;
        }
        s.lastMetric = metric;
        // Taken when no better point follows within two bits.
        if (s.peakOpen && point >= s.peakPoint + 4) {
            s.peakOpen = false;
            const float den = s.peakBefore - 2 * s.peakMetric + s.peakAfter;
            const float delta = den < 0 ? std::clamp(0.5f * (s.peakBefore - s.peakAfter) / den, -0.5f, 0.5f) : 0.0f;
            const float amplitude = std::sqrt(s.peakRe * s.peakRe + s.peakIm * s.peakIm) / kSyncSymbols;
            const float noise =
                std::max(s.peakEnergy / kSyncSymbols - amplitude * amplitude, 0.01f * amplitude * amplitude) / 2;
            const double time = (static_cast<double>(s.peakPoint) + delta) * (kT / 2);
            if (s.tracking)
                finish();
            startFrame(time, s.peakPoint, std::atan2(s.peakIm, s.peakRe), amplitude, noise);
        }
    }
    // Keep the last kSearchHistory points.
    const int keep = std::min(held, kSearchHistory);
    std::copy(s.sre.begin() + (held - keep), s.sre.begin() + held, s.sre.begin());
    std::copy(s.sim.begin() + (held - keep), s.sim.begin() + held, s.sim.begin());
    s.searchHeld = keep;
}

void ChannelRun::startFrame(double time, int64_t point, float phase, float amplitude, float noise)
{
    CoherentState& s = m_s;
    s.tracking = true;
    ++s.counts.syncsFound;
    s.symbolTime = time + kT;
    s.symbolPeriod = kT;
    s.symbolPoint = point + 2;
    s.phase = phase;
    s.phaseRate = 0;
    s.amplitude = amplitude;
    s.prevRe = {-amplitude, -amplitude}; // the last two bits of SOH are 0

    s.prevIm = {0, 0};
    s.pendingSymbols = 0;
    s.energySum = 0;
    s.recentEnergy.fill(0);
    s.noiseSum = noise;
    s.signalSum = amplitude * amplitude + noise;
    s.noiseCount = 1;
    s.softCount = 0;
    s.nextChar = kFirstEndChar;
    s.endTries = 0;
    s.guardRefused = false;
}

void ChannelRun::track()
{
    CoherentState& s = m_s;
    const double last = lastUsableTime(s);
    while (s.tracking && s.symbolTime <= last) {
        const Complex y = matchedFilter(s, s.symbolTime);
        const auto r = static_cast<size_t>(s.symbolPoint & 7);
        const float c = std::cos(s.phase);
        const float sn = std::sin(s.phase);
        // Rotate by the quadrant of the symbol and by −phase.
        const float qr = y.re * kRotRe[r] - y.im * kRotIm[r];
        const float qi = y.re * kRotIm[r] + y.im * kRotRe[r];
        const float u = qr * c + qi * sn;
        const float v = qi * c - qr * sn;
        const float phaseUsed = s.phase;

        // Errors of the previous symbol, now that its successor is decided.
        const float a = std::max(s.amplitude, 1e-6f);
        const float prevU = s.prevRe[1];
        const float prevV = s.prevIm[1];
        const float before = sign(s.prevRe[0]);
        const float after = sign(u);
        const float residual = prevV - kNeighbour * a * (after - before);
        if (s.pendingSymbols >= 1) {
            const float phaseError = std::clamp(residual * sign(prevU) / a, -1.0f, 1.0f);
            s.phaseRate += kRateGain * phaseError;
            s.phase += kPhaseGain * phaseError;
            const double timingError = std::clamp(
                static_cast<double>(prevV) * 0.5 * (after + before) * (2 * kT / std::numbers::pi) / a, -2.0, 2.0);
            s.symbolTime -= kTimingGain * timingError;
            s.symbolPeriod = std::clamp(s.symbolPeriod - kPeriodGain * timingError, kT * 0.999, kT * 1.001);
            s.noiseSum += residual * residual;
            s.signalSum += prevU * prevU;
            ++s.noiseCount;
            // Level from the signal and noise powers over the frame so far.
            const float power = s.signalSum / s.noiseCount;
            const float noise = s.noiseSum / s.noiseCount;
            s.amplitude = std::sqrt(std::max(power - noise, 0.05f * power));
        }
        s.phase += s.phaseRate;
        if (s.phase > static_cast<float>(std::numbers::pi))
            s.phase -= static_cast<float>(2 * std::numbers::pi);
        else if (s.phase < -static_cast<float>(std::numbers::pi))
            s.phase += static_cast<float>(2 * std::numbers::pi);
        s.prevRe = {s.prevRe[1], u};
        s.prevIm = {s.prevIm[1], v};
        ++s.pendingSymbols;
        s.symbolTime += s.symbolPeriod;
        s.symbolPoint += 2;

        s.soft[static_cast<size_t>(s.softCount)] = u;
        s.quadrature[static_cast<size_t>(s.softCount)] = v;
        s.phaseUsed[static_cast<size_t>(s.softCount)] = phaseUsed;
        ++s.softCount;
        // Presence: the mean of u² over 64 bits against the noise plus a third of the signal.
        const auto slot = static_cast<size_t>(s.softCount & 63);
        s.energySum += u * u - s.recentEnergy[slot];
        s.recentEnergy[slot] = u * u;
        if (trySymbolEnd())
            return;
        if (s.softCount >= 96) {
            const float noise = s.noiseSum / s.noiseCount;
            if (s.energySum / 64 < noise + 0.35f * s.amplitude * s.amplitude) {
                finish();
                return;
            }
        }
        if (s.softCount >= kMaxSoftBits) {
            finish();
            return;
        }
    }
}

uint8_t ChannelRun::wagnerChar(int c) const
{
    return wagnerValue(m_s.soft.data() + c * 8);
}

// Checks the next character for an end character once its BCS and the DEL
// after it are in; true when a frame was delivered (tracking stops).
bool ChannelRun::trySymbolEnd()
{
    CoherentState& s = m_s;
    while (s.softCount >= (s.nextChar + 1) * 8 + 24) {
        const int c = s.nextChar++;
        if (c >= kMaxSoftChars) {
            finish();
            return true;
        }
        const uint8_t v = wagnerChar(c);
        if (v != kParityEtx && v != kParityEtb)
            continue;
        if (attempt(c, v)) {
            s.tracking = false;
            return true;
        }
    }
    return false;
}

bool ChannelRun::attempt(int endChar, uint8_t endByte)
{
    CoherentState& s = m_s;
    if (s.endTries < kMaxEndTries)
        s.triedEnds[static_cast<size_t>(s.endTries)] = endChar;
    const int otherEnds = s.endTries++;
    const int bits = (endChar + 1) * 8 + 16;
    // Log-likelihood ratios 2 A u / σ² of the soft values turned by the
    // smoothed carrier phase, with σ² measured on the other axis after the
    // turn and A from the power of the turned values.
    // The DEL after the BCS, when it is in, tells a real end from a text
    // character received as one.
    const int held = std::min(s.softCount, bits + 8);
    smoothPhase(held);
    const double noise = std::max(smoothedNoise(bits), 1e-12);
    double power = 0;
    for (int k = 0; k < bits; ++k)
        power += static_cast<double>(s.llr[static_cast<size_t>(k)]) * s.llr[static_cast<size_t>(k)];
    power /= bits;
    const double amplitude = std::sqrt(std::max(power - noise, 0.05 * power));
    const auto scale = static_cast<float>(kLlrTrust * 2 * amplitude / noise);
    for (int k = 0; k < held; ++k)
        s.llr[static_cast<size_t>(k)] *= scale;
    const std::span<const float> frame(s.llr.data(), static_cast<size_t>(bits));
    const std::span<const float> del =
        held >= bits + 8 ? std::span<const float>(s.llr.data() + bits, 8) : std::span<const float>();
    const double odds = wrongEndOdds(frame, endChar, endByte, del);
    const int budget = static_cast<int>(
        std::clamp(s.repairCredit, static_cast<double>(kRepairMinPops), static_cast<double>(kRepairPops)));
    const RepairResult r = m_repair.repair(frame, endChar + 1, endByte, otherEnds, s.chars, odds, budget);
    s.repairCredit -= r.pops;
    if (!r.ok) {
        s.guardRefused = s.guardRefused || r.refused;
        return false;
    }
    deliver(endChar + 1, r.flippedBits, r.posterior);
    return true;
}

// The carrier loop follows the phase with some lag and noise. Once the
// frame's bits are in, the phase at every bit is estimated again from both
// sides: a straight line fitted to the loop's phase plus the error measured
// at each bit over ±kSmoothBits (it follows a steady frequency offset without
// lag, up to the frame's ends). Each soft value is turned by what the loop
// missed; the turned values go to s.llr, the other axis to s.turnedQuadrature.
void ChannelRun::smoothPhase(int bits)
{
    CoherentState& s = m_s;
    const float a = std::max(s.amplitude, 1e-6f);
    auto decision = [&](int k) {
        if (k < 0)
            return -1.0f; // the last bit of SOH is 0
        if (k >= s.softCount)
            return 0.0f;
        return sign(s.soft[static_cast<size_t>(k)]);
    };
    // The other rail's neighbours leave ±A/π each on this bit's other axis.
    auto neighbours = [&](int k) { return kNeighbour * a * (decision(k + 1) - decision(k - 1)); };
    // The loop's phases, unwrapped in place (later bits are added wrapped).
    s.phaseSums[0] = 0;
    s.phaseMoments[0] = 0;
    for (int k = 0; k < bits; ++k) {
        const auto i = static_cast<size_t>(k);
        if (k > 0) {
            double step = static_cast<double>(s.phaseUsed[i]) - s.phaseUsed[i - 1];
            step -= 2 * std::numbers::pi * std::nearbyint(step / (2 * std::numbers::pi));
            s.phaseUsed[i] = static_cast<float>(s.phaseUsed[i - 1] + step);
        }
        const float error = std::clamp((s.quadrature[i] - neighbours(k)) * sign(s.soft[i]) / a, -1.0f, 1.0f);
        const double measured = static_cast<double>(s.phaseUsed[i]) + error;
        s.phaseSums[i + 1] = s.phaseSums[i] + measured;
        s.phaseMoments[i + 1] = s.phaseMoments[i] + measured * k;
    }
    const int half = kSmoothBits;
    for (int k = 0; k < bits; ++k) {
        const auto i = static_cast<size_t>(k);
        const int from = std::max(k - half, 0);
        const int to = std::min(k + half + 1, bits);
        // A straight line through the window's phases, taken at bit k: in the
        // middle of a frame the window's mean, near its ends no lag behind a
        // steady frequency offset either.
        const double n = to - from;
        const double sy = s.phaseSums[static_cast<size_t>(to)] - s.phaseSums[static_cast<size_t>(from)];
        const double sdy = s.phaseMoments[static_cast<size_t>(to)] - s.phaseMoments[static_cast<size_t>(from)] - k * sy;
        const double d0 = from - k, d1 = to - 1 - k; // offsets of the window's ends from bit k
        const double s1 = (d0 + d1) * n / 2;
        const double s2 = (d1 * (d1 + 1) * (2 * d1 + 1) - (d0 - 1) * d0 * (2 * d0 - 1)) / 6;
        const double det = n * s2 - s1 * s1;
        const double line = det > 1e-9 ? (s2 * sy - s1 * sdy) / det : sy / n;
        const double missed = line - s.phaseUsed[i];
        const auto c = static_cast<float>(std::cos(missed));
        const auto sn = static_cast<float>(std::sin(missed));
        s.llr[i] = s.soft[i] * c + s.quadrature[i] * sn;
        s.turnedQuadrature[i] = s.quadrature[i] * c - s.soft[i] * sn;
    }
}

// The noise on the bits' axis, measured on the other axis once the carrier
// phase is smoothed: what is left there after the neighbours' ±A/π. (The
// loop's own residuals carry its phase jitter as well and come out a few per
// cent high.)
double ChannelRun::smoothedNoise(int bits) const
{
    const CoherentState& s = m_s;
    const float a = std::max(s.amplitude, 1e-6f);
    auto decision = [&](int k) {
        if (k < 0)
            return -1.0f; // the last bit of SOH is 0
        if (k >= bits)
            return k < s.softCount ? sign(s.soft[static_cast<size_t>(k)]) : 0.0f;
        return sign(s.llr[static_cast<size_t>(k)]);
    };
    double sum = 0;
    for (int k = 0; k < bits; ++k) {
        const double r =
            s.turnedQuadrature[static_cast<size_t>(k)] - kNeighbour * a * (decision(k + 1) - decision(k - 1));
        sum += r * r;
    }
    return sum / bits;
}

// Tracking ends without an end character that gave a frame: the cheapest
// untried end positions get their chance.
void ChannelRun::finish()
{
    CoherentState& s = m_s;
    s.tracking = false;
    const int lastEnd = std::min(s.softCount / 8 - 3, kMaxSoftChars - 1);
    while (s.endTries < kMaxEndTries) {
        int best = -1;
        double bestCost = 0;
        uint8_t bestByte = 0;
        for (int c = kFirstEndChar; c <= lastEnd; ++c) {
            if (std::find(s.triedEnds.begin(), s.triedEnds.begin() + std::min(s.endTries, kMaxEndTries), c)
                != s.triedEnds.begin() + std::min(s.endTries, kMaxEndTries))
                continue;
            for (const uint8_t v : {kParityEtx, kParityEtb}) {
                double cost = overruleCost(s.soft.data() + c * 8, v);
                if ((c + 3) * 8 + 8 <= s.softCount)
                    cost += overruleCost(s.soft.data() + (c + 3) * 8, kParityDel);
                if (best < 0 || cost < bestCost) {
                    best = c;
                    bestCost = cost;
                    bestByte = v;
                }
            }
        }
        // Only positions that look like an end: within about two weak bits of ETX / ETB and DEL.
        if (best < 0 || bestCost > 2.0 * s.amplitude)
            break;
        if (attempt(best, bestByte))
            return;
    }
    ++s.counts.framesLost;
    if (s.guardRefused)
        ++s.counts.guardRefusals;
}

void ChannelRun::deliver(int charCount, int flips, double posterior)
{
    CoherentState& s = m_s;
    // Slots: "+" "*" SYN SYN SOH, the characters, the BCS.
    auto put = [&s](int slot, uint8_t byte) {
        for (int b = 0; b < 8; ++b)
            s.frame[static_cast<size_t>(slot + b)] = (byte >> b) & 1;
    };
    for (size_t i = 0; i < kFrameStart.size(); ++i)
        put(8 * static_cast<int>(i), withOddParity(kFrameStart[i]));
    for (int c = 0; c < charCount; ++c)
        put(kFirstCrcSlot + 8 * c, s.chars[static_cast<size_t>(c)]);
    const uint16_t bcs = blockCheck(std::span<const uint8_t>(s.chars.data(), static_cast<size_t>(charCount)));
    const int endSlot = kFirstCrcSlot + 8 * charCount + 16;
    put(endSlot - 16, static_cast<uint8_t>(bcs & 0xFF));
    put(endSlot - 8, static_cast<uint8_t>(bcs >> 8));
    setFrameLine(s.rawLine, s.frame, endSlot / 8 - 2);
    ++s.counts.framesDelivered;
    if (flips > 0) {
        ++s.counts.framesRepaired;
        s.counts.bitsRepaired += static_cast<uint64_t>(flips);
    }
    s.tracking = false;
    m_delivered = true;
    m_frame.slots = s.frame;
    m_frame.bitCount = endSlot;
    m_frame.endIsEtx = s.chars[static_cast<size_t>(charCount - 1)] == kParityEtx;
    m_frame.rawLine = s.rawLine;
    m_frame.channel = m_channel;
    m_frame.from = Demodulator::Coherent;
    m_frame.repairedBits = flips;
    m_frame.repairPosterior = posterior;
}

} // namespace

std::optional<CapturedFrame> CoherentReceiver::processChannel(int c, std::span<const double, kFramesPerBlock> samples)
{
    if (c < 0 || c >= kChannels)
        return std::nullopt;
    CoherentState& s = m_channels[static_cast<size_t>(c)];
    NoiseWhitener& w = m_whiteners[static_cast<size_t>(c)];
    std::array<double, kFramesPerBlock> filtered;
    const bool whitened = w.process(samples, filtered);
    const bool wasTracking = s.tracking;
    const uint64_t syncs = s.counts.syncsFound;
    s.repairCredit =
        std::min(s.repairCredit + kRepairPopsPerSecond * kFramesPerBlock / kSampleRateHz, kRepairSavedPops);
    mix(s, whitened ? std::span<const double, kFramesPerBlock>(filtered) : samples);
    ChannelRun run(s, m_repair, c);
    std::optional<CapturedFrame> frame = run.run();
    if (frame) // the matched filter gives half the audio peak: the audio's power is 2 A²
        w.noteSignalPower(2.0 * s.amplitude * s.amplitude);
    w.blockDone(wasTracking || s.tracking || s.counts.syncsFound != syncs || frame.has_value());
    return frame;
}

} // namespace varnesk
