// The ground station table: the 27 station names that the mode characters
// "A" … "Z" and "2" select, built-in defaults overridden per key by the
// [GroundStations] section of data/ground.txt. Names are Shift-JIS bytes.
#pragma once

#include <QString>

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace varnesk {

class GroundStations {
public:
    static constexpr int kCount = 27; // "A" … "Z", then "2"

    GroundStations(); // every entry at its default

    // Reads data/ground.txt. A missing file or key keeps the default; keys are
    // read in the order A … Z, 2. Nothing is reported.
    void LoadGroundStations(const QString& path);

    // The entry a mode character selects: "A"/"a" … "Z"/"z" and "2". Any other
    // character selects none.
    static std::optional<int> entryIndex(char mode);
    // The name of the entry the mode character selects, or nullopt.
    std::optional<std::string_view> StationName(char mode) const;
    const std::string& name(int index) const { return m_names[static_cast<size_t>(index)]; }

    static std::string_view keyName(int index);
    static std::string_view defaultName(int index);

private:
    std::array<std::string, kCount> m_names;
};

} // namespace varnesk
