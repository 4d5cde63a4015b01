// Gathers a byte stream of interleaved signed 16-bit little-endian stereo
// samples into CaptureBlocks of 512 frames (2048 bytes), whatever sizes the
// stream arrives in. Fixed storage: nothing is allocated per block.
#pragma once

#include "receiver/audio_format.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace varnesk {

class BlockAssembler {
public:
    // The free part of the block being filled; write into it, then commit().
    std::span<char> space() { return std::span<char>(m_bytes).subspan(m_filled); }
    void commit(size_t bytes) { m_filled += bytes < space().size() ? bytes : space().size(); }
    bool full() const { return m_filled == m_bytes.size(); }

    // The completed block as samples; starts the next block.
    CaptureSamples take()
    {
        for (size_t i = 0; i < m_samples.size(); ++i) {
            const auto lo = static_cast<uint8_t>(m_bytes[2 * i]);
            const auto hi = static_cast<uint8_t>(m_bytes[2 * i + 1]);
            m_samples[i] = static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8)));
        }
        m_filled = 0;
        return m_samples;
    }

    void reset() { m_filled = 0; }

private:
    std::array<char, kCaptureBlockBytes> m_bytes{};
    std::array<int16_t, kCaptureBlockSamples> m_samples{};
    size_t m_filled = 0;
};

} // namespace varnesk
