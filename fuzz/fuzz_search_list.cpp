// search.csv: parsed, written back and parsed again (the rows must survive),
// loaded from a file, and searched with keys from the bytes.
#include "fuzz_support.h"
#include "search/search_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace varnesk;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<SearchRow> rows = SearchList::parse(bytes);
    const std::vector<SearchRow> again = SearchList::parse(SearchList::format(rows));
    if (again.size() != rows.size())
        fuzz::fail("writing the list back changed its number of rows");
    for (size_t i = 0; i < rows.size(); ++i)
        if (again[i].pattern != rows[i].pattern || again[i].remark != rows[i].remark)
            fuzz::fail("writing the list back changed a row");

    const QString path = fuzz::workFile("search.csv");
    fuzz::writeFile(path, bytes);
    SearchList list;
    list.Load(path);
    if (list.rows().size() != std::min(rows.size(), kMaxSearchRows))
        fuzz::fail("the loaded list differs from the parsed one");
    for (size_t at = 0; at + 1 < bytes.size() && at < 64; at += 7) {
        const int hit = list.FindPattern(bytes.substr(at, 8));
        if (hit < 0 || static_cast<size_t>(hit) > list.rows().size())
            fuzz::fail("a search hit outside the list");
    }
    return 0;
}
