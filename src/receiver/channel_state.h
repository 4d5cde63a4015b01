// ChannelState: everything one audio channel's receive chain keeps from block to
// block, from the band filter to the frame being captured. Plain data, all zero
// at start except rcvCount (6); two of them live in the Receiver.
#pragma once

#include "acars/bit_frame.h"
#include "receiver/chain_constants.h"
#include "receiver/receiver_counts.h"

#include <array>
#include <string>

namespace varnesk {

// The filters keep their delay lines as the 50 most recent inputs in time order
// (oldest first); element 50 of a newest-first delay line is the sample about to
// leave it, so 50 values are the whole state of a 51-tap filter between blocks.
using FilterHistory = std::array<double, chain::kHistory>;

struct ChannelState {
    // Band filter and level control.
    FilterHistory bandDelay{};
    bool overload = false;
    std::array<double, 2> levelState{}; // w1, w2

    // Quadrature split, shift, loop, data filter, clock.
    FilterHistory hilbertDelay{};
    double shiftPhase = 0.0; // radians, 0 … 2π
    int shiftIndex = 0;      // steps taken mod 441, locates shiftPhase in the oscillator's table
    double vcoPhase = 0.0;   // radians
    double vcoOffset = 0.0;  // Hz from 5800 Hz, for the next sample
    std::array<double, 2> loopState{};
    FilterHistory dataDelay{};
    std::array<double, 2> clockState{};
    int clockSign = 0; // +10 / −10, 0 at start
    std::array<int, chain::kMaxBlockBits> blockBits{};
    int blockBitCount = 0;

    // Frame capture.
    int nrziState = 0;
    std::array<int, chain::kMaxBlockBits> carryBits{};
    int carryCount = 0;
    bool inFrame = false;
    bool endSeen = false;
    bool endIsEtx = false;
    bool frameDone = false;
    int nextSlot = 0;
    int endSlot = 0;
    BitFrame frame{};
    std::string rawLine; // the raw line of the last good frame; capacity kept between frames
    ReceiverCounts counts{};

    // Indicators: blocks since the last good / bad frame.
    int rcvCount = 6;
    int errCount = 0;
    // What the SYN lamp shows: a frame being received by the demodulator
    // that delivers frames (the classic capture, or the coherent tracking when
    // the coherent demodulator alone delivers them).
    bool synShown = false;
};

} // namespace varnesk
