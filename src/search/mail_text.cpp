// Base64, the JIS ↔ Shift-JIS conversions, the encoded subject and the wire
// form of the body.
#include "search/mail_text.h"

#include "acars/sjis.h"

#include <QList>
#include <QString>

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace varnesk {

namespace {

constexpr std::string_view kEncodedWordStart = "=?iso-2022-jp?B?";
constexpr std::string_view kEncodedWordEnd = "?=";
// ISO-2022-JP bytes per encoded word: the base64 of 42 bytes is 56
// characters, and 16 + 56 + 2 = 74 stays within the 75 of RFC 2047.
constexpr size_t kWordBytes = (kMaxEncodedWord - 18) / 4 * 3;
constexpr char32_t kGeta = 0x3013; // 〓, the usual stand-in for a missing character
constexpr size_t kBase64Line = 76;

// CP932 reads a few JIS X 0208 codes as other Unicode characters than JIS
// X 0208 itself does; glibc's ISO-2022-JP knows only the JIS forms.
char32_t jisForm(char32_t c)
{
    switch (c) {
    case 0xFF5E:
        return 0x301C; // ～ wave dash
    case 0x2225:
        return 0x2016; // ∥ double vertical line
    case 0xFF0D:
        return 0x2212; // － minus sign
    case 0xFFE0:
        return 0x00A2; // ￠
    case 0xFFE1:
        return 0x00A3; // ￡
    case 0xFFE2:
        return 0x00AC; // ￢
    default:
        return c;
    }
}

bool isHalfWidthKana(char32_t c)
{
    return c >= 0xFF61 && c <= 0xFF9F;
}

// Shift-JIS → the Unicode characters to encode: half-width katakana runs
// widened (with their voiced marks joined), CP932 variants in JIS form.
std::u32string prepare(std::string_view sjis)
{
    const QString text = sjisToQString(sjis);
    QString widened;
    widened.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (!isHalfWidthKana(text[i].unicode())) {
            widened.append(text[i++]);
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && isHalfWidthKana(text[end].unicode()))
            ++end;
        widened.append(text.mid(i, end - i).normalized(QString::NormalizationForm_KC));
        i = end;
    }
    std::u32string out;
    for (const char32_t c : widened.toUcs4())
        out.push_back(jisForm(c));
    return out;
}

// Unicode → ISO-2022-JP, ending in ASCII mode; characters it cannot carry
// become "〓".
std::string toJis(const std::u32string& text)
{
    std::string out;
    iconv_t cd = iconv_open("ISO-2022-JP", "UTF-32LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        for (const char32_t c : text)
            out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        return out;
    }
    std::vector<char> in;
    in.reserve(text.size() * 4);
    for (const char32_t c : text)
        for (int b = 0; b < 4; ++b)
            in.push_back(static_cast<char>((c >> (8 * b)) & 0xFF));
    const char geta[4] = {static_cast<char>(kGeta & 0xFF), static_cast<char>(kGeta >> 8), 0, 0};

    char buffer[512];
    auto convert = [&](char** src, size_t* left) {
        for (;;) {
            char* dst = buffer;
            size_t room = sizeof buffer;
            const size_t r = iconv(cd, src, left, &dst, &room);
            out.append(buffer, static_cast<size_t>(dst - buffer));
            if (r != static_cast<size_t>(-1))
                return true;
            if (errno != E2BIG)
                return false;
        }
    };
    char* src = in.data();
    size_t left = in.size();
    while (left > 0) {
        if (convert(&src, &left))
            break;
        // A character with no ISO-2022-JP form: the stand-in, then go on.
        char* g = const_cast<char*>(geta);
        size_t gl = sizeof geta;
        convert(&g, &gl);
        const size_t skip = left < 4 ? left : 4;
        src += skip;
        left -= skip;
    }
    // Back to ASCII at the end.
    char* dst = buffer;
    size_t room = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &room);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    iconv_close(cd);
    return out;
}

std::string encodedWord(const std::u32string& text)
{
    std::string word(kEncodedWordStart);
    word += Base64Encode(toJis(text));
    word += kEncodedWordEnd;
    return word;
}

} // namespace

std::string Base64Encode(std::string_view bytes)
{
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve(bytes.size() / 3 * 4 + 8 + bytes.size() / 57 * 2);
    size_t column = 0;
    auto put = [&](char c) {
        if (column == kBase64Line) {
            out += "\r\n";
            column = 0;
        }
        out.push_back(c);
        ++column;
    };
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v = (static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16)
                           | (static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8)
                           | static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 2]));
        put(kAlphabet[(v >> 18) & 63]);
        put(kAlphabet[(v >> 12) & 63]);
        put(kAlphabet[(v >> 6) & 63]);
        put(kAlphabet[v & 63]);
    }
    const size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (rest == 2)
            v |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        put(kAlphabet[(v >> 18) & 63]);
        put(kAlphabet[(v >> 12) & 63]);
        put(rest == 2 ? kAlphabet[(v >> 6) & 63] : '=');
        put('=');
    }
    return out;
}

void JisToShiftJis(std::string& text)
{
    constexpr char kEsc = 0x1B;
    constexpr char kShiftOut = 0x0E;
    constexpr char kShiftIn = 0x0F;
    std::string out;
    out.reserve(text.size());
    bool twoByte = false;
    auto jisByte = [](unsigned char c) { return c >= 0x21 && c <= 0x7E; };
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == kEsc && i + 2 < text.size()) {
            const char a = text[i + 1];
            const char b = text[i + 2];
            if (a == '$' && (b == 'B' || b == '@')) {
                twoByte = true;
                i += 3;
                continue;
            }
            if (a == '(' && (b == 'B' || b == 'J' || b == 'I')) {
                twoByte = false;
                i += 3;
                continue;
            }
        }
        if (c == kShiftIn || c == kShiftOut) {
            twoByte = false;
            ++i;
            continue;
        }
        const auto j1 = static_cast<unsigned char>(c);
        if (twoByte && i + 1 < text.size() && jisByte(j1) && jisByte(static_cast<unsigned char>(text[i + 1]))) {
            const auto j2 = static_cast<unsigned char>(text[i + 1]);
            unsigned s1 = ((j1 - 0x21u) >> 1) + 0x81u;
            if (s1 > 0x9F)
                s1 += 0x40;
            unsigned s2;
            if (j1 & 1) {
                s2 = j2 + 0x1Fu;
                if (s2 >= 0x7F)
                    ++s2;
            } else {
                s2 = j2 + 0x7Eu;
            }
            out.push_back(static_cast<char>(s1));
            out.push_back(static_cast<char>(s2));
            i += 2;
            continue;
        }
        out.push_back(c);
        ++i;
    }
    text = std::move(out);
}

std::string ShiftJisToJis(std::string_view sjis)
{
    // Line by line, so that every line ends in ASCII mode before its LF.
    std::string out;
    for (;;) {
        const size_t lf = sjis.find('\n');
        out += toJis(prepare(sjis.substr(0, lf)));
        if (lf == std::string_view::npos)
            break;
        out.push_back('\n');
        sjis.remove_prefix(lf + 1);
    }
    return out;
}

std::string EncodeSubject(std::string_view sjisSubject)
{
    const std::u32string text = prepare(sjisSubject);
    std::string out;
    std::u32string chunk;
    auto flush = [&] {
        if (!out.empty())
            out += "\r\n ";
        out += encodedWord(chunk);
        chunk.clear();
    };
    for (const char32_t c : text) {
        chunk.push_back(c);
        if (chunk.size() > 1 && toJis(chunk).size() > kWordBytes) {
            chunk.pop_back();
            flush();
            chunk.push_back(c);
        }
    }
    if (!chunk.empty() || out.empty())
        flush();
    return out;
}

std::string WireBody(std::string_view body)
{
    std::string out;
    out.reserve(body.size() + body.size() / 16 + 4);
    bool lineStart = true;
    for (const char c : body) {
        if (c == '\r')
            continue;
        if (c == '\n') {
            out += "\r\n";
            lineStart = true;
            continue;
        }
        if (lineStart && c == '.')
            out.push_back('.');
        lineStart = false;
        out.push_back(c);
    }
    return out;
}

bool IsPlainSubjectRecipient(std::string_view address)
{
    if (address.size() < kPlainSubjectDomain.size())
        return false;
    const std::string_view tail = address.substr(address.size() - kPlainSubjectDomain.size());
    for (size_t i = 0; i < tail.size(); ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != kPlainSubjectDomain[i])
            return false;
    }
    return true;
}

} // namespace varnesk
