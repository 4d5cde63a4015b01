// The second demodulator: coherent MSK detection of each channel's 22050 Hz
// audio, seen as offset QPSK with half-cosine pulses, with soft values kept for
// every bit and frames repaired against parity and the CRC. One channel block
// of 512 raw samples in, at most one checked frame out.
#pragma once

#include "receiver/audio_format.h"
#include "receiver/coherent_state.h"
#include "receiver/noise_whitener.h"
#include "receiver/soft_repair.h"

#include <optional>
#include <span>

namespace varnesk {

class CoherentReceiver {
public:
    static constexpr int kChannels = kMaxRadioChannels;

    // Runs channel c's kFramesPerBlock raw samples (before any filter of the classic
    // chain) through the noise whitener, mixer, sync search and symbol tracking. Returns the frame
    // completed in this block, if any; it stays valid until this channel's
    // next block; its repairedBits tell how many bits the repair flipped.
    std::optional<CapturedFrame> processChannel(int c, std::span<const double, kFramesPerBlock> samples);

    const CoherentCounts& counts(int c) const { return m_channels[static_cast<size_t>(c)].counts; }
    CoherentCounts totalCounts() const;
    void resetCounts();

    CoherentState& channel(int c) { return m_channels[static_cast<size_t>(c)]; }
    const NoiseWhitener& whitener(int c) const { return m_whiteners[static_cast<size_t>(c)]; }

private:
    std::array<CoherentState, kChannels> m_channels{};
    std::array<NoiseWhitener, kChannels> m_whiteners{};
    SoftRepair m_repair;
};

} // namespace varnesk
