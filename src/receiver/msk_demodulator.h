// MSK demodulation of one levelled channel block: quadrature split, 4000 Hz
// shift (tones to 5200 / 6400 Hz), phase-locked loop at 5800 Hz whose filtered
// control value is the data, data filter, 2400 Hz clock resonator and the bit
// decision at its rising zero crossings. Raw bits: 1 = upper tone, 0 = lower.
#pragma once

#include "receiver/channel_state.h"
#include "receiver/fir_block.h"

namespace varnesk {

// Per-block working rows of the demodulator (512 doubles each); not state.
struct DemodScratch {
    std::array<double, chain::kBlockFrames> inPhase;
    std::array<double, chain::kBlockFrames> quadrature;
    std::array<double, chain::kBlockFrames> loopOut; // d
    std::array<double, chain::kBlockFrames> data;    // e
};

// x in: the levelled block; x out: the shifted signal y (for the spectrum
// display). Leaves the block's raw bits in state.blockBits / blockBitCount.
void demodulate(ChannelState& state, DemodScratch& scratch, BlockOut x);

// Two channels' blocks at once, each with exactly the arithmetic of demodulate
// alone: the recurrences of the two run side by side, which takes little more
// time than one.
void demodulatePair(ChannelState& a, ChannelState& b, DemodScratch& sa, DemodScratch& sb, BlockOut xa, BlockOut xb);

// The individual steps, in the order demodulate runs them over the block.
void quadratureSplit(ChannelState& state, BlockIn x, BlockOut inPhase, BlockOut quadrature);
void frequencyShift(ChannelState& state, BlockIn inPhase, BlockIn quadrature, BlockOut y);
void loopDemodulate(ChannelState& state, BlockIn y, BlockOut d);
void dataFilter(ChannelState& state, BlockIn d, BlockOut e);
void clockRecovery(ChannelState& state, BlockIn e);
void loopDemodulatePair(ChannelState& a, ChannelState& b, BlockIn ya, BlockIn yb, BlockOut da, BlockOut db);
void clockRecoveryPair(ChannelState& a, ChannelState& b, BlockIn ea, BlockIn eb);

// The loop oscillator's sine: within 1e-15 of std::sin and several times
// faster (arguments beyond 1000 go to std::sin).
double fastSin(double x);

} // namespace varnesk
