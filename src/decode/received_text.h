// The received text: the three entry writers (RAW, downlink, uplink) that
// append to the window's text (TextWindowText) in the view chosen by [Txt]
// TxtType, pass the same entry to the text log and trim the text to [Txt]
// MaxBytes. Entries are Shift-JIS bytes with CR LF line ends; each carries
// the source tag and time of its block.
#pragma once

#include "decode/acars_block.h"
#include "decode/block_context.h"
#include "decode/text_log.h"

#include <QDateTime>
#include <QObject>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace varnesk {

class SettingsStore;
class TextLog;

enum class TextView { Raw = 0, Prc = 1, Mes = 2 };
// [Txt] TxtType as a view: 1 PRC, 2 MES, any other value RAW.
TextView textViewOf(int txtType);

// The six banner lines of the processed view, 33 characters each.
inline constexpr std::string_view kBannerRetransmission = "<<<  Retransmission Message   >>>";
inline constexpr std::string_view kBannerBuffering = "<<<     Message Buffering     >>>";
inline constexpr std::string_view kBannerCombine = "<<<      Combine Message      >>>";
inline constexpr std::string_view kBannerSequenceError = "<<< Buffering Seaquence Error >>>";
inline constexpr std::string_view kBannerLinkTest = "<<<         Link Test         >>>";
inline constexpr std::string_view kBannerGeneralAck = "<<<  General Acknowledgement  >>>";

class ReceivedText : public QObject {
    Q_OBJECT
public:
    ReceivedText(const SettingsStore& settings, TextLog& log);

    TextView view() const;

    // RAW view only: "[" source tag "]" date-time ">" raw text CR LF. Flight and
    // registration (uplinks: the ground station) only choose the log file.
    void ShowRawBlock(const BlockContext& context, std::string_view rawText, std::string_view flight,
                      std::string_view registration, Direction direction, std::string_view station);
    // PRC and MES views: header line, identity line, body.
    void ShowDownlinkBlock(const BlockContext& context, std::string_view flight, std::string_view registration,
                           std::string_view text, std::string_view mode, std::string_view banner,
                           std::string_view messageNumber, std::string_view blockId, std::string_view label,
                           std::string_view station);
    void ShowUplinkBlock(const BlockContext& context, std::string_view station, std::string_view address,
                         std::string_view text, std::string_view mode, std::string_view banner,
                         std::string_view blockId, std::string_view label);

    // "Start Logging at " + date-time into the emptied text log; withDashes adds
    // the line of 48 "-" (start-up and a changed log name, as opposed to the
    // log button). Does nothing, and returns false, while [Txt] Log is off.
    bool WriteLogStart(bool withDashes);

    // The window's text (TextWindowText): every entry since the start, the
    // oldest bytes trimmed so that it stays below [Txt] MaxBytes.
    const std::string& windowText() const { return m_windowText; }

    // The date-time text of an entry at this moment.
    std::string dateTimeNow() const;
    // Replaces the clock (tests, or a run that replays recorded time).
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

Q_SIGNALS:
    // An entry was appended to the window's text (before trimming).
    void entryAppended(std::string_view entry);
    // The text log (or an EachLogs file) could not be written: told for the
    // first failure of a stretch; later ones are counted (logFailures()).
    void logWriteFailed(const QString& path, const QString& reason);

public:
    int logFailures() const { return m_logHealth.failures(); }

private:
    void noteLogWrite(const std::optional<LogWriteFailure>& failure);
    WriteHealth m_logHealth;
    std::string dateTimeOf(const BlockContext& context) const;
    void finish(Direction direction, std::string_view flight, std::string_view registration, std::string_view station);
    void appendBody(std::string& out, std::string_view banner, std::string_view text, std::string_view eol);
    void buildEntries(const BlockContext& context, std::string_view name, std::string_view gap, std::string_view who,
                      std::string_view tag, std::string_view mode, std::string_view banner, std::string_view text);

    const SettingsStore& m_settings;
    TextLog& m_log;
    std::function<QDateTime()> m_clock;
    std::string m_windowText;
    // Reused for every entry: the window form (CR LF) and the log form ("\n").
    std::string m_entry;
    std::string m_logEntry;
};

} // namespace varnesk
