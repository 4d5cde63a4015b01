// CoherentState: everything one channel's coherent demodulator keeps from
// block to block (baseband ring, sync search, symbol tracking, the soft bits
// of the frame being received), and CoherentCounts, what it found.
// Plain data, all zero at start; two of them live in the CoherentReceiver.
#pragma once

#include "acars/bit_frame.h"
#include "receiver/soft_repair.h"

#include <array>
#include <cstdint>
#include <string>

namespace varnesk {

namespace coherent {

// 2400 bit/s at 22050 Hz: 9.1875 samples per bit; the MSK carrier (midway
// between the 1200 and 2400 Hz tones) is 1800 Hz, 12 cycles in 147 samples.
inline constexpr double kSamplesPerBit = 22050.0 / 2400.0;
inline constexpr int kMixPeriod = 147;
// Baseband ring: written twice (at i and i + kRing) so that any window is contiguous.
inline constexpr int kRing = 2048;
// The search runs on matched-filter outputs every half bit.
inline constexpr int kSyncSymbols = 48; // 8 pre-key bits, "+" "*" SYN SYN SOH
inline constexpr int kSearchHistory = 2 * (kSyncSymbols - 1) + 2;
inline constexpr int kSearchMaxNew = 128; // half-bit points per block: 111.4
// Soft bits after SOH: 236 characters through the end character, BCS, DEL and a little more.
inline constexpr int kMaxSoftChars = 236;
inline constexpr int kMaxSoftBits = (kMaxSoftChars + 4) * 8;
inline constexpr int kMaxEndTries = 4;

} // namespace coherent

struct CoherentCounts {
    uint64_t syncsFound = 0;      // start sequence found: a frame started
    uint64_t framesDelivered = 0; // CRC right (as received or repaired), handed on
    uint64_t framesRepaired = 0;  // of those, frames with flipped bits
    uint64_t bitsRepaired = 0;    // bits flipped in the repaired frames
    uint64_t framesLost = 0;      // no end position gave a good frame
    uint64_t guardRefusals = 0;   // of those, frames whose best repair was not likely enough
    uint64_t capturesOpen = 0;    // 1 while a frame is being received, else 0

    CoherentCounts& operator+=(const CoherentCounts& o)
    {
        syncsFound += o.syncsFound;
        framesDelivered += o.framesDelivered;
        framesRepaired += o.framesRepaired;
        bitsRepaired += o.bitsRepaired;
        framesLost += o.framesLost;
        guardRefusals += o.guardRefusals;
        capturesOpen += o.capturesOpen;
        return *this;
    }
    bool operator==(const CoherentCounts&) const = default;
};

struct CoherentState {
    // Mixer and baseband ring (absolute sample n lives at n mod kRing).
    int mixIndex = 0;
    int64_t written = 0;
    std::array<float, 2 * coherent::kRing> re{};
    std::array<float, 2 * coherent::kRing> im{};

    // Sync search: derotated half-bit matched-filter outputs, oldest first,
    // the last kSearchHistory of them kept between blocks.
    int64_t searchPoint = 0; // index of the next half-bit point (time = index · T / 2)
    int searchHeld = 0;      // points held in the rows below
    std::array<float, coherent::kSearchHistory + coherent::kSearchMaxNew> sre{};
    std::array<float, coherent::kSearchHistory + coherent::kSearchMaxNew> sim{};
    // The best sync candidate not yet taken: its point, metric and correlation.
    bool peakOpen = false;
    int64_t peakPoint = 0;
    float peakMetric = 0, peakBefore = 0, peakAfter = 0;
    float peakRe = 0, peakIm = 0, peakEnergy = 0;
    float lastMetric = 0;

    // Symbol tracking of the frame being received.
    bool tracking = false;
    double symbolTime = 0;          // absolute sample time of the next symbol
    double symbolPeriod = 0;        // samples
    int64_t symbolPoint = 0;        // half-bit index of the next symbol (sets its quadrant)
    float phase = 0, phaseRate = 0; // radians, radians per symbol
    float amplitude = 0;
    std::array<float, 2> prevRe{}, prevIm{}; // the last two derotated symbols
    int pendingSymbols = 0;                  // symbols taken since sync (0, 1, 2…)
    float energySum = 0;                     // Σ re² over the recent window (presence test)
    std::array<float, 64> recentEnergy{};
    float noiseSum = 0, signalSum = 0; // Σ residual², Σ re² over the frame
    int noiseCount = 0;
    int softCount = 0;
    std::array<float, coherent::kMaxSoftBits> soft{};
    std::array<float, coherent::kMaxSoftBits> quadrature{};        // the other axis of each bit's sample
    std::array<float, coherent::kMaxSoftBits> phaseUsed{};         // the carrier phase each bit was taken with
    std::array<double, coherent::kMaxSoftBits + 1> phaseSums{};    // running sums of the phases measured at each bit…
    std::array<double, coherent::kMaxSoftBits + 1> phaseMoments{}; // …and of the phases times the bit index
    int nextChar = 0; // next character index to examine for an end character
    int endTries = 0;
    bool guardRefused = false;              // a CRC match was found but was not likely enough
    double repairCredit = kRepairSavedPops; // what the repair may still spend (see kRepairPopsPerSecond)
    std::array<int, coherent::kMaxEndTries> triedEnds{};

    // The last frame delivered (valid until this channel's next block).
    BitFrame frame{};
    std::string rawLine;
    std::array<uint8_t, coherent::kMaxSoftChars + 2> chars{};
    std::array<float, coherent::kMaxSoftBits> llr{};
    std::array<float, coherent::kMaxSoftBits> turnedQuadrature{}; // the other axis, turned as llr

    CoherentCounts counts{};
};

} // namespace varnesk
