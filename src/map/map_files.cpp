// The map file readers: one pass per file through a fixed 64 KiB buffer, CR LF
// read as LF, a byte 0xFF read as the end of the file, nothing kept after the sink call.
#include "map/map_files.h"

#include <QFile>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace varnesk {

namespace {

constexpr int kEnd = -1;
constexpr size_t kChunkBytes = 64 * 1024;
constexpr size_t kMaxFields = 8;

// One file read a byte at a time in text mode.
class TextStream {
public:
    explicit TextStream(const QString& path) { m_file = std::fopen(QFile::encodeName(path).constData(), "rb"); }
    ~TextStream()
    {
        if (m_file)
            std::fclose(m_file);
    }
    TextStream(const TextStream&) = delete;
    TextStream& operator=(const TextStream&) = delete;

    bool isOpen() const { return m_file != nullptr; }

    int get()
    {
        int c = raw();
        if (c == '\r' && peekRaw() == '\n')
            c = raw();
        return c;
    }

private:
    bool fill()
    {
        if (m_ended || !m_file)
            return false;
        m_len = std::fread(m_buf.data(), 1, m_buf.size(), m_file);
        m_pos = 0;
        if (m_len == 0)
            m_ended = true;
        return m_len > 0;
    }
    int peekRaw()
    {
        if (m_pos >= m_len && !fill())
            return kEnd;
        const int c = static_cast<unsigned char>(m_buf[m_pos]);
        return c == 0xFF ? kEnd : c;
    }
    int raw()
    {
        const int c = peekRaw();
        if (c == kEnd)
            m_ended = true;
        else
            ++m_pos;
        return c;
    }

    std::FILE* m_file = nullptr;
    std::array<char, kChunkBytes> m_buf;
    size_t m_pos = 0;
    size_t m_len = 0;
    bool m_ended = false;
};

// One line of at most kMapLineLimit bytes; the rest of a longer line is read
// and dropped, and the line marked overlong.
struct Line {
    std::array<char, kMapLineLimit + 1> bytes{};
    int length = 0;
    bool overlong = false;
    bool sawEnd = false; // the line ended at the end of the file, not at LF

    std::string_view view() const { return std::string_view(bytes.data(), static_cast<size_t>(length)); }
};

// False when the end of the file came before any byte of a line.
bool readLine(TextStream& in, Line& line)
{
    line.length = 0;
    line.overlong = false;
    line.sawEnd = false;
    bool any = false;
    for (;;) {
        const int c = in.get();
        if (c == kEnd) {
            line.sawEnd = true;
            return any;
        }
        any = true;
        if (c == '\n')
            return true;
        if (line.length < kMapLineLimit)
            line.bytes[static_cast<size_t>(line.length++)] = static_cast<char>(c);
        else
            line.overlong = true;
    }
}

struct Fields {
    std::array<std::string_view, kMaxFields> field{};
    size_t count = 0;
    std::string_view last; // the text after the last comma
    bool overlong = false;
};

Fields splitFields(std::string_view line)
{
    Fields f;
    size_t start = 0;
    for (;;) {
        const size_t comma = line.find(',', start);
        const std::string_view piece =
            line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (piece.size() > static_cast<size_t>(kMapFieldLimit))
            f.overlong = true;
        if (f.count < kMaxFields)
            f.field[f.count] = piece;
        ++f.count;
        f.last = piece;
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return f;
}

char codeOf(std::string_view field)
{
    return field.size() == 1 ? field[0] : '\0';
}

void countError(MapFileStatus& status, int lineNo)
{
    if (status.formatErrors++ == 0)
        status.firstErrorLine = lineNo;
}

} // namespace

bool parseDegrees(std::string_view text, double& value)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

MapFileStatus readCoastline(const QString& path, const std::function<void(const CoastSegment&)>& sink)
{
    MapFileStatus status;
    TextStream in(path);
    if (!in.isOpen())
        return status;
    status.opened = true;

    enum class Polyline { NoPoint, OnePoint, InPolyline };
    Polyline state = Polyline::NoPoint;
    double prevLon = 0, prevLat = 0;
    std::array<char, kMapLineLimit + 1> buf{};
    int len = 0;     // bytes since the line start or the last TAB
    int lineLen = 0; // bytes of the whole line
    bool tabSeen = false;
    bool lonOk = false;
    double lon = 0;
    int lineNo = 1;

    for (;;) {
        const int c = in.get();
        if (c == kEnd)
            break; // a last line without a line end is not used
        if (c == '\t' || c == '\n') {
            const std::string_view text(buf.data(), static_cast<size_t>(len));
            const bool overlong = lineLen > kMapLineLimit;
            if (c == '\t') {
                ++lineLen;
                lonOk = parseDegrees(text, lon);
                tabSeen = true;
                len = 0;
                continue;
            }
            if (overlong) {
                if (tabSeen)
                    countError(status, lineNo);
            } else if (!tabSeen) {
                if (text == "# -b")
                    state = Polyline::NoPoint;
            } else {
                double lat = 0;
                if (!lonOk || !parseDegrees(text, lat)) {
                    countError(status, lineNo);
                } else if (state == Polyline::NoPoint) {
                    prevLon = lon;
                    prevLat = lat;
                    state = Polyline::OnePoint;
                } else {
                    sink(CoastSegment{prevLon, prevLat, lon, lat});
                    ++status.records;
                    prevLon = lon;
                    prevLat = lat;
                    state = Polyline::InPolyline;
                }
            }
            tabSeen = false;
            lonOk = false;
            len = 0;
            lineLen = 0;
            ++lineNo;
            continue;
        }
        ++lineLen;
        if (len < kMapLineLimit)
            buf[static_cast<size_t>(len++)] = static_cast<char>(c);
    }
    return status;
}

MapFileStatus readAirways(const QString& path, const std::function<void(const AirwaySegment&)>& sink)
{
    MapFileStatus status;
    TextStream in(path);
    if (!in.isOpen())
        return status;
    status.opened = true;

    Line first, second;
    int lineNo = 0;
    for (;;) {
        // A first line cut off by the end of the file is dropped.
        if (!readLine(in, first) || first.sawEnd)
            break;
        ++lineNo;
        // At the end of the file a partial second line counts; no second
        // line at all leaves the pair incomplete, and it is dropped.
        const bool haveSecond = readLine(in, second);
        ++lineNo;
        if (!haveSecond)
            break;

        const Fields a = splitFields(first.view());
        const char kind = codeOf(a.field[0]);
        const Fields b = splitFields(second.view());
        AirwaySegment seg{kind, 0, 0, 0, 0};
        const bool ok = !first.overlong && !second.overlong && !a.overlong && !b.overlong && a.count >= 3
                        && b.count >= 3 && parseDegrees(a.field[1], seg.lat0) && parseDegrees(a.last, seg.lon0)
                        && parseDegrees(b.field[1], seg.lat1) && parseDegrees(b.last, seg.lon1);
        // A well-formed pair of another kind is read but never drawn; a pair
        // that is not (garbage, whatever its first byte) is malformed.
        if (!ok)
            countError(status, lineNo - 1);
        else if (kind == '1' || kind == '2' || kind == '3') {
            sink(seg);
            ++status.records;
        }
        if (second.sawEnd)
            break;
    }
    return status;
}

MapFileStatus readNavPoints(const QString& path, const std::function<void(const NavPoint&)>& sink)
{
    MapFileStatus status;
    TextStream in(path);
    if (!in.isOpen())
        return status;
    status.opened = true;

    Line line;
    int lineNo = 0;
    for (;;) {
        const bool any = readLine(in, line);
        if (!any)
            break; // the empty "line" after the last line end is no record
        ++lineNo;
        const Fields f = splitFields(line.view());
        const char type = codeOf(f.field[0]);
        NavPoint p{type, 0, 0, f.last};
        const bool ok = !line.overlong && !f.overlong && f.count >= 4 && parseDegrees(f.field[1], p.lat)
                        && parseDegrees(f.field[2], p.lon);
        // A well-formed point of another type is read but never drawn; an
        // empty line is no record.
        if (line.view().empty() && !line.overlong) {
        } else if (!ok)
            countError(status, lineNo);
        else if (type >= '0' && type <= '9') {
            sink(p);
            ++status.records;
        }
        if (line.sawEnd)
            break;
    }
    return status;
}

} // namespace varnesk
