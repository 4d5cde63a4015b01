// Table scans of the reference tables: first line whose first field equals
// the key wins; LF or CR LF line ends; a byte 0xFF ends the file.
#include "aircraft/reference_tables.h"

#include "settings/app_paths.h"

#include <QDesktopServices>
#include <QFile>
#include <QUrl>

#include <array>

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

// The first line of the file whose first field is the key. The file's bytes
// are kept in buffer, which the returned views point into. A file that
// cannot be opened has no lines. A last line without a line end still counts,
// and so does the line that a 0xFF byte cuts short.
bool findLine(const QString& path, std::string_view key, size_t keyLimit, QByteArray& buffer, TableLine& found)
{
    if (key.empty() || key.size() > keyLimit)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    buffer = file.readAll();
    std::string_view text(buffer.constData(), static_cast<size_t>(buffer.size()));
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
        // The key is compared when a comma ends the first field: a line
        // without a comma matches nothing.
        const size_t comma = line.find(',');
        if (comma == std::string_view::npos || line.substr(0, comma) != key)
            continue;
        found = splitLine(line);
        return true;
    }
    return false;
}

QString defaultPics(const AppPaths& paths)
{
    return paths.picsDir.isEmpty() ? paths.appDir + QStringLiteral("/pics") : paths.picsDir;
}

} // namespace

ReferenceTables::ReferenceTables(const AppPaths& paths)
    : m_flight(paths.flightTable), m_aircraft(paths.aircraftTable), m_airport(paths.airportTable),
      m_letter(paths.letterTable), m_pics(defaultPics(paths))
{
}

ReferenceTables::ReferenceTables(QString flightTable, QString aircraftTable, QString airportTable,
                                 QString letterTable, QString picsDir)
    : m_flight(std::move(flightTable)), m_aircraft(std::move(aircraftTable)), m_airport(std::move(airportTable)),
      m_letter(std::move(letterTable)), m_pics(std::move(picsDir))
{
}

FlightInfo ReferenceTables::LookupFlight(std::string_view flight) const
{
    FlightInfo info;
    QByteArray buffer;
    TableLine line;
    if (!findLine(m_flight, flight, kFlightKeyLimit, buffer, line))
        return info;
    info.found = true;
    const std::string_view route = line.count > 1 ? line.fields[1].substr(0, kRouteLimit) : std::string_view();
    info.departure = std::string(route.substr(0, 4));
    info.destination = route.size() > 4 ? std::string(route.substr(4, 4)) : std::string();
    info.remark = line.count > 2 ? cut(line.fields[2], kRemarkLimit) : std::string();
    return info;
}

bool ReferenceTables::LookupAircraftType(std::string_view registration, std::string& type) const
{
    QByteArray buffer;
    TableLine line;
    type.clear();
    if (!findLine(m_aircraft, registration, kRegistrationKeyLimit, buffer, line))
        return false;
    // The value is the last field of the line ("JA8089,B747,B747-400" gives B747-400).
    if (line.count > 1)
        type = cut(line.last, kTypeLimit);
    return true;
}

std::string ReferenceTables::LookupAirportName(std::string_view code) const
{
    QByteArray buffer;
    TableLine line;
    if (!findLine(m_airport, code, kAirportCodeLimit, buffer, line))
        return std::string(code);
    return line.count > 1 ? cut(line.last, kAirportNameLimit) : std::string();
}

std::string ReferenceTables::LookupOperatorName(std::string_view flight) const
{
    QByteArray buffer;
    TableLine line;
    if (flight.size() < 2 || !findLine(m_letter, flight.substr(0, 2), kLetterKeyLimit, buffer, line))
        return "-";
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
    QByteArray buffer;
    TableLine line;
    if (flight.size() < 2 || !findLine(m_letter, code, kLetterKeyLimit, buffer, line))
        return std::string(flight);
    const std::string_view designator = line.count > 1 ? cutView(line.fields[1], kDesignatorLimit) : std::string_view();
    return std::string(designator) + std::string(number);
}

QString ReferenceTables::AircraftPicturePath(std::string_view registration) const
{
    if (registration.empty() || registration == "." || registration == ".." ||
        registration.find('/') != std::string_view::npos || registration.find('\0') != std::string_view::npos)
        return {};
    const QByteArray name(registration.data(), static_cast<qsizetype>(registration.size()));
    return m_pics + QLatin1Char('/') + QFile::decodeName(name) + QStringLiteral(".jpg");
}

void OpenFlightTable(const AppPaths& paths)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(paths.flightTable));
}

void OpenAircraftTable(const AppPaths& paths)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(paths.aircraftTable));
}

void OpenApplicationFolder(const AppPaths& paths)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(paths.appDir));
}

} // namespace varnesk
