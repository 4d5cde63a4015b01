// The JSON feed line of any frame. Input: one option byte (bit 0 the right
// channel, bit 1 ETX, bits 2-3 frequency and level known, bits 4-7 repaired
// bits), then the frame's characters and, after "#%#", the station id. The
// characters go into a BitFrame (slot 6 carries the top two bits, as in
// frames from network lines) and back. Every line must be one valid JSON
// object in valid UTF-8 with no raw control character.
#include "fuzz_support.h"

#include "acars/json_feed.h"
#include "decode/acars_block.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <array>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace varnesk;
    fuzz::Input in(data, size);
    const uint8_t options = in.byte();
    const std::vector<std::string_view> parts = in.parts();
    const std::string_view chars = parts[0].substr(0, kMaxFrameChars);

    std::vector<int32_t> slots((chars.size() + 2) * kSlotsPerChar, 0);
    for (size_t c = 0; c < chars.size(); ++c) {
        const auto v = static_cast<uint8_t>(chars[c]);
        for (int t = 0; t < 6; ++t)
            slots[c * kSlotsPerChar + static_cast<size_t>(t)] = (v >> t) & 1;
        slots[c * kSlotsPerChar + 6] = v >> 6;
    }
    CapturedFrame frame;
    frame.slots = slots;
    frame.bitCount = static_cast<int>(chars.size()) * 8 + 16;
    const std::vector<uint8_t> rebuilt = feedFrameChars(frame);
    if (rebuilt.size() != chars.size()
        || !std::equal(rebuilt.begin(), rebuilt.end(), chars.begin(),
                       [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); }))
        fuzz::fail("frame characters not rebuilt");

    FeedFrameInfo info;
    info.channel = options & 1;
    info.endIsEtx = (options & 2) != 0;
    if (options & 4)
        info.freqMhz = 131.0 + options / 256.0;
    if (options & 8)
        info.levelDb = -options / 3.0;
    info.repairedBits = options >> 4;
    FeedStation station;
    if (parts.size() > 1)
        station.stationId = std::string(parts[1]);
    station.version = "0.0.0";
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(1765359296789LL + options * 1000003LL, Qt::UTC);

    const std::optional<std::string> line = formatFeedLine(rebuilt, info, time, station);
    if (!line) {
        if (chars.size() >= static_cast<size_t>(kFeedMinChars))
            fuzz::fail("a frame long enough gave no line");
        return 0;
    }
    if (chars.size() < static_cast<size_t>(kFeedMinChars))
        fuzz::fail("a short frame gave a line");
    if (line->empty() || line->back() != '\n')
        fuzz::fail("line without its newline");
    const std::string_view body(line->data(), line->size() - 1);
    for (const char c : body)
        if (static_cast<uint8_t>(c) < 0x20)
            fuzz::fail("raw control character in the line");
    const QByteArray bytes(body.data(), static_cast<qsizetype>(body.size()));
    if (QString::fromUtf8(bytes).toUtf8() != bytes)
        fuzz::fail("line is not valid UTF-8");
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        fuzz::fail("line is not one JSON object");
    const QJsonObject o = doc.object();
    if (!o.value(QStringLiteral("timestamp")).isDouble() || o.value(QStringLiteral("channel")).toInt(-1) != info.channel
        || !o.value(QStringLiteral("label")).isString() || !o.value(QStringLiteral("app")).isObject())
        fuzz::fail("fields missing or of the wrong type");
    return 0;
}
