// Reading a RAW text log back: the bytes are cut into records, each ending
// at "<ETX>" or "<ETB>" (or at the end of the file), and each record becomes
// one raw line with the control-character names turned back into characters.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace varnesk {

class Station;

inline constexpr std::size_t kRawRecordBytes = 4096;

class RawRecordReader {
public:
    // Takes one byte of the file. Returns true when the byte ended a record;
    // the record's line is then in line() until the next call.
    bool push(uint8_t byte);
    // The end of the file: ends the record being collected (also an empty
    // one, as a 0xFF byte does). The line is then in line().
    void finish();

    // The line of the last record: the line code of every character, without
    // a zero byte.
    std::string_view line() const { return m_line; }

    // Converts a record: five-character names first ("<SOH>"), then
    // four-character names ("<VF>"), else the byte itself.
    static void convertRecord(std::string_view record, std::string& line);

private:
    void endRecord();

    std::array<char, kRawRecordBytes> m_record{};
    std::size_t m_size = 0;
    std::string m_line;
};

// Feeds a RAW log through the line intake: ImportFileName is the path while
// it runs, each record is handed over with SourceTag "RAW", and afterRecord
// (the event loop's turn) runs after each; it returns false to cancel.
// Returns false when the file cannot be opened.
bool importRawLogFile(Station& station, const QString& path, const std::function<bool()>& afterRecord = {});

} // namespace varnesk
