// CP932 conversion with glibc iconv ("CP932", which keeps 0x5C and 0x7E as
// ASCII, unlike glibc's "SHIFT_JIS").
#include "acars/sjis.h"

#include <iconv.h>

#include <cerrno>

namespace varnesk {

namespace {

// One converter per direction, opened on first use and kept for the life of
// the process (all use is on the main thread).
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) { }
    ~Converter()
    {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts the whole input; a unit that cannot be converted (unitBytes
    // long) is replaced and skipped.
    void run(const char* in, size_t inLen, std::string& out, size_t unitBytes, const std::string_view replacement)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char buffer[1024];
        auto* src = const_cast<char*>(in);
        size_t left = inLen;
        while (left > 0) {
            char* dst = buffer;
            size_t room = sizeof buffer;
            const size_t r = iconv(m_cd, &src, &left, &dst, &room);
            out.append(buffer, static_cast<size_t>(dst - buffer));
            if (r != static_cast<size_t>(-1))
                break;
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL (a lead byte at the end): replace one unit and go on.
            out.append(replacement);
            const size_t skip = left < unitBytes ? left : unitBytes;
            src += skip;
            left -= skip;
        }
    }

private:
    iconv_t m_cd;
};

Converter& toUnicode()
{
    static Converter c("UTF-16LE", "CP932");
    return c;
}

Converter& fromUnicode()
{
    static Converter c("CP932", "UTF-16LE");
    return c;
}

} // namespace

QString sjisToQString(std::string_view bytes)
{
    if (bytes.empty())
        return {};
    Converter& c = toUnicode();
    if (!c.valid())
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    std::string utf16;
    utf16.reserve(bytes.size() * 2);
    static constexpr char kReplacement[] = {'\xFD', '\xFF'}; // U+FFFD little-endian
    c.run(bytes.data(), bytes.size(), utf16, 1, std::string_view(kReplacement, 2));
    return QString(reinterpret_cast<const QChar*>(utf16.data()), static_cast<qsizetype>(utf16.size() / 2));
}

std::string qstringToSjis(const QString& text)
{
    if (text.isEmpty())
        return {};
    Converter& c = fromUnicode();
    std::string out;
    if (!c.valid()) {
        const QByteArray latin = text.toLatin1();
        return std::string(latin.constData(), static_cast<size_t>(latin.size()));
    }
    out.reserve(static_cast<size_t>(text.size()) * 2);
    c.run(reinterpret_cast<const char*>(text.utf16()), static_cast<size_t>(text.size()) * 2, out, 2, "?");
    return out;
}

} // namespace varnesk
