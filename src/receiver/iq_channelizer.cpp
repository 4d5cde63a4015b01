// The IQ path. Shared by every channel: a polyphase filter bank of B bins
// (B a power of two, bins about 75 kHz apart, a frame every B/2 inputs, so
// each bin's output rate is twice its spacing and a channel anywhere within
// half a spacing of a bin centre, with its ±12 kHz, is free of aliases).
// Per channel: its bin, a mix by what is left of its offset, a cascade of
// decimating FIR filters down to 24 … 48 kHz (the last one the ±10 kHz
// channel filter), the AM detector (a carrier-locked loop, the envelope
// while it has no lock), DC removal and level control, and a polyphase
// resampler to 22050 Hz whose kernel is the 4.5 kHz audio low-pass. Float
// throughout. The bank costs about what two channels of mixing at the full
// rate did; each channel then works at 150 kHz and below.
#include "receiver/iq_channelizer.h"

#include "receiver/multiversion.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

namespace varnesk {

namespace {

constexpr size_t kChunk = IqChannelizer::kChunkSamples;
// The channel rate is the bank's bin rate divided by a whole number, at least
// this (the channel filter stops at ±12 kHz; the detector works on complex
// samples, so the channel needs no more than its width). Without a bank
// (below 256 kS/s, a channel or two) at least the second figure, as before:
// there the lower rate saves nothing worth having.
constexpr double kMinChannelRateHz = 24'000;
constexpr double kMinChannelRateNoBankHz = 40'000;
// Bins at least this far apart; fewer than four bins make no bank.
constexpr double kMinBinSpacingHz = 64'000;
constexpr int kMaxBins = 1024;
constexpr int kLanes = 8; // frames of the bank worked on side by side
// From this many channels the bank's whole transform costs less than each
// channel's bin taken alone (32 bins: 80 butterflies against 32 products a bin).
constexpr size_t kTransformFromChannels = 10;
// Carrier loop at the channel rate: a second-order phase-locked loop of
// 200 Hz noise bandwidth (damping 0.707), helped into lock by a frequency
// loop with a 10 ms time constant while it has none. Lock is judged from the
// phase of the loop's output smoothed over about 1.3 ms, itself smoothed
// over about 5 ms: in at 0.85, out below 0.5. The carrier is looked for
// within ±9 kHz.
constexpr double kLoopBandwidthHz = 200;
constexpr double kLoopDamping = 0.707;
constexpr double kFrequencyLoopSeconds = 0.010;
constexpr float kLockIn = 0.85f;
constexpr float kLockOut = 0.5f;
constexpr double kCarrierSearchHz = 9'000;
// Channel filter: flat to ±10 kHz (a carrier 50 ppm off at 131 MHz, 6.6 kHz,
// still has its 1200 Hz sidebands inside), 70 dB down from ±12 kHz (the next
// channel sits 25 kHz away). Narrow, because every kHz of noise let through
// costs the envelope detector near its threshold: from ±17 kHz down to ±12 kHz
// gained about 0.2 dB. The decimating stages before it keep everything that
// would fold into ±12 kHz 70 dB down.
constexpr double kPassHz = 10'000;
constexpr double kStopHz = 12'000;
constexpr double kStopDb = 70;
// Audio low-pass folded into the resampler: flat to 4.5 kHz, 60 dB down from 7 kHz.
constexpr double kAudioPassHz = 4'500;
constexpr double kAudioStopHz = 7'000;
constexpr double kAudioStopDb = 60;
constexpr int kPhases = 256; // resampler kernel phases: timing to 1/512 of a channel sample
// Level control. The DC of the envelope goes through a one-pole high-pass at
// 60 Hz (2.9° at 1200 Hz). The carrier level is the envelope through a
// two-pole low-pass at 200 Hz: the 1200 Hz tone leaves 1.4 % ripple at 50 %
// modulation, a carrier keying up is followed within a few milliseconds of its
// 53 ms pre-key, and an impulse is forgotten as fast. Between bursts the
// level is that of the noise, which then plays at about the bursts' level: a
// steady loudness the receiver's own level control is at ease with.
constexpr double kDcCornerHz = 60;
constexpr double kLevelCornerHz = 200;
constexpr float kMinLevel = 1e-9f;
// Values beyond this in float files are clipped (a file of huge or infinite
// values must not turn the filters' sums into infinities).
constexpr float kMaxFloatSample = 65536.0f;
// Keep DC spike and 1/f noise of a dongle off the channels, and each
// channel off the other's mirror image (imbalance of I and Q).
constexpr double kDcGuardHz = 40'000;
constexpr double kImageGuardHz = 50'000;

bool smooth(int n)
{
    for (const int p : {2, 3, 5, 7})
        while (n % p == 0)
            n /= p;
    return n == 1;
}

// The total decimation: the largest number with prime factors up to 7 that
// keeps the channel rate at 24 kHz or more.
int totalDecimation(double rateHz, double minChannelRateHz)
{
    int d = std::max(1, static_cast<int>(std::floor(rateHz / minChannelRateHz)));
    while (d > 1 && !smooth(d))
        --d;
    return d;
}

// Stage factors, largest first (the wide transitions come early and cost
// little), prime factors merged while the product stays at 8 or less, and a
// factor 2 kept for the last stage, the channel filter, where there is one
// (its narrow transition is cheapest with the fewest outputs per input);
// with no decimation it is a stage of 1.
std::vector<int> stageFactors(int total)
{
    const bool lastTwo = total % 2 == 0 && total > 2;
    if (lastTwo)
        total /= 2;
    std::vector<int> primes;
    for (const int p : {7, 5, 3, 2})
        while (total % p == 0) {
            primes.push_back(p);
            total /= p;
        }
    std::vector<int> stages;
    for (const int p : primes) {
        if (!stages.empty() && stages.back() * p <= 8)
            stages.back() *= p;
        else
            stages.push_back(p);
    }
    if (lastTwo)
        stages.push_back(2);
    if (stages.empty())
        stages.push_back(1);
    return stages;
}

double kaiserBeta(double db)
{
    return db > 50 ? 0.1102 * (db - 8.7) : 0.5842 * std::pow(db - 21, 0.4) + 0.07886 * (db - 21);
}

// Kaiser's estimate of the taps for a transition of widthHz at rateHz.
int kaiserTaps(double db, double widthHz, double rateHz)
{
    const double dw = 2 * std::numbers::pi * widthHz / rateHz;
    return static_cast<int>(std::ceil((db - 8) / (2.285 * dw))) + 1;
}

double kaiserWindow(double x, double halfWidth, double beta) // x in −halfWidth … halfWidth
{
    const double r = x / halfWidth;
    if (r <= -1 || r >= 1)
        return 0;
    return std::cyl_bessel_i(0.0, beta * std::sqrt(1 - r * r)) / std::cyl_bessel_i(0.0, beta);
}

double sinc(double x)
{
    return x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
}

int roundUp8(int n)
{
    return (n + 7) / 8 * 8;
}

using F8 = float __attribute__((vector_size(32)));

// Loads and sums by reference: a vector type passed by value would change the
// calling convention between the default and the AVX copy.
[[gnu::always_inline]] inline void load8(F8& v, const float* p)
{
    std::memcpy(&v, p, sizeof v);
}

[[gnu::always_inline]] inline float sum8(const F8& v)
{
    return ((v[0] + v[4]) + (v[1] + v[5])) + ((v[2] + v[6]) + (v[3] + v[7]));
}

// outputs × (taps8 real taps against complex input), stepping factor inputs per output.
VARNESK_TARGET_CLONES
void firDecimate(const float* h, int taps8, const float* re, const float* im, size_t outputs, int factor, float* outRe,
                 float* outIm)
{
    for (size_t k = 0; k < outputs; ++k) {
        const float* xr = re + k * static_cast<size_t>(factor);
        const float* xi = im + k * static_cast<size_t>(factor);
        F8 ar{}, ai{};
        for (int j = 0; j < taps8; j += 8) {
            F8 hv, xv, yv;
            load8(hv, h + j);
            load8(xv, xr + j);
            load8(yv, xi + j);
            ar += hv * xv;
            ai += hv * yv;
        }
        outRe[k] = sum8(ar);
        outIm[k] = sum8(ai);
    }
}

// out = in · e^(j·phase), the phasor of each sample the chunk start's times a table entry.
VARNESK_TARGET_CLONES
void mixChunk(const float* re, const float* im, size_t n, const float* rotRe, const float* rotIm, float startRe,
              float startIm, float* outRe, float* outIm)
{
    for (size_t k = 0; k < n; ++k) {
        const float cr = startRe * rotRe[k] - startIm * rotIm[k];
        const float ci = startRe * rotIm[k] + startIm * rotRe[k];
        outRe[k] = re[k] * cr - im[k] * ci;
        outIm[k] = re[k] * ci + im[k] * cr;
    }
}

// A dot product of taps8 taps (the resampler).
VARNESK_TARGET_CLONES
float dot(const float* h, const float* x, int taps8)
{
    F8 a{};
    for (int j = 0; j < taps8; j += 8) {
        F8 hv, xv;
        load8(hv, h + j);
        load8(xv, x + j);
        a += hv * xv;
    }
    return sum8(a);
}

// Low-pass taps (DC gain 1) for a transition from passHz to stopHz at rateHz.
std::vector<float> lowPass(double passHz, double stopHz, double db, double rateHz)
{
    const int n = kaiserTaps(db, stopHz - passHz, rateHz);
    const double fc = (passHz + stopHz) / 2 / rateHz; // cycles per sample
    const double beta = kaiserBeta(db);
    const double mid = (n - 1) / 2.0;
    std::vector<double> h(static_cast<size_t>(n));
    double sum = 0;
    for (int j = 0; j < n; ++j) {
        h[static_cast<size_t>(j)] = 2 * fc * sinc(2 * fc * (j - mid)) * kaiserWindow(j - mid, mid + 1, beta);
        sum += h[static_cast<size_t>(j)];
    }
    std::vector<float> out(static_cast<size_t>(roundUp8(n)), 0.0f);
    for (int j = 0; j < n; ++j)
        out[static_cast<size_t>(j)] = static_cast<float>(h[static_cast<size_t>(j)] / sum);
    return out;
}

// One-pole low-pass coefficient for a corner at cornerHz.
float onePole(double cornerHz, double rateHz)
{
    return static_cast<float>(1 - std::exp(-2 * std::numbers::pi * cornerHz / rateHz));
}

// atan2 within 0.01 rad.
inline float fastAtan2(float y, float x)
{
    const float ax = std::fabs(x), ay = std::fabs(y);
    const float a = std::min(ax, ay) / (std::max(ax, ay) + 1e-30f);
    const float s = a * a;
    float r = ((-0.0464964749f * s + 0.15931422f) * s - 0.327622764f) * s * a + a;
    if (ay > ax)
        r = 1.57079637f - r;
    if (x < 0)
        r = 3.14159274f - r;
    return y < 0 ? -r : r;
}

// Bank frames: for each lane's frame, v[q] = Σ_r taps[r][q] · x[start + r·bins + q]
// (q = 0 … bins−1), the input run of that frame from its oldest sample; out [lane][q].
VARNESK_TARGET_CLONES
void bankSums(const float* taps, int rows, int bins, const float* re, const float* im, const size_t* starts, int lanes,
              float* outRe, float* outIm)
{
    float accRe[kMaxBins], accIm[kMaxBins];
    for (int l = 0; l < lanes; ++l) {
        const float* xr = re + starts[l];
        const float* xi = im + starts[l];
        for (int q = 0; q < bins; ++q) {
            accRe[q] = 0;
            accIm[q] = 0;
        }
        for (int r = 0; r < rows; ++r) {
            const float* h = taps + r * bins;
            const float* ur = xr + r * bins;
            const float* ui = xi + r * bins;
            for (int q = 0; q < bins; ++q) {
                accRe[q] += h[q] * ur[q];
                accIm[q] += h[q] * ui[q];
            }
        }
        std::copy_n(accRe, bins, outRe + l * bins);
        std::copy_n(accIm, bins, outIm + l * bins);
    }
}

// In-place radix-2 transform Y[k] = Σ v[p]·e^(+j2πkp/bins) of kLanes frames side by
// side ([index][lane]), input in bit-reversed order.
VARNESK_TARGET_CLONES
void bankTransform(float* re, float* im, int bins, const float* twRe, const float* twIm)
{
    for (int len = 2; len <= bins; len *= 2) {
        const int half = len / 2;
        const int step = bins / len;
        for (int start = 0; start < bins; start += len)
            for (int j = 0; j < half; ++j) {
                const float wr = twRe[j * step], wi = twIm[j * step];
                float* ar = re + (start + j) * kLanes;
                float* ai = im + (start + j) * kLanes;
                float* br = re + (start + j + half) * kLanes;
                float* bi = im + (start + j + half) * kLanes;
                for (int l = 0; l < kLanes; ++l) {
                    const float tr = br[l] * wr - bi[l] * wi;
                    const float ti = br[l] * wi + bi[l] * wr;
                    br[l] = ar[l] - tr;
                    bi[l] = ai[l] - ti;
                    ar[l] += tr;
                    ai[l] += ti;
                }
            }
    }
}

// One bin of one frame straight from its frame sums: Σ_q v[q] · (cr[q] + j·ci[q]).
void binDft(const float* re, const float* im, const float* cr, const float* ci, int bins, float& outRe, float& outIm)
{
    if (bins % 8 == 0) {
        outRe = dot(cr, re, bins) - dot(ci, im, bins);
        outIm = dot(ci, re, bins) + dot(cr, im, bins);
        return;
    }
    float ar = 0, ai = 0;
    for (int q = 0; q < bins; ++q) {
        ar += re[q] * cr[q] - im[q] * ci[q];
        ai += re[q] * ci[q] + im[q] * cr[q];
    }
    outRe = ar;
    outIm = ai;
}

std::string mhz(double hz)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.6f MHz", hz / 1e6);
    return text;
}

} // namespace

// A decimating FIR stage; the buffer holds unused history, then new input.
struct IqChannelizer::Stage {
    int factor = 1;
    std::vector<float> h; // padded with zeros to a multiple of 8
    std::vector<float> re, im;
    size_t fill = 0;

    // Appends n inputs and writes the outputs they complete; returns their count.
    size_t run(const float* inRe, const float* inIm, size_t n, float* outRe, float* outIm)
    {
        assert(fill + n <= re.size());
        std::copy_n(inRe, n, re.begin() + static_cast<std::ptrdiff_t>(fill));
        std::copy_n(inIm, n, im.begin() + static_cast<std::ptrdiff_t>(fill));
        fill += n;
        const auto taps = h.size();
        if (fill < taps)
            return 0;
        const size_t outputs = (fill - taps) / static_cast<size_t>(factor) + 1;
        firDecimate(h.data(), static_cast<int>(taps), re.data(), im.data(), outputs, factor, outRe, outIm);
        const size_t used = outputs * static_cast<size_t>(factor);
        std::copy(re.begin() + static_cast<std::ptrdiff_t>(used), re.begin() + static_cast<std::ptrdiff_t>(fill),
                  re.begin());
        std::copy(im.begin() + static_cast<std::ptrdiff_t>(used), im.begin() + static_cast<std::ptrdiff_t>(fill),
                  im.begin());
        fill -= used;
        return outputs;
    }
};

struct IqChannelizer::Channel {
    // The bin the channel sits in, and the mixer for the rest of its offset
    // at the bin rate: the phase of the chunk's first frame in cycles, and
    // the per-frame rotation table of a whole chunk.
    int bin = 0;
    std::vector<float> dftRe, dftIm; // its bin's weights of the frame sums, when taken alone
    double phaseCycles = 0;
    double stepCycles = 0;
    std::vector<float> rotRe, rotIm;
    std::vector<Stage> stages;
    std::vector<float> workRe[2], workIm[2]; // ping-pong between the stages
    size_t binFrames = 0;                    // frames of the bin gathered in workRe[0]
    // Carrier loop: the oscillator's phasor, its frequency (radians per
    // sample), the last output, and the lock judgement.
    float pr = 1, pi = 0;
    float freq = 0;
    float lastYr = 0, lastYi = 0;
    float smoothRe = 0, smoothIm = 0, lockMetric = 0;
    bool locked = false;
    // Level control.
    float dcCoef = 0, dcMean = 0;
    float levelCoef = 0, level1 = 0, level2 = 0;
    // The carrier's envelope summed since the last block.
    double envSum = 0;
    uint64_t envCount = 0;
    float lastCarrierDb = NAN;
    // Resampler: audio at the channel rate behind a history of kernel taps;
    // the next output sits at position `at` of the buffer.
    std::vector<float> audio;
    size_t audioFill = 0;
    double at = 0;
    double step = 0; // channel samples per output sample
};

std::string CheckIqTuning(const IqTuning& t)
{
    char text[200];
    if (!std::isfinite(t.sampleRateHz) || t.sampleRateHz < kMinIqRateHz || t.sampleRateHz > kMaxIqRateHz) {
        std::snprintf(text, sizeof text, "sample rate %.0f Hz is outside %.0f ... %.0f samples per second",
                      std::isfinite(t.sampleRateHz) ? t.sampleRateHz : 0.0, kMinIqRateHz, kMaxIqRateHz);
        return text;
    }
    if (!std::isfinite(t.centreHz) || t.centreHz < kMinIqCentreHz || t.centreHz > kMaxIqCentreHz) {
        std::snprintf(text, sizeof text, "centre frequency %.0f Hz is outside 1 MHz ... 6 GHz",
                      std::isfinite(t.centreHz) ? t.centreHz : 0.0);
        return text;
    }
    if (t.channelHz.empty())
        return "no channel frequency given";
    if (t.channelHz.size() > static_cast<size_t>(kMaxRadioChannels))
        return std::to_string(t.channelHz.size()) + " frequencies given; at most " + std::to_string(kMaxRadioChannels)
               + " channels are taken from one receiver";
    const double reach = t.sampleRateHz / 2 * kIqUsableBandShare - kIqChannelMarginHz;
    double low = INFINITY, high = -INFINITY;
    for (const double f : t.channelHz)
        if (std::isfinite(f)) {
            low = std::min(low, f);
            high = std::max(high, f);
        }
    if (high - low > 2 * reach)
        return "frequencies " + mhz(low) + " ... " + mhz(high) + " span "
               + std::to_string(std::lround((high - low) / 1e3)) + " kHz, more than the "
               + std::to_string(std::lround(2 * reach / 1e3)) + " kHz that "
               + std::to_string(static_cast<long long>(t.sampleRateHz)) + " samples per second can hold";
    for (size_t c = 0; c < t.channelHz.size(); ++c) {
        const double f = t.channelHz[c];
        if (!std::isfinite(f) || std::fabs(f - t.centreHz) > reach)
            return "frequency " + std::to_string(c + 1) + " ("
                   + (std::isfinite(f) ? mhz(f) : std::string("not a number")) + ") is outside the usable band "
                   + mhz(t.centreHz - reach) + " ... " + mhz(t.centreHz + reach) + " of centre " + mhz(t.centreHz)
                   + " at " + std::to_string(static_cast<long long>(t.sampleRateHz)) + " samples per second";
    }
    return {};
}

double ChooseSdrCentre(std::span<const double> channelHz, double sampleRateHz)
{
    if (channelHz.empty())
        return 0;
    const auto [lowIt, highIt] = std::minmax_element(channelHz.begin(), channelHz.end());
    const double mid = (*lowIt + *highIt) / 2;
    const double reach = sampleRateHz / 2 * kIqUsableBandShare - kIqChannelMarginHz;
    // How far the nearest mirror image of a channel falls from another
    // channel; negative when a channel is outside the band or on the DC spike.
    auto clearance = [&](double centre) {
        double nearest = INFINITY;
        for (size_t i = 0; i < channelHz.size(); ++i) {
            const double di = channelHz[i] - centre;
            if (std::fabs(di) > reach || std::fabs(di) < kDcGuardHz)
                return -1.0;
            for (size_t j = i + 1; j < channelHz.size(); ++j)
                if (channelHz[j] != channelHz[i])
                    nearest = std::min(nearest, std::fabs(di + (channelHz[j] - centre)));
        }
        return nearest;
    };
    // The nearest centre to midway, in 5 kHz steps, that meets every guard;
    // failing that, the one that keeps images farthest apart; failing that
    // (no centre keeps every channel off DC), midway.
    constexpr double kStepHz = 5'000;
    double best = mid;
    double bestClear = -1;
    for (int k = 0; k * kStepHz <= sampleRateHz / 2; ++k)
        for (const int sign : {1, -1}) {
            const double centre = mid + sign * k * kStepHz;
            const double clear = clearance(centre);
            if (clear >= kImageGuardHz)
                return centre;
            if (clear > bestClear) {
                bestClear = clear;
                best = centre;
            }
        }
    return best;
}

std::vector<double> parseFrequencyList(std::string_view text, std::string& error)
{
    std::vector<double> out;
    size_t at = 0;
    while (at < text.size()) {
        const size_t from = text.find_first_not_of(" ,\t", at);
        if (from == std::string_view::npos)
            break;
        size_t to = text.find_first_of(" ,\t", from);
        if (to == std::string_view::npos)
            to = text.size();
        const std::string word(text.substr(from, to - from));
        char* stop = nullptr;
        const double mhzValue = std::strtod(word.c_str(), &stop);
        if (word.size() > 24 || *stop != '\0' || !std::isfinite(mhzValue) || mhzValue <= 0) {
            error = "\"" + word.substr(0, 24) + "\" is not a frequency in MHz";
            return {};
        }
        if (out.size() == static_cast<size_t>(kMaxRadioChannels)) {
            error = "more than " + std::to_string(kMaxRadioChannels) + " frequencies";
            return {};
        }
        out.push_back(std::round(mhzValue * 1e6));
        at = to;
    }
    if (out.empty())
        error = "no frequency given";
    return out;
}

int iqBytesPerSample(IqFormat format)
{
    switch (format) {
    case IqFormat::Cu8:
    case IqFormat::Cs8:
        return 2;
    case IqFormat::Cs16:
        return 4;
    case IqFormat::Cf32:
        return 8;
    }
    return 2;
}

std::string_view iqFormatName(IqFormat format)
{
    switch (format) {
    case IqFormat::Cu8:
        return "cu8";
    case IqFormat::Cs8:
        return "cs8";
    case IqFormat::Cs16:
        return "cs16";
    case IqFormat::Cf32:
        return "cf32";
    }
    return "cu8";
}

std::optional<IqFormat> iqFormatFromName(std::string_view name)
{
    for (const IqFormat f : {IqFormat::Cu8, IqFormat::Cs8, IqFormat::Cs16, IqFormat::Cf32})
        if (name == iqFormatName(f))
            return f;
    return std::nullopt;
}

IqChannelizer::IqChannelizer(const IqTuning& tuning, Sink sink) : m_sink(std::move(sink))
{
    assert(CheckIqTuning(tuning).empty());
    const double rate = tuning.sampleRateHz;

    // The bank: as many bins as keep them kMinBinSpacingHz apart, none below four.
    int bins = 1;
    while (bins * 2 <= kMaxBins && rate / (bins * 2) >= kMinBinSpacingHz)
        bins *= 2;
    if (bins < 4)
        bins = 1;
    m_bins = bins;
    m_hop = std::max(1, bins / 2);
    const double spacing = rate / bins;
    const double binRate = rate / m_hop;
    if (bins > 1) {
        // Flat over half a spacing plus the channel's ±10 kHz; 70 dB down
        // wherever it would fold onto a channel's ±12 kHz at the bin rate.
        const std::vector<float> proto = lowPass(spacing / 2 + kPassHz, 1.5 * spacing - kStopHz, kStopDb, rate);
        int n = static_cast<int>(proto.size());
        while (n > 0 && proto[static_cast<size_t>(n - 1)] == 0.0f)
            --n;
        m_rows = (n + bins - 1) / bins;
        // Frame sum: v[p] = Σ_r h[p + r·bins] · x[t − p − r·bins]; stored
        // reversed so that a frame reads its input forwards from its oldest sample.
        const int span = m_rows * bins;
        m_bankTaps.assign(static_cast<size_t>(span), 0.0f);
        for (int k = 0; k < n; ++k)
            m_bankTaps[static_cast<size_t>(span - 1 - k)] = proto[static_cast<size_t>(k)];
        m_histRe.assign(static_cast<size_t>(span - 1) + kChunk, 0.0f);
        m_histIm.assign(static_cast<size_t>(span - 1) + kChunk, 0.0f);
        m_histFill = static_cast<size_t>(span - 1);
        m_binRe.assign(static_cast<size_t>(bins * kLanes), 0.0f);
        m_binIm.assign(static_cast<size_t>(bins * kLanes), 0.0f);
        for (int i = 0; i < bins; ++i) {
            m_twRe.push_back(static_cast<float>(std::cos(2 * std::numbers::pi * i / bins)));
            m_twIm.push_back(static_cast<float>(std::sin(2 * std::numbers::pi * i / bins)));
        }
        int bits = 0;
        while ((1 << bits) < bins)
            ++bits;
        for (int i = 0; i < bins; ++i) {
            int r = 0;
            for (int b = 0; b < bits; ++b)
                r |= ((i >> b) & 1) << (bits - 1 - b);
            m_bitReverse.push_back(r);
        }
    }

    const int total = totalDecimation(binRate, bins > 1 ? kMinChannelRateHz : kMinChannelRateNoBankHz);
    const std::vector<int> factors = stageFactors(total);
    m_channelRateHz = binRate / total;

    // Stage filters, shared by every channel.
    std::vector<std::vector<float>> filters;
    double stageRate = binRate;
    for (size_t s = 0; s < factors.size(); ++s) {
        const double outRate = stageRate / factors[s];
        const bool last = s + 1 == factors.size();
        filters.push_back(lowPass(kPassHz, last ? kStopHz : outRate - kStopHz, kStopDb, stageRate));
        stageRate = outRate;
    }
    // Resampler kernel: row p is for an output p / kPhases of a channel sample
    // after input i; tap j multiplies input i − taps/2 + 1 + j.
    const double rc = m_channelRateHz;
    const int taps = roundUp8(kaiserTaps(kAudioStopDb, kAudioStopHz - kAudioPassHz, rc));
    const double fc = (kAudioPassHz + kAudioStopHz) / 2 / rc;
    const double beta = kaiserBeta(kAudioStopDb);
    std::vector<float> kernel(static_cast<size_t>(kPhases * taps));
    for (int p = 0; p < kPhases; ++p) {
        double sum = 0;
        std::vector<double> row(static_cast<size_t>(taps));
        for (int j = 0; j < taps; ++j) {
            const double u = static_cast<double>(p) / kPhases + taps / 2.0 - 1 - j;
            row[static_cast<size_t>(j)] = sinc(2 * fc * u) * kaiserWindow(u, taps / 2.0, beta);
            sum += row[static_cast<size_t>(j)];
        }
        for (int j = 0; j < taps; ++j)
            kernel[static_cast<size_t>(p * taps + j)] = static_cast<float>(row[static_cast<size_t>(j)] / sum);
    }
    m_kernel = std::move(kernel);
    m_kernelTaps = taps;

    const size_t framesPerChunk = kChunk / static_cast<size_t>(m_hop) + 1;
    const size_t maxOut = static_cast<size_t>(std::ceil(kChunk * kSampleRateHz / rate)) + 16;
    m_block.channels = static_cast<int>(tuning.channelHz.size());
    for (const double hz : tuning.channelHz) {
        Channel ch;
        const double offset = hz - tuning.centreHz;
        ch.bin = bins > 1 ? static_cast<int>(std::lround(offset / spacing)) : 0;
        const double rest = offset - ch.bin * spacing;
        ch.bin = ((ch.bin % bins) + bins) % bins;
        if (bins > 1)
            for (int q = 0; q < bins; ++q) {
                const int turn = static_cast<int>((static_cast<int64_t>(ch.bin) * (bins - 1 - q)) % bins);
                ch.dftRe.push_back(static_cast<float>(std::cos(2 * std::numbers::pi * turn / bins)));
                ch.dftIm.push_back(static_cast<float>(std::sin(2 * std::numbers::pi * turn / bins)));
            }
        ch.stepCycles = -rest / binRate; // cycles per bin frame
        ch.rotRe.resize(framesPerChunk);
        ch.rotIm.resize(framesPerChunk);
        for (size_t k = 0; k < framesPerChunk; ++k) {
            const double a = 2 * std::numbers::pi * std::remainder(ch.stepCycles * static_cast<double>(k), 1.0);
            ch.rotRe[k] = static_cast<float>(std::cos(a));
            ch.rotIm[k] = static_cast<float>(std::sin(a));
        }
        for (size_t s = 0; s < factors.size(); ++s) {
            Stage st;
            st.factor = factors[s];
            st.h = filters[s];
            st.re.assign(st.h.size() + kChunk, 0.0f);
            st.im.assign(st.h.size() + kChunk, 0.0f);
            ch.stages.push_back(std::move(st));
        }
        for (int w = 0; w < 2; ++w) {
            ch.workRe[w].assign(kChunk, 0.0f);
            ch.workIm[w].assign(kChunk, 0.0f);
        }
        ch.dcCoef = onePole(kDcCornerHz, rc);
        ch.levelCoef = onePole(kLevelCornerHz, rc);
        // The buffer starts with a kernel's length of silence.
        ch.audio.assign(static_cast<size_t>(taps) + kChunk, 0.0f);
        ch.audioFill = static_cast<size_t>(taps);
        ch.at = taps / 2.0;
        ch.step = rc / kSampleRateHz;
        m_channels.push_back(std::move(ch));
        m_audio.emplace_back(maxOut, int16_t{0});
        m_audioFill.push_back(0);
    }
    m_channelCount = static_cast<int>(m_channels.size());
    m_inRe.assign(kChunk, 0.0f);
    m_inIm.assign(kChunk, 0.0f);
}

IqChannelizer::~IqChannelizer() = default;

bool IqChannelizer::carrierLocked(int c) const
{
    return c >= 0 && c < channels() && m_channels[static_cast<size_t>(c)].locked;
}

void IqChannelizer::push(IqFormat format, std::span<const std::byte> data)
{
    const auto bytes = static_cast<size_t>(iqBytesPerSample(format));
    if (m_partialBytes > 0 && format != m_partialFormat)
        m_partialBytes = 0; // a change of format mid-sample: the half sample is dropped
    static const std::array<float, 256> kU8 = [] {
        std::array<float, 256> t{};
        for (int v = 0; v < 256; ++v)
            t[static_cast<size_t>(v)] = (static_cast<float>(v) - 127.5f) / 128.0f;
        return t;
    }();
    size_t filled = m_inFill;
    auto store = [&](const std::byte* p) {
        float i = 0, q = 0;
        switch (format) {
        case IqFormat::Cu8:
            i = kU8[static_cast<uint8_t>(p[0])];
            q = kU8[static_cast<uint8_t>(p[1])];
            break;
        case IqFormat::Cs8:
            i = static_cast<float>(static_cast<int8_t>(p[0])) / 128.0f;
            q = static_cast<float>(static_cast<int8_t>(p[1])) / 128.0f;
            break;
        case IqFormat::Cs16: {
            const auto ri = static_cast<int16_t>(
                static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | (static_cast<uint8_t>(p[1]) << 8)));
            const auto rq = static_cast<int16_t>(
                static_cast<uint16_t>(static_cast<uint8_t>(p[2]) | (static_cast<uint8_t>(p[3]) << 8)));
            i = static_cast<float>(ri) / 32768.0f;
            q = static_cast<float>(rq) / 32768.0f;
            break;
        }
        case IqFormat::Cf32:
            std::memcpy(&i, p, 4);
            std::memcpy(&q, p + 4, 4);
            i = std::isfinite(i) ? std::clamp(i, -kMaxFloatSample, kMaxFloatSample) : 0.0f;
            q = std::isfinite(q) ? std::clamp(q, -kMaxFloatSample, kMaxFloatSample) : 0.0f;
            break;
        }
        m_inRe[filled] = i;
        m_inIm[filled] = q;
        if (++filled == kChunk) {
            processChunk(filled);
            filled = 0;
        }
    };
    size_t at = 0;
    if (m_partialBytes > 0) {
        const size_t take = std::min(bytes - m_partialBytes, data.size());
        std::copy_n(data.begin(), take, m_partial.begin() + static_cast<std::ptrdiff_t>(m_partialBytes));
        m_partialBytes += take;
        at = take;
        if (m_partialBytes < bytes)
            return;
        store(m_partial.data());
        m_partialBytes = 0;
    }
    if (format == IqFormat::Cu8) {
        // The common case without the per-sample switch.
        const auto* p = reinterpret_cast<const uint8_t*>(data.data());
        while (at + 2 <= data.size()) {
            const size_t n = std::min(kChunk - filled, (data.size() - at) / 2);
            for (size_t k = 0; k < n; ++k) {
                m_inRe[filled + k] = kU8[p[at + 2 * k]];
                m_inIm[filled + k] = kU8[p[at + 2 * k + 1]];
            }
            filled += n;
            at += 2 * n;
            if (filled == kChunk) {
                processChunk(filled);
                filled = 0;
            }
        }
    } else {
        for (; at + bytes <= data.size(); at += bytes)
            store(data.data() + at);
    }
    m_inFill = filled;
    m_partialBytes = data.size() - at;
    m_partialFormat = format;
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), m_partialBytes, m_partial.begin());
}

// The chunk through the bank: each channel's bin output, mixed by the rest
// of its offset, lands in its workRe[0] / workIm[0]. Without a bank the
// channels are mixed from the input itself.
size_t IqChannelizer::runBank(size_t samples)
{
    if (m_bins == 1) {
        for (Channel& ch : m_channels) {
            const double a = 2 * std::numbers::pi * ch.phaseCycles;
            mixChunk(m_inRe.data(), m_inIm.data(), samples, ch.rotRe.data(), ch.rotIm.data(),
                     static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)), ch.workRe[0].data(),
                     ch.workIm[0].data());
            ch.phaseCycles = std::remainder(ch.phaseCycles + ch.stepCycles * static_cast<double>(samples), 1.0);
        }
        return samples;
    }
    std::copy_n(m_inRe.begin(), samples, m_histRe.begin() + static_cast<std::ptrdiff_t>(m_histFill));
    std::copy_n(m_inIm.begin(), samples, m_histIm.begin() + static_cast<std::ptrdiff_t>(m_histFill));
    m_histFill += samples;
    const auto span = static_cast<size_t>(m_rows * m_bins);
    const auto hop = static_cast<size_t>(m_hop);
    const auto bins = static_cast<size_t>(m_bins);
    // Frames whose newest input is here: the next one's run starts at 0.
    size_t start = 0;
    size_t frames = 0;
    std::array<size_t, kLanes> starts{};
    std::vector<float>& vr = m_binRe;
    std::vector<float>& vi = m_binIm;
    while (start + span <= m_histFill) {
        int lanes = 0;
        while (lanes < kLanes && start + span <= m_histFill) {
            starts[static_cast<size_t>(lanes++)] = start;
            start += hop;
        }
        // v in natural order into scratch, then bit-reversed into the transform's input.
        static thread_local std::vector<float> sr, si;
        sr.resize(bins * kLanes);
        si.resize(bins * kLanes);
        bankSums(m_bankTaps.data(), m_rows, m_bins, m_histRe.data(), m_histIm.data(), starts.data(), lanes, sr.data(),
                 si.data());
        // Few channels: each bin on its own; many: the whole transform, the
        // input in bit-reversed order (the run is read oldest first: index q
        // holds p = bins − 1 − q).
        const bool alone = m_channels.size() < kTransformFromChannels;
        if (alone) {
            for (Channel& ch : m_channels)
                for (int l = 0; l < lanes; ++l) {
                    const auto at = static_cast<size_t>(ch.bin) * kLanes + static_cast<size_t>(l);
                    binDft(sr.data() + static_cast<size_t>(l) * bins, si.data() + static_cast<size_t>(l) * bins,
                           ch.dftRe.data(), ch.dftIm.data(), m_bins, vr[at], vi[at]);
                }
        } else {
            for (size_t q = 0; q < bins; ++q) {
                const size_t p = bins - 1 - q;
                const auto to = static_cast<size_t>(m_bitReverse[p]) * kLanes;
                for (size_t l = 0; l < static_cast<size_t>(kLanes); ++l) {
                    vr[to + l] = sr[l * bins + q];
                    vi[to + l] = si[l * bins + q];
                }
            }
            bankTransform(vr.data(), vi.data(), m_bins, m_twRe.data(), m_twIm.data());
        }
        for (int l = 0; l < lanes; ++l) {
            // The frame's newest input is sample t = frame × hop (+ a constant); the bin is
            // brought to 0 Hz by e^(−j2π·bin·t/bins).
            const uint64_t t = (m_framesMade + frames + static_cast<uint64_t>(l)) * hop;
            for (Channel& ch : m_channels) {
                const auto b = static_cast<size_t>(ch.bin);
                const float yr = vr[b * kLanes + static_cast<size_t>(l)];
                const float yi = vi[b * kLanes + static_cast<size_t>(l)];
                const size_t turn = (bins - (b * t) % bins) % bins;
                const float cr = m_twRe[turn], ci = m_twIm[turn];
                ch.workRe[1][frames + static_cast<size_t>(l)] = yr * cr - yi * ci;
                ch.workIm[1][frames + static_cast<size_t>(l)] = yr * ci + yi * cr;
            }
        }
        frames += static_cast<size_t>(lanes);
    }
    m_framesMade += frames;
    std::copy(m_histRe.begin() + static_cast<std::ptrdiff_t>(start),
              m_histRe.begin() + static_cast<std::ptrdiff_t>(m_histFill), m_histRe.begin());
    std::copy(m_histIm.begin() + static_cast<std::ptrdiff_t>(start),
              m_histIm.begin() + static_cast<std::ptrdiff_t>(m_histFill), m_histIm.begin());
    m_histFill -= start;
    for (Channel& ch : m_channels) {
        const double a = 2 * std::numbers::pi * ch.phaseCycles;
        mixChunk(ch.workRe[1].data(), ch.workIm[1].data(), frames, ch.rotRe.data(), ch.rotIm.data(),
                 static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)), ch.workRe[0].data(),
                 ch.workIm[0].data());
        ch.phaseCycles = std::remainder(ch.phaseCycles + ch.stepCycles * static_cast<double>(frames), 1.0);
    }
    return frames;
}

// AM detection of n complex channel samples in workRe[src], into the audio buffer.
void IqChannelizer::detect(Channel& ch, size_t n)
{
    const double rc = m_channelRateHz;
    const double wn = 8 * kLoopDamping * kLoopBandwidthHz / (1 + 4 * kLoopDamping * kLoopDamping) / rc;
    const auto kp = static_cast<float>(2 * kLoopDamping * wn);
    const auto ki = static_cast<float>(wn * wn);
    const auto kf = static_cast<float>(1 / (kFrequencyLoopSeconds * rc));
    const auto maxFreq = static_cast<float>(2 * std::numbers::pi * kCarrierSearchHz / rc);
    constexpr float kSmooth = 1.0f / 32, kJudge = 1.0f / 128;
    // The oscillator turns by the loop's frequency at the chunk's start
    // exactly, and by what it moves within the chunk to first order.
    const float baseFreq = ch.freq;
    const auto turnRe = static_cast<float>(std::cos(baseFreq)), turnIm = static_cast<float>(std::sin(baseFreq));
    const int src = static_cast<int>(ch.stages.size() % 2);
    const float* zr = ch.workRe[src].data();
    const float* zi = ch.workIm[src].data();
    float* audio = ch.audio.data() + ch.audioFill;
    double envSum = 0;
    for (size_t k = 0; k < n; ++k) {
        const float xr = zr[k], xi = zi[k];
        const float e = std::sqrt(xr * xr + xi * xi);
        envSum += e;
        const float yr = xr * ch.pr + xi * ch.pi;
        const float yi = xi * ch.pr - xr * ch.pi;
        const float err = fastAtan2(yi, yr);
        if (!ch.locked)
            ch.freq += kf * fastAtan2(ch.lastYr * yi - ch.lastYi * yr, ch.lastYr * yr + ch.lastYi * yi);
        ch.freq = std::clamp(ch.freq + ki * err, -maxFreq, maxFreq);
        ch.lastYr = yr;
        ch.lastYi = yi;
        const float d = ch.freq - baseFreq + kp * err;
        const float sr = ch.pr * turnRe - ch.pi * turnIm;
        const float si = ch.pr * turnIm + ch.pi * turnRe;
        const float c = 1 - 0.5f * d * d;
        float pr = sr * c - si * d;
        float pi = sr * d + si * c;
        const float g = 1.5f - 0.5f * (pr * pr + pi * pi);
        ch.pr = pr * g;
        ch.pi = pi * g;
        ch.smoothRe += kSmooth * (yr - ch.smoothRe);
        ch.smoothIm += kSmooth * (yi - ch.smoothIm);
        const float mag = std::sqrt(ch.smoothRe * ch.smoothRe + ch.smoothIm * ch.smoothIm);
        ch.lockMetric += kJudge * (ch.smoothRe / (mag + 1e-20f) - ch.lockMetric);
        if (ch.locked ? ch.lockMetric < kLockOut : ch.lockMetric > kLockIn)
            ch.locked = !ch.locked;
        const float detected = ch.locked ? yr : e;
        ch.dcMean += ch.dcCoef * (detected - ch.dcMean);
        ch.level1 += ch.levelCoef * (e - ch.level1);
        ch.level2 += ch.levelCoef * (ch.level1 - ch.level2);
        audio[k] = (detected - ch.dcMean) * (kAudioLevel / std::max(ch.level2, kMinLevel));
    }
    ch.audioFill += n;
    ch.envSum += envSum;
    ch.envCount += n;
}

void IqChannelizer::resample(Channel& ch, size_t c)
{
    const int taps = m_kernelTaps;
    // Output i + p / kPhases reads inputs up to i + 1 + taps / 2 (when p rounds up).
    const double lastStart = static_cast<double>(ch.audioFill) - taps / 2.0 - 1;
    int16_t* out = m_audio[c].data();
    size_t outs = 0;
    while (ch.at < lastStart) {
        auto i = static_cast<size_t>(ch.at);
        int p = static_cast<int>(std::lround((ch.at - static_cast<double>(i)) * kPhases));
        if (p == kPhases) {
            ++i;
            p = 0;
        }
        const float y = dot(m_kernel.data() + static_cast<size_t>(p * taps),
                            ch.audio.data() + i - static_cast<size_t>(taps / 2) + 1, taps);
        out[outs++] = static_cast<int16_t>(std::lrint(std::clamp(y, -32768.0f, 32767.0f)));
        ch.at += ch.step;
    }
    // Keep what the next outputs reach back to.
    const auto keepFrom = static_cast<size_t>(ch.at) - static_cast<size_t>(taps / 2) + 1;
    std::copy(ch.audio.begin() + static_cast<std::ptrdiff_t>(keepFrom),
              ch.audio.begin() + static_cast<std::ptrdiff_t>(ch.audioFill), ch.audio.begin());
    ch.audioFill -= keepFrom;
    ch.at -= static_cast<double>(keepFrom);
    m_audioFill[c] = outs;
}

void IqChannelizer::processChunk(size_t samples)
{
    const size_t frames = runBank(samples);
    for (size_t c = 0; c < m_channels.size(); ++c) {
        Channel& ch = m_channels[c];
        // Decimate.
        size_t n = frames;
        int src = 0;
        for (Stage& st : ch.stages) {
            n = st.run(ch.workRe[src].data(), ch.workIm[src].data(), n, ch.workRe[1 - src].data(),
                       ch.workIm[1 - src].data());
            src = 1 - src;
        }
        detect(ch, n);
        resample(ch, c);
    }
    const size_t outs = *std::min_element(m_audioFill.begin(), m_audioFill.end());
    for (size_t k = 0; k < outs; ++k) {
        for (size_t c = 0; c < m_channels.size(); ++c)
            m_block.samples[c][m_blockFrames] = m_audio[c][k];
        if (++m_blockFrames == static_cast<size_t>(kFramesPerBlock)) {
            m_blockFrames = 0;
            ++m_blocks;
            for (size_t c = 0; c < m_channels.size(); ++c) {
                Channel& ch = m_channels[c];
                if (ch.envCount > 0)
                    ch.lastCarrierDb = static_cast<float>(
                        20 * std::log10(std::max(ch.envSum / static_cast<double>(ch.envCount), 1e-12)));
                ch.envSum = 0;
                ch.envCount = 0;
                m_block.carrierDb[c] = ch.lastCarrierDb;
            }
            m_sink(m_block);
        }
    }
}

void IqChannelizer::flush()
{
    if (m_inFill > 0)
        processChunk(m_inFill);
    m_inFill = 0;
    if (m_blockFrames == 0)
        return;
    for (size_t c = 0; c < m_channels.size(); ++c) {
        std::fill(m_block.samples[c].begin() + static_cast<std::ptrdiff_t>(m_blockFrames), m_block.samples[c].end(),
                  int16_t{0});
        m_block.carrierDb[c] = m_channels[c].lastCarrierDb;
    }
    m_blockFrames = 0;
    ++m_blocks;
    m_sink(m_block);
}

} // namespace varnesk
