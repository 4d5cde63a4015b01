// RawText: a frame's characters as one line of text. Values 0 … 31 and 127
// become their names ("<SOH>", "<VF>" for line feed, "<DEL>" …); every other
// value is kept as the byte itself (Shift-JIS bytes of chat text included).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace varnesk {

// The name of a control value (0 … 31, 127), or an empty view for any other value.
std::string_view controlCharName(int value);

// The control value whose name text starts with, and the name's length
// (what the RAW log reader reads back); nullopt when it starts with none.
struct ControlName {
    uint8_t value = 0;
    size_t length = 0;
};
std::optional<ControlName> controlCharAt(std::string_view text);

// Appends the rendering of the given character values to out.
void appendRawText(std::string& out, std::span<const uint8_t> chars);

// The rendering of the given character values.
std::string renderRawText(std::span<const uint8_t> chars);
std::string renderRawText(std::string_view chars);

// Rebuilds character c of a BitFrame from its eight slots: the weighted sum of
// slots 8c … 8c+6 (slot 8c+7, the parity bit, never enters the value). Slot 6
// may hold 0 … 3 in frames built from network lines, so values up to 254 survive.
int frameCharValue(std::span<const int32_t> slots, int c);

// Character c of a frame whose slots the caller knows to be there, taken
// modulo 256 so that no slot value, however wrong, can overflow (the
// decoder's and the relay's reading).
inline uint8_t frameCharByte(std::span<const int32_t> slots, int c)
{
    uint32_t v = 0;
    for (int t = 0; t < 7; ++t)
        v += static_cast<uint32_t>(slots[static_cast<size_t>(c * 8 + t)]) << t;
    return static_cast<uint8_t>(v & 0xFF);
}

// Renders characters 0 … bitCount / 8 − 3 of a frame (from the first start
// character through the end character; the BCS slots are not rendered).
std::string renderFrameRawText(std::span<const int32_t> slots, int bitCount);

} // namespace varnesk
