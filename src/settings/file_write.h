// Writing files so that nothing is lost: a file the program replaces is
// written beside it, checked, synced and renamed over the old one; an entry
// appended to a log is written whole or not at all; a log that starts afresh
// first keeps its previous file under a stamped name. Paths are QStrings;
// bytes go to disk as given. Failures come back with the system's reason.
#pragma once

#include <QDateTime>
#include <QString>

#include <string_view>

namespace varnesk {

struct WriteResult {
    bool ok = true;
    QString reason; // the system's text when !ok
    explicit operator bool() const { return ok; }
};

// Replaces the contents of path with bytes. The old file stays untouched
// unless everything was written and synced. The new file keeps the old one's
// permissions (0644 for a new file); ownerOnly takes away every right of
// group and others (a file that holds a password).
WriteResult replaceFile(const QString& path, std::string_view bytes, bool ownerOnly = false);

// Appends bytes to path, creating it when missing. When not all of them can
// be written the file is cut back to its old length.
WriteResult appendWhole(const QString& path, std::string_view bytes);

// The name an earlier log is kept under: "_" and the stamp yyyyMMddHHmm of
// lastWrite inserted before the extension (logs/text.log → logs/text_202612110940.log).
QString stampedLogName(const QString& path, const QDateTime& lastWrite);

// Before a log starts afresh: a non-empty file at path is renamed to its
// stamped name (its last write's time; "-2", "-3" … added when that name is
// taken). A missing or empty file needs nothing.
WriteResult keepPreviousLog(const QString& path);

// One file's write failures, so that a failing log is reported once per
// stretch of failures (and the count kept) instead of at every entry.
class WriteHealth {
public:
    // Counts a failure; true when it is the first since the last success.
    bool noteFailure(const QString& reason)
    {
        ++m_failures;
        m_reason = reason;
        const bool first = !m_failing;
        m_failing = true;
        return first;
    }
    // True when it ends a stretch of failures.
    bool noteSuccess()
    {
        const bool resumed = m_failing;
        m_failing = false;
        return resumed;
    }
    bool failing() const { return m_failing; }
    int failures() const { return m_failures; }
    const QString& reason() const { return m_reason; }

private:
    bool m_failing = false;
    int m_failures = 0;
    QString m_reason;
};

} // namespace varnesk
