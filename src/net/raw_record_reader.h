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

class NetLineIntake;
class TextLog;

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
    // True when the last record held nothing but line ends and blanks (the
    // tail of a log after its last transmission).
    bool blank() const { return m_blank; }

    // Converts a record: five-character names first ("<SOH>"), then
    // four-character names ("<VF>"), else the byte itself.
    static void convertRecord(std::string_view record, std::string& line);

private:
    void endRecord();

    std::array<char, kRawRecordBytes> m_record{};
    std::size_t m_size = 0;
    std::string m_line;
    bool m_blank = true;
};

// The RAW log import: feeds a RAW log through the line intake record by
// record with the source tag "RAW". While it runs the text log is told the
// file's name (ImportFileName), so that no entry is written into the file
// being read.
class RawImport {
public:
    RawImport(NetLineIntake& intake, TextLog& log);

    // afterRecord (the event loop's turn) runs after each record; it returns
    // false to cancel. Returns false when the file cannot be opened.
    bool importFile(const QString& path, const std::function<bool()>& afterRecord = {});

    // The path (file-system bytes) of the RAW log being imported, else empty.
    const std::string& ImportFileName() const { return m_fileName; }
    bool running() const { return !m_fileName.empty(); }

    // Records read, and those in which no transmission could be read.
    uint64_t records() const { return m_records; }
    uint64_t unreadableRecords() const { return m_unreadable; }

private:
    void setFileName(std::string name);

    NetLineIntake& m_intake;
    TextLog& m_log;
    std::string m_fileName;
    uint64_t m_records = 0;
    uint64_t m_unreadable = 0;
};

} // namespace varnesk
