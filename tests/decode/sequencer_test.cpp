// Message sequencing: repeats, assembly, banners, filters and the views.
#include "decode/sequencer.h"

#include "decode_rig.h"

#include <gtest/gtest.h>

using namespace varnesk;
using namespace varnesk::testing;

namespace {

constexpr std::string_view kReg = ".JA8089";

class SequencerTest : public ::testing::Test {
protected:
    DecodeRig rig{1};

    // The body of an entry: everything after the identity line.
    static std::string body(const std::string& entry)
    {
        const size_t a = entry.find("\r\n");
        const size_t b = entry.find("\r\n", a + 2);
        return entry.substr(b + 2);
    }
};

} // namespace

TEST_F(SequencerTest, TwoBlocksCombine)
{
    rig.feed(downlink(kReg, "M01A", "JL0012", "FIRST PART\r\n", kEtb));
    rig.feed(downlink(kReg, "M01B", "JL0012", "M01BSECOND\r\n", kEtx));
    ASSERT_EQ(rig.entries.size(), 2u);
    // The buffering notice shows the first text with its trailing CR LF blanked.
    EXPECT_EQ(body(rig.entries[0]), std::string(kBannerBuffering) + "\r\nFIRST PART  \r\n");
    EXPECT_EQ(body(rig.entries[1]), std::string(kBannerCombine) + "\r\nFIRST PART\r\nSECOND\r\n\r\n");
    EXPECT_TRUE(rig.decode().sequencer.downlinkSlot(0).text.empty());
    EXPECT_EQ(rig.decode().sequencer.downlinkSlot(0).registration.view(), "-------");
}

TEST_F(SequencerTest, CombinedMessageInMesViewHasNoBanner)
{
    rig.settings().setInteger(Key::TxtType, 2);
    rig.feed(downlink(kReg, "M01A", "JL0012", "FIRST ", kEtb));
    rig.feed(downlink(kReg, "M01B", "JL0012", "M01BSECOND", kEtx));
    ASSERT_EQ(rig.entries.size(), 1u);
    EXPECT_EQ(body(rig.entries[0]), "FIRST SECOND\r\n");
}

TEST_F(SequencerTest, RepeatShowsOnlyTheRetransmissionBanner)
{
    rig.feed(downlink(kReg, "M01A", "JL0012", "FIRST ", kEtb));
    rig.feed(downlink(kReg, "M01B", "JL0012", "M01BSECOND", kEtx));
    rig.feed(downlink(kReg, "M01B", "JL0012", "M01BSECOND", kEtx));
    ASSERT_EQ(rig.entries.size(), 3u);
    EXPECT_EQ(body(rig.entries[2]), std::string(kBannerRetransmission) + "\r\n");

    // Nothing at all in the MES view.
    rig.settings().setInteger(Key::TxtType, 2);
    rig.feed(downlink(kReg, "M01B", "JL0012", "M01BSECOND", kEtx));
    EXPECT_EQ(rig.entries.size(), 3u);
}

TEST_F(SequencerTest, GapIsASequenceError)
{
    rig.feed(downlink(kReg, "M01A", "JL0012", "FIRST", kEtb));
    rig.feed(downlink(kReg, "M01C", "JL0012", "M01CTHIRD", kEtx));
    ASSERT_EQ(rig.entries.size(), 2u);
    EXPECT_EQ(body(rig.entries[1]), std::string(kBannerSequenceError) + "\r\nFIRST\r\n");
    EXPECT_EQ(rig.entries[1].find("THIRD"), std::string::npos);
    EXPECT_TRUE(rig.decode().sequencer.downlinkSlot(0).text.empty());
}

TEST_F(SequencerTest, NewMessageNumberIsSingleAndSlotStaysOpen)
{
    rig.feed(downlink(kReg, "M01A", "JL0012", "FIRST", kEtb));
    rig.feed(downlink(kReg, "M02A", "JL0012", "OTHER", kEtx));
    ASSERT_EQ(rig.entries.size(), 2u);
    EXPECT_EQ(body(rig.entries[1]), "OTHER\r\n");
    EXPECT_EQ(rig.decode().sequencer.downlinkSlot(0).text.view(), "FIRST");

    // The open slot still completes with M01B.
    rig.feed(downlink(kReg, "M01B", "JL0012", "M01B MORE", kEtx));
    EXPECT_EQ(body(rig.entries[2]), std::string(kBannerCombine) + "\r\nFIRST MORE\r\n");
}

TEST_F(SequencerTest, LinkTestAndGeneralAcknowledgement)
{
    struct Case {
        const char* name;
        std::string_view label;
        std::string_view banner;
    };
    const Case cases[] = {{"Q0", "Q0", kBannerLinkTest}, {"general ack", "_\x7F", kBannerGeneralAck}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string reg = ".JA800" + std::to_string(n++);
        rig.settings().setInteger(Key::TxtType, 1);
        rig.entries.clear();
        rig.feed(downlink(reg, "M01A", "JL0012", "", kEtx, c.label));
        ASSERT_EQ(rig.entries.size(), 1u);
        // Banner and a single CR LF.
        EXPECT_EQ(body(rig.entries[0]), std::string(c.banner) + "\r\n");
        rig.settings().setInteger(Key::TxtType, 2);
        rig.feed(downlink(reg, "M02A", "JL0012", "", kEtx, c.label));
        EXPECT_EQ(rig.entries.size(), 1u);
    }
}

TEST_F(SequencerTest, FrequencyAndTisFilters)
{
    struct Case {
        const char* name;
        std::string_view text;
        Key key;
        bool on;
        bool inMes;
    };
    const Case cases[] = {
        {"FRQ filtered", "FRQ 131.450", Key::FreqNoDisp, true, false},
        {"FRQ shown", "FRQ 131.450", Key::FreqNoDisp, false, true},
        {"TIS filtered", "TIS INFO B", Key::TISNoDisp, true, false},
        {"TIS shown", "TIS INFO B", Key::TISNoDisp, false, true},
        {"other text", "POS N35", Key::FreqNoDisp, true, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rig.settings().setBoolean(Key::FreqNoDisp, false);
        rig.settings().setBoolean(Key::TISNoDisp, false);
        rig.settings().setBoolean(c.key, c.on);
        const std::string reg = ".JA80" + std::to_string(10 + n++);
        rig.settings().setInteger(Key::TxtType, 1);
        rig.entries.clear();
        rig.feed(downlink(reg, "M01A", "JL0012", c.text));
        ASSERT_EQ(rig.entries.size(), 1u);
        EXPECT_EQ(body(rig.entries[0]), std::string(c.text) + "\r\n");
        rig.settings().setInteger(Key::TxtType, 2);
        rig.feed(downlink(reg, "M02A", "JL0012", c.text));
        EXPECT_EQ(rig.entries.size(), c.inMes ? 2u : 1u);
    }
}

TEST_F(SequencerTest, ShowPosHidesPositionMessagesFromMesOnly)
{
    // A generic position pattern (any airline): 35°40'N 139°45'E.
    const std::string_view text = "POS N3540E13945 FL350";
    rig.settings().setBoolean(Key::ShowPos, true);
    rig.feed(downlink(".JA8089", "M01A", "XY0012", text));
    const TrackStore& store = rig.pipeline().tracking().store();
    ASSERT_EQ(store.count(), 1);       // the position was found and stored
    ASSERT_EQ(rig.entries.size(), 1u); // PRC
    EXPECT_EQ(body(rig.entries[0]), std::string(text) + "\r\n");

    rig.settings().setInteger(Key::TxtType, 2);
    rig.feed(downlink(".JA8089", "M02A", "XY0012", text));
    EXPECT_EQ(store.entry(0).newestPoint, 1); // a second fix
    EXPECT_EQ(rig.entries.size(), 1u);        // nothing in MES
    rig.settings().setBoolean(Key::ShowPos, false);
    rig.feed(downlink(".JA8089", "M03A", "XY0012", text));
    EXPECT_EQ(rig.entries.size(), 2u);
}

TEST_F(SequencerTest, UplinkYZACombines)
{
    rig.feed(uplink(".JA8089", 'Y', "ONE ONE ONE ", kEtb));
    rig.feed(uplink(".JA8089", 'Z', "TWO TWO TWO ", kEtb));
    rig.feed(uplink(".JA8089", 'A', "THREE THREE", kEtx));
    ASSERT_EQ(rig.entries.size(), 3u);
    EXPECT_EQ(body(rig.entries[0]), std::string(kBannerBuffering) + "\r\nONE ONE ONE \r\n");
    EXPECT_EQ(body(rig.entries[1]), std::string(kBannerBuffering) + "\r\nTWO TWO TWO \r\n");
    EXPECT_EQ(body(rig.entries[2]), std::string(kBannerCombine) + "\r\nONE ONE ONE TWO TWO TWO THREE THREE\r\n");
    EXPECT_FALSE(rig.decode().sequencer.uplinkSlot(0).inUse);
}

TEST_F(SequencerTest, UplinkLowerCaseIdsAndErrors)
{
    // a (ETB) then b (ETX): lower-case ids follow one another too.
    rig.feed(uplink(".JA8001", 'a', "ONE ONE ONE ", kEtb));
    rig.feed(uplink(".JA8001", 'b', "TWO TWO TWO", kEtx));
    EXPECT_EQ(body(rig.entries.back()), std::string(kBannerCombine) + "\r\nONE ONE ONE TWO TWO TWO\r\n");
    // A then C: sequence error, the current block is dropped.
    rig.feed(uplink(".JA8002", 'A', "ONE ONE ONE ", kEtb));
    rig.feed(uplink(".JA8002", 'C', "THREE THREE", kEtx));
    EXPECT_EQ(body(rig.entries.back()), std::string(kBannerSequenceError) + "\r\nONE ONE ONE \r\n");
    // Squitters share the address "Uplink" and are never repeats.
    rig.entries.clear();
    rig.feed(uplink(".JA8003", 'S', "SQUITTER 1", kEtx, "SQ"));
    rig.feed(uplink(".JA8003", 'S', "SQUITTER 1", kEtx, "SQ"));
    EXPECT_EQ(rig.entries.size(), 2u);
    EXPECT_EQ(body(rig.entries[1]), "SQUITTER 1\r\n");
}

TEST_F(SequencerTest, UplinkWithEmptyAddressDoesNotTakeAFreeSlot)
{
    rig.feed(uplink(".......", 'B', "UPLINK TEXT", kEtx));
    ASSERT_EQ(rig.entries.size(), 1u);
    EXPECT_EQ(body(rig.entries[0]), "UPLINK TEXT\r\n");
}

TEST_F(SequencerTest, SquittersHiddenFromMesWithSqNoDisp)
{
    rig.settings().setInteger(Key::TxtType, 2);
    rig.settings().setBoolean(Key::SqNoDisp, true);
    rig.feed(uplink(".JA8003", 'S', "SQUITTER 1", kEtx, "SQ"));
    EXPECT_TRUE(rig.entries.empty());
    rig.settings().setBoolean(Key::SqNoDisp, false);
    rig.feed(uplink(".JA8003", 'T', "SQUITTER 2", kEtx, "SQ"));
    EXPECT_EQ(rig.entries.size(), 1u);
}

TEST_F(SequencerTest, FiveHundredFirstRegistrationOverwritesTheFirst)
{
    rig.settings().setInteger(Key::TxtType, 1);
    auto reg = [](int i) {
        std::string s = "JA" + std::to_string(10000 + i);
        return s; // 7 characters
    };
    rig.feed(downlink(reg(0), "M01A", "JL0012", "X"));
    for (int i = 1; i <= 500; ++i)
        rig.feed(downlink(reg(i), "M01A", "JL0012", "X"));
    EXPECT_EQ(rig.decode().sequencer.downlinkRepeat(0).registration.view(), reg(500));
    rig.entries.clear();
    rig.feed(downlink(reg(0), "M01A", "JL0012", "X"));
    ASSERT_EQ(rig.entries.size(), 1u);
    EXPECT_EQ(body(rig.entries[0]), "X\r\n"); // not a repeat
    // Registration 0 took the place of registration 1; registration 2 is
    // still in the table: a repeat.
    rig.feed(downlink(reg(2), "M01A", "JL0012", "X"));
    EXPECT_EQ(body(rig.entries[1]), std::string(kBannerRetransmission) + "\r\n");
}

TEST_F(SequencerTest, OverlongMessageIsCutAtTheSlotSize)
{
    rig.settings().setInteger(Key::TxtType, 2);
    const std::string text(200, 'x');
    rig.feed(downlink(kReg, "M01A", "JL0012", text, kEtb));
    // Letters B … ~ (61 blocks of 196 new bytes) pass 6000 bytes.
    for (char letter = 'B'; letter < '~'; ++letter)
        rig.feed(downlink(kReg, std::string("M01") + letter, "JL0012", text, kEtb));
    EXPECT_EQ(rig.decode().sequencer.downlinkSlot(0).text.size(), kMessageBytes);
    rig.feed(downlink(kReg, "M01~", "JL0012", "M01~END", kEtx));
    ASSERT_EQ(rig.entries.size(), 1u);
    EXPECT_EQ(body(rig.entries[0]), std::string(kMessageBytes, 'x') + "\r\n");
}
