// The block decoder: takes one BitFrame (from the receiver, a network line or
// a RAW log), renders RawText, recognises chat lines, splits the block into an
// AcarsBlock, drops implausible blocks and drives the views, the aircraft
// list, the sequencer, the relay and the search list in their fixed order.
#pragma once

#include "decode/acars_block.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace varnesk {

class Station;
class ReceivedText;
class Sequencer;
class GroundStations;

class BlockDecoder {
public:
    BlockDecoder(Station& station, ReceivedText& text, Sequencer& sequencer, const GroundStations& ground);

    // frame: the BitFrame's slots, eight per character; bitCount = 8 × (the
    // characters from the first start character through the end character)
    // + 16; endFlag 1 for ETX, 0 for ETB. SourceTag is set by the caller.
    // A bit count that reaches past the slots given, or past 512 characters,
    // drops the frame.
    void DecodeBlock(std::span<const int32_t> frame, int32_t bitCount, uint8_t endFlag);

    // Passes the frame being decoded to the connected clients as a raw line
    // (block, end character and the two positions after it) when [Net]
    // Server and DupCheckSend are both on.
    void relayCurrentFrame();

private:
    void decodeChat();
    void decodeDownlink(int characters, bool lastBlock);
    void decodeUplink(int characters, bool lastBlock);
    void copyText(int from, int length);

    Station& m_station;
    ReceivedText& m_text;
    Sequencer& m_sequencer;
    const GroundStations& m_ground;

    // The frame being decoded, valid during DecodeBlock only.
    std::span<const int32_t> m_frame;
    int32_t m_bitCount = 0;
    std::array<uint8_t, kMaxFrameChars + 2> m_chars{};
    int m_charCount = 0;
    AcarsBlock m_block;
    std::string m_relayLine;
};

} // namespace varnesk
