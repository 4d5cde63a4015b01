// The audio the receive chain takes: 22050 Hz, two channels (left first),
// signed 16-bit little-endian samples, in CaptureBlocks of 512 frames.
// Every source (sound card, WAV file, pipe) delivers this format.
#pragma once

#include <array>
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

} // namespace varnesk
