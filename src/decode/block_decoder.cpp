// DecodeBlock: character rebuild, chat lines, field split, flight-number
// normalisation and validation, and the order of the hand-offs.
#include "decode/block_decoder.h"

#include "acars/control_chars.h"
#include "acars/raw_text.h"
#include "decode/aircraft_sink.h"
#include "decode/frame_relay.h"
#include "decode/ground_stations.h"
#include "decode/received_text.h"
#include "decode/sequencer.h"
#include "settings/settings_store.h"

#include <algorithm>

namespace varnesk {

namespace {

constexpr std::string_view kChatPrefix = "[CHAT]";
constexpr std::size_t kRenderedEndChars = 5; // "<ETX>" or "<ETB>"

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

BlockDecoder::BlockDecoder(const SettingsStore& settings, ReceivedText& text, Sequencer& sequencer,
                           const GroundStations& ground, AircraftSink& tracking, FrameRelay& relay)
    : m_settings(settings), m_text(text), m_sequencer(sequencer), m_ground(ground), m_tracking(tracking), m_relay(relay)
{
    m_rawText.reserve(kMaxFrameChars * 5);
}

void BlockDecoder::DecodeBlock(const BlockContext& context, std::span<const int32_t> frame, int32_t bitCount,
                               uint8_t endFlag)
{
    DecodeCounts& counts = m_counts[static_cast<size_t>(context.source)];
    ++counts.frames;
    const int characters = bitCount / 8 - 2;
    const bool fits = characters <= kMaxFrameChars && static_cast<size_t>(std::max(characters, 0)) * 8 <= frame.size();

    std::string& raw = m_rawText;
    raw.clear();
    if (fits) {
        for (int c = 0; c < characters; ++c) {
            const uint8_t value = frameCharByte(frame, c);
            m_chars[static_cast<size_t>(c)] = value;
            const std::string_view name = controlCharName(value);
            if (name.empty())
                raw.push_back(static_cast<char>(value));
            else
                raw.append(name);
        }
    }

    m_relay.setFrame(frame, bitCount);
    if (raw.starts_with(kChatPrefix)) {
        ++counts.chatLines;
        decodeChat(context);
    } else if (fits && characters >= kMinBlockChars) {
        m_block.context = context;
        m_block.rawText = raw;
        const char mode = static_cast<char>(m_chars[kModePos]);
        m_block.mode = mode;
        if (const std::optional<std::string_view> name = m_ground.StationName(mode))
            m_modeStation.assign(*name);
        m_block.groundStation = m_modeStation;
        const bool lastBlock = endFlag != 0;
        if (static_cast<signed char>(mode) < 'a') {
            decodeDownlink(characters, lastBlock);
        } else {
            ++counts.uplinks;
            decodeUplink(characters, lastBlock);
        }
    } else {
        ++counts.tooShort;
    }
    m_relay.clear();
}

void BlockDecoder::decodeChat(const BlockContext& /*context*/)
{
    m_relay.relayCurrentFrame();
    if (!m_settings.boolean(Key::Chat))
        return;
    std::string_view line = m_rawText;
    line.remove_prefix(kChatPrefix.size());
    line.remove_suffix(std::min(line.size(), kRenderedEndChars));
    Q_EMIT chatLineReceived(line);
}

void BlockDecoder::copyText(int from, int length)
{
    m_block.text.clear();
    for (int i = 0; i < length; ++i)
        m_block.text.push_back(static_cast<char>(m_chars[static_cast<size_t>(from + i)]));
}

void BlockDecoder::decodeDownlink(int characters, bool lastBlock)
{
    AcarsBlock& b = m_block;
    b.direction = Direction::Downlink;
    b.lastBlock = lastBlock;

    b.address.clear();
    int first = kAddressPos;
    while (first < kAddressPos + kAddressWidth && m_chars[static_cast<size_t>(first)] == '.')
        ++first;
    for (int i = first; i < kAddressPos + kAddressWidth; ++i)
        b.address.push_back(static_cast<char>(m_chars[static_cast<size_t>(i)]));

    b.label.clear();
    b.label.push_back(static_cast<char>(m_chars[kLabelPos]));
    b.label.push_back(static_cast<char>(m_chars[kLabelPos + 1]));
    b.blockId = static_cast<char>(m_chars[kBlockIdPos]);
    b.messageNumber.clear();
    for (int i = 0; i < 4; ++i)
        b.messageNumber.push_back(static_cast<char>(m_chars[static_cast<size_t>(kMessageNumberPos + i)]));
    copyText(kDownlinkTextPos, characters - (kDownlinkTextPos + 1));

    // Flight number: a short number is right-aligned in the four digit
    // places with leading zeros ("JL12  " → "JL0012", "NH123 " → "NH0123").
    std::array<char, 6> f{};
    for (int i = 0; i < 6; ++i)
        f[static_cast<size_t>(i)] = static_cast<char>(m_chars[static_cast<size_t>(kFlightPos + i)]);
    if (f[4] == ' ') {
        f[4] = f[3];
        f[3] = f[2];
        f[2] = '0';
    }
    if (f[5] == ' ') {
        f[5] = f[4];
        f[4] = f[3];
        f[3] = f[2];
        f[2] = '0';
    }
    for (char& c : f)
        if (c == ' ')
            c = '0';
    const SettingsStore& settings = m_settings;
    if (settings.boolean(Key::ConvJD) && f[0] == 'J' && f[1] == 'D')
        f[1] = 'L';
    if (settings.boolean(Key::ConvJC) && f[0] == '0' && f[1] == '0') {
        f[0] = 'J';
        f[1] = 'C';
    }
    DecodeCounts& counts = m_counts[static_cast<size_t>(b.context.source)];
    if (!isDigit(f[2]) || !isDigit(f[3]) || !isDigit(f[4]) || !isDigit(f[5])) {
        ++counts.badFlight;
        return;
    }
    ++counts.downlinks;
    b.flight.assign(std::string_view(f.data(), f.size()));

    m_text.ShowRawBlock(b.context, m_rawText, b.flight, b.address, Direction::Downlink, m_modeStation);
    m_tracking.UpdateListEntry(b.flight, b.address, b.groundStation);
    m_sequencer.SequenceDownlink(b);
    Q_EMIT downlinkAccepted(b);
}

void BlockDecoder::decodeUplink(int characters, bool lastBlock)
{
    AcarsBlock& b = m_block;
    b.direction = Direction::Uplink;
    b.lastBlock = lastBlock;

    b.label.clear();
    for (int i = 0; i < 2; ++i) {
        const char c = static_cast<char>(m_chars[static_cast<size_t>(kLabelPos + i)]);
        b.label.push_back(c == kCharDel ? '-' : c);
    }
    b.address.clear();
    if (b.label.view() == "SQ") {
        b.address.assign("Uplink");
    } else {
        bool leading = true;
        for (int i = kAddressPos; i < kAddressPos + kAddressWidth; ++i) {
            char c = static_cast<char>(m_chars[static_cast<size_t>(i)]);
            if (c == kCharDel)
                c = '-';
            if (leading && c == '.')
                continue;
            leading = false;
            b.address.push_back(c);
        }
    }
    b.flight.assign("------");
    b.messageNumber.assign("----");
    copyText(kUplinkTextPos, characters - (kUplinkTextPos + 1));
    const char id = static_cast<char>(m_chars[kBlockIdPos]);
    b.blockId = (id == 0 || id == kCharDel) ? '-' : id;

    m_text.ShowRawBlock(b.context, m_rawText, b.flight, b.address, Direction::Uplink, m_modeStation);
    m_sequencer.SequenceUplink(b);
}

} // namespace varnesk
