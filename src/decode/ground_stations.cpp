// Ground station names: defaults for the stations of the home region, and the
// reader of the INI-form override file.
#include "decode/ground_stations.h"

#include "settings/ini_text.h"

#include <QFile>

namespace varnesk {

namespace {

constexpr std::string_view kSection = "GroundStations";

constexpr std::array<std::string_view, GroundStations::kCount> kKeys = {
    "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N",
    "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z", "2",
};

constexpr std::array<std::string_view, GroundStations::kCount> kDefaults = {
    "NARITA",    "KOBE",      "NOTO",    "KOMATSU", "OKAYAMA",  "SASAYAMA", "HAKODATE ", "AKITA",      "SENDAI",
    "KANSAI",    "NIIGATA",   "TSUKUBA", "HANEDA",  "HACHIJYO", "TOYAMA",   "HANAMAKI",  "MEMANBETSU", "OBIHIRO",
    "HIROSHIMA", "FUKUSHIMA", "MISAWA",  "AOMORI",  "SHONAI",   "SHIBI",    "----",      "----",       "BROADCAST",
};

using ini::equalsNoCase;
using ini::trim;

char upper(char c)
{
    return ini::upperAscii(c);
}

} // namespace

GroundStations::GroundStations()
{
    for (int i = 0; i < kCount; ++i)
        m_names[static_cast<size_t>(i)] = std::string(kDefaults[static_cast<size_t>(i)]);
}

std::string_view GroundStations::keyName(int index)
{
    return kKeys[static_cast<size_t>(index)];
}

std::string_view GroundStations::defaultName(int index)
{
    return kDefaults[static_cast<size_t>(index)];
}

std::optional<int> GroundStations::entryIndex(char mode)
{
    const char c = upper(mode);
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c == '2')
        return kCount - 1;
    return std::nullopt;
}

std::optional<std::string_view> GroundStations::StationName(char mode) const
{
    const std::optional<int> i = entryIndex(mode);
    if (!i)
        return std::nullopt;
    return std::string_view(m_names[static_cast<size_t>(*i)]);
}

void GroundStations::LoadGroundStations(const QString& path)
{
    for (int i = 0; i < kCount; ++i)
        m_names[static_cast<size_t>(i)] = std::string(kDefaults[static_cast<size_t>(i)]);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    // The file is a handful of short lines; anything beyond 64 KB is not a
    // ground station table and is ignored.
    const QByteArray bytes = file.read(64 * 1024);
    std::string_view all(bytes.constData(), static_cast<size_t>(bytes.size()));

    std::array<bool, kCount> seen{};
    bool inSection = false;
    while (!all.empty()) {
        const size_t nl = all.find('\n');
        const std::string_view line = trim(all.substr(0, nl));
        all = nl == std::string_view::npos ? std::string_view() : all.substr(nl + 1);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            if (close != std::string_view::npos)
                inSection = equalsNoCase(trim(line.substr(1, close - 1)), kSection);
            else
                inSection = false;
            continue;
        }
        const size_t eq = line.find('=');
        if (!inSection || eq == std::string_view::npos)
            continue;
        const std::string_view key = trim(line.substr(0, eq));
        std::string_view value = trim(line.substr(eq + 1));
        // A value in double quotes keeps its spaces ("HAKODATE ").
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        for (int i = 0; i < kCount; ++i) {
            const auto u = static_cast<size_t>(i);
            if (!seen[u] && equalsNoCase(key, kKeys[u])) {
                // The first line of a key counts, as the INI service reads it.
                seen[u] = true;
                m_names[u] = std::string(value);
            }
        }
    }
}

} // namespace varnesk
