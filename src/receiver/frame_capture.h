// Character synchronisation and frame capture of one channel: hunts the raw
// bits for SYN SOH, decodes them differentially into the BitFrame, checks odd
// parity, finds ETX / ETB, takes the BCS and checks the CRC.
#pragma once

#include "receiver/channel_state.h"

#include <array>
#include <optional>
#include <span>

namespace varnesk {

// SYN SOH as raw bits when the decoded bit before them is 0.
inline constexpr std::array<int, 16> kSyncPattern = {1, 0, 1, 0, 0, 0, 1, 1, 0, 0, 1, 1, 1, 1, 1, 1};
// "+" "*" SYN with odd parity, least significant bit first.
inline constexpr std::array<int32_t, 24> kFrameTemplate = {1, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1,
                                                           0, 1, 0, 0, 0, 1, 1, 0, 1, 0, 0, 0};
inline constexpr int kFirstCrcSlot = 40;       // the mode character, character 5
inline constexpr int kCaptureLimitSlot = 1936; // end slot of a capture without an end character

// Runs the block's raw bits (state.blockBits) through the synchroniser. When a
// capture completes in this block and its CRC is right, returns the frame (its
// raw line built in state.rawLine); a bad CRC, or a capture closed at the length
// limit without an end character, lights ERR and returns nothing. Every found
// sync and the way its capture ends are counted in state.counts.
std::optional<CapturedFrame> captureFrames(ChannelState& state, int channel);

} // namespace varnesk
