// The received aircraft list: one row per (flight number, registration) heard,
// in flight-number order, with route, type, position mark and the local time
// of day of the latest block. Times are passed in; the list never reads a clock.
#pragma once

#include "settings/file_write.h"

#include <QObject>
#include <QString>
#include <QTime>

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace varnesk {

class ReferenceTables;
class SettingsStore;

// Column numbers of a row.
enum ListColumn : int {
    kColFlight = 0,
    kColPic = 1,
    kColRegistration = 2,
    kColPos = 3,
    kColDept = 4,
    kColDest = 5,
    kColAircraft = 6,
    kColRemarks = 7,
    kColStation = 8,
    kColLastTime = 9,
    kListColumns = 10,
};

inline constexpr std::string_view kMarkYes = "\x81\x9B"; // "○" in Shift-JIS
inline constexpr std::string_view kMarkNo = "\x81\x7E";  // "×" in Shift-JIS
inline constexpr int kMinDeleteMinutes = 5;
inline constexpr int kMaxDeleteMinutes = 720;
inline constexpr int kSecondsPerDay = 86400;

// The two list.csv headers: the one written at start-up, and the one
// written when the user switches the log on.
inline constexpr std::string_view kListLogStartHeader = "Flight No.,PICS,Reg. No.,DEPT,DEST,AIRCRAFT,Remarks,TIME";
inline constexpr std::string_view kListLogSwitchHeader = "Flight No.,PICS,Reg. No.,DEPT,DEST,Aircraft,Remarks,TIME";

struct ListRow {
    std::array<std::string, kListColumns> cells; // Shift-JIS texts by ListColumn
    int lastSeconds = 0;                         // LastTime as seconds since midnight

    const std::string& cell(int column) const { return cells[static_cast<size_t>(column)]; }
    bool hasPosition() const { return cells[kColPos] == kMarkYes; }
};

// "HH:MM:SS" of a time of day.
std::string TimeOfDayText(QTime t);

// The track side of removing a row: removes the track of this flight number
// if one exists (with the map's selection following); true when one did.
class TrackRemover {
public:
    virtual bool removeTrackOf(std::string_view flight) = 0;

protected:
    ~TrackRemover() = default;
};

class AircraftList : public QObject {
    Q_OBJECT
public:
    // settings give [List] Log, AutoDelete and DeleteTime; listLogPath is list.csv.
    AircraftList(const SettingsStore& settings, const ReferenceTables& tables, QString listLogPath);

    // list.csv: a new path table (the log name setting changed) moves it.
    void setLogPath(QString path) { m_logPath = std::move(path); }
    const QString& logPath() const { return m_logPath; }

    // Who removes the track of a removed row (none: rows go alone).
    void setTrackRemover(TrackRemover* remover) { m_trackRemover = remover; }

    // Every accepted downlink block: refreshes LastTime and Access Sta. of
    // the (flight, registration) row, or creates the row from the tables.
    void UpdateListEntry(std::string_view flight, std::string_view registration, std::string_view station, QTime now);
    // After a stored position: the first row with this flight gets "○" in
    // POS and LastTime now.
    void MarkPosition(std::string_view flight, std::string_view registration, QTime now);
    // POS of the (registration, flight) row back to "×"; nothing without a row.
    void ClearPositionMark(std::string_view registration, std::string_view flight);
    void ClearList();
    // 1-based index of the row, 0 when absent.
    int FindRow(std::string_view registration, std::string_view flight) const;
    int FindRowByFlight(std::string_view flight) const;

    // Removes row i with its track; redraws the map when it had one.
    void removeRow(int row);
    // One tick of the auto-delete timer: rows silent for longer than
    // deleteMinutes go, with their tracks. Returns the number removed.
    int autoDeleteTick(QTime now, int deleteMinutes);
    // Seconds since the row's LastTime; a negative difference (midnight
    // passed) counts from 23:59:59.
    static int elapsedSeconds(int lastSeconds, int nowSeconds);

    // list.csv starts afresh with a header line (CR LF); the previous file
    // is kept under its stamped name.
    void writeLogHeader(std::string_view header);
    // Writes of list.csv that failed.
    int logFailures() const { return m_logHealth.failures(); }

    int rowCount() const { return static_cast<int>(m_rows.size()); }
    const ListRow& row(int i) const { return m_rows[static_cast<size_t>(i)]; }

Q_SIGNALS:
    // Before and after every change, so a view can follow. A new row (index
    // after sorting) is told by rowInserted; the window selects it when
    // [List] ShowNew is on.
    void rowAboutToBeInserted(int row);
    void rowInserted(int row);
    void rowAboutToBeRemoved(int row);
    void rowRemoved(int row);
    void rowChanged(int row);
    void aboutToClear();
    void cleared();
    // A row's position mark changed (the information window refreshes its
    // position line when it shows this registration).
    void positionMarkChanged(std::string_view registration, bool hasPosition);
    // Rows went with their tracks: the map redraws with its current selection.
    void tracksRemoved();
    // list.csv could not be written: the first failure of a stretch (later
    // ones are counted; every new row tries again).
    void logWriteFailed(const QString& path, const QString& reason);

private:
    void appendLogRecord(const ListRow& row);
    void noteLogWrite(const WriteResult& result);
    bool removeRowQuiet(int row); // true when a track went with it

    const SettingsStore& m_settings;
    const ReferenceTables& m_tables;
    QString m_logPath;
    std::vector<ListRow> m_rows;
    TrackRemover* m_trackRemover = nullptr;
    WriteHealth m_logHealth;
};

} // namespace varnesk
