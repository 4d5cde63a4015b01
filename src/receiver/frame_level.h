// The signal level of each captured frame: 20·log10 of the mean envelope of
// the channel's audio over the frame, full scale (a tone of peak 32768) 0 dB.
// The envelope is taken as √2 × the RMS of the audio, which is a steady
// tone's peak. Where the frame lies is found from the audio's power: of the
// stretches as long as the frame (from "+" through the BCS) that end within
// the last few capture blocks, the strongest, so the level is the same
// whichever demodulator delivered the frame and however late.
//
// Carrier levels: a source that sees the radio's carrier (an IQ channelizer)
// may give, beside each capture block, each channel's mean carrier envelope
// over that block in dB of full scale (CarrierLevels). When a channel has
// them, a frame's level is the mean carrier envelope over the capture blocks
// the frame spans, converted back to dB, in place of the audio's.
#pragma once

#include "receiver/audio_format.h"

#include <array>
#include <optional>
#include <span>
#include <vector>

namespace varnesk {

struct CarrierLevels {
    std::array<std::optional<double>, kMaxRadioChannels> dbfs{};
};

class FrameLevel {
public:
    // Pieces of this many samples are the unit of the search.
    static constexpr int kPieceSamples = 64;
    static constexpr int kPiecesPerBlock = kFramesPerBlock / kPieceSamples;
    // About three seconds of history: a frame of the longest kind lasts under one.
    static constexpr int kHistoryPieces = 1024;
    // How much later than its end a frame may be delivered: four capture blocks.
    static constexpr int kLatePieces = 4 * kPiecesPerBlock;

    FrameLevel();

    // One channel's samples of the next capture block, and its carrier level if known.
    void addBlock(int channel, std::span<const double, kFramesPerBlock> samples, std::optional<double> carrierDbfs);

    // The level of a frame of bitCount bits (8 × characters through the end
    // character + 16, the BCS) just delivered on channel; nothing before any audio.
    std::optional<double> frameLevelDb(int channel, int bitCount) const;

private:
    struct Channel {
        std::vector<double> power;   // sum of squares per piece, a ring
        std::vector<double> carrier; // linear carrier envelope per piece, < 0 when unknown
        long long pieces = 0;        // pieces added so far
    };
    std::array<Channel, kMaxRadioChannels> m_channels;
};

} // namespace varnesk
