// RawText rendering of a frame's characters with the control-character names
// that the RAW view shows and the RAW log reader reads back.
#include "acars/raw_text.h"

#include <array>

namespace varnesk {

namespace {

constexpr std::array<std::string_view, 32> kControlNames = {
    "<NUL>", "<SOH>", "<STX>", "<ETX>", "<EOT>", "<ENQ>", "<ACK>", "<BEL>", "<BS>",  "<HT>",  "<VF>",
    "<VT>",  "<FF>",  "<CR>",  "<SO>",  "<SI>",  "<DLE>", "<DC1>", "<DC2>", "<DC3>", "<DC4>", "<NAK>",
    "<SYN>", "<ETB>", "<CAN>", "<EM>",  "<SUB>", "<ESC>", "<FS>",  "<GS>",  "<RS>",  "<US>",
};
constexpr std::string_view kDelName = "<DEL>";

} // namespace

std::string_view controlCharName(int value)
{
    if (value >= 0 && value < 32)
        return kControlNames[static_cast<size_t>(value)];
    if (value == 127)
        return kDelName;
    return {};
}

std::optional<ControlName> controlCharAt(std::string_view text)
{
    if (text.empty() || text.front() != '<')
        return std::nullopt;
    for (int v = 0; v < 128; ++v) {
        const std::string_view name = controlCharName(v);
        if (!name.empty() && text.starts_with(name))
            return ControlName{static_cast<uint8_t>(v), name.size()};
    }
    return std::nullopt;
}

void appendRawText(std::string& out, std::span<const uint8_t> chars)
{
    for (const uint8_t v : chars) {
        const std::string_view name = controlCharName(v);
        if (name.empty())
            out.push_back(static_cast<char>(v));
        else
            out.append(name);
    }
}

std::string renderRawText(std::span<const uint8_t> chars)
{
    std::string out;
    out.reserve(chars.size() + 32);
    appendRawText(out, chars);
    return out;
}

std::string renderRawText(std::string_view chars)
{
    return renderRawText(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(chars.data()), chars.size()));
}

int frameCharValue(std::span<const int32_t> slots, int c)
{
    const size_t base = static_cast<size_t>(c) * 8;
    if (c < 0 || base + 7 > slots.size())
        return 0;
    int v = 0;
    for (int t = 0; t < 7; ++t)
        v += slots[base + static_cast<size_t>(t)] << t;
    return v;
}

std::string renderFrameRawText(std::span<const int32_t> slots, int bitCount)
{
    std::string out;
    const int chars = bitCount / 8 - 2;
    for (int c = 0; c < chars && static_cast<size_t>(c + 1) * 8 <= slots.size(); ++c) {
        const int v = frameCharValue(slots, c);
        const std::string_view name = controlCharName(v);
        if (name.empty())
            out.push_back(static_cast<char>(static_cast<uint8_t>(v)));
        else
            out.append(name);
    }
    return out;
}

} // namespace varnesk
