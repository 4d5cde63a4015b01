// IQ rendering: the audio is rendered at 22050 Hz without noise, read back at
// each IQ sample by cubic interpolation (its images near 22 kHz fall outside
// a receiver's channel filter), and scaled so that noise and both carriers
// fit the sample format.
#include "iq_signal.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

namespace varnesk::gen {

namespace {

constexpr size_t kPiece = 65536;            // complex samples per write
constexpr double kKeyMarginSeconds = 0.002; // carrier up before the pre-key and down after the last bit
// Full scale of the format: noise of a tenth of it per component, the carrier
// at most 0.27 of it (both carriers at full modulation and the noise still fit).
constexpr double kNoiseShare = 0.1;
constexpr double kMaxCarrierShare = 0.27;

struct Keyed {
    double from = 0;
    double to = 0;
};

double fullScale(IqFormat f)
{
    return f == IqFormat::Cs16 ? 32767.0 : f == IqFormat::Cf32 ? 1.0 : 127.0;
}

// Catmull-Rom through the four samples around x (in samples of the left channel).
double cubicAt(const std::vector<int16_t>& stereo, double x)
{
    const auto frames = static_cast<int64_t>(stereo.size() / 2);
    const auto i = static_cast<int64_t>(std::floor(x));
    const double u = x - static_cast<double>(i);
    auto at = [&](int64_t k) {
        return k < 0 || k >= frames ? 0.0 : static_cast<double>(stereo[static_cast<size_t>(2 * k)]);
    };
    const double p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
    return p1 + 0.5 * u * (p2 - p0 + u * (2 * p0 - 5 * p1 + 4 * p2 - p3 + u * (3 * (p1 - p2) + p3 - p0)));
}

} // namespace

bool renderIq(std::span<const Burst> bursts, const SignalOptions& audioOptions, const IqOptions& iq,
              const std::function<bool(std::span<const std::byte>)>& write)
{
    SignalOptions a = audioOptions;
    a.noise = false;
    a.dcOffset = 0;
    a.rateErrorPpm = (1 + audioOptions.rateErrorPpm * 1e-6) * (1 + iq.ppm * 1e-6) * 1e6 - 1e6;
    const size_t channels = iq.channelHz.size();
    // Each channel's audio on its own (as the left of a stereo rendering), all of one length.
    double lastEnd = 0;
    for (const Burst& b : bursts)
        lastEnd = std::max(lastEnd, b.startSeconds + burstSeconds(b.block, a.preKeyBits));
    if (a.durationSeconds <= 0)
        a.durationSeconds = lastEnd + 0.5;
    std::vector<std::vector<int16_t>> audio(channels);
    for (size_t c = 0; c < channels; ++c) {
        std::vector<Burst> own;
        for (const Burst& b : bursts)
            if (static_cast<size_t>(b.channel) == c) {
                own.push_back(b);
                own.back().channel = 0;
            }
        audio[c] = renderStereo(own, a);
    }
    const double bitScale = 1.0 / (1.0 + a.rateErrorPpm * 1e-6);

    std::vector<std::vector<Keyed>> keyed(channels);
    for (const Burst& b : bursts)
        if (b.channel >= 0 && static_cast<size_t>(b.channel) < channels)
            keyed[static_cast<size_t>(b.channel)].push_back(
                {b.startSeconds - kKeyMarginSeconds,
                 b.startSeconds + burstSeconds(b.block, a.preKeyBits) * bitScale + kKeyMarginSeconds});
    for (auto& k : keyed)
        std::sort(k.begin(), k.end(), [](const Keyed& x, const Keyed& y) { return x.from < y.from; });

    // Levels in units of the format's full scale.
    const double fs = fullScale(iq.format);
    const double ebN0 = std::pow(10.0, iq.ebN0Db / 10.0);
    const double depth = std::clamp(iq.depth, 0.01, 1.0);
    // Room for every carrier at full modulation: the loudest at
    // kMaxCarrierShare of full scale when two, shared out when more.
    std::vector<double> gain(channels, 1.0);
    double loudest = 0, sumGain = 0;
    for (size_t c = 0; c < channels; ++c) {
        gain[c] = std::pow(10.0, (c < iq.levelDb.size() ? iq.levelDb[c] : 0.0) / 20);
        loudest = std::max(loudest, gain[c]);
        sumGain += gain[c];
    }
    const double maxCarrier = kMaxCarrierShare * fs * std::min(1.0, 2 * loudest / std::max(sumGain, 1e-9)) / loudest;
    double sigma = kNoiseShare * fs; // per component
    double carrier = std::sqrt(2 * sigma * sigma * 2 * kBitRate * ebN0 / iq.rateHz) / depth;
    if (!iq.noise || carrier > maxCarrier) {
        carrier = maxCarrier;
        // σ² per component = N0 · rate / 2, N0 = (carrier · depth)² / 2 / 2400 / Eb/N0.
        sigma = std::sqrt(std::pow(carrier * depth, 2) / 2 / kBitRate / ebN0 * iq.rateHz / 2);
    }

    const auto total = static_cast<uint64_t>(
        std::llround(static_cast<double>(audio.empty() ? 0 : audio[0].size() / 2) / kRateHz * iq.rateHz));
    std::mt19937 rng(iq.seed);
    std::normal_distribution<double> gauss(0.0, sigma);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::vector<double> startCycles(channels), stepCycles(channels);
    for (size_t c = 0; c < channels; ++c)
        startCycles[c] = uniform(rng);
    for (size_t c = 0; c < channels; ++c)
        stepCycles[c] = (iq.channelHz[c] * (1 + iq.ppm * 1e-6) - iq.centreHz) / iq.rateHz;
    std::vector<size_t> nextKey(channels, 0);
    const int bytes = iqBytesPerSample(iq.format);
    std::vector<std::byte> out(kPiece * static_cast<size_t>(bytes));
    std::vector<double> re(kPiece), im(kPiece);

    for (uint64_t first = 0; first < total; first += kPiece) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kPiece, total - first));
        std::fill_n(re.begin(), n, 0.0);
        std::fill_n(im.begin(), n, 0.0);
        for (size_t c = 0; c < channels; ++c) {
            if (keyed[c].empty())
                continue;
            // The phasor at the piece's start from the sample number, so no error builds up.
            const double cycles = std::fmod(startCycles[c] + stepCycles[c] * static_cast<double>(first), 1.0);
            double pr = std::cos(2 * std::numbers::pi * cycles), pi = std::sin(2 * std::numbers::pi * cycles);
            const double wr = std::cos(2 * std::numbers::pi * stepCycles[c]);
            const double wi = std::sin(2 * std::numbers::pi * stepCycles[c]);
            for (size_t k = 0; k < n; ++k) {
                const double t = static_cast<double>(first + k) / iq.rateHz;
                while (nextKey[c] < keyed[c].size() && keyed[c][nextKey[c]].to <= t)
                    ++nextKey[c];
                if (nextKey[c] < keyed[c].size() && keyed[c][nextKey[c]].from <= t) {
                    const double m = cubicAt(audio[c], t * kRateHz) / a.peak;
                    const double amplitude = carrier * gain[c] * (1 + depth * m);
                    re[k] += amplitude * pr;
                    im[k] += amplitude * pi;
                }
                const double r = pr * wr - pi * wi;
                pi = pr * wi + pi * wr;
                pr = r;
            }
        }
        for (size_t k = 0; k < n; ++k) {
            double i = re[k] + (iq.noise ? gauss(rng) : 0.0);
            double q = im[k] + (iq.noise ? gauss(rng) : 0.0);
            std::byte* p = out.data() + k * static_cast<size_t>(bytes);
            switch (iq.format) {
            case IqFormat::Cu8:
                // Value v stands for v − 127.5: the bins are [v − 128, v − 127).
                p[0] = static_cast<std::byte>(static_cast<uint8_t>(std::clamp(std::floor(i + 128.0), 0.0, 255.0)));
                p[1] = static_cast<std::byte>(static_cast<uint8_t>(std::clamp(std::floor(q + 128.0), 0.0, 255.0)));
                break;
            case IqFormat::Cs8:
                p[0] = static_cast<std::byte>(
                    static_cast<uint8_t>(static_cast<int8_t>(std::clamp(std::nearbyint(i), -128.0, 127.0))));
                p[1] = static_cast<std::byte>(
                    static_cast<uint8_t>(static_cast<int8_t>(std::clamp(std::nearbyint(q), -128.0, 127.0))));
                break;
            case IqFormat::Cs16: {
                const auto vi =
                    static_cast<uint16_t>(static_cast<int16_t>(std::clamp(std::nearbyint(i), -32768.0, 32767.0)));
                const auto vq =
                    static_cast<uint16_t>(static_cast<int16_t>(std::clamp(std::nearbyint(q), -32768.0, 32767.0)));
                p[0] = static_cast<std::byte>(vi & 0xFF);
                p[1] = static_cast<std::byte>(vi >> 8);
                p[2] = static_cast<std::byte>(vq & 0xFF);
                p[3] = static_cast<std::byte>(vq >> 8);
                break;
            }
            case IqFormat::Cf32: {
                const auto fi = static_cast<float>(i), fq = static_cast<float>(q);
                std::memcpy(p, &fi, 4);
                std::memcpy(p + 4, &fq, 4);
                break;
            }
            }
        }
        if (!write(std::span<const std::byte>(out.data(), n * static_cast<size_t>(bytes))))
            return false;
    }
    return true;
}

std::string iqFileName(const std::string& stem, const IqOptions& iq)
{
    return stem + "_" + std::to_string(std::llround(iq.centreHz)) + "Hz_" + std::to_string(std::llround(iq.rateHz))
           + "sps." + std::string(iqFormatName(iq.format));
}

} // namespace varnesk::gen
