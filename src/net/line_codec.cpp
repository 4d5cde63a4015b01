// The raw-line character code applied to a whole sequence of characters.
#include "net/line_codec.h"

namespace varnesk {

void appendLineChars(std::string& out, std::span<const uint8_t> values)
{
    for (const uint8_t v : values)
        out.push_back(static_cast<char>(encodeLineChar(v)));
}

} // namespace varnesk
