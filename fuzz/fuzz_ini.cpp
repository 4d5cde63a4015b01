// The INI reader: load the bytes, save, load the saved file again. The second
// load must equal the first (every typed value and operator row), and saving
// it again must give the same file byte for byte.
#include "fuzz_support.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <cmath>

namespace {

using namespace varnesk;

// Reals are written with 15 significant digits: a value read with more
// comes back rounded to them, and from then on unchanged (the byte check below).
bool sameReal(double a, double b)
{
    return a == b || std::fabs(a - b) <= 1e-14 * std::max(std::fabs(a), std::fabs(b));
}

void compare(const SettingsStore& a, const SettingsStore& b)
{
    for (const KeyDef& d : keyTable()) {
        switch (d.type) {
        case ValueType::Integer:
            if (a.integer(d.key) != b.integer(d.key))
                fuzz::fail("an integer changed on the second load");
            break;
        case ValueType::Boolean:
            if (a.boolean(d.key) != b.boolean(d.key))
                fuzz::fail("a boolean changed on the second load");
            break;
        case ValueType::Real:
            if (!sameReal(a.real(d.key), b.real(d.key)))
                fuzz::fail("a real changed on the second load");
            break;
        case ValueType::Text:
            if (a.text(d.key) != b.text(d.key))
                fuzz::fail("a text changed on the second load");
            break;
        case ValueType::Colour:
            if (a.colour(d.key) != b.colour(d.key))
                fuzz::fail("a colour changed on the second load");
            break;
        }
    }
    for (int r = 0; r < kOperatorRows; ++r)
        if (a.operatorRow(r).text != b.operatorRow(r).text || a.operatorRow(r).colours != b.operatorRow(r).colours)
            fuzz::fail("an operator row changed on the second load");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString original = fuzz::workFile("in.ini");
    const QString saved = fuzz::workFile("saved.ini");
    const QString again = fuzz::workFile("again.ini");
    fuzz::writeFile(original, std::string_view(reinterpret_cast<const char*>(data), size));

    SettingsStore first;
    if (!first.Load(original))
        fuzz::fail("the INI could not be read");
    if (!first.Save(saved))
        fuzz::fail("the INI could not be saved");
    SettingsStore second;
    if (!second.Load(saved))
        fuzz::fail("the saved INI could not be read");
    compare(first, second);
    if (!second.Save(again))
        fuzz::fail("the INI could not be saved again");
    const std::string a = fuzz::readFile(saved);
    const std::string b = fuzz::readFile(again);
    if (a != b) {
        size_t at = 0;
        while (at < a.size() && at < b.size() && a[at] == b[at])
            ++at;
        const size_t from = at < 40 ? 0 : at - 40;
        std::fprintf(stderr, "first save:  ...%s...\nsecond save: ...%s...\n", a.substr(from, 80).c_str(),
                     b.substr(from, 80).c_str());
        fuzz::fail("saving the loaded file again changed it");
    }

    // The start-up corrections on what was read.
    first.applyStartupCorrections();
    first.restoreSetAsideDual();
    return 0;
}
