// NoiseWhitener: undoes the audio filters of a receiver (a scanner's
// band-pass, de-emphasis) in front of the coherent demodulator. The noise
// reaches those filters before they shape it, so between transmissions the
// noise floor's spectrum is the filters' |H|². Once it is known and not flat
// over the band the signal uses, every block is filtered by the
// minimum-phase inverse of H there: the noise is white again and the MSK
// pulse its own shape, as the matched filter expects. With a flat floor (a
// clean receiver, digital silence, a squelch that closes between
// transmissions) nothing is filtered.
// One per channel; plain data with no allocation after construction.
#pragma once

#include "receiver/audio_format.h"

#include <array>
#include <span>

namespace varnesk {

class NoiseWhitener {
public:
    static constexpr int kBlock = kFramesPerBlock;
    static constexpr int kLags = 64;   // noise autocorrelation lags (about 350 Hz resolution)
    static constexpr int kTaps = 96;   // the inverse filter
    static constexpr int kPending = 6; // blocks held back before they count as noise (a pre-key and sync fit)

    // Takes the noise statistics of the raw block (held back until it is
    // known to hold no transmission); when a filter is in use, writes the
    // filtered block to out and returns true.
    bool process(std::span<const double, kBlock> raw, std::span<double, kBlock> out);
    // After the demodulator has run on the block: busy when a transmission
    // was being received or began; the blocks held back are then dropped,
    // else the oldest of them counts as noise. A new filter is designed
    // only between transmissions.
    void blockDone(bool busy);

    // The audio power (mean square) of the last transmission received. A
    // floor more than 20 dB below it (a squelch closed between transmissions,
    // leaving the sound card's own noise) is not the radio's and is not undone.
    void noteSignalPower(double power) { m_signalPower = power; }

    bool active() const { return m_active; }
    std::span<const double, kTaps> taps() const { return m_taps; }
    // The noise floor over 400 … 3200 Hz, max over min, in dB, at the last design.
    double lastSpreadDb() const { return m_spreadDb; }
    int designs() const { return m_designs; }

private:
    void design();

    std::array<double, kTaps - 1 + kBlock> m_line{}; // the last kTaps − 1 raw samples, then the block
    std::array<double, kTaps - 1> m_history{};
    std::array<double, kTaps> m_taps{};
    bool m_active = false;
    // Statistics: lag products of blocks held back, and the sums of those counted.
    std::array<std::array<double, kLags + 1>, kPending> m_pending{};
    std::array<bool, kPending> m_pendingFull{};
    int m_pendingAt = 0;
    std::array<double, kLags + 1> m_sums{};
    double m_samples = 0; // the samples behind m_sums, weighed alike
    double m_signalPower = 0;
    int m_blocksSinceDesign = 0;
    int m_blocksSeen = 0;
    double m_spreadDb = 0;
    int m_designs = 0;
};

} // namespace varnesk
