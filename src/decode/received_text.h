// The received text: the three entry writers (RAW, downlink, uplink) that
// append to TextWindowText in the view chosen by [Txt] TxtType, pass the same
// entry to the text log, trim the text to [Txt] MaxBytes and empty SourceTag.
// Entries are Shift-JIS bytes with CR LF line ends.
#pragma once

#include "decode/acars_block.h"

#include <QDateTime>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace varnesk {

class Station;
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

class ReceivedText {
public:
    ReceivedText(Station& station, TextLog& log);

    TextView view() const;

    // RAW view only: "[" SourceTag "]" date-time ">" raw text CR LF. Flight and
    // registration (uplinks: the ground station) only choose the log file.
    void ShowRawBlock(std::string_view rawText, std::string_view flight, std::string_view registration,
                      Direction direction = Direction::Downlink);
    // PRC and MES views: header line, identity line, body.
    void ShowDownlinkBlock(std::string_view flight, std::string_view registration, std::string_view text,
                           std::string_view mode, std::string_view banner, std::string_view messageNumber,
                           std::string_view blockId, std::string_view label);
    void ShowUplinkBlock(std::string_view station, std::string_view address, std::string_view text,
                         std::string_view mode, std::string_view banner, std::string_view blockId,
                         std::string_view label);

    // "Start Logging at " + date-time into the emptied text log; withDashes adds
    // the line of 48 "-" (start-up and a changed log name, as opposed to the
    // log button). Does nothing, and returns false, while [Txt] Log is off.
    bool WriteLogStart(bool withDashes);

    // The date-time text of an entry at this moment.
    std::string dateTimeNow() const;
    // Replaces the clock (tests, or a run that replays recorded time).
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    // The time the frame being decoded stands for (the capture block's time);
    // entries of that frame carry it instead of the clock's. The decoder
    // forgets it when the frame is done.
    void setFrameTime(const QDateTime& time) { m_frameTime = time; }
    void clearFrameTime() { m_frameTime = QDateTime(); }

    // Called with every entry appended to TextWindowText (before trimming).
    void setEntryObserver(std::function<void(std::string_view)> observer) { m_observer = std::move(observer); }

    // Increases with every change of TextWindowText; the window refreshes
    // its text area when it sees a new value.
    uint64_t revision() const { return m_revision; }

private:
    void finish(Direction direction, std::string_view flight, std::string_view registration,
                std::string_view station);
    void appendBody(std::string& out, std::string_view banner, std::string_view text, std::string_view eol);
    void buildEntries(std::string_view name, std::string_view gap, std::string_view who, std::string_view tag,
                      std::string_view mode, std::string_view banner, std::string_view text);

    Station& m_station;
    TextLog& m_log;
    std::function<QDateTime()> m_clock;
    QDateTime m_frameTime;
    std::function<void(std::string_view)> m_observer;
    uint64_t m_revision = 0;
    // Reused for every entry: the window form (CR LF) and the log form ("\n").
    std::string m_entry;
    std::string m_logEntry;
};

} // namespace varnesk
