// The IQ path per channel: NCO mix to 0 Hz, a cascade of decimating FIR
// filters down to 40 … 80 kHz (the last one the ±10 kHz channel filter),
// envelope, DC removal and level control, and a polyphase resampler to
// 22050 Hz whose kernel is the 4.5 kHz audio low-pass. Float throughout.
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
// The channel rate is the input rate divided by a whole number, at least this.
constexpr double kMinChannelRateHz = 40'000;
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
// keeps the channel rate at 40 kHz or more.
int totalDecimation(double rateHz)
{
    int d = std::max(1, static_cast<int>(std::floor(rateHz / kMinChannelRateHz)));
    while (d > 1 && !smooth(d))
        --d;
    return d;
}

// Stage factors, largest first (the wide transitions come early and cost
// little), prime factors merged while the product stays at 8 or less. The
// last stage is the channel filter; with no decimation it is a stage of 1.
std::vector<int> stageFactors(int total)
{
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

VARNESK_TARGET_CLONES
void envelope(const float* re, const float* im, size_t n, float* out)
{
    for (size_t k = 0; k < n; ++k)
        out[k] = std::sqrt(re[k] * re[k] + im[k] * im[k]);
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
    // Mixer: the phase of the chunk's first sample, in cycles, and the
    // per-sample rotation table of a whole chunk.
    double phaseCycles = 0;
    double stepCycles = 0;
    std::vector<float> rotRe, rotIm;
    std::vector<Stage> stages;
    std::vector<float> workRe[2], workIm[2]; // ping-pong between the stages
    std::vector<float> env;
    // Level control.
    float dcCoef = 0, dcMean = 0;
    float levelCoef = 0, level1 = 0, level2 = 0;
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
    const double reach = t.sampleRateHz / 2 * kIqUsableBandShare - kIqChannelMarginHz;
    for (size_t c = 0; c < 2; ++c) {
        const double f = t.channelHz[c];
        if (!std::isfinite(f) || std::fabs(f - t.centreHz) > reach)
            return "frequency " + std::to_string(c + 1) + " ("
                   + (std::isfinite(f) ? mhz(f) : std::string("not a number")) + ") is outside the usable band "
                   + mhz(t.centreHz - reach) + " ... " + mhz(t.centreHz + reach) + " of centre " + mhz(t.centreHz)
                   + " at " + std::to_string(static_cast<long long>(t.sampleRateHz)) + " samples per second";
    }
    return {};
}

double ChooseSdrCentre(double freq1Hz, double freq2Hz, double sampleRateHz)
{
    const double mid = (freq1Hz + freq2Hz) / 2;
    const double reach = sampleRateHz / 2 * kIqUsableBandShare - kIqChannelMarginHz;
    auto fits = [&](double centre, bool imageApart) {
        const double d1 = freq1Hz - centre;
        const double d2 = freq2Hz - centre;
        return std::fabs(d1) <= reach && std::fabs(d2) <= reach && std::fabs(d1) >= kDcGuardHz
               && std::fabs(d2) >= kDcGuardHz && (!imageApart || std::fabs(d1 + d2) >= kImageGuardHz);
    };
    // The nearest centre to midway, in 5 kHz steps, that meets every guard;
    // failing that, one that keeps both channels off DC.
    constexpr double kStepHz = 5'000;
    for (const bool imageApart : {true, false})
        for (int k = 0; k * kStepHz <= sampleRateHz / 2; ++k)
            for (const int sign : {1, -1}) {
                const double centre = mid + sign * k * kStepHz;
                if (fits(centre, imageApart))
                    return centre;
            }
    return mid;
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
    const int total = totalDecimation(rate);
    const std::vector<int> factors = stageFactors(total);
    m_channelRateHz = rate / total;

    // Stage filters, shared by both channels.
    std::vector<std::vector<float>> filters;
    double stageRate = rate;
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

    const size_t maxOut = static_cast<size_t>(std::ceil(kChunk * kSampleRateHz / rate)) + 16;
    for (size_t c = 0; c < 2; ++c) {
        Channel ch;
        ch.stepCycles = -(tuning.channelHz[c] - tuning.centreHz) / rate; // cycles per sample
        ch.rotRe.resize(kChunk);
        ch.rotIm.resize(kChunk);
        for (size_t k = 0; k < kChunk; ++k) {
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
        ch.env.assign(kChunk, 0.0f);
        ch.dcCoef = onePole(kDcCornerHz, rc);
        ch.levelCoef = onePole(kLevelCornerHz, rc);
        // The buffer starts with a kernel's length of silence.
        ch.audio.assign(static_cast<size_t>(taps) + kChunk, 0.0f);
        ch.audioFill = static_cast<size_t>(taps);
        ch.at = taps / 2.0;
        ch.step = rc / kSampleRateHz;
        m_channels.push_back(std::move(ch));
        m_audio[c].assign(maxOut, 0);
    }
    m_inRe.assign(kChunk, 0.0f);
    m_inIm.assign(kChunk, 0.0f);
}

IqChannelizer::~IqChannelizer() = default;

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

void IqChannelizer::processChunk(size_t samples)
{
    size_t produced[2] = {0, 0};
    for (size_t c = 0; c < 2; ++c) {
        Channel& ch = m_channels[c];
        // Mix.
        const double a = 2 * std::numbers::pi * ch.phaseCycles;
        mixChunk(m_inRe.data(), m_inIm.data(), samples, ch.rotRe.data(), ch.rotIm.data(),
                 static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)), ch.workRe[0].data(),
                 ch.workIm[0].data());
        ch.phaseCycles = std::remainder(ch.phaseCycles + ch.stepCycles * static_cast<double>(samples), 1.0);
        // Decimate.
        size_t n = samples;
        int src = 0;
        for (Stage& st : ch.stages) {
            n = st.run(ch.workRe[src].data(), ch.workIm[src].data(), n, ch.workRe[1 - src].data(),
                       ch.workIm[1 - src].data());
            src = 1 - src;
        }
        // Envelope, DC and level.
        envelope(ch.workRe[src].data(), ch.workIm[src].data(), n, ch.env.data());
        float* audio = ch.audio.data() + ch.audioFill;
        for (size_t k = 0; k < n; ++k) {
            const float e = ch.env[k];
            ch.dcMean += ch.dcCoef * (e - ch.dcMean);
            ch.level1 += ch.levelCoef * (e - ch.level1);
            ch.level2 += ch.levelCoef * (ch.level1 - ch.level2);
            audio[k] = (e - ch.dcMean) * (kAudioLevel / std::max(ch.level2, kMinLevel));
        }
        ch.audioFill += n;
        // Resample.
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
        produced[c] = outs;
    }
    assert(produced[0] == produced[1]);
    const size_t frames = std::min(produced[0], produced[1]);
    for (size_t k = 0; k < frames; ++k) {
        m_block[2 * m_blockFrames] = m_audio[0][k];
        m_block[2 * m_blockFrames + 1] = m_audio[1][k];
        if (++m_blockFrames == static_cast<size_t>(kFramesPerBlock)) {
            m_blockFrames = 0;
            ++m_blocks;
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
    std::fill(m_block.begin() + static_cast<std::ptrdiff_t>(2 * m_blockFrames), m_block.end(), int16_t{0});
    m_blockFrames = 0;
    ++m_blocks;
    m_sink(m_block);
}

} // namespace varnesk
