// Text conversions of the notification mail: base64, ISO-2022-JP ↔ Shift-JIS,
// the MIME-encoded subject and the body as it goes on the wire. Shift-JIS
// and ISO-2022-JP text are byte strings; ISO-2022-JP text is 7-bit and
// always ends in ASCII mode.
#pragma once

#include <string>
#include <string_view>

namespace varnesk {

// RFC 2045 base64 (A–Z, a–z, 0–9, "+", "/", "=" padding to a multiple of
// four). A CR LF stands between every 76 output characters and the next.
std::string Base64Encode(std::string_view bytes);

// ISO-2022-JP → Shift-JIS, in place: ESC $ B and ESC $ @ switch to two-byte
// mode; ESC ( B, ESC ( J, ESC ( I, SI and SO back to one-byte mode; the
// escapes and shift bytes are dropped; in two-byte mode each pair of bytes
// 0x21–0x7E becomes its Shift-JIS code; every other byte is copied. Text
// without escapes (Shift-JIS as built) is left unchanged.
void JisToShiftJis(std::string& text);

// Shift-JIS (CP932) → ISO-2022-JP (RFC 1468), through glibc iconv. The few
// CP932 characters whose Unicode form differs from JIS X 0208's (～ ∥ － ￠
// ￡ ￢) are taken as their JIS characters, half-width katakana as full-width,
// and a character ISO-2022-JP cannot carry (①, Ⅰ …) becomes "〓". Each
// LF-separated line ends in ASCII mode.
std::string ShiftJisToJis(std::string_view sjis);

// The Subject header value for a Shift-JIS subject: "=?iso-2022-jp?B?" +
// Base64Encode(ISO-2022-JP bytes) + "?=", split into encoded words of at most
// kMaxEncodedWord characters, each complete in itself (it starts and ends in
// ASCII mode), joined by CR LF and a space. Empty text gives one empty word.
inline constexpr size_t kMaxEncodedWord = 75;
std::string EncodeSubject(std::string_view sjisSubject);

// A body of lines separated by LF (a CR before an LF is dropped) as it goes
// after DATA: each line ends in CR LF except the last, and a line starting
// with "." gets a second "." in front.
std::string WireBody(std::string_view body);

// The mail domain of the one mobile carrier whose phones show a MIME-encoded
// subject wrongly: its recipients get the subject as plain ISO-2022-JP.
inline constexpr std::string_view kPlainSubjectDomain = "@docomo.ne.jp";
// True when the address ends with kPlainSubjectDomain (ASCII case ignored).
bool IsPlainSubjectRecipient(std::string_view address);

// The flight-search page named at the foot of the mail; the flight number
// follows "?F=".
inline constexpr std::string_view kFlightSearchUrl = "https://flight.varnesk.jp/air/?F=";

} // namespace varnesk
