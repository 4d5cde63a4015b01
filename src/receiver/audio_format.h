// The audio the receive chain takes: 22050 Hz, two channels (left first),
// signed 16-bit little-endian samples, in CaptureBlocks of 512 frames.
// Every source (sound card, WAV file, pipe) delivers this format.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <span>

namespace varnesk {

inline constexpr int kSampleRateHz = 22050;
inline constexpr int kCaptureChannels = 2;
inline constexpr int kFramesPerBlock = 512;
inline constexpr int kCaptureBlockSamples = kFramesPerBlock * kCaptureChannels; // 1024
inline constexpr int kCaptureBlockBytes = kCaptureBlockSamples * 2;             // 2048, 16-bit samples

// One CaptureBlock: interleaved frames, left sample first.
using CaptureBlock = std::array<int16_t, kCaptureBlockSamples>;
using CaptureSamples = std::span<const int16_t, kCaptureBlockSamples>;

// A software-defined radio gives up to this many channels; audio sources two.
inline constexpr int kMaxRadioChannels = 16;

// One block of every channel a source gives: 512 samples per channel, in the
// channels' order (channel 1 is the left of an audio source, channel 2 the
// right). An IQ source also tells each channel's carrier level over the block.
struct ChannelBlock {
    int channels = kCaptureChannels;
    std::array<std::array<int16_t, kFramesPerBlock>, kMaxRadioChannels> samples{};
    // 20·log10 of the carrier's mean envelope over the block before AM
    // detection, full scale 0 dB; NaN where the source does not measure it.
    std::array<float, kMaxRadioChannels> carrierDb{};

    ChannelBlock() { carrierDb.fill(NAN); }

    static ChannelBlock fromStereo(CaptureSamples stereo)
    {
        ChannelBlock b;
        for (int n = 0; n < kFramesPerBlock; ++n)
            for (int c = 0; c < kCaptureChannels; ++c)
                b.samples[static_cast<size_t>(c)][static_cast<size_t>(n)] =
                    stereo[static_cast<size_t>(n * kCaptureChannels + c)];
        return b;
    }
    // Channels 1 and 2 interleaved (channel 1 on both sides when it is alone).
    void toStereo(std::span<int16_t, kCaptureBlockSamples> out) const
    {
        const size_t right = channels > 1 ? 1 : 0;
        for (size_t n = 0; n < static_cast<size_t>(kFramesPerBlock); ++n) {
            out[2 * n] = samples[0][n];
            out[2 * n + 1] = samples[right][n];
        }
    }
    CaptureBlock stereo() const
    {
        CaptureBlock out;
        toStereo(out);
        return out;
    }
};

} // namespace varnesk
