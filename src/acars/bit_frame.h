// BitFrame: one captured ACARS transmission as signed 32-bit slots, eight per
// character (bits 0 … 6 least significant first, then the parity bit), and the
// frame-capture constants shared with the block decoder and the line intake.
#pragma once

#include "acars/control_chars.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace varnesk {

inline constexpr int kSlotsPerChar = 8;
inline constexpr int kFrameSlots = 2000; // 250 characters, one buffer per audio channel

using BitFrame = std::array<int32_t, kFrameSlots>;

// The demodulator that delivered a frame: the classic chain (filters, loop,
// clock resonator) or the coherent one with soft repair.
enum class Demodulator { Classic, Coherent };

// A completed, checked frame as the capture side hands it on. Everything it
// points at belongs to the channel and is reused for the next transmission as
// soon as the hand-off returns: copy what you keep.
struct CapturedFrame {
    std::span<const int32_t> slots; // the whole BitFrame
    int bitCount = 0;               // 8 × characters through the end character + 16
    bool endIsEtx = false;          // ETX (last block) or ETB (more blocks follow)
    std::string_view rawLine;       // line-coded bytes from "+" through the end character
    int channel = 0;                // 0 = left, 1 = right
    Demodulator from = Demodulator::Classic;
    int repairedBits = 0;            // bits the coherent demodulator's repair flipped
    double repairPosterior = 1.0;    // of a repaired frame: how likely it is the frame sent
    std::optional<double> levelDb{}; // the signal level, where a demodulator measures it
};

// Slots as the receiver stores a frame, from characters (one per byte): seven
// data slots and the parity slot each, then room for the BCS and one more
// character (all 0). The parity slot makes the parity odd, or is the byte's
// top bit as it stands, or stays 0.
enum class ParitySlot { Odd, TopBit, Zero };
inline std::vector<int32_t> slotsFromChars(std::string_view chars, ParitySlot parity)
{
    std::vector<int32_t> slots((chars.size() + 3) * kSlotsPerChar, 0);
    for (size_t c = 0; c < chars.size(); ++c) {
        const auto v = static_cast<uint8_t>(chars[c]);
        int ones = 0;
        for (int t = 0; t < 7; ++t) {
            slots[c * kSlotsPerChar + static_cast<size_t>(t)] = (v >> t) & 1;
            ones += (v >> t) & 1;
        }
        if (parity == ParitySlot::Odd)
            slots[c * kSlotsPerChar + 7] = ones % 2 == 0 ? 1 : 0;
        else if (parity == ParitySlot::TopBit)
            slots[c * kSlotsPerChar + 7] = v >> 7;
    }
    return slots;
}

} // namespace varnesk
