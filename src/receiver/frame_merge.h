// FrameMerge: the meeting point of the two demodulators' frames before the
// block decoder. A transmission decoded by both passes once: the first copy
// goes on at once, the other demodulator's copy of the same frame (same
// channel, same characters) within kMergeBlocks capture blocks is dropped.
#pragma once

#include "acars/bit_frame.h"
#include "receiver/audio_format.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace varnesk {

// [Wave] Demodulator: which demodulators deliver frames.
enum class DemodulatorChoice { Classic = 0, Both = 1, Coherent = 2 };

// The two demodulators finish the same frame up to about a block apart (the
// classic chain closes a capture one character after the BCS, the coherent
// one as soon as the BCS is in); two blocks leave room for either order.
inline constexpr uint64_t kMergeBlocks = 2;

struct MergeCounts {
    uint64_t passedClassic = 0;
    uint64_t passedCoherent = 0; // frames only the coherent demodulator found first
    uint64_t duplicates = 0;     // second copies dropped
};

class FrameMerge {
public:
    FrameMerge();

    // True when the frame should go on; false for the other demodulator's
    // copy of a frame passed within the last kMergeBlocks blocks.
    bool admit(int channel, std::string_view rawLine, Demodulator from, uint64_t block);

    const MergeCounts& counts() const { return m_counts; }

private:
    struct Recent {
        bool used = false;
        Demodulator from = Demodulator::Classic;
        uint64_t block = 0;
        std::string rawLine; // capacity kept between frames
    };
    // Per channel, the frames passed last (a few are plenty: a frame lasts 50 blocks or more).
    std::array<std::array<Recent, 4>, kMaxRadioChannels> m_recent;
    std::array<int, kMaxRadioChannels> m_next{};
    MergeCounts m_counts;
};

} // namespace varnesk
