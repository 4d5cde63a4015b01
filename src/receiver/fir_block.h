// 51-tap FIR filtering of a whole block at once: the block is placed behind the
// filter's 50-sample history, every output is the sum h[k] · x[n − k], and the
// history is then advanced. Works on 512-sample blocks of doubles.
#pragma once

#include "receiver/chain_constants.h"
#include "receiver/channel_state.h"

#include <span>

namespace varnesk {

using BlockIn = std::span<const double, chain::kBlockFrames>;
using BlockOut = std::span<double, chain::kBlockFrames>;

// h[50 − k] = h[k]: the mirrored inputs are added before the multiply.
// out may be the same storage as in.
void firSymmetric(const std::array<double, chain::kTaps>& h, FilterHistory& history, BlockIn in, BlockOut out);

// h[50 − k] = −h[k], h[25] = 0 (a quadrature filter). Also writes the input
// delayed by 25 samples (the filter's own delay) to delayed.
void firAntisymmetric(const std::array<double, chain::kTaps>& h, FilterHistory& history, BlockIn in, BlockOut out,
                      BlockOut delayed);

} // namespace varnesk
