// The raw-line character code applied to a whole sequence of characters.
#include "acars/line_codec.h"

#include "acars/bit_frame.h"
#include "acars/raw_text.h"

namespace varnesk {

void appendLineChars(std::string& out, std::span<const uint8_t> values)
{
    for (const uint8_t v : values)
        out.push_back(static_cast<char>(encodeLineChar(v)));
}

void setFrameLine(std::string& out, std::span<const int32_t> slots, int chars)
{
    out.clear();
    out.reserve(kFrameSlots / kSlotsPerChar);
    for (int c = 0; c < chars; ++c)
        out.push_back(static_cast<char>(encodeLineChar(frameCharValue(slots, c))));
}

} // namespace varnesk
