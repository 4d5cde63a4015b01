// Lamps, refresh counter, waterfall and clock of the modem panel, in the order
// the end of a capture block runs them.
#include "map/modem_indicators.h"

#include "map/canvas.h"
#include "receiver/receiver.h"
#include "settings/settings_store.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace varnesk {

namespace {

constexpr QRgb opaque(uint32_t rgb)
{
    return 0xFF000000u | rgb;
}

void textAt(QPainter& p, int x, int y, const QString& text)
{
    p.drawText(QPoint(x, y + QFontMetrics(p.font()).ascent()), text);
}

} // namespace

std::string clockText(const QDateTime& now, bool dispTime, int localHours)
{
    QTime t = now.toUTC().time();
    if (!dispTime)
        t = t.addSecs((localHours % 24) * 3600);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour(), t.minute(), t.second());
    return text;
}

ClockFace::ClockFace() : m_surface(kClockWidth, kClockHeight, QImage::Format_RGB32)
{
    m_surface.fill(0xFF000000u);
}

bool ClockFace::refresh(const std::string& text, bool utc, uint32_t back, uint32_t textColour)
{
    if (text == m_last)
        return false;
    draw(text, utc, back, textColour);
    m_last = text;
    return true;
}

void ClockFace::repaint(const std::string& text, bool utc, uint32_t back, uint32_t textColour)
{
    draw(text, utc, back, textColour);
}

void ClockFace::draw(const std::string& text, bool utc, uint32_t back, uint32_t textColour)
{
    m_surface.fill(rgbOf(back));
    QPainter p(&m_surface);
    p.setPen(QColor::fromRgb(rgbOf(textColour)));
    QFont time = mapFont(12);
    time.setBold(true);
    p.setFont(time);
    textAt(p, 10, 5, QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    p.setFont(mapFont(9));
    textAt(p, 90, 10, utc ? QStringLiteral(" UTC") : QStringLiteral("LOCAL"));
}

ModemIndicators::ModemIndicators(const SettingsStore& settings) : m_settings(settings) { }

ModemIndicators::BlockResult ModemIndicators::blockDone(Receiver& receiver,
                                                        std::span<const double, kSpectrumPoints> left,
                                                        std::span<const double, kSpectrumPoints> right,
                                                        const QDateTime& now, bool modemShown)
{
    BlockResult result;
    const int refresh = m_settings.integer(Key::Refresh);
    if (m_refreshCounter == 0) {
        if (modemShown && refresh != 0) {
            drawSpectrum(left, right);
            result.spectrumDrawn = true;
        }
        if (modemShown)
            result.clockDrawn = drawClock(now);
        m_refreshCounter = 1;
    } else {
        ++m_refreshCounter;
        if (m_refreshCounter >= (refresh == 0 ? kRefreshZeroPeriod : refresh + 1))
            m_refreshCounter = 0;
    }
    const LampColours before = m_lamps;
    updateLamps(receiver);
    result.lampsChanged = !(before == m_lamps);
    return result;
}

void ModemIndicators::drawSpectrum(std::span<const double, kSpectrumPoints> left,
                                   std::span<const double, kSpectrumPoints> right)
{
    static constexpr std::array<double, kSpectrumPoints> kSilence{};
    const int dual = m_settings.integer(Key::Dual);
    std::span<const double, kSpectrumPoints> input(kSilence);
    if (dual == 2)
        input = m_chosen == 0 ? left : right;
    else if (dual == 1 && m_chosen == 0)
        input = left;
    m_transform.levels(input, m_levels);
    m_waterfall.push(m_levels);
    m_waterfall.draw();
}

bool ModemIndicators::drawClock(const QDateTime& now)
{
    const bool utc = m_settings.boolean(Key::DispTime);
    return m_clock.refresh(clockText(now, utc, m_settings.integer(Key::Local)), utc, m_settings.colour(Key::ClockBack),
                           m_settings.colour(Key::ClockText));
}

void ModemIndicators::repaintClock(const QDateTime& now)
{
    const bool utc = m_settings.boolean(Key::DispTime);
    m_clock.repaint(clockText(now, utc, m_settings.integer(Key::Local)), utc, m_settings.colour(Key::ClockBack),
                    m_settings.colour(Key::ClockText));
}

void ModemIndicators::updateLamps(Receiver& receiver)
{
    const ChannelState& chosen = receiver.channel(m_chosen);
    m_lamps.ovr = chosen.overload ? kLampRed : kLampDark;
    m_lamps.syn = chosen.synShown ? kLampAqua : kLampDark;
    for (int c = 0; c < kReceiverChannels; ++c) {
        ChannelState& ch = receiver.channel(c);
        const bool shown = c == m_chosen;
        if (ch.errCount > kLampLitBlocks) {
            if (shown)
                m_lamps.err = kLampDark;
        } else {
            if (shown)
                m_lamps.err = kLampRed;
            ++ch.errCount;
        }
    }
    for (int c = 0; c < kReceiverChannels; ++c) {
        ChannelState& ch = receiver.channel(c);
        const bool shown = c == m_chosen;
        uint32_t unshown = 0;
        uint32_t& signal = c == 0 ? m_lamps.left : c == 1 ? m_lamps.right : unshown;
        if (ch.rcvCount > kLampLitBlocks) {
            signal = kLampDark;
            if (shown)
                m_lamps.rcv = kLampDark;
        } else {
            signal = kLampGreen;
            if (shown)
                m_lamps.rcv = kLampGreen;
            ++ch.rcvCount;
        }
    }
    if (m_netCount > kLampLitBlocks) {
        m_lamps.net = kLampDark;
    } else {
        m_lamps.net = kLampAqua;
        ++m_netCount;
    }
}

void drawModemPanel(QImage& surface, const ModemIndicators& indicators, bool withSelector)
{
    using namespace modem_panel;
    QPainter p(&surface);
    p.fillRect(surface.rect(), QColor(0xD4, 0xD0, 0xC8)); // the panel's face
    p.drawImage(kWaterfallX, kWaterfallY, indicators.waterfall().surface());
    p.drawImage(kClockX, kClockY, indicators.clock().surface());
    p.setFont(mapFont(8));
    const LampColours& l = indicators.lamps();
    const struct {
        const char* caption;
        uint32_t colour;
    } lamps[] = {{"OVR", l.ovr}, {"SYN", l.syn}, {"RCV", l.rcv}, {"ERR", l.err}};
    for (int i = 0; i < 4; ++i) {
        const int x = kLampFirstX + kLampStepX * i;
        p.setPen(Qt::black);
        textAt(p, x, kLampRowY, QString::fromLatin1(lamps[i].caption));
        p.fillRect(x + kLampCaptionPx, kLampRowY, kLampWidth, kLampHeight, QColor::fromRgb(opaque(lamps[i].colour)));
    }
    if (withSelector) {
        const QRect box(kSelectorX, kSelectorY, kSelectorWidth - 1, kSelectorHeight - 1);
        p.fillRect(box, Qt::white);
        p.setPen(Qt::black);
        p.drawRect(box);
        const int c = indicators.chosenChannel();
        textAt(p, kSelectorX + 4, kSelectorY + 4,
               c == 0   ? QStringLiteral("L")
               : c == 1 ? QStringLiteral("R")
                        : QStringLiteral("C%1").arg(c + 1, 2, 10, QLatin1Char('0')));
    }
}

} // namespace varnesk
