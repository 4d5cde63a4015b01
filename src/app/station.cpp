// The head of the capture-block handler and the hand-offs between the stages.
#include "app/station.h"

#include <algorithm>

namespace varnesk {

Station::Station(SettingsStore& settings, AppPaths paths)
    : m_settings(settings), m_paths(std::move(paths))
{
}

void Station::ProcessCaptureBlock(std::span<const int16_t, kFramesPerBlock * kCaptureChannels> block)
{
    if (!ProcessingEnabled)
        return;
    ++m_blocksProcessed;
    // Dual is read block by block, so a change in the input dialog takes
    // effect with the next block; 0 (a server that does not decode) processes nothing.
    const int channels = std::clamp(m_settings.integer(Key::Dual), 0, kCaptureChannels);
    for (int c = 0; c < channels; ++c)
        for (int n = 0; n < kFramesPerBlock; ++n)
            m_channel[c][n] = block[static_cast<size_t>(n * kCaptureChannels + c)];
    // The channel chain follows here.
}

} // namespace varnesk
