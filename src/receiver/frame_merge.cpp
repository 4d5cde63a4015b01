// Duplicate suppression between the two demodulators.
#include "receiver/frame_merge.h"

namespace varnesk {

FrameMerge::FrameMerge()
{
    for (auto& channel : m_recent)
        for (Recent& r : channel)
            r.rawLine.reserve(kFrameSlots / kSlotsPerChar);
}

bool FrameMerge::admit(int channel, std::string_view rawLine, Demodulator from, uint64_t block)
{
    const auto c = static_cast<size_t>(channel >= 0 && channel < kMaxRadioChannels ? channel : 0);
    for (Recent& r : m_recent[c]) {
        if (r.used && r.from != from && block <= r.block + kMergeBlocks && r.rawLine == rawLine) {
            r.used = false; // one copy each: a third would pass
            ++m_counts.duplicates;
            return false;
        }
    }
    Recent& slot = m_recent[c][static_cast<size_t>(m_next[c])];
    m_next[c] = (m_next[c] + 1) % static_cast<int>(m_recent[c].size());
    slot.used = true;
    slot.from = from;
    slot.block = block;
    slot.rawLine.assign(rawLine);
    if (from == Demodulator::Classic)
        ++m_counts.passedClassic;
    else
        ++m_counts.passedCoherent;
    return true;
}

} // namespace varnesk
