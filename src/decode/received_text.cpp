// Entry formats of the received text and its trimming at MaxBytes.
#include "decode/received_text.h"

#include "decode/date_time_text.h"
#include "decode/text_log.h"
#include "settings/settings_store.h"

#include <algorithm>

namespace varnesk {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kHeaderDashes = "------------------------[";
constexpr std::size_t kFillWidth = 7;

void appendFill(std::string& out, std::string_view name)
{
    if (name.size() < kFillWidth)
        out.append(kFillWidth - name.size(), ' ');
}

} // namespace

TextView textViewOf(int txtType)
{
    if (txtType == 1)
        return TextView::Prc;
    if (txtType == 2)
        return TextView::Mes;
    return TextView::Raw;
}

ReceivedText::ReceivedText(const SettingsStore& settings, TextLog& log)
    : m_settings(settings), m_log(log), m_clock([] { return QDateTime::currentDateTime(); })
{
    m_entry.reserve(8192);
    m_logEntry.reserve(8192);
}

TextView ReceivedText::view() const
{
    return textViewOf(m_settings.integer(Key::TxtType));
}

std::string ReceivedText::dateTimeNow() const
{
    return dateTimeText(m_clock());
}

// A radio frame's entries carry the time of its capture block; lines from
// the network or a RAW log the time they are shown.
std::string ReceivedText::dateTimeOf(const BlockContext& context) const
{
    return dateTimeText(context.time.isValid() ? context.time : m_clock());
}

void ReceivedText::ShowRawBlock(const BlockContext& context, std::string_view rawText, std::string_view flight,
                                std::string_view registration, Direction direction, std::string_view station)
{
    if (view() != TextView::Raw)
        return;
    m_entry.clear();
    m_entry.append("[").append(context.sourceTag).append("]").append(dateTimeOf(context)).append(">");
    m_entry.append(rawText).append(kCrLf);
    // The log takes the entry as it stands: its "\r\n" is stored CR CR LF.
    m_logEntry = m_entry;
    finish(direction, flight, registration, station);
}

void ReceivedText::appendBody(std::string& out, std::string_view banner, std::string_view text, std::string_view eol)
{
    if (!banner.empty()) {
        out.append(banner);
        if (!text.empty())
            out.append(eol).append(text);
    } else {
        out.append(text);
    }
    out.append(eol);
}

void ReceivedText::ShowDownlinkBlock(const BlockContext& context, std::string_view flight,
                                     std::string_view registration, std::string_view text, std::string_view mode,
                                     std::string_view banner, std::string_view messageNumber, std::string_view blockId,
                                     std::string_view label, std::string_view station)
{
    if (view() == TextView::Raw)
        return;
    const std::string tag = std::string(label) + ":" + std::string(blockId) + ":" + std::string(messageNumber);
    buildEntries(context, flight, " (", registration, tag, mode, banner, text);
    finish(Direction::Downlink, flight, registration, station);
}

void ReceivedText::ShowUplinkBlock(const BlockContext& context, std::string_view station, std::string_view address,
                                   std::string_view text, std::string_view mode, std::string_view banner,
                                   std::string_view blockId, std::string_view label)
{
    if (view() == TextView::Raw)
        return;
    const std::string tag = std::string(label) + ":" + std::string(blockId);
    buildEntries(context, station, "  (", address, tag, mode, banner, text);
    finish(Direction::Uplink, "------", address, station);
}

// The window's entry (CR LF) and the log's entry ("\n") of a processed block:
// the source and time line, "<name><gap><who>)" filled to seven, the tag and
// mode, then the banner and text.
void ReceivedText::buildEntries(const BlockContext& context, std::string_view name, std::string_view gap,
                                std::string_view who, std::string_view tag, std::string_view mode,
                                std::string_view banner, std::string_view text)
{
    const std::string dateTime = dateTimeOf(context);
    for (int form = 0; form < 2; ++form) {
        std::string& out = form == 0 ? m_entry : m_logEntry;
        const std::string_view eol = form == 0 ? kCrLf : std::string_view("\n");
        out.clear();
        out.append(context.sourceTag).append(kHeaderDashes).append(dateTime).append("]").append(eol);
        out.append(name).append(gap).append(who).append(")");
        appendFill(out, who);
        out.append("   [").append(tag);
        out.append("] MODE:").append(mode).append("   ").append(eol);
        appendBody(out, banner, text, eol);
    }
}

void ReceivedText::finish(Direction direction, std::string_view flight, std::string_view registration,
                          std::string_view station)
{
    m_windowText.append(m_entry);
    Q_EMIT entryAppended(m_entry);
    noteLogWrite(m_log.WriteLogEntry(m_settings, direction, flight, registration, station, m_logEntry));
    // Trimmed byte by byte from the front while at least MaxBytes long, so the
    // oldest line is usually left cut.
    const auto limit = static_cast<std::size_t>(std::max(1, m_settings.integer(Key::MaxBytes)));
    if (m_windowText.size() >= limit)
        m_windowText.erase(0, m_windowText.size() - limit + 1);
}

bool ReceivedText::WriteLogStart(bool withDashes)
{
    // Only while logging is on: with the log off, a start-up must not empty
    // the text log of an earlier run.
    if (!m_settings.boolean(Key::TxtLog))
        return false;
    const std::optional<LogWriteFailure> failure = m_log.WriteLogStart(withDashes, dateTimeNow());
    noteLogWrite(failure);
    return !failure;
}

void ReceivedText::noteLogWrite(const std::optional<LogWriteFailure>& failure)
{
    if (!failure) {
        m_logHealth.noteSuccess();
        return;
    }
    // The first failure of a stretch is told; the rest are counted, and
    // every next entry tries again.
    if (m_logHealth.noteFailure(failure->reason) && !failure->path.isEmpty())
        Q_EMIT logWriteFailed(failure->path, failure->reason);
}

} // namespace varnesk
