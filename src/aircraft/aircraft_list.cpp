// The received aircraft list's rows, their ordering, auto delete and list.csv.
#include "aircraft/aircraft_list.h"

#include "aircraft/reference_tables.h"
#include "settings/settings_store.h"

#include <QFile>

#include <algorithm>
#include <cstdio>

namespace varnesk {

std::string TimeOfDayText(QTime t)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour(), t.minute(), t.second());
    return text;
}

namespace {

int secondsOf(QTime t)
{
    return t.isValid() ? t.msecsSinceStartOfDay() / 1000 : 0;
}

} // namespace

AircraftList::AircraftList(const SettingsStore& settings, const ReferenceTables& tables, QString listLogPath)
    : m_settings(settings), m_tables(tables), m_logPath(std::move(listLogPath))
{
}

int AircraftList::FindRow(std::string_view registration, std::string_view flight) const
{
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].cells[kColFlight] == flight && m_rows[i].cells[kColRegistration] == registration)
            return static_cast<int>(i) + 1;
    return 0;
}

int AircraftList::FindRowByFlight(std::string_view flight) const
{
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].cells[kColFlight] == flight)
            return static_cast<int>(i) + 1;
    return 0;
}

void AircraftList::UpdateListEntry(std::string_view flight, std::string_view registration, std::string_view station,
                                   QTime now)
{
    const int found = FindRow(registration, flight);
    if (found > 0) {
        ListRow& row = m_rows[static_cast<size_t>(found - 1)];
        row.lastSeconds = secondsOf(now);
        row.cells[kColLastTime] = TimeOfDayText(now);
        row.cells[kColStation].assign(station);
        Q_EMIT rowChanged(found - 1);
        return;
    }

    ListRow row;
    std::string type;
    if (!m_tables.LookupAircraftType(registration, type))
        type = "NO DATA";
    const FlightInfo info = m_tables.LookupFlight(flight);
    row.cells[kColFlight] = std::string(flight);
    row.cells[kColPic] = std::string(kMarkNo);
    row.cells[kColRegistration] = std::string(registration);
    row.cells[kColPos] = std::string(kMarkNo);
    row.cells[kColDept] = info.departure;
    row.cells[kColDest] = info.destination;
    row.cells[kColAircraft] = type;
    row.cells[kColRemarks] = info.remark;
    row.cells[kColStation] = std::string(station);
    row.cells[kColLastTime] = TimeOfDayText(now);
    row.lastSeconds = secondsOf(now);
    const QString picture = m_tables.AircraftPicturePath(registration);
    if (!picture.isEmpty() && QFile::exists(picture))
        row.cells[kColPic] = std::string(kMarkYes);

    // Rows stand in ascending byte order of the flight number; a new row
    // goes after the rows with an equal flight number.
    const auto at = std::upper_bound(m_rows.begin(), m_rows.end(), row.cells[kColFlight],
                                     [](const std::string& f, const ListRow& r) { return f < r.cells[kColFlight]; });
    const int index = static_cast<int>(at - m_rows.begin());
    Q_EMIT rowAboutToBeInserted(index);
    m_rows.insert(at, std::move(row));
    Q_EMIT rowInserted(index);
    if (m_settings.boolean(Key::ListLog))
        appendLogRecord(m_rows[static_cast<size_t>(index)]);
}

void AircraftList::MarkPosition(std::string_view flight, std::string_view /*registration*/, QTime now)
{
    const int found = FindRowByFlight(flight);
    if (found == 0)
        return;
    ListRow& row = m_rows[static_cast<size_t>(found - 1)];
    row.cells[kColPos] = std::string(kMarkYes);
    row.lastSeconds = secondsOf(now);
    row.cells[kColLastTime] = TimeOfDayText(now);
    Q_EMIT rowChanged(found - 1);
    Q_EMIT positionMarkChanged(row.cells[kColRegistration], true);
}

void AircraftList::ClearPositionMark(std::string_view registration, std::string_view flight)
{
    const int found = FindRow(registration, flight);
    if (found == 0)
        return;
    ListRow& row = m_rows[static_cast<size_t>(found - 1)];
    row.cells[kColPos] = std::string(kMarkNo);
    Q_EMIT rowChanged(found - 1);
    Q_EMIT positionMarkChanged(row.cells[kColRegistration], false);
}

void AircraftList::ClearList()
{
    Q_EMIT aboutToClear();
    m_rows.clear();
    Q_EMIT cleared();
}

bool AircraftList::removeRowQuiet(int index)
{
    if (index < 0 || index >= rowCount())
        return false;
    const std::string flight = m_rows[static_cast<size_t>(index)].cells[kColFlight];
    Q_EMIT rowAboutToBeRemoved(index);
    m_rows.erase(m_rows.begin() + index);
    Q_EMIT rowRemoved(index);
    return m_trackRemover && m_trackRemover->removeTrackOf(flight);
}

void AircraftList::removeRow(int index)
{
    if (removeRowQuiet(index))
        Q_EMIT tracksRemoved();
}

int AircraftList::elapsedSeconds(int lastSeconds, int nowSeconds)
{
    int elapsed = nowSeconds - lastSeconds;
    if (elapsed < 0)
        elapsed = nowSeconds + (kSecondsPerDay - 1) - lastSeconds;
    return elapsed;
}

int AircraftList::autoDeleteTick(QTime now, int deleteMinutes)
{
    const int limit = deleteMinutes * 60;
    const int nowSeconds = secondsOf(now);
    int removed = 0;
    bool trackRemoved = false;
    // Every row is examined once per tick, also the one that moved into the
    // place of a removed row.
    for (int i = 0; i < rowCount();) {
        if (elapsedSeconds(m_rows[static_cast<size_t>(i)].lastSeconds, nowSeconds) > limit) {
            trackRemoved |= removeRowQuiet(i);
            ++removed;
        } else {
            ++i;
        }
    }
    if (trackRemoved)
        Q_EMIT tracksRemoved();
    return removed;
}

void AircraftList::writeLogHeader(std::string_view header)
{
    std::string text(header);
    text += "\r\n";
    WriteResult written = keepPreviousLog(m_logPath);
    if (written)
        written = replaceFile(m_logPath, text);
    noteLogWrite(written);
}

void AircraftList::appendLogRecord(const ListRow& row)
{
    std::string line;
    for (int c : {kColFlight, kColPic, kColRegistration, kColDept, kColDest, kColAircraft, kColRemarks, kColLastTime}) {
        if (c != kColFlight)
            line += ',';
        line += row.cell(c);
    }
    line += "\r\n";
    // A row is written whole or not at all.
    noteLogWrite(appendWhole(m_logPath, line));
}

void AircraftList::noteLogWrite(const WriteResult& result)
{
    if (result)
        m_logHealth.noteSuccess();
    else if (m_logHealth.noteFailure(result.reason))
        Q_EMIT logWriteFailed(m_logPath, result.reason);
}

} // namespace varnesk
