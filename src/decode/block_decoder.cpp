// DecodeBlock: character rebuild, chat lines, field split, flight-number
// normalisation and validation, and the order of the hand-offs.
#include "decode/block_decoder.h"

#include "aircraft/ground_stations.h"
#include "app/station.h"
#include "decode/raw_text.h"
#include "decode/received_text.h"
#include "decode/sequencer.h"
#include "net/line_codec.h"

#include <algorithm>

namespace varnesk {

namespace {

constexpr std::string_view kChatPrefix = "[CHAT]";
constexpr std::size_t kRenderedEndChars = 5; // "<ETX>" or "<ETB>"
constexpr char kDel = 0x7F;

// Character c of a frame: the weighted sum of its slots 0 … 6 (slot 7, the
// parity bit, never enters). Slot 6 may hold up to 3 in frames built from
// network lines; the sum is taken modulo 256 so that no slot value, however
// wrong, can overflow.
uint8_t charValue(std::span<const int32_t> frame, int c)
{
    uint32_t v = 0;
    for (int t = 0; t < 7; ++t)
        v += static_cast<uint32_t>(frame[static_cast<size_t>(c * 8 + t)]) << t;
    return static_cast<uint8_t>(v & 0xFF);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

BlockDecoder::BlockDecoder(Station& station, ReceivedText& text, Sequencer& sequencer, const GroundStations& ground)
    : m_station(station), m_text(text), m_sequencer(sequencer), m_ground(ground)
{
    m_relayLine.reserve(kMaxFrameChars + 2);
}

void BlockDecoder::relayCurrentFrame()
{
    const SettingsStore& settings = m_station.settings();
    if (!settings.boolean(Key::Server) || !settings.boolean(Key::DupCheckSend))
        return;
    m_relayLine.clear();
    // The block through its end character and the two BCS positions after
    // it, as far as the frame holds them.
    const int positions = std::min<int>(m_bitCount / 8, static_cast<int>(m_frame.size() / 8));
    for (int c = 0; c < positions; ++c) {
        const uint8_t byte = encodeLineChar(charValue(m_frame, c));
        if (byte == 0)
            break; // a zero byte would end the line early at every receiver
        m_relayLine.push_back(static_cast<char>(byte));
    }
    if (!m_relayLine.empty())
        m_station.SendToClients(m_relayLine);
}

void BlockDecoder::DecodeBlock(std::span<const int32_t> frame, int32_t bitCount, uint8_t endFlag)
{
    m_frame = frame;
    m_bitCount = bitCount;
    const int characters = bitCount / 8 - 2;
    const bool fits = characters <= kMaxFrameChars && static_cast<size_t>(std::max(characters, 0)) * 8 <= frame.size();

    std::string& raw = m_station.RawText;
    raw.clear();
    m_charCount = 0;
    if (fits) {
        for (int c = 0; c < characters; ++c) {
            const uint8_t value = charValue(frame, c);
            m_chars[static_cast<size_t>(c)] = value;
            const std::string_view name = controlCharName(value);
            if (name.empty())
                raw.push_back(static_cast<char>(value));
            else
                raw.append(name);
        }
        m_charCount = characters;
    }

    if (raw.starts_with(kChatPrefix)) {
        decodeChat();
    } else if (fits && characters >= kMinBlockChars) {
        m_block.source.assign(m_station.SourceTag);
        m_block.rawText = raw;
        const char mode = static_cast<char>(m_chars[kModePos]);
        m_block.mode = mode;
        if (const std::optional<std::string_view> name = m_ground.StationName(mode))
            m_station.ModeStation.assign(*name);
        m_block.groundStation = m_station.ModeStation;
        m_station.PositionFound = false;
        const bool lastBlock = endFlag != 0;
        if (static_cast<signed char>(mode) < 'a')
            decodeDownlink(characters, lastBlock);
        else
            decodeUplink(characters, lastBlock);
    }
    // Every frame leaves SourceTag empty, shown or not, so that a network
    // line after a dropped radio frame is not taken for the radio's.
    m_station.SourceTag.clear();
    m_text.clearFrameTime();
    m_frame = {};
}

void BlockDecoder::decodeChat()
{
    relayCurrentFrame();
    SettingsStore& settings = m_station.settings();
    if (!settings.boolean(Key::Chat))
        return;
    std::string_view line = m_station.RawText;
    line.remove_prefix(kChatPrefix.size());
    line.remove_suffix(std::min(line.size(), kRenderedEndChars));
    std::string& history = m_station.ChatHistory;
    history.append(line).append("\r\n");
    const auto limit = static_cast<size_t>(std::max(1, settings.integer(Key::MaxBytes)));
    if (history.size() >= limit)
        history.erase(0, history.size() - limit + 1);
    m_station.ShowChatWindow();
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
    const SettingsStore& settings = m_station.settings();
    if (settings.boolean(Key::ConvJD) && f[0] == 'J' && f[1] == 'D')
        f[1] = 'L';
    if (settings.boolean(Key::ConvJC) && f[0] == '0' && f[1] == '0') {
        f[0] = 'J';
        f[1] = 'C';
    }
    if (!isDigit(f[2]) || !isDigit(f[3]) || !isDigit(f[4]) || !isDigit(f[5]))
        return;
    b.flight.assign(std::string_view(f.data(), f.size()));

    m_text.ShowRawBlock(m_station.RawText, b.flight, b.address, Direction::Downlink);
    m_station.UpdateListEntry(b);
    m_station.PositionFound = false;
    m_sequencer.SequenceDownlink(b);
    m_station.CheckSearchList(b.address, b.flight);
}

void BlockDecoder::decodeUplink(int characters, bool lastBlock)
{
    AcarsBlock& b = m_block;
    b.direction = Direction::Uplink;
    b.lastBlock = lastBlock;

    b.label.clear();
    for (int i = 0; i < 2; ++i) {
        const char c = static_cast<char>(m_chars[static_cast<size_t>(kLabelPos + i)]);
        b.label.push_back(c == kDel ? '-' : c);
    }
    b.address.clear();
    if (b.label.view() == "SQ") {
        b.address.assign("Uplink");
    } else {
        bool leading = true;
        for (int i = kAddressPos; i < kAddressPos + kAddressWidth; ++i) {
            char c = static_cast<char>(m_chars[static_cast<size_t>(i)]);
            if (c == kDel)
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
    b.blockId = (id == 0 || id == kDel) ? '-' : id;

    m_text.ShowRawBlock(m_station.RawText, b.flight, b.address, Direction::Uplink);
    m_sequencer.SequenceUplink(b);
}

} // namespace varnesk
