// The search list: patterns for registrations or flight numbers with a
// remark, kept in list order and stored in data/search.csv (pattern, comma,
// remark, CR LF; Shift-JIS bytes). Hit and LastTime live only in memory.
#pragma once

#include "settings/file_write.h"

#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace varnesk {

inline constexpr size_t kPatternPositions = 7;   // compared by Matches
inline constexpr size_t kPatternFileBytes = 8;   // kept from a file line
inline constexpr size_t kRemarkFileBytes = 31;   // kept from a file line
inline constexpr size_t kPatternEditorBytes = 7; // the entry editor's limits
inline constexpr size_t kRemarkEditorBytes = 30;
// A search.csv larger than this is read only up to it; more rows than
// kMaxSearchRows are not loaded. Hand-kept lists are far smaller.
inline constexpr qint64 kMaxSearchFileBytes = 1 << 20;
inline constexpr size_t kMaxSearchRows = 10000;

inline constexpr std::string_view kNoHit = "------";
inline constexpr std::string_view kNoTime = "--:--:--";

struct SearchRow {
    std::string pattern;
    // Registration match: the flight number of the last notified hit;
    // flight-number match: its registration.
    std::string hit = std::string(kNoHit);
    std::string lastTime = std::string(kNoTime); // hh:mm:ss of the last match
    std::string remark;
};

// Position by position over the first seven places: the pattern character
// is '*' or equals the key character; places past the end of either text
// count as NUL. So "JA8***" matches JA8089 but not JA80891, and "JL*"
// matches JL and JL0. Text ends at its first NUL. An empty pattern matches
// nothing.
bool Matches(std::string_view pattern, std::string_view key);

class SearchList {
public:
    const std::vector<SearchRow>& rows() const { return m_rows; }
    std::vector<SearchRow>& rows() { return m_rows; }

    // 1-based index of the first row whose pattern matches key, 0 for none.
    int FindPattern(std::string_view key) const;
    // Appends a row with Hit "------" and LastTime "--:--:--".
    void AddSearchRow(std::string pattern, std::string remark);

    // Replaces the rows with those of the file; a missing or unreadable file
    // gives an empty list (false).
    bool Load(const QString& path);
    // Writes every row to a temporary file beside path and renames it over
    // the old file, so a failed write leaves the old list in place. False
    // when the new file could not be written.
    WriteResult SaveSearchList(const QString& path) const;

    // The file form. Reading: the bytes before the first comma of a line are
    // the pattern (8 kept), the bytes after it the remark (31 kept); LF or
    // CR LF ends a line; a line without a comma, and a last line without a
    // line end, give no row; a byte 0xFF ends the file.
    static std::vector<SearchRow> parse(std::string_view bytes);
    static std::string format(const std::vector<SearchRow>& rows);

private:
    std::vector<SearchRow> m_rows;
};

} // namespace varnesk
