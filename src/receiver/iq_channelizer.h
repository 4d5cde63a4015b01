// Complex baseband (I/Q) from a software-defined radio in, up to 16 AM channels
// out: a polyphase filter bank cuts the band into overlapping bins shared by
// every channel; each channel then takes its bin, is mixed to 0 Hz, filtered
// to about ±10 kHz, AM-detected against its carrier (a phase-locked loop,
// the envelope while the loop has no lock) and resampled to 22050 Hz.
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
    std::vector<double> channelHz{131'450'000, 131'950'000}; // channel 1 (left), channel 2 (right), …
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

// Empty when the tuning is usable (1 … 16 channels, each inside the usable
// band), else a one-line English reason.
std::string CheckIqTuning(const IqTuning& tuning);

// For a live device: the centre nearest midway that keeps every channel
// inside the band with margin, off the DC spike, and apart from every
// channel's mirror image; where no centre keeps all images apart, the one
// that keeps them farthest apart (channels may also share a frequency).
double ChooseSdrCentre(std::span<const double> channelHz, double sampleRateHz);

// "131.450 131.950 ..." (MHz, separated by spaces or commas) → Hz; empty
// with a one-line reason in error for anything else or more than 16.
std::vector<double> parseFrequencyList(std::string_view text, std::string& error);

// Sample formats, I then Q: unsigned 8-bit (offset 127.5), signed 8-bit,
// signed 16-bit little-endian, 32-bit float little-endian.
enum class IqFormat { Cu8, Cs8, Cs16, Cf32 };

int iqBytesPerSample(IqFormat format); // bytes of one complex sample
std::string_view iqFormatName(IqFormat format);
std::optional<IqFormat> iqFormatFromName(std::string_view name); // "cu8", "cs8", "cs16", "cf32"

class IqChannelizer {
public:
    using Sink = std::function<void(const ChannelBlock&)>;

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

    // The rate after decimation, at which the AM detector runs.
    double channelRateHz() const { return m_channelRateHz; }
    // Bins of the filter bank (1: none, the channels are mixed from the input).
    int bins() const { return m_bins; }
    int channels() const { return m_channelCount; }
    uint64_t blocksDelivered() const { return m_blocks; }
    // Whether channel c's detector holds its carrier now.
    bool carrierLocked(int c) const;

    // Audio level of a fully modulated carrier: audio = (envelope / carrier − 1) × this.
    // The receive chain decodes alike from a quarter to nearly twice this.
    static constexpr float kAudioLevel = 16000.0f;

private:
    struct Stage;
    struct Channel;

    void processChunk(size_t samples);
    size_t runBank(size_t samples); // the chunk through the filter bank; returns frames made
    void detect(Channel& ch, size_t n);
    void resample(Channel& ch, size_t c);

    Sink m_sink;
    double m_channelRateHz = 0;
    // Filter bank: m_bins bins, a frame every m_hop inputs; branch taps
    // m_bankTaps[r * bins + q] (the prototype reversed within each row);
    // the input history ahead of the chunk.
    int m_bins = 1;
    int m_hop = 1;
    int m_rows = 1;
    std::vector<float> m_bankTaps;
    std::vector<float> m_histRe, m_histIm;
    size_t m_histFill = 0;
    uint64_t m_framesMade = 0;
    std::vector<float> m_binRe, m_binIm; // one frame batch: [bin][lane]
    std::vector<float> m_twRe, m_twIm;   // e^(+j2πi/bins)
    std::vector<int> m_bitReverse;
    std::vector<Channel> m_channels;
    int m_channelCount = 0;
    std::vector<float> m_kernel; // resampler: kPhases rows of m_kernelTaps
    int m_kernelTaps = 0;

    std::array<std::byte, 8> m_partial{};
    size_t m_partialBytes = 0;
    IqFormat m_partialFormat = IqFormat::Cu8;

    std::vector<float> m_inRe, m_inIm; // one chunk of input, planar
    size_t m_inFill = 0;
    std::vector<std::vector<int16_t>> m_audio; // one chunk of output per channel
    std::vector<size_t> m_audioFill;
    ChannelBlock m_block{};
    size_t m_blockFrames = 0;
    uint64_t m_blocks = 0;
};

} // namespace varnesk
