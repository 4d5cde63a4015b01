// RAW log records: record ends, name conversion and the import loop.
#include "net/raw_record_reader.h"

#include "acars/control_chars.h"
#include "acars/line_codec.h"
#include "acars/raw_text.h"
#include "decode/block_context.h"
#include "decode/text_log.h"
#include "net/line_intake.h"

#include <QFile>

namespace varnesk {

namespace {

constexpr uint8_t kEndOfFile = 0xFF;

} // namespace

void RawRecordReader::convertRecord(std::string_view record, std::string& line)
{
    line.clear();
    size_t i = 0;
    while (i < record.size()) {
        int code = static_cast<uint8_t>(record[i]);
        size_t step = 1;
        if (const std::optional<ControlName> name = controlCharAt(record.substr(i))) {
            code = name->value;
            step = name->length;
        }
        line.push_back(static_cast<char>(encodeLineChar(code)));
        i += step;
    }
}

void RawRecordReader::endRecord()
{
    const std::string_view record(m_record.data(), m_size);
    m_blank = record.find_first_not_of("\r\n \t") == std::string_view::npos;
    convertRecord(record, m_line);
    m_size = 0;
}

bool RawRecordReader::push(uint8_t byte)
{
    if (byte == kEndOfFile) {
        endRecord();
        return true;
    }
    m_record[m_size++] = static_cast<char>(byte);
    const std::string_view r(m_record.data(), m_size);
    // A record with no end name for 4096 bytes ends there; a transmission
    // never comes near that length.
    if ((m_size > 5 && (r.ends_with(controlCharName(kCharEtx)) || r.ends_with(controlCharName(kCharEtb))))
        || m_size == kRawRecordBytes) {
        endRecord();
        return true;
    }
    return false;
}

void RawRecordReader::finish()
{
    endRecord();
}

RawImport::RawImport(NetLineIntake& intake, TextLog& log) : m_intake(intake), m_log(log) { }

void RawImport::setFileName(std::string name)
{
    m_fileName = std::move(name);
    m_log.setImportFileName(m_fileName);
}

bool RawImport::importFile(const QString& path, const std::function<bool()>& afterRecord)
{
    const QByteArray encoded = QFile::encodeName(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    setFileName(std::string(encoded.constData(), static_cast<size_t>(encoded.size())));
    RawRecordReader reader;
    // Every transmission of a record is the record's: a record holding two
    // (a raw ETX byte inside it) gives both the tag "RAW".
    auto hand = [&]() {
        ++m_records;
        if (m_intake.LineIntake(reader.line(), kTagRaw) == 0 && !reader.blank())
            ++m_unreadable;
        return !afterRecord || afterRecord();
    };
    std::array<char, 65536> chunk;
    bool cancelled = false;
    while (!cancelled) {
        const qint64 n = file.read(chunk.data(), static_cast<qint64>(chunk.size()));
        if (n <= 0)
            break;
        for (qint64 k = 0; k < n && !cancelled; ++k) {
            const auto byte = static_cast<uint8_t>(chunk[static_cast<size_t>(k)]);
            if (reader.push(byte)) {
                cancelled = !hand();
                // A 0xFF byte reads as the end of the file.
                if (byte == kEndOfFile)
                    cancelled = true;
            }
        }
    }
    if (!cancelled) {
        reader.finish();
        hand();
    }
    setFileName({});
    return true;
}

} // namespace varnesk
