// Block decoder: size limits, field split, flight-number normalisation and
// validation, chat lines, uplink addresses, mode characters and SourceTag.
#include "decode_rig.h"

#include <gtest/gtest.h>

#include <memory>

using namespace varnesk;
using namespace varnesk::testing;

namespace {

class BlockDecoderTest : public ::testing::Test {
protected:
    DecodeRig rig{0};
};

// The identity line of the last processed-view entry.
std::string identityLine(const std::string& entry)
{
    const size_t a = entry.find("\r\n");
    const size_t b = entry.find("\r\n", a + 2);
    return entry.substr(a + 2, b - a - 2);
}

} // namespace

TEST_F(BlockDecoderTest, TwentyNineCharactersDecodedTwentyEightDropped)
{
    // 29 characters: start (5) + header (23) + end, no text.
    const std::string shortest = downlink(".JA8089", "M01A", "JL0012", "");
    ASSERT_EQ(shortest.size(), 29u);
    rig.feed(shortest);
    ASSERT_EQ(rig.entries.size(), 1u);
    EXPECT_EQ(rig.entries[0], "[Lch]" + rig.dateTime() + ">+*<SYN><SYN><SOH>2.JA8089<NAK>H11<STX>M01AJL0012<ETX>\r\n");

    std::string tooShort = shortest;
    tooShort.erase(27, 1); // 28 characters
    rig.feed(tooShort);
    EXPECT_EQ(rig.entries.size(), 1u);
}

TEST_F(BlockDecoderTest, FrameLongerThanItsSlotsIsDropped)
{
    const std::string block = downlink(".JA8089", "M01A", "JL0012", "TEXT");
    const std::vector<int32_t> frame = makeFrame(block);
    BlockDecoder& decoder = rig.decode().decoder;
    const BlockContext net = BlockContext::line(kTagNet);
    decoder.DecodeBlock(net, frame, static_cast<int32_t>(frame.size() * 8 + 64), 1);
    decoder.DecodeBlock(net, std::span<const int32_t>(frame.data(), 40), static_cast<int32_t>(block.size() * 8 + 16),
                        1);
    decoder.DecodeBlock(net, frame, -80, 1);
    EXPECT_TRUE(rig.entries.empty());
    EXPECT_EQ(decoder.counts(FrameSource::Network).tooShort, 3u);
}

TEST_F(BlockDecoderTest, AddressLosesLeadingDots)
{
    rig.settings().setInteger(Key::TxtType, 1);
    rig.feed(downlink("...JA01", "M01A", "JL0012", "ONE"));
    rig.feed(downlink(".......", "M01A", "JL0013", "TWO"));
    rig.feed(downlink("JA.8089", "M01A", "JL0014", "THREE"));
    ASSERT_EQ(rig.entries.size(), 3u);
    EXPECT_EQ(identityLine(rig.entries[0]), "JL0012 (JA01)      [H1:1:M01A] MODE:2   ");
    EXPECT_EQ(identityLine(rig.entries[1]), "JL0013 ()          [H1:1:M01A] MODE:2   ");
    EXPECT_EQ(identityLine(rig.entries[2]), "JL0014 (JA.8089)   [H1:1:M01A] MODE:2   ");
}

TEST_F(BlockDecoderTest, FlightNumberNormalisation)
{
    struct Case {
        const char* name;
        std::string_view flight;
        bool convJD;
        bool convJC;
        std::string_view want; // empty: the block is dropped
    };
    const Case cases[] = {
        {"two digits", "JL12  ", false, false, "JL0012"},
        {"three digits", "NH123 ", false, false, "NH0123"},
        {"inner space", "JL1 2 ", false, false, "JL0102"},
        {"JD on", "JD0123", true, false, "JL0123"},
        {"JD off", "JD0123", false, false, "JD0123"},
        {"00 on", "000123", false, true, "JC0123"},
        {"00 off", "000123", false, false, "000123"},
        {"JD and 00 both on, only JD applies", "JD0123", true, true, "JL0123"},
        {"letters", "JL12AB", true, true, ""},
        {"letter in third place", "JLA123", false, false, ""},
    };
    rig.settings().setInteger(Key::TxtType, 1);
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rig.settings().setBoolean(Key::ConvJD, c.convJD);
        rig.settings().setBoolean(Key::ConvJC, c.convJC);
        rig.entries.clear();
        // A registration per case, so no block is a repeat of another.
        std::string reg = ".JA800" + std::to_string(n++ % 10);
        reg = reg.substr(reg.size() - 7);
        rig.feed(downlink(reg, "M01A", c.flight, "TEXT"));
        if (c.want.empty()) {
            EXPECT_TRUE(rig.entries.empty());
        } else {
            ASSERT_EQ(rig.entries.size(), 1u);
            EXPECT_EQ(identityLine(rig.entries[0]).substr(0, 6), c.want);
        }
    }
}

TEST_F(BlockDecoderTest, InvalidFlightIsNeitherShownNorLogged)
{
    rig.settings().setBoolean(Key::TxtLog, true);
    for (int view : {0, 1, 2}) {
        rig.settings().setInteger(Key::TxtType, view);
        rig.feed(downlink(".JA8089", "M01A", "JL12AB", "TEXT"));
    }
    EXPECT_TRUE(rig.entries.empty());
    EXPECT_TRUE(rig.windowText().empty());
    EXPECT_FALSE(rig.exists(QStringLiteral("logs/text.log")));
    EXPECT_EQ(rig.pipeline().tracking().list().rowCount(), 0);
    // A valid block from the same aircraft is listed.
    rig.feed(downlink(".JA8089", "M02A", "JL0012", "TEXT"));
    EXPECT_EQ(rig.pipeline().tracking().list().rowCount(), 1);
    // ModeStation is still taken from the mode character, as for every block.
    EXPECT_EQ(rig.decode().decoder.modeStation(), "BROADCAST");
}

TEST_F(BlockDecoderTest, ChatLineGoesToTheChatHistoryOnly)
{
    rig.settings().setBoolean(Key::Chat, true);
    std::string chat = "[CHAT]hello";
    chat.push_back(kEtx);
    rig.feed(chat, "NET");
    EXPECT_EQ(rig.pipeline().network().chatHistory(), "hello\r\n");
    EXPECT_EQ(rig.decode().decoder.rawText(), "[CHAT]hello<ETX>");
    EXPECT_TRUE(rig.entries.empty());
    EXPECT_TRUE(rig.windowText().empty());

    // Chat off: nothing is kept.
    rig.settings().setBoolean(Key::Chat, false);
    rig.feed(chat, "NET");
    EXPECT_EQ(rig.pipeline().network().chatHistory(), "hello\r\n");
}

TEST_F(BlockDecoderTest, ChatHistoryStaysBelowMaxBytes)
{
    rig.settings().setBoolean(Key::Chat, true);
    rig.settings().setInteger(Key::MaxBytes, 1000);
    std::string chat = "[CHAT]" + std::string(95, 'x');
    chat.push_back(kEtx);
    for (int i = 0; i < 30; ++i)
        rig.feed(chat, "NET");
    EXPECT_EQ(rig.pipeline().network().chatHistory().size(), 999u);
    EXPECT_TRUE(rig.pipeline().network().chatHistory().ends_with(std::string(95, 'x') + "\r\n"));
}

TEST_F(BlockDecoderTest, SquitterUplinkIsShownAndLoggedUnderUplink)
{
    rig.settings().setInteger(Key::TxtType, 1);
    rig.settings().setBoolean(Key::TxtLog, true);
    rig.feed(uplink(".JA8089", 'A', "02XAHNDRJTTH", kEtx, "SQ", 'm'));
    ASSERT_EQ(rig.entries.size(), 1u);
    EXPECT_EQ(identityLine(rig.entries[0]), "HANEDA  (Uplink)    [SQ:A] MODE:m   ");
    EXPECT_NE(rig.readFile(QStringLiteral("logs/text.log")).find("HANEDA  (Uplink)"), std::string::npos);
}

TEST_F(BlockDecoderTest, UplinkTextStartsAfterStx)
{
    // An uplink has no message number or flight: all of its text, from the
    // character after STX, reaches the processed views.
    rig.settings().setInteger(Key::TxtType, 2);
    const std::string shortest = uplink(".JA8089", 'A', "0123456789");
    ASSERT_EQ(shortest.size(), 29u);
    rig.feed(shortest);
    rig.feed(uplink(".JA8089", 'B', "012345678")); // 28 characters: dropped
    ASSERT_EQ(rig.entries.size(), 1u);
    EXPECT_TRUE(rig.entries[0].ends_with("MODE:m   \r\n0123456789\r\n")) << rig.entries[0];
}

TEST_F(BlockDecoderTest, UplinkFieldsReplaceDel)
{
    rig.settings().setInteger(Key::TxtType, 1);
    rig.feed(uplink("..\x7FJA01", '\x7F', "UPLINK TEXT", kEtx, "_\x7F", 'm'));
    rig.feed(uplink("..JA002", '\0', "UPLINK TEXT", kEtx, "H1", 'm'));
    ASSERT_EQ(rig.entries.size(), 2u);
    EXPECT_EQ(identityLine(rig.entries[0]), "HANEDA  (-JA01)     [_-:-] MODE:m   ");
    EXPECT_EQ(identityLine(rig.entries[1]), "HANEDA  (JA002)     [H1:-] MODE:m   ");
}

TEST_F(BlockDecoderTest, ModeCharacterSelectsTheGroundStation)
{
    struct Case {
        char mode;
        std::string_view want;
    };
    const Case cases[] = {{'Z', "----"},   {'z', "----"},      {'2', "BROADCAST"}, {'M', "HANEDA"},
                          {'m', "HANEDA"}, {'G', "HAKODATE "}, {'!', "HAKODATE "}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, c.mode));
        const std::string reg = ".JA800" + std::to_string(n++);
        rig.feed(downlink(reg, "M01A", "JL0012", "TEXT", kEtx, "H1", c.mode));
        EXPECT_EQ(rig.decode().decoder.modeStation(), c.want);
    }
}

TEST_F(BlockDecoderTest, UnknownModeBeforeAnyStationLeavesItEmpty)
{
    rig.feed(downlink(".JA8089", "M01A", "JL0012", "TEXT", kEtx, "H1", '#'));
    EXPECT_EQ(rig.decode().decoder.modeStation(), "");
    EXPECT_EQ(rig.entries.size(), 1u);
}

TEST_F(BlockDecoderTest, EachBlockCarriesItsOwnSourceTag)
{
    // A dropped frame of one source leaves nothing behind for the next
    // block of another: every entry names its own block's source.
    rig.settings().setInteger(Key::TxtType, 0);
    rig.feed(downlink(".JA8089", "M01A", "JL12AB", "TEXT"), "Rch"); // invalid flight number: dropped
    rig.feed(downlink(".JA8089", "M01A", "JL0012", "TEXT"), "NET");
    rig.feed(downlink(".JA8090", "M01A", "JL0013", "TEXT"), "Rch");
    ASSERT_EQ(rig.entries.size(), 2u);
    EXPECT_TRUE(rig.entries[0].starts_with("[NET]"));
    EXPECT_TRUE(rig.entries[1].starts_with("[Rch]"));
    EXPECT_EQ(rig.decode().decoder.counts(FrameSource::Right).badFlight, 1u);
    EXPECT_EQ(rig.decode().decoder.counts(FrameSource::Right).downlinks, 1u);
    EXPECT_EQ(rig.decode().decoder.counts(FrameSource::Network).downlinks, 1u);
}

TEST_F(BlockDecoderTest, LongNetworkBlockKeepsItsWholeText)
{
    rig.settings().setInteger(Key::TxtType, 2);
    std::string text;
    for (int i = 0; text.size() < 480; ++i)
        text += "ABCDEFGHIJ"[i % 10];
    rig.feed(downlink(".JA8089", "M01A", "JL0012", text), "NET");
    ASSERT_EQ(rig.entries.size(), 1u);
    EXPECT_NE(rig.entries[0].find(text + "\r\n"), std::string::npos);
}

TEST_F(BlockDecoderTest, RandomFramesNeverOverrun)
{
    // Random slot values (not only 0 and 1), lengths and bit counts, in every
    // view with the log on: nothing may read or write out of bounds.
    rig.settings().setBoolean(Key::TxtLog, true);
    rig.settings().setBoolean(Key::Chat, true);
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int i = 0; i < 3000; ++i) {
        rig.settings().setInteger(Key::TxtType, static_cast<int>(next() % 3));
        std::string chars(kStart);
        const size_t n = next() % 600;
        for (size_t k = 0; k < n; ++k)
            chars.push_back(static_cast<char>(next() % 4 == 0 ? '.' : next()));
        std::vector<int32_t> frame = makeFrame(chars);
        if (i % 7 == 0)
            for (int32_t& s : frame)
                s = static_cast<int32_t>((next() << 8) ^ next());
        const auto bits = static_cast<int32_t>(i % 5 == 0 ? next() % 8000 : chars.size() * 8 + 16);
        rig.decode().decoder.DecodeBlock(BlockContext::line(kTagNet), frame, bits, static_cast<uint8_t>(next() % 2));
    }
    EXPECT_LT(rig.windowText().size(), 10000u);
}
