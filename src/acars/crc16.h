// The block check sequence: CRC-16 with x^16 + x^12 + x^5 + 1, register
// cleared to 0, bits taken least significant first as they are sent (the
// reflected form). Over a block followed by its BCS it gives 0.
#pragma once

#include <cstdint>
#include <span>

namespace varnesk {

// x^16 + x^12 + x^5 + 1 with its bits reversed (bit 15 is x^0).
inline constexpr uint16_t kCrcPolynomial = 0x8408;

// The register after one more bit.
constexpr uint16_t crcStep(uint16_t crc, unsigned bit)
{
    return ((crc ^ bit) & 1u) ? static_cast<uint16_t>((crc >> 1) ^ kCrcPolynomial) : static_cast<uint16_t>(crc >> 1);
}

// The check of bytes, each with its parity bit as bit 7, from a cleared register.
uint16_t blockCheck(std::span<const uint8_t> bytes);

// The check over slots [first, last) of a frame (bit 0 of each slot): 0 when
// the block and its BCS agree.
unsigned crcRemainder(std::span<const int32_t> slots, int first, int last);

} // namespace varnesk
