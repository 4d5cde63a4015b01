// The first two stages of a channel: the overload count with the input band
// filter, and the level control that brings the filtered signal to a mean
// magnitude near 8000. Both replace the block's 512 samples in place.
#pragma once

#include "receiver/channel_state.h"
#include "receiver/fir_block.h"

namespace varnesk {

// Counts raw samples whose truncated magnitude exceeds 32700 (overload = more
// than 10 in the block), then band-filters the block.
void bandFilter(ChannelState& state, BlockOut x);

// Automatic gain: 8000 / (50 Hz low-pass of |x|), the level held at 1 or more.
void levelControl(ChannelState& state, BlockOut x);
// Two channels side by side, each exactly as levelControl alone.
void levelControlPair(ChannelState& a, ChannelState& b, BlockOut xa, BlockOut xb);

} // namespace varnesk
