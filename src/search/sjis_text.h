// Small Shift-JIS byte helpers of the search area: cutting text to a byte
// limit without splitting a two-byte character, and removing control bytes
// (CR, LF, ESC …) from text that goes into a mail header or command.
#pragma once

#include <string>
#include <string_view>

namespace varnesk {

inline bool isSjisLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The longest start of text within limit bytes that does not end inside a
// two-byte character.
inline std::string_view cutSjis(std::string_view text, size_t limit)
{
    size_t n = 0;
    while (n < text.size()) {
        const size_t width = isSjisLeadByte(static_cast<unsigned char>(text[n])) && n + 1 < text.size() ? 2 : 1;
        if (n + width > limit)
            break;
        n += width;
    }
    return text.substr(0, n);
}

// Drops bytes 0x00–0x1F and 0x7F. Trail bytes of Shift-JIS characters are
// 0x40 or above and never 0x7F, so no character is broken.
inline std::string stripControls(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b != 0x7F)
            out.push_back(c);
    }
    return out;
}

} // namespace varnesk
