// What is known about the frame being decoded, handed along with it from the
// receiver, the line intake or the RAW import through the decoder, the
// sequencer, the text views and the logs: where it came from and when.
#pragma once

#include <QDateTime>

#include <algorithm>
#include <iterator>
#include <string_view>

namespace varnesk {

// The source tags shown in front of every entry.
inline constexpr std::string_view kTagLeft = "Lch";
inline constexpr std::string_view kTagRight = "Rch";
inline constexpr std::string_view kTagNet = "NET";
inline constexpr std::string_view kTagRaw = "RAW";

// Channels 3 … 16 of a software-defined radio.
inline constexpr std::string_view kTagChannels[] = {"C03", "C04", "C05", "C06", "C07", "C08", "C09",
                                                    "C10", "C11", "C12", "C13", "C14", "C15", "C16"};
inline constexpr int kRadioChannelTags = 2 + static_cast<int>(std::size(kTagChannels));

// Where a frame came from, as the per-source counters index it: channel 1,
// channel 2, the network (and RAW import), then channels 3 … 16.
enum class FrameSource { Left = 0, Right = 1, Network = 2, Channel3 = 3 };
inline constexpr int kFrameSources = 3 + static_cast<int>(std::size(kTagChannels));

// The source tag of radio channel c (0 = channel 1).
inline std::string_view radioTag(int channel)
{
    if (channel <= 0)
        return kTagLeft;
    if (channel == 1)
        return kTagRight;
    return kTagChannels[std::min<size_t>(static_cast<size_t>(channel - 2), std::size(kTagChannels) - 1)];
}

inline FrameSource radioSource(int channel)
{
    if (channel <= 1)
        return channel == 1 ? FrameSource::Right : FrameSource::Left;
    return static_cast<FrameSource>(std::min(channel, kRadioChannelTags - 1) + 1);
}

struct BlockContext {
    std::string_view sourceTag = kTagNet; // one of the tags above
    QDateTime time;                       // the capture block's time; invalid: the clock's at the entry
    FrameSource source = FrameSource::Network;

    static BlockContext radio(int channel, const QDateTime& blockTime)
    {
        return {radioTag(channel), blockTime, radioSource(channel)};
    }
    static BlockContext line(std::string_view tag) { return {tag, QDateTime(), FrameSource::Network}; }
};

} // namespace varnesk
