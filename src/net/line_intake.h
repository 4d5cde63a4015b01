// The line intake: scans received text (a TCP chunk, a chat line, a converted
// RAW log record) for raw lines, rebuilds a BitFrame of up to 512 characters
// for each and hands it to the block decoder, in order.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace varnesk {

class Station;

inline constexpr int kIntakeFrameChars = 512;
inline constexpr int kIntakeFrameSlots = kIntakeFrameChars * 8; // 4096

class NetLineIntake {
public:
    explicit NetLineIntake(Station& station);

    // Scans text up to its first zero byte (or its end). For every complete
    // line: SourceTag becomes "NET" if it is empty (the RAW import sets "RAW"
    // first), then the frame goes to DecodeBlock with bit count 8 × characters
    // + 16 and end flag 1 for ETX, 0 for ETB. A line still open when the text
    // ends is dropped (the state does not survive the call); so is a line
    // that reaches 512 characters without an end character.
    void LineIntake(std::string_view text);

    std::span<const int32_t> frame() const { return m_frame; }

private:
    void storeChar(int index, int value);

    Station& m_station;
    std::array<int32_t, kIntakeFrameSlots> m_frame{};
};

} // namespace varnesk
