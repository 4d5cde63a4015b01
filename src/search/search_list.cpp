// search.csv reading and writing, and the pattern match of the search list.
#include "search/search_list.h"

#include "search/search_log.h"
#include "search/sjis_text.h"

#include <QFile>

namespace varnesk {

Q_LOGGING_CATEGORY(lcSearch, "varnesk.search")

namespace {

std::string_view untilNul(std::string_view text)
{
    const size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

} // namespace

bool Matches(std::string_view pattern, std::string_view key)
{
    pattern = untilNul(pattern);
    key = untilNul(key);
    if (pattern.empty())
        return false;
    for (size_t i = 0; i < kPatternPositions; ++i) {
        const char p = i < pattern.size() ? pattern[i] : '\0';
        const char k = i < key.size() ? key[i] : '\0';
        if (p != '*' && p != k)
            return false;
    }
    return true;
}

int SearchList::FindPattern(std::string_view key) const
{
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (Matches(m_rows[i].pattern, key))
            return static_cast<int>(i) + 1;
    return 0;
}

void SearchList::AddSearchRow(std::string pattern, std::string remark)
{
    SearchRow row;
    row.pattern = std::move(pattern);
    row.remark = std::move(remark);
    m_rows.push_back(std::move(row));
}

std::vector<SearchRow> SearchList::parse(std::string_view bytes)
{
    const size_t end = bytes.find('\xFF');
    if (end != std::string_view::npos)
        bytes = bytes.substr(0, end);
    std::vector<SearchRow> rows;
    size_t start = 0;
    for (;;) {
        const size_t lf = bytes.find('\n', start);
        if (lf == std::string_view::npos)
            break; // a last line without a line end gives no row
        std::string_view line = bytes.substr(start, lf - start);
        start = lf + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const size_t comma = line.find(',');
        if (comma == std::string_view::npos)
            continue;
        if (rows.size() >= kMaxSearchRows) {
            qCWarning(lcSearch) << "search list cut at" << kMaxSearchRows << "rows";
            break;
        }
        SearchRow row;
        row.pattern = std::string(cutSjis(line.substr(0, comma), kPatternFileBytes));
        row.remark = std::string(cutSjis(line.substr(comma + 1), kRemarkFileBytes));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string SearchList::format(const std::vector<SearchRow>& rows)
{
    std::string out;
    for (const SearchRow& row : rows) {
        out += row.pattern;
        out += ',';
        out += row.remark;
        out += "\r\n";
    }
    return out;
}

bool SearchList::Load(const QString& path)
{
    m_rows.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.read(kMaxSearchFileBytes);
    m_rows = parse(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    return true;
}

WriteResult SearchList::SaveSearchList(const QString& path) const
{
    return replaceFile(path, format(m_rows));
}

} // namespace varnesk
