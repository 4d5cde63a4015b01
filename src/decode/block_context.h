// What is known about the frame being decoded, handed along with it from the
// receiver, the line intake or the RAW import through the decoder, the
// sequencer, the text views and the logs: where it came from and when.
#pragma once

#include <QDateTime>

#include <string_view>

namespace varnesk {

// The source tags shown in front of every entry.
inline constexpr std::string_view kTagLeft = "Lch";
inline constexpr std::string_view kTagRight = "Rch";
inline constexpr std::string_view kTagNet = "NET";
inline constexpr std::string_view kTagRaw = "RAW";

// Where a frame came from, as the per-source counters index it.
enum class FrameSource { Left = 0, Right = 1, Network = 2 };
inline constexpr int kFrameSources = 3;

struct BlockContext {
    std::string_view sourceTag = kTagNet; // one of the tags above
    QDateTime time;                       // the capture block's time; invalid: the clock's at the entry
    FrameSource source = FrameSource::Network;

    static BlockContext radio(int channel, const QDateTime& blockTime)
    {
        return {channel == 1 ? kTagRight : kTagLeft, blockTime, channel == 1 ? FrameSource::Right : FrameSource::Left};
    }
    static BlockContext line(std::string_view tag) { return {tag, QDateTime(), FrameSource::Network}; }
};

} // namespace varnesk
