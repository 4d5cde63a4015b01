// The program's persistent settings: one INI file beside the executable,
// read once at start-up and written once at close. Values are typed fields
// named by Key; text values are Shift-JIS bytes as they stand in the file.
#pragma once

#include "settings/file_write.h"
#include "settings/settings_keys.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace varnesk {

// One row of the operator colour table: the operator code it applies to and
// colours 1 … 7 (track head, plot, highlight, shadow, report text, report
// highlight, report background).
struct OperatorRow {
    std::string text = std::string(kOperatorDefaultText);
    std::array<uint32_t, kOperatorColours> colours{};
};

// "804000" → 0x804000 (blue 0x80, green 0x40, red 0x00). The first six
// characters are read as three pairs, each character counted as its code
// minus 48 when below 'A' and minus 55 otherwise; so lower-case digits do
// not read as their upper-case values. The result is kept to 24 bits.
// Text shorter than six characters gives nullopt.
std::optional<uint32_t> ParseColour(std::string_view text);
// 0x804000 → "804000".
std::string FormatColour(uint32_t colour);

class SettingsStore {
public:
    SettingsStore(); // every key at its default

    // Reads the file; a missing file, section or key leaves the default.
    // Returns false only when the file exists but cannot be read.
    bool Load(const QString& path);
    // Writes every key through a temporary file renamed over the old one
    // once it is complete and synced, so a full disk or an interrupted write
    // leaves the old file as it was (the reason comes back). Keys and
    // sections that the program does not know are written back unchanged.
    // With a mail password the file is readable by its owner only.
    WriteResult Save(const QString& path) const;

    // The corrections made after loading: MaxBytes into 1000 … 63999,
    // MaxConnect at least 1, the two ports into 49152 … 65535, and for a
    // server that does not decode, Dual set aside and replaced by 0.
    void applyStartupCorrections();
    // Puts a set-aside Dual back; on close, before the settings are written.
    void restoreSetAsideDual();
    bool dualSetAside() const { return m_dualAside.has_value(); }
    // The user's decoder choice: the set-aside value while it is set aside.
    int userDual() const
    {
        return m_dualAside ? *m_dualAside : static_cast<int>(m_number[static_cast<int>(Key::Dual)]);
    }

    int integer(Key key) const;
    bool boolean(Key key) const;
    double real(Key key) const;
    const std::string& text(Key key) const;
    uint32_t colour(Key key) const;

    void setInteger(Key key, int value);
    void setBoolean(Key key, bool value);
    void setReal(Key key, double value);
    void setText(Key key, std::string value);
    void setColour(Key key, uint32_t value);

    const OperatorRow& operatorRow(int row) const;
    OperatorRow& operatorRow(int row);

    // The default of a key as a typed value (for "初期化" buttons).
    static uint32_t defaultColour(Key key);

private:
    struct RawEntry {
        std::string key;
        std::string value;
    };
    struct RawSection {
        std::string name;
        std::vector<RawEntry> entries;
        std::unordered_map<std::string, size_t> index; // key in capitals → its entry
    };

    void setFromText(Key key, const std::string& text);
    std::string valueText(Key key) const;
    const std::string* findRaw(std::string_view section, std::string_view key) const;
    bool isKnown(std::string_view section, std::string_view key) const;

    std::array<int64_t, kKeyCount> m_number{}; // integer, boolean, colour
    std::array<double, kKeyCount> m_real{};
    std::array<std::string, kKeyCount> m_text{};
    std::array<OperatorRow, kOperatorRows> m_operators{};
    std::optional<int> m_dualAside;
    std::vector<RawSection> m_raw; // the file as read, for unknown keys
};

} // namespace varnesk
