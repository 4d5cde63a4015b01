// The one-byte line code of raw lines: every character value 0 … 254 of a
// transmission (or chat line) becomes one byte that is never zero, and back.
// 0 … 126 → v + 1, 127 (DEL) → 0xFF, 128 … 254 → 126 − v + 256 (0xFE … 0x80).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace varnesk {

// Character value → line byte. Values 0 … 254 map one to one onto 0x01 … 0xFF.
// A value of 255 (a source byte 0xFF, which no sent text holds) gives 0x00.
constexpr uint8_t encodeLineChar(int value)
{
    // Taken as a signed byte c: if (c + 1) has bit 7 set the byte is 126 − c,
    // otherwise c + 1.
    const auto c = static_cast<int8_t>(static_cast<uint8_t>(value));
    const auto plusOne = static_cast<uint8_t>(c + 1);
    if (plusOne & 0x80)
        return static_cast<uint8_t>(126 - c);
    return plusOne;
}

// Line byte → character value: 0x01 … 0x7F → 0 … 126, 0xFF → 127,
// 0xFE … 0x80 → 128 … 254. A zero byte (which ends a text) gives −1.
constexpr int decodeLineByte(uint8_t byte)
{
    if (byte == 0)
        return -1;
    const auto b = static_cast<int8_t>(byte);
    if (b < 0)
        return 126 - b;
    return b - 1;
}

// Appends the line bytes of the given character values (0 … 254) to out.
void appendLineChars(std::string& out, std::span<const uint8_t> values);

// Replaces out with the line bytes of characters 0 … chars − 1 of a frame's
// slots (frameCharValue). The capacity for a whole BitFrame is reserved once
// and stays with the string, so a channel's line never allocates again.
void setFrameLine(std::string& out, std::span<const int32_t> slots, int chars);

} // namespace varnesk
