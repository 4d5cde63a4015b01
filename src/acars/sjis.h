// Shift-JIS (CP932) bytes ↔ Unicode, through glibc iconv. Received text, logs
// and data files stay CP932 bytes; only the windows convert, where they show
// text or take it from the user. Undecodable bytes become U+FFFD, never lost
// silently into a shorter string.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace varnesk {

// CP932 bytes → QString. Control bytes (0x1A, 0x1C, 0x7F …) map to the same
// code points; a byte that starts no valid character becomes U+FFFD.
QString sjisToQString(std::string_view bytes);

// QString → CP932 bytes. A character with no CP932 form becomes "?".
std::string qstringToSjis(const QString& text);

} // namespace varnesk
