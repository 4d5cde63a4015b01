// Text log writing: file choice, import guard, CR LF translation.
#include "decode/text_log.h"

#include "settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace varnesk {

namespace {

constexpr std::string_view kStartText = "Start Logging at ";
constexpr int kStartDashes = 48;

// text with every "\n" as CR LF.
std::string translated(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    for (const char c : text) {
        if (c == '\n')
            out += "\r\n";
        else
            out.push_back(c);
    }
    return out;
}

bool samePath(const std::string& a, std::string_view b)
{
    if (b.empty())
        return false;
    if (a == b)
        return true;
    // Another spelling of the same file (a doubled "/", a link) is the same
    // file too: appending to the log being imported would feed it to itself.
    const QFileInfo fa(QFile::decodeName(QByteArray(a.data(), static_cast<qsizetype>(a.size()))));
    const QFileInfo fb(QFile::decodeName(QByteArray(b.data(), static_cast<qsizetype>(b.size()))));
    return fa.exists() && fb.exists() && fa.canonicalFilePath() == fb.canonicalFilePath();
}

} // namespace

void TextLog::setPaths(std::string textLogPath, std::string eachLogsDir)
{
    m_textLogPath = std::move(textLogPath);
    m_eachLogsDir = std::move(eachLogsDir);
}

bool TextLog::validFileName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        // Control bytes and the characters no file system of a shared folder
        // accepts in a name.
        if (c < 0x20 || c == 0x7F)
            return false;
        switch (c) {
        case '/':
        case '\\':
        case ':':
        case '*':
        case '?':
        case '"':
        case '<':
        case '>':
        case '|':
            return false;
        default:
            break;
        }
    }
    return true;
}

std::string TextLog::guardImport(std::string path, std::string_view importFileName)
{
    if (!samePath(path, importFileName))
        return path;
    const size_t at = path.size() >= 4 ? path.size() - 4 : 0;
    path.insert(at, "_c");
    return path;
}

std::string TextLog::entryPath(int type, Direction direction, std::string_view flight, std::string_view registration,
                               std::string_view station, std::string_view importFileName) const
{
    std::string path;
    if (type == 1 || type == 2) {
        const std::string_view name = direction == Direction::Uplink ? station : type == 1 ? flight : registration;
        if (!validFileName(name))
            return {};
        path.reserve(m_eachLogsDir.size() + name.size() + 6);
        path.append(m_eachLogsDir).append("/").append(name).append(".log");
    } else {
        path = m_textLogPath;
    }
    if (path.empty())
        return {};
    return guardImport(std::move(path), importFileName);
}

std::optional<LogWriteFailure> TextLog::WriteLogEntry(const SettingsStore& settings, Direction direction,
                                                      std::string_view flight, std::string_view registration,
                                                      std::string_view station, std::string_view entry) const
{
    const std::string path =
        entryPath(settings.integer(Key::TxtLogType), direction, flight, registration, station, m_importFileName);
    if (!settings.boolean(Key::TxtLog) || path.empty())
        return std::nullopt;
    const QString name = QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
    // One write of the whole entry, cut back when the disk takes only part.
    const WriteResult written = appendWhole(name, translated(entry));
    if (written)
        return std::nullopt;
    return LogWriteFailure{name, written.reason};
}

std::optional<LogWriteFailure> TextLog::WriteLogStart(bool withDashes, std::string_view dateTime) const
{
    if (m_textLogPath.empty())
        return LogWriteFailure{};
    const std::string path = guardImport(m_textLogPath, m_importFileName);
    const QString name = QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
    std::string text;
    text.append(kStartText).append(dateTime).append("\n");
    if (withDashes)
        text.append(static_cast<size_t>(kStartDashes), '-').append("\n");
    // The log of the previous run is kept under its stamped name; the
    // log's own name starts afresh.
    WriteResult written = keepPreviousLog(name);
    if (written)
        written = replaceFile(name, translated(text));
    if (written)
        return std::nullopt;
    return LogWriteFailure{name, written.reason};
}

int TextLog::deleteEachLogs() const
{
    if (m_eachLogsDir.empty())
        return 0;
    QDir dir(QFile::decodeName(QByteArray(m_eachLogsDir.data(), static_cast<qsizetype>(m_eachLogsDir.size()))));
    if (!dir.exists())
        return 0;
    int deleted = 0;
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& info : entries) {
        if (!info.fileName().endsWith(QStringLiteral(".log"), Qt::CaseInsensitive))
            continue;
        if (QFile::remove(info.absoluteFilePath()))
            ++deleted;
    }
    return deleted;
}

} // namespace varnesk
