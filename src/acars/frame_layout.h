// Where the fields of a frame stand, counted in characters from the first
// start character ("+"), and the frame lengths the decoder accepts.
#pragma once

namespace varnesk {

// Character positions inside a frame, counted from the first start character.
inline constexpr int kModePos = 5;
inline constexpr int kAddressPos = 6;
inline constexpr int kAddressWidth = 7;
inline constexpr int kAckPos = 13;
inline constexpr int kLabelPos = 14;
inline constexpr int kBlockIdPos = 16;
inline constexpr int kMessageNumberPos = 18;
inline constexpr int kFlightPos = 22;
inline constexpr int kDownlinkTextPos = 28;
// An uplink carries no message number and no flight number: its text begins
// right after STX. Taking it from 22 would lose four characters of every
// uplink from the processed views and the logs.
inline constexpr int kUplinkTextPos = 18;
// Blocks of 28 characters or fewer (start characters through end character)
// are dropped, uplinks too: 29 is the shortest complete downlink header.
inline constexpr int kMinBlockChars = 29;
// The line intake builds frames of up to 512 characters.
inline constexpr int kMaxFrameChars = 512;

} // namespace varnesk
