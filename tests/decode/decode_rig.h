// Test rig of the decoding chain: a receive pipeline on a temporary program folder
// (logs/ and logs/EachLogs made), a fixed clock, the entries the text window
// receives, and builders of BitFrames and ACARS blocks.
#pragma once

#include "app/receive_pipeline.h"
#include "decode/received_text.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <string>
#include <string_view>
#include <vector>

namespace varnesk::testing {

inline constexpr char kEtx = 0x03;
inline constexpr char kEtb = 0x17;
inline constexpr std::string_view kStart = "+*\x16\x16\x01";

// A receiver-style BitFrame of the given characters: seven data slots and an
// odd parity slot per character, then two BCS characters and one more.
inline std::vector<int32_t> makeFrame(std::string_view chars)
{
    return slotsFromChars(chars, ParitySlot::Odd);
}

// "+*<SYN><SYN><SOH>" mode, address (7), NAK, label, block id, STX, message
// number, flight, text, end. An uplink has a lower-case mode character and no
// message number or flight: its text follows STX, and needs ten characters
// to reach the 29 characters of the shortest block.
inline std::string downlink(std::string_view address7, std::string_view msg, std::string_view flight,
                            std::string_view text, char end = kEtx, std::string_view label = "H1", char mode = '2',
                            char blockId = '1')
{
    std::string s(kStart);
    s.push_back(mode);
    s.append(address7);
    s.push_back(0x15);
    s.append(label);
    s.push_back(blockId);
    s.push_back(0x02);
    s.append(msg);
    s.append(flight);
    s.append(text);
    s.push_back(end);
    return s;
}

inline std::string uplink(std::string_view address7, char blockId, std::string_view text, char end = kEtx,
                          std::string_view label = "H1", char mode = 'm')
{
    std::string s(kStart);
    s.push_back(mode);
    s.append(address7);
    s.push_back(0x15);
    s.append(label);
    s.push_back(blockId);
    s.push_back(0x02);
    s.append(text);
    s.push_back(end);
    return s;
}

class DecodeRig {
public:
    explicit DecodeRig(int view = 1)
        : m_pipeline((prepare(), m_settings), AppPaths::make(m_dir.path(), QStringLiteral("varnesk"), false,
                                                             QDateTime(QDate(2026, 12, 10), QTime(9, 0))))
    {
        m_settings.setInteger(Key::TxtType, view);
        ReceivedText& text = m_pipeline.decode().text;
        text.setClock([] { return QDateTime(QDate(2026, 12, 10), QTime(12, 34, 56)); });
        QObject::connect(&text, &ReceivedText::entryAppended, [this](std::string_view e) { entries.emplace_back(e); });
    }

    ReceivePipeline& pipeline() { return m_pipeline; }
    DecodeChain& decode() { return m_pipeline.decode(); }
    SettingsStore& settings() { return m_settings; }
    QString dir() const { return m_dir.path(); }
    std::string dateTime() const { return m_pipeline.decode().text.dateTimeNow(); }
    // The window's text (TextWindowText).
    const std::string& windowText() const { return m_pipeline.decode().text.windowText(); }

    // Decodes the characters as a receiver frame (left channel unless the tag says otherwise).
    void feed(std::string_view chars, std::string_view tag = kTagLeft)
    {
        const std::vector<int32_t> frame = makeFrame(chars);
        BlockContext context = BlockContext::radio(tag == kTagRight ? 1 : 0, QDateTime());
        if (tag != kTagLeft && tag != kTagRight)
            context = BlockContext::line(tag);
        const bool etx = !chars.empty() && chars.back() == kEtx;
        m_pipeline.decode().decoder.DecodeBlock(context, frame, static_cast<int32_t>(chars.size() * 8 + 16),
                                                etx ? 1 : 0);
    }

    std::string readFile(const QString& relative) const
    {
        QFile f(m_dir.path() + QLatin1Char('/') + relative);
        if (!f.open(QIODevice::ReadOnly))
            return "<missing>";
        const QByteArray b = f.readAll();
        return std::string(b.constData(), static_cast<size_t>(b.size()));
    }
    bool exists(const QString& relative) const { return QFile::exists(m_dir.path() + QLatin1Char('/') + relative); }

    std::vector<std::string> entries;

private:
    void prepare() { QDir(m_dir.path()).mkpath(QStringLiteral("logs/EachLogs")); }

    QTemporaryDir m_dir;
    SettingsStore m_settings;
    ReceivePipeline m_pipeline;
};

} // namespace varnesk::testing
