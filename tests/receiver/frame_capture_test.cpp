// Sync hunt, differential decoding, parity, end character, completion, CRC and
// raw line, fed with raw line bits made by the signal generator.
#include "receiver/frame_capture.h"

#include "acars/crc16.h"
#include "acars/raw_text.h"
#include "acars_signal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace varnesk {
namespace {

struct Got {
    int bitCount;
    bool endIsEtx;
    std::string rawLine;
    std::string rawText;
    int channel;
};

// Data bits → line bits: 1 when a data bit repeats the one before it, 0 when it changes.
std::vector<int> lineBits(const std::vector<uint8_t>& data)
{
    std::vector<int> raw;
    uint8_t previous = 1;
    for (const uint8_t d : data) {
        raw.push_back(d == previous ? 1 : 0);
        previous = d;
    }
    return raw;
}

std::vector<int> lineBitsOf(const gen::BlockSpec& block, int preKeyBits = 32)
{
    std::vector<uint8_t> data = gen::onAirBits(block, preKeyBits);
    data.insert(data.end(), 200, 1); // carrier off: a steady run after DEL
    return lineBits(data);
}

// Runs raw bits through the capture in blocks (the first of firstBlock bits, then blockBits each).
std::vector<Got> feed(ChannelState& state, const std::vector<int>& raw, int firstBlock = 56, int blockBits = 56)
{
    std::vector<Got> frames;
    size_t at = 0;
    int size = firstBlock;
    while (at < raw.size()) {
        const auto n = std::min(raw.size() - at, static_cast<size_t>(size));
        std::copy_n(raw.begin() + static_cast<std::ptrdiff_t>(at), n, state.blockBits.begin());
        state.blockBitCount = static_cast<int>(n);
        at += n;
        size = blockBits;
        if (auto f = captureFrames(state, 1))
            frames.push_back({f->bitCount, f->endIsEtx, std::string(f->rawLine),
                              renderFrameRawText(f->slots, f->bitCount), f->channel});
    }
    return frames;
}

gen::BlockSpec sampleBlock(bool etx)
{
    gen::BlockSpec b;
    b.mode = '2';
    b.address = ".JA8089";
    b.label = "H1";
    b.blockId = '3';
    b.text = "M01AJL0001POS N35123E139456,,\r\n";
    b.etx = etx;
    return b;
}

TEST(FrameCapture, CleanBlockReachesTheHandOffWithCountFlagAndRawLine)
{
    for (const bool etx : {true, false}) {
        SCOPED_TRACE(etx ? "ETX" : "ETB");
        const gen::BlockSpec block = sampleBlock(etx);
        const std::string chars = gen::blockChars(block);
        const auto n = static_cast<int>(chars.size());
        ChannelState state;
        state.rcvCount = 4;
        const std::vector<Got> frames = feed(state, lineBitsOf(block));
        ASSERT_EQ(frames.size(), 1u);
        const Got& f = frames[0];
        EXPECT_EQ(f.bitCount, 8 * n + 16);
        EXPECT_EQ(f.endIsEtx, etx);
        EXPECT_EQ(f.channel, 1);
        ASSERT_EQ(f.rawLine.size(), static_cast<size_t>(n));
        EXPECT_EQ(f.rawLine.substr(0, 5), std::string("\x2C\x2B\x17\x17\x02"));
        EXPECT_EQ(static_cast<uint8_t>(f.rawLine.back()), etx ? 0x04 : 0x18);
        EXPECT_EQ(f.rawText, renderRawText(chars));
        EXPECT_EQ(state.rcvCount, 0);
        EXPECT_FALSE(state.inFrame);
    }
}

TEST(FrameCapture, SyncPatternStraddlingTwoBlocksIsFound)
{
    // With a 32-bit pre-key, SYN SOH occupies line bits 56 … 71; every cut of the
    // first block from 1 to 90 bits, straddling ones included, must still decode.
    const gen::BlockSpec block = sampleBlock(true);
    const std::vector<int> raw = lineBitsOf(block);
    for (int first = 1; first <= 90; ++first) {
        SCOPED_TRACE(first);
        ChannelState state;
        const std::vector<Got> frames = feed(state, raw, first, 56);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].rawText, renderRawText(gen::blockChars(block)));
    }
}

TEST(FrameCapture, BitErrorInTheBcsIsRejectedByTheCrc)
{
    const gen::BlockSpec block = sampleBlock(true);
    const int bcsBit = 32 + 8 * static_cast<int>(gen::blockChars(block).size());
    for (const int offset : {0, 5, 9, 15}) {
        SCOPED_TRACE(offset);
        std::vector<int> raw = lineBitsOf(block);
        raw[static_cast<size_t>(bcsBit + offset)] ^= 1;
        ChannelState state;
        state.rcvCount = 0;
        state.errCount = 4;
        EXPECT_TRUE(feed(state, raw).empty());
        EXPECT_EQ(state.errCount, 0);
        EXPECT_EQ(state.rcvCount, 6);
    }
}

TEST(FrameCapture, BitErrorBeforeTheEndCharacterDropsTheCapture)
{
    const gen::BlockSpec block = sampleBlock(true);
    for (const int bit : {32 + 8 * 7 + 2, 32 + 8 * 20 + 6, 32 + 8 * 30}) {
        SCOPED_TRACE(bit);
        std::vector<int> raw = lineBitsOf(block);
        raw[static_cast<size_t>(bit)] ^= 1;
        ChannelState state;
        EXPECT_TRUE(feed(state, raw).empty());
    }
}

TEST(FrameCapture, LongestBlockIs243Characters)
{
    gen::BlockSpec block = sampleBlock(true);
    block.text = std::string(224, 'A');
    ASSERT_EQ(gen::blockChars(block).size(), 243u);
    ChannelState state;
    const std::vector<Got> frames = feed(state, lineBitsOf(block));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].bitCount, 8 * 243 + 16);

    // One more character puts the end character beyond the limit: the capture
    // is closed without it and dropped with ERR lit.
    block.text.push_back('B');
    ChannelState longer;
    longer.errCount = 3;
    EXPECT_TRUE(feed(longer, lineBitsOf(block)).empty());
    EXPECT_EQ(longer.errCount, 0);
    EXPECT_FALSE(longer.inFrame);
}

TEST(FrameCapture, HuntsAgainAfterAFrameAndFindsTheNext)
{
    const gen::BlockSpec a = sampleBlock(true);
    gen::BlockSpec b = sampleBlock(false);
    b.text = "second";
    std::vector<int> raw = lineBitsOf(a);
    const std::vector<int> more = lineBitsOf(b);
    raw.insert(raw.end(), more.begin(), more.end());
    ChannelState state;
    const std::vector<Got> frames = feed(state, raw);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].rawText, renderRawText(gen::blockChars(b)));
}

TEST(FrameCapture, EachWayACaptureEndsIsCountedOnce)
{
    const gen::BlockSpec block = sampleBlock(true);
    gen::BlockSpec tooLong = sampleBlock(true);
    tooLong.text = std::string(225, 'A'); // 244 characters: the end character lies beyond the limit
    const int bcsBit = 32 + 8 * static_cast<int>(gen::blockChars(block).size());
    struct Case {
        const char* name;
        const gen::BlockSpec& block;
        int flipBit;     // raw bit to invert, -1 for none
        size_t keepBits; // raw bits fed, 0 for all
        ReceiverCounts want;
    };
    const Case cases[] = {
        {"clean", block, -1, 0, {.syncsFound = 1, .framesDelivered = 1}},
        // Inverting every decoded bit from bit 1 of character 20 on changes 7 of its 8 bits.
        {"parity", block, 32 + 8 * 20 + 1, 0, {.syncsFound = 1, .parityBreaks = 1}},
        {"BCS bit", block, bcsBit + 3, 0, {.syncsFound = 1, .badCrc = 1}},
        {"no end character", tooLong, -1, 0, {.syncsFound = 1, .lengthLimitCloses = 1}},
        {"cut off inside the block", block, -1, 32 + 8 * 25, {.syncsFound = 1, .capturesOpen = 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int> raw = lineBitsOf(c.block);
        if (c.flipBit >= 0)
            raw[static_cast<size_t>(c.flipBit)] ^= 1;
        if (c.keepBits > 0)
            raw.resize(c.keepBits);
        ChannelState state;
        EXPECT_EQ(feed(state, raw).size(), c.want.framesDelivered);
        EXPECT_EQ(state.counts, c.want);
    }
}

TEST(FrameCapture, CaptureRunningPastTheBufferIsCountedAsAnOverrun)
{
    // Completion closes every received capture by slot 1968; only a state set
    // by hand, its end beyond the buffer, reaches the two guards.
    struct Case {
        const char* name;
        int nextSlot;
        int bits;
    };
    for (const Case c : {Case{"slot 2000 inside the block", 1985, 20}, Case{"next slot 2000", 1977, 23}}) {
        SCOPED_TRACE(c.name);
        ChannelState state;
        state.inFrame = true;
        state.endSeen = true;
        state.endSlot = kFrameSlots;
        state.nextSlot = c.nextSlot;
        state.counts = {.syncsFound = 1, .capturesOpen = 1};
        state.blockBits.fill(1);
        state.blockBitCount = c.bits;
        EXPECT_FALSE(captureFrames(state, 0));
        EXPECT_EQ(state.counts, (ReceiverCounts{.syncsFound = 1, .bufferOverruns = 1}));
    }
}

TEST(FrameCapture, CrcRegisterOfAGoodBlockAndBcsIsZero)
{
    // "2" ".JA8089" …: the on-air bytes from the mode character through the
    // BCS, as slots, leave a zero register; any single flipped slot does not.
    const std::vector<uint8_t> bytes = gen::onAirBytes(sampleBlock(true));
    std::vector<int32_t> slots;
    for (size_t i = 5; i + 1 < bytes.size(); ++i) // without the DEL suffix
        for (int b = 0; b < 8; ++b)
            slots.push_back((bytes[i] >> b) & 1);
    EXPECT_EQ(crcRemainder(slots, 0, static_cast<int>(slots.size())), 0u);
    for (size_t i = 0; i < slots.size(); i += 7) {
        slots[i] ^= 1;
        EXPECT_NE(crcRemainder(slots, 0, static_cast<int>(slots.size())), 0u) << i;
        slots[i] ^= 1;
    }
}

} // namespace
} // namespace varnesk
