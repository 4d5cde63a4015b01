// The characters that frame an ACARS block, as 7-bit values and as sent with
// their odd-parity bit (bit 7), and the start every frame begins with.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace varnesk {

inline constexpr uint8_t kCharSoh = 0x01;
inline constexpr uint8_t kCharStx = 0x02;
inline constexpr uint8_t kCharEtx = 0x03; // ends the last block of a message
inline constexpr uint8_t kCharNak = 0x15; // the acknowledgement of a block that acknowledges none
inline constexpr uint8_t kCharSyn = 0x16;
inline constexpr uint8_t kCharEtb = 0x17; // ends a block that more blocks follow
inline constexpr uint8_t kCharDel = 0x7F; // sent after the BCS

// The value with bit 7 set where the seven bits hold an even number of ones.
constexpr uint8_t withOddParity(int value)
{
    const auto v = static_cast<unsigned>(value & 0x7F);
    return static_cast<uint8_t>(std::popcount(v) % 2 == 0 ? v | 0x80 : v);
}

inline constexpr uint8_t kParityEtx = withOddParity(kCharEtx); // 0x83
inline constexpr uint8_t kParityEtb = withOddParity(kCharEtb); // 0x97
inline constexpr uint8_t kParityStx = withOddParity(kCharStx); // 0x02: one 1 bit already
inline constexpr uint8_t kParityDel = withOddParity(kCharDel); // 0x7F: seven 1 bits already

// "+" "*" SYN SYN SOH: the five characters every frame starts with.
inline constexpr std::array<uint8_t, 5> kFrameStart = {'+', '*', kCharSyn, kCharSyn, kCharSoh};

} // namespace varnesk
