// The receiver: the two channels' chains (band filter, level control, MSK
// demodulator, bit clock, frame capture) and their state. One channel block of
// 512 samples in, at most one checked frame out.
#pragma once

#include "receiver/audio_format.h"
#include "receiver/channel_state.h"
#include "receiver/msk_demodulator.h"

#include <array>
#include <optional>

namespace varnesk {

inline constexpr int kReceiverChannels = kMaxRadioChannels;

class Receiver {
public:
    // Runs channel c's 512 samples through every stage. The samples are
    // replaced by the 4000 Hz shifted signal (what the spectrum display shows).
    // Returns the frame completed and checked in this block, if any; it stays
    // valid until this channel's next block.
    std::optional<CapturedFrame> processChannel(int channel, BlockOut samples);
    // Both channels' blocks at once, stage by stage: the same results as
    // processChannel(0, left) then processChannel(1, right), bit for bit, in
    // less time (the two channels' recurrences run side by side).
    std::array<std::optional<CapturedFrame>, 2> processChannels(BlockOut left, BlockOut right);
    // Only the first stages (band filter, level control, the 4000 Hz shift):
    // the shifted signal and the overload state, for the spectrum and the
    // OVR lamp, when another demodulator delivers the frames.
    // The rest of the chain does not run; its state stays as it was.
    void filterChannels(BlockOut left, BlockOut right);
    void filterChannel(int channel, BlockOut samples);
    // Channels a and b side by side, as processChannels does for 0 and 1.
    std::array<std::optional<CapturedFrame>, 2> processPair(int a, int b, BlockOut first, BlockOut second);

    ChannelState& channel(int c) { return m_channels[static_cast<size_t>(c)]; }
    const ChannelState& channel(int c) const { return m_channels[static_cast<size_t>(c)]; }

    // Start-up reset of the frame side: differential state 0, lamps dark.
    void resetIndicators();

    // What channel c's capture found and dropped (see ReceiverCounts).
    const ReceiverCounts& counts(int c) const { return m_channels[static_cast<size_t>(c)].counts; }
    // The counts of all channels added up.
    ReceiverCounts totalCounts() const;
    // Starts every channel's counts again from 0; a capture open now stays
    // counted as found, so the counts still add up when it ends.
    void resetCounts();

private:
    std::array<ChannelState, kReceiverChannels> m_channels{};
    DemodScratch m_scratch{};
    DemodScratch m_secondScratch{};
};

} // namespace varnesk
