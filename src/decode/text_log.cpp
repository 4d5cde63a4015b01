// Text log writing: file choice, import guard, CR LF translation.
#include "decode/text_log.h"

#include "settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace varnesk {

namespace {

constexpr std::string_view kStartText = "Start Logging at ";
constexpr int kStartDashes = 48;

// Writes text with every "\n" as CR LF. Returns false on a short write.
bool writeTranslated(std::FILE* f, std::string_view text)
{
    size_t from = 0;
    while (from < text.size()) {
        const size_t nl = text.find('\n', from);
        const size_t end = nl == std::string_view::npos ? text.size() : nl;
        if (end > from && std::fwrite(text.data() + from, 1, end - from, f) != end - from)
            return false;
        if (nl == std::string_view::npos)
            break;
        if (std::fwrite("\r\n", 1, 2, f) != 2)
            return false;
        from = nl + 1;
    }
    return true;
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
        case '/': case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
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

std::string TextLog::entryPath(int type, Direction direction, std::string_view flight,
                               std::string_view registration, std::string_view station,
                               std::string_view importFileName) const
{
    std::string path;
    if (type == 1 || type == 2) {
        const std::string_view name = direction == Direction::Uplink ? station
                                      : type == 1                    ? flight
                                                                     : registration;
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

void TextLog::WriteLogEntry(const SettingsStore& settings, Direction direction, std::string_view flight,
                            std::string_view registration, std::string_view station, std::string_view entry) const
{
    const std::string path = entryPath(settings.integer(Key::TxtLogType), direction, flight, registration,
                                       station, m_importFileName);
    if (!settings.boolean(Key::TxtLog) || path.empty())
        return;
    std::FILE* f = std::fopen(path.c_str(), "ab");
    if (!f)
        return;
    writeTranslated(f, entry);
    std::fclose(f);
}

bool TextLog::WriteLogStart(bool withDashes, std::string_view dateTime) const
{
    if (m_textLogPath.empty())
        return false;
    const std::string path = guardImport(m_textLogPath, m_importFileName);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::string text;
    text.append(kStartText).append(dateTime).append("\n");
    if (withDashes)
        text.append(static_cast<size_t>(kStartDashes), '-').append("\n");
    const bool ok = writeTranslated(f, text);
    return std::fclose(f) == 0 && ok;
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
