// The block check, a byte at a time through a table of the 256 byte values.
#include "acars/crc16.h"

#include <array>

namespace varnesk {

namespace {

struct ByteTable {
    std::array<uint16_t, 256> crc{};
    constexpr ByteTable()
    {
        for (unsigned b = 0; b < 256; ++b) {
            uint16_t r = 0;
            for (unsigned k = 0; k < 8; ++k)
                r = crcStep(r, (b >> k) & 1u);
            crc[b] = r;
        }
    }
};

constexpr ByteTable kByteTable;

} // namespace

uint16_t blockCheck(std::span<const uint8_t> bytes)
{
    uint16_t crc = 0;
    for (const uint8_t b : bytes)
        crc = static_cast<uint16_t>((crc >> 8) ^ kByteTable.crc[(crc ^ b) & 0xFF]);
    return crc;
}

unsigned crcRemainder(std::span<const int32_t> slots, int first, int last)
{
    uint16_t crc = 0;
    for (int s = first; s < last; ++s)
        crc = crcStep(crc, static_cast<unsigned>(slots[static_cast<size_t>(s)] & 1));
    return crc;
}

} // namespace varnesk
