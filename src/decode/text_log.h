// The text log: every entry of the received text window appended, while [Txt]
// Log is on, to the text log or to one file per flight, registration or ground
// station in logs/EachLogs. Entries are Shift-JIS bytes built with "\n" line
// ends; every "\n" reaches the file as CR LF (so "\r\n" is stored CR CR LF).
#pragma once

#include "decode/acars_block.h"
#include "settings/file_write.h"

#include <QString>

#include <optional>

#include <string>
#include <string_view>

namespace varnesk {

class SettingsStore;

// A log entry or start that did not reach its file.
struct LogWriteFailure {
    QString path;
    QString reason;
};

class TextLog {
public:
    // Paths as file-system bytes: the text log and the EachLogs folder.
    void setPaths(std::string textLogPath, std::string eachLogsDir);
    const std::string& textLogPath() const { return m_textLogPath; }
    const std::string& eachLogsDir() const { return m_eachLogsDir; }

    // The file an entry goes to under [Txt] Type (0 text log, 1 by flight,
    // 2 by registration; uplinks by ground station under 1 and 2), with the
    // import guard applied. Empty when the name is not a valid file name.
    std::string entryPath(int type, Direction direction, std::string_view flight, std::string_view registration,
                          std::string_view station, std::string_view importFileName) const;

    // The RAW log being imported (file-system bytes), empty when none: no
    // entry is ever written into it (see guardImport). Set by the import.
    void setImportFileName(std::string path) { m_importFileName = std::move(path); }
    const std::string& importFileName() const { return m_importFileName; }

    // Appends one entry (built with "\n" line ends) when [Txt] Log is on,
    // whole or not at all. A name that is no file name loses the entry
    // quietly; a file that cannot be written gives the failure.
    std::optional<LogWriteFailure> WriteLogEntry(const SettingsStore& settings, Direction direction,
                                                 std::string_view flight, std::string_view registration,
                                                 std::string_view station, std::string_view entry) const;

    // Starts the text log afresh: the previous file is kept under its
    // stamped name (text_yyyyMMddHHmm.log after its last write) and a new
    // one gets "Start Logging at " + date-time, and with withDashes a line of
    // 48 "-" below it. Gives the failure when a file cannot be written.
    std::optional<LogWriteFailure> WriteLogStart(bool withDashes, std::string_view dateTime) const;

    // Deletes every "*.log" file of the EachLogs folder (not entering
    // subfolders). Returns the number deleted.
    int deleteEachLogs() const;

    // "_c" inserted before the last four characters when path is the file
    // being imported; otherwise path unchanged.
    static std::string guardImport(std::string path, std::string_view importFileName);
    // True when name can stand as a file name in the EachLogs folder.
    static bool validFileName(std::string_view name);

private:
    std::string m_textLogPath;
    std::string m_eachLogsDir;
    std::string m_importFileName;
};

} // namespace varnesk
