// The one-byte line code of raw lines.
#include "acars/line_codec.h"

#include <gtest/gtest.h>

#include <set>

namespace varnesk {
namespace {

TEST(LineCodec, EveryValueRoundTripsToADistinctNonZeroByte)
{
    std::set<int> bytes;
    for (int v = 0; v <= 254; ++v) {
        const uint8_t b = encodeLineChar(v);
        EXPECT_NE(b, 0) << v;
        EXPECT_EQ(decodeLineByte(b), v) << v;
        bytes.insert(b);
    }
    EXPECT_EQ(bytes.size(), 255u);
}

TEST(LineCodec, KnownCodes)
{
    struct Case {
        int value;
        uint8_t byte;
    };
    const Case cases[] = {{'+', 0x2C}, {0x03, 0x04}, {0x17, 0x18}, {0x16, 0x17}, {0x01, 0x02}, {0, 0x01},
                          {126, 0x7F}, {127, 0xFF},  {128, 0xFE},  {0x82, 0xFC}, {254, 0x80}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(encodeLineChar(c.value), c.byte);
        EXPECT_EQ(decodeLineByte(c.byte), c.value);
    }
    EXPECT_EQ(decodeLineByte(0), -1);
}

TEST(LineCodec, AppendsAWholeSequence)
{
    const uint8_t chars[] = {'+', '*', 0x16, 0x16, 0x01, 0x7F, 0x03};
    std::string line = "x";
    appendLineChars(line, chars);
    EXPECT_EQ(line, "x\x2C\x2B\x17\x17\x02\xFF\x04");
}

} // namespace
} // namespace varnesk
