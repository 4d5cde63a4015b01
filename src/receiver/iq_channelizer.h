// Complex baseband (I/Q) from a software-defined radio in, two AM channels out:
// each channel is mixed to 0 Hz, filtered to about ±10 kHz, envelope-detected
// and resampled to 22050 Hz, frequency 1 on the left and frequency 2 on the right.
#pragma once

#include "receiver/audio_format.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnesk {

struct IqTuning {
    double sampleRateHz = 2'400'000;
    double centreHz = 131'700'000; // frequency at the middle of the IQ band (already ppm-corrected by the caller)
    std::array<double, 2> channelHz{131'450'000, 131'950'000}; // left, right
};

inline constexpr double kMinIqRateHz = 48'000;
inline constexpr double kMaxIqRateHz = 64'000'000;
inline constexpr double kMinIqCentreHz = 1'000'000;
inline constexpr double kMaxIqCentreHz = 6'000'000'000;
// A channel must lie this far inside the usable band, the outer tenth of each
// side being left to a dongle's own anti-alias roll-off: its filter's stop
// edge (12 kHz) and room for a carrier off frequency.
inline constexpr double kIqChannelMarginHz = 17'000;
inline constexpr double kIqUsableBandShare = 0.9;

// Empty when the tuning is usable, else a one-line English reason.
std::string CheckIqTuning(const IqTuning& tuning);

// For a live device: the centre that keeps both channels inside the band with
// margin, off the DC spike, and apart from each other's mirror image (the two
// may also be the same frequency).
double ChooseSdrCentre(double freq1Hz, double freq2Hz, double sampleRateHz);

// Sample formats, I then Q: unsigned 8-bit (offset 127.5), signed 8-bit,
// signed 16-bit little-endian, 32-bit float little-endian.
enum class IqFormat { Cu8, Cs8, Cs16, Cf32 };

int iqBytesPerSample(IqFormat format); // bytes of one complex sample
std::string_view iqFormatName(IqFormat format);
std::optional<IqFormat> iqFormatFromName(std::string_view name); // "cu8", "cs8", "cs16", "cf32"

class IqChannelizer {
public:
    using Sink = std::function<void(CaptureSamples)>;

    // Precondition: CheckIqTuning(tuning) is empty.
    IqChannelizer(const IqTuning& tuning, Sink sink);
    ~IqChannelizer();
    IqChannelizer(const IqChannelizer&) = delete;
    IqChannelizer& operator=(const IqChannelizer&) = delete;

    // Any length; a partial sample at the end waits for the next call. Input
    // is worked on in chunks of kChunkSamples, so the audio does not depend on
    // how it is cut into calls.
    void push(IqFormat format, std::span<const std::byte> interleavedIq);
    // Works on the last, partial chunk, completes the last block with silence
    // and delivers it.
    void flush();

    static constexpr size_t kChunkSamples = 4096;

    // The rate after decimation, at which the channel filter and the envelope run.
    double channelRateHz() const { return m_channelRateHz; }
    uint64_t blocksDelivered() const { return m_blocks; }

    // Audio level of a fully modulated carrier: audio = (envelope / carrier − 1) × this.
    // The receive chain decodes alike from a quarter to nearly twice this.
    static constexpr float kAudioLevel = 16000.0f;

private:
    struct Stage;
    struct Channel;

    void processChunk(size_t samples);

    Sink m_sink;
    double m_channelRateHz = 0;
    std::vector<Channel> m_channels;
    std::vector<float> m_kernel; // resampler: kPhases rows of m_kernelTaps
    int m_kernelTaps = 0;

    std::array<std::byte, 8> m_partial{};
    size_t m_partialBytes = 0;
    IqFormat m_partialFormat = IqFormat::Cu8;

    std::vector<float> m_inRe, m_inIm; // one chunk of input, planar
    size_t m_inFill = 0;
    std::array<std::vector<int16_t>, 2> m_audio; // one chunk of output per channel
    CaptureBlock m_block{};
    size_t m_blockFrames = 0;
    uint64_t m_blocks = 0;
};

} // namespace varnesk
