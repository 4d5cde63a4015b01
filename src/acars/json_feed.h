// The JSON feed line of one checked frame, for aggregators: the frame's
// characters ("+" through the end character) with its channel, time,
// frequency (MHz) and level (dB) → one JSON object and a newline, in the
// field names and types the common open-source decoders write. Text is
// Shift-JIS bytes, written as UTF-8; any byte sequence gives valid JSON.
#pragma once

#include "acars/bit_frame.h"

#include <QDateTime>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnesk {

// "+" "*" SYN SYN SOH, mode, address (7), acknowledgement, label (2), block
// id and the end character: shorter frames carry no block and are not fed.
inline constexpr int kFeedMinChars = 18;

// What is known about a frame besides its characters.
struct FeedFrameInfo {
    int channel = 0;               // 0 = left, 1 = right
    bool endIsEtx = false;         // ETX (last block) or ETB (more follow: "end" true)
    int repairedBits = 0;          // bits the coherent demodulator's repair flipped
    std::optional<double> freqMhz; // the channel's frequency; unknown is written 0.0
    std::optional<double> levelDb; // the signal level, when known
};

// Who sends the feed. stationId is Shift-JIS bytes as in the settings;
// empty leaves "station_id" out.
struct FeedStation {
    std::string stationId;
    std::string_view programName = "varnesk";
    std::string_view version;
};

// The characters of a captured frame, "+" through the end character, as the
// block decoder rebuilds them (at most the slots given, at most 512).
std::vector<uint8_t> feedFrameChars(const CapturedFrame& frame);

// One line, ending in "\n"; nullopt when the frame is shorter than
// kFeedMinChars. time is the frame's capture-block time.
std::optional<std::string> formatFeedLine(std::span<const uint8_t> chars, const FeedFrameInfo& info,
                                          const QDateTime& time, const FeedStation& station);

// The line of a captured frame: its characters, channel, end character,
// repaired bits and level, with the channel's frequency when it is known;
// nullopt when the frame is shorter than kFeedMinChars. The feed sends it
// and varnesk-decode --json prints it.
std::optional<std::string> capturedFrameFeedLine(const CapturedFrame& frame, std::optional<double> freqMhz,
                                                 const QDateTime& time, const FeedStation& station);

// Appends text (valid UTF-8) as a JSON string, quotes included: '"', '\'
// and control characters (U+0000 … U+001F, and DEL) escaped.
void appendJsonString(std::string& out, std::string_view utf8);

} // namespace varnesk
