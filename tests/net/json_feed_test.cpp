// The feed line of one frame: every field of generated and off-air blocks,
// the exact bytes of one line, and valid JSON (to Qt's parser and to
// python's) with text that round-trips for every text byte and byte pair.
#include "../decode/decode_rig.h"
#include "acars/json_feed.h"
#include "acars/sjis.h"
#include "program_version.h"

#include "acars_signal.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace varnesk {
namespace {

using testing::makeFrame;

const QDateTime kTime = QDateTime::fromMSecsSinceEpoch(1765359296789, Qt::UTC);

// The frame as the receiver hands it over, back to its characters.
std::vector<uint8_t> charsOf(std::string_view chars)
{
    const std::vector<int32_t> slots = makeFrame(chars);
    CapturedFrame frame;
    frame.slots = slots;
    frame.bitCount = static_cast<int>(chars.size()) * 8 + 16;
    return feedFrameChars(frame);
}

std::span<const uint8_t> bytes(std::string_view s)
{
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

QJsonObject parse(const std::string& line)
{
    EXPECT_TRUE(line.ends_with('\n'));
    EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line";
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << line;
    EXPECT_TRUE(doc.isObject()) << line;
    return doc.object();
}

QJsonObject json(const char* text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
}

TEST(JsonFeed, EveryFieldOfBlocks)
{
    const QString app = QStringLiteral(R"(,"app":{"name":"varnesk","ver":"%1"}})")
                            .arg(QString::fromLatin1(kProgramVersion.data(), kProgramVersion.size()));
    auto want = [&](const char* fields) { return json((fields + app.toStdString()).c_str()); };
    gen::BlockSpec down;
    down.text = "M01AJL0012POS N3540.1E13945.2,123456\r\n";
    gen::BlockSpec more = down;
    more.etx = false;
    more.text = "M02AJL0012";
    gen::BlockSpec up;
    up.mode = 'm';
    up.address = "..JA803";
    up.ack = '3';
    up.label = "_\x7f";
    up.blockId = 'B';
    up.text = "UPLINK \"QUOTED\" \\ TEXT";
    gen::BlockSpec squitter;
    squitter.mode = '2';
    squitter.address = ".......";
    squitter.label = "SQ";
    squitter.blockId = '0';
    squitter.ack = 'a';
    squitter.text = "02XAHND";
    struct Case {
        const char* name;
        std::string chars;
        FeedFrameInfo info;
        std::string stationId;
        QJsonObject want;
    };
    const std::vector<Case> cases = {
        {"downlink, left, frequency known",
         gen::blockChars(down),
         {0, true, 0, 131.45, std::nullopt},
         "",
         want(R"({"timestamp":1765359296.789,"channel":0,"freq":131.45,"error":0,"mode":"2","label":"H1",
                  "block_id":"1","ack":false,"tail":"JA8089","flight":"JL0012","msgno":"M01A",
                  "text":"POS N3540.1E13945.2,123456\r\n")")},
        {"downlink, ETB, right, repaired, level and station",
         gen::blockChars(more),
         {1, false, 3, 131.95, -12.5},
         "RJTT-1",
         want(R"({"timestamp":1765359296.789,"station_id":"RJTT-1","channel":1,"freq":131.95,"level":-12.5,
                  "error":3,"mode":"2","label":"H1","block_id":"1","ack":false,"tail":"JA8089",
                  "flight":"JL0012","msgno":"M02A","end":true)")},
        {"uplink, letter block id: no flight",
         gen::blockChars(up),
         {0, true, 0, std::nullopt, std::nullopt},
         "",
         want(R"({"timestamp":1765359296.789,"channel":0,"freq":0.0,"error":0,"mode":"m","label":"_d","block_id":"B",
                  "ack":"3","tail":"JA803","text":"UPLINK \"QUOTED\" \\ TEXT")")},
        {"squitter, all dots",
         gen::blockChars(squitter),
         {0, true, 0, std::nullopt, std::nullopt},
         "",
         want(R"({"timestamp":1765359296.789,"channel":0,"freq":0.0,"error":0,"mode":"2","label":"SQ","block_id":"0",
                  "ack":"a","tail":"","flight":"HND","msgno":"02XA")")},
        // Off the air: the shortest block, no STX and no text.
        {"no text",
         std::string(testing::kStart)
             + "x.LN-DYY5_\x7f"
               "A\x03",
         {0, true, 0, std::nullopt, std::nullopt},
         "",
         want(R"({"timestamp":1765359296.789,"channel":0,"freq":0.0,"error":0,"mode":"x","label":"_d","block_id":"A",
                  "ack":"5","tail":"LN-DYY")")},
        {"station id in Shift-JIS",
         gen::blockChars(more),
         {0, false, 0, std::nullopt, std::nullopt},
         "\x93\x8c\x8b\x9e", // 東京
         want(R"({"timestamp":1765359296.789,"station_id":"東京","channel":0,"freq":0.0,"error":0,"mode":"2",
                  "label":"H1","block_id":"1","ack":false,"tail":"JA8089","flight":"JL0012","msgno":"M02A",
                  "end":true)")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.want.isEmpty());
        const std::optional<std::string> line =
            formatFeedLine(charsOf(c.chars), c.info, kTime, FeedStation{c.stationId, "varnesk", kProgramVersion});
        ASSERT_TRUE(line);
        EXPECT_EQ(parse(*line), c.want) << *line;
    }
}

TEST(JsonFeed, LineBytesInTheirOrder)
{
    gen::BlockSpec block;
    block.text = "M01AJL0012\tHI";
    FeedFrameInfo info{1, true, 2, 131.45, -7.3};
    const std::optional<std::string> line =
        formatFeedLine(charsOf(gen::blockChars(block)), info, kTime, FeedStation{"ST", "varnesk", "9.8.7"});
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, R"({"timestamp":1765359296.789,"station_id":"ST","channel":1,"freq":131.450,"level":-7.3,)"
                     R"("error":2,"mode":"2","label":"H1","block_id":"1","ack":false,"tail":"JA8089",)"
                     R"("flight":"JL0012","msgno":"M01A","text":"\tHI",)"
                     R"("app":{"name":"varnesk","ver":"9.8.7"}})"
                     "\n");
}

TEST(JsonFeed, ShortFramesAndUnmeasurableValues)
{
    const std::string shortest = std::string(testing::kStart)
                                 + "x.LN-DYY5_\x7f"
                                   "A\x03";
    EXPECT_TRUE(formatFeedLine(bytes(shortest), {}, kTime, {}));
    EXPECT_FALSE(formatFeedLine(bytes(shortest).first(kFeedMinChars - 1), {}, kTime, {}));
    EXPECT_FALSE(formatFeedLine({}, {}, kTime, {}));
    // A bit count beyond the slots reads only the slots there are.
    const std::vector<int32_t> slots = makeFrame(shortest);
    CapturedFrame frame;
    frame.slots = slots;
    frame.bitCount = 100000;
    EXPECT_EQ(feedFrameChars(frame).size(), slots.size() / 8);
    frame.bitCount = -5;
    EXPECT_TRUE(feedFrameChars(frame).empty());

    // NaN, infinities and absurd values are no measurement: the frequency is
    // then unknown (0.0, as every reader requires one), the level left out;
    // never written as something that is not a JSON number.
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Bad {
        double freqMhz;
        double levelDb;
    };
    for (const Bad bad :
         {Bad{nan, nan}, Bad{inf, inf}, Bad{-inf, -inf}, Bad{1e300, 1e300}, Bad{-1.0, -1e300}, Bad{0.0, 1e20}}) {
        SCOPED_TRACE(bad.freqMhz);
        FeedFrameInfo info;
        info.freqMhz = bad.freqMhz;
        info.levelDb = bad.levelDb;
        const std::optional<std::string> line = formatFeedLine(bytes(shortest), info, kTime, {});
        ASSERT_TRUE(line);
        const QJsonObject o = parse(*line);
        EXPECT_TRUE(o.value(QStringLiteral("freq")).isDouble());
        EXPECT_EQ(o.value(QStringLiteral("freq")).toDouble(), 0.0);
        EXPECT_NE(line->find(R"("freq":0.0,)"), std::string::npos) << *line;
        EXPECT_FALSE(o.contains(QStringLiteral("level")));
    }
}

// Every byte in every field, and every pair of bytes as a text: each line
// is one JSON object, and the text reads back as its Shift-JIS conversion.
TEST(JsonFeed, AnyBytesGiveValidJsonAndTheTextRoundTrips)
{
    std::vector<std::string> lines;
    std::vector<std::string> texts;
    auto add = [&](std::string_view chars, std::string_view text) {
        const std::optional<std::string> line =
            formatFeedLine(bytes(chars), {}, kTime, {"\x82\xa0\"\\", "varnesk", "1"});
        ASSERT_TRUE(line);
        lines.push_back(*line);
        texts.emplace_back(text);
    };
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        // Mode, address, acknowledgement, label and block id all the byte;
        // a digit block id makes the first ten text bytes message and flight numbers.
        std::string chars(testing::kStart);
        chars += std::string(1, c) + std::string(7, c) + c + c + c + c + '\x02';
        const std::string text = "0123456789" + std::string(3, c) + "A";
        add(chars + text + '\x03', b >= '0' && b <= '9' ? text.substr(10) : text);
    }
    for (int hi = 0; hi < 256; ++hi)
        for (int lo = 0; lo < 256; ++lo) {
            const std::string text{static_cast<char>(hi), static_cast<char>(lo)};
            add(std::string(testing::kStart) + "m.JA8089AH1B\x02" + text + '\x17', text);
        }

    int roundTrips = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const QJsonObject o = parse(lines[i]);
        if (HasFailure())
            FAIL() << "line " << i;
        const QString text = o.value(QStringLiteral("text")).toString();
        const QString want = sjisToQString(texts[i]);
        ASSERT_EQ(text, want) << lines[i];
        if (!want.contains(QChar::ReplacementCharacter)) {
            // CP932 gives some characters two codes (NEC-selected IBM
            // extensions): the bytes back are the same text, mostly the same bytes.
            const std::string back = qstringToSjis(text);
            ASSERT_EQ(sjisToQString(back), text) << lines[i];
            roundTrips += back == texts[i];
        }
        ASSERT_EQ(o.value(QStringLiteral("station_id")).toString(), QStringLiteral("あ\"\\"));
    }
    // 45,926 of the 65,792 texts come back byte for byte: most pairs are two
    // single-byte characters or one double-byte character.
    EXPECT_GT(roundTrips, 45000);

    // A second, independent parser: python's json, strict about control characters.
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("feed.jsonl")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    for (const std::string& line : lines)
        file.write(line.data(), static_cast<qint64>(line.size()));
    file.close();
    QProcess python;
    python.start(QStringLiteral(VARNESK_PYTHON),
                 {QStringLiteral("-c"),
                  QStringLiteral("import json,sys\n"
                                 "n=0\n"
                                 "for raw in open(sys.argv[1],'rb').read().split(b'\\n')[:-1]:\n"
                                 "    o=json.loads(raw.decode('utf-8','strict'))\n"
                                 "    assert isinstance(o,dict) and isinstance(o['text'],str), raw\n"
                                 "    n+=1\n"
                                 "print(n)\n"),
                  file.fileName()});
    ASSERT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    EXPECT_EQ(python.readAllStandardOutput().trimmed().toStdString(), std::to_string(lines.size()));
}

} // namespace
} // namespace varnesk
