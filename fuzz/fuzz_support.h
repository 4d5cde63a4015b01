// Shared by the fuzz targets: a program folder that lives for the process
// (the app's data files copied in, logs/ and logs/EachLogs made), files
// written from the fuzzer's bytes, and a reader that takes option bytes and
// separated parts off the front of an input.
#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#ifndef VARNESK_SOURCE_DIR
#define VARNESK_SOURCE_DIR "."
#endif

namespace varnesk::fuzz {

// Splits the parts of one input (several blocks, several messages).
inline constexpr std::string_view kPartSeparator = "#%#";

inline void writeFile(const QString& path, std::string_view bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    if (f.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
        std::abort();
}

inline std::string readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray b = f.readAll();
    return std::string(b.constData(), static_cast<size_t>(b.size()));
}

inline void copyTree(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    const QDir dir(from);
    for (const QFileInfo& e : dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + QLatin1Char('/') + e.fileName();
        if (e.isDir())
            copyTree(e.filePath(), target);
        else
            QFile::copy(e.filePath(), target);
    }
}

// The program folder of the process: appdata copied in, logs/EachLogs made.
inline const QString& appDir()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        copyTree(QStringLiteral(VARNESK_SOURCE_DIR "/appdata"), dir.path());
        QDir(dir.path()).mkpath(QStringLiteral("logs/EachLogs"));
        QDir(dir.path()).mkpath(QStringLiteral("work"));
        // Short reference tables: a fresh pipeline parses them for each input.
        for (const char* table : {"data/airport.csv", "data/letter.csv"}) {
            const QString tablePath = dir.path() + QLatin1Char('/') + QLatin1String(table);
            std::string bytes = readFile(tablePath);
            size_t end = 0;
            for (int line = 0; line < 40 && end != std::string::npos; ++line)
                end = bytes.find('\n', end + 1);
            if (end != std::string::npos)
                bytes.resize(end + 1);
            bytes += table[5] == 'a' ? "RJTT,TOKYO INTL\r\nRJCC,NEW CHITOSE\r\n"
                                     : "JL,JAL,JAPAN AIRLINES\r\nNH,ANA,ALL NIPPON\r\n";
            writeFile(tablePath, bytes);
        }
        writeFile(dir.path() + QStringLiteral("/data/flight.csv"), "JL0012,RJTTRJCC,remark\r\nNH0001,RJCCRJTT,\r\n");
        writeFile(dir.path() + QStringLiteral("/data/aircraft.csv"), ".JA8089,B747\r\n.JA8090,B767-300\r\n");
        return dir.path();
    }();
    return path;
}

// A path in the program folder's work/ folder.
inline QString workFile(const char* name)
{
    return appDir() + QStringLiteral("/work/") + QLatin1String(name);
}

// A property the target checks failed: report and abort (the fuzzer keeps the input).
[[noreturn]] inline void fail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// Takes option bytes and parts off the front of an input.
class Input {
public:
    Input(const uint8_t* data, size_t size) : m_rest(reinterpret_cast<const char*>(data), size) { }

    // The next byte, 0 once the input is used up.
    uint8_t byte()
    {
        if (m_rest.empty())
            return 0;
        const auto b = static_cast<uint8_t>(m_rest.front());
        m_rest.remove_prefix(1);
        return b;
    }
    // Up to n bytes.
    std::string_view take(size_t n)
    {
        const std::string_view s = m_rest.substr(0, n);
        m_rest.remove_prefix(s.size());
        return s;
    }
    std::string_view rest() const { return m_rest; }
    // The rest cut at every kPartSeparator.
    std::vector<std::string_view> parts() const
    {
        std::vector<std::string_view> out;
        std::string_view s = m_rest;
        for (;;) {
            const size_t at = s.find(kPartSeparator);
            out.push_back(s.substr(0, at));
            if (at == std::string_view::npos)
                break;
            s.remove_prefix(at + kPartSeparator.size());
        }
        return out;
    }

private:
    std::string_view m_rest;
};

} // namespace varnesk::fuzz
