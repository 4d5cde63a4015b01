// The block decoder: takes one BitFrame (from the receiver, a network line or
// a RAW log) with its context, renders the raw text, recognises chat lines,
// splits the block into an AcarsBlock, drops implausible blocks (counted per
// reason and source) and drives the views, the aircraft list, the sequencer
// and the search list in their fixed order.
#pragma once

#include "decode/acars_block.h"
#include "decode/block_context.h"
#include "decode/decode_counts.h"

#include <QObject>

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace varnesk {

class AircraftSink;
class FrameRelay;
class GroundStations;
class ReceivedText;
class Sequencer;
class SettingsStore;

class BlockDecoder : public QObject {
    Q_OBJECT
public:
    BlockDecoder(const SettingsStore& settings, ReceivedText& text, Sequencer& sequencer, const GroundStations& ground,
                 AircraftSink& tracking, FrameRelay& relay);

    // frame: the BitFrame's slots, eight per character; bitCount = 8 × (the
    // characters from the first start character through the end character)
    // + 16; endFlag 1 for ETX, 0 for ETB. A bit count that reaches past the
    // slots given, or past 512 characters, drops the frame.
    void DecodeBlock(const BlockContext& context, std::span<const int32_t> frame, int32_t bitCount, uint8_t endFlag);

    // The raw text of the last frame (RawText).
    const std::string& rawText() const { return m_rawText; }
    // The ground station of the last mode character found in the table
    // (ModeStation); a mode character not in it leaves it as it was.
    const std::string& modeStation() const { return m_modeStation; }

    const DecodeCounts& counts(FrameSource source) const { return m_counts[static_cast<size_t>(source)]; }
    const DecodeCountTable& counts() const { return m_counts; }

Q_SIGNALS:
    // Every accepted downlink block, repeats included, after the views and the
    // sequencer: the search list checks it.
    void downlinkAccepted(const AcarsBlock& block);
    // A chat line (the text between "[CHAT" and the end character) while [Net] Chat is on.
    void chatLineReceived(std::string_view line);

private:
    void decodeChat(const BlockContext& context);
    void decodeDownlink(int characters, bool lastBlock);
    void decodeUplink(int characters, bool lastBlock);
    void copyText(int from, int length);

    const SettingsStore& m_settings;
    ReceivedText& m_text;
    Sequencer& m_sequencer;
    const GroundStations& m_ground;
    AircraftSink& m_tracking;
    FrameRelay& m_relay;

    std::array<uint8_t, kMaxFrameChars + 2> m_chars{};
    AcarsBlock m_block;
    std::string m_rawText;
    std::string m_modeStation;
    DecodeCountTable m_counts{};
};

} // namespace varnesk
