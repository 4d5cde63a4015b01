// Field split and JSON writing of the feed line. Fields are written in a fixed
// order (time, station, channel, frequency, level, errors, then the block)
// by a small writer, so that every line reads the same to a person too.
#include "acars/json_feed.h"

#include "acars/control_chars.h"
#include "acars/frame_layout.h"
#include "acars/raw_text.h"
#include "acars/sjis.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace varnesk {

namespace {

// Position 17 is STX before a text, or the end character of a block without one.
constexpr int kTextStartPos = 18;
constexpr int kMessageNumberChars = 4;
constexpr int kFlightChars = 6;
// A frequency or level beyond these is no measurement: it is left out rather
// than written as a number no reader expects.
constexpr double kMaxFreqMhz = 100000.0;
constexpr double kMaxLevelDb = 1000.0;

std::string utf8(std::span<const uint8_t> sjis)
{
    const std::string_view bytes(reinterpret_cast<const char*>(sjis.data()), sjis.size());
    const QByteArray u = sjisToQString(bytes).toUtf8();
    return std::string(u.constData(), static_cast<size_t>(u.size()));
}

void appendFixed(std::string& out, double value, int decimals)
{
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    out.append(buffer, r.ec == std::errc() ? static_cast<size_t>(r.ptr - buffer) : 0);
}

// Writes `,"name":` before every field but the first.
class ObjectWriter {
public:
    explicit ObjectWriter(std::string& out) : m_out(out) { m_out.push_back('{'); }

    void key(std::string_view name)
    {
        if (!m_first)
            m_out.push_back(',');
        m_first = false;
        appendJsonString(m_out, name);
        m_out.push_back(':');
    }
    void string(std::string_view name, std::string_view utf8Text)
    {
        key(name);
        appendJsonString(m_out, utf8Text);
    }
    void sjis(std::string_view name, std::span<const uint8_t> bytes) { string(name, utf8(bytes)); }
    void integer(std::string_view name, long long value)
    {
        key(name);
        m_out.append(std::to_string(value));
    }
    void fixed(std::string_view name, double value, int decimals)
    {
        key(name);
        appendFixed(m_out, value, decimals);
    }
    void boolean(std::string_view name, bool value)
    {
        key(name);
        m_out.append(value ? "true" : "false");
    }
    void close() { m_out.push_back('}'); }

private:
    std::string& m_out;
    bool m_first = true;
};

} // namespace

void appendJsonString(std::string& out, std::string_view utf8Text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (const char ch : utf8Text) {
        const auto c = static_cast<uint8_t>(ch);
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        case '\b':
            out.append("\\b");
            break;
        case '\f':
            out.append("\\f");
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out.append("\\u00");
                out.push_back(kHex[c >> 4]);
                out.push_back(kHex[c & 0x0F]);
            } else {
                out.push_back(ch);
            }
        }
    }
    out.push_back('"');
}

std::vector<uint8_t> feedFrameChars(const CapturedFrame& frame)
{
    const int fitting = static_cast<int>(std::min<size_t>(frame.slots.size() / kSlotsPerChar, kMaxFrameChars));
    const int characters = std::clamp(frame.bitCount / 8 - 2, 0, fitting);
    std::vector<uint8_t> chars(static_cast<size_t>(characters));
    for (int c = 0; c < characters; ++c)
        chars[static_cast<size_t>(c)] = frameCharByte(frame.slots, c);
    return chars;
}

std::optional<std::string> formatFeedLine(std::span<const uint8_t> chars, const FeedFrameInfo& info,
                                          const QDateTime& time, const FeedStation& station)
{
    if (chars.size() < static_cast<size_t>(kFeedMinChars))
        return std::nullopt;
    std::string line;
    line.reserve(256 + chars.size() * 3);
    ObjectWriter o(line);

    const qint64 ms = time.isValid() ? time.toMSecsSinceEpoch() : 0;
    o.fixed("timestamp", static_cast<double>(ms) / 1000.0, 3);
    if (!station.stationId.empty())
        o.sjis("station_id",
               std::span(reinterpret_cast<const uint8_t*>(station.stationId.data()), station.stationId.size()));
    o.integer("channel", info.channel);
    // Every reader requires the frequency: an unknown one is written 0.0, as
    // the other decoders do, since a wrong frequency is worse than none.
    if (info.freqMhz && std::isfinite(*info.freqMhz) && *info.freqMhz > 0 && *info.freqMhz < kMaxFreqMhz)
        o.fixed("freq", *info.freqMhz, 3);
    else
        o.fixed("freq", 0.0, 1);
    if (info.levelDb && std::isfinite(*info.levelDb) && std::abs(*info.levelDb) < kMaxLevelDb)
        o.fixed("level", *info.levelDb, 1);
    o.integer("error", std::max(info.repairedBits, 0));

    o.sjis("mode", chars.subspan(kModePos, 1));
    // The general response's label ends in DEL, which every reader spells "d".
    std::array<uint8_t, 2> label{chars[kLabelPos], chars[kLabelPos + 1]};
    for (uint8_t& c : label)
        if (c == kCharDel)
            c = 'd';
    o.sjis("label", label);
    const uint8_t blockId = chars[kBlockIdPos];
    o.sjis("block_id", chars.subspan(kBlockIdPos, 1));
    if (chars[kAckPos] == kCharNak)
        o.boolean("ack", false);
    else
        o.sjis("ack", chars.subspan(kAckPos, 1));
    std::span<const uint8_t> address = chars.subspan(kAddressPos, kAddressWidth);
    while (!address.empty() && address.front() == '.')
        address = address.subspan(1);
    o.sjis("tail", address);

    // Everything after STX up to the end character; a downlink (block id a
    // digit) opens it with its message number and flight number.
    std::span<const uint8_t> text = chars.subspan(0, chars.size() - 1);
    text = text.subspan(std::min(text.size(), static_cast<size_t>(kTextStartPos)));
    if (blockId >= '0' && blockId <= '9') {
        const size_t msgno = std::min(text.size(), static_cast<size_t>(kMessageNumberChars));
        const size_t flight = std::min(text.size() - msgno, static_cast<size_t>(kFlightChars));
        o.sjis("flight", text.subspan(msgno, flight));
        o.sjis("msgno", text.subspan(0, msgno));
        text = text.subspan(msgno + flight);
    }
    if (!text.empty())
        o.sjis("text", text);
    // "end" says more blocks follow: the block closes with ETB.
    if (!info.endIsEtx)
        o.boolean("end", true);

    o.key("app");
    ObjectWriter app(line);
    app.string("name", station.programName);
    app.string("ver", station.version);
    app.close();
    o.close();
    line.push_back('\n');
    return line;
}

std::optional<std::string> capturedFrameFeedLine(const CapturedFrame& frame, std::optional<double> freqMhz,
                                                 const QDateTime& time, const FeedStation& station)
{
    FeedFrameInfo info;
    info.channel = frame.channel;
    info.endIsEtx = frame.endIsEtx;
    info.repairedBits = frame.repairedBits;
    info.freqMhz = freqMhz;
    info.levelDb = frame.levelDb;
    return formatFeedLine(feedFrameChars(frame), info, time, station);
}

} // namespace varnesk
