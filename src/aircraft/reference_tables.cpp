// Table look-ups of the reference tables: first line whose first field equals
// the key wins; LF or CR LF line ends; a byte 0xFF ends the file.
#include "aircraft/reference_tables.h"

#include <optional>

#include "settings/app_paths.h"

#include <QFile>

#include <sys/stat.h>

#include <algorithm>
#include <vector>

namespace varnesk {

namespace {

constexpr size_t kMaxFields = 16;

struct TableLine {
    std::array<std::string_view, kMaxFields> fields{};
    size_t count = 0;
    // The last field of the line, even past kMaxFields.
    std::string_view last;
};

bool isLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The longest start of field within limit bytes that does not end inside a
// two-byte Shift-JIS character.
std::string_view cutView(std::string_view field, size_t limit)
{
    size_t n = 0;
    while (n < field.size()) {
        const size_t width = isLeadByte(static_cast<unsigned char>(field[n])) && n + 1 < field.size() ? 2 : 1;
        if (n + width > limit)
            break;
        n += width;
    }
    return field.substr(0, n);
}

std::string cut(std::string_view field, size_t limit)
{
    return std::string(cutView(field, limit));
}

// Splits one line (without its line end) at every comma.
TableLine splitLine(std::string_view line)
{
    TableLine out;
    size_t start = 0;
    for (;;) {
        const size_t comma = line.find(',', start);
        const std::string_view field = line.substr(start, comma == std::string_view::npos ? line.npos : comma - start);
        if (out.count < kMaxFields)
            out.fields[out.count++] = field;
        out.last = field;
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return out;
}

QString defaultPics(const AppPaths& paths)
{
    return paths.picsDir.isEmpty() ? paths.appDir + QStringLiteral("/pics") : paths.picsDir;
}

} // namespace

// One version of a table file: its bytes up to a 0xFF, and for every key the
// first line (without its line end) that has it as the first field, sorted by
// key. A line counts only when a comma ends its first field; keys that are
// empty or longer than the table's key limit can never be asked for and are
// left out. A last line without a line end still counts, and so does the
// line that a 0xFF byte cuts short.
namespace {

// The key of a table line (its CR already gone): the text before the first
// comma when it is 1 … keyLimit bytes long.
std::optional<std::string_view> tableKey(std::string_view line, size_t keyLimit)
{
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos || comma == 0 || comma > keyLimit)
        return std::nullopt;
    return line.substr(0, comma);
}

// Calls each(line) for every line of a table's bytes, CR removed, up to a
// byte 0xFF.
template <class Each>
void forEachTableLine(std::string_view text, Each each)
{
    const size_t stop = text.find('\xFF');
    if (stop != std::string_view::npos)
        text = text.substr(0, stop);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        start = end + 1;
        each(line);
    }
}

constexpr std::array<size_t, 4> kTableKeyLimits{kFlightKeyLimit, kRegistrationKeyLimit, kAirportCodeLimit,
                                                kLetterKeyLimit};

} // namespace

struct ReferenceTables::ParsedTable {
    struct Entry {
        std::string_view key;
        std::string_view line;
    };
    QByteArray bytes;
    std::vector<Entry> entries; // views into bytes

    ParsedTable(QByteArray content, size_t keyLimit) : bytes(std::move(content))
    {
        forEachTableLine(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                         [&](std::string_view line) {
                             if (const std::optional<std::string_view> key = tableKey(line, keyLimit))
                                 entries.push_back({*key, line});
                         });
        // Stable, so that of equal keys the first line of the file stays first.
        std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
        entries.erase(
            std::unique(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.key == b.key; }),
            entries.end());
    }

    std::string_view find(std::string_view key) const
    {
        const auto it = std::lower_bound(entries.begin(), entries.end(), key,
                                         [](const Entry& e, std::string_view k) { return e.key < k; });
        return it != entries.end() && it->key == key ? it->line : std::string_view();
    }
};

const QString& ReferenceTables::pathOf(Table table) const
{
    switch (table) {
    case kFlight:
        return m_flight;
    case kAircraft:
        return m_aircraft;
    case kAirport:
        return m_airport;
    case kLetter:
    case kTableCount:
        break;
    }
    return m_letter;
}

std::string_view ReferenceTables::findLine(Table table, std::string_view key) const
{
    const size_t keyLimit = kTableKeyLimits[table];
    if (key.empty() || key.size() > keyLimit)
        return {};
    const QString& path = pathOf(table);
    if (path.isEmpty())
        return {};
    CachedTable& cached = m_cache[table];
    // The stamp is taken before the bytes are read: an edit landing between
    // the two is kept under the older stamp and so read again next time.
    struct stat st { };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        // A missing file has no lines; it is looked for again next time.
        cached = {};
        return {};
    }
    const FileStamp stamp{static_cast<int64_t>(st.st_size),
                          static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
                          static_cast<uint64_t>(st.st_ino), static_cast<uint64_t>(st.st_dev)};
    if (!cached.parsed || !(cached.stamp == stamp)) {
        cached = {};
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {}; // unreadable: no lines, tried again next time
        ++m_parses;
        cached.parsed = std::make_shared<const ParsedTable>(file.readAll(), keyLimit);
        cached.stamp = stamp;
    }
    return cached.parsed->find(key);
}

std::vector<TableFileCheck> ReferenceTables::checkFiles() const
{
    std::vector<TableFileCheck> out;
    for (int table = kFlight; table < kTableCount; ++table) {
        QFile file(pathOf(static_cast<Table>(table)));
        if (file.fileName().isEmpty() || !file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        TableFileCheck check{file.fileName()};
        int lineNo = 0;
        forEachTableLine(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                         [&](std::string_view line) {
                             ++lineNo;
                             if (line.empty() || tableKey(line, kTableKeyLimits[static_cast<size_t>(table)]))
                                 return;
                             if (check.malformed++ == 0)
                                 check.firstLine = lineNo;
                         });
        if (check.malformed > 0)
            out.push_back(std::move(check));
    }
    return out;
}

ReferenceTables::ReferenceTables(const AppPaths& paths)
    : m_flight(paths.flightTable), m_aircraft(paths.aircraftTable), m_airport(paths.airportTable),
      m_letter(paths.letterTable), m_pics(defaultPics(paths))
{
}

ReferenceTables::ReferenceTables(QString flightTable, QString aircraftTable, QString airportTable, QString letterTable,
                                 QString picsDir)
    : m_flight(std::move(flightTable)), m_aircraft(std::move(aircraftTable)), m_airport(std::move(airportTable)),
      m_letter(std::move(letterTable)), m_pics(std::move(picsDir))
{
}

FlightInfo ReferenceTables::LookupFlight(std::string_view flight) const
{
    FlightInfo info;
    const std::string_view text = findLine(kFlight, flight);
    if (text.empty())
        return info;
    const TableLine line = splitLine(text);
    info.found = true;
    const std::string_view route = line.count > 1 ? line.fields[1].substr(0, kRouteLimit) : std::string_view();
    info.departure = std::string(route.substr(0, 4));
    info.destination = route.size() > 4 ? std::string(route.substr(4, 4)) : std::string();
    info.remark = line.count > 2 ? cut(line.fields[2], kRemarkLimit) : std::string();
    return info;
}

bool ReferenceTables::LookupAircraftType(std::string_view registration, std::string& type) const
{
    type.clear();
    const std::string_view text = findLine(kAircraft, registration);
    if (text.empty())
        return false;
    const TableLine line = splitLine(text);
    // The value is the last field of the line ("JA8089,B747,B747-400" gives B747-400).
    if (line.count > 1)
        type = cut(line.last, kTypeLimit);
    return true;
}

std::string ReferenceTables::LookupAirportName(std::string_view code) const
{
    const std::string_view text = findLine(kAirport, code);
    if (text.empty())
        return std::string(code);
    const TableLine line = splitLine(text);
    return line.count > 1 ? cut(line.last, kAirportNameLimit) : std::string();
}

std::string ReferenceTables::LookupOperatorName(std::string_view flight) const
{
    const std::string_view text = flight.size() < 2 ? std::string_view() : findLine(kLetter, flight.substr(0, 2));
    if (text.empty())
        return "-";
    const TableLine line = splitLine(text);
    return line.count > 2 ? cut(line.fields[2], kOperatorNameLimit) : std::string();
}

std::string ReferenceTables::DisplayFlightNumber(std::string_view flight, bool threeLetter, bool zeroDeletion) const
{
    std::string_view number = flight.size() > 2 ? flight.substr(2, 4) : std::string_view();
    if (zeroDeletion)
        while (!number.empty() && number.front() == '0')
            number.remove_prefix(1);
    const std::string_view code = flight.substr(0, 2);
    if (!threeLetter)
        return std::string(code) + std::string(number);
    const std::string_view text = flight.size() < 2 ? std::string_view() : findLine(kLetter, code);
    if (text.empty())
        return std::string(flight);
    const TableLine line = splitLine(text);
    const std::string_view designator = line.count > 1 ? cutView(line.fields[1], kDesignatorLimit) : std::string_view();
    return std::string(designator) + std::string(number);
}

QString ReferenceTables::AircraftPicturePath(std::string_view registration) const
{
    if (registration.empty() || registration == "." || registration == ".."
        || registration.find('/') != std::string_view::npos || registration.find('\0') != std::string_view::npos)
        return {};
    const QByteArray name(registration.data(), static_cast<qsizetype>(registration.size()));
    return m_pics + QLatin1Char('/') + QFile::decodeName(name) + QStringLiteral(".jpg");
}

} // namespace varnesk
