// The lines an operator sends: chat messages ("[CHAT]" name ">" text ETX) and
// the numbered test lines of the packet test, line-coded (Shift-JIS bytes in,
// line bytes out).
#pragma once

#include <string>
#include <string_view>

namespace varnesk {

enum class ChatCheck {
    Ok,
    EmptyName,
    EmptyText,
    BadCharacter, // an end character (ETX, ETB), a zero or 0xFF byte: the line would break
    TooLong,      // more than the 512 characters every receiver takes
};

// Whether name and text (Shift-JIS) make a chat line every station can read.
ChatCheck CheckChatMessage(std::string_view name, std::string_view text);

// "[CHAT]" name ">" text ETX, line-coded. Call after CheckChatMessage.
std::string BuildChatLine(std::string_view name, std::string_view text);

// "TEST ABSDEFGHIJKLMNOPQRSTUVWXYZ>" counter ETX, line-coded. It carries no
// start marker: a receiver counts it as a packet and decodes nothing.
std::string BuildTestLine(int counter);

} // namespace varnesk
