// The line intake: scans received text (a TCP chunk, a chat line, a converted
// RAW log record) for raw lines, rebuilds a BitFrame of up to 512 characters
// for each and hands it to the block decoder, in order.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace varnesk {

class BlockDecoder;

inline constexpr int kIntakeFrameChars = 512;
inline constexpr int kIntakeFrameSlots = kIntakeFrameChars * 8; // 4096
// "[CHAT": the start of a chat line, as the start characters of a frame.
inline constexpr std::array<uint8_t, 5> kChatStart = {'[', 'C', 'H', 'A', 'T'};

class NetLineIntake {
public:
    explicit NetLineIntake(BlockDecoder& decoder);

    // Scans text up to its first zero byte (or its end). Every complete line
    // goes to DecodeBlock with the source tag given ("NET" for the network,
    // "RAW" for a RAW log record), bit count 8 × characters + 16 and end flag
    // 1 for ETX, 0 for ETB. A line still open when the text ends is dropped
    // (the state does not survive the call); so is a line that reaches 512
    // characters without an end character. Returns the lines handed on.
    int LineIntake(std::string_view text, std::string_view sourceTag = "NET");

    std::span<const int32_t> frame() const { return m_frame; }

    // Lines dropped: longer than 512 characters, or cut off by the end of the text.
    uint64_t overlongLines() const { return m_overlongLines; }
    uint64_t unfinishedLines() const { return m_unfinishedLines; }

private:
    void storeChar(int index, int value);

    BlockDecoder& m_decoder;
    std::array<int32_t, kIntakeFrameSlots> m_frame{};
    uint64_t m_overlongLines = 0;
    uint64_t m_unfinishedLines = 0;
};

} // namespace varnesk
