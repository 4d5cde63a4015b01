// INI reading and writing for the settings table: section and key names
// compare without regard to case, values are trimmed of blanks, the first
// occurrence of a section or key counts.
#include "settings/settings_store.h"

#include "settings/ini_text.h"

#include <QFile>

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unordered_set>
#include <vector>

namespace varnesk {
namespace {

using ini::equalsNoCase;
using ini::trim;

std::optional<int64_t> parseInteger(std::string_view s)
{
    s = trim(s);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    int64_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || s.empty())
        return std::nullopt;
    if (v < INT32_MIN || v > INT32_MAX)
        return std::nullopt;
    return v;
}

std::optional<double> parseReal(std::string_view s)
{
    s = trim(s);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    double v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    // "nan" and "inf" parse, but no setting can use them.
    if (ec != std::errc() || end != s.data() + s.size() || s.empty() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// A value is one line: line breaks that reached a text setting would split
// it into a key of its own on the next start, so they become blanks.
std::string oneLine(std::string text)
{
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

// Always with a '.': the desktop sets the process locale from the user's
// environment, and printf would write "36,5" under a German or French one,
// which the next start cannot read back.
std::string formatReal(double v)
{
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    return ec == std::errc() ? std::string(buf, end) : std::string("0");
}

// Ports are read as numbers the way a C program reads them: leading digits,
// anything else counts as 0.
long portNumber(const std::string& text)
{
    return std::strtol(text.c_str(), nullptr, 10);
}

std::string operatorTextKey(int row)
{
    return "UserText" + std::to_string(row);
}
std::string operatorColourKey(int colour, int row)
{
    return "UserColor" + std::to_string(colour) + std::to_string(row);
}

std::string capitals(std::string_view text)
{
    std::string out(text);
    for (char& ch : out)
        ch = ini::upperAscii(ch);
    return out;
}

// Whether key names a cell of the operator table, in any letter case. The
// names are built once: unknown keys are looked up for every entry on save.
bool isOperatorKey(std::string_view key)
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (int row = 0; row < kOperatorRows; ++row) {
            all.push_back(operatorTextKey(row));
            for (int c = 1; c <= kOperatorColours; ++c)
                all.push_back(operatorColourKey(c, row));
        }
        for (std::string& name : all)
            name = capitals(name);
        std::sort(all.begin(), all.end());
        return all;
    }();
    return std::binary_search(names.begin(), names.end(), capitals(key));
}

} // namespace

std::optional<uint32_t> ParseColour(std::string_view text)
{
    if (text.size() < 6)
        return std::nullopt;
    auto digit = [](char c) -> int64_t {
        const int code = static_cast<unsigned char>(c);
        return code < 'A' ? code - 48 : code - 55;
    };
    int64_t value = 0;
    for (int pair = 0; pair < 3; ++pair)
        value = value * 256 + digit(text[2 * pair]) * 16 + digit(text[2 * pair + 1]);
    return static_cast<uint32_t>(value) & 0xFFFFFFu;
}

std::string FormatColour(uint32_t colour)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%06X", colour & 0xFFFFFFu);
    return buf;
}

SettingsStore::SettingsStore()
{
    for (const KeyDef& def : keyTable())
        setFromText(def.key, std::string(def.defaultText));
}

void SettingsStore::setFromText(Key key, const std::string& text)
{
    const KeyDef& def = keyDef(key);
    const int i = static_cast<int>(key);
    switch (def.type) {
    case ValueType::Integer:
    case ValueType::Boolean:
        if (auto v = parseInteger(text))
            m_number[i] = def.type == ValueType::Boolean ? (*v != 0) : *v;
        else
            m_number[i] = *parseInteger(def.defaultText);
        break;
    case ValueType::Real:
        m_real[i] = parseReal(text).value_or(*parseReal(def.defaultText));
        break;
    case ValueType::Text:
        m_text[i] = text;
        break;
    case ValueType::Colour:
        m_number[i] = ParseColour(trim(text)).value_or(*ParseColour(def.defaultText));
        break;
    }
}

std::string SettingsStore::valueText(Key key) const
{
    const KeyDef& def = keyDef(key);
    const int i = static_cast<int>(key);
    if (key == Key::Dual && m_dualAside)
        return std::to_string(*m_dualAside);
    switch (def.type) {
    case ValueType::Integer:
        return std::to_string(m_number[i]);
    case ValueType::Boolean:
        return m_number[i] ? "1" : "0";
    case ValueType::Real:
        return formatReal(m_real[i]);
    case ValueType::Text:
        return oneLine(m_text[i]);
    case ValueType::Colour:
        return FormatColour(static_cast<uint32_t>(m_number[i]));
    }
    return {};
}

const std::string* SettingsStore::findRaw(std::string_view section, std::string_view key) const
{
    // A repeated section header continues the same section: one RawSection per name.
    for (const RawSection& s : m_raw) {
        if (!equalsNoCase(s.name, section))
            continue;
        const auto it = s.index.find(capitals(key));
        return it == s.index.end() ? nullptr : &s.entries[it->second].value;
    }
    return nullptr;
}

bool SettingsStore::isKnown(std::string_view section, std::string_view key) const
{
    static const std::unordered_set<std::string> names = [] {
        std::unordered_set<std::string> all;
        for (const KeyDef& def : keyTable())
            all.insert(capitals(def.section) + '\n' + capitals(def.name));
        return all;
    }();
    if (names.count(capitals(section) + '\n' + capitals(key)))
        return true;
    return equalsNoCase(section, kOperatorSection) && isOperatorKey(key);
}

bool SettingsStore::Load(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    m_raw.clear();

    std::string_view all(bytes.constData(), static_cast<size_t>(bytes.size()));
    // A file saved by a text editor may open with a UTF-8 byte order mark.
    if (all.substr(0, 3) == "\xEF\xBB\xBF")
        all.remove_prefix(3);
    RawSection* current = nullptr;
    std::unordered_map<std::string, size_t> sections; // name in capitals → its RawSection
    while (!all.empty()) {
        const size_t nl = all.find('\n');
        std::string_view line = trim(all.substr(0, nl));
        all = nl == std::string_view::npos ? std::string_view() : all.substr(nl + 1);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            const std::string name(trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1)));
            const auto [at, added] = sections.emplace(capitals(name), m_raw.size());
            if (added)
                m_raw.push_back({name, {}, {}});
            current = &m_raw[at->second];
            continue;
        }
        const size_t eq = line.find('=');
        if (!current || eq == std::string_view::npos)
            continue;
        // A lone carriage return inside a value reads as the blank it is saved as,
        // so that what was read survives a save and the next start unchanged.
        const std::string value = oneLine(std::string(line.substr(eq + 1)));
        RawEntry entry{std::string(trim(line.substr(0, eq))), std::string(trim(value))};
        // The first of a repeated key counts.
        if (current->index.emplace(capitals(entry.key), current->entries.size()).second)
            current->entries.push_back(std::move(entry));
    }

    for (const KeyDef& def : keyTable())
        if (const std::string* v = findRaw(def.section, def.name))
            setFromText(def.key, *v);
    for (int row = 0; row < kOperatorRows; ++row) {
        OperatorRow& op = m_operators[row];
        if (const std::string* v = findRaw(kOperatorSection, operatorTextKey(row)))
            op.text = *v;
        for (int c = 1; c <= kOperatorColours; ++c)
            if (const std::string* v = findRaw(kOperatorSection, operatorColourKey(c, row)))
                op.colours[c - 1] = ParseColour(*v).value_or(kOperatorDefaultColour);
    }
    return true;
}

WriteResult SettingsStore::Save(const QString& path) const
{
    std::string out;
    auto writeUnknown = [&](const RawSection& raw) {
        for (const RawEntry& e : raw.entries)
            if (!isKnown(raw.name, e.key))
                out += e.key + "=" + e.value + "\n";
    };
    for (std::string_view section : sectionOrder()) {
        out += "[" + std::string(section) + "]\n";
        for (const KeyDef& def : keyTable())
            if (def.section == section)
                out += std::string(def.name) + "=" + valueText(def.key) + "\n";
        if (section == kOperatorSection) {
            for (int row = 0; row < kOperatorRows; ++row) {
                out += operatorTextKey(row) + "=" + oneLine(m_operators[row].text) + "\n";
                for (int c = 1; c <= kOperatorColours; ++c)
                    out += operatorColourKey(c, row) + "=" + FormatColour(m_operators[row].colours[c - 1]) + "\n";
            }
        }
        for (const RawSection& raw : m_raw)
            if (equalsNoCase(raw.name, section))
                writeUnknown(raw);
    }
    for (const RawSection& raw : m_raw) {
        bool known = false;
        for (std::string_view section : sectionOrder())
            known = known || equalsNoCase(raw.name, section);
        if (known)
            continue;
        out += "[" + raw.name + "]\n";
        writeUnknown(raw);
    }

    // A file that holds a mail password is readable by its owner only.
    return replaceFile(path, out, !text(Key::MailPass).empty());
}

void SettingsStore::applyStartupCorrections()
{
    const int maxBytes = integer(Key::MaxBytes);
    if (maxBytes > 64000)
        setInteger(Key::MaxBytes, 63999);
    else if (maxBytes < 1000)
        setInteger(Key::MaxBytes, 1000);
    if (integer(Key::MaxConnect) < 1)
        setInteger(Key::MaxConnect, 1);
    for (Key port : {Key::ClientPortNo, Key::ServerPortNo}) {
        const long n = portNumber(text(port));
        if (n < 49152)
            setText(port, "49152");
        else if (n > 65535)
            setText(port, "65535");
    }
    if (boolean(Key::Server) && !boolean(Key::ServerDec) && !m_dualAside) {
        m_dualAside = integer(Key::Dual);
        m_number[static_cast<int>(Key::Dual)] = 0;
    }
}

void SettingsStore::restoreSetAsideDual()
{
    if (m_dualAside) {
        m_number[static_cast<int>(Key::Dual)] = *m_dualAside;
        m_dualAside.reset();
    }
}

int SettingsStore::integer(Key key) const
{
    assert(keyDef(key).type == ValueType::Integer);
    return static_cast<int>(m_number[static_cast<int>(key)]);
}

bool SettingsStore::boolean(Key key) const
{
    assert(keyDef(key).type == ValueType::Boolean);
    return m_number[static_cast<int>(key)] != 0;
}

double SettingsStore::real(Key key) const
{
    assert(keyDef(key).type == ValueType::Real);
    return m_real[static_cast<int>(key)];
}

const std::string& SettingsStore::text(Key key) const
{
    assert(keyDef(key).type == ValueType::Text);
    return m_text[static_cast<int>(key)];
}

uint32_t SettingsStore::colour(Key key) const
{
    assert(keyDef(key).type == ValueType::Colour);
    return static_cast<uint32_t>(m_number[static_cast<int>(key)]);
}

void SettingsStore::setInteger(Key key, int value)
{
    assert(keyDef(key).type == ValueType::Integer);
    if (key == Key::Dual && m_dualAside) {
        // The user changed the decoder while it was set aside: that choice is kept.
        m_dualAside = value;
        return;
    }
    m_number[static_cast<int>(key)] = value;
}

void SettingsStore::setBoolean(Key key, bool value)
{
    assert(keyDef(key).type == ValueType::Boolean);
    m_number[static_cast<int>(key)] = value ? 1 : 0;
}

void SettingsStore::setReal(Key key, double value)
{
    assert(keyDef(key).type == ValueType::Real);
    m_real[static_cast<int>(key)] = value;
}

void SettingsStore::setText(Key key, std::string value)
{
    assert(keyDef(key).type == ValueType::Text);
    m_text[static_cast<int>(key)] = std::move(value);
}

void SettingsStore::setColour(Key key, uint32_t value)
{
    assert(keyDef(key).type == ValueType::Colour);
    m_number[static_cast<int>(key)] = value & 0xFFFFFFu;
}

const OperatorRow& SettingsStore::operatorRow(int row) const
{
    assert(row >= 0 && row < kOperatorRows);
    return m_operators[row];
}

OperatorRow& SettingsStore::operatorRow(int row)
{
    assert(row >= 0 && row < kOperatorRows);
    return m_operators[row];
}

uint32_t SettingsStore::defaultColour(Key key)
{
    return *ParseColour(keyDef(key).defaultText);
}

} // namespace varnesk
