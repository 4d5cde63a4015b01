// Chat and test lines.
#include "net/chat_lines.h"

#include "acars/control_chars.h"
#include "acars/line_codec.h"
#include "net/line_intake.h"

namespace varnesk {

namespace {

constexpr std::string_view kChatHead = "[CHAT]";

bool breaksLine(std::string_view s)
{
    for (const char c : s) {
        const auto b = static_cast<uint8_t>(c);
        if (b == kCharEtx || b == kCharEtb || b == 0x00 || b == 0xFF)
            return true;
    }
    return false;
}

void appendCoded(std::string& out, std::string_view chars)
{
    for (const char c : chars)
        out.push_back(static_cast<char>(encodeLineChar(static_cast<uint8_t>(c))));
}

} // namespace

ChatCheck CheckChatMessage(std::string_view name, std::string_view text)
{
    if (name.empty())
        return ChatCheck::EmptyName;
    if (text.empty())
        return ChatCheck::EmptyText;
    if (breaksLine(name) || breaksLine(text))
        return ChatCheck::BadCharacter;
    // "[CHAT]", ">" and ETX around them.
    if (kChatHead.size() + name.size() + 1 + text.size() + 1 > static_cast<std::size_t>(kIntakeFrameChars))
        return ChatCheck::TooLong;
    return ChatCheck::Ok;
}

std::string BuildChatLine(std::string_view name, std::string_view text)
{
    std::string line;
    line.reserve(kChatHead.size() + name.size() + text.size() + 2);
    appendCoded(line, kChatHead);
    appendCoded(line, name);
    appendCoded(line, ">");
    appendCoded(line, text);
    line.push_back(static_cast<char>(encodeLineChar(kCharEtx)));
    return line;
}

std::string BuildTestLine(int counter)
{
    std::string line;
    appendCoded(line, "TEST ABSDEFGHIJKLMNOPQRSTUVWXYZ>");
    appendCoded(line, std::to_string(counter));
    line.push_back(static_cast<char>(encodeLineChar(kCharEtx)));
    return line;
}

} // namespace varnesk
