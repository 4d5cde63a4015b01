// Line intake and RAW log records: lines found in text, their frames, the
// names turned back into characters, and a RAW log decoded again.
#include "acars/line_codec.h"
#include "net/line_intake.h"
#include "net/raw_record_reader.h"

#include "../decode/decode_rig.h"

#include <gtest/gtest.h>

using namespace varnesk;
using namespace varnesk::testing;

namespace {

std::string encode(std::string_view chars)
{
    std::string out;
    for (char c : chars)
        out.push_back(static_cast<char>(encodeLineChar(static_cast<uint8_t>(c))));
    return out;
}

class IntakeTest : public ::testing::Test {
protected:
    DecodeRig rig{0};
    NetLineIntake& intake() { return rig.decode().intake; }
};

} // namespace

TEST_F(IntakeTest, TwoLinesInOneChunkInOrder)
{
    const std::string text = "noise" + encode(downlink(".JA0001", "M01A", "JL0001", "ONE")) + "\x20\x30"
                             + encode(downlink(".JA0002", "M01A", "JL0002", "TWO", kEtb));
    intake().LineIntake(text);
    ASSERT_EQ(rig.entries.size(), 2u);
    EXPECT_TRUE(rig.entries[0].starts_with("[NET]"));
    EXPECT_TRUE(rig.entries[0].ends_with("ONE<ETX>\r\n"));
    EXPECT_TRUE(rig.entries[1].starts_with("[NET]"));
    EXPECT_TRUE(rig.entries[1].ends_with("TWO<ETB>\r\n"));
}

TEST_F(IntakeTest, RelayedLineWithTwoMoreCharactersAndAZeroByte)
{
    // A relayed line carries two BCS positions after the end character; a
    // zero byte ends the text.
    std::string text = encode(downlink(".JA0001", "M01A", "JL0001", "ONE")) + "\x41\x42";
    text.push_back('\0');
    text += encode(downlink(".JA0002", "M01A", "JL0002", "TWO"));
    intake().LineIntake(text);
    ASSERT_EQ(rig.entries.size(), 1u);
    EXPECT_TRUE(rig.entries[0].ends_with("ONE<ETX>\r\n"));
}

TEST_F(IntakeTest, UnfinishedLineIsDropped)
{
    std::string line = encode(downlink(".JA0001", "M01A", "JL0001", "ONE"));
    line.pop_back();
    intake().LineIntake(line);
    intake().LineIntake(encode("<ETX>"));
    EXPECT_TRUE(rig.entries.empty());
}

TEST_F(IntakeTest, LinesBeyondTheFirstThousandBytesAreStillRead)
{
    // Many lines in one 4 KB chunk: all of them reach the decoder, also those
    // that end past byte 1000.
    std::string text;
    int lines = 0;
    while (text.size() < 3500) {
        text += encode(downlink(".JA" + std::to_string(1000 + lines), "M01A", "JL0001", std::string(60, 'x')));
        ++lines;
    }
    intake().LineIntake(text);
    EXPECT_EQ(static_cast<int>(rig.entries.size()), lines);
}

TEST_F(IntakeTest, EndCharacterAtTheVeryEnd)
{
    const std::string line = encode(downlink(".JA0001", "M01A", "JL0001", "ONE"));
    for (const std::string& text : {line, line + "ab", line + "abcd"}) {
        rig.entries.clear();
        intake().LineIntake(text);
        EXPECT_EQ(rig.entries.size(), 1u);
    }
}

TEST_F(IntakeTest, LineWithoutEndWithin512CharactersIsDropped)
{
    const std::string longLine = encode(std::string(kStart) + std::string(600, 'x'));
    intake().LineIntake(longLine + encode(downlink(".JA0001", "M01A", "JL0001", "AFTER")));
    ASSERT_EQ(rig.entries.size(), 1u);
    EXPECT_TRUE(rig.entries[0].ends_with("AFTER<ETX>\r\n"));

    // A text of 511 characters plus the end character is still taken.
    rig.entries.clear();
    rig.settings().setInteger(Key::TxtType, 2);
    const std::string block = downlink(".JA0002", "M01A", "JL0001", std::string(511 - 28, 'y'));
    ASSERT_EQ(block.size(), 512u);
    intake().LineIntake(encode(block));
    EXPECT_EQ(rig.entries.size(), 1u);
}

TEST_F(IntakeTest, ChatLineFrame)
{
    rig.settings().setBoolean(Key::Chat, true);
    std::string chat = "[CHAT]abcde>fghij";
    chat.push_back(kEtx);
    ASSERT_EQ(chat.size(), 18u);
    intake().LineIntake(encode(chat));
    EXPECT_EQ(rig.decode().decoder.rawText(), "[CHAT]abcde>fghij<ETX>");
    EXPECT_EQ(rig.pipeline().network().chatHistory(), "abcde>fghij\r\n");
}

TEST_F(IntakeTest, ShiftJisChatTextSurvives)
{
    rig.settings().setBoolean(Key::Chat, true);
    std::string chat = "[CHAT]";
    chat += "\x82\xA0\x93\xFA"; // Shift-JIS bytes
    chat.push_back(kEtx);
    intake().LineIntake(encode(chat));
    EXPECT_EQ(rig.pipeline().network().chatHistory(), "\x82\xA0\x93\xFA\r\n");
}

TEST_F(IntakeTest, RawTagIsKept)
{
    intake().LineIntake(encode(downlink(".JA0001", "M01A", "JL0001", "ONE")), kTagRaw);
    ASSERT_EQ(rig.entries.size(), 1u);
    EXPECT_TRUE(rig.entries[0].starts_with("[RAW]"));
}

TEST(RawRecordReader, RecordsEndAtEndNames)
{
    RawRecordReader r;
    const std::string_view text = "[Lch]2026/12/10 1:2:3>+*<SYN><SYN><SOH>2.JA1234<ETX>\r\r\nrest";
    std::vector<std::string> lines;
    for (char c : text)
        if (r.push(static_cast<uint8_t>(c)))
            lines.emplace_back(r.line());
    r.finish();
    lines.emplace_back(r.line());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], encode("[Lch]2026/12/10 1:2:3>+*\x16\x16\x01"
                               "2.JA1234\x03"));
    EXPECT_EQ(lines[1], encode("\r\r\nrest"));
}

TEST(RawRecordReader, NameConversion)
{
    struct Case {
        const char* name;
        std::string_view record;
        std::string want;
    };
    const Case cases[] = {
        {"five and four", "<SOH><VF><CR><DEL><US>", std::string("\x01\x0A\x0D\x7F\x1F", 5)},
        {"not a name", "<LF><XYZ>", "<LF><XYZ>"},
        {"every 5", "<NUL><STX><EOT><ENQ><ACK><BEL><DLE><DC1><DC2><DC3><DC4><NAK><CAN><SUB><ESC>",
         std::string("\x00\x02\x04\x05\x06\x07\x10\x11\x12\x13\x14\x15\x18\x1A\x1B", 15)},
        {"every 4", "<BS><HT><VT><FF><SO><SI><EM><FS><GS><RS>",
         std::string("\x08\x09\x0B\x0C\x0E\x0F\x19\x1C\x1D\x1E", 10)},
        {"cut name", "<ET", "<ET"},
        {"Shift-JIS", "\x82\xA0", "\x82\xA0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string line;
        RawRecordReader::convertRecord(c.record, line);
        EXPECT_EQ(line, encode(c.want));
        EXPECT_EQ(line.find('\0'), std::string::npos);
    }
}

TEST(RawRecordReader, LongRecordEndsAt4096Bytes)
{
    RawRecordReader r;
    int ended = 0;
    for (int i = 0; i < 5000; ++i)
        ended += r.push('x') ? 1 : 0;
    EXPECT_EQ(ended, 1);
    // An end byte 0xFF ends the record being collected.
    EXPECT_TRUE(r.push(0xFF));
    EXPECT_EQ(r.line().size(), 5000u - 4096u);
}

TEST_F(IntakeTest, RawLogDecodedAgainGivesTheSameEntries)
{
    // Decode in the RAW view with the log on, then import that log in the
    // PRC view: the entries match those of decoding the blocks directly.
    rig.settings().setBoolean(Key::TxtLog, true);
    const std::vector<std::string> blocks = {
        downlink(".JA8089", "M01A", "JL0012", "FIRST\r\n", kEtb), downlink(".JA8089", "M01B", "JL0012", "M01BSECOND"),
        downlink(".JA8089", "M01B", "JL0012", "M01BSECOND"),      uplink(".JA8089", 'A', "UPLINK TEXT"),
        downlink(".JA8090", "M05A", "NH123 ", "", kEtx, "Q0"),
    };
    for (const std::string& b : blocks)
        rig.feed(b);
    const QString log = rig.dir() + QStringLiteral("/logs/text.log");

    DecodeRig direct{1};
    for (const std::string& b : blocks)
        direct.feed(b, "RAW");

    rig.settings().setInteger(Key::TxtType, 1);
    rig.decode().sequencer.reset();
    rig.entries.clear();
    int records = 0;
    ASSERT_TRUE(rig.decode().import.importFile(log, [&] { return ++records > 0; }));
    EXPECT_EQ(rig.entries, direct.entries);
    EXPECT_TRUE(rig.decode().import.ImportFileName().empty());
    EXPECT_EQ(rig.decode().import.unreadableRecords(), 0u);
    // The import guard sent the new entries to text_c.log.
    EXPECT_NE(rig.readFile(QStringLiteral("logs/text_c.log")).find("Combine Message"), std::string::npos);
    EXPECT_EQ(records, 6); // five blocks and the rest after the last one
}

TEST_F(IntakeTest, ImportCancelAndMissingFile)
{
    rig.settings().setBoolean(Key::TxtLog, true);
    for (int i = 0; i < 3; ++i)
        rig.feed(downlink(".JA" + std::to_string(8000 + i), "M01A", "JL0012", "T"));
    rig.entries.clear();
    int records = 0;
    RawImport& import = rig.decode().import;
    import.importFile(rig.dir() + QStringLiteral("/logs/text.log"), [&] { return ++records < 2;
});
EXPECT_EQ(records, 2);
EXPECT_EQ(rig.entries.size(), 2u);
EXPECT_TRUE(import.ImportFileName().empty());
EXPECT_FALSE(import.importFile(rig.dir() + QStringLiteral("/logs/none.log")));
EXPECT_TRUE(import.ImportFileName().empty());
}

TEST_F(IntakeTest, RandomTextAndRecords)
{
    rig.settings().setBoolean(Key::Chat, true);
    uint32_t seed = 777;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    const std::string start = encode(kStart);
    uint64_t handed = 0;
    for (int i = 0; i < 500; ++i) {
        std::string text;
        const size_t n = next() % 4096;
        while (text.size() < n) {
            if (next() % 64 == 0)
                text += start;
            text.push_back(static_cast<char>(next() % 255 + 1));
        }
        handed += static_cast<uint64_t>(intake().LineIntake(text));
    }
    // Every line handed on reached the decoder, which accounts for each one:
    // shown, chat, or dropped for a reason.
    const DecodeCounts& d = rig.decode().decoder.counts(FrameSource::Network);
    EXPECT_GT(handed, 0u);
    EXPECT_EQ(d.frames, handed);
    EXPECT_EQ(d.frames, d.downlinks + d.uplinks + d.chatLines + d.tooShort + d.badFlight);
    EXPECT_GT(intake().overlongLines() + intake().unfinishedLines(), 0u);
    EXPECT_LT(rig.windowText().size(), static_cast<size_t>(rig.settings().integer(Key::MaxBytes)));
}
