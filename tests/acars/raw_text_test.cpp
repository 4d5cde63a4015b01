// RawText rendering of frame characters with the control-character names.
#include "acars/raw_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace varnesk {
namespace {

TEST(RawText, ControlCharactersBecomeTheirNames)
{
    struct Case {
        int value;
        const char* want;
    };
    const Case cases[] = {{0, "<NUL>"},  {1, "<SOH>"},  {2, "<STX>"},  {3, "<ETX>"},   {10, "<VF>"},  {13, "<CR>"},
                          {21, "<NAK>"}, {22, "<SYN>"}, {23, "<ETB>"}, {27, "<ESC>"},  {31, "<US>"},  {127, "<DEL>"},
                          {32, " "},     {'A', "A"},    {126, "~"},    {0x82, "\x82"}, {0xFE, "\xFE"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const uint8_t v = static_cast<uint8_t>(c.value);
        EXPECT_EQ(renderRawText(std::span<const uint8_t>(&v, 1)), c.want);
    }
}

TEST(RawText, FrameRenderingRunsFromTheFirstStartCharacterThroughTheEndCharacter)
{
    // "+" "*" SYN SYN SOH "2" ETX, then two BCS characters that are not rendered.
    const std::vector<int> chars = {'+', '*', 0x16, 0x16, 0x01, '2', 0x03, 0x55, 0x7F};
    std::vector<int32_t> slots;
    for (const int c : chars)
        for (int b = 0; b < 8; ++b)
            slots.push_back(b < 7 ? (c >> b) & 1 : 1);
    EXPECT_EQ(renderFrameRawText(slots, 8 * 7 + 16), "+*<SYN><SYN><SOH>2<ETX>");
    // A slot 6 of 2 (frames from network lines) gives values above 127.
    for (int b = 0; b < 6; ++b)
        slots[static_cast<size_t>(5 * 8 + b)] = b == 1 ? 1 : 0;
    slots[5 * 8 + 6] = 2; // 2 · 64 + 2 = 130
    EXPECT_EQ(renderFrameRawText(slots, 8 * 7 + 16), "+*<SYN><SYN><SOH>\x82<ETX>");
    // A bit count beyond the slots never reads past them.
    EXPECT_EQ(renderFrameRawText(slots, 8 * 1000).size(), renderFrameRawText(slots, 8 * 11).size());
}

} // namespace
} // namespace varnesk
